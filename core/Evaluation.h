// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"
#include "model/Reference.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace nebelkamm {

// What to evaluate besides the classic model.
struct EvaluationOptions {
    // The reference results on this air-flow basis, or none.
    std::optional<AirBasis> Reference;
};

// One operating point through both models. Every reason is a static text, so
// an evaluation is plain data: copy it, keep it, hand it to another thread.
struct Evaluation {
    ChargeAirInputs Inputs;

    // The classic results as the model computes them; all 0 after a Failure.
    ChargeAirResults Classic;
    // Why the classic model gave no results ("Floating point division by
    // zero"), or null.
    const char* Failure = nullptr;
    // The maths library's reports in the order they came ("log: SING
    // error"); the computation went on after each.
    std::array<const char*, 3> Reports{};
    // Why the point makes no physical sense ("relative humidity above
    // 100 %") or leaves the classic formulas' domain, or null. The classic
    // results are still there for those who show them anyway.
    const char* Impossible = nullptr;

    // Set when the options asked for it. Inputs that make no physical
    // sense give it no result either: its Failure is then Impossible.
    std::optional<AirBasis> Basis;
    ReferenceResults Reference;

    // Why the classic numbers are not to be used: Impossible, Failure or the
    // first report, in this order; null when they are good.
    const char* Message() const { return Impossible ? Impossible : Failure ? Failure : Reports[0]; }
    // Why there is no reference result (null when there is one or none was
    // asked for).
    const char* ReferenceMessage() const { return Basis ? Reference.Failure : nullptr; }
};

// What a warning of impossible inputs (Evaluation::Impossible) says of the
// numbers shown anyway, after the reason and "; ".
inline constexpr const char* NoPhysicalMeaning = "the results have no physical meaning";

// Water at the separator in tonnes a day, from kg/h.
constexpr double WaterPerDay(double waterAtSeparator) {
    return waterAtSeparator * 24 / 1000;
}

// Evaluates one point; never throws.
Evaluation Evaluate(const ChargeAirInputs& inputs, const EvaluationOptions& options = {}) noexcept;
// The same into an evaluation that a loop over many points reuses: all of
// it is set anew.
void Evaluate(const ChargeAirInputs& inputs, const EvaluationOptions& options,
              Evaluation& into) noexcept;

// Why the inputs themselves make no physical sense (humidity not above 0
// or above 100 %, a pressure, air flow or power that cannot be, a
// temperature below absolute zero, a value that is not finite), or null.
const char* ImpossibleInputs(const ChargeAirInputs& inputs) noexcept;

// "humid" or "dry", as the command line and JSON name the basis.
constexpr const char* AirBasisName(AirBasis basis) {
    return basis == AirBasis::Humid ? "humid" : "dry";
}

// The reference as a front end asks for it: none, or on the basis named
// (humid when none is). Throws EUsageError, with the options as that front
// end calls them, for a basis without the reference or one not known.
std::optional<AirBasis> ReferenceAsked(bool reference, const std::optional<std::string>& basis,
                                       std::string_view basisOption,
                                       std::string_view referenceOption);

} // namespace nebelkamm
