// The calibrate command: known positions (GPS marks) with the TDs observed
// there give one ASF offset per LOP, written as the calibration file the
// calculation window and `fix --calibration` read. Known points are few, so
// they are kept in memory; a row that cannot be read is named on standard
// error and left out, never dropped unseen.
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#include "converter/conversion.hpp"
#include "converter/run.hpp"
#include "converter/run_setup.hpp"
#include "loran/calibration.hpp"
#include "loran/catalogue_file.hpp"
#include "platform/files.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/output_text.hpp"

namespace kestrune::convert {

namespace {

std::string Metres(const loran::ErrorSummary& e, double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%8.1f", value);
  return e.fixes > 0 ? buf : "       -";
}

std::string Today() {
  const auto now = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  return loran::DateText(loran::Date{now});
}

// Writes `text` as the whole file `path`: through a temporary renamed over
// it, or in place for a device or FIFO. The problem, empty when written.
std::string WriteWhole(const std::string& path, const std::string& text) {
  if (!files::IsStreamTarget(path)) return files::ReplaceFile(path, text);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  const bool written = f && std::fputs(text.c_str(), f) >= 0;
  if (!f || std::fclose(f) != 0 || !written) return std::strerror(errno);
  return {};
}

std::string PositionText(loran::GeoPoint p) {
  return text::FormatLatLon(p.lat * 180 / constants::kPi, "LAT", 0, '.') + " " +
         text::FormatLatLon(p.lon * 180 / constants::kPi, "LON", 0, '.');
}

}  // namespace

int RunCalibrate(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::optional<RunSetup> setup;
  std::optional<RowInput> input;
  std::optional<Converter> converter;
  try {
    setup.emplace(LoadRunSetup(options));
    input.emplace(options, in);
    converter.emplace(options, input->Header(), input->FieldCount(), *setup);
  } catch (const UsageError& e) {
    Say(err, e.what());
    return kUsageOrInputError;
  }
  const loran::Catalogue& catalogue = *setup->catalogue;
  // The LOPs in the order they were first read, and each point's TDs by them.
  std::vector<loran::Lop> lops;
  std::vector<loran::KnownPoint> points;
  long rows = 0;
  Row row;
  std::size_t bytes = 0;
  while (input->Next(row, bytes)) {
    if (row.problem == "empty line") continue;
    ++rows;
    KnownRow known;
    std::string problem;
    if (!converter->ReadKnown(row, known, problem)) {
      Say(err, "line " + std::to_string(row.line) + " left out: " + problem);
      continue;
    }
    loran::KnownPoint& p = points.emplace_back(loran::KnownPoint{known.at, {}});
    for (std::size_t k = 0; k < known.lops.size(); ++k) {
      std::size_t i = 0;
      while (i < lops.size() && lops[i].secondary != known.lops[k].secondary) ++i;
      if (i == lops.size())
        lops.push_back({known.lops[k].master, known.lops[k].secondary, 0.0, 1.0});
      p.observed.resize(lops.size());
      p.observed[i] = known.tds[k];
    }
  }
  if (input->Source().Failed() != 0) {
    Say(err, "cannot read the input after line " + std::to_string(input->Source().LineNumber()) +
                 ": " + std::strerror(input->Source().Failed()));
    return kUsageOrInputError;
  }
  if (points.empty()) {
    Say(err, "no known point to calibrate from (" + std::to_string(rows) + " rows left out)");
    return kUsageOrInputError;
  }
  for (loran::KnownPoint& p : points) p.observed.resize(lops.size());

  loran::CalibrationResult result;
  try {
    result = loran::Calibrate(catalogue, lops, points);
  } catch (const RuntimeFault& fault) {
    Say(err, std::string("cannot calibrate: ") + fault.what());
    return kUsageOrInputError;
  }
  std::vector<loran::CalibrationOffset> offsets;
  for (std::size_t i = 0; i < lops.size(); ++i) {
    const loran::LopCalibration& c = result.lops[i];
    offsets.push_back({lops[i].master, lops[i].secondary, loran::LopName(catalogue, lops[i]),
                       c.offset, c.stddev, c.rows});
    // Not written: a file the window and fix refuse, from TDs of another
    // chain or with typing slips.
    const double limit = constants::kMaxTdOffset;
    if (!(std::fabs(c.offset) <= limit && c.stddev <= limit)) {
      Say(err, "cannot calibrate: the offset of " + offsets.back().name + " would be " +
                   text::FixedText(c.offset, 3) + " \xC2\xB5s with a standard deviation of " +
                   text::FixedText(c.stddev, 3) + " \xC2\xB5s, beyond " +
                   text::FixedText(limit, 0) + " \xC2\xB5s; check the TDs of that LOP");
      return kUsageOrInputError;
    }
  }
  const loran::CalibrationArea area{result.centre, result.radius, static_cast<int>(points.size())};
  const std::string inputName = options.input == "-"
                                    ? "standard input"
                                    : options.input.substr(options.input.find_last_of('/') + 1);
  const std::string file = loran::CalibrationText(
      offsets, "Kestrune calibration of " + Today() + " from " + inputName + "\n" +
                   loran::CalibrationAreaComment(area) +
                   "\nEach offset is added to every predicted TD of its LOP.");

  // The calibration file, then the table (on standard error when the file
  // goes to standard output).
  std::FILE* table = out;
  if (options.output == "-") {
    table = err;
    std::fputs(file.c_str(), out);
  } else {
    const std::string problem = WriteWhole(options.output, file);
    if (!problem.empty()) {
      Say(err, "cannot write '" + options.output + "': " + problem);
      return kUsageOrInputError;
    }
  }
  std::fprintf(table, "LOP    offset_us  stddev_us  rows\n");
  for (const loran::CalibrationOffset& o : offsets) {
    std::fprintf(table, "%-5s  %9.3f  %9.3f  %4d\n", o.name.c_str(), o.offset, o.stddev, o.rows);
  }
  std::fprintf(table, "\nposition error (m)  median       p95  fixes\n");
  for (const auto& [name, e] : {std::pair{"before", result.before}, {"after", result.after}}) {
    std::fprintf(table, "%-6s            %s  %s  %5d\n", name, Metres(e, e.median).c_str(),
                 Metres(e, e.p95).c_str(), e.fixes);
  }
  const long leftOut = rows - static_cast<long>(points.size());
  std::fprintf(table, "\n%zu of %ld rows used%s; known points within %.1f km of %s\n",
               points.size(), rows, leftOut > 0 ? " (the others are named above)" : "",
               result.radius / 1000.0, PositionText(result.centre).c_str());
  if (options.output != "-") std::fprintf(table, "written to %s\n", options.output.c_str());
  if (result.radius > constants::kCalibrationReach) {
    Say(err, "the known points lie up to " + text::FixedText(result.radius / 1000.0, 0) +
                 " km from their centre; an offset holds for 50 to 100 nmi around where it was "
                 "taken (docs/accuracy.md)");
  }
  return leftOut > 0 ? kSomeRowFailed : kAllRowsOk;
}

}  // namespace kestrune::convert
