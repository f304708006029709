// SPDX-License-Identifier: MIT
#include "model/Scale.h"

#include <algorithm>
#include <cmath>

namespace nebelkamm {

Scale RoundScale(double lo, double hi, int most) {
    most = std::max(most, 1);
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0;
        hi = 1;
    }
    if (!(hi > lo)) { // a single value: a scale of a tenth of it around it
        const double half = lo == 0 ? 0.5 : std::fabs(lo) * 0.05;
        lo -= half;
        hi += half;
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10((hi - lo) / most)));
    Scale scale;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        const double step = m * magnitude;
        const double first = std::floor(lo / step + 1e-9), last = std::ceil(hi / step - 1e-9);
        scale = {first * step, last * step, step, static_cast<int>(last - first)};
        if (scale.Intervals <= most)
            break;
    }
    scale.Intervals = std::max(scale.Intervals, 1);
    return scale;
}

} // namespace nebelkamm
