// Calibration of LOPs at known positions.
//
// Notation:
//   o_i       offset of LOP i: mean over the points of (observed - predicted), us
//   e         distance of a fix from its known position, metres
// The percentiles are taken by the nearest-rank rule.
#include "loran/calibration.hpp"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "loran/coverage.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/output_text.hpp"

namespace kestrune::loran {

namespace {

double NearestRank(std::vector<double> sorted, double fraction) {
  const auto rank =
      static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::max<std::size_t>(rank, 1) - 1];
}

ErrorSummary Summarise(std::vector<double> errors) {
  ErrorSummary s;
  s.fixes = static_cast<int>(errors.size());
  if (errors.empty()) return s;
  std::sort(errors.begin(), errors.end());
  const std::size_t n = errors.size();
  s.median = n % 2 == 1 ? errors[n / 2] : (errors[n / 2 - 1] + errors[n / 2]) / 2.0;
  s.p95 = NearestRank(errors, 0.95);
  return s;
}

// The fix of the LOPs a point read, started at the point; none when it fails.
std::optional<GeoPoint> FixAt(const Catalogue& catalogue, const std::vector<Lop>& read,
                              GeoPoint start) {
  try {
    if (read.size() == 2) {
      const TwoLopFixResult r = TwoLopFix(catalogue, read[0], read[1], start);
      if (r.converged) return r.fix;
    } else if (read.size() > 2) {
      const LeastSquaresFix r = LsqFix(catalogue, read, start);
      if (r.converged) return r.fix;
    }
  } catch (const RuntimeFault&) {
  }
  return std::nullopt;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kAreaComment = "# known points:";
// The farthest a known point can lie from the centre of the points, metres:
// half the earth's circumference.
constexpr double kMaxAreaRadius = 2.0004e7;

// The known-points comment line, or the problem with it. A comment whose
// figures are not a count, a distance and a position would silently turn
// off the warning of fixes far from the points.
std::string ReadAreaComment(const std::string& line, CalibrationArea& a) {
  double lat = 0.0, lon = 0.0, km = 0.0;
  char tail = 0;
  const int read = std::sscanf(line.c_str(), "# known points: %d within %lf km of %lf,%lf %c",
                               &a.points, &km, &lat, &lon, &tail);
  if (read < 4 || (read == 5 && tail != '(')) {
    return "the known-points comment is not 'known points: N within R km of LAT,LON'";
  }
  if (a.points < 1 || !(km >= 0.0 && km * 1000.0 <= kMaxAreaRadius) ||
      !(std::fabs(lat) <= constants::kMaxLatitude) ||
      !(std::fabs(lon) <= constants::kMaxLongitude)) {
    return "the known-points comment has a count, distance or position out of range";
  }
  a.centre = GeoPoint{lat * constants::kPi / 180.0, lon * constants::kPi / 180.0};
  a.radius = km * 1000.0;
  return {};
}

// The problem with a LOP's figures, empty when they are in range.
std::string OutOfRange(const CalibrationOffset& o, const std::vector<std::string>& f) {
  const std::string limit = text::FixedText(constants::kMaxTdOffset, 0);
  if (!(std::fabs(o.offset) <= constants::kMaxTdOffset)) {
    return "offset '" + f[1] + "' is outside \xC2\xB1" + limit + " \xC2\xB5s";
  }
  if (o.stddev < 0.0) return "standard deviation '" + f[2] + "' is negative";
  if (o.rows < 0) return "rows '" + f[3] + "' is not a count";
  return {};
}

}  // namespace

double DistanceMetres(GeoPoint a, GeoPoint b) {
  double s12 = 0.0;
  GeographicLib::Geodesic::WGS84().Inverse(constants::Degrees(a.lat), constants::Degrees(a.lon),
                                           constants::Degrees(b.lat), constants::Degrees(b.lon),
                                           s12);
  return s12;
}

std::vector<Lop> WithOffsets(std::span<const Lop> lops, std::span<const double> offsets) {
  std::vector<Lop> out(lops.begin(), lops.end());
  for (std::size_t i = 0; i < out.size() && i < offsets.size(); ++i) {
    out[i].observedTd = out[i].observedTd - offsets[i];
  }
  return out;
}

CalibrationResult Calibrate(const Catalogue& catalogue, std::span<const Lop> lops,
                            std::span<const KnownPoint> points) {
  CalibrationResult result;
  result.lops.resize(lops.size());
  std::vector<std::vector<double>> differences(lops.size());
  double latSum = 0.0, lonSum = 0.0;
  for (const KnownPoint& p : points) {
    latSum += p.position.lat;
    lonSum += p.position.lon;
    for (std::size_t i = 0; i < lops.size() && i < p.observed.size(); ++i) {
      if (!p.observed[i]) continue;
      const double predicted =
          PredictPair(catalogue, p.position, lops[i].master, lops[i].secondary).td;
      differences[i].push_back(*p.observed[i] - predicted);
    }
  }
  std::vector<double> offsets(lops.size(), 0.0);
  for (std::size_t i = 0; i < lops.size(); ++i) {
    const std::vector<double>& d = differences[i];
    LopCalibration& c = result.lops[i];
    c.rows = static_cast<int>(d.size());
    if (d.empty()) continue;
    double sum = 0.0;
    for (double x : d) sum += x;
    c.offset = sum / static_cast<double>(d.size());
    double squares = 0.0;
    for (double x : d) squares += (x - c.offset) * (x - c.offset);
    c.stddev = d.size() > 1 ? std::sqrt(squares / static_cast<double>(d.size() - 1)) : 0.0;
    offsets[i] = c.offset;
  }

  std::vector<double> before, after;
  for (const KnownPoint& p : points) {
    std::vector<Lop> raw, corrected;
    for (std::size_t i = 0; i < lops.size() && i < p.observed.size(); ++i) {
      if (!p.observed[i]) continue;
      Lop lop = lops[i];
      lop.observedTd = *p.observed[i];
      raw.push_back(lop);
      lop.observedTd = lop.observedTd - offsets[i];
      corrected.push_back(lop);
    }
    if (const auto fix = FixAt(catalogue, raw, p.position)) {
      before.push_back(DistanceMetres(*fix, p.position));
    }
    if (const auto fix = FixAt(catalogue, corrected, p.position)) {
      after.push_back(DistanceMetres(*fix, p.position));
    } else if (corrected.size() >= 2) {
      result.unfixed.push_back(static_cast<std::size_t>(&p - points.data()));
    }
  }
  result.before = Summarise(std::move(before));
  result.after = Summarise(std::move(after));
  if (!points.empty()) {
    const double n = static_cast<double>(points.size());
    result.centre = GeoPoint{latSum / n, lonSum / n};
    for (const KnownPoint& p : points) {
      result.radius = std::max(result.radius, DistanceMetres(result.centre, p.position));
    }
  }
  return result;
}

namespace {

std::string Microseconds(double us) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f \xC2\xB5s", us);
  return buf;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The first problem of one point: a TD far from the prediction, or a
// position outside the coverage. `differences` gets observed - predicted.
std::string ScreenPoint(const Catalogue& catalogue, std::span<const Lop> lops, const KnownPoint& p,
                        double tdSigma, std::vector<std::optional<double>>& differences) {
  differences.assign(lops.size(), std::nullopt);
  std::vector<Lop> read;
  try {
    for (std::size_t i = 0; i < lops.size() && i < p.observed.size(); ++i) {
      if (!p.observed[i]) continue;
      const double d =
          *p.observed[i] - PredictPair(catalogue, p.position, lops[i].master, lops[i].secondary).td;
      if (!(std::fabs(d) <= constants::kKnownTdBound)) {
        return "the TD of " + LopName(catalogue, lops[i]) + " is " + Microseconds(d) +
               " from the prediction there (more than " + Microseconds(constants::kKnownTdBound) +
               ")";
      }
      differences[i] = d;
      read.push_back(lops[i]);
    }
  } catch (const RuntimeFault& fault) {
    return std::string("no prediction there: ") + fault.what();
  }
  const CoverageAssessment a = AssessCoverage(catalogue, read, p.position, tdSigma);
  const bool fit =
      a.verdict == CoverageVerdict::kInside ||
      (read.size() < 2 && a.verdict == CoverageVerdict::kNoGeometry && !a.ranges.empty());
  return fit ? std::string() : "outside the coverage: " + CoverageStatus(catalogue, a);
}

}  // namespace

std::vector<std::string> ScreenKnownPoints(const Catalogue& catalogue, std::span<const Lop> lops,
                                           std::span<const KnownPoint> points, double tdSigma) {
  std::vector<std::string> problems(points.size());
  std::vector<std::vector<std::optional<double>>> differences(points.size());
  for (std::size_t p = 0; p < points.size(); ++p) {
    problems[p] = ScreenPoint(catalogue, lops, points[p], tdSigma, differences[p]);
  }
  for (std::size_t i = 0; i < lops.size(); ++i) {
    std::vector<double> d;
    for (std::size_t p = 0; p < points.size(); ++p) {
      if (problems[p].empty() && differences[p][i]) d.push_back(*differences[p][i]);
    }
    if (d.size() < 3) continue;
    const double median = Median(d);
    for (double& x : d) x = std::fabs(x - median);
    const double limit =
        std::max(constants::kOutlierDeviations * constants::kMadToSigma * Median(d),
                 constants::kOutlierFloor);
    for (std::size_t p = 0; p < points.size(); ++p) {
      if (!problems[p].empty() || !differences[p][i]) continue;
      const double off = *differences[p][i] - median;
      if (std::fabs(off) > limit) {
        problems[p] = "the TD of " + LopName(catalogue, lops[i]) + " is " + Microseconds(off) +
                      " off the other known points' median (an outlier beyond " +
                      Microseconds(limit) + ")";
      }
    }
  }
  return problems;
}

bool CalibrationHelps(const CalibrationResult& r) {
  return r.after.fixes >= r.before.fixes && r.after.fixes > 0 && r.after.median < r.before.median;
}

std::optional<Lop> LopNamed(const Catalogue& catalogue, const std::string& name) {
  std::string compact;
  for (char c : name) {
    if (c != ' ') compact += c;
  }
  if (compact.size() != 5) return std::nullopt;
  int gri = 0;
  const auto [ptr, ec] = std::from_chars(compact.data(), compact.data() + 4, gri);
  if (ec != std::errc() || ptr != compact.data() + 4) return std::nullopt;
  const int secondary = catalogue.Find(gri, compact.substr(4, 1));
  if (secondary < 0 || catalogue.IsMaster(secondary)) return std::nullopt;
  const Chain& chain = catalogue.Chains()[static_cast<std::size_t>(catalogue.ChainOf(secondary))];
  return Lop{chain.master, static_cast<std::int16_t>(secondary), 0.0, 1.0};
}

std::string LopName(const Catalogue& catalogue, const Lop& lop) {
  const Station& s = catalogue.At(lop.secondary);
  return std::to_string(s.gri) + s.designator;
}

CalibrationRead ReadCalibrationText(const std::string& text, const Catalogue& catalogue) {
  CalibrationRead out;
  // A byte order mark, as spreadsheets write one, is no part of the heading.
  std::istringstream in(text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size())
                                                         : text);
  int n = 0;
  bool header = false;
  auto fail = [&out](int line, const std::string& problem) {
    out.offsets.clear();
    out.lines.clear();
    out.error = "line " + std::to_string(line) + ": " + problem;
    return out;
  };
  for (std::string raw; std::getline(in, raw);) {
    ++n;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.starts_with(kAreaComment)) {
      CalibrationArea a;
      const std::string problem = ReadAreaComment(raw, a);
      if (!problem.empty()) return fail(n, problem);
      out.area = a;
      continue;
    }
    if (!raw.empty() && raw[0] == '#') continue;
    if (raw.empty()) continue;
    std::vector<std::string> f;
    std::istringstream fields(raw);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    if (!header) {
      if (f.size() < 2 || f[0] != "lop" || f[1] != "offset_us") {
        return fail(n, "the first line is not the heading lop,offset_us,...");
      }
      header = true;
      continue;
    }
    if (f.size() < 2) return fail(n, "a LOP and its offset expected");
    const std::optional<Lop> lop = LopNamed(catalogue, f[0]);
    if (!lop) return fail(n, "no station " + f[0]);
    CalibrationOffset o{lop->master, lop->secondary, LopName(catalogue, *lop), 0.0, 0.0, 0};
    for (const CalibrationOffset& other : out.offsets) {
      if (other.secondary == o.secondary) return fail(n, o.name + " comes twice");
    }
    double* numbers[] = {&o.offset, &o.stddev};
    for (std::size_t k = 1; k < f.size() && k <= 3; ++k) {
      const std::string& t = f[k];
      if (k == 3) {
        const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), o.rows);
        if (ec != std::errc() || ptr != t.data() + t.size())
          return fail(n, "rows '" + t + "' is not a count");
        continue;
      }
      const auto [ptr, ec] =
          std::from_chars(t.data(), t.data() + t.size(), *numbers[k - 1], std::chars_format::fixed);
      if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(*numbers[k - 1])) {
        return fail(n, "'" + t + "' is not a number of microseconds");
      }
    }
    const std::string range = OutOfRange(o, f);
    if (!range.empty()) return fail(n, range);
    out.offsets.push_back(o);
    out.lines.push_back(n);
  }
  if (!header) return fail(n == 0 ? 1 : n, "no heading lop,offset_us,...");
  return out;
}

