// The LOPs as lines on the ground and the uncertainty of the fix they give:
// each LOP followed along the curve where its predicted TD equals the
// observed one, and the error ellipse of the weighted least-squares fix.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"

namespace kestrune::chart {

// A position moved by `east` and `north` metres along the ellipsoid's
// principal radii of curvature at its latitude (a few kilometres at most
// for a straight step).
loran::GeoPoint Offset(loran::GeoPoint from, double east, double north);

// The curve of one LOP, in order along it.
struct TracedLop {
  std::vector<loran::GeoPoint> points;  // each predicts the observed TD within 1e-5 us
  std::size_t startIndex = 0;           // the point nearest the start, where the trace began
};

// Follows `lop` of `catalogue` both ways from the point of the line nearest
// `start` (found by Newton steps along the TD gradient): each step goes
// along the line's direction and is brought back onto it by Newton on the
// TD, halving where the line turns by more than 0.15 rad in one step.
// stepAt(p) gives the length of the next step from p in metres on the
// ground; 0 or less ends that way. A way also ends after `maxPointsEachWay`
// points, near a baseline extension (gradient under 0.03), within two steps
// of a station, or beyond 85° of latitude. Empty when start cannot be
// brought onto the line.
TracedLop TraceLop(const loran::Catalogue& catalogue, const loran::Lop& lop, loran::GeoPoint start,
                   int maxPointsEachWay, const std::function<double(loran::GeoPoint)>& stepAt);

}  // namespace kestrune::chart
