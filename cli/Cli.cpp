// SPDX-License-Identifier: MIT
#include "cli/Cli.h"

#include "cli/Plot.h"
#include "core/Columnar.h"
#include "core/Columns.h"
#include "core/Errors.h"
#include "core/Evaluation.h"
#include "core/Sweep.h"
#include "core/Units.h"
#include "io/Batch.h"
#include "io/Stream.h"
#include "io/Summary.h"
#include "io/Writers.h"
#include "model/Version.h"
#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace nebelkamm {
namespace {

// The seven inputs, a line each: position, key, caption, unit.
std::string InputList() {
    std::ostringstream out;
    for (std::size_t k = 0; k < InputCount; ++k)
        out << "  v" << k + 1 << "  " << std::left << std::setw(22) << InputColumns[k].Key
            << InputColumns[k].Caption << ' ' << InputColumns[k].Unit << '\n';
    return out.str();
}

// The usage text before the list of inputs.
constexpr std::string_view UsageHead =
    "Usage: nebelkamm-cli [--json] [--no-save] [--reference [--air-basis humid|dry]]\n"
    "                     [--input KEY=VALUE]... [--help] [--version] [--] [v1 ... v7]\n"
    "       nebelkamm-cli --batch FILE [--column NAME=KEY]... [--reference ...] [--] [v1 "
    "... v7]\n"
    "       nebelkamm-cli --sweep KEY[=FROM:TO:STEP] [--plot FILE] [--reference ...]\n"
    "                     [--] [v1 ... v7]\n"
    "\n"
    "Computes the water that condenses in the charge air cooler from the inputs in\n"
    "./Nebelkamm.ini (created with first-run values when missing), overridden by up to\n"
    "seven numbers in this order:\n";

// The text after the list of inputs, up to the vector levels.
constexpr std::string_view UsageMiddle =
    "Only numbers above 0 are taken, in single precision; with eight or more, none\n"
    "is; each not taken is said on stderr. The inputs are\n"
    "written back to ./Nebelkamm.ini afterwards. A point that makes no physical sense\n"
    "(humidity above 100 %, a negative power, ...) is computed with a warning.\n"
    "\n"
    "  --json     print {\"inputs\": {...}, \"results\": {...}, \"warnings\": [...]}\n"
    "  --no-save  leave ./Nebelkamm.ini as it is (and do not create it)\n"
    "  --input KEY=VALUE  an input by key or caption, any sign, double precision,\n"
    "             also KEY[UNIT]=VALUE (units as in a batch's header); after the\n"
    "             numbers; repeatable\n"
    "  --batch FILE  one row of results for each row of the CSV file (- for standard\n"
    "             input), written as soon as it is computed. The header names input\n"
    "             columns by key or caption, in any case, optionally with their\n"
    "             [unit], in any order and subset (a missing one takes the stored\n"
    "             input); other columns are passed through. Comma-separated with \".\"\n"
    "             decimals; semicolon- or tab-separated with the decimal separator\n"
    "             of the file's first numbers (else the locale's). UTF-8, UTF-16\n"
    "             with a byte-order mark, or else Windows-1252; the answer is UTF-8.\n"
    "             Units: % %RH; °C C degC °F F degF K; bar mbar hPa kPa MPa Pa psi,\n"
    "             each also gauge (bar g, barg, bar(g)) or absolute (bar a, bara,\n"
    "             bar(a)); kg/kWh g/kWh; kW MW. An absolute scavenge pressure has the\n"
    "             row's barometric pressure taken off.\n"
    "  --summary [day|hour|file]  with --batch: instead of the rows, one row a day\n"
    "             (default), an hour or for the file, from the log's time column\n"
    "             (time, timestamp, datetime, date time, Zeit, or Date and Time):\n"
    "             Period, Rows, RowsWithMessage, Hours, GapHours, CondensingHours,\n"
    "             Water [kg] (the trapezoid rule over time), MeanWaterAtSeparator,\n"
    "             MaxWaterAtSeparator [kg/h], MinDewPointMargin [K]; Ref... after\n"
    "             them with --reference. An interval longer than --max-gap\n"
    "             DURATION (30s, 10min, 2h; default five times the median of the\n"
    "             first 1000 intervals, at least 5min) or around a row with a\n"
    "             message counts as GapHours. --time COLUMN names the time column,\n"
    "             --time-format FORMAT its format (%Y %m %d %H %M %S %z); without\n"
    "             it ISO 8601, dd.mm.yyyy hh:mm[:ss], yyyy/mm/dd hh:mm[:ss] and Unix\n"
    "             seconds are read.\n"
    "  --column NAME=KEY  with --batch: the header NAME is the input KEY (a key or\n"
    "             caption, optionally with [UNIT]); repeatable\n"
    "             A row that cannot be read or makes no physical sense gets a message\n"
    "             and no results.\n"
    "  --sweep KEY=FROM:TO:STEP  the stored inputs with one of them stepped, as CSV\n"
    "             (KEY a key or caption)\n"
    "             (for instance TempAfterCooler=20:60:0.5; at most 100000 points);\n"
    "             --sweep KEY alone takes the range a chart of the point shows: the\n"
    "             present value and every knee, on round bounds\n"
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
    "  --version  print the version, and on a second line the vector instruction set\n"
    "             that evaluates a batch's rows\n"
    "\n"
    "Batch and sweep never write the settings file.\n"
    "\n"
    "Environment: NEBELKAMM_SIMD caps the vector instruction set of a batch: ";

// The text after the vector levels.
constexpr std::string_view UsageEnd =
    "\n"
    "(unset: the best the CPU has). At \"scalar\" a batch's numbers are those of a single\n"
    "point bit for bit; on the vector levels each is within 1e-12 (classic) or 1e-11\n"
    "(reference) of them, relative to its size plus its scale, the messages the same.\n"
    "\n"
    "Exit status: 0 done, 1 floating-point failure, 2 settings file not written,\n"
    "3 some batch or sweep rows failed (see their message column), 64 usage error,\n"
    "65 data error (a header that names no input or a unit not taken), 66 input not "
    "readable, 69 plotting\n"
    "module missing, 71 out of memory, 73 output file not created, 74 write error,\n"
    "78 NEBELKAMM_SIMD names no level.\n";

std::string Usage() {
    return std::string(UsageHead) + InputList() + std::string(UsageMiddle) + SimdLevelNames() +
           std::string(UsageEnd);
}

struct Options {
    bool Json = false, Save = true, Help = false, Version = false;
    std::optional<std::string> Batch, Sweep, Plot, AirBasis;
    std::optional<std::string> Summary, MaxGap, Time, TimeFormat;
    bool Reference = false;
    std::optional<nebelkamm::AirBasis> Basis; // as Reference and AirBasis ask
    std::vector<std::string> Numbers;
    std::vector<std::string> Named;      // --input KEY=VALUE
    std::vector<ColumnMapping> Mappings; // --column NAME=KEY
};

// The option's value in o, for an option that takes one once; else null.
std::optional<std::string>* ValueOf(std::string_view option, Options& o) {
    static constexpr std::pair<std::string_view, std::optional<std::string> Options::*> valued[] = {
        {"--batch", &Options::Batch},
        {"--sweep", &Options::Sweep},
        {"--plot", &Options::Plot},
        {"--air-basis", &Options::AirBasis},
        {"--max-gap", &Options::MaxGap},
        {"--time", &Options::Time},
        {"--time-format", &Options::TimeFormat},
    };
    for (const auto& [name, member] : valued)
        if (option == name)
            return &(o.*member);
    return nullptr;
}

// Throws EUsageError, saying why, when the arguments are no request.
void Parse(const std::vector<std::string>& args, Options& o) {
    const auto refuse = [](const std::string& why) { throw EUsageError(why); };
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || !a.starts_with("--")) {
            o.Numbers.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "--input" || a == "--column") {
            if (i + 1 == args.size())
                refuse(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--input") {
                o.Named.push_back(value);
                continue;
            }
            const std::size_t eq = value.rfind('=');
            if (eq == std::string::npos || eq == 0)
                refuse("--column wants NAME=KEY, not " + value);
            o.Mappings.push_back({value.substr(0, eq), value.substr(eq + 1)});
        } else if (a == "--summary") {
            if (o.Summary)
                refuse(a + " is given twice");
            const bool named =
                i + 1 < args.size() &&
                (args[i + 1] == "day" || args[i + 1] == "hour" || args[i + 1] == "file");
            o.Summary = named ? args[++i] : "day";
        } else if (std::optional<std::string>* valued = ValueOf(a, o)) {
            std::optional<std::string>& value = *valued;
            if (i + 1 == args.size())
                refuse(a + " needs a value");
            if (value)
                refuse(a + " is given twice");
            value = args[++i];
        } else if (a == "--reference" || a == "--json" || a == "--no-save" || a == "--help" ||
                   a == "--version") {
            (a == "--reference" ? o.Reference
             : a == "--json"    ? o.Json
             : a == "--help"    ? o.Help
             : a == "--version" ? o.Version
                                : o.Save) = a != "--no-save";
        } else {
            refuse("unknown option " + a);
        }
    }
    if (o.Batch && o.Sweep)
        refuse("--batch or --sweep, not both");
    if (o.Plot && !o.Sweep)
        refuse("--plot goes with --sweep");
    if (o.Json && (o.Batch || o.Sweep))
        refuse("--json goes with a single point; a batch or sweep is CSV");

    if (!o.Mappings.empty() && !o.Batch)
        refuse("--column goes with --batch");
    if (o.Summary && !o.Batch)
        refuse("--summary goes with --batch");
    if ((o.MaxGap || o.Time || o.TimeFormat) && !o.Summary)
        refuse("--max-gap, --time and --time-format go with --summary");
    if (o.MaxGap && !ReadDuration(*o.MaxGap))
        refuse("--max-gap is a duration such as 30s, 10min or 2h, not " + *o.MaxGap);
    o.Basis = ReferenceAsked(o.Reference, o.AirBasis, "--air-basis", "--reference");
}

