// Millington's method over the shipped coastline: the land mask against the
// exact even-odd test, reciprocity, an all-sea path, an all-land path,
// recovery past a strip of land, and the conductivity file.
#include "loran/asf.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "loran/calibration.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "loran/tests/loran_test_support.hpp"

namespace kestrune::loran {
namespace {

const Coastline& Coast() {
  static const Coastline coast = [] {
    CoastlineRead read = ReadCoastline(FindCoastlineFile(""));
    if (!read.coast) throw std::runtime_error(read.problem);
    return std::move(*read.coast);
  }();
  return coast;
}

std::shared_ptr<const AsfModel> Model() {
  static const auto model = std::make_shared<const AsfModel>(
      std::make_shared<const LandMask>(Coast()), AsfModelSettings{});
  return model;
}

TEST(LandMask, AgreesWithTheExactTest) {
  const LandMask mask(Coast());
  std::mt19937 random(18);
  std::uniform_real_distribution<double> lat(55.0, 71.0), lon(-10.0, 30.0);
  int land = 0;
  for (int i = 0; i < 600; ++i) {
    const GeoPoint p = At(lat(random), lon(random));
    const bool exact = NearestCoast(Coast(), p)->onLand;
    EXPECT_EQ(mask.OnLand(p), exact) << Deg(p.lat) << " " << Deg(p.lon);
    land += exact ? 1 : 0;
  }
  EXPECT_GT(land, 100);                      // both sides were tried
  EXPECT_FALSE(mask.OnLand(At(10.0, 0.0)));  // outside the coastline's box: sea
}

TEST(Asf, AllSeaPathHasNone) {
  // The Norwegian Sea between the Faroes and the Norwegian coast.
  const std::vector<PathSection> s = Model()->Sections(At(65.0, -2.0), At(63.5, 3.0));
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].ground, 0);
  EXPECT_NEAR(Model()->Asf(At(65.0, -2.0), At(63.5, 3.0)), 0.0, 1e-9);
}

TEST(Asf, AllLandPathIsHomogeneousLandLessSea) {
  const GeoPoint a = At(61.0, 9.0), b = At(63.0, 14.0);  // inland Norway to Sweden
  const std::vector<PathSection> s = Model()->Sections(a, b);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].ground, 1);
  const double d = s[0].end;
  EXPECT_NEAR(Model()->Asf(a, b), Model()->Table(1).Phase(d) - Model()->Table(0).Phase(d), 1e-9);
  EXPECT_GT(Model()->Asf(a, b), 1.0);
}

TEST(Asf, ReciprocalStationAndPosition) {
  // Sections reversed give the same mixed phase exactly.
  const std::vector<PathSection> there = {{0, 80e3, 0}, {80e3, 150e3, 1}, {150e3, 420e3, 0}};
  const std::vector<PathSection> back = {{0, 270e3, 0}, {270e3, 340e3, 1}, {340e3, 420e3, 0}};
  EXPECT_NEAR(Model()->Asf(there), Model()->Asf(back), 1e-12);
  // A real path over the Norwegian coast, each way: the boundaries agree
  // to the bisection's 16 m.
  const GeoPoint station = At(62.3, 5.3), at = At(64.0, 10.5);
  const double forward = Model()->Asf(station, at);
  EXPECT_NEAR(Model()->Asf(at, station), forward, 2e-3);
  EXPECT_GT(std::fabs(forward), 0.05);
}

TEST(Asf, RecoveryOverSeaBeyondTheLand) {
  // 100 km of land, then 300 km of sea, against the same land at the end.
  const std::vector<PathSection> recovered = {{0, 100e3, 0}, {100e3, 200e3, 1}, {200e3, 500e3, 0}};
  const std::vector<PathSection> atEnd = {{0, 400e3, 0}, {400e3, 500e3, 1}};
  const double r = Model()->Asf(recovered), e = Model()->Asf(atEnd);
  EXPECT_GT(r, 0.0);
  EXPECT_LT(r, e);
}

