// Tables of rows through the front door.
//
// Notation:
//   n          LOPs of a row, 2 to 7 (fix) or 1 to 7 (predict)
//   k          LOP number, 1 to n in texts, 0 to n - 1 in code; a row's LOPs
//              sit in slots (the LOP columns), and a blank LOP cell leaves
//              its slot and that slot's TD column unused
//   td, w, o   observed TD (us), weight (0 to 1) and ASF offset (us) of a LOP
// Degrees become radians as the window converts typed degrees, deg * pi /
// 180, and radians degrees as it shows them, so that every figure agrees
// with the window's and the converter's to the bit.
#include "loran/table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "loran/datum.hpp"
#include "loran/logbook_cells.hpp"
#include "loran/prediction.hpp"
#include "loran/row_fix.hpp"
#include "platform/runtime_fault.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune::loran {

namespace {

using constants::kPi;
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

LogbookCell CellAt(const Cells* c, std::size_t row) {
  if (c == nullptr) return {};
  return c->isText ? LogbookCell::Text(&c->texts[row]) : LogbookCell::Number(c->numbers[row]);
}

// The datum of the positions of a table: none for WGS 84.
struct TableDatum {
  bool ed50 = false;
  int epsg = 0;
  const Datum& At(GeoPoint wgs84) const { return epsg != 0 ? *Ed50(epsg) : Ed50At(wgs84); }
  GeoPoint ToWgs84(GeoPoint read) const { return ed50 ? loran::ToWgs84(At(read), read) : read; }
  GeoPoint FromWgs84(GeoPoint p) const { return ed50 ? loran::FromWgs84(At(p), p) : p; }
};

struct Position {
  GeoPoint at;  // radians, WGS 84
  double latDeg = 0.0;
  double lonDeg = 0.0;
};
// A position as read (degrees on the table's datum) and on WGS 84.
std::optional<Position> ReadPosition(const LogbookCell& lat, const LogbookCell& lon,
                                     const TableOptions& o, const TableDatum& datum,
                                     std::string& error) {
  const CoordinateRead a = ReadCoordinate(lat, true, o.decimal, o.textCoordinates);
  const CoordinateRead b = ReadCoordinate(lon, false, o.decimal, o.textCoordinates);
  if (!a.error.empty() || !b.error.empty()) {
    error = a.error.empty() ? b.error : a.error;
    return std::nullopt;
  }
  const GeoPoint read{a.degrees * kPi / 180, b.degrees * kPi / 180};
  return Position{datum.ToWgs84(read), a.degrees, b.degrees};
}

double NormalLongitude(double deg) {
  while (deg >= 180.0) deg -= 360.0;
  while (deg < -180.0) deg += 360.0;
  return deg;
}

const Cells* Column(std::span<const Cells> input, const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    for (const Cells& c : input) {
      if (Lower(c.name) == Lower(n)) return &c;
    }
  }
  return nullptr;
}

const Cells* Required(std::span<const Cells> input, const std::string& name, const char* what) {
  const Cells* c = Column(input, {name});
  if (!c) throw std::invalid_argument("no column named '" + name + "' (" + what + ")");
  return c;
}

// The columns of a table, found once.
struct Layout {
  std::size_t rows = 0;
  std::vector<LopPair> lops;  // given once
  std::vector<const Cells*> lopColumns, tdColumns, weightColumns, offsetColumns;
  const Cells* lat = nullptr;  // the start (fix) or the position
  const Cells* lon = nullptr;
  const Cells* track = nullptr;     // the track of each row, when grouped
  std::vector<std::string> suffix;  // of the result columns, by slot
  std::vector<double> offsets;      // us, by secondary station index
  TableDatum datum;
  std::optional<GeoPoint> near;  // WGS 84: the start given once
  std::size_t Slots() const { return lops.empty() ? lopColumns.size() : lops.size(); }
};

enum class Command { kFix, kPredict, kCalibrate };

std::size_t CheckedRows(std::span<const Cells> input) {
  if (input.empty()) return 0;
  const std::size_t rows = input.front().Size();
  for (const Cells& c : input) {
    if (c.Size() != rows) {
      throw std::invalid_argument("column '" + c.name + "' has " + std::to_string(c.Size()) +
                                  " rows, '" + input.front().name + "' " + std::to_string(rows));
    }
  }
  return rows;
}

