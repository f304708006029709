// SPDX-License-Identifier: MIT
#include "model/Reference.h"

#include <cmath>

namespace nebelkamm {
namespace {

constexpr double C8 = -5.8002206e3, C9 = 1.3914993, C10 = -4.8640239e-2, C11 = 4.1764768e-5,
                 C12 = -1.4452093e-8, C13 = 6.5459673;
constexpr double A0 = -1.6302041e-1, A1 = 1.8071570e-3, A2 = -6.7703064e-6, A3 = 8.5813609e-9;
constexpr double B0 = -5.9890467e1, B1 = 3.4378043e-1, B2 = -7.7326396e-4, B3 = 6.3405286e-7;
constexpr double Epsilon = 0.621945;
constexpr double Kelvin = 273.15;
constexpr double PascalPerBar = 1e5;
constexpr double MinCelsius = -100, MaxCelsius = 200;

double LnSaturation(double T) {
    return C8 / T + C9 + T * (C10 + T * (C11 + T * C12)) + C13 * std::log(T);
}

// d ln p_ws / dT
double LnSaturationSlope(double T) {
    return -C8 / (T * T) + C10 + T * (2 * C11 + T * 3 * C12) + C13 / T;
}

double Alpha(double T) {
    return A0 + T * (A1 + T * (A2 + T * A3));
}

double Beta(double T) {
    return std::exp(B0 + T * (B1 + T * (B2 + T * B3)));
}

double Enhancement(double T, double pws, double p) {
    return std::exp(Alpha(T) * (1 - pws / p) + Beta(T) * (p / pws - 1));
}

bool InRange(double celsius) {
    return celsius >= MinCelsius && celsius <= MaxCelsius;
}

// The dew point in kelvin at the total pressure p of the vapour pressure
// pw: f(T, p)·p_ws(T) = pw, by Newton on the logarithm from the classic
// inverse law, to well within 1e-7 K. NaN when it does not converge.
double DewPoint(double pw, double p) {
    const double target = std::log(pw);
    // The classic inverse law for the vapour pressure without the
    // enhancement, which grows about linearly with the pressure: the start
    // is then within a few hundredths of a kelvin, two steps from the end.
    const double enhancement = 1.0015 + 2.67e-8 * p;
    double T = 4064.95 / (19.016 - std::log(pw / (100 * enhancement))) - 236.25 + Kelvin;
    if (!(T > Kelvin + MinCelsius - 50 && T < Kelvin + MaxCelsius + 50))
        T = Kelvin + 20; // far outside: start anywhere sensible
    for (int i = 0; i < 50; ++i) {
        const double lnS = LnSaturation(T);
        const double slope = LnSaturationSlope(T);
        const double pws = std::exp(lnS);
        const double alpha = Alpha(T), beta = Beta(T);
        const double alphaSlope = A1 + T * (2 * A2 + T * 3 * A3);
        const double betaSlope = beta * (B1 + T * (2 * B2 + T * 3 * B3));
        const double pwsSlope = pws * slope;
        const double lnF = alpha * (1 - pws / p) + beta * (p / pws - 1);
        const double lnFSlope = alphaSlope * (1 - pws / p) - alpha * pwsSlope / p +
                                betaSlope * (p / pws - 1) - beta * p * pwsSlope / (pws * pws);
        const double step = (lnS + lnF - target) / (slope + lnFSlope);
        if (!std::isfinite(step))
            return NAN;
        T -= step;
        if (!(T > 1))
            return NAN;
        // Newton's error after a step is about c·step² with c < 0.01/K here,
        // so a step below 1e-4 K leaves less than 1e-10 K.
        if (std::fabs(step) < 1e-4)
            return T;
    }
    return NAN;
}

// Saturation pressure over liquid water in Pa at T kelvin.
double SaturationPressure(double T) {
    return std::exp(LnSaturation(T));
}

ReferenceResults Fail(const char* why) {
    ReferenceResults r;
    r.Failure = why;
    return r;
}

} // namespace

ReferenceResults ComputeReference(const ChargeAirInputs& in, AirBasis basis) noexcept {
    const double phi = in.RelativeHumidity / 100;
    const double t1 = in.TempBeforeBlower, t2 = in.TempAfterCooler;
    const double p1 = in.PressureBeforeBlower * PascalPerBar;
    const double pc = (in.PressureBeforeBlower + in.ScavingAirPressure) * PascalPerBar;
    if (!InRange(t1))
        return Fail("temperature before blower outside -100 to 200 °C");
    if (!InRange(t2))
        return Fail("temperature after cooler outside -100 to 200 °C");
    if (!std::isfinite(phi))
        return Fail("relative humidity not finite");
    if (!(phi > 0))
        return Fail(phi == 0 ? "no dew point without water vapour (0 % humidity)"
                             : "relative humidity below 0 %");

    ReferenceResults r;
    const double T1 = t1 + Kelvin, T2 = t2 + Kelvin;
    const double pws1 = SaturationPressure(T1);
    if (!(pws1 < p1) || !std::isfinite(p1))
        return Fail("saturation pressure before blower not below the barometric pressure");
    r.EnhancementBeforeBlower = Enhancement(T1, pws1, p1);
    const double pw1 = phi * r.EnhancementBeforeBlower * pws1;
    if (!(pw1 < p1))
        return Fail("vapour pressure before blower not below the barometric pressure");
    r.WaterContentBeforeBlower = Epsilon * pw1 / (p1 - pw1);

    r.CoolerPressure = in.PressureBeforeBlower + in.ScavingAirPressure;
    const double pws2 = SaturationPressure(T2);
    if (!(pws2 < pc) || !std::isfinite(pc))
        return Fail("saturation pressure in the cooler not below its absolute pressure");
    r.EnhancementInCooler = Enhancement(T2, pws2, pc);
    const double pw2 = r.EnhancementInCooler * pws2;
    if (!(pw2 < pc))
        return Fail("saturated vapour pressure in the cooler not below its absolute pressure");
    r.MaxWaterContentInCooler = Epsilon * pw2 / (pc - pw2);

    const double x1 = r.WaterContentBeforeBlower;
    const double pwc = pc * x1 / (Epsilon + x1);
    const double Td = DewPoint(pwc, pc);
    if (std::isnan(Td))
        return Fail("the dew point does not converge");
    r.DewPointTemperature = Td - Kelvin;
    if (!InRange(r.DewPointTemperature))
        return Fail("dew point outside -100 to 200 °C");
    r.DewPointMargin = t2 - r.DewPointTemperature;

    const double d = x1 - r.MaxWaterContentInCooler;
    r.CondensingWaterContent = d > 0 ? d : 0.0;
    const double dryAir =
        in.SpecificAirFlow * in.PowerOnEngine / (basis == AirBasis::Humid ? 1 + x1 : 1);
    r.WaterAtSeparator = dryAir * r.CondensingWaterContent;
    if (!std::isfinite(r.WaterAtSeparator))
        return Fail("water at separator not finite (air flow or power)");
    return r;
}

} // namespace nebelkamm
