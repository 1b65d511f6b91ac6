#include <cmath>
#include <vector>

#include "core/tests/core_test_support.hpp"
#include "matrix/mathvexa_module.hpp"

namespace kestrune::core_test {
namespace {

using constants::kAOneMinusEccSq;
using constants::kEccSq;
using constants::kSemiMajor;
using Global_Module::LopTable;
using Global_Module::NoOfLops;
using Global_Module::StationTable;
using RTCM_Calc_Module::LopList;
using RTCM_Calc_Module::LsqFix;
using RTCM_Calc_Module::LsqGdop;
using RTCM_Calc_Module::TwoLopFix;

constexpr double kMillimetreRad = 1e-3 / 6.4e6;  // a millimetre of latitude, about

// Moves (lat, lon) by a correction in metres the way both fixes do.
void Move(double& lat, double& lon, double dEast, double dNorth) {
  const double q = std::sin(lat);
  const double w = std::sqrt(1.0 - (q * kEccSq) * q);
  const double dLat = dNorth * w / kAOneMinusEccSq;
  const double dLon = dEast * w / (std::cos(lat) * kSemiMajor);
  lat += dLat;
  lon += dLon;
}

// Newton passes of a two-LOP crossing traced independently from the
// linearisation, to tell at which pass the correction first falls under 0.1 m.
std::vector<double> TwoLopCorrections(double lat, double lon, double td1, double td2, int m1,
                                      int s1, int m2, int s2, int maxPasses) {
  std::vector<double> sizes;
  for (int pass = 0; pass < maxPasses; ++pass) {
    double d, azM1, tM1, azS1, tS1, azM2, tM2, azS2, tS2, td;
    RTCM_Calc_Module::CalcTD(lat, lon, static_cast<std::int16_t>(m1), static_cast<std::int16_t>(s1),
                             d, azM1, tM1, d, azS1, tS1, td);
    RTCM_Calc_Module::CalcTD(lat, lon, static_cast<std::int16_t>(m2), static_cast<std::int16_t>(s2),
                             d, azM2, tM2, d, azS2, tS2, td);
    double gE1, gN1, r1, gE2, gN2, r2;
    RTCM_Calc_Module::TdPartials(tM1, azM1, tS1, azS1, td1, 0, static_cast<std::int16_t>(s1), gE1,
                                 gN1, r1);
    RTCM_Calc_Module::TdPartials(tM2, azM2, tS2, azS2, td2, 0, static_cast<std::int16_t>(s2), gE2,
                                 gN2, r2);
    const double dEast = (r2 * gN1 - r1 * gN2) / (gE1 * gN2 - gE2 * gN1);
    const double dNorth = (gE1 * r2 - gE2 * r1) / (gE2 * gN1 - gE1 * gN2);
    Move(lat, lon, dEast, dNorth);
    sizes.push_back(std::sqrt(dEast * dEast + dNorth * dNorth));
    if (sizes.back() < 0.1) break;
  }
  return sizes;
}

// Gauss-Newton passes of the weighted fix of LopTable's LOPs, traced the same way.
std::vector<double> LsqCorrections(double lat, double lon, const LopList& observed,
                                   const LopList& weight, int maxPasses) {
  using namespace MathVexa_Module;
  const std::int16_t n = NoOfLops;
  Matrix M(1, n, 1, 2), W(1, n, 1, n), Mt(1, 2, 1, n), MtW(1, 2, 1, n), Nm(1, 2, 1, 2);
  Vector r(1, n), x(1, 2);
  for (int i = 1; i <= n; ++i) W(i, i) = weight(i);
  std::vector<double> sizes;
  for (int pass = 0; pass < maxPasses; ++pass) {
    for (int i = 1; i <= n; ++i) {
      double d, azM, tM, azS, tS, td;
      RTCM_Calc_Module::CalcTD(lat, lon, LopTable(i).MasterIndex, LopTable(i).SecondaryIndex, d,
                               azM, tM, d, azS, tS, td);
      RTCM_Calc_Module::TdPartials(tM, azM, tS, azS, observed(i), 0, LopTable(i).SecondaryIndex,
                                   M(i, 1), M(i, 2), r(i));
    }
    MatTransD(M, Mt);
    MatMultD(Mt, W, MtW);
    MatMultD(MtW, M, Nm);
    MatVecMultD(MtW, r, x);
    MatSEqnD(Nm, x);
    Move(lat, lon, -x(1), -x(2));
    sizes.push_back(std::sqrt(x(1) * x(1) + x(2) * x(2)));
    if (sizes.back() < 0.1) break;
  }
  return sizes;
}

class TwoLopFixTest : public CoreTest {};

TEST_F(TwoLopFixTest, WorkedExampleInFivePasses) {
  const double td1 = PredictedTd(64.0, 4.0, 0, 2);
  const double td2 = PredictedTd(64.0, 4.0, 0, 3);
  EXPECT_NEAR(td1, 28359.2489, 5e-5);
  EXPECT_NEAR(td2, 40147.5151, 5e-5);

  const std::vector<double> sizes =
      TwoLopCorrections(Rad(63.5), Rad(3.0), td1, td2, 0, 2, 0, 3, 20);
  // Each to half a unit of its last digit.
  const double expected[][2] = {
      {76875.5, 0.05}, {5580.7, 0.05}, {43.59, 0.005}, {0.240, 0.0005}, {0.0014, 0.00005}};
  ASSERT_EQ(sizes.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(sizes[i], expected[i][0], expected[i][1]) << i;

  double fixLat = 0, fixLon = 0, cut = 0;
  std::int16_t passes = -1;
  TwoLopFix(Rad(63.5), Rad(3.0), td1, td2, 0, 2, 0, 3, fixLat, fixLon, passes, cut);
  EXPECT_EQ(passes, 5);
  EXPECT_NEAR(fixLat, Rad(64.0), kMillimetreRad);
  EXPECT_NEAR(fixLon, Rad(4.0), 2 * kMillimetreRad);
  EXPECT_NEAR(cut, 1.959912, 5e-7);
  EXPECT_NEAR(Deg(cut), 112.2947, 5e-5);
  EXPECT_TRUE(boxes_->boxes.empty());
}

TEST_F(TwoLopFixTest, StartAtTheCrossing) {
  const double td1 = PredictedTd(64.0, 4.0, 0, 2);
  const double td2 = PredictedTd(64.0, 4.0, 0, 3);
  double fixLat = 0, fixLon = 0, cut = 0;
  std::int16_t passes = -1;
  TwoLopFix(Rad(64.0), Rad(4.0), td1, td2, 0, 2, 0, 3, fixLat, fixLon, passes, cut);
  EXPECT_EQ(passes, 1);
  EXPECT_NEAR(fixLat, Rad(64.0), 1e-12);
  EXPECT_NEAR(fixLon, Rad(4.0), 1e-12);
}

// With a shared master the master is ranged once per pass; a separate entry
// at the same place gives the very same fix.
TEST_F(TwoLopFixTest, SharedMasterEqualsTwoEntries) {
  StationTable(5).Lat = StationTable(0).Lat;
  StationTable(5).Lon = StationTable(0).Lon;
  const double td1 = PredictedTd(64.0, 4.0, 0, 2);
  const double td2 = PredictedTd(64.0, 4.0, 0, 3);
  double lat1 = 0, lon1 = 0, cut1 = 0, lat2 = 0, lon2 = 0, cut2 = 0;
  std::int16_t passes1 = 0, passes2 = 0;
  TwoLopFix(Rad(63.5), Rad(3.0), td1, td2, 0, 2, 0, 3, lat1, lon1, passes1, cut1);
  TwoLopFix(Rad(63.5), Rad(3.0), td1, td2, 0, 2, 5, 3, lat2, lon2, passes2, cut2);
  EXPECT_EQ(passes1, passes2);
  EXPECT_EQ(lat1, lat2);
  EXPECT_EQ(lon1, lon2);
  EXPECT_EQ(cut1, cut2);
}

TEST_F(TwoLopFixTest, PassLimit) {
  const struct {
    const char* name;
    double startLat, startLon;  // degrees
    double td1, td2;
    int m1, s1, m2, s2;
    bool converges;  // within the limit
  } cases[] = {
      // Converges on its 19th pass: still a success.
      {"19 passes", 49.5, 5.0, PredictedTd(56.0, 8.0, 0, 1), PredictedTd(56.0, 8.0, 0, 3), 0, 1, 0,
       3, true},
      // Converges only on its 20th pass: a failure all the same.
      {"converging 20th pass", 54.0, 2.5, PredictedTd(68.0, 11.0, 8, 9),
       PredictedTd(68.0, 11.0, 8, 10), 8, 9, 8, 10, false},
      // A TD 5000 us beyond its baseline: no crossing at all.
      {"unsolvable", 63.5, 3.0, PredictedTd(64.0, 4.0, 0, 2) + 5000.0, PredictedTd(64.0, 4.0, 0, 3),
       0, 2, 0, 3, false},
  };
  for (const auto& c : cases) {
    boxes_->boxes.clear();
    const std::vector<double> sizes = TwoLopCorrections(Rad(c.startLat), Rad(c.startLon), c.td1,
                                                        c.td2, c.m1, c.s1, c.m2, c.s2, 20);
    double fixLat = kUntouched, fixLon = kUntouched, cut = kUntouched;
    std::int16_t passes = -1;
    TwoLopFix(Rad(c.startLat), Rad(c.startLon), c.td1, c.td2, static_cast<std::int16_t>(c.m1),
              static_cast<std::int16_t>(c.s1), static_cast<std::int16_t>(c.m2),
              static_cast<std::int16_t>(c.s2), fixLat, fixLon, passes, cut);
    if (c.converges) {
      EXPECT_EQ(sizes.size(), 19u) << c.name;
      EXPECT_EQ(passes, 19) << c.name;
      EXPECT_NE(fixLat, kUntouched) << c.name;
      EXPECT_TRUE(boxes_->boxes.empty()) << c.name;
      continue;
    }
    if (std::string(c.name) == "converging 20th pass") {
      ASSERT_EQ(sizes.size(), 20u);
      EXPECT_LT(sizes[19], 0.1);
      EXPECT_GE(sizes[18], 0.1);
    }
    EXPECT_EQ(passes, 20) << c.name;
    EXPECT_EQ(fixLat, kUntouched) << c.name;
    EXPECT_EQ(fixLon, kUntouched) << c.name;
    EXPECT_EQ(cut, kUntouched) << c.name;
    ASSERT_EQ(boxes_->boxes.size(), 1u) << c.name;
    EXPECT_EQ(boxes_->boxes[0].text,
              "More then 20 iterations without acceptable position solution");
    EXPECT_EQ(boxes_->boxes[0].title, "Position Calculation Error");
    EXPECT_EQ(boxes_->boxes[0].buttons, MsgButtons::Ok);
  }
}

// From the equator the first correction throws the iteration thousands of
// degrees away; it must still follow the same path to the same crossing.
TEST_F(TwoLopFixTest, WanderingIterationFollowsItsPath) {
  double fixLat = 0, fixLon = 0, cut = 0;
  std::int16_t passes = 0;
  TwoLopFix(0.0, Rad(8.5), 39550.789, 39250.925, 0, 3, 11, 14, fixLat, fixLon, passes, cut);
  EXPECT_EQ(passes, 10);
  // 5418 deg 15'42.767" S, 132 deg 33'49.871" E
  EXPECT_NEAR(Deg(fixLat), -(5418.0 + 15.0 / 60.0 + 42.767 / 3600.0), 5e-7);
  EXPECT_NEAR(Deg(fixLon), 132.0 + 33.0 / 60.0 + 49.871 / 3600.0, 5e-7);
}

TEST_F(TwoLopFixTest, FaultsLeaveTheResultsUnwritten) {
  const double td1 = PredictedTd(64.0, 4.0, 0, 2);
  const double td2 = PredictedTd(64.0, 4.0, 0, 3);
  const struct {
    const char* name;
    double startLat, startLon;  // radians
    double td1, td2;
    int m1, s1, m2, s2;
    std::int16_t number;
  } cases[] = {
      {"parallel LOPs", Rad(63.5), Rad(3.0), td1, td1 + 10.0, 0, 2, 0, 2,
       RuntimeFault::kDivisionByZero},
      {"start on a station", StationTable(3).Lat, StationTable(3).Lon, td1, td2, 0, 2, 0, 3,
       RuntimeFault::kDivisionByZero},
      {"station index 15", Rad(63.5), Rad(3.0), td1, td2, 0, 2, 15, 3, RuntimeFault::kSubscript},
      {"station index -1", Rad(63.5), Rad(3.0), td1, td2, 0, -1, 0, 3, RuntimeFault::kSubscript},
  };
  for (const auto& c : cases) {
    double fixLat = kUntouched, fixLon = kUntouched, cut = kUntouched;
    std::int16_t passes = -7;
    RuntimeFault fault = CatchFault([&] {
      TwoLopFix(c.startLat, c.startLon, c.td1, c.td2, static_cast<std::int16_t>(c.m1),
                static_cast<std::int16_t>(c.s1), static_cast<std::int16_t>(c.m2),
                static_cast<std::int16_t>(c.s2), fixLat, fixLon, passes, cut);
    });
    EXPECT_EQ(fault.Number(), c.number) << c.name;
    EXPECT_EQ(passes, -7) << c.name;
    EXPECT_EQ(fixLat, kUntouched) << c.name;
    EXPECT_EQ(fixLon, kUntouched) << c.name;
    EXPECT_EQ(cut, kUntouched) << c.name;
  }
  EXPECT_TRUE(boxes_->boxes.empty());
}

// The angle of cut divides by the north gradient of each LOP: a LOP whose
// gradient points due east (two stations placed symmetrically about the
// meridian of the position) makes it zero.
TEST_F(TwoLopFixTest, NorthGradientZeroAtTheFix) {
  StationTable(0).Lat = 0.9;
  StationTable(0).Lon = -1e-4;
  StationTable(1).Lat = 0.9;
  StationTable(1).Lon = 1e-4;
  StationTable(2).Lat = 0.5;
  StationTable(2).Lon = 0.3;
  double d, azM, tM, azS, tS, td1, td2;
  RTCM_Calc_Module::CalcTD(0.5, 0.0, 0, 1, d, azM, tM, d, azS, tS, td1);
  ASSERT_EQ(std::cos(azS) - std::cos(azM), 0.0);
  RTCM_Calc_Module::CalcTD(0.5, 0.0, 0, 2, d, azM, tM, d, azS, tS, td2);

  double fixLat = kUntouched, fixLon = kUntouched, cut = kUntouched;
  std::int16_t passes = -7;
  RuntimeFault fault =
      CatchFault([&] { TwoLopFix(0.5, 0.0, td1, td2, 0, 1, 0, 2, fixLat, fixLon, passes, cut); });
  EXPECT_EQ(fault.Number(), RuntimeFault::kDivisionByZero);
  EXPECT_EQ(passes, -7);
  EXPECT_EQ(fixLat, kUntouched);
  EXPECT_EQ(cut, kUntouched);
}

class LsqFixTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetLops({{0, 1}, {0, 2}, {0, 3}});
    for (int i = 1; i <= 3; ++i) {
      observed_(i) = PredictedTd(64.0, 4.0, 0, i);
      weight_(i) = 1.0;
    }
  }

