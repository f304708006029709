// SPDX-License-Identifier: MIT
// The formulas of both models as templates over their arithmetic, without
// an include guard: model/Formulas.h includes them once for one point, the
// many-point kernel once in the namespace of each instruction set it is
// compiled for, so that the vector operations inline there. A maths policy
// M gives the constants (C), the functions (Pow of the base 2.71828, Ln,
// Exp) and the clamp of the condensing water.

// NOLINTBEGIN(llvm-header-guard)
// The classic model's nine steps with plain arithmetic: no checks, no
// reports. Whoever uses them tests the values that can fail.
template <class V> struct ClassicSteps {
    V y1, y2, ps1, ps2, A, a1, x1, r, pv, a2, x2, d, dc, W, tc;
};

template <class M, class V>
inline ClassicSteps<V> Classic(const M& m, V phi, V t1, V p1, V ps, V t2, V flow, V power) {
    ClassicSteps<V> s;
    // Both powers first: they depend on the inputs alone, so fewer values
    // have to live across the library calls.
    s.y1 = m.C(19.016) - m.C(4064.95) / (t1 + m.C(236.25));
    s.y2 = m.C(19.016) - m.C(4064.95) / (t2 + m.C(236.25));
    s.ps1 = m.Pow(s.y1) * m.C(0.001);
    s.ps2 = m.Pow(s.y2) * m.C(0.001);
    s.A = m.C(100.0) * p1 / phi;
    s.a1 = s.A - s.ps1;
    s.x1 = s.ps1 / s.a1 * m.C(0.622);
    s.r = (ps + p1) / p1;
    s.pv = s.r * s.x1 / (m.C(0.622) + s.x1) * m.C(1000.0);
    s.a2 = s.r - s.ps2;
    s.x2 = s.ps2 / s.a2 * m.C(0.622);
    s.d = s.x1 - s.x2;
    s.dc = m.ZeroUnlessAtLeastZero(s.d);
    s.W = flow * power * s.dc;
    s.tc = m.C(4064.95) / (m.C(19.016) - m.Ln(s.pv)) - m.C(236.25);
    return s;
}

// The reference psychrometrics: Hyland and Wexler's saturation pressure over
// liquid water, Greenspan's enhancement factor with Hardy's coefficients.
namespace reference {

inline constexpr double C8 = -5.8002206e3, C9 = 1.3914993, C10 = -4.8640239e-2, C11 = 4.1764768e-5,
                        C12 = -1.4452093e-8, C13 = 6.5459673;
inline constexpr double A0 = -1.6302041e-1, A1 = 1.8071570e-3, A2 = -6.7703064e-6,
                        A3 = 8.5813609e-9;
inline constexpr double B0 = -5.9890467e1, B1 = 3.4378043e-1, B2 = -7.7326396e-4, B3 = 6.3405286e-7;
inline constexpr double Epsilon = 0.621945;
inline constexpr double Kelvin = 273.15;
inline constexpr double PascalPerBar = 1e5;
inline constexpr double MinCelsius = -100, MaxCelsius = 200;
// Newton's error after a step is about c·step² with c < 0.01/K here, so a
// step below this leaves less than 1e-10 K.
inline constexpr double DewPointTolerance = 1e-4;
inline constexpr int DewPointSteps = 50;

template <class M, class V> inline V LnSaturation(const M& m, V T) {
    return m.C(C8) / T + m.C(C9) + T * (m.C(C10) + T * (m.C(C11) + T * m.C(C12))) +
           m.C(C13) * m.Ln(T);
}

// d ln p_ws / dT
template <class M, class V> inline V LnSaturationSlope(const M& m, V T) {
    return m.C(-C8) / (T * T) + m.C(C10) + T * (m.C(2 * C11) + T * m.C(3) * m.C(C12)) +
           m.C(C13) / T;
}

template <class M, class V> inline V Alpha(const M& m, V T) {
    return m.C(A0) + T * (m.C(A1) + T * (m.C(A2) + T * m.C(A3)));
}

template <class M, class V> inline V Beta(const M& m, V T) {
    return m.Exp(m.C(B0) + T * (m.C(B1) + T * (m.C(B2) + T * m.C(B3))));
}

template <class M, class V> inline V Enhancement(const M& m, V T, V pws, V p) {
    return m.Exp(Alpha(m, T) * (m.C(1) - pws / p) + Beta(m, T) * (p / pws - m.C(1)));
}

// The dew point's start from the classic inverse law for the vapour
// pressure without the enhancement, which grows about linearly with the
// pressure: within a few hundredths of a kelvin, two steps from the end.
template <class M, class V> inline V DewPointStart(const M& m, V pw, V p) {
    const V enhancement = m.C(1.0015) + m.C(2.67e-8) * p;
    return m.C(4064.95) / (m.C(19.016) - m.Ln(pw / (m.C(100) * enhancement))) - m.C(236.25) +
           m.C(Kelvin);
}

// Newton's step on ln(f·p_ws) = target at T.
template <class M, class V> inline V DewPointStep(const M& m, V T, V target, V p) {
    const V lnS = LnSaturation(m, T);
    const V slope = LnSaturationSlope(m, T);
    const V pws = m.Exp(lnS);
    const V alpha = Alpha(m, T), beta = Beta(m, T);
    const V alphaSlope = m.C(A1) + T * (m.C(2 * A2) + T * m.C(3) * m.C(A3));
    const V betaSlope = beta * (m.C(B1) + T * (m.C(2 * B2) + T * m.C(3) * m.C(B3)));
    const V pwsSlope = pws * slope;
    const V lnF = alpha * (m.C(1) - pws / p) + beta * (p / pws - m.C(1));
    const V lnFSlope = alphaSlope * (m.C(1) - pws / p) - alpha * pwsSlope / p +
                       betaSlope * (p / pws - m.C(1)) - beta * p * pwsSlope / (pws * pws);
    return (lnS + lnF - target) / (slope + lnFSlope);
}

} // namespace reference
// NOLINTEND(llvm-header-guard)
