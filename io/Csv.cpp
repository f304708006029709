// SPDX-License-Identifier: MIT
#include "io/Csv.h"

#include "core/Errors.h"

#include <algorithm>
#include <cstring>

namespace nebelkamm {
namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

} // namespace

const char* ProblemText(CsvProblem problem) {
    switch (problem) {
    case CsvProblem::FieldTooLong:
        return "field longer than 1 MiB";
    case CsvProblem::RecordTooLong:
        return "record longer than 1 MiB";
    case CsvProblem::QuoteNotClosed:
        return "quoted field not closed";
    case CsvProblem::None:
        break;
    }
    return "";
}

void AppendField(std::string& out, std::string_view text, char separator) {
    const auto has = [text](char c) { return std::memchr(text.data(), c, text.size()) != nullptr; };
    if (!has('"') && !has('\n') && !has('\r') && !has(separator)) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string_view CsvChunk::Text(const CsvField& f, std::string& scratch) const {
    const std::string_view raw = Raw(f);
    if (!f.Quoted)
        return raw;
    if (f.Clean && raw.size() >= 2 && raw.find('"', 1) == raw.size() - 1)
        return raw.substr(1, raw.size() - 2);
    scratch.clear();
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] != '"') {
            scratch += raw[i];
        } else if (i + 1 < raw.size() && raw[i + 1] == '"') {
            scratch += '"';
            ++i;
        } else { // the closing quote; what follows it stands as it is
            scratch.append(raw.substr(i + 1));
            break;
        }
    }
    return scratch;
}

CsvReader::CsvReader(Source& source, std::size_t blockBytes)
    : source_(source), block_(std::max<std::size_t>(blockBytes, 1)) {}

bool CsvReader::Fill() {
    const std::size_t old = buffer_.size();
    buffer_.resize(old + block_);
    const std::size_t n = source_.Read(buffer_.data() + old, block_);
    buffer_.resize(old + n);
    eof_ = n == 0;
    return n > 0;
}

CsvTokenizer::CsvTokenizer(char separator) {
    Select(separator);
    fields_.reserve(64);
    records_.reserve(16);
}

void CsvTokenizer::Select(char separator) {
    separator_ = separator;
    special_.fill(false);
    special_[Byte(separator)] = true;
    special_[Byte('"')] = special_[Byte('\n')] = special_[Byte('\r')] = true;
}

std::size_t CsvTokenizer::LineEndLength(std::size_t at, bool& pending) const {
    pending = false;
    if ((*bytes_)[at] == '\n' || at + 1 < bytes_->size())
        return (*bytes_)[at] == '\r' && (*bytes_)[at + 1] == '\n' ? 2 : 1;
    pending = !last_; // a CR at the end: its LF may still come
    return 1;
}

void CsvTokenizer::Restart(std::size_t at, std::uint64_t line) {
    scan_ = recordStart_ = done_ = at;
    line_ = recordLine_ = line;
    state_ = State::FieldStart;
    count_ = stored_ = 0;
    quoteLineEnd_ = 0;
}

void CsvTokenizer::EndRecord(std::size_t at) {
    const bool blank = at == recordStart_ && count_ == 1 && !quoted_;
    if (blank)
        fields_.resize(fields_.size() - stored_);
    else
        records_.push_back({recordLine_, static_cast<std::uint32_t>(fields_.size() - stored_),
                            stored_, count_, CsvProblem::None});
}

void CsvTokenizer::Fail(CsvProblem problem) {
    fields_.resize(fields_.size() - stored_);
    records_.push_back(
        {recordLine_, static_cast<std::uint32_t>(fields_.size()), 0, count_, problem});
}

// A record too long to keep: nothing more of it is stored, and reading goes
// on after its line end. Whether its field or the record as a whole is too
// long shows only as the field goes on.
void CsvTokenizer::StartSkip(std::size_t at) {
    fields_.resize(fields_.size() - stored_);
    stored_ = 0;
    skipping_ = failPending_ = true;
    inField_ = state_ != State::FieldStart;
    fieldLength_ = inField_ ? at - fieldStart_ : 0;
    scan_ = at;
}

