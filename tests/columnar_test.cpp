// SPDX-License-Identifier: MIT
// Many rows at once against Evaluate row by row, at the level that
// NEBELKAMM_SIMD gives this process (ctest runs it at each).
#include "Bound.h"
#include "core/Columnar.h"
#include "core/Parallel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace nebelkamm;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr double Tiny = std::numeric_limits<double>::denorm_min();
const ChargeAirInputs Summer{90, 37, 1.02, 2.4, 40, 7.8, 41200};

// Everything EvaluateColumns writes, a column each.
struct Out {
    explicit Out(std::size_t n)
        : Classic(ClassicCount, std::vector<double>(n)),
          Reference(ReferenceCount, std::vector<double>(n)), Message(n), RefMessage(n) {}
    std::vector<std::vector<double>> Classic, Reference;
    std::vector<MessageCode> Message, RefMessage;

    ResultColumns Columns() {
        ResultColumns r;
        for (std::size_t j = 0; j < ClassicCount; ++j)
            r.Classic[j] = Classic[j].data();
        for (std::size_t j = 0; j < ReferenceCount; ++j)
            r.Reference[j] = Reference[j].data();
        r.Message = Message.data();
        r.ReferenceMessage = RefMessage.data();
        return r;
    }
};

Out Run(const std::vector<ChargeAirInputs>& rows, const EvaluationOptions& options) {
    std::array<InputColumn, InputCount> in;
    for (std::size_t k = 0; k < InputCount; ++k)
        in[k] = {&(rows.front().*InputColumns[k].Input), sizeof(ChargeAirInputs)};
    Out out(rows.size());
    EvaluateColumns(in, rows.size(), options, out.Columns());
    return out;
}

bool Scalar() {
    return SimdInUse() == "scalar";
}

// Every row's messages equal Evaluate's, its numbers within the bound (the
// same bits at the scalar level), NaN where it has a message.
void ExpectAsEvaluate(const std::vector<ChargeAirInputs>& rows, const EvaluationOptions& options) {
    const Out out = Run(rows, options);
    const bool exact = Scalar();
    int failures = 0;
    for (std::size_t i = 0; i < rows.size() && failures < 10; ++i) {
        const Evaluation e = Evaluate(rows[i], options);
        const auto check = [&](const Column& c, double got) {
            if (!bound::WithinBound(c, got, e, exact)) {
                ++failures;
                ADD_FAILURE() << "row " << i << ' ' << c.Key << ": " << got << " against "
                              << c.Value(e);
            }
        };
        const auto text = [](MessageCode code) {
            const char* t = MessageText(code);
            return std::string(t ? t : "");
        };
        EXPECT_EQ(text(out.Message[i]), e.Message() ? e.Message() : "") << "row " << i;
        for (std::size_t j = 0; j < ClassicCount; ++j)
            if (e.Message())
                EXPECT_TRUE(std::isnan(out.Classic[j][i])) << "row " << i;
            else
                check(ClassicColumns[j], out.Classic[j][i]);
        if (!options.Reference)
            continue;
        const char* refWhy = e.ReferenceMessage();
        EXPECT_EQ(text(out.RefMessage[i]), refWhy ? refWhy : "") << "row " << i;
        for (std::size_t j = 0; j < ReferenceCount; ++j)
            if (refWhy)
                EXPECT_TRUE(std::isnan(out.Reference[j][i])) << "row " << i;
            else
                check(ReferenceColumns[j], out.Reference[j][i]);
    }
}

const EvaluationOptions Bases[] = {{}, {AirBasis::Humid}, {AirBasis::Dry}};

std::vector<ChargeAirInputs> ReferenceVectors() {
    std::ifstream file(NEBELKAMM_REFERENCE_TSV);
    std::vector<ChargeAirInputs> out;
    std::string line;
    std::getline(file, line);
    while (std::getline(file, line)) {
        std::istringstream s(line);
        ChargeAirInputs in;
        for (const Column& c : InputColumns)
            s >> in.*c.Input;
        out.push_back(in);
    }
    return out;
}

