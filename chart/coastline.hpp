// The coastline the chart draws (loran/coastline.hpp reads it): the land of
// one view, clipped and simplified to its pixels.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/projection.hpp"
#include "loran/coastline.hpp"
#include "loran/types.hpp"

namespace kestrune::chart {

// The coastline itself, its file and the distance to it belong to the
// computation library; the chart keeps their names.
using loran::CoastDistance;
using loran::Coastline;
using loran::CoastlineCandidates;
using loran::CoastlineRead;
using loran::DecodeCoastline;
using loran::FindCoastlineFile;
using loran::NearestCoast;
using loran::ReadCoastline;

// A coastline prepared for drawing at every scale: projected once (longitude
// and isometric latitude serve every Mercator centre), with simplified
// copies for the smaller scales.
class CoastLayer {
 public:
  explicit CoastLayer(Coastline coast);
  const Coastline& Source() const { return coast_; }
  // The land of `view` in pixels: the rings that reach it, simplified to
  // about a pixel and clipped a little outside its edges, to be filled with
  // the even-odd rule.
  std::vector<std::vector<Pixel>> Rings(const Mercator& projection, const ChartView& view) const;

 private:
  struct Ring {
    std::vector<MapPoint> points;  // x: longitude, y: isometric latitude, radians
    double x0, y0, x1, y1;         // its bounds
  };
  struct Level {
    double tolerance;  // radians of longitude / isometric latitude
    std::vector<Ring> rings;
  };
  Coastline coast_;
  std::vector<Level> levels_;  // finest first
};

}  // namespace kestrune::chart
