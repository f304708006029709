// SPDX-License-Identifier: MIT
// Batches of logged points and sweeps: the CSV they read and write, and
// that their numbers are exactly those of a single point: at the scalar
// level, which this test asks for (the vector levels are columnar_test's).
#include "cli/Cli.h"
#include "core/Columns.h"
#include "core/Errors.h"
#include "core/Sweep.h"
#include "io/Batch.h"
#include "io/Csv.h"
#include "io/LogTime.h"
#include "io/Stream.h"
#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include <stdlib.h>
#include <unistd.h>

using namespace nebelkamm;

namespace {

// Before anything is evaluated, which is when the level is read.
const bool ScalarLevel = ::setenv("NEBELKAMM_SIMD", "scalar", 1) == 0;

const ChargeAirInputs Stored{50, 20, 1.02, 2.4, 40, 7.8, 40000};

struct Batched {
    std::string out;
    BatchSummary summary;
    BatchLayout layout;
};

Batched Batch(const std::string& in, char decimal = '.', unsigned threads = 1,
              std::optional<AirBasis> reference = std::nullopt,
              std::size_t block = std::size_t(1) << 18) {
    MemorySource source(in);
    StringSink sink;
    BatchOptions options;
    options.DecimalSeparator = decimal;
    options.Threads = threads;
    options.Reference = reference;
    options.BlockBytes = block;
    Batched b;
    options.OnLayout = [&b](const BatchLayout& layout) { b.layout = layout; };
    b.summary = RunBatch(source, sink, Stored, options);
    b.out = sink.Text;
    return b;
}

std::string Header(char sep = ',') {
    std::string h;
    for (const Column& c : OutputColumns(false))
        h += (h.empty() ? "" : std::string(1, sep)) + c.Key;
    return h + "\n";
}

std::string Number(double v, char decimal = '.') {
    char buf[ShortestTextMax];
    std::string t(buf, ShortestText(v, buf));
    std::replace(t.begin(), t.end(), '.', decimal);
    return t;
}

// A batch's row for the inputs: the seven (a missing one empty), then the
// results and the daily water, or none of them with a message.
std::string Row(ChargeAirInputs in, std::string message = "", int missing = -1, char sep = ',',
                char decimal = '.') {
    std::string row;
    for (int k = 0; k < 7; ++k)
        row += (k == missing ? std::string() : Number(in.*InputColumns[k].Input, decimal)) + sep;
    if (message.empty()) {
        const ChargeAirResults r = ComputeChargeAir(in);
        for (const Column& c : ClassicColumns)
            row += Number(c.Result ? r.*c.Result : WaterPerDay(r.WaterAtSeparator), decimal) + sep;
    } else {
        row += std::string(7, sep) + message;
    }
    return row + "\n";
}

// A row that could not be read at all: nothing but its message.
std::string Unread(const std::string& message, int passedThrough = 0) {
    return std::string(static_cast<std::size_t>(passedThrough) + 14, ',') + message + "\n";
}

const std::string StoredRow = Row(Stored);

std::string Repeated(const std::string& s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

std::string Semi(std::string s) {
    std::replace(s.begin(), s.end(), ',', ';');
    return s;
}

ChargeAirInputs With(double ChargeAirInputs::*field, double v) {
    ChargeAirInputs in = Stored;
    in.*field = v;
    return in;
}

constexpr auto Humidity = &ChargeAirInputs::RelativeHumidity;
const std::string Big(std::size_t(2) << 20, 'x');

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

// The same output whatever the threads and however the input is cut into
// blocks: a quoted field, a CRLF or an overlong line across block ends, with
// several chunks in flight.
TEST_P(BatchTable, WritesOneRowPerRow) {
    const Case& c = GetParam();
    for (unsigned threads : {1u, 2u})
        for (std::size_t block : {std::size_t(1), std::size_t(7), std::size_t(1) << 18}) {
            if (block == 1 && c.in.size() > 100000)
                continue; // a byte at a time through megabytes takes long and adds nothing
            const Batched b = Batch(c.in, c.decimal, threads, std::nullopt, block);
            EXPECT_EQ(b.out, c.out) << threads << " threads, blocks of " << block;
            EXPECT_EQ(b.summary.Failed, c.failed);
        }
}

INSTANTIATE_TEST_SUITE_P(
    Csv, BatchTable,
    ::testing::Values(
        Case{"NoInputColumnsButOneTakesTheStored", "id,PowerOnEngine\n7,40000\n",
             "id," + Header() + "7," + StoredRow, 0},
        Case{"Windows1252IsAnsweredInUtf8", "RelativeHumidity [%],note\n50,caf\xE9 \x80\n",
             "note," + Header() + "caf\xC3\xA9 \xE2\x82\xAC," + StoredRow, 0},
        Case{"Utf16RowNotValidFailsAlone",
             std::string("\xFF\xFE"
                         "i\0d\0,\0P\0o\0w\0e\0r\0O\0n\0E\0n\0g\0i\0n\0e\0\n\0"
                         "1\0,\0"
                         "4\0\n\0"
                         "2\0,\0\x00\xD8\n\0"
                         "3\0,\0"
                         "3\0",
                         58),
             "id," + Header() + "1," + Row(With(&ChargeAirInputs::PowerOnEngine, 4)) + "2" +
                 Unread("line 3: not valid UTF-16", 1) + "3," +
                 Row(With(&ChargeAirInputs::PowerOnEngine, 3)),
             1},
        Case{"Utf8RowNotValidAfterTheStartFailsAlone",
             "RelativeHumidity,note\n" + Repeated("50,x\n", 14000) + "50,\xC3(\n",
             "note," + Header() + Repeated("x," + StoredRow, 14000) + "\xEF\xBF\xBD(" +
                 Unread("line 14002: not valid UTF-8", 1),
             1},
        Case{"BomCrLfAndNoLastLineEnd", "\xEF\xBB\xBFid,RelativeHumidity\r\n1,60\r\n2,50",
             "id," + Header() + "1," + Row(With(Humidity, 60)) + "2," + StoredRow, 0},
        Case{"LoneCrAndMixedLineEnds", "RelativeHumidity\r60\r\n70\n\r50\r",
             Header() + Row(With(Humidity, 60)) + Row(With(Humidity, 70)) + StoredRow, 0},
        Case{"QuotedPassThroughKeptAsItStands", "RelativeHumidity,note\n50,\"a, \"\"b\"\"\nc\"\n",
             "note," + Header() + "\"a, \"\"b\"\"\nc\"," + StoredRow, 0},
        Case{"QuotedNumberAndLinesCountedInsideQuotes",
             "note,RelativeHumidity\n\"a\r\nb\",\"60\"\nx,abc\n",
             "note," + Header() + "\"a\r\nb\"," + Row(With(Humidity, 60)) + "x," +
                 Row(Stored, "\"line 4, column RelativeHumidity: 'abc' is not a number\"", 0),
             1},
        Case{"StrayQuoteInTheHeaderIsACharacter", "len\",RelativeHumidity\n5,60\n50,50\n",
             "\"len\"\"\"," + Header() + "5," + Row(With(Humidity, 60)) + "50," + StoredRow, 0},
        Case{"StrayQuoteInDataFailsItsRowOnly", "RelativeHumidity,note\n6\"0,a\"b\n50,x\n",
             "note," + Header() + "\"a\"\"b\"," +
                 Row(Stored, "\"line 2, column RelativeHumidity: '6\"\"0' is not a number\"", 0) +
                 "x," + StoredRow,
             1},
        Case{"TextAfterTheClosingQuote", "note,RelativeHumidity\n\"ab\"cd,60\n",
             "note," + Header() + "abcd," + Row(With(Humidity, 60)), 0},
        Case{"UnterminatedQuoteFailsItsRowOnly", "RelativeHumidity,note\n60,\"open\n50,x\n",
             "note," + Header() + Unread("line 2: quoted field not closed", 1) + "x," + StoredRow,
             1},
        Case{"UnterminatedQuoteAtTheEnd", "RelativeHumidity,note\n50,x\n60,\"open",
             "note," + Header() + "x," + StoredRow + Unread("line 3: quoted field not closed", 1),
             1},
        Case{"NulIsACharacter",
             "RelativeHumidity,note\n5" + std::string(1, '\0') + "0,a" + std::string(1, '\0') +
                 "b\n",
             "note," + Header() + "a" + std::string(1, '\0') + "b," +
                 Row(Stored, "\"line 2, column RelativeHumidity: '5 0' is not a number\"", 0),
             1},
        Case{"FieldOverOneMiB", "RelativeHumidity,note\n60," + Big + "\n50,y\n",
             "note," + Header() + Unread("line 2: field longer than 1 MiB", 1) + "y," + StoredRow,
             1},
        Case{"QuotedFieldOverOneMiBWithALineEnd",
             "RelativeHumidity,note\n60,\"a\n50,y\n" + Big + "\n50,z\n",
             "note," + Header() + Unread("line 2: quoted field not closed", 1) + "y," + StoredRow +
                 Unread("line 4: field longer than 1 MiB", 1) + "z," + StoredRow,
             2},
        Case{"RecordOverOneMiB",
             "RelativeHumidity\n" +
                 [] {
                     std::string r;
                     for (int i = 0; i < 600000; ++i)
                         r += "1,";
                     return r;
                 }() +
                 "\n50\n",
             Header() + Unread("line 2: record longer than 1 MiB") + StoredRow, 1},
        Case{"Tabs", "id\tRelativeHumidity\n1\t60\n",
             "id\t" + Header('\t') + "1\t" + Row(With(Humidity, 60), "", -1, '\t'), 0},
        Case{"TabsWithTheLocaleComma", "id\tPressureBeforeBlower\n1\t1,02\n",
             "id\t" + Header('\t') + "1\t" + Row(Stored, "", -1, '\t', ','), 0, ','},
        Case{"SemicolonsWithTheLocaleComma", "RelativeHumidity;PressureBeforeBlower\n50;1,02\n",
             Semi(Header()) + Row(Stored, "", -1, ';', ','), 0, ','},
        Case{"SemicolonsTakeTheFilesPoint", "id;PressureBeforeBlower\n1;1.02\n",
             "id;" + Semi(Header()) + "1;" + Row(Stored, "", -1, ';', '.'), 0, ','},
        Case{"SemicolonsRefuseTheOtherSeparator", "id;PressureBeforeBlower\n1;1,02\n2;1.02\n",
             "id;" + Semi(Header()) + "1;" + Row(Stored, "", -1, ';', ',') + "2;" +
                 Row(Stored, "line 3, column PressureBeforeBlower: '1.02' is not a number", 2, ';',
                     ','),
             1, '.'},
        Case{"ColumnsInAnyOrderAndSubset", "PowerOnEngine,TempAfterCooler\n41200,35\n",
             Header() + Row(ChargeAirInputs{50, 20, 1.02, 2.4, 35, 7.8, 41200}), 0},
        Case{"BlankLinesAreNoRows", "RelativeHumidity\n\n50\n\r\n", Header() + StoredRow, 0},
        Case{"TooManyFields", "RelativeHumidity\n50,1\n",
             Header() + Row(Stored, "\"line 2: 2 fields, the header has 1\""), 1},
        Case{"ImpossiblePointHasNoResults", "RelativeHumidity\n0\n50\n",
             Header() + Row(With(Humidity, 0), "relative humidity not above 0 %") + StoredRow, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
    const char* name;
    std::string in;
    const char* message;
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

class BatchRefused : public ::testing::TestWithParam<Refused> {};

// A header that cannot be used ends the batch before any row, with a message.
TEST_P(BatchRefused, IsADataError) {
    try {
        Batch(GetParam().in);
        ADD_FAILURE() << "no error";
    } catch (const EDataError& e) {
        EXPECT_TRUE(e.Message().find(GetParam().message) != std::string::npos) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Header, BatchRefused,
    ::testing::Values(
        Refused{"Empty", "", "the input is empty"},
        Refused{"NamesNoInput", "time,engine\n1,2\n", "the header names no input"},
        Refused{"NamesAnInputTwice", "TempAfterCooler,tempaftercooler\n1,2\n", "twice"},
        Refused{"UnknownUnit", "TempAfterCooler [bar]\n300\n",
                "column 'TempAfterCooler [bar]': [bar] is not a unit of TempAfterCooler, which "
                "takes °C, C, degC, °F, F, degF, K"},
        Refused{"GaugeBarometric", "PressureBeforeBlower [barg]\n1\n",
                "PressureBeforeBlower is the barometric pressure: absolute, never gauge"},
        Refused{"Utf16Header",
                std::string("\xFF\xFE"
                            "R\0\x00\xD8\n\0",
                            8),
                "line 1, the header: not valid UTF-16"},
        Refused{"OverOneMiB", "RelativeHumidity," + Big + "\n1,2\n",
                "line 1, the header: field longer than 1 MiB"},
        Refused{"QuoteNotClosed", "\"RelativeHumidity\n1\n",
                "line 1, the header: quoted field not closed"},
        Refused{"QuoteOpenedAfterAnotherSeparator", "RelativeHumidity,x\t\"y\n1,2\n",
                "line 1, the header: quoted field not closed"},
        Refused{"BlankFirstLineIsTheHeader", "\nRelativeHumidity\n50\n",
                "the header names no input"}),
    [](const auto& info) { return std::string(info.param.name); });

// Each record a tokenizer makes of input handed to it `piece` bytes at a
// time, as "line[problem]:field|field|".
static std::vector<std::string> Tokens(std::string_view input, std::size_t piece) {
    CsvTokenizer tokens;
    std::string bytes;
    std::vector<CsvField> fields;
    std::vector<CsvRecord> records;
    std::vector<std::string> out;
    for (std::size_t at = 0;; at += piece) {
        const bool last = at >= input.size();
        bytes.append(input.substr(std::min(at, input.size()), piece));
        tokens.Step(bytes, last);
        const std::size_t done = tokens.Done();
        tokens.Take(fields, records);
        for (const CsvRecord& r : records) {
            std::string text = std::to_string(r.Line) + ProblemText(r.Problem) + ":";
            for (std::uint32_t i = 0; i < r.Stored; ++i) {
                const CsvField& f = fields[r.FirstField + i];
                (text += bytes.substr(f.Begin, f.End - f.Begin)) += '|';
            }
            out.push_back(text);
        }
        bytes.erase(0, done);
        if (last)
            return out;
    }
}

// The same records whether the bytes come at once or one or two at a time.
TEST(CsvTokenizer, RecordsDoNotDependOnHowTheBytesArrive) {
    const struct {
        std::string_view input;
        std::vector<std::string> records;
    } cases[] = {
        {"a,b\r\nc,d", {"1:a|b|", "2:c|d|"}},
        {"\"x\r\ny\",z\r\r\n3\r", {"1:\"x\r\ny\"|z|", "4:3|"}},
        {"\"open\nb\nc", {"1quoted field not closed:", "2:b|", "3:c|"}},
        {"x\"y,\"q\"\"r\"s\n\"\"\n", {"1:x\"y|\"q\"\"r\"s|", "2:\"\"|"}},
        {"\n\r\n,\n\"end", {"3:||", "4quoted field not closed:"}},
    };
    for (const auto& c : cases)
        for (const std::size_t piece : {c.input.size() + 1, std::size_t(1), std::size_t(2)})
            EXPECT_EQ(Tokens(c.input, piece), c.records) << c.input << " by " << piece;
}

// Header cells name their input and unit as the shared table says, which
// the Python module's test reads too.
TEST(Columns, HeaderCellsNameTheirInputAndUnit) {
    std::ifstream table(NEBELKAMM_HEADER_TSV);
    ASSERT_TRUE(table) << NEBELKAMM_HEADER_TSV;
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.starts_with('#'))
            continue;
        std::istringstream fields(line.substr(line.find('\t') + 1));
        const std::string cell = line.substr(0, line.find('\t'));
        std::string key;
        double offset = 0, factor = 1;
        int less = 0;
        fields >> key >> offset >> factor >> less;
        const NamedInput n = InputNamedBy(cell);
        ++rows;
        if (key == "refused") {
            EXPECT_GE(n.Input, 0) << cell;
            EXPECT_FALSE(n.Refusal.empty()) << cell;
            continue;
        }
        EXPECT_TRUE(n.Refusal.empty()) << cell << ": " << n.Refusal;
        EXPECT_EQ(n.Input >= 0 ? std::string(InputColumns[n.Input].Key) : "-", key) << cell;
        EXPECT_DOUBLE_EQ(n.Unit.Offset, offset) << cell;
        EXPECT_DOUBLE_EQ(n.Unit.Factor, factor) << cell;
        EXPECT_EQ(n.LessBarometric(), less == 1) << cell;
    }
    EXPECT_GT(rows, 40);
}

TEST(Columns, HeaderCellsNameTheirInput) {
    const Batched b = Batch("time, relativehumidity ,Actual temperature after cooler [°C],note\n"
                            "t,90,35,n\n");
    ChargeAirInputs in = Stored;
    in.RelativeHumidity = 90;
    in.TempAfterCooler = 35;
    EXPECT_EQ(b.out, "time,note," + Header() + "t,n," + Row(in));
    EXPECT_EQ(b.layout.PassedThrough, (std::vector<std::string>{"time", "note"}));
    EXPECT_EQ(b.layout.FromStored.size(), 5u);
}

// Points that make no physical sense, or leave the classic formulas, get a
// message saying which and no results; the reference ones too where the
// inputs are impossible.
TEST(Batch, ImpossiblePointsHaveAMessageAndNoResults) {
    struct {
        ChargeAirInputs in;
        const char* message;
    } const cases[] = {
        {{90, 37, 1.02, 2.4, 40, 7.8, 41200}, ""},
        {{150, 37, 1.02, 2.4, 40, 7.8, 41200}, "relative humidity above 100 %"},
        {{-5, 37, 1.02, 2.4, 40, 7.8, 41200}, "relative humidity not above 0 %"},
        {{90, 37, 0, 2.4, 40, 7.8, 41200}, "barometric pressure not above 0 bar"},
        {{90, 37, 1.02, -1, 40, 7.8, 41200}, "scavenge air pressure below 0 bar"},
        {{90, 37, 1.02, 2.4, 40, -7.8, 41200}, "specific air flow below 0 kg/kWh"},
        {{90, 37, 1.02, 2.4, 40, 7.8, -41200}, "power on engine below 0 kW"},
        {{90, -300, 1.02, 2.4, 40, 7.8, 41200}, "temperature before blower below absolute zero"},
        {{90, 37, 1.02, 2.4, 140, 7.8, 41200},
         "saturation pressure after cooler not below the pressure ratio"},
        {{100, 110, 1.02, 2.4, 40, 7.8, 41200},
         "vapour pressure before blower not below the barometric pressure"},
    };
    std::string in = "RelativeHumidity,TempBeforeBlower,PressureBeforeBlower,ScavingAirPressure,"
                     "TempAfterCooler,SpecificAirFlow,PowerOnEngine\n";
    for (const auto& c : cases) {
        for (const Column& col : InputColumns)
            in += Number(c.in.*col.Input) + (col.Input == InputColumns[6].Input ? "\n" : ",");
    }
    const Batched b = Batch(in, '.', 1, AirBasis::Humid);
    std::istringstream lines(b.out);
    std::string line;
    std::getline(lines, line);
    for (const auto& c : cases) {
        ASSERT_TRUE(std::getline(lines, line));
        std::vector<std::string> cells;
        std::istringstream split(line + ",");
        for (std::string cell; std::getline(split, cell, ',');)
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), Columns.size()) << line;
        EXPECT_TRUE(cells[14].starts_with(c.message)) << line;
        for (std::size_t k = 7; k < 14; ++k)
            EXPECT_EQ(cells[k].empty(), *c.message != 0) << line;
        const bool inputsImpossible = c.in.TempAfterCooler != 140 && c.in.TempBeforeBlower != 110;
        if (*c.message && inputsImpossible) {
            EXPECT_EQ(cells.back(), c.message) << line; // RefMessage
        }
    }
    EXPECT_EQ(b.summary.Failed, std::size(cases) - 1);
}

// The reference columns come after the message, so the classic ones keep
// their places; a row whose inputs cannot be read gets neither, and says so
// in both messages.
TEST(Batch, ReferenceColumnsFollowTheMessage) {
    const std::string out = Batch("RelativeHumidity\nabc\n90\n", '.', 1, AirBasis::Humid).out;
    std::istringstream lines(out);
    std::string header, bad, humid;
    std::getline(lines, header);
    std::getline(lines, bad);
    std::getline(lines, humid);
    std::string want;
    for (const Column& c : Columns)
        want += (want.empty() ? "" : ",") + std::string(c.Key);
    EXPECT_EQ(header, want);
    const std::string message = "\"line 2, column RelativeHumidity: 'abc' is not a number\"";
    EXPECT_TRUE(bad.ends_with(message + ",,,,,,,,," + message)) << bad;
    const Evaluation e = Evaluate({90, 20, 1.02, 2.4, 40, 7.8, 40000}, {AirBasis::Humid});
    EXPECT_TRUE(humid.ends_with("," + Number(e.Reference.DewPointMargin) + ",")) << humid;
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
            const Evaluation e = Evaluate(point);
            const std::string wantX2 =
                e.Message() ? "" : Number(e.Classic.MaxWaterContentInCooler, decimal);
            const char sep = decimal == '.' ? ',' : ';';
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string f; std::getline(split, f, sep);)
                fields.push_back(f);
            const std::size_t first = decimal == '.' ? 0 : 1; // after the passed-through x
            ASSERT_GT(fields.size(), first + 10) << line;
            EXPECT_EQ(fields[first + 4], Number(v, decimal)) << t;
            EXPECT_EQ(fields[first + 10], wantX2) << t;
        }
    }
}

