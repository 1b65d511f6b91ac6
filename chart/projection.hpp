// The chart's plane: a Mercator projection of the WGS 84 ellipsoid, true to
// scale at the latitude of its centre, and the view of that plane that a
// picture shows (where its middle lies, how many plane metres a pixel spans).
//
// Mercator is conformal, so angles of cut, the shape of an error ellipse and
// the directions toward the stations look on the chart as they are at sea.
#pragma once

#include <span>

#include "loran/types.hpp"

namespace kestrune::chart {

// A point of the plane: metres east (x) and north (y) of the centre.
struct MapPoint {
  double x = 0.0;
  double y = 0.0;
};

// A point of a picture: pixels right (x) and down (y) of its top-left corner.
struct Pixel {
  double x = 0.0;
  double y = 0.0;
};

class Mercator {
 public:
  // centre: the origin of the plane and the latitude of true scale; its
  // latitude within ±85° (radians).
  explicit Mercator(loran::GeoPoint centre = {});

  loran::GeoPoint Centre() const { return centre_; }
  // at: latitude within ±89.9° (radians); the longitude is taken the short
  // way round from the centre's.
  MapPoint Forward(loran::GeoPoint at) const;
  // The inverse of Forward, to 1e-14 rad.
  loran::GeoPoint Reverse(MapPoint p) const;
  // Plane metres per metre on the ground at latitude `lat` (radians); 1 at
  // the centre's latitude.
  double ScaleAt(double lat) const;

  // The same projection from longitude (radians) and isometric latitude:
  // a coastline projected once serves every centre.
  MapPoint FromIsometric(double lon, double psi) const;
  // Isometric latitude of `lat` (radians), the northing of Mercator on a unit sphere.
  static double Isometric(double lat);
  // Plane metres per radian of longitude or isometric latitude.
  double Radius() const { return radius_; }
  // The isometric latitude of the centre.
  double CentreIsometric() const { return psi0_; }

 private:
  loran::GeoPoint centre_;
  double radius_ = 0.0;  // semi-major axis times the centre's scale correction, metres
  double psi0_ = 0.0;    // isometric latitude of the centre
};

// A picture of the plane: `centre` at its middle, `metresPerPixel` plane
// metres across one pixel, `width` by `height` pixels.
struct ChartView {
  MapPoint centre;
  double metresPerPixel = 1000.0;  // > 0
  double width = 800.0;            // pixels, > 0
  double height = 600.0;           // pixels, > 0

  Pixel ToPixel(MapPoint p) const;
  MapPoint ToMap(Pixel p) const;
  // factor > 1 enlarges; the plane point under `anchor` stays under it. The
  // scale stays between 1 cm and 100 km of plane per pixel.
  ChartView Zoomed(double factor, Pixel anchor) const;
  // The picture moved with the pointer by dx, dy pixels.
  ChartView Panned(double dx, double dy) const;
  // The same middle at another size, showing at least what this view shows.
  ChartView Resized(double newWidth, double newHeight) const;
  // True when `p` lies within `margin` pixels outside the picture or inside it.
  bool Shows(Pixel p, double margin = 0.0) const;
};

// The view of `width` by `height` pixels that frames `points` with a border
// of `margin` pixels (>= 0) on every side and spans at least `minSpan` plane
// metres; an empty list gives the plane's centre at that span.
ChartView FitView(std::span<const MapPoint> points, double width, double height, double margin,
                  double minSpan);

}  // namespace kestrune::chart
