// SPDX-License-Identifier: MIT
// nebelkamm._core: the evaluation core over NumPy arrays, the loop without
// the GIL and on as many threads as asked for.
#include "core/Columns.h"
#include "core/Evaluation.h"
#include "settings/Settings.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace py = pybind11;
using namespace nebelkamm;

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
// Below this many rows one thread does the work: starting more costs more.
constexpr py::ssize_t ThreadedFrom = 100000;

// One input: an array read where it stands (any stride), or one value.
struct Source {
    py::array_t<double> Array; // kept alive while the loop reads it
    const double* Data = nullptr;
    py::ssize_t Stride = 0; // in elements
    double Value = 0;

    double At(py::ssize_t i) const { return Data ? Data[i * Stride] : Value; }
};

// The distinct messages of a part of the rows, in the order they came: the
// rows hold their indexes, 0 for none.
struct Said {
    std::vector<const char*> Texts{""};
    std::int32_t Code(const char* text) {
        if (!text)
            return 0;
        for (std::size_t k = 1; k < Texts.size(); ++k)
            if (Texts[k] == text || std::strcmp(Texts[k], text) == 0)
                return static_cast<std::int32_t>(k);
        Texts.push_back(text);
        return static_cast<std::int32_t>(Texts.size() - 1);
    }
};

// The result columns of a batch, each an array of n, and the message codes.
struct Outputs {
    std::vector<const Column*> Classic, Reference;
    std::vector<double*> ClassicCells, ReferenceCells;
    std::int32_t* Message = nullptr;
    std::int32_t* ReferenceMessage = nullptr;
};

// A block of results: all its cells, or NaN in all of them.
[[gnu::always_inline]] inline void Write(const std::vector<const Column*>& columns,
                                         const std::vector<double*>& cells, const Evaluation& e,
                                         bool valid, py::ssize_t i) {
    for (std::size_t j = 0; j < columns.size(); ++j)
        cells[j][i] = valid ? columns[j]->Value(e) : Nan;
}

// Evaluates rows [from, to) into the outputs.
void Run(const std::array<Source, InputCount>& in, const EvaluationOptions& options,
         const Outputs& out, py::ssize_t from, py::ssize_t to, Said& said, Said& refSaid) {
    Evaluation e;
    for (py::ssize_t i = from; i < to; ++i) {
        ChargeAirInputs point;
        for (std::size_t k = 0; k < InputCount; ++k)
            point.*InputColumns[k].Input = in[k].At(i);
        Evaluate(point, options, e);
        const char* why = e.Message();
        Write(out.Classic, out.ClassicCells, e, !why, i);
        out.Message[i] = said.Code(why);
        if (out.ReferenceMessage) {
            const char* refWhy = e.ReferenceMessage();
            Write(out.Reference, out.ReferenceCells, e, !refWhy, i);
            out.ReferenceMessage[i] = refSaid.Code(refWhy);
        }
    }
}

// Renumbers the codes of one part after the texts of all parts.
void Merge(std::vector<std::string>& texts, const Said& said, std::int32_t* codes, py::ssize_t from,
           py::ssize_t to) {
    std::vector<std::int32_t> global(said.Texts.size(), 0);
    for (std::size_t k = 1; k < said.Texts.size(); ++k) {
        const auto at = std::find(texts.begin(), texts.end(), said.Texts[k]);
        global[k] = static_cast<std::int32_t>(at - texts.begin());
        if (at == texts.end())
            texts.emplace_back(said.Texts[k]);
    }
    for (py::ssize_t i = from; i < to; ++i)
        codes[i] = global[static_cast<std::size_t>(codes[i])];
}

