// The land of a view.
//
// Notation:
//   u, v          longitude and isometric latitude, radians: the Mercator
//                 plane before its scale and origin
//   tol           simplification tolerance of a level, radians of u and v
#include "chart/coastline.hpp"

#include <algorithm>
#include <cmath>

#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

using namespace kestrune::constants;

// Sutherland-Hodgman clipping of a closed ring to one side of a rectangle.
template <class Inside, class Cut>
std::vector<Pixel> ClipSide(const std::vector<Pixel>& ring, Inside inside, Cut cut) {
  std::vector<Pixel> out;
  out.reserve(ring.size() + 4);
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Pixel& p = ring[i];
    const Pixel& q = ring[(i + 1) % ring.size()];
    const bool pin = inside(p);
    if (pin) out.push_back(p);
    if (pin != inside(q)) out.push_back(cut(p, q));
  }
  return out;
}

std::vector<Pixel> ClipToRect(std::vector<Pixel> ring, double x0, double y0, double x1, double y1) {
  auto atX = [](double x) {
    return [x](const Pixel& p, const Pixel& q) {
      return Pixel{x, p.y + (q.y - p.y) * (x - p.x) / (q.x - p.x)};
    };
  };
  auto atY = [](double y) {
    return [y](const Pixel& p, const Pixel& q) {
      return Pixel{p.x + (q.x - p.x) * (y - p.y) / (q.y - p.y), y};
    };
  };
  ring = ClipSide(
      ring, [x0](const Pixel& p) { return p.x >= x0; }, atX(x0));
  ring = ClipSide(
      ring, [x1](const Pixel& p) { return p.x <= x1; }, atX(x1));
  ring = ClipSide(
      ring, [y0](const Pixel& p) { return p.y >= y0; }, atY(y0));
  return ClipSide(
      ring, [y1](const Pixel& p) { return p.y <= y1; }, atY(y1));
}

}  // namespace

CoastLayer::CoastLayer(Coastline coast) : coast_(std::move(coast)) {
  Level full{0.0, {}};
  for (const auto& source : coast_.rings) {
    Ring r{{}, 0, 0, 0, 0};
    r.points.reserve(source.size());
    for (const loran::GeoPoint& p : source) {
      r.points.push_back(MapPoint{p.lon, Mercator::Isometric(p.lat)});
    }
    auto [xMin, xMax] = std::minmax_element(r.points.begin(), r.points.end(),
                                            [](auto& a, auto& b) { return a.x < b.x; });
    auto [yMin, yMax] = std::minmax_element(r.points.begin(), r.points.end(),
                                            [](auto& a, auto& b) { return a.y < b.y; });
    r.x0 = xMin->x, r.x1 = xMax->x, r.y0 = yMin->y, r.y1 = yMax->y;
    full.rings.push_back(std::move(r));
  }
  levels_.push_back(std::move(full));
  // Each coarser level drops the points within its tolerance of the last
  // point kept, and the rings smaller than it.
  for (int i = 0; i < kCoastLevels; ++i) {
    const double tol = kCoastFinestTolerance * std::pow(kCoastLevelRatio, i);
    Level level{tol, {}};
    for (const Ring& r : levels_.front().rings) {
      if (std::max(r.x1 - r.x0, r.y1 - r.y0) < tol) continue;
      Ring coarse{{}, r.x0, r.y0, r.x1, r.y1};
      for (const MapPoint& p : r.points) {
        if (coarse.points.empty() || std::fabs(p.x - coarse.points.back().x) > tol ||
            std::fabs(p.y - coarse.points.back().y) > tol) {
          coarse.points.push_back(p);
        }
      }
      if (coarse.points.size() >= 3) level.rings.push_back(std::move(coarse));
    }
    levels_.push_back(std::move(level));
  }
}

std::vector<std::vector<Pixel>> CoastLayer::Rings(const Mercator& projection,
                                                  const ChartView& view) const {
  const double perPixel = view.metresPerPixel / projection.Radius();
  const Level* level = &levels_.front();
  for (const Level& l : levels_) {
    if (l.tolerance <= kCoastPixelTolerance * perPixel) level = &l;
  }
  // The view and a margin that keeps the cut edges out of sight, in u and v.
  const double m = kCoastClipMargin;
  const MapPoint lo = view.ToMap(Pixel{-m, view.height + m});
  const MapPoint hi = view.ToMap(Pixel{view.width + m, -m});
  const double u0 = projection.Centre().lon + lo.x / projection.Radius();
  const double u1 = projection.Centre().lon + hi.x / projection.Radius();
  const double v0 = projection.CentreIsometric() + lo.y / projection.Radius();
  const double v1 = projection.CentreIsometric() + hi.y / projection.Radius();

  std::vector<std::vector<Pixel>> out;
  for (const Ring& r : level->rings) {
    if (r.x1 < u0 || r.x0 > u1 || r.y1 < v0 || r.y0 > v1) continue;
    std::vector<Pixel> ring;
    ring.reserve(r.points.size());
    for (const MapPoint& p : r.points) {
      ring.push_back(view.ToPixel(projection.FromIsometric(p.x, p.y)));
    }
    const bool within = r.x0 >= u0 && r.x1 <= u1 && r.y0 >= v0 && r.y1 <= v1;
    if (!within) ring = ClipToRect(std::move(ring), -m, -m, view.width + m, view.height + m);
    if (ring.size() >= 3) out.push_back(std::move(ring));
  }
  return out;
}

}  // namespace kestrune::chart
