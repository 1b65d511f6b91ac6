// Coverage of a set of LOPs and the search for their crossings.
//
// Coverage is the Loran-C service's own: where every station's ground wave
// reaches and the fix's 95 % accuracy (2drms of its error ellipse at the
// TD standard deviation) is a quarter of a nautical mile or better. The
// crossing search scans a lattice of predicted TDs, computed once per LOP
// over the reach of its two stations and shared by every set of LOPs that
// holds it, so a run with many LOP lists builds few.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "loran/accuracy.hpp"
#include "loran/catalogue.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// A master and one of its secondaries (station indices of a catalogue).
struct LopPair {
  std::int16_t master = 0;
  std::int16_t secondary = 0;
  bool operator==(const LopPair&) const = default;
  auto operator<=>(const LopPair&) const = default;
};

// Where a position stands against the coverage of its LOPs.
enum class CoverageVerdict {
  kInside,        // within reach, 2drms at most constants::kCoverageAccuracy
  kBeyondReach,   // a station farther than constants::kGroundWaveReach
  kPoorAccuracy,  // within reach, 2drms larger than the limit
  kNoGeometry,    // at a station, or LOPs parallel there: no ellipse
};

struct CoverageAssessment {
  CoverageVerdict verdict = CoverageVerdict::kNoGeometry;
  std::optional<FixAccuracy> accuracy;  // at the TD sigma asked for
  int station = -1;                     // kBeyondReach: the farthest station, catalogue index
  double distance = 0.0;                // metres from that station
  std::vector<PairRanges> ranges;       // by LOP: both stations seen from the position
};

// The coverage verdict of `lops` (weights count; observed TDs unused) at `at`
// (radians) for TD readings of standard deviation `tdSigma` (us, > 0).
// Never throws: a position where the geometry faults has no geometry.
CoverageAssessment AssessCoverage(const Catalogue& catalogue, std::span<const Lop> lops,
                                  GeoPoint at, double tdSigma);

// The status of a position from its verdict, for a user: empty inside;
// "beyond ground-wave reach: Berlevaag 1960 km away", "accuracy 1.2 km at
// 95 %" (2drms), "accuracy unknown: the LOPs are parallel at the fix".
std::string CoverageStatus(const Catalogue& catalogue, const CoverageAssessment& a);

// The predicted TD and TD gradient of one LOP at the nodes of the lattice
// (kCoverageGridLatStep by kCoverageGridLonStep degrees, aligned on whole
// multiples of the steps) over the reach of its two stations.
struct LopField;

// The lattice of a set of LOPs: their fields over the nodes all of them
// hold. Cheap to make from the fields; read by any number of threads.
class CoverageGrid {
 public:
  // lops: 1 to 7 LOPs of `catalogue` (which outlives the grid), with the
  // field of each.
  CoverageGrid(const Catalogue& catalogue, std::vector<LopPair> lops,
               std::vector<std::shared_ptr<const LopField>> fields);

  const std::vector<LopPair>& Lops() const { return lops_; }
  // True when no node lies within the reach of every station of the set.
  bool Empty() const { return !anyInReach_; }
  // The TDs (us) LOP `pair` (one of Lops()) takes within its own stations'
  // reach, widened by the largest TD step between neighbouring nodes: no
  // position within that reach has a TD outside. Empty for another LOP.
  std::optional<std::pair<double, double>> TdRange(LopPair pair) const;

  // Every converged crossing of `first` and `second` (LOPs of Lops(), with
  // their observed TDs) within the reach of both LOPs' stations: a two-LOP
  // fix from each cell the two LOPs pass through or graze (the likeliest
  // first, at most constants::kMaxCrossingStarts), one per crossing
  // (kCrossingSeparation), in the order found.
  std::vector<TwoLopFixResult> Crossings(const Lop& first, const Lop& second) const;

  // Up to `count` nodes of the grid (within reach of the first LOP's
  // stations, maybe not of all) and within a cell diagonal of the first
  // of `lops` (LOPs of Lops() in any order) where the sum of the squared
  // misfits (predicted - observed TD over the TD gradient, metres) of all of
  // them is a local minimum, least first.
  std::vector<GeoPoint> LeastMisfitStarts(std::span<const Lop> lops, int count) const;

 private:
  int FieldOf(std::int16_t master, std::int16_t secondary) const;
  std::size_t FieldIndex(int k, int row, int col) const;
  bool InReach(int row, int col) const;
  GeoPoint Node(double row, double col) const;

  const Catalogue* catalogue_;
  std::vector<LopPair> lops_;
  std::vector<std::shared_ptr<const LopField>> fields_;
  std::vector<int> rowOffset_, colOffset_;  // by LOP: field node = grid node + offset
  double lat0_ = 0.0;                       // degrees, the southernmost row
  double lon0_ = 0.0;                       // degrees, the westernmost column
  int rows_ = 0;
  int cols_ = 0;
  bool anyInReach_ = false;
};

// The grids of the LOP sets a run meets, each LOP's field built once. Safe
// to call from several threads at once; memory grows with the LOPs in use
// (some hundreds of kilobytes each), not with the sets.
class CoverageCache {
 public:
  explicit CoverageCache(const Catalogue& catalogue) : catalogue_(&catalogue) {}
  // lops: 1 to 7 LOPs of the catalogue, in any order; the same set in
  // another order gives the same grid.
  std::shared_ptr<const CoverageGrid> Grid(std::span<const LopPair> lops);

 private:
  const Catalogue* catalogue_;
  std::mutex mutex_;
  std::map<std::pair<int, int>, std::shared_ptr<const LopField>> fields_;
  std::map<std::vector<LopPair>, std::shared_ptr<const CoverageGrid>> grids_;
};

}  // namespace kestrune::loran
