// SPDX-License-Identifier: MIT
#include "model/Chargeair.h"

#include "model/Exception.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace nebelkamm {
namespace {

// Checked arithmetic with the semantics of a masked-underflow FPU whose
// zero-divide, invalid and overflow exceptions are unmasked. Quiet NaN
// operands propagate silently, as they do there. Every failure ends in a
// result that is not finite, so a finite result needs no further look: the
// diagnosis stays off the hot path.
[[gnu::noinline, gnu::cold]] double AddFailed(double a, double b, double r) {
    if (std::isinf(a) && std::isinf(b) && (a > 0) != (b > 0))
        throw EInvalidOp();
    if (std::isinf(r) && std::isfinite(a) && std::isfinite(b))
        throw EOverflow();
    return r;
}

[[gnu::noinline, gnu::cold]] double MulFailed(double a, double b, double r) {
    if ((a == 0 && std::isinf(b)) || (std::isinf(a) && b == 0))
        throw EInvalidOp();
    if (std::isinf(r) && std::isfinite(a) && std::isfinite(b))
        throw EOverflow();
    return r;
}

[[gnu::noinline, gnu::cold]] double DivFailed(double a, double b, double r) {
    if (b == 0 && !std::isnan(a)) {
        if (a == 0)
            throw EInvalidOp();
        throw EZeroDivide();
    }
    if (std::isinf(a) && std::isinf(b))
        throw EInvalidOp();
    if (std::isinf(r) && std::isfinite(a))
        throw EOverflow();
    return r;
}

inline double Add(double a, double b) {
    const double r = a + b;
    return std::isfinite(r) ? r : AddFailed(a, b, r);
}

inline double Sub(double a, double b) {
    return Add(a, -b);
}

inline double Mul(double a, double b) {
    const double r = a * b;
    return std::isfinite(r) ? r : MulFailed(a, b, r);
}

inline double Div(double a, double b) {
    const double r = a / b;
    return std::isfinite(r) ? r : DivFailed(a, b, r);
}

struct Library {
    const MathErrorHandler& report;

    [[gnu::noinline, gnu::cold]] void Report(const char* function, const char* kind) const {
        if (report)
            report(MathError{function, kind});
    }

    // The general power, deliberately not exp(): the base is 2.71828.
    double Pow(double base, double y) const {
        const double r = std::pow(base, y);
        if (std::isinf(r) && std::isfinite(base) && std::isfinite(y)) {
            Report("pow", "OVERFLOW");
            return std::numeric_limits<double>::infinity();
        }
        return r;
    }

    double Ln(double x) const {
        if (x == 0) {
            Report("log", "SING");
            return -std::numeric_limits<double>::infinity();
        }
        if (x < 0) {
            Report("log", "DOMAIN");
            return std::numeric_limits<double>::quiet_NaN();
        }
        return std::log(x);
    }

