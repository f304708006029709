// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace nebelkamm {

enum class ColumnGroup : unsigned char {
    Input,            // one of the seven inputs
    Classic,          // a classic result
    Message,          // why the classic results are missing
    Reference,        // a reference result
    ReferenceMessage, // why the reference results are missing
};

// One output column: what the text, JSON and CSV outputs, the window, the
// copied results and the chart show of an evaluation. Exactly one of Input,
// Result, Reference and Derived is set for a number.
struct Column {
    const char* Key = "";     // CSV header; JSON name (reference ones without "Ref")
    const char* Caption = ""; // as the window and the text output show it
    const char* Unit = "";    // with its brackets, "[kg/h]"
    const char* Symbol = "";  // inputs: the short name in a line of all seven, "t2"
    int Decimals = 0;         // shown after the decimal separator
    ColumnGroup Group = ColumnGroup::Input;
    int WindowRow = 0; // the window's row 1..13 that shows it; 0 for none
    double ChargeAirInputs::*Input = nullptr;
    double Lowest = 0, Highest = 0; // inputs: where a sweep of it may go
    double ChargeAirResults::*Result = nullptr;
    double ReferenceResults::*Reference = nullptr;
    double (*Derived)(const Evaluation&) = nullptr;

    // Whether the column holds a number (else a message).
    constexpr bool IsNumber() const {
        return Group != ColumnGroup::Message && Group != ColumnGroup::ReferenceMessage;
    }
    // The column's number in an evaluation.
    double Value(const Evaluation& e) const {
        if (Input)
            return e.Inputs.*Input;
        if (Result)
            return e.Classic.*Result;
        if (Reference)
            return e.Reference.*Reference;
        return Derived(e);
    }
    // The message column's text (null for none).
    const char* Text(const Evaluation& e) const {
        return Group == ColumnGroup::Message ? e.Message() : e.ReferenceMessage();
    }
    // Whether the evaluation has a value for it: inputs always; results
    // unless their block has a message.
    bool Has(const Evaluation& e) const {
        switch (Group) {
        case ColumnGroup::Input:
            return true;
        case ColumnGroup::Classic:
            return e.Message() == nullptr;
        case ColumnGroup::Reference:
            return e.Basis && e.Reference.Failure == nullptr;
        default:
            return false;
        }
    }
    // The name inside its JSON object.
    std::string_view JsonKey() const {
        const std::string_view key = Key;
        return Group == ColumnGroup::Reference ? key.substr(3) : key;
    }
};

