// SPDX-License-Identifier: MIT
#pragma once

// How far a number of many rows evaluated at once may lie from Evaluate's.

#include "core/Columns.h"
#include "core/Evaluation.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace nebelkamm::bound {

// What a result is judged against besides its own size: the amounts a
// water content is the difference of, a temperature's distance from
// absolute zero.
inline double Scale(const Column& c, const Evaluation& e) {
    const std::string_view key = c.Key;
    const bool reference = c.Group == ColumnGroup::Reference;
    const double x1 =
        reference ? e.Reference.WaterContentBeforeBlower : e.Classic.WaterContentBeforeBlower;
    const double flow = e.Inputs.SpecificAirFlow * e.Inputs.PowerOnEngine;
    if (key.ends_with("WaterPerDay"))
        return WaterPerDay(flow * x1);
    if (key.ends_with("WaterAtSeparator"))
        return flow * x1;
    if (key.find("Water") != std::string_view::npos)
        return x1;
    if (key.ends_with("Temperature") || key.ends_with("Margin"))
        return 273.15;
    return 0;
}

// Whether got is within rel·(|value| + scale) of Evaluate's value (rel
// 1e-12 classic, 1e-11 reference), or its very bits when exact.
inline bool WithinBound(const Column& c, double got, const Evaluation& e, bool exact) {
    const double want = c.Value(e);
    if (std::memcmp(&got, &want, sizeof got) == 0)
        return true;
    const double rel = c.Group == ColumnGroup::Reference ? 1e-11 : 1e-12;
    return !exact && std::fabs(got - want) <= rel * (std::fabs(want) + Scale(c, e));
}

} // namespace nebelkamm::bound
