// SPDX-License-Identifier: MIT
#include "platform/NumberText.h"

#include "platform/Errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace nebelkamm {
namespace {

// Correctly rounded significant digits of |value| (finite, non-zero) and the
// decimal exponent of the first one: |value| ~ d.ddd x 10^exponent.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal SignificantDigits(double value, int count) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                   std::chars_format::scientific, count - 1);
    // "d.ddde-xx" or "de+xx": the first digit, the rest after the point.
    const char* e = std::find(buf, res.ptr, 'e');
    Decimal d;
    d.digits.reserve(static_cast<size_t>(count));
    d.digits.push_back(buf[0]);
    if (e - buf > 2)
        d.digits.append(buf + 2, static_cast<size_t>(e - buf - 2));
    if (e != res.ptr)
        std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, d.exponent);
    return d;
}

// What logs hold: digits with at most one decimal separator, at most 15 of
// them significant. Such a number is read exactly with one division, both
// of whose operands are exact (an integer below 2^53, a power of ten up to
// 10^22). Since no two decimals of 15 digits or fewer read as the same
// double, the text is then the shortest that reads back as its value; it
// is that text when it is also in the shortest text's form (no leading or
// trailing zeros, plain notation).
bool PlainDecimal(std::string_view text, char decimal, double& value, bool& shortest) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p < end && *p == '-';
    p += negative ? 1 : 0;
    const char* const first = p;
    std::uint64_t mantissa = 0;
    while (p < end && static_cast<unsigned char>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
    const std::size_t integerDigits = static_cast<std::size_t>(p - first);
    const bool point = p < end && *p == decimal;
    std::size_t fraction = 0;
    if (point) {
        const char* const f = ++p;
        while (p < end && static_cast<unsigned char>(*p - '0') < 10)
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p++ - '0');
        fraction = static_cast<std::size_t>(p - f);
    }
    if (p != end || integerDigits == 0 || fraction > 22 || (point && fraction == 0))
        return false; // ".5", "5." and anything else go the general way
    if (integerDigits + fraction > 15) {
        // Leading zeros do not count, but the mantissa may have wrapped.
        std::size_t zeros = 0;
        for (const char* q = first; q < end && (*q == '0' || *q == decimal); ++q)
            zeros += *q == '0' ? 1 : 0;
        if (integerDigits + fraction - zeros > 15)
            return false;
    }
    static constexpr double Powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    value = static_cast<double>(mantissa) / Powers[fraction];
    if (negative)
        value = -value;
    shortest = (mantissa != 0 && std::fabs(value) >= 1e-6 &&
                (integerDigits == 1 || *first != '0') && (!point || end[-1] != '0')) ||
               (text.size() == 1 && *first == '0');
    return true;
}

std::string NonFinite(double value) {
    if (std::isnan(value))
        return "NAN";
    return value > 0 ? "INF" : "-INF";
}

} // namespace

std::string FloatToStr(double value, char separator) {
    if (!std::isfinite(value))
        return NonFinite(value);
    if (value == 0)
        return "0";
    Decimal d = SignificantDigits(value, 15);
    // The largest doubles round up past the double range, and such a text
    // would read back as infinity: keep them at the 15 digits below.
    if (d.exponent == 308 && d.digits > "179769313486231")
        d.digits = "179769313486231";
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int e = d.exponent + 1; // value = 0.d1d2... x 10^e
    std::string out = value < 0 ? "-" : "";
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out += '0';
            out += separator;
            out.append(static_cast<size_t>(-e), '0');
            out += d.digits;
        } else if (d.digits.size() <= static_cast<size_t>(e)) {
            out += d.digits;
            out.append(static_cast<size_t>(e) - d.digits.size(), '0');
        } else {
            out.append(d.digits, 0, static_cast<size_t>(e));
            out += separator;
            out.append(d.digits, static_cast<size_t>(e));
        }
    } else {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += separator;
            out.append(d.digits, 1);
        }
        out += 'E';
        out += std::to_string(d.exponent);
    }
    return out;
}

std::string DisplayPattern(int decimals) {
    std::string pattern = "0";
    if (decimals > 0) {
        pattern += '.';
        pattern.append(static_cast<size_t>(decimals), '0');
    }
    return pattern;
}