// The record that broke off for its length fails as its field or as a
// whole, by what was seen of the field.
void CsvTokenizer::FailTooLong() {
    Fail(fieldLength_ > MaxRecordBytes ? CsvProblem::FieldTooLong : CsvProblem::RecordTooLong);
    failPending_ = false;
}

// An open quote with a line end in it: the record fails, and reading goes on
// after that first line end.
void CsvTokenizer::EndAtQuoteLineEnd() {
    Fail(CsvProblem::QuoteNotClosed);
    std::size_t p = quoteLineEnd_;
    if ((*bytes_)[p - 1] == '\r' && p < bytes_->size() && (*bytes_)[p] == '\n')
        ++p;
    Restart(p, quoteLineEndLine_);
}

void CsvTokenizer::Skip() {
    const char* const from = bytes_->data() + scan_;
    const std::size_t n = bytes_->size() - scan_;
    const void* lf = std::memchr(from, '\n', n);
    const void* cr = std::memchr(from, '\r', lf ? static_cast<const char*>(lf) - from : n);
    const char* end = static_cast<const char*>(cr ? cr : lf);
    if (failPending_) {
        bool known = end || !inField_;
        if (inField_) {
            const char* const stop = end ? end : from + n;
            const char* p = from;
            while (p < stop && *p != separator_)
                ++p;
            fieldLength_ += static_cast<std::size_t>(p - from);
            known = known || p < stop || fieldLength_ > MaxRecordBytes;
        }
        if (known)
            FailTooLong();
    }
    if (!end) {
        bytes_->resize(recordStart_);
        scan_ = recordStart_;
        return;
    }
    bool pending = false;
    const std::size_t at = static_cast<std::size_t>(end - bytes_->data());
    const std::size_t after = at + LineEndLength(at, pending);
    bytes_->erase(recordStart_, after - recordStart_);
    pendingLf_ = pending;
    skipping_ = false;
    Restart(recordStart_, line_ + 1);
}

// A whole line without a quote or a CR: split at its separators without the
// state machine's work for each field. False where that does not apply.
bool CsvTokenizer::PlainLine(std::size_t& at) {
    const char* const b = bytes_->data();
    const std::size_t limit = std::min(bytes_->size(), recordStart_ + MaxRecordBytes + 1);
    const char* const begin = b + at;
    const auto* const end = static_cast<const char*>(std::memchr(begin, '\n', limit - at));
    if (!end || std::memchr(begin, '"', static_cast<std::size_t>(end - begin)) ||
        std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)))
        return false;
    const char sep = separator_;
    fieldStart_ = at;
    quoted_ = false;
    clean_ = true;
    for (const char* p = begin;;) {
        p = static_cast<const char*>(std::memchr(p, sep, static_cast<std::size_t>(end - p)));
        if (!p)
            break;
        EndField(static_cast<std::size_t>(p - b));
        fieldStart_ = static_cast<std::size_t>(++p - b);
    }
    at = static_cast<std::size_t>(end - b);
    EndField(at);
    EndRecord(at);
    Restart(at + 1, line_ + 1);
    at = scan_;
    return true;
}

// A CR ended the last buffer: an LF that follows it belongs to it.
void CsvTokenizer::TakePendingLf(std::size_t& p) {
    if (pendingLf_ && p < bytes_->size()) {
        pendingLf_ = false;
        if ((*bytes_)[p] == '\n')
            Restart(++p, line_);
    }
}

// The record ends at the line end at p.
void CsvTokenizer::EndLine(std::size_t& p) {
    EndField(p);
    EndRecord(p);
    bool pending = false;
    p += LineEndLength(p, pending);
    pendingLf_ = pending;
    Restart(p, line_ + 1);
}

// A record that reached the limit: one whose open quote had a line end
// fails there; any other is skipped to its line end. False to stop.
bool CsvTokenizer::AtLimit(std::size_t& p) {
    if (state_ == State::Quoted && quoteLineEnd_) {
        EndAtQuoteLineEnd();
        p = scan_;
        return true;
    }
    StartSkip(p);
    return false;
}

