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

// The TD gradient of one LOP at a position, and the weight it had in the fix.
struct TdGradient {
  double east = 0.0;    // microseconds per metre east
  double north = 0.0;   // microseconds per metre north
  double weight = 1.0;  // 0 (not in the fix) to 1
};

// The TD gradients of `lops` at `at`; faults of the prediction pass on.
std::vector<TdGradient> TdGradientsAt(const loran::Catalogue& catalogue,
                                      std::span<const loran::Lop> lops, loran::GeoPoint at);

// An error ellipse of a fix on the ground.
struct ErrorEllipse {
  double semiMajor = 0.0;  // metres
  double semiMinor = 0.0;  // metres
  double azimuth = 0.0;    // radians clockwise from north of the major axis, [0, pi)
};

// The ellipse of the weighted least-squares fix whose LOPs have `gradients`
// when every observed TD has the standard deviation `sigma` (microseconds,
// > 0) divided by the square root of its weight: the covariance
// sigma^2 (A^T W A)^-1 of the design matrix A of the gradients and the
// weights W, its axes scaled by `scale` standard deviations (default: 95 %
// probability in two dimensions). Empty when fewer than two LOPs with a
// weight cross, or when they are parallel.
std::optional<ErrorEllipse> FixErrorEllipse(std::span<const TdGradient> gradients, double sigma,
                                            double scale);

}  // namespace kestrune::chart
