// SPDX-License-Identifier: MIT
#include "core/Evaluation.h"

#include "core/Errors.h"
#include "model/Exception.h"

#include <cmath>
#include <string_view>

namespace nebelkamm {
namespace {

constexpr double AbsoluteZero = -273.15;

// The maths library's reports as static texts, so that an evaluation holds
// no strings of its own.
const char* ReportText(const MathError& e) {
    struct Known {
        std::string_view Function, Kind;
        const char* Text;
    };
    static constexpr Known known[] = {
        {"log", "SING", "log: SING error"},         {"log", "DOMAIN", "log: DOMAIN error"},
        {"log", "OVERFLOW", "log: OVERFLOW error"}, {"pow", "SING", "pow: SING error"},
        {"pow", "DOMAIN", "pow: DOMAIN error"},     {"pow", "OVERFLOW", "pow: OVERFLOW error"},
    };
    for (const Known& k : known)
        if (e.Function == k.Function && e.Kind == k.Kind)
            return k.Text;
    return "maths library error";
}

// Where the classic formulas stop describing air, for inputs that do: a
// vapour pressure before the blower that reaches the barometric pressure
// makes the water content negative, a saturation pressure after the cooler
// that reaches the pressure ratio (which stands where the cooler's pressure
// belongs) makes the max. water content negative.
const char* OutsideClassicDomain(const ChargeAirResults& r) {
    if (r.WaterContentBeforeBlower < 0)
        return "vapour pressure before blower not below the barometric pressure";
    if (r.MaxWaterContentInCooler < 0)
        return "saturation pressure after cooler not below the pressure ratio (max. water "
               "content negative)";
    return nullptr;
}

// The evaluation whose computation runs on this thread, for the handler of
// the maths library's reports, which is made once and not for every point.
thread_local Evaluation* running = nullptr;

const MathErrorHandler& KeepReport() {
    static const MathErrorHandler keep = [](const MathError& m) {
        for (const char*& slot : running->Reports)
            if (!slot) {
                slot = ReportText(m);
                return;
            }
    };
    return keep;
}

} // namespace

const char* ImpossibleInputs(const ChargeAirInputs& in) noexcept {
    // The common case in one test: every input finite and in its range.
    const double zero = 0 * in.RelativeHumidity + 0 * in.TempBeforeBlower +
                        0 * in.PressureBeforeBlower + 0 * in.ScavingAirPressure +
                        0 * in.TempAfterCooler + 0 * in.SpecificAirFlow + 0 * in.PowerOnEngine;
    if (zero == 0 && in.RelativeHumidity > 0 && in.RelativeHumidity <= 100 &&
        in.PressureBeforeBlower > 0 && in.ScavingAirPressure >= 0 && in.SpecificAirFlow >= 0 &&
        in.PowerOnEngine >= 0 && in.TempBeforeBlower >= AbsoluteZero &&
        in.TempAfterCooler >= AbsoluteZero)
        return nullptr;
    struct Finite {
        double ChargeAirInputs::*Input;
        const char* Text;
    };
    static constexpr Finite finite[] = {
        {&ChargeAirInputs::RelativeHumidity, "relative humidity not a finite number"},
        {&ChargeAirInputs::TempBeforeBlower, "temperature before blower not a finite number"},
        {&ChargeAirInputs::PressureBeforeBlower, "barometric pressure not a finite number"},
        {&ChargeAirInputs::ScavingAirPressure, "scavenge air pressure not a finite number"},
        {&ChargeAirInputs::TempAfterCooler, "temperature after cooler not a finite number"},
        {&ChargeAirInputs::SpecificAirFlow, "specific air flow not a finite number"},
        {&ChargeAirInputs::PowerOnEngine, "power on engine not a finite number"},
    };
    for (const Finite& f : finite)
        if (!std::isfinite(in.*f.Input))
            return f.Text;
    if (!(in.RelativeHumidity > 0))
        return "relative humidity not above 0 %";
    if (in.RelativeHumidity > 100)
        return "relative humidity above 100 %";
    if (in.TempBeforeBlower < AbsoluteZero)
        return "temperature before blower below absolute zero";
    if (!(in.PressureBeforeBlower > 0))
        return "barometric pressure not above 0 bar";
    if (in.ScavingAirPressure < 0)
        return "scavenge air pressure below 0 bar";
    if (in.TempAfterCooler < AbsoluteZero)
        return "temperature after cooler below absolute zero";
    if (in.SpecificAirFlow < 0)
        return "specific air flow below 0 kg/kWh";
    if (in.PowerOnEngine < 0)
        return "power on engine below 0 kW";
    return nullptr;
}

Evaluation Evaluate(const ChargeAirInputs& inputs, const EvaluationOptions& options) noexcept {
    Evaluation e;
    Evaluate(inputs, options, e);
    return e;
}

void Evaluate(const ChargeAirInputs& inputs, const EvaluationOptions& options,
              Evaluation& e) noexcept {
    e.Inputs = inputs;
    e.Failure = nullptr;
    e.Reports = {};
    const char* const impossible = ImpossibleInputs(inputs);
    e.Impossible = impossible;
    running = &e;
    try {
        e.Classic = ComputeChargeAir(inputs, KeepReport());
        if (!e.Impossible)
            e.Impossible = OutsideClassicDomain(e.Classic);
    } catch (const EZeroDivide&) {
        e.Failure = "Floating point division by zero";
    } catch (const EInvalidOp&) {
        e.Failure = "Invalid floating point operation";
    } catch (const EOverflow&) {
        e.Failure = "Floating point overflow";
    } catch (const Exception&) {
        e.Failure = "the computation failed";
    }
    if (e.Failure)
        e.Classic = ChargeAirResults{};
    if (options.Reference) {
        e.Basis = options.Reference;
        if (impossible)
            e.Reference.Failure = impossible;
        else
            e.Reference = ComputeReference(inputs, *options.Reference);
    } else if (e.Basis) { // nothing of an earlier reference stays
        e.Basis.reset();
        e.Reference = ReferenceResults{};
    }
}

std::optional<AirBasis> ReferenceAsked(bool reference, const std::optional<std::string>& basis,
                                       std::string_view basisOption,
                                       std::string_view referenceOption) {
    if (basis && !reference)
        throw EUsageError(std::string(basisOption) + " goes with " + std::string(referenceOption));
    if (basis && *basis != "humid" && *basis != "dry")
        throw EUsageError(std::string(basisOption) + " is humid or dry, not " + *basis);
    if (!reference)
        return std::nullopt;
    return basis && *basis == "dry" ? AirBasis::Dry : AirBasis::Humid;
}

} // namespace nebelkamm
