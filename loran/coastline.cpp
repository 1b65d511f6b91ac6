// Reading the coastline file, the distance to the coast, and land or sea.
//
// Notation:
//   gx, gy        grid indices of a point; lon = lon0 + gx dLon, lat = lat0 + gy dLat
//   kx, ky        metres per radian of longitude and latitude near a position
//   row, col      a cell of the land mask; its centre at (south + (row + 1/2) dLat,
//                 west + (col + 1/2) dLon)
#include "loran/coastline.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "loran/geodesic.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

namespace {

using namespace kestrune::constants;

constexpr std::string_view kMagic = "KSTCOAST";
constexpr const char* kFileName = "coastline-nw-europe.bin";

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  bool Ok() const { return ok_; }
  std::size_t Left() const { return bytes_.size() - pos_; }
  double Double() {
    if (Left() < 8) return Fail();
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
      bits = bits << 8 | static_cast<unsigned char>(bytes_[pos_ + static_cast<std::size_t>(i)]);
    }
    pos_ += 8;
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  std::uint64_t Varint() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (Left() == 0) return static_cast<std::uint64_t>(Fail());
      const auto byte = static_cast<unsigned char>(bytes_[pos_++]);
      v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return v;
    }
    return static_cast<std::uint64_t>(Fail());
  }
  std::int64_t Zigzag() {
    const std::uint64_t z = Varint();
    return (z & 1) ? -static_cast<std::int64_t>(z >> 1) - 1 : static_cast<std::int64_t>(z >> 1);
  }

 private:
  double Fail() {
    ok_ = false;
    pos_ = bytes_.size();
    return 0.0;
  }
  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace

CoastlineRead DecodeCoastline(std::string_view bytes) {
  const CoastlineRead damaged{std::nullopt, "the coastline file is damaged"};
  if (bytes.substr(0, kMagic.size()) != kMagic) {
    return {std::nullopt, "the file is not a Kestrune coastline"};
  }
  ByteReader in(bytes.substr(kMagic.size()));
  Coastline c;
  c.west = in.Double();
  c.south = in.Double();
  c.east = in.Double();
  c.north = in.Double();
  const double lon0 = in.Double();
  const double lat0 = in.Double();
  c.stepLon = in.Double();
  c.stepLat = in.Double();
  if (!in.Ok() || !(c.stepLon > 0.0) || !(c.stepLat > 0.0)) return damaged;
  const std::uint64_t rings = in.Varint();
  // Every ring takes at least seven bytes: a count and three points.
  if (!in.Ok() || rings > in.Left() / 7) return damaged;
  c.rings.resize(rings);
  for (auto& ring : c.rings) {
    const std::uint64_t n = in.Varint();
    if (!in.Ok() || n < 3 || n > in.Left() / 2) return damaged;
    ring.reserve(n);
    std::int64_t gx = 0, gy = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
      gx += in.Zigzag();
      gy += in.Zigzag();
      ring.push_back(GeoPoint{constants::Radians(lat0 + static_cast<double>(gy) * c.stepLat),
                              constants::Radians(lon0 + static_cast<double>(gx) * c.stepLon)});
    }
    if (!in.Ok()) return damaged;
  }
  if (in.Left() != 0) return damaged;
  return {std::move(c), ""};
}

CoastlineRead ReadCoastline(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return {std::nullopt, "cannot open " + path};
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kCoastlineFileLimit)
    return {std::nullopt, path + " is too large for a coastline"};
  std::ifstream file(path, std::ios::binary);
  if (!file) return {std::nullopt, "cannot open " + path};
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return {std::nullopt, "cannot read " + path};
  return DecodeCoastline(bytes);
}

std::vector<std::string> CoastlineCandidates(const std::string& programDir) {
  std::vector<std::string> dirs;
  if (const char* env = std::getenv("KESTRUNE_DATA_DIR"); env != nullptr && *env != '\0') {
    dirs.emplace_back(env);
  }
  if (!programDir.empty()) dirs.push_back(programDir + "/../share/kestrune");
  dirs.emplace_back(KESTRUNE_DATA_INSTALL_DIR);
  dirs.emplace_back(KESTRUNE_SOURCE_DATA_DIR);
  for (std::string& d : dirs) d += std::string("/") + kFileName;
  return dirs;
}

