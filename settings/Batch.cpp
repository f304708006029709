// SPDX-License-Identifier: MIT
#include "settings/Batch.h"

#include "platform/NumberText.h"
#include "settings/Curve.h"
#include "settings/Rows.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <future>
#include <system_error>
#include <thread>

#include <unistd.h>

namespace nebelkamm {
namespace {

constexpr std::size_t ChunkBytes = 1 << 18; // rows go to workers in chunks of this size
constexpr std::string_view Bom = "\xEF\xBB\xBF";

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::system_error(errno, std::generic_category(), "writing the output");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// How the file separates fields and writes decimals, and what each column is.
struct Layout {
    char Separator = ',';
    char Decimal = '.';
    std::vector<int> Input;       // per column: the input row's index, or -1 to pass through
    std::vector<int> Passthrough; // the passed-through columns, in order
    std::optional<AirBasis> Reference;
};

// One field of a record: its bytes as they stand (quotes included) and
// whether it was quoted.
struct Field {
    std::string_view Raw;
    bool Quoted = false;
};

// Splits one record (no line end) into fields; quotes may hold separators
// and line ends, "" is a quote.
void SplitRecord(std::string_view record, char sep, std::vector<Field>& fields) {
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        const std::size_t begin = i;
        bool quoted = false;
        if (i < record.size() && record[i] == '"') {
            quoted = true;
            ++i;
            while (i < record.size()) {
                if (record[i] == '"') {
                    if (i + 1 < record.size() && record[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        }
        while (i < record.size() && record[i] != sep)
            ++i;
        fields.push_back({record.substr(begin, i - begin), quoted});
        if (i >= record.size())
            return;
        ++i; // the separator
    }
}

// The field's text: quotes removed, "" made one.
std::string_view Unquoted(const Field& f, std::string& scratch) {
    if (!f.Quoted)
        return f.Raw;
    std::string_view in = f.Raw.substr(1);
    const std::size_t close = in.rfind('"');
    in = in.substr(0, close == std::string_view::npos ? in.size() : close);
    if (in.find('"') == std::string_view::npos)
        return in;
    scratch.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        scratch += in[i];
        if (in[i] == '"' && i + 1 < in.size() && in[i + 1] == '"')
            ++i;
    }
    return scratch;
}

// What logs hold: digits with at most one decimal separator, at most 15 of
// them significant. Such a number is read exactly with one division, both
// of whose operands are exact (an integer below 2^53, a power of ten up to
// 10^22). Since no two decimals of 15 digits or fewer read as the same
// double, the text is then the shortest that reads back as its value; it
// is written as it stands when it is also in the shortest text's form (no
// leading or trailing zeros, plain notation), which saves formatting it.
bool PlainDecimal(std::string_view text, char decimal, double& value, bool& shortest) {
    const bool negative = !text.empty() && text.front() == '-';
    std::size_t i = negative ? 1 : 0;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0, point = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == decimal && point < 0) {
            point = static_cast<int>(i);
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        if (point >= 0)
            ++fraction;
        if (digits == 0 && c == '0')
            continue; // leading zeros are not significant
        if (++digits > 15)
            return false;
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
    const std::size_t begin = negative ? 1 : 0;
    const std::size_t integerDigits = point < 0 ? text.size() - begin : point - begin;
    if (integerDigits == 0 || fraction > 22 || (point >= 0 && fraction == 0))
        return false; // ".5", "5." and long fractions go the general way
    static constexpr double Powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    value = static_cast<double>(mantissa) / Powers[fraction];
    if (negative)
        value = -value;
    shortest = (mantissa != 0 && std::fabs(value) >= 1e-6 &&
                (integerDigits == 1 || text[begin] != '0') && (point < 0 || text.back() != '0')) ||
               text == "0";
    return true;
}

// A number in the file's dialect: blanks around it, an optional sign,
// digits with the dialect's decimal separator, an optional exponent. No
// infinities, no NaN. shortest is set to the text when it is already the
// shortest text of the value, else emptied.
bool ParseNumber(std::string_view text, char decimal, double& value, std::string_view& shortest) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    shortest = {};
    bool plainIsShortest = false;
    if (PlainDecimal(text, decimal, value, plainIsShortest)) {
        if (plainIsShortest)
            shortest = text;
        return true;
    }
    if (text.empty() || text.size() > 64)
        return false;
    char buf[64];
    if (decimal != '.') {
        if (text.find('.') != std::string_view::npos)
            return false;
        std::copy(text.begin(), text.end(), buf);
        std::replace(buf, buf + text.size(), decimal, '.');
        text = std::string_view(buf, text.size());
    }
    const char c = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(c >= '0' && c <= '9') && c != '.')
        return false; // from_chars would take "inf" and "nan"
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && std::isfinite(value);
}

void AppendNumber(std::string& out, double v, char decimal) {
    char buf[ShortestTextMax];
    const std::size_t n = ShortestText(v, buf);
    if (decimal != '.')
        std::replace(buf, buf + n, '.', decimal);
    out.append(buf, n);
}

// Quotes a text that holds the separator, a quote or a line end.
void AppendText(std::string& out, std::string_view text, char sep) {
    if (text.find_first_of(std::string_view{"\"\r\n", 3}) == std::string_view::npos &&
        text.find(sep) == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendHeader(std::string& out, const Layout& layout, const std::vector<Field>& header) {
    const char sep = layout.Separator;
    for (int column : layout.Passthrough)
        out.append(header[static_cast<std::size_t>(column)].Raw) += sep;
    for (const ChargeAirRow* row : InputRows)
        out.append(row->Key) += sep;
    for (const ChargeAirRow* row : ResultRows)
        out.append(row->Key) += sep;
    out += "WaterPerDay";
    out += sep;
    out += "message";
    if (layout.Reference) {
        for (const ReferenceRow& row : ReferenceRows)
            (out += sep).append("Ref").append(row.Key);
        (out += sep).append("RefMessage");
    }
    out += '\n';
}

// One output row: the inputs (as read where that is their shortest text),
// and the results unless there is a message; the reference results when the
// layout asks for them and the inputs were read.
void AppendRow(std::string& out, const Layout& layout, const ChargeAirInputs& in,
               const bool (&given)[7], const ChargeAirResults* res, std::string_view message,
               const ReferenceResults* reference = nullptr,
               const std::string_view (&shortest)[7] = {}) {
    const char sep = layout.Separator;
    for (std::size_t k = 0; k < InputRows.size(); ++k) {
        if (!shortest[k].empty())
            out += shortest[k];
        else if (given[k])
            AppendNumber(out, in.*InputRows[k]->Input, layout.Decimal);
        out += sep;
    }
    for (const ChargeAirRow* row : ResultRows) {
        if (res)
            AppendNumber(out, res->*row->Result, layout.Decimal);
        out += sep;
    }
    if (res)
        AppendNumber(out, WaterPerDay(res->WaterAtSeparator), layout.Decimal);
    out += sep;
    AppendText(out, message, sep);
    if (layout.Reference) {
        const bool valid = reference && *reference;
        for (const ReferenceRow& row : ReferenceRows) {
            out += sep;
            if (valid)
                AppendNumber(out, row.Value(*reference), layout.Decimal);
        }
        out += sep;
        if (reference && !valid)
            AppendText(out, reference->Failure, sep);
    }
    out += '\n';
}

// Computes one point; the message says why there are no results, or which
// report of the maths library came with them.
const ChargeAirResults* Compute(const ChargeAirInputs& in, ChargeAirResults& res,
                                std::string& message) {
    try {
        res = ComputeChargeAir(in, [&message](const MathError& e) {
            if (message.empty())
                message = e.Message();
        });
        return &res;
    } catch (const Exception& e) {
        message = e.Message();
        return nullptr;
    }
}

struct ChunkResult {
    std::string Out;
    std::uint64_t Rows = 0;
    std::uint64_t Failed = 0;
};

// The rows of a chunk of whole records, the first on line firstLine.
ChunkResult ProcessChunk(std::string_view chunk, std::uint64_t firstLine, const Layout& layout,
                         const ChargeAirInputs& stored, std::string out = {}) {
    ChunkResult result;
    result.Out = std::move(out);
    result.Out.clear();
    result.Out.reserve(chunk.size() * 6);
    std::vector<Field> fields;
    std::string scratch, message;
    std::uint64_t line = firstLine;
    const std::size_t columns = layout.Input.size();
    while (!chunk.empty()) {
        // The record runs to the first line end outside quotes: the first
        // line end, unless a quote comes before it.
        std::size_t end = std::min(chunk.find('\n'), chunk.size()), newlines = 0;
        if (std::memchr(chunk.data(), '"', end)) {
            bool quoted = false;
            for (end = 0; end < chunk.size(); ++end) {
                const char c = chunk[end];
                if (c == '"')
                    quoted = !quoted;
                else if (c == '\n' && !quoted)
                    break;
                else if (c == '\n')
                    ++newlines;
            }
        }
        std::string_view record = chunk.substr(0, end);
        chunk.remove_prefix(std::min(end + 1, chunk.size()));
        const std::uint64_t at = line;
        line += newlines + 1;
        if (!record.empty() && record.back() == '\r')
            record.remove_suffix(1);
        if (record.empty())
            continue; // a blank line is no row

        SplitRecord(record, layout.Separator, fields);
        ChargeAirInputs in = stored;
        bool given[7] = {true, true, true, true, true, true, true};
        std::string_view shortest[7] = {};
        message.clear();
        if (fields.size() > columns)
            message = "line " + std::to_string(at) + ": " + std::to_string(fields.size()) +
                      " fields, the header has " + std::to_string(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            const int k = layout.Input[c];
            if (k < 0)
                continue;
            const std::string_view text =
                c < fields.size() ? Unquoted(fields[c], scratch) : std::string_view();
            double v = 0;
            if (ParseNumber(text, layout.Decimal, v, shortest[k])) {
                in.*InputRows[static_cast<std::size_t>(k)]->Input = v;
                continue;
            }
            given[k] = false;
            if (message.empty())
                message = "line " + std::to_string(at) + ", column " +
                          InputRows[static_cast<std::size_t>(k)]->Key + ": '" + std::string(text) +
                          "' is not a number";
        }
        for (int c : layout.Passthrough) {
            if (static_cast<std::size_t>(c) < fields.size())
                result.Out += fields[static_cast<std::size_t>(c)].Raw;
            result.Out += layout.Separator;
        }
        const bool read = message.empty();
        ChargeAirResults res;
        const ChargeAirResults* computed = read ? Compute(in, res, message) : nullptr;
        ReferenceResults reference;
        if (read && layout.Reference)
            reference = ComputeReference(in, *layout.Reference);
        AppendRow(result.Out, layout, in, given, computed, message, read ? &reference : nullptr,
                  shortest);
        ++result.Rows;
        result.Failed += message.empty() ? 0 : 1;
    }
    return result;
}

// Reads the input in blocks and hands out chunks of whole records.
class RecordReader {
public:
    explicit RecordReader(int fd) : fd_(fd) {}

    // The next chunk of whole records (the last may lack its line end) and
    // the line it starts on; false at the end of the input.
    bool Next(std::string& chunk, std::uint64_t& firstLine) {
        while (!eof_ && lastEnd_ < ChunkBytes)
            Fill();
        const std::size_t cut = eof_ ? buffer_.size() : lastEnd_;
        if (cut == 0)
            return false;
        chunk.assign(buffer_, 0, cut);
        firstLine = line_;
        line_ += static_cast<std::uint64_t>(std::count(chunk.begin(), chunk.end(), '\n'));
        buffer_.erase(0, cut);
        scanned_ -= cut;
        lastEnd_ = 0; // a cut at the last record end leaves none behind it
        return true;
    }

    // The first record (the header) without its line end; false for an
    // empty input.
    bool Header(std::string& header) {
        std::size_t end = std::string::npos;
        for (;;) {
            bool quoted = false;
            for (std::size_t i = 0; i < buffer_.size() && end == std::string::npos; ++i) {
                if (buffer_[i] == '"')
                    quoted = !quoted;
                else if (buffer_[i] == '\n' && !quoted)
                    end = i;
            }
            if (end != std::string::npos || eof_)
                break;
            Fill();
        }
        if (buffer_.empty())
            return false;
        const std::size_t taken = end == std::string::npos ? buffer_.size() : end + 1;
        header.assign(buffer_, 0, std::min(end, buffer_.size()));
        if (header.starts_with(Bom))
            header.erase(0, Bom.size());
        if (!header.empty() && header.back() == '\r')
            header.pop_back();
        line_ += static_cast<std::uint64_t>(std::count(
            buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(taken), '\n'));
        buffer_.erase(0, taken);
        scanned_ = 0;
        quoted_ = false;
        lastEnd_ = 0;
        Scan();
        return true;
    }

private:
    void Fill() {
        const std::size_t old = buffer_.size();
        buffer_.resize(old + ChunkBytes);
        ssize_t n;
        do
            n = ::read(fd_, buffer_.data() + old, ChunkBytes);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw std::system_error(errno, std::generic_category(), "reading the input");
        buffer_.resize(old + static_cast<std::size_t>(n));
        if (n == 0)
            eof_ = true;
        else
            Scan();
    }

    // Carries the quote state over the new bytes, noting the last line end
    // outside quotes.
    void Scan() {
        const char* const from = buffer_.data() + scanned_;
        const std::size_t n = buffer_.size() - scanned_;
        if (!quoted_ && !std::memchr(from, '"', n)) { // no quotes: the last line end
            if (const void* last = ::memrchr(from, '\n', n))
                lastEnd_ =
                    static_cast<std::size_t>(static_cast<const char*>(last) - buffer_.data()) + 1;
            scanned_ = buffer_.size();
            return;
        }
        for (; scanned_ < buffer_.size(); ++scanned_) {
            const char c = buffer_[scanned_];
            if (c == '"')
                quoted_ = !quoted_;
            else if (c == '\n' && !quoted_)
                lastEnd_ = scanned_ + 1;
        }
    }

    int fd_;
    std::string buffer_;
    std::size_t scanned_ = 0; // bytes of buffer_ already scanned
    std::size_t lastEnd_ = 0; // just past the last record end found
    bool quoted_ = false;
    bool eof_ = false;
    std::uint64_t line_ = 1;
};

Layout MakeLayout(const std::string& header, char localeDecimal, std::vector<Field>& fields) {
    Layout layout;
    // The dialect: semicolons in the header, else commas.
    bool quoted = false, semicolon = false;
    for (char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ';' && !quoted)
            semicolon = true;
    }
    layout.Separator = semicolon ? ';' : ',';
    layout.Decimal = semicolon ? localeDecimal : '.';
    if (layout.Decimal == layout.Separator)
        layout.Decimal = '.';
    SplitRecord(header, layout.Separator, fields);
    std::string scratch;
    bool seen[7] = {};
    for (std::size_t c = 0; c < fields.size(); ++c) {
        const std::string_view name = Unquoted(fields[c], scratch);
        int input = -1;
        for (std::size_t k = 0; k < InputRows.size(); ++k)
            if (name == InputRows[k]->Key)
                input = static_cast<int>(k);
        if (input >= 0 && seen[input])
            throw EBatchUsage("the header names " + std::string(name) + " twice");
        if (input >= 0)
            seen[input] = true;
        layout.Input.push_back(input);
        if (input < 0)
            layout.Passthrough.push_back(static_cast<int>(c));
    }
    return layout;
}

} // namespace

BatchSummary RunBatch(int inFd, int outFd, const ChargeAirInputs& stored,
                      const BatchOptions& options) {
    RecordReader reader(inFd);
    std::string header;
    std::vector<Field> headerFields;
    Layout layout;
    std::string out;
    if (reader.Header(header)) {
        layout = MakeLayout(header, options.DecimalSeparator, headerFields);
    } else {
        layout.Input.clear(); // no input: just the header of an empty table
    }
    layout.Reference = options.Reference;
    AppendHeader(out, layout, headerFields);
    WriteAll(outFd, out);

    const unsigned threads =
        options.Threads ? options.Threads : std::max(1u, std::thread::hardware_concurrency());
    const auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    BatchSummary summary;
    const auto collect = [&](const ChunkResult& r, const std::string& out) {
        WriteAll(outFd, out);
        summary.Rows += r.Rows;
        summary.Failed += r.Failed;
        if (options.Progress) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastReport >= std::chrono::seconds(1)) {
                lastReport = now;
                options.Progress(summary.Rows, std::chrono::duration<double>(now - start).count());
            }
        }
    };

