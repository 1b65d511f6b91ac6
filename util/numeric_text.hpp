// Numeric text: reading the numbers a user types and writing the numbers the
// windows show with the program's number patterns.
#pragma once

#include <cstdint>
#include <string>

#include "platform/locale.hpp"

namespace kestrune::text {

// Reads the leading number of a text the way a hand-typed field is read:
// every "," counts as ".", blanks, tabs and line feeds are skipped anywhere
// (so "27 512,3" is 27512.3), an optional sign, digits with one point, an
// optional exponent (E or D). Reading stops at the first character that does
// not fit, so "12 usec" is 12 and "28'359.1" is 28. 0 when there is no
// leading number; beyond the 64-bit range, ±1.79769313486232e308.
double ReadLenientNumber(const std::string& text);

// The value of a plain decimal number text "[+|-]digits[.digits][e[+|-]digits]"
// whatever the C library's locale: an infinity of the sign beyond the 64-bit
// range, a zero of the sign below it, 0 for a text that is not such a number.
double DecimalValue(const std::string& number);

// Number-pattern formatting: "0" a digit place always written, "#" a digit
// place written when significant, "." the decimal separator (written as
// `separator`), any other character literal. The value's decimal form is
// taken to 15 significant digits, then rounded halves away from zero to the
// pattern's decimals; the integer part is never cut; a negative value gets a
// leading "-" unless it rounds to zero. A value that is not finite is
// run-time error 6.
std::string Format(double value, const std::string& pattern, char separator = DecimalSeparator());
// The same for a 32-bit value, whose decimal form is taken to 7 significant
// digits, so a float formats as the number it shows.
std::string Format(float value, const std::string& pattern, char separator = DecimalSeparator());

// Format, padded with blanks on the left to the length of the pattern (in
// characters); never cut. All blanks, as long as the pattern, when formatting
// fails.
std::string FormatRight(double value, const std::string& pattern,
                        char separator = DecimalSeparator());

// A 16-bit integer with its sign place, as captions write counts and LOP
// numbers: " 3", "-3", " 0".
std::string WithSignPlace(std::int16_t n);

}  // namespace kestrune::text
