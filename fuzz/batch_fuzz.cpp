// SPDX-License-Identifier: MIT
// The batch on any bytes in memory, in both dialects, with and without the
// reference: the decoding of the file's text, the record reader and the row
// evaluation, one thread, small blocks. It ends with a summary or a data
// error, never a crash, and writes UTF-8: a header and one line for every
// row it counts.
#include "core/Errors.h"
#include "io/Batch.h"
#include "io/Stream.h"
#include "io/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    nebelkamm::MemorySource in(bytes);
    nebelkamm::StringSink out;
    nebelkamm::BatchOptions options;
    options.DecimalSeparator = size > 0 && (data[0] & 1) ? ',' : '.';
    if (size > 0 && (data[0] & 2))
        options.Reference = nebelkamm::AirBasis::Humid;
    options.Threads = 1;
    options.BlockBytes = 512;
    try {
        const nebelkamm::BatchSummary s =
            nebelkamm::RunBatch(in, out, {50, 20, 1.02, 2.4, 40, 7.8, 40000}, options);
        if (s.Failed > s.Rows || out.Text.empty() || out.Text.back() != '\n' ||
            !nebelkamm::ValidUtf8(out.Text))
            std::abort();
    } catch (const nebelkamm::EDataError&) {
    }
    return 0;
}
