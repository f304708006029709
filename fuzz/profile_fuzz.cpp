// SPDX-License-Identifier: MIT
// The profile layer on any bytes with any sequence of writes: a written key
// reads back, one pass gives the bytes of separate writes, and every line
// that was not written stays.
#include "platform/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace nebelkamm;

namespace {

// A name or value drawn from the input: up to the next 0xFF byte.
std::string_view Take(std::string_view& in) {
    const size_t end = in.find('\xFF');
    const std::string_view part = in.substr(0, end);
    in.remove_prefix(end == std::string_view::npos ? in.size() : end + 1);
    return part;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// What the settings file accepts as a section or key name.
bool Readable(std::string_view name) {
    return !name.empty() && !IsBlank(name.front()) && !IsBlank(name.back()) &&
           name.front() != ';' && name.front() != '[' &&
           name.find_first_of(std::string_view("=]\r\n\0", 5)) == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::string content(Take(in));
    const std::string_view section = Take(in);
    std::vector<ProfileEntry> entries;
    while (!in.empty() && entries.size() < 8) {
        const std::string_view key = Take(in);
        const std::string_view value = Take(in);
        if (!Readable(key) || value.size() > 1000 ||
            value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            continue;
        entries.push_back({key, value});
    }
    (void)ProfileLookup(content, section, "A");
    if (!Readable(section) || entries.empty())
        return 0;

    std::string sequential = content;
    for (const ProfileEntry& e : entries)
        sequential = ProfileUpdate(sequential, section, e.Key, e.Value);
    if (ProfileUpdateMany(content, section, entries) != sequential)
        std::abort();
    // The last write of each key wins, and reads back as written (a value
    // in matching quotes reads without them).
    for (size_t i = 0; i < entries.size(); ++i) {
        bool later = false;
        for (size_t j = i + 1; j < entries.size(); ++j)
            later = later || Lower(entries[j].Key) == Lower(entries[i].Key);
        if (later)
            continue;
        std::string_view want = entries[i].Value;
        while (!want.empty() && IsBlank(want.front()))
            want.remove_prefix(1);
        while (!want.empty() && IsBlank(want.back()))
            want.remove_suffix(1);
        if (want.size() >= 2 && (want.front() == '"' || want.front() == '\'') &&
            want.back() == want.front())
            want = want.substr(1, want.size() - 2);
        const auto read = ProfileLookup(sequential, section, entries[i].Key);
        if (!read || *read != want)
            std::abort();
    }
    return 0;
}
