// SPDX-License-Identifier: MIT
// The command line's batches, sweeps and plots end to end, as a user and an
// attacker run them: exit statuses, failing outputs, pauses, huge input.
#include "CliRun.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList Sweep = {"--sweep", "TempAfterCooler=20:70:0.5"};

} // namespace

class DataPath : public InTempDir {};

struct Status {
    const char* name;
    QStringList args;
    std::string input; // standard input
    int status;
    const char* err; // part of what standard error says
};

void PrintTo(const Status& s, std::ostream* os) {
    *os << s.name;
}

class DataPathStatus : public DataPath, public ::testing::WithParamInterface<Status> {};

// Every ending has its status after sysexits.h and a message.
TEST_P(DataPathStatus, EndsWithItsStatusAndMessage) {
    const Status& s = GetParam();
    const CliRun r = RunCli(s.args, "C", {}, s.input);
    EXPECT_EQ(r.status, s.status) << r.err;
    EXPECT_TRUE(Has(r.err, s.err)) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataPathStatus,
    ::testing::Values(
        Status{"UsageUnknownOption", {"--frobnicate"}, "", 64, "unknown option --frobnicate"},
        Status{"UsageJsonWithABatch", {"--json", "--batch", "-"}, "", 64, "--json goes with"},
        Status{
            "UsageBatchTwice", {"--batch", "a", "--batch", "b"}, "", 64, "--batch is given twice"},
        Status{"UsagePlotTwice", Sweep + QStringList{"--plot", "a.png", "--plot", "b.png"}, "", 64,
               "--plot is given twice"},
        Status{"UsageUnknownKeyListsTheInputs",
               {"--sweep", "Foo=1:2:1"},
               "",
               64,
               "v7  PowerOnEngine         Actual power on engine [kW]"},
        Status{"UsagePlotExtension", Sweep + QStringList{"--plot", "c.gif"}, "", 64,
               "a chart is saved as .png, .svg or .pdf"},
        Status{"DataHeaderNamesNoInput",
               {"--batch", "-"},
               "time,engine\n1,2\n",
               65,
               "the header names no input"},
        Status{"DataUtf16HeaderNotValid",
               {"--batch", "-"},
               std::string("\xFF\xFEt\0\x00\xD8\n\0", 8),
               65,
               "line 1, the header: not valid UTF-16"},
        Status{"DataUnknownUnit",
               {"--batch", "-"},
               "TempAfterCooler [furlong]\n1\n",
               65,
               "[furlong] is not a unit of TempAfterCooler, which takes °C, C, degC, °F"},
        Status{"DataGaugeBarometric",
               {"--batch", "-"},
               "RelativeHumidity,PressureBeforeBlower [psig]\n50,1\n",
               65,
               "absolute, never gauge"},
        Status{"UsageColumnToNoInput",
               {"--batch", "-", "--column", "TAC=Temp"},
               "TAC\n1\n",
               64,
               "--column TAC=Temp: no input is called Temp"},
        Status{"UsageColumnNotInTheFile",
               {"--batch", "-", "--column", "TAC=TempAfterCooler"},
               "RelativeHumidity\n50\n",
               64,
               "the header has no column 'TAC'"},
        Status{"SweepByCaption", {"--sweep", "actual temperature after cooler=20:30:5"}, "", 0, ""},
        Status{"UsageSweepInAnotherUnit",
               {"--sweep", "TempAfterCooler [K]=300:310:5"},
               "",
               64,
               "a sweep runs in TempAfterCooler's own unit, [°C]"},
        Status{"UsageInputToNoInput", {"--input", "Foo=1"}, "", 64, "no input is called Foo"},
        Status{"UsageInputNotANumber",
               {"--input", "TempAfterCooler=4O"},
               "",
               64,
               "'4O' is not a number"},
        Status{"UsageInputInAGaugeBarometric",
               {"--input", "PressureBeforeBlower[barg]=1"},
               "",
               64,
               "absolute, never gauge"},
        Status{"DataHeaderOverOneMiB",
               {"--batch", "-"},
               std::string(2 << 20, 'h') + "\n",
               65,
               "longer than 1 MiB"},
        Status{"NoInputMissingFile",
               {"--batch", "missing.csv"},
               "",
               66,
               "cannot open missing.csv: No such file or directory"},
        Status{"NoInputAFolder", {"--batch", "."}, "", 66, "cannot read .: Is a directory"},
        Status{"CannotCreateThePlot", Sweep + QStringList{"--plot", "nowhere/c.png"}, "", 73,
               "cannot create nowhere/c.png"},
        Status{"SomeRowsFailed",
               {"--batch", "-"},
               "RelativeHumidity\n50\n150\n",
               3,
               "columns passed through: none; inputs from the settings file: TempBeforeBlower"},
        Status{"Done",
               {"--batch", "-"},
               "time,Relative humidity [%]\n1,50\n",
               0,
               "columns passed through: time;"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever is written, a failing write ends with a message and status 74:
// on /dev/full, and on a small file system that is full.
TEST_F(DataPath, EveryOutputFailureIsReported) {
    const std::pair<QStringList, std::string> modes[] = {
        {{"--no-save"}, ""},
        {{"--no-save", "--json"}, ""},
        {{"--help"}, ""},
        {{"--version"}, ""},
        {{"--batch", "-"}, "RelativeHumidity\n50\n"},
        {Sweep, ""},
    };
    const bool root = geteuid() == 0;
    if (!root)
        std::cout << "[ NOTE     ] the full file system needs root; /dev/full only\n";
    QDir().mkdir("small");
    const QString full = QStringLiteral("exec \"$0\" \"$@\" > /dev/full");
    const QString small =
        QStringLiteral("mount -t tmpfs -o size=16k nebelkamm %1 && "
                       "(cat /dev/zero > %1/fill) 2>/dev/null; exec \"$0\" \"$@\" > %1/out")
            .arg(Path("small"));
    for (const auto& [args, input] : modes)
        for (const QString& script : {full, small}) {
            if (script == small && !root)
                continue;
            const QStringList prefix = script == full
                                           ? QStringList{"sh", "-c", script}
                                           : QStringList{"unshare", "-m", "sh", "-c", script};
            const CliRun r = RunCli(args, "C", prefix + QStringList{NEBELKAMM_CLI}, input);
            EXPECT_EQ(r.status, 74) << args.join(' ').toStdString() << " " << r.err;
            EXPECT_TRUE(Has(r.err, "cannot write the output: No space left on device")) << r.err;
        }
}

// A plot that cannot be written completely leaves the old file as it was
// and no temporary file behind; its path is bytes, UTF-8 or not.
TEST_F(DataPath, PlotsReplaceTheOldFileOnlyWhenComplete) {
    ASSERT_EQ(RunCli(Sweep + QStringList{"--plot", "keep.png"}).status, 0);
    const std::string old = Get("keep.png");
    ASSERT_TRUE(old.starts_with("\x89PNG"));
    const CliRun limited = RunCli(Sweep + QStringList{"--reference", "--plot", "keep.png"}, "C",
                                  {"prlimit", "--fsize=2000", NEBELKAMM_CLI});
    EXPECT_EQ(limited.status, 74);
    EXPECT_TRUE(Has(limited.err, "cannot write keep.png: File too large")) << limited.err;
    EXPECT_EQ(Get("keep.png"), old);
    EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden), QStringList{"keep.png"});

    const CliRun bytes = RunCli(
        Sweep, "C",
        {"sh", "-c", "exec \"$0\" \"$@\" --plot \"$(printf 'caf\\351\\377.svg')\"", NEBELKAMM_CLI});
    EXPECT_EQ(bytes.status, 0) << bytes.err;
    struct stat st {};
    EXPECT_EQ(::stat("caf\xe9\xff.svg", &st), 0);
}

// A row is written as soon as it is computed when the input pauses, not
// when the input ends: a live log goes on at once.
TEST_F(DataPath, RowsComeOutWhileTheInputPauses) {
    QProcess p;
    p.start(QStringLiteral(NEBELKAMM_CLI), {"--batch", "-"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("RelativeHumidity\n60\n");
    QByteArray out;
    while (out.count('\n') < 2 && p.waitForReadyRead(30000))
        out += p.readAllStandardOutput();
    EXPECT_EQ(out.count('\n'), 2) << out.toStdString(); // header and row, input still open
    p.write("70\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(out.count('\n'), 3);
    EXPECT_EQ(p.exitCode(), 0);
}

// A line of 128 MiB fails alone, in bounded memory; the next row is read.
TEST_F(DataPath, AHugeLineFailsAloneInBoundedMemory) {
    const CliRun r =
        RunCli({"--batch", "-"}, "C",
               {"sh", "-c",
                "{ echo RelativeHumidity,note; head -c 134217728 /dev/zero | tr '\\0' x;"
                " echo; echo 50,y; } | exec \"$0\" \"$@\"",
                NEBELKAMM_CLI});
    EXPECT_EQ(r.status, 3) << r.err;
    std::istringstream lines(r.out);
    std::string header, huge, next;
    std::getline(lines, header);
    std::getline(lines, huge);
    std::getline(lines, next);
    EXPECT_EQ(huge, std::string(15, ',') + "line 2: field longer than 1 MiB");
    EXPECT_TRUE(next.starts_with("y,50,")) << next;
#if !NEBELKAMM_SANITIZED // the sanitizers' shadow memory is no measure
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "KiB";
#endif
}

// Sweep points are written as FROM + i x STEP with the decimals they were
// given with, and --help names the seven keys.
TEST_F(DataPath, SweepNumbersAreCleanAndTheKeysAreListed) {
    const auto column = [](const std::string& csv, int k) {
        std::istringstream in(csv);
        std::string line, values;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream cells(line);
            std::string cell;
            for (int i = 0; i <= k; ++i)
                std::getline(cells, cell, ',');
            values += cell + " ";
        }
        return values;
    };
    EXPECT_EQ(column(RunCli({"--sweep", "PowerOnEngine=0:1:0.1"}).out, 6),
              "0 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 1 ");
    EXPECT_EQ(column(RunCli({"--sweep", "ScavingAirPressure=0.3:0.9:0.3"}).out, 3), "0.3 0.6 0.9 ");
    EXPECT_EQ(column(RunCli({"--sweep", "RelativeHumidity=1e1:2e1:5"}).out, 0), "10 15 20 ");
    // A key alone: the chart's range, from the point to past the knee at 80 C.
    const std::string t2 =
        column(RunCli({"--sweep", "TempAfterCooler", "95", "45", "1.02", "4.5", "40"}).out, 4);
    EXPECT_TRUE(t2.starts_with("30 30.5 31 ") && t2.ends_with(" 89.5 90 ")) << t2;
    const std::string help = RunCli({"--help"}).out;
    for (const char* line : {"v1  RelativeHumidity      Relative humidity [%]",
                             "v5  TempAfterCooler       Actual temperature after cooler [°C]"})
        EXPECT_TRUE(Has(help, line)) << line;
}

// A process limit that lets no thread start beside the first: the batch
// does its rows on the one it has, with the same answer, status 0. Another
// user runs it, since root is not bound by the limit.
TEST_F(DataPath, BatchWithoutThreadsGivesTheSameAnswer) {
    if (geteuid() != 0)
        GTEST_SKIP() << "changing the user needs root";
    std::string input = "time,RelativeHumidity,TempAfterCooler\n";
    for (int i = 0; i < 4000; ++i) // several chunks
        input += std::to_string(i) + ',' + std::to_string(1 + i % 100) + ',' +
                 std::to_string(-5 + i % 90) + ".25\n";
    const CliRun free = RunCli({"--batch", "-"}, "C", {}, input);
    ASSERT_EQ(free.status, 0) << free.err;
    QStringList prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    if (NEBELKAMM_SANITIZED) // the leak checker needs a thread of its own at the end
        prefix << "env"
               << "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1";
    prefix << "prlimit"
           << "--nproc=1" << NEBELKAMM_CLI;
    const CliRun limited = RunCli({"--batch", "-"}, "C", prefix, input);
    EXPECT_EQ(limited.status, 0) << limited.err;
    EXPECT_EQ(limited.out, free.out);
}

namespace {

// An answer's rows as cells, numbers read with either separator.
std::vector<std::vector<std::string>> Cells(const std::string& out, char separator) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, separator);)
            rows.back().push_back(cell);
    }
    return rows;
}

