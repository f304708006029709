// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace nebelkamm {

// The one place that writes files: every other part of the program calls
// these, never write, pwrite, rename, fsync or ftruncate itself. name is
// what the messages call the file ("the output", "log.csv").

// A path's folder ("." where it names none) and its last name.
struct PathParts {
    std::string Folder, Base;
};
PathParts SplitPath(const std::string& path);
// The file a symbolic link names, or the path itself where it is no link;
// nothing for a link that names nothing.
std::optional<std::string> FollowLink(const std::string& path);

// Writes every byte to fd, through interruptions and short writes. Throws
// EOutputError ("cannot write <name>: <reason>").
void WriteAll(int fd, std::string_view bytes, const std::string& name);
// The same at an offset, leaving the descriptor's own offset alone.
void WriteAllAt(int fd, std::string_view bytes, off_t at, const std::string& name);

// How the new file of a replacement is made.
struct ReplaceOptions {
    // The new file is named <folder>/<TempPrefix><random>; empty gives
    // ".<file name>." so that it is hidden and names its target.
    std::string TempPrefix = {};
    // The file whose mode the new one takes; none: a new file, whose mode
    // is 0666 less the umask.
    const struct stat* Like = nullptr;
    // Whether the new file takes Like's owner and group too.
    bool KeepOwner = false;
};

enum class Replaced { Done, OwnerNotKept };

// Writes bytes to a new file beside target, syncs it, renames it over
// target and syncs the folder: a failure or a kill leaves the old file or
// the new one, never a mix. OwnerNotKept (nothing replaced) when the new
// file is to keep Like's owner or group and cannot. Throws ECreateError when the file
// cannot be created or renamed, EOutputError when writing it fails.
Replaced ReplaceFile(const std::string& target, std::string_view bytes,
                     const ReplaceOptions& options, const std::string& name);

// Writes bytes to path through ReplaceFile. The path is bytes, whatever the
// locale; a symbolic link is followed, so that it stays a link. The new
// file keeps an old file's mode. A pipe or a device is written into, not
// replaced. Throws as ReplaceFile, and ECreateError
// for an empty path.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// Rewrites an open file of oldSize bytes in place so that a kill at any
// moment leaves the old content, the new one, or one of them followed by
// blank lines: a longer file is first lengthened with line ends, the new
// content goes in one write padded with line ends to the old length, and
// only then is the file cut. Throws EOutputError.
void RewriteInPlace(int fd, std::string_view bytes, off_t oldSize, const std::string& name);

// Waits for an exclusive advisory lock on an open file, pausing longer
// each time, until the deadline. False when it is not had by then.
bool LockExclusive(int fd, std::chrono::steady_clock::time_point deadline);

// A stream buffer that hands the descriptor whole lines, each batch of them
// in one write, so that the messages of programs writing to the same
// terminal at once never interleave mid-line. A failed write makes the
// stream bad.
class LineWriter : public std::streambuf {
public:
    explicit LineWriter(int fd) : fd_(fd) {}
    ~LineWriter() override { sync(); }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool WriteLines(bool all);
    int fd_;
    std::string pending_;
};

} // namespace nebelkamm
