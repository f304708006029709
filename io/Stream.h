// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Files.h" // WriteFileReplacing

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// Where bytes come from: a file, a pipe, a buffer.
class Source {
public:
    virtual ~Source() = default;
    // Reads up to size bytes into to; returns how many, 0 at the end.
    // Throws EInputError when reading fails.
    virtual std::size_t Read(char* to, std::size_t size) = 0;
    // Whether a Read now would wait for more input, as a pipe or a terminal
    // with nothing in it does; then whatever is done should be written first.
    virtual bool WouldWait() const { return false; }
};

// Where bytes go. Every write is checked: a failure throws EOutputError,
// never passes unnoticed.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

// An open file descriptor, read until its end; not closed here. name is
// what the messages call it ("the input", "log.csv").
class FdSource : public Source {
public:
    explicit FdSource(int fd, std::string name = "the input") : fd_(fd), name_(std::move(name)) {}
    std::size_t Read(char* to, std::size_t size) override;
    bool WouldWait() const override;

private:
    int fd_;
    std::string name_;
};

// A file open for reading by its path (bytes, whatever the locale), closed
// on every way out. Throws EInputError ("cannot open <path>: <reason>").
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Byte ranges of an open file, one after the other, read where they stand
// (the file's own offset is left alone); not closed here.
class FileRangesSource : public Source {
public:
    struct Range {
        std::uint64_t Begin = 0, End = 0;
    };
    FileRangesSource(int fd, std::vector<Range> ranges, std::string name)
        : fd_(fd), ranges_(std::move(ranges)), name_(std::move(name)) {}
    std::size_t Read(char* to, std::size_t size) override;

private:
    int fd_;
    std::vector<Range> ranges_;
    std::size_t at_ = 0; // the range being read
    std::string name_;
};

// Bytes in memory.
class MemorySource : public Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t Read(char* to, std::size_t size) override;

private:
    std::string_view bytes_;
};

// An open file descriptor, written until every byte is taken; not closed
// here. name is what the messages call it.
class FdSink : public Sink {
public:
    explicit FdSink(int fd, std::string name = "the output") : fd_(fd), name_(std::move(name)) {}
    void Write(std::string_view bytes) override;

private:
    int fd_;
    std::string name_;
};

// Bytes collected in memory.
class StringSink : public Sink {
public:
    void Write(std::string_view bytes) override { Text.append(bytes); }
    std::string Text;
};

} // namespace nebelkamm
