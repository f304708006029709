// SPDX-License-Identifier: MIT
#pragma once

#include "io/LogTime.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace nebelkamm {

enum class SummaryPeriod : std::uint8_t { Day, Hour, File };

struct SummaryOptions {
    SummaryPeriod By = SummaryPeriod::Day;
    // Longer intervals are not bridged; none: five times the median of the
    // first 1000 intervals, at least five minutes.
    std::optional<double> MaxGapSeconds;
    bool Reference = false;
};

// A model's results in a row, as the summary takes them.
struct SummaryValues {
    bool Good = false; // results, no message
    double Water = 0;  // at the separator, kg/h
    double Condensing = 0;
    double Margin = 0; // temperature after cooler less dew point, K
};

// One row of the log, in the log's order.
struct SummaryRow {
    std::uint64_t Line = 0;
    std::optional<LogTime> Time; // none: it cannot be read
    SummaryValues Classic, Reference;
};

// A model's sums over a period.
struct ModelTotals {
    std::uint64_t RowsWithMessage = 0;
    double CondensingHours = 0, Water = 0;
    double MaxWater = -std::numeric_limits<double>::infinity();
    double MinMargin = std::numeric_limits<double>::infinity();
};

struct PeriodTotals {
    std::string Period;
    std::uint64_t Rows = 0;
    double Hours = 0, GapHours = 0;
    ModelTotals Classic, Reference;

    // The numbers after Period, in the order of Summary::Columns; NaN where
    // there is none (no hours, no row with results).
    std::vector<double> Values(bool reference) const;
};

// Totals of a timestamped log by day, hour or for the whole file: the
// trapezoid rule between consecutive rows with results, an interval longer
// than the largest gap (or around a row with a message) counted as gap, an
// interval across a period's start split there in proportion. Streams: a
// period is handed out when a later one starts, after the first 1000
// intervals (which give the default gap) are in.
class Summary {
public:
    Summary(const SummaryOptions& options, std::function<void(const PeriodTotals&)> emit);
    // Takes the next row. Returns why its time is refused (not readable,
    // earlier than the last good row's), or "".
    std::string Add(const SummaryRow& row);
    // For a part of a log that the next part goes on from: the interval
    // from the last row with results to that part's first one (gap: rows
    // with a message before it there), counted here and not there.
    void Close(const SummaryRow& next, bool gap);
    // Hands out what is left.
    void Finish();
    // The largest interval bridged, once known, in seconds.
    double MaxGap() const { return maxGap_; }

    // The column names, reference ones when asked for.
    static std::vector<std::string> Columns(bool reference);

private:
    struct Kept {
        SummaryRow Row;
        bool TimeRefused;
    };
    void Start();
    void Take(const Kept& k);
    void Bridge(const SummaryRow& from, const SummaryRow& to, bool gap);
    PeriodTotals& At(double clock);
    std::int64_t KeyOf(double clock) const;
    double PeriodSeconds() const;
    void Emit();

    SummaryOptions options_;
    std::function<void(const PeriodTotals&)> emit_;
    double maxGap_ = 0;
    bool started_ = false; // the gap is known and rows flow
    std::deque<Kept> waiting_;
    std::size_t waitingGood_ = 0;
    std::optional<double> lastInstant_; // of the last good time, as added
    double lastClockAdded_ = 0;
    std::optional<SummaryRow> lastGood_; // as taken
    bool gapNext_ = false;
    bool open_ = false; // current_ holds a period
    std::int64_t key_ = 0;
    PeriodTotals current_;
    std::uint64_t orphans_ = 0, orphanMessages_ = 0, orphanRefMessages_ = 0;
    double firstClock_ = 0, lastClock_ = 0;
    bool anyTime_ = false;
};

struct BatchOptions;
struct BatchSummary;
struct ChargeAirInputs;
class Source;
class Sink;

// Where the time is and how it is written.
struct TimeOptions {
    std::string Column; // empty: looked for by name (FindTimeColumns)
    std::string Format; // empty: the formats ReadLogTime knows
};

// What a summary of a batch found besides its periods.
struct SummaryRun {
    std::uint64_t Rows = 0, Failed = 0; // rows read; rows with a message or a refused time
    std::vector<std::string> Refused;   // the first few refused times, "line 7: ..."
    std::uint64_t MoreRefused = 0;      // and how many more
};

// A batch's rows summed over periods of their time: a header and one row a
// period to out, in the input's dialect. Throws EDataError when no time
// column is found, besides what RunBatch throws.
SummaryRun RunSummary(Source& in, Sink& out, const ChargeAirInputs& stored, BatchOptions batch,
                      const SummaryOptions& options, const TimeOptions& time);

// A duration as "30s", "10min", "2h" (or plain seconds), in seconds; none
// for anything else or not above 0.
std::optional<double> ReadDuration(std::string_view text);

} // namespace nebelkamm