std::string PairName(const Catalogue& catalogue, LopPair p) {
  return LopName(catalogue, Lop{p.master, p.secondary, 0.0, 1.0});
}

void FindLops(const Catalogue& catalogue, std::span<const Cells> input, const TableOptions& options,
              Command command, Layout& l) {
  for (const std::string& name : options.lops) {
    const LopRead f = ReadLop(catalogue, name);
    if (!f.error.empty()) throw std::invalid_argument("lops: " + f.error);
    l.lops.push_back(f.pair);
    l.suffix.push_back(PairName(catalogue, f.pair));
  }
  if (options.lops.empty()) {
    for (int k = 1; k <= constants::kMaxTableLops; ++k) {
      const Cells* c = Column(input, {"lop" + std::to_string(k)});
      if (!c) break;
      l.lopColumns.push_back(c);
      l.suffix.push_back(std::to_string(k));
    }
  }
  const std::size_t least = command == Command::kPredict ? 1 : 2;
  const std::size_t n = l.Slots();
  if (n < least || n > static_cast<std::size_t>(constants::kMaxTableLops)) {
    throw std::invalid_argument(
        options.lops.empty() ? "no LOPs: give lops=[\"9007W\", ...] or columns lop1, lop2, ..."
                             : "lops needs " + std::to_string(least) + " to 7 LOPs");
  }
}

void FindTds(std::span<const Cells> input, const TableOptions& options, Layout& l) {
  const std::size_t n = l.Slots();
  if (!options.tdColumns.empty() && options.tdColumns.size() != n) {
    throw std::invalid_argument("td_cols names " + std::to_string(options.tdColumns.size()) +
                                " columns for " + std::to_string(n) + " LOPs");
  }
  for (std::size_t k = 0; k < n; ++k) {
    const std::string number = std::to_string(k + 1);
    std::vector<std::string> names{"td" + number};
    if (!options.tdColumns.empty()) names = {options.tdColumns[k]};
    if (options.tdColumns.empty() && !l.lops.empty()) names.insert(names.begin(), l.suffix[k]);
    const Cells* c = Column(input, names);
    if (!c) {
      throw std::invalid_argument("cannot find the TD column of LOP " + number + ": name it " +
                                  (l.lops.empty() ? "" : l.suffix[k] + " or ") + "td" + number +
                                  ", or give td_cols");
    }
    l.tdColumns.push_back(c);
  }
}

// Columns named by the options (each required), else `stem`1 to `stem`n
// where present; `what` names them in messages.
std::vector<const Cells*> PerLop(std::span<const Cells> input,
                                 const std::vector<std::string>& named, std::size_t n,
                                 const std::string& stem, const char* what) {
  if (!named.empty() && named.size() != n) {
    throw std::invalid_argument(stem + "_cols names " + std::to_string(named.size()) +
                                " columns for " + std::to_string(n) + " LOPs");
  }
  std::vector<const Cells*> out;
  for (std::size_t k = 0; k < n; ++k) {
    out.push_back(named.empty() ? Column(input, {stem + std::to_string(k + 1)})
                                : Required(input, named[k], what));
  }
  return out;
}

void FindStart(std::span<const Cells> input, const TableOptions& options, Layout& l) {
  if (options.start) l.near = l.datum.ToWgs84(*options.start);
  if (!options.trackBy.empty()) l.track = Required(input, options.trackBy, "track");
  if (!options.startColumns.empty()) {
    if (options.startColumns.size() != 2) {
      throw std::invalid_argument("start_cols names a latitude and a longitude column");
    }
    l.lat = Required(input, options.startColumns[0], "start");
    l.lon = Required(input, options.startColumns[1], "start");
    return;
  }
  // As the converter: the default start columns only without a start given
  // once, and only both together.
  if (options.start) return;
  l.lat = Column(input, {"start_lat", "est_lat"});
  l.lon = Column(input, {"start_lon", "est_lon"});
  if (!l.lat || !l.lon) l.lat = l.lon = nullptr;
}

