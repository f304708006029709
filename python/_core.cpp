// SPDX-License-Identifier: MIT
// nebelkamm._core: the evaluation core over NumPy arrays, the loop without
// the GIL and on as many threads as asked for.
#include "core/Columnar.h"
#include "core/Columns.h"
#include "core/Errors.h"
#include "core/Evaluation.h"
#include "core/Parallel.h"
#include "core/Units.h"
#include "io/Batch.h"
#include "io/Stream.h"
#include "io/Summary.h"
#include "model/Version.h"
#include "settings/Settings.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace py = pybind11;
using namespace nebelkamm;

namespace {

// Below this many rows one thread does the work: starting more costs more.
constexpr std::size_t ThreadedFrom = 100000;

// Rows between two looks for Ctrl-C: a few milliseconds of work.
constexpr std::size_t InterruptBlock = std::size_t(1) << 16;
// Rows a thread takes at a time: a fraction of a millisecond of work.
constexpr std::size_t Chunk = std::size_t(1) << 14;

// Whether a signal handler raised (KeyboardInterrupt for Ctrl-C); its
// exception is then set. Called without the GIL.
bool Interrupted() {
    const py::gil_scoped_acquire locked;
    return PyErr_CheckSignals() != 0;
}

// One input: an array read where it stands (any step in bytes, unaligned,
// read-only), or one value.
struct Source {
    py::array_t<double> Array; // kept alive while the loop reads it
    InputColumn Column;
};

Source SourceOf(const py::handle& item, py::ssize_t& n) {
    Source s;
    if (py::isinstance<py::float_>(item) || py::isinstance<py::int_>(item)) {
        s.Column.Value = item.cast<double>();
        return s;
    }
    s.Array = py::array_t<double>::ensure(item); // float64 as it stands, others converted
    if (!s.Array || s.Array.ndim() != 1)
        throw py::type_error("an input is neither a number nor a one-dimensional numeric array");
    if (n >= 0 && s.Array.shape(0) != n)
        throw py::value_error("the input arrays differ in length");
    n = s.Array.shape(0);
    s.Column = {s.Array.data(), s.Array.strides(0), 0};
    return s;
}

// A result column: the caller's array from out=, checked, or a new one.
double* ResultArray(const Column& c, py::ssize_t n, const py::dict& given, py::dict& result) {
    if (!given.contains(c.Key)) {
        py::array_t<double> cells(n);
        result[c.Key] = cells;
        return cells.mutable_data();
    }
    const py::object item = given[c.Key];
    const std::string key = c.Key;
    if (!py::isinstance<py::array>(item))
        throw py::type_error("out['" + key + "'] is not a NumPy array");
    py::array a = item.cast<py::array>();
    if (!a.dtype().is(py::dtype::of<double>()) || a.ndim() != 1 || a.shape(0) != n)
        throw py::value_error("out['" + key + "'] is not a float64 array of " + std::to_string(n) +
                              " rows");
    if ((n > 1 && a.strides(0) != static_cast<py::ssize_t>(sizeof(double))) || !a.writeable())
        throw py::value_error("out['" + key + "'] is not contiguous and writable");
    result[c.Key] = a;
    return static_cast<double*>(a.mutable_data());
}

// The cells of a message column and the texts they point to: the column's
// base, so that NumPy neither counts a reference for every cell nor lets
// anyone write into them (a capsule has no writable buffer). Copies made
// of it are ordinary arrays.
struct MessageCells {
    std::unique_ptr<PyObject*[]> Cells;
    std::vector<py::str> Texts;
};

// A message column as a read-only array of str objects, one object for each
// distinct text, made without a reference count for every row. Where every
// row has the same message (a clean log: none), one cell seen by every row,
// as NumPy's broadcasts are, spares a pointer a row of fresh memory.
py::array Messages(const py::array_t<MessageCode>& codes, const std::vector<const char*>& texts) {
    const py::ssize_t n = codes.shape(0);
    const MessageCode* code = codes.data();
    // Every code equal to the next one (memcmp runs over whole vectors).
    const bool uniform = n < 2 || std::memcmp(code, code + 1, static_cast<std::size_t>(n - 1)) == 0;
    auto cells = std::make_unique<MessageCells>();
    cells->Cells.reset(new PyObject*[static_cast<std::size_t>(uniform ? 1 : n)]);
    for (const char* t : texts)
        cells->Texts.emplace_back(t);
    PyObject** cell = cells->Cells.get();
    for (py::ssize_t i = 0; i < (uniform ? 1 : n); ++i)
        cell[i] = cells->Texts[n ? code[i] : 0].ptr();
    const py::capsule base(cells.get(), [](void* p) { delete static_cast<MessageCells*>(p); });
    cells.release();
    const py::ssize_t step = uniform ? 0 : static_cast<py::ssize_t>(sizeof(PyObject*));
    py::array column(py::dtype("O"), std::vector<py::ssize_t>{n}, std::vector<py::ssize_t>{step},
                     cell, base);
    column.attr("flags").attr("writeable") = false;
    return column;
}

// The seven inputs (arrays of one length, or numbers) through both models:
// a dict of the result columns of a batch (NaN where a row has none) and
// its message columns.
py::dict EvaluateInputs(const py::sequence& inputs, py::ssize_t rows, int reference,
                        std::int64_t threads, const py::dict& given, bool codes) {
    if (py::len(inputs) != InputCount)
        throw py::value_error("seven inputs are needed");
    py::ssize_t n = -1;
    std::array<Source, InputCount> sources;
    std::array<InputColumn, InputCount> in;
    for (std::size_t k = 0; k < InputCount; ++k) {
        sources[k] = SourceOf(inputs[k], n);
        in[k] = sources[k].Column;
    }
    if (n < 0)
        n = rows;
    EvaluationOptions options;
    if (reference >= 0)
        options.Reference = reference == 0 ? AirBasis::Humid : AirBasis::Dry;

    py::dict result;
    ResultColumns out;
    for (const Column& c : ClassicColumns)
        out.Classic[static_cast<std::size_t>(&c - ClassicColumns.data())] =
            ResultArray(c, n, given, result);
    if (options.Reference)
        for (const Column& c : ReferenceColumns)
            out.Reference[static_cast<std::size_t>(&c - ReferenceColumns.data())] =
                ResultArray(c, n, given, result);
    for (const auto& item : given)
        if (!result.contains(item.first))
            throw py::value_error("out names " + py::repr(item.first).cast<std::string>() +
                                  ", which is no numeric result column");
    py::array_t<MessageCode> message(n), refMessage(options.Reference ? n : 0);
    out.Message = message.mutable_data();
    out.ReferenceMessage = options.Reference ? refMessage.mutable_data() : nullptr;

    const auto count = static_cast<std::size_t>(n);
    const std::size_t parts = ThreadsFor(threads > 0             ? static_cast<std::size_t>(threads)
                                         : count >= ThreadedFrom ? 0
                                                                 : 1,
                                         count);
    // Each thread takes the next chunk of rows until none are left, so that
    // a thread slowed by other work leaves its share to the others. Ctrl-C
    // stops the loop soon: the caller's part looks for signals every
    // InterruptBlock rows, and every part stops at its next chunk once one
    // came.
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> stop = false;
    bool interrupted = false;
    {
        const py::gil_scoped_release unlocked;
        RunParts(parts, [&](std::size_t p) {
            std::size_t unlooked = 0;
            for (std::size_t first; !stop && (first = next.fetch_add(Chunk)) < count;) {
                std::array<InputColumn, InputCount> from;
                for (std::size_t k = 0; k < InputCount; ++k)
                    from[k] = in[k].From(first);
                EvaluateColumns(from, std::min(Chunk, count - first), options, out.From(first));
                if (p == 0 && (unlooked += Chunk) >= InterruptBlock) {
                    unlooked = 0;
                    if (Interrupted()) {
                        interrupted = true;
                        stop = true;
                    }
                }
            }
        });
    }
    if (interrupted)
        throw py::error_already_set();
    if (codes) {
        result["message"] = message;
        if (options.Reference)
            result["RefMessage"] = refMessage;
        return result;
    }
    const std::vector<const char*> texts = nebelkamm::MessageTexts();
    result["message"] = Messages(message, texts);
    if (options.Reference)
        result["RefMessage"] = Messages(refMessage, texts);
    return result;
}

// A vector's memory handed to NumPy without a copy.
template <class T> py::array_t<T> Adopted(std::vector<T>&& cells) {
    auto* owner = new std::vector<T>(std::move(cells));
    const py::capsule base(owner, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(owner->size()), owner->data(), base);
}

// Message texts as codes into a table of the distinct ones.
struct MessageColumn {
    std::vector<std::uint32_t> Codes;
    std::vector<std::string> Texts{""};
    std::unordered_map<std::string, std::uint32_t> Index{{"", 0}};

