// Row conversion.
//
// Notation:
//   n          LOPs of the row, 2 to 7 (fix) or 1 to 7 (predict)
//   k          LOP number, 1 to n in texts, 0 to n - 1 in code
//   start      the estimated position a fix starts from, radians
//   td, w      observed TD (us) and weight (0 to 1, held in 32 bits as the
//              window holds it)
//   o          a LOP's ASF offset, us: the fix takes td - o, as the window
//              does, which adds o to every prediction
// Degrees become radians as the window converts typed degrees, deg * pi /
// 180 with the program's 12-digit pi, and radians degrees as it shows them,
// rad * 180 / pi, so every shown digit agrees with the window's.
#include "converter/conversion.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>

#include "converter/run_setup.hpp"
#include "loran/accuracy.hpp"
#include "loran/calibration.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/logbook_cells.hpp"
#include "loran/prediction.hpp"
#include "loran/row_fix.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"
#include "util/output_text.hpp"

namespace kestrune::convert {

namespace {

using constants::kPi;

constexpr int kMaxLops = 7;                // the most LOPs a least-squares fix takes
constexpr int kDegreeDecimals = 8;         // decimal degrees to about a millimetre
constexpr std::size_t kStatusBytes = 400;  // of a status: a quoted field and its reason

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool Blank(const std::string* s) {
  return s == nullptr || s->find_first_not_of(" \t") == std::string::npos;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Quoted(const std::string& s) {
  return loran::QuotedCell(s);
}

// The column of `header` named `name` (lower case), -1 when none. A name
// two columns bear is refused: either could be meant.
int FindColumn(const std::vector<std::string>& header, const std::string& name, long headerLine) {
  int found = -1;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (Lower(header[i]) != name) continue;
    if (found >= 0) {
      throw UsageError("the header (line " + std::to_string(headerLine) + ") names two columns " +
                       Quoted(header[i]) + ", " + std::to_string(found + 1) + " and " +
                       std::to_string(i + 1) + ": rename one, or give the column by its number");
    }
    found = static_cast<int>(i);
  }
  return found;
}

// GeoJSON properties are keyed by name: a passed-through column whose name
// "line", a result or an earlier column already has gets "_2", "_3", ..., so
// that no value hides another.
void NameApart(std::vector<std::string>& pass, const std::vector<std::string>& results) {
  std::set<std::string> taken(results.begin(), results.end());
  taken.insert("line");
  for (std::string& name : pass) {
    std::string unique = name;
    for (int k = 2; taken.count(unique) > 0; ++k) unique = name + "_" + std::to_string(k);
    name = unique;
    taken.insert(name);
  }
}

std::string Fixed(double value, int decimals) {
  return text::FixedText(value, decimals);
}

double NormalLongitude(double deg) {
  while (deg >= 180.0) deg -= 360.0;
  while (deg < -180.0) deg += 360.0;
  return deg;
}

std::string LopName(const loran::Catalogue& catalogue, const loran::LopPair& p) {
  const loran::Station& s = catalogue.At(p.secondary);
  return std::to_string(s.gri) + s.designator;
}

loran::CoordinateRead ReadCoordinate(const std::string* text, bool lat, const Options& o) {
  return loran::ReadCoordinate(loran::LogbookCell::Text(text), lat, o.decimal,
                               o.coordinates == CoordinateMode::kText);
}

loran::GeoPoint Radians(double latDeg, double lonDeg) {
  return loran::GeoPoint{latDeg * kPi / 180, lonDeg * kPi / 180};
}

// The fix kinds' result columns.
enum FixColumn { kLat, kLon, kLatText, kLonText, kKind, kPasses, kGdop, kFirstResidual };

}  // namespace

Converter::Converter(const Options& options, const std::vector<std::string>* header,
                     std::size_t fieldCount, const RunSetup& setup, long headerLine)
    : options_(options),
      setup_(setup),
      catalogue_(*setup.catalogue),
      json_(options.format == OutputFormat::kJsonLines),
      fieldCount_(fieldCount),
      headerLine_(headerLine),
      cache_(std::make_unique<loran::CoverageCache>(*setup.catalogue)) {
  const std::size_t n = SetLops(header);
  if (options.command != Command::kPredict) SetTdColumns(header, n);
  if (options.command == Command::kFix) SetFixColumns(header, n);
  if (options.command != Command::kFix) SetPositionColumns(header);
  name_ = options.nameColumn ? Resolve(*options.nameColumn, header, true, "name")
                             : Optional({"name"}, header);
  SetOffsets(header, n);
  SetPassThrough(header);
  SetResults(n);
}

Converter::Column Converter::Optional(std::vector<std::string> names,
                                      const std::vector<std::string>* header) const {
  Column c;
  for (std::string& name : names) name = Lower(name);
  c.names = names;
  for (std::size_t k = 0; header && k < names.size() && c.index < 0; ++k) {
    c.index = FindColumn(*header, names[k], headerLine_);
  }
  return c;
}

std::size_t Converter::SetLops(const std::vector<std::string>* header) {
  const bool named = json_ || header != nullptr;
  // LOPs.
  for (const std::string& name : options_.lops) {
    const loran::LopRead l = loran::ReadLop(catalogue_, name);
    if (!l.error.empty()) throw UsageError("--lops: " + l.error);
    lops_.push_back(l.pair);
    lopNames_.push_back(LopName(catalogue_, l.pair));
  }
  for (const ColumnRef& ref : options_.lopColumns) {
    lopColumns_.push_back(Resolve(ref, header, true, "LOP"));
  }
  if (lops_.empty() && lopColumns_.empty()) {
    for (int k = 1; k <= kMaxLops && named; ++k) {
      Column c = Optional({"lop" + std::to_string(k)}, header);
      if (Present(c)) lopColumns_.push_back(c);
    }
    if (lopColumns_.size() < (json_ ? 1u : 2u)) {
      throw UsageError("no LOPs: give --lops 9007W,9007X,... or --lop-cols");
    }
  }
  const int minLops = options_.command == Command::kPredict ? 1 : 2;
  const std::size_t n = lops_.empty() ? lopColumns_.size() : lops_.size();
  if (!lops_.empty() && (static_cast<int>(n) < minLops || n > kMaxLops)) {
    throw UsageError("--lops needs " + std::to_string(minLops) + " to 7 LOPs");
  }
  return n;
}

void Converter::SetTdColumns(const std::vector<std::string>* header, std::size_t n) {
  const bool named = json_ || header != nullptr;
  const bool calibrate = options_.command == Command::kCalibrate;
  // TDs: named, else the columns named like the LOPs or td1..tdN, else 1..N
  // (after the position for calibrate).
  for (const ColumnRef& ref : options_.tdColumns)
    tdColumns_.push_back(Resolve(ref, header, true, "TD"));
  if (!tdColumns_.empty() && tdColumns_.size() != n) {
    throw UsageError("--td-cols names " + std::to_string(tdColumns_.size()) + " columns for " +
                     std::to_string(n) + " LOPs");
  }
  if (tdColumns_.empty()) {
    for (std::size_t k = 0; k < n; ++k) {
      std::vector<std::string> alt;
      if (!lopNames_.empty()) alt.push_back(lopNames_[k]);
      alt.push_back("td" + std::to_string(k + 1));
      Column c = Optional(alt, header);
      if (!named) c.index = static_cast<int>(k) + (calibrate ? 2 : 0);
      if (!Present(c)) {
        throw UsageError("cannot find the TD column of LOP " + std::to_string(k + 1) +
                         ": name it " + (lopNames_.empty() ? "" : lopNames_[k] + " or ") + "td" +
                         std::to_string(k + 1) + " in the header, or give --td-cols" +
                         HeaderNote());
      }
      tdColumns_.push_back(c);
    }
  }
}

void Converter::SetFixColumns(const std::vector<std::string>* header, std::size_t n) {
  const bool named = json_ || header != nullptr;
  for (const ColumnRef& ref : options_.weightColumns) {
    weightColumns_.push_back(Resolve(ref, header, true, "weight"));
  }
  if (!weightColumns_.empty() && weightColumns_.size() != n) {
    throw UsageError("--weight-cols names " + std::to_string(weightColumns_.size()) +
                     " columns for " + std::to_string(n) + " LOPs");
  }
  if (weightColumns_.empty() && named) {
    for (std::size_t k = 0; k < n; ++k) {
      weightColumns_.push_back(Optional({"weight" + std::to_string(k + 1)}, header));
    }
  }
  // Start.
  if (options_.near) {
    const loran::CoordinateRead lat = ReadCoordinate(&options_.near->first, true, options_);
    const loran::CoordinateRead lon = ReadCoordinate(&options_.near->second, false, options_);
    if (!lat.error.empty() || !lon.error.empty()) {
      throw UsageError("--near: " + (lat.error.empty() ? lon.error : lat.error));
    }
    nearGiven_ = true;
    near_ = setup_.ToWgs84(Radians(lat.degrees, lon.degrees));
  }
  for (const ColumnRef& ref : options_.startColumns) {
    startColumns_.push_back(Resolve(ref, header, true, "start"));
  }
  if (!nearGiven_ && startColumns_.empty() && named) {
    Column lat = Optional({"start_lat", "est_lat"}, header);
    Column lon = Optional({"start_lon", "est_lon"}, header);
    if (!json_ && Present(lat) && Present(lon)) startColumns_ = {lat, lon};
    if (json_) startColumns_ = {lat, lon};
  }
  if (options_.trackColumn) trackColumn_ = Resolve(*options_.trackColumn, header, true, "track");
}

void Converter::SetPositionColumns(const std::vector<std::string>* header) {
  const bool named = json_ || header != nullptr;
  for (const ColumnRef& ref : options_.positionColumns) {
    positionColumns_.push_back(Resolve(ref, header, true, "position"));
  }
  if (positionColumns_.empty()) {
    Column lat = Optional({"lat", "latitude"}, header);
    Column lon = Optional({"lon", "long", "longitude"}, header);
    if (!named) {
      lat.index = 0;
      lon.index = 1;
    }
    if (!Present(lat) || !Present(lon)) {
      throw UsageError(
          "cannot find the position columns: name them lat and lon, or give --pos-cols" +
          HeaderNote());
    }
    positionColumns_ = {lat, lon};
  }
}

void Converter::SetOffsets(const std::vector<std::string>* header, std::size_t n) {
  const bool named = json_ || header != nullptr;
  const bool calibrate = options_.command == Command::kCalibrate;
  // Offsets per row, and whether the offsets given once match the LOPs.
  for (const ColumnRef& ref : options_.offsetColumns) {
    offsetColumns_.push_back(Resolve(ref, header, true, "offset"));
  }
  if (!offsetColumns_.empty() && offsetColumns_.size() != n) {
    throw UsageError("--offset-cols names " + std::to_string(offsetColumns_.size()) +
                     " columns for " + std::to_string(n) + " LOPs");
  }
  if (offsetColumns_.empty() && named && !calibrate) {
    for (std::size_t k = 0; k < n; ++k) {
      offsetColumns_.push_back(Optional({"offset" + std::to_string(k + 1)}, header));
    }
  }
  if (!lops_.empty()) {
    std::vector<char> inUse(static_cast<std::size_t>(catalogue_.Size()), 0);
    for (std::size_t k = 0; k < n; ++k) {
      const auto secondary = static_cast<std::size_t>(lops_[k].secondary);
      inUse[secondary] = 1;
      const bool perRow = k < offsetColumns_.size() && Present(offsetColumns_[k]);
      if (!setup_.calibrationFile.empty() && !setup_.offsets[secondary] && !perRow) {
        throw UsageError(setup_.calibrationFile + " has no line for " + lopNames_[k] +
                         ", a LOP in use (--offset " + lopNames_[k] + "=0 takes it uncorrected)");
      }
    }
    for (std::size_t s = 0; s < setup_.offsets.size(); ++s) {
      if (!setup_.offsets[s] || inUse[s]) continue;
      const std::string name = std::to_string(catalogue_.At(static_cast<int>(s)).gri) +
                               catalogue_.At(static_cast<int>(s)).designator;
      if (setup_.offsets[s]->fileLine == 0) {
        throw UsageError("--offset " + name + ": not one of the LOPs in use");
      }
      warnings_.push_back(setup_.calibrationFile + " line " +
                          std::to_string(setup_.offsets[s]->fileLine) + ": " + name +
                          " is not in use; its offset is left out");
    }
  }
}

void Converter::SetPassThrough(const std::vector<std::string>* header) {
  // Passed-through columns.
  if (options_.keepColumns) {
    keepAll_ = false;
    for (const ColumnRef& ref : *options_.keepColumns) {
      keep_.push_back(Resolve(ref, header, true, "--keep"));
      const Column& c = keep_.back();
      passNames_.push_back(header && c.index >= 0 ? (*header)[static_cast<std::size_t>(c.index)]
                           : c.index >= 0         ? "col" + std::to_string(c.index + 1)
                                                  : c.names[0]);
    }
  } else if (!json_) {
    for (std::size_t i = 0; i < fieldCount_; ++i) {
      passNames_.push_back(header ? (*header)[i] : "col" + std::to_string(i + 1));
    }
  }
}

void Converter::SetResults(std::size_t n) {
  // Results.
  std::vector<std::string> suffix;
  for (std::size_t k = 0; k < n; ++k) {
    suffix.push_back(lopNames_.empty() ? std::to_string(k + 1) : lopNames_[k]);
  }
  if (options_.command == Command::kFix) {
    resultNames_ = {"fix_lat",  "fix_lon", "fix_lat_text", "fix_lon_text",
                    "fix_kind", "passes",  "gdop_at_fix"};
    for (const std::string& s : suffix) resultNames_.push_back("residual_" + s);
    accuracyColumn_ = resultNames_.size();
    resultNames_.insert(resultNames_.end(),
                        {"ellipse_major_m", "ellipse_minor_m", "ellipse_azimuth_deg", "drms2_m"});
    if (options_.datum.ed50) {
      datumColumn_ = static_cast<int>(resultNames_.size());
      resultNames_.push_back("datum");
    }
    asfColumn_ = resultNames_.size();
    if (setup_.asf) {
      for (const std::string& s : suffix) resultNames_.push_back("asf_us_" + s);
    }
    otherColumn_ = resultNames_.size();
    completedColumn_ = otherColumn_ + 1;
    startColumn_ = otherColumn_ + 2;
    resultNames_.insert(resultNames_.end(), {"other_crossing_km", "completed", "start", "status"});
    if (!lops_.empty()) grid_ = Grid(lops_);  // built before the threads start
  } else if (options_.command == Command::kPredict) {
    resultNames_ = {"pos_lat", "pos_lon", "pos_lat_text", "pos_lon_text"};
    for (const std::string& s : suffix) resultNames_.push_back("td_" + s);
    for (const std::string& s : suffix) resultNames_.push_back("gradient_" + s);
    asfColumn_ = resultNames_.size();
    if (setup_.asf) {
      for (const std::string& s : suffix) resultNames_.push_back("asf_us_" + s);
    }
    if (options_.datum.ed50) {
      datumColumn_ = static_cast<int>(resultNames_.size());
      resultNames_.push_back("datum");
    }
    resultNames_.push_back("status");
  }
  if (options_.format == OutputFormat::kGeoJson) NameApart(passNames_, resultNames_);
}

Converter::Column Converter::Resolve(const ColumnRef& ref, const std::vector<std::string>* header,
                                     bool required, const std::string& what) const {
  Column c;
  if (AllDigits(ref)) {
    if (json_) throw UsageError(what + " column " + ref + ": JSON lines have names, not numbers");
    const long number = ref.size() > 6 ? 0 : std::stol(ref);
    if (number < 1 || (fieldCount_ > 0 && static_cast<std::size_t>(number) > fieldCount_)) {
      throw UsageError(what + " column " + ref + " beyond the " + std::to_string(fieldCount_) +
                       " columns of the input");
    }
    c.index = static_cast<int>(number - 1);
    return c;
  }
  c.names = {Lower(ref)};
  if (json_) return c;
  if (!header) {
    throw UsageError(what + " column '" + ref + "' named, but the input has no header row");
  }
  c.index = FindColumn(*header, c.names[0], headerLine_);
  if (c.index < 0 && required) {
    throw UsageError("no column named '" + ref + "' (" + what + ")" + HeaderNote());
  }
  return c;
}

std::string Converter::HeaderNote() const {
  if (headerLine_ <= 0) return {};
  return " (line " + std::to_string(headerLine_) +
         " was taken as the header; --skip-lines skips title lines above it)";
}

const std::string* Converter::Field(const Row& row, const Column& column) const {
  if (json_) {
    for (const std::string& name : column.names) {
      for (std::size_t i = 0; i < row.names.size(); ++i) {
        if (Lower(row.names[i]) == name) return &row.fields[i];
      }
    }
    return nullptr;
  }
  if (column.index < 0 || static_cast<std::size_t>(column.index) >= row.fields.size()) {
    return nullptr;
  }
  return &row.fields[static_cast<std::size_t>(column.index)];
}

std::shared_ptr<const loran::CoverageGrid> Converter::Grid(
    const std::vector<loran::LopPair>& lops) const {
  return cache_->Grid(lops);
}

void Converter::Convert(const Row& row, OutRow& out) const {
  out = OutRow{};
  out.line = row.line;
  out.results.assign(resultNames_.size(), Cell{});
  // Passed through: by position, or the keys of a JSON line.
  if (json_) {
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      const std::string& key = row.names[i];
      if (key == "line" ||
          std::find(resultNames_.begin(), resultNames_.end(), key) != resultNames_.end()) {
        continue;
      }
      if (!keepAll_ && std::none_of(keep_.begin(), keep_.end(),
                                    [&](const Column& c) { return c.names[0] == Lower(key); })) {
        continue;
      }
      out.passNames.push_back(key);
      out.pass.push_back(row.json[i]);
    }
  } else if (keepAll_) {
    out.pass = row.fields;
    out.pass.resize(passNames_.size());
  } else {
    for (const Column& c : keep_) {
      const std::string* f = Field(row, c);
      out.pass.push_back(f ? *f : std::string());
    }
  }
  const std::string* name = Field(row, name_);
  out.name = !Blank(name) ? *name : "line " + std::to_string(row.line);