Layout FindLayout(const Catalogue& catalogue, std::span<const Cells> input,
                  const TableOptions& options, Command command) {
  Layout l;
  l.rows = CheckedRows(input);
  if (options.ed50Epsg != 0 && Ed50(options.ed50Epsg) == nullptr) {
    throw std::invalid_argument("the ED50 transformations are 1612, 1613, 1311, 1133");
  }
  l.datum = TableDatum{options.ed50, options.ed50Epsg};
  FindLops(catalogue, input, options, command, l);
  const std::size_t n = l.Slots();
  if (command != Command::kPredict) FindTds(input, options, l);
  if (command != Command::kCalibrate) {
    l.offsetColumns = PerLop(input, options.offsetColumns, n, "offset", "offset");
  }
  if (command == Command::kFix) {
    l.weightColumns = PerLop(input, options.weightColumns, n, "weight", "weight");
    FindStart(input, options, l);
  } else {
    l.lat = Column(input, {"lat", "latitude"});
    l.lon = Column(input, {"lon", "long", "longitude"});
    if (!l.lat || !l.lon) {
      throw std::invalid_argument("cannot find the position columns: name them lat and lon");
    }
  }
  l.offsets.assign(static_cast<std::size_t>(catalogue.Size()), 0.0);
  for (const auto& [name, offset] : options.offsets) {
    const std::optional<Lop> lop = LopNamed(catalogue, name);
    if (!lop) throw std::invalid_argument("offsets: no station " + name);
    l.offsets[static_cast<std::size_t>(lop->secondary)] = offset;
  }
  return l;
}

bool ReadLopsOfRow(const Catalogue& catalogue, const Layout& l, std::size_t row, std::size_t least,
                   RowLops& lops, std::string& status) {
  std::vector<LogbookCell> cells;
  for (const Cells* c : l.lopColumns) cells.push_back(CellAt(c, row));
  return ReadRowLops(catalogue, l.lops, cells, least, lops, status);
}

// The offsets of a row's LOPs: its offset cells, else those given by name.
bool RowOffsets(const Layout& l, std::size_t row, const RowLops& lops, text::DecimalMark mark,
                std::vector<double>& offsets, std::string& status) {
  offsets.clear();
  for (std::size_t k = 0; k < lops.pairs.size(); ++k) {
    const std::size_t slot = lops.slots[k];
    std::optional<double> cell;
    const Cells* c = slot < l.offsetColumns.size() ? l.offsetColumns[slot] : nullptr;
    if (!ReadOffsetCell(CellAt(c, row), static_cast<int>(slot) + 1, mark, cell, status)) {
      return false;
    }
    offsets.push_back(cell ? *cell : l.offsets[static_cast<std::size_t>(lops.pairs[k].secondary)]);
  }
  return true;
}

ResultColumn Numbers(std::string name, std::size_t rows) {
  return ResultColumn{std::move(name), false, std::vector<double>(rows, kNoValue), {}};
}
ResultColumn Texts(std::string name, std::size_t rows) {
  return ResultColumn{std::move(name), true, {}, std::vector<std::string>(rows)};
}

// The fix table's columns in the converter's order; the last four are
// other_crossing_km, completed, start and status.
enum FixColumn { kLat, kLon, kLatText, kLonText, kKind, kPasses, kGdop, kFirstResidual };

std::vector<ResultColumn> FixColumns(const Layout& l) {
  const std::size_t r = l.rows;
  std::vector<ResultColumn> out{Numbers("fix_lat", r),    Numbers("fix_lon", r),
                                Texts("fix_lat_text", r), Texts("fix_lon_text", r),
                                Texts("fix_kind", r),     Numbers("passes", r),
                                Numbers("gdop_at_fix", r)};
  for (const std::string& s : l.suffix) out.push_back(Numbers("residual_" + s, r));
  for (const char* name :
       {"ellipse_major_m", "ellipse_minor_m", "ellipse_azimuth_deg", "drms2_m"}) {
    out.push_back(Numbers(name, r));
  }
  if (l.datum.ed50) out.push_back(Texts("datum", r));
  out.push_back(Numbers("other_crossing_km", r));
  out.push_back(Texts("completed", r));
  out.push_back(Texts("start", r));
  out.push_back(Texts("status", r));
  return out;
}

