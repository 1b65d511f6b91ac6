// The chart's geometry: projection, traced LOPs, ellipse, scale bar, coastline.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#include "chart/coastline.hpp"
#include "chart/lop_geometry.hpp"
#include "chart/scene.hpp"
#include "chart/tests/chart_test_support.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;
using namespace kestrune::chart;

using chart_testing::Rad;

TEST(Mercator, ForwardAndReverseAgree) {
  const Mercator m({Rad(64), Rad(4)});
  for (auto [lat, lon] : {std::pair{64.0, 4.0}, {40.0, -35.0}, {75.0, 40.0}, {49.15, -1.5}}) {
    const loran::GeoPoint g{Rad(lat), Rad(lon)};
    const loran::GeoPoint back = m.Reverse(m.Forward(g));
    EXPECT_NEAR(back.lat, g.lat, 1e-12) << lat;
    EXPECT_NEAR(back.lon, g.lon, 1e-12) << lon;
  }
  EXPECT_NEAR(m.ScaleAt(Rad(64)), 1.0, 1e-12);
}

// LOPs 9007 W, X and Y observed at 64°N 4°E, traced from 63°30'N 3°E.
TEST(TraceLop, EveryPointPredictsTheObservedTdAndTheLinePassesThroughTheFix) {
  const loran::Catalogue& cat = loran::NelsCatalogue();
  const loran::GeoPoint truth{Rad(64), Rad(4)};
  const Mercator plane(truth);
  for (int secondary : {1, 2, 3}) {
    const loran::Lop lop{0, static_cast<std::int16_t>(secondary),
                         loran::PredictPair(cat, truth, 0, secondary).td, 1.0};
    const TracedLop t = TraceLop(cat, lop, {Rad(63.5), Rad(3)}, 1000, [&](loran::GeoPoint p) {
      return loran::GeoDistAz(truth, p).distance < 300e3 ? 2000.0 : 0.0;
    });
    ASSERT_GT(t.points.size(), 250u) << secondary;
    EXPECT_GT(loran::GeoDistAz(truth, t.points.front()).distance, 299e3);
    EXPECT_GT(loran::GeoDistAz(truth, t.points.back()).distance, 299e3);
    double nearest = 1e9;
    for (std::size_t i = 0; i < t.points.size(); ++i) {
      EXPECT_NEAR(loran::PredictPair(cat, t.points[i], 0, secondary).td, lop.observedTd, 0.001);
      if (i == 0) continue;
      const MapPoint a = plane.Forward(t.points[i - 1]), b = plane.Forward(t.points[i]);
      const double len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
      const double s = std::clamp(-(a.x * (b.x - a.x) + a.y * (b.y - a.y)) / len2, 0.0, 1.0);
      nearest = std::min(nearest, std::hypot(a.x + s * (b.x - a.x), a.y + s * (b.y - a.y)));
    }
    EXPECT_LT(nearest, 1.0) << "metres from the fix, LOP " << secondary;
  }
}

// Gradients in us per metre; semi-axes 2.4477 sigma times metres per us.
TEST(FixErrorEllipse, AxesFollowTheCovarianceOfTheGradients) {
  const double r = std::sqrt(0.5);
  struct Case {
    loran::TdGradient a, b;
    double major, minor, azimuth;
  } cases[] = {
      {{1.0 / 300, 0, 1}, {0, 1.0 / 500, 1}, 122.38734153, 73.43240492, 0.0},
      {{1.0 / 300, 0, 1}, {0, 1.0 / 500, 0.25}, 244.77468307, 73.43240492, 0.0},
      {{r / 300, r / 300, 1}, {-r / 500, r / 500, 1}, 122.38734153, 73.43240492, 3 * M_PI / 4},
  };
  for (const Case& c : cases) {
    const loran::TdGradient g[] = {c.a, c.b};
    const auto e = loran::FixErrorEllipse(g, 0.1, constants::kEllipse95Scale);
    ASSERT_TRUE(e.has_value());
    EXPECT_NEAR(e->semiMajor, c.major, 1e-6);
    EXPECT_NEAR(e->semiMinor, c.minor, 1e-6);
    EXPECT_NEAR(e->azimuth, c.azimuth, 1e-9);
  }
  const loran::TdGradient parallel[] = {{1.0 / 300, 0, 1}, {2.0 / 300, 0, 1}};
  EXPECT_FALSE(loran::FixErrorEllipse(parallel, 0.1, constants::kEllipse95Scale).has_value());
}

TEST(RoundScaleBar, RoundLengthInMetresOrNauticalMiles) {
  struct Case {
    double metresPerPixel;
    const char* label;
    double pixels;
  } cases[] = {{0.01, "1 m", 100}, {1, "100 m", 100}, {100, "5 NM", 92.6}, {1000, "50 NM", 92.6}};
  for (const Case& c : cases) {
    const ScaleBar bar = RoundScaleBar(c.metresPerPixel, 160);
    EXPECT_EQ(bar.label, c.label);
    EXPECT_NEAR(bar.pixels, c.pixels, 1e-9);
  }
}

TEST(Coastline, ShippedFileCoversTheChainsAndKnowsLandFromSea) {
  const CoastlineRead read = ReadCoastline(FindCoastlineFile(""));
  ASSERT_TRUE(read.coast.has_value()) << read.problem;
  const Coastline& c = *read.coast;
  EXPECT_GT(c.rings.size(), 300u);
  for (const auto& ring : c.rings) {
    for (const loran::GeoPoint& p : ring) {
      ASSERT_TRUE(p.lon > Rad(-35.01) && p.lon < Rad(40.01) && p.lat > Rad(39.99) &&
                  p.lat < Rad(75.01));
    }
  }
  // The transmitters stand at the shore (Vaerlandet on an islet too small
  // for the scale); inland Norway is land, 64°N 4°E open sea.
  for (const loran::Station& s : loran::NelsCatalogue().Stations()) {
    EXPECT_LT(NearestCoast(c, s.position)->metres, 15e3) << s.name;
  }
  EXPECT_TRUE(NearestCoast(c, {Rad(60), Rad(10)})->onLand);
  const auto sea = NearestCoast(c, {Rad(64), Rad(4)});
  EXPECT_FALSE(sea->onLand);
  EXPECT_NEAR(sea->metres, 187.7e3, 1e3);
}

TEST(Coastline, DamagedOrMissingFileSaysWhy) {
  std::ifstream in(FindCoastlineFile(""), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(DecodeCoastline(bytes.substr(0, bytes.size() - 3)).problem,
            "the coastline file is damaged");
  EXPECT_EQ(DecodeCoastline("PNG").problem, "the file is not a Kestrune coastline");
  EXPECT_EQ(ReadCoastline("/nonexistent/c.bin").problem, "cannot open /nonexistent/c.bin");
}

}  // namespace
