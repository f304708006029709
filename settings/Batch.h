// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "model/Exception.h"
#include "model/Reference.h"
#include "settings/Rows.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// A batch or sweep that cannot start: no such input, a bad step, a header
// naming an input twice. The command line answers it with its usage status.
class EBatchUsage : public Exception {
public:
    using Exception::Exception;
};

struct BatchOptions {
    // The locale's decimal separator, for files in the semicolon dialect.
    char DecimalSeparator = '.';
    // Worker threads; 0 takes as many as the machine has cores.
    unsigned Threads = 0;
    // Called with the rows done and the seconds since the start, at most
    // once a second; empty for none.
    std::function<void(std::uint64_t rows, double seconds)> Progress;
    // Adds the reference results on this air-flow basis as Ref... columns
    // after the message, and RefMessage (why the reference has none).
    std::optional<AirBasis> Reference;
};

struct BatchSummary {
    std::uint64_t Rows = 0;   // rows written, one per row read
    std::uint64_t Failed = 0; // rows whose message column is not empty
};

// Reads CSV from inFd to its end and writes one row to outFd for every row
// read, in the same order. The header names input columns by their settings
// keys, in any order and any subset; a missing input takes its value from
// stored; every other column is passed through unchanged. Two dialects, told
// apart by the header: comma-separated with "." decimals, and
// semicolon-separated with the locale's separator; both may quote fields
// (RFC 4180). A UTF-8 byte-order mark, CRLF line ends and a last line
// without one are read. Output columns: the passed-through ones, the seven
// inputs, the six results, WaterPerDay (t/day) and message (empty, or why
// the row has no results). Memory stays flat whatever the size. Throws
// EBatchUsage for a header it cannot use, std::system_error when reading or
// writing fails.
BatchSummary RunBatch(int inFd, int outFd, const ChargeAirInputs& stored,
                      const BatchOptions& options);

// One input stepped from `from` to `to` (inclusive, within a millionth of a
// step) by `step`, the others as in base, as CSV in the comma dialect with
// the same columns as a batch (no passed-through ones), the reference ones
// when asked for. Throws EBatchUsage
// for a key that is no input, a zero or wrong-signed step, or more than
// MaxSweepPoints points.
BatchSummary RunSweep(int outFd, const ChargeAirInputs& base, std::string_view key, double from,
                      double to, double step, std::optional<AirBasis> reference = std::nullopt);

// The x values of a sweep; throws as RunSweep.
std::vector<double> SweepPoints(double from, double to, double step);

inline constexpr std::size_t MaxSweepPoints = 100000;

} // namespace nebelkamm
