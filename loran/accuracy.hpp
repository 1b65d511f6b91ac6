// How well a fix is known from the geometry of its LOPs: the error ellipse
// and the 2drms of a weighted least-squares fix for a given random error of
// the TD readings.
//
// A LOP's TD T changes by its gradient (dT/dEast, dT/dNorth) per metre; with
// every reading of standard deviation sigma / sqrt(weight), the covariance
// of the east/north position is sigma^2 (A^T W A)^-1, A the gradients. For
// two LOPs at right angles the semi-axes are sigma times each LOP's gradient
// in metres per microsecond (one standard deviation).
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// The TD gradient of one LOP at a position, and the weight it has in the fix.
struct TdGradient {
  double east = 0.0;    // microseconds per metre east
  double north = 0.0;   // microseconds per metre north
  double weight = 1.0;  // 0 (not in the fix) to 1
};

// The TD gradients of `lops` at `at` (radians); faults of the prediction pass on.
std::vector<TdGradient> TdGradientsAt(const Catalogue& catalogue, std::span<const Lop> lops,
                                      GeoPoint at);

struct ErrorEllipse {
  double semiMajor = 0.0;  // metres
  double semiMinor = 0.0;  // metres
  double azimuth = 0.0;    // radians clockwise from north of the major axis, [0, pi)
};

// The ellipse for TD readings of standard deviation `sigma` (microseconds,
// > 0), its axes `scale` standard deviations long (constants::kEllipse95Scale
// for 95 % in two dimensions). Empty when fewer than two LOPs with a weight
// cross, or when they are parallel.
std::optional<ErrorEllipse> FixErrorEllipse(std::span<const TdGradient> gradients, double sigma,
                                            double scale);

// What a converter writes with a least-squares fix.
struct FixAccuracy {
  ErrorEllipse ellipse95;  // 95 %
  double drms2 = 0.0;      // metres: twice the root of the summed east and north variances
};
// From the gradients at the fix; `tdSigma` in microseconds (> 0). Empty as
// for the ellipse.
std::optional<FixAccuracy> FixAccuracyFrom(std::span<const TdGradient> gradients, double tdSigma);
// `tdSigma` in microseconds (> 0); `fix` in radians. Empty as for the ellipse.
std::optional<FixAccuracy> FixAccuracyAt(const Catalogue& catalogue, std::span<const Lop> lops,
                                         GeoPoint fix, double tdSigma);

}  // namespace kestrune::loran
