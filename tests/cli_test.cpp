// SPDX-License-Identifier: MIT
// The command-line calculator end to end: the real binary in a fresh directory.
#include "CliRun.h"
#include "TempDir.h"

#include "core/Columns.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

class Cli : public InTempDir {};

TEST_F(Cli, FirstRunPrintsTheThirteenRowsAndCreatesTheFile) {
    const CliRun r = RunCli({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const char* rows[] = {"Relative humidity", "50.0  [%]",
                          "1.20  [bar]",       "0.0061  [kg/kg]",
                          "3.00  [-]",         "Temperature where condensation takes place",
                          "23.7  [°C]",        "0.0157  [kg/kg]",
                          "0.0000  [kg/kg]",   "Theoretical water content at separator",
                          "0.0  [kg/h]"};
    for (const char* row : rows)
        EXPECT_TRUE(Has(r.out, row)) << row << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 14); // and the water per day
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "PressureBeforeBlower=1.2\n"));
}

// Each row of the table, in its order: caption, number, unit.
TEST_F(Cli, PrintsTheRowTable) {
    const CliRun r = RunCli({"--no-save"});
    std::istringstream lines(r.out);
    std::string line;
    for (int row = 1; const nebelkamm::Column* c = nebelkamm::WindowColumn(row); ++row) {
        ASSERT_TRUE(std::getline(lines, line)) << c->Key;
        EXPECT_TRUE(line.starts_with(c->Caption)) << line;
        EXPECT_TRUE(line.ends_with(std::string("  ") + c->Unit)) << line;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(line.starts_with("Water at separator per day")) << line;
    EXPECT_TRUE(line.ends_with("0.00  [t/day]")) << line;
    EXPECT_FALSE(std::getline(lines, line)) << line;
}

TEST_F(Cli, HumidSummerPointAsJsonAndWrittenBack) {
    const CliRun r = RunCli({"--json", "90", "37", "1.02", "2.4", "40", "7.8", "41200"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\"PressureBeforeBlower\": 1.0199999809265137")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"WaterAtSeparator\": 7224.43")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"results\": {")) << r.out;
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "PressureBeforeBlower=1.01999998092651\n"));
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "PowerOnEngine=41200\n"));
}

TEST_F(Cli, OptionsDoNotCountAsPositionals) {
    const CliRun bad = RunCli({"--frobnicate"});
    EXPECT_EQ(bad.status, 64);
    EXPECT_TRUE(Has(bad.err, "unknown option --frobnicate"));
    EXPECT_FALSE(QFileInfo::exists("Nebelkamm.ini")); // usage errors touch no file
    // "-5" stays a (negative, ignored) number; --json does not make eight.
    const CliRun r = RunCli({"-5", "25", "1", "1", "1", "1", "1", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\"RelativeHumidity\": 50,")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"TempBeforeBlower\": 25,")) << r.out;
    EXPECT_EQ(RunCli({"--version"}).status, 0);
    EXPECT_TRUE(Has(RunCli({"--help"}).out, "Usage: nebelkamm-cli"));
}

// NEBELKAMM_SIMD: each level names itself on the second line of --version;
// any other value is refused with status 78, naming the variable and the
// levels, before any work.
TEST_F(Cli, VectorLevelFromTheEnvironment) {
    struct Case {
        const char* value;
        int status;
        const char* says;
    };
    for (const Case& c : {Case{"scalar", 0, "\nvector code: scalar\n"},
                          Case{"baseline", 0, "\nvector code: baseline (SCALAR)\n"},
                          Case{"sse4", 0, "\nvector code: sse4 (SSE4)\n"},
                          Case{"avx2", 0, "\nvector code: avx2 (AVX2)\n"},
                          Case{"bogus", 78,
                               "nebelkamm-cli: NEBELKAMM_SIMD is 'bogus'; it takes scalar, "
                               "baseline, ssse3, sse4, avx2, avx512, or nothing"}}) {
        for (const QStringList& args : {QStringList{"--version"}, QStringList{"--batch", "-"}}) {
            const CliRun r = RunCli(
                args, "C", {"env", QStringLiteral("NEBELKAMM_SIMD=") + c.value, NEBELKAMM_CLI},
                "RelativeHumidity\n50\n");
            EXPECT_EQ(r.status, c.status) << c.value << ' ' << r.err;
            if (args.front() == "--version" || c.status) {
                EXPECT_TRUE(Has(r.out + r.err, c.says)) << c.value << ": " << r.out << r.err;
            }
        }
    }
}