// The same table within 1e-12 of each number's size.
void ExpectSameNumbers(const std::string& got, char separator, const std::string& want) {
    const auto a = Cells(got, separator), b = Cells(want, ',');
    ASSERT_EQ(a.size(), b.size()) << got;
    for (std::size_t r = 0; r < a.size(); ++r) {
        ASSERT_EQ(a[r].size(), b[r].size()) << got;
        for (std::size_t c = 0; c < a[r].size(); ++c) {
            std::string x = a[r][c];
            std::replace(x.begin(), x.end(), ',', '.');
            char *endX = nullptr, *endY = nullptr;
            const double vx = std::strtod(x.c_str(), &endX),
                         vy = std::strtod(b[r][c].c_str(), &endY);
            if (r > 0 && !x.empty() && *endX == 0 && *endY == 0)
                EXPECT_NEAR(vx, vy, 1e-12 * std::max(1.0, std::fabs(vy))) << r << ", " << c;
            else
                EXPECT_EQ(x, b[r][c]) << r << ", " << c;
        }
    }
}

std::string Utf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : QString::fromUtf8(utf8).toStdU16String()) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
    return s;
}

} // namespace

// A log as loggers and spreadsheets export it gives the numbers of the
// plain file; the answer read back gives the answer again.
TEST_F(DataPath, LoggerExportsGiveThePlainNumbers) {
    const std::string plain = "time,note,RelativeHumidity,TempAfterCooler,ScavingAirPressure,"
                              "PressureBeforeBlower,PowerOnEngine,SpecificAirFlow\n"
                              "00:00,é °,90.5,35.25,2.4,1.013,41200,7.8\n"
                              "00:01,x,95,30,2.6,1.0,38000.5,7.25\n";
    const std::string semi = Replaced(Replaced(plain, ",", ";"), ".", ",");
    const std::string tabs = Replaced(semi, ";", "\t");
    const std::string units = "time,note,RelativeHumidity [%RH],TAC,Scavenge air pressure [bar a],"
                              "PressureBeforeBlower [mbar],PowerOnEngine [MW],"
                              "SpecificAirFlow [g/kWh]\n"
                              "00:00,é °,90.5,95.45,3.413,1013,41.2,7800\n"
                              "00:01,x,95,86,3.6,1000,38.0005,7250\n";
    const QStringList plainArgs = {"--batch", "-", "--no-save"};
    const CliRun want = RunCli(plainArgs, "C", {}, plain);
    ASSERT_EQ(want.status, 0) << want.err;
    const struct {
        const char* name;
        std::string input;
        char separator;
        QStringList more;
    } forms[] = {
        {"semicolons, decimal commas", semi, ';', {}},
        {"Windows-1252, CRLF",
         Replaced(QString::fromStdString(semi).toLatin1().toStdString(), "\n", "\r\n"),
         ';',
         {}},
        {"UTF-16 LE, tabs, CRLF", Utf16(Replaced(tabs, "\n", "\r\n"), false), '\t', {}},
        {"UTF-16 BE, tabs", Utf16(tabs, true), '\t', {}},
        {"units, a mapped column", units, ',', {"--column", "TAC=TempAfterCooler[°F]"}},
        {"the answer read back", want.out, ',', {}},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.name);
        const CliRun r = RunCli(plainArgs + f.more, "C", {}, f.input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Has(r.err, "read as Windows-1252: not UTF-8"),
                  std::string(f.name).starts_with("Windows"))
            << r.err;
        ExpectSameNumbers(r.out, f.separator, want.out);
        // An answer read back: its results are replaced, never doubled.
        EXPECT_EQ(Has(r.err, "columns replaced by the new results: WaterContentBeforeBlower"),
                  f.input == want.out)
            << r.err;
    }
}

