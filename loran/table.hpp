// Whole tables through the front door: the rows of a logbook as columns (as
// R and Python hold them), found as kestrune-convert finds a logbook's
// columns, each cell read by the same readers (loran/logbook_cells.hpp),
// each row fixed by FixRow on the same coverage grids or predicted, and the
// results as columns named as the converter names them, one row per input
// row with its status. A bad argument (an unknown LOP given once, a
// column that is not there, columns of different lengths) is thrown as
// std::invalid_argument; a bad row is a status.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/types.hpp"
#include "util/constants.hpp"
#include "util/strict_number.hpp"

namespace kestrune::loran {

// One column of a table: numbers, or texts read strictly as logbook cells.
struct Cells {
  std::string name;                // matched without letter case
  bool isText = false;             // which of the two holds the cells
  std::vector<double> numbers;     // NaN: blank
  std::vector<std::string> texts;  // UTF-8; blank when empty or only blanks
  std::size_t Size() const { return isText ? texts.size() : numbers.size(); }
};

// One result column, named as the converter names it.
struct ResultColumn {
  std::string name;
  bool isText = false;
  std::vector<double> numbers;  // NaN: no value
  std::vector<std::string> texts;
};

struct TableOptions {
  // The LOPs of every row ("9007W", "9007 W", "9007-W"); empty: read per row
  // from the columns lop1 to lop7 (a blank cell leaves its slot unused).
  std::vector<std::string> lops;
  // The TD column of each LOP; empty: the column named as the LOP ("9007W")
  // or td1 to td7.
  std::vector<std::string> tdColumns;
  // ASF offsets (us) by LOP name ("9007X"), added to every prediction of
  // that LOP; a LOP not named has none.
  std::vector<std::pair<std::string, double>> offsets;
  // The weight column of each LOP; empty: weight1 to weight7 where present.
  std::vector<std::string> weightColumns;
  // The start of every fix whose row has no start of its own (radians, on
  // the datum below), as the converter's --near; none: the crossing search.
  std::optional<GeoPoint> start;
  // The start columns (latitude, longitude) of each row; empty: start_lat
  // and start_lon (or est_lat, est_lon) where both are there and `start` is
  // not given. A row whose two start cells are blank takes the start above.
  std::vector<std::string> startColumns;
  // The ASF offset column of each LOP (us); empty: offset1 to offset7 where
  // present. A blank cell takes the offset given by name.
  std::vector<std::string> offsetColumns;
  // Each row's start the last good fix of its track (the rows sharing a
  // `trackBy` cell, or all), in row order, as the converter's --track.
  bool track = false;
  std::string trackBy;
  // Leading digits left off the TDs completed from the start, as the
  // converter's --complete-digits.
  bool completeDigits = false;
  bool textCoordinates = false;  // every coordinate text to the window's reader (--coords text)
  // Positions read and written on ED50 instead of WGS 84, with the
  // transformation of EPSG code `ed50Epsg` (1612, 1613, 1311, 1133), or 0
  // for the one of the area each position lies in; results then gain a
  // datum column naming the transformation.
  bool ed50 = false;
  int ed50Epsg = 0;
  double tdSigma = constants::kDefaultTdSigma;  // us, > 0
  // us, > 0: what a least-squares fix's residuals are tested against.
  double residualSigma = constants::kDefaultResidualSigma;
  text::DecimalMark decimal = text::DecimalMark::kAuto;
};

// "WGS84", "ED50" or "ED50:<EPSG code>" into `options`; std::invalid_argument
// for any other text.
void SetDatum(const std::string& datum, TableOptions& options);

// fix: fix_lat, fix_lon (degrees on the datum), fix_lat_text, fix_lon_text,
// fix_kind, passes, gdop_at_fix, residual_<LOP> (us), ellipse_major_m,
// ellipse_minor_m, ellipse_azimuth_deg, drms2_m, [datum,]
// other_crossing_km, completed, start, status. Without a track the rows are
// fixed on the machine's cores.
std::vector<ResultColumn> FixTable(const Catalogue& catalogue, std::span<const Cells> input,
                                   const TableOptions& options);

// predict: at the positions of the columns lat/latitude and lon/long/
// longitude (decimal degrees or coordinate texts): pos_lat, pos_lon,
// pos_lat_text, pos_lon_text, td_<LOP> (us, offset included),
// gradient_<LOP> (m/us), [datum,] status.
std::vector<ResultColumn> PredictTable(const Catalogue& catalogue, std::span<const Cells> input,
                                       const TableOptions& options);

// calibrate: known positions (lat, lon columns) with the TDs read there.
struct TableCalibration {
  std::vector<std::string> lopNames;  // "9007W", by LOP of the result
  CalibrationResult result;
  std::vector<CalibrationOffset> offsets;  // as a calibration file holds them
  CalibrationArea area;                    // of the known points used
  // "ok", or why the row was left out: unreadable, or screened out as
  // unfit to calibrate from (loran::ScreenKnownPoints).
  std::vector<std::string> rowStatus;
  // The offsets make the fixes at the known points better (CalibrationHelps);
  // when not, a calibration file of them is not to be written.
  bool helps = false;
};
TableCalibration CalibrateTable(const Catalogue& catalogue, std::span<const Cells> input,
                                const TableOptions& options);

// The offsets of a calibration file (a regular file of at most
// constants::kMaxCatalogueFileBytes) by LOP name; std::invalid_argument with
// the file's problem.
std::vector<std::pair<std::string, double>> OffsetsFromFile(const std::string& path,
                                                            const Catalogue& catalogue);

// The catalogue of a chain catalogue file (a regular file of at most
// constants::kMaxCatalogueFileBytes) on `date`; std::invalid_argument with
// the file's problem.
Catalogue CatalogueFromFile(const std::string& path, std::optional<Date> date);

}  // namespace kestrune::loran
