// Coverage and the crossing search.
//
// Notation:
//   row, col    grid node indices; latitude lat0 + row * dLat, longitude
//               lon0 + col * dLon (degrees)
//   cell        the square of nodes (row, col) to (row + 1, col + 1)
//   g           predicted - observed TD of a LOP at a node, us
//   R           the ground-wave reach as an angle on the bounding sphere
// A LOP passes through a cell when g takes both signs (or zero) at its
// corners; two LOPs cross near a cell where both pass.
#include "loran/coverage.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

namespace {

using namespace kestrune::constants;

// The most two-LOP fixes one crossing search starts, however many cells
// nearly parallel LOPs share.
constexpr int kMaxCrossingStarts = 32;
// Latitudes nearer the pole than this are left out of the grid.
constexpr double kGridPoleLimit = 89.0;  // degrees

}  // namespace

std::vector<LopView> ViewFrom(const Catalogue& catalogue, std::span<const LopPair> lops,
                              GeoPoint at) {
  std::vector<int> seen;
  std::vector<RangeAzimuth> ranges;
  auto view = [&](int station) {
    for (std::size_t i = 0; i < seen.size(); ++i) {
      if (seen[i] == station) return ranges[i];
    }
    seen.push_back(station);
    ranges.push_back(GeoDistAz(at, catalogue.At(station).position));
    return ranges.back();
  };
  std::vector<LopView> out;
  for (const LopPair& lop : lops) out.push_back(LopView{view(lop.master), view(lop.secondary)});
  return out;
}

bool Covered(std::span<const LopView> views) {
  for (const LopView& v : views) {
    // The direction of a LOP depends on the azimuths alone.
    const PairRanges ranges{StationRange{v.master.distance, v.master.azimuth, 0.0},
                            StationRange{v.secondary.distance, v.secondary.azimuth, 0.0}};
    if (v.master.distance > kGroundWaveReach || v.secondary.distance > kGroundWaveReach ||
        LopAzGradient(ranges).gradient > kCoverageMaxGradient) {
      return false;
    }
  }
  return true;
}

bool InCoverage(const Catalogue& catalogue, std::span<const LopPair> lops, GeoPoint at) {
  try {
    return Covered(ViewFrom(catalogue, lops, at));
  } catch (const RuntimeFault&) {
    return false;
  }
}

CoverageGrid::CoverageGrid(const Catalogue& catalogue, std::vector<LopPair> lops)
    : catalogue_(&catalogue), lops_(std::move(lops)) {
  const std::size_t n = lops_.size();
  low_.assign(n, std::numeric_limits<double>::infinity());
  high_.assign(n, -std::numeric_limits<double>::infinity());

  // The bounding box of the stations' reach on a sphere, a step wider.
  const double r = kGroundWaveReach / kMeanEarthRadius;
  const double rDeg = constants::Degrees(r);
  double latLo = -kGridPoleLimit, latHi = kGridPoleLimit, lonLo = -180.0, lonHi = 180.0;
  for (const LopPair& lop : lops_) {
    for (int index : {static_cast<int>(lop.master), static_cast<int>(lop.secondary)}) {
      const GeoPoint p = catalogue.At(index).position;
      const double lat = constants::Degrees(p.lat);
      latLo = std::max(latLo, lat - rDeg - kCoverageGridLatStep);
      latHi = std::min(latHi, lat + rDeg + kCoverageGridLatStep);
      if (std::fabs(lat) + rDeg < 90.0) {
        const double half = constants::Degrees(std::asin(std::sin(r) / std::cos(p.lat)));
        lonLo = std::max(lonLo, constants::Degrees(p.lon) - half - kCoverageGridLonStep);
        lonHi = std::min(lonHi, constants::Degrees(p.lon) + half + kCoverageGridLonStep);
      }
    }
  }
  if (latHi < latLo || lonHi < lonLo) return;
  lat0_ = std::floor(latLo / kCoverageGridLatStep) * kCoverageGridLatStep;
  lon0_ = std::floor(lonLo / kCoverageGridLonStep) * kCoverageGridLonStep;
  rows_ = static_cast<int>(std::ceil((latHi - lat0_) / kCoverageGridLatStep)) + 1;
  cols_ = static_cast<int>(std::ceil((lonHi - lon0_) / kCoverageGridLonStep)) + 1;

  const std::size_t nodes = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_);
  inside_.assign(nodes, 0);
  td_.assign(nodes * n, 0.0);
  gradient_.assign(nodes * n, 0.0f);
  for (int row = 0; row < rows_; ++row) {
    for (int col = 0; col < cols_; ++col) {
      const std::size_t i = Index(row, col);
      bool inside = true;
      for (std::size_t k = 0; k < n && inside; ++k) {
        try {
          const PairPrediction p =
              PredictPair(catalogue, Node(row, col), lops_[k].master, lops_[k].secondary);
          td_[i * n + k] = p.td;
          gradient_[i * n + k] = p.direction.gradient;
          inside = p.ranges.master.distance <= kGroundWaveReach &&
                   p.ranges.secondary.distance <= kGroundWaveReach &&
                   p.direction.gradient <= kCoverageMaxGradient;
        } catch (const RuntimeFault&) {
          inside = false;
        }
      }
      inside_[i] = inside ? 1 : 0;
      covered_ += inside ? 1 : 0;
    }
  }

  // The TD range inside, widened by the largest step between neighbours:
  // a position between nodes can lie that much beyond the nodes' values.
  std::vector<double> step(n, 0.0);
  for (int row = 0; row < rows_; ++row) {
    for (int col = 0; col < cols_; ++col) {
      const std::size_t i = Index(row, col);
      if (!inside_[i]) continue;
      for (std::size_t k = 0; k < n; ++k) {
        low_[k] = std::min(low_[k], td_[i * n + k]);
        high_[k] = std::max(high_[k], td_[i * n + k]);
        for (const std::size_t j : {row + 1 < rows_ ? Index(row + 1, col) : i,
                                    col + 1 < cols_ ? Index(row, col + 1) : i}) {
          if (inside_[j]) step[k] = std::max(step[k], std::fabs(td_[j * n + k] - td_[i * n + k]));
        }
      }
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    low_[k] -= step[k];
    high_[k] += step[k];
  }
}

