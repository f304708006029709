// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "model/Reference.h"

#include <array>
#include <span>

namespace nebelkamm {

// One row of the calculator: an input or a result, with everything the
// window, the command line and the settings file need to know of it.
struct ChargeAirRow {
    const char* Key;     // settings key, JSON and CSV name
    const char* Caption; // the window's caption (two-line ones joined by a blank)
    const char* Unit;    // with its brackets, "[kg/h]"
    int Decimals;        // shown after the decimal separator
    double MinVal;       // the window's field accepts MinVal..MaxVal
    double MaxVal;
    const char* Field;                // the window's field, "ValEdit1"
    double ChargeAirInputs::*Input;   // set for the seven inputs ...
    double ChargeAirResults::*Result; // ... and for the six results
    double Default;                   // inputs: for a missing or unreadable key
    double FirstRun;                  // inputs: when there is no settings file

    // Whether the row is one of the seven inputs.
    constexpr bool IsInput() const { return Input != nullptr; }
    // The row's number out of the inputs or the results.
    double Value(const ChargeAirInputs& in, const ChargeAirResults& res) const {
        return IsInput() ? in.*Input : res.*Result;
    }
};

// The window's thirteen rows, top to bottom.
inline constexpr std::array<ChargeAirRow, 13> ChargeAirRows{{
    {"RelativeHumidity", "Relative humidity", "[%]", 1, 0, 100, "ValEdit1",
     &ChargeAirInputs::RelativeHumidity, nullptr, 50, 50},
    {"TempBeforeBlower", "Temperature before blower", "[°C]", 1, 0, 100, "ValEdit2",
     &ChargeAirInputs::TempBeforeBlower, nullptr, 20, 20},
    {"PressureBeforeBlower", "Barometric pressure before blower", "[bar]", 2, 0, 100, "ValEdit3",
     &ChargeAirInputs::PressureBeforeBlower, nullptr, 1.02, 1.2},
    {"WaterContentBeforeBlower", "Water content of air before blower", "[kg/kg]", 4, 0, 1,
     "ValEdit4", nullptr, &ChargeAirResults::WaterContentBeforeBlower, 0, 0},
    {"ScavingAirPressure", "Scavenge air pressure", "[bar]", 1, 0, 10, "ValEdit5",
     &ChargeAirInputs::ScavingAirPressure, nullptr, 2.4, 2.4},
    {"PressureRatio", "Pressure ratio", "[-]", 2, 0, 20, "ValEdit6", nullptr,
     &ChargeAirResults::PressureRatio, 0, 0},
    {"DewPointTemperature", "Temperature where condensation takes place", "[°C]", 1, 0, 100,
     "ValEdit8", nullptr, &ChargeAirResults::DewPointTemperature, 0, 0},
    {"TempAfterCooler", "Actual temperature after cooler", "[°C]", 1, 0, 100, "ValEdit9",
     &ChargeAirInputs::TempAfterCooler, nullptr, 40, 40},
    {"SpecificAirFlow", "Specific air flow", "[kg/kWh]", 1, 0, 50, "ValEdit10",
     &ChargeAirInputs::SpecificAirFlow, nullptr, 7.8, 7.8},
    {"PowerOnEngine", "Actual power on engine", "[kW]", 1, 0, 100000, "ValEdit11",
     &ChargeAirInputs::PowerOnEngine, nullptr, 40000, 40000},
    {"MaxWaterContentInCooler", "Max. water content in CAC", "[kg/kg]", 4, 0, 1, "ValEdit12",
     nullptr, &ChargeAirResults::MaxWaterContentInCooler, 0, 0},
    {"CondensingWaterContent", "Spec. water content which condenses", "[kg/kg]", 4, 0, 1,
     "ValEdit13", nullptr, &ChargeAirResults::CondensingWaterContent, 0, 0},
    {"WaterAtSeparator", "Theoretical water content at separator", "[kg/h]", 1, 0, 1000000,
     "ValEdit14", nullptr, &ChargeAirResults::WaterAtSeparator, 0, 0},
}};

namespace detail {
template <bool Inputs> constexpr auto Select() {
    std::array<const ChargeAirRow*, Inputs ? 7 : 6> out{};
    size_t n = 0;
    for (const ChargeAirRow& r : ChargeAirRows)
        if (r.IsInput() == Inputs)
            out[n++] = &r;
    return out;
}
} // namespace detail

// The seven inputs in row order, which is also the settings file's and the
// command line's order.
inline constexpr std::array<const ChargeAirRow*, 7> InputRows = detail::Select<true>();
// The six results in row order.
inline constexpr std::array<const ChargeAirRow*, 6> ResultRows = detail::Select<false>();

// Water at the separator in tonnes a day, from kg/h.
constexpr double WaterPerDay(double waterAtSeparator) {
    return waterAtSeparator * 24 / 1000;
}

// The heading of the reference results wherever they are shown.
inline constexpr const char* ReferenceTitle = "Reference (ASHRAE, absolute pressure)";

// One row of the reference results.
struct ReferenceRow {
    const char* Key;     // JSON name; CSV columns put "Ref" before it
    const char* Caption; // as the command line and the copied results show it
    const char* Unit;
    int Decimals;
    double (*Value)(const ReferenceResults&);
};

inline constexpr std::array<ReferenceRow, 8> ReferenceRows{{
    {"WaterContentBeforeBlower", "Water content of air before blower", "[kg/kg]", 4,
     [](const ReferenceResults& r) { return r.WaterContentBeforeBlower; }},
    {"CoolerPressure", "Absolute pressure in cooler", "[bar]", 2,
     [](const ReferenceResults& r) { return r.CoolerPressure; }},
    {"DewPointTemperature", "Dew point in cooler (over water)", "[°C]", 1,
     [](const ReferenceResults& r) { return r.DewPointTemperature; }},
    {"MaxWaterContentInCooler", "Max. water content in CAC", "[kg/kg]", 4,
     [](const ReferenceResults& r) { return r.MaxWaterContentInCooler; }},
    {"CondensingWaterContent", "Spec. water content which condenses", "[kg/kg]", 4,
     [](const ReferenceResults& r) { return r.CondensingWaterContent; }},
    {"WaterAtSeparator", "Theoretical water content at separator", "[kg/h]", 1,
     [](const ReferenceResults& r) { return r.WaterAtSeparator; }},
    {"WaterPerDay", "Water at separator per day", "[t/day]", 2,
     [](const ReferenceResults& r) { return WaterPerDay(r.WaterAtSeparator); }},
    {"DewPointMargin", "Margin after cooler above dew point", "[K]", 1,
     [](const ReferenceResults& r) { return r.DewPointMargin; }},
}};

// "humid" or "dry", as the command line and JSON name the basis.
constexpr const char* AirBasisName(AirBasis basis) {
    return basis == AirBasis::Humid ? "humid" : "dry";
}

} // namespace nebelkamm
