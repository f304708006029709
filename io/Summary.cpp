// SPDX-License-Identifier: MIT
#include "io/Summary.h"

#include "core/Columns.h"
#include "core/Errors.h"
#include "io/Batch.h"
#include "io/Csv.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace nebelkamm {
namespace {

// Intervals that give the default gap, and rows kept at most meanwhile.
constexpr std::size_t GapSample = 1000, MostWaiting = 100000;
constexpr double LeastGap = 300;
// Periods between two rows at most: each is written, so a time mistyped by
// centuries is refused rather than answered with millions of empty rows.
constexpr std::int64_t MostPeriodsApart = 100000;

void AddStats(ModelTotals& t, const SummaryValues& v) {
    t.MaxWater = std::max(t.MaxWater, v.Water);
    t.MinMargin = std::min(t.MinMargin, v.Margin);
}

// A model's share of an interval between two rows with results.
void AddInterval(ModelTotals& t, const SummaryValues& a, const SummaryValues& b, double hours) {
    t.Water += hours * (a.Water + b.Water) / 2;
    t.CondensingHours += hours * ((a.Condensing > 0) + (b.Condensing > 0)) / 2.0;
}

} // namespace

Summary::Summary(const SummaryOptions& options, std::function<void(const PeriodTotals&)> emit)
    : options_(options), emit_(std::move(emit)) {}

std::vector<double> PeriodTotals::Values(bool reference) const {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> v{double(Rows)};
    const auto model = [&](const ModelTotals& t, bool withHours) {
        v.push_back(double(t.RowsWithMessage));
        if (withHours)
            v.insert(v.end(), {Hours, GapHours});
        v.insert(v.end(), {t.CondensingHours, t.Water, Hours > 0 ? t.Water / Hours : none,
                           std::isfinite(t.MaxWater) ? t.MaxWater : none,
                           std::isfinite(t.MinMargin) ? t.MinMargin : none});
    };
    model(Classic, true);
    if (reference)
        model(Reference, false);
    return v;
}

std::vector<std::string> Summary::Columns(bool reference) {
    std::vector<std::string> c{"Period",
                               "Rows",
                               "RowsWithMessage",
                               "Hours",
                               "GapHours",
                               "CondensingHours",
                               "Water [kg]",
                               "MeanWaterAtSeparator [kg/h]",
                               "MaxWaterAtSeparator [kg/h]",
                               "MinDewPointMargin [K]"};
    if (reference)
        for (const char* name : {"RefRowsWithMessage", "RefCondensingHours", "RefWater [kg]",
                                 "RefMeanWaterAtSeparator [kg/h]", "RefMaxWaterAtSeparator [kg/h]",
                                 "RefMinDewPointMargin [K]"})
            c.emplace_back(name);
    return c;
}

std::string Summary::Add(const SummaryRow& row) {
    std::string why;
    if (!row.Time)
        why = "the time cannot be read";
    else if (lastInstant_ && row.Time->Instant < *lastInstant_)
        why = "the time is earlier than the row before";
    else if (lastInstant_ && options_.By != SummaryPeriod::File &&
             row.Time->Clock - lastClockAdded_ > MostPeriodsApart * PeriodSeconds())
        why = "the time is more than " + std::to_string(MostPeriodsApart) +
              (options_.By == SummaryPeriod::Day ? " days" : " hours") + " after the row before";
    else if (row.Classic.Good)
        lastInstant_ = row.Time->Instant, lastClockAdded_ = row.Time->Clock;
    const Kept k{row, !why.empty()};
    if (started_) {
        Take(k);
        return why;
    }
    waiting_.push_back(k);
    waitingGood_ += row.Classic.Good && why.empty();
    if (waitingGood_ > GapSample || waiting_.size() >= MostWaiting)
        Start();
    return why;
}

// The largest gap (the one given, else five times the median interval of
// the rows so far), then those rows.
void Summary::Start() {
    const auto fromRows = [this] {
        std::vector<double> intervals;
        std::optional<double> last;
        for (const Kept& k : waiting_) {
            if (k.TimeRefused || !k.Row.Classic.Good)
                continue;
            if (last && intervals.size() < GapSample)
                intervals.push_back(k.Row.Time->Instant - *last);
            last = k.Row.Time->Instant;
        }
        if (intervals.empty())
            return LeastGap;
        std::nth_element(intervals.begin(), intervals.begin() + intervals.size() / 2,
                         intervals.end());
        return std::max(LeastGap, 5 * intervals[intervals.size() / 2]);
    };
    maxGap_ = options_.MaxGapSeconds ? *options_.MaxGapSeconds : fromRows();
    started_ = true;
    for (; !waiting_.empty(); waiting_.pop_front())
        Take(waiting_.front());
}

