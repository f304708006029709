// SPDX-License-Identifier: MIT
#pragma once

namespace nebelkamm {

// A scale from Lo to Hi in Intervals steps of Step.
struct Scale {
    double Lo = 0, Hi = 1, Step = 0.2;
    int Intervals = 5;
};

// The round scale over [lo, hi] with at most `most` intervals: the finest
// step of 1, 2 or 5 x 10^n that does it, the ends widened to multiples of
// it. A single value gets a scale around it; a bound that is not finite,
// the scale 0..1. The one rule of the sweep's range and the chart's axes,
// so that a sweep fills its chart.
Scale RoundScale(double lo, double hi, int most);

} // namespace nebelkamm
