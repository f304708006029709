// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"

#include <cstddef>

// The plotting module's one entry, looked up by name after dlopen: draws
// WaterAtSeparator over the input named key, stepped from `from` to `to`,
// into file (PNG, SVG or PDF by its extension); reference is an AirBasis for
// the reference curve beside it, or -1 for none. Returns 1 on success, else
// 0 with the reason in message.
extern "C" {
using PlotSweepFunction = int (*)(const char* file, const nebelkamm::ChargeAirInputs* base,
                                  const char* key, double from, double to, double step,
                                  int reference, char* message, std::size_t messageSize);
}
inline constexpr const char* PlotSweepSymbol = "nebelkamm_plot_sweep_v2";
