// SPDX-License-Identifier: MIT
#include "core/Units.h"

#include "core/Columns.h"
#include "core/Errors.h"

#include <algorithm>
#include <array>
#include <span>

namespace nebelkamm {
namespace {

constexpr bool Blank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A unit an input takes. Exact where case tells a prefix apart.
struct Unit {
    const char* Name;
    double Offset = 0, Factor = 1;
    bool Exact = false;
};

// 1 psi = 0.45359237 kg * 9.80665 m/s^2 per (0.0254 m)^2, in bar.
constexpr double PsiInBar = 0.45359237 * 9.80665 / (0.0254 * 0.0254) / 1e5;

constexpr std::array Humidity{Unit{"%"}, Unit{"%RH"}, Unit{"% RH"}};
constexpr std::array Temperature{
    Unit{"°C"},
    Unit{"C"},
    Unit{"degC"},
    Unit{"°F", -32, 1 / 1.8},
    Unit{"F", -32, 1 / 1.8},
    Unit{"degF", -32, 1 / 1.8},
    Unit{"K", -273.15},
};
constexpr std::array Pressure{
    Unit{"bar"},
    Unit{"mbar", 0, 1e-3, true},
    Unit{"hPa", 0, 1e-3},
    Unit{"kPa", 0, 1e-2},
    Unit{"MPa", 0, 10, true},
    Unit{"Pa", 0, 1e-5},
    Unit{"psi", 0, PsiInBar},
};
constexpr std::array AirFlow{Unit{"kg/kWh"}, Unit{"g/kWh", 0, 1e-3}};
constexpr std::array Power{Unit{"kW"}, Unit{"MW", 0, 1e3, true}};

// The units of an input, by the unit the program keeps it in.
std::span<const Unit> UnitsFor(std::string_view programUnit) {
    if (programUnit == "[%]")
        return Humidity;
    if (programUnit == "[°C]")
        return Temperature;
    if (programUnit == "[bar]")
        return Pressure;
    if (programUnit == "[kg/kWh]")
        return AirFlow;
    return Power;
}

// Pressures also as "bar g", "barg", "bar(g)", "bar a", "bara", "bar(a)".
struct Suffix {
    const char* Text;
    PressureForm Form;
};
constexpr std::array Suffixes{
    Suffix{"(g)", PressureForm::Gauge},      Suffix{"(a)", PressureForm::Absolute},
    Suffix{"(abs)", PressureForm::Absolute}, Suffix{"abs", PressureForm::Absolute},
    Suffix{"g", PressureForm::Gauge},        Suffix{"a", PressureForm::Absolute},
};

std::string WithoutBlanks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (!Blank(c))
            out += c;
    return out;
}

const Unit* Find(std::span<const Unit> units, std::string_view written) {
    for (const Unit& u : units) {
        const std::string name = WithoutBlanks(u.Name);
        if (u.Exact ? written == name : SameTextIgnoringCase(written, name))
            return &u;
    }
    return nullptr;
}

// The conversion of a unit as written, or false when the input does not
// take it.
bool Convert(std::string_view programUnit, std::string_view written, UnitConversion& out) {
    const std::string bare = WithoutBlanks(written);
    const std::span<const Unit> units = UnitsFor(programUnit);
    const Unit* unit = Find(units, bare);
    PressureForm form = PressureForm::Plain;
    for (std::size_t i = 0; !unit && units.data() == Pressure.data() && i < Suffixes.size(); ++i) {
        const std::string_view suffix = Suffixes[i].Text;
        if (bare.size() > suffix.size() &&
            SameTextIgnoringCase(std::string_view(bare).substr(bare.size() - suffix.size()),
                                 suffix)) {
            unit = Find(units, std::string_view(bare).substr(0, bare.size() - suffix.size()));
            form = Suffixes[i].Form;
        }
    }
    if (!unit)
        return false;
    out = {unit->Offset, unit->Factor, form};
    return true;
}

} // namespace

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && Blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && Blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool NamedInput::LessBarometric() const {
    return Input >= 0 && InputColumns[Input].Input == &ChargeAirInputs::ScavingAirPressure &&
           Unit.Form == PressureForm::Absolute;
}

