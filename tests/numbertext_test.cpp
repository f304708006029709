// SPDX-License-Identifier: MIT
#include "platform/Errors.h"
#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

using namespace nebelkamm;

struct ToText {
    double value;
    const char* text;
};

class FloatToStrTable : public ::testing::TestWithParam<ToText> {};

TEST_P(FloatToStrTable, Writes) {
    EXPECT_EQ(FloatToStr(GetParam().value, '.'), GetParam().text) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FloatToStrTable,
    ::testing::Values(ToText{0.00005, "5E-5"}, ToText{40000, "40000"},
                      ToText{1.0199999809265137, "1.01999998092651"},
                      ToText{2.4000000953674316, "2.40000009536743"}, ToText{1.2, "1.2"},
                      ToText{0, "0"}, ToText{-0.0, "0"}, ToText{-7.8, "-7.8"},
                      ToText{0.0001, "0.0001"}, ToText{0.00012345, "0.00012345"},
                      ToText{0.000099999, "9.9999E-5"}, ToText{999999999999999, "999999999999999"},
                      ToText{1e15, "1E15"}, ToText{1.5e15, "1.5E15"},
                      ToText{999999999999999.9, "1E15"}, // rounds to 15 digits first
                      ToText{123456789012345678.0, "1.23456789012346E17"},
                      ToText{-1.25e-300, "-1.25E-300"}, ToText{0.1 + 0.2, "0.3"},
                      ToText{1.0 / 3, "0.333333333333333"}, ToText{2.0 / 3, "0.666666666666667"},
                      ToText{100, "100"}, ToText{1e300, "1E300"},
                      // Found by fuzzing: rounded up, these would read back as infinity.
                      ToText{-1.7976931348623151e308, "-1.79769313486231E308"},
                      ToText{std::numeric_limits<double>::max(), "1.79769313486231E308"},
                      ToText{1.797693134862309e308, "1.79769313486231E308"},
                      ToText{std::numeric_limits<double>::infinity(), "INF"},
                      ToText{std::numeric_limits<double>::quiet_NaN(), "NAN"}));

struct Pattern {
    const char* pattern;
    double value;
    const char* text;
};

class FormatFloatTable : public ::testing::TestWithParam<Pattern> {};

TEST_P(FormatFloatTable, Writes) {
    const Pattern& p = GetParam();
    EXPECT_EQ(FormatFloat(p.pattern, p.value, '.'), p.text) << p.pattern << " " << p.value;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatFloatTable,
    ::testing::Values(Pattern{"0.00", 0.125, "0.13"}, Pattern{"0", 2.5, "3"},
                      Pattern{"0", 3.5, "4"}, Pattern{"0", -2.5, "-3"}, Pattern{"0", 0.5, "1"},
                      Pattern{"0", 0.49999, "0"},
                      Pattern{"0.0", 0.05, "0.1"},    // 0.05 is 5.00000000000000028e-2 to 18 digits
                      Pattern{"0.00", 1.005, "1.00"}, // 1.00499999999999989 to 18 digits
                      Pattern{"0.0", 0.25, "0.3"},
                      Pattern{"0.0", 0.35, "0.3"} /* 3.49999999999999978e-1 */,
                      Pattern{"0.00", 90, "90.00"}, Pattern{"0.00", 1.02, "1.02"},
                      Pattern{"0.00", 41200, "41200.00"}, Pattern{"0.0", 50, "50.0"},
                      Pattern{"0.0000", 0.0061244, "0.0061"}, Pattern{"0.0000", 0.0, "0.0000"},
                      Pattern{"0.0", 9.96, "10.0"}, Pattern{"0.0", 99.95, "100.0"},
                      Pattern{"0.0", 999.96, "1000.0"}, Pattern{"0.00", -0.001, "0.00"},
                      Pattern{"0.0", -1.25, "-1.3"}, Pattern{"0.0000", 0.00005, "0.0001"},
                      Pattern{"0.0000", 0.000049, "0.0000"}, Pattern{"0.0", 7224.43867, "7224.4"},
                      Pattern{"0.00", 3.352941, "3.35"}, Pattern{"0", 0.0, "0"},
                      Pattern{"0.0", 1e17, "100000000000000000.0"}, Pattern{"0.0", 1e18, "1E18"},
                      Pattern{"0.000000000000000000000", 0.5, "0.500000000000000000000"},
                      Pattern{"0.0", 1e-30, "0.0"},
                      Pattern{"0.0", -std::numeric_limits<double>::infinity(), "-INF"}));

TEST(FormatFloat, DisplayPatternsAndOthersRefused) {
    EXPECT_EQ(DisplayPattern(0), "0");
    EXPECT_EQ(DisplayPattern(1), "0.0");
    EXPECT_EQ(DisplayPattern(4), "0.0000");
    EXPECT_THROW(FormatFloat("#.##", 1, '.'), EUsageError);
    EXPECT_THROW(FormatFloat("", 1, '.'), EUsageError);
    EXPECT_THROW(FormatFloat("0.0#", 1, '.'), EUsageError);
}

struct Parse {
    const char* text;
    double value;
};

class StrToFloatAccepts : public ::testing::TestWithParam<Parse> {};

