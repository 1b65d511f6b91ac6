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
#include <map>
#include <mutex>

#include "converter/run_setup.hpp"
#include "loran/accuracy.hpp"
#include "loran/calibration.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
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
constexpr std::size_t kQuotedBytes = 40;   // of a field quoted in a status
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

// A field as the status quotes it: at most 40 bytes of it, what is not
// printable escaped.
std::string Quoted(const std::string& s) {
  return "'" + text::EchoText(s, kQuotedBytes) + "'";
}

std::string Fixed(double value, int decimals) {
  return text::FixedText(value, decimals);
}

double NormalLongitude(double deg) {
  while (deg >= 180.0) deg -= 360.0;
  while (deg < -180.0) deg += 360.0;
  return deg;
}

// "9007W", "9007-W", "9007 w": the master and secondary of that chain.
struct LopLookup {
  loran::LopPair pair;
  std::string error;
};
LopLookup FindLop(const loran::Catalogue& catalogue, const std::string& text) {
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
  if (master < 0 || secondary < 0) return {{}, "no station " + gri + text::EchoText(designator, 8)};
  return {{static_cast<std::int16_t>(master), static_cast<std::int16_t>(secondary)}, {}};
}

std::string LopName(const loran::Catalogue& catalogue, const loran::LopPair& p) {
  const loran::Station& s = catalogue.At(p.secondary);
  return std::to_string(s.gri) + s.designator;
}

// A latitude or longitude text in degrees, or why it cannot be read.
struct Coordinate {
  double degrees = 0.0;
  std::string error;
};
Coordinate ReadCoordinate(const std::string* text, bool lat, const Options& o) {
  const char* what = lat ? "latitude" : "longitude";
  if (Blank(text)) return {0.0, std::string(what) + " missing"};
  if (o.coordinates == CoordinateMode::kAuto) {
    const auto n = text::ReadStrictNumber(*text, {o.decimal, false, {}});
    if (n) {
      const double limit = lat ? constants::kMaxLatitude : constants::kMaxLongitude;
      if (!(std::fabs(n->value) <= limit)) {
        return {0.0, std::string(what) + " " + Quoted(*text) + " beyond " +
                         (lat ? "\xC2\xB1"
                                "90\xC2\xB0"
                              : "\xC2\xB1"
                                "180\xC2\xB0")};
      }
      return {n->value, {}};
    }
  }
  const text::ParsedCoordinate p = text::ParseLatLon(*text, lat ? "LAT" : "LON");
  if (!p.messages.empty()) {
    return {0.0, std::string(what) + " unreadable: " + Quoted(*text) + " (" + p.messages[0] + ")"};
  }
  return {p.value, {}};
}

loran::GeoPoint Radians(double latDeg, double lonDeg) {
  return loran::GeoPoint{latDeg * kPi / 180, lonDeg * kPi / 180};
}

double Azimuth(const loran::Catalogue& catalogue, loran::GeoPoint at, int station) {
  return loran::GeoDistAz(at, catalogue.At(station).position).azimuth;
}

double TwoLopGdopAt(const loran::Catalogue& c, loran::GeoPoint at, const loran::Lop& a,
                    const loran::Lop& b) {
  return loran::TwoLopGdop(Azimuth(c, at, a.master), Azimuth(c, at, a.secondary),
                           Azimuth(c, at, b.master), Azimuth(c, at, b.secondary));
}

// The fix kinds' result columns.
enum FixColumn { kLat, kLon, kLatText, kLonText, kKind, kPasses, kGdop, kFirstResidual };

}  // namespace

