// SPDX-License-Identifier: MIT
// Number to text: any 64-bit pattern as a double formats without failing,
// and the text converts back to the number as closely as its digits say.
#include "platform/NumberText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace nebelkamm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double) + 1)
        return 0;
    double v;
    std::memcpy(&v, data, sizeof v);
    const char separator = (data[sizeof v] & 1) ? ',' : '.';
    const int decimals = data[sizeof v] >> 4; // 0..15
    const std::string stored = FloatToStr(v, separator);
    const std::string shown = FormatFloat(DisplayPattern(decimals), v, separator);
    if (!std::isfinite(v))
        return 0;
    // 15 significant digits: within half a unit of the 15th (one unit, to
    // allow for the leading digit and the reading's own rounding).
    const double back = StrToFloat(stored, separator);
    if (v != 0 && std::fabs(back - v) > std::fabs(v) * 1e-14)
        std::abort();
    const double again = StrToFloat(shown, separator);
    if (std::fabs(v) < 1e15 &&
        std::fabs(again - v) > 0.5 * std::pow(10.0, -decimals) + std::fabs(v) * 1e-15)
        std::abort();
    return 0;
}