std::string CalibrationAreaComment(const CalibrationArea& area) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "known points: %d within %.1f km of %.8f,%.8f (WGS 84 degrees)",
                area.points, area.radius / 1000.0, constants::Degrees(area.centre.lat),
                constants::Degrees(area.centre.lon));
  return buf;
}

std::string CalibrationFileText(const std::vector<CalibrationOffset>& offsets,
                                const std::string& title, const CalibrationArea& area,
                                bool afterAsfModel) {
  return CalibrationText(
      offsets,
      title + "\n" + CalibrationAreaComment(area) +
          "\nEach offset is added to every predicted TD of its LOP." +
          (afterAsfModel ? "\nThe offsets remain after the ASF model (--asf model)." : ""));
}

std::string CalibrationText(const std::vector<CalibrationOffset>& offsets,
                            const std::string& comment) {
  std::string out;
  std::istringstream lines(comment);
  for (std::string line; std::getline(lines, line);) out += "# " + line + "\n";
  out += "lop,offset_us,stddev_us,rows\n";
  for (const CalibrationOffset& o : offsets) {
    out += o.name + "," + text::FixedText(o.offset, 3) + "," + text::FixedText(o.stddev, 3) + "," +
           std::to_string(o.rows) + "\n";
  }
  return out;
}

}  // namespace kestrune::loran
