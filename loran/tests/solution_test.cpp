// The whole position solution from one call: every figure is the one the
// single computations give (so the window, the chart and the bindings agree
// to the bit), the converter's statuses, and a fault ending it part way.
#include "loran/solution.hpp"

#include <vector>

#include "loran/coverage.hpp"
#include "loran/prediction.hpp"
#include "loran/row_fix.hpp"
#include "loran/tests/loran_test_support.hpp"

namespace kestrune::loran {
namespace {

Lop L(int master, int secondary, double td) {
  return Lop{static_cast<std::int16_t>(master), static_cast<std::int16_t>(secondary), td, 1.0};
}

SolutionRequest Worked(int lops) {
  SolutionRequest r;
  for (int s = 1; s <= lops; ++s) r.lops.push_back(L(0, s, TdAt(64, 4, 0, s)));
  r.start = At(63.5, 3);
  return r;
}

double SecondaryAzimuth(GeoPoint at, const Lop& l) {
  return RangePair(at, Nels().At(l.master), Nels().At(l.secondary)).secondary.azimuth;
}

TEST(SolvePosition, EveryFigureIsTheSingleComputations) {
  const SolutionRequest r = Worked(3);
  const PositionSolution s = SolvePosition(Nels(), r);
  ASSERT_TRUE(s.complete);
  EXPECT_FALSE(s.fault);
  const LeastSquaresFix lsq = LsqFix(Nels(), r.lops, r.start);
  EXPECT_EQ(s.lsq->fix, lsq.fix);
  EXPECT_EQ(s.lsq->residuals, lsq.residuals);
  EXPECT_EQ(*s.fix, lsq.fix);
  EXPECT_EQ(s.passes, lsq.passes);
  std::vector<double> atStart, atFix;
  for (const Lop& l : r.lops) {
    atStart.push_back(SecondaryAzimuth(r.start, l));
    atFix.push_back(SecondaryAzimuth(lsq.fix, l));
  }
  EXPECT_EQ(*s.gdopAtEstimate, LsqGdop(atStart));
  EXPECT_EQ(*s.gdopAtFix, LsqGdop(atFix));
  const std::optional<FixAccuracy> a = FixAccuracyAt(Nels(), r.lops, lsq.fix, r.tdSigma);
  EXPECT_EQ(s.accuracy->drms2, a->drms2);
  EXPECT_EQ(s.accuracy->ellipse95.semiMajor, a->ellipse95.semiMajor);

  const std::pair<int, int> order[] = {{1, 2}, {1, 3}, {2, 3}};
  ASSERT_EQ(s.pairs.size(), 3u);
  TwoLopMean mean;
  for (std::size_t k = 0; k < 3; ++k) {
    const PairSolution& p = s.pairs[k];
    EXPECT_EQ(p.first, order[k].first);
    EXPECT_EQ(p.second, order[k].second);
    const Lop& a1 = r.lops[static_cast<std::size_t>(p.first - 1)];
    const Lop& a2 = r.lops[static_cast<std::size_t>(p.second - 1)];
    const TwoLopFixResult two = TwoLopFix(Nels(), a1, a2, r.start);
    EXPECT_EQ(p.fix.fix, two.fix);
    EXPECT_EQ(p.fix.cut, two.cut);
    EXPECT_EQ(p.fromLsq->north, LatLonDiffToNE(lsq.fix, two.fix).north);
    const PairRanges g1 = RangePair(r.start, Nels().At(0), Nels().At(a1.secondary));
    const PairRanges g2 = RangePair(r.start, Nels().At(0), Nels().At(a2.secondary));
    EXPECT_EQ(*p.gdop, TwoLopGdop(g1.master.azimuth, g1.secondary.azimuth, g2.master.azimuth,
                                  g2.secondary.azimuth));
    mean.Add(two);
  }
  EXPECT_EQ(*s.mean, *mean.Mean());
  EXPECT_EQ(s.meanFromLsq->east, LatLonDiffToNE(lsq.fix, *mean.Mean()).east);
  EXPECT_EQ(s.status, "ok");
  EXPECT_STREQ(s.kind, "lsq");

  // Without the pairs the fix and its figures are the same.
  SolutionRequest single = r;
  single.pairFixes = false;
  const PositionSolution f = SolvePosition(Nels(), single);
  EXPECT_TRUE(f.pairs.empty());
  EXPECT_FALSE(f.gdopAtEstimate);
  EXPECT_EQ(*f.fix, *s.fix);
  EXPECT_EQ(*f.gdopAtFix, *s.gdopAtFix);
}

TEST(SolvePosition, OffsetsAreTakenFromTheObservedTds) {
  SolutionRequest r = Worked(3);
  r.offsets = {0.0, -0.8, 0.25};
  for (std::size_t k = 0; k < 3; ++k) r.lops[k].observedTd += r.offsets[k];
  const PositionSolution s = SolvePosition(Nels(), r);
  EXPECT_NEAR(s.fix->lat, Rad(64), 1e-9);
  EXPECT_NEAR(s.fix->lon, Rad(4), 1e-9);
  EXPECT_EQ(s.offsets, r.offsets);
  EXPECT_EQ(s.lops[1].observedTd, r.lops[1].observedTd - -0.8);
}

// The status FixRow gives the same LOPs from the same given start; false
// when the catalogue cannot make the LOPs' grid.
std::optional<std::string> FixRowStatus(const SolutionRequest& r) {
  std::vector<LopPair> set;
  for (const Lop& l : r.lops) {
    if (l.secondary >= Nels().Size()) return std::nullopt;
    set.push_back({l.master, l.secondary});
  }
  CoverageCache cache(Nels());
  const RowFixInput in{r.lops,    r.offsets,      {}, r.start, StartSource::kGiven,
                       r.tdSigma, r.residualSigma};
  const RowFix f = FixRow(Nels(), *cache.Grid(set), in);
  return f.status.empty() ? "ok" : f.status;
}

// Each status a converter writes for the fix of a row, the same as FixRow's
// from that start.
TEST(SolvePosition, Statuses) {
  struct Case {
    const char* name;
    SolutionRequest request;
    const char* kind;
    std::string status;
    bool hasFix;
  };
  SolutionRequest slow;  // converges on the 50th pass: a failure
  for (int s = 1; s <= 4; ++s) slow.lops.push_back(L(0, s, TdAt(56, -20, 0, s)));
  slow.lops[0].observedTd += 3458.0;
  slow.lops[1].observedTd -= 0.5 * 3458.0;
  slow.lops[3].observedTd += 0.3 * 3458.0;
  slow.start = At(56, -20);
  SolutionRequest unweighted = Worked(3);
  for (Lop& l : unweighted.lops) l.weight = 0.0;
  SolutionRequest badStation = Worked(3);
  badStation.lops[2].secondary = 15;
  SolutionRequest two = Worked(2);
  SolutionRequest noCrossing = Worked(2);
  noCrossing.lops[0].observedTd += 5000.0;
  SolutionRequest parallel = Worked(2);
  parallel.lops[1] = parallel.lops[0];
  parallel.lops[1].observedTd += 10.0;
  // Far off the coverage of 9007 (south of Portugal), a fix all the same.
  SolutionRequest far;
  for (int s = 1; s <= 3; ++s) far.lops.push_back(L(0, s, TdAt(36, -9, 0, s)));
  far.start = At(36.5, -9);
  // One mistyped thousands digit: a least-squares fix whose residuals do
  // not fit, kept for inspection.
  SolutionRequest typo = Worked(4);
  typo.lops[1].observedTd += 1000.0;
  const Case cases[] = {
      {"worked", Worked(3), "lsq", "ok", true},
      {"50 passes", slow, "lsq", "no convergence in 50 passes", false},
      {"all weights 0", unweighted, "lsq", "nearly singular geometry (Error -1 in MatSEqnD)", true},
      {"no such station", badStation, "lsq", RuntimeFault(RuntimeFault::kSubscript).what(), false},
      {"two LOPs", two, "two-lop", "ok", true},
      {"two LOPs, no crossing", noCrossing, "two-lop", "no convergence in 20 passes", false},
      {"parallel LOPs", parallel, "two-lop", RuntimeFault(RuntimeFault::kDivisionByZero).what(),
       false},
      {"outside the coverage", far, "lsq", "beyond ground-wave reach: Boe 3911 km away", true},
      {"mistyped digit", typo, "lsq", "", true},
  };
  for (const Case& c : cases) {
    for (bool pairs : {true, false}) {
      SolutionRequest r = c.request;
      r.pairFixes = pairs;
      const PositionSolution s = SolvePosition(Nels(), r);
      EXPECT_STREQ(s.kind, c.kind) << c.name;
      if (!c.status.empty()) {
        EXPECT_EQ(s.status, c.status) << c.name << pairs;
      }
      // Without a position FixRow names a TD outside its LOP's reach, which
      // takes the coverage grid the solution does without.
      const auto row = FixRowStatus(r);
      if (row && !(row->starts_with("TD ") && !c.hasFix)) {
        EXPECT_EQ(s.status, *row) << c.name << pairs;
      }
      EXPECT_EQ(s.fix.has_value(), c.hasFix) << c.name << pairs;
      EXPECT_EQ(s.residuals.size(), c.hasFix ? r.lops.size() : 0u) << c.name;
    }
  }
}

// A pair fix's fault ends the solution after the pairs before it; the
// least-squares fix stands.
TEST(SolvePosition, PairFaultEndsIt) {
  SolutionRequest r = Worked(3);
  r.lops[2] = r.lops[1];
  r.lops[2].observedTd += 10.0;
  const PositionSolution s = SolvePosition(Nels(), r);
  EXPECT_FALSE(s.complete);
  ASSERT_TRUE(s.fault);
  EXPECT_EQ(s.fault->Number(), RuntimeFault::kDivisionByZero);
  EXPECT_EQ(s.pairs.size(), 2u);  // 1-2 and 1-3 before 2-3
  EXPECT_FALSE(s.mean);
}

}  // namespace
}  // namespace kestrune::loran
