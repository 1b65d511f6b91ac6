// Datum shifts against the worked example of the EPSG guidance (IOGP
// Guidance Note 7-2, geocentric translations, a North Sea point given on
// WGS 84 and on ED50), and the round trip of a published ED50 shift.
#include "loran/datum.hpp"

#include "loran/calibration.hpp"
#include "loran/tests/loran_test_support.hpp"

namespace kestrune::loran {
namespace {

GeoPoint Dms(double latD, double latM, double latS, double lonD, double lonM, double lonS) {
  return At(latD + latM / 60.0 + latS / 3600.0, lonD + lonM / 60.0 + lonS / 3600.0);
}

TEST(Datum, MatchesThePublishedNorthSeaExampleWithinOneMetre) {
  const Datum example{"ED50", "IOGP GN 7-2, geocentric translations", 6378388.0, 1.0 / 297.0,
                      Helmert{-84.87, -96.49, -116.95}};
  const GeoPoint wgs84 = Dms(53, 48, 33.820, 2, 7, 46.380);
  const GeoPoint ed50 = Dms(53, 48, 36.565, 2, 7, 51.477);
  EXPECT_LT(DistanceMetres(FromWgs84(example, wgs84), ed50), 1.0);
  EXPECT_LT(DistanceMetres(ToWgs84(example, ed50), wgs84), 1.0);
  // The ED50 shift here is some 100 m, and the round trip closes.
  const Datum& north = *Ed50(1612);
  const GeoPoint p = At(66.0, 4.0);
  EXPECT_GT(DistanceMetres(FromWgs84(north, p), p), 50.0);
  EXPECT_LT(DistanceMetres(ToWgs84(north, FromWgs84(north, p)), p), 0.01);
  EXPECT_EQ(Ed50(4326), nullptr);  // no ED50 transformation of that number
}

}  // namespace
}  // namespace kestrune::loran
