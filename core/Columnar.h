// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Errors.h"
#include "core/Evaluation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// One input over many rows: row i's value is the double at Data + i·Step
// bytes (any step, negative ones too, unaligned, read-only), or Value in
// every row when Data is null.
struct InputColumn {
    const void* Data = nullptr;
    std::ptrdiff_t Step = sizeof(double);
    double Value = 0;

    // The same column from row `first` on.
    InputColumn From(std::size_t first) const {
        if (!Data)
            return *this;
        return {static_cast<const char*>(Data) + static_cast<std::ptrdiff_t>(first) * Step, Step,
                Value};
    }
};

// A row's message as a small number: 0 for none, else the index of a text
// in MessageTexts(). The same text has the same code in every thread.
using MessageCode = std::uint8_t;

// Where the results of many rows go: each a contiguous array of doubles,
// in the order of ClassicColumns and ReferenceColumns; null for a column
// nobody wants. A row with a message gets NaN in its block's columns.
struct ResultColumns {
    std::array<double*, ClassicCount> Classic{};
    std::array<double*, ReferenceCount> Reference{};
    MessageCode* Message = nullptr;          // one code a row; null for none
    MessageCode* ReferenceMessage = nullptr; // with a reference basis

    // The same columns from row `first` on.
    ResultColumns From(std::size_t first) const;
};

// The seven inputs of many rows through both models, as Evaluate does it
// for each: the same messages row by row, and on the vector levels every
// number within rel·(|value| + scale) of Evaluate's (rel 1e-12 classic,
// 1e-11 reference; see README). A row whose inputs are refused or whose
// steps could fail is evaluated by Evaluate itself. Never throws.
void EvaluateColumns(const std::array<InputColumn, InputCount>& inputs, std::size_t rows,
                     const EvaluationOptions& options, const ResultColumns& out) noexcept;

// Every message text that has a code so far, index = code; "" for 0.
std::vector<const char*> MessageTexts();
// The text of a code (null for 0).
const char* MessageText(MessageCode code) noexcept;

// How far many-point evaluation may go in the vector instruction sets.
enum class SimdLevel { Scalar, Baseline, Ssse3, Sse4, Avx2, Avx512 };

// The name of a level as NEBELKAMM_SIMD takes it ("avx2").
std::string_view SimdLevelName(SimdLevel level);
// What NEBELKAMM_SIMD accepts, for messages: "scalar, baseline, ..., avx512".
std::string SimdLevelNames();
// The level NEBELKAMM_SIMD names so ("sse4"), or none.
std::optional<SimdLevel> SimdLevelNamed(std::string_view name);
// Whether this CPU runs the level's code (scalar and baseline run anywhere).
bool SimdLevelOnCpu(SimdLevel level);

// Caps many-point evaluation at the level NEBELKAMM_SIMD names (unset: the
// best the CPU has; a level the CPU lacks: the best it has below it). Call
// before the first EvaluateColumns; later calls change nothing. Throws
// EConfigError naming the variable and the accepted values.
void UseSimdFromEnvironment();
// What runs: "scalar", or a vector level and Highway's name of its target
// ("avx2 (AVX2)").
std::string SimdInUse();

} // namespace nebelkamm
