#pragma once

#include <string>
#include <string_view>

namespace nebelkamm {

// A settings file read and written one value at a time. Nothing is cached:
// each read parses the file afresh; each write replaces the file atomically
// under a lock beside it, changing only the one key's value.
class TIniFile {
public:
    explicit TIniFile(std::string fileName, char decimalSeparator);

    const std::string& FileName() const { return fileName_; }
    bool Exists() const;

    // The value, or def when the file, section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Throws EIniFileException ("Unable to write to <file>") when refused.
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;

    // An empty or unconvertible text, or one too large for a double, gives def.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;
    void WriteFloat(std::string_view section, std::string_view key, double value) const;

private:
    std::string fileName_;
    char separator_;
};

// Whether the name is an existing file (a directory is none).
bool FileExists(const std::string& fileName);

} // namespace nebelkamm
