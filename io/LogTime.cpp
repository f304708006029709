// SPDX-License-Identifier: MIT
#include "io/LogTime.h"

#include "core/Units.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace nebelkamm {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

unsigned DaysIn(int y, unsigned m) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// A reader over the text: digits, literal characters, the end.
class Cursor {
public:
    explicit Cursor(std::string_view text) : s_(text) {}
    bool Digits(std::size_t least, std::size_t most, int& value) {
        std::size_t n = 0;
        value = 0;
        while (n < most && at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') {
            value = value * 10 + (s_[at_++] - '0');
            ++n;
        }
        return n >= least;
    }
    bool Take(char c) {
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool End() const { return at_ == s_.size(); }
    char Peek() const { return at_ < s_.size() ? s_[at_] : '\0'; }
    // ".5" or ",5" after the seconds.
    double Fraction() {
        if (!(Peek() == '.' || Peek() == ',') || at_ + 1 >= s_.size() || s_[at_ + 1] < '0' ||
            s_[at_ + 1] > '9')
            return 0;
        ++at_;
        double f = 0, scale = 0.1;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') {
            f += (s_[at_++] - '0') * scale;
            scale /= 10;
        }
        return f;
    }
    // "Z", "+01:00", "+0100", "-05": seconds east of UTC; false for none.
    bool Offset(double& seconds) {
        if (Take('Z')) {
            seconds = 0;
            return true;
        }
        const char sign = Peek();
        if (sign != '+' && sign != '-')
            return false;
        ++at_;
        int h = 0, m = 0;
        if (!Digits(2, 2, h))
            return false;
        Take(':');
        if (!End() && !Digits(2, 2, m))
            return false;
        seconds = (sign == '-' ? -1 : 1) * (h * 3600.0 + m * 60.0);
        return h <= 23 && m <= 59;
    }

private:
    std::string_view s_;
    std::size_t at_ = 0;
};

struct Fields {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    double Fraction = 0, Offset = 0;
    bool HasOffset = false;
};

std::optional<LogTime> Make(const Fields& f) {
    if (f.Month < 1 || f.Month > 12 || f.Day < 1 ||
        static_cast<unsigned>(f.Day) > DaysIn(f.Year, static_cast<unsigned>(f.Month)) ||
        f.Hour > 24 || f.Minute > 59 || f.Second > 60 ||
        (f.Hour == 24 && (f.Minute || f.Second || f.Fraction)))
        return std::nullopt;
    const double clock = static_cast<double>(DaysFromCivil(f.Year, static_cast<unsigned>(f.Month),
                                                           static_cast<unsigned>(f.Day))) *
                             86400 +
                         f.Hour * 3600.0 + f.Minute * 60.0 + f.Second + f.Fraction;
    return LogTime{clock - (f.HasOffset ? f.Offset : 0), clock};
}

// hh:mm[:ss[.fff]] and an optional offset to the end.
bool Clock(Cursor& c, Fields& f, bool offsets) {
    if (!c.Digits(1, 2, f.Hour) || !c.Take(':') || !c.Digits(2, 2, f.Minute))
        return false;
    if (c.Take(':')) {
        if (!c.Digits(2, 2, f.Second))
            return false;
        f.Fraction = c.Fraction();
    }
    if (offsets)
        f.HasOffset = c.Offset(f.Offset);
    return c.End();
}

std::optional<LogTime> Iso(std::string_view text) {
    Cursor c(text);
    Fields f;
    if (!c.Digits(4, 4, f.Year) || !c.Take('-') || !c.Digits(2, 2, f.Month) || !c.Take('-') ||
        !c.Digits(2, 2, f.Day))
        return std::nullopt;
    if (c.End())
        return Make(f);
    if (!c.Take('T') && !c.Take(' '))
        return std::nullopt;
    return Clock(c, f, true) ? Make(f) : std::nullopt;
}