std::string FindCoastlineFile(const std::string& programDir) {
  for (const std::string& path : CoastlineCandidates(programDir)) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return "";
}

std::optional<CoastDistance> NearestCoast(const Coastline& coast, GeoPoint from) {
  const double s = std::sin(from.lat);
  const double w2 = 1.0 - kEccSq * s * s;
  const double ky = kSemiMajor * (1.0 - kEccSq) / (w2 * std::sqrt(w2));
  const double kx = kSemiMajor / std::sqrt(w2) * std::cos(from.lat);
  // An edge along the clip box is where the file was cut, not coast.
  const double halfLon = constants::Radians(coast.stepLon) / 2,
               halfLat = constants::Radians(coast.stepLat) / 2;
  auto near = [](double a, double b, double tol) { return std::fabs(a - b) < tol; };
  auto onBox = [&](const GeoPoint& p, const GeoPoint& q) {
    return (near(p.lon, constants::Radians(coast.west), halfLon) &&
            near(q.lon, constants::Radians(coast.west), halfLon)) ||
           (near(p.lon, constants::Radians(coast.east), halfLon) &&
            near(q.lon, constants::Radians(coast.east), halfLon)) ||
           (near(p.lat, constants::Radians(coast.south), halfLat) &&
            near(q.lat, constants::Radians(coast.south), halfLat)) ||
           (near(p.lat, constants::Radians(coast.north), halfLat) &&
            near(q.lat, constants::Radians(coast.north), halfLat));
  };
  double best = std::numeric_limits<double>::infinity();
  GeoPoint nearest;
  bool inside = false;
  for (const auto& ring : coast.rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const GeoPoint& p = ring[i];
      const GeoPoint& q = ring[(i + 1) % ring.size()];
      // Even-odd count of the edges a ray due east of `from` crosses.
      if ((p.lat > from.lat) != (q.lat > from.lat) &&
          from.lon < p.lon + (q.lon - p.lon) * (from.lat - p.lat) / (q.lat - p.lat)) {
        inside = !inside;
      }
      if (onBox(p, q)) continue;
      // The nearest point of the edge in a plane tangent at `from`.
      const double px = (p.lon - from.lon) * kx, py = (p.lat - from.lat) * ky;
      const double dx = (q.lon - p.lon) * kx, dy = (q.lat - p.lat) * ky;
      const double len2 = dx * dx + dy * dy;
      const double t = len2 > 0.0 ? std::clamp(-(px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
      const double d2 = (px + t * dx) * (px + t * dx) + (py + t * dy) * (py + t * dy);
      if (d2 < best) {
        best = d2;
        nearest = GeoPoint{p.lat + t * (q.lat - p.lat), p.lon + t * (q.lon - p.lon)};
      }
    }
  }
  if (!std::isfinite(best)) return std::nullopt;
  double metres = std::sqrt(best);
  try {
    metres = GeoDistAz(from, nearest).distance;
  } catch (const RuntimeFault&) {
    // The tangent-plane distance stands where the geodesic cannot be taken.
  }
  return CoastDistance{metres, nearest, inside};
}

LandMask::LandMask(const Coastline& coast) {
  west_ = Radians(coast.west);
  south_ = Radians(coast.south);
  cellLat_ = Radians(kLandMaskCell);
  cellLon_ = Radians(kLandMaskCell);
  rows_ = std::max(1, static_cast<int>(std::ceil((coast.north - coast.south) / kLandMaskCell)));
  cols_ = std::max(1, static_cast<int>(std::ceil((coast.east - coast.west) / kLandMaskCell)));
  const auto cells = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_);
  for (const auto& ring : coast.rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const GeoPoint& p = ring[i];
      const GeoPoint& q = ring[(i + 1) % ring.size()];
      edges_.push_back(Edge{p.lat, p.lon, q.lat, q.lon});
    }
  }
  // Every cell an edge's bounding box touches lists it (edges are a few
  // hundred metres, cells kilometres: one to four cells each).
  auto cellRange = [&](double lo, double hi, double origin, double size, int count) {
    const int a = std::clamp(static_cast<int>(std::floor((lo - origin) / size)), 0, count - 1);
    const int b = std::clamp(static_cast<int>(std::floor((hi - origin) / size)), 0, count - 1);
    return std::pair{a, b};
  };
  std::vector<std::vector<std::uint32_t>> lists(cells);
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    const Edge& g = edges_[e];
    const auto [r0, r1] =
        cellRange(std::min(g.lat0, g.lat1), std::max(g.lat0, g.lat1), south_, cellLat_, rows_);
    const auto [c0, c1] =
        cellRange(std::min(g.lon0, g.lon1), std::max(g.lon0, g.lon1), west_, cellLon_, cols_);
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c) {
        lists[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) +
              static_cast<std::size_t>(c)]
            .push_back(static_cast<std::uint32_t>(e));
      }
    }
  }
  firstEdge_.assign(cells + 1, 0);
  for (std::size_t c = 0; c < cells; ++c) {
    firstEdge_[c + 1] = firstEdge_[c] + static_cast<std::uint32_t>(lists[c].size());
    cellEdges_.insert(cellEdges_.end(), lists[c].begin(), lists[c].end());
  }
  // The side of every centre by one scan line a row: the crossings of the
  // row's centre latitude, in order of longitude, toggle land and sea.
  centreLand_.assign(cells, 0);
  std::vector<double> crossings;
  for (int r = 0; r < rows_; ++r) {
    const double lat = south_ + (r + 0.5) * cellLat_;
    crossings.clear();
    for (const Edge& g : edges_) {
      if ((g.lat0 > lat) != (g.lat1 > lat)) {
        crossings.push_back(g.lon0 + (g.lon1 - g.lon0) * (lat - g.lat0) / (g.lat1 - g.lat0));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    std::size_t k = 0;
    for (int c = 0; c < cols_; ++c) {
      const double lon = west_ + (c + 0.5) * cellLon_;
      while (k < crossings.size() && crossings[k] < lon) ++k;
      centreLand_[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols_) +
                  static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(k % 2);
    }
  }
}

bool LandMask::OnLand(GeoPoint at) const {
  const double fr = (at.lat - south_) / cellLat_;
  const double fc = (at.lon - west_) / cellLon_;
  if (!(fr >= 0.0 && fr < rows_ && fc >= 0.0 && fc < cols_)) return false;
  const auto r = static_cast<std::size_t>(fr);
  const auto c = static_cast<std::size_t>(fc);
  const std::size_t cell = r * static_cast<std::size_t>(cols_) + c;
  bool land = CentreOnLand(cell);
  // The segment from the centre to the position crosses an edge when each
  // lies on its own side of the other's line.
  const double clat = south_ + (static_cast<double>(r) + 0.5) * cellLat_;
  const double clon = west_ + (static_cast<double>(c) + 0.5) * cellLon_;
  auto side = [](double ay, double ax, double by, double bx, double py, double px) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
  };
  for (std::uint32_t i = firstEdge_[cell]; i < firstEdge_[cell + 1]; ++i) {
    const Edge& g = edges_[cellEdges_[i]];
    const double s1 = side(g.lat0, g.lon0, g.lat1, g.lon1, clat, clon);
    const double s2 = side(g.lat0, g.lon0, g.lat1, g.lon1, at.lat, at.lon);
    if ((s1 > 0.0) == (s2 > 0.0)) continue;
    const double s3 = side(clat, clon, at.lat, at.lon, g.lat0, g.lon0);
    const double s4 = side(clat, clon, at.lat, at.lon, g.lat1, g.lon1);
    if ((s3 > 0.0) != (s4 > 0.0)) land = !land;
  }
  return land;
}

}  // namespace kestrune::loran
