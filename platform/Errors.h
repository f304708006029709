// SPDX-License-Identifier: MIT
#pragma once

#include "model/Exception.h"

#include <string>
#include <string_view>

namespace nebelkamm {

// The error box's text: a full stop is appended when the message's last
// character sorts after the full stop, so "!" and "." stay as they are.
inline std::string ExceptionDisplayText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace nebelkamm
