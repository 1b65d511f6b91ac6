// Logbook cells.
//
// Notation:
//   k          LOP number, 1 to n in statuses, 0 to n - 1 in code
//   td, w, o   observed TD (us), weight (0 to 1, held in 32 bits as the
//              window holds it) and per-row ASF offset (us) of a LOP
#include "loran/logbook_cells.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/output_text.hpp"

namespace kestrune::loran {

namespace {

// A designator is a letter or two; what a cell holds beyond is cut when echoed.
constexpr std::size_t kEchoedDesignatorBytes = 8;

// Shortest round-trip text of a number cell: read back, it is the number.
// (Any double's shortest form fits in 64 characters.)
std::string Shortest(double value) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

std::string Fixed(double value, int decimals) {
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("?");
}

}  // namespace

bool LogbookCell::Blank() const {
  if (isNumber) return std::isnan(number);
  return text == nullptr || text->find_first_not_of(" \t") == std::string::npos;
}

std::string LogbookCell::Shown() const {
  if (isNumber) return Shortest(number);
  return text ? *text : std::string();
}

std::optional<text::StrictNumber> LogbookCell::Read(const text::StrictNumberFormat& format) const {
  if (Blank()) return std::nullopt;
  if (!isNumber) return text::ReadStrictNumber(*text, format);
  return text::ReadStrictNumber(Shortest(number), {text::DecimalMark::kPoint, false, {}});
}

std::string QuotedCell(const std::string& s) {
  return "'" + text::EchoText(s, static_cast<std::size_t>(constants::kQuotedCellBytes)) + "'";
}

LopRead ReadLop(const Catalogue& catalogue, const std::string& text) {
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
    return {{}, "LOP unreadable: " + QuotedCell(text)};
  }
  const int g = std::stoi(gri);
  const int master = catalogue.Find(g, "M");
  const int secondary = designator == "M" ? -1 : catalogue.Find(g, designator);
  if (master < 0 || secondary < 0) {
    return {{}, "no station " + gri + text::EchoText(designator, kEchoedDesignatorBytes)};
  }
  return {{static_cast<std::int16_t>(master), static_cast<std::int16_t>(secondary)}, {}};
}

bool ReadRowLops(const Catalogue& catalogue, std::span<const LopPair> given,
                 std::span<const LogbookCell> cells, std::size_t least, RowLops& lops,
                 std::string& status) {
  lops.pairs.assign(given.begin(), given.end());
  lops.slots.clear();
  for (std::size_t k = 0; k < given.size(); ++k) lops.slots.push_back(k);
  if (!given.empty()) return true;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (cells[k].Blank()) continue;
    const LopRead l = ReadLop(catalogue, cells[k].Shown());
    if (!l.error.empty()) {
      status = l.error;
      return false;
    }
    lops.pairs.push_back(l.pair);
    lops.slots.push_back(k);
  }
  if (lops.pairs.size() < least) {
    status = least == 2 ? "fewer than 2 LOPs" : "no LOP";
    return false;
  }
  return true;
}

std::optional<text::StrictNumber> ReadTd(const LogbookCell& cell, int number,
                                         text::DecimalMark mark, std::string& status) {
  const std::string k = std::to_string(number);
  if (cell.Blank()) {
    status = "TD " + k + " missing";
    return std::nullopt;
  }
  auto td = cell.Read({mark, true, text::MicrosecondUnits()});
  if (!td || !std::isfinite(td->value)) {
    status = "TD " + k + " unreadable: " + QuotedCell(cell.Shown());
    return std::nullopt;
  }
  return td;
}

bool ReadWeight(const LogbookCell& cell, int number, text::DecimalMark mark, double& weight,
                std::string& status) {
  weight = 1.0;
  if (cell.Blank()) return true;
  const std::string k = std::to_string(number);
  const auto w = cell.Read({mark, false, {}});
  if (!w) {
    status = "weight " + k + " unreadable: " + QuotedCell(cell.Shown());
    return false;
  }
  if (!(w->value >= 0.0 && w->value <= 1.0)) {
    status = "weight " + k + " outside 0 to 1: " + QuotedCell(cell.Shown());
    return false;
  }
  weight = checked::ToFloat(w->value);
  return true;
}

