// Reading the cells of a logbook row: LOP names, TDs, weights, ASF offsets,
// coordinates and the start, each strictly, with the status a row gets when
// a cell cannot be read; the completion of TDs typed without their leading
// digits; the last good fix of each track. The converter reads its CSV and
// JSON fields through these, the R and Python tables their columns, so one
// cell gives one value and one status whichever front end reads it.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/coverage.hpp"
#include "loran/row_fix.hpp"
#include "loran/types.hpp"
#include "util/strict_number.hpp"

namespace kestrune::loran {

// One cell: none or blank, a text to read, or a number a table holds already
// (NaN: blank). Number cells are read as their shortest decimal text with a
// point, whatever decimal mark the texts use.
struct LogbookCell {
  const std::string* text = nullptr;  // a text cell; nullptr: none, or a number
  bool isNumber = false;
  double number = 0.0;

  static LogbookCell Text(const std::string* t) { return LogbookCell{t, false, 0.0}; }
  static LogbookCell Number(double v) { return LogbookCell{nullptr, true, v}; }
  bool Blank() const;
  // The cell as a status quotes it (before QuotedCell).
  std::string Shown() const;
  // The cell read as a number of `format`; none for a blank cell or a text
  // that is no such number.
  std::optional<text::StrictNumber> Read(const text::StrictNumberFormat& format) const;
};

// 'text' as a status quotes it: at most constants::kQuotedCellBytes bytes,
// cut before a character rather than inside one, so the status stays UTF-8.
std::string QuotedCell(const std::string& text);

// "9007W", "9007-W", "9007/W", "9007 w": that chain's master and secondary;
// `error` ("LOP unreadable: '...'", "no station 9007V") when there is none.
struct LopRead {
  LopPair pair;
  std::string error;
};
LopRead ReadLop(const Catalogue& catalogue, const std::string& text);

// The LOPs of a row, and the slot (LOP column, 0-based) of each: `given`
// when LOPs are given once, else the non-blank cells of `cells` (a blank
// cell leaves its slot, and its TD column, unused). False with `status` set
// when a LOP cannot be read or there are fewer than `least` (1 or 2).
struct RowLops {
  std::vector<LopPair> pairs;
  std::vector<std::size_t> slots;
};
bool ReadRowLops(const Catalogue& catalogue, std::span<const LopPair> given,
                 std::span<const LogbookCell> cells, std::size_t least, RowLops& lops,
                 std::string& status);

// The TD (us) of LOP number `number` (1-based, as statuses show it), with
// the text it was read from; empty with "TD 2 missing" or "TD 2 unreadable:
// '...'" in `status`.
std::optional<text::StrictNumber> ReadTd(const LogbookCell& cell, int number,
                                         text::DecimalMark mark, std::string& status);

// The weight (0 to 1; 1 for a blank cell) of LOP number `number`, held in
// 32 bits as the window holds it; false with `status` set.
bool ReadWeight(const LogbookCell& cell, int number, text::DecimalMark mark, double& weight,
                std::string& status);

// A per-row ASF offset (us) of LOP number `number`; empty for a blank cell,
// false with `status` set for an unreadable one.
bool ReadOffsetCell(const LogbookCell& cell, int number, text::DecimalMark mark,
                    std::optional<double>& offset, std::string& status);

// A latitude or longitude in decimal degrees, or why it cannot be read:
// "latitude missing", "latitude unreadable: 'S' (no digit)", "longitude
// '200' beyond ±180°". A plain number is decimal degrees unless `textOnly`;
// any other text goes to the window's coordinate reader.
struct CoordinateRead {
  double degrees = 0.0;
  std::string error;
};
CoordinateRead ReadCoordinate(const LogbookCell& cell, bool lat, text::DecimalMark mark,
                              bool textOnly);

// Completes the TDs of `lops` (observed TDs as read, `typed` the texts they
// were read from, `offsets` us by LOP) whose leading digits were left off,
// from the predictions at `start` (radians). Returns the LOP numbers
// completed ("1 3"), or empty with `status` set ("ambiguous completion: TD
// 2 493.0 or 1493.0") when a completion is not clear.
std::optional<std::string> CompleteRowDigits(const Catalogue& catalogue, std::vector<Lop>& lops,
                                             std::span<const text::StrictNumber> typed,
                                             std::span<const double> offsets,
                                             std::span<const std::size_t> slots, GeoPoint start,
                                             std::string& status);

// The last good fix of each track (a grouping cell's text, or "" for one
// track), the start of the track's next row. Safe from several threads, but
// a track's rows must be fixed in order for it to mean anything.
class TrackStarts {
 public:
  struct Point {
    GeoPoint at;     // radians, WGS 84
    long where = 0;  // the line or row number of the fix, as the front end counts
  };
  std::optional<Point> Last(const std::string& track) const;
  void Record(const std::string& track, Point p);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Point> last_;
};

// A row's start, in the order the front ends take it: the row's own start
// cells (both blank fall back as if absent), the track's last good fix, the
// start given once, else none (the crossing search).
struct RowStart {
  std::optional<GeoPoint> start;  // radians, WGS 84
  StartSource source = StartSource::kSearch;
  // What the `start` column says: "start columns", "track line 12" (the
  // front end's word for where, and the number), "near" or "search".
  std::string text = "search";
};
// cellStart: the row's start cells as read and on WGS 84, when they are not
// both blank; track: with `key`, when rows follow tracks; near: given once.
RowStart ChooseStart(const std::optional<GeoPoint>& cellStart, const TrackStarts* track,
                     const std::string& key, const char* trackWord,
                     const std::optional<GeoPoint>& near);

}  // namespace kestrune::loran
