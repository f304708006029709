// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "model/Reference.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace nebelkamm {

// Draws WaterAtSeparator over a swept input into file (PNG, SVG or PDF by
// its extension) through the plotting library, which is loaded only for
// this, so that the command line needs no GUI toolkit otherwise; with a
// basis, the reference curve beside it. Returns an exit status; messages go
// to err.
int PlotSweep(const std::string& file, const ChargeAirInputs& base, const std::string& key,
              double from, double to, double step, std::optional<AirBasis> reference,
              std::ostream& err);

} // namespace nebelkamm
