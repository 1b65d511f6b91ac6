// The decisions of a row's fix: the consistency test, the coverage by the
// 95 % accuracy, the crossing search, a fix beyond a pole, and the
// completion of left-off digits. The choice between two crossings and the
// position kept for inconsistent TDs are checked through the converter.
#include "loran/row_fix.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "loran/coverage.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "loran/tests/loran_test_support.hpp"
#include "util/strict_number.hpp"

namespace kestrune::loran {
namespace {

// NELS station indices: 9007 M W X Y Z, 7001 M X Y, 7499 M X Y.
constexpr LopPair k9007W{0, 1}, k9007X{0, 2}, k9007Y{0, 3}, k9007Z{0, 4}, k7001Y{5, 7};

Lop At(LopPair p, double latDeg, double lonDeg) {
  return Lop{p.master, p.secondary,
             PredictPair(Nels(), loran::At(latDeg, lonDeg), p.master, p.secondary).td, 1.0};
}

TEST(TestResiduals, ChiSquareOfTheWeightedResidualsAtItsQuantile) {
  struct Case {
    std::vector<double> residuals;  // us
    std::vector<double> weights;
    bool consistent;
    int worst;
  };
  const Case cases[] = {
      {{0.06, -0.03, 0.04}, {1, 1, 1}, true, 0},
      {{1.2, -1.0, 0.9}, {1, 1, 1}, true, 0},          // an ASF of about a microsecond
      {{34.4, -27.0, 16.0}, {1, 1, 1}, false, 0},      // a mistyped hundreds digit
      {{-59.0, 63.0, -79.0}, {1, 1, 1}, false, 2},     // the old --help example
      {{2.0, 2.0, 2.0, 2.0}, {1, 1, 1, 1}, false, 0},  // 16 beyond 13.816
      {{405.2, -318.0}, {1, 1}, true, 0},              // two LOPs: nothing to test
      {{0.1, 0.1, 50.0}, {1, 1, 0}, true, 0},          // a LOP without weight is out
  };
  for (std::size_t c = 0; c < std::size(cases); ++c) {
    std::vector<Lop> lops;
    for (double w : cases[c].weights) lops.push_back(Lop{0, 1, 0.0, w});
    const ResidualTest t = TestResiduals(lops, cases[c].residuals, 1.0);
    EXPECT_EQ(t.consistent, cases[c].consistent) << c;
    EXPECT_EQ(t.worst, cases[c].worst) << c;
  }
}

TEST(OnGlobe, NoLatitudeBeyondAPoleAndLongitudesWithinHalfATurn) {
  EXPECT_FALSE(OnGlobe(GeoPoint{Rad(-4256.43639852), Rad(352.0)}));
  EXPECT_FALSE(OnGlobe(GeoPoint{std::nan(""), 0.0}));
  EXPECT_FALSE(OnGlobe(GeoPoint{0.5, std::nan("")}));
  const GeoPoint east = *OnGlobe(GeoPoint{Rad(60.0), Rad(352.38806)});
  EXPECT_NEAR(Deg(east.lon), -7.61194, 1e-9);
  EXPECT_NEAR(Deg(OnGlobe(GeoPoint{0.0, Rad(-190.0)})->lon), 170.0, 1e-9);
  // A longitude already inside keeps every bit.
  const GeoPoint inside{Rad(63.2), Rad(-179.99)};
  EXPECT_EQ(*OnGlobe(inside), inside);
}

TEST(CompleteLeadingDigits, OnlyWhenTheNextCandidateIsThreeTimesAsFar) {
  struct Case {
    const char* typed;
    double predicted;
    bool completed;
    bool ambiguous;
    double value;
  };
  const Case cases[] = {
      {"359.249", 28359.9, true, false, 28359.249},
      {"433.5", 28620.0, true, false, 28433.5},  // 186.5 and 813.5 us: 4.4 times
      {"433.5", 28813.5, false, true, 28433.5},  // 380 and 620 us: ambiguous
      {"94.4", 40050.0, false, true, 40094.4},   // 44 and 56 us
      {"094.4", 40050.0, true, false, 40094.4},  // 44 and 956 us
      {"-94.4", 40050.0, false, false, 0.0},     // a sign: written whole
      {"28359.2", 28359.0, false, false, 0.0},   // nothing left off
  };
  for (const Case& c : cases) {
    const auto typed = text::ReadStrictNumber(c.typed);
    ASSERT_TRUE(typed) << c.typed;
    const TdCompletion t = CompleteLeadingDigits(*typed, c.predicted);
    EXPECT_EQ(t.completed, c.completed) << c.typed << " " << c.predicted;
    EXPECT_EQ(t.ambiguous, c.ambiguous) << c.typed << " " << c.predicted;
    if (c.completed || c.ambiguous) {
      EXPECT_DOUBLE_EQ(t.value, c.value) << c.typed;
    }
  }
}

// The 95 % accuracy decides, not one LOP's gradient: at 60 N 14 W the
// gradient of 9007X passes 1000 m/us, yet the three LOPs fix to 2drms well
// within a quarter mile; at 70 N 30 W they do not.
TEST(AssessCoverage, TheQuarterMileAtNinetyFivePercentWithinReach) {
  auto three = [](double lat, double lon) {
    return std::vector<Lop>{At(k9007W, lat, lon), At(k9007X, lat, lon), At(k9007Y, lat, lon)};
  };
  EXPECT_GT(PredictPair(Nels(), loran::At(60, -14), 0, 2).direction.gradient, 1000.0f);
  const CoverageAssessment inside = AssessCoverage(Nels(), three(60, -14), loran::At(60, -14), 0.1);
  EXPECT_EQ(inside.verdict, CoverageVerdict::kInside);
  EXPECT_EQ(CoverageStatus(Nels(), inside), "");

  const CoverageAssessment poor = AssessCoverage(Nels(), three(70, -30), loran::At(70, -30), 0.1);
  EXPECT_EQ(poor.verdict, CoverageVerdict::kPoorAccuracy);
  EXPECT_EQ(CoverageStatus(Nels(), poor), "accuracy 918 m at 95 %");
  // The accuracy scales with the TD sigma.
  const CoverageAssessment coarse = AssessCoverage(Nels(), three(70, -30), loran::At(70, -30), 1.0);
  EXPECT_NEAR(coarse.accuracy->drms2, 10.0 * poor.accuracy->drms2, 1e-6);
  EXPECT_EQ(CoverageStatus(Nels(), coarse), "accuracy 9.2 km at 95 %");

  const std::vector<Lop> berlevaag{At(k9007W, 62, -25), At(k7001Y, 62, -25)};
  const CoverageAssessment far = AssessCoverage(Nels(), berlevaag, loran::At(62, -25), 0.1);
  EXPECT_EQ(far.verdict, CoverageVerdict::kBeyondReach);
  EXPECT_EQ(CoverageStatus(Nels(), far).substr(0, 36), "beyond ground-wave reach: Berlevaag ");
}

// Two-LOP TDs predicted near stations and near the baseline extensions,
// where the LOPs bend or fan out within a grid cell: the search finds the
// true crossing among those it reports.
TEST(CoverageGrid, EveryCrossingAlsoNearStationsAndLimits) {
  struct Case {
    LopPair a, b;
    double lat, lon;
  };
  const Case cases[] = {
      {k9007X, k9007Y, 61.35, 4.64},   // 5 km from Vaerlandet
      {k9007X, k9007Y, 61.10, 5.20},   // inland of Vaerlandet
      {k9007W, k9007X, 62.40, -6.80},  // 15 km from Ejde
      {k9007W, k9007Y, 68.40, 14.00},  // near Boe
      {k9007W, k9007X, 70.70, -8.00},  // near Jan Mayen
      {k9007X, k9007Y, 66.50, 12.00},  // near the X baseline
      {k9007W, k9007Z, 62.00, -10.0},  // two crossings
      {k9007W, k9007Z, 61.795463, -3.303827},
  };
  CoverageCache cache(Nels());
  for (const Case& c : cases) {
    const Lop a = At(c.a, c.lat, c.lon), b = At(c.b, c.lat, c.lon);
    const LopPair set[] = {c.a, c.b};
    const auto grid = cache.Grid(set);
    double nearest = 1e30;
    for (const TwoLopFixResult& f : grid->Crossings(a, b)) {
      nearest = std::min(nearest, GeoDistAz(f.fix, loran::At(c.lat, c.lon)).distance);
    }
    EXPECT_LT(nearest, 1.0) << c.lat << " " << c.lon;
  }
}

TEST(CoverageCache, OneGridPerSetInAnyOrder) {
  CoverageCache cache(Nels());
  const LopPair xy[] = {k9007X, k9007Y}, yx[] = {k9007Y, k9007X}, wxy[] = {k9007W, k9007X, k9007Y};
  const auto first = cache.Grid(xy);
  EXPECT_EQ(cache.Grid(yx), first);
  EXPECT_NE(cache.Grid(wxy), first);
  EXPECT_EQ(cache.Grid(wxy)->Lops().size(), 3u);
}

}  // namespace
}  // namespace kestrune::loran