std::optional<AirBasis> Basis(const Options& o) {
    return o.Basis;
}

// The decimals a number was written with: those after the separator, less
// a positive exponent's, more a negative one's.
int WrittenDecimals(std::string_view text, char separator) {
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = mantissa.find(separator);
    int decimals = point == std::string_view::npos ? 0 : int(mantissa.size() - point - 1);
    if (e != std::string_view::npos) {
        int exponent = 0;
        try {
            exponent = static_cast<int>(StrToFloat(text.substr(e + 1), '.'));
        } catch (const EConvertError&) {
        }
        decimals -= std::clamp(exponent, -30, 30);
    }
    return std::max(decimals, 0);
}

// A number of a sweep: the locale's separator or a point; also the decimals
// it was written with.
bool SweepNumber(std::string_view text, char separator, double& v, int* decimals = nullptr) {
    for (char sep : {separator, '.'}) {
        try {
            v = StrToFloat(text, sep);
            if (decimals)
                *decimals = WrittenDecimals(text, sep);
            return std::isfinite(v);
        } catch (const EConvertError&) {
        }
    }
    return false;
}

// The input of a sweep, by key or caption; its range is in the input's own
// unit, so no other unit is taken.
const Column& SweptInput(std::string_view name) {
    const NamedInput n = InputNamedBy(name);
    if (n.Input < 0)
        throw EUsageError("no input is called " + std::string(name) + "; the inputs are:\n" +
                          InputList());
    const Column& c = InputColumns[n.Input];
    if (!n.Refusal.empty() || !n.Unit.Identity() || n.LessBarometric())
        throw EUsageError("--sweep " + std::string(name) + ": a sweep runs in " + c.Key +
                          "'s own unit, " + c.Unit);
    return c;
}