  std::string status;
  if (!row.problem.empty()) {
    status = row.problem;
  } else if (!json_ && row.fields.size() != fieldCount_) {
    status = std::to_string(row.fields.size()) + " fields, expected " + std::to_string(fieldCount_);
  } else {
    try {
      if (options_.command == Command::kFix) {
        Fix(row, out, status);
      } else {
        Predict(row, out, status);
      }
    } catch (const RuntimeFault& fault) {
      status = fault.what();
    } catch (const std::exception& e) {
      status = std::string("internal error: ") + e.what();
    }
  }
  if (status.empty()) status = "ok";
  out.ok = status == "ok";
  // Whatever a reason echoes, the status is one printable line.
  out.results.back() = Cell{text::EchoText(status, kStatusBytes), false};
}

bool Converter::RowLops(const Row& row, std::vector<loran::LopPair>& pairs,
                        std::vector<std::size_t>& slots, std::string& status) const {
  std::vector<loran::LogbookCell> cells;
  if (lops_.empty()) {
    for (const Column& c : lopColumns_) cells.push_back(loran::LogbookCell::Text(Field(row, c)));
  }
  loran::RowLops read;
  const std::size_t least = options_.command == Command::kFix ? 2 : 1;
  const bool ok = loran::ReadRowLops(catalogue_, lops_, cells, least, read, status);
  pairs = std::move(read.pairs);
  slots = std::move(read.slots);
  return ok;
}

