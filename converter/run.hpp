// The run of one command: the input read in batches, the rows converted by
// a few threads, written in input order, with a progress bar on a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "converter/options.hpp"

namespace kestrune::convert {

// Exit codes.
inline constexpr int kAllRowsOk = 0;
inline constexpr int kSomeRowFailed = 1;
inline constexpr int kUsageOrInputError = 2;

// Converts `in` to `out` as `options` say; messages go to `err`. Returns an
// exit code. inputSize: bytes of the input file (0 when unknown), for the
// progress bar.
int Run(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err,
        unsigned long long inputSize = 0);

// The whole program: arguments (after the program name), files, Run.
int Main(const std::vector<std::string>& args);

}  // namespace kestrune::convert
