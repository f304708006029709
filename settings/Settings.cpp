// SPDX-License-Identifier: MIT
#include "settings/Settings.h"

#include "core/Errors.h"
#include "core/Units.h"
#include "platform/Errors.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nebelkamm {

WindowArguments SplitWindowArguments(const std::vector<std::string>& args) {
    WindowArguments out;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!optionsDone && args[i] == "--") {
            optionsDone = true;
        } else if (!optionsDone && args[i] == "--input") {
            if (i + 1 == args.size())
                throw EUsageError("--input needs a value");
            out.Named.push_back(args[++i]);
        } else {
            out.Numbers.push_back(args[i]);
        }
    }
    return out;
}

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

std::vector<std::string> ChargeAirSettings::ApplyCommandLine(const std::vector<std::string>& args) {
    const size_t n = args.size();
    std::vector<std::string> notTaken;
    const auto say = [&](size_t i, const std::string& why) {
        std::string line = "argument " + std::to_string(i + 1) + " '" + args[i] + "'";
        if (i < InputCount)
            line += std::string(" (") + StoredInputs[i].Input->Key + ")";
        notTaken.push_back(line + " is not taken: " + why);
    };
    if (n > InputCount) {
        for (size_t i = 0; i < n; ++i)
            say(i, "with eight or more numbers none is; give inputs as --input KEY=VALUE");
        return notTaken;
    }
    for (size_t i = n; i-- > 0;) {
        const float v = ParamToFloat(args[i]);
        if (v > 0) {
            Inputs.*StoredInputs[i].Input->Input = static_cast<double>(v);
            FromCommandLine[i] = true;
            continue;
        }
        bool number = true;
        try {
            StrToFloat(args[i], separator_);
        } catch (const Exception&) {
            number = false;
        }
        say(i, std::string(number ? "only numbers above 0 are" : "not a number") + "; --input " +
                   StoredInputs[i].Input->Key + "=VALUE takes any");
    }
    std::reverse(notTaken.begin(), notTaken.end());
    return notTaken;
}

std::vector<ChargeAirSettings::Given>
ChargeAirSettings::ReadNamedInputs(const std::vector<std::string>& named) const {
    std::vector<Given> given;
    for (const std::string& arg : named) {
        const std::size_t eq = arg.rfind('=');
        const NamedInput n = InputMappedTo(std::string_view(arg).substr(0, eq));
        if (eq == std::string::npos || !n.Refusal.empty())
            throw EUsageError("--input " + arg + ": " +
                              (eq == std::string::npos ? "KEY=VALUE wanted" : n.Refusal));
        double v = NAN;
        for (const char sep : {'.', separator_}) {
            try {
                v = StrToFloat(std::string_view(arg).substr(eq + 1), sep);
                break;
            } catch (const Exception&) {
            }
        }
        if (!std::isfinite(v))
            throw EUsageError("--input " + arg + ": '" + arg.substr(eq + 1) + "' is not a number");
        given.push_back({n, n.Unit.Apply(v)});
    }
    return given;
}

void ChargeAirSettings::SetNamedInputs(const std::vector<Given>& given) {
    for (const Given& g : given) {
        Inputs.*InputColumns[g.Input.Input].Input = g.Value;
        FromCommandLine[g.Input.Input] = true;
    }
    // An absolute scavenge pressure is gauge above the barometric pressure
    // as it finally stands.
    for (const Given& g : given)
        if (g.Input.LessBarometric())
            Inputs.ScavingAirPressure = g.Value - Inputs.PressureBeforeBlower;
}

void ChargeAirSettings::ApplyNamedInputs(const std::vector<std::string>& named) {
    SetNamedInputs(ReadNamedInputs(named));
}

std::vector<std::string> ChargeAirSettings::Start(const std::vector<std::string>& args,
                                                  const std::vector<std::string>& named) {
    const std::vector<Given> given = ReadNamedInputs(named); // before any file is touched
    if (IniFile.Exists()) {
        ReadSettings();
    } else {
        SetFirstRunValues();
        WriteSettings();
    }
    std::vector<std::string> notTaken = ApplyCommandLine(args);
    SetNamedInputs(given);
    return notTaken;
}

} // namespace nebelkamm