// Where the columns after the residuals sit.
struct FixTail {
  std::size_t accuracy, datum, other, completed, start;
  explicit FixTail(const std::vector<ResultColumn>& out, std::size_t lops)
      : accuracy(kFirstResidual + lops),
        datum(accuracy + 4),
        other(out.size() - 4),
        completed(out.size() - 3),
        start(out.size() - 2) {}
};

// The figures of a row's fix, as the converter writes them.
void WriteFix(const RowFix& fix, const Layout& l, const std::vector<std::size_t>& slots,
              std::size_t row, std::vector<ResultColumn>& out) {
  const FixTail at(out, l.suffix.size());
  if (fix.passes > 0 || fix.kind == FixKind::kLeastSquares) out[kPasses].numbers[row] = fix.passes;
  if (!fix.positioned) return;
  const GeoPoint shown = l.datum.FromWgs84(fix.fix);
  const double lat = constants::Degrees(shown.lat);
  const double lon = constants::Degrees(shown.lon);
  // The window's texts first: a position its text cannot show is its fault.
  std::string latText = text::FormatLatLon(lat, "LAT", constants::kPositionTextDecimals, '.');
  std::string lonText = text::FormatLatLon(lon, "LON", constants::kPositionTextDecimals, '.');
  out[kLatText].texts[row] = std::move(latText);
  out[kLonText].texts[row] = std::move(lonText);
  out[kLat].numbers[row] = lat;
  out[kLon].numbers[row] = NormalLongitude(lon);
  if (l.datum.ed50) out[at.datum].texts[row] = l.datum.At(fix.fix).source;
  out[kKind].texts[row] = fix.kind == FixKind::kTwoLop ? "two-lop" : "lsq";
  if (fix.gdop > 0.0) out[kGdop].numbers[row] = fix.gdop;
  for (std::size_t k = 0; k < slots.size() && k < fix.residuals.size(); ++k) {
    out[kFirstResidual + slots[k]].numbers[row] = fix.residuals[k];
  }
  if (fix.otherCrossing) out[at.other].numbers[row] = *fix.otherCrossing / 1000.0;
  if (fix.accuracy) {
    const ErrorEllipse& e = fix.accuracy->ellipse95;
    const double values[] = {e.semiMajor, e.semiMinor, constants::Degrees(e.azimuth),
                             fix.accuracy->drms2};
    for (std::size_t i = 0; i < std::size(values); ++i)
      out[at.accuracy + i].numbers[row] = values[i];
  }
}

// What fixing a table's rows shares: the grids of its LOP sets and the tracks.
struct FixRun {
  const Catalogue& catalogue;
  const Layout& layout;
  const TableOptions& options;
  CoverageCache cache;
  std::shared_ptr<const CoverageGrid> grid;  // of the LOPs given once
  TrackStarts tracks;
};

// A row's TDs, weights and offsets as read; false with `status` set.
struct RowReading {
  RowLops lops;
  std::vector<Lop> read;  // observed TD and weight by LOP
  std::vector<text::StrictNumber> typed;
  std::vector<double> offsets;
};
bool ReadFixRow(const FixRun& run, std::size_t row, RowReading& r, std::string& status) {
  const Layout& l = run.layout;
  if (!ReadLopsOfRow(run.catalogue, l, row, 2, r.lops, status)) return false;
  for (std::size_t k = 0; k < r.lops.pairs.size(); ++k) {
    const std::size_t slot = r.lops.slots[k];
    const int number = static_cast<int>(slot) + 1;
    const auto td = ReadTd(CellAt(l.tdColumns[slot], row), number, run.options.decimal, status);
    if (!td) return false;
    r.typed.push_back(*td);
    Lop lop{r.lops.pairs[k].master, r.lops.pairs[k].secondary, td->value, 1.0};
    if (!ReadWeight(CellAt(l.weightColumns[slot], row), number, run.options.decimal, lop.weight,
                    status)) {
      return false;
    }
    r.read.push_back(lop);
  }
  return RowOffsets(l, row, r.lops, run.options.decimal, r.offsets, status);
}

