// SPDX-License-Identifier: MIT
#include "io/Batch.h"

#include "core/Columnar.h"
#include "core/Errors.h"
#include "core/Parallel.h"
#include "core/Units.h"
#include "io/Writers.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace nebelkamm {

// How the header's columns map onto the inputs and the output.
struct HeaderPlan {
    nebelkamm::Dialect Dialect;
    std::vector<int> Input; // per column: the input's index, or -1
    std::array<UnitConversion, InputCount> Units{};
    bool LessBarometric = false;            // the scavenge pressure is written absolute
    std::vector<std::size_t> PassedThrough; // the other columns, in order
    std::span<const Column> Columns;
    EvaluationOptions Options;
    TextEncoding Encoding = TextEncoding::Utf8;
};

// A chunk's rows as columns, kept by its job from one chunk to the next.
struct ChunkColumns {
    std::array<std::vector<double>, InputCount> Inputs;
    std::array<std::vector<double>, ClassicCount + ReferenceCount> Results;
    std::vector<MessageCode> Message, ReferenceMessage;
    std::vector<InputCells> Cells;
    std::vector<std::string> ReadError; // why a row could not be read, or empty

    void Resize(std::size_t rows, bool reference) {
        for (std::vector<double>& c : Inputs)
            c.resize(rows);
        for (std::size_t j = 0; j < Results.size(); ++j)
            Results[j].resize(j < ClassicCount || reference ? rows : 0);
        Message.resize(rows);
        ReferenceMessage.resize(reference ? rows : 0);
        Cells.assign(rows, InputCells{});
        ReadError.resize(rows);
        for (std::string& e : ReadError)
            e.clear();
    }
};

