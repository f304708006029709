// SPDX-License-Identifier: MIT
// The evaluation of many rows: blocks of rows gathered into columns, both
// models as vector expressions compiled for several instruction sets and
// chosen at run time, every row that could fail handed to Evaluate.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/Kernel.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include "core/Kernel.h"

#include <cstddef>
#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace nebelkamm::kernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

namespace formulas {
#include "model/Formulas-inl.h"
} // namespace formulas

using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;
using M = hn::Mask<D>;

// The maths of many rows: Highway's exponential and logarithm, the power of
// the base 2.71828 as exp(y · ln 2.71828).
struct VecMath {
    D d;
    V lnBase;
    V C(double c) const { return hn::Set(d, c); }
    V Pow(V y) const { return hn::Exp(d, hn::Mul(y, lnBase)); }
    V Ln(V x) const { return hn::Log(d, x); }
    V Exp(V x) const { return hn::Exp(d, x); }
    V ZeroUnlessAtLeastZero(V x) const { return hn::IfThenElseZero(hn::Ge(x, hn::Zero(d)), x); }
};

// The fast path takes a row only where Evaluate surely gives it no message
// and its numbers lie within the bound: away from every threshold, and
// where no difference of nearly equal amounts amplifies the few units in
// the last place by which the exponential and logarithm here differ from
// the C library's. A difference must keep this share of its larger side.
constexpr double Share = 0.05;
// The dew point's denominator 19.016 - ln pv stays above this (the dew point
// below about 3800 °C).
constexpr double MinDenominator = 1;
// Below this the results overflow nowhere, per day included.
constexpr double Huge = 1e300;
// Above this every result keeps its full precision: the subnormal numbers
// below the smallest normal one round coarser.
constexpr double Tiny = 1e-290;

HWY_INLINE M Finite(const D d, V v) {
    return hn::Eq(hn::Sub(v, v), hn::Zero(d));
}

HWY_INLINE M Within(const D d, V v, double low, double high) {
    return hn::And(hn::Ge(v, hn::Set(d, low)), hn::Le(v, hn::Set(d, high)));
}

// A water flow of 0, or far from overflow and from the subnormal numbers
// (NaN fails).
HWY_INLINE M FullPrecision(const D d, V w) {
    const V a = hn::Abs(w);
    return hn::Or(hn::Eq(a, hn::Zero(d)), Within(d, a, Tiny, Huge));
}

// The ranges of the inputs that the fast path takes; the rest, every input
// Evaluate refuses among them, are left to Evaluate. Within them every step
// of the classic model stays far from overflow and from the subnormal
// numbers, so that only the physical limits need a test of their own:
// above -180 °C, 1/(t + 236.25) ≤ 1/56.25 and the powers' exponents lie in
// [-53.3, 19.02]; the water contents then lie in [1e-179, 12], pv in
// [1e-176, 1e159], the water flow below 2e101.
constexpr double LowestCelsius = -180, HighestCelsius = 1e150;
constexpr double MinHumidity = 1e-100;
constexpr double MinPressure = 1e-50, MaxAmount = 1e50;

// A point well inside them.
constexpr double AnyPoint[] = {50, 20, 1, 1, 20, 7, 10000};

// Inputs within those ranges (NaN and the infinities fail).
HWY_INLINE M Possible(const D d, const V* in) {
    M ok = Within(d, in[0], MinHumidity, 100);
    ok = hn::And(ok, Within(d, in[1], LowestCelsius, HighestCelsius));
    ok = hn::And(ok, Within(d, in[2], MinPressure, MaxAmount));
    ok = hn::And(ok, Within(d, in[3], 0, MaxAmount));
    ok = hn::And(ok, Within(d, in[4], LowestCelsius, HighestCelsius));
    ok = hn::And(ok, Within(d, in[5], 0, MaxAmount));
    return hn::And(ok, Within(d, in[6], 0, MaxAmount));
}

