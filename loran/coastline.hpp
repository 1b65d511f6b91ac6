// The shipped coastline: land polygons read from the generated file
// data/coastline-nw-europe.bin, where the program looks for it, how far a
// position lies from the coast, and whether a position is on land.
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

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "loran/types.hpp"

namespace kestrune::loran {

struct Coastline {
  // The clip box, degrees; edges along it are not coast.
  double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
  double stepLon = 0.0, stepLat = 0.0;       // grid step, degrees
  std::vector<std::vector<GeoPoint>> rings;  // radians; even-odd rule for holes
};

// A coastline, or why there is none (one line for the user).
struct CoastlineRead {
  std::optional<Coastline> coast;
  std::string problem;
};
CoastlineRead DecodeCoastline(std::string_view bytes);
// A regular file of at most kCoastlineFileLimit bytes.
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
  GeoPoint nearest;
  bool onLand = false;
};
// Empty for a coastline without rings.
std::optional<CoastDistance> NearestCoast(const Coastline& coast, GeoPoint from);

// Land or sea at any position, answered from a grid of cells over the
// coastline's box: a cell no edge crosses takes the side of its centre; in
// a cell edges cross, the side of the centre changes at every edge the
// segment from the centre to the position crosses. Outside the box is sea.
class LandMask {
 public:
  explicit LandMask(const Coastline& coast);
  bool OnLand(GeoPoint at) const;

 private:
  struct Edge {
    double lat0, lon0, lat1, lon1;  // radians
  };
  bool CentreOnLand(std::size_t cell) const { return centreLand_[cell] != 0; }
  double west_ = 0.0, south_ = 0.0, cellLat_ = 0.0, cellLon_ = 0.0;  // radians
  int rows_ = 0, cols_ = 0;
  std::vector<std::uint8_t> centreLand_;  // by cell
  std::vector<std::uint32_t> firstEdge_;  // by cell, into cellEdges_; one more than cells
  std::vector<std::uint32_t> cellEdges_;  // edge numbers
  std::vector<Edge> edges_;
};

}  // namespace kestrune::loran
