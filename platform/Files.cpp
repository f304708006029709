// SPDX-License-Identifier: MIT
#include "platform/Files.h"

#include "model/Exception.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace nebelkamm {
namespace {

[[noreturn]] void CannotWrite(const std::string& name, int error) {
    throw EOutputError("cannot write " + name + ": " + std::strerror(error));
}

// Closes on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }
    // Closes now; the error of the close, or 0.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// A new file with a random name after prefix, created exclusively with the
// given mode (the kernel applies the umask); its path in path.
int CreateBeside(const std::string& prefix, mode_t mode, std::string& path) {
    static thread_local std::mt19937_64 rng(std::random_device{}() ^
                                            static_cast<unsigned>(::getpid()));
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0;; ++attempt) {
        std::string suffix(8, '0');
        for (char& c : suffix)
            c = digits[rng() % 36];
        path = prefix + suffix;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST || attempt > 100)
            return fd;
    }
}

// A new file that is removed again unless it is kept.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!kept_)
            ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

void SyncFolder(const std::string& folder) {
    // Best effort: some file systems refuse to open or sync a folder, and
    // the file itself is already safe.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void WriteAll(int fd, std::string_view bytes, const std::string& name) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            CannotWrite(name, n < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void WriteAllAt(int fd, std::string_view bytes, off_t at, const std::string& name) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            CannotWrite(name, n < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
}

PathParts SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {.Folder = ".", .Base = path};
    return {.Folder = slash == 0 ? "/" : path.substr(0, slash), .Base = path.substr(slash + 1)};
}

std::optional<std::string> FollowLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string target = real;
    std::free(real);
    return target;
}

Replaced ReplaceFile(const std::string& target, std::string_view bytes,
                     const ReplaceOptions& options, const std::string& name) {
    const PathParts parts = SplitPath(target);
    const std::string prefix =
        target.substr(0, target.size() - parts.Base.size()) +
        (options.TempPrefix.empty() ? "." + parts.Base + "." : options.TempPrefix);
    const struct stat* like = options.Like;
    std::string path;
    Descriptor fd(CreateBeside(prefix, like ? (like->st_mode & 0666) : 0666, path));
    if (fd.Get() < 0)
        throw ECreateError("cannot create " + name + ": " + std::strerror(errno));
    TempFile temp(path);
    if (like && options.KeepOwner && (like->st_uid != ::geteuid() || like->st_gid != ::getegid()) &&
        ::fchown(fd.Get(), like->st_uid, like->st_gid) != 0)
        return Replaced::OwnerNotKept;
    // The mode after the owner, whose change may have cleared bits of it.
    if (like && ::fchmod(fd.Get(), like->st_mode & 07777) != 0)
        CannotWrite(name, errno);
    WriteAll(fd.Get(), bytes, name);
    if (::fsync(fd.Get()) != 0)
        CannotWrite(name, errno);
    if (const int error = fd.Close())
        CannotWrite(name, error);
    if (::rename(temp.Path().c_str(), target.c_str()) != 0)
        throw ECreateError("cannot create " + name + ": " + std::strerror(errno));
    temp.Keep();
    SyncFolder(parts.Folder);
    return Replaced::Done;
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw ECreateError("cannot create '" + path + "'");
    // Through a link to the file it names, so that the link stays a link.
    const std::string target = FollowLink(path).value_or(path);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // A pipe or a device is written into: a new file in its place would
        // take it away from whoever reads it.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            throw ECreateError("cannot create " + path + ": " + std::strerror(errno));
        Descriptor closing(fd);
        WriteAll(fd, bytes, path);
        return;
    }
    ReplaceFile(target, bytes, {.Like = exists ? &st : nullptr}, path);
}

void RewriteInPlace(int fd, std::string_view bytes, off_t oldSize, const std::string& name) {
    const std::size_t old = static_cast<std::size_t>(oldSize);
    if (bytes.size() > old) {
        try {
            WriteAllAt(fd, std::string(bytes.size() - old, '\n'), oldSize, name);
        } catch (...) {
            (void)::ftruncate(fd, oldSize);
            throw;
        }
    }
    std::string padded(bytes);
    if (padded.size() < old)
        padded.append(old - padded.size(), '\n');
    WriteAllAt(fd, padded, 0, name);
    if (bytes.size() < old && ::ftruncate(fd, off_t(bytes.size())) != 0)
        CannotWrite(name, errno);
    if (::fsync(fd) != 0)
        CannotWrite(name, errno);
}

bool LockExclusive(int fd, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::microseconds(200);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    return true;
}

LineWriter::int_type LineWriter::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    pending_ += traits_type::to_char_type(c);
    return c == '\n' && !WriteLines(false) ? traits_type::eof() : c;
}

std::streamsize LineWriter::xsputn(const char* s, std::streamsize n) {
    pending_.append(s, static_cast<std::size_t>(n));
    return std::string_view(s, static_cast<std::size_t>(n)).find('\n') != std::string_view::npos &&
                   !WriteLines(false)
               ? 0
               : n;
}

int LineWriter::sync() {
    return WriteLines(true) ? 0 : -1;
}

bool LineWriter::WriteLines(bool all) {
    const std::size_t end = all ? pending_.size() : pending_.rfind('\n') + 1;
    if (end == 0 || pending_.empty())
        return true;
    const std::string lines = pending_.substr(0, end);
    pending_.erase(0, end);
    try {
        WriteAll(fd_, lines, "the messages");
    } catch (const Exception&) {
        return false;
    }
    return true;
}

} // namespace nebelkamm
