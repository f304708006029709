// SPDX-License-Identifier: MIT
#include "cli/Cli.h"

#include "model/Chargeair.h"
#include "model/Version.h"
#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "settings/Settings.h"

#include <charconv>
#include <cmath>
#include <iomanip>
#include <new>
#include <ostream>
#include <string_view>

namespace nebelkamm {
namespace {

constexpr const char* Usage =
    "Usage: nebelkamm-cli [--json] [--no-save] [--help] [--version] [--] [v1 ... v7]\n"
    "\n"
    "Computes the water that condenses in the charge air cooler from the inputs in\n"
    "./Nebelkamm.ini (created with first-run values when missing), overridden by up to\n"
    "seven numbers in this order:\n"
    "  relative humidity [%], temperature before blower [C], barometric pressure\n"
    "  [bar], scavenge air pressure [bar], temperature after cooler [C], specific air\n"
    "  flow [kg/kWh], power on engine [kW]\n"
    "Only numbers above 0 are taken; with eight or more, none is. The inputs are\n"
    "written back to ./Nebelkamm.ini afterwards.\n"
    "\n"
    "  --json     print {\"inputs\": {...}, \"results\": {...}}\n"
    "  --no-save  leave ./Nebelkamm.ini as it is (and do not create it)\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "\n"
    "Exit status: 0 done, 1 floating-point failure, 2 settings file not written,\n"
    "64 unknown option, 71 out of memory.\n";

// Shortest text that reads back to the same double, laid out as JavaScript
// prints numbers: plain from 1e-6 up to below 1e21 (100000, 0.0001), an
// exponent outside (1e-7, 1.5e+300). JSON has no NaN or infinity: null.
std::string JsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    char buf[64];
    const double a = std::fabs(v);
    if (a == 0 || (a >= 1e-6 && a < 1e21))
        return std::string(buf,
                           std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed).ptr);
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr;
    std::string text(buf, end); // d.ddde+XX: drop the exponent's leading zeros
    const size_t e = text.find('e');
    size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0')
        ++digits;
    return text.substr(0, e + 1) + (text[e + 1] == '-' ? "-" : "+") + text.substr(digits);
}

void PrintTable(std::ostream& out, const ChargeAirInputs& in, const ChargeAirResults& res,
                char separator) {
    for (const ChargeAirRow& row : ChargeAirRows) {
        const double v = row.Value(in, res);
        const std::string text = FormatFloat(DisplayPattern(row.Decimals), v, separator);
        out << std::left << std::setw(44) << row.Caption << std::right << std::setw(14) << text
            << "  " << row.Unit << '\n';
    }
}

void PrintJson(std::ostream& out, const ChargeAirInputs& in, const ChargeAirResults& res) {
    auto block = [&](bool inputs) {
        bool first = true;
        for (const ChargeAirRow& row : ChargeAirRows) {
            if (row.IsInput() != inputs)
                continue;
            out << (first ? "\n" : ",\n") << "    \"" << row.Key
                << "\": " << JsonNumber(row.Value(in, res));
            first = false;
        }
        out << "\n  }";
    };
    out << "{\n  \"inputs\": {";
    block(true);
    out << ",\n  \"results\": {";
    block(false);
    out << "\n}\n";
}

} // namespace

namespace {

int Run(const std::vector<std::string>& args, char separator, std::ostream& out,
        std::ostream& err) {
    bool json = false;
    bool save = true;
    std::vector<std::string> numbers;
    bool optionsDone = false;
    for (const std::string& a : args) {
        if (!optionsDone && a.starts_with("--")) {
            if (a == "--") {
                optionsDone = true;
            } else if (a == "--json") {
                json = true;
            } else if (a == "--no-save") {
                save = false;
            } else if (a == "--help") {
                out << Usage;
                return CliOk;
            } else if (a == "--version") {
                out << "nebelkamm-cli " << Version << '\n';
                return CliOk;
            } else {
                err << "nebelkamm-cli: unknown option " << a << "\n" << Usage;
                return CliUsage;
            }
        } else {
            numbers.push_back(a);
        }
    }

    ChargeAirSettings settings(SettingsFileName, separator);
    try {
        if (save) {
            settings.Start(numbers);
        } else {
            if (settings.IniFile.Exists())
                settings.ReadSettings();
            else
                settings.SetFirstRunValues();
            settings.ApplyCommandLine(numbers);
        }
    } catch (const EMathError& e) {
        err << ExceptionDisplayText(e.Message()) << '\n';
        return CliFloatingPointFailure;
    } catch (const Exception& e) {
        err << ExceptionDisplayText(e.Message()) << '\n';
        return CliWriteFailure;
    }

    int status = CliOk;
    try {
        const ChargeAirResults res = ComputeChargeAir(
            settings.Inputs, [&](const MathError& m) { err << m.Message() << '\n'; });
        if (json)
            PrintJson(out, settings.Inputs, res);
        else
            PrintTable(out, settings.Inputs, res, separator);
    } catch (const EMathError& e) {
        err << ExceptionDisplayText(e.Message()) << '\n';
        status = CliFloatingPointFailure;
    }

    // As the window does when it closes, whether or not the computation failed.
    if (!save)
        return status;
    try {
        settings.WriteSettings();
    } catch (const Exception& e) {
        err << ExceptionDisplayText(e.Message()) << '\n';
        status = CliWriteFailure;
    }
    return status;
}

} // namespace

int RunCli(const std::vector<std::string>& args, char separator, std::ostream& out,
           std::ostream& err) {
    try {
        return Run(args, separator, out, err);
    } catch (const std::bad_alloc&) {
        // A settings file too large for this machine: say so, change nothing.
        err << "Out of memory." << std::endl;
        return CliOutOfMemory;
    }
}

} // namespace nebelkamm
