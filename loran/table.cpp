// Tables of rows through the front door.
//
// Notation:
//   n          LOPs of a row, 2 to 7 (fix) or 1 to 7 (predict)
//   k          LOP number, 1 to n in texts, 0 to n - 1 in code; a row's LOPs
//              sit in slots (the LOP columns), and a blank LOP cell leaves
//              its slot and that slot's TD column unused
//   td, w, o   observed TD (us), weight (0 to 1, held in 32 bits as the
//              window holds it) and ASF offset (us) of a LOP
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
#include <sstream>
#include <stdexcept>
#include <thread>

#include "loran/datum.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
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

bool BlankText(const std::string& s) {
  return s.find_first_not_of(" \t") == std::string::npos;
}

// A cell as a status quotes it: at most kQuotedCellBytes bytes.
std::string Quoted(const std::string& s) {
  const auto most = static_cast<std::size_t>(constants::kQuotedCellBytes);
  return "'" + (s.size() > most ? s.substr(0, most) + "..." : s) + "'";
}

std::string Shortest(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

// One cell: blank, a number, or a text to read.
struct Cell {
  bool blank = true;
  const std::string* text = nullptr;  // a text cell
  double number = 0.0;                // a number cell
  std::string Shown() const { return text ? *text : Shortest(number); }
};

Cell CellAt(const Cells* c, std::size_t row) {
  if (c == nullptr) return {};
  if (c->isText) {
    const std::string& t = c->texts[row];
    return BlankText(t) ? Cell{} : Cell{false, &t, 0.0};
  }
  const double v = c->numbers[row];
  return std::isnan(v) ? Cell{} : Cell{false, nullptr, v};
}

// A number cell read strictly; none when the text is no number of the format
// or the value is not finite.
std::optional<double> NumberOf(const Cell& c, const text::StrictNumberFormat& format) {
  if (!c.text) return std::isfinite(c.number) ? std::optional<double>(c.number) : std::nullopt;
  const auto n = text::ReadStrictNumber(*c.text, format);
  if (!n || !std::isfinite(n->value)) return std::nullopt;
  return n->value;
}

// A latitude or longitude in degrees, or why it cannot be read: decimal
// degrees, else a coordinate text as the window reads it.
struct Coordinate {
  double degrees = 0.0;
  std::string error;
};
Coordinate ReadCoordinate(const Cell& c, bool lat, text::DecimalMark mark) {
  const std::string what = lat ? "latitude" : "longitude";
  if (c.blank) return {0.0, what + " missing"};
  const double limit = lat ? constants::kMaxLatitude : constants::kMaxLongitude;
  std::optional<double> n;
  if (c.text) {
    const auto strict = text::ReadStrictNumber(*c.text, {mark, false, {}});
    if (strict) n = strict->value;
  } else {
    n = c.number;
  }
  if (n) {
    if (!(std::fabs(*n) <= limit)) {
      return {0.0, what + " " + Quoted(c.Shown()) + " beyond \xC2\xB1" + (lat ? "90" : "180") +
                       "\xC2\xB0"};
    }
    return {*n, {}};
  }
  const text::ParsedCoordinate p = text::ParseLatLon(*c.text, lat ? "LAT" : "LON");
  if (!p.messages.empty()) {
    return {0.0, what + " unreadable: " + Quoted(*c.text) + " (" + p.messages[0] + ")"};
  }
  return {p.value, {}};
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
std::optional<Position> ReadPosition(const Cell& lat, const Cell& lon, text::DecimalMark mark,
                                     const TableDatum& datum, std::string& error) {
  const Coordinate a = ReadCoordinate(lat, true, mark);
  const Coordinate b = ReadCoordinate(lon, false, mark);
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

// "9007W", "9007-W", "9007 w": the master and secondary of that chain.
struct LopLookup {
  Lop lop;
  std::string error;
};
LopLookup FindLop(const Catalogue& catalogue, const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::size_t griStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  const std::string gri = text.substr(griStart, i - griStart);
  while (i < text.size() && (text[i] == ' ' || text[i] == '-' || text[i] == '/')) ++i;
  std::string designator;
  while (i < text.size() && text[i] != ' ') designator += text[i++];
  while (i < text.size() && text[i] == ' ') ++i;
  for (char& c : designator) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (gri.empty() || gri.size() > 5 || designator.empty() || i != text.size()) {
    return {{}, "LOP unreadable: " + Quoted(text)};
  }
  const int g = std::stoi(gri);
  const int master = catalogue.Find(g, "M");
  const int secondary = designator == "M" ? -1 : catalogue.Find(g, designator);
  if (master < 0 || secondary < 0) return {{}, "no station " + gri + designator};
  return {{static_cast<std::int16_t>(master), static_cast<std::int16_t>(secondary)}, {}};
}

const Cells* Column(std::span<const Cells> input, const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    for (const Cells& c : input) {
      if (Lower(c.name) == Lower(n)) return &c;
    }
  }
  return nullptr;
}

// The columns of a table, found once.
struct Layout {
  std::size_t rows = 0;
  std::vector<Lop> lops;  // given once
  std::vector<const Cells*> lopColumns, tdColumns, weightColumns;
  const Cells* lat = nullptr;  // the start (fix) or the position
  const Cells* lon = nullptr;
  std::vector<std::string> suffix;  // of the result columns, by slot
  std::vector<double> offsets;      // us, by secondary station index
  TableDatum datum;
  std::optional<GeoPoint> start;  // WGS 84
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

void FindLops(const Catalogue& catalogue, std::span<const Cells> input, const TableOptions& options,
              Command command, Layout& l) {
  for (const std::string& name : options.lops) {
    const LopLookup f = FindLop(catalogue, name);
    if (!f.error.empty()) throw std::invalid_argument("lops: " + f.error);
    l.lops.push_back(f.lop);
    l.suffix.push_back(LopName(catalogue, f.lop));
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

const Cells* Required(std::span<const Cells> input, const std::string& name, const char* what) {
  const Cells* c = Column(input, {name});
  if (!c) throw std::invalid_argument("no column named '" + name + "' (" + what + ")");
  return c;
}

void FindWeightsAndStart(std::span<const Cells> input, const TableOptions& options, Layout& l) {
  const std::size_t n = l.Slots();
  if (!options.weightColumns.empty() && options.weightColumns.size() != n) {
    throw std::invalid_argument("weight_cols names " +
                                std::to_string(options.weightColumns.size()) + " columns for " +
                                std::to_string(n) + " LOPs");
  }
  for (std::size_t k = 0; k < n; ++k) {
    l.weightColumns.push_back(options.weightColumns.empty()
                                  ? Column(input, {"weight" + std::to_string(k + 1)})
                                  : Required(input, options.weightColumns[k], "weight"));
  }
  if (options.start) {
    l.start = l.datum.ToWgs84(*options.start);
    return;
  }
  if (!options.startColumns.empty()) {
    if (options.startColumns.size() != 2) {
      throw std::invalid_argument("start_cols names a latitude and a longitude column");
    }
    l.lat = Required(input, options.startColumns[0], "start");
    l.lon = Required(input, options.startColumns[1], "start");
    return;
  }
  l.lat = Column(input, {"start_lat", "est_lat"});
  l.lon = Column(input, {"start_lon", "est_lon"});
  if (!l.lat || !l.lon) {
    throw std::invalid_argument(
        "no start: give start=(lat, lon) or the columns start_lat and start_lon");
  }
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
  if (command != Command::kPredict) FindTds(input, options, l);
  if (command == Command::kFix) {
    FindWeightsAndStart(input, options, l);
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

// The LOPs of a row and the slot of each; false with `status` set when a LOP
// cannot be read or there are too few.
bool RowLops(const Catalogue& catalogue, const Layout& l, std::size_t row, std::size_t least,
             std::vector<Lop>& lops, std::vector<std::size_t>& slots, std::string& status) {
  lops = l.lops;
  slots.clear();
  for (std::size_t k = 0; k < l.lops.size(); ++k) slots.push_back(k);
  if (!l.lops.empty()) return true;
  for (std::size_t k = 0; k < l.lopColumns.size(); ++k) {
    const Cell c = CellAt(l.lopColumns[k], row);
    if (c.blank) continue;
    const LopLookup f = FindLop(catalogue, c.Shown());
    if (!f.error.empty()) {
      status = f.error;
      return false;
    }
    lops.push_back(f.lop);
    slots.push_back(k);
  }
  if (lops.size() < least) {
    status = least == 2 ? "fewer than 2 LOPs" : "no LOP";
    return false;
  }
  return true;
}

// The observed TDs and weights of a row's LOPs; false with `status` set.
bool RowTds(const Layout& l, std::size_t row, const std::vector<std::size_t>& slots,
            text::DecimalMark mark, std::vector<Lop>& lops, std::string& status) {
  const text::StrictNumberFormat tdFormat{mark, true, text::MicrosecondUnits()};
  for (std::size_t k = 0; k < lops.size(); ++k) {
    const std::string number = std::to_string(slots[k] + 1);
    const Cell td = CellAt(l.tdColumns[slots[k]], row);
    if (td.blank) {
      status = "TD " + number + " missing";
      return false;
    }
    const std::optional<double> value = NumberOf(td, tdFormat);
    if (!value) {
      status = "TD " + number + " unreadable: " + Quoted(td.Shown());
      return false;
    }
    lops[k].observedTd = *value;
    lops[k].weight = 1.0;
    const Cell w = CellAt(l.weightColumns[slots[k]], row);
    if (w.blank) continue;
    const auto weight = w.text ? text::ReadStrictNumber(*w.text, {mark, false, {}})
                               : std::optional<text::StrictNumber>({w.number, "", 0});
    if (!weight) {
      status = "weight " + number + " unreadable: " + Quoted(w.Shown());
      return false;
    }
    if (!(weight->value >= 0.0 && weight->value <= 1.0)) {
      status = "weight " + number + " outside 0 to 1: " + Quoted(w.Shown());
      return false;
    }
    lops[k].weight = checked::ToFloat(weight->value);
  }
  return true;
}

ResultColumn Numbers(std::string name, std::size_t rows) {
  return ResultColumn{std::move(name), false, std::vector<double>(rows, kNoValue), {}};
}
ResultColumn Texts(std::string name, std::size_t rows) {
  return ResultColumn{std::move(name), true, {}, std::vector<std::string>(rows)};
}

// The fix table's columns in the converter's order.
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
  out.push_back(Texts("status", r));
  return out;
}

void WriteSolution(const PositionSolution& s, const Layout& l,
                   const std::vector<std::size_t>& slots, std::size_t row,
                   std::vector<ResultColumn>& out) {
  const std::size_t accuracy = kFirstResidual + l.suffix.size();
  if (s.lsq || s.fix || !s.fault) out[kPasses].numbers[row] = s.passes;
  if (!s.fix || s.atFixFault) return;
  const GeoPoint shown = l.datum.FromWgs84(*s.fix);
  const double lat = constants::Degrees(shown.lat);
  const double lon = constants::Degrees(shown.lon);
  if (l.datum.ed50) out[accuracy + 4].texts[row] = l.datum.At(*s.fix).source;
  out[kLatText].texts[row] = text::FormatLatLon(lat, "LAT", constants::kPositionTextDecimals, '.');
  out[kLonText].texts[row] = text::FormatLatLon(lon, "LON", constants::kPositionTextDecimals, '.');
  out[kLat].numbers[row] = lat;
  out[kLon].numbers[row] = NormalLongitude(lon);
  out[kKind].texts[row] = s.kind;
  if (s.gdopAtFix) out[kGdop].numbers[row] = *s.gdopAtFix;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    out[kFirstResidual + slots[k]].numbers[row] = s.residuals[k];
  }
  if (s.accuracy) {
    const ErrorEllipse& e = s.accuracy->ellipse95;
    const double values[] = {e.semiMajor, e.semiMinor, constants::Degrees(e.azimuth),
                             s.accuracy->drms2};
    for (std::size_t i = 0; i < std::size(values); ++i) out[accuracy + i].numbers[row] = values[i];
  }
}

// Row `row` of a fix table into `out`; its status last.
void FixRow(const Catalogue& catalogue, const Layout& l, const TableOptions& options,
            std::size_t row, std::vector<ResultColumn>& out) {
  std::string status;
  std::vector<Lop> lops;
  std::vector<std::size_t> slots;
  if (RowLops(catalogue, l, row, 2, lops, slots, status) &&
      RowTds(l, row, slots, options.decimal, lops, status)) {
    std::optional<GeoPoint> start = l.start;
    if (!start) {
      std::string error;
      const auto p =
          ReadPosition(CellAt(l.lat, row), CellAt(l.lon, row), options.decimal, l.datum, error);
      if (p) start = p->at;
      if (!p) status = "start " + error;
    }
    if (start) {
      SolutionRequest request{lops, {}, *start, options.tdSigma, false};
      for (const Lop& lop : lops) {
        request.offsets.push_back(l.offsets[static_cast<std::size_t>(lop.secondary)]);
      }
      const PositionSolution s = SolvePosition(catalogue, request);
      WriteSolution(s, l, slots, row, out);
      status = s.status;
    }
  }
  out.back().texts[row] = status;
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

// A row whose conversion threw something other than a run-time fault.
std::string Internal(const std::exception& e) {
  return std::string("internal error: ") + e.what();
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
  const Layout l = FindLayout(catalogue, input, options, Command::kFix);
  std::vector<ResultColumn> out = FixColumns(l);
  OverRows(l.rows, [&](std::size_t first, std::size_t last) {
    for (std::size_t row = first; row < last; ++row) {
      try {
        FixRow(catalogue, l, options, row, out);
      } catch (const RuntimeFault& f) {
        out.back().texts[row] = f.what();
      } catch (const std::exception& e) {
        out.back().texts[row] = Internal(e);
      }
    }
  });
  return out;
}

namespace {

void PredictRow(const Catalogue& catalogue, const Layout& l, const TableOptions& options,
                std::size_t row, std::vector<ResultColumn>& out) {
  std::string status;
  std::vector<Lop> lops;
  std::vector<std::size_t> slots;
  const std::size_t n = l.Slots();
  if (RowLops(catalogue, l, row, 1, lops, slots, status)) {
    const auto p =
        ReadPosition(CellAt(l.lat, row), CellAt(l.lon, row), options.decimal, l.datum, status);
    if (p) {
      if (l.datum.ed50) out[out.size() - 2].texts[row] = l.datum.At(p->at).source;
      out[2].texts[row] =
          text::FormatLatLon(p->latDeg, "LAT", constants::kPositionTextDecimals, '.');
      out[3].texts[row] =
          text::FormatLatLon(p->lonDeg, "LON", constants::kPositionTextDecimals, '.');
      out[0].numbers[row] = p->latDeg;
      out[1].numbers[row] = NormalLongitude(p->lonDeg);
      for (std::size_t k = 0; k < lops.size(); ++k) {
        const PairPrediction pp = PredictPair(catalogue, p->at, lops[k].master, lops[k].secondary);
        out[4 + slots[k]].numbers[row] =
            pp.td + l.offsets[static_cast<std::size_t>(lops[k].secondary)];
        out[4 + n + slots[k]].numbers[row] = pp.direction.gradient;
      }
    }
  }
  out.back().texts[row] = status.empty() ? "ok" : status;
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
      try {
        PredictRow(catalogue, l, options, row, out);
      } catch (const RuntimeFault& f) {
        out.back().texts[row] = f.what();
      } catch (const std::exception& e) {
        out.back().texts[row] = Internal(e);
      }
    }
  });
  return out;
}

namespace {

// A known point of row `row`; false with `status` set.
bool KnownRow(const Catalogue& catalogue, const Layout& l, const TableOptions& options,
              std::size_t row, KnownPoint& point, std::string& status) {
  std::vector<Lop> lops;
  std::vector<std::size_t> slots;
  if (!RowLops(catalogue, l, row, 2, lops, slots, status)) return false;
  const auto p =
      ReadPosition(CellAt(l.lat, row), CellAt(l.lon, row), options.decimal, l.datum, status);
  if (!p) return false;
  point.position = p->at;
  point.observed.assign(l.Slots(), std::nullopt);
  const text::StrictNumberFormat tdFormat{options.decimal, true, text::MicrosecondUnits()};
  bool any = false;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const Cell td = CellAt(l.tdColumns[slots[k]], row);
    if (td.blank) continue;  // that LOP was not read here
    const std::optional<double> value = NumberOf(td, tdFormat);
    if (!value) {
      status = "TD " + std::to_string(slots[k] + 1) + " unreadable: " + Quoted(td.Shown());
      return false;
    }
    point.observed[slots[k]] = *value;
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
  std::vector<KnownPoint> points;
  for (std::size_t row = 0; row < l.rows; ++row) {
    KnownPoint point;
    std::string status;
    if (KnownRow(catalogue, l, options, row, point, status)) points.push_back(point);
    t.rowStatus.push_back(status.empty() ? "ok" : status);
  }
  if (points.empty()) throw std::invalid_argument("no known point could be read");
  t.result = Calibrate(catalogue, l.lops, points);
  for (std::size_t i = 0; i < l.lops.size(); ++i) {
    const LopCalibration& c = t.result.lops[i];
    t.offsets.push_back(
        {l.lops[i].master, l.lops[i].secondary, t.lopNames[i], c.offset, c.stddev, c.rows});
  }
  t.area = CalibrationArea{t.result.centre, t.result.radius, static_cast<int>(points.size())};
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