  struct Result {
    double lat = kUntouched, lon = kUntouched;
    LopList residual;
    std::int16_t passes = -7, failed = -7;
  };

  Result Fix(double startLatDeg, double startLonDeg) {
    Result r;
    for (int i = 0; i < 8; ++i) r.residual(i) = kUntouched;
    LsqFix(Rad(startLatDeg), Rad(startLonDeg), observed_, r.lat, r.lon, weight_, r.residual,
           r.passes, r.failed);
    return r;
  }

  LopList observed_;
  LopList weight_;
};

TEST_F(LsqFixTest, WorkedExamples) {
  EXPECT_NEAR(observed_(1), 15373.7046, 5e-5);
  EXPECT_NEAR(observed_(2), 28359.2489, 5e-5);
  EXPECT_NEAR(observed_(3), 40147.5151, 5e-5);

  const std::vector<double> sizes = LsqCorrections(Rad(63.5), Rad(3.0), observed_, weight_, 50);
  const double expected[][2] = {
      {75444.0, 0.05}, {4093.26, 0.005}, {18.03, 0.005}, {0.1008, 0.00005}, {0.0006, 0.00005}};
  ASSERT_EQ(sizes.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(sizes[i], expected[i][0], expected[i][1]) << i;

  Result exact = Fix(63.5, 3.0);
  EXPECT_EQ(exact.passes, 5);
  EXPECT_EQ(exact.failed, 0);
  EXPECT_NEAR(exact.lat, Rad(64.0), kMillimetreRad);
  EXPECT_NEAR(exact.lon, Rad(4.0), 2 * kMillimetreRad);
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(exact.residual(i), 0.0, 1e-6) << i;
  EXPECT_EQ(exact.residual(0), kUntouched);  // element 0 is never written
  EXPECT_EQ(exact.residual(4), kUntouched);

  observed_(1) += 1.0;
  Result shifted = Fix(63.5, 3.0);
  EXPECT_EQ(shifted.passes, 5);
  EXPECT_NEAR(Deg(shifted.lat), 63.9989449, 5e-8);
  EXPECT_NEAR(Deg(shifted.lon), 4.0000696, 5e-8);
  EXPECT_NEAR(shifted.residual(1), -0.57025, 5e-6);
  EXPECT_NEAR(shifted.residual(2), 0.38684, 5e-6);
  EXPECT_NEAR(shifted.residual(3), -0.30884, 5e-6);

  // An unweighted LOP does not move the fix but keeps its residual.
  weight_(1) = 0.0;
  Result unweighted = Fix(63.5, 3.0);
  EXPECT_NEAR(unweighted.lat, Rad(64.0), kMillimetreRad);
  EXPECT_NEAR(unweighted.lon, Rad(4.0), 2 * kMillimetreRad);
  EXPECT_NEAR(unweighted.residual(1), -1.0, 1e-6);
  EXPECT_NEAR(unweighted.residual(2), 0.0, 1e-6);
  EXPECT_NEAR(unweighted.residual(3), 0.0, 1e-6);
  EXPECT_TRUE(boxes_->boxes.empty());
}

TEST_F(LsqFixTest, StartAtThePredictionPosition) {
  Result r = Fix(64.0, 4.0);
  EXPECT_EQ(r.passes, 1);
  EXPECT_EQ(r.failed, 0);
  EXPECT_NEAR(r.lat, Rad(64.0), 1e-12);
  EXPECT_NEAR(r.lon, Rad(4.0), 1e-12);
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(r.residual(i), 0.0, 1e-8) << i;
}

// A zero normal matrix: one solver message, the zero right-hand side as the
// correction, and the start as the fix.
TEST_F(LsqFixTest, AllWeightsZero) {
  for (int i = 1; i <= 3; ++i) weight_(i) = 0.0;
  Result r = Fix(63.5, 3.0);
  EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{"Error -1 in MatSEqnD "});
  EXPECT_EQ(boxes_->boxes[0].title, "Kestrune");
  EXPECT_EQ(r.passes, 1);
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(r.lat, Rad(63.5));
  EXPECT_EQ(r.lon, Rad(3.0));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(r.residual(i), PredictedTd(63.5, 3.0, 0, i) - observed_(i), 1e-9) << i;
  }
}

