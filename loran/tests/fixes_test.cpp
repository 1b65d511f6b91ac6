// Position fixes: the worked two-LOP and least-squares fixes, their pass
// limits and faults, the GDOPs and offsets, and a whole 6-LOP solution
// driven through the library alone.
#include "loran/fixes.hpp"

#include "loran/accuracy.hpp"

#include <cmath>
#include <vector>

#include "loran/prediction.hpp"
#include "loran/tests/loran_test_support.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {
namespace {

constexpr double kMillimetre = 1e-3 / 6.4e6;  // radians of latitude, about

Lop L(int master, int secondary, double td, double weight = 1.0) {
  return Lop{static_cast<std::int16_t>(master), static_cast<std::int16_t>(secondary), td, weight};
}

const Message kTwoLopFailure{"More then 20 iterations without acceptable position solution",
                             "Position Calculation Error"};
const Message kLsqFailure{"More then 50 iterations without acceptable position solution", ""};

TEST(TwoLopFix, WorkedExampleAndStartAtTheCrossing) {
  const Lop a = L(0, 2, TdAt(64, 4, 0, 2));
  const Lop b = L(0, 3, TdAt(64, 4, 0, 3));
  const TwoLopFixResult r = TwoLopFix(Nels(), a, b, At(63.5, 3));
  EXPECT_TRUE(r.converged);
  EXPECT_EQ(r.passes, 5);
  EXPECT_NEAR(r.fix.lat, Rad(64), kMillimetre);
  EXPECT_NEAR(r.fix.lon, Rad(4), 2 * kMillimetre);
  EXPECT_NEAR(r.cut, 1.959912, 5e-7);  // 112.2947 degrees
  EXPECT_TRUE(r.messages.empty());
  const TwoLopFixResult there = TwoLopFix(Nels(), a, b, At(64, 4));
  EXPECT_EQ(there.passes, 1);
  EXPECT_NEAR(there.fix.lat, Rad(64), 1e-12);
  // A master ranged once for both LOPs gives the fix of two separate entries.
  std::vector<Station> twice = Nels().Stations();
  twice[5].position = twice[0].position;
  const TwoLopFixResult shared = TwoLopFix(Catalogue(twice), a, L(5, 3, b.observedTd), At(63.5, 3));
  EXPECT_EQ(shared.fix, r.fix);
  EXPECT_EQ(shared.cut, r.cut);
}

TEST(TwoLopFix, PassLimitAndFaults) {
  const struct {
    const char* name;
    Lop a, b;
    GeoPoint start;
    std::int16_t passes;
    bool converged;
  } cases[] = {
      {"converges on pass 19", L(0, 1, TdAt(56, 8, 0, 1)), L(0, 3, TdAt(56, 8, 0, 3)), At(49.5, 5),
       19, true},
      // Its 20th correction is under 0.1 m: a failure all the same.
      {"converges on pass 20", L(8, 9, TdAt(68, 11, 8, 9)), L(8, 10, TdAt(68, 11, 8, 10)),
       At(54, 2.5), 20, false},
      {"no crossing", L(0, 2, TdAt(64, 4, 0, 2) + 5000.0), L(0, 3, TdAt(64, 4, 0, 3)), At(63.5, 3),
       20, false},
  };
  for (const auto& c : cases) {
    const TwoLopFixResult r = TwoLopFix(Nels(), c.a, c.b, c.start);
    EXPECT_EQ(r.passes, c.passes) << c.name;
    EXPECT_EQ(r.converged, c.converged) << c.name;
    EXPECT_EQ(r.messages, c.converged ? Messages{} : Messages{kTwoLopFailure}) << c.name;
    if (!c.converged) {
      EXPECT_EQ(r.fix, GeoPoint{}) << c.name;
    }
  }
  // From the equator the first pass throws the iteration thousands of
  // degrees away; it follows its path to the same crossing every time.
  const TwoLopFixResult far =
      TwoLopFix(Nels(), L(0, 3, 39550.789), L(11, 14, 39250.925), {0.0, Rad(8.5)});
  EXPECT_EQ(far.passes, 10);
  EXPECT_NEAR(Deg(far.fix.lat), -(5418.0 + 15.0 / 60.0 + 42.767 / 3600.0), 5e-7);

  const double td = TdAt(64, 4, 0, 2);
  EXPECT_EQ(FaultOf([&] { TwoLopFix(Nels(), L(0, 2, td), L(0, 2, td + 10), At(63.5, 3)); }),
            RuntimeFault::kDivisionByZero);  // parallel LOPs
  EXPECT_EQ(FaultOf([&] { TwoLopFix(Nels(), L(0, 2, td), L(0, 3, td), Nels().At(3).position); }),
            RuntimeFault::kDivisionByZero);  // started on a station
  EXPECT_EQ(FaultOf([&] { TwoLopFix(Nels(), L(0, 2, td), L(15, 3, td), At(63.5, 3)); }),
            RuntimeFault::kSubscript);
  // The angle of cut divides by a LOP's north gradient, here 0 at the fix.
  const Catalogue east = OneChain({{0.9, -1e-4}, {0.9, 1e-4}, {0.5, 0.3}});
  const double td1 = PredictedTd(RangePair({0.5, 0.0}, east.At(0), east.At(1)), 10000.0);
  const double td2 = PredictedTd(RangePair({0.5, 0.0}, east.At(0), east.At(2)), 20000.0);
  EXPECT_EQ(FaultOf([&] {
              TwoLopFix(east, L(0, 1, td1), L(0, 2, td2), {0.5, 0.0});
            }),
            RuntimeFault::kDivisionByZero);
}

class LsqFixTest : public ::testing::Test {
 protected:
  std::vector<Lop> lops_ = {L(0, 1, TdAt(64, 4, 0, 1)), L(0, 2, TdAt(64, 4, 0, 2)),
                            L(0, 3, TdAt(64, 4, 0, 3))};
};

TEST_F(LsqFixTest, WorkedExamples) {
  const LeastSquaresFix exact = LsqFix(Nels(), lops_, At(63.5, 3));
  EXPECT_TRUE(exact.converged);
  EXPECT_EQ(exact.passes, 5);
  EXPECT_NEAR(exact.fix.lat, Rad(64), kMillimetre);
  EXPECT_NEAR(exact.fix.lon, Rad(4), 2 * kMillimetre);
  for (double r : exact.residuals) EXPECT_NEAR(r, 0.0, 1e-6);
  EXPECT_EQ(LsqFix(Nels(), lops_, At(64, 4)).passes, 1);

  lops_[0].observedTd += 1.0;
  const LeastSquaresFix shifted = LsqFix(Nels(), lops_, At(63.5, 3));
  EXPECT_EQ(shifted.passes, 5);
  EXPECT_NEAR(Deg(shifted.fix.lat), 63.9989449, 5e-8);
  EXPECT_NEAR(Deg(shifted.fix.lon), 4.0000696, 5e-8);
  const double residuals[] = {-0.57025, 0.38684, -0.30884};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(shifted.residuals[i], residuals[i], 5e-6);

  // An unweighted LOP does not move the fix but keeps its residual.
  lops_[0].weight = 0.0;
  const LeastSquaresFix unweighted = LsqFix(Nels(), lops_, At(63.5, 3));
  EXPECT_NEAR(unweighted.fix.lat, Rad(64), kMillimetre);
  EXPECT_NEAR(unweighted.residuals[0], -1.0, 1e-6);
  EXPECT_NEAR(unweighted.residuals[1], 0.0, 1e-6);
  EXPECT_TRUE(unweighted.messages.empty());

  // All weights 0: the solver's status once, and the start is the fix.
  for (Lop& l : lops_) l.weight = 0.0;
  const LeastSquaresFix none = LsqFix(Nels(), lops_, At(63.5, 3));
  EXPECT_EQ(none.messages, (Messages{{"Error -1 in MatSEqnD ", ""}}));
  EXPECT_TRUE(none.converged);
  EXPECT_EQ(none.fix, At(63.5, 3));
}

// Four LOPs thousands of microseconds apart converge slowly; the size of the
// error steers the pass on which they do.
TEST_F(LsqFixTest, PassLimit) {
  for (const auto& [k, passes] : {std::pair{3392.0, 49}, std::pair{3458.0, 50}}) {
    std::vector<Lop> lops;
    for (int s = 1; s <= 4; ++s) lops.push_back(L(0, s, TdAt(56, -20, 0, s)));
    lops[0].observedTd += k;
    lops[1].observedTd -= 0.5 * k;
    lops[3].observedTd += 0.3 * k;
    const LeastSquaresFix r = LsqFix(Nels(), lops, At(56, -20));
    EXPECT_EQ(r.passes, passes);
    if (passes == 49) {
      EXPECT_NEAR(Deg(r.fix.lat), 57.6524, 5e-4);
      EXPECT_NEAR(Deg(r.fix.lon), -6.8067, 5e-4);
    } else {
      // The 50th pass converged; it is a failure all the same.
      EXPECT_FALSE(r.converged);
      EXPECT_TRUE(r.residuals.empty());
      EXPECT_EQ(r.messages, Messages{kLsqFailure});
    }
  }
}

// A fault ends the fix; the messages of the passes before it come back with
// it, to be shown first.
TEST_F(LsqFixTest, FaultsComeBackWithTheMessagesBeforeThem) {
  LeastSquaresFix r = LsqFix(Nels(), lops_, Nels().At(2).position);  // started on a station
  ASSERT_TRUE(r.fault.has_value());
  EXPECT_EQ(r.fault->Number(), RuntimeFault::kDivisionByZero);
  EXPECT_FALSE(r.converged);

  // Weights beyond what a product can hold: the product's status of the
  // first pass, then the overflow of its position update.
  for (Lop& l : lops_) l.weight = 1e308;
  r = LsqFix(Nels(), lops_, At(63.5, 3));
  EXPECT_EQ(r.messages, (Messages{{"Error  6 in MatMultD ", ""}}));
  EXPECT_EQ(r.fault->Number(), RuntimeFault::kOverflow);
}

TEST(Gdop, WorkedValuesAndDegenerateGeometry) {
  const GeoPoint at = At(64, 4);
  std::vector<double> az;
  for (int s = 0; s <= 3; ++s)
    az.push_back(PredictPair(Nels(), at, 0, std::max(s, 1)).ranges.secondary.azimuth);
  az[0] = PredictPair(Nels(), at, 0, 1).ranges.master.azimuth;
  EXPECT_NEAR(LsqGdop(std::vector<double>{az[1], az[2], az[3]}), 1.454281, 5e-7);
  EXPECT_NEAR(TwoLopGdop(az[0], az[2], az[0], az[3]), 1.274670, 5e-7);
  // Differences beyond pi are taken the short way round.
  EXPECT_NEAR(TwoLopGdop(az[0] + constants::kTwoPi, az[2], az[0], az[3] - constants::kTwoPi),
              1.274670, 5e-7);
  // Two equal rows: the inversion fails and a number (or 0) comes back, no fault.
  const double failed = LsqGdop(std::vector<double>{1.0, 1.0, 2.0});
  EXPECT_TRUE(std::isfinite(failed) && failed >= 0.0);
  EXPECT_EQ(FaultOf([] { TwoLopGdop(1.0, 1.0, 0.5, 2.0); }), RuntimeFault::kDivisionByZero);

  const NorthEast d = LatLonDiffToNE(At(64, 4), At(64.001, 4.001));
  EXPECT_NEAR(d.north, 110.8745f, 5e-5);
  EXPECT_NEAR(d.east, 48.9317f, 5e-5);
  EXPECT_EQ(LatLonDiffToNE(at, at).north, 0.0f);
}

// Six LOPs of two chains observed at 61N 2E, LOP 5 read 0.3 us high, solved
// from 60.5N 1E with the library alone: no window, no message boxes.
TEST(PositionSolution, SixLopsThroughTheLibrary) {
  const std::pair<int, int> pairs[] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {8, 9}, {8, 10}};
  std::vector<Lop> lops;
  for (const auto& [m, s] : pairs) lops.push_back(L(m, s, TdAt(61, 2, m, s)));
  lops[4].observedTd += 0.3;
  const GeoPoint start = At(60.5, 1);