TEST_P(StrToFloatAccepts, Reads) {
    const double v = StrToFloat(GetParam().text, '.');
    EXPECT_EQ(v, GetParam().value) << '"' << GetParam().text << '"';
    EXPECT_EQ(std::signbit(v), std::signbit(GetParam().value)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, StrToFloatAccepts,
    ::testing::Values(Parse{"1.5", 1.5}, Parse{"  1.5  ", 1.5}, Parse{"+1.5", 1.5},
                      Parse{"-1.5", -1.5}, Parse{"1e2", 100}, Parse{"1E2", 100}, Parse{"1e+2", 100},
                      Parse{"1e-2", 0.01}, Parse{"1e", 1}, Parse{"1e-", 1}, Parse{".5", 0.5},
                      Parse{"5.", 5}, Parse{".", 0}, Parse{"-.", -0.0}, Parse{".e5", 0},
                      Parse{"0", 0}, Parse{"007", 7}, Parse{"0.00005", 0.00005},
                      Parse{"5E-5", 0.00005}, Parse{"1.01999998092651", 1.01999998092651},
                      Parse{"0e999999999999999999999", 0}, Parse{"1e-400", 0},
                      Parse{"1e-4933", 0}, // below the double range, inside the conversion's
                      Parse{"1.7976931348623157e308", std::numeric_limits<double>::max()},
                      Parse{"1e400", std::numeric_limits<double>::infinity()},
                      Parse{"-1e4932", -std::numeric_limits<double>::infinity()},
                      Parse{"000000000000000000000000000000000000000000001.5", 1.5},
                      Parse{"0.000000000000000000000000000000000000000000015e44", 1.5}));

class StrToFloatRejects : public ::testing::TestWithParam<const char*> {};

TEST_P(StrToFloatRejects, RaisesConvertError) {
    EXPECT_THROW(StrToFloat(GetParam(), '.'), EConvertError) << '"' << GetParam() << '"';
}

INSTANTIATE_TEST_SUITE_P(Syntax, StrToFloatRejects,
                         ::testing::Values("", " ", "+", "-", "e5", "E", "abc", "1.5.", "1..5",
                                           "1,5", "1 5", "- 1", "1e5.5", "1e5e5", "0x10", "inf",
                                           "nan", "1.5 ;x", "\t1.5", "1.5\n", "++1", "1e++2",
                                           "1e4933", "1e-4952", "１", "1\xC2\xA0"));

TEST(StrToFloat, ConvertErrorNamesTheText) {
    try {
        StrToFloat("abc", '.');
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid floating point value");
    }
}

TEST(NumberText, DecimalCommaEverywhere) {
    EXPECT_EQ(FloatToStr(1.2, ','), "1,2");
    EXPECT_EQ(FloatToStr(0.00005, ','), "5E-5");
    EXPECT_EQ(FloatToStr(1.5e20, ','), "1,5E20");
    EXPECT_EQ(FormatFloat("0.00", 1.02, ','), "1,02");
    EXPECT_EQ(StrToFloat("1,5", ','), 1.5);
    EXPECT_EQ(StrToFloat(",", ','), 0);
    EXPECT_THROW(StrToFloat("1.5", ','), EConvertError);
    EXPECT_THROW(StrToFloat("1,5", '.'), EConvertError);
}

// Every text the writers produce reads back, and the general format is a
// fixed point of write-read-write.
TEST(NumberText, RoundTripOverRandomDoubles) {
    std::mt19937_64 rng(20261208);
    std::uniform_int_distribution<int> decimals(0, 6);
    for (int i = 0; i < 200000; ++i) {
        double v;
        if (i % 2) {
            v = std::bit_cast<double>(rng());
            if (!std::isfinite(v))
                continue;
        } else {
            v = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng),
                           std::uniform_int_distribution<int>(-40, 60)(rng));
        }
        for (char sep : {'.', ','}) {
            const std::string text = FloatToStr(v, sep);
            const double back = StrToFloat(text, sep);
            ASSERT_EQ(FloatToStr(back, sep), text) << v;
            ASSERT_LE(std::fabs(back - v), std::fabs(v) * 1e-14) << text;
            if (std::fabs(v) < 1e18) {
                const std::string pattern = DisplayPattern(decimals(rng));
                const std::string fixed = FormatFloat(pattern, v, sep);
                ASSERT_NO_THROW(StrToFloat(fixed, sep)) << fixed;
                ASSERT_EQ(FormatFloat(pattern, StrToFloat(fixed, sep), sep), fixed) << v;
            }
        }
    }
}

TEST(NumberText, FifteenDigitsAreCorrectlyRounded) {
    // Halfway cases in decimal are not halfway in binary: the nearest wins.
    EXPECT_EQ(FloatToStr(0.1234567890123455, '.'), "0.123456789012345"); // ...5449 below
    EXPECT_EQ(FloatToStr(0.12345678901234551, '.'), "0.123456789012346");
    EXPECT_EQ(FloatToStr(1.0000000000000002, '.'), "1");
    EXPECT_EQ(FloatToStr(123456.7890123456, '.'), "123456.789012346");
}

TEST(ExceptionDisplay, FullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(ExceptionDisplayText("Floating point division by zero"),
              "Floating point division by zero.");
    EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
    EXPECT_EQ(ExceptionDisplayText("Stop!"), "Stop!");
    EXPECT_EQ(ExceptionDisplayText("a -"), "a -");
    EXPECT_EQ(ExceptionDisplayText("value 5"), "value 5.");
    EXPECT_EQ(ExceptionDisplayText(""), "");
}
