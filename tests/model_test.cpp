// SPDX-License-Identifier: MIT
#include "model/Chargeair.h"
#include "model/Exception.h"

#include <gtest/gtest.h>

#include <random>

#include <cstdint>

#include <bit>

#include <functional>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace nebelkamm;

namespace {

// |actual - shown| within half a unit of the last digit shown.
void ExpectShown(double actual, double shown, int decimals, const char* what) {
    const double half = 0.5 * std::pow(10.0, -decimals);
    EXPECT_LE(std::fabs(actual - shown), half * (1 + 1e-9)) << what << " = " << actual;
}

ChargeAirInputs Inputs(double phi, double t1, double p1, double ps, double t2, double m, double P) {
    return ChargeAirInputs{phi, t1, p1, ps, t2, m, P};
}

} // namespace

TEST(ComputeChargeAir, HumidSummerPointEveryDigit) {
    ChargeAirSteps s;
    std::vector<std::string> reports;
    const auto r = ComputeChargeAir(
        Inputs(90, 37, 1.02, 2.4, 40, 7.8, 41200),
        [&](const MathError& e) { reports.push_back(e.Message()); }, &s);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(s.Step, 10);
    ExpectShown(s.ps1, 0.0627836, 7, "ps1");
    ExpectShown(s.A, 1.133333, 6, "A");
    ExpectShown(s.x1, 0.0364779, 7, "x1");
    ExpectShown(s.r, 3.352941, 6, "r");
    ExpectShown(s.pv, 185.744, 3, "pv");
    ExpectShown(s.tc, 58.4903, 4, "tc");
    ExpectShown(s.ps2, 0.0737917, 7, "ps2");
    ExpectShown(s.x2, 0.0139971, 7, "x2");
    ExpectShown(s.d, 0.0224808, 7, "d");
    ExpectShown(s.W, 7224.44, 2, "W");
    EXPECT_EQ(r.WaterContentBeforeBlower, s.x1);
    EXPECT_EQ(r.PressureRatio, s.r);
    EXPECT_EQ(r.DewPointTemperature, s.tc);
    EXPECT_EQ(r.MaxWaterContentInCooler, s.x2);
    EXPECT_EQ(r.CondensingWaterContent, s.d);
    EXPECT_EQ(r.WaterAtSeparator, s.W);
}

TEST(ComputeChargeAir, FirstRunValuesEveryDigitAndClamp) {
    ChargeAirSteps s;
    const auto r = ComputeChargeAir(Inputs(50, 20, 1.2, 2.4, 40, 7.8, 40000), {}, &s);
    ExpectShown(s.ps1, 0.0234010, 7, "ps1");
    ExpectShown(s.A, 2.4, 6, "A");
    ExpectShown(s.x1, 0.00612447, 8, "x1");
    EXPECT_EQ(s.r, 3.0); // exactly
    ExpectShown(s.pv, 29.2512, 4, "pv");
    ExpectShown(s.tc, 23.6560, 4, "tc");
    ExpectShown(s.ps2, 0.0737917, 7, "ps2");
    ExpectShown(s.x2, 0.0156853, 7, "x2");
    ExpectShown(s.x1 - s.x2, -0.0095608, 7, "x1 - x2");
    EXPECT_EQ(r.CondensingWaterContent, 0.0);
    EXPECT_FALSE(std::signbit(r.CondensingWaterContent));
    EXPECT_EQ(r.WaterAtSeparator, 0.0);
}

TEST(ComputeChargeAir, UsesThePowerOfTwoPointSevenOneEightTwoEightNotExp) {
    // e^(0.99999933 y) and e^y differ by a few ppm at the working point:
    // the base-2.71828 power is the one that gives 0.0627836 to 7 digits.
    ChargeAirSteps s;
    ComputeChargeAir(Inputs(90, 37, 1.02, 2.4, 40, 7.8, 41200), {}, &s);
    const double y = 19.016 - 4064.95 / (37 + 236.25);
    EXPECT_EQ(s.ps1, std::pow(2.71828, y) * 0.001);
    EXPECT_NE(s.ps1, std::exp(y) * 0.001);
}