Converter::Converter(const Options& options, const std::vector<std::string>* header,
                     std::size_t fieldCount, const RunSetup& setup)
    : options_(options),
      setup_(setup),
      catalogue_(*setup.catalogue),
      json_(options.format == OutputFormat::kJsonLines),
      fieldCount_(fieldCount) {
  const bool named = json_ || header != nullptr;
  auto optional = [&](std::vector<std::string> names) {
    Column c;
    for (std::string& n : names) n = Lower(n);
    c.names = names;
    if (header) {
      for (const std::string& n : names) {
        for (std::size_t i = 0; i < header->size() && c.index < 0; ++i) {
          if (Lower((*header)[i]) == n) c.index = static_cast<int>(i);
        }
      }
    }
    return c;
  };
  auto present = [&](const Column& c) { return json_ || c.index >= 0; };

  const loran::Catalogue& catalogue = catalogue_;
  const bool calibrate = options.command == Command::kCalibrate;
  // LOPs.
  for (const std::string& name : options.lops) {
    const LopLookup l = FindLop(catalogue, name);
    if (!l.error.empty()) throw UsageError("--lops: " + l.error);
    lops_.push_back(l.pair);
    lopNames_.push_back(LopName(catalogue, l.pair));
  }
  for (const ColumnRef& ref : options.lopColumns) {
    lopColumns_.push_back(Resolve(ref, header, true, "LOP"));
  }
  if (lops_.empty() && lopColumns_.empty()) {
    for (int k = 1; k <= kMaxLops && named; ++k) {
      Column c = optional({"lop" + std::to_string(k)});
      if (present(c)) lopColumns_.push_back(c);
    }
    if (lopColumns_.size() < (json_ ? 1u : 2u)) {
      throw UsageError("no LOPs: give --lops 9007W,9007X,... or --lop-cols");
    }
  }
  const int minLops = options.command == Command::kPredict ? 1 : 2;
  const std::size_t n = lops_.empty() ? lopColumns_.size() : lops_.size();
  if (!lops_.empty() && (static_cast<int>(n) < minLops || n > kMaxLops)) {
    throw UsageError("--lops needs " + std::to_string(minLops) + " to 7 LOPs");
  }

  if (options.command != Command::kPredict) {
    // TDs: named, else the columns named like the LOPs or td1..tdN, else 1..N
    // (after the position for calibrate).
    for (const ColumnRef& ref : options.tdColumns)
      tdColumns_.push_back(Resolve(ref, header, true, "TD"));
    if (!tdColumns_.empty() && tdColumns_.size() != n) {
      throw UsageError("--td-cols names " + std::to_string(tdColumns_.size()) + " columns for " +
                       std::to_string(n) + " LOPs");
    }
    if (tdColumns_.empty()) {
      std::vector<Column> byLop, byNumber;
      for (std::size_t k = 0; k < n; ++k) {
        std::vector<std::string> alt;
        if (!lopNames_.empty()) alt.push_back(lopNames_[k]);
        alt.push_back("td" + std::to_string(k + 1));
        Column c = optional(alt);
        if (!named) c.index = static_cast<int>(k) + (calibrate ? 2 : 0);
        if (!present(c)) {
          throw UsageError("cannot find the TD column of LOP " + std::to_string(k + 1) +
                           ": name it " + (lopNames_.empty() ? "" : lopNames_[k] + " or ") + "td" +
                           std::to_string(k + 1) + " in the header, or give --td-cols");
        }
        tdColumns_.push_back(c);
      }
    }
  }
  if (options.command == Command::kFix) {
    for (const ColumnRef& ref : options.weightColumns) {
      weightColumns_.push_back(Resolve(ref, header, true, "weight"));
    }
    if (!weightColumns_.empty() && weightColumns_.size() != n) {
      throw UsageError("--weight-cols names " + std::to_string(weightColumns_.size()) +
                       " columns for " + std::to_string(n) + " LOPs");
    }
    if (weightColumns_.empty() && named) {
      for (std::size_t k = 0; k < n; ++k) {
        weightColumns_.push_back(optional({"weight" + std::to_string(k + 1)}));
      }
    }
    // Start.
    if (options.near) {
      const Coordinate lat = ReadCoordinate(&options.near->first, true, options);
      const Coordinate lon = ReadCoordinate(&options.near->second, false, options);
      if (!lat.error.empty() || !lon.error.empty()) {
        throw UsageError("--near: " + (lat.error.empty() ? lon.error : lat.error));
      }
      nearGiven_ = true;
      near_ = setup_.ToWgs84(Radians(lat.degrees, lon.degrees));
    }
    for (const ColumnRef& ref : options.startColumns) {
      startColumns_.push_back(Resolve(ref, header, true, "start"));
    }
    if (!nearGiven_ && startColumns_.empty() && named) {
      Column lat = optional({"start_lat", "est_lat"});
      Column lon = optional({"start_lon", "est_lon"});
      if (!json_ && present(lat) && present(lon)) startColumns_ = {lat, lon};
      if (json_) startColumns_ = {lat, lon};
    }
  }
  if (options.command != Command::kFix) {
    for (const ColumnRef& ref : options.positionColumns) {
      positionColumns_.push_back(Resolve(ref, header, true, "position"));
    }
    if (positionColumns_.empty()) {
      Column lat = optional({"lat", "latitude"});
      Column lon = optional({"lon", "long", "longitude"});
      if (!named) {
        lat.index = 0;
        lon.index = 1;
      }
      if (!present(lat) || !present(lon)) {
        throw UsageError(
            "cannot find the position columns: name them lat and lon, or give --pos-cols");
      }
      positionColumns_ = {lat, lon};
    }
  }
  name_ =
      options.nameColumn ? Resolve(*options.nameColumn, header, true, "name") : optional({"name"});

  // Offsets per row, and whether the offsets given once match the LOPs.
  for (const ColumnRef& ref : options.offsetColumns) {
    offsetColumns_.push_back(Resolve(ref, header, true, "offset"));
  }
  if (!offsetColumns_.empty() && offsetColumns_.size() != n) {
    throw UsageError("--offset-cols names " + std::to_string(offsetColumns_.size()) +
                     " columns for " + std::to_string(n) + " LOPs");
  }
  if (offsetColumns_.empty() && named && !calibrate) {
    for (std::size_t k = 0; k < n; ++k) {
      offsetColumns_.push_back(optional({"offset" + std::to_string(k + 1)}));
    }
  }
  if (!lops_.empty()) {
    std::vector<char> inUse(static_cast<std::size_t>(catalogue.Size()), 0);
    for (std::size_t k = 0; k < n; ++k) {
      const auto secondary = static_cast<std::size_t>(lops_[k].secondary);
      inUse[secondary] = 1;
      const bool perRow = k < offsetColumns_.size() && present(offsetColumns_[k]);
      if (!setup.calibrationFile.empty() && !setup.offsets[secondary] && !perRow) {
        throw UsageError(setup.calibrationFile + " has no line for " + lopNames_[k] +
                         ", a LOP in use (--offset " + lopNames_[k] + "=0 takes it uncorrected)");
      }
    }
    for (std::size_t s = 0; s < setup.offsets.size(); ++s) {
      if (!setup.offsets[s] || inUse[s]) continue;
      const std::string name = std::to_string(catalogue.At(static_cast<int>(s)).gri) +
                               catalogue.At(static_cast<int>(s)).designator;
      if (setup.offsets[s]->fileLine == 0) {
        throw UsageError("--offset " + name + ": not one of the LOPs in use");
      }
      warnings_.push_back(setup.calibrationFile + " line " +
                          std::to_string(setup.offsets[s]->fileLine) + ": " + name +
                          " is not in use; its offset is left out");
    }
  }

  // Passed-through columns.
  if (options.keepColumns) {
    keepAll_ = false;
    for (const ColumnRef& ref : *options.keepColumns) {
      keep_.push_back(Resolve(ref, header, true, "--keep"));
      const Column& c = keep_.back();
      passNames_.push_back(header && c.index >= 0 ? (*header)[static_cast<std::size_t>(c.index)]
                           : c.index >= 0         ? "col" + std::to_string(c.index + 1)
                                                  : c.names[0]);
    }
  } else if (!json_) {
    for (std::size_t i = 0; i < fieldCount; ++i) {
      passNames_.push_back(header ? (*header)[i] : "col" + std::to_string(i + 1));
    }
  }

  // Results.
  std::vector<std::string> suffix;
  for (std::size_t k = 0; k < n; ++k) {
    suffix.push_back(lopNames_.empty() ? std::to_string(k + 1) : lopNames_[k]);
  }
  if (options.command == Command::kFix) {
    resultNames_ = {"fix_lat",  "fix_lon", "fix_lat_text", "fix_lon_text",
                    "fix_kind", "passes",  "gdop_at_fix"};
    for (const std::string& s : suffix) resultNames_.push_back("residual_" + s);
    accuracyColumn_ = resultNames_.size();
    resultNames_.insert(resultNames_.end(),
                        {"ellipse_major_m", "ellipse_minor_m", "ellipse_azimuth_deg", "drms2_m"});
    if (options.datum.ed50) {
      datumColumn_ = static_cast<int>(resultNames_.size());
      resultNames_.push_back("datum");
    }
    resultNames_.insert(resultNames_.end(), {"other_crossing_km", "completed", "status"});
    if (!lops_.empty()) grid_ = Grid(lops_);  // built before the threads start
  } else if (options.command == Command::kPredict) {
    resultNames_ = {"pos_lat", "pos_lon", "pos_lat_text", "pos_lon_text"};
    for (const std::string& s : suffix) resultNames_.push_back("td_" + s);
    for (const std::string& s : suffix) resultNames_.push_back("gradient_" + s);
    if (options.datum.ed50) {
      datumColumn_ = static_cast<int>(resultNames_.size());
      resultNames_.push_back("datum");
    }
    resultNames_.push_back("status");
  }
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
  for (std::size_t i = 0; i < header->size() && c.index < 0; ++i) {
    if (Lower((*header)[i]) == c.names[0]) c.index = static_cast<int>(i);
  }
  if (c.index < 0 && required) throw UsageError("no column named '" + ref + "' (" + what + ")");
  return c;
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
  // One grid per set of LOPs for the whole process: a grid takes tens of
  // milliseconds to build, a row microseconds to convert. Only sets read
  // per row can be many; past the limit the cache starts again.
  static std::mutex mutex;
  using Key = std::pair<const loran::Catalogue*, std::vector<std::pair<int, int>>>;
  static std::map<Key, std::shared_ptr<const loran::CoverageGrid>> grids;
  constexpr std::size_t kMaxGrids = 32;
  Key key{&catalogue_, {}};
  for (const loran::LopPair& p : lops) key.second.emplace_back(p.master, p.secondary);
  std::lock_guard<std::mutex> lock(mutex);
  if (grids.size() >= kMaxGrids && !grids.count(key)) grids.clear();
  auto& slot = grids[key];
  if (!slot) slot = std::make_shared<loran::CoverageGrid>(catalogue_, lops);
  return slot;
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
  pairs = lops_;
  slots.clear();
  for (std::size_t k = 0; k < lops_.size(); ++k) slots.push_back(k);
  if (!lops_.empty()) return true;
  // Per row: a blank LOP cell leaves its slot, and its TD column, unused.
  for (std::size_t k = 0; k < lopColumns_.size(); ++k) {
    const std::string* f = Field(row, lopColumns_[k]);
    if (Blank(f)) continue;
    const LopLookup l = FindLop(catalogue_, *f);
    if (!l.error.empty()) {
      status = l.error;
      return false;
    }
    pairs.push_back(l.pair);
    slots.push_back(k);
  }
  const std::size_t least = options_.command == Command::kFix ? 2 : 1;
  if (pairs.size() < least) {
    status = least == 2 ? "fewer than 2 LOPs" : "no LOP";
    return false;
  }
  return true;
}