void Summary::Close(const SummaryRow& next, bool gap) {
    if (!started_)
        Start();
    if (!lastGood_ || !next.Time || !next.Classic.Good ||
        next.Time->Instant < lastGood_->Time->Instant)
        return;
    Bridge(*lastGood_, next,
           gap || gapNext_ || next.Time->Instant - lastGood_->Time->Instant > maxGap_);
}

void Summary::Finish() {
    if (!started_)
        Start();
    if (open_)
        Emit();
    else if (orphans_ > 0) { // no row with a time at all
        current_.Rows = orphans_;
        current_.Classic.RowsWithMessage = orphanMessages_;
        current_.Reference.RowsWithMessage = orphanRefMessages_;
        orphans_ = 0;
        emit_(current_);
    }
}

void Summary::Take(const Kept& k) {
    const SummaryRow& r = k.Row;
    const bool timed = r.Time && !k.TimeRefused;
    const bool good = timed && r.Classic.Good;
    if (timed) {
        lastClock_ = anyTime_ ? std::max(lastClock_, r.Time->Clock) : r.Time->Clock;
        firstClock_ = anyTime_ ? firstClock_ : r.Time->Clock;
        anyTime_ = true;
    }
    if (good && lastGood_)
        Bridge(*lastGood_, r, gapNext_ || r.Time->Instant - lastGood_->Time->Instant > maxGap_);
    const double* clock = timed ? &r.Time->Clock : lastGood_ ? &lastGood_->Time->Clock : nullptr;
    if (!clock) { // before any good row: counted in the first period
        ++orphans_;
        orphanMessages_ += !good;
        orphanRefMessages_ += options_.Reference && (!good || !r.Reference.Good);
        gapNext_ = gapNext_ || !good;
        return;
    }
    PeriodTotals& p = At(*clock);
    ++p.Rows;
    if (!good) {
        ++p.Classic.RowsWithMessage;
        p.Reference.RowsWithMessage += options_.Reference;
        gapNext_ = lastGood_.has_value();
        return;
    }
    AddStats(p.Classic, r.Classic);
    if (options_.Reference && r.Reference.Good)
        AddStats(p.Reference, r.Reference);
    else if (options_.Reference)
        ++p.Reference.RowsWithMessage;
    gapNext_ = false;
    lastGood_ = r;
}

// The interval between two rows with results, split at each period start
// it crosses in proportion to the clock time on either side.
void Summary::Bridge(const SummaryRow& from, const SummaryRow& to, bool gap) {
    const double hours = (to.Time->Instant - from.Time->Instant) / 3600;
    const double c0 = from.Time->Clock, c1 = to.Time->Clock;
    const bool both = options_.Reference && from.Reference.Good && to.Reference.Good;
    const auto add = [&](double clock, double share) {
        PeriodTotals& p = At(clock);
        if (gap) {
            p.GapHours += share * hours;
            return;
        }
        p.Hours += share * hours;
        AddInterval(p.Classic, from.Classic, to.Classic, share * hours);
        if (both)
            AddInterval(p.Reference, from.Reference, to.Reference, share * hours);
    };
    if (c1 <= c0 || options_.By == SummaryPeriod::File) {
        add(c0, 1);
        return;
    }
    const double length = PeriodSeconds();
    for (double start = c0; start < c1;) {
        const double end = std::min(c1, (std::floor(start / length) + 1) * length);
        add(start, (end - start) / (c1 - c0));
        start = end;
    }
}

double Summary::PeriodSeconds() const {
    return options_.By == SummaryPeriod::Day ? 86400 : 3600;
}

std::int64_t Summary::KeyOf(double clock) const {
    return options_.By == SummaryPeriod::File
               ? 0
               : static_cast<std::int64_t>(std::floor(clock / PeriodSeconds()));
}

PeriodTotals& Summary::At(double clock) {
    const std::int64_t key = KeyOf(clock);
    if (open_ && key <= key_) // a clock set back stays in the period it left
        return current_;
    if (open_)
        Emit();
    open_ = true;
    key_ = key;
    current_ = PeriodTotals{};
    if (options_.By != SummaryPeriod::File)
        current_.Period = ClockText(static_cast<double>(key) * PeriodSeconds(),
                                    options_.By == SummaryPeriod::Hour);
    current_.Rows = orphans_;
    current_.Classic.RowsWithMessage = orphanMessages_;
    current_.Reference.RowsWithMessage = orphanRefMessages_;
    orphans_ = orphanMessages_ = orphanRefMessages_ = 0;
    return current_;
}

void Summary::Emit() {
    if (options_.By == SummaryPeriod::File)
        current_.Period =
            ClockText(firstClock_, true, true) + "/" + ClockText(lastClock_, true, true);
    emit_(current_);
    open_ = false;
}

