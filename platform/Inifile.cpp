// SPDX-License-Identifier: MIT
#include "platform/Inifile.h"

#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace nebelkamm {
namespace {

// Temporary files of a save are named <file><SavingTag><random>, so that a
// later save can tell them from anything else in the folder.
constexpr std::string_view SavingTag = ".saving-";
constexpr auto LockWait = std::chrono::seconds(5);

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int Get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool UsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

// The whole content of an open regular file, read from its start.
std::optional<std::string> ReadFrom(int fd, off_t size) {
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) // the file may have grown since it was measured
            bytes.resize(bytes.size() + 4096);
        const ssize_t n = ::pread(fd, bytes.data() + have, bytes.size() - have, off_t(have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    bytes.resize(have);
    return bytes;
}

// The whole content of a regular file; nothing when it is missing, is no
// regular file (a FIFO would block) or cannot be read.
std::optional<std::string> ReadAll(const std::string& path) {
    if (!UsablePath(path))
        return std::nullopt;
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return ReadFrom(fd.Get(), st.st_size);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Writes every byte at the offset.
bool WritesAt(int fd, std::string_view bytes, off_t at) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
        at += n;
    }
    return true;
}

// The mode bits decide, also for root, who may write anything.
bool Writable(const struct stat& st, const std::string& path) {
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// A name that the reader finds again exactly as written.
bool NameReadsBack(std::string_view name) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    return !name.empty() && !blank(name.front()) && !blank(name.back()) && name.front() != ';' &&
           name.front() != '[' &&
           name.find_first_of(std::string_view("=]\r\n\0", 5)) == std::string_view::npos;
}

// An advisory lock on a file beside the settings file. The kernel drops it
// when its holder dies, so a killed writer never delays the next one; the
// holder removes the file before it lets go.
class FileLock {
public:
    enum class Result { Locked, FolderRefuses, Failed };

    Result Acquire(const std::string& path) {
        const auto deadline = std::chrono::steady_clock::now() + LockWait;
        for (;;) {
            Fd fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
            if (fd.Get() < 0)
                return errno == EACCES || errno == EPERM || errno == EROFS ? Result::FolderRefuses
                                                                           : Result::Failed;
            auto pause = std::chrono::microseconds(200);
            while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
                if ((errno != EWOULDBLOCK && errno != EINTR) ||
                    std::chrono::steady_clock::now() > deadline)
                    return Result::Failed;
                std::this_thread::sleep_for(pause);
                pause = std::min(pause * 2, std::chrono::microseconds(10000));
            }
            // The previous holder may have removed the file while we waited:
            // then the lock is on a file nobody else will look at. Retry.
            struct stat held {
            }, now{};
            if (::fstat(fd.Get(), &held) == 0 && ::stat(path.c_str(), &now) == 0 &&
                held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
                path_ = path;
                fd_ = fd.Get();
                fd.Release();
                return Result::Locked;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return Result::Failed;
        }
    }

    ~FileLock() {
        if (fd_ < 0)
            return;
        ::unlink(path_.c_str());
        ::close(fd_);
    }

private:
    std::string path_;
    int fd_ = -1;
};

// Waits for an exclusive lock on an open file, as long as a save may take.
bool LockExclusive(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + LockWait;
    auto pause = std::chrono::microseconds(200);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    return true;
}

// The settings file itself, open for reading and writing and locked, so
// that a save in place excludes every other save (a replacing one takes
// this lock too). Nothing when it is missing; Failed when it cannot be
// opened or locked, or is no regular file.
struct HeldFile {
    enum class Result { Held, Missing, Failed };
    Fd fd;
    struct stat st {};
};

HeldFile::Result HoldFile(const std::string& target, HeldFile& held) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        Fd fd(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
        if (fd.Get() < 0)
            return errno == ENOENT ? HeldFile::Result::Missing : HeldFile::Result::Failed;
        struct stat now {};
        if (::fstat(fd.Get(), &held.st) != 0 || !S_ISREG(held.st.st_mode) ||
            !LockExclusive(fd.Get()))
            return HeldFile::Result::Failed;
        // A replacing save may have put a new file there while we waited.
        if (::stat(target.c_str(), &now) == 0 && now.st_dev == held.st.st_dev &&
            now.st_ino == held.st.st_ino && ::fstat(fd.Get(), &held.st) == 0) {
            held.fd.Reset(fd.Release());
            return HeldFile::Result::Held;
        }
    }
    return HeldFile::Result::Failed;
}

bool HasAcl(int fd) {
    return ::fgetxattr(fd, "system.posix_acl_access", nullptr, 0) > 0;
}

// Removes the temporary files of saves whose writer died. Only called under
// the lock, so none of them belongs to a save in progress.
void RemoveLeftovers(const std::string& dir, const std::string& base) {
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    const std::string prefix = base + std::string(SavingTag);
    while (const dirent* e = ::readdir(d)) {
        if (std::string_view(e->d_name).starts_with(prefix))
            ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

enum class Replaced { Done, OwnerNotKept, Failed };

// Writes the content to a new file beside the target and renames it over
// the target: a crash leaves the old or the new file, never a mix. The new
// file takes the old one's owner, group and mode; where it cannot have its
// owner or group, nothing is replaced.
Replaced Replace(const std::string& dir, const std::string& base, const std::string& target,
                 std::string_view content, const struct stat* old) {
    static thread_local std::mt19937_64 rng(std::random_device{}() ^
                                            static_cast<unsigned>(::getpid()));
    std::string tmp;
    int created = -1;
    for (int attempt = 0; created < 0; ++attempt) {
        static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
        std::string suffix(8, '0');
        for (char& c : suffix)
            c = digits[rng() % 36];
        tmp = dir + "/" + base + std::string(SavingTag) + suffix;
        created = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && (errno != EEXIST || attempt > 100))
            return Replaced::Failed;
    }
    Fd fd(created);
    if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
        ::fchown(fd.Get(), old->st_uid, old->st_gid) != 0) {
        ::unlink(tmp.c_str());
        return Replaced::OwnerNotKept;
    }
    // The mode after the owner, whose change may have cleared bits of it.
    bool ok = (!old || ::fchmod(fd.Get(), old->st_mode & 07777) == 0) &&
              WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok ? Replaced::Done : Replaced::Failed;
}

