// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"
#include "core/Sweep.h"

#include <QtPlugin>

#include <string>

// What the command line asks of its plotting plugin, which alone brings the
// GUI toolkit in, and only for --plot.
class PlotInterface {
public:
    virtual ~PlotInterface() = default;
    // The chart of a sweep (the water at the separator over the swept input,
    // each knee marked, the present point when it lies in the range) as the
    // bytes of a file in one of the chart formats ("png"). Throws
    // EOutputError when it cannot be drawn.
    virtual std::string Render(const nebelkamm::Sweep& sweep, const nebelkamm::Evaluation& present,
                               const std::string& format) = 0;
};

#define NebelkammPlotInterface_iid "org.nebelkamm.PlotInterface/2"
Q_DECLARE_INTERFACE(PlotInterface, NebelkammPlotInterface_iid)
