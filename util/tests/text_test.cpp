// Coordinate and numeric text: every line of the golden tables, worked out
// independently, digit for digit in both separators; then the cases the
// tables do not hold: fault paths, the carries that never write 60, and the
// limits of the reader.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/runtime_fault.hpp"
#include "tests/support/test_support.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune::text {
namespace {

using testing_support::Json;
using testing_support::ReadJsonLines;

TEST(Golden, CoordinateTextParsesWithItsMessagesAndFormatsInBothSeparators) {
  const std::vector<Json> lines = ReadJsonLines("coordinate-text.jsonl");
  ASSERT_EQ(lines.size(), 480u);
  for (const Json& line : lines) {
    const std::string text = line["text"];
    const std::string kind = line["kind"];
    SCOPED_TRACE("text \"" + text + "\" kind " + kind);
    const ParsedCoordinate parsed = ParseLatLon(text, kind);
    EXPECT_EQ(parsed.value, line["value"].get<double>());
    EXPECT_EQ(parsed.messages, line["messages"].get<std::vector<std::string>>());
    EXPECT_EQ(FormatLatLon(line["value"], kind, 3, '.'), line["display"]);
    EXPECT_EQ(FormatLatLon(line["value"], kind, 3, ','), line["display_comma"]);
  }
}

TEST(Golden, NumberPatternsInBothSeparators) {
  const std::vector<Json> lines = ReadJsonLines("number-patterns.jsonl");
  ASSERT_EQ(lines.size(), 2828u);
  for (const Json& line : lines) {
    const std::string pattern = line["pattern"];
    const double value = line["value"];
    SCOPED_TRACE(line.dump());
    for (const char sep : {'.', ','}) {
      const std::string shown = line["bits"] == 32 ? Format(static_cast<float>(value), pattern, sep)
                                                   : Format(value, pattern, sep);
      EXPECT_EQ(shown, line[sep == '.' ? "dot" : "comma"]);
    }
  }
}

TEST(ParseLatLon, CasesBeyondTheTables) {
  const struct {
    std::string text;
    const char* kind;
    double value;
    std::vector<std::string> messages;
  } cases[] = {
      // The seconds stop at a second point and are held in 32 bits.
      {"1 2 3.5.7N", "LAT", static_cast<double>(3.5f) / 60.0 / 60.0 + (2.0 / 60.0 + 1.0), {}},
      {"62°17'59.837N", "LAT", 59.83700180053711 / 60.0 / 60.0 + (17.0 / 60.0 + 62.0), {}},
      // Seconds beyond the 32-bit range overflow: one message, value 0.
      {"1 2 1" + std::string(50, '0') + "N", "LAT", 0.0, {"LATITUDE FORMAT ERROR. "}},
      // The clamp comes before the carries that could push past it.
      {"32767", "LON", 180.0, {"LONGITUDE FORMAT ERROR. Max 180 deg allowed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedCoordinate p = ParseLatLon(c.text, c.kind);
    EXPECT_EQ(p.value, c.value);
    EXPECT_EQ(p.messages, c.messages);
  }
  // A lone minus gives a zero of the southern hemisphere.
  EXPECT_TRUE(std::signbit(ParseLatLon("-", "LAT").value));
  EXPECT_FALSE(std::signbit(ParseLatLon("", "LAT").value));
}

// The window reads "S" or "nan" as 0 degrees with or without a message; a
// text without a digit names no position for a strict reader.
TEST(HasDigit, TextsThatNameNoPosition) {
  for (const char* none : {"nan", "NaN", "n", "S", "e", "", "  ", "N", "inf"}) {
    EXPECT_FALSE(text::HasDigit(none)) << none;
  }
  for (const char* some : {"0", "62 N", "-0.5", "007\u00B004'26.079\"W"}) {
    EXPECT_TRUE(text::HasDigit(some)) << some;
  }
  EXPECT_EQ(text::ParseLatLon("S", "LAT").value, 0.0);  // the window's reading stays
}

// Seconds that the pattern rounds to 60 carry into the minutes, and 60
// minutes into the degrees, at every decimals count.
TEST(FormatLatLon, NeverWritesSixtySecondsOrMinutes) {
  const struct {
    double value;
    std::int16_t decimals;
    const char* shown;
  } cases[] = {
      {10.0 + 59.0 / 60.0 + 59.9996 / 3600.0, 3, "11°00'00.000\"N"},
      {10.0 + 59.0 / 60.0 + 59.9994 / 3600.0, 3, "10°59'59.999\"N"},
      {10.0 + 30.0 / 60.0 + 59.7 / 3600.0, 0, "10°31'00\"N"},
      {10.0 + 59.0 / 60.0 + 59.97 / 3600.0, 1, "11°00'00.0\"N"},
      {10.0 + 59.0 / 60.0 + 59.996 / 3600.0, 2, "11°00'00.00\"N"},
      {89.0 + 59.0 / 60.0 + 59.9997 / 3600.0, 3, "90°00'00.000\"N"},
      {62.29995472272237, 5, "62°17'\"N"},  // no seconds pattern beyond 4 decimals
  };
  for (const auto& c : cases) EXPECT_EQ(FormatLatLon(c.value, "LAT", c.decimals, '.'), c.shown);
}

// The degrees field is 16 bits: a magnitude beyond it, and a carry out of
// 32767 degrees, are run-time error 6. The carry used to wrap the field to
// "-32768°00'00.000"E".
TEST(FormatLatLon, DegreesBeyondTheSixteenBitFieldAreAnOverflow) {
  for (const double v : {40000.0, 32767.99999999, -32767.99999999}) {
    try {
      FormatLatLon(v, "LON", 3, '.');
      ADD_FAILURE() << v << " formatted";
    } catch (const RuntimeFault& f) {
      EXPECT_EQ(f.Number(), RuntimeFault::kOverflow) << v;
    }
  }
  EXPECT_EQ(FormatLatLon(32767.5, "LON", 0, '.'), "32767°30'00\"E");
}

TEST(ReadLenientNumber, ReadsTheLeadingNumberAndNeverFails) {
  const std::string kNines(400, '9');
  const struct {
    std::string text;
    double value;
  } cases[] = {
      {"0,5", 0.5},        {"1,2,3", 1.2},     {"27 512,3", 27512.3},
      {"-3e2", -300.0},    {"12 usec", 12.0},  {"", 0.0},
      {"abc", 0.0},        {",", 0.0},         {" \t- 3", -3.0},
      {"3\n4", 34.0},      {"1D2", 100.0},     {"2,5d-1", 0.25},
      {"1e+", 1.0},        {"28'359.1", 28.0}, {"1e-400", 0.0},
      {"1e-310", 1e-310},  {"1E400", DBL_MAX}, {"-1e400", -DBL_MAX},
      {"0.01e310", 1e308}, {kNines, DBL_MAX},  {"1e99999999999999999999", DBL_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadLenientNumber(c.text), c.value) << c.text;
}

TEST(NumericText, RightAlignmentSignPlaceAndFaults) {
  EXPECT_EQ(FormatRight(12.34, "###0.0", '.'), "  12.3");
  EXPECT_EQ(FormatRight(-1234.56, "###0.0", '.'), "-1234.6");  // never cut
  EXPECT_EQ(FormatRight(5.0, "##0 µs", '.'), "  5 µs");        // width in characters
  EXPECT_EQ(FormatRight(std::nan(""), "###0.0", '.'), "      ");
  EXPECT_EQ(WithSignPlace(3), " 3");
  EXPECT_EQ(WithSignPlace(-32768), "-32768");
  EXPECT_THROW(Format(std::numeric_limits<double>::infinity(), "0.0", '.'), RuntimeFault);
  // 1.005f shows as 1.005 and rounds up; the same bits as a double do not.
  EXPECT_EQ(Format(1.005f, "0.00", '.'), "1.01");
  EXPECT_EQ(Format(static_cast<double>(1.005f), "0.00", '.'), "1.00");
}

}  // namespace
}  // namespace kestrune::text
