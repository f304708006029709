// SPDX-License-Identifier: MIT
#include "platform/Profile.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace nebelkamm {
namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";
constexpr size_t MaxValue = 2047;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

enum class Kind { Other, Comment, Header, Key };

struct Line {
    size_t begin = 0; // offset of the line's first byte in the content
    size_t end = 0;   // offset just past its text, before the terminator
    size_t next = 0;  // offset past the terminator
    Kind kind = Kind::Other;
    std::string_view name; // section name or key, trimmed
    size_t valueBegin = 0; // for keys: first non-blank after '=' (or end)
};

// Walks the lines one at a time, so that no table of them grows with the
// file: a file of any size is read in one pass and constant extra memory.
class Lines {
public:
    explicit Lines(std::string_view content)
        : content_(content), pos_(content.starts_with(Bom) ? Bom.size() : 0) {}

    bool Next(Line& line) {
        if (pos_ >= content_.size())
            return false;
        line = Line{};
        line.begin = pos_;
        const size_t e = content_.find_first_of("\r\n", pos_);
        line.end = e == std::string_view::npos ? content_.size() : e;
        size_t next = line.end;
        if (next < content_.size())
            next +=
                (content_[next] == '\r' && next + 1 < content_.size() && content_[next + 1] == '\n')
                    ? 2
                    : 1;
        line.next = pos_ = next;

        const std::string_view text = content_.substr(line.begin, line.end - line.begin);
        const std::string_view trimmed = Trim(text);
        if (trimmed.empty()) {
            line.kind = Kind::Other;
        } else if (trimmed.front() == ';') {
            line.kind = Kind::Comment;
        } else if (trimmed.front() == '[') {
            line.kind = Kind::Header;
            const std::string_view inner = trimmed.substr(1);
            line.name = Trim(inner.substr(0, inner.find(']')));
        } else if (const size_t eq = text.find('='); eq != std::string_view::npos) {
            line.kind = Kind::Key;
            line.name = Trim(text.substr(0, eq));
            size_t v = eq + 1;
            while (v < text.size() && IsBlank(text[v]))
                ++v;
            line.valueBegin = line.begin + v;
        }
        return true;
    }

private:
    std::string_view content_;
    size_t pos_;
};

// What a write needs to know of the file, found in one pass that stops
// once every key is found or at the end of the first matching section.
struct Place {
    std::string_view eol = "\n"; // the first line's terminator
    bool lastUnterminated = false;
    bool sectionFound = false;
    std::vector<std::optional<Line>> keys; // each key's line in that section
    Line anchor;                           // the header or the section's last key line
};

Place Locate(std::string_view content, std::string_view section,
             std::span<const std::string_view> keys) {
    Place place;
    place.keys.resize(keys.size());
    size_t missing = keys.size();
    Lines lines(content);
    Line line;
    bool first = true, inside = false;
    while (lines.Next(line)) {
        if (first && line.next > line.end)
            place.eol = content.substr(line.end, line.next - line.end);
        first = false;
        place.lastUnterminated = line.next == line.end;
        if (line.kind == Kind::Header) {
            if (inside)
                return place; // the section ended
            if (!place.sectionFound && EqualsNoCase(line.name, section)) {
                place.sectionFound = inside = true;
                place.anchor = line;
            }
        } else if (inside && line.kind == Kind::Key) {
            for (size_t i = 0; i < keys.size(); ++i) {
                if (!place.keys[i] && EqualsNoCase(line.name, keys[i])) {
                    place.keys[i] = line;
                    --missing;
                }
            }
            if (missing == 0)
                return place;
            place.anchor = line;
        }
    }
    return place;
}

std::string ValueOf(std::string_view content, const Line& l) {
    std::string_view value = Trim(content.substr(l.valueBegin, l.end - l.valueBegin));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, MaxValue));
}

bool Distinct(std::span<const ProfileEntry> entries) {
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i + 1; j < entries.size(); ++j)
            if (EqualsNoCase(entries[i].Key, entries[j].Key))
                return false;
    return true;
}

} // namespace

std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key) {
    return ProfileLookupMany(content, section, {&key, 1}).front();
}

std::vector<std::optional<std::string>> ProfileLookupMany(std::string_view content,
                                                          std::string_view section,
                                                          std::span<const std::string_view> keys) {
    const Place place = Locate(content, section, keys);
    std::vector<std::optional<std::string>> values(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        if (place.keys[i])
            values[i] = ValueOf(content, *place.keys[i]);
    return values;
}

std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value) {
    const ProfileEntry entry{key, value};
    return ProfileUpdateMany(content, section, {&entry, 1});
}

std::string ProfileUpdateMany(std::string_view content, std::string_view section,
                              std::span<const ProfileEntry> entries) {
    if (!Distinct(entries)) { // a later write of a key sees the earlier one
        std::string out(content);
        for (const ProfileEntry& e : entries)
            out = ProfileUpdateMany(out, section, {&e, 1});
        return out;
    }
    std::vector<std::string_view> keys;
    size_t extra = section.size() + 8;
    for (const ProfileEntry& e : entries) {
        keys.push_back(e.Key);
        extra += e.Key.size() + e.Value.size() + 4;
    }
    const Place place = Locate(content, section, keys);
    const std::string_view eol = place.eol;
    std::string out;
    out.reserve(content.size() + extra);

    // Separate writes would append the section with the first key, then
    // insert each further key after the one before: the same lines in order.
    if (!place.sectionFound) {
        out.append(content);
        if (place.lastUnterminated)
            out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        for (const ProfileEntry& e : entries)
            out.append(e.Key).append("=").append(e.Value).append(eol);
        return out;
    }

    // Existing keys get their new values in place, in file order; missing
    // ones follow the section's last key line, in the order given.
    std::vector<std::pair<const Line*, std::string_view>> replaced;
    for (size_t i = 0; i < entries.size(); ++i)
        if (place.keys[i])
            replaced.emplace_back(&*place.keys[i], entries[i].Value);
    std::sort(replaced.begin(), replaced.end(),
              [](const auto& a, const auto& b) { return a.first->begin < b.first->begin; });
    size_t at = 0;
    for (const auto& [line, value] : replaced) {
        out.append(content.substr(at, line->valueBegin - at));
        out.append(value);
        at = line->end;
    }
    if (replaced.size() == entries.size()) {
        out.append(content.substr(at));
        return out;
    }
    const Line& anchor = place.anchor; // after every replaced line
    out.append(content.substr(at, anchor.next - at));
    // An unterminated anchor is the file's last line: each new line starts
    // with a terminator and the file still ends without one.
    const bool unterminated = anchor.next == anchor.end;
    // A lone CR right before an LF would join it into one CRLF and swallow
    // the line that the LF ends: there the new lines end with CRLF.
    const std::string_view term =
        eol == "\r" && anchor.next < content.size() && content[anchor.next] == '\n' ? "\r\n"
                                                                                   : eol;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (place.keys[i])
            continue;
        if (unterminated)
            out.append(eol);
        out.append(entries[i].Key).append("=").append(entries[i].Value);
        if (!unterminated)
            out.append(term);
    }
    out.append(content.substr(anchor.next));
    return out;
}

} // namespace nebelkamm
