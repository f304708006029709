// SPDX-License-Identifier: MIT
#include "model/Reference.h"

#include "model/Formulas.h"

#include <cmath>

namespace nebelkamm {
namespace {

using namespace formulas::reference;

using ScalarMath = formulas::StdMath;

double Enhancement(double T, double pws, double p) {
    return formulas::reference::Enhancement(ScalarMath{}, T, pws, p);
}

bool InRange(double celsius) {
    return celsius >= MinCelsius && celsius <= MaxCelsius;
}

// The dew point in kelvin at the total pressure p of the vapour pressure
// pw: f(T, p)·p_ws(T) = pw, by Newton on the logarithm from the classic
// inverse law, to well within 1e-7 K. NaN when it does not converge.
double DewPoint(double pw, double p) {
    const ScalarMath m;
    const double target = std::log(pw);
    double T = DewPointStart(m, pw, p);
    if (!(T > Kelvin + MinCelsius - 50 && T < Kelvin + MaxCelsius + 50))
        T = Kelvin + 20; // far outside: start anywhere sensible
    for (int i = 0; i < DewPointSteps; ++i) {
        const double step = formulas::reference::DewPointStep(m, T, target, p);
        if (!std::isfinite(step))
            return NAN;
        T -= step;
        if (!(T > 1))
            return NAN;
        if (std::fabs(step) < DewPointTolerance)
            return T;
    }
    return NAN;
}

// Saturation pressure over liquid water in Pa at T kelvin.
double SaturationPressure(double T) {
    return std::exp(LnSaturation(ScalarMath{}, T));
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
