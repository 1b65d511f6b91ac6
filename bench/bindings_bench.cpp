// Rows per second of the R and Python bindings against kestrune-convert, on
// the converter benchmark's 100 000 rows of three LOPs of chain 9007 fixed
// from one given start: the library's table call the bindings make, then
// Python's kestrune.fix on a DataFrame of number columns and R's loran_fix
// on a data frame, each timed inside its interpreter around the one call
// (reading the file is not timed, as the converter's own reading is).
//   build/bench/kestrune_bench --benchmark_filter='Fix|Bindings'
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/prediction.hpp"
#include "loran/table.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;

constexpr int kRows = 100000;

// The converter benchmark's rows (same generator and seed), written once.
std::string TdFile() {
  static const std::string file = [] {
    const auto path = std::filesystem::temp_directory_path() / "kestrune-bench-bindings.csv";
    std::FILE* tds = std::fopen(path.string().c_str(), "wb");
    std::fputs("name,date,td1,td2,td3\n", tds);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(60.0, 68.0);
    std::uniform_real_distribution<double> lon(-6.0, 8.0);
    for (int i = 0; i < kRows; ++i) {
      const double la = lat(random);
      const double lo = lon(random);
      const loran::GeoPoint at{la * constants::kPi / 180, lo * constants::kPi / 180};
      std::fprintf(tds, "wreck %d,1988-05-%02d", i, i % 28 + 1);
      for (int s = 1; s <= 3; ++s) {
        std::fprintf(tds, ",%.1f", loran::PredictPair(loran::NelsCatalogue(), at, 0, s).td);
      }
      std::fputc('\n', tds);
    }
    std::fclose(tds);
    return path.string();
  }();
  return file;
}

// A script for `interpreter` in a file beside the rows.
std::string ScriptFile(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path) << text;
  return path.string();
}

// The TD columns of the rows.
std::vector<loran::Cells> TdColumns() {
  std::vector<loran::Cells> cells(3);
  for (int k = 0; k < 3; ++k)
    cells[static_cast<std::size_t>(k)].name = "td" + std::to_string(k + 1);
  std::ifstream in(TdFile());
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string f;
    std::getline(fields, f, ',');
    std::getline(fields, f, ',');
    for (loran::Cells& c : cells) {
      std::getline(fields, f, ',');
      c.numbers.push_back(std::stod(f));
    }
  }
  return cells;
}

void BM_BindingsTableFixGivenStart(benchmark::State& state) {
  const std::vector<loran::Cells> cells = TdColumns();
  loran::TableOptions options;
  options.lops = {"9007W", "9007X", "9007Y"};
  options.start = loran::GeoPoint{64 * constants::kPi / 180, 1 * constants::kPi / 180};
  for (auto _ : state) {
    const auto out = loran::FixTable(loran::NelsCatalogue(), cells, options);
    benchmark::DoNotOptimize(out);
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(cells[0].numbers.size()),
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BindingsTableFixGivenStart)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Seconds printed by `command`'s last line; negative when it failed.
double SecondsFrom(const std::string& command) {
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return -1.0;
  char buf[256];
  std::string last;
  while (std::fgets(buf, sizeof buf, p)) last = buf;
  const int status = pclose(p);
  if (status != 0 || last.empty()) return -1.0;
  return std::stod(last);
}

void RunTimed(benchmark::State& state, const std::string& command) {
  for (auto _ : state) {
    const double seconds = SecondsFrom(command);
    if (seconds < 0) {
      state.SkipWithError(("failed: " + command).c_str());
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BindingsPythonFixGivenStart(benchmark::State& state) {
  const std::string script = ScriptFile("kestrune-bench.py",
                                        "import time, pandas as pd, kestrune\n"
                                        "d = pd.read_csv('" +
                                            TdFile() +
                                            "')\n"
                                            "t = time.perf_counter()\n"
                                            "kestrune.fix(d, lops=['9007W', '9007X', '9007Y'], "
                                            "start=(64.0, 1.0))\n"
                                            "print(time.perf_counter() - t)\n");
  RunTimed(state, "PYTHONPATH='" KESTRUNE_BINARY_DIR "/python' /usr/bin/python3 '" + script + "'");
}
BENCHMARK(BM_BindingsPythonFixGivenStart)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// The R package installed once from this build into a scratch library.
std::string RLibrary() {
  static const std::string lib = [] {
    const auto dir = std::filesystem::temp_directory_path() / "kestrune-bench-rlib";
    std::filesystem::create_directories(dir);
    const std::string install =
        "KESTRUNE_BUILD_DIR='" KESTRUNE_BINARY_DIR "' R CMD INSTALL --no-test-load -l '" +
        dir.string() + "' '" KESTRUNE_SOURCE_DIR "/r/kestrune' >/dev/null 2>&1";
    return std::system(install.c_str()) == 0 ? dir.string() : std::string();
  }();
  return lib;
}

void BM_BindingsRFixGivenStart(benchmark::State& state) {
  const std::string lib = RLibrary();
  if (lib.empty()) {
    state.SkipWithError("the R package did not install");
    return;
  }
  const std::string script = ScriptFile(
      "kestrune-bench.R", "library(kestrune)\nd <- read.csv('" + TdFile() +
                              "')\nt <- proc.time()[[3]]\n"
                              "r <- loran_fix(d, lops = c('9007W', '9007X', '9007Y'), "
                              "start = c(64, 1))\ncat(proc.time()[[3]] - t, fill = TRUE)\n");
  RunTimed(state, "R_LIBS='" + lib + "' Rscript '" + script + "'");
}
BENCHMARK(BM_BindingsRFixGivenStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
