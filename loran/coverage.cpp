// Coverage and the crossing search.
//
// Notation:
//   row, col    lattice node indices; latitude lat0 + row * dLat, longitude
//               lon0 + col * dLon (degrees); lat0, lon0 whole multiples of
//               the steps, so every field's nodes are nodes of one lattice
//   cell        the square of nodes (row, col) to (row + 1, col + 1)
//   g           predicted - observed TD of a LOP at a node, us
//   s           the LOP spacing 1 / |grad T|, metres per us; |g| s is about
//               the distance of the node from the LOP, metres
//   R           the ground-wave reach as an angle on the bounding sphere
// A LOP passes through a cell when g takes both signs at its corners, and
// grazes it when a corner lies within a cell diagonal of it; two LOPs cross
// near a cell they both pass or graze.
#include "loran/coverage.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "loran/geodesic.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/output_text.hpp"

namespace kestrune::loran {

using namespace kestrune::constants;

struct LopField {
  LopPair pair;
  double lat0 = 0.0;  // degrees
  double lon0 = 0.0;  // degrees
  int rows = 0;
  int cols = 0;
  std::vector<double> td;             // by node, us; NaN where the geometry faults
  std::vector<float> spacing;         // by node, metres per us: 1 / |grad T|
  std::vector<std::uint8_t> inReach;  // by node: 1 both stations within reach
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  double maxStep = 0.0;             // us, the largest TD step between neighbours within reach
  std::vector<std::uint32_t> byTd;  // the nodes within reach, by TD
};

namespace {

// Latitudes nearer the pole than this are left out of the lattice.
constexpr double kGridPoleLimit = 89.0;  // degrees

struct Box {
  double latLo = -kGridPoleLimit, latHi = kGridPoleLimit, lonLo = -180.0, lonHi = 180.0;
};

// Narrows `box` to the bounding box of a station's reach on a sphere, a step wider.
void ClipToReach(Box& box, GeoPoint station) {
  const double r = kGroundWaveReach / kMeanEarthRadius;
  const double rDeg = Degrees(r);
  const double lat = Degrees(station.lat);
  box.latLo = std::max(box.latLo, lat - rDeg - kCoverageGridLatStep);
  box.latHi = std::min(box.latHi, lat + rDeg + kCoverageGridLatStep);
  if (std::fabs(lat) + rDeg < 90.0) {
    const double half = Degrees(std::asin(std::sin(r) / std::cos(station.lat)));
    box.lonLo = std::max(box.lonLo, Degrees(station.lon) - half - kCoverageGridLonStep);
    box.lonHi = std::min(box.lonHi, Degrees(station.lon) + half + kCoverageGridLonStep);
  }
}

bool Within(const PairRanges& r) {
  return r.master.distance <= kGroundWaveReach && r.secondary.distance <= kGroundWaveReach;
}

// The TD range within reach, widened by the largest step between neighbours:
// a position between nodes can lie that much beyond the nodes' values.
void SetRange(LopField& f) {
  double step = 0.0;
  for (int row = 0; row < f.rows; ++row) {
    for (int col = 0; col < f.cols; ++col) {
      const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(f.cols) +
                            static_cast<std::size_t>(col);
      if (!f.inReach[i]) continue;
      f.low = std::min(f.low, f.td[i]);
      f.high = std::max(f.high, f.td[i]);
      const std::size_t up = row + 1 < f.rows ? i + static_cast<std::size_t>(f.cols) : i;
      const std::size_t right = col + 1 < f.cols ? i + 1 : i;
      for (const std::size_t j : {up, right}) {
        if (f.inReach[j]) step = std::max(step, std::fabs(f.td[j] - f.td[i]));
      }
    }
  }
  f.low -= step;
  f.high += step;
  f.maxStep = step;
  for (std::size_t i = 0; i < f.inReach.size(); ++i) {
    if (f.inReach[i]) f.byTd.push_back(static_cast<std::uint32_t>(i));
  }
  std::sort(f.byTd.begin(), f.byTd.end(),
            [&f](std::uint32_t a, std::uint32_t b) { return f.td[a] < f.td[b]; });
}

std::shared_ptr<const LopField> BuildField(const Catalogue& catalogue, LopPair pair) {
  auto f = std::make_shared<LopField>();
  f->pair = pair;
  Box box;
  ClipToReach(box, catalogue.At(pair.master).position);
  ClipToReach(box, catalogue.At(pair.secondary).position);
  if (box.latHi < box.latLo || box.lonHi < box.lonLo) return f;
  f->lat0 = std::floor(box.latLo / kCoverageGridLatStep) * kCoverageGridLatStep;
  f->lon0 = std::floor(box.lonLo / kCoverageGridLonStep) * kCoverageGridLonStep;
  f->rows = static_cast<int>(std::ceil((box.latHi - f->lat0) / kCoverageGridLatStep)) + 1;
  f->cols = static_cast<int>(std::ceil((box.lonHi - f->lon0) / kCoverageGridLonStep)) + 1;
  const std::size_t nodes = static_cast<std::size_t>(f->rows) * static_cast<std::size_t>(f->cols);
  f->td.assign(nodes, std::numeric_limits<double>::quiet_NaN());
  f->spacing.assign(nodes, std::numeric_limits<float>::infinity());
  f->inReach.assign(nodes, 0);
  const Station& master = catalogue.At(pair.master);
  const Station& secondary = catalogue.At(pair.secondary);
  for (std::size_t i = 0; i < nodes; ++i) {
    const auto row = static_cast<int>(i / static_cast<std::size_t>(f->cols));
    const auto col = static_cast<int>(i % static_cast<std::size_t>(f->cols));
    const GeoPoint at{Radians(f->lat0 + row * kCoverageGridLatStep),
                      Radians(f->lon0 + col * kCoverageGridLonStep)};
    try {
      const PairRanges r = RangePair(at, master, secondary);
      const LopLinearisation lin = TdPartials(r, 0.0, 0.0);
      f->td[i] = PredictedTd(r, secondary.emissionDelay);
      const double size = std::hypot(lin.gradEast, lin.gradNorth) / kSignalSpeed;
      if (size > 0.0) f->spacing[i] = static_cast<float>(1.0 / size);
      f->inReach[i] = Within(r) ? 1 : 0;
    } catch (const RuntimeFault&) {
      // A station's own position: no TD there.
    }
  }
  SetRange(*f);
  return f;
}

// Metres from a node to the LOP through the observed TD, to first order.
double NodeDistance(double g, float spacing) {
  return std::fabs(g) * static_cast<double>(spacing);
}

// A number as statuses show it; the buffer holds any double in fixed form.
std::string Fixed(double value, int decimals) {
  return text::FixedText(value, decimals);
}

std::string AccuracyText(double metres) {
  return metres >= 1000.0 ? Fixed(metres / 1000.0, 1) + " km" : Fixed(metres, 0) + " m";
}

}  // namespace

std::string CoverageStatus(const Catalogue& catalogue, const CoverageAssessment& a) {
  switch (a.verdict) {
    case CoverageVerdict::kInside:
      return {};
    case CoverageVerdict::kBeyondReach:
      return "beyond ground-wave reach: " + catalogue.At(a.station).name + " " +
             Fixed(a.distance / 1000.0, 0) + " km away";
    case CoverageVerdict::kPoorAccuracy:
      return "accuracy " + AccuracyText(a.accuracy->drms2) + " at 95 %";
    case CoverageVerdict::kNoGeometry:
      break;
  }
  return "accuracy unknown: the LOPs are parallel at the fix";
}

CoverageAssessment AssessCoverage(const Catalogue& catalogue, std::span<const Lop> lops,
                                  GeoPoint at, double tdSigma) {
  CoverageAssessment out;
  std::vector<TdGradient> gradients;
  try {
    for (const Lop& lop : lops) {
      const PairRanges r = RangePair(at, catalogue.At(lop.master), catalogue.At(lop.secondary));
      const LopLinearisation lin = TdPartials(r, 0.0, 0.0);
      gradients.push_back(
          TdGradient{lin.gradEast / kSignalSpeed, lin.gradNorth / kSignalSpeed, lop.weight});
      out.ranges.push_back(r);
      for (const auto& [station, range] : {std::pair{lop.master, r.master.distance},
                                           std::pair{lop.secondary, r.secondary.distance}}) {
        if (range > out.distance) {
          out.distance = range;
          out.station = station;
        }
      }
    }
  } catch (const RuntimeFault&) {
    out.ranges.clear();
    return out;
  }
  out.accuracy = FixAccuracyFrom(gradients, tdSigma);
  if (out.distance > kGroundWaveReach) {
    out.verdict = CoverageVerdict::kBeyondReach;
  } else if (!out.accuracy) {
    out.verdict = CoverageVerdict::kNoGeometry;
  } else {
    out.verdict = out.accuracy->drms2 <= kCoverageAccuracy ? CoverageVerdict::kInside
                                                           : CoverageVerdict::kPoorAccuracy;
  }
  return out;
}

CoverageGrid::CoverageGrid(const Catalogue& catalogue, std::vector<LopPair> lops,
                           std::vector<std::shared_ptr<const LopField>> fields)
    : catalogue_(&catalogue), lops_(std::move(lops)), fields_(std::move(fields)) {
  // The nodes every field holds.
  double latHi = std::numeric_limits<double>::infinity();
  double lonHi = latHi;
  lat0_ = -latHi;
  lon0_ = -latHi;
  for (const auto& f : fields_) {
    lat0_ = std::max(lat0_, f->lat0);
    lon0_ = std::max(lon0_, f->lon0);
    latHi = std::min(latHi, f->lat0 + (f->rows - 1) * kCoverageGridLatStep);
    lonHi = std::min(lonHi, f->lon0 + (f->cols - 1) * kCoverageGridLonStep);
  }
  if (fields_.empty() || latHi < lat0_ || lonHi < lon0_) return;
  rows_ = static_cast<int>(std::lround((latHi - lat0_) / kCoverageGridLatStep)) + 1;
  cols_ = static_cast<int>(std::lround((lonHi - lon0_) / kCoverageGridLonStep)) + 1;
  for (const auto& f : fields_) {
    rowOffset_.push_back(static_cast<int>(std::lround((lat0_ - f->lat0) / kCoverageGridLatStep)));
    colOffset_.push_back(static_cast<int>(std::lround((lon0_ - f->lon0) / kCoverageGridLonStep)));
  }
  for (int row = 0; row < rows_ && !anyInReach_; ++row) {
    for (int col = 0; col < cols_ && !anyInReach_; ++col) anyInReach_ = InReach(row, col);
  }
}

std::size_t CoverageGrid::FieldIndex(int k, int row, int col) const {
  const auto ki = static_cast<std::size_t>(k);
  return static_cast<std::size_t>(row + rowOffset_[ki]) *
             static_cast<std::size_t>(fields_[ki]->cols) +
         static_cast<std::size_t>(col + colOffset_[ki]);
}

bool CoverageGrid::InReach(int row, int col) const {
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    if (!fields_[k]->inReach[FieldIndex(static_cast<int>(k), row, col)]) return false;
  }
  return true;
}