// Summer with one input changed.
ChargeAirInputs With(double ChargeAirInputs::*input, double value) {
    ChargeAirInputs in = Summer;
    in.*input = value;
    return in;
}

} // namespace

TEST(EvaluateColumns, EdgeRowsAsEvaluate) {
    std::vector<ChargeAirInputs> rows = ReferenceVectors();
    ASSERT_EQ(rows.size(), 40u);
    for (const Column& c : InputColumns)
        for (const double v : {Nan, Inf, -Inf, Tiny, -Tiny, 0.0, -1.0, 1e308})
            rows.push_back(With(c.Input, v));
    struct Edge {
        double ChargeAirInputs::*Input;
        double Value;
    };
    const Edge edges[] = {
        {&ChargeAirInputs::RelativeHumidity, 100},      // saturated
        {&ChargeAirInputs::RelativeHumidity, 150},      // above 100 %
        {&ChargeAirInputs::RelativeHumidity, 1e-6},     // reference dew point below -100 °C
        {&ChargeAirInputs::RelativeHumidity, 1e-307},   // 100·p1/φ overflows
        {&ChargeAirInputs::TempBeforeBlower, -236.25},  // zero divisor in the first power
        {&ChargeAirInputs::TempBeforeBlower, -236.2},   // the power underflows: log of 0
        {&ChargeAirInputs::TempBeforeBlower, -236.3},   // the power overflows
        {&ChargeAirInputs::TempBeforeBlower, -300},     // below absolute zero
        {&ChargeAirInputs::TempBeforeBlower, 120},      // vapour above the barometric pressure
        {&ChargeAirInputs::TempBeforeBlower, 102.9714}, // vapour within 1e-4 of it
        {&ChargeAirInputs::TempBeforeBlower, 250},      // outside the reference range
        {&ChargeAirInputs::PressureBeforeBlower, 0.5},  // reference: saturation above it
        {&ChargeAirInputs::PressureBeforeBlower, 1e-310},
        {&ChargeAirInputs::TempAfterCooler, -236.25},  // zero divisor in the second power
        {&ChargeAirInputs::TempAfterCooler, 150},      // max. water content negative
        {&ChargeAirInputs::TempAfterCooler, 137.3},    // saturation nearly at the ratio
        {&ChargeAirInputs::TempAfterCooler, -150},     // outside the reference range
        {&ChargeAirInputs::SpecificAirFlow, 1e300},    // the water overflows
        {&ChargeAirInputs::SpecificAirFlow, 8.3e-317}, // a water flow among the subnormals
        {&ChargeAirInputs::PowerOnEngine, 1e300},
    };
    for (const Edge& e : edges)
        rows.push_back(With(e.Input, e.Value));
    // The corners of the ranges the vector code takes on its own.
    for (const double t : {-180.0, 1e100})
        for (const double p : {1e-50, 1e50})
            for (const double amount : {0.0, 1e50})
                rows.push_back({1e-100, t, p, amount, t, amount, amount});
    rows.push_back({100, -180, 1e-50, 1e50, 1e100, 1e50, 1e50});
    // Exactly at its dew point, and a hair either side of it.
    const double dew = Evaluate(Summer).Classic.DewPointTemperature;
    for (const double t : {dew, std::nextafter(dew, -Inf), std::nextafter(dew, Inf)})
        rows.push_back(With(&ChargeAirInputs::TempAfterCooler, t));
    for (const EvaluationOptions& options : Bases)
        ExpectAsEvaluate(rows, options);
}

TEST(EvaluateColumns, MillionRandomRowsAsEvaluate) {
    std::mt19937_64 random(20261209);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    std::vector<ChargeAirInputs> rows(1000000);
    for (ChargeAirInputs& in : rows)
        in = {uniform(1, 100), uniform(-30, 55), uniform(0.7, 1.1),  uniform(0, 5),
              uniform(-5, 85), uniform(2, 14),   uniform(100, 90000)};
    for (const EvaluationOptions& options : Bases)
        ExpectAsEvaluate(rows, options);
}

