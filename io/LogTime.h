// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nebelkamm {

// A time as a log writes it: the instant, for intervals, and the date and
// clock as written, for periods; both in seconds from 1970-01-01 00:00.
// Without an offset the two are the same; Unix seconds are UTC.
struct LogTime {
    double Instant = 0;
    double Clock = 0;
};

// Reads ISO 8601 ("2026-12-09T10:00", a blank for the T, seconds and their
// fractions optional, "Z" or "+01:00" after it), "09.12.2026 10:00[:00]",
// "2026/12/09 10:00[:00]" and Unix seconds; or, with a format, that format
// alone (strftime's %Y %m %d %H %M %S %z %%; blanks match blanks). Nothing
// is guessed: "12/09/2026" needs a format.
std::optional<LogTime> ReadLogTime(std::string_view text, std::string_view format = {});

// "2026-12-09" or "2026-12-09T10:00" for the day or hour that starts at
// clock seconds; with seconds, "2026-12-09T10:00:05".
std::string ClockText(double clock, bool hour, bool seconds = false);

// Where a log's time stands: one column, or a date column and a time column
// to be joined with a blank. Names looked for, in any case: time,
// timestamp, datetime, "date time", Zeit; Date with Time, Datum with
// Uhrzeit. Empty for none found.
struct TimeColumns {
    int Time = -1, Date = -1;
};
TimeColumns FindTimeColumns(const std::vector<std::string>& names, std::string_view given = {});

// The names FindTimeColumns looks for, for a message.
inline constexpr const char* TimeNames =
    "time, timestamp, datetime, date time, Zeit, or a Date and a Time (Datum and Uhrzeit) column";

} // namespace nebelkamm
