// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// One key's text for a write of several keys at once.
struct IniEntry {
    std::string_view Key;
    std::string Value;
};

// A settings file read and written with the private-profile rules. Nothing
// is cached: each read looks at the file afresh. Each write is one
// transaction: one lock (released by the kernel if the writer dies), one
// read, one atomic replacement that keeps the file's owner, group and mode.
// The file name is bytes, whatever the locale.
class TIniFile {
public:
    explicit TIniFile(std::string fileName, char decimalSeparator);

    const std::string& FileName() const { return fileName_; }
    // Whether the name is an existing regular file (or a link to one).
    bool Exists() const;

    // Writes the keys in order, in one transaction: no crash or second
    // writer ever sees only some of them. Throws EIniFileException ("Unable
    // to write to <file>") when refused, leaving the file as it was.
    void WriteStrings(std::string_view section, std::span<const IniEntry> entries) const;

    // The values of the keys from one read of the file; defs[i] where keys[i]
    // has none that converts (an empty or unconvertible text, or one too
    // large for a double).
    std::vector<double> ReadFloats(std::string_view section, std::span<const std::string_view> keys,
                                   std::span<const double> defs) const;
    // The number text of a value, as the file stores it.
    std::string FloatText(double value) const;

private:
    double ToFloat(const std::string& text, double def) const;

    std::string fileName_;
    char separator_;
};

// Whether the name is an existing regular file (a directory or FIFO is none).
bool FileExists(const std::string& fileName);

} // namespace nebelkamm