TEST_F(Cli, FloatingPointFailurePrintsWithFullStopAndStillWrites) {
    Put("Nebelkamm.ini", "[Input]\nRelativeHumidity=0\n");
    const CliRun r = RunCli({"--", "0", "33"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nebelkamm-cli: warning: argument 1 '0' (RelativeHumidity) is not taken: "
                     "only numbers above 0 are; --input RelativeHumidity=VALUE takes any\n"
                     "nebelkamm-cli: warning: relative humidity not above 0 %; the results have "
                     "no physical meaning\nFloating point division by zero.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "TempBeforeBlower=33\n"));
}

TEST_F(Cli, MathReportGoesOnStderrAndTheRunGoesOn) {
    Put("Nebelkamm.ini", "[Input]\nScavingAirPressure=-1.2\nPressureBeforeBlower=1.2\n");
    const CliRun r = RunCli({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "nebelkamm-cli: warning: scavenge air pressure below 0 bar; the results have "
                     "no physical meaning\nlog: SING error\n");
    EXPECT_TRUE(Has(r.out, "-236.3  [°C]")) << r.out;
}

TEST_F(Cli, OverflowingArgumentEndsWithoutWriting) {
    const CliRun r = RunCli({"1e39"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Floating point overflow.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "RelativeHumidity=50\n")); // created at start only
}

TEST_F(Cli, UnwritableFileIsReportedWithStatus2) {
    Put("Nebelkamm.ini", "[Input]\nRelativeHumidity=60\n");
    QFile::setPermissions("Nebelkamm.ini", QFile::ReadOwner);
    const CliRun r = RunCli({"70"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Unable to write to ./Nebelkamm.ini.\n");
    EXPECT_TRUE(Has(r.out, "70.0  [%]"));
    EXPECT_EQ(Get("Nebelkamm.ini"), "[Input]\nRelativeHumidity=60\n");

    QFile::remove("Nebelkamm.ini");
    QDir().mkdir("Nebelkamm.ini");
    const CliRun create = RunCli({});
    EXPECT_EQ(create.status, 2);
    EXPECT_EQ(create.err, "Unable to write to ./Nebelkamm.ini.\n");
    EXPECT_EQ(create.out, "");
}

TEST_F(Cli, DecimalCommaLocale) {
    const CliRun r = RunCli({"1.5", "25,5"}, "de_DE.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "50,0  [%]")) << r.out;
    EXPECT_TRUE(Has(r.out, "25,5  [°C]")) << r.out;
    EXPECT_TRUE(Has(Get("Nebelkamm.ini"), "PressureBeforeBlower=1,2\n"));
}

TEST_F(Cli, GarbageSettingsFileNeverCrashes) {
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    Put("Nebelkamm.ini", junk + "\n[Input]\nRelativeHumidity=\xFF\xFE\n");
    const CliRun r = RunCli({});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "50.0  [%]"));
    const std::string after = Get("Nebelkamm.ini");
    EXPECT_EQ(after.substr(0, junk.size()), junk); // nothing of it lost
    EXPECT_TRUE(Has(after, "RelativeHumidity=50\n"));
}

TEST_F(Cli, NoSaveLeavesTheFileAloneAndJsonNumbersArePlain) {
    const CliRun r =
        RunCli({"--no-save", "--json", "50", "20", "1.2", "2.4", "40", "7.8", "100000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "\"PowerOnEngine\": 100000\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"PressureBeforeBlower\": 1.2000000476837158,")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"CondensingWaterContent\": 0,")) << r.out;
    EXPECT_FALSE(QFileInfo::exists("Nebelkamm.ini")); // not even created

    Put("Nebelkamm.ini", "[Input]\r\nRelativeHumidity=60\r\n");
    const CliRun existing = RunCli({"--no-save", "70"});
    EXPECT_EQ(existing.status, 0) << existing.err;
    EXPECT_TRUE(Has(existing.out, "70.0  [%]"));
    EXPECT_EQ(Get("Nebelkamm.ini"), "[Input]\r\nRelativeHumidity=60\r\n");
}

// A shared working folder that the user may not write to, holding a settings
// file that the user may write: the file is rewritten in place.
TEST_F(Cli, WritableFileInReadOnlyFolderIsSaved) {
    // The binary where the unprivileged user can run it.
    QTemporaryDir bin;
    ASSERT_TRUE(QFile::copy(QStringLiteral(NEBELKAMM_CLI), bin.filePath("nebelkamm-cli")));
    QFile::setPermissions(bin.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QStringList asUser;
    if (geteuid() == 0) // root passes the folder's permissions
        asUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    asUser << bin.filePath("nebelkamm-cli");

    Put("Nebelkamm.ini", "; shared\n[Input]\nRelativeHumidity=60\n");
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
    QFile::setPermissions("Nebelkamm.ini", all);
    QFile::setPermissions(".",
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const CliRun r = RunCli({"70"}, "C", asUser);
    QFile::setPermissions(".", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string after = Get("Nebelkamm.ini");
    EXPECT_TRUE(Has(after, "; shared\n[Input]\nRelativeHumidity=70\n")) << after;
    EXPECT_TRUE(Has(after, "PowerOnEngine=40000\n")) << after;
    EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden), QStringList{"Nebelkamm.ini"});
}

// Settings files that cannot or may not be replaced: each gives its answer
// and leaves the old file byte for byte.
struct Fault {
    const char* name;
    std::function<void()> setup;        // in the test's folder, before the run
    QStringList prefix;                 // what the program runs under
    int status;                         // of `nebelkamm-cli 70`
    const char* file;                   // path checked afterwards (bytes)
    std::string after;                  // its bytes; "" for "must not exist"
    std::function<void()> also = [] {}; // what else must hold afterwards
};

void PrintTo(const Fault& f, std::ostream* os) {
    *os << f.name;
}

class CliFault : public InTempDir, public ::testing::WithParamInterface<Fault> {};

const std::string Old = "[Input]\nRelativeHumidity=60\n";
const auto ReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const auto FolderReadOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
const auto FolderOpen = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QStringList AsNobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

std::string Saved(const char* humidity) {
    return std::string("[Input]\nRelativeHumidity=") + humidity +
           "\nTempBeforeBlower=20\nPressureBeforeBlower=1.02\nScavingAirPressure=2.4\n"
           "TempAfterCooler=40\nSpecificAirFlow=7.8\nPowerOnEngine=40000\n";
}

TEST_P(CliFault, AnswersAndKeepsTheOldFile) {
    const Fault& f = GetParam();
    if (geteuid() != 0 && f.prefix.startsWith("setpriv"))
        GTEST_SKIP() << "changing the user needs root";
    QTemporaryDir bin; // the binary where any user may run it
    ASSERT_TRUE(QFile::copy(QStringLiteral(NEBELKAMM_CLI), bin.filePath("nebelkamm-cli")));
    QFile::setPermissions(bin.path(), FolderReadOnly | QFile::WriteOwner);
    QFile::setPermissions(".", FolderOpen | QFile::ReadOther | QFile::ExeOther);
    f.setup();
    if (IsSkipped())
        return;
    const CliRun r = RunCli({"70"}, "C", f.prefix + QStringList{bin.filePath("nebelkamm-cli")});
    QFile::setPermissions(".", FolderOpen);
    EXPECT_EQ(r.status, f.status) << r.err;
    if (f.status == 2) {
        EXPECT_TRUE(Has(r.err, "Unable to write to ./Nebelkamm.ini.")) << r.err;
    }
    struct stat st {};
    if (f.after.empty()) {
        EXPECT_NE(::lstat(f.file, &st), 0) << f.file << " exists";
    } else {
        std::ifstream in(f.file, std::ios::binary); // the name is bytes, UTF-8 or not
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), f.after);
    }
    f.also();
    // No lock or temporary file is left behind, whatever happened.
    EXPECT_TRUE(
        QDir(".").entryList({"*.lock", "*.saving-*"}, QDir::Files | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliFault,
    ::testing::Values(
        Fault{"ReadOnlyFile",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  QFile::setPermissions("Nebelkamm.ini", ReadOnly);
              },
              {},
              2,
              "Nebelkamm.ini",
              Old},
        Fault{"ReadOnlyFolderNoFileAsRoot",
              [] { QFile::setPermissions(".", FolderReadOnly); },
              {},
              2,
              "Nebelkamm.ini",
              ""},
        Fault{"ReadOnlyFolderWritableFileAsRoot",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  QFile::setPermissions(".", FolderReadOnly);
              },
              {},
              0,
              "Nebelkamm.ini",
              Saved("70")},
        Fault{"ReadOnlyFolderNoFileAsUser", [] { QFile::setPermissions(".", FolderReadOnly); },
              AsNobody, 2, "Nebelkamm.ini", ""},
        Fault{"FolderRemovedUnderTheProgram",
              [] { QDir().mkdir("gone"); },
              {"sh", "-c", "cd gone && rmdir ../gone && exec \"$0\" \"$@\""},
              2,
              "gone/Nebelkamm.ini",
              ""},
        Fault{"PathIsADirectory",
              [] { QDir().mkdir("Nebelkamm.ini"); },
              {},
              2,
              "Nebelkamm.ini/x",
              ""},
        Fault{"PathIsAFifo",
              [] { ASSERT_EQ(::mkfifo("Nebelkamm.ini", 0644), 0); },
              {},
              2,
              "Nebelkamm.ini.saving",
              ""},
        Fault{"DanglingLink",
              [] { QFile::link("missing.ini", "Nebelkamm.ini"); },
              {},
              2,
              "missing.ini",
              ""},
        Fault{"LinkToReadOnlyFile",
              [] {
                  InTempDir::Put("real.ini", Old);
                  QFile::setPermissions("real.ini", ReadOnly);
                  QFile::link("real.ini", "Nebelkamm.ini");
              },
              {},
              2,
              "real.ini",
              Old},
        Fault{"FullDisk",
              [] { InTempDir::Put("Nebelkamm.ini", Old); },
              {"prlimit", "--fsize=64"},
              2,
              "Nebelkamm.ini",
              Old},
        Fault{"FileOfAnotherUserAsUser",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  ASSERT_EQ(::chown("Nebelkamm.ini", 0, 0), 0);
                  QFile::setPermissions("Nebelkamm.ini", ReadOnly | QFile::WriteOwner);
              },
              AsNobody, 2, "Nebelkamm.ini", Old},
        Fault{"ForeignOwnerKeptAsUser",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  ASSERT_EQ(::chown("Nebelkamm.ini", 0, 0), 0);
                  ASSERT_EQ(::chmod("Nebelkamm.ini", 0666), 0);
                  ASSERT_EQ(::chmod(".", 0777), 0);
              },
              AsNobody, 0, "Nebelkamm.ini", Saved("70"),
              [] {
                  struct stat st {};
                  ASSERT_EQ(::stat("Nebelkamm.ini", &st), 0);
                  EXPECT_EQ(st.st_uid, 0u);
                  EXPECT_EQ(st.st_gid, 0u);
                  EXPECT_EQ(st.st_mode & 07777, 0666u);
              }},
        Fault{"HardLinksStayOneFile",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  ASSERT_EQ(::link("Nebelkamm.ini", "second.ini"), 0);
              },
              {},
              0,
              "second.ini",
              Saved("70"),
              [] { EXPECT_EQ(InTempDir::Get("Nebelkamm.ini"), Saved("70")); }},
        Fault{"AclKept",
              [] {
                  InTempDir::Put("Nebelkamm.ini", Old);
                  if (std::system("setfacl -m u:65534:rw Nebelkamm.ini 2>/dev/null") != 0)
                      GTEST_SKIP() << "setfacl or ACLs on this file system missing";
              },
              {},
              0,
              "Nebelkamm.ini",
              Saved("70"),
              [] {
                  EXPECT_GT(::getxattr("Nebelkamm.ini", "system.posix_acl_access", nullptr, 0), 0);
              }},
        Fault{"NonUtf8FolderName",
              [] {
                  ASSERT_EQ(::mkdir("caf\xe9", 0755), 0);
                  std::ofstream("caf\xe9/Nebelkamm.ini") << Old;
              },
              {"sh", "-c", "cd \"$(printf 'caf\\351')\" && exec \"$0\" \"$@\""},
              0,
              "caf\xe9/Nebelkamm.ini",
              Saved("70")}),
    [](const auto& info) { return std::string(info.param.name); });

