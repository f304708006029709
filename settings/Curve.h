// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "model/Reference.h"
#include "settings/Rows.h"

#include <optional>
#include <vector>

namespace nebelkamm {

// The water at the separator over one input, the others held.
struct CondensateCurve {
    const ChargeAirRow* Swept = nullptr;
    std::vector<double> X;     // the swept input's values
    std::vector<double> Water; // kg/h; NaN where the point fails
    // Where the condensing water content reaches 0 (the curve's knee),
    // found to within 1e-9 of the step between the points that bracket it.
    std::optional<double> Knee;
    // The same by the reference psychrometrics, when asked for: NaN where
    // the reference has no result.
    std::vector<double> ReferenceWater;
    std::optional<double> ReferenceKnee;
};

// Computes the curve at SweepPoints(from, to, step), and the reference one
// on the given air-flow basis; throws EBatchUsage as SweepPoints does.
// Failures of single points leave gaps, never stop it.
CondensateCurve ComputeCurve(const ChargeAirInputs& base, const ChargeAirRow& swept, double from,
                             double to, double step,
                             std::optional<AirBasis> reference = std::nullopt);

// The input row of a settings key, or null.
const ChargeAirRow* InputRowByKey(std::string_view key);

} // namespace nebelkamm
