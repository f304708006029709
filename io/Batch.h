// SPDX-License-Identifier: MIT
#pragma once

#include "core/Columns.h"
#include "core/Evaluation.h"
#include "core/Units.h"
#include "io/Csv.h"
#include "io/Stream.h"
#include "io/Text.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nebelkamm {

// What the header named.
struct BatchLayout {
    std::vector<std::string> PassedThrough; // the other columns' names
    std::vector<const Column*> FromStored;  // the inputs it does not name
    std::vector<std::string> Replaced;      // its columns named like results, which they replace
    TextEncoding Encoding = TextEncoding::Utf8; // how the input was read
    Dialect FileDialect;                        // its separators, as decided
};

struct ChunkColumns;
struct HeaderPlan;

// A chunk's rows as the batch writes them, for a caller that takes them as
// values rather than text. Valid during the call that hands them out.
class BatchRows {
public:
    BatchRows(const CsvChunk& chunk, const ChunkColumns& rows, const HeaderPlan& layout)
        : chunk_(chunk), rows_(rows), layout_(layout) {}
    std::size_t Size() const;
    std::size_t PassedThrough() const;
    // The line its record starts on.
    std::uint64_t Line(std::size_t row) const;
    // A passed-through cell's text, as UTF-8 ("" where the record ends
    // before it); it may live in scratch.
    std::string_view Cell(std::size_t row, std::size_t passed, std::string& scratch) const;
    // The number of an output column (its index in OutputColumns), NaN
    // where the batch writes an empty cell.
    double Value(std::size_t row, std::size_t column) const;
    // The message of the classic or the reference block; "" for none.
    std::string_view Message(std::size_t row, bool reference) const;

private:
    const CsvChunk& chunk_;
    const ChunkColumns& rows_;
    const HeaderPlan& layout_;
};

struct BatchOptions {
    // The decimal separator of files in the semicolon and tab dialects
    // whose first 64 KiB show none (the locale's).
    char DecimalSeparator = '.';
    // Worker threads; 0 takes as many as the machine has cores.
    unsigned Threads = 0;
    // How much is read at once, and about how many bytes of rows go to a
    // worker together.
    std::size_t BlockBytes = std::size_t(1) << 16;
    // The reference results on this air-flow basis as Ref... columns after
    // the message, and RefMessage.
    std::optional<AirBasis> Reference;
    // For a part of a file after its header: the encoding and decimal
    // separator its start decided, and the line its first record is on.
    std::optional<TextEncoding> FileEncoding;
    std::optional<char> FileDecimal;
    std::uint64_t FirstLine = 0; // 0: counted from the input's start
    // Header cells taken as inputs; each must be in the header.
    std::vector<ColumnMapping> Mappings;
    // Called once the header is read, before any row; empty for none.
    std::function<void(const BatchLayout&)> OnLayout;
    // When set, takes each chunk's rows in order instead of their text;
    // nothing is written to the output then.
    std::function<void(const BatchRows&)> OnRows;
    // Called with the rows done and the seconds since the start, at most
    // once a second; empty for none.
    std::function<void(std::uint64_t rows, double seconds)> Progress;
};

struct BatchSummary {
    std::uint64_t Rows = 0;   // rows written, one per row read
    std::uint64_t Failed = 0; // rows whose message column is not empty
};

// Reads CSV from in to its end and writes one row to out for every row
// read, in the same order, each as soon as it is computed when the input
// pauses. A header cell names an input by its key or the window's caption
// in one of its units (InputNamedBy), or through a mapping; a missing input takes its value from
// stored; every other column is passed through. Output columns: the passed-through ones, then
// OutputColumns. A row that cannot be read or whose point is impossible has
// a message and no results. Memory stays bounded whatever the input.
// Throws EDataError for a header it cannot use (none, naming no input or
// one twice, a unit it cannot read, over 1 MiB), EUsageError for a mapping
// of a header it does not have, EInputError and
// EOutputError when reading or writing fails.
BatchSummary RunBatch(Source& in, Sink& out, const ChargeAirInputs& stored,
                      const BatchOptions& options);

// Where a file's records after its header may be cut into parts of about
// blockBytes that a batch reads apart (header + part, FirstLine): at record
// ends, found by reading the file from its start as the batch does.
struct CsvPart {
    std::uint64_t Begin = 0, End = 0; // bytes of the file
    std::uint64_t Line = 0;           // the line of its first record
};
struct CsvParts {
    std::uint64_t HeaderEnd = 0; // the header's bytes, a byte-order mark included
    std::vector<CsvPart> Parts;  // none for a file that is not UTF-8
};
CsvParts SplitCsv(Source& in, std::size_t blockBytes);

} // namespace nebelkamm
