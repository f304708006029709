// SPDX-License-Identifier: MIT
#include "model/Chargeair.h"

#include "model/Exception.h"
#include "model/Formulas.h"

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
    const formulas::ClassicSteps<double> f = formulas::Classic(
        formulas::StdMath{}, in.RelativeHumidity, in.TempBeforeBlower, in.PressureBeforeBlower,
        in.ScavingAirPressure, in.TempAfterCooler, in.SpecificAirFlow, in.PowerOnEngine);
    s = ChargeAirSteps{10, f.ps1, f.A, f.x1, f.r, f.pv, f.tc, f.ps2, f.x2, f.dc, f.W};
    return !(NotFinite(f.y1) | NotFinite(f.a1) | NotFinite(f.pv) | NotFinite(f.tc) |
             NotFinite(f.y2) | NotFinite(f.a2) | NotFinite(f.d) | NotFinite(f.W)) &&
           f.pv > 0;
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
