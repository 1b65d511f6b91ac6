// The geodesic: worked pairs, the exact directions of its special cases, its
// faults, and agreement with an exact geodesic (GeographicLib) on long arcs
// and across the date line.
#include "loran/geodesic.hpp"

#include <GeographicLib/Geodesic.hpp>

#include <cmath>

#include "loran/tests/loran_test_support.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {
namespace {

using constants::kHalfPi;
using constants::kPi;

TEST(GeoDistAz, WorkedPairsAndSpecialDirections) {
  const struct {
    GeoPoint from, to;
    double distance;  // metres, to 3 decimals
    double azimuth;   // degrees, to 5 decimals
  } worked[] = {
      {At(60, 5), At(62, 8), 275646.263, 214.76364},
      {At(62, 8), At(60, 5), 275646.263, 37.38804},
      {At(70, 20), At(69, -10), 1166252.567, 98.78101},
      {At(59, 10), At(59.1, 10.1), 12531.119, 207.21489},
  };
  for (const auto& c : worked) {
    const RangeAzimuth r = GeoDistAz(c.from, c.to);
    EXPECT_NEAR(r.distance, c.distance, 5e-4);
    EXPECT_NEAR(Deg(r.azimuth), c.azimuth, 5e-6);
  }
  // Exact values: coincident points, one latitude, one meridian.
  EXPECT_EQ(GeoDistAz({1.1, 0.1}, {1.1, 0.1}).azimuth, kPi);
  EXPECT_EQ(GeoDistAz({1.1, 0.1}, {1.1, 0.1}).distance, 0.0);
  EXPECT_EQ(GeoDistAz({1.0, 0.1}, {1.0, 0.2}).azimuth, kHalfPi + kPi);
  EXPECT_EQ(GeoDistAz({1.0, 0.1}, {1.0, 0.0}).azimuth, kHalfPi);
  EXPECT_EQ(GeoDistAz({1.0, 0.1}, {1.1, 0.1}).azimuth, kPi);
  EXPECT_EQ(GeoDistAz({1.0, 0.1}, {0.9, 0.1}).azimuth, 0.0);
  // The side across the date line is taken the short way round.
  EXPECT_EQ(GeoDistAz(At(50, 179.9), At(50, -179.9)).azimuth, kHalfPi + kPi);
  EXPECT_EQ(GeoDistAz(At(50, -179.9), At(50, 179.9)).azimuth, kHalfPi);
  // A longitude an iteration carried past a full turn keeps its side.
  const RangeAzimuth plain = GeoDistAz({1.0, 0.3}, {1.1, 0.1});
  const RangeAzimuth turned = GeoDistAz({1.0, 0.3 + constants::kTwoPi}, {1.1, 0.1});
  EXPECT_NEAR(turned.distance, plain.distance, 1e-6);
  EXPECT_NEAR(turned.azimuth, plain.azimuth, 1e-12);
}

// Arcs beyond a quarter circle used to be folded back onto short ones; now
// distance and direction follow an exact geodesic, as do arcs across the
// 180th meridian.
TEST(GeoDistAz, AgreesWithAnExactGeodesic) {
  const GeographicLib::Geodesic& exact = GeographicLib::Geodesic::WGS84();
  const struct {
    double lat1, lon1, lat2, lon2;  // degrees
    double tolerance;               // metres
  } cases[] = {
      {64.0, 4.0, -30.0, 60.0, 1.0},    {60.0, 5.0, -30.0, 110.0, 1.0},
      {10.0, 0.0, -10.0, 120.0, 1.0},   {0.0, 0.0, 0.0, 110.0, 1.0},
      {70.0, 20.0, -20.0, -100.0, 1.0}, {-35.0, 150.0, 30.0, -110.0, 1.0},
      {55.0, 8.0, 10.0, -120.0, 1.0},   {50.0, 179.9, 51.0, -179.9, 0.1},
      {50.0, -179.9, 49.0, 179.8, 0.1}, {-20.0, 178.0, -22.0, -177.0, 0.1},
  };
  for (const auto& c : cases) {
    double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
    exact.Inverse(c.lat1, c.lon1, c.lat2, c.lon2, s12, azi1, azi2);
    const RangeAzimuth r = GeoDistAz(At(c.lat1, c.lon1), At(c.lat2, c.lon2));
    EXPECT_NEAR(r.distance, s12, c.tolerance) << c.lat2 << " " << c.lon2;
    double diff = std::fabs(Deg(r.azimuth) - (azi1 + 180.0));  // the outward direction
    EXPECT_LT(std::min(diff, 360.0 - diff), 1e-3) << c.lat2 << " " << c.lon2;
  }
}

TEST(GeoDistAz, FaultsAndTheArcsine) {
  EXPECT_EQ(ArcSin(1.0), 1.570796326795);
  EXPECT_EQ(ArcSin(-1.0), -1.570796326795);
  // Out of range the calculation is abandoned with the arcsine's own text.
  try {
    ArcSin(1.0000001);
    ADD_FAILURE() << "no fault";
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), RuntimeFault::kInvalidCall);
    EXPECT_STREQ(f.what(), "ARCSINUS DATA ERROR");
  }
  // A quarter-circle arc whose sine comes out as 1.0000000000000002.
  EXPECT_EQ(FaultOf([] {
              GeoDistAz({0.65650372921184674, 0.0}, {-0.65013513542934753, -0.94961891572185697});
            }),
            RuntimeFault::kInvalidCall);
  // Antipodal points, a forward azimuth due east to the last bit, and one
  // point written with longitudes +pi and -pi.
  EXPECT_EQ(FaultOf([] { GeoDistAz({0.3, 0.0}, {-0.3, kPi}); }), RuntimeFault::kDivisionByZero);
  EXPECT_EQ(FaultOf([] {
              GeoDistAz({0.8, 0.0}, {0.77707964763821702, 0.3});
            }),
            RuntimeFault::kDivisionByZero);
  EXPECT_EQ(FaultOf([] { GeoDistAz({0.5, kPi}, {0.5, -kPi}); }), RuntimeFault::kOverflow);
}

}  // namespace
}  // namespace kestrune::loran