std::string UnitsOf(std::size_t input) {
    std::string out;
    for (const Unit& u : UnitsFor(InputColumns[input].Unit))
        out += (out.empty() ? "" : ", ") + std::string(u.Name);
    if (UnitsFor(InputColumns[input].Unit).data() == Pressure.data())
        out += ", each also gauge or absolute (bar g, barg, bar(g), bar a, bara, bar(a))";
    return out;
}

NamedInput InputNamedBy(std::string_view cell) {
    std::string_view name = TrimBlanks(cell), unit;
    bool hasUnit = false;
    if (name.ends_with(']')) {
        const std::size_t open = name.rfind('[');
        if (open != std::string_view::npos) {
            unit = name.substr(open + 1, name.size() - open - 2);
            name = TrimBlanks(name.substr(0, open));
            hasUnit = true;
        }
    }
    NamedInput named;
    for (std::size_t k = 0; k < InputCount; ++k) {
        const Column& c = InputColumns[k];
        if (!SameTextIgnoringCase(name, c.Key) && !SameTextIgnoringCase(name, c.Caption))
            continue;
        named.Input = static_cast<int>(k);
        if (hasUnit && !Convert(c.Unit, unit, named.Unit))
            named.Refusal = std::string(1, '[').append(TrimBlanks(unit)) + "] is not a unit of " +
                            c.Key + ", which takes " + UnitsOf(k);
        else if (c.Input == &ChargeAirInputs::PressureBeforeBlower &&
                 named.Unit.Form == PressureForm::Gauge)
            named.Refusal =
                std::string(c.Key) + " is the barometric pressure: absolute, never gauge";
        return named;
    }
    return named;
}

NamedInput InputMappedTo(std::string_view name) {
    NamedInput n = InputNamedBy(name);
    if (n.Input < 0) {
        n.Refusal = "no input is called " + std::string(TrimBlanks(name)) + "; the inputs are";
        for (const Column& c : InputColumns)
            n.Refusal += std::string(&c == InputColumns.data() ? " " : ", ") + c.Key;
    }
    return n;
}

NamedInput MappedInput(const ColumnMapping& mapping) {
    NamedInput n = InputMappedTo(mapping.Input);
    if (!n.Refusal.empty())
        throw EUsageError("--column " + mapping.Header + "=" + mapping.Input + ": " + n.Refusal);
    return n;
}

std::vector<NamedInput> NameColumns(std::span<const std::string> names,
                                    std::span<const ColumnMapping> mappings) {
    for (const ColumnMapping& m : mappings) {
        MappedInput(m);
        if (std::find(names.begin(), names.end(), m.Header) == names.end())
            throw EUsageError("--column " + m.Header + "=" + m.Input +
                              ": the header has no column '" + m.Header + "'");
    }
    std::vector<NamedInput> named;
    named.reserve(names.size());
    bool seen[InputCount] = {};
    for (const std::string& name : names) {
        const auto m = std::find_if(mappings.begin(), mappings.end(),
                                    [&](const ColumnMapping& m) { return m.Header == name; });
        NamedInput n = m != mappings.end() ? MappedInput(*m) : InputNamedBy(name);
        if (!n.Refusal.empty())
            throw EDataError("column '" + Excerpt(name) + "': " + n.Refusal);
        if (n.Input >= 0 && seen[n.Input])
            throw EDataError("the header names " + std::string(InputColumns[n.Input].Key) +
                             " twice");
        if (n.Input >= 0)
            seen[n.Input] = true;
        named.push_back(std::move(n));
    }
    if (std::none_of(std::begin(seen), std::end(seen), [](bool b) { return b; }))
        throw EDataError("the header names no input: name the columns by their keys or the "
                         "window's captions, for instance RelativeHumidity or "
                         "\"Relative humidity [%]\", or map them (--column, columns=)");
    return named;
}

bool IsResultName(std::string_view name, bool reference) {
    for (const Column& c : OutputColumns(reference))
        if (c.Group != ColumnGroup::Input && name == c.Key)
            return true;
    return false;
}

std::string Excerpt(std::string_view text) {
    constexpr std::size_t most = 40;
    std::size_t cut = text.size();
    if (cut > most) {
        cut = most;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    }
    std::string out(text.substr(0, cut));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return cut < text.size() ? out + "..." : out;
}

} // namespace nebelkamm
