// Calibration of LOPs at known positions. Over land the ground wave arrives
// later than over the all-seawater path the prediction assumes (the
// additional secondary factor, ASF); near a coast a converted position can
// be hundreds of metres off. One offset per LOP, taken where the true
// position is known, removes most of that error in the area around it.
//
// An offset o (microseconds) of a LOP is added to its predicted TD before any
// fix (equivalently, subtracted from the observed TD): calibration takes o as
// the mean of observed - predicted over the known positions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// A known position with the TDs observed there, one per LOP of the
// calibration (none where that LOP was not read).
struct KnownPoint {
  GeoPoint position;                            // radians, WGS 84
  std::vector<std::optional<double>> observed;  // microseconds, by LOP
};

struct LopCalibration {
  double offset = 0.0;  // us, mean of observed - predicted
  double stddev = 0.0;  // us, sample standard deviation (0 for one row)
  int rows = 0;         // known points that read this LOP
};

// Position errors of the fixes at the known points, metres.
struct ErrorSummary {
  double median = 0.0;
  double p95 = 0.0;  // 95th percentile
  int fixes = 0;     // points with a converged fix
};

struct CalibrationResult {
  std::vector<LopCalibration> lops;  // by LOP
  ErrorSummary before;               // fixes from the raw TDs
  ErrorSummary after;                // fixes with the offsets applied
  std::vector<std::size_t> unfixed;  // points of two or more LOPs without a fix after
  GeoPoint centre;                   // mean of the known positions, radians
  double radius = 0.0;               // metres, farthest known point from the centre
};

// lops: the LOPs (master, secondary; observed TD and weight unused) the
// points' TDs belong to, 2 to 7. A point's fix uses the LOPs it read (two:
// the crossing nearest the known position; three or more: least squares),
// started at the known position. Points that read fewer than two LOPs, and
// fixes that fail, count in no error summary.
CalibrationResult Calibrate(const Catalogue& catalogue, std::span<const Lop> lops,
                            std::span<const KnownPoint> points);

// Why each known point is unfit to calibrate from (empty for a fit one), in
// the order of `points`: a TD further than constants::kKnownTdBound from the
// prediction there, a point outside the coverage of the LOPs it read (at
// TD standard deviation `tdSigma`, us; one LOP: beyond its reach), or, of
// the points left, a TD that is an outlier among them (beyond
// constants::kOutlierDeviations robust standard deviations from their
// median, at least constants::kOutlierFloor; LOPs read at three points or
// more). One bad point would otherwise move every offset.
std::vector<std::string> ScreenKnownPoints(const Catalogue& catalogue, std::span<const Lop> lops,
                                           std::span<const KnownPoint> points, double tdSigma);

// True when the offsets make the fixes at the known points better: the
// median error after below the median before (with as many fixes).
bool CalibrationHelps(const CalibrationResult& result);

// The LOPs with their offsets applied to the observed TDs: observed - offset,
// which is the same as adding the offset to every prediction.
std::vector<Lop> WithOffsets(std::span<const Lop> lops, std::span<const double> offsets);

// A calibration file: one offset per LOP, named by its chain and secondary
// ("9007X"), with what it was taken from.
//
//   # comments
//   lop,offset_us,stddev_us,rows
//   9007X,-0.800,0.050,12
//
// Only the lop and offset columns are required.
struct CalibrationOffset {
  std::int16_t master = 0;  // station indices in the catalogue the file was read with
  std::int16_t secondary = 0;
  std::string name;     // "9007X"
  double offset = 0.0;  // us, added to the predicted TD
  double stddev = 0.0;  // us
  int rows = 0;
};
// Where the known points of a calibration lie. The file keeps it as a
// comment line, so that a conversion can tell how far its fixes are from
// the points the offsets were taken at.
struct CalibrationArea {
  GeoPoint centre;      // radians, WGS 84: the mean of the known positions
  double radius = 0.0;  // metres, from the centre to the farthest known point
  int points = 0;       // known points used
};
// The comment line of `area` (without the "# "):
// "known points: 12 within 42.1 km of 63.41234567,7.81234567 (WGS 84 degrees)".
std::string CalibrationAreaComment(const CalibrationArea& area);

struct CalibrationRead {
  std::vector<CalibrationOffset> offsets;
  std::vector<int> lines;               // the file line of each offset
  std::optional<CalibrationArea> area;  // from its comment line, when there is one
  std::string error;                    // "line 3: no station 9007V"; empty when sound
};
CalibrationRead ReadCalibrationText(const std::string& text, const Catalogue& catalogue);
// The file text; `comment` goes in front as comment lines.
std::string CalibrationText(const std::vector<CalibrationOffset>& offsets,
                            const std::string& comment);
// The file of a calibration: `title` (one line: by whom, when, from what),
// the known points' area, and how the offsets apply, as comment lines in
// front of the offsets. afterAsfModel: the offsets were fitted to what
// remains after the ASF model, and the file says so.
std::string CalibrationFileText(const std::vector<CalibrationOffset>& offsets,
                                const std::string& title, const CalibrationArea& area,
                                bool afterAsfModel = false);
// The LOP a name such as "9007X" or "9007 X" stands for in `catalogue`;
// none when there is no such secondary.
std::optional<Lop> LopNamed(const Catalogue& catalogue, const std::string& name);
// "9007X" for a LOP of `catalogue`.
std::string LopName(const Catalogue& catalogue, const Lop& lop);

// Geodesic distance in metres between two WGS 84 positions (radians), as the
// error of a fix is measured.
double DistanceMetres(GeoPoint a, GeoPoint b);

}  // namespace kestrune::loran
