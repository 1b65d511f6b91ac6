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
// exit code. out: nullptr for options.output, which is created only once
// every option is checked and every input is open, and is written whole or
// not at all (a device or FIFO there is written in place). inputSize: bytes
// of the input file (0 when unknown), for the progress bar.
int Run(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err,
        unsigned long long inputSize = 0);

// calibrate: the known points of `in` to the offsets of their LOPs, a table
// on `out`, the calibration file at options.output (written whole).
int RunCalibrate(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err);

// One line on `err`: "kestrune-convert: <text>", with whatever the text
// echoes made printable and the line of bounded length.
void Say(std::FILE* err, const std::string& text);

// The files a run writes checked against those it reads: one line when an
// output would overwrite an input (the same file, also through links), else
// empty. inputFd: the open input.
std::string OutputsOverInputs(const Options& options, int inputFd);

// The standard streams of a run of the whole program.
struct Streams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// The whole program: arguments (after the program name), files, Run.
int Main(const std::vector<std::string>& args, const Streams& streams = {});

}  // namespace kestrune::convert
