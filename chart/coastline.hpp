// The coastline the chart draws: land polygons read from the generated
// file data/coastline-nw-europe.bin, how far a position lies from the
// coast, and the land of one view, clipped and simplified to its pixels.
//
// File format (all numbers little-endian):
//   8 bytes   "KSTCOAST"
//   8 doubles the clip box: west, south, east, north longitude/latitude
//             (degrees); the grid origin (longitude, latitude, degrees) and
//             the grid step (degrees of longitude, of latitude)
//   varint    number of rings
//   per ring  varint point count n (>= 3), then n points, each two zigzag
//             varints: the grid steps east and north from the previous
//             point (from the grid origin for the first). A ring closes on
//             its own; edges that lie on the clip box are cut, not coast.
// varint: 7 bits a byte, least significant first, high bit set on every byte
// but the last; zigzag: 2v for v >= 0, -2v - 1 for v < 0.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/projection.hpp"
#include "loran/types.hpp"

namespace kestrune::chart {

struct Coastline {
  // The clip box, degrees; edges along it are not coast.
  double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
  double stepLon = 0.0, stepLat = 0.0;              // grid step, degrees
  std::vector<std::vector<loran::GeoPoint>> rings;  // radians; even-odd rule for holes
};

// A coastline, or why there is none (one line for the user).
struct CoastlineRead {
  std::optional<Coastline> coast;
  std::string problem;
};
CoastlineRead DecodeCoastline(std::string_view bytes);
CoastlineRead ReadCoastline(const std::string& path);

// Where the program looks for data/coastline-nw-europe.bin, in order: the
// folder $KESTRUNE_DATA_DIR names, <programDir>/../share/kestrune (an
// installed program), the data folder of the installation the build was
// configured for, and the source tree's data/ (a program run from its
// build tree).
std::vector<std::string> CoastlineCandidates(const std::string& programDir);
// The first candidate that exists, empty when none does.
std::string FindCoastlineFile(const std::string& programDir);

// The nearest point of the coast to a position, and whether it is on land.
struct CoastDistance {
  double metres = 0.0;  // along the geodesic
  loran::GeoPoint nearest;
  bool onLand = false;
};
// Empty for a coastline without rings.
std::optional<CoastDistance> NearestCoast(const Coastline& coast, loran::GeoPoint from);

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
