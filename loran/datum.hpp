// Datum shifts: positions on WGS 84 written on an older datum such as the
// European Datum 1950 (ED50), which old North Sea charts and logbooks use, or
// the World Geodetic System 1972 (WGS 72) of the older chains' published
// station positions, through geocentric coordinates and a seven-parameter
// similarity transform.
#pragma once

#include <string>

#include "loran/types.hpp"

namespace kestrune::loran {

// The shift from a datum to WGS 84 in the position-vector convention:
// X_wgs84 = T + (1 + ds) R X_datum, R the small rotation by (rx, ry, rz).
struct Helmert {
  double tx = 0.0, ty = 0.0, tz = 0.0;  // metres
  double rx = 0.0, ry = 0.0, rz = 0.0;  // arc-seconds, position-vector sign
  double ds = 0.0;                      // parts per million
};

struct Datum {
  std::string name;    // "ED50"
  std::string source;  // the published transformation: EPSG code and name
  double a = 0.0;      // semi-major axis of the datum's ellipsoid, metres
  double f = 0.0;      // its flattening
  Helmert toWgs84;
};

// ED50 (International 1924 ellipsoid) with one of its published shifts to
// WGS 84, by EPSG code:
//   1612  ED50 to WGS 84 (23), Norway offshore north of 62N, 1 m
//   1613  ED50 to WGS 84 (24), Norway offshore south of 62N, 1 m
//   1311  ED50 to WGS 84 (18), "Common Offshore" (UK and Irish shelf), 1 m
//   1133  ED50 to WGS 84 (1), mean for Europe, 10 m
// Any other code gives none.
const Datum* Ed50(int epsg);
// The ED50 shift for a position (radians): 1612 north of 62N, else 1311, the
// two that cover the chains' waters at sea.
const Datum& Ed50At(GeoPoint wgs84);

// WGS 72 with its standard shift to WGS 84, EPSG:1237 "WGS 72 to WGS 84 (1)"
// (tz 4.5 m, rz 0.554", scale 0.2263 ppm): the station positions the US
// Defense Mapping Agency published for the chains before 1987 are on WGS 72.
const Datum& Wgs72();

// A WGS 84 position (radians, on the ellipsoid) on `datum`; the height the
// shift gives is dropped, as a chart position has none. The reverse shift
// takes the parameters with their signs changed, as the transformation's
// publishers do; the round trip is good to millimetres.
GeoPoint FromWgs84(const Datum& datum, GeoPoint wgs84);
GeoPoint ToWgs84(const Datum& datum, GeoPoint onDatum);

}  // namespace kestrune::loran
