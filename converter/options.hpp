// The command line of kestrune-convert: what to convert, where the columns
// are, and how to write the result.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "util/strict_number.hpp"

namespace kestrune::convert {

enum class Command { kFix, kPredict };
enum class OutputFormat { kCsv, kGpx, kGeoJson, kKml, kJsonLines };
enum class HeaderMode { kAuto, kYes, kNo };
// kAuto: a plain decimal number is decimal degrees, any other text goes to
// the window's coordinate parser; kText: every text goes to the parser.
enum class CoordinateMode { kAuto, kText };

// A column: a 1-based number or a header name (any letter case).
using ColumnRef = std::string;

struct Options {
  Command command = Command::kFix;
  std::string input = "-";   // file name, "-" standard input
  std::string output = "-";  // file name, "-" standard output
  OutputFormat format = OutputFormat::kCsv;
  char delimiter = 0;  // 0: detected from the first line
  char outDelimiter = ',';
  text::DecimalMark decimal = text::DecimalMark::kAuto;
  HeaderMode header = HeaderMode::kAuto;
  CoordinateMode coordinates = CoordinateMode::kAuto;
  std::vector<std::string> lops;  // LOP names given once, "9007W"
  std::vector<ColumnRef> lopColumns;
  std::vector<ColumnRef> tdColumns;
  std::vector<ColumnRef> weightColumns;
  std::vector<ColumnRef> startColumns;                // latitude, longitude
  std::vector<ColumnRef> positionColumns;             // latitude, longitude (predict)
  std::optional<std::vector<ColumnRef>> keepColumns;  // empty list: none; unset: all
  std::optional<ColumnRef> nameColumn;
  std::optional<std::pair<std::string, std::string>> near;  // latitude, longitude texts
  bool completeDigits = false;
  int threads = 0;  // 0: one per processor
  bool quiet = false;
};

struct ParsedArguments {
  Options options;
  bool help = false;
  bool version = false;
  std::string error;  // one line; empty when the arguments are sound
};

// args: the arguments after the program name.
ParsedArguments ParseArguments(std::span<const std::string> args);

// The --help text, with examples.
const char* HelpText();

}  // namespace kestrune::convert