// The numbers of a one-row batch are exactly those that the single-point
// command line prints with --json, column by column of the column table,
// the reference ones too; and the classic numbers do not change with
// --reference.
TEST(Batch, OneRowGivesTheNumbersOfASinglePoint) {
    std::mt19937 rng(3);
    const auto u = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    char dir[] = "/tmp/nebelkamm-batch-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    ASSERT_EQ(chdir(dir), 0);
    const std::span<const Column> columns = OutputColumns(true);
    for (int i = 0; i < 10000; ++i) {
        const float v[7] = {u(1, 100), u(0, 45), u(0.8f, 1.1f), u(0.1f, 4.5f),
                            u(20, 60), u(5, 9),  u(1000, 90000)};
        std::vector<std::string> args{"--json", "--no-save"};
        std::string header, row;
        for (int k = 0; k < 7; ++k) {
            const std::string text = Number(v[k]);
            args.push_back(text);
            header += (k ? "," : "") + std::string(InputColumns[k].Key);
            row += (k ? "," : "") + text;
        }
        const bool dry = i % 2;
        StringSink plain, json;
        std::ostringstream err;
        ASSERT_EQ(RunCli(args, '.', plain, err), 0) << err.str();
        args.insert(args.begin(), {"--reference", "--air-basis", dry ? "dry" : "humid"});
        ASSERT_EQ(RunCli(args, '.', json, err), 0) << err.str();
        const std::string classic = plain.Text.substr(0, plain.Text.size() - 3); // "\n}\n"
        ASSERT_EQ(json.Text.substr(0, classic.size()), classic);
        const std::string batch =
            Batch(header + "\n" + row + "\n", '.', 1, dry ? AirBasis::Dry : AirBasis::Humid).out;
        const std::size_t from = batch.find('\n') + 1;
        std::istringstream fields(batch.substr(from, batch.find('\n', from) - from));
        std::string field;
        for (const Column& c : columns) {
            std::getline(fields, field, ',');
            if (!c.IsNumber()) {
                ASSERT_EQ(field, "") << c.Key;
                continue;
            }
            const std::string want = "\"" + std::string(c.JsonKey()) + "\": " + field;
            const std::size_t from =
                c.Group == ColumnGroup::Reference ? json.Text.find("\"reference\"") : 0;
            ASSERT_NE(json.Text.find(want, from), std::string::npos) << want << "\n" << json.Text;
        }
    }
    ASSERT_EQ(chdir("/"), 0);
    rmdir(dir);
}