std::string FormatFloat(std::string_view pattern, double value, char separator) {
    if (pattern.empty() || pattern[0] != '0' || (pattern.size() > 1 && pattern[1] != '.') ||
        pattern.find_first_not_of('0', 2) != std::string_view::npos)
        throw EUsageError("unsupported number pattern");
    const size_t decimals = pattern.size() > 1 ? pattern.size() - 2 : 0;

    if (!std::isfinite(value))
        return NonFinite(value);
    if (std::fabs(value) >= 1e18) // beyond the fixed form's 18 digits
        return FloatToStr(value, separator);

    // Fixed-point digit string with `point` digits before the separator.
    std::string digits = "0";
    long point = 1;
    if (value != 0) {
        const Decimal d = SignificantDigits(value, 18);
        digits = d.digits;
        point = d.exponent + 1;
        if (point < 1) {
            digits.insert(0, static_cast<size_t>(1 - point), '0');
            point = 1;
        }
    }
    const size_t keep = static_cast<size_t>(point) + decimals;
    if (digits.size() < keep + 1)
        digits.append(keep + 1 - digits.size(), '0');
    const bool roundUp = digits[keep] >= '5'; // half away from zero
    digits.resize(keep);
    if (roundUp) {
        size_t i = keep;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            ++point;
        } else {
            ++digits[i - 1];
        }
    }
    size_t lead = 0;
    while (lead + 1 < static_cast<size_t>(point) && digits[lead] == '0')
        ++lead;

    std::string out;
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos)
        out += '-'; // no "-0.00" for a value that rounds to zero
    out.append(digits, lead, static_cast<size_t>(point) - lead);
    if (decimals > 0) {
        out += separator;
        out.append(digits, static_cast<size_t>(point), decimals);
    }
    return out;
}

double StrToFloat(std::string_view text, char separator) {
    auto fail = [&]() -> double {
        throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    };
    size_t i = 0;
    const size_t n = text.size();
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    std::string mantissa; // digits without the separator
    long long intDigits = -1;
    bool any = false;
    for (; i < n; ++i) {
        if (isDigit(text[i])) {
            mantissa += text[i];
            any = true;
        } else if (text[i] == separator && intDigits < 0) {
            intDigits = static_cast<long long>(mantissa.size());
            any = true;
        } else {
            break;
        }
    }
    if (!any)
        return fail();
    if (intDigits < 0)
        intDigits = static_cast<long long>(mantissa.size());

    long long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            expNegative = text[i++] == '-';
        for (; i < n && isDigit(text[i]); ++i)
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[i] - '0');
        if (expNegative)
            exponent = -exponent;
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        return fail();

    const size_t first = mantissa.find_first_not_of('0');
    if (first == std::string::npos)
        return negative ? -0.0 : 0.0;
    // value = 0.<mantissa from first> x 10^e10
    const long long e10 = intDigits - static_cast<long long>(first) + exponent;
    // The conversion's own range is that of the x87 extended format.
    if (e10 > 4933 || e10 < -4950)
        return fail();

    std::string normal = "0." + mantissa.substr(first);
    while (normal.back() == '0')
        normal.pop_back();
    normal += 'e' + std::to_string(e10);
    double value = 0;
    const auto res = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (res.ec == std::errc::result_out_of_range)
        value = e10 > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (res.ec != std::errc() || res.ptr != normal.data() + normal.size())
        return fail();
    return negative ? -value : value;
}

bool ReadDataNumber(std::string_view text, char decimal, double& value,
                    std::string_view& shortest) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    shortest = {};
    bool plainIsShortest = false;
    if (PlainDecimal(text, decimal, value, plainIsShortest)) {
        if (plainIsShortest)
            shortest = text;
        return true;
    }
    if (text.empty() || text.size() > 64)
        return false;
    char buf[64];
    if (decimal != '.') {
        if (text.find('.') != std::string_view::npos)
            return false;
        std::copy(text.begin(), text.end(), buf);
        std::replace(buf, buf + text.size(), decimal, '.');
        text = std::string_view(buf, text.size());
    }
    const char c = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(c >= '0' && c <= '9') && c != '.')
        return false; // from_chars would take "inf" and "nan"
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && std::isfinite(value);
}

std::size_t ShortestText(double value, char* out) {
    if (!std::isfinite(value))
        return 0;
    const double a = std::fabs(value);
    char* const end = out + ShortestTextMax;
    if (a == 0 || (a >= 1e-6 && a < 1e21))
        return static_cast<std::size_t>(
            std::to_chars(out, end, value, std::chars_format::fixed).ptr - out);
    // d.ddde+XX: the exponent without its leading zeros.
    char* p = std::to_chars(out, end, value, std::chars_format::scientific).ptr;
    char* e = std::find(out, p, 'e') + 2;
    char* digits = e;
    while (digits + 1 < p && *digits == '0')
        ++digits;
    if (digits != e)
        p = std::copy(digits, p, e);
    return static_cast<std::size_t>(p - out);
}

} // namespace nebelkamm
