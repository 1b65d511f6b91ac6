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

// The known points of the input, with the LOPs in the order they were
// first read and each point's TDs by them.
struct KnownPoints {
  std::vector<loran::Lop> lops;
  std::vector<loran::KnownPoint> points;
  std::vector<long> lines;  // of each point
  long rows = 0;            // rows read, empty lines aside
};

// Reads every row; false (the reason said) when the input cannot be read
// to its end.
bool ReadKnownPoints(const Converter& converter, RowInput& input, KnownPoints& k, std::FILE* err) {
  Row row;
  std::size_t bytes = 0;
  while (input.Next(row, bytes)) {
    if (row.problem == "empty line") continue;
    ++k.rows;
    KnownRow known;
    std::string problem;
    if (!converter.ReadKnown(row, known, problem)) {
      Say(err, "line " + std::to_string(row.line) + " left out: " + problem);
      continue;
    }
    k.lines.push_back(row.line);
    loran::KnownPoint& p = k.points.emplace_back(loran::KnownPoint{known.at, {}});
    for (std::size_t j = 0; j < known.lops.size(); ++j) {
      std::size_t i = 0;
      while (i < k.lops.size() && k.lops[i].secondary != known.lops[j].secondary) ++i;
      if (i == k.lops.size())
        k.lops.push_back({known.lops[j].master, known.lops[j].secondary, 0.0, 1.0});
      p.observed.resize(k.lops.size());
      p.observed[i] = known.tds[j];
    }
  }
  if (input.Source().Failed() != 0) {
    Say(err, "cannot read the input after line " + std::to_string(input.Source().LineNumber()) +
                 ": " + std::strerror(input.Source().Failed()));
    return false;
  }
  for (loran::KnownPoint& p : k.points) p.observed.resize(k.lops.size());
  return true;
}

// The fitted offsets, or the exit code when there are none to write.
struct Fitted {
  loran::CalibrationResult result;
  std::optional<loran::ErrorSummary> withoutModel;  // --asf model: the errors without it
  std::vector<loran::CalibrationOffset> offsets;
  int failure = 0;  // the exit code when nothing is to be written
};

Fitted Fit(const RunSetup& setup, const KnownPoints& known, std::FILE* err) {
  const loran::Catalogue& catalogue = *setup.catalogue;
  Fitted f;
  std::vector<loran::KnownPoint> points = known.points;
  try {
    if (setup.asf) f.withoutModel = TakeModelAsfOff(*setup.asf, catalogue, known.lops, points);
    f.result = loran::Calibrate(catalogue, known.lops, points);
  } catch (const RuntimeFault& fault) {
    Say(err, std::string("cannot calibrate: ") + fault.what());
    f.failure = kUsageOrInputError;
    return f;
  } catch (const std::invalid_argument&) {
    Say(err, "cannot calibrate: a known point is beyond the ASF model");
    f.failure = kUsageOrInputError;
    return f;
  }
  const loran::CalibrationResult& r = f.result;
  for (const std::size_t p : r.unfixed) {
    Say(err, "line " + std::to_string(known.lines[p]) + ": no fix with the offsets");
  }
  if (!loran::CalibrationHelps(r)) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "the offsets do not make the fixes at the known points better (median error "
                  "%.1f m before, %.1f m after, %d and %d fixes); no file written",
                  r.before.median, r.after.median, r.before.fixes, r.after.fixes);
    Say(err, line);
    f.failure = kSomeRowFailed;
    return f;
  }
  for (std::size_t i = 0; i < known.lops.size(); ++i) {
    const loran::LopCalibration& c = r.lops[i];
    f.offsets.push_back({known.lops[i].master, known.lops[i].secondary,
                         loran::LopName(catalogue, known.lops[i]), c.offset, c.stddev, c.rows});
    // Not written: a file the window and fix refuse, from TDs of another
    // chain or with typing slips.
    const double limit = constants::kMaxTdOffset;
    if (!(std::fabs(c.offset) <= limit && c.stddev <= limit)) {
      Say(err, "cannot calibrate: the offset of " + f.offsets.back().name + " would be " +
                   text::FixedText(c.offset, 3) + " \xC2\xB5s with a standard deviation of " +
                   text::FixedText(c.stddev, 3) + " \xC2\xB5s, beyond " +
                   text::FixedText(limit, 0) + " \xC2\xB5s; check the TDs of that LOP");
      f.failure = kUsageOrInputError;
      return f;
    }
  }
  return f;
}

