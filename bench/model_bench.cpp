// SPDX-License-Identifier: MIT
// Cost of the checks: ComputeChargeAir against the bare formulas, and the
// number writers against std::to_chars, each pair measured in one run.
#include "model/Chargeair.h"
#include "model/Reference.h"
#include "platform/NumberText.h"
#include "settings/Settings.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <charconv>
#include <cmath>

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