  const LeastSquaresFix lsq = LsqFix(Nels(), lops, start);
  ASSERT_TRUE(lsq.converged);
  EXPECT_EQ(lsq.passes, 4);
  EXPECT_TRUE(lsq.messages.empty());
  EXPECT_NEAR(Deg(lsq.fix.lat), 61.00000026, 5e-9);
  EXPECT_NEAR(Deg(lsq.fix.lon), 2.00017298, 5e-9);
  // At a least-squares fix the residuals in metres stand at right angles to
  // every column of the design: sum of gradient x residual is zero.
  double east = 0.0, north = 0.0;
  std::vector<double> azimuths;
  for (std::size_t i = 0; i < lops.size(); ++i) {
    const PairPrediction p = PredictPair(Nels(), lsq.fix, lops[i].master, lops[i].secondary);
    EXPECT_NEAR(lsq.residuals[i], p.td - lops[i].observedTd, 1e-9);
    const LopLinearisation lin = TdPartials(p.ranges, 0.0, 0.0);
    east += lin.gradEast * lsq.residuals[i];
    north += lin.gradNorth * lsq.residuals[i];
    azimuths.push_back(p.ranges.secondary.azimuth);
  }
  EXPECT_NEAR(east, 0.0, 1e-4);
  EXPECT_NEAR(north, 0.0, 1e-4);
  EXPECT_NEAR(lsq.residuals[4], -0.277822, 5e-6);
  EXPECT_NEAR(LsqGdop(azimuths), 0.927291, 5e-7);

