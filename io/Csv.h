// SPDX-License-Identifier: MIT
#pragma once

#include "io/Stream.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// No field or record is read beyond this; its row fails instead.
inline constexpr std::size_t MaxRecordBytes = std::size_t(1) << 20;

// How a file separates fields and writes decimals.
struct Dialect {
    char Separator = ',';
    char Decimal = '.';
};

// One field of a record: where its bytes stand in the chunk, quotes
// included.
struct CsvField {
    std::uint32_t Begin = 0, End = 0;
    bool Quoted = false; // opened with a quote
    bool Clean = true;   // no quote out of place: its bytes may be copied as they stand
};

// Why a record could not be read at all.
enum class CsvProblem : std::uint8_t { None, FieldTooLong, RecordTooLong, QuoteNotClosed };

// The message of a problem, as "line 7: <it>".
const char* ProblemText(CsvProblem problem);

struct CsvRecord {
    std::uint64_t Line = 0;                // the line it starts on, from 1
    std::uint32_t FirstField = 0;          // its first field in the chunk's fields
    std::uint32_t Stored = 0;              // fields stored, at most the reader's cap
    std::uint32_t Count = 0;               // fields it has
    CsvProblem Problem = CsvProblem::None; // when set, no field is stored
};

// Whole records with their fields, as the reader hands them out.
struct CsvChunk {
    std::string Bytes;
    std::vector<CsvField> Fields;
    std::vector<CsvRecord> Records;

    std::string_view Raw(const CsvField& f) const {
        return std::string_view(Bytes).substr(f.Begin, f.End - f.Begin);
    }
    // The field's text: quotes removed, "" made one.
    std::string_view Text(const CsvField& f, std::string& scratch) const;
};

// The first record of a file, which names its columns.
struct CsvHeader {
    std::vector<std::string> Raw;  // each cell as it is written again: as it stands, or quoted
    std::vector<std::string> Text; // each cell's text
};

// Appends a text as a CSV field, quoted when it holds the separator, a
// quote or a line end.
void AppendField(std::string& out, std::string_view text, char separator);

// Splits CSV after RFC 4180 into records, over bytes its caller owns and
// appends to between steps. A quote opens a quoted field only at a field's
// start; elsewhere it is an ordinary character. Records end at LF, CRLF or
// a lone CR. A record over MaxRecordBytes, or a quoted field that is not
// closed, fails alone and splitting goes on at the next line end: memory
// stays bounded and no two rows are ever merged. Blank lines are no records.
class CsvTokenizer {
public:
    explicit CsvTokenizer(char separator = ',');

    void Select(char separator);
    // The line the next record starts on.
    void SetLine(std::uint64_t line) { line_ = recordLine_ = line; }
    // Fields beyond this many are counted but not stored.
    void SetFieldCap(std::size_t cap) { cap_ = cap; }

    // Takes records from bytes until it holds `most` or needs more bytes;
    // `last` when no more will come, so that the last line ends the input.
    // An overlong record's bytes are dropped from bytes as it is skipped.
    void Step(std::string& bytes, bool last, std::size_t most = SIZE_MAX);
    // Goes past the line end at the start of bytes, as if a record ended
    // there.
    void PassLineEnd(std::string& bytes, bool last);

    const std::vector<CsvRecord>& Records() const { return records_; }
    const std::vector<CsvField>& Fields() const { return fields_; }
    // The bytes of the records held, and how far bytes are scanned.
    std::size_t Done() const { return done_; }
    std::size_t Scanned() const { return scan_; }
    // Hands out the records held and their fields; the caller then drops
    // the first Done() bytes.
    void Take(std::vector<CsvField>& fields, std::vector<CsvRecord>& records);

private:
    enum class State : std::uint8_t { FieldStart, Unquoted, Quoted, QuoteInQuoted };

