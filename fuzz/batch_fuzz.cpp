// SPDX-License-Identifier: MIT
// The batch reader on any bytes, in both dialects, on one and two threads:
// it ends with a summary or a usage error, never a crash, and the same
// bytes give the same output whatever the thread count.
#include "settings/Batch.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

int MemFile(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("batch", 0);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string Run(const std::uint8_t* data, std::size_t size, char decimal, unsigned threads,
                bool reference) {
    const int in = MemFile(data, size), out = ::memfd_create("out", 0);
    nebelkamm::BatchOptions options;
    options.DecimalSeparator = decimal;
    options.Threads = threads;
    if (reference)
        options.Reference = nebelkamm::AirBasis::Humid;
    std::string text;
    try {
        const nebelkamm::BatchSummary s =
            nebelkamm::RunBatch(in, out, {50, 20, 1.02, 2.4, 40, 7.8, 40000}, options);
        if (s.Failed > s.Rows)
            std::abort();
        ::lseek(out, 0, SEEK_SET);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(out, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
    } catch (const nebelkamm::EBatchUsage&) {
        text = "usage";
    }
    ::close(in);
    ::close(out);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char decimal = size > 0 && (data[0] & 1) ? ',' : '.';
    const bool reference = size > 0 && (data[0] & 2);
    if (Run(data, size, decimal, 1, reference) != Run(data, size, decimal, 2, reference))
        std::abort();
    return 0;
}
