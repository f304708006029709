// SPDX-License-Identifier: MIT
#include "model/Reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace nebelkamm;

namespace {

// One operating point computed independently with the same formulas.
struct Vector {
    int line = 0;
    ChargeAirInputs in;
    double x1, f1, pc, td, f2, x2, d, wHumid, wDry;
};

std::vector<Vector> ReadVectors() {
    std::ifstream file(NEBELKAMM_REFERENCE_TSV);
    std::vector<Vector> out;
    std::string text;
    std::getline(file, text); // header
    for (int line = 2; std::getline(file, text); ++line) {
        std::istringstream s(text);
        Vector v;
        v.line = line;
        s >> v.in.RelativeHumidity >> v.in.TempBeforeBlower >> v.in.PressureBeforeBlower >>
            v.in.ScavingAirPressure >> v.in.TempAfterCooler >> v.in.SpecificAirFlow >>
            v.in.PowerOnEngine >> v.x1 >> v.f1 >> v.pc >> v.td >> v.f2 >> v.x2 >> v.d >> v.wHumid >>
            v.wDry;
        if (s)
            out.push_back(v);
    }
    return out;
}

void ExpectRelative(double actual, double expected, const char* what, int line) {
    EXPECT_LE(std::fabs(actual - expected), 1e-7 * std::fabs(expected))
        << what << " on line " << line << ": " << actual << " against " << expected;
}

} // namespace

TEST(ComputeReference, FortyIndependentVectors) {
    const std::vector<Vector> vectors = ReadVectors();
    ASSERT_EQ(vectors.size(), 40u);
    for (const Vector& v : vectors) {
        const ReferenceResults humid = ComputeReference(v.in, AirBasis::Humid);
        const ReferenceResults dry = ComputeReference(v.in, AirBasis::Dry);
        ASSERT_TRUE(humid) << humid.Failure << " on line " << v.line;
        ExpectRelative(humid.WaterContentBeforeBlower, v.x1, "x1", v.line);
        ExpectRelative(humid.EnhancementBeforeBlower, v.f1, "f1", v.line);
        ExpectRelative(humid.CoolerPressure, v.pc, "cooler pressure", v.line);
        EXPECT_NEAR(humid.DewPointTemperature, v.td, 1e-6) << "line " << v.line;
        ExpectRelative(humid.EnhancementInCooler, v.f2, "f2", v.line);
        ExpectRelative(humid.MaxWaterContentInCooler, v.x2, "x2", v.line);
        ExpectRelative(humid.CondensingWaterContent, v.d, "d", v.line);
        ExpectRelative(humid.WaterAtSeparator, v.wHumid, "W humid", v.line);
        ExpectRelative(dry.WaterAtSeparator, v.wDry, "W dry", v.line);
        EXPECT_EQ(humid.DewPointMargin, v.in.TempAfterCooler - humid.DewPointTemperature);
        EXPECT_EQ(humid.DewPointMargin<0, v.d> 0) << "line " << v.line;
    }
}

// Outside the formulas' range there is no result, only a reason.
TEST(ComputeReference, FailsWithAReasonOutsideTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        ChargeAirInputs in;
        const char* reason; // a word of the reason, or null for a result
    };
    const Case cases[] = {
        {{100, -100, 1, 30, 40, 7, 1000}, nullptr},
        {{50, -100.001, 1, 1, 40, 7, 1000}, "before blower outside"},
        {{50, 20, 1, 20, 200, 7, 1000}, nullptr},
        {{50, 20, 1, 1, 200.001, 7, 1000}, "after cooler outside"},
        {{0, 20, 1, 1, 40, 7, 1000}, "0 % humidity"},
        {{-1, 20, 1, 1, 40, 7, 1000}, "below 0 %"},
        {{nan, 20, 1, 1, 40, 7, 1000}, "not finite"},
        {{50, 100, 1.0, 1, 40, 7, 1000}, "saturation pressure before blower"},
        {{50, 20, 0, 1, 40, 7, 1000}, "saturation pressure before blower"},
        {{150, 60, 0.25, 1, 40, 7, 1000}, "vapour pressure before blower"},
        {{50, 20, 1, -0.95, 40, 7, 1000}, "in the cooler"},
        {{100, 190, 20, 100, 195, 7, 1000}, "dew point outside"},
        {{90, 37, 1, 1, 20, inf, 1000}, "water at separator"},
        {{90, 37, 1, 1, 20, 7, nan}, "water at separator"},
    };
    for (const Case& c : cases) {
        const ReferenceResults r = ComputeReference(c.in);
        const std::string where = "phi " + std::to_string(c.in.RelativeHumidity) + ", t1 " +
                                  std::to_string(c.in.TempBeforeBlower) + ", t2 " +
                                  std::to_string(c.in.TempAfterCooler);
        if (!c.reason) {
            EXPECT_TRUE(r) << where << ": " << r.Failure;
            continue;
        }
        ASSERT_FALSE(r) << where;
        EXPECT_NE(std::string(r.Failure).find(c.reason), std::string::npos)
            << where << ": " << r.Failure;
        EXPECT_EQ(r.WaterAtSeparator, 0) << where;
    }
}