  // Every pair crosses where both its TDs are met: at 61N 2E without LOP 5.
  for (std::size_t i = 0; i < lops.size(); ++i) {
    for (std::size_t j = i + 1; j < lops.size(); ++j) {
      const TwoLopFixResult pair = TwoLopFix(Nels(), lops[i], lops[j], start);
      ASSERT_TRUE(pair.converged) << i << j;
      EXPECT_LE(pair.passes, 7);
      for (const Lop& l : {lops[i], lops[j]}) {
        EXPECT_NEAR(PredictPair(Nels(), pair.fix, l.master, l.secondary).td, l.observedTd, 1e-4);
      }
      if (i != 4 && j != 4) {
        EXPECT_NEAR(pair.fix.lat, Rad(61), kMillimetre) << i << j;
      }
    }
  }
}

// The 2drms and the 95 % ellipse of a fix from its LOPs at the fix: two
// LOPs crossing at right angles give twice the root of the two variances.
TEST(FixAccuracy, TwoDrmsFromTheGradientsAtTheFix) {
  // Master due south, secondaries due east and due west of the position: the
  // gradients (-1, -1) and (1, -1) cross at right angles.
  const Catalogue c = OneChain({{-0.2, 0.0}, {0.0, 0.2}, {0.0, -0.2}});
  const std::vector<Lop> lops = {L(0, 1, 0.0), L(0, 2, 0.0)};
  const auto a = FixAccuracyAt(c, lops, {0.0, 0.0}, 0.1);
  ASSERT_TRUE(a.has_value());
  // One sigma along each LOP's normal: 0.1 us x c / |g| = 0.1 x 299.69 / sqrt(2).
  const double sigma = 0.1 * constants::kSignalSpeed / std::sqrt(2.0);
  EXPECT_NEAR(a->drms2, 2.0 * std::sqrt(2.0) * sigma, 1e-9);
  EXPECT_NEAR(a->ellipse95.semiMajor, constants::kEllipse95Scale * sigma, 1e-9);
  EXPECT_FALSE(FixAccuracyAt(c, std::vector<Lop>{L(0, 1, 0.0), L(0, 1, 0.0)}, {0.0, 0.0}, 0.1));
}

}  // namespace
}  // namespace kestrune::loran