// Inputs by name take any sign in double precision; positional numbers not
// taken are said, and the batch names only what came from the file.
TEST_F(DataPath, NamedInputsAndPositionalNumbersNotTaken) {
    const CliRun r = RunCli({"--json", "90", "-5", "1.01", "--input", "TempAfterCooler[K]=273.15",
                             "--input", "SpecificAirFlow=7,25"},
                            "de_DE.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "nebelkamm-cli: warning: argument 2 '-5' (TempBeforeBlower) is not "
                           "taken: only numbers above 0 are"))
        << r.err;
    EXPECT_TRUE(Has(r.out, "\"TempAfterCooler\": 0,")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"SpecificAirFlow\": 7.25,")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"warnings\": [\"argument 2 '-5' (TempBeforeBlower)")) << r.out;
    const CliRun saved = RunCli({"--json"});
    EXPECT_TRUE(Has(saved.out, "\"TempAfterCooler\": 0,")) << saved.out;

    const CliRun b = RunCli({"--batch", "-", "1", "2", "--input", "PowerOnEngine=1"}, "C", {},
                            "RelativeHumidity\n50\n");
    EXPECT_TRUE(Has(b.err, "inputs from the settings file: PressureBeforeBlower, "
                           "ScavingAirPressure, TempAfterCooler, SpecificAirFlow; from the "
                           "command line: TempBeforeBlower, PowerOnEngine\n"))
        << b.err;
}