TEST(Asf, FieldReadsTheNodesBilinearly) {
  const GeoPoint station = At(62.3, 5.3);
  const AsfField field(Model(), station);
  EXPECT_NEAR(field.At(At(64.0, 10.5)), Model()->Asf(station, At(64.0, 10.5)), 1e-12);
  const double mid = field.At(At(64.005, 10.5));  // half-way between two nodes of latitude
  const double lo = Model()->Asf(station, At(64.0, 10.5));
  const double hi = Model()->Asf(station, At(64.01, 10.5));
  EXPECT_NEAR(mid, 0.5 * (lo + hi), 1e-9);
}

TEST(GroundRegions, ReadsRegionsAndRejectsMistakes) {
  const GroundRegionsRead ok = ParseGroundRegions(
      "# two regions\nregion 0.0003 7\n60 5\n60 6\n61 6\nring\n60.2 5.2\n60.2 5.4\n60.4 5.4\n"
      "region 0.01 30  # wet ground\n59 5\n59 6\n58 6\n");
  ASSERT_EQ(ok.problem, "");
  ASSERT_EQ(ok.regions.size(), 2u);
  EXPECT_EQ(ok.regions[0].rings.size(), 2u);
  EXPECT_EQ(ok.regions[1].ground.permittivity, 30.0);
  const struct {
    const char* text;
    const char* problem;
  } bad[] = {
      {"60 5\n", "line 1: a point before any \"region\" line"},
      {"region 0 7\n",
       "line 1: expected \"region SIGMA EPSILON\", sigma in (0, 100] S/m, epsilon in [1, 100]"},
      {"region 0.01 7\n60 5\n60 6\n", "line 4: a polygon needs at least three points"},
      {"region 0.01 7\n60 5 x\n", "line 2: expected \"LAT LON\" in decimal degrees"},
      {"region 0.01 7\n95 5\n", "line 2: expected \"LAT LON\" in decimal degrees"},
      {"# nothing\n", "line 2: no \"region\" in the file"},
  };
  for (const auto& b : bad) EXPECT_EQ(ParseGroundRegions(b.text).problem, b.problem) << b.text;
  EXPECT_NE(ReadGroundRegions("/dev/null").problem, "");
}

TEST(AsfFix, RecoversThePositionWhoseTdsCarryTheModelsAsf) {
  const Catalogue& nels = NelsCatalogue();
  const CatalogueAsf asf(Model(), nels);
  const GeoPoint truth = At(62.3, 5.6);
  // The TDs there with the model's ASF, fixed first as if over seawater.
  std::vector<Lop> lops;
  for (std::int16_t s : {1, 2, 3}) {
    Lop l{0, s, 0.0, 1.0};
    l.observedTd = PredictPair(nels, truth, 0, s).td + asf.LopAsf(l, truth);
    lops.push_back(l);
  }
  const LeastSquaresFix sea = LsqFix(nels, lops, At(62.0, 5.0));
  ASSERT_TRUE(sea.converged);
  EXPECT_GT(DistanceMetres(sea.fix, truth), 50.0);
  const AsfFix fixed = FixWithAsf(nels, lops, sea.fix, asf);
  ASSERT_TRUE(fixed.converged) << fixed.problem;
  EXPECT_LT(DistanceMetres(fixed.fix, truth), 0.5);
  for (std::size_t k = 0; k < lops.size(); ++k) {
    EXPECT_NEAR(fixed.asf[k], asf.LopAsf(lops[k], truth), 2e-3);
    EXPECT_NEAR(fixed.residuals[k], 0.0, 2e-3);
  }
  // Two LOPs: the crossing.
  const std::vector<Lop> two(lops.begin(), lops.begin() + 2);
  const AsfFix crossing = FixWithAsf(nels, two, sea.fix, asf);
  ASSERT_TRUE(crossing.converged) << crossing.problem;
  EXPECT_LT(DistanceMetres(crossing.fix, truth), 0.5);
}

TEST(Asf, PathBeyondTheCurvesIsRefused) {
  EXPECT_THROW(Model()->Sections(At(62.0, 5.0), At(10.0, 100.0)), std::invalid_argument);
}

}  // namespace
}  // namespace kestrune::loran
