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
#include <stdexcept>

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

// Leaves out, naming each by its line, the known points unfit to calibrate
// from: far from the prediction, outside the coverage, or outliers.
void ScreenPoints(const loran::Catalogue& catalogue, const std::vector<loran::Lop>& lops,
                  double tdSigma, std::vector<loran::KnownPoint>& points, std::vector<long>& lines,
                  std::FILE* err) {
  const std::vector<std::string> problems =
      loran::ScreenKnownPoints(catalogue, lops, points, tdSigma);
  std::size_t kept = 0;
  for (std::size_t p = 0; p < points.size(); ++p) {
    if (!problems[p].empty()) {
      std::fprintf(err, "kestrune-convert: line %ld left out: %s\n", lines[p], problems[p].c_str());
      continue;
    }
    if (kept != p) {
      points[kept] = std::move(points[p]);
      lines[kept] = lines[p];
    }
    ++kept;
  }
  points.resize(kept);
  lines.resize(kept);
}

// --asf model: the errors of the fixes from the TDs as read, then every TD
// less the model's ASF at its known position, so that the offsets fitted
// next are what remains after the model.
loran::ErrorSummary TakeModelAsfOff(const loran::CatalogueAsf& asf,
                                    const loran::Catalogue& catalogue,
                                    const std::vector<loran::Lop>& lops,
                                    std::vector<loran::KnownPoint>& points) {
  const loran::ErrorSummary raw = loran::Calibrate(catalogue, lops, points).before;
  for (loran::KnownPoint& p : points) {
    for (std::size_t i = 0; i < lops.size(); ++i) {
      if (p.observed[i]) *p.observed[i] -= asf.LopAsf(lops[i], p.position);
    }
  }
  return raw;
}

}  // namespace

int RunCalibrate(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::optional<RunSetup> setup;
  std::optional<RowInput> input;
  std::optional<Converter> converter;
  try {
    setup.emplace(LoadRunSetup(options));
    input.emplace(options, in);
    converter.emplace(options, input->Header(), input->FieldCount(), *setup, input->HeaderLine());
  } catch (const UsageError& e) {
    Say(err, e.what());
    return kUsageOrInputError;
  }
  const loran::Catalogue& catalogue = *setup->catalogue;
  // The LOPs in the order they were first read, and each point's TDs by them.
  std::vector<loran::Lop> lops;
  std::vector<loran::KnownPoint> points;
  std::vector<long> lines;  // of each point
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
    lines.push_back(row.line);
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
  for (loran::KnownPoint& p : points) p.observed.resize(lops.size());
  ScreenPoints(catalogue, lops, options.tdSigma, points, lines, err);
  if (points.empty()) {
    Say(err, "no known point to calibrate from (" + std::to_string(rows) + " rows left out)");
    return kUsageOrInputError;
  }

  loran::CalibrationResult result;
  std::optional<loran::ErrorSummary> withoutModel;
  try {
    if (setup->asf) withoutModel = TakeModelAsfOff(*setup->asf, catalogue, lops, points);
    result = loran::Calibrate(catalogue, lops, points);
  } catch (const RuntimeFault& fault) {
    Say(err, std::string("cannot calibrate: ") + fault.what());
    return kUsageOrInputError;
  } catch (const std::invalid_argument&) {
    std::fprintf(err,
                 "kestrune-convert: cannot calibrate: a known point is beyond the ASF model\n");
    return kUsageOrInputError;
  }
  for (const std::size_t p : result.unfixed) {
    std::fprintf(err, "kestrune-convert: line %ld: no fix with the offsets\n", lines[p]);
  }
  if (!loran::CalibrationHelps(result)) {
    std::fprintf(err,
                 "kestrune-convert: the offsets do not make the fixes at the known points "
                 "better (median error %.1f m before, %.1f m after, %d and %d fixes); no file "
                 "written\n",
                 result.before.median, result.after.median, result.before.fixes,
                 result.after.fixes);
    return kSomeRowFailed;
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
                   "\nEach offset is added to every predicted TD of its LOP." +
                   (setup->asf ? "\nThe offsets remain after the ASF model (--asf model)." : ""));

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
  std::vector<std::pair<const char*, loran::ErrorSummary>> errors{{"before", result.before},
                                                                  {"after", result.after}};
  if (withoutModel) errors = {{"before", *withoutModel}, {"model", result.before}, errors[1]};
  for (const auto& [name, e] : errors) {
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
  return leftOut > 0 || !result.unfixed.empty() ? kSomeRowFailed : kAllRowsOk;
}

}  // namespace kestrune::convert
