// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
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
    void ApplyCommandLine(const std::vector<std::string>& args);

    // Load or create the file, then apply the command line.
    void Start(const std::vector<std::string>& args);

    ChargeAirInputs Inputs;
    TIniFile IniFile;

private:
    char separator_;
};

} // namespace nebelkamm
