// Numbers written out and input echoed in messages: every text a number or
// nothing, never a buffer's leftovers; echoes printable and bounded.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "util/output_text.hpp"

namespace kestrune::text {
namespace {

TEST(FixedText, IsAlwaysTheWholeNumberOrNothing) {
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {63.20007034, 8, "63.20007034"},
      {-7.5, 8, "-7.50000000"},
      {28359.249, 1, "28359.2"},
      {0.0, 1, "0.0"},
      {999999999999999.9, 1, "999999999999999.9"},
      // Where the fixed form would need hundreds of digits (and a 64-byte
      // buffer once returned its uninitialised whole): the shortest form.
      {1e15, 1, "1e+15"},
      {1e308, 1, "1e+308"},
      {-1e308, 8, "-1e+308"},
      {DBL_MAX, 1, "1.7976931348623157e+308"},
      {-2.5e62, 1, "-2.5e+62"},
      {1e-300, 3, "0.000"},
      {1.5, 40, "1.50000000000000000"},
      {1.5, -3, "2"},
      {std::numeric_limits<double>::infinity(), 1, ""},
      {-std::numeric_limits<double>::infinity(), 1, ""},
      {std::nan(""), 8, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FixedText(c.value, c.decimals), c.text) << c.value;
}

TEST(EchoText, EscapesWhatIsNotPrintableAndCutsAtACharacter) {
  const struct {
    std::string text;
    std::size_t max;
    const char* echo;
  } cases[] = {
      {"28359.1", 40, "28359.1"},
      {std::string("4\0"
                   "1",
                   3),
       40, "4\\x001"},
      {"a\tb\nc\x7F", 40, "a\\x09b\\x0Ac\\x7F"},
      {"n\xE9ve", 40, "n\\xE9ve"},       // Latin-1, not UTF-8
      {"\xC2\x85x", 40, "\\xC2\\x85x"},  // C1 control NEL
      {"\xC3\xB8st 62\xC2\xB0", 40, "\xC3\xB8st 62\xC2\xB0"},
      {"\xED\xA0\x80", 40, "\\xED\\xA0\\x80"},  // a surrogate
      {std::string(50, '7'), 40, "7777777777777777777777777777777777777777..."},
      {"abc\xC3\xB8", 4, "abc..."},  // not cut inside the two bytes of ø
      {"", 40, ""},
  };
  for (const auto& c : cases) {
    const std::string e = EchoText(c.text, c.max);
    EXPECT_EQ(e, c.echo);
    EXPECT_TRUE(IsPrintable(e)) << e;
  }
  EXPECT_FALSE(IsPrintable(std::string("a\0b", 3)));
  EXPECT_FALSE(IsPrintable("\xF8"));
  EXPECT_TRUE(
      IsPrintable("9007X \xC2\xB1"
                  "100 \xC2\xB5s"));
}

}  // namespace
}  // namespace kestrune::text