GeoPoint CoverageGrid::Node(int row, int col) const {
  return GeoPoint{constants::Radians(lat0_ + row * kCoverageGridLatStep),
                  constants::Radians(lon0_ + col * kCoverageGridLonStep)};
}

std::vector<TwoLopFixResult> CoverageGrid::Crossings(const Lop& first, const Lop& second) const {
  std::vector<TwoLopFixResult> found;
  if (rows_ < 2 || cols_ < 2 || lops_.size() < 2) return found;
  const std::size_t n = lops_.size();
  const int cellRows = rows_ - 1;
  const int cellCols = cols_ - 1;
  // Per cell: bit 0 the first LOP passes, bit 1 the second.
  std::vector<std::uint8_t> passes(static_cast<std::size_t>(cellRows) *
                                   static_cast<std::size_t>(cellCols));
  for (int row = 0; row < cellRows; ++row) {
    for (int col = 0; col < cellCols; ++col) {
      const std::size_t corners[4] = {Index(row, col), Index(row, col + 1), Index(row + 1, col),
                                      Index(row + 1, col + 1)};
      std::uint8_t bits = 0;
      bool inside = true;
      for (int k = 0; k < 2; ++k) {
        const double observed = k == 0 ? first.observedTd : second.observedTd;
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (std::size_t c : corners) {
          inside = inside && inside_[c];
          const double g = td_[c * n + static_cast<std::size_t>(k)] - observed;
          lo = std::min(lo, g);
          hi = std::max(hi, g);
        }
        if (lo <= 0.0 && hi >= 0.0) bits |= static_cast<std::uint8_t>(1 << k);
      }
      passes[static_cast<std::size_t>(row * cellCols + col)] = inside ? bits : 0;
    }
  }

  std::vector<GeoPoint> starts;
  for (int row = 0; row < cellRows; ++row) {
    for (int col = 0; col < cellCols; ++col) {
      if (!(passes[static_cast<std::size_t>(row * cellCols + col)] & 1)) continue;
      // LOPs that cut at a small angle may pass through neighbouring cells.
      bool second = false;
      for (int dr = -1; dr <= 1 && !second; ++dr) {
        for (int dc = -1; dc <= 1 && !second; ++dc) {
          const int r = row + dr, c = col + dc;
          second = r >= 0 && r < cellRows && c >= 0 && c < cellCols &&
                   (passes[static_cast<std::size_t>(r * cellCols + c)] & 2);
        }
      }
      if (second) {
        starts.push_back(GeoPoint{constants::Radians(lat0_ + (row + 0.5) * kCoverageGridLatStep),
                                  constants::Radians(lon0_ + (col + 0.5) * kCoverageGridLonStep)});
      }
    }
  }

  int tried = 0;
  for (const GeoPoint& start : starts) {
    // A start next to a crossing already found leads to it again.
    bool near = false;
    for (const TwoLopFixResult& f : found) {
      near = near ||
             (std::fabs(constants::Degrees(f.fix.lat - start.lat)) < 2 * kCoverageGridLatStep &&
              std::fabs(constants::Degrees(f.fix.lon - start.lon)) < 2 * kCoverageGridLonStep);
    }
    if (near) continue;
    if (++tried > kMaxCrossingStarts) break;
    try {
      TwoLopFixResult fix = TwoLopFix(*catalogue_, first, second, start);
      if (!fix.converged || !InCoverage(*catalogue_, lops_, fix.fix)) continue;
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
  const std::size_t n = lops_.size();
  const double none = std::numeric_limits<double>::infinity();
  std::vector<double> cost(inside_.size(), none);
  for (std::size_t i = 0; i < inside_.size(); ++i) {
    if (!inside_[i]) continue;
    double sum = 0.0;
    for (std::size_t k = 0; k < n && k < lops.size(); ++k) {
      const double metres = (td_[i * n + k] - lops[k].observedTd) * gradient_[i * n + k];
      sum += metres * metres;
    }
    cost[i] = sum;
  }
  std::vector<std::pair<double, std::size_t>> minima;
  for (int row = 0; row < rows_; ++row) {
    for (int col = 0; col < cols_; ++col) {
      const double c = cost[Index(row, col)];
      if (c == none) continue;
      bool least = true;
      for (int dr = -1; dr <= 1 && least; ++dr) {
        for (int dc = -1; dc <= 1 && least; ++dc) {
          const int r = row + dr, k = col + dc;
          if ((dr != 0 || dc != 0) && r >= 0 && r < rows_ && k >= 0 && k < cols_) {
            least = cost[Index(r, k)] >= c;
          }
        }
      }
      if (least) minima.emplace_back(c, Index(row, col));
    }
  }
  const std::size_t keep = std::min(minima.size(), static_cast<std::size_t>(std::max(count, 0)));
  std::partial_sort(minima.begin(), minima.begin() + static_cast<std::ptrdiff_t>(keep),
                    minima.end());
  std::vector<GeoPoint> out;
  for (std::size_t m = 0; m < keep; ++m) {
    const int row = static_cast<int>(minima[m].second / static_cast<std::size_t>(cols_));
    const int col = static_cast<int>(minima[m].second % static_cast<std::size_t>(cols_));
    out.push_back(Node(row, col));
  }
  return out;
}

}  // namespace kestrune::loran
