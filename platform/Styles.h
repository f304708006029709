// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <cstdint>

namespace nebelkamm {
Q_NAMESPACE

// Pen styles in the order forms store them.
enum TPenStyle : std::uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
Q_ENUM_NS(TPenStyle)

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };
Q_ENUM_NS(TBrushStyle)

// How a control lays itself out in its parent.
enum TAlign : std::uint8_t { alNone, alClient };
Q_ENUM_NS(TAlign)

} // namespace nebelkamm
