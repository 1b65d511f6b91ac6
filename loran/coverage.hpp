// Coverage of a set of LOPs and the search for their crossings: where the
// stations' ground waves reach and every LOP is sharp enough to fix by, a
// grid of predicted TDs over that region, the crossings of two LOPs found
// on it, and starts for a least-squares fix of more.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// A master and one of its secondaries (station indices of a catalogue).
struct LopPair {
  std::int16_t master = 0;
  std::int16_t secondary = 0;
  bool operator==(const LopPair&) const = default;
};

// A LOP's two stations seen from a position.
struct LopView {
  RangeAzimuth master;     // metres; radians, the direction in which the range grows
  RangeAzimuth secondary;  // the same for the secondary
};

// Every LOP's stations seen from `at`, each station ranged once however many
// LOPs share it. Faults of the geodesic pass to the caller.
std::vector<LopView> ViewFrom(const Catalogue& catalogue, std::span<const LopPair> lops,
                              GeoPoint at);

// True when every station of the views lies within the ground-wave reach and
// every LOP's gradient is at most the limit (see InCoverage).
bool Covered(std::span<const LopView> views);

// True when every station of `lops` lies within constants::kGroundWaveReach
// (metres, geodesic) of `at` and every LOP's gradient there is at most
// constants::kCoverageMaxGradient (m/us). A position where the geometry
// faults (a station's own position) is outside.
bool InCoverage(const Catalogue& catalogue, std::span<const LopPair> lops, GeoPoint at);

// The predicted TD and gradient of every LOP of a set at the nodes of a
// latitude/longitude grid (steps kCoverageGridLatStep by kCoverageGridLonStep
// degrees) over the region the set's stations reach. Built once per set
// (tens of milliseconds), then read by any number of threads.
class CoverageGrid {
 public:
  // lops: 1 to 7 LOPs of `catalogue` (which outlives the grid).
  CoverageGrid(const Catalogue& catalogue, std::vector<LopPair> lops);

  const std::vector<LopPair>& Lops() const { return lops_; }
  // True when no node is inside the coverage of all LOPs.
  bool Empty() const { return covered_ == 0; }
  // The TDs (us) LOP k (0-based) takes inside the coverage, widened by the
  // largest TD step between neighbouring nodes; no position inside has a TD
  // outside [TdLow, TdHigh].
  double TdLow(int k) const { return low_.at(static_cast<std::size_t>(k)); }
  double TdHigh(int k) const { return high_.at(static_cast<std::size_t>(k)); }

  // Every crossing inside the coverage of the grid's first two LOPs with
  // the observed TDs of `first` and `second` (whose stations must be those
  // of Lops()[0] and Lops()[1]): a two-LOP fix started at the centre of
  // each grid cell where both LOPs pass, the converged ones inside the
  // coverage, one per crossing (kCrossingSeparation), in grid order.
  std::vector<TwoLopFixResult> Crossings(const Lop& first, const Lop& second) const;

  // Up to `count` grid nodes inside the coverage where the sum of the
  // squared misfits (predicted - observed TD times gradient, metres) of all
  // LOPs is a local minimum, least first: starts for a least-squares fix.
  // lops: the observed TDs, in the order of Lops().
  std::vector<GeoPoint> LeastMisfitStarts(std::span<const Lop> lops, int count) const;

 private:
  GeoPoint Node(int row, int col) const;
  std::size_t Index(int row, int col) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(col);
  }

  const Catalogue* catalogue_;
  std::vector<LopPair> lops_;
  double lat0_ = 0.0;  // degrees, the southernmost row
  double lon0_ = 0.0;  // degrees, the westernmost column
  int rows_ = 0;
  int cols_ = 0;
  std::vector<std::uint8_t> inside_;  // by node: 1 inside the coverage of all LOPs
  std::vector<double> td_;            // by node, then LOP: predicted TD, us
  std::vector<float> gradient_;       // by node, then LOP: m/us
  std::vector<double> low_;
  std::vector<double> high_;
  long covered_ = 0;
};

}  // namespace kestrune::loran