void CsvTokenizer::StepFieldStart(std::size_t& p, std::size_t stop) {
    if (count_ == 0 && PlainLine(p))
        return;
    fieldStart_ = p;
    quoted_ = false;
    clean_ = true;
    if ((*bytes_)[p] == '"') {
        state_ = State::Quoted;
        quoted_ = true;
        quoteLineEnd_ = 0;
        ++p;
        return;
    }
    state_ = State::Unquoted;
    StepUnquoted(p, stop);
}

void CsvTokenizer::StepUnquoted(std::size_t& p, std::size_t stop) {
    const char* const b = bytes_->data();
    while (p < stop && !special_[Byte(b[p])])
        ++p;
    if (p == stop)
        return;
    const char c = b[p];
    if (c == '"') { // not at a field's start: an ordinary character
        clean_ = false;
        ++p;
    } else if (c == separator_) {
        EndField(p++);
        state_ = State::FieldStart;
    } else {
        EndLine(p);
    }
}

void CsvTokenizer::StepQuoted(std::size_t& p, std::size_t stop) {
    const char* const b = bytes_->data();
    while (p < stop && b[p] != '"' && b[p] != '\n' && b[p] != '\r')
        ++p;
    if (p == stop)
        return;
    if (b[p] == '"') {
        state_ = State::QuoteInQuoted;
    } else {
        if (!(b[p] == '\n' && p > 0 && b[p - 1] == '\r'))
            ++line_; // a CRLF is one line end
        if (!quoteLineEnd_) {
            quoteLineEnd_ = p + 1;
            quoteLineEndLine_ = line_;
        }
    }
    ++p;
}

void CsvTokenizer::StepAfterQuote(std::size_t& p) {
    const char c = (*bytes_)[p];
    if (c == '"') { // a doubled quote
        state_ = State::Quoted;
        ++p;
    } else if (c == separator_) {
        EndField(p++);
        state_ = State::FieldStart;
    } else if (c == '\n' || c == '\r') {
        EndLine(p);
    } else { // text after the closing quote
        clean_ = false;
        state_ = State::Unquoted;
    }
}

void CsvTokenizer::Tokenize(std::size_t most) {
    std::size_t p = scan_;
    TakePendingLf(p);
    while (p < bytes_->size() && !skipping_) {
        // Scans stop just past the limit, so a record never grows beyond it.
        const std::size_t stop = std::min(bytes_->size(), recordStart_ + MaxRecordBytes + 1);
        if (p >= stop) {
            if (!AtLimit(p))
                return;
            continue;
        }
        switch (state_) {
        case State::FieldStart:
            StepFieldStart(p, stop);
            break;
        case State::Unquoted:
            StepUnquoted(p, stop);
            break;
        case State::Quoted:
            StepQuoted(p, stop);
            break;
        case State::QuoteInQuoted:
            StepAfterQuote(p);
            break;
        }
        if (records_.size() >= most)
            break;
    }
    scan_ = p;
}

void CsvTokenizer::Advance(std::size_t most) {
    for (;;) {
        if (skipping_) {
            Skip();
            if (skipping_)
                return; // the line end is still to come
        }
        Tokenize(most);
        if (!skipping_ || records_.size() >= most)
            return;
    }
}

// At the end of the input, which is all in the buffer now.
void CsvTokenizer::Finish(std::size_t most) {
    for (;;) {
        Advance(most);
        if (records_.size() >= most)
            return;
        const std::size_t size = bytes_->size();
        if (skipping_) { // an overlong last line: nothing of it is kept
            if (failPending_)
                FailTooLong();
            bytes_->resize(recordStart_);
            skipping_ = false;
            Restart(recordStart_, line_);
            return;
        }
        if (state_ == State::Quoted) { // not closed
            if (quoteLineEnd_) {
                EndAtQuoteLineEnd();
                continue;
            }
            Fail(CsvProblem::QuoteNotClosed); // and no line end in it: the record ends here
            Restart(size, line_);
            return;
        }
        if (recordStart_ < size || count_ > 0) { // the last line has no line end
            EndField(size);
            EndRecord(size);
            Restart(size, line_ + 1);
        }
        return;
    }
}

void CsvTokenizer::Step(std::string& bytes, bool last, std::size_t most) {
    bytes_ = &bytes;
    last_ = last;
    if (last)
        Finish(most);
    else
        Advance(most);
    bytes_ = nullptr;
}

