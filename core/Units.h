// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// A column name the program does not know, taken as an input: "TAC" as
// "TempAfterCooler[°F]".
struct ColumnMapping {
    std::string Header; // the column's name as the table writes it
    std::string Input;  // a key or caption, with an optional [unit]
};

// What a mapping maps its column to; throws EUsageError when that is no
// input or a unit the input does not take.
NamedInput MappedInput(const ColumnMapping& mapping);

// What each of a table's column names names, through a mapping where one
// names it. Throws EDataError for a unit an input does not take, an input
// named twice or none named; EUsageError for a mapping not understood or
// of a name not among them.
std::vector<NamedInput> NameColumns(std::span<const std::string> names,
                                    std::span<const ColumnMapping> mappings);

// Whether a column name is that of a result or message column of a batch
// (with the reference ones when asked for): a column that the new results
// replace.
bool IsResultName(std::string_view name, bool reference);

// A name without the blanks and tabs around it.
std::string_view TrimBlanks(std::string_view s);
// Whether two names are the same in any case (ASCII letters).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// At most 40 bytes of a text for a message on one line: cut where a
// character starts, control characters as blanks.
std::string Excerpt(std::string_view text);

// The units an input takes, as they are written: "°C, C, degC, ...".
std::string UnitsOf(std::size_t input);

} // namespace nebelkamm