Source SourceOf(const py::handle& item, py::ssize_t& n) {
    Source s;
    if (py::isinstance<py::float_>(item) || py::isinstance<py::int_>(item)) {
        s.Value = item.cast<double>();
        return s;
    }
    s.Array = py::array_t<double>::ensure(item); // float64 as it stands, others converted
    if (!s.Array || s.Array.ndim() != 1)
        throw py::type_error("an input is neither a number nor a one-dimensional numeric array");
    if (n >= 0 && s.Array.shape(0) != n)
        throw py::value_error("the input arrays differ in length");
    n = s.Array.shape(0);
    s.Data = s.Array.data();
    s.Stride = s.Array.strides(0) / static_cast<py::ssize_t>(sizeof(double));
    return s;
}

// The seven inputs (arrays of one length, or numbers) through both models:
// a dict of the result columns of a batch (NaN where a row has none), and
// of each message column its codes and their texts.
py::dict EvaluateInputs(const py::sequence& inputs, py::ssize_t rows, int reference, int threads) {
    if (py::len(inputs) != InputCount)
        throw py::value_error("seven inputs are needed");
    py::ssize_t n = -1;
    std::array<Source, InputCount> in;
    for (std::size_t k = 0; k < InputCount; ++k)
        in[k] = SourceOf(inputs[k], n);
    if (n < 0)
        n = rows;
    EvaluationOptions options;
    if (reference >= 0)
        options.Reference = reference == 0 ? AirBasis::Humid : AirBasis::Dry;

    py::dict result;
    Outputs out;
    for (const Column& c : OutputColumns(options.Reference.has_value())) {
        if (!c.IsNumber() || c.Group == ColumnGroup::Input)
            continue;
        py::array_t<double> cells(n);
        const bool classic = c.Group == ColumnGroup::Classic;
        (classic ? out.Classic : out.Reference).push_back(&c);
        (classic ? out.ClassicCells : out.ReferenceCells).push_back(cells.mutable_data());
        result[c.Key] = cells;
    }
    py::array_t<std::int32_t> message(n), refMessage(options.Reference ? n : 0);
    out.Message = message.mutable_data();
    out.ReferenceMessage = options.Reference ? refMessage.mutable_data() : nullptr;

    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    const unsigned parts = static_cast<unsigned>(
        std::clamp<py::ssize_t>(threads > 0 ? threads : (n >= ThreadedFrom ? hardware : 1), 1,
                                std::max<py::ssize_t>(n, 1)));
    std::vector<Said> said(parts), refSaid(parts);
    const auto bound = [n, parts](unsigned p) { return n * static_cast<py::ssize_t>(p) / parts; };
    {
        const py::gil_scoped_release unlocked;
        std::vector<std::thread> workers;
        for (unsigned p = 1; p < parts; ++p)
            workers.emplace_back(
                [&, p] { Run(in, options, out, bound(p), bound(p + 1), said[p], refSaid[p]); });
        Run(in, options, out, bound(0), bound(1), said[0], refSaid[0]);
        for (std::thread& t : workers)
            t.join();
    }
    std::vector<std::string> texts{""}, refTexts{""};
    for (unsigned p = 0; p < parts; ++p) {
        Merge(texts, said[p], out.Message, bound(p), bound(p + 1));
        if (out.ReferenceMessage)
            Merge(refTexts, refSaid[p], out.ReferenceMessage, bound(p), bound(p + 1));
    }
    result["message"] = py::make_tuple(message, texts);
    if (options.Reference)
        result["RefMessage"] = py::make_tuple(refMessage, refTexts);
    return result;
}

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The evaluation core of nebelkamm over NumPy arrays.";
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
        [](const std::string& cell) {
            bool wrongUnit = false;
            const int index = InputNamedBy(cell, &wrongUnit);
            return py::make_tuple(index, wrongUnit);
        },
        py::arg("cell"),
        "The index of the input a column name names (key or caption, any case, optional "
        "[unit]), or -1; and whether it names one with a unit not its own.");
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
          py::arg("threads"),
          "Evaluates seven inputs (arrays of one length, or numbers; rows when all are "
          "numbers); reference -1 for none, 0 humid, 1 dry air; threads 0 for as many as "
          "the rows are worth.");
}