// Every output column once, in the order of a batch's columns: the seven
// inputs, the six results, the water per day, the message, then the
// reference ones.
inline constexpr std::array<Column, 24> Columns{{
    {.Key = "RelativeHumidity",
     .Caption = "Relative humidity",
     .Unit = "[%]",
     .Symbol = "φ",
     .Decimals = 1,
     .WindowRow = 1,
     .Input = &ChargeAirInputs::RelativeHumidity,
     .Lowest = 0,
     .Highest = 100},
    {.Key = "TempBeforeBlower",
     .Caption = "Temperature before blower",
     .Unit = "[°C]",
     .Symbol = "t1",
     .Decimals = 1,
     .WindowRow = 2,
     .Input = &ChargeAirInputs::TempBeforeBlower,
     .Lowest = -50,
     .Highest = 100},
    {.Key = "PressureBeforeBlower",
     .Caption = "Barometric pressure before blower",
     .Unit = "[bar]",
     .Symbol = "p1",
     .Decimals = 2,
     .WindowRow = 3,
     .Input = &ChargeAirInputs::PressureBeforeBlower,
     .Lowest = 0,
     .Highest = 2},
    {.Key = "ScavingAirPressure",
     .Caption = "Scavenge air pressure",
     .Unit = "[bar]",
     .Symbol = "ps",
     .Decimals = 1,
     .WindowRow = 5,
     .Input = &ChargeAirInputs::ScavingAirPressure,
     .Lowest = 0,
     .Highest = 10},
    {.Key = "TempAfterCooler",
     .Caption = "Actual temperature after cooler",
     .Unit = "[°C]",
     .Symbol = "t2",
     .Decimals = 1,
     .WindowRow = 8,
     .Input = &ChargeAirInputs::TempAfterCooler,
     .Lowest = -50,
     .Highest = 200},
    {.Key = "SpecificAirFlow",
     .Caption = "Specific air flow",
     .Unit = "[kg/kWh]",
     .Symbol = "m",
     .Decimals = 1,
     .WindowRow = 9,
     .Input = &ChargeAirInputs::SpecificAirFlow,
     .Lowest = 0,
     .Highest = 50},
    {.Key = "PowerOnEngine",
     .Caption = "Actual power on engine",
     .Unit = "[kW]",
     .Symbol = "P",
     .Decimals = 1,
     .WindowRow = 10,
     .Input = &ChargeAirInputs::PowerOnEngine,
     .Lowest = 0,
     .Highest = 100000},

    {.Key = "WaterContentBeforeBlower",
     .Caption = "Water content of air before blower",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Classic,
     .WindowRow = 4,
     .Result = &ChargeAirResults::WaterContentBeforeBlower},
    {.Key = "PressureRatio",
     .Caption = "Pressure ratio",
     .Unit = "[-]",
     .Decimals = 2,
     .Group = ColumnGroup::Classic,
     .WindowRow = 6,
     .Result = &ChargeAirResults::PressureRatio},
    {.Key = "DewPointTemperature",
     .Caption = "Temperature where condensation takes place",
     .Unit = "[°C]",
     .Decimals = 1,
     .Group = ColumnGroup::Classic,
     .WindowRow = 7,
     .Result = &ChargeAirResults::DewPointTemperature},
    {.Key = "MaxWaterContentInCooler",
     .Caption = "Max. water content in CAC",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Classic,
     .WindowRow = 11,
     .Result = &ChargeAirResults::MaxWaterContentInCooler},
    {.Key = "CondensingWaterContent",
     .Caption = "Spec. water content which condenses",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Classic,
     .WindowRow = 12,
     .Result = &ChargeAirResults::CondensingWaterContent},
    {.Key = "WaterAtSeparator",
     .Caption = "Theoretical water content at separator",
     .Unit = "[kg/h]",
     .Decimals = 1,
     .Group = ColumnGroup::Classic,
     .WindowRow = 13,
     .Result = &ChargeAirResults::WaterAtSeparator},
    {.Key = "WaterPerDay",
     .Caption = "Water at separator per day",
     .Unit = "[t/day]",
     .Decimals = 2,
     .Group = ColumnGroup::Classic,
     .Derived = [](const Evaluation& e) { return WaterPerDay(e.Classic.WaterAtSeparator); }},
    {.Key = "message", .Group = ColumnGroup::Message},

    {.Key = "RefWaterContentBeforeBlower",
     .Caption = "Water content of air before blower",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::WaterContentBeforeBlower},
    {.Key = "RefCoolerPressure",
     .Caption = "Absolute pressure in cooler",
     .Unit = "[bar]",
     .Decimals = 2,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::CoolerPressure},
    {.Key = "RefDewPointTemperature",
     .Caption = "Dew point in cooler (over water)",
     .Unit = "[°C]",
     .Decimals = 1,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::DewPointTemperature},
    {.Key = "RefMaxWaterContentInCooler",
     .Caption = "Max. water content in CAC",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::MaxWaterContentInCooler},
    {.Key = "RefCondensingWaterContent",
     .Caption = "Spec. water content which condenses",
     .Unit = "[kg/kg]",
     .Decimals = 4,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::CondensingWaterContent},
    {.Key = "RefWaterAtSeparator",
     .Caption = "Theoretical water content at separator",
     .Unit = "[kg/h]",
     .Decimals = 1,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::WaterAtSeparator},
    {.Key = "RefWaterPerDay",
     .Caption = "Water at separator per day",
     .Unit = "[t/day]",
     .Decimals = 2,
     .Group = ColumnGroup::Reference,
     .Derived = [](const Evaluation& e) { return WaterPerDay(e.Reference.WaterAtSeparator); }},
    {.Key = "RefDewPointMargin",
     .Caption = "Margin after cooler above dew point",
     .Unit = "[K]",
     .Decimals = 1,
     .Group = ColumnGroup::Reference,
     .Reference = &ReferenceResults::DewPointMargin},
    {.Key = "RefMessage", .Group = ColumnGroup::ReferenceMessage},
}};

// How many columns each block of the table has; each result block is
// followed by its message.
inline constexpr std::size_t InputCount = 7, ClassicCount = 7, ReferenceCount = 8;
static_assert(Columns.size() == InputCount + ClassicCount + 1 + ReferenceCount + 1);

// The seven inputs, in the settings file's and the command line's order.
inline constexpr std::span<const Column, InputCount> InputColumns{Columns.data(), InputCount};
// The classic results with the water per day: the text output's rows
// after the window's.
inline constexpr std::span<const Column> ClassicColumns{Columns.data() + InputCount, ClassicCount};
// The reference results, without their message.
inline constexpr std::span<const Column> ReferenceColumns{
    Columns.data() + InputCount + ClassicCount + 1, ReferenceCount};

// The columns of a batch or sweep, the reference ones when asked for.
constexpr std::span<const Column> OutputColumns(bool reference) {
    return {Columns.data(), reference ? Columns.size() : InputCount + ClassicCount + 1};
}

// The column that the window shows in its row 1..13, or null.
const Column* WindowColumn(int row);

// The window's thirteen rows in its order, then the water per day: the
// classic block of the text output and of the copied results.
std::span<const Column* const> ClassicRows();

// The heading of the reference results wherever they are shown.
inline constexpr const char* ReferenceTitle = "Reference (ASHRAE, absolute pressure)";
// The heading with the air-flow basis: "…, air flow of humid air".
std::string ReferenceHeading(AirBasis basis);

// The input column of a settings key (exactly as written), or null.
const Column* InputByKey(std::string_view key);

} // namespace nebelkamm
