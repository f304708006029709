// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include "platform/Errors.h"
#include "platform/NumberText.h"

#include <cmath>
#include <limits>

namespace nebelkamm {

ChargeAirSettings::ChargeAirSettings(std::string fileName, char decimalSeparator)
    : IniFile(std::move(fileName), decimalSeparator), separator_(decimalSeparator) {}

void ChargeAirSettings::ReadSettings() {
    std::array<std::string_view, InputCount> keys;
    std::array<double, InputCount> defs;
    for (size_t i = 0; i < InputCount; ++i) {
        keys[i] = StoredInputs[i].Input->Key;
        defs[i] = StoredInputs[i].Default;
    }
    const std::vector<double> values = IniFile.ReadFloats(SettingsSection, keys, defs);
    for (size_t i = 0; i < InputCount; ++i)
        Inputs.*StoredInputs[i].Input->Input = values[i];
}

void ChargeAirSettings::WriteSettings() const {
    // One transaction: a crash or a second program never leaves some of the
    // seven from this save and some from another.
    std::vector<IniEntry> entries;
    entries.reserve(InputCount);
    for (const StoredInput& s : StoredInputs)
        entries.push_back({s.Input->Key, IniFile.FloatText(Inputs.*s.Input->Input)});
    IniFile.WriteStrings(SettingsSection, entries);
}

void ChargeAirSettings::SetFirstRunValues() {
    for (const StoredInput& s : StoredInputs)
        Inputs.*s.Input->Input = s.FirstRun;
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
    if (n == 0 || n > InputCount)
        return;
    for (size_t i = n; i-- > 0;) {
        const float v = ParamToFloat(args[i]);
        if (v > 0)
            Inputs.*StoredInputs[i].Input->Input = static_cast<double>(v);
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
