// Datum shifts.
//
// Notation:
//   X, Y, Z      geocentric coordinates, metres
//   T            translation (tx, ty, tz)
//   R            rotation, small angles in radians (position-vector convention)
//   s            scale change, ds x 1e-6
// Angles cross the interface in the program's radians, which use its 12-digit
// pi; GeographicLib takes degrees, converted here with the same pi so that a
// position goes in and out unchanged.
#include "loran/datum.hpp"

#include <GeographicLib/Geocentric.hpp>

#include "util/constants.hpp"

namespace kestrune::loran {

namespace {

constexpr double kArcSecond = constants::kPi / (180.0 * 3600.0);  // radians

// X' = T + (1 + s) R X with the sign `sign` (+1 forward, -1 reverse) on
// every parameter.
void Shift(const Helmert& h, double sign, double& X, double& Y, double& Z) {
  const double s = 1.0 + sign * h.ds * 1e-6;
  const double rx = sign * h.rx * kArcSecond;
  const double ry = sign * h.ry * kArcSecond;
  const double rz = sign * h.rz * kArcSecond;
  const double x = X, y = Y, z = Z;
  X = sign * h.tx + s * (x - rz * y + ry * z);
  Y = sign * h.ty + s * (rz * x + y - rx * z);
  Z = sign * h.tz + s * (-ry * x + rx * y + z);
}

GeoPoint Transform(const GeographicLib::Geocentric& from, const GeographicLib::Geocentric& to,
                   const Helmert& h, double sign, GeoPoint p) {
  double X = 0.0, Y = 0.0, Z = 0.0;
  from.Forward(constants::Degrees(p.lat), constants::Degrees(p.lon), 0.0, X, Y, Z);
  Shift(h, sign, X, Y, Z);
  double lat = 0.0, lon = 0.0, height = 0.0;
  to.Reverse(X, Y, Z, lat, lon, height);
  return GeoPoint{constants::Radians(lat), constants::Radians(lon)};
}

}  // namespace

GeoPoint FromWgs84(const Datum& datum, GeoPoint wgs84) {
  return Transform(GeographicLib::Geocentric::WGS84(), GeographicLib::Geocentric(datum.a, datum.f),
                   datum.toWgs84, -1.0, wgs84);
}

GeoPoint ToWgs84(const Datum& datum, GeoPoint onDatum) {
  return Transform(GeographicLib::Geocentric(datum.a, datum.f), GeographicLib::Geocentric::WGS84(),
                   datum.toWgs84, 1.0, onDatum);
}

const Datum* Ed50(int epsg) {
  // Parameters as the EPSG dataset publishes them (position vector,
  // arc-seconds, ppm), ED50 to WGS 84.
  static const Datum kShifts[] = {
      {"ED50", "EPSG:1612 ED50 to WGS 84 (23)", constants::kInternational1924A,
       constants::kInternational1924F,
       Helmert{-116.641, -56.931, -110.559, 0.893, 0.921, -0.917, -3.52}},
      {"ED50", "EPSG:1613 ED50 to WGS 84 (24)", constants::kInternational1924A,
       constants::kInternational1924F,
       Helmert{-90.365, -101.13, -123.384, 0.333, 0.077, 0.894, 1.994}},
      {"ED50", "EPSG:1311 ED50 to WGS 84 (18)", constants::kInternational1924A,
       constants::kInternational1924F, Helmert{-89.5, -93.8, -123.1, 0.0, 0.0, -0.156, 1.2}},
      {"ED50", "EPSG:1133 ED50 to WGS 84 (1)", constants::kInternational1924A,
       constants::kInternational1924F, Helmert{-87.0, -98.0, -121.0, 0.0, 0.0, 0.0, 0.0}},
  };
  const std::string code = "EPSG:" + std::to_string(epsg) + " ";
  for (const Datum& d : kShifts) {
    if (d.source.rfind(code, 0) == 0) return &d;
  }
  return nullptr;
}

const Datum& Wgs72() {
  // As the EPSG dataset publishes it (https://epsg.io/1237): position vector,
  // arc-seconds, ppm. The translation and rotation are the DMA's standard
  // WGS 72 to WGS 84 shift: 4.5 m along the polar axis, 0.554" of longitude.
  static const Datum kWgs72{"WGS 72", "EPSG:1237 WGS 72 to WGS 84 (1)", constants::kWgs72A,
                            constants::kWgs72F, Helmert{0.0, 0.0, 4.5, 0.0, 0.0, 0.554, 0.2263}};
  return kWgs72;
}

const Datum& Ed50At(GeoPoint wgs84) {
  return *Ed50(wgs84.lat >= 62.0 * constants::kPi / 180.0 ? 1612 : 1311);
}

}  // namespace kestrune::loran