int CoverageGrid::FieldOf(std::int16_t master, std::int16_t secondary) const {
  for (std::size_t k = 0; k < lops_.size(); ++k) {
    if (lops_[k].master == master && lops_[k].secondary == secondary) return static_cast<int>(k);
  }
  return -1;
}

GeoPoint CoverageGrid::Node(double row, double col) const {
  return GeoPoint{Radians(lat0_ + row * kCoverageGridLatStep),
                  Radians(lon0_ + col * kCoverageGridLonStep)};
}

std::optional<std::pair<double, double>> CoverageGrid::TdRange(LopPair pair) const {
  const int k = FieldOf(pair.master, pair.secondary);
  if (k < 0) return std::nullopt;
  const LopField& f = *fields_[static_cast<std::size_t>(k)];
  if (!(f.low <= f.high)) return std::nullopt;
  return std::pair{f.low, f.high};
}

std::vector<TwoLopFixResult> CoverageGrid::Crossings(const Lop& first, const Lop& second) const {
  std::vector<TwoLopFixResult> found;
  const int ks[2] = {FieldOf(first.master, first.secondary),
                     FieldOf(second.master, second.secondary)};
  if (rows_ < 2 || cols_ < 2 || ks[0] < 0 || ks[1] < 0) return found;
  const double observed[2] = {first.observedTd, second.observedTd};
  // A cell diagonal, metres, at the widest (the equator).
  const double diagonal =
      std::hypot(Radians(kCoverageGridLatStep), Radians(kCoverageGridLonStep)) * kMeanEarthRadius;
  const int cellRows = rows_ - 1;
  const int cellCols = cols_ - 1;
  // Per cell: how near each LOP comes to it (metres, 0 when it passes through).
  std::vector<double> near[2];
  for (int j = 0; j < 2; ++j) {
    const LopField& f = *fields_[static_cast<std::size_t>(ks[j])];
    near[j].assign(static_cast<std::size_t>(cellRows) * static_cast<std::size_t>(cellCols),
                   std::numeric_limits<double>::infinity());
    for (int row = 0; row < cellRows; ++row) {
      for (int col = 0; col < cellCols; ++col) {
        double lo = std::numeric_limits<double>::infinity(), hi = -lo, closest = lo;
        bool valid = true;
        for (const auto& [dr, dc] : {std::pair{0, 0}, {0, 1}, {1, 0}, {1, 1}}) {
          const std::size_t i = FieldIndex(ks[j], row + dr, col + dc);
          const double g = f.td[i] - observed[j];
          valid = valid && std::isfinite(g);
          lo = std::min(lo, g);
          hi = std::max(hi, g);
          closest = std::min(closest, NodeDistance(g, f.spacing[i]));
        }
        const std::size_t c = static_cast<std::size_t>(row * cellCols + col);
        // A corner that faults is a station: the LOPs bend sharply there, so try it.
        if (!valid || (lo <= 0.0 && hi >= 0.0)) {
          near[j][c] = 0.0;
        } else if (closest <= diagonal) {
          near[j][c] = closest;
        }
      }
    }
  }

  // Starts: cells both LOPs reach, also from a neighbouring cell when they
  // cut at a small angle; the nearest to both first.
  std::vector<std::pair<double, std::pair<int, int>>> starts;
  for (int row = 0; row < cellRows; ++row) {
    for (int col = 0; col < cellCols; ++col) {
      const double a = near[0][static_cast<std::size_t>(row * cellCols + col)];
      if (!std::isfinite(a)) continue;
      double b = std::numeric_limits<double>::infinity();
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          const int r = row + dr, c = col + dc;
          if (r >= 0 && r < cellRows && c >= 0 && c < cellCols) {
            b = std::min(b, near[1][static_cast<std::size_t>(r * cellCols + c)] +
                                ((dr != 0 || dc != 0) ? diagonal : 0.0));
          }
        }
      }
      if (std::isfinite(b)) starts.push_back({a + b, {row, col}});
    }
  }
  std::stable_sort(starts.begin(), starts.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });

  int tried = 0;
  for (const auto& [score, cell] : starts) {
    const GeoPoint start = Node(cell.first + 0.5, cell.second + 0.5);
    bool near2 = false;
    for (const TwoLopFixResult& f : found) {
      near2 =
          near2 ||
          (std::fabs(Degrees(f.fix.lat - start.lat)) < kFoundCrossingCells * kCoverageGridLatStep &&
           std::fabs(Degrees(f.fix.lon - start.lon)) < kFoundCrossingCells * kCoverageGridLonStep);
    }
    if (near2) continue;
    if (++tried > kMaxCrossingStarts) break;
    try {
      TwoLopFixResult fix = TwoLopFix(*catalogue_, first, second, start);
      if (!fix.converged || !(std::fabs(fix.fix.lat) <= kHalfPi)) continue;
      const Lop both[2] = {first, second};
      const CoverageAssessment at = AssessCoverage(*catalogue_, both, fix.fix, 1.0);
      if (at.verdict == CoverageVerdict::kBeyondReach || at.ranges.empty()) continue;
      bool known = false;
      for (const TwoLopFixResult& f : found) {
        known = known || GeoDistAz(f.fix, fix.fix).distance < kCrossingSeparation;
      }
      if (!known) found.push_back(std::move(fix));
    } catch (const RuntimeFault&) {
      // Parallel at a pass from this start: other starts may still converge.
    }
  }
  return found;
}

