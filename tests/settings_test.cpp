// SPDX-License-Identifier: MIT
#include "TempDir.h"

#include "model/Exception.h"
#include "platform/Errors.h"
#include "settings/Settings.h"

#include <QFile>

#include <vector>

using namespace nebelkamm;
using Args = std::vector<std::string>;

namespace {

std::vector<double> Values(const ChargeAirInputs& in) {
    return {in.RelativeHumidity,   in.TempBeforeBlower, in.PressureBeforeBlower,
            in.ScavingAirPressure, in.TempAfterCooler,  in.SpecificAirFlow,
            in.PowerOnEngine};
}

const std::string FirstRunFile = "[Input]\nRelativeHumidity=50\nTempBeforeBlower=20\n"
                                 "PressureBeforeBlower=1.2\nScavingAirPressure=2.4\n"
                                 "TempAfterCooler=40\nSpecificAirFlow=7.8\nPowerOnEngine=40000\n";

} // namespace

class SettingsTest : public InTempDir {};

TEST_F(SettingsTest, FirstStartCreatesTheFileBeforeOverrides) {
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    s.Start({"60"});
    EXPECT_EQ(Get("Nebelkamm.ini"), FirstRunFile);
    EXPECT_EQ(Values(s.Inputs), (std::vector<double>{60, 20, 1.2, 2.4, 40, 7.8, 40000}));
}

TEST_F(SettingsTest, FirstStartUnderDecimalComma) {
    ChargeAirSettings s("./Nebelkamm.ini", ',');
    s.Start({});
    EXPECT_NE(Get("Nebelkamm.ini").find("PressureBeforeBlower=1,2\n"), std::string::npos);
    EXPECT_NE(Get("Nebelkamm.ini").find("SpecificAirFlow=7,8\n"), std::string::npos);
}

TEST_F(SettingsTest, MissingKeysTakeTheirDefaultsAndTheFileStays) {
    const std::string file = "[Input]\nRelativeHumidity=75\n";
    Put("Nebelkamm.ini", file);
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    s.Start({});
    EXPECT_EQ(Values(s.Inputs), (std::vector<double>{75, 20, 1.02, 2.4, 40, 7.8, 40000}));
    EXPECT_EQ(Get("Nebelkamm.ini"), file);
}

TEST_F(SettingsTest, ValuesFromTheFileAreUncheckedButUnreadableOnesDefault) {
    Put("Nebelkamm.ini", "; written elsewhere\r\n[input]\r\nrelativehumidity = 150\r\n"
                         "TempBeforeBlower=-300\r\nPressureBeforeBlower=1,5\r\n"
                         "ScavingAirPressure=\"3\"\r\nTempAfterCooler=\r\nSpecificAirFlow=x\r\n"
                         "PowerOnEngine=1e400\r\n");
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    s.ReadSettings();
    EXPECT_EQ(Values(s.Inputs), (std::vector<double>{150, -300, 1.02, 3, 40, 7.8, 40000}));
}

TEST_F(SettingsTest, WriteSettingsRewritesOnlyTheValues) {
    Put("Nebelkamm.ini", "; mine\r\n[Other]\r\nX=1\r\n[Input]\r\nPowerOnEngine = 1\r\n");
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    s.SetFirstRunValues();
    s.Inputs.RelativeHumidity = 0.00005;
    s.WriteSettings();
    EXPECT_EQ(Get("Nebelkamm.ini"),
              "; mine\r\n[Other]\r\nX=1\r\n[Input]\r\nPowerOnEngine = 40000\r\n"
              "RelativeHumidity=5E-5\r\nTempBeforeBlower=20\r\nPressureBeforeBlower=1.2\r\n"
              "ScavingAirPressure=2.4\r\nTempAfterCooler=40\r\nSpecificAirFlow=7.8\r\n");
}

struct Override {
    const char* name;
    Args args;
    char separator;
    std::vector<double> expected;
};

void PrintTo(const Override& c, std::ostream* os) {
    *os << c.name;
}