void CsvTokenizer::PassLineEnd(std::string& bytes, bool last) {
    bytes_ = &bytes;
    last_ = last;
    bool pending = false;
    const std::size_t end = LineEndLength(0, pending);
    pendingLf_ = pending;
    Restart(end, line_ + 1);
    bytes_ = nullptr;
}

void CsvTokenizer::Take(std::vector<CsvField>& fields, std::vector<CsvRecord>& records) {
    const std::size_t cut = done_;
    records.swap(records_);
    records_.clear();
    records_.reserve(records.capacity());
    fields.swap(fields_);
    fields_.reserve(fields.capacity());
    fields_.assign(fields.end() - stored_, fields.end()); // of the record not yet ended
    fields.resize(fields.size() - stored_);
    for (CsvField& f : fields_) {
        f.Begin -= static_cast<std::uint32_t>(cut);
        f.End -= static_cast<std::uint32_t>(cut);
    }
    scan_ -= cut;
    recordStart_ -= cut;
    done_ = 0;
    if (fieldStart_ >= cut)
        fieldStart_ -= cut;
    if (quoteLineEnd_)
        quoteLineEnd_ -= cut;
}

namespace {

// How often each separator ends a field of the first record, as a reader
// splitting at all three would see it: a quote opens a field only at its
// start. Ended once the record's line end is seen; else QuoteOpen when the
// bytes end inside a quoted field, LineEndInQuote when it holds one.
struct SeparatorsSeen {
    std::size_t Comma = 0, Semicolon = 0, Tab = 0;
    bool Ended = false, QuoteOpen = false, LineEndInQuote = false;
};

SeparatorsSeen CountSeparators(std::string_view bytes) {
    enum class At : std::uint8_t { FieldStart, Unquoted, Quoted, AfterQuote };
    SeparatorsSeen seen;
    At at = At::FieldStart;
    for (const char c : bytes) {
        if (at == At::Quoted) {
            if (c == '"')
                at = At::AfterQuote;
            else if (c == '\n' || c == '\r')
                seen.LineEndInQuote = true;
            continue;
        }
        if (c == '"' && at != At::Unquoted) { // opens a field, or doubled in one
            seen.LineEndInQuote = seen.LineEndInQuote && at == At::AfterQuote;
            at = At::Quoted;
            continue;
        }
        if (c == '\n' || c == '\r') {
            seen.Ended = true;
            return seen;
        }
        seen.Comma += c == ',';
        seen.Semicolon += c == ';';
        seen.Tab += c == '\t';
        at = c == ',' || c == ';' || c == '\t' ? At::FieldStart : At::Unquoted;
    }
    seen.QuoteOpen = at == At::Quoted;
    return seen;
}

} // namespace

// Semicolons make the file's separator ';' with the locale's decimal
// separator, else commas ',' with '.', else tabs '\t' with the locale's.
// A header whose quote is not closed in that first look is refused, even
// where the file's separator alone would not open it.
void CsvReader::ChooseDialect(char localeDecimal) {
    SeparatorsSeen seen;
    for (;;) {
        seen = CountSeparators(std::string_view(buffer_).substr(0, MaxRecordBytes + 1));
        if (seen.Ended || buffer_.size() > MaxRecordBytes || !Fill())
            break;
    }
    if (seen.QuoteOpen && (seen.LineEndInQuote || buffer_.size() <= MaxRecordBytes))
        throw EDataError(std::string("line 1, the header: ") +
                         ProblemText(CsvProblem::QuoteNotClosed));
    dialect_.Separator = seen.Semicolon ? ';' : seen.Comma ? ',' : seen.Tab ? '\t' : ',';
    dialect_.Decimal =
        dialect_.Separator == ',' || localeDecimal == dialect_.Separator ? '.' : localeDecimal;
    tokens_.Select(dialect_.Separator);
}