// dd.mm.yyyy or yyyy/mm/dd, then a blank and the clock.
std::optional<LogTime> Written(std::string_view text) {
    Cursor c(text);
    Fields f;
    int first = 0;
    if (!c.Digits(1, 4, first))
        return std::nullopt;
    if (c.Take('.')) {
        f.Day = first;
        if (!c.Digits(1, 2, f.Month) || !c.Take('.') || !c.Digits(4, 4, f.Year))
            return std::nullopt;
    } else if (c.Take('/')) {
        f.Year = first;
        if (first < 1000 || !c.Digits(1, 2, f.Month) || !c.Take('/') || !c.Digits(1, 2, f.Day))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (c.End())
        return Make(f);
    if (!c.Take(' '))
        return std::nullopt;
    while (c.Take(' ')) {
    }
    return Clock(c, f, false) ? Make(f) : std::nullopt;
}

std::optional<LogTime> UnixSeconds(std::string_view text) {
    Cursor c(text);
    Fields f;
    int digits = 0;
    double seconds = 0;
    const bool negative = c.Take('-');
    std::size_t n = 0;
    while (c.Peek() >= '0' && c.Peek() <= '9' && n < 12) {
        c.Digits(1, 1, digits);
        seconds = seconds * 10 + digits;
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    seconds += c.Fraction();
    if (!c.End())
        return std::nullopt;
    seconds = negative ? -seconds : seconds;
    return LogTime{seconds, seconds};
}

// The numbers a format's letters read.
struct FormatField {
    char Letter;
    int Fields::*Field;
    std::size_t Least, Most;
};
constexpr FormatField FormatDigits[] = {
    {'Y', &Fields::Year, 4, 4}, {'m', &Fields::Month, 1, 2},  {'d', &Fields::Day, 1, 2},
    {'H', &Fields::Hour, 1, 2}, {'M', &Fields::Minute, 1, 2}, {'S', &Fields::Second, 1, 2},
};

std::optional<LogTime> Formatted(std::string_view text, std::string_view format) {
    Cursor c(text);
    Fields f;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            if (!c.Take(format[i]))
                return std::nullopt;
            continue;
        }
        const char field = format[++i];
        const auto digits =
            std::find_if(std::begin(FormatDigits), std::end(FormatDigits),
                         [field](const FormatField& d) { return d.Letter == field; });
        bool ok = true;
        if (digits != std::end(FormatDigits))
            ok = c.Digits(digits->Least, digits->Most, f.*digits->Field);
        if (field == 'S')
            f.Fraction = c.Fraction();
        else if (field == 'z')
            ok = f.HasOffset = c.Offset(f.Offset);
        else if (field == '%')
            ok = c.Take('%');
        else if (digits == std::end(FormatDigits))
            ok = false;
        if (!ok)
            return std::nullopt;
    }
    return c.End() ? Make(f) : std::nullopt;
}

} // namespace

std::optional<LogTime> ReadLogTime(std::string_view text, std::string_view format) {
    text = TrimBlanks(text);
    if (!format.empty())
        return Formatted(text, format);
    if (auto t = Iso(text))
        return t;
    if (auto t = Written(text))
        return t;
    return UnixSeconds(text);
}

std::string ClockText(double clock, bool hour, bool seconds) {
    const auto whole = static_cast<std::int64_t>(std::floor(clock));
    const std::int64_t days = whole >= 0 ? whole / 86400 : (whole - 86399) / 86400;
    const std::int64_t in = whole - days * 86400;
    int y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    char text[40];
    if (seconds)
        std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", y, m, d,
                      static_cast<int>(in / 3600), static_cast<int>(in / 60 % 60),
                      static_cast<int>(in % 60));
    else if (hour)
        std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:00", y, m, d,
                      static_cast<int>(in / 3600));
    else
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return text;
}

TimeColumns FindTimeColumns(const std::vector<std::string>& names, std::string_view given) {
    TimeColumns found;
    const auto find = [&](std::string_view name) {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (SameTextIgnoringCase(TrimBlanks(names[i]), name))
                return static_cast<int>(i);
        return -1;
    };
    if (!given.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == given)
                found.Time = static_cast<int>(i);
        return found;
    }
    for (const char* name : {"time", "timestamp", "datetime", "date time", "Zeit"}) {
        found.Time = find(name);
        if (found.Time >= 0) {
            found.Date = find(SameTextIgnoringCase(name, "time") ? "date" : "datum");
            if (found.Date < 0 && SameTextIgnoringCase(name, "Zeit"))
                found.Date = find("datum");
            return found;
        }
    }
    found.Date = find("datum");
    found.Time = found.Date >= 0 ? find("uhrzeit") : -1;
    if (found.Time < 0)
        found.Date = -1;
    return found;
}

} // namespace nebelkamm