namespace {

HeaderPlan MakeLayout(const CsvHeader& header, const Dialect& dialect, const BatchOptions& options,
                      BatchLayout& named) {
    HeaderPlan layout;
    layout.Dialect = dialect;
    layout.Options.Reference = options.Reference;
    layout.Columns = OutputColumns(options.Reference.has_value());
    const std::vector<NamedInput> names = NameColumns(header.Text, options.Mappings);
    layout.Input.reserve(names.size());
    layout.PassedThrough.reserve(names.size());
    bool seen[InputCount] = {};
    for (std::size_t c = 0; c < names.size(); ++c) {
        const int k = names[c].Input;
        layout.Input.push_back(k);
        if (k >= 0) {
            seen[k] = true;
            layout.Units[k] = names[c].Unit;
            layout.LessBarometric = layout.LessBarometric || names[c].LessBarometric();
        } else if (IsResultName(header.Text[c], options.Reference.has_value())) {
            named.Replaced.push_back(header.Text[c]);
        } else {
            layout.PassedThrough.push_back(c);
            named.PassedThrough.push_back(header.Text[c]);
        }
    }
    for (std::size_t k = 0; k < InputCount; ++k)
        if (!seen[k])
            named.FromStored.push_back(&InputColumns[k]);
    return layout;
}

struct RowCounts {
    std::uint64_t Rows = 0, Failed = 0;
};

// Whether the bytes of a record's fields are UTF-8.
bool RecordIsText(const CsvChunk& chunk, const CsvRecord& r) {
    if (r.Stored == 0)
        return true;
    const CsvField* fields = chunk.Fields.data() + r.FirstField;
    return ValidUtf8(std::string_view(chunk.Bytes)
                         .substr(fields[0].Begin, fields[r.Stored - 1].End - fields[0].Begin));
}

// Row i's inputs from the units of their columns into the program's; such
// a cell's text is no longer its value's.
void ConvertUnits(const HeaderPlan& layout, ChunkColumns& rows, std::size_t i) {
    InputCells& cells = rows.Cells[i];
    for (std::size_t k = 0; k < InputCount; ++k)
        if (!layout.Units[k].Identity()) {
            rows.Inputs[k][i] = layout.Units[k].Apply(rows.Inputs[k][i]);
            cells.Shortest[k] = {};
        }
    if (layout.LessBarometric) {
        constexpr std::size_t scavenge = 3, barometric = 2;
        static_assert(InputColumns[scavenge].Input == &ChargeAirInputs::ScavingAirPressure &&
                      InputColumns[barometric].Input == &ChargeAirInputs::PressureBeforeBlower);
        rows.Inputs[scavenge][i] -= rows.Inputs[barometric][i];
        cells.Shortest[scavenge] = {};
    }
}

// The inputs of a record into row i of the columns: each read from its cell
// or the stored one; why the row cannot be read, if it cannot.
void ReadRow(const CsvChunk& chunk, const CsvRecord& r, const HeaderPlan& layout,
             const ChargeAirInputs& stored, ChunkColumns& rows, std::size_t i,
             std::string& scratch) {
    const CsvField* fields = chunk.Fields.data() + r.FirstField;
    const std::size_t columns = layout.Input.size();
    InputCells& cells = rows.Cells[i];
    std::string& message = rows.ReadError[i];
    for (std::size_t k = 0; k < InputCount; ++k)
        rows.Inputs[k][i] = stored.*InputColumns[k].Input;
    if (r.Problem != CsvProblem::None) {
        message = "line " + std::to_string(r.Line) + ": " + ProblemText(r.Problem);
        cells.Read.fill(false);
        return;
    }
    if (!RecordIsText(chunk, r)) {
        message = "line " + std::to_string(r.Line) + ": not valid " + EncodingName(layout.Encoding);
        cells.Read.fill(false);
        return;
    }
    if (r.Count > columns)
        message = "line " + std::to_string(r.Line) + ": " + std::to_string(r.Count) +
                  " fields, the header has " + std::to_string(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        const int k = layout.Input[c];
        if (k < 0)
            continue;
        const std::string_view text =
            c < r.Stored ? chunk.Text(fields[c], scratch) : std::string_view();
        double v = 0;
        if (ReadDataNumber(text, layout.Dialect.Decimal, v, cells.Shortest[k])) {
            rows.Inputs[k][i] = v;
            // Only text in the chunk lives until the row is written.
            if (!text.empty() && text.data() == scratch.data())
                cells.Shortest[k] = {};
            continue;
        }
        cells.Read[k] = false;
        if (message.empty())
            message = "line " + std::to_string(r.Line) + ", column " + InputColumns[k].Key + ": '" +
                      Excerpt(text) + "' is not a number";
    }
    ConvertUnits(layout, rows, i);
}

// Row i of the columns as the writer takes it.
RowValues RowOf(const ChunkColumns& rows, std::size_t i, bool reference) {
    RowValues row;
    for (std::size_t k = 0; k < InputCount; ++k)
        row.Value[k] = rows.Inputs[k][i];
    for (std::size_t j = 0; j < ClassicCount; ++j)
        row.Value[InputCount + j] = rows.Results[j][i];
    row.Message = MessageText(rows.Message[i]);
    if (reference) {
        for (std::size_t j = 0; j < ReferenceCount; ++j)
            row.Value[InputCount + ClassicCount + 1 + j] = rows.Results[ClassicCount + j][i];
        row.ReferenceMessage = MessageText(rows.ReferenceMessage[i]);
    }
    return row;
}

// One output row for each record of the chunk: its inputs read into
// columns, evaluated together, then written row by row.
RowCounts ProcessChunk(const CsvChunk& chunk, const HeaderPlan& layout,
                       const ChargeAirInputs& stored, ChunkColumns& rows, bool asText,
                       std::string& out) {
    const std::size_t n = chunk.Records.size();
    const bool reference = layout.Options.Reference.has_value();
    rows.Resize(n, reference);
    std::string scratch;
    for (std::size_t i = 0; i < n; ++i)
        ReadRow(chunk, chunk.Records[i], layout, stored, rows, i, scratch);

    std::array<InputColumn, InputCount> in;
    for (std::size_t k = 0; k < InputCount; ++k)
        in[k] = {rows.Inputs[k].data(), sizeof(double)};
    ResultColumns results;
    for (std::size_t j = 0; j < ClassicCount; ++j)
        results.Classic[j] = rows.Results[j].data();
    for (std::size_t j = 0; reference && j < ReferenceCount; ++j)
        results.Reference[j] = rows.Results[ClassicCount + j].data();
    results.Message = rows.Message.data();
    results.ReferenceMessage = reference ? rows.ReferenceMessage.data() : nullptr;
    EvaluateColumns(in, n, layout.Options, results);

    RowCounts counts;
    for (std::size_t i = 0; i < n; ++i)
        counts.Failed += !rows.ReadError[i].empty() || rows.Message[i] != 0 ? 1 : 0;
    counts.Rows = n;
    if (!asText)
        return counts;
    const char sep = layout.Dialect.Separator;
    for (std::size_t i = 0; i < n; ++i) {
        const CsvRecord& r = chunk.Records[i];
        const CsvField* fields = chunk.Fields.data() + r.FirstField;
        const std::string& readError = rows.ReadError[i];
        const bool text = readError.empty() || RecordIsText(chunk, r);
        for (std::size_t c : layout.PassedThrough) {
            if (c < r.Stored) {
                const CsvField& f = fields[c];
                if (!text) {
                    std::string valid;
                    AppendValidUtf8(valid, chunk.Text(f, scratch));
                    AppendField(out, valid, sep);
                } else if (f.Clean) {
                    out += chunk.Raw(f);
                } else {
                    AppendField(out, chunk.Text(f, scratch), sep);
                }
            }
            out += sep;
        }
        AppendCsvCells(out, layout.Columns, RowOf(rows, i, reference), rows.Cells[i], readError,
                       layout.Dialect);
    }
    return counts;
}

} // namespace

