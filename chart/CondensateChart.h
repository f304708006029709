// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"
#include "core/Sweep.h"

#include "platform/ChartDrawing.h"

#include <QString>

// The chart of a sweep: the classic water at the separator and, when
// the sweep holds it, the reference one beside it with a legend; each knee
// marked with its value and unit; a curve that never condenses in the range
// says so instead; the present point, when it lies in the range, marked on
// the classic curve and labelled with the reference's dew-point margin when
// there is one; the seven inputs in one line at the top.
nebelkamm::ChartContent CondensateChart(const nebelkamm::Sweep& sweep,
                                        const nebelkamm::Evaluation& present);

// The chart of a point that could not be computed: the swept range, no
// curve, the reason in its place, the seven inputs at the top.
nebelkamm::ChartContent FailureChart(const nebelkamm::Column& swept,
                                     const nebelkamm::SweepRange& range,
                                     const nebelkamm::ChargeAirInputs& inputs, const QString& why);

// The seven inputs in one line: "φ 90.0 %, t1 37.0 °C, ...".
QString OperatingPoint(const nebelkamm::ChargeAirInputs& inputs);
