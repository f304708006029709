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

// Where a result is far enough from a threshold that Evaluate, whose power
// and logarithm differ from these by a few units in the last place, is on
// the same side of it.
constexpr double Margin = 1e-9;
// Below this the results overflow nowhere, per day included.
constexpr double Huge = 1e300;

M Finite(const D d, V v) {
    return hn::Eq(hn::Sub(v, v), hn::Zero(d));
}

M Within(const D d, V v, double low, double high) {
    return hn::And(hn::Ge(v, hn::Set(d, low)), hn::Le(v, hn::Set(d, high)));
}

// Inputs that Evaluate would not refuse.
M Possible(const D d, const V* in) {
    const V zero = hn::Zero(d);
    V sum = zero;
    for (int k = 0; k < 7; ++k)
        sum = hn::Add(sum, hn::Mul(zero, in[k]));
    M ok = hn::Eq(sum, zero); // every input finite
    ok = hn::And(ok, hn::Gt(in[0], zero));
    ok = hn::And(ok, hn::Le(in[0], hn::Set(d, 100.0)));
    ok = hn::And(ok, hn::Ge(in[1], hn::Set(d, -273.15)));
    ok = hn::And(ok, hn::Gt(in[2], zero));
    ok = hn::And(ok, hn::Ge(in[3], zero));
    ok = hn::And(ok, hn::Ge(in[4], hn::Set(d, -273.15)));
    ok = hn::And(ok, hn::Ge(in[5], zero));
    return hn::And(ok, hn::Ge(in[6], zero));
}

// The classic results into out[0..6]; the mask of rows where they are
// surely Evaluate's, without a message.
M Classic(const VecMath& m, const V* in, V* out) {
    const D d = m.d;
    const auto s = formulas::Classic(m, in[0], in[1], in[2], in[3], in[4], in[5], in[6]);
    const V denominator = hn::Sub(m.C(19.016), m.Ln(s.pv));
    M ok = hn::And(Within(d, s.y1, -700, 700), Within(d, s.y2, -700, 700));
    ok = hn::And(ok, Finite(d, s.A));
    ok = hn::And(ok, hn::Gt(s.a1, hn::Mul(s.A, m.C(Margin))));
    ok = hn::And(ok, hn::Gt(s.a2, hn::Mul(s.r, m.C(Margin))));
    ok = hn::And(ok, Finite(d, s.x1));
    ok = hn::And(ok, Finite(d, s.x2));
    ok = hn::And(ok, Within(d, s.pv, 2.2250738585072014e-308, Huge));
    ok = hn::And(ok, hn::Gt(hn::Abs(denominator), m.C(Margin)));
    ok = hn::And(ok, Finite(d, s.tc));
    ok = hn::And(ok, Finite(d, s.d));
    ok = hn::And(ok, hn::Lt(hn::Abs(s.W), m.C(Huge)));
    out[0] = s.x1;
    out[1] = s.r;
    out[2] = s.tc;
    out[3] = s.x2;
    out[4] = s.dc;
    out[5] = s.W;
    out[6] = hn::Div(hn::Mul(s.W, m.C(24)), m.C(1000));
    return ok;
}

// The dew point in kelvin by Newton's method, each row stopping by the
// scalar rule; `ok` is cleared where it does not converge soon.
V DewPoint(const VecMath& m, V pw, V p, M& ok) {
    using namespace formulas::reference;
    const D d = m.d;
    V T = DewPointStart(m, pw, p);
    const M sensible =
        hn::And(hn::Gt(T, m.C(Kelvin + MinCelsius - 50)), hn::Lt(T, m.C(Kelvin + MaxCelsius + 50)));
    T = hn::IfThenElse(sensible, T, m.C(Kelvin + 20));
    const V target = m.Ln(pw);
    M active = ok;
    M converged = hn::And(ok, hn::Not(ok));
    // Fewer steps than the scalar loop allows: a row that needs so many is
    // left to it, which then decides whether it converges.
    for (int i = 0; i < DewPointSteps - 10 && !hn::AllFalse(d, active); ++i) {
        const V step = formulas::reference::DewPointStep(m, T, target, p);
        const M finite = Finite(d, step);
        T = hn::IfThenElse(active, hn::Sub(T, step), T);
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
M Reference(const VecMath& m, const V* in, bool humid, V* out) {
    using namespace formulas::reference;
    const D d = m.d;
    const V phi = hn::Div(in[0], m.C(100));
    const V p1 = hn::Mul(in[2], m.C(PascalPerBar));
    const V pc = hn::Mul(hn::Add(in[2], in[3]), m.C(PascalPerBar));
    const V below = m.C(1 - Margin);
    M ok =
        hn::And(Within(d, in[1], MinCelsius, MaxCelsius), Within(d, in[4], MinCelsius, MaxCelsius));
    ok = hn::And(ok, Within(d, pc, 0, Huge));

    const V T1 = hn::Add(in[1], m.C(Kelvin)), T2 = hn::Add(in[4], m.C(Kelvin));
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
    ok = hn::And(ok, Within(d, pwc, 1e-300, Huge));
    const V dew = hn::Sub(DewPoint(m, pwc, pc, ok), m.C(Kelvin));
    ok = hn::And(ok, Within(d, dew, MinCelsius + 1e-6, MaxCelsius - 1e-6));

    const V diff = hn::Sub(x1, x2);
    const V dc = hn::IfThenElseZero(hn::Gt(diff, hn::Zero(d)), diff);
    const V flow = hn::Mul(in[5], in[6]);
    const V dryAir = hn::Div(flow, humid ? hn::Add(m.C(1), x1) : m.C(1));
    const V W = hn::Mul(dryAir, dc);
    ok = hn::And(ok, hn::Lt(hn::Abs(W), m.C(Huge)));
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
void EvaluateRows(const double* const* in, std::size_t count, int reference, double lnBase,
                  double* const* out, std::uint8_t* bad) {
    const D d;
    const VecMath m{d, hn::Set(d, lnBase)};
    const std::size_t N = hn::Lanes(d);
    HWY_ALIGN double flags[HWY_MAX_BYTES / sizeof(double)];
    for (std::size_t i = 0; i < count; i += N) {
        V v[7], r[15];
        for (int k = 0; k < 7; ++k)
            v[k] = hn::LoadU(d, in[k] + i);
        M ok = hn::And(Possible(d, v), Classic(m, v, r));
        if (reference >= 0)
            ok = hn::And(ok, Reference(m, v, reference == 0, r + 7));
        const int results = reference >= 0 ? 15 : 7;
        for (int j = 0; j < results; ++j)
            hn::StoreU(r[j], d, out[j] + i);
        if (hn::AllTrue(d, ok))
            continue;
        hn::Store(hn::IfThenZeroElse(ok, hn::Set(d, 1.0)), d, flags);
        for (std::size_t l = 0; l < N; ++l)
            bad[i + l] = flags[l] != 0;
    }
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
