// Text encodings.
//
// Notation:
//   unit      a UTF-16 code unit (16 bits); a code point above U+FFFF is a
//             surrogate pair, a high unit (D800-DBFF) then a low (DC00-DFFF)
//   sequence  the 1 to 4 bytes of one code point in UTF-8
#include "util/text_codec.hpp"

#include <array>
#include <cstdint>
#include <cstring>

namespace kestrune::text_codec {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; tools/make-cp1252-table.sh prints it.
// clang-format off
constexpr std::array<char16_t, 32> kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

std::size_t Put(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

std::size_t SequenceAt(std::string_view text, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  std::size_t extra = 0;
  char32_t least = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
    least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
    least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (i + extra >= text.size()) return 0;
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

std::u32string Decode(const std::string& utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t n = SequenceAt(utf8, i, cp);
    out += n > 0 ? cp : static_cast<char32_t>(static_cast<unsigned char>(utf8[i]));
    i += n > 0 ? n : 1;
  }
  return out;
}

std::string Encode(const std::u32string& text) {
  std::string out;
  char bytes[4];
  for (char32_t cp : text) out.append(bytes, Put(cp, bytes));
  return out;
}

std::size_t FirstNonUtf8(std::string_view text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    // Logbooks are mostly ASCII: eight bytes at a time while no high bit is set.
    std::uint64_t word;
    if (i + sizeof word <= n) {
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += sizeof word;
        continue;
      }
    }
    char32_t cp = 0;
    const std::size_t length = SequenceAt(text, i, cp);
    if (length == 0) return i;
    i += length;
  }
  return std::string_view::npos;
}

std::optional<Encoding> EncodingNamed(std::string_view name) {
  struct Name {
    std::string_view text;
    Encoding encoding;
  };
  static constexpr Name kNames[] = {
      {"utf-8", Encoding::kUtf8},         {"utf8", Encoding::kUtf8},
      {"cp1252", Encoding::kWindows1252}, {"windows-1252", Encoding::kWindows1252},
      {"latin1", Encoding::kLatin1},      {"latin-1", Encoding::kLatin1},
      {"iso-8859-1", Encoding::kLatin1},  {"utf-16", Encoding::kUtf16Le},
      {"utf-16le", Encoding::kUtf16Le},   {"utf-16be", Encoding::kUtf16Be},
  };
  for (const Name& n : kNames) {
    if (SameNoCase(name, n.text)) return n.encoding;
  }
  return std::nullopt;
}

const char* EncodingNames() {
  return "utf-8, cp1252 (windows-1252), latin1 (iso-8859-1), utf-16, utf-16le or utf-16be";
}

std::size_t ToUtf8::Utf16Unit(char16_t unit, char* out) {
  std::size_t n = 0;
  if (highSurrogate_ != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) + (unit - 0xDC00);
      highSurrogate_ = 0;
      return Put(cp, out);
    }
    n = Put(kReplacement, out);
    highSurrogate_ = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    highSurrogate_ = unit;
    return n;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF) return n + Put(kReplacement, out + n);
  return n + Put(unit, out + n);
}

std::size_t ToUtf8::Convert(std::string_view in, char* out) {
  std::size_t n = 0;
  switch (from_) {
    case Encoding::kUtf8:
      std::memcpy(out, in.data(), in.size());
      return in.size();
    case Encoding::kLatin1:
    case Encoding::kWindows1252:
      for (char c : in) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
          out[n++] = c;
        } else if (from_ == Encoding::kWindows1252 && b < 0xA0) {
          n += Put(kWindows1252[b - 0x80], out + n);
        } else {
          n += Put(b, out + n);
        }
      }
      return n;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      for (char c : in) {
        const auto b = static_cast<unsigned char>(c);
        if (!hasPendingByte_) {
          pendingByte_ = b;
          hasPendingByte_ = true;
          continue;
        }
        hasPendingByte_ = false;
        const auto unit = static_cast<char16_t>(
            from_ == Encoding::kUtf16Le ? pendingByte_ | (b << 8) : (pendingByte_ << 8) | b);
        n += Utf16Unit(unit, out + n);
      }
      return n;
  }
  return n;
}

std::size_t ToUtf8::Finish(char* out) {
  const bool incomplete = hasPendingByte_ || highSurrogate_ != 0;
  hasPendingByte_ = false;
  highSurrogate_ = 0;
  return incomplete ? Put(kReplacement, out) : 0;
}

}  // namespace kestrune::text_codec