bool CsvReader::ReadHeader(char localeDecimal, CsvHeader& header) {
    while (buffer_.size() < Utf8Bom.size() && Fill()) {
    }
    if (std::string_view(buffer_).starts_with(Utf8Bom)) {
        buffer_.erase(0, Utf8Bom.size());
        consumed_ += Utf8Bom.size();
    }
    ChooseDialect(localeDecimal);
    if (buffer_.empty())
        return false;
    if (buffer_[0] == '\n' || buffer_[0] == '\r') { // a blank first line names one column
        tokens_.PassLineEnd(buffer_, eof_);
        header.Raw.assign(1, std::string());
        header.Text.assign(1, std::string());
        CsvChunk drop;
        Emit(drop);
        return true;
    }
    for (;;) {
        tokens_.Step(buffer_, eof_, 1);
        if (!tokens_.Records().empty() || eof_)
            break;
        Fill();
    }
    const std::vector<CsvRecord>& records = tokens_.Records();
    if (records.empty())
        return false;
    if (records.front().Problem != CsvProblem::None)
        throw EDataError(std::string("line 1, the header: ") +
                         ProblemText(records.front().Problem));

    const CsvRecord& r = records.front();
    CsvChunk view; // the header's fields, in place
    view.Bytes.swap(buffer_);
    std::string scratch;
    header.Raw.reserve(r.Stored);
    header.Text.reserve(r.Stored);
    for (std::uint32_t i = 0; i < r.Stored; ++i) {
        const CsvField& f = tokens_.Fields()[r.FirstField + i];
        header.Text.emplace_back(view.Text(f, scratch));
        if (f.Clean) {
            header.Raw.emplace_back(view.Raw(f));
        } else {
            header.Raw.emplace_back();
            AppendField(header.Raw.back(), header.Text.back(), dialect_.Separator);
        }
    }
    buffer_.swap(view.Bytes);
    CsvChunk drop;
    Emit(drop);
    return true;
}

namespace {

// The separator of a number with digits on both sides of it, or 0.
char DecimalOf(std::string_view cell) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < cell.size() && cell[i] >= '0' && cell[i] <= '9')
            ++i;
        return i > from;
    };
    while (i < cell.size() && (cell[i] == ' ' || cell[i] == '"'))
        ++i;
    if (i < cell.size() && (cell[i] == '+' || cell[i] == '-'))
        ++i;
    if (!digits() || i == cell.size() || (cell[i] != '.' && cell[i] != ','))
        return 0;
    const char separator = cell[i++];
    if (!digits())
        return 0;
    if (i < cell.size() && (cell[i] == 'e' || cell[i] == 'E')) {
        ++i;
        if (i < cell.size() && (cell[i] == '+' || cell[i] == '-'))
            ++i;
        if (!digits())
            return 0;
    }
    while (i < cell.size() && (cell[i] == ' ' || cell[i] == '"' || cell[i] == '\r'))
        ++i;
    return i == cell.size() ? separator : 0;
}

} // namespace

char CsvReader::FirstDecimal(const std::vector<bool>& columns, std::size_t bytes) {
    while (buffer_.size() < bytes && !eof_ && !source_.WouldWait() && Fill()) {
    }
    std::string_view rest = std::string_view(buffer_).substr(tokens_.Scanned());
    rest = rest.substr(0, std::min(rest.size(), bytes));
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        for (std::size_t c = 0; !line.empty(); ++c) {
            const std::size_t cut = std::min(line.find(dialect_.Separator), line.size());
            if (c < columns.size() && columns[c])
                if (const char found = DecimalOf(line.substr(0, cut)))
                    return found;
            line.remove_prefix(std::min(cut + 1, line.size()));
        }
    }
    return 0;
}

void CsvReader::Emit(CsvChunk& chunk) {
    const std::size_t cut = tokens_.Done();
    consumed_ += cut;
    tokens_.Take(chunk.Fields, chunk.Records);
    chunk.Bytes.swap(buffer_);
    buffer_.assign(chunk.Bytes, cut);
    chunk.Bytes.resize(cut);
}

bool CsvReader::Next(CsvChunk& chunk) {
    for (;;) {
        tokens_.Step(buffer_, eof_);
        const bool held = !tokens_.Records().empty();
        if (held && (eof_ || tokens_.Done() >= block_ || source_.WouldWait())) {
            Emit(chunk);
            return true;
        }
        if (eof_)
            return false;
        Fill();
    }
}

} // namespace nebelkamm
