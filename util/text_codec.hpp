// Text encodings: UTF-8 text as code points, so that characters such as "°"
// and "ø" count as one character each; the check that bytes are UTF-8; and
// the conversion to UTF-8 of the other encodings spreadsheets save logbooks
// in (Windows-1252, ISO 8859-1, UTF-16).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::text_codec {

// Code points of a UTF-8 text; a byte that does not begin a well-formed
// sequence stands for itself as a Latin-1 character (U+0080 to U+00FF).
std::u32string Decode(const std::string& utf8);

// The UTF-8 text of code points (each below U+110000).
std::string Encode(const std::u32string& text);

// The well-formed UTF-8 sequence at text[i] (i < text.size()): its length
// in bytes, 0 when there is none (a stray continuation byte, an overlong
// form, a surrogate, past U+10FFFF, cut short), and its code point in `cp`.
std::size_t SequenceAt(std::string_view text, std::size_t i, char32_t& cp);

// Byte offset of the first byte of `text` that is not part of a well-formed
// UTF-8 sequence (overlong forms and surrogates are not); npos when the
// whole text is UTF-8.
std::size_t FirstNonUtf8(std::string_view text);

// The encodings a logbook is read in.
enum class Encoding {
  kUtf8,
  kWindows1252,  // "ANSI" of Western European Windows; 0x80-0x9F are € ‚ ƒ „ …
  kLatin1,       // ISO 8859-1: every byte is the code point of its value
  kUtf16Le,
  kUtf16Be,
};

// The encoding of a name as users write it, in any letter case: utf-8,
// utf8, cp1252, windows-1252, latin1, latin-1, iso-8859-1, utf-16 (little
// endian unless a byte order mark says otherwise), utf-16le, utf-16be;
// nullopt for any other.
std::optional<Encoding> EncodingNamed(std::string_view name);

// The encoding names EncodingNamed takes, for messages: "utf-8, cp1252, ...".
const char* EncodingNames();

// Converts a byte stream in one encoding to UTF-8, piece by piece: a UTF-16
// code unit or surrogate pair cut at the end of one piece is completed by
// the next. A unit that cannot be completed (a lone surrogate, an odd last
// byte) becomes U+FFFD.
class ToUtf8 {
 public:
  explicit ToUtf8(Encoding from) : from_(from) {}
  Encoding From() const { return from_; }
  void SetFrom(Encoding from) { from_ = from; }

  // The most bytes Convert writes for `n` bytes in.
  static constexpr std::size_t MaxOutput(std::size_t n) { return 3 * n + 6; }
  // Writes the UTF-8 text of `in` to `out`, which has room for
  // MaxOutput(in.size()) bytes; returns the bytes written.
  std::size_t Convert(std::string_view in, char* out);
  // At the end of the stream: writes U+FFFD for a unit left incomplete.
  std::size_t Finish(char* out);

 private:
  std::size_t Utf16Unit(char16_t unit, char* out);
  Encoding from_;
  unsigned char pendingByte_ = 0;
  bool hasPendingByte_ = false;
  char16_t highSurrogate_ = 0;  // 0: none waiting for its low half
};

}  // namespace kestrune::text_codec
