// Timings of the computation library: one geodesic, one two-LOP fix, the
// least-squares fix with 3 and 6 LOPs, and the fixes of one full position
// solution for 6 LOPs (one least-squares fix and the 15 two-LOP fixes).
//   build/bench/kestrune_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;

double Rad(double degrees) {
  return degrees * constants::kPi / 180.0;
}

// The six LOPs of the benchmark, observed at 61N 2E, solved from 60.5N 1E.
const std::vector<std::pair<std::int16_t, std::int16_t>> kPairs = {{0, 1}, {0, 2}, {0, 3},
                                                                   {0, 4}, {8, 9}, {8, 10}};
const loran::GeoPoint kTruth{Rad(61.0), Rad(2.0)};
const loran::GeoPoint kStart{Rad(60.5), Rad(1.0)};

std::vector<loran::Lop> Prepare(int count) {
  std::vector<loran::Lop> lops;
  for (int i = 0; i < count; ++i) {
    const auto [m, s] = kPairs[static_cast<std::size_t>(i)];
    const double td = loran::PredictPair(loran::NelsCatalogue(), kTruth, m, s).td;
    lops.push_back(loran::Lop{m, s, td, 1.0});
  }
  return lops;
}

void BM_GeoDistAz(benchmark::State& state) {
  loran::GeoPoint station{Rad(68.635060), Rad(14.463153)};
  for (auto _ : state) {
    benchmark::DoNotOptimize(station);
    benchmark::DoNotOptimize(loran::GeoDistAz(kStart, station));
  }
}
BENCHMARK(BM_GeoDistAz);

void BM_TwoLopFix(benchmark::State& state) {
  const std::vector<loran::Lop> lops = Prepare(2);
  for (auto _ : state) {
    const auto fix = loran::TwoLopFix(loran::NelsCatalogue(), lops[0], lops[1], kStart);
    benchmark::DoNotOptimize(fix);
    state.counters["passes"] = fix.passes;
  }
}
BENCHMARK(BM_TwoLopFix);

void BM_LsqFix(benchmark::State& state) {
  const std::vector<loran::Lop> lops = Prepare(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto fix = loran::LsqFix(loran::NelsCatalogue(), lops, kStart);
    benchmark::DoNotOptimize(fix);
    state.counters["passes"] = fix.passes;
  }
}
BENCHMARK(BM_LsqFix)->Arg(3)->Arg(6);

// One least-squares fix and the two-LOP fix of every pair of the six LOPs.
void BM_PositionSolution6Lops(benchmark::State& state) {
  const std::vector<loran::Lop> lops = Prepare(6);
  for (auto _ : state) {
    const auto lsq = loran::LsqFix(loran::NelsCatalogue(), lops, kStart);
    benchmark::DoNotOptimize(lsq);
    std::size_t messages = lsq.messages.size();
    for (std::size_t i = 0; i < 5; ++i) {
      for (std::size_t j = i + 1; j < 6; ++j) {
        const auto fix = loran::TwoLopFix(loran::NelsCatalogue(), lops[i], lops[j], kStart);
        benchmark::DoNotOptimize(fix);
        messages += fix.messages.size();
        state.counters["maxTwoLopPasses"] =
            std::max(state.counters["maxTwoLopPasses"].value, static_cast<double>(fix.passes));
      }
    }
    state.counters["messages"] = static_cast<double>(messages);
  }
}
BENCHMARK(BM_PositionSolution6Lops);

}  // namespace
