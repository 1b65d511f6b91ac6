// Reading the coastline file, the distance to the coast, and the land of a
// view.
//
// Notation:
//   gx, gy        grid indices of a point; lon = lon0 + gx dLon, lat = lat0 + gy dLat
//   u, v          longitude and isometric latitude, radians: the Mercator
//                 plane before its scale and origin
//   tol           simplification tolerance of a level, radians of u and v
//   kx, ky        metres per radian of longitude and latitude near a position
#include "chart/coastline.hpp"

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

namespace kestrune::chart {

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
      ring.push_back(
          loran::GeoPoint{constants::Radians(lat0 + static_cast<double>(gy) * c.stepLat),
                          constants::Radians(lon0 + static_cast<double>(gx) * c.stepLon)});
    }
    if (!in.Ok()) return damaged;
  }
  if (in.Left() != 0) return damaged;
  return {std::move(c), ""};
}

CoastlineRead ReadCoastline(const std::string& path) {
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

std::optional<CoastDistance> NearestCoast(const Coastline& coast, loran::GeoPoint from) {
  const double s = std::sin(from.lat);
  const double w2 = 1.0 - kEccSq * s * s;
  const double ky = kSemiMajor * (1.0 - kEccSq) / (w2 * std::sqrt(w2));
  const double kx = kSemiMajor / std::sqrt(w2) * std::cos(from.lat);
  // An edge along the clip box is where the file was cut, not coast.
  const double halfLon = constants::Radians(coast.stepLon) / 2,
               halfLat = constants::Radians(coast.stepLat) / 2;
  auto near = [](double a, double b, double tol) { return std::fabs(a - b) < tol; };
  auto onBox = [&](const loran::GeoPoint& p, const loran::GeoPoint& q) {
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
  loran::GeoPoint nearest;
  bool inside = false;
  for (const auto& ring : coast.rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const loran::GeoPoint& p = ring[i];
      const loran::GeoPoint& q = ring[(i + 1) % ring.size()];
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
        nearest = loran::GeoPoint{p.lat + t * (q.lat - p.lat), p.lon + t * (q.lon - p.lon)};
      }
    }
  }
  if (!std::isfinite(best)) return std::nullopt;
  double metres = std::sqrt(best);
  try {
    metres = loran::GeoDistAz(from, nearest).distance;
  } catch (const RuntimeFault&) {
    // The tangent-plane distance stands where the geodesic cannot be taken.
  }
  return CoastDistance{metres, nearest, inside};
}

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