// The classic results into out[0..6]; the mask of rows where they are
// surely Evaluate's, without a message. The model's nine steps, rearranged
// to take fewer divisions, the slowest vector operation, and to wait less
// on each other: 1/p1 from the inputs alone, and pv = r·x1/(0.622 + x1)·1000
// as 10·ps1·φ·r/p1, which it is since a1 + ps1·φ = 100·p1. Each result
// within a few units in the last place of the steps as written.
HWY_INLINE M Classic(const VecMath& m, const V* in, V* out) {
    const D d = m.d;
    const V phi = in[0], t1 = in[1], p1 = in[2], ps = in[3], t2 = in[4];
    // 1/(t1 + 236.25) and 1/(t2 + 236.25) from one division.
    const V u1 = hn::Add(t1, m.C(236.25)), u2 = hn::Add(t2, m.C(236.25));
    const V inverse = hn::Div(m.C(1), hn::Mul(u1, u2));
    const V inverseP1 = hn::Div(m.C(1), p1);
    const V y1 = hn::NegMulAdd(m.C(4064.95), hn::Mul(u2, inverse), m.C(19.016));
    const V y2 = hn::NegMulAdd(m.C(4064.95), hn::Mul(u1, inverse), m.C(19.016));
    const V ps1 = hn::Mul(m.Pow(y1), m.C(0.001));
    const V ps2 = hn::Mul(m.Pow(y2), m.C(0.001));
    const V r = hn::Mul(hn::Add(ps, p1), inverseP1);
    // x1 = ps1·φ·0.622 / (100·p1 - ps1·φ) and x2 = ps2·0.622 / (r - ps2),
    // both from one division.
    const V vapour = hn::Mul(ps1, phi);
    const V hundredP1 = hn::Mul(m.C(100), p1);
    const V a1 = hn::Sub(hundredP1, vapour);
    const V a2 = hn::Sub(r, ps2);
    const V inverseA = hn::Div(m.C(0.622), hn::Mul(a1, a2));
    const V x1 = hn::Mul(hn::Mul(vapour, a2), inverseA);
    const V x2 = hn::Mul(hn::Mul(ps2, a1), inverseA);
    const V pv = hn::Mul(hn::Mul(hn::Mul(vapour, m.C(10)), r), inverseP1);
    const V diff = hn::Sub(x1, x2);
    const V dc = m.ZeroUnlessAtLeastZero(diff);
    const V W = hn::Mul(hn::Mul(in[5], in[6]), dc);
    const V denominator = hn::Sub(m.C(19.016), m.Ln(pv));
    const V tc = hn::Sub(hn::Div(m.C(4064.95), denominator), m.C(236.25));

    // Both water contents surely above 0 in the model too, and below
    // 0.622/Share; a dew point far from its pole; a water flow of 0 or a
    // normal number.
    M ok = hn::And(hn::Gt(a1, hn::Mul(hundredP1, m.C(Share))), hn::Gt(a2, hn::Mul(r, m.C(Share))));
    ok = hn::And(ok, hn::Gt(hn::Abs(denominator), m.C(MinDenominator)));
    ok = hn::And(ok, hn::Or(hn::Eq(W, hn::Zero(d)), hn::Ge(W, m.C(Tiny))));
    out[0] = x1;
    out[1] = r;
    out[2] = tc;
    out[3] = x2;
    out[4] = dc;
    out[5] = W;
    out[6] = hn::Mul(W, m.C(24.0 / 1000));
    return ok;
}

// Newton's step on ln(f·p_ws) = target at T, as the model takes it, with
// the reciprocals of T, p_ws and the pressure p (given) in place of five of
// its divisions: the function whose root it finds is the model's, evaluated
// with the model's own terms; only the slope, which decides how fast it
// gets there, is rounded differently.
HWY_INLINE V DewPointStep(const VecMath& m, V T, V target, V p, V inverseP) {
    using namespace formulas::reference;
    const V lnS = LnSaturation(m, T);
    const V pws = m.Exp(lnS);
    const V inverseT = hn::Div(m.C(1), T), inversePws = hn::Div(m.C(1), pws);
    const V slope = hn::Add(
        hn::Mul(hn::Mul(m.C(-C8), inverseT), inverseT),
        hn::Add(hn::Add(m.C(C10),
                        hn::Mul(T, hn::Add(m.C(2 * C11), hn::Mul(hn::Mul(T, m.C(3)), m.C(C12))))),
                hn::Mul(m.C(C13), inverseT)));
    const V alpha = Alpha(m, T), beta = Beta(m, T);
    const V alphaSlope =
        hn::Add(m.C(A1), hn::Mul(T, hn::Add(m.C(2 * A2), hn::Mul(hn::Mul(T, m.C(3)), m.C(A3)))));
    const V betaSlope = hn::Mul(
        beta,
        hn::Add(m.C(B1), hn::Mul(T, hn::Add(m.C(2 * B2), hn::Mul(hn::Mul(T, m.C(3)), m.C(B3))))));
    const V pwsSlope = hn::Mul(pws, slope);
    const V dry = hn::Sub(m.C(1), hn::Mul(pws, inverseP)); // 1 - p_ws/p
    const V wet = hn::Sub(hn::Mul(p, inversePws), m.C(1)); // p/p_ws - 1
    const V lnF = hn::Add(hn::Mul(alpha, dry), hn::Mul(beta, wet));
    const V lnFSlope = hn::Sub(
        hn::Add(hn::Sub(hn::Mul(alphaSlope, dry), hn::Mul(hn::Mul(alpha, pwsSlope), inverseP)),
                hn::Mul(betaSlope, wet)),
        hn::Mul(hn::Mul(hn::Mul(beta, p), pwsSlope), hn::Mul(inversePws, inversePws)));
    return hn::Div(hn::Sub(hn::Add(lnS, lnF), target), hn::Add(slope, lnFSlope));
}

