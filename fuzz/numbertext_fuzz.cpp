// SPDX-License-Identifier: MIT
// Text to number and back: any bytes either convert or raise the
// conversion error; what converts formats to text that converts again, and
// the display form of any finite number is accepted by the field.
#include "platform/Errors.h"
#include "platform/NumberText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace nebelkamm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const char separator = (data[0] & 1) ? ',' : '.';
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    double v = 0;
    try {
        v = StrToFloat(text, separator);
    } catch (const EConvertError&) {
        return 0;
    }
    if (!std::isfinite(v))
        return 0;
    // The settings file's text reads back, and writing it again is stable.
    const std::string stored = FloatToStr(v, separator);
    const double back = StrToFloat(stored, separator);
    if (FloatToStr(back, separator) != stored)
        std::abort();
    // A field always accepts the text it displays.
    for (int decimals : {0, 1, 2, 4, 9}) {
        const std::string shown = FormatFloat(DisplayPattern(decimals), v, separator);
        const double again = StrToFloat(shown, separator);
        if (std::fabs(v) < 1e15 &&
            std::fabs(again - v) >
                0.5 * std::pow(10.0, -decimals) * 1.0000001 + std::fabs(v) * 1e-15)
            std::abort();
    }
    return 0;
}
