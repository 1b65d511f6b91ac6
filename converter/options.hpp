// The command line of kestrune-convert: what to convert, where the columns
// are, and how to write the result.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "converter/asf_options.hpp"
#include "loran/catalogue_file.hpp"
#include "util/constants.hpp"
#include "util/strict_number.hpp"
#include "util/text_codec.hpp"

namespace kestrune::convert {

enum class Command { kFix, kPredict, kCalibrate };
enum class OutputFormat { kCsv, kGpx, kGeoJson, kKml, kJsonLines };
enum class HeaderMode { kAuto, kYes, kNo };
// kAuto: a plain decimal number is decimal degrees, any other text goes to
// the window's coordinate parser; kText: every text goes to the parser.
enum class CoordinateMode { kAuto, kText };

// A column: a 1-based number or a header name (any letter case).
using ColumnRef = std::string;

// The datum of the positions read and written: WGS 84, ED50 with the
// transformation chosen by position (loran::Ed50At), or ED50 with one EPSG
// transformation (1612, 1613, 1311, 1133).
struct DatumChoice {
  bool ed50 = false;
  int epsg = 0;  // 0: by position
};

// The calibration file calibrate writes by default, the one the calculation
// window reads beside Kestrune.ini.
inline constexpr const char* kDefaultCalibrationFile = "Kestrune-calibration.csv";

struct Options {
  Command command = Command::kFix;
  std::string input = "-";   // file name, "-" standard input
  std::string output = "-";  // file name, "-" standard output
  OutputFormat format = OutputFormat::kCsv;
  char delimiter = 0;  // 0: detected from the first line
  // The input's encoding; unset: UTF-8, and a line that is not is refused.
  // A byte order mark decides over either.
  std::optional<text_codec::Encoding> encoding;
  long skipLines = 0;  // lines above the header (or the first row) that are not read, >= 0
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
  // --track: each row's start is the previous good fix of its track (the
  // file, or the rows sharing a trackColumn cell), in row order.
  bool track = false;
  std::optional<ColumnRef> trackColumn;
  // ASF offsets (us, added to the predicted TD): given once as LOP name and
  // value text, per row from columns, or from a calibration file.
  std::vector<std::pair<std::string, std::string>> offsets;
  std::vector<ColumnRef> offsetColumns;
  std::optional<std::string> calibrationFile;
  // The chain catalogue: a file name, "nels" or "historical"; unset: the
  // windows' catalogue, or with a date both built-ins.
  std::optional<std::string> catalogue;
  std::optional<loran::Date> date;
  DatumChoice datum;
  double tdSigma =
      constants::kDefaultTdSigma;  // us, > 0: the TD standard deviation of the error ellipse
  // us, > 0: the standard deviation of what a fix does not model, against
  // which a least-squares fix's residuals are tested
  double residualSigma = constants::kDefaultResidualSigma;
  std::optional<std::string> chart;  // .svg, .png or .pdf of the fixes
  int threads = 0;                   // 0: one per processor
  bool quiet = false;
  AsfOptions asf;  // --asf model: the ASF predicted from land and sea
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
