// Position fixes.
//
// Notation
//   lat, lon        working position, radians
//   gE, gN          east and north derivative of a LOP's range difference
//   r               range residual (predicted - observed TD) in metres
//   dEast, dNorth   correction of a pass, metres
//   w               sqrt(1 - e^2 sin^2 lat)
//   M, W, Nm        design matrix (LOP by east/north), weights, normal matrix
//   G, Q            GDOP geometry (LOP by east/north/clock) and its cofactor
// Every expression keeps the written order of operations: the figures shown
// depend on it to the last digit.
#include "loran/fixes.hpp"

#include <cmath>

#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "matrix/matrix.hpp"
#include "util/constants.hpp"
#include "util/numeric_text.hpp"

namespace kestrune::loran {

namespace {

using namespace kestrune::constants;

// Radius-of-curvature update of a position by a correction in metres; the
// latitude before the update scales both steps. The latitude step uses w
// where the meridian radius would want w^3: it converges to the same fix.
void MovePosition(double& lat, double& lon, double dEast, double dNorth) {
  const double q = std::sin(lat);
  const double w = std::sqrt(1.0 - (q * kEccSq) * q);
  const double dLat = checked::Div(dNorth * w, kAOneMinusEccSq);
  const double dLon = checked::Div(dEast * w, std::cos(lat) * kSemiMajor);
  lat = lat + dLat;
  lon = lon + dLon;
}

Message MatrixStatus(std::int16_t status, const char* routine) {
  return Message{"Error " + text::WithSignPlace(status) + " in " + routine + " ", ""};
}

void RunPasses(const Catalogue& catalogue, std::span<const Lop> lops, LeastSquaresFix& out,
               double& lat, double& lon) {
  using matrix::Matrix;
  using matrix::Vector;
  const auto n = static_cast<std::int16_t>(lops.size());
  Matrix M(1, n, 1, 2);
  Matrix W(1, n, 1, n);
  Matrix Mt(1, 2, 1, n);
  Matrix MtW(1, 2, 1, n);
  Matrix Nm(1, 2, 1, 2);
  Vector r(1, n);
  Vector x(1, 2);
  for (int i = 1; i <= n; ++i) W(i, i) = lops[static_cast<std::size_t>(i - 1)].weight;

  for (;;) {
    out.passes = static_cast<std::int16_t>(out.passes + 1);
    for (int i = 1; i <= n; ++i) {
      const Lop& lop = lops[static_cast<std::size_t>(i - 1)];
      const Station& secondary = catalogue.At(lop.secondary);
      const PairRanges ranges = RangePair(GeoPoint{lat, lon}, catalogue.At(lop.master), secondary);
      const LopLinearisation lin = TdPartials(ranges, lop.observedTd, secondary.emissionDelay);
      M(i, 1) = lin.gradEast;
      M(i, 2) = lin.gradNorth;
      r(i) = lin.rangeResidual;
    }

    matrix::MatTransD(M, Mt);
    matrix::MatMultD(Mt, W, MtW);
    std::int16_t status = matrix::MatMultD(MtW, M, Nm);
    if (status != 0) out.messages.push_back(MatrixStatus(status, "MatMultD"));
    matrix::MatVecMultD(MtW, r, x);
    // A singular normal matrix leaves x as the right-hand side; the pass goes
    // on with it.
    status = matrix::MatSEqnD(Nm, x);
    if (status != 0) out.messages.push_back(MatrixStatus(status, "MatSEqnD"));

    const double dEast = -x(1);
    const double dNorth = -x(2);
    MovePosition(lat, lon, dEast, dNorth);
    const double size = std::sqrt(std::pow(dEast, 2) + std::pow(dNorth, 2));

    if (out.passes == kLsqPassLimit) break;
    if (size < kConvergence) break;
  }
}

}  // namespace

LeastSquaresFix LsqFix(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint start) {
  LeastSquaresFix out;
  double lat = start.lat;
  double lon = start.lon;
  try {
    RunPasses(catalogue, lops, out, lat, lon);
    if (out.passes >= kLsqPassLimit) {
      // Reaching the limit is a failure even when the last pass converged.
      out.messages.push_back(
          Message{"More then 50 iterations without acceptable position solution", ""});
      return out;
    }
    std::vector<double> residuals;
    for (const Lop& lop : lops) {
      const Station& secondary = catalogue.At(lop.secondary);
      const PairRanges ranges = RangePair(GeoPoint{lat, lon}, catalogue.At(lop.master), secondary);
      residuals.push_back(PredictedTd(ranges, secondary.emissionDelay) - lop.observedTd);
    }
    out.residuals = std::move(residuals);
  } catch (const RuntimeFault& fault) {
    // The messages of the passes before it stay, to be shown first.
    out.fault = fault;
    return out;
  }
  out.converged = true;
  out.fix = GeoPoint{lat, lon};
  return out;
}

double LsqGdop(std::span<const double> secondaryAzimuths) {
  using matrix::Matrix;
  const auto n = static_cast<std::int16_t>(secondaryAzimuths.size());
  Matrix G(1, n, 1, 3);
  Matrix Gt(1, 3, 1, n);
  Matrix Q(1, 3, 1, 3);
  for (int i = 1; i <= n; ++i) {
    // The third column absorbs a common clock offset.
    const double theta = secondaryAzimuths[static_cast<std::size_t>(i - 1)];
    G(i, 1) = std::sin(theta);
    G(i, 2) = std::cos(theta);
    G(i, 3) = 1.0;
  }
  matrix::MatTransD(G, Gt);
  matrix::MatMultD(Gt, G, Q);
  matrix::MatInvD(Q);
  // After a failed inversion Q holds whatever the elimination left; a sum
  // that has no square root gives 0.0 rather than an error.
  try {
    return checked::Sqrt(checked::Add(Q(1, 1), Q(2, 2)));
  } catch (const RuntimeFault&) {
    return 0.0;
  }
}

TwoLopFixResult TwoLopFix(const Catalogue& catalogue, const Lop& first, const Lop& second,
                          GeoPoint start) {
  const Station& m1 = catalogue.At(first.master);
  const Station& s1 = catalogue.At(first.secondary);
  const Station& m2 = catalogue.At(second.master);
  const Station& s2 = catalogue.At(second.secondary);
  TwoLopFixResult out;
  double lat = start.lat;
  double lon = start.lon;
  LopLinearisation l1;
  LopLinearisation l2;
  for (;;) {
    out.passes = static_cast<std::int16_t>(out.passes + 1);
    const GeoPoint at{lat, lon};
    const RangeAzimuth gM1 = GeoDistAz(at, m1.position);
    const RangeAzimuth gS1 = GeoDistAz(at, s1.position);
    const RangeAzimuth gS2 = GeoDistAz(at, s2.position);
    const StationRange rM1{gM1.distance, gM1.azimuth, PropTime(gM1.distance)};
    const StationRange rS1{gS1.distance, gS1.azimuth, PropTime(gS1.distance)};
    const StationRange rS2{gS2.distance, gS2.azimuth, PropTime(gS2.distance)};
    StationRange rM2 = rM1;
    if (second.master != first.master) {
      // A shared master is ranged once per pass.
      const RangeAzimuth gM2 = GeoDistAz(at, m2.position);
      rM2 = StationRange{gM2.distance, gM2.azimuth, PropTime(gM2.distance)};
    }
    l1 = TdPartials(PairRanges{rM1, rS1}, first.observedTd, s1.emissionDelay);
    l2 = TdPartials(PairRanges{rM2, rS2}, second.observedTd, s2.emissionDelay);
    const double gE1 = l1.gradEast, gN1 = l1.gradNorth, r1 = l1.rangeResidual;
    const double gE2 = l2.gradEast, gN2 = l2.gradNorth, r2 = l2.rangeResidual;

    // Cramer's rule for gE * dEast + gN * dNorth = -r of both LOPs; parallel
    // LOPs make the determinant zero.
    const double dEast = checked::Div(r2 * gN1 - r1 * gN2, gE1 * gN2 - gE2 * gN1);
    const double dNorth = checked::Div(gE1 * r2 - gE2 * r1, gE2 * gN1 - gE1 * gN2);
    MovePosition(lat, lon, dEast, dNorth);
    const double size = std::sqrt(std::pow(dEast, 2) + std::pow(dNorth, 2));

    if (out.passes == kTwoLopPassLimit) break;
    if (size < kConvergence) break;
  }

  if (out.passes >= kTwoLopPassLimit) {
    // Reaching the limit is a failure even when the last pass converged.
    out.messages.push_back(Message{"More then 20 iterations without acceptable position solution",
                                   "Position Calculation Error"});
    return out;
  }

  // The LOP directions of the last pass, before its correction.
  const double a1 = std::atan(checked::Div(-l1.gradEast, l1.gradNorth));
  const double a2 = std::atan(checked::Div(-l2.gradEast, l2.gradNorth));
  out.converged = true;
  out.fix = GeoPoint{lat, lon};
  out.cut = std::fabs(a2 - a1);
  return out;
}

double TwoLopGdop(double azA1, double azB1, double azA2, double azB2) {
  double alpha1 = std::fabs(azA1 - azB1);
  if (alpha1 > kPi) alpha1 = kTwoPi - alpha1;
  double alpha2 = std::fabs(azA2 - azB2);
  if (alpha2 > kPi) alpha2 = kTwoPi - alpha2;
  const double theta = alpha2 / 2.0 + alpha1 / 2.0;
  const double s1 = std::sin(alpha1 / 2.0);
  const double s2 = std::sin(alpha2 / 2.0);
  const double sum = checked::Div(1.0, s2 * s2) + checked::Div(1.0, s1 * s1) +
                     checked::Div(std::cos(theta), s2 * s1);
  return checked::Div(1.0, std::sin(theta) * std::sqrt(2.0)) * checked::Sqrt(sum);
}

NorthEast LatLonDiffToNE(GeoPoint from, GeoPoint to) {
  const double dLat = to.lat - from.lat;
  const double dLon = to.lon - from.lon;
  const double w = std::sqrt(1.0 - (std::sin(from.lat) * kEccSq) * std::sin(from.lat));
  const double n = checked::Div(dLat * kAOneMinusEccSq, w);
  const double e = checked::Div(std::cos(from.lat) * kSemiMajor * dLon, w);
  return NorthEast{static_cast<float>(n), static_cast<float>(e)};
}

}  // namespace kestrune::loran