bool Converter::RowOffset(const Row& row, const loran::LopPair& pair, std::size_t slot,
                          double& offset, std::string& status) const {
  const std::string* f = slot < offsetColumns_.size() ? Field(row, offsetColumns_[slot]) : nullptr;
  std::optional<double> cell;
  if (!loran::ReadOffsetCell(loran::LogbookCell::Text(f), static_cast<int>(slot) + 1,
                             options_.decimal, cell, status)) {
    return false;
  }
  if (cell) {
    offset = *cell;
    return true;
  }
  const std::optional<GivenOffset>& given =
      setup_.offsets[static_cast<std::size_t>(pair.secondary)];
  if (!given && !setup_.calibrationFile.empty()) {
    status = "no offset for " + LopName(catalogue_, pair) + " in " + setup_.calibrationFile;
    return false;
  }
  offset = given ? given->offset : 0.0;
  return true;
}

std::optional<Converter::Position> Converter::ReadPosition(const std::string* latText,
                                                           const std::string* lonText,
                                                           std::string& error) const {
  const loran::CoordinateRead lat = ReadCoordinate(latText, true, options_);
  const loran::CoordinateRead lon = ReadCoordinate(lonText, false, options_);
  if (!lat.error.empty() || !lon.error.empty()) {
    error = lat.error.empty() ? lon.error : lat.error;
    return std::nullopt;
  }
  return Position{setup_.ToWgs84(Radians(lat.degrees, lon.degrees)), lat.degrees, lon.degrees};
}

