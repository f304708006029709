// SPDX-License-Identifier: MIT
// nebelkamm._core: the evaluation core over NumPy arrays, the loop without
// the GIL and on as many threads as asked for.
#include "core/Columnar.h"
#include "core/Columns.h"
#include "core/Evaluation.h"
#include "core/Parallel.h"
#include "core/Units.h"
#include "settings/Settings.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;
using namespace nebelkamm;

namespace {

// Below this many rows one thread does the work: starting more costs more.
constexpr std::size_t ThreadedFrom = 100000;

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
    if (a.strides(0) != static_cast<py::ssize_t>(sizeof(double)) || !a.writeable())
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
// distinct text, made without a reference count for every row.
py::array Messages(const py::array_t<MessageCode>& codes, const std::vector<const char*>& texts) {
    const py::ssize_t n = codes.shape(0);
    const MessageCode* code = codes.data();
    auto cells = std::make_unique<MessageCells>();
    cells->Cells.reset(new PyObject*[static_cast<std::size_t>(std::max<py::ssize_t>(n, 1))]);
    for (const char* t : texts)
        cells->Texts.emplace_back(t);
    PyObject** cell = cells->Cells.get();
    for (py::ssize_t i = 0; i < n; ++i)
        cell[i] = cells->Texts[code[i]].ptr();
    const py::capsule base(cells.get(), [](void* p) { delete static_cast<MessageCells*>(p); });
    cells.release();
    py::array column(py::dtype("O"), std::vector<py::ssize_t>{n},
                     std::vector<py::ssize_t>{sizeof(PyObject*)}, cell, base);
    column.attr("flags").attr("writeable") = false;
    return column;
}

// The seven inputs (arrays of one length, or numbers) through both models:
// a dict of the result columns of a batch (NaN where a row has none) and
// its message columns.
py::dict EvaluateInputs(const py::sequence& inputs, py::ssize_t rows, int reference,
                        std::int64_t threads, const py::dict& given) {
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
    const auto bound = [count, parts](std::size_t p) { return count * p / parts; };
    {
        const py::gil_scoped_release unlocked;
        RunParts(parts, [&](std::size_t p) {
            const std::size_t first = bound(p);
            std::array<InputColumn, InputCount> from;
            for (std::size_t k = 0; k < InputCount; ++k)
                from[k] = in[k].From(first);
            EvaluateColumns(from, bound(p + 1) - first, options, out.From(first));
        });
    }
    const std::vector<const char*> texts = nebelkamm::MessageTexts();
    result["message"] = Messages(message, texts);
    if (options.Reference)
        result["RefMessage"] = Messages(refMessage, texts);
    return result;
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The evaluation core of nebelkamm over NumPy arrays.";
    try {
        UseSimdFromEnvironment();
    } catch (const EConfigError& e) {
        throw py::import_error(e.Message());
    }
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
        "input_named_by",
        [](const std::string& cell, const std::optional<std::string>& mappedTo) {
            const NamedInput n = mappedTo ? InputMappedTo(*mappedTo) : InputNamedBy(cell);
            if (!n.Refusal.empty())
                throw py::value_error("column '" + cell + "': " + n.Refusal);
            return py::make_tuple(n.Input, n.Unit.Offset, n.Unit.Factor, n.LessBarometric());
        },
        py::arg("cell"), py::arg("mapped_to") = py::none(),
        "What a column name names (key or caption, any case, optional [unit]), or what "
        "mapped_to names for it: (index of the input or -1, offset, factor, whether the "
        "barometric pressure is to be taken off); the input is (value + offset) * factor. "
        "ValueError for a unit the input does not take, or a mapping to no input.");
    m.def(
        "first_run",
        [] {
            std::vector<std::pair<std::string, double>> out;
            for (const StoredInput& s : StoredInputs)
                out.emplace_back(s.Input->Key, s.FirstRun);
            return out;
        },
        "The inputs' first-run values, (key, value) in order.");
    m.def("evaluate", &EvaluateInputs, py::arg("inputs"), py::arg("rows"), py::arg("reference"),
          py::arg("threads"), py::arg("out"),
          "Evaluates seven inputs (arrays of one length, or numbers; rows when all are "
          "numbers); reference -1 for none, 0 humid, 1 dry air; threads 0 for as many as "
          "the rows are worth; out a dict of float64 arrays for result columns.");
}