// The points of --sweep KEY=FROM:TO:STEP, or of --sweep KEY over the range
// a chart of the point would show.
std::vector<double> SweepSpec(const std::string& spec, const ChargeAirInputs& stored,
                              const EvaluationOptions& options, char separator,
                              const Column*& swept) {
    const std::size_t eq = spec.find('=');
    swept = &SweptInput(std::string_view(spec).substr(0, eq));
    if (eq == std::string::npos) {
        const SweepRange r = AutomaticRange(stored, *swept, options);
        return SweepPoints(r.From, r.To, r.Step, r.Decimals);
    }
    const std::size_t c1 = spec.find(':', eq);
    const std::size_t c2 = c1 == std::string::npos ? c1 : spec.find(':', c1 + 1);
    const std::string_view view(spec);
    double from = 0, to = 0, step = 0;
    int fromDecimals = 0, stepDecimals = 0; // the points' decimals; the end's do not matter
    if (c2 == std::string::npos ||
        !SweepNumber(view.substr(eq + 1, c1 - eq - 1), separator, from, &fromDecimals) ||
        !SweepNumber(view.substr(c1 + 1, c2 - c1 - 1), separator, to) ||
        !SweepNumber(view.substr(c2 + 1), separator, step, &stepDecimals))
        throw EUsageError("--sweep wants KEY or KEY=FROM:TO:STEP, not " + spec);
    return SweepPoints(from, to, step, std::max(fromDecimals, stepDecimals));
}