// Inputs at the edges of the model that compute without any failure.
struct EdgeCase {
    const char* name;
    std::function<void()> check;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class ComputeEdge : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(ComputeEdge, ComputesWithoutFailure) {
    GetParam().check();
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComputeEdge,
    ::testing::Values(
        EdgeCase{"NoScavengePressureGivesRatioOne",
                 [] {
                     EXPECT_EQ(
                         ComputeChargeAir(Inputs(50, 20, 1.2, 0, 40, 7.8, 40000)).PressureRatio,
                         1.0);
                 }},
        EdgeCase{"HumidityAbove100",
                 [] {
                     EXPECT_GT(ComputeChargeAir(Inputs(150, 37, 1.02, 2.4, 40, 7.8, 41200))
                                   .WaterContentBeforeBlower,
                               0);
                 }},
        EdgeCase{"NothingCondensesButTheRestIsDelivered",
                 [] {
                     const auto dry = ComputeChargeAir(Inputs(10, 10, 1.0, 1.0, 50, 7.8, 40000));
                     EXPECT_EQ(dry.CondensingWaterContent, 0.0);
                     EXPECT_EQ(dry.WaterAtSeparator, 0.0);
                     EXPECT_GT(dry.MaxWaterContentInCooler, dry.WaterContentBeforeBlower);
                     EXPECT_LT(dry.DewPointTemperature, 50);
                 }},
        EdgeCase{
            "DewPointDoesNotDependOnTheCoolerOutlet",
            [] {
                EXPECT_EQ(
                    ComputeChargeAir(Inputs(90, 37, 1.02, 2.4, 10, 7.8, 41200)).DewPointTemperature,
                    ComputeChargeAir(Inputs(90, 37, 1.02, 2.4, 60, 7.8, 41200))
                        .DewPointTemperature);
            }},
        EdgeCase{"UnderflowOfThePowerIsSilent",
                 [] {
                     ChargeAirSteps s;
                     ComputeChargeAir(
                         Inputs(50, -236.2, 1.2, 2.4, 40, 7.8, 40000), [](const MathError&) {}, &s);
                     EXPECT_EQ(s.ps1, 0.0);
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    ChargeAirInputs in;
    const char* message;
    int step;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ComputeFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ComputeFailure, RaisesItsMessageAtItsStep) {
    const FailureCase& c = GetParam();
    ChargeAirSteps s;
    try {
        ComputeChargeAir(
            c.in, [](const MathError&) {}, &s);
        FAIL() << "no failure";
    } catch (const EMathError& e) {
        EXPECT_EQ(e.Message(), c.message);
        EXPECT_EQ(s.Step, c.step);
    }
}

// Walks the doubles around guess until the condition holds (a few ulps).
template <class F> static double Near(double guess, F holds) {
    double up = guess, down = guess;
    for (int i = 0; i < 64;
         ++i, up = std::nextafter(up, 1e300), down = std::nextafter(down, -1e300)) {
        if (holds(up))
            return up;
        if (holds(down))
            return down;
    }
    return guess;
}

// r = (ps + p1) / p1 = ps2 at step 7, with p1 = 1 and t2 where ps2 is near 3.
static ChargeAirInputs RatioEqualsSaturation() {
    ChargeAirSteps s;
    ComputeChargeAir(Inputs(50, 20, 1, 0, 133.5, 1, 1), {}, &s);
    const double ps2 = s.ps2;
    return Inputs(50, 20, 1, Near(ps2 - 1, [&](double ps) { return (ps + 1) / 1 == ps2; }), 133.5,
                  1, 1);
}

// A = 100 * p1 / phi = ps1 at step 3, with phi = 100.
static ChargeAirInputs PressureGivesSaturation() {
    ChargeAirSteps s;
    ComputeChargeAir(Inputs(100, 20, 1, 1, 40, 1, 1), {}, &s);
    const double ps1 = s.ps1;
    return Inputs(100, 20, Near(ps1, [&](double p1) { return 100 * p1 / 100 == ps1; }), 1, 40, 1,
                  1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComputeFailure,
    ::testing::Values(FailureCase{"HumidityZero", Inputs(0, 20, 1.2, 2.4, 40, 7.8, 40000),
                                  "Floating point division by zero", 2},
                      FailureCase{"HumidityAndPressureZero", Inputs(0, 20, 0, 2.4, 40, 7.8, 40000),
                                  "Invalid floating point operation", 2},
                      FailureCase{"PressureZero", Inputs(50, 20, 0, 2.4, 40, 7.8, 40000),
                                  "Floating point division by zero", 4},
                      FailureCase{"T1AtPole", Inputs(50, -236.25, 1.2, 2.4, 40, 7.8, 40000),
                                  "Floating point division by zero", 1},
                      FailureCase{"T2AtPole", Inputs(50, 20, 1.2, 2.4, -236.25, 7.8, 40000),
                                  "Floating point division by zero", 6},
                      FailureCase{"T1PowerOverflow", Inputs(50, -240, 1.2, 2.4, 40, 7.8, 40000),
                                  "Invalid floating point operation", 3},
                      FailureCase{"T2PowerOverflow", Inputs(50, 20, 1.2, 2.4, -240, 7.8, 40000),
                                  "Invalid floating point operation", 7},
                      FailureCase{"DivisionOverflow", Inputs(1e-300, 20, 1e10, 2.4, 40, 7.8, 40000),
                                  "Floating point overflow", 2},
                      FailureCase{"ProductOverflow", Inputs(50, 20, 1e307, 2.4, 40, 7.8, 40000),
                                  "Floating point overflow", 2},
                      FailureCase{"WaterOverflow", Inputs(90, 37, 1.02, 2.4, 40, 1e200, 1e200),
                                  "Floating point overflow", 9},
                      FailureCase{"RatioEqualsSaturation", RatioEqualsSaturation(),
                                  "Floating point division by zero", 7},
                      FailureCase{"AEqualsSaturation", PressureGivesSaturation(),
                                  "Floating point division by zero", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComputeChargeAir, PressureZeroWithScavengeZeroIsInvalid) {
    // A = 0 and x1 = -0.622 pass; step 4 is then 0 / 0.
    ChargeAirSteps s;
    EXPECT_THROW(ComputeChargeAir(Inputs(50, 20, 0, 0, 40, 7.8, 40000), {}, &s), EInvalidOp);
    EXPECT_EQ(s.Step, 4);
}

TEST(ComputeChargeAir, LogarithmOfZeroReportsSingAndGoesOn) {
    // r = 0 (ps = -p1) makes pv = 0.
    std::vector<std::string> reports;
    const auto r = ComputeChargeAir(Inputs(50, 20, 1.2, -1.2, 40, 7.8, 40000),
                                    [&](const MathError& e) { reports.push_back(e.Message()); });
    ASSERT_EQ(reports, std::vector<std::string>{"log: SING error"});
    EXPECT_EQ(r.DewPointTemperature, -236.25);
    EXPECT_EQ(r.PressureRatio, 0.0);
}

TEST(ComputeChargeAir, LogarithmOfNegativeReportsDomainAndGivesNaN) {
    // r < 0: ps < -p1.
    std::vector<std::string> reports;
    const auto r = ComputeChargeAir(Inputs(50, 20, 1.2, -2.4, 40, 7.8, 40000),
                                    [&](const MathError& e) { reports.push_back(e.Message()); });
    ASSERT_EQ(reports, std::vector<std::string>{"log: DOMAIN error"});
    EXPECT_TRUE(std::isnan(r.DewPointTemperature));
    EXPECT_EQ(r.PressureRatio, -1.0);
}

TEST(ComputeChargeAir, PowerOverflowIsReportedBeforeTheInvalidOperation) {
    std::vector<std::string> reports;
    EXPECT_THROW(ComputeChargeAir(Inputs(50, -240, 1.2, 2.4, 40, 7.8, 40000),
                                  [&](const MathError& e) { reports.push_back(e.Message()); }),
                 EInvalidOp);
    EXPECT_EQ(reports, std::vector<std::string>{"pow: OVERFLOW error"});
}

TEST(ComputeChargeAir, NoHandlerDropsReports) {
    EXPECT_NO_THROW(ComputeChargeAir(Inputs(50, 20, 1.2, -2.4, 40, 7.8, 40000)));
}

TEST(ComputeChargeAir, LogarithmEqualToTheConstantDividesByZeroAtStep5) {
    // Find ps (with p1 = 1, so r = ps + 1) where ln pv is exactly 19.016.
    ChargeAirSteps s;
    ComputeChargeAir(Inputs(50, 20, 1, 0, 40, 1, 1), {}, &s);
    const double x1 = s.x1;
    const double target = std::exp(19.016) / 1000 * (0.622 + x1) / x1 - 1;
    double ps = target;
    bool found = false;
    for (int i = 0; i < 4000 && !found; ++i) {
        for (double c : {std::nextafter(ps, 1e300), target - (ps - target)}) {
            const double pv = (c + 1) * x1 / (0.622 + x1) * 1000;
            if (std::log(pv) == 19.016) {
                ps = c;
                found = true;
                break;
            }
        }
        if (!found)
            ps = std::nextafter(ps, 1e300);
    }
    ASSERT_TRUE(found);
    try {
        ComputeChargeAir(Inputs(50, 20, 1, ps, 40, 1, 1), {}, &s);
        FAIL() << "no failure";
    } catch (const EZeroDivide& e) {
        EXPECT_EQ(e.Message(), "Floating point division by zero");
        EXPECT_EQ(s.Step, 5);
    }
}

// The computation runs a fast path whenever nothing can fail; over random
// inputs, tame and wild, it gives bit for bit the results of the formulas
// written out plainly, and the failures and reports of the checked steps.
TEST(ComputeChargeAir, FastPathMatchesThePlainFormulasBitForBit) {
    std::mt19937_64 rng(42);
    const auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    int failures = 0, reports = 0;
    for (int i = 0; i < 200000; ++i) {
        const bool wild = i % 4 == 0;
        const ChargeAirInputs in =
            wild ? Inputs(uniform(-5, 150), uniform(-300, 400), uniform(-1, 3), uniform(-3, 10),
                          uniform(-300, 400), uniform(-1, 50), uniform(-1, 1e5))
                 : Inputs(uniform(1, 100), uniform(0, 45), uniform(0.8, 1.1), uniform(0, 4.5),
                          uniform(20, 60), uniform(5, 9), uniform(1000, 90000));
        bool reported = false;
        ChargeAirResults got;
        try {
            got = ComputeChargeAir(in, [&](const MathError&) { reported = true; });
        } catch (const EMathError&) {
            ++failures;
            continue;
        }
        if (reported) {
            ++reports;
            continue;
        }
        const double ps1 =
            std::pow(2.71828, 19.016 - 4064.95 / (in.TempBeforeBlower + 236.25)) * 0.001;
        const double x1 =
            ps1 / (100.0 * in.PressureBeforeBlower / in.RelativeHumidity - ps1) * 0.622;
        const double r =
            (in.ScavingAirPressure + in.PressureBeforeBlower) / in.PressureBeforeBlower;
        const double tc = 4064.95 / (19.016 - std::log(r * x1 / (0.622 + x1) * 1000.0)) - 236.25;
        const double ps2 =
            std::pow(2.71828, 19.016 - 4064.95 / (in.TempAfterCooler + 236.25)) * 0.001;
        const double x2 = ps2 / (r - ps2) * 0.622;
        const double d = x1 - x2 >= 0 ? x1 - x2 : 0.0;
        const double want[] = {x1, r, tc, x2, d, in.SpecificAirFlow * in.PowerOnEngine * d};
        const double have[] = {got.WaterContentBeforeBlower, got.PressureRatio,
                               got.DewPointTemperature,      got.MaxWaterContentInCooler,
                               got.CondensingWaterContent,   got.WaterAtSeparator};
        for (int k = 0; k < 6; ++k)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(have[k]), std::bit_cast<std::uint64_t>(want[k]))
                << "result " << k << " of input " << i;
    }
    EXPECT_GT(failures, 0); // the wild inputs reach the checked path's failures
    EXPECT_GT(reports, 0);  // and its reports
}