namespace {

// A day-long log's rows, one a minute from 2026-12-08 00:00 for `minutes`,
// with the time as `format` writes minute m; none between 10:00 and 12:00
// of the first day; condensing (30 °C after the cooler) before 06:00 of the
// second.
std::string MinuteLog(const std::function<std::string(int)>& time, const std::string& header,
                      int minutes = 36 * 60) {
    std::string log = header + ",RelativeHumidity,TempAfterCooler\n";
    for (int m = 0; m <= minutes; ++m)
        if (m <= 600 || m >= 720)
            log += time(m) + ",90," + (m < (24 + 6) * 60 ? "30" : "60") + "\n";
    return log;
}

std::string Two(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// Minute m as "2026-12-DD" and "HH:MM".
std::string Day(int m) {
    return "2026-12-" + Two(8 + m / 1440);
}
std::string Clock(int m) {
    return Two(m / 60 % 24) + ":" + Two(m % 60);
}

std::vector<double> Numbers(const std::string& row) {
    std::vector<double> out;
    std::istringstream cells(row);
    for (std::string cell; std::getline(cells, cell, ',');)
        out.push_back(cell.empty() ? NAN : std::strtod(cell.c_str(), nullptr));
    return out;
}

} // namespace

// Totals by day of a log with a gap and condensing that stops: the figures
// by hand, in every time format the summary reads.
TEST_F(DataPath, SummaryOfALogGivesItsTotalsInEveryTimeFormat) {
    const std::string iso = MinuteLog([](int m) { return Day(m) + "T" + Clock(m); }, "time");
    // The water of a condensing row, as the batch gives it.
    const auto table = Cells(RunCli({"--batch", "-", "--no-save"}, "C", {}, iso).out, ',');
    const auto column = std::find(table[0].begin(), table[0].end(), "WaterAtSeparator");
    ASSERT_NE(column, table[0].end());
    const double w =
        std::strtod(table[1][static_cast<std::size_t>(column - table[0].begin())].c_str(), nullptr);
    ASSERT_GT(w, 0);
    // Day 1: 24 h less the 2 h gap, all condensing; day 2: 12 h, condensing
    // up to 05:59 and half the minute to 06:00.
    const double condensing2 = 6 - 0.5 / 60;
    const std::vector<std::vector<double>> want = {{22, 2, 22, 22 * w},
                                                   {12, 0, condensing2, condensing2 * w}};
    const struct {
        const char* name;
        std::string log;
        QStringList more;
    } forms[] = {
        {"ISO 8601", iso, {}},
        {"ISO with seconds, a blank and Z",
         MinuteLog([](int m) { return Day(m) + " " + Clock(m) + ":00Z"; }, "Timestamp"),
         {}},
        {"dd.mm.yyyy",
         MinuteLog([](int m) { return Two(8 + m / 1440) + ".12.2026 " + Clock(m); }, "Zeit"),
         {}},
        {"yyyy/mm/dd",
         MinuteLog([](int m) { return "2026/12/" + Two(8 + m / 1440) + " " + Clock(m) + ":00"; },
                   "datetime"),
         {}},
        {"Unix seconds",
         MinuteLog([](int m) { return std::to_string(1796688000 + 60 * m); }, "time"),
         {}},
        {"a Date and a Time column",
         MinuteLog([](int m) { return Day(m) + "," + Clock(m); }, "Date,Time"),
         {}},
        {"a format",
         MinuteLog([](int m) { return Two(8 + m / 1440) + "/12/2026 " + Clock(m); }, "when"),
         {"--time", "when", "--time-format", "%d/%m/%Y %H:%M"}},
    };
    for (const auto& f : forms) {
        SCOPED_TRACE(f.name);
        const CliRun r =
            RunCli(QStringList{"--batch", "-", "--no-save", "--summary"} + f.more, "C", {}, f.log);
        ASSERT_EQ(r.status, 0) << r.err;
        std::istringstream lines(r.out);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "Period,Rows,RowsWithMessage,Hours,GapHours,CondensingHours,Water [kg],"
                        "MeanWaterAtSeparator [kg/h],MaxWaterAtSeparator [kg/h],"
                        "MinDewPointMargin [K]");
        for (const std::string day : {"2026-12-08", "2026-12-09"}) {
            ASSERT_TRUE(std::getline(lines, line));
            EXPECT_TRUE(line.starts_with(day + ",")) << line;
            const std::vector<double> got = Numbers(line.substr(line.find(',') + 1));
            const std::vector<double>& expect = want[day.back() - '8'];
            for (std::size_t k = 0; k < expect.size(); ++k)
                EXPECT_NEAR(got[k + 2], expect[k], 1e-9 * expect[k] + 1e-12) << line << ' ' << k;
        }
        EXPECT_FALSE(std::getline(lines, line)) << line;
    }
}

