// Timings of the computation core: one geodesic, one two-LOP fix, the
// least-squares fix with 3 and 6 LOPs, and the fixes of one full position
// solution for 6 LOPs (one least-squares fix and the 15 two-LOP fixes).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/message_box.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;
using RTCM_Calc_Module::LopList;

double Rad(double degrees) {
  return degrees * constants::kPi / 180.0;
}

// The six LOPs of the benchmark, observed at 61N 2E, solved from 60.5N 1E.
const std::vector<std::pair<std::int16_t, std::int16_t>> kLops = {{0, 1}, {0, 2}, {0, 3},
                                                                  {0, 4}, {8, 9}, {8, 10}};
const double kTruthLat = Rad(61.0);
const double kTruthLon = Rad(2.0);
const double kStartLat = Rad(60.5);
const double kStartLon = Rad(1.0);

struct Setup {
  LopList observed;
  LopList weight;
};

Setup Prepare(int lops) {
  Global_Module::ResetGlobals();
  Global_Module::BuildStationCatalogue();
  Setup s;
  Global_Module::NoOfLops = static_cast<std::int16_t>(lops);
  for (int i = 1; i <= lops; ++i) {
    auto& lop = Global_Module::LopTable(i);
    lop.MasterIndex = kLops[static_cast<std::size_t>(i - 1)].first;
    lop.SecondaryIndex = kLops[static_cast<std::size_t>(i - 1)].second;
    double d, a, t, td;
    RTCM_Calc_Module::CalcTD(kTruthLat, kTruthLon, lop.MasterIndex, lop.SecondaryIndex, d, a, t, d,
                             a, t, td);
    s.observed(i) = td;
    s.weight(i) = 1.0;
  }
  return s;
}

void BM_GeoDistAz(benchmark::State& state) {
  double lat2 = Rad(68.635060), lon2 = Rad(14.463153);
  for (auto _ : state) {
    double distance, azimuth;
    benchmark::DoNotOptimize(lat2);
    RTCM_Calc_Module::GeoDistAz(kStartLat, kStartLon, lat2, lon2, distance, azimuth);
    benchmark::DoNotOptimize(distance);
    benchmark::DoNotOptimize(azimuth);
  }
}
BENCHMARK(BM_GeoDistAz);

void BM_TwoLopFix(benchmark::State& state) {
  Setup s = Prepare(2);
  for (auto _ : state) {
    double lat, lon, cut;
    std::int16_t passes;
    RTCM_Calc_Module::TwoLopFix(kStartLat, kStartLon, s.observed(1), s.observed(2), 0, 1, 0, 2, lat,
                                lon, passes, cut);
    benchmark::DoNotOptimize(lat);
    benchmark::DoNotOptimize(cut);
    state.counters["passes"] = passes;
  }
}
BENCHMARK(BM_TwoLopFix);

void BM_LsqFix(benchmark::State& state) {
  ScopedScriptedMessageBoxes boxes;
  Setup s = Prepare(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    double lat, lon;
    LopList residual;
    std::int16_t passes, failed;
    RTCM_Calc_Module::LsqFix(kStartLat, kStartLon, s.observed, lat, lon, s.weight, residual, passes,
                             failed);
    benchmark::DoNotOptimize(lat);
    benchmark::DoNotOptimize(residual);
    state.counters["passes"] = passes;
  }
}
BENCHMARK(BM_LsqFix)->Arg(3)->Arg(6);

// One least-squares fix and the two-LOP fix of every pair of the six LOPs.
void BM_PositionSolution6Lops(benchmark::State& state) {
  ScopedScriptedMessageBoxes boxes;
  Setup s = Prepare(6);
  for (auto _ : state) {
    double lat, lon;
    LopList residual;
    std::int16_t passes, failed;
    RTCM_Calc_Module::LsqFix(kStartLat, kStartLon, s.observed, lat, lon, s.weight, residual, passes,
                             failed);
    benchmark::DoNotOptimize(lat);
    for (int i = 1; i <= 5; ++i) {
      for (int j = i + 1; j <= 6; ++j) {
        const auto& a = Global_Module::LopTable(i);
        const auto& b = Global_Module::LopTable(j);
        double fixLat, fixLon, cut;
        std::int16_t twoPasses;
        RTCM_Calc_Module::TwoLopFix(kStartLat, kStartLon, s.observed(i), s.observed(j),
                                    a.MasterIndex, a.SecondaryIndex, b.MasterIndex,
                                    b.SecondaryIndex, fixLat, fixLon, twoPasses, cut);
        benchmark::DoNotOptimize(fixLat);
        state.counters["maxTwoLopPasses"] =
            std::max(state.counters["maxTwoLopPasses"].value, static_cast<double>(twoPasses));
      }
    }
    state.counters["messages"] = static_cast<double>(boxes->boxes.size());
  }
}
BENCHMARK(BM_PositionSolution6Lops);

}  // namespace