std::vector<GeoPoint> CoverageGrid::LeastMisfitStarts(std::span<const Lop> lops, int count) const {
  std::vector<int> ks;
  for (const Lop& l : lops) ks.push_back(FieldOf(l.master, l.secondary));
  if (lops.empty() || std::find(ks.begin(), ks.end(), -1) != ks.end()) return {};
  // The fix lies on the first LOP: only the nodes within a cell diagonal of
  // it are scored, found by TD in its field's sorted nodes.
  const auto k0 = static_cast<std::size_t>(ks[0]);
  const LopField& f0 = *fields_[k0];
  const double diagonal =
      std::hypot(Radians(kCoverageGridLatStep), Radians(kCoverageGridLonStep)) * kMeanEarthRadius;
  const double observed = lops[0].observedTd;
  const auto lo = std::lower_bound(f0.byTd.begin(), f0.byTd.end(), observed - f0.maxStep,
                                   [&f0](std::uint32_t i, double td) { return f0.td[i] < td; });
  std::vector<float> cost(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_),
                          std::numeric_limits<float>::infinity());
  std::vector<int> band;
  for (auto it = lo; it != f0.byTd.end() && f0.td[*it] <= observed + f0.maxStep; ++it) {
    if (NodeDistance(f0.td[*it] - observed, f0.spacing[*it]) > diagonal) continue;
    const int row = static_cast<int>(*it) / f0.cols - rowOffset_[k0];
    const int col = static_cast<int>(*it) % f0.cols - colOffset_[k0];
    if (row < 0 || row >= rows_ || col < 0 || col >= cols_) continue;
    double sum = 0.0;
    for (std::size_t k = 0; k < ks.size(); ++k) {
      const LopField& f = *fields_[static_cast<std::size_t>(ks[k])];
      const std::size_t i = FieldIndex(ks[k], row, col);
      const double metres = NodeDistance(f.td[i] - lops[k].observedTd, f.spacing[i]);
      sum += metres * metres;
    }
    if (!std::isfinite(sum)) continue;
    cost[static_cast<std::size_t>(row * cols_ + col)] = static_cast<float>(sum);
    band.push_back(row * cols_ + col);
  }
  std::vector<std::pair<float, int>> minima;
  for (const int node : band) {
    const float c = cost[static_cast<std::size_t>(node)];
    const int row = node / cols_, col = node % cols_;
    bool least = true;
    for (int dr = -1; dr <= 1 && least; ++dr) {
      for (int dc = -1; dc <= 1 && least; ++dc) {
        const int r = row + dr, k = col + dc;
        if ((dr != 0 || dc != 0) && r >= 0 && r < rows_ && k >= 0 && k < cols_) {
          least = cost[static_cast<std::size_t>(r * cols_ + k)] >= c;
        }
      }
    }
    if (least) minima.emplace_back(c, node);
  }
  const std::size_t keep = std::min(minima.size(), static_cast<std::size_t>(std::max(count, 0)));
  std::partial_sort(minima.begin(), minima.begin() + static_cast<std::ptrdiff_t>(keep),
                    minima.end());
  std::vector<GeoPoint> out;
  for (std::size_t m = 0; m < keep; ++m) {
    out.push_back(Node(minima[m].second / cols_, minima[m].second % cols_));
  }
  return out;
}

std::shared_ptr<const CoverageGrid> CoverageCache::Grid(std::span<const LopPair> lops) {
  std::vector<LopPair> key(lops.begin(), lops.end());
  std::sort(key.begin(), key.end());
  key.erase(std::unique(key.begin(), key.end()), key.end());
  // Sets are cheap to remake from the fields: past this many, start again.
  constexpr std::size_t kMaxGrids = 4096;
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto it = grids_.find(key); it != grids_.end()) return it->second;
  std::vector<std::shared_ptr<const LopField>> fields;
  for (const LopPair& p : key) {
    auto& slot = fields_[{p.master, p.secondary}];
    if (!slot) slot = BuildField(*catalogue_, p);
    fields.push_back(slot);
  }
  if (grids_.size() >= kMaxGrids) grids_.clear();
  auto grid = std::make_shared<const CoverageGrid>(*catalogue_, key, std::move(fields));
  grids_.emplace(std::move(key), grid);
  return grid;
}

}  // namespace kestrune::loran
