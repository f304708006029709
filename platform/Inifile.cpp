// SPDX-License-Identifier: MIT
#include "platform/Inifile.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>

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
            if (!LockExclusive(fd.Get(), deadline))
                return Result::Failed;
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
            !LockExclusive(fd.Get(), std::chrono::steady_clock::now() + LockWait))
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

// Whether the section and every key and value read back as written.
bool EntriesReadBack(std::string_view section, std::span<const IniEntry> entries) {
    if (!NameReadsBack(section))
        return false;
    for (const IniEntry& e : entries)
        if (!NameReadsBack(e.Key) ||
            e.Value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            return false;
    return true;
}

// Where a save goes: the file a link names (so that the lock and the
// temporary file sit beside the file that is replaced), its folder and
// name. Nothing for a dangling link, which is refused, not created, or a
// folder that is not there.
struct Place {
    std::string Target = {}, Folder = {}, Base = {};
    bool FolderWritable = false;
};

std::optional<Place> PlaceOf(const std::string& fileName) {
    const std::optional<std::string> target = FollowLink(fileName);
    if (!target)
        return std::nullopt;
    PathParts parts = SplitPath(*target);
    struct stat st {};
    if (::stat(parts.Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    const bool writable = Writable(st, parts.Folder);
    return Place{.Target = *target,
                 .Folder = std::move(parts.Folder),
                 .Base = std::move(parts.Base),
                 .FolderWritable = writable};
}

// Replaces the file where that keeps what it is, else rewrites the held
// file in place. A replacement would be a new file: it would split hard
// links, lose an ACL, or (where it cannot take the old owner) change the
// owner. Throws as the file layer does.
void Save(const Place& place, bool folderWritable, const HeldFile* held, std::string_view content,
          const std::string& name) {
    const bool inPlace =
        !folderWritable || (held && (held->st.st_nlink > 1 || HasAcl(held->fd.Get())));
    if (!inPlace) {
        RemoveLeftovers(place.Folder, place.Base);
        const ReplaceOptions options{.TempPrefix = place.Base + std::string(SavingTag),
                                     .Like = held ? &held->st : nullptr,
                                     .KeepOwner = true};
        if (ReplaceFile(place.Target, content, options, name) == Replaced::Done)
            return;
    }
    RewriteInPlace(held->fd.Get(), content, held->st.st_size, name);
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

void TIniFile::WriteStrings(std::string_view section, std::span<const IniEntry> entries) const {
    const auto refuse = [&] { throw EIniFileException("Unable to write to " + fileName_); };
    if (!UsablePath(fileName_) || !EntriesReadBack(section, entries))
        refuse();
    const auto place = PlaceOf(fileName_);
    if (!place)
        refuse();
    bool folderWritable = place->FolderWritable;

    const std::lock_guard guard(inProcess);
    FileLock lock;
    if (folderWritable) {
        switch (lock.Acquire(place->Target + ".lock")) {
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
    const HeldFile::Result hold = HoldFile(place->Target, held);
    const bool exists = hold == HeldFile::Result::Held;
    if (hold == HeldFile::Result::Failed || (exists && !Writable(held.st, place->Target)) ||
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
    try {
        Save(*place, folderWritable, exists ? &held : nullptr, content, fileName_);
    } catch (const Exception&) {
        refuse();
    }
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

} // namespace nebelkamm