// A row out of order gets a message and a gap around it; an interval across
// midnight is split there in proportion; by hour and for the whole file.
TEST_F(DataPath, SummaryPeriodsGapsAndRowsOutOfOrder) {
    const std::string shuffled = "time,RelativeHumidity\n2026-12-08T00:00,90\n"
                                 "2026-12-08T00:01,90\n2026-12-08T00:03,90\n2026-12-08T00:02,90\n"
                                 "2026-12-08T00:04,90\n2026-12-08T00:05,90\n";
    const std::string midnight =
        "time,RelativeHumidity\n2026-12-08T23:30,90\n2026-12-09T00:30,90\n";
    const QStringList gap = {"--max-gap", "2h"};
    const struct {
        const char* name;
        QStringList args;
        std::string log;
        int status;
        std::vector<std::string> periods; // Period,Rows,RowsWithMessage,Hours,GapHours
    } cases[] = {
        {"out of order", {}, shuffled, 3, {"2026-12-08,6,1,0.0666666666666667,0.0166666666666667"}},
        {"across midnight", gap, midnight, 0, {"2026-12-08,1,0,0.5,0", "2026-12-09,1,0,0.5,0"}},
        {"by hour",
         gap + QStringList{"--summary", "hour"},
         midnight,
         0,
         {"2026-12-08T23:00,1,0,0.5,0", "2026-12-09T00:00,1,0,0.5,0"}},
        {"the whole file",
         gap + QStringList{"--summary", "file"},
         midnight,
         0,
         {"2026-12-08T23:30:00/2026-12-09T00:30:00,2,0,1,0"}},
        {"no gap bridged",
         {"--max-gap", "30min"},
         midnight,
         0,
         {"2026-12-08,1,0,0,0.5", "2026-12-09,1,0,0,0.5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args = {"--batch", "-", "--no-save"};
        if (!c.args.contains("--summary"))
            args << "--summary";
        const CliRun r = RunCli(args + c.args, "C", {}, c.log);
        EXPECT_EQ(r.status, c.status) << r.err;
        const auto table = Cells(r.out, ',');
        ASSERT_EQ(table.size(), c.periods.size() + 1) << r.out;
        for (std::size_t p = 0; p < c.periods.size(); ++p) {
            const auto want = Cells(c.periods[p], ',')[0];
            EXPECT_EQ(table[p + 1][0], want[0]);
            for (std::size_t k = 1; k < want.size(); ++k)
                EXPECT_NEAR(std::strtod(table[p + 1][k].c_str(), nullptr),
                            std::strtod(want[k].c_str(), nullptr), 1e-12)
                    << table[p + 1][0] << " column " << k;
        }
    }
    const CliRun r = RunCli({"--batch", "-", "--no-save", "--summary"}, "C", {}, shuffled);
    EXPECT_TRUE(Has(r.err, "line 5: the time is earlier than the row before")) << r.err;
    // A year mistyped by millennia: refused, not millions of empty hours.
    const CliRun typo = RunCli({"--batch", "-", "--no-save", "--summary", "hour"}, "C", {},
                               "time,RelativeHumidity\n2026-12-08T10:00,90\n"
                               "9026-12-08T10:00,90\n2026-12-08T11:00,90\n");
    EXPECT_EQ(typo.status, 3);
    EXPECT_EQ(Cells(typo.out, ',').size(), 3u) << typo.out.substr(0, 300);
    EXPECT_TRUE(Has(typo.err, "line 3: the time is more than 100000 hours after the row before"))
        << typo.err;
    const CliRun none =
        RunCli({"--batch", "-", "--no-save", "--summary"}, "C", {}, "RelativeHumidity\n90\n");
    EXPECT_EQ(none.status, 65);
    EXPECT_TRUE(Has(none.err, "no time column: looked for time, timestamp")) << none.err;
}
