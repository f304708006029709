// SPDX-License-Identifier: MIT
#include "core/Sweep.h"

#include "core/Errors.h"
#include "model/Scale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace nebelkamm {
namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

double Condensing(const Evaluation& e) {
    return e.Message() ? Nan : e.Classic.CondensingWaterContent;
}

double ReferenceCondensing(const Evaluation& e) {
    return e.Reference.Failure ? Nan : e.Reference.CondensingWaterContent;
}

// The knee between the first two neighbours of which one condenses and the
// other does not, by bisection on the model itself, not the polyline.
std::optional<double> FindKnee(const Sweep& s, const ChargeAirInputs& base,
                               const EvaluationOptions& options,
                               double (*condensing)(const Evaluation&)) {
    for (std::size_t i = 0; i + 1 < s.Points.size(); ++i) {
        const double a = condensing(s.Points[i]), b = condensing(s.Points[i + 1]);
        if (std::isnan(a) || std::isnan(b) || (a > 0) == (b > 0))
            continue;
        double wet = a > 0 ? s.X(i) : s.X(i + 1);
        double dry = a > 0 ? s.X(i + 1) : s.X(i);
        const double tolerance = 1e-9 * std::fabs(s.X(i + 1) - s.X(i));
        for (int k = 0; k < 200 && std::fabs(wet - dry) > tolerance; ++k) {
            const double mid = 0.5 * (wet + dry);
            ChargeAirInputs in = base;
            in.*s.Swept->Input = mid;
            (condensing(Evaluate(in, options)) > 0 ? wet : dry) = mid;
        }
        return 0.5 * (wet + dry);
    }
    return std::nullopt;
}

// x rounded to the decimals, through integers that are exact in a double;
// nullopt where they are not.
std::optional<double> Rounded(double from, double step, std::size_t i, int decimals) {
    static constexpr double Powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (decimals < 0 || decimals > 22)
        return std::nullopt;
    const double scale = Powers[decimals];
    const double f = std::round(from * scale), s = std::round(step * scale);
    const double x = f + static_cast<double>(i) * s;
    constexpr double exact = 9007199254740992.0; // 2^53
    if (!(std::fabs(f) < exact && std::fabs(s) < exact && std::fabs(x) < exact))
        return std::nullopt;
    return x / scale;
}

// The 1, 2 or 5 x 10^n nearest to v from below (v > 0).
double RoundDown(double v) {
    const double magnitude = std::pow(10.0, std::floor(std::log10(v)));
    const double m = v / magnitude;
    return (m >= 5 ? 5 : m >= 2 ? 2 : 1) * magnitude;
}

// The decimals that a multiple of the step needs.
int DecimalsOf(double step) {
    int d = 0;
    while (d < 15 && std::fabs(step * std::pow(10.0, d) - std::round(step * std::pow(10.0, d))) >
                         1e-9 * step * std::pow(10.0, d))
        ++d;
    return d;
}

} // namespace

SweepRange AutomaticRange(const ChargeAirInputs& base, const Column& swept,
                          const EvaluationOptions& options) {
    const double lowest = swept.Lowest, highest = swept.Highest;
    // The knees, searched where the input may go.
    const Sweep wide =
        ComputeSweep(base, swept, SweepPoints(lowest, highest, (highest - lowest) / 500), options);
    std::vector<double> marks;
    const double present = base.*swept.Input;
    if (std::isfinite(present))
        marks.push_back(std::clamp(present, lowest, highest));
    for (const auto& knee : {wide.Knee, wide.ReferenceKnee})
        if (knee)
            marks.push_back(*knee);
    if (marks.empty())
        marks.push_back((lowest + highest) / 2);
    double from = *std::min_element(marks.begin(), marks.end());
    double to = *std::max_element(marks.begin(), marks.end());
    const double least = (highest - lowest) / 8;
    if (to - from < least) {
        const double middle = (from + to) / 2;
        from = middle - least / 2;
        to = middle + least / 2;
    }
    const double margin = (to - from) * 0.15;
    from -= margin;
    to += margin;
    // Bounds on the ticks of the chart's axis, so that the curves fill it.
    const Scale axis = RoundScale(from, to, 8);
    const double tick = axis.Step;
    from = std::max(lowest, axis.Lo);
    to = std::min(highest, axis.Hi);
    const double step = RoundDown(tick / 20);
    const int decimals = DecimalsOf(step);
    const double scale = std::pow(10.0, decimals);
    return {std::round(from * scale) / scale, std::round(to * scale) / scale, step, decimals};
}

SweepRange RangeBetween(double from, double to) {
    const double step = RoundDown((to - from) / 150);
    return {from, to, step, DecimalsOf(step)};
}

std::vector<double> SweepPoints(double from, double to, double step, int decimals) {
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step) || step == 0 ||
        (to - from) / step < 0)
        throw EUsageError("the step must lead from the first value to the last");
    const double count = std::floor((to - from) / step + 1e-6) + 1;
    if (!(count <= double(MaxSweepPoints)))
        throw EUsageError("more than " + std::to_string(MaxSweepPoints) + " points");
    std::vector<double> points(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = Rounded(from, step, i, decimals).value_or(from + static_cast<double>(i) * step);
    return points;
}

Sweep ComputeSweep(const ChargeAirInputs& base, const Column& swept, const std::vector<double>& x,
                   const EvaluationOptions& options) {
    Sweep s;
    s.Swept = &swept;
    s.Points.reserve(x.size());
    for (double v : x) {
        ChargeAirInputs in = base;
        in.*swept.Input = v;
        s.Points.push_back(Evaluate(in, options));
    }
    s.Knee = FindKnee(s, base, {}, Condensing);
    if (options.Reference)
        s.ReferenceKnee = FindKnee(s, base, options, ReferenceCondensing);
    return s;
}

} // namespace nebelkamm
