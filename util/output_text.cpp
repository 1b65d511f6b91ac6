// Texts the programs write out.
#include "util/output_text.hpp"

#include "util/text_codec.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kestrune::text {

namespace {

// Below this size a fixed form is at most 15 integer digits, as exact as
// the value.
constexpr double kFixedLimit = 1e15;
constexpr int kMaxDecimals = 17;
// The longest text to_chars writes: a sign, 15 integer digits, the point and
// 17 decimals, or the shortest form of any double; with room to spare.
constexpr std::size_t kNumberBuffer = 64;

// Length of the printable UTF-8 character at text[i]: 0 for a byte that is
// not one (a control character, or not part of a well-formed sequence).
std::size_t PrintableLength(std::string_view s, std::size_t i) {
  char32_t cp = 0;
  const std::size_t n = text_codec::SequenceAt(s, i, cp);
  // C0 and C1 control characters and DEL are not printable.
  const bool control = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
  return n > 0 && !control ? n : 0;
}

}  // namespace

std::string FixedText(double value, int decimals) {
  if (!std::isfinite(value)) return {};
  char buf[kNumberBuffer];
  const auto r = std::fabs(value) < kFixedLimit
                     ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                                     std::clamp(decimals, 0, kMaxDecimals))
                     : std::to_chars(buf, buf + sizeof buf, value);
  // Cannot fail with this buffer; were it to, no text is better than a part.
  if (r.ec != std::errc()) return {};
  return std::string(buf, r.ptr);
}

std::string EchoText(std::string_view text, std::size_t maxBytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t n = PrintableLength(text, i);
    if (i + std::max<std::size_t>(n, 1) > maxBytes) break;
    if (n == 0) {
      const auto c = static_cast<unsigned char>(text[i]);
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  if (i < text.size()) out += "...";
  return out;
}

bool IsPrintable(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = PrintableLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace kestrune::text
