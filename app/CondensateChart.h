// SPDX-License-Identifier: MIT
#pragma once

#include "model/Reference.h"
#include "settings/Curve.h"

#include <optional>

class TChart;

// Puts a condensate curve on the chart: the classic water at the separator
// and, when the curve holds it, the reference one beside it with a legend;
// each knee marked. present, when given, is marked on the classic curve,
// labelled with the reference's dew-point margin when there is one.
void ShowCondensate(TChart& chart, const nebelkamm::CondensateCurve& curve,
                    std::optional<double> present,
                    const std::optional<nebelkamm::ReferenceResults>& reference);
