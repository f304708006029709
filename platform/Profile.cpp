#include "platform/Profile.h"

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

std::vector<Line> Parse(std::string_view content, size_t start) {
    std::vector<Line> lines;
    size_t pos = start;
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        size_t e = pos;
        while (e < content.size() && content[e] != '\r' && content[e] != '\n')
            ++e;
        line.end = e;
        if (e < content.size())
            e += (content[e] == '\r' && e + 1 < content.size() && content[e + 1] == '\n') ? 2 : 1;
        line.next = e;
        pos = e;

        const std::string_view text = content.substr(line.begin, line.end - line.begin);
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
        lines.push_back(line);
    }
    return lines;
}

size_t SkipBom(std::string_view content) {
    return content.starts_with(Bom) ? Bom.size() : 0;
}

// Index range [first, last) of the lines of the first section named so;
// first == npos when there is none. The header itself is first - 1.
struct Section {
    size_t header = std::string_view::npos;
    size_t last = 0;
};

Section FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::Header && EqualsNoCase(lines[i].name, section)) {
            size_t j = i + 1;
            while (j < lines.size() && lines[j].kind != Kind::Header)
                ++j;
            return {i, j};
        }
    }
    return {};
}

std::string_view Terminator(std::string_view content, const std::vector<Line>& lines) {
    if (!lines.empty() && lines[0].next > lines[0].end)
        return content.substr(lines[0].end, lines[0].next - lines[0].end);
    return "\n";
}

} // namespace

std::optional<std::string> ProfileLookup(std::string_view content, std::string_view section,
                                         std::string_view key) {
    const auto lines = Parse(content, SkipBom(content));
    const Section s = FindSection(lines, section);
    if (s.header == std::string_view::npos)
        return std::nullopt;
    for (size_t i = s.header + 1; i < s.last; ++i) {
        const Line& l = lines[i];
        if (l.kind != Kind::Key || !EqualsNoCase(l.name, key))
            continue;
        std::string_view value = Trim(content.substr(l.valueBegin, l.end - l.valueBegin));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value.substr(0, MaxValue));
    }
    return std::nullopt;
}

std::string ProfileUpdate(std::string_view content, std::string_view section, std::string_view key,
                          std::string_view value) {
    const auto lines = Parse(content, SkipBom(content));
    const std::string_view eol = Terminator(content, lines);
    const Section s = FindSection(lines, section);
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (s.header == std::string_view::npos) {
        out.append(content);
        if (!lines.empty() && lines.back().next == lines.back().end)
            out.append(eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
        return out;
    }

    size_t insertAfter = s.header;
    for (size_t i = s.header + 1; i < s.last; ++i) {
        const Line& l = lines[i];
        if (l.kind != Kind::Key)
            continue;
        if (EqualsNoCase(l.name, key)) {
            out.append(content.substr(0, l.valueBegin));
            out.append(value);
            out.append(content.substr(l.end));
            return out;
        }
        insertAfter = i;
    }
    const Line& anchor = lines[insertAfter];
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
