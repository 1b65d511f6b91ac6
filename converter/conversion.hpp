// The conversion of one row: the columns found once for the whole input,
// then per row the LOPs, TDs, weights and start read strictly, the fix or
// the prediction made through the computation library exactly as the
// calculation window makes it, and the results as texts.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/row_reader.hpp"
#include "loran/catalogue.hpp"
#include "loran/coverage.hpp"
#include "loran/logbook_cells.hpp"
#include "loran/row_fix.hpp"
#include "util/strict_number.hpp"

namespace kestrune::convert {

// A mistake in the options, the column references or a catalogue or
// calibration file: one line for the user, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RunSetup;

// One result value. An empty text is no value (null in JSON).
struct Cell {
  std::string text;
  bool number = false;  // written unquoted in JSON
};

// What a row gives: the passed-through fields, the results in the order of
// Converter::ResultNames(), and the position for the map formats.
struct OutRow {
  long line = 0;
  std::vector<std::string> pass;       // texts (JSON texts for JSON-lines input)
  std::vector<std::string> passNames;  // JSON lines only: the key of each
  std::vector<Cell> results;
  bool ok = false;
  bool hasPosition = false;
  double lat = 0.0;                // degrees, on the chosen datum
  double lon = 0.0;                // degrees, -180 to 180, on the chosen datum
  double wgs84Lat = 0.0;           // degrees, the same position on WGS 84 (for the chart)
  double wgs84Lon = 0.0;           // degrees
  std::string name;                // waypoint name
  bool beyondCalibration = false;  // a fix this far from the calibration's known points
};

// What a calibration row gives: the known position and the TDs read there.
struct KnownRow {
  loran::GeoPoint at;                      // radians, WGS 84
  std::vector<loran::LopPair> lops;        // the LOPs of the row
  std::vector<std::optional<double>> tds;  // us, by LOP; none for a blank cell
};

class Converter {
 public:
  // header: the column names of the first row, or nullptr for an input
  // without one; fieldCount: the fields of every CSV row (0 for JSON lines).
  // Throws UsageError for LOPs or columns that cannot be found, and for a
  // calibration file without an offset for a LOP given once, or a column
  // name two header columns bear. headerLine: the header's line number in
  // the input, for the messages (0: none).
  Converter(const Options& options, const std::vector<std::string>* header, std::size_t fieldCount,
            const RunSetup& setup, long headerLine = 0);

  // Names of the passed-through columns (CSV input) and of the results.
  const std::vector<std::string>& PassNames() const { return passNames_; }
  const std::vector<std::string>& ResultNames() const { return resultNames_; }
  // Lines for standard error about the options, such as a calibration
  // file's offset for a LOP not in use.
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // Converts one row; safe to call from several threads at once.
  void Convert(const Row& row, OutRow& out) const;
  // calibrate: reads a known position and its TDs; false with `problem` set
  // when the row, its position, a LOP or a TD cannot be read.
  bool ReadKnown(const Row& row, KnownRow& known, std::string& problem) const;

