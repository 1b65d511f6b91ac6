// The chains before 1995, 7970 (Norwegian Sea) and 7930 (North Atlantic), of
// the built-in historical catalogue against what their sources publish: the
// WGS 72 positions and their shift to WGS 84, the emission delays against
// the baselines, the dates, and the worked example of R. H. Shudde,
// NPS55-80-009 (1980), Table I, at 52°N 35°W. The sources are cited in
// loran/data/historical-chains.txt.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "loran/calibration.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/datum.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "loran/tests/loran_test_support.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune::loran {
namespace {

double Dms(double d, double m, double s) {
  return d + m / 60.0 + s / 3600.0;
}

// A position published on WGS 72 (degrees), on WGS 84.
GeoPoint FromWgs72(double latDeg, double lonDeg) {
  return ToWgs84(Wgs72(), At(latDeg, lonDeg));
}

Catalogue On(const char* date) {
  std::vector<ChainVersion> all = BuiltInNels();
  all.insert(all.end(), BuiltInHistorical().begin(), BuiltInHistorical().end());
  return SelectCatalogue(all, ParseDate(date));
}

// Every "# wgs72; <latitude>; <longitude>" line of the data file, shifted, is
// the position of the station line below it to the 0.0001" it is written to.
TEST(OlderChains, StationLinesAreTheWgs72FiguresShifted) {
  std::ifstream file(KESTRUNE_HISTORICAL_CHAINS);
  ASSERT_TRUE(file) << KESTRUNE_HISTORICAL_CHAINS;
  const std::string marker = "# wgs72;";
  const double tolerance = 0.00006 / 3600.0;  // degrees: half the last digit, and float seconds
  std::vector<std::string> wgs72;
  int pairs = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(marker, 0) == 0) {
      std::istringstream fields(line.substr(marker.size()));
      wgs72.assign(2, std::string());
      std::getline(fields, wgs72[0], ';');
      std::getline(fields, wgs72[1], ';');
    } else if (line.rfind("station;", 0) == 0 && !wgs72.empty()) {
      std::istringstream fields(line);
      std::vector<std::string> f(5);
      for (std::string& field : f) std::getline(fields, field, ';');
      const GeoPoint shifted = FromWgs72(text::ParseLatLon(wgs72[0], "LAT").value,
                                         text::ParseLatLon(wgs72[1], "LON").value);
      EXPECT_NEAR(Deg(shifted.lat), text::ParseLatLon(f[3], "LAT").value, tolerance) << line;
      EXPECT_NEAR(Deg(shifted.lon), text::ParseLatLon(f[4], "LON").value, tolerance) << line;
      wgs72.clear();
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 9);  // five stations of 7970, four of 7930
}

// The shift itself: EPSG:1237 turns every position 0.554" east, and Sylt
// shifted lands within the 0.1" of the second source (Wikipedia, "LORAN-C-
// Sender Rantum": 54°48'29.9"N 8°17'36.9"E) and 0.5 m from the NELS figure.
TEST(OlderChains, TheShiftAgreesWithTheSecondSources) {
  const double second = 1.0 / 3600.0;  // degrees
  const GeoPoint sylt = FromWgs72(Dms(54, 48, 29.872), Dms(8, 17, 36.312));
  EXPECT_NEAR(Deg(sylt.lon) - Dms(8, 17, 36.312), 0.554 * second, 1e-6 * second);
  EXPECT_NEAR(Deg(sylt.lat), Dms(54, 48, 29.9), 0.1 * second);
  EXPECT_NEAR(Deg(sylt.lon), Dms(8, 17, 36.9), 0.1 * second);
  EXPECT_LT(DistanceMetres(sylt, Nels().At(Nels().Find(7499, "M")).position), 0.5);
}

