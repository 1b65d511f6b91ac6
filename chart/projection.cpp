// Mercator on the WGS 84 ellipsoid and the pixel mapping of a view.
//
// Notation:
//   phi, lambda   latitude and longitude, radians
//   psi           isometric latitude: atanh(sin phi) - e atanh(e sin phi)
//   e             first eccentricity, sqrt(e^2)
//   k0            cos phi0 / sqrt(1 - e^2 sin^2 phi0): true scale at the centre
//   R             a k0; x = R (lambda - lambda0), y = R (psi - psi0)
//   s             plane metres per pixel of a view
#include "chart/projection.hpp"

#include <algorithm>
#include <cmath>

#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

using namespace kestrune::constants;

const double kEcc = std::sqrt(kEccSq);

// The longitude difference taken the short way round, (-pi, pi].
double Wrap(double dLambda) {
  return std::remainder(dLambda, kTwoPi);
}

}  // namespace

Mercator::Mercator(loran::GeoPoint centre) : centre_(centre) {
  const double s = std::sin(centre.lat);
  radius_ = kSemiMajor * std::cos(centre.lat) / std::sqrt(1.0 - kEccSq * s * s);
  psi0_ = Isometric(centre.lat);
}

double Mercator::Isometric(double lat) {
  const double s = std::sin(lat);
  return std::atanh(s) - kEcc * std::atanh(kEcc * s);
}

MapPoint Mercator::FromIsometric(double lon, double psi) const {
  return MapPoint{radius_ * Wrap(lon - centre_.lon), radius_ * (psi - psi0_)};
}

MapPoint Mercator::Forward(loran::GeoPoint at) const {
  return FromIsometric(at.lon, Isometric(at.lat));
}

loran::GeoPoint Mercator::Reverse(MapPoint p) const {
  const double psi = psi0_ + p.y / radius_;
  // Newton on psi(phi) from the spherical inverse, which is within 0.2° of it.
  double phi = std::atan(std::sinh(psi));
  for (int pass = 0; pass < 20; ++pass) {
    const double s = std::sin(phi);
    const double slope = (1.0 - kEccSq) / ((1.0 - kEccSq * s * s) * std::cos(phi));
    const double step = (Isometric(phi) - psi) / slope;
    phi -= step;
    if (std::fabs(step) < kMercatorTolerance) break;
  }
  return loran::GeoPoint{phi, centre_.lon + p.x / radius_};
}

double Mercator::ScaleAt(double lat) const {
  const double s = std::sin(lat);
  return radius_ * std::sqrt(1.0 - kEccSq * s * s) / (kSemiMajor * std::cos(lat));
}

Pixel ChartView::ToPixel(MapPoint p) const {
  return Pixel{width / 2 + (p.x - centre.x) / metresPerPixel,
               height / 2 - (p.y - centre.y) / metresPerPixel};
}

MapPoint ChartView::ToMap(Pixel p) const {
  return MapPoint{centre.x + (p.x - width / 2) * metresPerPixel,
                  centre.y - (p.y - height / 2) * metresPerPixel};
}

ChartView ChartView::Zoomed(double factor, Pixel anchor) const {
  ChartView v = *this;
  v.metresPerPixel = std::clamp(metresPerPixel / factor, kMinMetresPerPixel, kMaxMetresPerPixel);
  // Keep the plane point under the anchor where it was.
  const MapPoint under = ToMap(anchor);
  v.centre = MapPoint{under.x - (anchor.x - width / 2) * v.metresPerPixel,
                      under.y + (anchor.y - height / 2) * v.metresPerPixel};
  return v;
}

ChartView ChartView::Panned(double dx, double dy) const {
  ChartView v = *this;
  v.centre = MapPoint{centre.x - dx * metresPerPixel, centre.y + dy * metresPerPixel};
  return v;
}

ChartView ChartView::Resized(double newWidth, double newHeight) const {
  ChartView v = *this;
  v.width = newWidth;
  v.height = newHeight;
  v.metresPerPixel = metresPerPixel * std::max(width / newWidth, height / newHeight);
  return v;
}

bool ChartView::Shows(Pixel p, double margin) const {
  return p.x >= -margin && p.y >= -margin && p.x <= width + margin && p.y <= height + margin;
}

ChartView FitView(std::span<const MapPoint> points, double width, double height, double margin,
                  double minSpan) {
  double x0 = 0.0, x1 = 0.0, y0 = 0.0, y1 = 0.0;
  if (!points.empty()) {
    x0 = x1 = points.front().x;
    y0 = y1 = points.front().y;
  }
  for (const MapPoint& p : points) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  const double spanX = std::max(x1 - x0, minSpan);
  const double spanY = std::max(y1 - y0, minSpan);
  const double roomX = std::max(width - 2 * margin, 1.0);
  const double roomY = std::max(height - 2 * margin, 1.0);
  ChartView v;
  v.centre = MapPoint{(x0 + x1) / 2, (y0 + y1) / 2};
  v.width = width;
  v.height = height;
  v.metresPerPixel =
      std::clamp(std::max(spanX / roomX, spanY / roomY), kMinMetresPerPixel, kMaxMetresPerPixel);
  return v;
}

}  // namespace kestrune::chart
