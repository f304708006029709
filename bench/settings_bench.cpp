// SPDX-License-Identifier: MIT
// One save of the seven inputs: one transaction (one lock, read, replace,
// fsync) against seven single-key transactions, as a save used to be, and
// the same save rewriting the file in place (as for a file with a second
// name), in the same run and the same folder. Wall (Time) and CPU are both
// reported.
#include "settings/Settings.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

using namespace nebelkamm;

void BM_SaveKeyByKey(benchmark::State& state) {
    ChargeAirSettings settings;
    settings.SetFirstRunValues();
    for (auto _ : state) {
        for (const StoredInput& s : StoredInputs) {
            const IniEntry entry{s.Input->Key,
                                 settings.IniFile.FloatText(settings.Inputs.*s.Input->Input)};
            settings.IniFile.WriteStrings(SettingsSection, {&entry, 1});
        }
    }
}
BENCHMARK(BM_SaveKeyByKey)->Unit(benchmark::kMicrosecond);

void BM_SaveOneTransaction(benchmark::State& state) {
    ChargeAirSettings settings;
    settings.SetFirstRunValues();
    for (auto _ : state)
        settings.WriteSettings();
}
BENCHMARK(BM_SaveOneTransaction)->Unit(benchmark::kMicrosecond);

// A second name makes every save rewrite the file in place.
void BM_SaveInPlace(benchmark::State& state) {
    ChargeAirSettings settings;
    settings.SetFirstRunValues();
    settings.WriteSettings();
    if (::link(SettingsFileName, "second-name.ini") != 0) {
        state.SkipWithError("cannot make a second name");
        return;
    }
    for (auto _ : state)
        settings.WriteSettings();
    std::remove("second-name.ini");
}
BENCHMARK(BM_SaveInPlace)->Unit(benchmark::kMicrosecond);

void BM_ReadSettings(benchmark::State& state) {
    ChargeAirSettings settings;
    settings.SetFirstRunValues();
    settings.WriteSettings();
    for (auto _ : state) {
        settings.ReadSettings();
        benchmark::DoNotOptimize(settings.Inputs);
    }
}
BENCHMARK(BM_ReadSettings)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // A folder of its own on the disk the working directory is on.
    std::string dir = "nebelkamm-bench-XXXXXX";
    if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove("Nebelkamm.ini");
    if (chdir("..") == 0)
        rmdir(dir.c_str());
    return 0;
}
