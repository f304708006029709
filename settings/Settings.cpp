#include "settings/Settings.h"

#include "platform/Errors.h"
#include "platform/NumberText.h"

#include <cmath>
#include <limits>

namespace nebelkamm {

const std::array<SettingKey, 7> SettingKeys{{
    {"RelativeHumidity", &ChargeAirInputs::RelativeHumidity, 50, 50},
    {"TempBeforeBlower", &ChargeAirInputs::TempBeforeBlower, 20, 20},
    {"PressureBeforeBlower", &ChargeAirInputs::PressureBeforeBlower, 1.02, 1.2},
    {"ScavingAirPressure", &ChargeAirInputs::ScavingAirPressure, 2.4, 2.4},
    {"TempAfterCooler", &ChargeAirInputs::TempAfterCooler, 40, 40},
    {"SpecificAirFlow", &ChargeAirInputs::SpecificAirFlow, 7.8, 7.8},
    {"PowerOnEngine", &ChargeAirInputs::PowerOnEngine, 40000, 40000},
}};

ChargeAirSettings::ChargeAirSettings(std::string fileName, char decimalSeparator)
    : IniFile(std::move(fileName), decimalSeparator), separator_(decimalSeparator) {}

void ChargeAirSettings::ReadSettings() {
    std::array<std::string_view, SettingKeys.size()> keys;
    std::array<double, SettingKeys.size()> defs;
    for (size_t i = 0; i < SettingKeys.size(); ++i) {
        keys[i] = SettingKeys[i].Key;
        defs[i] = SettingKeys[i].Default;
    }
    const std::vector<double> values = IniFile.ReadFloats(SettingsSection, keys, defs);
    for (size_t i = 0; i < SettingKeys.size(); ++i)
        Inputs.*SettingKeys[i].Field = values[i];
}

void ChargeAirSettings::WriteSettings() const {
    // One transaction: a crash or a second program never leaves some of the
    // seven from this save and some from another.
    std::vector<IniEntry> entries;
    entries.reserve(SettingKeys.size());
    for (const SettingKey& k : SettingKeys)
        entries.push_back({k.Key, IniFile.FloatText(Inputs.*k.Field)});
    IniFile.WriteStrings(SettingsSection, entries);
}

void ChargeAirSettings::SetFirstRunValues() {
    for (const SettingKey& k : SettingKeys)
        Inputs.*k.Field = k.FirstRun;
}

float ChargeAirSettings::ParamToFloat(std::string_view text) const {
    double v = 0;
    try {
        v = StrToFloat(text, separator_);
    } catch (const Exception&) {
        v = 0;
    }
    // Narrowing happens outside the handler: a value beyond the single range
    // is a floating-point overflow, not an ignored argument. Halfway past
    // FLT_MAX already rounds to infinity.
    constexpr double overflowAt = 0x1.ffffffp127;
    if (!(std::fabs(v) < overflowAt))
        throw EOverflow();
    return static_cast<float>(v);
}

void ChargeAirSettings::ApplyCommandLine(const std::vector<std::string>& args) {
    const size_t n = args.size();
    if (n == 0 || n > SettingKeys.size())
        return;
    for (size_t i = n; i-- > 0;) {
        const float v = ParamToFloat(args[i]);
        if (v > 0)
            Inputs.*SettingKeys[i].Field = static_cast<double>(v);
    }
}

void ChargeAirSettings::Start(const std::vector<std::string>& args) {
    if (IniFile.Exists()) {
        ReadSettings();
    } else {
        SetFirstRunValues();
        WriteSettings();
    }
    ApplyCommandLine(args);
}

} // namespace nebelkamm