// Each emission delay is the coding delay plus the baseline's travel time
// over seawater from the master. 7970's coding delays are published (W's
// 26000 by the errata); 7930's are not, and its delays close on whole
// thousands.
TEST(OlderChains, EmissionDelaysAreCodingDelayPlusBaseline) {
  const Catalogue c = On("1990-06-01");
  const struct {
    int gri;
    const char* designator;
    double coding;  // microseconds
  } cases[] = {{7970, "W", 26000.0}, {7970, "X", 11000.0}, {7970, "Y", 46000.0},
               {7970, "Z", 60000.0}, {7930, "W", 11000.0}, {7930, "X", 21000.0},
               {7930, "Z", 43000.0}};
  for (const auto& k : cases) {
    const Station& master = c.At(c.Find(k.gri, "M"));
    const Station& s = c.At(c.Find(k.gri, k.designator));
    const double baseline = PropTime(GeoDistAz(master.position, s.position).distance);
    EXPECT_NEAR(s.emissionDelay, k.coding + baseline, 0.02) << k.gri << k.designator;
  }
}

// Table I: the TDs predicted at 52°N 35°W on WGS 72, shifted like the stations.
TEST(OlderChains, WorkedExampleTds) {
  const Catalogue c = On("1990-06-01");
  const GeoPoint at = FromWgs72(52.0, -35.0);
  const struct {
    int gri;
    const char* designator;
    double td;  // microseconds
  } cases[] = {
      {7970, "W", 32845.12}, {7970, "X", 18889.03}, {7930, "W", 16673.77},
      {7930, "X", 30899.81}, {7930, "Z", 49369.30},
  };
  for (const auto& k : cases) {
    const double td = PredictPair(c, at, c.Find(k.gri, "M"), c.Find(k.gri, k.designator)).td;
    EXPECT_NEAR(td, k.td, 0.02) << k.gri << k.designator;
  }
}

// Table I's fix from the 7970 W and X TDs, 52°00'00.14"N 34°59'59.66"W on
// WGS 72, on the stations the report computed with: the DMA's positions of
// 1977 for Ejde and Sylt, shifted alike. There, 1900 km from the chain, the
// two LOPs cross at a narrow angle, and the DMA's figures of 1982 in the
// catalogue, which move Ejde and Sylt by 2 m, move this fix by some 75 m.
TEST(OlderChains, WorkedExampleFix) {
  const Catalogue c = On("1990-06-01");
  std::vector<Station> stations = {c.At(c.Find(7970, "M")), c.At(c.Find(7970, "W")),
                                   c.At(c.Find(7970, "X"))};
  stations[0].position = FromWgs72(Dms(62, 17, 59.68), -Dms(7, 4, 26.71));
  stations[1].position = FromWgs72(Dms(54, 48, 29.80), Dms(8, 17, 36.33));
  const Catalogue dma1977(stations);
  const TwoLopFixResult fix =
      TwoLopFix(dma1977, Lop{0, 1, 32845.12, 1.0}, Lop{0, 2, 18889.03, 1.0}, At(51.0, -33.0));
  ASSERT_TRUE(fix.converged);
  const GeoPoint published = FromWgs72(Dms(52, 0, 0.14), -Dms(34, 59, 59.66));
  EXPECT_LT(DistanceMetres(fix.fix, published), 10.0);
}

// Both chains are on air until 31 December 1994 and from no known first day;
// a station of two chains on air together has one position.
TEST(OlderChains, DatesAndOnePositionPerStation) {
  for (const char* date : {"1970-01-01", "1994-12-31"}) {
    const Catalogue c = On(date);
    EXPECT_EQ(c.Size(), 9) << date;
    EXPECT_EQ(c.At(c.Find(7930, "W")).name, "Sandur");
  }
  EXPECT_EQ(On("1995-01-01").Find(7970, "M"), -1);
  EXPECT_EQ(On("1995-01-01").Find(7930, "M"), -1);
  for (const char* date : {"1990-06-01", "2000-06-01", "2010-06-01"}) {
    const Catalogue c = On(date);
    for (const Station& a : c.Stations()) {
      for (const Station& b : c.Stations()) {
        if (a.name == b.name) {
          EXPECT_EQ(a.position, b.position) << a.name << " " << date;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kestrune::loran
