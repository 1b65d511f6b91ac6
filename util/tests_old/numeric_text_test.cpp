// Numeric text: number patterns, reading typed numbers, right alignment and
// the sign place.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "platform/locale.hpp"
#include "platform/runtime_fault.hpp"
#include "util/utility_module.hpp"

namespace kestrune::Utility_Module {
namespace {

struct PatternCase {
  double value;
  const char* pattern;
  const char* point;
};

TEST(Format, DigitPlacesRoundingAndLiterals) {
  const PatternCase cases[] = {
      {123.46, "#.0", "123.5"},
      {0.04, "#.0", ".0"},
      {2.25, "#.0", "2.3"},
      {0.5, "#.0", ".5"},
      {5.25, "000.0", "005.3"},
      {359.96, "000.0", "360.0"},
      {123.5, "#.000", "123.500"},
      {0.5, "#.000", ".500"},
      {45.6, "000", "046"},
      {3.0, "000", "003"},
      {123.6, "###0 m", "124 m"},
      {0.3, "###0 m", "0 m"},
      {9999.0, "###0 m", "9999 m"},
      {-12.3, "##0 m", "-12 m"},
      {0.1236, "0.000", "0.124"},
      {12.0, "0.000", "12.000"},
      {1.25, "0.0", "1.3"},
      {-1234.56, "###0.0", "-1234.6"},
      {7.0, "00", "07"},
      {59.837, "00.000", "59.837"},
      // Decimal form to 15 digits first, then halves away from zero.
      {0.015, "0.00", "0.02"},
      {2.675, "0.00", "2.68"},
      {1.005, "0.00", "1.01"},
      {0.995, "0.00", "1.00"},
      {-2.5, "0", "-3"},
      // The largest double below one half shows as 0.5 to 15 digits.
      {0.49999999999999994, "0", "1"},
      // The integer part is never cut.
      {123456.7, "00", "123457"},
      {1e20, "0", "100000000000000000000"},
      {1e-20, "0.00", "0.00"},
      {12.5, ".00", "12.50"},
      {0.5, ".00", ".50"},
      // A negative value that rounds to zero has no sign.
      {-0.3, "##0 m", "0 m"},
      {-0.04, "#.0", ".0"},
      {-0.0, "0.000", "0.000"},
      {-0.0004, "0.000", "0.000"},
      {-0.0005, "0.000", "-0.001"},
  };
  for (const PatternCase& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " -> " + c.point);
    EXPECT_EQ(Format(c.value, c.pattern), c.point);
  }
}

TEST(Format, WritesTheLocaleSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(Format(0.1236, "0.000"), "0,124");
  EXPECT_EQ(Format(0.5, "#.0"), ",5");
  EXPECT_EQ(Format(123.6, "###0 m"), "124 m");
  EXPECT_EQ(Format(2.5f, "0.0"), "2,5");
  SetDecimalSeparator('.');
  EXPECT_EQ(Format(0.1236, "0.000"), "0.124");
}

TEST(Format, SinglePrecisionFormatsAsTheNumberItShows) {
  // 1.005f is 1.00499999523...: as a float it shows 1.005 and rounds up,
  // as a double it does not.
  EXPECT_EQ(Format(1.005f, "0.00"), "1.01");
  EXPECT_EQ(Format(static_cast<double>(1.005f), "0.00"), "1.00");
  EXPECT_EQ(Format(0.1f, "0.000000000"), "0.100000000");
  EXPECT_EQ(Format(static_cast<double>(0.1f), "0.000000000"), "0.100000001");
  EXPECT_EQ(Format(-12.5f, "##0 m"), "-13 m");
  EXPECT_EQ(Format(-0.4f, "##0 m"), "0 m");
}

TEST(Format, NonFiniteValueIsAnOverflow) {
  for (double v : {std::numeric_limits<double>::infinity(), std::nan("")}) {
    try {
      Format(v, "0.0");
      FAIL() << "no fault";
    } catch (const RuntimeFault& f) {
      EXPECT_EQ(f.Number(), RuntimeFault::kOverflow);
    }
  }
}

TEST(ValWithComma, ReadsTheLeadingNumber) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0,5", 0.5},      {"1,2,3", 1.2}, {"27 512,3", 27512.3}, {"-3e2", -300.0},
      {"12 usec", 12.0}, {"", 0.0},      {"   ", 0.0},          {"abc", 0.0},
      {",", 0.0},        {"1.2.3", 1.2}, {"+7", 7.0},           {".5", 0.5},
      {" \t- 3", -3.0},  {"3\n4", 34.0}, {"1D2", 100.0},        {"2,5d-1", 0.25},
      {"1e", 1.0},       {"1e+", 1.0},   {"4E 1", 40.0},        {"12345,678", 12345.678},
      {"1e-400", 0.0},   {"-", 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(ValWithComma(c.text), c.value);
  }
}

// A number beyond the 64-bit range must not stop the program.
TEST(ValWithComma, BeyondTheDoubleRangeGivesTheLargestDouble) {
  EXPECT_EQ(ValWithComma("1E400"), DBL_MAX);
  EXPECT_EQ(ValWithComma("-1e400"), -DBL_MAX);
  EXPECT_EQ(ValWithComma(std::string(400, '9')), DBL_MAX);
  EXPECT_EQ(ValWithComma("0,1e310"), DBL_MAX);
  EXPECT_EQ(ValWithComma("-0.000 12 D 400"), -DBL_MAX);
  EXPECT_EQ(ValWithComma("0.01e310"), 1e308);
  EXPECT_EQ(ValWithComma("123e-330"), 0.0);
  EXPECT_EQ(ValWithComma("1e-310"), 1e-310);
  EXPECT_EQ(ValWithComma("1e99999999999999999999"), DBL_MAX);
}

TEST(FormatRight, PadsToThePatternAndNeverCuts) {
  const struct {
    double value;
    const char* pattern;
    const char* text;
  } cases[] = {
      {12.34, "###0.0", "  12.3"}, {0.0, "###0.0", "   0.0"}, {-1234.56, "###0.0", "-1234.6"},
      {112.5, "###0.0", " 112.5"}, {5.0, "0 µs", "5 µs"},     {5.0, "##0 µs", "  5 µs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatRight(c.value, c.pattern), c.text);
  }
  EXPECT_EQ(FormatRight(std::nan(""), "###0.0"), "      ");
  EXPECT_EQ(FormatRight(std::numeric_limits<double>::infinity(), "##0 m"), "     ");
}

TEST(Str, WritesTheSignPlace) {
  EXPECT_EQ(Str(3), " 3");
  EXPECT_EQ(Str(-3), "-3");
  EXPECT_EQ(Str(0), " 0");
  EXPECT_EQ(Str(32767), " 32767");
  EXPECT_EQ(Str(-32768), "-32768");
}

}  // namespace
}  // namespace kestrune::Utility_Module