// Rewrites the held file in place so that a kill at any moment leaves the
// old content, the new one, or one of them followed by blank lines: a longer
// file is first lengthened with line ends (so that the space is there), the
// new content goes in one write padded with line ends to the old length,
// and only then is the file cut to it.
bool RewriteInPlace(int fd, std::string_view content, off_t oldSize) {
    const size_t old = static_cast<size_t>(oldSize);
    if (content.size() > old) {
        const std::string room(content.size() - old, '\n');
        if (!WritesAt(fd, room, oldSize)) {
            (void)::ftruncate(fd, oldSize);
            return false;
        }
    }
    std::string padded(content);
    if (padded.size() < old)
        padded.append(old - padded.size(), '\n');
    return WritesAt(fd, padded, 0) &&
           (content.size() >= old || ::ftruncate(fd, off_t(content.size())) == 0) &&
           ::fsync(fd) == 0;
}

std::mutex inProcess; // the file lock serialises processes, this the threads

} // namespace

TIniFile::TIniFile(std::string fileName, char decimalSeparator)
    : fileName_(std::move(fileName)), separator_(decimalSeparator) {}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return UsablePath(fileName) && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool TIniFile::Exists() const {
    return FileExists(fileName_);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    const auto content = ReadAll(fileName_);
    if (!content)
        return std::string(def);
    return ProfileLookup(*content, section, key).value_or(std::string(def));
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) const {
    const IniEntry entry{key, std::string(value)};
    WriteStrings(section, {&entry, 1});
}

void TIniFile::WriteStrings(std::string_view section, std::span<const IniEntry> entries) const {
    const auto refuse = [&] { throw EIniFileException("Unable to write to " + fileName_); };
    if (!UsablePath(fileName_) || !NameReadsBack(section))
        refuse();
    for (const IniEntry& e : entries)
        if (!NameReadsBack(e.Key) ||
            e.Value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            refuse();

    // Follow a link, so that the lock and the temporary file sit beside the
    // file that is replaced. A dangling link is refused, not created.
    std::string target = fileName_;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(target.c_str(), nullptr);
        if (!real)
            refuse();
        target = real;
        std::free(real);
    }
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        refuse();
    bool folderWritable = Writable(st, dir);

    const std::lock_guard guard(inProcess);
    FileLock lock;
    if (folderWritable) {
        switch (lock.Acquire(target + ".lock")) {
        case FileLock::Result::Locked:
            break;
        case FileLock::Result::FolderRefuses:
            folderWritable = false;
            break;
        case FileLock::Result::Failed:
            refuse();
        }
    }

    // The file itself is locked too (where it exists), so that a save in
    // place, which may have no lock file, excludes every other save.
    HeldFile held;
    const HeldFile::Result hold = HoldFile(target, held);
    const bool exists = hold == HeldFile::Result::Held;
    if (hold == HeldFile::Result::Failed || (exists && !Writable(held.st, target)) ||
        (!exists && !folderWritable))
        refuse();
    std::string content;
    if (exists) {
        auto current = ReadFrom(held.fd.Get(), held.st.st_size);
        if (!current)
            refuse(); // never replace what we could not read
        content = std::move(*current);
    }
    std::vector<ProfileEntry> edits;
    for (const IniEntry& e : entries)
        edits.push_back({e.Key, e.Value});
    content = ProfileUpdateMany(content, section, edits);

    // A replacement would be a new file: it would split hard links, lose an
    // ACL, or (where it cannot take the old owner) change the owner.
    const bool inPlace =
        !folderWritable || (exists && (held.st.st_nlink > 1 || HasAcl(held.fd.Get())));
    if (!inPlace) {
        RemoveLeftovers(dir, base);
        switch (Replace(dir, base, target, content, exists ? &held.st : nullptr)) {
        case Replaced::Done:
            return;
        case Replaced::OwnerNotKept: // in place, which keeps it
            break;
        case Replaced::Failed:
            refuse();
        }
    }
    if (!RewriteInPlace(held.fd.Get(), content, held.st.st_size))
        refuse();
}

double TIniFile::ToFloat(const std::string& text, double def) const {
    if (text.empty())
        return def;
    try {
        const double v = StrToFloat(text, separator_);
        return std::isfinite(v) ? v : def;
    } catch (const EConvertError&) {
        return def;
    }
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    return ToFloat(ReadString(section, key, ""), def);
}

std::vector<double> TIniFile::ReadFloats(std::string_view section,
                                         std::span<const std::string_view> keys,
                                         std::span<const double> defs) const {
    const auto content = ReadAll(fileName_);
    const auto texts = ProfileLookupMany(content ? *content : std::string(), section, keys);
    std::vector<double> values;
    values.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        values.push_back(ToFloat(texts[i].value_or(std::string()), defs[i]));
    return values;
}

std::string TIniFile::FloatText(double value) const {
    return FloatToStr(value, separator_);
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) const {
    WriteString(section, key, FloatText(value));
}

} // namespace nebelkamm
