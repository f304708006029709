// SPDX-License-Identifier: MIT
#pragma once

// The vector kernel behind EvaluateColumns, for it and the benchmarks.

#include <cstddef>
#include <cstdint>

namespace nebelkamm::kernel {

// Rows per block: a multiple of every vector's lanes, small enough that a
// block's columns stay in the first-level cache.
inline constexpr std::size_t BlockRows = 256;

// Rows [0, count) of seven input columns through the classic model and,
// with reference 0 (humid) or 1 (dry), the reference one, into 7 or 15
// result columns, on the instruction set chosen at run time. count is a
// multiple of 32, which every vector's lanes divide (pad the inputs).
// bad[i] becomes 1 where the row has to be evaluated one by one (it is
// left as it is elsewhere).
void EvaluateBlock(const double* const* in, std::size_t count, int reference, double* const* out,
                   std::uint8_t* bad);

// The Highway target that EvaluateBlock runs (HWY_AVX2, ...).
std::int64_t Target();

} // namespace nebelkamm::kernel