std::string TrackKey(const Layout& l, std::size_t row) {
  const LogbookCell c = CellAt(l.track, row);
  return l.track ? c.Shown() : std::string();
}

// Row `row` of a fix table into `out`: read, start chosen, digits completed,
// fixed by FixRow; its status last.
void FixOneRow(FixRun& run, std::size_t row, std::vector<ResultColumn>& out) {
  const Layout& l = run.layout;
  std::string& status = out.back().texts[row];
  RowReading r;
  if (!ReadFixRow(run, row, r, status)) return;
  std::optional<GeoPoint> cells;
  const LogbookCell lat = CellAt(l.lat, row);
  const LogbookCell lon = CellAt(l.lon, row);
  if (!lat.Blank() || !lon.Blank()) {
    std::string error;
    const auto p = ReadPosition(lat, lon, run.options, l.datum, error);
    if (!p) {
      status = "start " + error;
      return;
    }
    cells = p->at;
  }
  const RowStart start = ChooseStart(cells, run.options.track ? &run.tracks : nullptr,
                                     TrackKey(l, row), "row", l.near);
  const FixTail at(out, l.suffix.size());
  out[at.start].texts[row] = start.text;
  if (run.options.completeDigits && start.start) {
    const std::optional<std::string> completed = CompleteRowDigits(
        run.catalogue, r.read, r.typed, r.offsets, r.lops.slots, *start.start, status);
    if (!completed) return;
    out[at.completed].texts[row] = *completed;
  }
  RowFixInput in{r.read,
                 r.offsets,
                 {},
                 start.start,
                 start.source,
                 run.options.tdSigma,
                 run.options.residualSigma};
  for (const std::size_t slot : r.lops.slots) in.numbers.push_back(static_cast<int>(slot) + 1);
  const std::shared_ptr<const CoverageGrid> grid =
      run.grid ? run.grid : run.cache.Grid(r.lops.pairs);
  const RowFix fix = FixRow(run.catalogue, *grid, in);
  WriteFix(fix, l, r.lops.slots, row, out);
  status = fix.status.empty() ? "ok" : fix.status;
  if (run.options.track && fix.status.empty() && fix.positioned) {
    run.tracks.Record(TrackKey(l, row), {fix.fix, static_cast<long>(row) + 1});
  }
}

// Runs `each(first, last)` over the rows in chunks on the machine's cores.
template <class Each>
void OverRows(std::size_t rows, Each each) {
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads =
      std::min(cores, rows / static_cast<std::size_t>(constants::kRowsPerThread) + 1);
  const std::size_t chunk = (rows + threads - 1) / std::max<std::size_t>(threads, 1);
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    helpers.emplace_back(each, std::min(rows, t * chunk), std::min(rows, (t + 1) * chunk));
  }
  each(std::size_t{0}, std::min(rows, chunk));
  for (std::thread& h : helpers) h.join();
}

// A row's conversion, its faults as its status.
template <class Convert>
void Guarded(Convert convert, std::size_t row, std::vector<ResultColumn>& out) {
  try {
    convert();
  } catch (const RuntimeFault& f) {
    out.back().texts[row] = f.what();
  } catch (const std::exception& e) {
    out.back().texts[row] = std::string("internal error: ") + e.what();
  }
}

}  // namespace

void SetDatum(const std::string& datum, TableOptions& options) {
  const std::string code = datum.rfind("ED50:", 0) == 0 ? datum.substr(5) : "";
  options.ed50 = datum == "ED50" || !code.empty();
  options.ed50Epsg = 0;
  if (!code.empty()) {
    const auto r = std::from_chars(code.data(), code.data() + code.size(), options.ed50Epsg);
    if (r.ec != std::errc() || r.ptr != code.data() + code.size() ||
        Ed50(options.ed50Epsg) == nullptr) {
      throw std::invalid_argument("datum " + datum +
                                  ": the ED50 transformations are 1612, 1613, 1311, 1133");
    }
  }
  if (!options.ed50 && datum != "WGS84") {
    throw std::invalid_argument("datum must be WGS84, ED50 or ED50:EPSG, not '" + datum + "'");
  }
}

