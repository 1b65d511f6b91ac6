// The ASF model: one ground's curves tabulated, and the throughput of
// `kestrune-convert fix --asf model` in rows per second: 100 000 rows of three
// LOPs of chain 9007 (TDs to 0.01 us) spread over a fishing ground near the
// coast, 63.5 to 64.2 N, 8 to 10 E (about 80 by 100 km), fixed from one given
// start, read from a file and written to /dev/null on all processors. Every
// run starts with the model built and no ASF node known.
//   build/bench/kestrune_bench --benchmark_filter=Asf
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/run_convert.hpp"
#include "loran/catalogue.hpp"
#include "loran/groundwave.hpp"
#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;

constexpr int kRows = 100000;

void BM_AsfGroundwaveTable(benchmark::State& state) {
  for (auto _ : state) {
    const loran::GroundwaveTable table({0.001, 15.0}, loran::LoranGroundwaveSettings());
    benchmark::DoNotOptimize(table.Phase(1e6));
  }
}
BENCHMARK(BM_AsfGroundwaveTable)->Unit(benchmark::kMillisecond)->Iterations(5);

const std::string& CoastalLogbook() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "kestrune-bench-asf.csv").string();
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fputs("name,td1,td2,td3\n", f);
    std::mt19937 random(18);
    std::uniform_real_distribution<double> lat(63.5, 64.2), lon(8.0, 10.0);
    for (int i = 0; i < kRows; ++i) {
      const loran::GeoPoint at{constants::Radians(lat(random)), constants::Radians(lon(random))};
      std::fprintf(f, "haul %d", i);
      for (int s = 1; s <= 3; ++s) {
        std::fprintf(f, ",%.2f", loran::PredictPair(loran::NelsCatalogue(), at, 0, s).td);
      }
      std::fputc('\n', f);
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

void BM_AsfConvertFixGivenStart(benchmark::State& state) {
  bench::RunConvert(
      state, {"fix", "-q", "--asf", "model", "--lops", "9007W,9007X,9007Y", "--near", "63.9", "9"},
      CoastalLogbook(), kRows);
}
BENCHMARK(BM_AsfConvertFixGivenStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
