// SPDX-License-Identifier: MIT
#include "core/Columnar.h"

#include "core/Kernel.h"

#include <hwy/targets.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <span>

namespace nebelkamm {
namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

// Every message text that has been given a code, for the whole process:
// rows of any thread and any call compare by code.
class Registry {
public:
    MessageCode Code(const char* text) {
        const std::lock_guard lock(mutex_);
        const std::size_t count = count_.load(std::memory_order_relaxed);
        for (std::size_t k = 1; k < count; ++k)
            if (texts_[k] == text || std::strcmp(texts_[k], text) == 0)
                return static_cast<MessageCode>(k);
        if (count == Full) // never: the texts are the program's own few
            return Full;
        texts_[count] = text;
        count_.store(count + 1, std::memory_order_release);
        return static_cast<MessageCode>(count);
    }
    // Without a lock: a text, once there, stays where it is.
    const char* Text(MessageCode code) const {
        if (code == Full)
            return FullText;
        return code > 0 && code < count_.load(std::memory_order_acquire) ? texts_[code] : nullptr;
    }
    std::vector<const char*> All() const {
        const std::size_t count = count_.load(std::memory_order_acquire);
        std::vector<const char*> all(texts_.begin(), texts_.begin() + count);
        if (count == Full)
            all.push_back(FullText);
        return all;
    }

private:
    static constexpr MessageCode Full = std::numeric_limits<MessageCode>::max();
    static constexpr const char* FullText = "more distinct messages than codes";
    std::mutex mutex_;
    std::array<const char*, Full> texts_{""}; // 0: none
    std::atomic<std::size_t> count_ = 1;
};

Registry& Messages() {
    static Registry registry;
    return registry;
}

// Codes of one loop's messages: rows with the same message, the usual case,
// do not ask the registry again.
class Coder {
public:
    MessageCode operator()(const char* text) {
        if (!text)
            return 0;
        if (text != last_) {
            last_ = text;
            code_ = Messages().Code(text);
        }
        return code_;
    }

private:
    const char* last_ = nullptr;
    MessageCode code_ = 0;
};

struct LevelName {
    SimdLevel Level;
    std::string_view Name;
    std::int64_t Targets;  // Highway's targets of the level (0: none, the scalar code)
    std::int64_t Disabled; // Highway's targets above the level
};

constexpr std::int64_t Avx512Targets = HWY_AVX3 | HWY_AVX3_DL;
constexpr std::int64_t PortableTargets = HWY_SCALAR | HWY_EMU128;
constexpr LevelName Levels[] = {
    {SimdLevel::Scalar, "scalar", 0, 0},
    {SimdLevel::Baseline, "baseline", PortableTargets, ~PortableTargets},
    {SimdLevel::Ssse3, "ssse3", HWY_SSSE3, HWY_SSE4 | HWY_AVX2 | Avx512Targets},
    {SimdLevel::Sse4, "sse4", HWY_SSE4, HWY_AVX2 | Avx512Targets},
    {SimdLevel::Avx2, "avx2", HWY_AVX2, Avx512Targets},
    {SimdLevel::Avx512, "avx512", Avx512Targets, 0},
};

const LevelName& LevelOf(SimdLevel level) {
    for (const LevelName& l : Levels)
        if (l.Level == level)
            return l;
    return Levels[0];
}

struct Selection {
    bool Scalar = false;
    std::string Error;
    std::int64_t Cpu = 0; // Highway's targets the CPU has, before any cap
};

Selection Select() {
    Selection s;
    s.Cpu = hwy::SupportedTargets();
    const char* value = std::getenv("NEBELKAMM_SIMD");
    if (!value || !*value)
        return s;
    for (const LevelName& l : Levels)
        if (l.Name == value) {
            s.Scalar = l.Level == SimdLevel::Scalar;
            if (l.Disabled)
                hwy::DisableTargets(l.Disabled);
            return s;
        }
    s.Error = "NEBELKAMM_SIMD is '" + std::string(value).substr(0, 40) + "'; it takes " +
              SimdLevelNames() + ", or nothing for the best the CPU has";
    return s;
}

const Selection& Selected() {
    static const Selection selection = Select();
    return selection;
}

// Row i of one block of results: its numbers, or NaN and the message.
template <std::size_t N>
void WriteBlock(std::span<const Column> columns, const std::array<double*, N>& cells,
                MessageCode* codes, const char* why, const Evaluation& e, std::size_t i,
                Coder& coder) {
    for (std::size_t j = 0; j < N; ++j)
        if (cells[j])
            cells[j][i] = why ? Nan : columns[j].Value(e);
    if (codes)
        codes[i] = coder(why);
}

// One row by Evaluate, into row i of the results.
void EvaluateRow(const ChargeAirInputs& point, const EvaluationOptions& options, Evaluation& e,
                 const ResultColumns& out, std::size_t i, Coder& coder, Coder& refCoder) {
    Evaluate(point, options, e);
    WriteBlock(ClassicColumns, out.Classic, out.Message, e.Message(), e, i, coder);
    if (options.Reference)
        WriteBlock(ReferenceColumns, out.Reference, out.ReferenceMessage, e.ReferenceMessage(), e,
                   i, refCoder);
}

ChargeAirInputs Point(const std::array<InputColumn, InputCount>& in, std::size_t i) {
    ChargeAirInputs point;
    for (std::size_t k = 0; k < InputCount; ++k) {
        const InputColumn c = in[k].From(i);
        double v = c.Value;
        if (c.Data)
            std::memcpy(&v, c.Data, sizeof v);
        point.*InputColumns[k].Input = v;
    }
    return point;
}

// Rows [first, first + n) of a column into a block of its own.
void Gather(const InputColumn& c, std::size_t first, std::size_t n, double* to) {
    if (!c.Data) {
        std::fill(to, to + n, c.Value);
        return;
    }
    const char* from = static_cast<const char*>(c.From(first).Data);
    if (c.Step == sizeof(double)) {
        std::memcpy(to, from, n * sizeof(double));
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        std::memcpy(to + i, from + static_cast<std::ptrdiff_t>(i) * c.Step, sizeof(double));
}

// Rows before the columns' whole blocks start on a cache line: vector loads
// and stores that straddle two lines cost more. Taken from the first result
// column written in place, else the first contiguous input (NumPy's large
// arrays usually share one offset from a line, 16 bytes).
std::size_t RowsToLine(const std::array<InputColumn, InputCount>& in, const ResultColumns& out) {
    constexpr std::size_t Line = 64;
    const void* anchor = nullptr;
    for (double* c : out.Classic)
        anchor = anchor ? anchor : c;
    for (const InputColumn& c : in)
        anchor = anchor || !c.Data || c.Step != sizeof(double) ? anchor : c.Data;
    const auto address = reinterpret_cast<std::uintptr_t>(anchor);
    if (address % sizeof(double))
        return 0;
    return (Line - address % Line) % Line / sizeof(double);
}

void Scatter(const double* block, std::size_t first, std::size_t n, double* to) {
    if (to)
        std::memcpy(to + first, block, n * sizeof(double));
}

} // namespace

ResultColumns ResultColumns::From(std::size_t first) const {
    ResultColumns r = *this;
    for (double*& c : r.Classic)
        c = c ? c + first : c;
    for (double*& c : r.Reference)
        c = c ? c + first : c;
    r.Message = Message ? Message + first : Message;
    r.ReferenceMessage = ReferenceMessage ? ReferenceMessage + first : ReferenceMessage;
    return r;
}

void EvaluateColumns(const std::array<InputColumn, InputCount>& inputs, std::size_t rows,
                     const EvaluationOptions& options, const ResultColumns& out) noexcept {
    Coder coder, refCoder;
    Evaluation e;
    if (Selected().Scalar) {
        for (std::size_t i = 0; i < rows; ++i)
            EvaluateRow(Point(inputs, i), options, e, out, i, coder, refCoder);
        return;
    }
    const int reference = !options.Reference ? -1 : *options.Reference == AirBasis::Humid ? 0 : 1;
    constexpr std::size_t B = kernel::BlockRows;
    alignas(64) double in[InputCount][B];
    alignas(64) double results[ClassicCount + ReferenceCount][B];
    std::uint8_t bad[B];
    const double* inputColumns[InputCount];
    double* resultColumns[ClassicCount + ReferenceCount];
    for (std::size_t k = 0; k < InputCount; ++k)
        inputColumns[k] = in[k];
    for (std::size_t j = 0; j < ClassicCount + ReferenceCount; ++j)
        resultColumns[j] = results[j];
    const std::size_t lead = RowsToLine(inputs, out);
    for (std::size_t first = 0, n = 0; first < rows; first += n) {
        n = std::min(first == 0 && lead ? lead : B, rows - first);
        // Whole vectors of any width up to 32 lanes; the padding is computed
        // and dropped. Full blocks of contiguous columns are read and
        // written where they are, so that memory and arithmetic overlap.
        const std::size_t padded = std::min(B, (n + 31) / 32 * 32);
        const bool whole = n == padded;
        for (std::size_t k = 0; k < InputCount; ++k) {
            const InputColumn& c = inputs[k];
            if (whole && c.Data && c.Step == sizeof(double)) {
                inputColumns[k] = static_cast<const double*>(c.From(first).Data);
                continue;
            }
            inputColumns[k] = in[k];
            Gather(c, first, n, in[k]);
            std::fill(in[k] + n, in[k] + padded, 0.0);
        }
        for (std::size_t j = 0; j < ClassicCount + ReferenceCount; ++j) {
            double* to = j < ClassicCount ? out.Classic[j] : out.Reference[j - ClassicCount];
            resultColumns[j] = whole && to ? to + first : results[j];
        }
        std::memset(bad, 0, padded);
        kernel::EvaluateBlock(inputColumns, padded, reference, resultColumns, bad);
        for (std::size_t j = 0; j < ClassicCount; ++j)
            if (resultColumns[j] == results[j])
                Scatter(results[j], first, n, out.Classic[j]);
        if (out.Message)
            std::memset(out.Message + first, 0, n);
        if (reference >= 0) {
            for (std::size_t j = 0; j < ReferenceCount; ++j)
                if (resultColumns[ClassicCount + j] == results[ClassicCount + j])
                    Scatter(results[ClassicCount + j], first, n, out.Reference[j]);
            if (out.ReferenceMessage)
                std::memset(out.ReferenceMessage + first, 0, n);
        }
        for (const std::uint8_t* b = bad; (b = static_cast<const std::uint8_t*>(std::memchr(
                                               b, 1, n - static_cast<std::size_t>(b - bad))));
             ++b)
            EvaluateRow(Point(inputs, first + static_cast<std::size_t>(b - bad)), options, e, out,
                        first + static_cast<std::size_t>(b - bad), coder, refCoder);
    }
}

std::vector<const char*> MessageTexts() {
    return Messages().All();
}

const char* MessageText(MessageCode code) noexcept {
    return Messages().Text(code);
}

std::string_view SimdLevelName(SimdLevel level) {
    return LevelOf(level).Name;
}

std::string SimdLevelNames() {
    std::string out;
    for (const LevelName& l : Levels)
        (out += out.empty() ? "" : ", ") += l.Name;
    return out;
}

std::optional<SimdLevel> SimdLevelNamed(std::string_view name) {
    for (const LevelName& l : Levels)
        if (l.Name == name)
            return l.Level;
    return std::nullopt;
}

bool SimdLevelOnCpu(SimdLevel level) {
    const std::int64_t targets = LevelOf(level).Targets;
    return targets == 0 || targets == PortableTargets || (Selected().Cpu & targets) != 0;
}

void UseSimdFromEnvironment() {
    if (!Selected().Error.empty())
        throw EConfigError(Selected().Error);
}

std::string SimdInUse() {
    if (Selected().Scalar)
        return "scalar";
    const std::int64_t target = kernel::Target();
    std::string_view name = "baseline"; // any other architecture's target too
    for (const LevelName& l : Levels)
        if (l.Targets & target)
            name = l.Name;
    return std::string(name) + " (" + hwy::TargetName(target) + ")";
}

} // namespace nebelkamm
