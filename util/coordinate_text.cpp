// Coordinate text.
//
// Notation:
//   deg, min  whole degrees and minutes (16-bit)
//   sec       seconds, held as a 32-bit float everywhere
//   first     sec / 60 / 60 + (min / 60 + deg), the value before the carries
// Texts are UTF-8 at the interface and handled as code points inside, so "°"
// (U+00B0), "ø" (U+00F8) and "Ø" (U+00D8) each count as one character.
#include "util/coordinate_text.hpp"

#include <cfloat>
#include <cmath>

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/numeric_text.hpp"
#include "util/text_codec.hpp"

namespace kestrune::text {

namespace {

constexpr char32_t kSmallOSlash = U'\u00F8';
constexpr char32_t kCapitalOSlash = U'\u00D8';
constexpr char32_t kMinuteMark = U'\'';
constexpr char32_t kSecondMark = U'"';

// The largest value of a 16-bit field; more digits than this is an overflow.
constexpr double kInt16Max = 32767.0;

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
  const double v = DecimalValue(number);
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

// A carry into the degrees field, which is 16 bits wide.
std::int16_t CarryDegree(std::int16_t deg) {
  if (deg == INT16_MAX) throw RuntimeFault(RuntimeFault::kOverflow);
  return static_cast<std::int16_t>(deg + 1);
}

}  // namespace

ParsedCoordinate ParseLatLon(const std::string& text, const std::string& kindText) {
  const Kind kind = KindOf(kindText);
  ParsedCoordinate parsed;
  auto report = [&parsed](std::string message) { parsed.messages.push_back(std::move(message)); };
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
    report(kind.prefix + " FORMAT ERROR. ");
    return parsed;
  }

  if (hemisphereStep) {
    if (rest.size() == 1) {
      hemisphere = UpperCase(rest[0]);
      if (!kind.lat) {
        if (hemisphere == kCapitalOSlash) hemisphere = U'E';
        if (hemisphere == U'V') hemisphere = U'W';
      }
    } else {
      report(text_codec::Encode(rest) + "!   " + kind.prefix +
             (kind.lat ? " CHARACTER FORMAT ERROR. Default, N, used"
                       : " CHARACTER FORMAT ERROR. Default, E, used"));
    }
  }

  const double first = Degrees(deg, min, sec);
  if (kind.lat && first > constants::kMaxLatitude) {
    report(kind.prefix + " FORMAT ERROR. Max 90 deg allowed");
    deg = 90;
    min = 0;
    sec = 0.0f;
  }
  if (!kind.lat && first > constants::kMaxLongitude) {
    report(kind.prefix + " FORMAT ERROR. Max 180 deg allowed");
    deg = 180;
    min = 0;
    sec = 0.0f;
  }
  if (sec >= 60.0f) {
    report(kind.prefix + " SECOND FORMAT ERROR. Max 59.9999 allowed");
    ++min;
    sec = 0.0f;
  }
  if (min >= 60) {
    report(kind.prefix + " MINUTE FORMAT ERROR. Max 59 allowed");
    ++deg;
    min = 0;
  }
  if (kind.lat && hemisphere != U'N' && hemisphere != U'S') {
    report(kind.prefix + " FORMAT ERROR. Default, N, used");
    hemisphere = U'N';
  }
  if (!kind.lat && hemisphere != U'E' && hemisphere != U'W') {
    report(kind.prefix + " FORMAT ERROR. Default, E, used");
    hemisphere = U'E';
  }

  const double result = Degrees(deg, min, sec);
  parsed.value = (hemisphere == U'S' || hemisphere == U'W') ? -result : result;
  return parsed;
}

bool HasDigit(const std::string& text) {
  return text.find_first_of("0123456789") != std::string::npos;
}

std::string FormatLatLon(double value, const std::string& kindText, std::int16_t decimals,
                         char separator) {
  const Kind kind = KindOf(kindText);
  const double a = std::fabs(value);
  // The degrees field is 16 bits wide.
  if (!(a < 32768.0)) throw RuntimeFault(RuntimeFault::kOverflow);
  auto deg = static_cast<std::int16_t>(a);
  const double minutesExact = (a - deg) * 60.0;
  auto min = static_cast<std::int16_t>(minutesExact);
  float sec = static_cast<float>((minutesExact - min) * 60.0);

  if (sec >= constants::kSecondsGuard && min == 60) {
    deg = CarryDegree(deg);
    min = 0;
    sec = 0.0f;
  }
  if (sec >= constants::kSecondsGuard) {
    sec = 0.0f;
    ++min;
  }
  if (min == 60) {
    min = 0;
    deg = CarryDegree(deg);
  }

  static const char* const kSecondsPatterns[] = {"00", "00.0", "00.00", "00.000", "00.0000"};
  std::string secText;
  if (decimals >= 0 && decimals <= 4) {
    const std::string pattern = kSecondsPatterns[decimals];
    secText = Format(sec, pattern, separator);
    // Seconds that round up to 60 at the decimals shown are a whole minute:
    // never write 60 seconds or 60 minutes.
    if (secText.compare(0, 2, "60") == 0) {
      sec = 0.0f;
      secText = Format(sec, pattern, separator);
      ++min;
      if (min == 60) {
        min = 0;
        deg = CarryDegree(deg);
      }
    }
  }

  const bool below = value < 0.0;
  const char* hemisphere = kind.lat ? (below ? "S" : "N") : (below ? "W" : "E");
  return Format(static_cast<double>(deg), kind.lat ? "00" : "000", separator) + "\u00B0" +
         Format(static_cast<double>(min), "00", separator) + "'" + secText + "\"" + hemisphere;
}

}  // namespace kestrune::text
