// Position fixes from observed TDs: the weighted least-squares fix of all
// LOPs and the crossing of two LOPs, with their GDOPs, and the north/east
// offset between two positions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"
#include "platform/runtime_fault.hpp"

namespace kestrune::loran {

// The weighted least-squares fix of LOPs started at `start`.
struct LeastSquaresFix {
  bool converged = false;         // false after 50 passes (even if the 50th converged) or a fault
  std::int16_t passes = 0;        // 1 to 50; 0 when a fault ended the first pass
  GeoPoint fix;                   // radians; only when converged
  std::vector<double> residuals;  // microseconds, predicted - observed TD at the fix, by LOP; only
                                  // when converged
  Messages messages;              // every message in the order it arose: a matrix status on any
                                  // pass, then "More then 50 iterations ..." on failure
  // A run-time error (geodesic, travel time, position update) that ended the
  // fix after `messages`; the caller reports it after them.
  std::optional<RuntimeFault> fault;
};

// lops: 2 to 7 LOPs of `catalogue` with observed TDs (us) and weights (0 to
// 1; a weight of 0 keeps the LOP out of the fix but not out of the
// residuals). Gauss-Newton from `start`, at most 50 passes, until a
// correction is under 0.1 m.
LeastSquaresFix LsqFix(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint start);

// GDOP of LOPs whose secondaries lie in the directions `secondaryAzimuths`
// (radians, one per LOP, at least 3) from the position the GDOP is for. The
// master's direction does not enter. 0.0 when the geometry has no finite
// GDOP (the inversion failed).
double LsqGdop(std::span<const double> secondaryAzimuths);

// The crossing of two LOPs started at `start`.
struct TwoLopFixResult {
  bool converged = false;   // false after 20 passes, even if the 20th converged
  std::int16_t passes = 0;  // 1 to 20
  GeoPoint fix;             // radians; only when converged
  double cut = 0.0;         // radians, [0, pi): angle between the LOPs; only when converged
  Messages messages;        // "More then 20 iterations ..." (title "Position Calculation
                            // Error") on failure
};
// Newton iteration on the two LOPs, at most 20 passes. Parallel LOPs at a
// pass divide by zero and are thrown: run-time error 11, or 6 for the same
// LOP twice with the same TD (0 / 0); so are faults of the geodesic and the
// travel time.
TwoLopFixResult TwoLopFix(const Catalogue& catalogue, const Lop& first, const Lop& second,
                          GeoPoint start);

// GDOP of a pair of LOPs from the azimuths (radians) of the first LOP's
// master and secondary, then the second LOP's, seen from one position. A
// degenerate pair is run-time error 11.
double TwoLopGdop(double azA1, double azB1, double azA2, double azB2);

// North and east offset of `to` from `from`, in metres (32-bit, as shown).
struct NorthEast {
  float north = 0.0f;
  float east = 0.0f;
};
NorthEast LatLonDiffToNE(GeoPoint from, GeoPoint to);

}  // namespace kestrune::loran
