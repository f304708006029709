// SPDX-License-Identifier: MIT
// Cost of the checks: ComputeChargeAir against the bare formulas, and the
// number writers against std::to_chars, each pair measured in one run.
#include "core/Columnar.h"
#include "core/Kernel.h"
#include "model/Chargeair.h"
#include "model/Reference.h"
#include "platform/NumberText.h"
#include "settings/Settings.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>
#include <random>
#include <vector>

using namespace nebelkamm;

namespace {

ChargeAirInputs Summer() {
    return {90, 37, 1.02, 2.4, 40, 7.8, 41200};
}

// The same nine steps with no checks and no handler.
[[gnu::noinline]] ChargeAirResults Bare(const ChargeAirInputs& in) {
    const double ps1 = std::pow(2.71828, 19.016 - 4064.95 / (in.TempBeforeBlower + 236.25)) * 0.001;
    const double A = 100.0 * in.PressureBeforeBlower / in.RelativeHumidity;
    const double x1 = ps1 / (A - ps1) * 0.622;
    const double r = (in.ScavingAirPressure + in.PressureBeforeBlower) / in.PressureBeforeBlower;
    const double pv = r * x1 / (0.622 + x1) * 1000.0;
    const double tc = 4064.95 / (19.016 - std::log(pv)) - 236.25;
    const double ps2 = std::pow(2.71828, 19.016 - 4064.95 / (in.TempAfterCooler + 236.25)) * 0.001;
    const double x2 = ps2 / (r - ps2) * 0.622;
    double d = x1 - x2;
    if (!(d >= 0))
        d = 0;
    return {x1, r, tc, x2, d, in.SpecificAirFlow * in.PowerOnEngine * d};
}

void BM_BareFormulas(benchmark::State& state) {
    ChargeAirInputs in = Summer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(Bare(in));
    }
}
BENCHMARK(BM_BareFormulas);

void BM_ComputeChargeAir(benchmark::State& state) {
    ChargeAirInputs in = Summer();
    const MathErrorHandler handler = [](const MathError&) {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(ComputeChargeAir(in, handler));
    }
}
BENCHMARK(BM_ComputeChargeAir);

// The reference psychrometrics at the same point, against the line above.
void BM_ComputeReference(benchmark::State& state) {
    ChargeAirInputs in = Summer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        benchmark::DoNotOptimize(ComputeReference(in));
    }
}
BENCHMARK(BM_ComputeReference);

// Engine-log rows over wide ranges, from a fixed seed, as seven columns.
struct LogColumns {
    explicit LogColumns(std::size_t n) : Rows(n) {
        std::mt19937_64 random(1);
        const double low[] = {1, -30, 0.7, 0, -5, 2, 100},
                     high[] = {100, 55, 1.1, 5, 85, 14, 90000};
        for (std::size_t k = 0; k < InputCount; ++k) {
            Inputs[k].resize(n);
            for (double& v : Inputs[k])
                v = std::uniform_real_distribution<double>(low[k], high[k])(random);
            In[k] = {Inputs[k].data(), sizeof(double)};
        }
        for (std::vector<double>& c : Results)
            c.resize(n);
        for (std::size_t j = 0; j < ClassicCount; ++j)
            Out.Classic[j] = Results[j].data();
        for (std::size_t j = 0; j < ReferenceCount; ++j)
            Out.Reference[j] = Results[ClassicCount + j].data();
        Codes.resize(2 * n);
        Out.Message = Codes.data();
        Out.ReferenceMessage = Codes.data() + n;
    }
    std::size_t Rows;
    std::array<std::vector<double>, InputCount> Inputs;
    std::array<InputColumn, InputCount> In;
    std::array<std::vector<double>, ClassicCount + ReferenceCount> Results;
    std::vector<MessageCode> Codes;
    ResultColumns Out;
};

void RowCounter(benchmark::State& state, std::size_t rows) {
    state.counters["ns_a_row"] =
        benchmark::Counter(static_cast<double>(state.iterations() * rows),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(SimdInUse());
}

// Many rows at once at the level NEBELKAMM_SIMD gives (the label names it),
// a row's time beside ComputeChargeAir's and ComputeReference's above:
// classic (0), or both models (1).
void BM_EvaluateColumns(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(1));
    LogColumns log(n);
    EvaluationOptions options;
    if (state.range(0))
        options.Reference = AirBasis::Humid;
    for (auto _ : state) {
        EvaluateColumns(log.In, n, options, log.Out);
        benchmark::ClobberMemory();
    }
    RowCounter(state, n);
}
BENCHMARK(BM_EvaluateColumns)->Args({0, 4096})->Args({1, 4096})->Args({0, 1000000});

// The vector kernel alone over contiguous columns into
// columns made beforehand: no gathering, no messages, no row by Evaluate.
// The limit of what many rows can cost.
void BM_BareKernel(benchmark::State& state) {
    if (SimdInUse() == "scalar") {
        state.SkipWithError("no vector kernel at NEBELKAMM_SIMD=scalar");
        return;
    }
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    LogColumns log(n);
    const double* in[InputCount];
    double* out[ClassicCount + ReferenceCount];
    for (std::size_t k = 0; k < InputCount; ++k)
        in[k] = log.Inputs[k].data();
    for (std::size_t j = 0; j < ClassicCount + ReferenceCount; ++j)
        out[j] = log.Results[j].data();
    std::vector<std::uint8_t> bad(n);
    for (auto _ : state) {
        kernel::EvaluateBlock(in, n, -1, out, bad.data());
        benchmark::ClobberMemory();
    }
    RowCounter(state, n);
}
BENCHMARK(BM_BareKernel)->Arg(4096)->Arg(1000000);

const double Samples[] = {0.036477877709335034,
                          3.352941313966888,
                          58.49032441119175,
                          7224.438676807745,
                          1.0199999809265137,
                          41200,
                          0.00005,
                          2.4e17};

void BM_ToCharsShortest(benchmark::State& state) {
    char buf[64];
    for (auto _ : state)
        for (double v : Samples)
            benchmark::DoNotOptimize(std::to_chars(buf, buf + sizeof buf, v));
}
BENCHMARK(BM_ToCharsShortest);

void BM_ToCharsFifteenDigits(benchmark::State& state) {
    char buf[64];
    for (auto _ : state)
        for (double v : Samples)
            benchmark::DoNotOptimize(
                std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14));
}
BENCHMARK(BM_ToCharsFifteenDigits);

void BM_FloatToStr(benchmark::State& state) {
    for (auto _ : state)
        for (double v : Samples)
            benchmark::DoNotOptimize(FloatToStr(v, '.'));
}
BENCHMARK(BM_FloatToStr);

void BM_FormatFloatPattern(benchmark::State& state) {
    for (auto _ : state)
        for (double v : Samples)
            benchmark::DoNotOptimize(FormatFloat("0.0000", v, '.'));
}
BENCHMARK(BM_FormatFloatPattern);

void BM_WriteSettingsSevenKeys(benchmark::State& state) {
    QTemporaryDir dir;
    ChargeAirSettings settings((dir.path() + "/Nebelkamm.ini").toStdString(), '.');
    settings.SetFirstRunValues();
    for (auto _ : state)
        settings.WriteSettings();
}
BENCHMARK(BM_WriteSettingsSevenKeys)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
