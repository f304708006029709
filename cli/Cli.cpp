// SPDX-License-Identifier: MIT
#include "cli/Cli.h"

#include "cli/Plot.h"
#include "model/Chargeair.h"
#include "model/Reference.h"
#include "model/Version.h"
#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "settings/Batch.h"
#include "settings/Settings.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <system_error>

#include <cmath>
#include <fcntl.h>
#include <iomanip>
#include <new>
#include <ostream>
#include <string_view>
#include <unistd.h>

namespace nebelkamm {
namespace {

constexpr const char* Usage =
    "Usage: nebelkamm-cli [--json] [--no-save] [--reference] [--air-basis humid|dry]\n"
    "                     [--help] [--version] [--] [v1 ... v7]\n"
    "       nebelkamm-cli --batch FILE [--reference ...] [--] [v1 ... v7]\n"
    "       nebelkamm-cli --sweep KEY=FROM:TO:STEP [--plot FILE] [--reference ...] [--]\n"
    "                     [v1 ... v7]\n"
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
    "  --batch FILE  one row of results for each row of the CSV file (- for standard\n"
    "             input): its header names input columns by their keys, in any order\n"
    "             and subset (a missing one takes the stored input); other columns are\n"
    "             passed through. Comma-separated with \".\" decimals, or\n"
    "             semicolon-separated with the locale's separator.\n"
    "  --sweep KEY=FROM:TO:STEP  the stored inputs with one of them stepped, as CSV\n"
    "             (for instance TempAfterCooler=20:60:0.5; at most 100000 points)\n"
    "  --plot FILE  with --sweep: the chart of WaterAtSeparator as PNG, SVG or PDF\n"
    "  --reference  adds the reference result: saturation after Hyland and Wexler,\n"
    "             the enhancement factor of moist air, the cooler at its absolute\n"
    "             pressure; the dew point is over liquid water, also below 0 C (not a\n"
    "             frost point); the margin is the temperature after cooler minus it,\n"
    "             negative when water condenses. A second block of text, \"reference\"\n"
    "             in JSON, Ref... columns after message in a batch or sweep, a second\n"
    "             curve in a plot. The classic result stays as it is.\n"
    "  --air-basis humid|dry  with --reference: the specific air flow is humid air\n"
    "             as measured (the default) or dry air\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "\n"
    "Batch and sweep never write the settings file.\n"
    "\n"
    "Exit status: 0 done, 1 floating-point failure, 2 settings file not written,\n"
    "3 some batch or sweep rows failed (see their message column), 64 usage error,\n"
    "71 out of memory.\n";

// JSON has no NaN or infinity: those become null.
std::string JsonNumber(double v) {
    char buf[ShortestTextMax];
    const std::size_t n = ShortestText(v, buf);
    return n ? std::string(buf, n) : "null";
}

// One line of the text output: caption, value right-aligned, unit.
void PrintRow(std::ostream& out, const char* caption, int decimals, double value, char separator,
              const char* unit) {
    out << std::left << std::setw(44) << caption << std::right << std::setw(14)
        << FormatFloat(DisplayPattern(decimals), value, separator) << "  " << unit << '\n';
}

void PrintTable(std::ostream& out, const ChargeAirInputs& in, const ChargeAirResults& res,
                char separator) {
    for (const ChargeAirRow& row : ChargeAirRows)
        PrintRow(out, row.Caption, row.Decimals, row.Value(in, res), separator, row.Unit);
    PrintRow(out, "Water at separator per day", 2, WaterPerDay(res.WaterAtSeparator), separator,
             "[t/day]");
}

void PrintReferenceTable(std::ostream& out, const ReferenceResults& ref, AirBasis basis,
                         char separator) {
    out << '\n' << ReferenceTitle << ", air flow of " << AirBasisName(basis) << " air\n";
    if (!ref) {
        out << "No result: " << ref.Failure << '\n';
        return;
    }
    for (const ReferenceRow& row : ReferenceRows)
        PrintRow(out, row.Caption, row.Decimals, row.Value(ref), separator, row.Unit);
}

// The reference as a member of the JSON object: its numbers, or why there
// are none.
void PrintJsonReference(std::ostream& out, const ReferenceResults& ref, AirBasis basis) {
    out << ",\n  \"reference\": {\n    \"AirBasis\": \"" << AirBasisName(basis) << '"';
    if (!ref) {
        out << ",\n    \"Failure\": \"" << ref.Failure << "\"\n  }";
        return;
    }
    for (const ReferenceRow& row : ReferenceRows)
        out << ",\n    \"" << row.Key << "\": " << JsonNumber(row.Value(ref));
    out << "\n  }";
}

void PrintJson(std::ostream& out, const ChargeAirInputs& in, const ChargeAirResults& res,
               const std::optional<AirBasis>& basis) {
    auto block = [&](bool inputs) {
        bool first = true;
        for (const ChargeAirRow& row : ChargeAirRows) {
            if (row.IsInput() != inputs)
                continue;
            out << (first ? "\n" : ",\n") << "    \"" << row.Key
                << "\": " << JsonNumber(row.Value(in, res));
            first = false;
        }
        if (!inputs)
            out << ",\n    \"WaterPerDay\": " << JsonNumber(WaterPerDay(res.WaterAtSeparator));
        out << "\n  }";
    };
    out << "{\n  \"inputs\": {";
    block(true);
    out << ",\n  \"results\": {";
    block(false);
    if (basis)
        PrintJsonReference(out, ComputeReference(in, *basis), *basis);
    out << "\n}\n";
}

} // namespace

namespace {

// A number of a sweep: the locale's separator or a point.
bool SweepNumber(std::string_view text, char separator, double& v) {
    for (char sep : {separator, '.'}) {
        try {
            v = StrToFloat(text, sep);
            return std::isfinite(v);
        } catch (const EConvertError&) {
        }
    }
    return false;
}

// --batch and --sweep: CSV on standard output, progress on standard error
// when it is a terminal.
int RunTable(const std::optional<std::string>& batch, const std::optional<std::string>& sweep,
             const std::optional<std::string>& plot, const std::optional<AirBasis>& reference,
             const ChargeAirInputs& stored, char separator, std::ostream& out, std::ostream& err) {
    out.flush();
    try {
        BatchSummary summary;
        if (batch) {
            int fd = STDIN_FILENO;
            if (*batch != "-") {
                fd = ::open(batch->c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0)
                    throw EBatchUsage("cannot read " + *batch + ": " + std::strerror(errno));
            }
            BatchOptions options;
            options.DecimalSeparator = separator;
            options.Reference = reference;
            if (::isatty(STDERR_FILENO))
                options.Progress = [&err](std::uint64_t rows, double seconds) {
                    err << "\r" << rows << " rows, " << static_cast<long long>(rows / seconds)
                        << " rows/s" << std::flush;
                };
            try {
                summary = RunBatch(fd, STDOUT_FILENO, stored, options);
            } catch (...) {
                if (fd != STDIN_FILENO)
                    ::close(fd);
                throw;
            }
            if (fd != STDIN_FILENO)
                ::close(fd);
            if (options.Progress && summary.Rows > 0)
                err << '\n';
        } else {
            const std::string& spec = *sweep;
            const std::size_t eq = spec.find('=');
            const std::size_t c1 = spec.find(':', eq);
            const std::size_t c2 = c1 == std::string::npos ? c1 : spec.find(':', c1 + 1);
            double from = 0, to = 0, step = 0;
            if (eq == std::string::npos || c2 == std::string::npos ||
                !SweepNumber(std::string_view(spec).substr(eq + 1, c1 - eq - 1), separator, from) ||
                !SweepNumber(std::string_view(spec).substr(c1 + 1, c2 - c1 - 1), separator, to) ||
                !SweepNumber(std::string_view(spec).substr(c2 + 1), separator, step))
                throw EBatchUsage("--sweep wants KEY=FROM:TO:STEP, not " + spec);
            const std::string key = spec.substr(0, eq);
            if (plot) {
                SweepPoints(from, to, step); // a bad sweep is a usage error first
                const int status = PlotSweep(*plot, stored, key, from, to, step, reference, err);
                if (status != CliOk)
                    return status;
            }
            summary = RunSweep(STDOUT_FILENO, stored, key, from, to, step, reference);
        }
        return summary.Failed ? CliSomeRowsFailed : CliOk;
    } catch (const EBatchUsage& e) {
        err << "nebelkamm-cli: " << e.Message() << '\n';
        return CliUsage;
    } catch (const std::system_error& e) {
        err << "nebelkamm-cli: " << e.what() << '\n';
        return CliUsage;
    }
}

int Run(const std::vector<std::string>& args, char separator, std::ostream& out,
        std::ostream& err) {
    bool json = false;
    bool save = true;
    std::optional<std::string> batch, sweep, plot, airBasis;
    bool reference = false;
    std::vector<std::string> numbers;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsDone && a.starts_with("--")) {
            if (a == "--") {
                optionsDone = true;
            } else if (a == "--batch" || a == "--sweep" || a == "--plot" || a == "--air-basis") {
                if (i + 1 == args.size()) {
                    err << "nebelkamm-cli: " << a << " needs a value\n" << Usage;
                    return CliUsage;
                }
                (a == "--batch"   ? batch
                 : a == "--sweep" ? sweep
                 : a == "--plot"  ? plot
                                  : airBasis) = args[++i];
            } else if (a == "--reference") {
                reference = true;
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

    if ((batch && sweep) || (plot && !sweep)) {
        err << "nebelkamm-cli: "
            << (plot && !sweep ? "--plot goes with --sweep" : "--batch or --sweep, not both")
            << '\n';
        return CliUsage;
    }
    if (airBasis && (!reference || (*airBasis != "humid" && *airBasis != "dry"))) {
        err << "nebelkamm-cli: "
            << (reference ? "--air-basis is humid or dry, not " + *airBasis
                          : std::string("--air-basis goes with --reference"))
            << '\n';
        return CliUsage;
    }
    std::optional<AirBasis> basis;
    if (reference)
        basis = airBasis && *airBasis == "dry" ? AirBasis::Dry : AirBasis::Humid;
    if (batch || sweep)
        save = false; // batch and sweep never write the settings file

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

    if (batch || sweep)
        return RunTable(batch, sweep, plot, basis, settings.Inputs, separator, out, err);

    int status = CliOk;
    try {
        const ChargeAirResults res = ComputeChargeAir(
            settings.Inputs, [&](const MathError& m) { err << m.Message() << '\n'; });
        if (json)
            PrintJson(out, settings.Inputs, res, basis);
        else
            PrintTable(out, settings.Inputs, res, separator);
    } catch (const EMathError& e) {
        err << ExceptionDisplayText(e.Message()) << '\n';
        status = CliFloatingPointFailure;
    }
    // The reference stands on its own: shown also when the classic failed.
    if (basis && !json)
        PrintReferenceTable(out, ComputeReference(settings.Inputs, *basis), *basis, separator);

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
