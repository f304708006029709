// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"
#include "core/Sweep.h"
#include "model/Exception.h"

#include <string>

namespace nebelkamm {

// The file format of a plot by its name's extension, in any case: "png",
// "svg" or "pdf". Throws EUsageError for another.
std::string CheckPlotName(const std::string& path);

// Draws the chart of a sweep, the present point marked, through the
// plotting plugin (loaded only now, so that the command line otherwise
// needs no GUI toolkit) and writes it to path with WriteFileReplacing.
// Throws EPlotUnavailable, EUsageError, ECreateError or EOutputError.
void PlotSweep(const std::string& path, const Sweep& sweep, const Evaluation& present);

} // namespace nebelkamm
