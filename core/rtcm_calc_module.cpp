// Loran-C computation core.
//
// Notation
//   lat, lon        position in radians, north and east positive
//   beta1, beta2    reduced latitudes on the auxiliary sphere
//   D               signed longitude difference lon1 - lon2 (side test only)
//   L               |D| folded into [0, pi]
//   phi             arc on the auxiliary sphere; S its sine, cosPhi its cosine
//   F               first- plus second-order flattening, f^2 + f
//   c, m            sine of the equatorial azimuth of the geodesic, and 1 - c^2
//   t               primary-phase time (us); sf the secondary phase correction
//   gE, gN          east and north derivative of the range difference
//                   (secondary - master), metres per metre
//   r               range residual (predicted - observed TD) in metres
//   w               sqrt(1 - e^2 sin^2 lat)
//
// Every expression keeps the written order of operations: the figures shown
// depend on it to the last digit. Results go to the output arguments only
// after everything that can fault has run, so a fault leaves them untouched.
#include "core/rtcm_calc_module.hpp"

#include <cmath>

#include "matrix/mathvexa_module.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/utility_module.hpp"

namespace kestrune::RTCM_Calc_Module {

namespace {

using namespace kestrune::constants;
using Global_Module::LopTable;
using Global_Module::NoOfLops;
using Global_Module::StationRecord;
using Global_Module::StationTable;

// Radius-of-curvature update of a position by a correction in metres; the
// latitude before the update scales both steps.
void MovePosition(double& lat, double& lon, double dEast, double dNorth) {
  const double q = std::sin(lat);
  const double w = std::sqrt(1.0 - (q * kEccSq) * q);
  const double dLat = checked::Div(dNorth * w, kAOneMinusEccSq);
  const double dLon = checked::Div(dEast * w, std::cos(lat) * kSemiMajor);
  lat = lat + dLat;
  lon = lon + dLon;
}

}  // namespace

void GeoDistAz(double lat1, double lon1, double lat2, double lon2, double& distance,
               double& azimuth) {
  if (lat1 == lat2 && lon1 == lon2) {
    distance = 0.0;
    azimuth = kPi;
    return;
  }

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

  distance = dist;
  azimuth = az;
}

double ArcSin(double x) {
  if (x > 1.0 || x < -1.0) {
    MsgBox("ARCSINUS DATA ERROR");
    // The user has been told; the calculation is abandoned, the program lives on.
    throw RuntimeFault(RuntimeFault::kInvalidCall, /*reported=*/true);
  }
  if (x == 1.0) return kHalfPi;
  if (x == -1.0) return -kHalfPi;
  return std::atan(x / std::sqrt(1.0 - x * x));
}

double PropTime(double distance) {
  const double t = checked::Div(distance, kSignalSpeed);
  double sf;
  if (t > kSecondaryPhaseBoundary) {
    sf = checked::Div(kFarA, t) - kFarB + t * kFarC;
  } else {
    sf = checked::Div(kNearA, t) - kNearB + t * kNearC;
  }
  return t + sf;
}

void CalcTD(double lat, double lon, std::int16_t masterIndex, std::int16_t secondaryIndex,
            double& masterDistance, double& masterAzimuth, double& masterTime,
            double& secondaryDistance, double& secondaryAzimuth, double& secondaryTime,
            double& td) {
  const StationRecord& master = StationTable(masterIndex);
  double dM = 0.0, azM = 0.0;
  GeoDistAz(lat, lon, master.Lat, master.Lon, dM, azM);
  const StationRecord& secondary = StationTable(secondaryIndex);
  double dS = 0.0, azS = 0.0;
  GeoDistAz(lat, lon, secondary.Lat, secondary.Lon, dS, azS);
  const double tM = PropTime(dM);
  const double tS = PropTime(dS);
  const double diff = (tS - tM) + secondary.EmissionDelay;

  // The caller may pass the station entries' own fields: written last.
  masterDistance = dM;
  masterAzimuth = azM;
  masterTime = tM;
  secondaryDistance = dS;
  secondaryAzimuth = azS;
  secondaryTime = tS;
  td = diff;
}

void TdPartials(double masterTime, double masterAzimuth, double secondaryTime,
                double secondaryAzimuth, double observedTd, std::int16_t masterIndex,
                std::int16_t secondaryIndex, double& gradEast, double& gradNorth,
                double& rangeResidual) {
  (void)masterIndex;  // a master's emission delay is not part of the TD
  const double gE = std::sin(secondaryAzimuth) - std::sin(masterAzimuth);
  const double gN = std::cos(secondaryAzimuth) - std::cos(masterAzimuth);
  const double r =
      (((secondaryTime - masterTime) - observedTd) + StationTable(secondaryIndex).EmissionDelay) *
      kSignalSpeed;
  gradEast = gE;
  gradNorth = gN;
  rangeResidual = r;
}

void TwoLopFix(double startLat, double startLon, double td1, double td2, std::int16_t m1,
               std::int16_t s1, std::int16_t m2, std::int16_t s2, double& fixLat, double& fixLon,
               std::int16_t& passes, double& cut) {
  std::int16_t pass = 0;
  double lat = startLat;
  double lon = startLon;
  double gE1 = 0.0, gN1 = 0.0, gE2 = 0.0, gN2 = 0.0;
  for (;;) {
    pass = static_cast<std::int16_t>(pass + 1);
    double dM1 = 0.0, azM1 = 0.0, dS1 = 0.0, azS1 = 0.0, dS2 = 0.0, azS2 = 0.0;
    GeoDistAz(lat, lon, StationTable(m1).Lat, StationTable(m1).Lon, dM1, azM1);
    GeoDistAz(lat, lon, StationTable(s1).Lat, StationTable(s1).Lon, dS1, azS1);
    GeoDistAz(lat, lon, StationTable(s2).Lat, StationTable(s2).Lon, dS2, azS2);
    const double tM1 = PropTime(dM1);
    const double tS1 = PropTime(dS1);
    const double tS2 = PropTime(dS2);
    double azM2 = 0.0, tM2 = 0.0;
    if (m2 == m1) {
      // A shared master is ranged once per pass.
      azM2 = azM1;
      tM2 = tM1;
    } else {
      double dM2 = 0.0;
      GeoDistAz(lat, lon, StationTable(m2).Lat, StationTable(m2).Lon, dM2, azM2);
      tM2 = PropTime(dM2);
    }
    double r1 = 0.0, r2 = 0.0;
    TdPartials(tM1, azM1, tS1, azS1, td1, m1, s1, gE1, gN1, r1);
    TdPartials(tM2, azM2, tS2, azS2, td2, m2, s2, gE2, gN2, r2);

    // Cramer's rule for gE * dEast + gN * dNorth = -r of both LOPs; parallel
    // LOPs make the determinant zero.
    const double dEast = checked::Div(r2 * gN1 - r1 * gN2, gE1 * gN2 - gE2 * gN1);
    const double dNorth = checked::Div(gE1 * r2 - gE2 * r1, gE2 * gN1 - gE1 * gN2);
    MovePosition(lat, lon, dEast, dNorth);
    const double size = std::sqrt(std::pow(dEast, 2) + std::pow(dNorth, 2));

    if (pass == kTwoLopPassLimit) break;
    if (size < kConvergence) break;
  }

  if (pass >= kTwoLopPassLimit) {
    // Reaching the limit is a failure even when the last pass converged.
    passes = pass;
    MsgBox("More then 20 iterations without acceptable position solution", MsgButtons::Ok,
           "Position Calculation Error");
    return;
  }

  // The LOP directions of the last pass, before its correction.
  const double a1 = std::atan(checked::Div(-gE1, gN1));
  const double a2 = std::atan(checked::Div(-gE2, gN2));
  passes = pass;
  fixLat = lat;
  fixLon = lon;
  cut = std::fabs(a2 - a1);
}

void LsqFix(double startLat, double startLon, const LopList& observedTd, double& fixLat,
            double& fixLon, const LopList& weight, LopList& residual, std::int16_t& passes,
            std::int16_t& failed) {
  using MathVexa_Module::Matrix;
  using MathVexa_Module::Vector;

  std::int16_t pass = 0;
  double lat = startLat;
  double lon = startLon;

  const std::int16_t n = NoOfLops;
  Matrix M(1, n, 1, 2);
  Matrix W(1, n, 1, n);
  Matrix Mt(1, 2, 1, n);
  Matrix MtW(1, 2, 1, n);
  Matrix Nm(1, 2, 1, 2);
  Vector r(1, n);
  Vector x(1, 2);
  for (int i = 1; i <= n; ++i) W(i, i) = weight(i);

  for (;;) {
    pass = static_cast<std::int16_t>(pass + 1);
    for (int i = 1; i <= NoOfLops; ++i) {
      const std::int16_t ms = LopTable(i).MasterIndex;
      const std::int16_t ss = LopTable(i).SecondaryIndex;
      double dM = 0.0, azM = 0.0, dS = 0.0, azS = 0.0;
      GeoDistAz(lat, lon, StationTable(ms).Lat, StationTable(ms).Lon, dM, azM);
      GeoDistAz(lat, lon, StationTable(ss).Lat, StationTable(ss).Lon, dS, azS);
      const double tM = PropTime(dM);
      const double tS = PropTime(dS);
      TdPartials(tM, azM, tS, azS, observedTd(i), ms, ss, M(i, 1), M(i, 2), r(i));
    }

    MathVexa_Module::MatTransD(M, Mt);
    MathVexa_Module::MatMultD(Mt, W, MtW);
    std::int16_t status = MathVexa_Module::MatMultD(MtW, M, Nm);
    if (status != 0) MsgBox("Error " + Utility_Module::Str(status) + " in MatMultD ");
    MathVexa_Module::MatVecMultD(MtW, r, x);
    // A singular normal matrix leaves x as the right-hand side; the pass goes
    // on with it.
    status = MathVexa_Module::MatSEqnD(Nm, x);
    if (status != 0) MsgBox("Error " + Utility_Module::Str(status) + " in MatSEqnD ");

    const double dEast = -x(1);
    const double dNorth = -x(2);
    MovePosition(lat, lon, dEast, dNorth);
    const double size = std::sqrt(std::pow(dEast, 2) + std::pow(dNorth, 2));

    if (pass == kLsqPassLimit) break;
    if (size < kConvergence) break;
  }

  if (pass >= kLsqPassLimit) {
    // Reaching the limit is a failure even when the last pass converged.
    MsgBox("More then 50 iterations without acceptable position solution");
    passes = pass;
    failed = -1;
    return;
  }

  LopList res = residual;
  for (int i = 1; i <= NoOfLops; ++i) {
    double dM = 0.0, azM = 0.0, tM = 0.0, dS = 0.0, azS = 0.0, tS = 0.0, td = 0.0;
    CalcTD(lat, lon, LopTable(i).MasterIndex, LopTable(i).SecondaryIndex, dM, azM, tM, dS, azS, tS,
           td);
    res(i) = td - observedTd(i);
  }
  passes = pass;
  failed = 0;
  fixLat = lat;
  fixLon = lon;
  for (int i = 1; i <= NoOfLops; ++i) residual(i) = res(i);
}

double LsqGdop() {
  using MathVexa_Module::Matrix;
  const std::int16_t n = NoOfLops;
  Matrix G(1, n, 1, 3);
  Matrix Gt(1, 3, 1, n);
  Matrix Q(1, 3, 1, 3);
  for (int i = 1; i <= n; ++i) {
    // Only the secondaries' directions enter; the third column absorbs a
    // common clock offset.
    const double theta = StationTable(LopTable(i).SecondaryIndex).Azimuth;
    G(i, 1) = std::sin(theta);
    G(i, 2) = std::cos(theta);
    G(i, 3) = 1.0;
  }
  MathVexa_Module::MatTransD(G, Gt);
  MathVexa_Module::MatMultD(Gt, G, Q);
  MathVexa_Module::MatInvD(Q);
  // After a failed inversion Q holds whatever the elimination left; a sum
  // that has no square root gives 0.0 rather than an error.
  try {
    return checked::Sqrt(checked::Add(Q(1, 1), Q(2, 2)));
  } catch (const RuntimeFault&) {
    return 0.0;
  }
}

void LopAzGradient(double lat, double lon, std::int16_t masterIndex, std::int16_t secondaryIndex,
                   double td, double& hypAzimuth, float& gradient) {
  double dM = 0.0, azM = 0.0, dS = 0.0, azS = 0.0;
  GeoDistAz(lat, lon, StationTable(masterIndex).Lat, StationTable(masterIndex).Lon, dM, azM);
  GeoDistAz(lat, lon, StationTable(secondaryIndex).Lat, StationTable(secondaryIndex).Lon, dS, azS);
  const double tM = PropTime(dM);
  const double tS = PropTime(dS);
  double gE = 0.0, gN = 0.0, residual = 0.0;
  TdPartials(tM, azM, tS, azS, td, masterIndex, secondaryIndex, gE, gN, residual);

  const double deg = std::atan(checked::Div(gE * -1.0, gN)) * 180.0 / kPi;
  const double hyp = deg > 0.0 ? 90.0 - deg : std::fabs(deg) + 90.0;

  double alpha = std::fabs(azS - azM);
  if (alpha > kPi) alpha = kTwoPi - alpha;
  // Near the baseline extensions the LOPs spread without bound: a marker
  // instead of a number.
  const float grad = alpha > kMinBaselineAngle
                         ? static_cast<float>(kGradientNumerator / std::sin(alpha / 2.0))
                         : static_cast<float>(kGradientMarker);
  hypAzimuth = hyp;
  gradient = grad;
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

void LatLonDiffToNE(double lat1, double lon1, double lat2, double lon2, float& north, float& east) {
  const double dLat = lat2 - lat1;
  const double dLon = lon2 - lon1;
  const double w = std::sqrt(1.0 - (std::sin(lat1) * kEccSq) * std::sin(lat1));
  const double n = checked::Div(dLat * kAOneMinusEccSq, w);
  const double e = checked::Div(std::cos(lat1) * kSemiMajor * dLon, w);
  north = static_cast<float>(n);
  east = static_cast<float>(e);
}

}  // namespace kestrune::RTCM_Calc_Module