int RunSweep(const Options& o, const ChargeAirInputs& stored, char separator, Sink& out) {
    const EvaluationOptions options{Basis(o)};
    const Column* swept = nullptr;
    const std::vector<double> x = SweepSpec(*o.Sweep, stored, options, separator, swept);
    if (o.Plot)
        CheckPlotName(*o.Plot); // before any work
    const Sweep sweep = ComputeSweep(stored, *swept, x, options);
    if (o.Plot)
        PlotSweep(*o.Plot, sweep, Evaluate(stored, options));
    WriteSweepCsv(out, sweep, options.Reference.has_value());
    const bool failed = std::any_of(sweep.Points.begin(), sweep.Points.end(),
                                    [](const Evaluation& e) { return e.Message(); });
    return failed ? CliSomeRowsFailed : CliOk;
}

// A list of names for the layout line, each shortened to fit it, or "none".
std::string Names(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + Excerpt(n);
    return out.empty() ? "none" : out;
}

int RunBatchFile(const Options& o, const ChargeAirInputs& stored,
                 const std::array<bool, InputCount>& given, char separator, Sink& out,
                 std::ostream& err) {
    for (const ColumnMapping& m : o.Mappings)
        MappedInput(m); // a usage error before the file is opened
    const std::string& name = *o.Batch;
    std::optional<InputFile> file;
    FdSource in(name == "-" ? STDIN_FILENO : file.emplace(name).Fd(),
                name == "-" ? "standard input" : name);
    BatchOptions options;
    options.DecimalSeparator = separator;
    options.Reference = Basis(o);
    options.Mappings = o.Mappings;
    options.OnLayout = [&err, &given](const BatchLayout& layout) {
        if (layout.Encoding == TextEncoding::Windows1252)
            err << "nebelkamm-cli: read as Windows-1252: not UTF-8" << std::endl;
        std::vector<std::string> stored, commandLine;
        for (const Column* c : layout.FromStored)
            (given[static_cast<std::size_t>(c - InputColumns.data())] ? commandLine : stored)
                .emplace_back(c->Key);
        if (!layout.Replaced.empty())
            err << "nebelkamm-cli: columns replaced by the new results: " << Names(layout.Replaced)
                << std::endl;
        err << "nebelkamm-cli: columns passed through: " << Names(layout.PassedThrough)
            << "; inputs from the settings file: " << Names(stored);
        if (!commandLine.empty())
            err << "; from the command line: " << Names(commandLine);
        err << std::endl;
    };
    const bool progress = ::isatty(STDERR_FILENO);
    if (progress)
        options.Progress = [&err](std::uint64_t rows, double seconds) {
            err << "\r" << rows << " rows, " << static_cast<long long>(rows / seconds) << " rows/s"
                << std::flush;
        };
    if (o.Summary) {
        SummaryOptions by;
        by.By = *o.Summary == "hour"   ? SummaryPeriod::Hour
                : *o.Summary == "file" ? SummaryPeriod::File
                                       : SummaryPeriod::Day;
        by.Reference = options.Reference.has_value();
        if (o.MaxGap)
            by.MaxGapSeconds = ReadDuration(*o.MaxGap);
        const SummaryRun run = RunSummary(in, out, stored, options, by,
                                          {o.Time.value_or(""), o.TimeFormat.value_or("")});
        if (progress && run.Rows > 0)
            err << '\n';
        for (const std::string& line : run.Refused)
            err << "nebelkamm-cli: " << line << '\n';
        if (run.MoreRefused)
            err << "nebelkamm-cli: and " << run.MoreRefused << " more rows whose time is refused\n";
        return run.Failed ? CliSomeRowsFailed : CliOk;
    }
    const BatchSummary summary = RunBatch(in, out, stored, options);
    if (progress && summary.Rows > 0)
        err << '\n';
    return summary.Failed ? CliSomeRowsFailed : CliOk;
}

// One point: the rows (unless the classic model failed), warnings and
// reports on err.
int RunPoint(const Options& o, const ChargeAirInputs& inputs,
             const std::vector<std::string>& notTaken, char separator, Sink& out,
             std::ostream& err) {
    const Evaluation e = Evaluate(inputs, {Basis(o)});
    if (e.Impossible)
        err << "nebelkamm-cli: warning: " << e.Impossible << "; " << NoPhysicalMeaning << '\n';
    for (const char* report : e.Reports)
        if (report)
            err << report << '\n';
    if (e.Failure)
        err << ExceptionDisplayText(e.Failure) << '\n';
    out.Write(o.Json ? (e.Failure ? std::string() : JsonResult(e, notTaken))
                     : TextResult(e, separator));
    return e.Failure ? CliFloatingPointFailure : CliOk;
}

