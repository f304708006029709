// SPDX-License-Identifier: MIT
// The batch on any bytes on one and on two threads, the input cut into
// blocks of a size the input chooses: the same bytes give the same output
// however many chunks are in flight.
#include "core/Errors.h"
#include "io/Batch.h"
#include "io/Stream.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Run(std::string_view bytes, unsigned threads, std::size_t block) {
    nebelkamm::MemorySource in(bytes);
    nebelkamm::StringSink out;
    nebelkamm::BatchOptions options;
    options.DecimalSeparator = !bytes.empty() && (bytes[0] & 1) ? ',' : '.';
    if (!bytes.empty() && (bytes[0] & 2))
        options.Reference = nebelkamm::AirBasis::Humid;
    options.Threads = threads;
    options.BlockBytes = block;
    try {
        nebelkamm::RunBatch(in, out, {50, 20, 1.02, 2.4, 40, 7.8, 40000}, options);
    } catch (const nebelkamm::EDataError& e) {
        return "data error: " + e.Message();
    }
    return out.Text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t block = size > 1 ? 1 + data[1] % 64 : 1;
    if (Run(bytes, 1, 1 << 18) != Run(bytes, 2, block))
        std::abort();
    return 0;
}
