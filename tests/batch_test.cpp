// SPDX-License-Identifier: MIT
// Batches of logged points and sweeps: the CSV they read and write, and
// that their numbers are exactly those of a single point.
#include "cli/Cli.h"
#include "platform/NumberText.h"
#include "settings/Batch.h"
#include "settings/Curve.h"
#include "settings/Rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

using namespace nebelkamm;

namespace {

const ChargeAirInputs Stored{50, 20, 1.02, 2.4, 40, 7.8, 40000};

// An in-memory file holding bytes, read from its start.
int MemFile(const std::string& bytes) {
    const int fd = ::memfd_create("batch", 0);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        return -1;
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string Contents(int fd) {
    std::string out;
    ::lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    return out;
}

struct Batched {
    std::string out;
    BatchSummary summary;
};

Batched Batch(const std::string& in, char decimal = '.', unsigned threads = 1,
              std::optional<AirBasis> reference = std::nullopt) {
    const int fi = MemFile(in), fo = MemFile("");
    BatchOptions options;
    options.DecimalSeparator = decimal;
    options.Threads = threads;
    options.Reference = reference;
    Batched b;
    b.summary = RunBatch(fi, fo, Stored, options);
    b.out = Contents(fo);
    ::close(fi);
    ::close(fo);
    return b;
}

const std::string Columns =
    "RelativeHumidity,TempBeforeBlower,PressureBeforeBlower,ScavingAirPressure,TempAfterCooler,"
    "SpecificAirFlow,PowerOnEngine,WaterContentBeforeBlower,PressureRatio,DewPointTemperature,"
    "MaxWaterContentInCooler,CondensingWaterContent,WaterAtSeparator,WaterPerDay,message\n";

// A batch's row for the inputs: the seven (a missing one empty), then the
// results and the daily water, or nothing of them with a message.
std::string Row(ChargeAirInputs in, int missing = -1, std::string message = "", char sep = ',',
                char decimal = '.') {
    const auto number = [&](double v) {
        char buf[ShortestTextMax];
        std::string t(buf, ShortestText(v, buf));
        std::replace(t.begin(), t.end(), '.', decimal);
        return t;
    };
    std::string row;
    for (int k = 0; k < 7; ++k)
        row += (k == missing ? std::string() : number(in.*InputRows[k]->Input)) + sep;
    if (message.empty()) {
        const ChargeAirResults r = ComputeChargeAir(in);
        for (const ChargeAirRow* res : ResultRows)
            row += number(r.*res->Result) + sep;
        row += number(WaterPerDay(r.WaterAtSeparator)) + sep;
    } else {
        row += std::string(7, sep) + message;
    }
    return row + "\n";
}

const std::string StoredRow = Row(Stored);

std::string Semi(std::string s) {
    std::replace(s.begin(), s.end(), ',', ';');
    return s;
}

ChargeAirInputs With(double ChargeAirInputs::*field, double v) {
    ChargeAirInputs in = Stored;
    in.*field = v;
    return in;
}

struct Case {
    const char* name;
    std::string in;
    std::string out; // all of it
    std::uint64_t failed;
    char decimal = '.';
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class BatchTable : public ::testing::TestWithParam<Case> {};

TEST_P(BatchTable, WritesOneRowPerRow) {
    const Case& c = GetParam();
    for (unsigned threads : {1u, 2u}) {
        const Batched b = Batch(c.in, c.decimal, threads);
        EXPECT_EQ(b.out, c.out) << threads << " threads";
        EXPECT_EQ(b.summary.Failed, c.failed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Csv, BatchTable,
    ::testing::Values(
        Case{"EmptyInput", "", Columns, 0},
        Case{"HeaderOnly", "time,engine\n", "time,engine," + Columns, 0},
        Case{"NoInputColumnTakesTheStored", "id\n7\n", "id," + Columns + "7," + StoredRow, 0},
        Case{"BomCrLfAndNoLastLineEnd", "\xEF\xBB\xBFid,RelativeHumidity\r\n1,60\r\n2,50",
             "id," + Columns + "1," + Row(With(&ChargeAirInputs::RelativeHumidity, 60)) + "2," +
                 StoredRow,
             0},
        Case{"QuotedPassThroughKeptAsItStands", "RelativeHumidity,note\n50,\"a, \"\"b\"\"\nc\"\n",
             "note," + Columns + "\"a, \"\"b\"\"\nc\"," + StoredRow, 0},
        Case{"ColumnsInAnyOrderAndSubset", "PowerOnEngine,TempAfterCooler\n41200,35\n",
             Columns + Row(ChargeAirInputs{50, 20, 1.02, 2.4, 35, 7.8, 41200}), 0},
        Case{"BadNumberReportsTheLineAndTheRestGoOn", "RelativeHumidity\n50\nabc\n50\n",
             Columns + StoredRow +
                 Row(Stored, 0, "\"line 3, column RelativeHumidity: 'abc' is not a number\"") +
                 StoredRow,
             1},
        Case{"FailingRowKeepsItsPlace", "RelativeHumidity\n0\n50\n",
             Columns +
                 Row(With(&ChargeAirInputs::RelativeHumidity, 0), -1,
                     "Floating point division by zero") +
                 StoredRow,
             1},
        Case{"BlankLinesAreNoRows", "RelativeHumidity\n\n50\n\n", Columns + StoredRow, 0},
        Case{"TooManyFields", "RelativeHumidity\n50,1\n",
             Columns + Row(Stored, -1, "\"line 2: 2 fields, the header has 1\""), 1},
        Case{"SemicolonsWithTheLocaleComma", "RelativeHumidity;PressureBeforeBlower\n50;1,02\n",
             Semi(Columns) + Row(Stored, -1, "", ';', ','), 0, ','},
        Case{"SemicolonsRefuseAPoint", "id;PressureBeforeBlower\n1;1.02\n",
             "id;" + Semi(Columns) + "1;" +
                 Row(Stored, 2, "line 2, column PressureBeforeBlower: '1.02' is not a number", ';',
                     ','),
             1, ','}),
    [](const auto& info) { return std::string(info.param.name); });

// The reference columns come after the message, so the classic ones keep
// their places; a row whose classic result fails still gets its reference,
// one that cannot be read gets neither.
TEST(Batch, ReferenceColumnsFollowTheMessage) {
    const std::string out = Batch("RelativeHumidity\n0\nabc\n90\n", '.', 1, AirBasis::Humid).out;
    std::istringstream lines(out);
    std::string header, zero, bad, humid;
    std::getline(lines, header);
    std::getline(lines, zero);
    std::getline(lines, bad);
    std::getline(lines, humid);
    EXPECT_TRUE(header.ends_with(
        ",message,RefWaterContentBeforeBlower,RefCoolerPressure,RefDewPointTemperature,"
        "RefMaxWaterContentInCooler,RefCondensingWaterContent,RefWaterAtSeparator,"
        "RefWaterPerDay,RefDewPointMargin,RefMessage"))
        << header;
    EXPECT_TRUE(zero.ends_with(",Floating point division by zero,,,,,,,,,"
                               "no dew point without water vapour (0 % humidity)"))
        << zero;
    EXPECT_TRUE(bad.ends_with("is not a number\",,,,,,,,,")) << bad;
    const ReferenceResults ref = ComputeReference({90, 20, 1.02, 2.4, 40, 7.8, 40000});
    char buf[ShortestTextMax];
    EXPECT_TRUE(
        humid.ends_with("," + std::string(buf, ShortestText(ref.DewPointMargin, buf)) + ","))
        << humid;
}

// Inputs are written back as their shortest text and computed with the
// value std::from_chars reads, whatever their form: leading and trailing
// zeros, signs, long fractions, both dialects.
TEST(Batch, InputsReadAndWrittenBackExactly) {
    std::mt19937 rng(5);
    const auto digits = [&](int most) {
        std::string d(std::uniform_int_distribution<int>(0, most)(rng), '0');
        for (char& c : d)
            c = static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(rng));
        if (rng() % 4 == 0)
            d += std::string(rng() % 4, '0');
        return d;
    };
    for (char decimal : {'.', ','}) {
        std::vector<std::string> texts;
        std::string in = decimal == '.' ? "TempAfterCooler\n" : "TempAfterCooler;x\n";
        for (int i = 0; i < 20000; ++i) {
            std::string t = (rng() % 5 == 0 ? "-" : "") + digits(8);
            if (rng() % 3)
                t += decimal + digits(18);
            double v;
            std::string dotted = t;
            std::replace(dotted.begin(), dotted.end(), decimal, '.');
            const auto r = std::from_chars(dotted.data(), dotted.data() + dotted.size(), v);
            if (r.ec != std::errc() || r.ptr != dotted.data() + dotted.size())
                continue; // "", "-", "-.5": not numbers either way
            texts.push_back(dotted);
            in += t + (decimal == '.' ? "\n" : ";\n");
        }
        std::istringstream out(Batch(in, ',').out);
        std::string line;
        std::getline(out, line);
        for (const std::string& t : texts) {
            ASSERT_TRUE(std::getline(out, line));
            double v;
            std::from_chars(t.data(), t.data() + t.size(), v);
            ChargeAirInputs point = Stored;
            point.TempAfterCooler = v;
            const auto text = [decimal](double x) {
                char buf[ShortestTextMax];
                std::string s(buf, ShortestText(x, buf));
                std::replace(s.begin(), s.end(), '.', decimal);
                return s;
            };
            std::string wantX2; // empty where the point fails
            try {
                wantX2 = text(ComputeChargeAir(point).MaxWaterContentInCooler);
            } catch (const Exception&) {
            }
            const char sep = decimal == '.' ? ',' : ';';
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string f; std::getline(split, f, sep);)
                fields.push_back(f);
            const std::size_t first = decimal == '.' ? 0 : 1; // after the passed-through x
            ASSERT_GT(fields.size(), first + 10) << line;
            EXPECT_EQ(fields[first + 4], text(v)) << t;
            EXPECT_EQ(fields[first + 10], wantX2) << t;
        }
    }
}

TEST(Batch, AHeaderNamingAnInputTwiceIsAUsageError) {
    EXPECT_THROW(Batch("TempAfterCooler,TempAfterCooler\n1,2\n"), EBatchUsage);
}

// The numbers of a one-row batch are exactly those that the single-point
// command line prints with --json, for any point, the reference ones too;
// and the classic numbers do not change with --reference.
TEST(Batch, OneRowGivesTheNumbersOfASinglePoint) {
    std::mt19937 rng(3);
    const auto u = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    char dir[] = "/tmp/nebelkamm-batch-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    ASSERT_EQ(chdir(dir), 0);
    for (int i = 0; i < 10000; ++i) {
        const float v[7] = {u(1, 100), u(0, 45), u(0.8f, 1.1f), u(0.1f, 4.5f),
                            u(20, 60), u(5, 9),  u(1000, 90000)};
        std::vector<std::string> args{"--json", "--no-save"};
        std::string header, row;
        for (int k = 0; k < 7; ++k) {
            char buf[ShortestTextMax];
            const std::string text(buf, ShortestText(v[k], buf));
            args.push_back(text);
            header += (k ? "," : "") + std::string(InputRows[k]->Key);
            row += (k ? "," : "") + text;
        }
        const bool dry = i % 2;
        std::ostringstream plain, json, err;
        ASSERT_EQ(RunCli(args, '.', plain, err), 0) << err.str();
        args.insert(args.begin(), {"--reference", "--air-basis", dry ? "dry" : "humid"});
        ASSERT_EQ(RunCli(args, '.', json, err), 0) << err.str();
        const std::string classic = plain.str().substr(0, plain.str().size() - 3); // "\n}\n"
        ASSERT_EQ(json.str().substr(0, classic.size()), classic);
        const std::string batch =
            Batch(header + "\n" + row + "\n", '.', 1, dry ? AirBasis::Dry : AirBasis::Humid).out;
        const std::string line = batch.substr(batch.find('\n') + 1);
        std::istringstream fields(line);
        std::string field;
        for (std::size_t k = 0; k < 15 + ReferenceRows.size(); ++k) {
            std::getline(fields, field, ',');
            if (k == 14) {
                ASSERT_EQ(field, ""); // message
                continue;
            }
            const char* key = k < 7    ? InputRows[k]->Key
                              : k < 13 ? ResultRows[k - 7]->Key
                              : k < 14 ? "WaterPerDay"
                                       : ReferenceRows[k - 15].Key;
            const std::string want = "\"" + std::string(key) + "\": " + field;
            const std::size_t from = k < 15 ? 0 : json.str().find("\"reference\"");
            ASSERT_NE(json.str().find(want, from), std::string::npos) << want << "\n" << json.str();
        }
    }
    ASSERT_EQ(chdir("/"), 0);
    rmdir(dir);
}

struct SweepCase {
    const char* name;
    const char* key;
    double from, to, step;
    std::size_t points; // 0: a usage error
};

void PrintTo(const SweepCase& c, std::ostream* os) {
    *os << c.name;
}

class SweepTable : public ::testing::TestWithParam<SweepCase> {};

TEST_P(SweepTable, PointsOrUsageError) {
    const SweepCase& c = GetParam();
    const int fo = MemFile("");
    if (c.points == 0) {
        EXPECT_THROW(RunSweep(fo, Stored, c.key, c.from, c.to, c.step), EBatchUsage);
    } else {
        const BatchSummary s = RunSweep(fo, Stored, c.key, c.from, c.to, c.step);
        EXPECT_EQ(s.Rows, c.points);
        const std::string out = Contents(fo);
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), static_cast<long>(c.points) + 1);
    }
    ::close(fo);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SweepTable,
    ::testing::Values(SweepCase{"EndIncludedDespiteRounding", "TempAfterCooler", 20, 21, 0.1, 11},
                      SweepCase{"Downwards", "TempAfterCooler", 60, 20, -0.5, 81},
                      SweepCase{"OnePoint", "PowerOnEngine", 5, 5, 1, 1},
                      SweepCase{"MostPoints", "TempAfterCooler", 0, 99999, 1, 100000},
                      SweepCase{"TooManyPoints", "TempAfterCooler", 0, 100000, 1, 0},
                      SweepCase{"ZeroStep", "TempAfterCooler", 20, 60, 0, 0},
                      SweepCase{"WrongSign", "TempAfterCooler", 20, 60, -1, 0},
                      SweepCase{"NotAnInput", "WaterAtSeparator", 20, 60, 1, 0},
                      SweepCase{"NoSuchKey", "Foo", 20, 60, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The knee lies where the water content that condenses reaches 0: for the
// cooler outlet, next to the condensation temperature (the model's
// saturation law uses 2.71828 where its inverse uses e).
TEST(Curve, KneeOfTheCoolerOutletIsWhereWaterStopsCondensing) {
    const ChargeAirInputs summer{90, 37, 1.02, 2.4, 40, 7.8, 41200};
    const CondensateCurve c = ComputeCurve(summer, *InputRowByKey("TempAfterCooler"), 20, 70, 0.5);
    ASSERT_TRUE(c.Knee);
    const auto condensing = [&](double t2) {
        ChargeAirInputs in = summer;
        in.TempAfterCooler = t2;
        return ComputeChargeAir(in).CondensingWaterContent;
    };
    EXPECT_GT(condensing(*c.Knee - 1e-7), 0);
    EXPECT_EQ(condensing(*c.Knee + 1e-7), 0);
    EXPECT_NEAR(*c.Knee, ComputeChargeAir(summer).DewPointTemperature, 1e-3);
    EXPECT_EQ(c.X.size(), 101u);
    EXPECT_EQ(c.Water.back(), 0.0);
}

} // namespace
