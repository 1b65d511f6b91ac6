#include <GeographicLib/Geodesic.hpp>

#include <cmath>

#include "core/tests/core_test_support.hpp"

namespace kestrune::core_test {
namespace {

using constants::kHalfPi;
using constants::kPi;
using RTCM_Calc_Module::ArcSin;
using RTCM_Calc_Module::GeoDistAz;

class GeoDistAzTest : public CoreTest {};

TEST_F(GeoDistAzTest, WorkedPairs) {
  const struct {
    double lat1, lon1, lat2, lon2;  // degrees
    double distance;                // metres, 3 decimals
    double azimuth;                 // degrees, 5 decimals
  } cases[] = {
      {60.0, 5.0, 62.0, 8.0, 275646.263, 214.76364},
      {62.0, 8.0, 60.0, 5.0, 275646.263, 37.38804},
      {70.0, 20.0, 69.0, -10.0, 1166252.567, 98.78101},
      {59.0, 10.0, 59.1, 10.1, 12531.119, 207.21489},
  };
  for (const auto& c : cases) {
    double distance = 0.0, azimuth = 0.0;
    GeoDistAz(Rad(c.lat1), Rad(c.lon1), Rad(c.lat2), Rad(c.lon2), distance, azimuth);
    EXPECT_NEAR(distance, c.distance, 5e-4) << c.lat1 << " " << c.lon1;
    EXPECT_NEAR(Deg(azimuth), c.azimuth, 5e-6) << c.lat1 << " " << c.lon1;
  }
}

TEST_F(GeoDistAzTest, SpecialDirections) {
  const struct {
    const char* name;
    double lat1, lon1, lat2, lon2;  // radians
    double azimuth;                 // exact
  } cases[] = {
      {"identical", 1.1, 0.1, 1.1, 0.1, kPi},
      {"same latitude, east", 1.0, 0.1, 1.0, 0.2, kHalfPi + kPi},
      {"same latitude, west", 1.0, 0.1, 1.0, 0.0, kHalfPi},
      {"same meridian, north", 1.0, 0.1, 1.1, 0.1, kPi},
      {"same meridian, south", 1.0, 0.1, 0.9, 0.1, 0.0},
  };
  for (const auto& c : cases) {
    double distance = kUntouched, azimuth = kUntouched;
    GeoDistAz(c.lat1, c.lon1, c.lat2, c.lon2, distance, azimuth);
    EXPECT_EQ(azimuth, c.azimuth) << c.name;
    if (c.lat1 == c.lat2 && c.lon1 == c.lon2) {
      EXPECT_EQ(distance, 0.0);
    } else {
      // The series still gives the distance.
      EXPECT_GT(distance, 5000.0) << c.name;
      EXPECT_LT(distance, 700000.0) << c.name;
    }
  }
  EXPECT_NEAR(kHalfPi + kPi, 4.712388980385, 1e-15);
}

TEST_F(GeoDistAzTest, ArcSinValues) {
  EXPECT_EQ(ArcSin(1.0), 1.570796326795);
  EXPECT_EQ(ArcSin(-1.0), -1.570796326795);
  EXPECT_EQ(ArcSin(0.5), std::atan(0.5 / std::sqrt(0.75)));
  EXPECT_EQ(ArcSin(0.0), 0.0);
  EXPECT_TRUE(boxes_->boxes.empty());
}

// The arcsine error no longer ends the program: the box is shown and the
// calculation is abandoned through a fault the handler knows was reported.
TEST_F(GeoDistAzTest, ArcSinOutOfRangeAbortsTheCalculation) {
  for (double x : {1.0000001, -1.0000001}) {
    boxes_->boxes.clear();
    RuntimeFault fault = CatchFault([&] { ArcSin(x); });
    EXPECT_EQ(fault.Number(), RuntimeFault::kInvalidCall);
    EXPECT_TRUE(fault.Reported());
    ASSERT_EQ(boxes_->boxes.size(), 1u);
    EXPECT_EQ(boxes_->boxes[0].text, "ARCSINUS DATA ERROR");
    EXPECT_EQ(boxes_->boxes[0].title, "Kestrune");
  }
}

// A quarter-circle arc whose sine comes out as 1.0000000000000002 by rounding.
TEST_F(GeoDistAzTest, SineAboveOneByRoundingAbortsWithoutResults) {
  double distance = kUntouched, azimuth = kUntouched;
  RuntimeFault fault = CatchFault([&] {
    GeoDistAz(0.65650372921184674, 0.0, -0.65013513542934753, -0.94961891572185697, distance,
              azimuth);
  });
  EXPECT_EQ(fault.Number(), RuntimeFault::kInvalidCall);
  EXPECT_TRUE(fault.Reported());
  EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{"ARCSINUS DATA ERROR"});
  EXPECT_EQ(distance, kUntouched);
  EXPECT_EQ(azimuth, kUntouched);
}

TEST_F(GeoDistAzTest, NumericFaultsLeaveTheResultsUnwritten) {
  const struct {
    const char* name;
    double lat1, lon1, lat2, lon2;
    std::int16_t number;
  } cases[] = {
      // Exactly opposite in the program's own pi: the arc's sine vanishes.
      {"antipodal", 0.3, 0.0, -0.3, kPi, RuntimeFault::kDivisionByZero},
      {"antipodal on the equator", 0.0, 0.0, 0.0, -kPi, RuntimeFault::kDivisionByZero},
      // The forward azimuth is due east to the last bit: Y is exactly 0.
      {"Y exactly 0", 0.8, 0.0, 0.77707964763821702, 0.3, RuntimeFault::kDivisionByZero},
      // One point written with longitude +pi and -pi: a zero arc over a zero sine.
      {"zero arc across the date line", 0.5, kPi, 0.5, -kPi, RuntimeFault::kOverflow},
  };
  for (const auto& c : cases) {
    double distance = kUntouched, azimuth = kUntouched;
    RuntimeFault fault =
        CatchFault([&] { GeoDistAz(c.lat1, c.lon1, c.lat2, c.lon2, distance, azimuth); });
    EXPECT_EQ(fault.Number(), c.number) << c.name;
    EXPECT_FALSE(fault.Reported()) << c.name;
    EXPECT_EQ(distance, kUntouched) << c.name;
    EXPECT_EQ(azimuth, kUntouched) << c.name;
  }
  EXPECT_TRUE(boxes_->boxes.empty());
}

// Arcs beyond a quarter circle used to be folded back onto short ones; now
// their distance and direction follow an exact geodesic.
TEST_F(GeoDistAzTest, LongArcsAgreeWithAnExactGeodesic) {
  const GeographicLib::Geodesic& exact = GeographicLib::Geodesic::WGS84();
  const struct {
    double lat1, lon1, lat2, lon2;  // degrees
  } cases[] = {
      {64.0, 4.0, -30.0, 60.0},     {60.0, 5.0, -30.0, 110.0},  {50.0, -10.0, -30.0, 100.0},
      {10.0, 0.0, -10.0, 120.0},    {0.0, 0.0, 0.0, 110.0},     {70.0, 20.0, -20.0, -100.0},
      {-35.0, 150.0, 30.0, -110.0}, {62.3, -7.1, -20.0, 110.0}, {55.0, 8.0, 10.0, -120.0},
  };
  for (const auto& c : cases) {
    double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
    exact.Inverse(c.lat1, c.lon1, c.lat2, c.lon2, s12, azi1, azi2);
    ASSERT_GE(s12, 11000e3) << c.lat2 << " " << c.lon2;
    ASSERT_LE(s12, 15000e3) << c.lat2 << " " << c.lon2;
    double distance = 0.0, azimuth = 0.0;
    GeoDistAz(Rad(c.lat1), Rad(c.lon1), Rad(c.lat2), Rad(c.lon2), distance, azimuth);
    EXPECT_NEAR(distance, s12, 1.0) << c.lat2 << " " << c.lon2;
    double outward = azi1 + 180.0;  // the direction in which the distance grows
    double diff = std::fabs(Deg(azimuth) - outward);
    if (diff > 180.0) diff = 360.0 - diff;
    EXPECT_LT(diff, 1e-3) << c.lat2 << " " << c.lon2;
  }
}

// Just beyond a quarter circle the distance keeps growing with the arc instead
// of turning back.
TEST_F(GeoDistAzTest, DistanceGrowsThroughTheQuarterCircle) {
  double previous = 0.0;
  for (double lon = 80.0; lon <= 100.0; lon += 1.0) {
    double distance = 0.0, azimuth = 0.0;
    GeoDistAz(0.0, 0.0, Rad(1.0), Rad(lon), distance, azimuth);
    EXPECT_GT(distance, previous) << lon;
    previous = distance;
  }
  EXPECT_GT(previous, 11000e3);
}

// A station just across the 180th meridian lies on the near side: the side
// test sees the short way round.
TEST_F(GeoDistAzTest, SideTestAcrossTheDateLine) {
  const GeographicLib::Geodesic& exact = GeographicLib::Geodesic::WGS84();
  const struct {
    double lat1, lon1, lat2, lon2;  // degrees
  } cases[] = {
      {50.0, 179.9, 51.0, -179.9},  // station east across the line
      {50.0, -179.9, 49.0, 179.8},  // station west across the line
      {-20.0, 178.0, -22.0, -177.0},
      {10.0, -175.0, 12.0, 176.0},
  };
  for (const auto& c : cases) {
    double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
    exact.Inverse(c.lat1, c.lon1, c.lat2, c.lon2, s12, azi1, azi2);
    double distance = 0.0, azimuth = 0.0;
    GeoDistAz(Rad(c.lat1), Rad(c.lon1), Rad(c.lat2), Rad(c.lon2), distance, azimuth);
    EXPECT_NEAR(distance, s12, 0.1) << c.lon1;
    double outward = azi1 + 180.0;
    if (outward >= 360.0) outward -= 360.0;
    EXPECT_NEAR(Deg(azimuth), outward, 1e-3) << c.lon1;
  }

  // Same latitude: a station just east across the line gives the east answer.
  double distance = 0.0, azimuth = 0.0;
  GeoDistAz(Rad(50.0), Rad(179.9), Rad(50.0), Rad(-179.9), distance, azimuth);
  EXPECT_EQ(azimuth, kHalfPi + kPi);
  GeoDistAz(Rad(50.0), Rad(-179.9), Rad(50.0), Rad(179.9), distance, azimuth);
  EXPECT_EQ(azimuth, kHalfPi);
}

// A fix iteration may carry a longitude past a full turn; the difference is
// still folded the right way, so nothing turns into its mirror image.
TEST_F(GeoDistAzTest, LongitudePastAFullTurn) {
  const double lon = 0.3;
  double distance = 0.0, azimuth = 0.0, turnedDistance = 0.0, turnedAzimuth = 0.0;
  GeoDistAz(1.0, lon, 1.1, 0.1, distance, azimuth);
  GeoDistAz(1.0, lon + constants::kTwoPi, 1.1, 0.1, turnedDistance, turnedAzimuth);
  EXPECT_NEAR(turnedDistance, distance, 1e-6);
  EXPECT_NEAR(turnedAzimuth, azimuth, 1e-12);
  GeoDistAz(1.0, lon - constants::kTwoPi - constants::kTwoPi, 1.1, 0.1, turnedDistance,
            turnedAzimuth);
  EXPECT_NEAR(turnedDistance, distance, 1e-6);
}

}  // namespace
}  // namespace kestrune::core_test
