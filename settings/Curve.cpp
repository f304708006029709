// SPDX-License-Identifier: MIT
#include "settings/Curve.h"

#include "settings/Batch.h"

#include <cmath>
#include <limits>

namespace nebelkamm {
namespace {

// The condensing water content at x; NaN where the point fails.
double Condensing(ChargeAirInputs in, const ChargeAirRow& swept, double x, double* water) {
    in.*swept.Input = x;
    try {
        const ChargeAirResults r = ComputeChargeAir(in);
        if (water)
            *water = r.WaterAtSeparator;
        return r.CondensingWaterContent;
    } catch (const Exception&) {
        if (water)
            *water = std::numeric_limits<double>::quiet_NaN();
        return std::numeric_limits<double>::quiet_NaN();
    }
}

} // namespace

const ChargeAirRow* InputRowByKey(std::string_view key) {
    for (const ChargeAirRow* row : InputRows)
        if (key == row->Key)
            return row;
    return nullptr;
}

CondensateCurve ComputeCurve(const ChargeAirInputs& base, const ChargeAirRow& swept, double from,
                             double to, double step) {
    CondensateCurve curve;
    curve.Swept = &swept;
    curve.X = SweepPoints(from, to, step);
    curve.Water.resize(curve.X.size());
    std::vector<double> condensing(curve.X.size());
    for (std::size_t i = 0; i < curve.X.size(); ++i)
        condensing[i] = Condensing(base, swept, curve.X[i], &curve.Water[i]);
    // The knee: between the first two neighbours of which one condenses and
    // the other does not; bisection on the model itself, not the polyline.
    for (std::size_t i = 0; i + 1 < curve.X.size() && !curve.Knee; ++i) {
        const double a = condensing[i], b = condensing[i + 1];
        if (std::isnan(a) || std::isnan(b) || (a > 0) == (b > 0))
            continue;
        double wet = a > 0 ? curve.X[i] : curve.X[i + 1];
        double dry = a > 0 ? curve.X[i + 1] : curve.X[i];
        for (int k = 0; k < 200 && std::fabs(wet - dry) > 1e-9 * std::fabs(step); ++k) {
            const double mid = 0.5 * (wet + dry);
            (Condensing(base, swept, mid, nullptr) > 0 ? wet : dry) = mid;
        }
        curve.Knee = 0.5 * (wet + dry);
    }
    return curve;
}

} // namespace nebelkamm
