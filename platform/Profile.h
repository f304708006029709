// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// One key's new value for ProfileUpdateMany.
struct ProfileEntry {
    std::string_view Key;
    std::string_view Value;
};

// The values of several keys from one pass over the content; each as
// ProfileLookup would give it.
std::vector<std::optional<std::string>> ProfileLookupMany(std::string_view content,
                                                          std::string_view section,
                                                          std::span<const std::string_view> keys);

// The bytes that ProfileUpdate would leave after writing the entries one
// after the other, in one pass over the content.
std::string ProfileUpdateMany(std::string_view content, std::string_view section,
                              std::span<const ProfileEntry> entries);

} // namespace nebelkamm
