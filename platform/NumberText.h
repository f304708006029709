// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nebelkamm {

// The decimal separator of the user's locale (LC_ALL, LC_NUMERIC, LANG);
// '.' when the locale gives none or one that is not a single ASCII char.
char SystemDecimalSeparator();

// General format, 15 significant digits, correctly rounded: fixed notation
// for decimal exponents -3..15 (0.0001 up to below 1e15), else "5E-5".
std::string FloatToStr(double value, char separator);

// The field's display pattern: "0", "0.0", "0.00", ... for 0, 1, 2 decimals.
std::string DisplayPattern(int decimals);

// Formats with a pattern of the DisplayPattern family, rounding half away
// from zero on the number's 18-significant-digit decimal form. Throws
// EUsageError for any other pattern.
std::string FormatFloat(std::string_view pattern, double value, char separator);

// Optional blanks, sign, digits with at most one separator (a lone separator
// reads 0), optional exponent (E/e, sign, digits; no digits reads 0), blanks.
// Anything else, or a number beyond the extended range (about 1.2e4932,
// 3.6e-4951), throws EConvertError.
// A number inside that range but beyond the double range gives +-infinity,
// which callers treat as "converts but does not fit".
double StrToFloat(std::string_view text, char separator);

// A number in a data file: blanks around it, an optional sign, digits with
// `decimal` as the separator, an optional exponent; no infinities, no NaN,
// nothing else. shortest is set to the (trimmed) text when it is already
// ShortestText's text of the value with `decimal`, else emptied, which
// spares the writer formatting it again.
bool ReadDataNumber(std::string_view text, char decimal, double& value, std::string_view& shortest);

// The shortest text that reads back to exactly the value, with "." as the
// separator, laid out as JavaScript prints numbers: plain from 1e-6 up to
// below 1e21 (100000, 0.0001), an exponent outside (1e-7, 1.5e+300). Writes
// at most ShortestTextMax chars to out and returns how many; writes nothing
// for infinities and NaN.
inline constexpr std::size_t ShortestTextMax = 40;
std::size_t ShortestText(double value, char* out);

} // namespace nebelkamm
