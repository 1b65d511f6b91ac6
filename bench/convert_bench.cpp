// End-to-end throughput of kestrune-convert in rows per second: 100 000
// logbook rows of three LOPs of chain 9007 (TDs to 0.1 us, positions spread
// over 60 to 68 N, 6 W to 8 E) fixed from one given start and with the
// automatic start, and 100 000 positions predicted; read from a file and
// written to /dev/null, as a user's run does, on all processors; and the
// fix with a start once more from the file read as Windows-1252.
//   build/bench/kestrune_bench --benchmark_filter=Convert
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/run_convert.hpp"
#include "loran/catalogue.hpp"
#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;

constexpr int kRows = 100000;

// The two input files, written once into the temporary directory.
struct Inputs {
  std::string tds;
  std::string positions;
};

const Inputs& MakeInputs() {
  static const Inputs inputs = [] {
    const auto dir = std::filesystem::temp_directory_path();
    Inputs in{(dir / "kestrune-bench-tds.csv").string(),
              (dir / "kestrune-bench-positions.csv").string()};
    std::FILE* tds = std::fopen(in.tds.c_str(), "wb");
    std::FILE* pos = std::fopen(in.positions.c_str(), "wb");
    std::fputs("name,date,td1,td2,td3\n", tds);
    std::fputs("lat,lon\n", pos);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(60.0, 68.0);
    std::uniform_real_distribution<double> lon(-6.0, 8.0);
    const loran::Catalogue& nels = loran::NelsCatalogue();
    for (int i = 0; i < kRows; ++i) {
      const double la = lat(random);
      const double lo = lon(random);
      const loran::GeoPoint at{la * constants::kPi / 180, lo * constants::kPi / 180};
      std::fprintf(tds, "wreck %d,1988-05-%02d", i, i % 28 + 1);
      for (int s = 1; s <= 3; ++s)
        std::fprintf(tds, ",%.1f", loran::PredictPair(nels, at, 0, s).td);
      std::fputc('\n', tds);
      std::fprintf(pos, "%.5f,%.5f\n", la, lo);
    }
    std::fclose(tds);
    std::fclose(pos);
    return in;
  }();
  return inputs;
}

void RunConvert(benchmark::State& state, std::vector<std::string> args, const std::string& file) {
  bench::RunConvert(state, std::move(args), file, kRows);
}

void BM_ConvertFixGivenStart(benchmark::State& state) {
  RunConvert(state, {"fix", "-q", "--lops", "9007W,9007X,9007Y", "--near", "64 N", "1 E"},
             MakeInputs().tds);
}
BENCHMARK(BM_ConvertFixGivenStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same rows read as Windows-1252: every byte goes through the conversion
// to UTF-8 before the lines are split.
void BM_ConvertFixGivenStartWindows1252(benchmark::State& state) {
  RunConvert(
      state,
      {"fix", "-q", "--encoding", "cp1252", "--lops", "9007W,9007X,9007Y", "--near", "64 N", "1 E"},
      MakeInputs().tds);
}
BENCHMARK(BM_ConvertFixGivenStartWindows1252)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_ConvertFixAutomaticStart(benchmark::State& state) {
  RunConvert(state, {"fix", "-q", "--lops", "9007W,9007X,9007Y"}, MakeInputs().tds);
}
BENCHMARK(BM_ConvertFixAutomaticStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_ConvertPredict(benchmark::State& state) {
  RunConvert(state, {"predict", "-q", "--lops", "9007W,9007X,9007Y"}, MakeInputs().positions);
}
BENCHMARK(BM_ConvertPredict)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

namespace {

// 20 000 rows whose LOPs are given per row, from 100 different ordered lists
// of three LOPs of chains 9007, 7001 and 7499, fixed with the automatic
// start: the search grids of many LOP lists in one run.
constexpr int kManyListRows = 20000;
constexpr int kLopLists = 100;

const std::string& ManyListInput() {
  static const std::string file = [] {
    const std::string name =
        (std::filesystem::temp_directory_path() / "kestrune-bench-lists.csv").string();
    struct Named {
      const char* name;
      int master;
      int secondary;
    };
    const Named lops[] = {{"9007W", 0, 1}, {"9007X", 0, 2}, {"9007Y", 0, 3}, {"9007Z", 0, 4},
                          {"7001X", 5, 6}, {"7001Y", 5, 7}, {"7499X", 8, 9}, {"7499Y", 8, 10}};
    std::vector<std::array<int, 3>> lists;
    for (int a = 0; a < 8; ++a) {
      for (int b = 0; b < 8; ++b) {
        for (int c = 0; c < 8; ++c) {
          if (a != b && b != c && a != c) lists.push_back({a, b, c});
        }
      }
    }
    std::mt19937 random(11);
    std::shuffle(lists.begin(), lists.end(), random);
    lists.resize(kLopLists);
    std::uniform_real_distribution<double> lat(60.0, 68.0);
    std::uniform_real_distribution<double> lon(-6.0, 8.0);
    const loran::Catalogue& nels = loran::NelsCatalogue();
    std::FILE* f = std::fopen(name.c_str(), "wb");
    std::fputs("lop1,td1,lop2,td2,lop3,td3\n", f);
    for (int i = 0; i < kManyListRows; ++i) {
      const loran::GeoPoint at{lat(random) * constants::kPi / 180,
                               lon(random) * constants::kPi / 180};
      const auto& list = lists[static_cast<std::size_t>(i % kLopLists)];
      for (int k = 0; k < 3; ++k) {
        const Named& l = lops[list[static_cast<std::size_t>(k)]];
        std::fprintf(f, "%s%s,%.1f", k ? "," : "", l.name,
                     loran::PredictPair(nels, at, l.master, l.secondary).td);
      }
      std::fputc('\n', f);
    }
    std::fclose(f);
    return name;
  }();
  return file;
}

void BM_ConvertFixManyLopLists(benchmark::State& state) {
  bench::RunConvert(state, {"fix", "-q"}, ManyListInput(), kManyListRows);
}
BENCHMARK(BM_ConvertFixManyLopLists)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
