// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Evaluation.h"
#include "core/Sweep.h"
#include "io/Csv.h"
#include "io/Stream.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace nebelkamm {

// The seven inputs of a row as read: the text of each where it already is
// its value's shortest text (else empty: it is formatted), and whether it
// was read at all (else its cell stays empty).
struct InputCells {
    std::array<std::string_view, InputCount> Shortest{};
    std::array<bool, InputCount> Read{true, true, true, true, true, true, true};
};

// One row's numbers as the CSV writer takes them: a value for each column
// of the table (at its index in Columns), and the messages of both blocks,
// null for none.
struct RowValues {
    std::array<double, Columns.size()> Value{};
    const char* Message = nullptr;
    const char* ReferenceMessage = nullptr;

    static RowValues Of(const Evaluation& e);
};

// The CSV header of the columns (after any passed-through cells), with its
// line end.
void AppendCsvHeader(std::string& out, std::span<const Column> columns, char separator);
// One row's cells of the columns (a prefix of Columns) with its line end:
// the inputs, then the results unless their block has a message.
// readError, when not empty, is the row's message instead of the
// evaluation's, and it has no results.
void AppendCsvCells(std::string& out, std::span<const Column> columns, const RowValues& row,
                    const InputCells& inputs, std::string_view readError, const Dialect& dialect);

// The text output of a point: the window's thirteen rows and the water per
// day (unless the classic model failed), then the reference block when it
// was asked for.
std::string TextResult(const Evaluation& e, char decimal);
// The JSON output: "inputs", "results", "warnings" (why the point makes no
// physical sense, then the warnings given) and "reference" when it was
// asked for.
std::string JsonResult(const Evaluation& e, std::span<const std::string> warnings = {});

// A sweep as CSV in the comma dialect, with the columns of a batch.
void WriteSweepCsv(Sink& out, const Sweep& sweep, bool reference);

} // namespace nebelkamm