    void Add(std::string_view text) {
        auto [at, added] = Index.try_emplace(std::string(text), std::uint32_t(Texts.size()));
        if (added)
            Texts.emplace_back(text);
        Codes.push_back(at->second);
    }
};

// A CSV file (a path, or its bytes) through the batch, as columns: what the
// batch writes, as values.
// A part of a file that a batch reads apart: its header's end, the part's
// bytes, the line of its first record, the file's decimal separator.
using FilePart = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, char>;

// The batch's answer as Python values: the columns and what was read.
py::tuple ColumnsOf(const BatchLayout& layout, std::span<const Column> columns,
                    const std::vector<std::vector<std::string>>& passed,
                    std::vector<std::vector<double>>& values, MessageColumn (&messages)[2],
                    const BatchSummary& summary) {
    py::dict out;
    py::list names;
    for (std::size_t c = 0; c < passed.size(); ++c) {
        names.append(layout.PassedThrough[c]);
        py::list cells;
        for (const std::string& cell : passed[c])
            cells.append(py::str(cell));
        out[py::str(layout.PassedThrough[c])] = cells;
    }
    for (std::size_t j = 0; j < columns.size(); ++j) {
        if (columns[j].IsNumber()) {
            out[columns[j].Key] = Adopted(std::move(values[j]));
            continue;
        }
        MessageColumn& m = messages[columns[j].Group == ColumnGroup::Message ? 0 : 1];
        out[columns[j].Key] = py::make_tuple(Adopted(std::move(m.Codes)), m.Texts);
    }
    py::list fromStored, replaced;
    for (const Column* c : layout.FromStored)
        fromStored.append(c->Key);
    for (const std::string& r : layout.Replaced)
        replaced.append(r);
    py::dict info;
    info["passed_through"] = names;
    info["from_stored"] = fromStored;
    info["replaced"] = replaced;
    info["encoding"] = EncodingName(layout.Encoding);
    info["decimal"] = std::string(1, layout.FileDialect.Decimal);
    info["rows"] = summary.Rows;
    return py::make_tuple(out, info);
}

// The batch over a file (its path, or a part of it) or its bytes, without
// holding the interpreter.
BatchSummary RunCsv(const py::object& file, const std::optional<FilePart>& part,
                    const ChargeAirInputs& inputs, const BatchOptions& options) {
    StringSink none;
    if (py::isinstance<py::bytes>(file)) {
        const std::string bytes = file.cast<std::string>();
        const py::gil_scoped_release unlocked;
        MemorySource in(bytes);
        return RunBatch(in, none, inputs, options);
    }
    const std::string path = py::str(file).cast<std::string>();
    const py::gil_scoped_release unlocked;
    const InputFile opened(path);
    if (part) {
        FileRangesSource in(
            opened.Fd(), {{0, std::get<0>(*part)}, {std::get<1>(*part), std::get<2>(*part)}}, path);
        return RunBatch(in, none, inputs, options);
    }
    FdSource in(opened.Fd(), path);
    return RunBatch(in, none, inputs, options);
}

py::tuple EvaluateCsv(const py::object& file, const std::vector<double>& stored, int reference,
                      std::int64_t threads, const py::dict& mapping, char decimal, bool headerOnly,
                      const std::optional<FilePart>& part) {
    BatchOptions options;
    if (part) {
        options.FileEncoding = TextEncoding::Utf8; // only UTF-8 files are cut into parts
        options.FirstLine = std::get<3>(*part);
        options.FileDecimal = std::get<4>(*part);
    }
    options.DecimalSeparator = decimal;
    options.Threads =
        threads > 0 ? static_cast<unsigned>(std::min<std::int64_t>(threads, 1 << 16)) : 0;
    if (reference >= 0)
        options.Reference = reference == 0 ? AirBasis::Humid : AirBasis::Dry;
    for (const auto& [name, key] : mapping)
        options.Mappings.push_back({py::str(name), py::str(key)});
    ChargeAirInputs inputs;
    for (std::size_t k = 0; k < InputCount; ++k)
        inputs.*InputColumns[k].Input = stored.at(k);

    const std::span<const Column> columns = OutputColumns(options.Reference.has_value());
    BatchLayout layout;
    std::vector<std::vector<std::string>> passed;
    std::vector<std::vector<double>> values(columns.size());
    MessageColumn messages[2];
    struct HeaderRead {}; // ends the batch once its header is known
    options.OnLayout = [&](const BatchLayout& l) {
        layout = l;
        passed.resize(l.PassedThrough.size());
        if (headerOnly)
            throw HeaderRead{};
    };
    struct Interrupt {}; // Ctrl-C ends the batch; its exception is set
    options.OnRows = [&](const BatchRows& rows) {
        if (Interrupted())
            throw Interrupt{};
        std::string scratch;
        for (std::size_t i = 0; i < rows.Size(); ++i) {
            for (std::size_t c = 0; c < rows.PassedThrough(); ++c)
                passed[c].emplace_back(rows.Cell(i, c, scratch));
            for (std::size_t j = 0; j < columns.size(); ++j)
                if (columns[j].IsNumber())
                    values[j].push_back(rows.Value(i, j));
            messages[0].Add(rows.Message(i, false));
            if (options.Reference)
                messages[1].Add(rows.Message(i, true));
        }
    };
    BatchSummary summary;
    try {
        summary = RunCsv(file, part, inputs, options);
    } catch (const Interrupt&) {
        throw py::error_already_set();
    } catch (const HeaderRead&) {
    }
    return ColumnsOf(layout, columns, passed, values, messages, summary);
}

// Totals over periods of rows already evaluated, as --summary sums them.
py::tuple SummaryOf(const std::vector<std::string>& times, const std::string& format,
                    const std::vector<py::array_t<double>>& classic, const py::array_t<bool>& good,
                    const std::optional<std::vector<py::array_t<double>>>& reference,
                    const std::optional<py::array_t<bool>>& refGood, const std::string& by,
                    std::optional<double> maxGap, const std::optional<py::tuple>& bridge) {
    SummaryOptions options;
    options.By = by == "hour"   ? SummaryPeriod::Hour
                 : by == "file" ? SummaryPeriod::File
                 : by == "day"
                     ? SummaryPeriod::Day
                     : throw py::value_error("by is 'day', 'hour' or 'file', not '" + by + "'");
    options.MaxGapSeconds = maxGap;
    options.Reference = reference.has_value();
    std::vector<PeriodTotals> periods;
    Summary summary(options, [&](const PeriodTotals& p) { periods.push_back(p); });
    const auto column = [](const py::array_t<double>& a) { return a.unchecked<1>(); };
    const auto w = column(classic.at(0)), c = column(classic.at(1)), m = column(classic.at(2));
    const auto ok = good.unchecked<1>();
    std::vector<std::string> refused;
    for (std::size_t i = 0; i < times.size(); ++i) {
        SummaryRow r;
        r.Line = i + 2; // as the row of a file with a header
        r.Time = ReadLogTime(times[i], format);
        r.Classic = {ok(i), w(i), c(i), m(i)};
        if (reference) {
            const auto rw = column(reference->at(0)), rc = column(reference->at(1)),
                       rm = column(reference->at(2));
            r.Reference = {refGood->unchecked<1>()(i), rw(i), rc(i), rm(i)};
        }
        if (std::string why = summary.Add(r); !why.empty() && refused.size() < 5)
            refused.push_back("row " + std::to_string(i) + ": " + why);
    }
    if (bridge) { // (time, good, water, condensing, margin, the same of the reference, gap)
        const py::tuple& b = *bridge;
        SummaryRow next;
        next.Time = ReadLogTime(b[0].cast<std::string>(), format);
        next.Classic = {b[1].cast<bool>(), b[2].cast<double>(), b[3].cast<double>(),
                        b[4].cast<double>()};
        next.Reference = {b[5].cast<bool>(), b[6].cast<double>(), b[7].cast<double>(),
                          b[8].cast<double>()};
        summary.Close(next, b[9].cast<bool>());
    }
    summary.Finish();
    py::dict out;
    const std::vector<std::string> names = Summary::Columns(options.Reference);
    std::vector<std::vector<double>> cells(names.size());
    py::list labels;
    for (const PeriodTotals& p : periods) {
        labels.append(p.Period);
        const std::vector<double> row = p.Values(options.Reference);
        for (std::size_t j = 1; j < names.size(); ++j)
            cells[j].push_back(row[j - 1]);
    }
    out[py::str(names[0])] = labels;
    for (std::size_t j = 1; j < names.size(); ++j)
        out[py::str(names[j])] = Adopted(std::move(cells[j]));
    return py::make_tuple(out, refused, summary.MaxGap());
}

// The one place where the core's kinds of failure become Python's
// exceptions.
void TranslateError(std::exception_ptr p) {
    try {
        if (p)
            std::rethrow_exception(p);
    } catch (const Exception& e) {
        PyObject* type = PyExc_ValueError;
        switch (e.Kind()) {
        case ErrorKind::Input:
        case ErrorKind::Create:
        case ErrorKind::Output:
        case ErrorKind::Unavailable:
            type = PyExc_OSError;
            break;
        case ErrorKind::Config:
            type = PyExc_ImportError;
            break;
        default:
            break;
        }
        PyErr_SetString(type, e.Message().c_str());
    }
}

// What the module knows: columns, inputs, units, messages, its version.
void DefineTables(py::module_& m) {
    m.def("simd", &SimdInUse, "The vector instruction set that evaluates many rows.");
    m.def(
        "columns",
        [](bool reference) {
            std::vector<std::pair<std::string, std::string>> out;
            for (const Column& c : OutputColumns(reference))
                out.emplace_back(c.Key, c.Group == ColumnGroup::Input ? "input"
                                        : c.IsNumber()                ? "number"
                                                                      : "message");
            return out;
        },
        py::arg("reference"),
        "The batch's columns after the passed-through ones: (key, kind) in order.");
    m.def(
        "name_columns",
        [](const std::vector<std::string>& names, const py::dict& mapping) {
            std::vector<ColumnMapping> mappings;
            for (const auto& [name, key] : mapping)
                mappings.push_back({py::str(name), py::str(key)});
            std::vector<py::tuple> out;
            for (const NamedInput& n : NameColumns(names, mappings))
                out.push_back(
                    py::make_tuple(n.Input, n.Unit.Offset, n.Unit.Factor, n.LessBarometric()));
            return out;
        },
        py::arg("names"), py::arg("mapping"),
        "What each column name names, as a batch's header does (mapping: name to key or "
        "caption with an optional [unit], as --column): (index of the input or -1, offset, "
        "factor, whether the barometric pressure is to be taken off) each; the input is "
        "(value + offset) * factor. ValueError as the batch refuses a header.");
    m.def(
        "named_input",
        [](const std::string& name) {
            const NamedInput n = InputMappedTo(name);
            if (!n.Refusal.empty())
                throw py::value_error(n.Refusal);
            return py::make_tuple(n.Input, n.Unit.Offset, n.Unit.Factor, n.LessBarometric());
        },
        py::arg("name"),
        "What a key or caption with an optional [unit] names, as --input KEY=VALUE: the tuple "
        "of name_columns; ValueError for no input or a unit it does not take.");
    m.def(
        "is_result_name",
        [](const std::string& name, bool reference) { return IsResultName(name, reference); },
        py::arg("name"), py::arg("reference"),
        "Whether a column of that name is replaced by a result column of the batch.");
    m.def(
        "reference_asked",
        [](bool reference, const std::optional<std::string>& basis) {
            const std::optional<AirBasis> b =
                ReferenceAsked(reference, basis, "air_basis", "reference");
            return b ? static_cast<int>(*b == AirBasis::Dry) : -1;
        },
        py::arg("reference"), py::arg("air_basis"),
        "-1 for no reference, 0 on humid, 1 on dry air; ValueError as the command line refuses "
        "--air-basis.");
    m.def(
        "first_run",
        [] {
            std::vector<std::pair<std::string, double>> out;
            for (const StoredInput& s : StoredInputs)
                out.emplace_back(s.Input->Key, s.FirstRun);
            return out;
        },
        "The inputs' first-run values, (key, value) in order.");
    m.def(
        "version", [] { return std::string(Version); }, "The program's version.");
}

// The tables of messages, inputs and results.
void DefineTexts(py::module_& m) {
    m.def(
        "message_texts",
        [] {
            std::vector<std::string> out;
            for (const char* t : MessageTexts())
                out.emplace_back(t ? t : "");
            return out;
        },
        "The texts of the message codes so far, by code (0: \"\").");
    m.def(
        "input_table",
        [] {
            std::vector<py::tuple> out;
            for (const StoredInput& s : StoredInputs)
                out.push_back(
                    py::make_tuple(s.Input->Key, s.Input->Caption, s.Input->Unit, s.FirstRun));
            return out;
        },
        "The seven inputs: (key, caption, unit, first-run value) in order.");
    m.def(
        "result_table",
        [] {
            std::vector<py::tuple> out;
            for (const Column& c : OutputColumns(true))
                if (c.Group != ColumnGroup::Input && c.IsNumber())
                    out.push_back(py::make_tuple(c.Key, c.Caption, c.Unit));
            return out;
        },
        "The result columns, classic and reference: (key, caption, unit) in order.");
}

// What the module computes: arrays, CSV files, totals.
void DefineEvaluation(py::module_& m) {
    m.def("summary", &SummaryOf, py::arg("times"), py::arg("format"), py::arg("classic"),
          py::arg("good"), py::arg("reference"), py::arg("reference_good"), py::arg("by"),
          py::arg("max_gap"), py::arg("bridge") = py::none(),
          "Totals by period as --summary sums them: times as text, the water, condensing "
          "water content and dew-point margin of each model with whether the row has results; "
          "bridge: the next part's first row with results (time, good, water, condensing, "
          "margin, the reference's four, whether rows with a message come before it), whose "
          "interval is counted here: (columns, the first refused times, the largest gap in "
          "seconds).");
    m.def(
        "find_time_columns",
        [](const std::vector<std::string>& names, const std::string& given) {
            const TimeColumns t = FindTimeColumns(names, given);
            return py::make_tuple(t.Time, t.Date);
        },
        py::arg("names"), py::arg("given"),
        "The time column and a date column to put before it (-1 for none), as --summary finds "
        "them.");
    m.def(
        "read_duration",
        [](const std::string& text) {
            const std::optional<double> d = ReadDuration(text);
            if (!d)
                throw py::value_error("a duration such as 30s, 10min or 2h, not '" + text + "'");
            return *d;
        },
        py::arg("text"), "Seconds of a duration as --max-gap reads it.");
    m.def("evaluate_csv", &EvaluateCsv, py::arg("file"), py::arg("stored"), py::arg("reference"),
          py::arg("threads"), py::arg("mapping"), py::arg("decimal"),
          py::arg("header_only") = false, py::arg("part") = py::none(),
          "A CSV file (a path, or bytes) through the batch: (columns, info); the columns in "
          "the batch's order, passed-through ones as lists of str, numbers as float64 (NaN "
          "for an empty cell), messages as (uint32 codes, texts); info: passed_through, "
          "from_stored, replaced, encoding, decimal, rows; header_only: no rows read; part: "
          "(header end, begin, end, first line, decimal) of a UTF-8 file, from split_csv. "
          "ValueError as the batch refuses the file.");
    m.def(
        "split_csv",
        [](const std::string& path, std::size_t blockBytes) {
            const InputFile file(path);
            CsvParts parts;
            {
                const py::gil_scoped_release unlocked;
                FdSource in(file.Fd(), path);
                parts = SplitCsv(in, std::max<std::size_t>(blockBytes, 1));
            }
            std::vector<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>> out;
            for (const CsvPart& p : parts.Parts)
                out.emplace_back(p.Begin, p.End, p.Line);
            return py::make_tuple(parts.HeaderEnd, out);
        },
        py::arg("path"), py::arg("block_bytes"),
        "Where a file's records may be cut into parts of about block_bytes, read as the batch "
        "reads it: (header end, [(begin, end, first line)]); no parts for a file that is not "
        "UTF-8.");
    m.def("evaluate", &EvaluateInputs, py::arg("inputs"), py::arg("rows"), py::arg("reference"),
          py::arg("threads"), py::arg("out"), py::arg("codes") = false,
          "Evaluates seven inputs (arrays of one length, or numbers; rows when all are "
          "numbers); reference -1 for none, 0 humid, 1 dry air; threads 0 for as many as "
          "the rows are worth; out a dict of float64 arrays for result columns; codes: the "
          "message columns as uint8 codes of message_texts() instead of str objects.");
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The evaluation core of nebelkamm over NumPy arrays.";
    // A level it does not know ends the import with ImportError, as every
    // failure of a module's start does.
    UseSimdFromEnvironment();
    py::register_exception_translator(&TranslateError);
    DefineTables(m);
    DefineTexts(m);
    DefineEvaluation(m);
}
