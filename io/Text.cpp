// SPDX-License-Identifier: MIT
#include "io/Text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace nebelkamm {
namespace {

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

// The length of the valid sequence at bytes[at], 0 for none; -1 when it is
// cut off by the end.
int SequenceAt(std::string_view bytes, std::size_t at) {
    const unsigned c = Byte(bytes[at]);
    if (c < 0x80)
        return 1;
    int n = 0;
    unsigned lo = 0x80, hi = 0xBF; // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80;
        hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int i = 1; i < n; ++i) {
        if (at + i >= bytes.size())
            return -1;
        const unsigned b = Byte(bytes[at + i]);
        if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF))
            return 0;
    }
    return n;
}

void AppendCodePoint(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252's 0x80..0x9F; its five unassigned bytes read as the C1
// controls of the same number, as Windows itself reads them.
constexpr std::array<unsigned short, 32> Cp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A byte that is never UTF-8: where UTF-16 is not valid.
constexpr char NotUtf8 = '\xFF';

} // namespace

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Windows1252:
        return "Windows-1252";
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return "UTF-16";
    case TextEncoding::Utf8:
        break;
    }
    return "UTF-8";
}

bool ValidUtf8(std::string_view bytes, bool cutOff) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Runs of ASCII a word at a time.
        std::uint64_t word;
        if (i + 8 <= bytes.size()) {
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080u) == 0) {
                i += 8;
                continue;
            }
        }
        const int n = SequenceAt(bytes, i);
        if (n < 0)
            return cutOff;
        if (n == 0)
            return false;
        i += static_cast<std::size_t>(n);
    }
    return true;
}

void AppendValidUtf8(std::string& out, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const int n = SequenceAt(bytes, i);
        if (n > 0) {
            out.append(bytes.substr(i, static_cast<std::size_t>(n)));
            i += static_cast<std::size_t>(n);
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
}

void Utf8Source::Decide() {
    decided_ = true;
    char block[4096];
    while (pending_.size() < look_ && (pending_.empty() || !raw_.WouldWait())) {
        const std::size_t n = raw_.Read(block, std::min(sizeof block, look_ - pending_.size()));
        if (n == 0) {
            eof_ = true;
            break;
        }
        pending_.append(block, n);
    }
    const std::string_view start(pending_);
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
        encoding_ = start[0] == '\xFF' ? TextEncoding::Utf16LE : TextEncoding::Utf16BE;
        pending_.erase(0, 2);
    } else if (!ValidUtf8(start, !eof_)) {
        encoding_ = TextEncoding::Windows1252;
    }
}

TextEncoding Utf8Source::Encoding() {
    if (!decided_)
        Decide();
    return encoding_;
}

bool Utf8Source::Convert() {
    // Fewer than four bytes may not make a character of UTF-16 yet.
    if (pending_.size() < 4 && !eof_) {
        char block[1 << 16];
        const std::size_t n = raw_.Read(block, sizeof block);
        eof_ = n == 0;
        pending_.append(block, n);
    }
    if (pending_.empty())
        return false;
    out_.erase(0, given_);
    given_ = 0;
    std::size_t used = 0;
    if (encoding_ == TextEncoding::Windows1252) {
        for (const char c : pending_) {
            const unsigned b = Byte(c);
            AppendCodePoint(out_, b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b);
        }
        used = pending_.size();
    } else {
        const bool le = encoding_ == TextEncoding::Utf16LE;
        const auto unit = [&](std::size_t at) {
            const unsigned a = Byte(pending_[at]), b = Byte(pending_[at + 1]);
            return le ? a | b << 8 : a << 8 | b;
        };
        while (used + 2 <= pending_.size()) {
            const unsigned u = unit(used);
            if (u < 0xD800 || u > 0xDFFF) {
                AppendCodePoint(out_, u);
                used += 2;
                continue;
            }
            if (used + 4 > pending_.size() && !eof_)
                break; // the pair's second half is still to come
            const unsigned low = used + 4 <= pending_.size() ? unit(used + 2) : 0;
            if (u <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(out_, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                used += 4;
            } else {
                out_ += NotUtf8;
                used += 2;
            }
        }
        if (eof_ && used < pending_.size()) { // an odd byte at the end
            out_ += NotUtf8;
            used = pending_.size();
        }
    }
    pending_.erase(0, used);
    return true;
}

std::size_t Utf8Source::Read(char* to, std::size_t size) {
    if (!decided_)
        Decide();
    if (given_ == out_.size() && encoding_ == TextEncoding::Utf8) {
        if (!pending_.empty()) { // what was read ahead, then straight through
            const std::size_t n = std::min(size, pending_.size());
            std::memcpy(to, pending_.data(), n);
            pending_.erase(0, n);
            return n;
        }
        return eof_ ? 0 : raw_.Read(to, size);
    }
    while (given_ == out_.size())
        if (!Convert())
            return 0;
    const std::size_t n = std::min(size, out_.size() - given_);
    std::memcpy(to, out_.data() + given_, n);
    given_ += n;
    return n;
}

bool Utf8Source::WouldWait() const {
    if (!decided_ || given_ < out_.size() || !pending_.empty() || eof_)
        return false;
    return raw_.WouldWait();
}

} // namespace nebelkamm