bool ReadOffsetCell(const LogbookCell& cell, int number, text::DecimalMark mark,
                    std::optional<double>& offset, std::string& status) {
  offset.reset();
  if (cell.Blank()) return true;
  const auto o = cell.Read({mark, false, text::MicrosecondUnits()});
  if (!o || !std::isfinite(o->value)) {
    status = "offset " + std::to_string(number) + " unreadable: " + QuotedCell(cell.Shown());
    return false;
  }
  // Beyond any ASF: a typing slip, or the TD of another chain.
  if (!(std::fabs(o->value) <= constants::kMaxTdOffset)) {
    status = "offset " + std::to_string(number) + " outside \xC2\xB1" +
             text::FixedText(constants::kMaxTdOffset, 0) +
             " \xC2\xB5s: " + QuotedCell(cell.Shown());
    return false;
  }
  offset = o->value;
  return true;
}

CoordinateRead ReadCoordinate(const LogbookCell& cell, bool lat, text::DecimalMark mark,
                              bool textOnly) {
  const std::string what = lat ? "latitude" : "longitude";
  if (cell.Blank()) return {0.0, what + " missing"};
  const std::string shown = cell.Shown();
  if (!cell.isNumber && !text::HasDigit(shown)) {
    return {0.0, what + " unreadable: " + QuotedCell(shown) + " (no digit)"};
  }
  if (cell.isNumber || !textOnly) {
    const auto n = cell.Read({mark, false, {}});
    if (n) {
      const double limit = lat ? constants::kMaxLatitude : constants::kMaxLongitude;
      if (!(std::fabs(n->value) <= limit)) {
        return {0.0, what + " " + QuotedCell(shown) + " beyond \xC2\xB1" + (lat ? "90" : "180") +
                         "\xC2\xB0"};
      }
      return {n->value, {}};
    }
  }
  const text::ParsedCoordinate p = text::ParseLatLon(shown, lat ? "LAT" : "LON");
  if (!p.messages.empty()) {
    return {0.0, what + " unreadable: " + QuotedCell(shown) + " (" + p.messages[0] + ")"};
  }
  return {p.value, {}};
}

std::optional<std::string> CompleteRowDigits(const Catalogue& catalogue, std::vector<Lop>& lops,
                                             std::span<const text::StrictNumber> typed,
                                             std::span<const double> offsets,
                                             std::span<const std::size_t> slots, GeoPoint start,
                                             std::string& status) {
  std::string completed;
  for (std::size_t k = 0; k < lops.size(); ++k) {
    const double o = k < offsets.size() ? offsets[k] : 0.0;
    const double predicted =
        PredictPair(catalogue, start, lops[k].master, lops[k].secondary).td + o;
    const TdCompletion c = CompleteLeadingDigits(typed[k], predicted);
    if (c.ambiguous) {
      status = "ambiguous completion: TD " + std::to_string(slots[k] + 1) + " " +
               Fixed(c.value, 1) + " or " + Fixed(c.alternative, 1);
      return std::nullopt;
    }
    if (!c.completed) continue;
    lops[k].observedTd = c.value;
    completed += (completed.empty() ? "" : " ") + std::to_string(slots[k] + 1);
  }
  return completed;
}

std::optional<TrackStarts::Point> TrackStarts::Last(const std::string& track) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = last_.find(track);
  if (it == last_.end()) return std::nullopt;
  return it->second;
}

void TrackStarts::Record(const std::string& track, Point p) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_[track] = p;
}

RowStart ChooseStart(const std::optional<GeoPoint>& cellStart, const TrackStarts* track,
                     const std::string& key, const char* trackWord,
                     const std::optional<GeoPoint>& near) {
  if (cellStart) return {cellStart, StartSource::kGiven, "start columns"};
  if (track) {
    if (const auto last = track->Last(key)) {
      return {last->at, StartSource::kTrack,
              std::string("track ") + trackWord + " " + std::to_string(last->where)};
    }
  }
  if (near) return {near, StartSource::kGiven, "near"};
  return {};
}

}  // namespace kestrune::loran