    std::string chunk;
    std::uint64_t firstLine = 0;
    if (threads <= 1) {
        while (reader.Next(chunk, firstLine)) {
            const ChunkResult r = ProcessChunk(chunk, firstLine, layout, stored);
            collect(r, r.Out);
        }
        return summary;
    }
    // Chunks go to workers as they are read; their rows are written in the
    // order read. A bounded number in flight keeps memory flat; the big
    // buffers are made on this thread and reused, since memory from the
    // workers' own heaps would not come back.
    std::deque<std::future<ChunkResult>> inFlight;
    std::vector<std::string> spare;
    const auto finishOne = [&] {
        ChunkResult r = inFlight.front().get();
        inFlight.pop_front();
        std::string out = std::move(r.Out);
        collect(ChunkResult{std::string(), r.Rows, r.Failed}, out);
        spare.push_back(std::move(out));
    };
    while (reader.Next(chunk, firstLine)) {
        std::string out;
        if (!spare.empty()) {
            out = std::move(spare.back());
            spare.pop_back();
        }
        out.reserve(chunk.size() * 6); // a row of results is about five times its input
        inFlight.push_back(
            std::async(std::launch::async, [&layout, &stored, firstLine, c = std::move(chunk),
                                            o = std::move(out)]() mutable {
                return ProcessChunk(c, firstLine, layout, stored, std::move(o));
            }));
        chunk = std::string();
        while (inFlight.size() > threads)
            finishOne();
    }
    while (!inFlight.empty())
        finishOne();
    return summary;
}

