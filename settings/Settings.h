// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Units.h"
#include "model/Chargeair.h"
#include "platform/Inifile.h"
#include "platform/NumberText.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// The settings file lives in the current working directory.
inline constexpr const char* SettingsFileName = "./Nebelkamm.ini";
inline constexpr const char* SettingsSection = "Input";

// An input as the settings file keeps it: under its column's key, in the
// columns' order (which is also the command line's).
struct StoredInput {
    const Column* Input;
    double Default;  // for a missing or unreadable key
    double FirstRun; // when there is no settings file
};

inline constexpr std::array<StoredInput, InputCount> StoredInputs{{
    {.Input = &Columns[0], .Default = 50, .FirstRun = 50},
    {.Input = &Columns[1], .Default = 20, .FirstRun = 20},
    {.Input = &Columns[2], .Default = 1.02, .FirstRun = 1.2},
    {.Input = &Columns[3], .Default = 2.4, .FirstRun = 2.4},
    {.Input = &Columns[4], .Default = 40, .FirstRun = 40},
    {.Input = &Columns[5], .Default = 7.8, .FirstRun = 7.8},
    {.Input = &Columns[6], .Default = 40000, .FirstRun = 40000},
}};

// The window's arguments: --input KEY=VALUE (repeatable) and the positional
// numbers; "--" ends the options.
struct WindowArguments {
    std::vector<std::string> Numbers, Named;
};
WindowArguments SplitWindowArguments(const std::vector<std::string>& args);

// The inputs as the program keeps them between runs: loaded at start,
// overridden by the command line, saved when the program ends.
class ChargeAirSettings {
public:
    // Touches no file yet.
    explicit ChargeAirSettings(std::string fileName = SettingsFileName,
                               char decimalSeparator = SystemDecimalSeparator());

    // Reads the seven inputs from the file; a missing or unreadable key
    // takes its default.
    void ReadSettings();
    // Writes the seven inputs in one transaction; throws EIniFileException
    // ("Unable to write to <file>") when refused, leaving the file as it was.
    void WriteSettings() const;
    // The values of a first run, when there is no file.
    void SetFirstRunValues();

    // The argument's number rounded to single precision; 0 for any text that
    // does not convert. Throws EOverflow beyond the single range.
    float ParamToFloat(std::string_view text) const;

    // Arguments after the program name, read from the last to the first;
    // only values above 0 are taken, and none at all from eight or more.
    // Returns a line for each argument not taken, naming it and the input
    // it would have set.
    std::vector<std::string> ApplyCommandLine(const std::vector<std::string>& args);

    // Inputs given as KEY=VALUE or KEY[UNIT]=VALUE (a key or caption, a
    // unit it takes), after the positional numbers: any sign, in double
    // precision, the value with a point or the locale's separator. Throws
    // EUsageError for one that is not understood, before setting any.
    void ApplyNamedInputs(const std::vector<std::string>& named);

    // Load or create the file, then apply the command line: the positional
    // numbers, then the named inputs. Returns ApplyCommandLine's lines.
    std::vector<std::string> Start(const std::vector<std::string>& args,
                                   const std::vector<std::string>& named = {});

    ChargeAirInputs Inputs;
    TIniFile IniFile;
    // The inputs that the command line set, in InputColumns' order.
    std::array<bool, InputCount> FromCommandLine{};

private:
    struct Given {
        NamedInput Input;
        double Value; // in the input's unit, before the barometric pressure is taken off
    };
    std::vector<Given> ReadNamedInputs(const std::vector<std::string>& named) const;
    void SetNamedInputs(const std::vector<Given>& given);

    char separator_;
};

} // namespace nebelkamm
