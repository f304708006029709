// SPDX-License-Identifier: MIT
#include "core/Columns.h"

namespace nebelkamm {
namespace {

constexpr bool Blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && Blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && Blank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// A unit as written in a header, against the column's: the same in any case,
// and degrees Celsius also without the degree sign.
bool SameUnit(std::string_view written, std::string_view unit) {
    written = Trimmed(written);
    unit = unit.substr(1, unit.size() - 2); // without the brackets
    if (SameText(written, unit))
        return true;
    return unit == "°C" &&
           (SameText(written, "C") || SameText(written, "degC") || SameText(written, "deg C"));
}

} // namespace

const Column* WindowColumn(int row) {
    for (const Column& c : Columns)
        if (c.WindowRow == row)
            return &c;
    return nullptr;
}

std::span<const Column* const> ClassicRows() {
    static const auto rows = [] {
        std::array<const Column*, InputCount + ClassicCount> out{};
        std::size_t n = 0;
        for (int row = 1; const Column* c = WindowColumn(row); ++row)
            out[n++] = c;
        for (const Column& c : ClassicColumns)
            if (c.WindowRow == 0)
                out[n++] = &c;
        return out;
    }();
    return rows;
}

std::string ReferenceHeading(AirBasis basis) {
    return std::string(ReferenceTitle) + ", air flow of " + AirBasisName(basis) + " air";
}

const Column* InputByKey(std::string_view key) {
    for (const Column& c : InputColumns)
        if (key == c.Key)
            return &c;
    return nullptr;
}

int InputNamedBy(std::string_view cell, bool* wrongUnit) {
    if (wrongUnit)
        *wrongUnit = false;
    std::string_view name = Trimmed(cell), unit;
    bool hasUnit = false;
    if (name.ends_with(']')) {
        const std::size_t open = name.rfind('[');
        if (open != std::string_view::npos) {
            unit = name.substr(open + 1, name.size() - open - 2);
            name = Trimmed(name.substr(0, open));
            hasUnit = true;
        }
    }
    for (std::size_t k = 0; k < InputCount; ++k) {
        const Column& c = InputColumns[k];
        if (!SameText(name, c.Key) && !SameText(name, c.Caption))
            continue;
        if (hasUnit && !SameUnit(unit, c.Unit)) {
            if (wrongUnit)
                *wrongUnit = true;
            return -1;
        }
        return static_cast<int>(k);
    }
    return -1;
}

} // namespace nebelkamm
