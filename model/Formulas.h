// SPDX-License-Identifier: MIT
#pragma once

// The formulas of both models for one point, with the C library's power,
// logarithm and exponential; the many-point kernel evaluates the same
// templates over vectors.

#include <cmath>

namespace nebelkamm::formulas {

// The maths of one point: the C library's functions.
struct StdMath {
    static double C(double c) { return c; }
    // The general power, deliberately not exp(): the base is 2.71828.
    static double Pow(double y) { return std::pow(2.71828, y); }
    static double Ln(double x) { return std::log(x); }
    static double Exp(double x) { return std::exp(x); }
    static double ZeroUnlessAtLeastZero(double d) { return d >= 0 ? d : +0.0; }
};

#include "model/Formulas-inl.h" // IWYU pragma: export

} // namespace nebelkamm::formulas