bool Converter::RowOffset(const Row& row, const loran::LopPair& pair, std::size_t slot,
                          double& offset, std::string& status) const {
  const std::string* f = slot < offsetColumns_.size() ? Field(row, offsetColumns_[slot]) : nullptr;
  if (!Blank(f)) {
    const auto o = text::ReadStrictNumber(*f, {options_.decimal, false, text::MicrosecondUnits()});
    if (!o || !std::isfinite(o->value)) {
      status = "offset " + std::to_string(slot + 1) + " unreadable: " + Quoted(*f);
      return false;
    }
    if (!(std::fabs(o->value) <= constants::kMaxTdOffset)) {
      status = "offset " + std::to_string(slot + 1) + " outside \xC2\xB1" +
               Fixed(constants::kMaxTdOffset, 0) + " \xC2\xB5s: " + Quoted(*f);
      return false;
    }
    offset = o->value;
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
  const Coordinate lat = ReadCoordinate(latText, true, options_);
  const Coordinate lon = ReadCoordinate(lonText, false, options_);
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
  const text::StrictNumberFormat tdFormat{options_.decimal, true, text::MicrosecondUnits()};
  for (std::size_t k = 0; k < known.lops.size(); ++k) {
    const std::string* f = Field(row, tdColumns_[slots[k]]);
    if (Blank(f)) continue;  // that LOP was not read here
    const auto td = text::ReadStrictNumber(*f, tdFormat);
    if (!td || !std::isfinite(td->value)) {
      problem = "TD " + std::to_string(slots[k] + 1) + " unreadable: " + Quoted(*f);
      return false;
    }
    known.tds[k] = td->value;
  }
  if (std::none_of(known.tds.begin(), known.tds.end(),
                   [](const auto& t) { return t.has_value(); })) {
    problem = "no TD";
    return false;
  }
  return true;
}

void Converter::Fix(const Row& row, OutRow& out, std::string& status) const {
  std::vector<loran::LopPair> pairs;
  std::vector<std::size_t> slots;  // the LOP number - 1 of each LOP used
  if (!RowLops(row, pairs, slots, status)) return;
  const std::size_t n = pairs.size();

  // TDs and weights, read whole.
  std::vector<loran::Lop> lops(n);
  std::vector<text::StrictNumber> typed(n);
  const text::StrictNumberFormat tdFormat{options_.decimal, true, text::MicrosecondUnits()};
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t slot = slots[k];
    const std::string number = std::to_string(slot + 1);
    const std::string* f = Field(row, tdColumns_[slot]);
    if (Blank(f)) {
      status = "TD " + number + " missing";
      return;
    }
    const auto td = text::ReadStrictNumber(*f, tdFormat);
    if (!td || !std::isfinite(td->value)) {
      status = "TD " + number + " unreadable: " + Quoted(*f);
      return;
    }
    typed[k] = *td;
    lops[k] = loran::Lop{pairs[k].master, pairs[k].secondary, td->value, 1.0};
    const std::string* w =
        slot < weightColumns_.size() ? Field(row, weightColumns_[slot]) : nullptr;
    if (!Blank(w)) {
      const auto weight = text::ReadStrictNumber(*w, {options_.decimal, false, {}});
      if (!weight) {
        status = "weight " + number + " unreadable: " + Quoted(*w);
        return;
      }
      if (!(weight->value >= 0.0 && weight->value <= 1.0)) {
        status = "weight " + number + " outside 0 to 1: " + Quoted(*w);
        return;
      }
      lops[k].weight = checked::ToFloat(weight->value);
    }
  }
  std::vector<double> offsets(n, 0.0);
  for (std::size_t k = 0; k < n; ++k) {
    if (!RowOffset(row, pairs[k], slots[k], offsets[k], status)) return;
  }

  // Start.
  bool haveStart = nearGiven_;
  loran::GeoPoint start = near_;
  if (!haveStart && startColumns_.size() == 2 &&
      !(json_ && !Field(row, startColumns_[0]) && !Field(row, startColumns_[1]))) {
    std::string error;
    const std::optional<Position> read =
        ReadPosition(Field(row, startColumns_[0]), Field(row, startColumns_[1]), error);
    if (!read) {
      status = "start " + error;
      return;
    }
    haveStart = true;
    start = read->wgs84;
  }

  // Leading digits left off: the completion nearest the prediction at the start.
  std::string completed;
  if (options_.completeDigits && haveStart) {
    for (std::size_t k = 0; k < n; ++k) {
      const text::StrictNumber& t = typed[k];
      if (t.plain.find_first_of("-e") != std::string::npos) continue;
      const double predicted =
          loran::PredictPair(catalogue_, start, pairs[k].master, pairs[k].secondary).td +
          offsets[k];
      const double place = std::pow(10.0, t.integerDigits);
      const double prefix = std::round((predicted - t.value) / place);
      if (!(prefix >= 1.0 && prefix < 1e9)) continue;
      const std::string full = std::to_string(static_cast<long>(prefix)) + t.plain;
      lops[k].observedTd = text::DecimalValue(full);
      completed += (completed.empty() ? "" : " ") + std::to_string(slots[k] + 1);
    }
  }
  out.results[resultNames_.size() - 2] = Cell{completed, false};
  for (std::size_t k = 0; k < n; ++k) lops[k].observedTd = lops[k].observedTd - offsets[k];

  const std::shared_ptr<const loran::CoverageGrid> grid = grid_ ? grid_ : Grid(pairs);
  if (grid->Empty()) {
    status = "the LOPs have no common coverage";
    return;
  }
  for (std::size_t k = 0; k < n; ++k) {
    const int ki = static_cast<int>(k);
    if (lops[k].observedTd < grid->TdLow(ki) || lops[k].observedTd > grid->TdHigh(ki)) {
      // Told as observed: the TD as read, the range with the offset.
      const double o = offsets[k];
      status = "TD " + std::to_string(slots[k] + 1) + " " + Fixed(lops[k].observedTd + o, 1) +
               " outside the coverage of " + LopName(catalogue_, pairs[k]) + " (" +
               Fixed(grid->TdLow(ki) + o, 1) + " to " + Fixed(grid->TdHigh(ki) + o, 1) + ")";
      return;
    }
  }

  // The fix.
  loran::GeoPoint fix;
  std::int16_t passes = 0;
  std::vector<double> residuals;
  double gdop = 0.0;
  std::string kind;
  std::string other;
  if (n == 2) {
    kind = "two-lop";
    const std::vector<loran::TwoLopFixResult> crossings = grid->Crossings(lops[0], lops[1]);
    loran::TwoLopFixResult two;
    if (haveStart) {
      two = loran::TwoLopFix(catalogue_, lops[0], lops[1], start);
    } else if (crossings.empty()) {
      status = "no crossing within the coverage";
      return;
    } else {
      // Of two crossings the one with the better geometry.
      double best = std::numeric_limits<double>::infinity();
      for (const loran::TwoLopFixResult& c : crossings) {
        double g = std::numeric_limits<double>::infinity();
        try {
          g = TwoLopGdopAt(catalogue_, c.fix, lops[0], lops[1]);
        } catch (const RuntimeFault&) {
          // A degenerate pair there: any other crossing is better.
        }
        if (g < best || !two.converged) {
          best = g;
          two = c;
        }
      }
    }
    passes = two.passes;
    if (!two.converged) {
      status = "no convergence in " + std::to_string(two.passes) + " passes";
      out.results[kPasses] = Cell{std::to_string(passes), true};
      return;
    }
    fix = two.fix;
    double nearest = std::numeric_limits<double>::infinity();
    for (const loran::TwoLopFixResult& c : crossings) {
      const double d = loran::GeoDistAz(fix, c.fix).distance;
      if (d > constants::kCrossingSeparation) nearest = std::min(nearest, d);
    }
    if (std::isfinite(nearest)) other = Fixed(nearest / 1000.0, 1);
    for (const loran::Lop& l : lops) {
      residuals.push_back(loran::PredictPair(catalogue_, fix, l.master, l.secondary).td -
                          l.observedTd);
    }
  } else {
    kind = "lsq";
    std::vector<loran::GeoPoint> starts{start};
    if (!haveStart) {
      starts = grid->LeastMisfitStarts(lops, constants::kLeastMisfitStarts);
      if (starts.empty()) {
        status = "no start within the coverage";
        return;
      }
    }
    loran::LeastSquaresFix lsq;
    for (std::size_t s = 0; s < starts.size(); ++s) {
      loran::LeastSquaresFix tried = loran::LsqFix(catalogue_, lops, starts[s]);
      // Of several starts the first whose fix converges inside the coverage.
      const bool good = starts.size() == 1 || (tried.converged && !tried.fault &&
                                               InCoverage(catalogue_, pairs, tried.fix));
      if (s == 0 || good) lsq = std::move(tried);
      if (good) break;
    }
    passes = lsq.passes;
    out.results[kPasses] = Cell{std::to_string(passes), true};
    if (lsq.fault) {
      status = lsq.fault->what();
      return;
    }
    if (!lsq.converged) {
      status = "no convergence in " + std::to_string(lsq.passes) + " passes";
      return;
    }
    if (!lsq.messages.empty()) {
      std::string m = lsq.messages.front().text;
      while (!m.empty() && m.back() == ' ') m.pop_back();
      status = "nearly singular geometry (" + m + ")";
    }
    fix = lsq.fix;
    residuals = lsq.residuals;
  }

  // The geometry at the fix: its GDOP and whether it lies inside the coverage.
  const std::vector<loran::LopView> views = loran::ViewFrom(catalogue_, pairs, fix);
  if (n == 2) {
    gdop = loran::TwoLopGdop(views[0].master.azimuth, views[0].secondary.azimuth,
                             views[1].master.azimuth, views[1].secondary.azimuth);
  } else {
    std::vector<double> azimuths;
    for (const loran::LopView& v : views) azimuths.push_back(v.secondary.azimuth);
    gdop = loran::LsqGdop(azimuths);
  }

  WritePosition(Shown(fix), kLat, out);
  // An iteration can carry the latitude past a pole: no map takes that.
  out.hasPosition = std::fabs(constants::Degrees(fix.lat)) <= 90.0;
  if (out.hasPosition && setup_.area) {
    out.beyondCalibration = loran::DistanceMetres(setup_.area->centre, fix) - setup_.area->radius >
                            constants::kCalibrationReach;
  }
  out.results[kKind] = Cell{kind, false};
  out.results[kPasses] = Cell{std::to_string(passes), true};
  out.results[kGdop] = Cell{gdop > 0.0 ? text::Format(gdop, "0.00", '.') : "", true};
  for (std::size_t k = 0; k < n; ++k) {
    out.results[kFirstResidual + slots[k]] = Cell{text::Format(residuals[k], "0.000", '.'), true};
  }
  out.results[resultNames_.size() - 3] = Cell{other, true};
  std::optional<loran::FixAccuracy> accuracy;
  try {
    accuracy = loran::FixAccuracyAt(catalogue_, lops, fix, options_.tdSigma);
  } catch (const RuntimeFault&) {
    // No gradient at the fix: no ellipse either.
  }
  if (accuracy) {
    const loran::ErrorEllipse& e = accuracy->ellipse95;
    const double values[] = {e.semiMajor, e.semiMinor, constants::Degrees(e.azimuth),
                             accuracy->drms2};
    for (std::size_t i = 0; i < std::size(values); ++i) {
      out.results[accuracyColumn_ + i] = Cell{Fixed(values[i], 1), true};
    }
  }
  bool covered = false;
  try {
    covered = loran::Covered(views);
  } catch (const RuntimeFault&) {
    // A LOP due east-west at the fix has no gradient: not a place to fix by.
  }
  if (status.empty() && !covered) status = "fix outside the coverage";
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
  const std::size_t n = (resultNames_.size() - (datumColumn_ < 0 ? 5 : 6)) / 2;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    const loran::PairPrediction p =
        loran::PredictPair(catalogue_, at->wgs84, pairs[k].master, pairs[k].secondary);
    out.results[4 + slots[k]] = Cell{text::Format(p.td + offsets[k], "#.000", '.'), true};
    out.results[4 + n + slots[k]] = Cell{text::Format(p.direction.gradient, "0", '.'), true};
  }
}

}  // namespace kestrune::convert