std::string FileText(const Options& options, const RunSetup& setup, const Fitted& f,
                     std::size_t points) {
  const loran::CalibrationArea area{f.result.centre, f.result.radius, static_cast<int>(points)};
  const std::string inputName = options.input == "-"
                                    ? "standard input"
                                    : options.input.substr(options.input.find_last_of('/') + 1);
  return loran::CalibrationFileText(f.offsets,
                                    "Kestrune calibration of " + Today() + " from " + inputName,
                                    area, setup.asf != nullptr);
}

// The table of offsets and errors a user reads after a calibration.
void PrintTable(std::FILE* table, const Options& options, const Fitted& f,
                const KnownPoints& known) {
  std::fprintf(table, "LOP    offset_us  stddev_us  rows\n");
  for (const loran::CalibrationOffset& o : f.offsets) {
    std::fprintf(table, "%-5s  %9.3f  %9.3f  %4d\n", o.name.c_str(), o.offset, o.stddev, o.rows);
  }
  std::fprintf(table, "\nposition error (m)  median       p95  fixes\n");
  std::vector<std::pair<const char*, loran::ErrorSummary>> errors{{"before", f.result.before},
                                                                  {"after", f.result.after}};
  if (f.withoutModel) errors = {{"before", *f.withoutModel}, {"model", f.result.before}, errors[1]};
  for (const auto& [name, e] : errors) {
    std::fprintf(table, "%-6s            %s  %s  %5d\n", name, Metres(e, e.median).c_str(),
                 Metres(e, e.p95).c_str(), e.fixes);
  }
  const long leftOut = known.rows - static_cast<long>(known.points.size());
  std::fprintf(table, "\n%zu of %ld rows used%s; known points within %.1f km of %s\n",
               known.points.size(), known.rows, leftOut > 0 ? " (the others are named above)" : "",
               f.result.radius / 1000.0, PositionText(f.result.centre).c_str());
  if (options.output != "-") std::fprintf(table, "written to %s\n", options.output.c_str());
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
  KnownPoints known;
  if (!ReadKnownPoints(*converter, *input, known, err)) return kUsageOrInputError;
  ScreenPoints(*setup->catalogue, known.lops, options.tdSigma, known.points, known.lines, err);
  if (known.points.empty()) {
    Say(err, "no known point to calibrate from (" + std::to_string(known.rows) + " rows left out)");
    return kUsageOrInputError;
  }
  const Fitted f = Fit(*setup, known, err);
  if (f.failure != 0) return f.failure;
  const std::string file = FileText(options, *setup, f, known.points.size());

  // The calibration file, then the table (on standard error when the file
  // goes to standard output).
  std::FILE* table = out;
  if (options.output == "-") {
    table = err;
    std::fputs(file.c_str(), out);
  } else if (const std::string problem = WriteWhole(options.output, file); !problem.empty()) {
    Say(err, "cannot write '" + options.output + "': " + problem);
    return kUsageOrInputError;
  }
  PrintTable(table, options, f, known);
  if (f.result.radius > constants::kCalibrationReach) {
    Say(err, "the known points lie up to " + text::FixedText(f.result.radius / 1000.0, 0) +
                 " km from their centre; an offset holds for 50 to 100 nmi around where it was "
                 "taken (docs/accuracy.md)");
  }
  const long leftOut = known.rows - static_cast<long>(known.points.size());
  return leftOut > 0 || !f.result.unfixed.empty() ? kSomeRowFailed : kAllRowsOk;
}

}  // namespace kestrune::convert
