// SPDX-License-Identifier: MIT
#pragma once

#include "io/Stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace nebelkamm {

enum class TextEncoding : std::uint8_t { Utf8, Windows1252, Utf16LE, Utf16BE };

// "UTF-8", "Windows-1252", "UTF-16".
const char* EncodingName(TextEncoding encoding);

// Whether the bytes are UTF-8 throughout; a sequence cut off at the end
// counts as valid when cutOff is set.
bool ValidUtf8(std::string_view bytes, bool cutOff = false);

// Appends the bytes as UTF-8: each byte that is not part of a valid
// sequence as U+FFFD.
void AppendValidUtf8(std::string& out, std::string_view bytes);

// Another source's text as UTF-8. Its encoding is decided from its start
// (up to lookAhead bytes, or less where the source would wait): a UTF-16
// byte-order mark, LE or BE, reads UTF-16 (the mark dropped); bytes that are
// not valid UTF-8 read as Windows-1252; else UTF-8 as it stands. UTF-16
// that is not valid (a lone surrogate, an odd last byte) gives bytes that
// are not UTF-8, so that the row they stand in fails.
class Utf8Source : public Source {
public:
    explicit Utf8Source(Source& raw, std::size_t lookAhead = std::size_t(1) << 16)
        : raw_(raw), look_(lookAhead) {}
    // Reads in an encoding decided before (a part of a file whose start
    // decided it); a UTF-16 byte-order mark is not looked for then.
    Utf8Source(Source& raw, TextEncoding encoding)
        : raw_(raw), look_(0), decided_(true), encoding_(encoding) {}
    std::size_t Read(char* to, std::size_t size) override;
    bool WouldWait() const override;
    // Reads ahead to decide when it has not yet.
    TextEncoding Encoding();

private:
    void Decide();
    bool Convert(); // more converted into out_; false at the end

    Source& raw_;
    std::size_t look_;
    bool decided_ = false, eof_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8;
    std::string pending_; // raw bytes not yet converted
    std::string out_;     // converted bytes not yet handed out
    std::size_t given_ = 0;
};

} // namespace nebelkamm