std::size_t BatchRows::Size() const {
    return chunk_.Records.size();
}

std::uint64_t BatchRows::Line(std::size_t row) const {
    return chunk_.Records[row].Line;
}

std::size_t BatchRows::PassedThrough() const {
    return layout_.PassedThrough.size();
}

std::string_view BatchRows::Cell(std::size_t row, std::size_t passed, std::string& scratch) const {
    const CsvRecord& r = chunk_.Records[row];
    const std::size_t c = layout_.PassedThrough[passed];
    if (c >= r.Stored)
        return {};
    const std::string_view text = chunk_.Text(chunk_.Fields[r.FirstField + c], scratch);
    if (!rows_.ReadError[row].empty() && !ValidUtf8(text)) {
        std::string valid;
        AppendValidUtf8(valid, text);
        scratch = std::move(valid);
        return scratch;
    }
    return text;
}

double BatchRows::Value(std::size_t row, std::size_t column) const {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const bool read = rows_.ReadError[row].empty();
    if (column < InputCount)
        return rows_.Cells[row].Read[column] ? rows_.Inputs[column][row] : none;
    if (column < InputCount + ClassicCount)
        return read && rows_.Message[row] == 0 ? rows_.Results[column - InputCount][row] : none;
    const std::size_t j = column - InputCount - ClassicCount - 1;
    return read && rows_.ReferenceMessage[row] == 0 ? rows_.Results[ClassicCount + j][row] : none;
}

std::string_view BatchRows::Message(std::size_t row, bool reference) const {
    if (!rows_.ReadError[row].empty())
        return rows_.ReadError[row];
    const char* text = MessageText(reference ? rows_.ReferenceMessage[row] : rows_.Message[row]);
    return text ? text : "";
}

namespace {

// A chunk of records on its way through a worker.
struct Job {
    CsvChunk Chunk;
    ChunkColumns Rows;
    std::string Out;
    RowCounts Counts;
    bool Done = false;
    std::exception_ptr Error;
};

// A fixed set of threads that run the work on jobs in the order given: as
// many as can be started, up to n (a process limit may allow none).
class Workers {
public:
    template <class Work> Workers(std::size_t n, Work work) {
        try {
            for (std::size_t i = 0; i < n; ++i)
                threads_.emplace_back([this, work] { Loop(work); });
        } catch (const std::system_error&) {
        }
    }
    std::size_t Started() const { return threads_.size(); }
    ~Workers() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        ready_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    void Submit(Job* job) {
        {
            const std::lock_guard lock(mutex_);
            job->Done = false;
            queue_.push_back(job);
        }
        ready_.notify_one();
    }
    void Wait(const Job& job) {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return job.Done; });
    }

private:
    template <class Work> void Loop(const Work& work) {
        for (;;) {
            Job* job = nullptr;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return stop_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                job = queue_.front();
                queue_.pop_front();
            }
            try {
                work(*job);
            } catch (...) {
                job->Error = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex_);
                job->Done = true;
            }
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_, done_;
    std::deque<Job*> queue_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// Writes what is done and tells the progress, at most once a second.
class Collector {
public:
    Collector(Sink& out, const BatchOptions& options, const HeaderPlan& layout)
        : out_(out), options_(options), layout_(layout) {}
    void Take(const Job& job) {
        if (job.Error)
            std::rethrow_exception(job.Error);
        if (options_.OnRows)
            options_.OnRows(BatchRows(job.Chunk, job.Rows, layout_));
        else
            out_.Write(job.Out);
        summary.Rows += job.Counts.Rows;
        summary.Failed += job.Counts.Failed;
        if (!options_.Progress)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ >= std::chrono::seconds(1)) {
            last_ = now;
            options_.Progress(summary.Rows, std::chrono::duration<double>(now - start_).count());
        }
    }
    BatchSummary summary;

private:
    Sink& out_;
    const BatchOptions& options_;
    const HeaderPlan& layout_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_ = start_;
};

} // namespace

// How far from the start of a file its encoding and decimal separator are
// decided.
constexpr std::size_t LookAhead = std::size_t(1) << 16;

// The header's cells, as UTF-8 whatever the file's encoding.
void CheckHeaderText(const CsvHeader& header, TextEncoding encoding) {
    for (const std::string& cell : header.Text)
        if (!ValidUtf8(cell))
            throw EDataError(std::string("line 1, the header: not valid ") +
                             EncodingName(encoding));
}