    // Saturation pressure of water vapour in bar at t °C.
    double SaturationPressure(double t) const {
        const double y = Sub(19.016, Div(4064.95, Add(t, 236.25)));
        return Mul(Pow(2.71828, y), 0.001);
    }
};

// 1 when the value is infinite or NaN, else 0: an integer test of its
// exponent, to be or-ed with others without a branch.
inline unsigned NotFinite(double v) {
    constexpr std::uint64_t exponent = 0x7FF0000000000000;
    return (std::bit_cast<std::uint64_t>(v) & exponent) == exponent ? 1u : 0u;
}

// The nine steps with plain arithmetic, each operation exactly as the
// checked path does it. The checked operations act only on a result that is
// not finite, and the library reports only a logarithm of 0 or less or a
// power that overflows. A result that is not finite carries on into every
// later one, except as a divisor (x / inf = 0), as the power's exponent
// (e^-inf = 0) or through the clamp of d. So it is enough to test the
// exponents y1 and y2, the divisors a1 and a2, pv (divisor and the
// logarithm's argument, which must be positive), d, and the results no
// later step uses, tc and W; x1, r and x2 reach pv or d. Only when a test
// fails does the checked path run. No test is taken before the end, so
// nothing waits on a branch.
bool Fast(const ChargeAirInputs& in, ChargeAirSteps& s) {
    // Both powers first: they depend on the inputs alone, so fewer values
    // have to live across the library calls.
    const double y1 = 19.016 - 4064.95 / (in.TempBeforeBlower + 236.25);
    const double y2 = 19.016 - 4064.95 / (in.TempAfterCooler + 236.25);
    const double ps1 = std::pow(2.71828, y1) * 0.001;
    const double ps2 = std::pow(2.71828, y2) * 0.001;
    const double A = 100.0 * in.PressureBeforeBlower / in.RelativeHumidity;
    const double a1 = A - ps1;
    const double x1 = ps1 / a1 * 0.622;
    const double r = (in.ScavingAirPressure + in.PressureBeforeBlower) / in.PressureBeforeBlower;
    const double pv = r * x1 / (0.622 + x1) * 1000.0;
    const double a2 = r - ps2;
    const double x2 = ps2 / a2 * 0.622;
    const double d = x1 - x2;
    const double dc = d >= 0 ? d : +0.0;
    const double W = in.SpecificAirFlow * in.PowerOnEngine * dc;
    const double tc = 4064.95 / (19.016 - std::log(pv)) - 236.25;
    s = ChargeAirSteps{10, ps1, A, x1, r, pv, tc, ps2, x2, dc, W};
    return !(NotFinite(y1) | NotFinite(a1) | NotFinite(pv) | NotFinite(tc) | NotFinite(y2) |
             NotFinite(a2) | NotFinite(d) | NotFinite(W)) &&
           pv > 0;
}

} // namespace

ChargeAirResults ComputeChargeAir(const ChargeAirInputs& in, const MathErrorHandler& onMathError,
                                  ChargeAirSteps* steps) {
    // Intermediates live in registers; the caller's record is filled once,
    // at the end or on the way out of a failure.
    ChargeAirSteps s;
    if (Fast(in, s)) {
        if (steps)
            *steps = s;
        return ChargeAirResults{s.x1, s.r, s.tc, s.x2, s.d, s.W};
    }
    s = ChargeAirSteps{};
    const Library lib{onMathError};
    try {
        s.Step = 1;
        s.ps1 = lib.SaturationPressure(in.TempBeforeBlower);
        s.Step = 2;
        s.A = Div(Mul(100.0, in.PressureBeforeBlower), in.RelativeHumidity);
        s.Step = 3;
        s.x1 = Mul(Div(s.ps1, Sub(s.A, s.ps1)), 0.622);
        s.Step = 4;
        s.r = Div(Add(in.ScavingAirPressure, in.PressureBeforeBlower), in.PressureBeforeBlower);
        s.Step = 5;
        s.pv = Mul(Div(Mul(s.r, s.x1), Add(0.622, s.x1)), 1000.0);
        s.tc = Sub(Div(4064.95, Sub(19.016, lib.Ln(s.pv))), 236.25);
        s.Step = 6;
        s.ps2 = lib.SaturationPressure(in.TempAfterCooler);
        s.Step = 7;
        s.x2 = Mul(Div(s.ps2, Sub(s.r, s.ps2)), 0.622);
        s.Step = 8;
        s.d = Sub(s.x1, s.x2);
        if (!(s.d >= 0)) // a NaN difference is clamped too
            s.d = +0.0;
        s.Step = 9;
        s.W = Mul(Mul(in.SpecificAirFlow, in.PowerOnEngine), s.d);
        s.Step = 10;
    } catch (...) {
        if (steps)
            *steps = s;
        throw;
    }
    if (steps)
        *steps = s;
    return ChargeAirResults{s.x1, s.r, s.tc, s.x2, s.d, s.W};
}

} // namespace nebelkamm
