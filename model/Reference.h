// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"

namespace nebelkamm {

// What the air flow is a flow of: humid air as measured (the dry air is
// m·P/(1 + x1)), or dry air (m·P).
enum class AirBasis { Humid, Dry };

// The water that condenses by the reference psychrometrics: saturation over
// liquid water after Hyland and Wexler, the enhancement factor of moist air
// after Greenspan with Hardy's ITS-90 coefficients, the cooler at its
// absolute pressure. Below 0 °C the dew point is one over liquid water, not
// a frost point.
struct ReferenceResults {
    // Null when there is a result; else why there is none (the inputs lie
    // outside the formulas' range). The other members are then 0.
    const char* Failure = nullptr;
    double WaterContentBeforeBlower = 0; // x1, kg/kg dry air
    double EnhancementBeforeBlower = 0;  // f1, -
    double CoolerPressure = 0;           // absolute, bar
    double DewPointTemperature = 0;      // °C, at the cooler's pressure
    double EnhancementInCooler = 0;      // f2, -
    double MaxWaterContentInCooler = 0;  // x2, kg/kg dry air
    double CondensingWaterContent = 0;   // d = max(x1 - x2, 0), kg/kg dry air
    double WaterAtSeparator = 0;         // kg/h
    double DewPointMargin = 0;           // temperature after cooler - dew point, K

    explicit operator bool() const { return Failure == nullptr; }
};

// Never throws and reports nothing: a failure is in the result's Failure.
ReferenceResults ComputeReference(const ChargeAirInputs& in,
                                  AirBasis basis = AirBasis::Humid) noexcept;

} // namespace nebelkamm
