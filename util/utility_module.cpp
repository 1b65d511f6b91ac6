// Coordinate text and numeric text.
//
// Notation:
//   deg, min  whole degrees and minutes (16-bit)
//   sec       seconds, held as a 32-bit float everywhere
//   first     sec / 60 / 60 + (min / 60 + deg), the value before the carries
//   digits    a decimal digit string; exp10 the power of ten of its first digit
// Texts are UTF-8 at the interface and handled as code points inside, so "°"
// (U+00B0), "ø" (U+00F8) and "Ø" (U+00D8) each count as one character.
#include "util/utility_module.hpp"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/locale.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/text_codec.hpp"

namespace kestrune::Utility_Module {

namespace {

constexpr char32_t kSmallOSlash = U'\u00F8';
constexpr char32_t kCapitalOSlash = U'\u00D8';
constexpr char32_t kMinuteMark = U'\'';
constexpr char32_t kSecondMark = U'"';

// The largest value of a 16-bit field; more digits than this is an overflow.
constexpr double kInt16Max = 32767.0;
// The value ValWithComma gives for a number beyond the 64-bit range: the
// largest 64-bit float, 1.79769313486232e308 to 15 digits.
constexpr double kValLimit = std::numeric_limits<double>::max();

bool IsDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

std::u32string TrimBlanks(const std::u32string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && s[b] == U' ') ++b;
  while (e > b && s[e - 1] == U' ') --e;
  return s.substr(b, e - b);
}

std::u32string TrimLeadingBlanks(const std::u32string& s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == U' ') ++b;
  return s.substr(b);
}

// Upper case of the letters that occur in typed coordinates: a to z and the
// Latin-1 small letters (so "ø" becomes "Ø").
char32_t UpperCase(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - (U'a' - U'A');
  if (c >= U'\u00E0' && c <= U'\u00FE' && c != U'\u00F7') return c - 0x20;
  return c;
}