namespace {

void AppendNumber(std::string& out, double v, char decimal) {
    if (!std::isfinite(v))
        return;
    char text[ShortestTextMax];
    const std::size_t n = ShortestText(v, text);
    for (std::size_t i = 0; i < n; ++i)
        out += text[i] == '.' ? decimal : text[i];
}

void AppendTotals(std::string& out, const PeriodTotals& p, bool reference, const Dialect& d) {
    AppendField(out, p.Period, d.Separator);
    for (const double v : p.Values(reference))
        (out += d.Separator), AppendNumber(out, v, d.Decimal);
    out += '\n';
}

std::size_t ColumnOf(std::span<const Column> columns, std::string_view key) {
    for (std::size_t j = 0; j < columns.size(); ++j)
        if (key == columns[j].Key)
            return j;
    return 0;
}

} // namespace

std::optional<double> ReadDuration(std::string_view text) {
    char* end = nullptr;
    const std::string s(text);
    const double v = std::strtod(s.c_str(), &end);
    const std::string_view unit(end);
    double scale = 0;
    if (unit.empty() || unit == "s")
        scale = 1;
    else if (unit == "min")
        scale = 60;
    else if (unit == "h")
        scale = 3600;
    if (end == s.c_str() || scale == 0 || !(v > 0) || !std::isfinite(v))
        return std::nullopt;
    return v * scale;
}

SummaryRun RunSummary(Source& in, Sink& out, const ChargeAirInputs& stored, BatchOptions batch,
                      const SummaryOptions& options, const TimeOptions& time) {
    const bool reference = batch.Reference.has_value();
    const std::span<const Column> columns = OutputColumns(reference);
    const std::size_t water = ColumnOf(columns, "WaterAtSeparator"),
                      condensing = ColumnOf(columns, "CondensingWaterContent"),
                      after = ColumnOf(columns, "TempAfterCooler"),
                      dew = ColumnOf(columns, "DewPointTemperature"),
                      refWater = ColumnOf(columns, "RefWaterAtSeparator"),
                      refCondensing = ColumnOf(columns, "RefCondensingWaterContent"),
                      refMargin = ColumnOf(columns, "RefDewPointMargin");
    SummaryRun run;
    Dialect dialect;
    TimeColumns at;
    std::string text;
    Summary summary(options, [&](const PeriodTotals& p) {
        text.clear();
        AppendTotals(text, p, reference, dialect);
        out.Write(text);
    });
    const auto onLayout = batch.OnLayout;
    batch.OnLayout = [&](const BatchLayout& layout) {
        if (onLayout)
            onLayout(layout);
        dialect = layout.FileDialect;
        at = FindTimeColumns(layout.PassedThrough, time.Column);
        if (at.Time < 0)
            throw EDataError(time.Column.empty() ? std::string("no time column: looked for ") +
                                                       TimeNames + "; name it with --time"
                                                 : "no column " + time.Column + " for the time");
        std::string header;
        for (const std::string& c : Summary::Columns(reference))
            (AppendField(header, c, dialect.Separator), header += dialect.Separator);
        header.back() = '\n';
        out.Write(header);
    };
    batch.OnRows = [&](const BatchRows& rows) {
        std::string scratch, joined;
        for (std::size_t i = 0; i < rows.Size(); ++i) {
            SummaryRow r;
            r.Line = rows.Line(i);
            joined.assign(rows.Cell(i, static_cast<std::size_t>(at.Time), scratch));
            if (at.Date >= 0)
                joined = std::string(rows.Cell(i, static_cast<std::size_t>(at.Date), scratch)) +
                         ' ' + joined;
            r.Time = ReadLogTime(joined, time.Format);
            const auto values = [&](bool ref, std::size_t w, std::size_t c) {
                SummaryValues v;
                v.Good = rows.Message(i, ref).empty();
                v.Water = rows.Value(i, w);
                v.Condensing = rows.Value(i, c);
                v.Margin =
                    ref ? rows.Value(i, refMargin) : rows.Value(i, after) - rows.Value(i, dew);
                return v;
            };
            r.Classic = values(false, water, condensing);
            if (reference)
                r.Reference = values(true, refWater, refCondensing);
            const std::string why = summary.Add(r);
            ++run.Rows;
            run.Failed += !why.empty() || !r.Classic.Good;
            if (why.empty())
                continue;
            if (run.Refused.size() < 5)
                run.Refused.push_back("line " + std::to_string(r.Line) + ": " + why);
            else
                ++run.MoreRefused;
        }
    };
    RunBatch(in, out, stored, batch);
    summary.Finish();
    return run;
}

} // namespace nebelkamm