// Run as root on a file of another user: the replacement keeps its owner,
// group and mode, so that user still reads it.
TEST_F(Cli, SaveKeepsOwnerGroupAndMode) {
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    Put("Nebelkamm.ini", Old);
    ASSERT_EQ(::chown("Nebelkamm.ini", 65534, 65534), 0);
    ASSERT_EQ(::chmod("Nebelkamm.ini", 0640), 0);
    EXPECT_EQ(RunCli({"70"}).status, 0);
    struct stat st {};
    ASSERT_EQ(::stat("Nebelkamm.ini", &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Get("Nebelkamm.ini"), Saved("70"));
}

// 100 MiB of blank lines: read and saved in one pass each, in less than
// three times the file's size; too little memory is a message, not an abort.
TEST_F(Cli, HugeFileInLinearMemoryAndOutOfMemoryIsAMessage) {
    const std::string head = "[Input]\nRelativeHumidity=60\n";
    // The sanitizers' build is too slow for 100 MiB; it checks the same on less.
    const size_t blanks = size_t(NEBELKAMM_SANITIZED ? 8 : 100) << 20;
    {
        std::ofstream f("Nebelkamm.ini", std::ios::binary);
        f << head << std::string(blanks, '\n');
    }
#if !NEBELKAMM_SANITIZED // the sanitizers' shadow memory and quarantine are no measure
    const CliRun starved =
        RunCli({"70"}, "C", {"prlimit", "--as=200000000", QStringLiteral(NEBELKAMM_CLI)});
    EXPECT_EQ(starved.status, 71);
    EXPECT_EQ(starved.err, "Out of memory.\n");
    EXPECT_EQ(QFileInfo("Nebelkamm.ini").size(), qint64(head.size() + blanks));
#endif
    const CliRun r = RunCli({"70"});
    EXPECT_EQ(r.status, 0) << r.err;
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
#if !NEBELKAMM_SANITIZED
    EXPECT_LT(size_t(usage.ru_maxrss) * 1024, 3 * blanks);
#endif
    std::ifstream f("Nebelkamm.ini", std::ios::binary);
    const std::string after(std::istreambuf_iterator<char>(f), {});
    EXPECT_EQ(after.size(), head.size() + blanks + Saved("70").size() - head.size());
    EXPECT_EQ(after.substr(0, Saved("70").size()), Saved("70"));
}

// --plot writes the chart of a sweep as the file's extension says, through
// the module that alone loads the GUI toolkit; misuse is a usage error.
TEST_F(Cli, PlotOfASweep) {
    const QStringList sweep = {"--sweep", "TempAfterCooler=20:70:0.5", "--plot"};
    const CliRun svg = RunCli(sweep + QStringList{"c.svg"});
    EXPECT_EQ(svg.status, 0) << svg.err;
    EXPECT_TRUE(Get("c.svg").starts_with("<?xml")) << Get("c.svg").substr(0, 40);
    EXPECT_EQ(std::count(svg.out.begin(), svg.out.end(), '\n'), 102); // header and 101 points
    EXPECT_FALSE(QFileInfo::exists("Nebelkamm.ini"));                 // a sweep saves nothing
    EXPECT_EQ(RunCli(sweep + QStringList{"c.png"}).status, 0);
    EXPECT_TRUE(Get("c.png").starts_with("\x89PNG"));
    const CliRun gif = RunCli(sweep + QStringList{"c.gif"});
    EXPECT_EQ(gif.status, 64);
    EXPECT_TRUE(Has(gif.err, "a chart is saved as .png, .svg or .pdf")) << gif.err;
    EXPECT_FALSE(Has(Get("c.svg"), "Reference (ASHRAE"));
    EXPECT_EQ(RunCli(sweep + QStringList{"c.svg", "--reference"}).status, 0);
    EXPECT_TRUE(Has(Get("c.svg"), "Reference (ASHRAE, absolute pressure)")); // the legend
    EXPECT_EQ(RunCli({"--plot", "c.png"}).status, 64);                       // without a sweep
    EXPECT_EQ(RunCli({"--batch", "in.csv", "--sweep", "TempAfterCooler=1:2:1"}).status, 64);
}

// --reference adds its block after the classic one, which stays as it was;
// it is shown where the classic result fails, and says why it has none.
TEST_F(Cli, ReferenceBesideTheClassicResult) {
    const QStringList summer = {"--no-save", "90", "37", "1.02", "2.4", "40", "7.8", "41200"};
    const CliRun classic = RunCli(summer);
    const CliRun both = RunCli(QStringList{"--reference"} + summer);
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out.substr(0, classic.out.size()), classic.out);
    EXPECT_TRUE(Has(both.out, "\nReference (ASHRAE, absolute pressure), air flow of humid air\n"))
        << both.out;
    EXPECT_TRUE(Has(both.out, "Dew point in cooler (over water)                      58.8  [°C]"));
    EXPECT_TRUE(Has(both.out, "Margin after cooler above dew point                  -18.8  [K]"));
    const CliRun dry = RunCli(QStringList{"--reference", "--air-basis", "dry"} + summer);
    EXPECT_TRUE(Has(dry.out, "air flow of dry air")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "separator              7324.0  [kg/h]")) << dry.out;
    // Humidity 0: the classic division fails; the reference says why it has none.
    Put("Nebelkamm.ini", "[Input]\nRelativeHumidity=0\n");
    const CliRun none = RunCli({"--no-save", "--reference"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(Has(none.err, "Floating point division by zero.")) << none.err;
    EXPECT_TRUE(Has(none.out, "pressure), air flow of humid air\nNo result: relative humidity not "
                              "above 0 %\n"))
        << none.out;
    for (const QStringList& bad :
         {QStringList{"--air-basis", "dry"}, QStringList{"--reference", "--air-basis", "wet"},
          QStringList{"--reference", "--air-basis"}})
        EXPECT_EQ(RunCli(bad).status, 64) << bad.join(' ').toStdString();
}
