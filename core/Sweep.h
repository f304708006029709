// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Evaluation.h"

#include <optional>
#include <vector>

namespace nebelkamm {

inline constexpr std::size_t MaxSweepPoints = 100000;

// FROM + i x STEP from `from` to `to` (inclusive, within a millionth of a
// step); with decimals >= 0, each rounded to that many decimals, so that
// 0.1 steps give 0.3, not 0.30000000000000004. Throws EUsageError for a
// step that does not lead from the first value to the last, or for more
// than MaxSweepPoints points.
std::vector<double> SweepPoints(double from, double to, double step, int decimals = -1);

// Where a sweep goes: from, to, by step, each written with that many decimals.
struct SweepRange {
    double From = 0, To = 0, Step = 0;
    int Decimals = 0;
};

// from..to (to above from) on a round step (1, 2 or 5 x 10^n) of about 150
// points, with the decimals that step needs.
SweepRange RangeBetween(double from, double to);

// The range a chart of the swept input shows, chosen from the point: it
// holds the present value and every knee (the classic one and, when asked
// for, the reference one) with a margin, on round bounds (1, 2 or 5 x 10^n),
// within where the input may go; about 150 points.
SweepRange AutomaticRange(const ChargeAirInputs& base, const Column& swept,
                          const EvaluationOptions& options = {});

// One input stepped through its values, the others held.
struct Sweep {
    const Column* Swept = nullptr;
    std::vector<Evaluation> Points; // one for each x, in order
    // Where the water content that condenses reaches 0 (the curve's knee),
    // between the first two neighbours of which one condenses and the other
    // does not, found on the model to within 1e-9 of the step.
    std::optional<double> Knee;
    // The same by the reference model, when it was asked for.
    std::optional<double> ReferenceKnee;

    double X(std::size_t i) const { return Points[i].Inputs.*Swept->Input; }
};

// Evaluates base with the swept input set to each x. Failures of single
// points stay in their evaluations, never stop it.
Sweep ComputeSweep(const ChargeAirInputs& base, const Column& swept, const std::vector<double>& x,
                   const EvaluationOptions& options = {});

} // namespace nebelkamm
