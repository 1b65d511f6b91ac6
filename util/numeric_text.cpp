// Numeric text.
//
// Notation:
//   digits    a decimal digit string; exp10 the power of ten of its first digit
//   decimals  digit places after the pattern's point
// Patterns are UTF-8 and handled as code points, so a literal such as "°"
// counts as one character of the pattern's width.
#include "util/numeric_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/runtime_fault.hpp"
#include "util/text_codec.hpp"

namespace kestrune::text {

namespace {

// What ReadLenientNumber gives for a number beyond the 64-bit range: the
// largest 64-bit float, 1.79769313486232e308 to 15 digits.
constexpr double kValLimit = std::numeric_limits<double>::max();

// A value's decimal form cut to `significant` digits: value = 0.d1d2... x
// 10^(exp10 + 1), the digits without sign.
struct DecimalForm {
  bool negative = false;
  std::string digits;
  int exp10 = 0;
};

DecimalForm ToDecimalForm(double value, int significant) {
  if (!std::isfinite(value)) throw RuntimeFault(RuntimeFault::kOverflow);
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific,
                                 significant - 1);
  *res.ptr = '\0';
  DecimalForm f;
  const char* p = buf;
  if (*p == '-') {
    f.negative = true;
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (*p != '.') f.digits += *p;
  }
  std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, f.exp10);
  return f;
}

// Rounds the decimal form halves away from zero to `decimals` places and
// splits it into the integer digits (no leading zeros, "" for zero) and the
// `decimals` fraction digits.
void RoundDecimal(const DecimalForm& f, int decimals, std::string& intDigits,
                  std::string& fracDigits) {
  const int n = static_cast<int>(f.digits.size());
  auto digitAt = [&](int power) {
    const int k = f.exp10 - power;
    return (k >= 0 && k < n) ? f.digits[static_cast<std::size_t>(k)] : '0';
  };
  // Every place from the highest integer digit (at least the units) down to
  // 10^-decimals, then the first place dropped decides the rounding.
  std::string all;
  for (int power = std::max(f.exp10, 0); power >= -decimals; --power) all += digitAt(power);
  if (digitAt(-decimals - 1) >= '5') {
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[static_cast<std::size_t>(i)] == '9') {
      all[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++all[static_cast<std::size_t>(i)];
    } else {
      all.insert(all.begin(), '1');
    }
  }
  const std::size_t split = all.size() - static_cast<std::size_t>(decimals);
  intDigits = all.substr(0, split);
  fracDigits = all.substr(split);
  const std::size_t nz = intDigits.find_first_not_of('0');
  intDigits = nz == std::string::npos ? std::string() : intDigits.substr(nz);
}

std::string FormatDecimal(double value, int significant, const std::string& pattern,
                          char separator) {
  const std::u32string pat = text_codec::Decode(pattern);
  const std::size_t point = pat.find(U'.');
  const std::u32string intPat = pat.substr(0, point);
  const std::u32string fracPat = point == std::u32string::npos ? U"" : pat.substr(point + 1);

  int decimals = 0;
  for (char32_t c : fracPat) decimals += (c == U'0' || c == U'#') ? 1 : 0;
  // Leading zeros fill the places from the first "0" of the integer part on.
  int minIntDigits = 0;
  bool zeroSeen = false;
  for (char32_t c : intPat) {
    if (c == U'0') zeroSeen = true;
    if (zeroSeen && (c == U'0' || c == U'#')) ++minIntDigits;
  }

  const DecimalForm form = ToDecimalForm(value, significant);
  std::string intDigits;
  std::string fracDigits;
  RoundDecimal(form, decimals, intDigits, fracDigits);
  const bool zero = intDigits.empty() && fracDigits.find_first_not_of('0') == std::string::npos;
  while (static_cast<int>(intDigits.size()) < minIntDigits)
    intDigits.insert(intDigits.begin(), '0');

  // Integer places take the digits from the right; digits left over go in
  // front of the first place, so the integer part is never cut.
  std::u32string intOut;
  int next = static_cast<int>(intDigits.size()) - 1;
  std::size_t firstPlace = std::u32string::npos;
  for (std::size_t i = 0; i < intPat.size(); ++i) {
    if (intPat[i] == U'0' || intPat[i] == U'#') {
      firstPlace = i;
      break;
    }
  }
  for (std::size_t i = intPat.size(); i-- > 0;) {
    const char32_t c = intPat[i];
    if (c == U'0' || c == U'#') {
      std::u32string piece;
      if (i == firstPlace) {
        for (; next >= 0; --next)
          piece.insert(piece.begin(), intDigits[static_cast<std::size_t>(next)]);
      } else if (next >= 0) {
        piece = std::u32string(1, intDigits[static_cast<std::size_t>(next--)]);
      }
      intOut.insert(0, piece);
    } else {
      intOut.insert(intOut.begin(), c);
    }
  }

  // Without an integer place the integer digits still stand before the point.
  if (firstPlace == std::u32string::npos) {
    for (char d : intDigits) intOut += static_cast<char32_t>(d);
  }

  std::u32string out = intOut;
  if (point != std::u32string::npos) {
    out += static_cast<char32_t>(static_cast<unsigned char>(separator));
    std::size_t k = 0;
    for (char32_t c : fracPat) {
      if (c == U'0' || c == U'#') {
        out += static_cast<char32_t>(fracDigits[k++]);
      } else {
        out += c;
      }
    }
  }
  if (form.negative && !zero) out.insert(out.begin(), U'-');
  return text_codec::Encode(out);
}

}  // namespace

