// The run of one command: the input read in batches, the rows converted by
// a few threads, written in input order, with a progress bar on a terminal.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/row_reader.hpp"

namespace kestrune::convert {

// Exit codes.
inline constexpr int kAllRowsOk = 0;
inline constexpr int kSomeRowFailed = 1;
inline constexpr int kUsageOrInputError = 2;

// The rows of a CSV, TSV or JSON-lines input. After the lines skipped, the
// first row that is not empty decides the delimiter and whether it is a
// header; the empty or overlong lines before it are rows too. Throws
// UsageError when the first lines are not text of the input's encoding.
class RowInput {
 public:
  RowInput(const Options& options, std::FILE* in);
  // The header, or nullptr for an input without one.
  const std::vector<std::string>* Header() const { return hasHeader_ ? &header_ : nullptr; }
  // The line number of the header, 0 for an input without one.
  long HeaderLine() const { return headerLine_; }
  std::size_t FieldCount() const { return fieldCount_; }
  // The next row; false at the end of the input. lineBytes: its length.
  bool Next(Row& row, std::size_t& lineBytes);
  const LineSource& Source() const { return source_; }

 private:
  void Read(Row& row);
  const Options& options_;
  bool json_;
  LineSource source_;
  std::string line_;
  bool overlong_ = false;
  char delimiter_;
  std::vector<std::string> header_;
  bool hasHeader_ = false;
  long headerLine_ = 0;
  std::size_t fieldCount_ = 0;
  std::deque<Row> pending_;
};

// Converts `in` to `out` as `options` say; messages go to `err`. Returns an
// exit code. inputSize: bytes of the input file (0 when unknown), for the
// progress bar.
int Run(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err,
        unsigned long long inputSize = 0);

// calibrate: the known points of `in` to the offsets of their LOPs, a table
// on `out`, the calibration file at options.output.
int RunCalibrate(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err);

// The whole program: arguments (after the program name), files, Run.
int Main(const std::vector<std::string>& args);

}  // namespace kestrune::convert
