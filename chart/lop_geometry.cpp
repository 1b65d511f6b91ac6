// LOP tracing and the error ellipse of the least-squares fix.
//
// Notation:
//   phi, lambda   latitude, longitude, radians
//   w             sqrt(1 - e^2 sin^2 phi)
//   M, N          meridian and prime-vertical radii, a (1 - e^2) / w^3 and a / w
//   T             predicted TD at a point, microseconds; T0 the observed TD
//   gE, gN        dT/dEast, dT/dNorth, microseconds per metre
//   t             unit tangent of the LOP (east, north): the gradient turned 90°
//   h             step along the LOP, metres
//   A, W, C       design matrix (LOP by east/north), weights, covariance (m^2)
#include "chart/lop_geometry.hpp"

#include <algorithm>
#include <cmath>

#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

using namespace kestrune::constants;

// The prediction the tracer needs at one point.
struct TdAt {
  loran::GeoPoint at;
  double td = 0.0;  // T
  double gE = 0.0;
  double gN = 0.0;
  double nearestStation = 0.0;  // metres to the nearer of the pair
};

TdAt Evaluate(const loran::Catalogue& catalogue, const loran::Lop& lop, loran::GeoPoint at) {
  const loran::Station& s = catalogue.At(lop.secondary);
  const loran::PairRanges r = loran::RangePair(at, catalogue.At(lop.master), s);
  const loran::LopLinearisation lin = loran::TdPartials(r, 0.0, 0.0);
  return TdAt{at, loran::PredictedTd(r, s.emissionDelay), lin.gradEast / kSignalSpeed,
              lin.gradNorth / kSignalSpeed, std::min(r.master.distance, r.secondary.distance)};
}

bool TooFlat(const TdAt& e) {
  return std::hypot(e.gE, e.gN) * kSignalSpeed < kTraceMinGradient;
}

// Newton on T along its gradient: a point of the LOP near `at`, or nothing.
std::optional<TdAt> ToLine(const loran::Catalogue& catalogue, const loran::Lop& lop,
                           loran::GeoPoint at, int passes) {
  for (int pass = 0; pass <= passes; ++pass) {
    const TdAt e = Evaluate(catalogue, lop, at);
    const double r = e.td - lop.observedTd;
    if (std::fabs(r) < kTraceTdTolerance) return e;
    if (TooFlat(e) || pass == passes) break;
    const double g2 = e.gE * e.gE + e.gN * e.gN;
    at = Offset(at, -r * e.gE / g2, -r * e.gN / g2);
  }
  return std::nullopt;
}

struct Tangent {
  double east = 0.0;
  double north = 0.0;
};

// The LOP's direction at `e`, on the side of `previous`.
Tangent TangentAt(const TdAt& e, Tangent previous) {
  const double g = std::hypot(e.gE, e.gN);
  Tangent t{e.gN / g, -e.gE / g};
  if (t.east * previous.east + t.north * previous.north < 0.0) t = Tangent{-t.east, -t.north};
  return t;
}

std::vector<loran::GeoPoint> Way(const loran::Catalogue& catalogue, const loran::Lop& lop,
                                 TdAt from, Tangent t, int maxPoints,
                                 const std::function<double(loran::GeoPoint)>& stepAt) {
  std::vector<loran::GeoPoint> out;
  // A prediction fault (a point on a station, an arc the geodesic cannot
  // take) ends this way of the trace where it got to.
  try {
    while (static_cast<int>(out.size()) < maxPoints) {
      double h = stepAt(from.at);
      if (!(h > 0.0) || from.nearestStation < 2 * h) break;
      std::optional<TdAt> next;
      Tangent tNext;
      for (int halving = 0; halving < kTraceHalvings && !next; ++halving, h /= 2) {
        next = ToLine(catalogue, lop, Offset(from.at, h * t.east, h * t.north), kTraceNewtonPasses);
        if (!next) continue;
        tNext = TangentAt(*next, t);
        const double turn =
            std::acos(std::clamp(t.east * tNext.east + t.north * tNext.north, -1.0, 1.0));
        if (turn > kTraceMaxTurn) next.reset();
      }
      if (!next || std::fabs(next->at.lat) > kChartMaxLatitude * kPi / 180 || TooFlat(*next)) break;
      out.push_back(next->at);
      from = *next;
      t = tNext;
    }
  } catch (const RuntimeFault&) {
  }
  return out;
}

}  // namespace

loran::GeoPoint Offset(loran::GeoPoint from, double east, double north) {
  const double s = std::sin(from.lat);
  const double w2 = 1.0 - kEccSq * s * s;
  const double w = std::sqrt(w2);
  const double m = kSemiMajor * (1.0 - kEccSq) / (w2 * w);
  const double n = kSemiMajor / w;
  return loran::GeoPoint{from.lat + north / m, from.lon + east / (n * std::cos(from.lat))};
}

TracedLop TraceLop(const loran::Catalogue& catalogue, const loran::Lop& lop, loran::GeoPoint start,
                   int maxPointsEachWay, const std::function<double(loran::GeoPoint)>& stepAt) {
  TracedLop out;
  std::optional<TdAt> first;
  try {
    // A start far off the line needs more passes than a step of the trace.
    first = ToLine(catalogue, lop, start, kTraceStartPasses);
  } catch (const RuntimeFault&) {
  }
  if (!first || TooFlat(*first)) return out;
  const Tangent t = TangentAt(*first, Tangent{0.0, 1.0});
  std::vector<loran::GeoPoint> back =
      Way(catalogue, lop, *first, Tangent{-t.east, -t.north}, maxPointsEachWay, stepAt);
  const std::vector<loran::GeoPoint> ahead =
      Way(catalogue, lop, *first, t, maxPointsEachWay, stepAt);
  out.points.assign(back.rbegin(), back.rend());
  out.startIndex = out.points.size();
  out.points.push_back(first->at);
  out.points.insert(out.points.end(), ahead.begin(), ahead.end());
  return out;
}

}  // namespace kestrune::chart