// The one answer to each kind of failure: its exit status, and whether
// its message is the program's own line or the specified text as the
// window's box shows it.
int Answer(std::ostream& err, const Exception& e) {
    struct Reply {
        ErrorKind Kind;
        int Status;
        bool Specified;
    };
    static constexpr Reply replies[] = {
        {.Kind = ErrorKind::Usage, .Status = CliUsage, .Specified = false},
        {.Kind = ErrorKind::Convert, .Status = CliUsage, .Specified = false},
        {.Kind = ErrorKind::Data, .Status = CliDataError, .Specified = false},
        {.Kind = ErrorKind::Input, .Status = CliNoInput, .Specified = false},
        {.Kind = ErrorKind::Unavailable, .Status = CliUnavailable, .Specified = false},
        {.Kind = ErrorKind::Create, .Status = CliCannotCreate, .Specified = false},
        {.Kind = ErrorKind::Output, .Status = CliIoError, .Specified = false},
        {.Kind = ErrorKind::Config, .Status = CliConfigError, .Specified = false},
        {.Kind = ErrorKind::Maths, .Status = CliFloatingPointFailure, .Specified = true},
        {.Kind = ErrorKind::Settings, .Status = CliWriteFailure, .Specified = true},
    };
    const Reply* a = std::ranges::find(replies, e.Kind(), &Reply::Kind);
    if (a->Specified)
        err << ExceptionDisplayText(e.Message()) << '\n';
    else
        err << "nebelkamm-cli: " << e.Message() << '\n';
    return a->Status;
}

// Runs a part of the request, answering its failure.
template <class F> int AnswerFailures(std::ostream& err, F run) {
    try {
        return run();
    } catch (const Exception& e) {
        return Answer(err, e);
    }
}

int Run(const std::vector<std::string>& args, char separator, Sink& out, std::ostream& err) {
    Options o;
    try {
        Parse(args, o);
    } catch (const EUsageError& e) {
        const int status = Answer(err, e);
        err << Usage();
        return status;
    }
    if (!o.Help)
        if (const int status = AnswerFailures(err, [] { return UseSimdFromEnvironment(), CliOk; }))
            return status;
    if (o.Help || o.Version)
        return AnswerFailures(err, [&] {
            out.Write(o.Help ? Usage()
                             : "nebelkamm-cli " + std::string(Version) +
                                   "\nvector code: " + SimdInUse() + '\n');
            return CliOk;
        });
    const bool table = o.Batch || o.Sweep;
    const bool save = o.Save && !table; // batch and sweep never write the settings file

    ChargeAirSettings settings(SettingsFileName, separator);
    std::vector<std::string> notTaken;
    try {
        if (save) {
            notTaken = settings.Start(o.Numbers, o.Named);
        } else {
            if (settings.IniFile.Exists())
                settings.ReadSettings();
            else
                settings.SetFirstRunValues();
            notTaken = settings.ApplyCommandLine(o.Numbers);
            settings.ApplyNamedInputs(o.Named);
        }
    } catch (const Exception& e) {
        return Answer(err, e);
    }

    for (const std::string& line : notTaken)
        err << "nebelkamm-cli: warning: " << line << '\n';
    if (o.Batch)
        return AnswerFailures(err, [&] {
            return RunBatchFile(o, settings.Inputs, settings.FromCommandLine, separator, out, err);
        });
    if (o.Sweep)
        return AnswerFailures(err, [&] { return RunSweep(o, settings.Inputs, separator, out); });
    int status = AnswerFailures(
        err, [&] { return RunPoint(o, settings.Inputs, notTaken, separator, out, err); });
    // As the window does when it closes, whether or not the computation failed.
    if (!save)
        return status;
    try {
        settings.WriteSettings();
    } catch (const Exception& e) {
        const int failed = Answer(err, e);
        if (status == CliOk || status == CliFloatingPointFailure)
            status = failed;
    }
    return status;
}

} // namespace

int RunCli(const std::vector<std::string>& args, char separator, Sink& out, std::ostream& err) {
    int status = CliOutOfMemory;
    try {
        status = Run(args, separator, out, err);
    } catch (const std::bad_alloc&) {
        // A settings file or a field too large for this machine: say so.
        err << "Out of memory." << std::endl;
    }
    // A message that could not be written is a failure too.
    err.flush();
    return status == CliOk && !err ? CliIoError : status;
}

} // namespace nebelkamm
