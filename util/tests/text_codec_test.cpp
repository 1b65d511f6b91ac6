// Encodings: each converted to UTF-8 whole and byte by byte alike, the
// check for UTF-8, and the names users give.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/text_codec.hpp"

namespace kestrune::text_codec {
namespace {

std::string Whole(Encoding from, const std::string& in) {
  ToUtf8 convert(from);
  std::string out(ToUtf8::MaxOutput(in.size()) + ToUtf8::MaxOutput(0), '\0');
  std::size_t n = convert.Convert(in, out.data());
  n += convert.Finish(out.data() + n);
  out.resize(n);
  return out;
}

// As a pipe may deliver it: one byte at a time.
std::string ByteByByte(Encoding from, const std::string& in) {
  ToUtf8 convert(from);
  std::string out;
  char buf[ToUtf8::MaxOutput(1)];
  for (char c : in) out.append(buf, convert.Convert(std::string_view(&c, 1), buf));
  out.append(buf, convert.Finish(buf));
  return out;
}

TEST(ToUtf8, EachEncodingWholeAndByteByByte) {
  struct Case {
    Encoding from;
    std::string in;
    std::string out;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  const Case cases[] = {
      {Encoding::kWindows1252,
       "B\xF8mlo \x80 1\xA0"
       "0\x81\x9F",
       "B\xC3\xB8mlo \xE2\x82\xAC 1\xC2\xA0"
       "0\xC2\x81\xC5\xB8"},
      {Encoding::kLatin1, "\x80\xF8\xFF", "\xC2\x80\xC3\xB8\xC3\xBF"},
      {Encoding::kUtf16Le, std::string("B\0\xF8\0\xAC\x20", 6), "B\xC3\xB8\xE2\x82\xAC"},
      {Encoding::kUtf16Be, std::string("\0B\0\xF8\x20\xAC", 6), "B\xC3\xB8\xE2\x82\xAC"},
      // A surrogate pair, then a lone high and a lone low surrogate, then an odd byte.
      {Encoding::kUtf16Le, std::string("\x3D\xD8\x00\xDEx\0\x3D\xD8y\0\x00\xDE!", 13),
       "\xF0\x9F\x98\x80x" + replacement + "y" + replacement + replacement},
      {Encoding::kUtf8, "B\xC3\xB8", "B\xC3\xB8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Whole(c.from, c.in), c.out) << c.in;
    EXPECT_EQ(ByteByByte(c.from, c.in), c.out) << c.in;
    EXPECT_EQ(FirstNonUtf8(c.out), std::string::npos) << c.in;
  }
}

TEST(FirstNonUtf8, FindsTheFirstByteOutsideAWellFormedSequence) {
  struct Case {
    std::string text;
    std::size_t at;
  };
  const std::size_t none = std::string::npos;
  const Case cases[] = {
      {"", none},
      {"28359,1;63\xC2\xB0 N;B\xC3\xB8mlo \xF0\x9F\x98\x80", none},
      {"0123456789\xF8", 10},  // past the eight-byte steps
      {"B\xF8mlo", 1},
      {"\xC0\xAF", 0},          // overlong "/"
      {"a\xED\xA0\x80", 1},     // a surrogate
      {"ab\xE2\x82", 2},        // cut short
      {"\xF4\x90\x80\x80", 0},  // past U+10FFFF
      {"\x80", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstNonUtf8(c.text), c.at) << c.text;
}

TEST(EncodingNamed, TheUsualNamesInAnyLetterCase) {
  EXPECT_EQ(EncodingNamed("UTF-8"), Encoding::kUtf8);
  EXPECT_EQ(EncodingNamed("utf8"), Encoding::kUtf8);
  EXPECT_EQ(EncodingNamed("CP1252"), Encoding::kWindows1252);
  EXPECT_EQ(EncodingNamed("windows-1252"), Encoding::kWindows1252);
  EXPECT_EQ(EncodingNamed("Latin1"), Encoding::kLatin1);
  EXPECT_EQ(EncodingNamed("iso-8859-1"), Encoding::kLatin1);
  EXPECT_EQ(EncodingNamed("utf-16"), Encoding::kUtf16Le);
  EXPECT_EQ(EncodingNamed("UTF-16BE"), Encoding::kUtf16Be);
  EXPECT_EQ(EncodingNamed("ascii"), std::nullopt);
  EXPECT_EQ(EncodingNamed("utf-8 "), std::nullopt);
}

}  // namespace
}  // namespace kestrune::text_codec
