// Geodesic distance and azimuth.
//
// Notation
//   lat, lon        position in radians, north and east positive
//   beta1, beta2    reduced latitudes on the auxiliary sphere
//   D               signed longitude difference lon1 - lon2 (side test only)
//   L               |D| folded into [0, pi]
//   phi             arc on the auxiliary sphere; S its sine, cosPhi its cosine
//   F               first- plus second-order flattening, f^2 + f
//   c, m            sine of the equatorial azimuth of the geodesic, and 1 - c^2
//   lambda          longitude difference on the auxiliary sphere
//   Y               cotangent of the forward azimuth for a point to the east
// Every expression keeps the written order of operations: the figures shown
// depend on it to the last digit.
#include "loran/geodesic.hpp"

#include <cmath>

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

using namespace kestrune::constants;

RangeAzimuth GeoDistAz(GeoPoint from, GeoPoint to) {
  const double lat1 = from.lat;
  const double lon1 = from.lon;
  const double lat2 = to.lat;
  const double lon2 = to.lon;
  if (lat1 == lat2 && lon1 == lon2) return RangeAzimuth{0.0, kPi};

  // The signed difference is taken the short way round, into (-pi, pi] for
  // longitudes within [-pi, pi], so that the side test sees a station just
  // across the 180th meridian on the near side. L folds the reduced
  // difference: the same value to the last bit as folding the plain one,
  // except for longitudes an iteration has carried past a full turn, where
  // the plain fold would give a negative L and mirror the azimuth.
  double D = lon1 - lon2;
  if (D > kPi) {
    D = D - kTwoPi;
  } else if (D <= -kPi) {
    D = D + kTwoPi;
  }
  double L = std::fabs(D);
  if (L > kPi) L = kTwoPi - L;

  const double beta1 = std::atan(std::tan(lat1) * kOneMinusF);
  const double beta2 = std::atan(std::tan(lat2) * kOneMinusF);
  const double sinB1 = std::sin(beta1);
  const double cosB1 = std::cos(beta1);
  const double sinB2 = std::sin(beta2);
  const double cosB2 = std::cos(beta2);
  const double A = sinB1 * sinB2;
  const double B = cosB1 * cosB2;
  const double cosPhi = std::cos(L) * B + A;
  const double P = std::sin(L) * cosB2;
  const double Q = sinB2 * cosB1 - cosB2 * sinB1 * std::cos(L);
  const double S = std::sqrt(Q * Q + P * P);

  double phi = ArcSin(S);
  const bool longArc = cosPhi < 0.0;
  // The arcsine alone folds an arc beyond a quarter circle back onto a short
  // one; the sign of the cosine tells which of the two it is.
  if (longArc) phi = kPi - phi;
  const double sinPhi = std::sin(phi);
  // Near pi the arc cannot be resolved below the error of the 12-digit pi:
  // such a sine is a zero (antipodal points) and the series has no answer.
  if (longArc && std::fabs(sinPhi) < kAntipodalSine) {
    throw RuntimeFault(RuntimeFault::kDivisionByZero);
  }

  const double F = kFlatteningSq + kFlattening;
  const double c = checked::Div(std::sin(L) * B, sinPhi);
  const double m = 1.0 - std::pow(c, 2);
  const double phiSq = phi * phi;
  const double cotPhi = checked::Div(1.0, std::tan(phi));
  const double cscPhi = checked::Div(1.0, sinPhi);
  const double minusHalfFSq = (kFlatteningSq * -1.0) / 2.0;

  const double T1 = (F * S - kFlatteningSq / 2.0 * phiSq * cscPhi) * A + (F + 1.0) * phi;
  const double T2 =
      (kFlatteningSq / 2.0 * phiSq * cotPhi - F / 2.0 * phi - F / 2.0 * S * cosPhi) * m;
  const double T3 = minusHalfFSq * S * cosPhi * std::pow(A, 2);
  const double T4 =
      (kFlatteningSq / 16.0 * S * cosPhi + kFlatteningSq / 16.0 * phi -
       kFlatteningSq / 2.0 * phiSq * cotPhi - kFlatteningSq / 8.0 * S * std::pow(cosPhi, 3)) *
      std::pow(m, 2);
  const double T5 =
      (kFlatteningSq / 2.0 * S * std::pow(cosPhi, 2) + kFlatteningSq / 2.0 * phiSq * cscPhi) *
      (A * m);
  const double dist = (T2 + T1 + T3 + T4 + T5) * kSemiMinor;

  double az;
  if (lat1 == lat2) {
    az = D >= 0.0 ? kHalfPi : kHalfPi + kPi;
  } else if (lon1 == lon2) {
    az = lat2 <= lat1 ? 0.0 : kPi;
  } else {
    const double lambda = ((minusHalfFSq * S - kFlatteningSq * phiSq * cscPhi) * A + F * phi +
                           (kFlatteningSq / 4.0 * S * cosPhi + (-5.0 * kFlatteningSq) / 4.0 * phi +
                            kFlatteningSq * phiSq * cosPhi) *
                               m) *
                              c +
                          L;
    const double Y =
        checked::Div(sinB2 * cosB1 - sinB1 * std::cos(lambda) * cosB2, cosB2 * std::sin(lambda));
    double alpha = std::atan(checked::Div(1.0, Y));
    if (D >= 0.0) {
      az = Y < 0.0 ? std::fabs(alpha) : kPi - std::fabs(alpha);
    } else if (Y >= 0.0) {
      while (alpha < kPi) alpha = alpha + kHalfPi;
      az = alpha;
    } else {
      while (alpha < kThreeHalfPi) alpha = alpha + kHalfPi;
      az = alpha;
    }
  }

  return RangeAzimuth{dist, az};
}

double ArcSin(double x) {
  // The calculation is abandoned with the arcsine's own message; the
  // program lives on.
  if (x > 1.0 || x < -1.0) throw RuntimeFault(RuntimeFault::kInvalidCall, "ARCSINUS DATA ERROR");
  if (x == 1.0) return kHalfPi;
  if (x == -1.0) return -kHalfPi;
  return std::atan(x / std::sqrt(1.0 - x * x));
}

}  // namespace kestrune::loran
