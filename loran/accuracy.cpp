// The error ellipse of a fix.
//
// Notation:
//   gE, gN     gradient of a LOP's range difference, metres per metre
//   w          weight of a LOP
//   N          normal matrix M^T W M (2 x 2: a b / b d)
//   C          covariance sigma_r^2 N^-1 (square metres)
//   l1, l2     eigenvalues of C, l1 >= l2
#include "loran/accuracy.hpp"

#include <cmath>

#include "loran/prediction.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

std::optional<ErrorEllipse> FixErrorEllipse(const Catalogue& catalogue, std::span<const Lop> lops,
                                            GeoPoint fix, double tdSigma) {
  double a = 0.0, b = 0.0, d = 0.0;
  for (const Lop& lop : lops) {
    if (!(lop.weight > 0.0)) continue;
    const PairRanges r = RangePair(fix, catalogue.At(lop.master), catalogue.At(lop.secondary));
    const LopLinearisation g = TdPartials(r, 0.0, 0.0);
    a += lop.weight * g.gradEast * g.gradEast;
    b += lop.weight * g.gradEast * g.gradNorth;
    d += lop.weight * g.gradNorth * g.gradNorth;
  }
  const double det = a * d - b * b;
  // A determinant lost in the rounding of its terms: the LOPs are parallel.
  if (!(det > 1e-12 * (a * d + b * b))) return std::nullopt;
  const double sr2 = std::pow(tdSigma * constants::kSignalSpeed, 2);
  ErrorEllipse e;
  const double cEE = sr2 * d / det;
  const double cNN = sr2 * a / det;
  e.covEN = -sr2 * b / det;
  e.sigmaEast = std::sqrt(cEE);
  e.sigmaNorth = std::sqrt(cNN);
  const double mean = (cEE + cNN) / 2.0;
  const double root = std::sqrt(std::pow((cEE - cNN) / 2.0, 2) + e.covEN * e.covEN);
  e.semiMajor = kEllipse95 * std::sqrt(mean + root);
  e.semiMinor = kEllipse95 * std::sqrt(std::max(mean - root, 0.0));
  // The major axis from north towards east.
  double theta = 0.5 * std::atan2(2.0 * e.covEN, cNN - cEE) * 180.0 / constants::kPi;
  if (theta < 0.0) theta += 180.0;
  e.orientation = theta >= 180.0 ? theta - 180.0 : theta;
  e.drms2 = 2.0 * std::sqrt(cEE + cNN);
  return e;
}

}  // namespace kestrune::loran
