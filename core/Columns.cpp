// SPDX-License-Identifier: MIT
#include "core/Columns.h"

namespace nebelkamm {

const Column* WindowColumn(int row) {
    for (const Column& c : Columns)
        if (c.WindowRow == row)
            return &c;
    return nullptr;
}

std::span<const Column* const> ClassicRows() {
    static const auto rows = [] {
        std::array<const Column*, InputCount + ClassicCount> out{};
        std::size_t n = 0;
        for (int row = 1; const Column* c = WindowColumn(row); ++row)
            out[n++] = c;
        for (const Column& c : ClassicColumns)
            if (c.WindowRow == 0)
                out[n++] = &c;
        return out;
    }();
    return rows;
}

std::string ReferenceHeading(AirBasis basis) {
    return std::string(ReferenceTitle) + ", air flow of " + AirBasisName(basis) + " air";
}

const Column* InputByKey(std::string_view key) {
    for (const Column& c : InputColumns)
        if (key == c.Key)
            return &c;
    return nullptr;
}

} // namespace nebelkamm
