// How well a fix is known from the geometry of its LOPs: the error ellipse
// and the 2drms of a weighted least-squares fix for a given random error of
// the TD readings.
//
// Each LOP i measures a range difference with the standard deviation
// sigma_r / sqrt(w_i), sigma_r = tdSigma x signal speed; the covariance of
// the east/north position is sigma_r^2 (M^T W M)^-1, M the LOPs' gradient
// rows (east, north). For two LOPs at right angles the semi-axes are
// tdSigma x each LOP's gradient in metres per microsecond.
#pragma once

#include <optional>
#include <span>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

struct ErrorEllipse {
  double semiMajor = 0.0;    // metres, 95 % (2.4477 sigma along the axis)
  double semiMinor = 0.0;    // metres, 95 %
  double orientation = 0.0;  // degrees clockwise from north of the major axis, [0, 180)
  double drms2 = 0.0;        // metres, twice the root of the summed variances
  double sigmaEast = 0.0;    // metres, one standard deviation
  double sigmaNorth = 0.0;   // metres
  double covEN = 0.0;        // square metres, east/north covariance
};

// The 95 % scale of a two-dimensional normal error: sqrt(chi-square(2, 0.95)).
inline constexpr double kEllipse95 = 2.4477468306808161;

// tdSigma: one standard deviation of a TD reading, microseconds (> 0).
// lops: at least two with a weight above 0, at the fix (radians). None when
// the geometry has no finite covariance (parallel LOPs, too few weights).
std::optional<ErrorEllipse> FixErrorEllipse(const Catalogue& catalogue, std::span<const Lop> lops,
                                            GeoPoint fix, double tdSigma);

}  // namespace kestrune::loran
