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

double ReferenceCondensing(ChargeAirInputs in, const ChargeAirRow& swept, double x, AirBasis basis,
                           double* water) {
    in.*swept.Input = x;
    const ReferenceResults r = ComputeReference(in, basis);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (water)
        *water = r ? r.WaterAtSeparator : nan;
    return r ? r.CondensingWaterContent : nan;
}

// The water at every x, and the knee: between the first two neighbours of
// which one condenses and the other does not, by bisection on the model
// itself, not the polyline. at(x, water) gives the condensing water content
// and sets the water, unless it is null.
template <typename Model>
std::optional<double> Trace(const std::vector<double>& x, double step, Model at,
                            std::vector<double>& water) {
    water.resize(x.size());
    std::vector<double> condensing(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        condensing[i] = at(x[i], &water[i]);
    for (std::size_t i = 0; i + 1 < x.size(); ++i) {
        const double a = condensing[i], b = condensing[i + 1];
        if (std::isnan(a) || std::isnan(b) || (a > 0) == (b > 0))
            continue;
        double wet = a > 0 ? x[i] : x[i + 1];
        double dry = a > 0 ? x[i + 1] : x[i];
        for (int k = 0; k < 200 && std::fabs(wet - dry) > 1e-9 * std::fabs(step); ++k) {
            const double mid = 0.5 * (wet + dry);
            (at(mid, nullptr) > 0 ? wet : dry) = mid;
        }
        return 0.5 * (wet + dry);
    }
    return std::nullopt;
}

} // namespace

const ChargeAirRow* InputRowByKey(std::string_view key) {
    for (const ChargeAirRow* row : InputRows)
        if (key == row->Key)
            return row;
    return nullptr;
}

CondensateCurve ComputeCurve(const ChargeAirInputs& base, const ChargeAirRow& swept, double from,
                             double to, double step, std::optional<AirBasis> reference) {
    CondensateCurve curve;
    curve.Swept = &swept;
    curve.X = SweepPoints(from, to, step);
    curve.Knee = Trace(
        curve.X, step, [&](double x, double* water) { return Condensing(base, swept, x, water); },
        curve.Water);
    if (reference)
        curve.ReferenceKnee = Trace(
            curve.X, step,
            [&](double x, double* water) {
                return ReferenceCondensing(base, swept, x, *reference, water);
            },
            curve.ReferenceWater);
    return curve;
}

} // namespace nebelkamm