Converter::Position Converter::Shown(loran::GeoPoint wgs84) const {
  const loran::GeoPoint p = setup_.FromWgs84(wgs84);
  return Position{wgs84, constants::Degrees(p.lat), constants::Degrees(p.lon)};
}

void Converter::WritePosition(const Position& p, std::size_t first, OutRow& out) const {
  // The window's texts first: a position its text cannot show is its fault.
  out.results[first + 2] = Cell{text::FormatLatLon(p.lat, "LAT", 3, '.'), false};
  out.results[first + 3] = Cell{text::FormatLatLon(p.lon, "LON", 3, '.'), false};
  out.lat = p.lat;
  out.lon = NormalLongitude(p.lon);
  out.wgs84Lat = constants::Degrees(p.wgs84.lat);
  out.wgs84Lon = NormalLongitude(constants::Degrees(p.wgs84.lon));
  out.results[first] = Cell{Fixed(out.lat, kDegreeDecimals), true};
  out.results[first + 1] = Cell{Fixed(out.lon, kDegreeDecimals), true};
  if (datumColumn_ >= 0) {
    out.results[static_cast<std::size_t>(datumColumn_)] =
        Cell{setup_.Ed50For(p.wgs84).source, false};
  }
}

bool Converter::ReadKnown(const Row& row, KnownRow& known, std::string& problem) const {
  if (!row.problem.empty()) {
    problem = row.problem;
    return false;
  }
  if (row.fields.size() != fieldCount_) {
    problem =
        std::to_string(row.fields.size()) + " fields, expected " + std::to_string(fieldCount_);
    return false;
  }
  std::vector<std::size_t> slots;
  if (!RowLops(row, known.lops, slots, problem)) return false;
  const std::optional<Position> at =
      ReadPosition(Field(row, positionColumns_[0]), Field(row, positionColumns_[1]), problem);
  if (!at) return false;
  known.at = at->wgs84;
  known.tds.assign(known.lops.size(), std::nullopt);
  for (std::size_t k = 0; k < known.lops.size(); ++k) {
    const loran::LogbookCell f = loran::LogbookCell::Text(Field(row, tdColumns_[slots[k]]));
    if (f.Blank()) continue;  // that LOP was not read here
    const auto td = loran::ReadTd(f, static_cast<int>(slots[k]) + 1, options_.decimal, problem);
    if (!td) return false;
    known.tds[k] = td->value;
  }
  if (std::none_of(known.tds.begin(), known.tds.end(),
                   [](const auto& t) { return t.has_value(); })) {
    problem = "no TD";
    return false;
  }
  return true;
}

