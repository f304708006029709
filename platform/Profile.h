#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nebelkamm {

// The private-profile rules of the settings file, on the file's bytes.

// The value of key in section, or nothing when the section or key is
// missing. An empty value is an empty text, not a missing key.
std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key);

// The file's bytes after writing key=value into section: only that key's
// value changes; a missing key or section is added; every other byte stays.
std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value);

} // namespace nebelkamm
