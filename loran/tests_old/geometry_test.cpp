#include <cmath>

#include "core/tests/core_test_support.hpp"

namespace kestrune::core_test {
namespace {

using constants::kHalfPi;
using Global_Module::StationTable;
using RTCM_Calc_Module::LatLonDiffToNE;
using RTCM_Calc_Module::LopAzGradient;
using RTCM_Calc_Module::TwoLopGdop;

class GeometryTest : public CoreTest {};

TEST_F(GeometryTest, AzimuthsAndGradientsAt64N4E) {
  const double expectedAz[] = {76.24972, 150.51915, 217.52007, 352.93068};
  for (int s = 0; s <= 3; ++s) {
    double d = 0, az = 0;
    RTCM_Calc_Module::GeoDistAz(Rad(64.0), Rad(4.0), StationTable(s).Lat, StationTable(s).Lon, d,
                                az);
    EXPECT_NEAR(Deg(az), expectedAz[s], 5e-6) << s;
  }

  const struct {
    int secondary;
    double hypAzimuth;  // degrees
    float gradient;     // m/us
  } cases[] = {
      {1, 113.38443, 248.4714f},
      {2, 146.88489, 158.9949f},
      {3, 34.59020, 225.6648f},
  };
  for (const auto& c : cases) {
    double hyp = 0;
    float gradient = 0;
    LopAzGradient(Rad(64.0), Rad(4.0), 0, static_cast<std::int16_t>(c.secondary), 0.0, hyp,
                  gradient);
    EXPECT_NEAR(hyp, c.hypAzimuth, 5e-6) << c.secondary;
    EXPECT_NEAR(gradient, c.gradient, 5e-5) << c.secondary;
    // The TD passed on changes nothing.
    double hyp2 = 0;
    float gradient2 = 0;
    LopAzGradient(Rad(64.0), Rad(4.0), 0, static_cast<std::int16_t>(c.secondary), 31234.5, hyp2,
                  gradient2);
    EXPECT_EQ(hyp, hyp2);
    EXPECT_EQ(gradient, gradient2);
  }
}

// On the extension of the Ejde-Vaerlandet baseline both stations lie in one
// direction: the marker instead of a gradient.
TEST_F(GeometryTest, BaselineExtensionGivesTheMarker) {
  double hyp = 0;
  float gradient = 0;
  LopAzGradient(Rad(60.7748), Rad(8.2372), 0, 3, 0.0, hyp, gradient);
  EXPECT_EQ(gradient, 9999.0f);
  EXPECT_GT(hyp, 0.0);
  EXPECT_LT(hyp, 180.0);
}

// A master due west on the same latitude (azimuth exactly pi/2) and a
// secondary whose azimuth differs from pi/2 only below the sine's resolution:
// a TD gradient due north.
TEST_F(GeometryTest, GradientDueNorthGivesNinetyExactly) {
  StationTable(0).Lat = 0.5;
  StationTable(0).Lon = -0.1;
  StationTable(1).Lat = 0.49153100942161265;
  StationTable(1).Lon = -0.2;
  double hyp = 0;
  float gradient = 0;
  LopAzGradient(0.5, 0.0, 0, 1, 0.0, hyp, gradient);
  EXPECT_EQ(hyp, 90.0);
}

TEST_F(GeometryTest, LopAzGradientFaults) {
  // Stations placed symmetrically about the position's meridian: the TD
  // gradient points due east and its north part is exactly 0.
  StationTable(5).Lat = 0.9;
  StationTable(5).Lon = -1e-4;
  StationTable(6).Lat = 0.9;
  StationTable(6).Lon = 1e-4;
  const struct {
    const char* name;
    double lat, lon;
    int master, secondary;
    std::int16_t number;
  } cases[] = {
      {"north gradient 0", 0.5, 0.0, 5, 6, RuntimeFault::kDivisionByZero},
      {"master index 15", Rad(64.0), Rad(4.0), 15, 3, RuntimeFault::kSubscript},
      {"secondary index -1", Rad(64.0), Rad(4.0), 0, -1, RuntimeFault::kSubscript},
      {"on the master", StationTable(0).Lat, StationTable(0).Lon, 0, 3,
       RuntimeFault::kDivisionByZero},
  };
  for (const auto& c : cases) {
    double hyp = kUntouched;
    float gradient = -1.0f;
    RuntimeFault fault = CatchFault([&] {
      LopAzGradient(c.lat, c.lon, static_cast<std::int16_t>(c.master),
                    static_cast<std::int16_t>(c.secondary), 0.0, hyp, gradient);
    });
    EXPECT_EQ(fault.Number(), c.number) << c.name;
    EXPECT_EQ(hyp, kUntouched) << c.name;
    EXPECT_EQ(gradient, -1.0f) << c.name;
  }
}

TEST_F(GeometryTest, TwoLopGdopWorkedExample) {
  double az[4];
  for (int s = 0; s <= 3; ++s) {
    double d = 0;
    RTCM_Calc_Module::GeoDistAz(Rad(64.0), Rad(4.0), StationTable(s).Lat, StationTable(s).Lon, d,
                                az[s]);
  }
  EXPECT_NEAR(TwoLopGdop(az[0], az[2], az[0], az[3]), 1.274670, 5e-7);
  // Azimuth differences beyond pi are taken the short way round.
  EXPECT_NEAR(TwoLopGdop(az[0] + constants::kTwoPi, az[2], az[0], az[3] - constants::kTwoPi),
              1.274670, 5e-7);
}

TEST_F(GeometryTest, TwoLopGdopZeroSine) {
  EXPECT_EQ(CatchFault([] { TwoLopGdop(1.0, 1.0, 0.5, 2.0); }).Number(),
            RuntimeFault::kDivisionByZero);
  EXPECT_EQ(CatchFault([] { TwoLopGdop(0.5, 2.0, 3.0, 3.0); }).Number(),
            RuntimeFault::kDivisionByZero);
}

TEST_F(GeometryTest, LatLonDiffToNE) {
  float north = -1.0f, east = -1.0f;
  LatLonDiffToNE(Rad(64.0), Rad(4.0), Rad(64.001), Rad(4.001), north, east);
  EXPECT_NEAR(north, 110.8745f, 5e-5);
  EXPECT_NEAR(east, 48.9317f, 5e-5);
  LatLonDiffToNE(Rad(64.001), Rad(4.001), Rad(64.0), Rad(4.0), north, east);
  EXPECT_LT(north, 0.0f);
  EXPECT_LT(east, 0.0f);
  LatLonDiffToNE(Rad(64.0), Rad(4.0), Rad(64.0), Rad(4.0), north, east);
  EXPECT_EQ(north, 0.0f);
  EXPECT_EQ(east, 0.0f);
}

}  // namespace
}  // namespace kestrune::core_test
