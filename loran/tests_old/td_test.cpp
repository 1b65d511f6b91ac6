#include <cmath>

#include "core/tests/core_test_support.hpp"

namespace kestrune::core_test {
namespace {

using Global_Module::StationTable;
using RTCM_Calc_Module::CalcTD;
using RTCM_Calc_Module::PropTime;
using RTCM_Calc_Module::TdPartials;

class TdTest : public CoreTest {};

TEST_F(TdTest, PropagationTimes) {
  const struct {
    double distance;  // metres
    double time;      // microseconds
    double tolerance;
  } cases[] = {
      {100000.0, 333.7830146051574, 1e-12},
      {161000.0, 537.3992565926172, 1e-12},  // far formula
      {500000.0, 1669.1313490086616, 1e-11},
      {1000000.0, 3338.5542579962225, 1e-11},
      {0.0001, 8.2e6, 0.02e6},  // the near formula's 1/t term, no lower limit
  };
  for (const auto& c : cases) EXPECT_NEAR(PropTime(c.distance), c.time, c.tolerance) << c.distance;
}

// A primary phase of exactly 537 us still takes the near formula; the next
// distance up takes the far one.
TEST_F(TdTest, FormulaBoundaryAt537Microseconds) {
  const double boundary = 537.0 * constants::kSignalSpeed;
  ASSERT_EQ(boundary / constants::kSignalSpeed, 537.0);
  EXPECT_NEAR(PropTime(boundary), 537.16970256868262, 1e-12);
  EXPECT_NEAR(PropTime(std::nextafter(boundary, 1e9)), 537.17950083518861, 1e-12);
}

TEST_F(TdTest, DistanceZeroIsADivisionByZero) {
  RuntimeFault fault = CatchFault([] { PropTime(0.0); });
  EXPECT_EQ(fault.Number(), RuntimeFault::kDivisionByZero);
}

TEST_F(TdTest, WorkedPredictionAndPartials) {
  double dM = 0, azM = 0, tM = 0, dS = 0, azS = 0, tS = 0, td = 0;
  CalcTD(Rad(65.0), Rad(5.0), 0, 2, dM, azM, tM, dS, azS, tS, td);
  EXPECT_NEAR(dM, 668180.79, 5e-3);
  EXPECT_NEAR(dS, 579606.06, 5e-3);
  EXPECT_NEAR(tM, 2230.6546, 5e-5);
  EXPECT_NEAR(tS, 1934.9192, 5e-5);
  EXPECT_NEAR(td, 27704.2646, 5e-5);

  double gE = 0, gN = 0, r = 1;
  TdPartials(tM, azM, tS, azS, td, 0, 2, gE, gN, r);
  EXPECT_EQ(r, 0.0);
  EXPECT_NEAR(gE, -1.594226, 5e-7);
  EXPECT_NEAR(gN, -1.111293, 5e-7);

  // The residual is the TD error in metres, positive when the prediction is too large.
  TdPartials(tM, azM, tS, azS, td - 1.0, 0, 2, gE, gN, r);
  EXPECT_NEAR(r, constants::kSignalSpeed, 1e-6);
  // Same direction to both stations: no position information.
  TdPartials(tM, 1.234, tS, 1.234, td, 0, 2, gE, gN, r);
  EXPECT_EQ(gE, 0.0);
  EXPECT_EQ(gN, 0.0);
}

// The driver passes the station entries' own working fields as outputs.
TEST_F(TdTest, WritesIntoTheStationEntries) {
  auto& m = StationTable(0);
  auto& s = StationTable(3);
  CalcTD(Rad(64.0), Rad(4.0), 0, 3, m.Distance, m.Azimuth, m.PropagationTime, s.Distance, s.Azimuth,
         s.PropagationTime, s.PredictedTd);
  EXPECT_NEAR(s.PredictedTd, 40147.5151, 5e-5);
  EXPECT_NEAR(Deg(m.Azimuth), 76.24972, 5e-6);
  EXPECT_NEAR(Deg(s.Azimuth), 352.93068, 5e-6);
  EXPECT_EQ(s.PredictedTd, (s.PropagationTime - m.PropagationTime) + 41100.0);
  EXPECT_EQ(m.PredictedTd, 0.0);
}

TEST_F(TdTest, FaultsLeaveTheResultsUnwritten) {
  const struct {
    const char* name;
    double lat, lon;  // radians
    int master, secondary;
    std::int16_t number;
  } cases[] = {
      {"master index 15", Rad(64.0), Rad(4.0), 15, 3, RuntimeFault::kSubscript},
      {"master index -1", Rad(64.0), Rad(4.0), -1, 3, RuntimeFault::kSubscript},
      {"secondary index 15", Rad(64.0), Rad(4.0), 0, 15, RuntimeFault::kSubscript},
      {"on the secondary", StationTable(3).Lat, StationTable(3).Lon, 0, 3,
       RuntimeFault::kDivisionByZero},
      {"on the master", StationTable(0).Lat, StationTable(0).Lon, 0, 3,
       RuntimeFault::kDivisionByZero},
  };
  for (const auto& c : cases) {
    double out[7] = {kUntouched, kUntouched, kUntouched, kUntouched,
                     kUntouched, kUntouched, kUntouched};
    RuntimeFault fault = CatchFault([&] {
      CalcTD(c.lat, c.lon, static_cast<std::int16_t>(c.master),
             static_cast<std::int16_t>(c.secondary), out[0], out[1], out[2], out[3], out[4], out[5],
             out[6]);
    });
    EXPECT_EQ(fault.Number(), c.number) << c.name;
    for (double v : out) EXPECT_EQ(v, kUntouched) << c.name;
  }

  double gE = kUntouched, gN = kUntouched, r = kUntouched;
  RuntimeFault fault = CatchFault([&] { TdPartials(1.0, 0.1, 2.0, 0.2, 3.0, 0, 15, gE, gN, r); });
  EXPECT_EQ(fault.Number(), RuntimeFault::kSubscript);
  EXPECT_EQ(gE, kUntouched);
  EXPECT_EQ(gN, kUntouched);
  EXPECT_EQ(r, kUntouched);
  // The master index is not used, so it is not checked either.
  TdPartials(1.0, 0.1, 2.0, 0.2, 3.0, 99, 3, gE, gN, r);
  EXPECT_NE(r, kUntouched);
}

}  // namespace
}  // namespace kestrune::core_test