double DecimalValue(const std::string& number) {
  const bool negative = !number.empty() && number[0] == '-';
  const char* first = number.data();
  const char* last = first + number.size();
  if (first != last && (*first == '+' || *first == '-')) ++first;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Too large when the first significant digit, with the exponent applied,
    // stands above the units; too small otherwise.
    const char* mantissaEnd =
        std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
    const char* point = std::find(first, mantissaEnd, '.');
    const char* lead =
        std::find_if(first, mantissaEnd, [](char c) { return c >= '1' && c <= '9'; });
    const long long power = lead < point ? point - lead - 1 : point - lead;
    long long exponent = 0;
    const char* p = mantissaEnd;
    if (p != last) {
      ++p;
      bool expNegative = false;
      if (p != last && (*p == '+' || *p == '-')) expNegative = *p++ == '-';
      // Beyond a few thousand the exact exponent no longer matters.
      for (; p != last && exponent < 100000; ++p) exponent = exponent * 10 + (*p - '0');
      if (expNegative) exponent = -exponent;
    }
    const bool huge = power + exponent > 0;
    v = huge ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    v = 0.0;
  }
  return negative ? -v : v;
}

double ReadLenientNumber(const std::string& text) {
  std::string copy = text;
  for (char& c : copy) {
    if (c == ',') c = '.';
  }
  // Gather the leading number without the blanks, tabs and line feeds that
  // may stand anywhere in it.
  std::string number;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < copy.size() && (copy[i] == ' ' || copy[i] == '\t' || copy[i] == '\n')) ++i;
  };
  auto isDigit = [&] { return i < copy.size() && copy[i] >= '0' && copy[i] <= '9'; };
  skip();
  if (i < copy.size() && (copy[i] == '+' || copy[i] == '-')) number += copy[i++];
  bool digits = false;
  bool point = false;
  for (;;) {
    skip();
    if (isDigit()) {
      number += copy[i++];
      digits = true;
    } else if (i < copy.size() && copy[i] == '.' && !point) {
      number += copy[i++];
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0.0;
  if (i < copy.size() && (copy[i] == 'E' || copy[i] == 'e' || copy[i] == 'D' || copy[i] == 'd')) {
    std::string exponent = "e";
    ++i;
    skip();
    if (i < copy.size() && (copy[i] == '+' || copy[i] == '-')) exponent += copy[i++];
    bool expDigits = false;
    for (;;) {
      skip();
      if (!isDigit()) break;
      exponent += copy[i++];
      expDigits = true;
    }
    if (expDigits) number += exponent;
  }
  const double v = DecimalValue(number);
  if (std::isinf(v)) return v < 0 ? -kValLimit : kValLimit;
  return v;
}

std::string Format(double value, const std::string& pattern, char separator) {
  return FormatDecimal(value, 15, pattern, separator);
}

std::string Format(float value, const std::string& pattern, char separator) {
  return FormatDecimal(static_cast<double>(value), 7, pattern, separator);
}

std::string FormatRight(double value, const std::string& pattern, char separator) {
  const std::size_t width = text_codec::Decode(pattern).size();
  try {
    std::string text = Format(value, pattern, separator);
    const std::size_t length = text_codec::Decode(text).size();
    if (width > length) text.insert(0, width - length, ' ');
    return text;
  } catch (const RuntimeFault&) {
    return std::string(width, ' ');
  }
}

std::string WithSignPlace(std::int16_t n) {
  return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

}  // namespace kestrune::text