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
    for (const SettingKey& k : SettingKeys)
        Inputs.*k.Field = IniFile.ReadFloat(SettingsSection, k.Key, k.Default);
}

void ChargeAirSettings::WriteSettings() const {
    for (const SettingKey& k : SettingKeys)
        IniFile.WriteFloat(SettingsSection, k.Key, Inputs.*k.Field);
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
