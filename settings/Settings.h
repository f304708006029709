// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "platform/Inifile.h"
#include "platform/NumberText.h"
#include "settings/Rows.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// The settings file lives in the current working directory.
inline constexpr const char* SettingsFileName = "./Nebelkamm.ini";
inline constexpr const char* SettingsSection = "Input";

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