// Four LOPs with TDs thousands of microseconds apart from any one position:
// the passes shrink slowly, so the pass count is steered by their size.
TEST_F(LsqFixTest, PassLimit) {
  SetLops({{0, 1}, {0, 2}, {0, 3}, {0, 4}});
  const struct {
    const char* name;
    double k;  // us
    bool converges;
  } cases[] = {
      {"converges on pass 49", 3392.0, true},
      {"converges on pass 50", 3458.0, false},
  };
  for (const auto& c : cases) {
    boxes_->boxes.clear();
    for (int i = 1; i <= 4; ++i) {
      observed_(i) = PredictedTd(56.0, -20.0, 0, i);
      weight_(i) = 1.0;
    }
    observed_(1) += c.k;
    observed_(2) -= 0.5 * c.k;
    observed_(4) += 0.3 * c.k;
    const std::vector<double> sizes = LsqCorrections(Rad(56.0), Rad(-20.0), observed_, weight_, 50);
    ASSERT_EQ(sizes.size(), c.converges ? 49u : 50u) << c.name;
    ASSERT_LT(sizes.back(), 0.1) << c.name;
    ASSERT_GE(sizes[sizes.size() - 2], 0.1) << c.name;

    Result r = Fix(56.0, -20.0);
    if (c.converges) {
      EXPECT_EQ(r.passes, 49);
      EXPECT_EQ(r.failed, 0);
      EXPECT_NEAR(Deg(r.lat), 57.6524, 5e-4);
      EXPECT_NEAR(Deg(r.lon), -6.8067, 5e-4);
      EXPECT_TRUE(boxes_->boxes.empty());
    } else {
      EXPECT_EQ(r.passes, 50);
      EXPECT_EQ(r.failed, -1);
      EXPECT_EQ(r.lat, kUntouched);
      EXPECT_EQ(r.lon, kUntouched);
      for (int i = 0; i < 8; ++i) EXPECT_EQ(r.residual(i), kUntouched) << i;
      ASSERT_EQ(boxes_->boxes.size(), 1u);
      EXPECT_EQ(boxes_->boxes[0].text,
                "More then 50 iterations without acceptable position solution");
      EXPECT_EQ(boxes_->boxes[0].title, "Kestrune");
    }
  }
}

