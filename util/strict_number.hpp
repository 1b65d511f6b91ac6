// Strict reading of number texts as logbooks and spreadsheets write them:
// "28359.1", "28 359,1", "28'359.1", "28.359,1", "28359.1 usec". Unlike the
// window's lenient reader, which stops at the first character it does not
// expect, this reader takes the whole text or refuses it, so a typing slip
// never turns into a plausible but wrong number.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrune::text {

// Which mark separates the decimals. kAuto: when both "." and "," occur the
// last one is the decimal mark; a mark that occurs once alone is the decimal
// mark; a mark that occurs more than once groups thousands.
enum class DecimalMark { kAuto, kPoint, kComma };

struct StrictNumberFormat {
  DecimalMark mark = DecimalMark::kAuto;
  // Thousands marks allowed before the decimal mark: blanks (also no-break and
  // thin spaces), apostrophes, and the point or comma that is not the
  // decimal mark; after the first group of 1 to 3 digits every group has
  // exactly 3.
  bool groups = true;
  // Unit texts allowed after the number (compared without letter case,
  // optionally after a blank), such as "usec".
  std::span<const std::string_view> units;
};

struct StrictNumber {
  double value = 0.0;  // the value of `plain`, rounded to the nearest double
  // The number as a plain decimal text: [-]digits[.digits][e[-]digits],
  // without group marks, unit or "+" sign.
  std::string plain;
  int integerDigits = 0;  // digits before the decimal mark as written, leading zeros included
};

// Reads `text` (UTF-8, blanks allowed around the number) whole; nullopt when
// anything in it is not a number of `format`, or there is no digit. An
// exponent ("2.8e4") is allowed only without group marks. The value is that
// of the plain text whatever the C library's locale; beyond the 64-bit range
// it is an infinity of the sign.
std::optional<StrictNumber> ReadStrictNumber(std::string_view text,
                                             const StrictNumberFormat& format = {});

// The microsecond units a TD text may carry: "us", "usec", "µs", "µsec"
// (micro sign or Greek mu), "microsec", "microseconds".
std::span<const std::string_view> MicrosecondUnits();

}  // namespace kestrune::text
