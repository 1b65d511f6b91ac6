// The error ellipse of a fix.
//
// Notation:
//   A          the LOPs' TD gradients (us per metre), one row each
//   W          their weights
//   N          the normal matrix A^T W A = [a b; b d]
//   C          the covariance sigma^2 N^-1 = sigma^2 / det [d -b; -b a], square metres
//   theta      angle of the major axis from east, counter-clockwise
#include "loran/accuracy.hpp"

#include <algorithm>
#include <cmath>

#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

namespace {

struct Covariance {
  double ee = 0.0, nn = 0.0, en = 0.0;  // square metres
};

std::optional<Covariance> CovarianceOf(std::span<const TdGradient> gradients, double sigma) {
  double a = 0.0, b = 0.0, d = 0.0;
  int used = 0;
  for (const TdGradient& g : gradients) {
    if (!(g.weight > 0.0)) continue;
    ++used;
    a += g.weight * g.east * g.east;
    b += g.weight * g.east * g.north;
    d += g.weight * g.north * g.north;
  }
  const double det = a * d - b * b;
  // Parallel LOPs leave the normal matrix singular to rounding.
  if (used < 2 || !(det > constants::kParallelLops * (a * d))) return std::nullopt;
  return Covariance{sigma * sigma * d / det, sigma * sigma * a / det, -sigma * sigma * b / det};
}

}  // namespace

std::vector<TdGradient> TdGradientsAt(const Catalogue& catalogue, std::span<const Lop> lops,
                                      GeoPoint at) {
  std::vector<TdGradient> out;
  for (const Lop& lop : lops) {
    const PairRanges r = RangePair(at, catalogue.At(lop.master), catalogue.At(lop.secondary));
    const LopLinearisation lin = TdPartials(r, 0.0, 0.0);
    out.push_back(TdGradient{lin.gradEast / constants::kSignalSpeed,
                             lin.gradNorth / constants::kSignalSpeed, lop.weight});
  }
  return out;
}

std::optional<ErrorEllipse> FixErrorEllipse(std::span<const TdGradient> gradients, double sigma,
                                            double scale) {
  const std::optional<Covariance> c = CovarianceOf(gradients, sigma);
  if (!c) return std::nullopt;
  const double mid = (c->ee + c->nn) / 2;
  const double half = std::hypot((c->ee - c->nn) / 2, c->en);
  // (+ 0.0 turns a covariance of -0 into +0: the same axis, one azimuth.)
  const double theta = 0.5 * std::atan2(2 * c->en + 0.0, c->ee - c->nn);
  double azimuth = constants::kHalfPi - theta;
  if (azimuth >= constants::kPi) azimuth -= constants::kPi;
  return ErrorEllipse{scale * std::sqrt(mid + half), scale * std::sqrt(std::max(mid - half, 0.0)),
                      azimuth};
}

std::optional<FixAccuracy> FixAccuracyAt(const Catalogue& catalogue, std::span<const Lop> lops,
                                         GeoPoint fix, double tdSigma) {
  return FixAccuracyFrom(TdGradientsAt(catalogue, lops, fix), tdSigma);
}

std::optional<FixAccuracy> FixAccuracyFrom(std::span<const TdGradient> g, double tdSigma) {
  const std::optional<ErrorEllipse> e = FixErrorEllipse(g, tdSigma, constants::kEllipse95Scale);
  if (!e) return std::nullopt;
  const Covariance c = *CovarianceOf(g, tdSigma);
  return FixAccuracy{*e, 2.0 * std::sqrt(c.ee + c.nn)};
}

}  // namespace kestrune::loran
