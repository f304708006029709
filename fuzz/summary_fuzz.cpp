// SPDX-License-Identifier: MIT
// Totals over time on any bytes: the first byte picks the period, the
// reference and a time format or none, the rest is the log. It ends with
// its periods or a data error, never a crash, and counts every row once.
#include "core/Errors.h"
#include "io/Batch.h"
#include "io/Stream.h"
#include "io/Summary.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t pick = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    nebelkamm::MemorySource in(bytes);
    nebelkamm::StringSink out;
    nebelkamm::BatchOptions batch;
    batch.Threads = 1;
    batch.BlockBytes = 256;
    if (pick & 4)
        batch.Reference = nebelkamm::AirBasis::Humid;
    nebelkamm::SummaryOptions options;
    options.By = static_cast<nebelkamm::SummaryPeriod>(pick % 3);
    if (pick & 8)
        options.MaxGapSeconds = 60;
    nebelkamm::TimeOptions time;
    if (pick & 16)
        time.Format = "%d/%m/%Y %H:%M:%S%z";
    try {
        const nebelkamm::SummaryRun run = nebelkamm::RunSummary(
            in, out, {50, 20, 1.02, 2.4, 40, 7.8, 40000}, batch, options, time);
        if (run.Failed > run.Rows || (!out.Text.empty() && out.Text.back() != '\n'))
            std::abort();
    } catch (const nebelkamm::EDataError&) {
    }
    return 0;
}
