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

// The whole content of a regular file; nothing when it is missing, is no
// regular file (a FIFO would block) or cannot be read.
std::optional<std::string> ReadAll(const std::string& path) {
    if (!UsablePath(path))
        return std::nullopt;
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t have = 0;
    for (;;) {
        if (have == bytes.size()) // the file may have grown since fstat
            bytes.resize(bytes.size() + 4096);
        const ssize_t n = ::read(fd.Get(), bytes.data() + have, bytes.size() - have);
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

// Writes the content to a new file beside the target and renames it over
// the target: a crash leaves the old or the new file, never a mix.
bool Replace(const std::string& dir, const std::string& base, const std::string& target,
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
            return false;
    }
    Fd fd(created);
    bool ok = WriteAll(fd.Get(), content);
    if (ok && old) {
        // Keep the owner and group (root can), then the mode, which a change
        // of owner may have cleared bits of.
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid())
            (void)::fchown(fd.Get(), old->st_uid, old->st_gid);
        ok = ::fchmod(fd.Get(), old->st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

// A writable file in a folder that refuses new files: rewritten in place.
bool RewriteInPlace(const std::string& target, std::string_view content) {
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    bool ok = WriteAll(fd.Get(), content) &&
              ::ftruncate(fd.Get(), static_cast<off_t>(content.size())) == 0 &&
              ::fsync(fd.Get()) == 0;
    return fd.Close() && ok;
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

    // Look at the file only now: another writer may have replaced it.
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        refuse();
    if (exists && (!S_ISREG(st.st_mode) || !Writable(st, target)))
        refuse();
    if (!exists && !folderWritable)
        refuse();
    std::string content;
    if (exists) {
        auto current = ReadAll(target);
        if (!current)
            refuse(); // never replace what we could not read
        content = std::move(*current);
    }
    std::vector<ProfileEntry> edits;
    for (const IniEntry& e : entries)
        edits.push_back({e.Key, e.Value});
    content = ProfileUpdateMany(content, section, edits);

    if (!folderWritable) {
        if (!RewriteInPlace(target, content))
            refuse();
        return;
    }
    RemoveLeftovers(dir, base);
    if (!Replace(dir, base, target, content, exists ? &st : nullptr))
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
