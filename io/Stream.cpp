// SPDX-License-Identifier: MIT
#include "io/Stream.h"

#include "core/Errors.h"
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nebelkamm {
namespace {

std::string Why(int error) {
    return std::strerror(error);
}

} // namespace

InputFile::InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0)
        throw EInputError("cannot open " + path + ": " + Why(errno));
}

InputFile::~InputFile() {
    ::close(fd_);
}

std::size_t FdSource::Read(char* to, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, to, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw EInputError("cannot read " + name_ + ": " + Why(errno));
    }
}

std::size_t FileRangesSource::Read(char* to, std::size_t size) {
    while (at_ < ranges_.size()) {
        Range& r = ranges_[at_];
        const std::uint64_t left = r.End - r.Begin;
        if (left == 0) {
            ++at_;
            continue;
        }
        const ssize_t n =
            ::pread(fd_, to, std::min<std::uint64_t>(size, left), static_cast<off_t>(r.Begin));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EInputError("cannot read " + name_ + ": " + Why(errno));
        if (n == 0)
            throw EInputError("cannot read " + name_ + ": it is shorter than it was");
        r.Begin += static_cast<std::uint64_t>(n);
        return static_cast<std::size_t>(n);
    }
    return 0;
}

bool FdSource::WouldWait() const {
    pollfd p{.fd = fd_, .events = POLLIN, .revents = 0};
    return ::poll(&p, 1, 0) == 0;
}

std::size_t MemorySource::Read(char* to, std::size_t size) {
    const std::size_t n = std::min(size, bytes_.size());
    std::memcpy(to, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

void FdSink::Write(std::string_view bytes) {
    WriteAll(fd_, bytes, name_);
}

} // namespace nebelkamm