namespace {

// Reads the header and decides the layout: the columns, the dialect (its
// decimal separator from the first numbers where the file's separator is
// not the comma), the encoding. Writes the answer's header line.
HeaderPlan ReadLayout(CsvReader& reader, Utf8Source& in, Sink& out, const BatchOptions& options) {
    CsvHeader header;
    if (!reader.ReadHeader(options.DecimalSeparator, header))
        throw EDataError("the input is empty: it has no header");
    if (options.FirstLine)
        reader.SetLine(options.FirstLine);
    BatchLayout named;
    named.Encoding = in.Encoding();
    CheckHeaderText(header, named.Encoding);
    HeaderPlan layout = MakeLayout(header, reader.GetDialect(), options, named);
    layout.Encoding = named.Encoding;
    if (options.FileDecimal) {
        layout.Dialect.Decimal = *options.FileDecimal;
    } else if (layout.Dialect.Separator != ',') {
        std::vector<bool> numbers(layout.Input.size());
        for (std::size_t c = 0; c < numbers.size(); ++c)
            numbers[c] = layout.Input[c] >= 0;
        if (const char found = reader.FirstDecimal(numbers, LookAhead))
            layout.Dialect.Decimal = found;
    }
    named.FileDialect = layout.Dialect;
    reader.SetFieldCap(header.Text.size() + 1);
    if (options.OnLayout)
        options.OnLayout(named);
    if (!options.OnRows) {
        std::string text;
        text.reserve(512);
        for (std::size_t c : layout.PassedThrough)
            (text += header.Raw[c]) += layout.Dialect.Separator;
        AppendCsvHeader(text, layout.Columns, layout.Dialect.Separator);
        out.Write(text);
    }
    return layout;
}

// Chunks go to the workers as they are read, and their rows out in the
// order read; a bounded number in flight keeps memory flat. Before the
// reader waits for input, everything done is written. False, with nothing
// read, when no worker starts.
template <class Work>
bool RunPooled(CsvReader& reader, const Source& in, Collector& collector, std::size_t threads,
               const Work& work) {
    std::deque<std::unique_ptr<Job>> inFlight, spare;
    Workers workers(threads, work);
    if (workers.Started() == 0)
        return false;
    const auto writeFront = [&] {
        workers.Wait(*inFlight.front());
        collector.Take(*inFlight.front());
        spare.push_back(std::move(inFlight.front()));
        inFlight.pop_front();
    };
    for (;;) {
        std::unique_ptr<Job> job;
        if (spare.empty()) {
            job = std::make_unique<Job>();
        } else {
            job = std::move(spare.back());
            spare.pop_back();
        }
        if (!reader.Next(job->Chunk))
            break;
        workers.Submit(job.get());
        inFlight.push_back(std::move(job));
        while (inFlight.size() > 2 * workers.Started())
            writeFront();
        if (in.WouldWait())
            while (!inFlight.empty())
                writeFront();
    }
    while (!inFlight.empty())
        writeFront();
    return true;
}

} // namespace

BatchSummary RunBatch(Source& raw, Sink& out, const ChargeAirInputs& stored,
                      const BatchOptions& options) {
    std::optional<Utf8Source> decoded;
    if (options.FileEncoding)
        decoded.emplace(raw, *options.FileEncoding);
    else
        decoded.emplace(raw, LookAhead);
    Utf8Source& in = *decoded;
    CsvReader reader(in, options.BlockBytes);
    const HeaderPlan layout = ReadLayout(reader, in, out, options);

    Collector collector(out, options, layout);
    const bool asText = !options.OnRows;
    const auto work = [&layout, &stored, asText](Job& job) {
        job.Out.clear();
        job.Counts = ProcessChunk(job.Chunk, layout, stored, job.Rows, asText, job.Out);
    };
    const std::size_t threads = ThreadsFor(options.Threads, SIZE_MAX);
    if (threads > 1 && RunPooled(reader, in, collector, threads, work))
        return collector.summary;
    Job job;
    while (reader.Next(job.Chunk)) {
        work(job);
        collector.Take(job);
    }
    return collector.summary;
}

CsvParts SplitCsv(Source& raw, std::size_t blockBytes) {
    Utf8Source in(raw, LookAhead);
    CsvReader reader(in, blockBytes);
    CsvHeader header;
    CsvParts parts;
    if (!reader.ReadHeader('.', header) || in.Encoding() != TextEncoding::Utf8)
        return parts;
    parts.HeaderEnd = reader.Consumed();
    CsvChunk chunk;
    while (reader.Next(chunk)) {
        if (chunk.Records.empty())
            continue;
        const std::uint64_t end = reader.Consumed();
        if (parts.Parts.empty() || parts.Parts.back().End - parts.Parts.back().Begin >= blockBytes)
            parts.Parts.push_back({end - chunk.Bytes.size(), end, chunk.Records.front().Line});
        else
            parts.Parts.back().End = end;
    }
    return parts;
}

} // namespace nebelkamm