std::vector<ResultColumn> FixTable(const Catalogue& catalogue, std::span<const Cells> input,
                                   const TableOptions& options) {
  if (!(options.residualSigma > 0.0)) {
    throw std::invalid_argument("residual_sigma must be > 0 microseconds");
  }
  const Layout l = FindLayout(catalogue, input, options, Command::kFix);
  std::vector<ResultColumn> out = FixColumns(l);
  FixRun run{catalogue, l, options, CoverageCache(catalogue), nullptr, {}};
  if (!l.lops.empty()) run.grid = run.cache.Grid(l.lops);  // before the threads start
  auto rows = [&](std::size_t first, std::size_t last) {
    for (std::size_t row = first; row < last; ++row) {
      Guarded([&] { FixOneRow(run, row, out); }, row, out);
    }
  };
  // A track takes each row's start from the fix before it: one thread, in order.
  if (options.track) {
    rows(0, l.rows);
  } else {
    OverRows(l.rows, rows);
  }
  return out;
}

namespace {

void PredictRow(const Catalogue& catalogue, const Layout& l, const TableOptions& options,
                std::size_t row, std::vector<ResultColumn>& out) {
  std::string& status = out.back().texts[row];
  RowLops lops;
  std::vector<double> offsets;
  const std::size_t n = l.Slots();
  if (!ReadLopsOfRow(catalogue, l, row, 1, lops, status) ||
      !RowOffsets(l, row, lops, options.decimal, offsets, status)) {
    return;
  }
  const auto p = ReadPosition(CellAt(l.lat, row), CellAt(l.lon, row), options, l.datum, status);
  if (!p) return;
  std::string latText = text::FormatLatLon(p->latDeg, "LAT", constants::kPositionTextDecimals, '.');
  std::string lonText = text::FormatLatLon(p->lonDeg, "LON", constants::kPositionTextDecimals, '.');
  out[2].texts[row] = std::move(latText);
  out[3].texts[row] = std::move(lonText);
  out[0].numbers[row] = p->latDeg;
  out[1].numbers[row] = NormalLongitude(p->lonDeg);
  if (l.datum.ed50) out[out.size() - 2].texts[row] = l.datum.At(p->at).source;
  for (std::size_t k = 0; k < lops.pairs.size(); ++k) {
    const PairPrediction pp =
        PredictPair(catalogue, p->at, lops.pairs[k].master, lops.pairs[k].secondary);
    out[4 + lops.slots[k]].numbers[row] = pp.td + offsets[k];
    out[4 + n + lops.slots[k]].numbers[row] = pp.direction.gradient;
  }
  status = "ok";
}

}  // namespace

std::vector<ResultColumn> PredictTable(const Catalogue& catalogue, std::span<const Cells> input,
                                       const TableOptions& options) {
  const Layout l = FindLayout(catalogue, input, options, Command::kPredict);
  const std::size_t r = l.rows;
  std::vector<ResultColumn> out{Numbers("pos_lat", r), Numbers("pos_lon", r),
                                Texts("pos_lat_text", r), Texts("pos_lon_text", r)};
  for (const std::string& s : l.suffix) out.push_back(Numbers("td_" + s, r));
  for (const std::string& s : l.suffix) out.push_back(Numbers("gradient_" + s, r));
  if (l.datum.ed50) out.push_back(Texts("datum", r));
  out.push_back(Texts("status", r));
  OverRows(r, [&](std::size_t first, std::size_t last) {
    for (std::size_t row = first; row < last; ++row) {
      Guarded([&] { PredictRow(catalogue, l, options, row, out); }, row, out);
    }
  });
  return out;
}