TEST_F(LsqFixTest, FaultsLeaveTheResultsUnwritten) {
  const struct {
    const char* name;
    int lops;  // NoOfLops
    int secondary3;
    double startLat, startLon;
    std::int16_t number;
  } cases[] = {
      {"eight LOPs", 8, 3, Rad(63.5), Rad(3.0), RuntimeFault::kSubscript},
      {"station index 15", 3, 15, Rad(63.5), Rad(3.0), RuntimeFault::kSubscript},
      {"start on a station", 3, 3, StationTable(2).Lat, StationTable(2).Lon,
       RuntimeFault::kDivisionByZero},
  };
  for (const auto& c : cases) {
    NoOfLops = static_cast<std::int16_t>(c.lops);
    LopTable(3).SecondaryIndex = static_cast<std::int16_t>(c.secondary3);
    Result r;
    for (int i = 0; i < 8; ++i) r.residual(i) = kUntouched;
    RuntimeFault fault = CatchFault([&] {
      LsqFix(c.startLat, c.startLon, observed_, r.lat, r.lon, weight_, r.residual, r.passes,
             r.failed);
    });
    EXPECT_EQ(fault.Number(), c.number) << c.name;
    EXPECT_EQ(r.passes, -7) << c.name;
    EXPECT_EQ(r.failed, -7) << c.name;
    EXPECT_EQ(r.lat, kUntouched) << c.name;
    EXPECT_EQ(r.lon, kUntouched) << c.name;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(r.residual(i), kUntouched) << c.name;
  }
  EXPECT_TRUE(boxes_->boxes.empty());
}

