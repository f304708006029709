#include "platform/Profile.h"

#include <optional>

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

// What a write needs to know of the file, found in one pass that stops at
// the key or at the end of its section.
struct Place {
    std::string_view eol = "\n"; // the first line's terminator
    bool lastUnterminated = false;
    bool sectionFound = false;
    std::optional<Line> key; // the key's line in the first matching section
    Line anchor;             // the header or the section's last key line
};

Place Locate(std::string_view content, std::string_view section, std::string_view key) {
    Place place;
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
                return place; // the section ended without the key
            if (!place.sectionFound && EqualsNoCase(line.name, section)) {
                place.sectionFound = inside = true;
                place.anchor = line;
            }
        } else if (inside && line.kind == Kind::Key) {
            if (EqualsNoCase(line.name, key)) {
                place.key = line;
                return place;
            }
            place.anchor = line;
        }
    }
    return place;
}

} // namespace

std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key) {
    const Place place = Locate(content, section, key);
    if (!place.key)
        return std::nullopt;
    const Line& l = *place.key;
    std::string_view value = Trim(content.substr(l.valueBegin, l.end - l.valueBegin));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, MaxValue));
}

std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value) {
    const Place place = Locate(content, section, key);
    const std::string_view eol = place.eol;
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (!place.sectionFound) {
        out.append(content);
        if (place.lastUnterminated)
            out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
        return out;
    }
    if (place.key) {
        out.append(content.substr(0, place.key->valueBegin));
        out.append(value);
        out.append(content.substr(place.key->end));
        return out;
    }
    const Line& anchor = place.anchor;
    out.append(content.substr(0, anchor.next));
    if (anchor.next == anchor.end) // the anchor is the last line, unterminated
        out.append(eol);
    out.append(key).append("=").append(value);
    if (anchor.next != anchor.end || anchor.next < content.size())
        out.append(eol);
    out.append(content.substr(anchor.next));
    return out;
}

} // namespace nebelkamm