// The dew point in kelvin by Newton's method, each row stopping by the
// scalar rule; `ok` is cleared where it does not converge soon.
HWY_INLINE V DewPoint(const VecMath& m, V pw, V p, M& ok) {
    using namespace formulas::reference;
    const D d = m.d;
    V T = DewPointStart(m, pw, p);
    const M sensible =
        hn::And(hn::Gt(T, m.C(Kelvin + MinCelsius - 50)), hn::Lt(T, m.C(Kelvin + MaxCelsius + 50)));
    T = hn::IfThenElse(sensible, T, m.C(Kelvin + 20));
    const V target = m.Ln(pw);
    const V inverseP = hn::Div(m.C(1), p);
    M active = ok;
    M converged = hn::And(ok, hn::Not(ok));
    // Fewer steps than the scalar loop allows: a row that needs so many is
    // left to it, which then decides whether it converges.
    for (int i = 0; i < DewPointSteps - 10 && !hn::AllFalse(d, active); ++i) {
        const V step = DewPointStep(m, T, target, p, inverseP);
        const M finite = Finite(d, step);
        T = hn::IfThenElse(hn::And(active, finite), hn::Sub(T, step), T);
        const M sane = hn::And(finite, hn::Gt(T, m.C(1)));
        const M stop = hn::And(sane, hn::Lt(hn::Abs(step), m.C(DewPointTolerance)));
        converged = hn::Or(converged, hn::And(active, stop));
        active = hn::And(active, hn::AndNot(stop, sane));
    }
    ok = converged;
    return T;
}

// The reference results into out[0..7]; the mask of rows where they are
// surely Evaluate's, without a message.
HWY_INLINE M Reference(const VecMath& m, const V* in, bool humid, V* out) {
    using namespace formulas::reference;
    const D d = m.d;
    const V phi = hn::Div(in[0], m.C(100));
    const V p1 = hn::Mul(in[2], m.C(PascalPerBar));
    const V pc = hn::Mul(hn::Add(in[2], in[3]), m.C(PascalPerBar));
    const V below = m.C(1 - Share);
    const M temperatures =
        hn::And(Within(d, in[1], MinCelsius, MaxCelsius), Within(d, in[4], MinCelsius, MaxCelsius));
    M ok = hn::And(temperatures, hn::And(Within(d, p1, 0, Huge), Within(d, pc, 0, Huge)));

    // Outside its range of temperatures the exponentials' arguments may be
    // NaN (infinity minus infinity); those rows are Evaluate's anyway.
    const V room = m.C(Kelvin + 20);
    const V T1 = hn::IfThenElse(temperatures, hn::Add(in[1], m.C(Kelvin)), room);
    const V T2 = hn::IfThenElse(temperatures, hn::Add(in[4], m.C(Kelvin)), room);
    const V pws1 = m.Exp(LnSaturation(m, T1));
    ok = hn::And(ok, hn::Lt(pws1, hn::Mul(p1, below)));
    const V pw1 = hn::Mul(hn::Mul(phi, Enhancement(m, T1, pws1, p1)), pws1);
    ok = hn::And(ok, hn::Lt(pw1, hn::Mul(p1, below)));
    const V x1 = hn::Div(hn::Mul(m.C(Epsilon), pw1), hn::Sub(p1, pw1));

    const V pws2 = m.Exp(LnSaturation(m, T2));
    ok = hn::And(ok, hn::Lt(pws2, hn::Mul(pc, below)));
    const V pw2 = hn::Mul(Enhancement(m, T2, pws2, pc), pws2);
    ok = hn::And(ok, hn::Lt(pw2, hn::Mul(pc, below)));
    const V x2 = hn::Div(hn::Mul(m.C(Epsilon), pw2), hn::Sub(pc, pw2));

    const V pwc = hn::Div(hn::Mul(pc, x1), hn::Add(m.C(Epsilon), x1));
    ok = hn::And(ok, Within(d, pwc, Tiny, Huge));
    ok = hn::And(ok, hn::And(hn::Ge(x1, m.C(Tiny)), hn::Ge(x2, m.C(Tiny))));
    const V dew = hn::Sub(DewPoint(m, pwc, pc, ok), m.C(Kelvin));
    ok = hn::And(ok, Within(d, dew, MinCelsius + 1e-6, MaxCelsius - 1e-6));

    const V diff = hn::Sub(x1, x2);
    const V dc = hn::IfThenElseZero(hn::Gt(diff, hn::Zero(d)), diff);
    const V flow = hn::Mul(in[5], in[6]);
    const V dryAir = hn::Div(flow, humid ? hn::Add(m.C(1), x1) : m.C(1));
    const V W = hn::Mul(dryAir, dc);
    ok = hn::And(ok, FullPrecision(d, W));
    out[0] = x1;
    out[1] = hn::Add(in[2], in[3]);
    out[2] = dew;
    out[3] = x2;
    out[4] = dc;
    out[5] = W;
    out[6] = hn::Div(hn::Mul(W, m.C(24)), m.C(1000));
    out[7] = hn::Sub(in[4], dew);
    return ok;
}