struct SweepCase {
    const char* name;
    double from, to, step;
    int decimals;
    std::vector<double> points; // empty: a usage error
};

void PrintTo(const SweepCase& c, std::ostream* os) {
    *os << c.name;
}

class SweepTable : public ::testing::TestWithParam<SweepCase> {};

TEST_P(SweepTable, PointsOrUsageError) {
    const SweepCase& c = GetParam();
    if (c.points.empty()) {
        EXPECT_THROW(SweepPoints(c.from, c.to, c.step, c.decimals), EUsageError);
        return;
    }
    const std::vector<double> x = SweepPoints(c.from, c.to, c.step, c.decimals);
    if (c.points.size() == 2) { // first and last, for long sweeps
        ASSERT_FALSE(x.empty());
        EXPECT_EQ(x.front(), c.points.front());
        EXPECT_EQ(x.back(), c.points.back());
    } else {
        EXPECT_EQ(x, c.points);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SweepTable,
    ::testing::Values(SweepCase{"TenthsAreTheirDecimals",
                                0,
                                1,
                                0.1,
                                1,
                                {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1}},
                      SweepCase{"ThirdsOfAPressure", 0.3, 0.9, 0.3, 1, {0.3, 0.6, 0.9}},
                      SweepCase{"Downwards", 60, 59, -0.25, 2, {60, 59.75, 59.5, 59.25, 59}},
                      SweepCase{"OnePoint", 5, 5, 1, 0, {5}},
                      SweepCase{"MostPoints", 0, 99999, 1, 0, {0, 99999}},
                      SweepCase{"TooManyPoints", 0, 100000, 1, 0, {}},
                      SweepCase{"ZeroStep", 20, 60, 0, 0, {}},
                      SweepCase{"WrongSign", 20, 60, -1, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The knee lies where the water content that condenses reaches 0: for the
// cooler outlet, next to the condensation temperature (the model's
// saturation law uses 2.71828 where its inverse uses e).
TEST(Sweep, KneeOfTheCoolerOutletIsWhereWaterStopsCondensing) {
    const ChargeAirInputs summer{90, 37, 1.02, 2.4, 40, 7.8, 41200};
    const Sweep s = ComputeSweep(summer, *InputByKey("TempAfterCooler"), SweepPoints(20, 70, 0.5));
    ASSERT_TRUE(s.Knee);
    const auto condensing = [&](double t2) {
        ChargeAirInputs in = summer;
        in.TempAfterCooler = t2;
        return ComputeChargeAir(in).CondensingWaterContent;
    };
    EXPECT_GT(condensing(*s.Knee - 1e-7), 0);
    EXPECT_EQ(condensing(*s.Knee + 1e-7), 0);
    EXPECT_NEAR(*s.Knee, ComputeChargeAir(summer).DewPointTemperature, 1e-3);
    EXPECT_EQ(s.Points.size(), 101u);
    EXPECT_EQ(s.Points.back().Classic.WaterAtSeparator, 0.0);
}

} // namespace

// Times as logs write them: each form read to its instant and clock, and
// what would need a guess or is no date refused.
TEST(LogTime, ReadsTheWrittenFormsAndGuessesNothing) {
    constexpr double day = 1796688000; // 2026-12-08 00:00 UTC
    struct {
        const char* text;
        const char* format;
        std::optional<double> instant, clock; // from day
    } const cases[] = {
        {"2026-12-08T10:30", "", 37800, 37800},
        {" 2026-12-08 10:30:15.5 ", "", 37815.5, 37815.5},
        {"2026-12-08T10:30:00Z", "", 37800, 37800},
        {"2026-12-08T10:30+01:00", "", 34200, 37800},
        {"2026-12-08T10:30:00-0530", "", 57600, 37800},
        {"08.12.2026 10:30", "", 37800, 37800},
        {"8.12.2026 10:30:00", "", 37800, 37800},
        {"2026/12/08 10:30", "", 37800, 37800},
        {"1796725800", "", 37800, 37800},
        {"2026-12-08", "", 0, 0},
        {"12/08/2026 10:30", "%m/%d/%Y %H:%M", 37800, 37800},
        {"12/08/2026 10:30", "", std::nullopt, std::nullopt},
        {"2026-13-08T10:30", "", std::nullopt, std::nullopt},
        {"29.02.2026 10:30", "", std::nullopt, std::nullopt},
        {"2026-12-08T25:00", "", std::nullopt, std::nullopt},
        {"yesterday", "", std::nullopt, std::nullopt},
        {"", "", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<LogTime> t = ReadLogTime(c.text, c.format);
        ASSERT_EQ(t.has_value(), c.instant.has_value()) << c.text;
        if (t) {
            EXPECT_EQ(t->Instant, day + *c.instant) << c.text;
            EXPECT_EQ(t->Clock, day + *c.clock) << c.text;
        }
    }
    EXPECT_EQ(ClockText(day + 37800, true), "2026-12-08T10:00");
    EXPECT_EQ(ClockText(day - 1, false), "2026-12-07");
}
