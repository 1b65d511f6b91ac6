// Strict number text.
//
// Notation:
//   mark      a character between digits: the decimal mark or a group mark
//   group     a run of digits between group marks before the decimal mark
// Blanks and apostrophes are recognised in their UTF-8 forms (no-break space
// U+00A0, thin space U+2009, narrow no-break space U+202F, right single
// quotation mark U+2019); the minus sign U+2212 counts as "-".
#include "util/strict_number.hpp"

#include <array>

#include "util/numeric_text.hpp"

namespace kestrune::text {

namespace {

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
constexpr std::string_view kThinSpace = "\xE2\x80\x89";
constexpr std::string_view kNarrowNoBreakSpace = "\xE2\x80\xAF";
constexpr std::string_view kRightQuote = "\xE2\x80\x99";
constexpr std::string_view kMinusSign = "\xE2\x88\x92";

constexpr std::array<std::string_view, 10> kMicrosecondUnits = {
    "us",          "usec",     "\xC2\xB5s", "\xC2\xB5sec", "\xCE\xBCs",
    "\xCE\xBCsec", "microsec", "microsecs", "microsecond", "microseconds"};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Byte length of the blank that starts at s[i], 0 if none.
std::size_t BlankAt(std::string_view s, std::size_t i) {
  if (s[i] == ' ' || s[i] == '\t') return 1;
  const std::string_view rest = s.substr(i);
  if (rest.starts_with(kNoBreakSpace)) return 2;
  if (rest.starts_with(kThinSpace) || rest.starts_with(kNarrowNoBreakSpace)) return 3;
  return 0;
}

std::size_t ApostropheAt(std::string_view s, std::size_t i) {
  if (s[i] == '\'') return 1;
  return s.substr(i).starts_with(kRightQuote) ? 3 : 0;
}

std::string_view TrimBlanks(std::string_view s) {
  for (std::size_t n; !s.empty() && (n = BlankAt(s, 0)) > 0;) s.remove_prefix(n);
  for (bool cut = true; cut && !s.empty();) {
    cut = false;
    for (std::size_t n = 1; n <= 3 && n <= s.size(); ++n) {
      if (BlankAt(s, s.size() - n) == n) {
        s.remove_suffix(n);
        cut = true;
        break;
      }
    }
  }
  return s;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (suffix.size() > s.size()) return false;
  const std::string_view tail = s.substr(s.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char a = tail[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != suffix[i]) return false;
  }
  return true;
}

// The text without the longest unit it ends with (and the blanks before it).
std::string_view WithoutUnit(std::string_view s, std::span<const std::string_view> units) {
  std::size_t best = 0;
  for (std::string_view u : units) {
    if (u.size() > best && EndsWithNoCase(s, u)) best = u.size();
  }
  return best == 0 ? s : TrimBlanks(s.substr(0, s.size() - best));
}

// The kind of mark at s[i] and its byte length: '.', ',', 'b' (blank), 'a'
// (apostrophe), or 0 for anything else.
char MarkAt(std::string_view s, std::size_t i, std::size_t& length) {
  length = 1;
  if (s[i] == '.' || s[i] == ',') return s[i];
  if ((length = BlankAt(s, i)) > 0) return 'b';
  if ((length = ApostropheAt(s, i)) > 0) return 'a';
  return 0;
}

}  // namespace

std::span<const std::string_view> MicrosecondUnits() {
  return kMicrosecondUnits;
}

std::optional<StrictNumber> ReadStrictNumber(std::string_view text,
                                             const StrictNumberFormat& format) {
  std::string_view s = WithoutUnit(TrimBlanks(text), format.units);
  StrictNumber out;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    if (s[0] == '-') out.plain += '-';
    s.remove_prefix(1);
  } else if (s.starts_with(kMinusSign)) {
    out.plain += '-';
    s.remove_prefix(kMinusSign.size());
  }

  // The exponent, when the text has one, is split off first.
  std::string_view exponent;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == 'e' || s[i] == 'E') {
      exponent = s.substr(i + 1);
      s = s.substr(0, i);
      if (exponent.empty()) return std::nullopt;
      break;
    }
  }

  // Which of "." and "," is the decimal mark.
  int points = 0;
  int commas = 0;
  char last = 0;
  for (char c : s) {
    if (c == '.') {
      ++points;
      last = c;
    } else if (c == ',') {
      ++commas;
      last = c;
    }
  }
  char decimal = 0;
  switch (format.mark) {
    case DecimalMark::kPoint:
      decimal = '.';
      break;
    case DecimalMark::kComma:
      decimal = ',';
      break;
    case DecimalMark::kAuto:
      if (points > 0 && commas > 0) {
        decimal = last;
      } else if (points + commas == 1) {
        decimal = last;
      }
      break;
  }

  char groupMark = 0;     // the one kind of group mark the number uses
  int groupDigits = -1;   // digits of the current group; -1 before the first digit
  bool grouped = false;   // a group mark has been met
  bool fraction = false;  // past the decimal mark
  int digits = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (IsDigit(s[i])) {
      out.plain += s[i++];
      ++digits;
      if (!fraction) {
        ++out.integerDigits;
        groupDigits = groupDigits < 0 ? 1 : groupDigits + 1;
      }
      continue;
    }
    std::size_t length = 0;
    const char mark = MarkAt(s, i, length);
    if (mark == 0 || fraction) return std::nullopt;
    if (mark == decimal) {
      // The last group before the decimal mark must be complete too.
      if (grouped && groupDigits != 3) return std::nullopt;
      out.plain += '.';
      fraction = true;
    } else {
      const bool firstGroupOk = grouped ? groupDigits == 3 : groupDigits >= 1 && groupDigits <= 3;
      if (!format.groups || !firstGroupOk || (groupMark != 0 && mark != groupMark)) {
        return std::nullopt;
      }
      groupMark = mark;
      grouped = true;
      groupDigits = 0;
    }
    i += length;
  }
  if (digits == 0 || (grouped && !fraction && groupDigits != 3)) return std::nullopt;

  if (!exponent.empty()) {
    if (grouped) return std::nullopt;
    out.plain += 'e';
    if (exponent[0] == '+' || exponent[0] == '-') {
      if (exponent[0] == '-') out.plain += '-';
      exponent.remove_prefix(1);
    }
    if (exponent.empty()) return std::nullopt;
    for (char c : exponent) {
      if (!IsDigit(c)) return std::nullopt;
      out.plain += c;
    }
  }
  out.value = DecimalValue(out.plain);
  return out;
}

}  // namespace kestrune::text
