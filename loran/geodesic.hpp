// Distance and azimuth on the WGS 84 ellipsoid by the Sodano inverse series,
// carried to the second power of the flattening.
#pragma once

#include "loran/types.hpp"

namespace kestrune::loran {

struct RangeAzimuth {
  double distance = 0.0;  // metres, >= 0
  double azimuth = 0.0;   // radians clockwise from north, [0, 2pi)
};

// Distance from `from` to `to`, and the azimuth at `from` in which that
// distance grows: the forward azimuth plus pi, the direction a signal from
// `to` travels on at `from`. Latitudes within [-pi/2, pi/2]; longitudes of
// any size, the east/west side taken the short way round. Arcs longer than a
// quarter of a great circle are unfolded. Coincident points give 0 and pi.
// Antipodal points (a vanishing sine of the arc) and a forward azimuth due
// east or west to the last bit divide by zero: run-time error 11.
RangeAzimuth GeoDistAz(GeoPoint from, GeoPoint to);

// Arcsine in radians, [-pi/2, pi/2], of x in [-1, 1]. Outside it the
// calculation cannot go on: run-time error 5 with the text
// "ARCSINUS DATA ERROR", which is the one box the user sees.
double ArcSin(double x);

}  // namespace kestrune::loran
