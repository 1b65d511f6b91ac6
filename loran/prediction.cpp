// TD prediction and LOP geometry.
//
// Notation
//   t               primary-phase time (us); sf the secondary phase correction
//   dM, dS          distances (m) to master and secondary; azM, azS their azimuths
//   tM, tS          their propagation times (us)
//   gE, gN          east and north derivative of the range difference
//                   (secondary - master), metres per metre
//   r               range residual (predicted - observed TD) in metres
//   alpha           angle at the position between master and secondary
// Every expression keeps the written order of operations: the figures shown
// depend on it to the last digit.
#include "loran/prediction.hpp"

#include <cmath>

#include "loran/geodesic.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

using namespace kestrune::constants;

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

PairRanges RangePair(GeoPoint at, const Station& master, const Station& secondary) {
  const RangeAzimuth m = GeoDistAz(at, master.position);
  const RangeAzimuth s = GeoDistAz(at, secondary.position);
  const double tM = PropTime(m.distance);
  const double tS = PropTime(s.distance);
  return PairRanges{StationRange{m.distance, m.azimuth, tM},
                    StationRange{s.distance, s.azimuth, tS}};
}

double PredictedTd(const PairRanges& ranges, double emissionDelay) {
  return (ranges.secondary.time - ranges.master.time) + emissionDelay;
}

LopLinearisation TdPartials(const PairRanges& ranges, double observedTd, double emissionDelay) {
  const double gE = std::sin(ranges.secondary.azimuth) - std::sin(ranges.master.azimuth);
  const double gN = std::cos(ranges.secondary.azimuth) - std::cos(ranges.master.azimuth);
  const double r =
      (((ranges.secondary.time - ranges.master.time) - observedTd) + emissionDelay) * kSignalSpeed;
  return LopLinearisation{gE, gN, r};
}

LopDirection LopAzGradient(const PairRanges& ranges) {
  // The emission delay and the TD move the residual only, not the direction.
  const LopLinearisation lin = TdPartials(ranges, 0.0, 0.0);
  const double deg = std::atan(checked::Div(lin.gradEast * -1.0, lin.gradNorth)) * 180.0 / kPi;
  const double hyp = deg > 0.0 ? 90.0 - deg : std::fabs(deg) + 90.0;

  double alpha = std::fabs(ranges.secondary.azimuth - ranges.master.azimuth);
  if (alpha > kPi) alpha = kTwoPi - alpha;
  // Near the baseline extensions the LOPs spread without bound: a marker
  // instead of a number.
  const float grad = alpha > kMinBaselineAngle
                         ? static_cast<float>(kGradientNumerator / std::sin(alpha / 2.0))
                         : static_cast<float>(kGradientMarker);
  return LopDirection{hyp, grad};
}

PairPrediction PredictPair(const Catalogue& catalogue, GeoPoint at, int master, int secondary) {
  const Station& s = catalogue.At(secondary);
  PairPrediction p;
  p.ranges = RangePair(at, catalogue.At(master), s);
  p.td = PredictedTd(p.ranges, s.emissionDelay);
  p.direction = LopAzGradient(p.ranges);
  return p;
}

std::vector<StationPrediction> PredictCatalogue(const Catalogue& catalogue, GeoPoint at) {
  std::vector<StationPrediction> out(static_cast<std::size_t>(catalogue.Size()));
  for (const Chain& chain : catalogue.Chains()) {
    for (std::int16_t s : chain.secondaries) {
      const PairPrediction p = PredictPair(catalogue, at, chain.master, s);
      out[static_cast<std::size_t>(chain.master)].range = p.ranges.master;
      StationPrediction& sp = out[static_cast<std::size_t>(s)];
      sp.range = p.ranges.secondary;
      sp.td = p.td;
      sp.direction = p.direction;
    }
  }
  return out;
}

}  // namespace kestrune::loran
