// SPDX-License-Identifier: MIT
// Many rows at once against Evaluate row by row, on inputs over and beyond
// every range (each byte pair a value across it, or eight bytes a double as
// they stand): the same messages, NaN where a row has one, every number
// within the bound.
#include "Bound.h"
#include "core/Columnar.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace nebelkamm;

namespace {

// Where each input's byte pairs go: a little beyond where it makes sense.
constexpr double Low[] = {-10, -300, -0.2, -1, -300, -1, -1000};
constexpr double High[] = {110, 260, 3, 12, 260, 20, 100000};

// One row from the bytes at data: a mode byte, then per input two bytes,
// or eight for the input the mode names.
ChargeAirInputs Row(const std::uint8_t*& data, const std::uint8_t* end) {
    ChargeAirInputs in;
    const int raw = end - data > 0 ? *data++ % 16 : 16;
    for (std::size_t k = 0; k < InputCount; ++k) {
        double v = 0;
        if (static_cast<int>(k) == raw && end - data >= 8) {
            std::memcpy(&v, data, 8);
            data += 8;
        } else if (end - data >= 2) {
            v = Low[k] + (High[k] - Low[k]) * (data[0] | data[1] << 8) / 65535.0;
            data += 2;
        }
        in.*InputColumns[k].Input = v;
    }
    return in;
}

void Check(const std::vector<ChargeAirInputs>& rows, const EvaluationOptions& options) {
    const std::size_t n = rows.size();
    std::vector<double> cells((ClassicCount + ReferenceCount) * n);
    std::vector<MessageCode> codes(2 * n);
    ResultColumns out;
    for (std::size_t j = 0; j < ClassicCount + ReferenceCount; ++j)
        (j < ClassicCount ? out.Classic[j] : out.Reference[j - ClassicCount]) = &cells[j * n];
    out.Message = codes.data();
    out.ReferenceMessage = codes.data() + n;
    std::array<InputColumn, InputCount> in;
    for (std::size_t k = 0; k < InputCount; ++k)
        in[k] = {&(rows.front().*InputColumns[k].Input), sizeof(ChargeAirInputs)};
    EvaluateColumns(in, n, options, out);
    for (std::size_t i = 0; i < n; ++i) {
        const Evaluation e = Evaluate(rows[i], options);
        const auto same = [](const char* a, const char* b) {
            return (!a && !b) || (a && b && std::strcmp(a, b) == 0);
        };
        if (!same(MessageText(out.Message[i]), e.Message()))
            std::abort();
        for (std::size_t j = 0; j < ClassicCount; ++j)
            if (e.Message() ? !std::isnan(out.Classic[j][i])
                            : !bound::WithinBound(ClassicColumns[j], out.Classic[j][i], e, false))
                std::abort();
        if (!options.Reference)
            continue;
        if (!same(MessageText(out.ReferenceMessage[i]), e.ReferenceMessage()))
            std::abort();
        for (std::size_t j = 0; j < ReferenceCount; ++j)
            if (e.ReferenceMessage()
                    ? !std::isnan(out.Reference[j][i])
                    : !bound::WithinBound(ReferenceColumns[j], out.Reference[j][i], e, false))
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t* end = data + size;
    const std::uint8_t flags = *data++;
    std::vector<ChargeAirInputs> rows;
    while (data < end)
        rows.push_back(Row(data, end));
    if (rows.empty())
        return 0;
    EvaluationOptions options;
    if (flags & 1)
        options.Reference = flags & 2 ? AirBasis::Dry : AirBasis::Humid;
    Check(rows, options);
    return 0;
}