 private:
  struct Column {
    std::vector<std::string> names;  // alternatives, lower case; the first present is used
    int index = -1;                  // resolved column (CSV), -1 none
  };
  // The first of `names` (any letter case) the header has; no index when none.
  Column Optional(std::vector<std::string> names, const std::vector<std::string>* header) const;
  bool Present(const Column& c) const { return json_ || c.index >= 0; }
  // The construction, part by part; each throws UsageError. SetLops returns
  // the number of LOPs (or LOP columns).
  std::size_t SetLops(const std::vector<std::string>* header);
  void SetTdColumns(const std::vector<std::string>* header, std::size_t n);
  void SetFixColumns(const std::vector<std::string>* header, std::size_t n);
  void SetPositionColumns(const std::vector<std::string>* header);
  void SetOffsets(const std::vector<std::string>* header, std::size_t n);
  void SetPassThrough(const std::vector<std::string>* header);
  void SetResults(std::size_t n);
  Column Resolve(const ColumnRef& ref, const std::vector<std::string>* header, bool required,
                 const std::string& what) const;
  const std::string* Field(const Row& row, const Column& column) const;
  // Where the header was found, for a column that cannot be: empty without one.
  std::string HeaderNote() const;
  // The LOPs of a row and the LOP number - 1 of each; false with `status` set
  // when a LOP cannot be read or there are too few.
  bool RowLops(const Row& row, std::vector<loran::LopPair>& pairs, std::vector<std::size_t>& slots,
               std::string& status) const;
  // The offset (us) of LOP `pair` in slot `slot` for this row; false with
  // `status` set when its cell is unreadable or a calibration file has none.
  bool RowOffset(const Row& row, const loran::LopPair& pair, std::size_t slot, double& offset,
                 std::string& status) const;
  struct Position {
    loran::GeoPoint wgs84;  // radians
    double lat = 0.0;       // degrees on the chosen datum
    double lon = 0.0;       // degrees
  };
  // A position as read (on the chosen datum); empty with `error` set.
  std::optional<Position> ReadPosition(const std::string* lat, const std::string* lon,
                                       std::string& error) const;
  // A position on WGS 84 with its degrees on the chosen datum.
  Position Shown(loran::GeoPoint wgs84) const;
  // Writes the position columns from `first` on: decimal degrees and texts.
  void WritePosition(const Position& p, std::size_t first, OutRow& out) const;
  // A fix row's TDs, offsets and start as read.
  struct RowTds {
    std::vector<loran::Lop> lops;           // by LOP: observed TD (us) and weight
    std::vector<text::StrictNumber> typed;  // by LOP: the TD text read
    std::vector<double> offsets;            // by LOP, us
    std::optional<loran::GeoPoint> start;   // radians, WGS 84
    loran::StartSource source = loran::StartSource::kSearch;
    std::string startText;  // the start column: where the start came from
  };
  // The TDs and weights of the LOPs in `slots`; false with `status` set.
  bool ReadTds(const Row& row, const std::vector<std::size_t>& slots, RowTds& tds,
               std::string& status) const;
  // The start: the row's start cells, the track's last good fix, --near, or
  // none (the search); false with `status` set for unreadable start cells.
  bool RowStart(const Row& row, RowTds& tds, std::string& status) const;
  // --complete-digits at the row's start; false with `status` set when a
  // completion is ambiguous.
  bool Complete(const std::vector<std::size_t>& slots, RowTds& tds, OutRow& out,
                std::string& status) const;
  void WriteFix(const loran::RowFix& fix, const std::vector<std::size_t>& slots, OutRow& out) const;
  // The track a row belongs to: its --track-by cell, or one track for the file.
  std::string TrackKey(const Row& row) const;
  void Fix(const Row& row, OutRow& out, std::string& status) const;
  void Predict(const Row& row, OutRow& out, std::string& status) const;
  // --asf model: the ASF of a LOP at a position, also written to its column;
  // none for a position beyond the model's reach.
  std::optional<double> PredictedAsf(const loran::LopPair& pair, loran::GeoPoint at, OutRow& out,
                                     std::size_t slot) const;
  // --asf model: the model's ASF at the fix, settled by loran::FixWithAsf,
  // joins the row's offsets and the row is fixed again from the same start,
  // so the start, the crossing and the status rules stay those of the row.
  // The ASF goes to its columns. False with `status` set when the model's
  // fix fails.
  bool TakeAsfOff(const loran::CoverageGrid& grid, const std::vector<std::size_t>& slots,
                  loran::RowFixInput& in, loran::RowFix& fix, OutRow& out,
                  std::string& status) const;
  std::shared_ptr<const loran::CoverageGrid> Grid(const std::vector<loran::LopPair>& lops) const;

  const Options& options_;
  const RunSetup& setup_;
  const loran::Catalogue& catalogue_;
  bool json_ = false;
  std::size_t fieldCount_ = 0;
  long headerLine_ = 0;
  std::vector<loran::LopPair> lops_;  // given once
  std::vector<std::string> lopNames_;
  std::vector<Column> lopColumns_, tdColumns_, weightColumns_, startColumns_, positionColumns_;
  std::vector<Column> offsetColumns_;
  std::vector<Column> keep_;
  bool keepAll_ = true;
  Column name_;
  bool nearGiven_ = false;
  loran::GeoPoint near_;
  std::unique_ptr<loran::CoverageCache> cache_;
  std::shared_ptr<const loran::CoverageGrid> grid_;  // of the LOPs given once
  Column trackColumn_;
  // --track: the last good fix of each track (rows are converted in order).
  mutable loran::TrackStarts track_;
  std::size_t otherColumn_ = 0, completedColumn_ = 0, startColumn_ = 0;
  std::vector<std::string> passNames_;
  std::vector<std::string> resultNames_;
  std::size_t accuracyColumn_ = 0;  // fix: ellipse_major_m, then minor, azimuth, drms2
  int datumColumn_ = -1;            // the datum column, -1 on WGS 84
  std::size_t asfColumn_ = 0;       // --asf model: the first asf_us_ column
  std::vector<std::string> warnings_;
};

}  // namespace kestrune::convert