// Rows [0, count) of the block's input columns (count a multiple of the
// lanes, padded) into its result columns: 7 classic, then 8 reference when
// asked for. bad[i] becomes 1 where Evaluate has to do the row.
// Marks the rows of a vector that Evaluate has to do.
HWY_INLINE void MarkBad(const D d, M ok, std::uint8_t* bad) {
    if (hn::AllTrue(d, ok))
        return;
    HWY_ALIGN double flags[HWY_MAX_BYTES / sizeof(double)];
    hn::Store(hn::IfThenZeroElse(ok, hn::Set(d, 1.0)), d, flags);
    for (std::size_t l = 0; l < hn::Lanes(d); ++l)
        bad[l] |= flags[l] != 0;
}

// One model over the rows, a loop of its own so that each keeps its values
// in registers.
template <class Model>
HWY_INLINE void Rows(const D d, const double* const* in, std::size_t count, double* const* out,
                     int results, std::uint8_t* bad, const Model& model) {
    for (std::size_t i = 0; i < count; i += hn::Lanes(d)) {
        V v[7], r[8];
        for (int k = 0; k < 7; ++k)
            v[k] = hn::LoadU(d, in[k] + i);
        const M possible = Possible(d, v);
        // The rows left to Evaluate get an ordinary point here, so that no
        // NaN reaches the exponential: its conversion to an integer is
        // undefined for NaN in the portable code.
        if (!hn::AllTrue(d, possible))
            for (int k = 0; k < 7; ++k)
                v[k] = hn::IfThenElse(possible, v[k], hn::Set(d, AnyPoint[k]));
        const M ok = hn::And(possible, model(v, r));
        for (int j = 0; j < results; ++j)
            hn::StoreU(r[j], d, out[j] + i);
        MarkBad(d, ok, bad + i);
    }
}

// Rows [0, count) of the block's input columns (count a multiple of the
// lanes, padded) into its result columns: 7 classic, then 8 reference when
// asked for. bad[i] becomes 1 where Evaluate has to do the row.
void EvaluateRows(const double* const* in, std::size_t count, int reference, double lnBase,
                  double* const* out, std::uint8_t* bad) {
    const D d;
    const VecMath m{d, hn::Set(d, lnBase)};
    Rows(d, in, count, out, 7, bad, [&m](const V* v, V* r) { return Classic(m, v, r); });
    if (reference >= 0)
        Rows(d, in, count, out + 7, 8, bad,
             [&m, reference](const V* v, V* r) { return Reference(m, v, reference == 0, r); });
}

std::int64_t KernelTarget() {
    return HWY_TARGET;
}

} // namespace HWY_NAMESPACE
} // namespace nebelkamm::kernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <cmath>

namespace nebelkamm::kernel {

HWY_EXPORT(EvaluateRows);
HWY_EXPORT(KernelTarget);

std::int64_t Target() {
    return HWY_DYNAMIC_DISPATCH(KernelTarget)();
}

void EvaluateBlock(const double* const* in, std::size_t count, int reference, double* const* out,
                   std::uint8_t* bad) {
    static const double lnBase = std::log(2.71828);
    HWY_DYNAMIC_DISPATCH(EvaluateRows)(in, count, reference, lnBase, out, bad);
}

} // namespace nebelkamm::kernel
#endif