    void Advance(std::size_t most);
    void Tokenize(std::size_t most);
    void Finish(std::size_t most);
    // The steps, each from p in its state; stop is where the record would
    // grow past the limit.
    void TakePendingLf(std::size_t& p);
    bool AtLimit(std::size_t& p);
    [[gnu::always_inline]] inline void StepFieldStart(std::size_t& p, std::size_t stop);
    [[gnu::always_inline]] inline void StepUnquoted(std::size_t& p, std::size_t stop);
    [[gnu::always_inline]] inline void StepQuoted(std::size_t& p, std::size_t stop);
    [[gnu::always_inline]] inline void StepAfterQuote(std::size_t& p);
    void EndLine(std::size_t& p);
    bool PlainLine(std::size_t& at);
    [[gnu::always_inline]] void EndField(std::size_t at) {
        ++count_;
        if (stored_ < cap_) {
            fields_.push_back({static_cast<std::uint32_t>(fieldStart_),
                               static_cast<std::uint32_t>(at), quoted_, clean_});
            ++stored_;
        }
    }
    void EndRecord(std::size_t at);
    void Fail(CsvProblem problem);
    void StartSkip(std::size_t at);
    void FailTooLong();
    void EndAtQuoteLineEnd();
    void Skip();
    void Restart(std::size_t at, std::uint64_t line);
    std::size_t LineEndLength(std::size_t at, bool& pending) const;

    std::string* bytes_ = nullptr; // the caller's, during a step
    bool last_ = false;
    char separator_ = ',';
    std::size_t cap_ = std::numeric_limits<std::size_t>::max();
    std::array<bool, 256> special_{};
    bool skipping_ = false;    // after an overlong record, up to its line end
    bool failPending_ = false; // its failure is not yet recorded
    bool inField_ = false;     // it broke off inside a field
    std::size_t fieldLength_ = 0;
    bool pendingLf_ = false; // a CR ended the last record at the bytes' end

    std::size_t scan_ = 0;
    State state_ = State::FieldStart;
    std::size_t recordStart_ = 0, fieldStart_ = 0;
    bool quoted_ = false, clean_ = true;
    std::uint64_t line_ = 1, recordLine_ = 1;
    std::size_t quoteLineEnd_ = 0; // first line end inside an open quoted field, + 1
    std::uint64_t quoteLineEndLine_ = 0;
    std::uint32_t count_ = 0, stored_ = 0;
    std::size_t done_ = 0; // the bytes of complete records
    std::vector<CsvField> fields_;
    std::vector<CsvRecord> records_;
};

// Reads CSV from a source, in chunks of whole records, as CsvTokenizer
// splits it.
class CsvReader {
public:
    // blockBytes is how much is read at once and about a chunk's size.
    explicit CsvReader(Source& source, std::size_t blockBytes = std::size_t(1) << 16);

    // Reads the first record and takes the dialect from it: semicolons
    // outside quotes make it ';' with the locale's decimal separator, else
    // commas ',' with '.', else tabs '\t' with the locale's separator. A
    // UTF-8 byte-order mark is skipped. False for an empty input; throws
    // EDataError for a header over MaxRecordBytes.
    bool ReadHeader(char localeDecimal, CsvHeader& header);
    const Dialect& GetDialect() const { return dialect_; }
    // After the header: the decimal separator of the first number written
    // with one (digits on both sides) in the marked columns of the records
    // within the first `bytes` of the input, read ahead as far as the source
    // does not wait; 0 where there is none.
    char FirstDecimal(const std::vector<bool>& columns, std::size_t bytes);
    // Bytes of the input taken by the records handed out so far, the header
    // and a byte-order mark included: where the next record starts.
    std::uint64_t Consumed() const { return consumed_; }
    // The line the next record starts on, for a reader that starts inside a
    // file.
    void SetLine(std::uint64_t line) { tokens_.SetLine(line); }
    // Fields beyond this many are counted but not stored.
    void SetFieldCap(std::size_t cap) { tokens_.SetFieldCap(cap); }

    // The next whole records: at least blockBytes of them, or fewer where
    // the source would wait for more (so that a live log's rows go on at
    // once), or the last ones. False at the end.
    bool Next(CsvChunk& chunk);

private:
    bool Fill();
    void ChooseDialect(char localeDecimal);
    void Emit(CsvChunk& chunk);

    Source& source_;
    std::size_t block_;
    Dialect dialect_;
    std::string buffer_;
    bool eof_ = false;
    std::uint64_t consumed_ = 0;
    CsvTokenizer tokens_;
};

} // namespace nebelkamm
