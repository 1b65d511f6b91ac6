// TD prediction: how long each station's ground wave takes to reach a
// position over an all-seawater path, the time difference (TD) of a
// secondary against its master, and the geometry of the line of position
// (LOP) through the position.
#pragma once

#include <cstdint>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// Travel time in microseconds over `distance` metres (> 0) of seawater:
// primary phase plus the secondary phase correction (the far formula above a
// primary phase of 537 us). A distance of 0 is run-time error 11.
double PropTime(double distance);

// A station seen from a position.
struct StationRange {
  double distance = 0.0;  // metres
  double azimuth = 0.0;   // radians [0, 2pi): the direction in which the range grows
  double time = 0.0;      // microseconds, propagation time
};

// The ranges of a master and a secondary from `at`: both geodesics first,
// then both propagation times.
struct PairRanges {
  StationRange master;
  StationRange secondary;
};
PairRanges RangePair(GeoPoint at, const Station& master, const Station& secondary);

// The TD (microseconds) of a secondary against its master from their ranges:
// (secondary time - master time) + the secondary's emission delay.
double PredictedTd(const PairRanges& ranges, double emissionDelay);

// The linearised LOP at a position: the east and north derivatives of the
// range difference secondary - master (metres per metre, each in [-2, 2])
// and the residual predicted - observed TD expressed in metres.
struct LopLinearisation {
  double gradEast = 0.0;
  double gradNorth = 0.0;
  double rangeResidual = 0.0;  // metres
};
LopLinearisation TdPartials(const PairRanges& ranges, double observedTd, double emissionDelay);

// The direction and spacing of a LOP through a position.
struct LopDirection {
  double hypAzimuth = 0.0;  // degrees, 0 to 180: the LOP runs this way and the opposite one
  float gradient = 0.0f;    // metres per microsecond of TD; 9999 near a baseline extension
};
// A TD gradient due east or west (gradNorth exactly 0) is run-time error 11.
LopDirection LopAzGradient(const PairRanges& ranges);

// Everything the prediction gives for one master/secondary pair.
struct PairPrediction {
  PairRanges ranges;
  double td = 0.0;  // microseconds
  LopDirection direction;
};
// master, secondary: station indices of one chain (run-time error 9 outside
// the catalogue). Faults of the geodesic, the travel time and the direction
// pass to the caller.
PairPrediction PredictPair(const Catalogue& catalogue, GeoPoint at, int master, int secondary);

// The prediction for every station of a catalogue, by station index. A
// master has its range only (td, hypAzimuth and gradient stay 0).
struct StationPrediction {
  StationRange range;
  double td = 0.0;         // microseconds; secondaries only
  LopDirection direction;  // secondaries only
};
// Walks the chains in catalogue order, each master with its secondaries in
// order, as the calculation window does.
std::vector<StationPrediction> PredictCatalogue(const Catalogue& catalogue, GeoPoint at);

}  // namespace kestrune::loran