namespace {

// A known point of row `row`; false with `status` set.
bool KnownRow(const Catalogue& catalogue, const Layout& l, const TableOptions& options,
              std::size_t row, KnownPoint& point, std::string& status) {
  RowLops lops;
  if (!ReadLopsOfRow(catalogue, l, row, 1, lops, status)) return false;
  const auto p = ReadPosition(CellAt(l.lat, row), CellAt(l.lon, row), options, l.datum, status);
  if (!p) return false;
  point.position = p->at;
  point.observed.assign(l.Slots(), std::nullopt);
  bool any = false;
  for (const std::size_t slot : lops.slots) {
    const LogbookCell td = CellAt(l.tdColumns[slot], row);
    if (td.Blank()) continue;  // that LOP was not read here
    const auto value = ReadTd(td, static_cast<int>(slot) + 1, options.decimal, status);
    if (!value) return false;
    point.observed[slot] = value->value;
    any = true;
  }
  if (!any) status = "no TD";
  return any;
}

}  // namespace

TableCalibration CalibrateTable(const Catalogue& catalogue, std::span<const Cells> input,
                                const TableOptions& options) {
  if (options.lops.empty()) throw std::invalid_argument("calibrate needs lops=[\"9007W\", ...]");
  const Layout l = FindLayout(catalogue, input, options, Command::kCalibrate);
  TableCalibration t;
  t.lopNames = l.suffix;
  std::vector<Lop> lops;
  for (const LopPair& p : l.lops) lops.push_back(Lop{p.master, p.secondary, 0.0, 1.0});
  std::vector<KnownPoint> points;
  std::vector<std::size_t> rowOf;
  for (std::size_t row = 0; row < l.rows; ++row) {
    KnownPoint point;
    std::string status;
    if (KnownRow(catalogue, l, options, row, point, status)) {
      points.push_back(point);
      rowOf.push_back(row);
    }
    t.rowStatus.push_back(status.empty() ? "ok" : status);
  }
  // Points unfit to calibrate from are left out, each with its reason.
  const std::vector<std::string> problems =
      ScreenKnownPoints(catalogue, lops, points, options.tdSigma);
  std::vector<KnownPoint> kept;
  for (std::size_t p = 0; p < points.size(); ++p) {
    if (problems[p].empty()) {
      kept.push_back(points[p]);
    } else {
      t.rowStatus[rowOf[p]] = problems[p];
    }
  }
  if (kept.empty()) throw std::invalid_argument("no known point to calibrate from");
  t.result = Calibrate(catalogue, lops, kept);
  t.helps = CalibrationHelps(t.result);
  for (std::size_t i = 0; i < lops.size(); ++i) {
    const LopCalibration& c = t.result.lops[i];
    t.offsets.push_back(
        {lops[i].master, lops[i].secondary, t.lopNames[i], c.offset, c.stddev, c.rows});
  }
  t.area = CalibrationArea{t.result.centre, t.result.radius, static_cast<int>(kept.size())};
  return t;
}

namespace {

// A regular file of at most kMaxCatalogueFileBytes, whole.
std::string SmallFile(const std::string& path, const char* what) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw std::invalid_argument(std::string(what) + " '" + path + "': not a regular file");
  }
  if (std::filesystem::file_size(path, ec) >
      static_cast<std::uintmax_t>(constants::kMaxCatalogueFileBytes)) {
    throw std::invalid_argument(std::string(what) + " '" + path + "': too large for one");
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw std::invalid_argument(std::string("cannot read the ") + what + " '" + path + "'");
  return text.str();
}

}  // namespace

std::vector<std::pair<std::string, double>> OffsetsFromFile(const std::string& path,
                                                            const Catalogue& catalogue) {
  const CalibrationRead read = ReadCalibrationText(SmallFile(path, "calibration file"), catalogue);
  if (!read.error.empty()) throw std::invalid_argument(path + ": " + read.error);
  std::vector<std::pair<std::string, double>> offsets;
  for (const CalibrationOffset& o : read.offsets) offsets.emplace_back(o.name, o.offset);
  return offsets;
}

Catalogue CatalogueFromFile(const std::string& path, std::optional<Date> date) {
  const CatalogueRead read = ReadCatalogueText(SmallFile(path, "catalogue"));
  if (!read.error.empty()) throw std::invalid_argument(path + ": " + read.error);
  Catalogue c = SelectCatalogue(read.chains, date);
  if (c.Size() == 0) throw std::invalid_argument(path + ": no chain on air on that date");
  return c;
}

}  // namespace kestrune::loran
