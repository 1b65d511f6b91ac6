// Coordinate text: the lenient reader with its messages, defaults, carries
// and clamps, and the display form with its carries at 60.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/locale.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/utility_module.hpp"

namespace kestrune::Utility_Module {
namespace {

using Messages = std::vector<std::string>;

struct ParseCase {
  const char* text;
  const char* kind;
  double value;
  Messages messages;
};

const char* const kLatHemisphereDefault = "LATITUDE FORMAT ERROR. Default, N, used";

TEST(ParseLatLon, ReadsLenientTextWithMessagesInOrder) {
  const double ejdeLat = 62.29995472272237;
  const ParseCase cases[] = {
      // The station forms and their blank-separated, lower-case and comma variants.
      {"62°17'59.837N", "LAT", ejdeLat, {}},
      {"007°04'26.079W", "LON", -7.073910833464728, {}},
      {"62 17 59.837 N", "LAT", ejdeLat, {}},
      {"62 17 59,837 n", "LAT", ejdeLat, {}},
      {"  62°17'59.837N  ", "LAT", ejdeLat, {}},
      {"62°17'59.837N", "lat", ejdeLat, {}},
      // A point or comma in degrees or minutes is only a separator.
      {"62.5N", "LAT", 62.083333333333336, {}},
      {"62,5N", "LAT", 62.083333333333336, {}},
      // One character is consumed as a separator: the degree sign after a
      // blank ends an empty minutes field.
      {"62 ° 17", "LAT", 62.00472222222222, {}},
      // The character ending the seconds is consumed even when it is a letter.
      {"62°17'59.837NX", "LAT", ejdeLat, {kLatHemisphereDefault}},
      {"62°17'59.837 NN",
       "LAT",
       ejdeLat,
       {"NN!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {"62°17'59.837 NN",
       "LON",
       ejdeLat,
       {"NN!   LONGITUDE CHARACTER FORMAT ERROR. Default, E, used"}},
      // Texts that end on a field or its own mark take the default hemisphere.
      {"62", "LAT", 62.0, {}},
      {"62ø", "LAT", 62.0, {}},
      {"62ø", "LON", 62.0, {}},
      {"62°", "LAT", 62.0, {kLatHemisphereDefault}},
      {"62°17'", "LAT", 62.0 + 17.0 / 60.0, {}},
      {"62°17'59.837\"", "LAT", ejdeLat, {}},
      {"62°17", "LAT", 62.0 + 17.0 / 60.0, {}},
      // A leading minus sets a preliminary hemisphere that a letter overrides.
      {"-62°17'59.837", "LAT", -ejdeLat, {}},
      {"-62°17'59.837N", "LAT", ejdeLat, {}},
      {"-   62", "LAT", -62.0, {}},
      {"-7", "LON", -7.0, {}},
      // Danish and Norwegian letters for east and west.
      {"10Ø", "LON", 10.0, {}},
      {"10ø", "LON", 10.0, {}},
      {"10V", "LON", -10.0, {}},
      {"10v", "lon", -10.0, {}},
      {"10Ø", "LAT", 10.0, {kLatHemisphereDefault}},
      {"10V", "LAT", 10.0, {kLatHemisphereDefault}},
      {"10E", "LAT", 10.0, {kLatHemisphereDefault}},
      {"10N", "LON", 10.0, {"LONGITUDE FORMAT ERROR. Default, E, used"}},
      // Range clamps on the first value; exactly the limit passes.
      {"91N", "LAT", 90.0, {"LATITUDE FORMAT ERROR. Max 90 deg allowed"}},
      {"91S", "LAT", -90.0, {"LATITUDE FORMAT ERROR. Max 90 deg allowed"}},
      {"90", "LAT", 90.0, {}},
      {"90 0 0.001N", "LAT", 90.0, {"LATITUDE FORMAT ERROR. Max 90 deg allowed"}},
      {"180", "LON", 180.0, {}},
      {"181W", "LON", -180.0, {"LONGITUDE FORMAT ERROR. Max 180 deg allowed"}},
      // Carries set the lower field to 0 and drop the excess.
      {"89°60'", "LAT", 90.0, {"LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {"45°75'N", "LAT", 46.0, {"LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {"45°30'75N",
       "LAT",
       45.516666666666666,
       {"LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed"}},
      {"45°59'60N",
       "LAT",
       46.0,
       {"LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed",
        "LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {"45°75'X",
       "LAT",
       46.0,
       {"LATITUDE MINUTE FORMAT ERROR. Max 59 allowed", kLatHemisphereDefault}},
      // The seconds stop at a minus or a slash, and at a second point.
      {"1 2 3-",
       "LAT",
       1.0 + 2.0 / 60.0 + static_cast<double>(3.0f) / 60.0 / 60.0,
       {kLatHemisphereDefault}},
      {"1 2 3.5.7N", "LAT", static_cast<double>(3.5f) / 60.0 / 60.0 + (2.0 / 60.0 + 1.0), {}},
      // Overflow while reading: one message, result 0, nothing else shown.
      {"40000", "LAT", 0.0, {"LATITUDE FORMAT ERROR. "}},
      {"40000 X X", "LON", 0.0, {"LONGITUDE FORMAT ERROR. "}},
      {"1 40000 N", "LAT", 0.0, {"LATITUDE FORMAT ERROR. "}},
      {"1 2 100000000000000000000000000000000000000000000000000N",
       "LAT",
       0.0,
       {"LATITUDE FORMAT ERROR. "}},
      {"32767", "LON", 180.0, {"LONGITUDE FORMAT ERROR. Max 180 deg allowed"}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(std::string("text \"") + c.text + "\" kind " + c.kind);
    ScopedScriptedMessageBoxes boxes;
    EXPECT_EQ(ParseLatLon(c.text, c.kind), c.value);
    EXPECT_EQ(boxes->Texts(), c.messages);
    for (const auto& box : boxes->boxes) EXPECT_EQ(box.title, "Kestrune");
  }
}

TEST(ParseLatLon, EmptyTextAndLoneMinusGiveZeroWithTheSignOfTheHemisphere) {
  {
    ScopedScriptedMessageBoxes boxes;
    const double v = ParseLatLon("", "LAT");
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v));
    EXPECT_EQ(boxes->Texts(), Messages{"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"});
  }
  {
    ScopedScriptedMessageBoxes boxes;
    const double v = ParseLatLon("-", "LAT");
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(std::signbit(v));
    EXPECT_EQ(boxes->Texts(), Messages{"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"});
  }
  {
    ScopedScriptedMessageBoxes boxes;
    const double v = ParseLatLon("   ", "LON");
    EXPECT_FALSE(std::signbit(v));
    EXPECT_EQ(boxes->Texts(), Messages{"!   LONGITUDE CHARACTER FORMAT ERROR. Default, E, used"});
  }
}

TEST(ParseLatLon, HoldsTheSecondsInSinglePrecision) {
  ScopedScriptedMessageBoxes boxes;
  // 59.837 seconds enter as the 32-bit 59.83700180053711.
  const double expected = 59.83700180053711 / 60.0 / 60.0 + (17.0 / 60.0 + 62.0);
  EXPECT_EQ(ParseLatLon("62°17'59.837N", "LAT"), expected);
  EXPECT_TRUE(boxes->boxes.empty());
}

struct FormatCase {
  double value;
  const char* kind;
  std::int16_t decimals;
  const char* point;
  const char* comma;
};

TEST(FormatLatLon, WritesTheDisplayForm) {
  const FormatCase cases[] = {
      {62.29995472272237, "LAT", 3, "62°17'59.837\"N", "62°17'59,837\"N"},
      {-7.073910833464728, "LON", 3, "007°04'26.079\"W", "007°04'26,079\"W"},
      {-7.073910833464728, "lon", 3, "007°04'26.079\"W", "007°04'26,079\"W"},
      {-62.5, "LAT", 3, "62°30'00.000\"S", "62°30'00,000\"S"},
      {0.0, "LAT", 3, "00°00'00.000\"N", "00°00'00,000\"N"},
      {-0.0, "LON", 3, "000°00'00.000\"E", "000°00'00,000\"E"},
      {179.5, "LON", 0, "179°30'00\"E", "179°30'00\"E"},
      {12.5 + 1.25 / 3600.0, "LAT", 1, "12°30'01.3\"N", "12°30'01,3\"N"},
      {12.5 + 1.25 / 3600.0, "LAT", 2, "12°30'01.25\"N", "12°30'01,25\"N"},
      {12.5 + 1.25 / 3600.0, "LAT", 4, "12°30'01.2500\"N", "12°30'01,2500\"N"},
      // Any other decimals count leaves the seconds piece empty.
      {62.29995472272237, "LAT", 5, "62°17'\"N", "62°17'\"N"},
      {62.29995472272237, "LAT", -1, "62°17'\"N", "62°17'\"N"},
      // The guard at 59.9999 seconds.
      {10.0 + 59.0 / 60.0 + 59.99995 / 3600.0, "LAT", 3, "11°00'00.000\"N", "11°00'00,000\"N"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(std::string(c.point) + " decimals " + std::to_string(c.decimals));
    SetDecimalSeparator('.');
    EXPECT_EQ(FormatLatLon(c.value, c.kind, c.decimals), c.point);
    SetDecimalSeparator(',');
    EXPECT_EQ(FormatLatLon(c.value, c.kind, c.decimals), c.comma);
    SetDecimalSeparator('.');
  }
}

// Seconds that the pattern rounds to 60 used to be written as "60.000"
// below the fixed 59.9999 guard; they now carry into the minutes, and 60
// minutes into the degrees, for every decimals count.
TEST(FormatLatLon, NeverWritesSixtySecondsOrMinutes) {
  const FormatCase cases[] = {
      {10.0 + 59.0 / 60.0 + 59.9996 / 3600.0, "LAT", 3, "11°00'00.000\"N", "11°00'00,000\"N"},
      {10.0 + 59.0 / 60.0 + 59.9995 / 3600.0, "LAT", 3, "11°00'00.000\"N", "11°00'00,000\"N"},
      {10.0 + 59.0 / 60.0 + 59.9994 / 3600.0, "LAT", 3, "10°59'59.999\"N", "10°59'59,999\"N"},
      {-(20.0 + 14.0 / 60.0 + 59.9996 / 3600.0), "LON", 3, "020°15'00.000\"W", "020°15'00,000\"W"},
      {10.0 + 30.0 / 60.0 + 59.7 / 3600.0, "LAT", 0, "10°31'00\"N", "10°31'00\"N"},
      {10.0 + 59.0 / 60.0 + 59.97 / 3600.0, "LAT", 1, "11°00'00.0\"N", "11°00'00,0\"N"},
      {10.0 + 59.0 / 60.0 + 59.996 / 3600.0, "LAT", 2, "11°00'00.00\"N", "11°00'00,00\"N"},
      {89.0 + 59.0 / 60.0 + 59.9997 / 3600.0, "LAT", 3, "90°00'00.000\"N", "90°00'00,000\"N"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.point);
    SetDecimalSeparator('.');
    EXPECT_EQ(FormatLatLon(c.value, c.kind, c.decimals), c.point);
    SetDecimalSeparator(',');
    EXPECT_EQ(FormatLatLon(c.value, c.kind, c.decimals), c.comma);
    SetDecimalSeparator('.');
  }
}

TEST(FormatLatLon, DisplayFormReadsBackToTheSameValueWithoutMessages) {
  const struct {
    const char* text;
    const char* kind;
  } stations[] = {
      {"62°17'59.837N", "LAT"},  {"007°04'26.079W", "LON"}, {"70°54'51.478N", "LAT"},
      {"014°27'47.350E", "LON"}, {"43°44'23.099N", "LAT"},  {"001°22'49.584W", "LON"},
  };
  for (char sep : {'.', ','}) {
    SetDecimalSeparator(sep);
    for (const auto& s : stations) {
      SCOPED_TRACE(s.text);
      ScopedScriptedMessageBoxes boxes;
      const double v = ParseLatLon(s.text, s.kind);
      EXPECT_EQ(ParseLatLon(FormatLatLon(v, s.kind, 3), s.kind), v);
      EXPECT_TRUE(boxes->boxes.empty());
    }
  }
  SetDecimalSeparator('.');
}

TEST(FormatLatLon, DegreesBeyondTheSixteenBitFieldAreAnOverflow) {
  try {
    FormatLatLon(40000.0, "LAT", 3);
    FAIL() << "no fault";
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), RuntimeFault::kOverflow);
  }
  EXPECT_EQ(FormatLatLon(32767.5, "LON", 0), "32767°30'00\"E");
}

}  // namespace
}  // namespace kestrune::Utility_Module