class LsqGdopTest : public CoreTest {};

TEST_F(LsqGdopTest, WorkedExample) {
  SetLops({{0, 1}, {0, 2}, {0, 3}});
  for (int s = 1; s <= 3; ++s) {
    auto& m = StationTable(0);
    auto& st = StationTable(s);
    RTCM_Calc_Module::CalcTD(Rad(64.0), Rad(4.0), 0, static_cast<std::int16_t>(s), m.Distance,
                             m.Azimuth, m.PropagationTime, st.Distance, st.Azimuth,
                             st.PropagationTime, st.PredictedTd);
  }
  EXPECT_NEAR(LsqGdop(), 1.454281, 5e-7);
}

// Two LOPs with one secondary make G's rows equal: the inversion fails, and
// whatever is left gives a number or 0.0, never an error.
TEST_F(LsqGdopTest, FailedInversionGivesANumber) {
  SetLops({{0, 2}, {0, 2}, {0, 3}});
  StationTable(2).Azimuth = 1.0;
  StationTable(3).Azimuth = 2.0;
  double gdop = -1.0;
  EXPECT_NO_THROW(gdop = LsqGdop());
  EXPECT_TRUE(std::isfinite(gdop));
  EXPECT_GE(gdop, 0.0);
}

TEST_F(LsqGdopTest, IndexFaults) {
  SetLops({{0, 1}, {0, 2}, {0, 3}});
  LopTable(2).SecondaryIndex = 15;
  EXPECT_EQ(CatchFault([] { LsqGdop(); }).Number(), RuntimeFault::kSubscript);
  LopTable(2).SecondaryIndex = 2;
  NoOfLops = 8;
  EXPECT_EQ(CatchFault([] { LsqGdop(); }).Number(), RuntimeFault::kSubscript);
}

}  // namespace
}  // namespace kestrune::core_test
