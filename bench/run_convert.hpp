// A conversion timed as the converter runs it: a file to /dev/null, with the
// rows per second and the exit code as counters.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/run.hpp"

namespace kestrune::bench {

// args: the command line without the input file; rows: the rows of `file`.
inline void RunConvert(benchmark::State& state, std::vector<std::string> args,
                       const std::string& file, int rows) {
  args.push_back(file);
  const convert::ParsedArguments parsed = convert::ParseArguments(args);
  for (auto _ : state) {
    std::FILE* in = std::fopen(file.c_str(), "rb");
    std::FILE* out = std::fopen("/dev/null", "wb");
    state.counters["exit"] = convert::Run(parsed.options, in, out, out);
    std::fclose(in);
    std::fclose(out);
  }
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace kestrune::bench