bool Converter::ReadTds(const Row& row, const std::vector<std::size_t>& slots, RowTds& tds,
                        std::string& status) const {
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const std::size_t slot = slots[k];
    const int number = static_cast<int>(slot) + 1;
    const auto td = loran::ReadTd(loran::LogbookCell::Text(Field(row, tdColumns_[slot])), number,
                                  options_.decimal, status);
    if (!td) return false;
    tds.typed[k] = *td;
    tds.lops[k].observedTd = td->value;
    const std::string* w =
        slot < weightColumns_.size() ? Field(row, weightColumns_[slot]) : nullptr;
    if (!loran::ReadWeight(loran::LogbookCell::Text(w), number, options_.decimal,
                           tds.lops[k].weight, status)) {
      return false;
    }
  }
  return true;
}

std::string Converter::TrackKey(const Row& row) const {
  const std::string* f =
      trackColumn_.names.empty() && trackColumn_.index < 0 ? nullptr : Field(row, trackColumn_);
  return f ? *f : std::string();
}

bool Converter::RowStart(const Row& row, RowTds& tds, std::string& status) const {
  // The row's own start cells first; both blank fall back as if absent.
  std::optional<loran::GeoPoint> cells;
  if (startColumns_.size() == 2) {
    const std::string* lat = Field(row, startColumns_[0]);
    const std::string* lon = Field(row, startColumns_[1]);
    if (!Blank(lat) || !Blank(lon)) {
      std::string error;
      const std::optional<Position> read = ReadPosition(lat, lon, error);
      if (!read) {
        status = "start " + error;
        return false;
      }
      cells = read->wgs84;
    }
  }
  const std::optional<loran::GeoPoint> near =
      nearGiven_ ? std::optional<loran::GeoPoint>(near_) : std::nullopt;
  const loran::RowStart start =
      loran::ChooseStart(cells, options_.track ? &track_ : nullptr, TrackKey(row), "line", near);
  tds.start = start.start;
  tds.source = start.source;
  tds.startText = start.text;
  return true;
}

