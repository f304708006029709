// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"
#include "core/Sweep.h"

class TChart;

// Puts a sweep on the chart: the classic water at the separator and, when
// the sweep holds it, the reference one beside it with a legend; each knee
// marked; the present point, when it lies in the range, marked on the
// classic curve and labelled with the reference's dew-point margin when
// there is one.
void ShowCondensate(TChart& chart, const nebelkamm::Sweep& sweep,
                    const nebelkamm::Evaluation& present);
