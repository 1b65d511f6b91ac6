// Shared set-up of the computation-core tests: the catalogue built from its
// coordinate texts, recorded message boxes, and a check for run-time faults.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::core_test {

// Degrees to radians and back with the program's 12-digit pi.
inline double Rad(double degrees) {
  return degrees * constants::kPi / 180.0;
}
inline double Deg(double radians) {
  return radians * 180.0 / constants::kPi;
}

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Global_Module::ResetGlobals();
    Global_Module::BuildStationCatalogue();
  }
  void TearDown() override { Global_Module::ResetGlobals(); }

  // Sets the LOPs 1..n of LopTable (master, secondary) and NoOfLops.
  static void SetLops(std::initializer_list<std::pair<int, int>> lops) {
    int i = 0;
    for (const auto& [m, s] : lops) {
      ++i;
      Global_Module::LopTable(i).MasterIndex = static_cast<std::int16_t>(m);
      Global_Module::LopTable(i).SecondaryIndex = static_cast<std::int16_t>(s);
    }
    Global_Module::NoOfLops = static_cast<std::int16_t>(i);
  }

  // The TD of (master, secondary) predicted at (lat, lon) in degrees.
  static double PredictedTd(double latDeg, double lonDeg, int m, int s) {
    double d1, a1, t1, d2, a2, t2, td;
    RTCM_Calc_Module::CalcTD(Rad(latDeg), Rad(lonDeg), static_cast<std::int16_t>(m),
                             static_cast<std::int16_t>(s), d1, a1, t1, d2, a2, t2, td);
    return td;
  }

  ScopedScriptedMessageBoxes boxes_;
};

// Runs f and returns the fault it throws; fails the test when none comes.
inline RuntimeFault CatchFault(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeFault& fault) {
    return fault;
  }
  ADD_FAILURE() << "no run-time fault";
  return RuntimeFault(0);
}

inline constexpr double kUntouched = -12345.0;  // sentinel for outputs that must stay unwritten

}  // namespace kestrune::core_test