bool Converter::Complete(const std::vector<std::size_t>& slots, RowTds& tds, OutRow& out,
                         std::string& status) const {
  if (!options_.completeDigits || !tds.start) return true;
  const std::optional<std::string> completed = loran::CompleteRowDigits(
      catalogue_, tds.lops, tds.typed, tds.offsets, slots, *tds.start, status);
  if (!completed) return false;
  out.results[completedColumn_] = Cell{*completed, false};
  return true;
}

void Converter::Fix(const Row& row, OutRow& out, std::string& status) const {
  std::vector<loran::LopPair> pairs;
  std::vector<std::size_t> slots;  // the LOP number - 1 of each LOP used
  if (!RowLops(row, pairs, slots, status)) return;
  const std::size_t n = pairs.size();
  RowTds tds;
  tds.lops.resize(n);
  tds.typed.resize(n);
  tds.offsets.assign(n, 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    tds.lops[k] = loran::Lop{pairs[k].master, pairs[k].secondary, 0.0, 1.0};
  }
  if (!ReadTds(row, slots, tds, status)) return;
  for (std::size_t k = 0; k < n; ++k) {
    if (!RowOffset(row, pairs[k], slots[k], tds.offsets[k], status)) return;
  }
  if (!RowStart(row, tds, status)) return;
  out.results[startColumn_] = Cell{tds.startText, false};
  if (!Complete(slots, tds, out, status)) return;

  loran::RowFixInput in{tds.lops,         tds.offsets,           {}, tds.start, tds.source,
                        options_.tdSigma, options_.residualSigma};
  for (const std::size_t slot : slots) in.numbers.push_back(static_cast<int>(slot) + 1);
  const std::shared_ptr<const loran::CoverageGrid> grid = grid_ ? grid_ : Grid(pairs);
  loran::RowFix fix = loran::FixRow(catalogue_, *grid, in);
  if (setup_.asf && fix.positioned && !TakeAsfOff(*grid, slots, in, fix, out, status)) return;
  WriteFix(fix, slots, out);
  status = fix.status;
  if (options_.track && status.empty() && fix.positioned) {
    track_.Record(TrackKey(row), {fix.fix, row.line});
  }
}