// A column read in place from any layout gives what a contiguous copy of
// it gives, bit for bit: a packed record's field, a reversed, a strided,
// an unaligned column.
TEST(EvaluateColumns, AnyStepAsContiguous) {
    constexpr std::size_t n = 1000;
    std::vector<double> humidity(n);
    for (std::size_t i = 0; i < n; ++i)
        humidity[i] = 5 + 90.0 * static_cast<double>(i) / n;
    // The result `offset` doubles past a 64-byte line, as the blocks are
    // laid out from the result's place.
    const auto waterOf = [](const InputColumn& column, std::size_t offset = 0) {
        std::array<InputColumn, InputCount> in;
        for (std::size_t k = 0; k < InputCount; ++k)
            in[k].Value = Summer.*InputColumns[k].Input;
        in[0] = column;
        std::vector<double> cells(n + 16);
        double* water =
            cells.data() +
            (64 - reinterpret_cast<std::uintptr_t>(cells.data()) % 64) % 64 / sizeof(double) +
            offset;
        ResultColumns out;
        out.Classic[5] = water;
        EvaluateColumns(in, n, {}, out);
        return std::vector<double>(water, water + n);
    };
    const std::vector<double> want = waterOf({humidity.data(), sizeof(double)});
    struct Layout {
        const char* Name;
        std::size_t Step, Offset; // bytes a row, bytes before the first
        bool Reversed;
    };
    for (const Layout& l :
         {Layout{"packed 12-byte record", 12, 4, false}, Layout{"every third", 24, 0, false},
          Layout{"unaligned", 8, 1, false}, Layout{"reversed", 8, 0, true}}) {
        std::vector<char> bytes(l.Offset + n * l.Step + 8);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = l.Offset + (l.Reversed ? n - 1 - i : i) * l.Step;
            std::memcpy(bytes.data() + at, &humidity[i], sizeof(double));
        }
        const char* first = bytes.data() + l.Offset + (l.Reversed ? (n - 1) * l.Step : 0);
        const std::ptrdiff_t step =
            l.Reversed ? -static_cast<std::ptrdiff_t>(l.Step) : static_cast<std::ptrdiff_t>(l.Step);
        EXPECT_EQ(waterOf({first, step}), want) << l.Name;
    }
    for (std::size_t offset = 1; offset < 8; ++offset)
        EXPECT_EQ(waterOf({humidity.data(), sizeof(double)}, offset), want) << offset;
}

// A part whose thread cannot start still runs, on the caller's thread.
TEST(RunParts, EveryPartRunsOnce) {
    for (const std::size_t parts : {0u, 1u, 2u, 7u}) {
        std::vector<int> ran(parts);
        RunParts(parts, [&](std::size_t p) { ++ran[p]; });
        EXPECT_EQ(ran, std::vector<int>(parts, 1)) << parts << " parts";
    }
    // Never more threads than cores or items, however many are asked for.
    EXPECT_EQ(ThreadsFor(1000000000, 1), 1u);
    EXPECT_LE(ThreadsFor(1000000000, 1000000000), std::thread::hardware_concurrency());
}

// The level asked for is the one that runs, or where the CPU lacks it the
// best it has below it; unset, a vector level.
TEST(EvaluateColumns, RunsTheLevelAsked) {
    const char* asked = std::getenv("NEBELKAMM_SIMD");
    const std::string runs = SimdInUse();
    if (!asked) {
        EXPECT_NE(runs, "scalar");
        return;
    }
    std::optional<SimdLevel> want = SimdLevelNamed(asked);
    ASSERT_TRUE(want) << asked;
    while (!SimdLevelOnCpu(*want))
        want = static_cast<SimdLevel>(static_cast<int>(*want) - 1);
    EXPECT_EQ(runs.substr(0, runs.find(' ')), SimdLevelName(*want));
}
