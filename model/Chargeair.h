// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

namespace nebelkamm {

// The seven operating values, named after their settings keys.
struct ChargeAirInputs {
    double RelativeHumidity = 0;     // %
    double TempBeforeBlower = 0;     // °C
    double PressureBeforeBlower = 0; // bar, absolute
    double ScavingAirPressure = 0;   // bar, gauge
    double TempAfterCooler = 0;      // °C
    double SpecificAirFlow = 0;      // kg/kWh
    double PowerOnEngine = 0;        // kW
};

struct ChargeAirResults {
    double WaterContentBeforeBlower = 0; // kg/kg
    double PressureRatio = 0;            // -
    double DewPointTemperature = 0;      // °C
    double MaxWaterContentInCooler = 0;  // kg/kg
    double CondensingWaterContent = 0;   // kg/kg
    double WaterAtSeparator = 0;         // kg/h
};

// A report of the logarithm or the power ("log", "SING"); the computation
// goes on with the library's substitute result after the handler returns.
struct MathError {
    std::string Function;
    std::string Kind;
    std::string Message() const { return Function + ": " + Kind + " error"; }
};

using MathErrorHandler = std::function<void(const MathError&)>;

// Intermediate values, for callers that want to see inside the computation.
// Step is the step being evaluated (1..9), so after a failure it names the
// step that failed; it is 10 after a complete run.
struct ChargeAirSteps {
    int Step = 0;
    double ps1 = 0, A = 0, x1 = 0, r = 0, pv = 0, tc = 0, ps2 = 0, x2 = 0, d = 0, W = 0;
};

// Throws EZeroDivide, EInvalidOp or EOverflow; reports log/pow errors to
// onMathError (dropped when it is empty).
ChargeAirResults ComputeChargeAir(const ChargeAirInputs& in,
                                  const MathErrorHandler& onMathError = {},
                                  ChargeAirSteps* steps = nullptr);

} // namespace nebelkamm
