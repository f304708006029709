// SPDX-License-Identifier: MIT
#include "io/Stream.h"

#include "core/Errors.h"

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
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EOutputError("cannot write " + name_ + ": " + Why(n < 0 ? errno : EIO));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw ECreateError("cannot create '" + path + "'");
    // Through a link to the file it names, so that the link stays a link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw ECreateError("cannot create " + path + ": " + Why(errno));
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw EOutputError("cannot write " + path + ": " + Why(error));
    };
    mode_t mode = exists ? st.st_mode & 07777 : 0;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        fail(errno);
    for (std::string_view rest = bytes; !rest.empty();) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : EIO);
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::fsync(fd) != 0)
        fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw EOutputError("cannot write " + path + ": " + Why(error));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw ECreateError("cannot create " + path + ": " + Why(error));
    }
}

} // namespace nebelkamm