class CommandLine : public SettingsTest, public ::testing::WithParamInterface<Override> {};

TEST_P(CommandLine, Overrides) {
    const Override& c = GetParam();
    Put("Nebelkamm.ini", FirstRunFile);
    ChargeAirSettings s("./Nebelkamm.ini", c.separator);
    s.Start(c.args);
    EXPECT_EQ(Values(s.Inputs), c.expected);
    EXPECT_EQ(Get("Nebelkamm.ini"), FirstRunFile); // overrides reach the file only later
}

const std::vector<double> Loaded{50, 20, 1.2, 2.4, 40, 7.8, 40000};

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLine,
    ::testing::Values(
        Override{"None", {}, '.', Loaded},
        Override{"TwoNumbers", {"60", "25"}, '.', {60, 25, 1.2, 2.4, 40, 7.8, 40000}},
        Override{"ZeroIgnored", {"0", "25"}, '.', {50, 25, 1.2, 2.4, 40, 7.8, 40000}},
        Override{"TextIgnored", {"abc", "25"}, '.', {50, 25, 1.2, 2.4, 40, 7.8, 40000}},
        Override{"NegativeIgnored", {"-5", "25"}, '.', {50, 25, 1.2, 2.4, 40, 7.8, 40000}},
        Override{"EightTakeNone", {"1", "2", "3", "4", "5", "6", "7", "8"}, '.', Loaded},
        Override{"Seven",
                 {"90", "37", "1.02", "2.4", "40", "7.8", "41200"},
                 '.',
                 {90, 37, 1.0199999809265137, 2.4000000953674316, 40, 7.800000190734863, 41200}},
        // The file's "1.2" is no number under a decimal comma: key default 1.02.
        Override{"PointUnderComma", {"1.5", "1,5"}, ',', {50, 1.5, 1.02, 2.4, 40, 7.8, 40000}},
        Override{"TinyPositive", {"1e-50"}, '.', Loaded}, // rounds to single 0
        Override{"BeyondDoubleRangeIsText", {"1e5000"}, '.', Loaded},
        Override{"Blanks", {" 7 "}, '.', {7, 20, 1.2, 2.4, 40, 7.8, 40000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, ParamToFloatRoundsToSingle) {
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    EXPECT_EQ(static_cast<double>(s.ParamToFloat("1.02")), 1.0199999809265137);
    EXPECT_EQ(static_cast<double>(s.ParamToFloat("41200")), 41200.0);
    EXPECT_EQ(s.ParamToFloat("abc"), 0.0f);
    EXPECT_EQ(s.ParamToFloat("3.4028235e38"), 3.4028234663852886e38f);
    for (const char* big : {"3.5e38", "-1e39", "1e300", "1e400"})
        EXPECT_THROW(s.ParamToFloat(big), EOverflow) << big;
}

TEST_F(SettingsTest, OverflowingArgumentEndsStartWithTheOverflow) {
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    try {
        s.Start({"60", "1e39"});
        FAIL();
    } catch (const EOverflow& e) {
        EXPECT_EQ(e.Message(), "Floating point overflow");
    }
}

TEST_F(SettingsTest, CommandLineValueWrittenBackExactly) {
    ChargeAirSettings s("./Nebelkamm.ini", '.');
    s.Start({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
    s.WriteSettings();
    const std::string file = Get("Nebelkamm.ini");
    EXPECT_NE(file.find("PressureBeforeBlower=1.01999998092651\n"), std::string::npos);
    EXPECT_NE(file.find("ScavingAirPressure=2.40000009536743\n"), std::string::npos);
    EXPECT_NE(file.find("PowerOnEngine=41200\n"), std::string::npos);
}

TEST_F(SettingsTest, FailedCreateRaisesUnableToWrite) {
    QDir().mkdir("Nebelkamm.ini"); // a directory where the file should be
    ChargeAirSettings s;
    try {
        s.Start({});
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to ./Nebelkamm.ini");
    }
}