std::string UpperAscii(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// Thrown inside the parser when a field does not fit its type; the parser
// turns it into its one overflow message.
struct FieldOverflow {};

// The value of a decimal number text "[+|-]digits[.digits][e[+|-]digits]",
// read the same whatever the C library's locale: an infinity of the sign
// beyond the 64-bit range, a zero of the sign below it.
double ReadDecimal(const std::string& number) {
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

// A whole-number field of digits (at most the range of a 16-bit integer).
std::int16_t DigitsToInt16(const std::u32string& digits) {
  double v = 0.0;
  for (char32_t c : digits) {
    v = v * 10.0 + static_cast<double>(c - U'0');
    if (v > kInt16Max) throw FieldOverflow{};
  }
  return static_cast<std::int16_t>(v);
}

// The seconds field: digits and points (commas already made points); the
// number stops at a second point. Beyond the 32-bit range is an overflow.
float SecondsValue(const std::u32string& field) {
  std::string number;
  bool point = false;
  for (char32_t c : field) {
    if (c == U'.') {
      if (point) break;
      point = true;
      number += '.';
    } else {
      number += static_cast<char>(c);
    }
  }
  bool anyDigit = false;
  for (char c : number) anyDigit = anyDigit || (c >= '0' && c <= '9');
  if (!anyDigit) return 0.0f;
  const double v = ReadDecimal(number);
  if (!(v <= static_cast<double>(FLT_MAX))) throw FieldOverflow{};
  return std::fabs(static_cast<float>(v));
}

struct Kind {
  bool lat;
  std::string prefix;
  char32_t defaultHemisphere;
};

Kind KindOf(const std::string& kind) {
  if (UpperAscii(kind) == "LAT") return {true, "LATITUDE", U'N'};
  return {false, "LONGITUDE", U'E'};
}

double Degrees(std::int16_t deg, std::int16_t min, float sec) {
  return static_cast<double>(sec) / 60.0 / 60.0 +
         (static_cast<double>(min) / 60.0 + static_cast<double>(deg));
}

// ---- Number patterns -------------------------------------------------------

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

std::string FormatDecimal(double value, int significant, const std::string& pattern) {
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
    out += static_cast<char32_t>(static_cast<unsigned char>(DecimalSeparator()));
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

double ParseLatLon(const std::string& text, const std::string& kindText) {
  const Kind kind = KindOf(kindText);
  char32_t hemisphere = kind.defaultHemisphere;
  std::int16_t deg = 0;
  std::int16_t min = 0;
  float sec = 0.0f;

  std::u32string s = TrimBlanks(text_codec::Decode(text));
  if (!s.empty() && s[0] == U'-') {
    hemisphere = kind.lat ? U'S' : U'W';
    s = TrimLeadingBlanks(s.substr(1));
  }

  // The rest of the text after the last field; hemisphereStep tells whether
  // it is to be read as the hemisphere letter.
  std::u32string rest;
  bool hemisphereStep = true;
  try {
    if (!s.empty()) {
      hemisphereStep = false;
      // Degrees, then minutes: digits up to a separator, which is consumed.
      // Each field ends the text without a hemisphere when it is all digits or
      // when its separator is the field's own last mark.
      std::int16_t* fields[2] = {&deg, &min};
      const char32_t endMarks[2] = {kSmallOSlash, kMinuteMark};
      bool secondsNext = true;
      for (int f = 0; f < 2 && secondsNext; ++f) {
        std::size_t i = 0;
        while (i < s.size() && IsDigit(s[i])) ++i;
        *fields[f] = DigitsToInt16(s.substr(0, i));
        secondsNext = false;
        if (i == s.size()) break;
        if (i == s.size() - 1) {
          if (s[i] != endMarks[f]) {
            rest = s.substr(i, 1);
            hemisphereStep = true;
          }
          break;
        }
        s = TrimLeadingBlanks(s.substr(i + 1));
        secondsNext = true;
      }
      if (secondsNext) {
        std::size_t i = 0;
        while (i < s.size() && (IsDigit(s[i]) || s[i] == U',' || s[i] == U'.')) {
          if (s[i] == U',') s[i] = U'.';
          ++i;
        }
        sec = SecondsValue(s.substr(0, i));
        if (i == s.size() - 1) {
          if (s[i] != kSecondMark) {
            rest = s.substr(i, 1);
            hemisphereStep = true;
          }
        } else if (i < s.size()) {
          rest = TrimLeadingBlanks(s.substr(i + 1));
          hemisphereStep = true;
        }
      }
    }
  } catch (const FieldOverflow&) {
    MsgBox(kind.prefix + " FORMAT ERROR. ");
    return 0.0;
  }

  if (hemisphereStep) {
    if (rest.size() == 1) {
      hemisphere = UpperCase(rest[0]);
      if (!kind.lat) {
        if (hemisphere == kCapitalOSlash) hemisphere = U'E';
        if (hemisphere == U'V') hemisphere = U'W';
      }
    } else {
      MsgBox(text_codec::Encode(rest) + "!   " + kind.prefix +
             (kind.lat ? " CHARACTER FORMAT ERROR. Default, N, used"
                       : " CHARACTER FORMAT ERROR. Default, E, used"));
    }
  }

  const double first = Degrees(deg, min, sec);
  if (kind.lat && first > constants::kMaxLatitude) {
    MsgBox(kind.prefix + " FORMAT ERROR. Max 90 deg allowed");
    deg = 90;
    min = 0;
    sec = 0.0f;
  }
  if (!kind.lat && first > constants::kMaxLongitude) {
    MsgBox(kind.prefix + " FORMAT ERROR. Max 180 deg allowed");
    deg = 180;
    min = 0;
    sec = 0.0f;
  }
  if (sec >= 60.0f) {
    MsgBox(kind.prefix + " SECOND FORMAT ERROR. Max 59.9999 allowed");
    ++min;
    sec = 0.0f;
  }
  if (min >= 60) {
    MsgBox(kind.prefix + " MINUTE FORMAT ERROR. Max 59 allowed");
    ++deg;
    min = 0;
  }
  if (kind.lat && hemisphere != U'N' && hemisphere != U'S') {
    MsgBox(kind.prefix + " FORMAT ERROR. Default, N, used");
    hemisphere = U'N';
  }
  if (!kind.lat && hemisphere != U'E' && hemisphere != U'W') {
    MsgBox(kind.prefix + " FORMAT ERROR. Default, E, used");
    hemisphere = U'E';
  }

  const double result = Degrees(deg, min, sec);
  return (hemisphere == U'S' || hemisphere == U'W') ? -result : result;
}

std::string FormatLatLon(double value, const std::string& kindText, std::int16_t decimals) {
  const Kind kind = KindOf(kindText);
  const double a = std::fabs(value);
  // The degrees field is 16 bits wide.
  if (!(a < 32768.0)) throw RuntimeFault(RuntimeFault::kOverflow);
  auto deg = static_cast<std::int16_t>(a);
  const double minutesExact = (a - deg) * 60.0;
  auto min = static_cast<std::int16_t>(minutesExact);
  float sec = static_cast<float>((minutesExact - min) * 60.0);

  if (sec >= constants::kSecondsGuard && min == 60) {
    ++deg;
    min = 0;
    sec = 0.0f;
  }
  if (sec >= constants::kSecondsGuard) {
    sec = 0.0f;
    ++min;
  }
  if (min == 60) {
    min = 0;
    ++deg;
  }

  static const char* const kSecondsPatterns[] = {"00", "00.0", "00.00", "00.000", "00.0000"};
  std::string secText;
  if (decimals >= 0 && decimals <= 4) {
    const std::string pattern = kSecondsPatterns[decimals];
    secText = Format(sec, pattern);
    // Seconds that round up to 60 at the decimals shown are a whole minute:
    // never write 60 seconds or 60 minutes.
    if (secText.compare(0, 2, "60") == 0) {
      sec = 0.0f;
      secText = Format(sec, pattern);
      ++min;
      if (min == 60) {
        min = 0;
        ++deg;
      }
    }
  }

  const bool below = value < 0.0;
  const char* hemisphere = kind.lat ? (below ? "S" : "N") : (below ? "W" : "E");
  return Format(static_cast<double>(deg), kind.lat ? "00" : "000") + "\u00B0" +
         Format(static_cast<double>(min), "00") + "'" + secText + "\"" + hemisphere;
}

double ValWithComma(const std::string& text) {
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
  const double v = ReadDecimal(number);
  if (std::isinf(v)) return v < 0 ? -kValLimit : kValLimit;
  return v;
}

std::string Format(double value, const std::string& pattern) {
  return FormatDecimal(value, 15, pattern);
}

std::string Format(float value, const std::string& pattern) {
  return FormatDecimal(static_cast<double>(value), 7, pattern);
}

std::string FormatRight(double value, const std::string& pattern) {
  const std::size_t width = text_codec::Decode(pattern).size();
  try {
    std::string text = Format(value, pattern);
    const std::size_t length = text_codec::Decode(text).size();
    if (width > length) text.insert(0, width - length, ' ');
    return text;
  } catch (const RuntimeFault&) {
    return std::string(width, ' ');
  }
}

std::string Str(std::int16_t n) {
  return n < 0 ? std::to_string(n) : " " + std::to_string(n);
}

}  // namespace kestrune::Utility_Module
