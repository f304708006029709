// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nebelkamm {

// Whether a pressure was written gauge or absolute; Plain when its unit
// does not say.
enum class PressureForm : std::uint8_t { Plain, Gauge, Absolute };

// How a number in some unit becomes the input's: (value + Offset) * Factor.
// An absolute scavenge pressure then still has the barometric pressure to
// be taken off, which only its row knows.
struct UnitConversion {
    double Offset = 0, Factor = 1;
    PressureForm Form = PressureForm::Plain;

    bool Identity() const { return Offset == 0 && Factor == 1; }
    double Apply(double value) const { return (value + Offset) * Factor; }
};

// What a column name, or a KEY[UNIT] of the command line, names.
struct NamedInput {
    int Input = -1; // the index in InputColumns; -1 for none
    UnitConversion Unit;
    std::string Refusal; // set when it names an input in a unit that cannot be read

    // Whether the row's barometric pressure is to be taken off after Unit.
    bool LessBarometric() const;
};

// The input a name names: its key or the window's caption, in any case,
// blanks around it ignored, with an optional "[unit]" after it in any of
// the units the input takes (blanks in it ignored; case only tells prefixes
// apart, as MPa and mPa, MW and mW). A known name in a unit it does not
// take, or the barometric pressure in a gauge unit, sets Refusal.
NamedInput InputNamedBy(std::string_view name);

// What a mapping of a column to a name (a key or caption with an optional
// [unit]) takes it as: Refusal set also when the name names no input.
NamedInput InputMappedTo(std::string_view name);

// The units an input takes, as they are written: "°C, C, degC, ...".
std::string UnitsOf(std::size_t input);

} // namespace nebelkamm