void Converter::WriteFix(const loran::RowFix& fix, const std::vector<std::size_t>& slots,
                         OutRow& out) const {
  if (fix.passes > 0 || fix.kind == loran::FixKind::kLeastSquares) {
    out.results[kPasses] = Cell{std::to_string(fix.passes), true};
  }
  if (!fix.positioned) return;
  WritePosition(Shown(fix.fix), kLat, out);
  out.hasPosition = true;
  if (setup_.area) {
    out.beyondCalibration =
        loran::DistanceMetres(setup_.area->centre, fix.fix) - setup_.area->radius >
        constants::kCalibrationReach;
  }
  out.results[kKind] = Cell{fix.kind == loran::FixKind::kTwoLop ? "two-lop" : "lsq", false};
  out.results[kGdop] = Cell{fix.gdop > 0.0 ? text::Format(fix.gdop, "0.00", '.') : "", true};
  for (std::size_t k = 0; k < slots.size() && k < fix.residuals.size(); ++k) {
    out.results[kFirstResidual + slots[k]] =
        Cell{text::Format(fix.residuals[k], "0.000", '.'), true};
  }
  if (fix.otherCrossing) {
    out.results[otherColumn_] = Cell{Fixed(*fix.otherCrossing / 1000.0, 1), true};
  }
  if (fix.accuracy) {
    const loran::ErrorEllipse& e = fix.accuracy->ellipse95;
    const double values[] = {e.semiMajor, e.semiMinor, constants::Degrees(e.azimuth),
                             fix.accuracy->drms2};
    for (std::size_t i = 0; i < std::size(values); ++i) {
      out.results[accuracyColumn_ + i] = Cell{Fixed(values[i], 1), true};
    }
  }
}