std::vector<double> SweepPoints(double from, double to, double step) {
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step) || step == 0 ||
        (to - from) / step < 0)
        throw EBatchUsage("the step must lead from the first value to the last");
    const double count = std::floor((to - from) / step + 1e-6) + 1;
    if (!(count <= double(MaxSweepPoints)))
        throw EBatchUsage("more than " + std::to_string(MaxSweepPoints) + " points");
    std::vector<double> points;
    points.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i)
        points.push_back(from + static_cast<double>(i) * step);
    return points;
}

BatchSummary RunSweep(int outFd, const ChargeAirInputs& base, std::string_view key, double from,
                      double to, double step, std::optional<AirBasis> reference) {
    const ChargeAirRow* swept = InputRowByKey(key);
    if (!swept)
        throw EBatchUsage("no input is called " + std::string(key));
    const std::vector<double> points = SweepPoints(from, to, step);
    Layout layout;
    layout.Reference = reference;
    std::string out;
    AppendHeader(out, layout, {});
    BatchSummary summary;
    std::string message;
    const bool given[7] = {true, true, true, true, true, true, true};
    for (double x : points) {
        ChargeAirInputs in = base;
        in.*swept->Input = x;
        message.clear();
        ChargeAirResults res;
        const ChargeAirResults* computed = Compute(in, res, message);
        ReferenceResults ref;
        if (reference)
            ref = ComputeReference(in, *reference);
        AppendRow(out, layout, in, given, computed, message, &ref);
        ++summary.Rows;
        summary.Failed += message.empty() ? 0 : 1;
        if (out.size() > ChunkBytes) {
            WriteAll(outFd, out);
            out.clear();
        }
    }
    WriteAll(outFd, out);
    return summary;
}

} // namespace nebelkamm