void Converter::Predict(const Row& row, OutRow& out, std::string& status) const {
  std::vector<loran::LopPair> pairs;
  std::vector<std::size_t> slots;
  if (!RowLops(row, pairs, slots, status)) return;
  std::vector<double> offsets(pairs.size(), 0.0);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    if (!RowOffset(row, pairs[k], slots[k], offsets[k], status)) return;
  }
  const std::optional<Position> at =
      ReadPosition(Field(row, positionColumns_[0]), Field(row, positionColumns_[1]), status);
  if (!at) return;
  WritePosition(*at, 0, out);
  out.hasPosition = true;
  const std::size_t n = (resultNames_.size() - (datumColumn_ < 0 ? 5 : 6)) / (setup_.asf ? 3 : 2);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    const loran::PairPrediction p =
        loran::PredictPair(catalogue_, at->wgs84, pairs[k].master, pairs[k].secondary);
    const std::optional<double> asf =
        setup_.asf ? PredictedAsf(pairs[k], at->wgs84, out, slots[k]) : 0.0;
    if (!asf) {
      status = "the position is beyond the ASF model's reach";
      return;
    }
    out.results[4 + slots[k]] = Cell{text::Format(p.td + offsets[k] + *asf, "#.000", '.'), true};
    out.results[4 + n + slots[k]] = Cell{text::Format(p.direction.gradient, "0", '.'), true};
  }
}

}  // namespace kestrune::convert
