// Millington's method over land and sea.
//
// Notation
//   d               length of the path (m) along the WGS 84 geodesic
//   D_0 = 0 < D_1 < ... < D_n = d   the ends of the sections; g_i the ground of section i
//   P_g(s)          the homogeneous secondary phase of ground g at s metres (us)
//   forward         sum_i P_gi(D_i) - P_gi(D_(i-1))        (from the station)
//   reverse         sum_i P_gi(d - D_(i-1)) - P_gi(d - D_i)  (from the position)
//   mixed           (forward + reverse) / 2;  ASF = mixed - P_sea(d)
//   h               the sampling step, d / ceil(d / kAsfSampleStep)
#include "loran/asf.hpp"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

using namespace kestrune::constants;

namespace {

bool InsideRings(const std::vector<std::vector<GeoPoint>>& rings, GeoPoint at) {
  bool inside = false;
  for (const auto& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const GeoPoint& p = ring[i];
      const GeoPoint& q = ring[(i + 1) % ring.size()];
      if ((p.lat > at.lat) != (q.lat > at.lat) &&
          at.lon < p.lon + (q.lon - p.lon) * (at.lat - p.lat) / (q.lat - p.lat)) {
        inside = !inside;
      }
    }
  }
  return inside;
}

// Points of a geodesic at any distance: exact every kAsfNodeSpacing metres
// at most, linear in latitude and longitude between (13 m off the geodesic
// at most at 70 N).
class PathPoints {
 public:
  PathPoints(GeoPoint from, GeoPoint to) {
    // Latitude and longitude only: the line skips the reduced length and area.
    using Caps = GeographicLib::GeodesicLine;
    const GeographicLib::GeodesicLine line = GeographicLib::Geodesic::WGS84().InverseLine(
        Degrees(from.lat), Degrees(from.lon), Degrees(to.lat), Degrees(to.lon),
        Caps::LATITUDE | Caps::LONGITUDE | Caps::DISTANCE_IN);
    length_ = line.Distance();
    const int n = std::max(1, static_cast<int>(std::ceil(length_ / kAsfNodeSpacing)));
    spacing_ = length_ / n;
    for (int i = 0; i <= n; ++i) {
      double lat = 0.0, lon = 0.0, unused = 0.0;
      line.GenPosition(false, spacing_ * i, Caps::LATITUDE | Caps::LONGITUDE, lat, lon, unused,
                       unused, unused, unused, unused, unused);
      nodes_.push_back(GeoPoint{Radians(lat), Radians(lon)});
    }
    // Unwrapped so that interpolation never crosses the antimeridian.
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
      while (nodes_[i].lon - nodes_[i - 1].lon > kPi) nodes_[i].lon -= kTwoPi;
      while (nodes_[i].lon - nodes_[i - 1].lon < -kPi) nodes_[i].lon += kTwoPi;
    }
  }
  double Length() const { return length_; }
  GeoPoint At(double s) const {
    if (spacing_ <= 0.0) return nodes_.front();
    const double u = std::clamp(s / spacing_, 0.0, static_cast<double>(nodes_.size() - 1));
    const auto i = std::min(static_cast<std::size_t>(u), nodes_.size() - 2);
    const double f = u - static_cast<double>(i);
    const GeoPoint& a = nodes_[i];
    const GeoPoint& b = nodes_[i + 1];
    return GeoPoint{a.lat + f * (b.lat - a.lat), a.lon + f * (b.lon - a.lon)};
  }

 private:
  double length_ = 0.0;
  double spacing_ = 0.0;
  std::vector<GeoPoint> nodes_;
};

}  // namespace

GroundRegionsRead ParseGroundRegions(const std::string& text) {
  GroundRegionsRead out;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    out.regions.clear();
    out.problem = "line " + std::to_string(number) + ": " + why;
    return out;
  };
  auto ringDone = [&]() {
    return out.regions.empty() || out.regions.back().rings.empty() ||
           out.regions.back().rings.back().size() >= 3;
  };
  while (std::getline(in, line)) {
    ++number;
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    std::string first;
    if (!(fields >> first)) continue;
    if (first == "region" || first == "ring") {
      if (!ringDone()) return fail("a polygon needs at least three points");
      if (first == "ring") {
        if (out.regions.empty()) return fail("\"ring\" before any \"region\"");
        out.regions.back().rings.emplace_back();
        continue;
      }
      GroundConstants g;
      if (!(fields >> g.conductivity >> g.permittivity) || !(g.conductivity > 0.0) ||
          g.conductivity > 100.0 || !(g.permittivity >= 1.0) || g.permittivity > 100.0) {
        return fail(
            "expected \"region SIGMA EPSILON\", sigma in (0, 100] S/m, epsilon in [1, 100]");
      }
      out.regions.push_back(GroundRegion{{{}}, g});
      continue;
    }
    if (out.regions.empty()) return fail("a point before any \"region\" line");
    double lat = 0.0, lon = 0.0;
    std::istringstream point(line);
    std::string rest;
    if (!(point >> lat >> lon) || (point >> rest) || !(std::fabs(lat) <= 90.0) ||
        !(std::fabs(lon) <= 180.0)) {
      return fail("expected \"LAT LON\" in decimal degrees");
    }
    if (out.regions.back().rings.back().size() >= kConductivityPointLimit) {
      return fail("too many points");
    }
    out.regions.back().rings.back().push_back(GeoPoint{Radians(lat), Radians(lon)});
  }
  ++number;
  if (!ringDone()) return fail("a polygon needs at least three points");
  if (out.regions.empty()) return fail("no \"region\" in the file");
  return out;
}

GroundRegionsRead ReadGroundRegions(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return {{}, "cannot open " + path + " (not a regular file)"};
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kConductivityFileLimit) return {{}, path + " is too large"};
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{}, "cannot open " + path};
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return {{}, "cannot read " + path};
  GroundRegionsRead read = ParseGroundRegions(text);
  if (!read.problem.empty()) read.problem = path + ", " + read.problem;
  return read;
}

AsfModel::AsfModel(std::shared_ptr<const LandMask> mask, AsfModelSettings settings)
    : mask_(std::move(mask)), regions_(std::move(settings.regions)) {
  grounds_.push_back(settings.sea);
  grounds_.push_back(settings.land);
  for (const GroundRegion& r : regions_) grounds_.push_back(r.ground);
  const GroundwaveSettings gw = LoranGroundwaveSettings();
  tables_.reserve(grounds_.size());
  for (const GroundConstants& g : grounds_) tables_.emplace_back(g, gw);
}

int AsfModel::GroundAt(GeoPoint at) const {
  for (std::size_t i = 0; i < regions_.size(); ++i) {
    if (InsideRings(regions_[i].rings, at)) return static_cast<int>(i) + 2;
  }
  return mask_ != nullptr && mask_->OnLand(at) ? 1 : 0;
}

std::vector<PathSection> AsfModel::Sections(GeoPoint from, GeoPoint to) const {
  const PathPoints path(from, to);
  const double d = path.Length();
  if (!(d <= tables_.front().Reach())) throw std::invalid_argument("path beyond the ASF model");
  const int n = std::max(1, static_cast<int>(std::ceil(d / kAsfSampleStep)));
  const double h = d / n;
  std::vector<PathSection> out;
  // The ground of each step is that of its middle; where it changes, the
  // boundary between the two middles is found by bisection.
  int previous = GroundAt(path.At(0.5 * h));
  out.push_back(PathSection{0.0, d, previous});
  for (int i = 1; i < n; ++i) {
    const int ground = GroundAt(path.At((i + 0.5) * h));
    if (ground == previous) continue;
    double lo = (i - 0.5) * h, hi = (i + 0.5) * h;
    for (int b = 0; b < kAsfBisections; ++b) {
      const double mid = 0.5 * (lo + hi);
      (GroundAt(path.At(mid)) == previous ? lo : hi) = mid;
    }
    const double boundary = 0.5 * (lo + hi);
    out.back().end = boundary;
    out.push_back(PathSection{boundary, d, ground});
    previous = ground;
  }
  return out;
}

double AsfModel::MillingtonPhase(const std::vector<PathSection>& sections) const {
  if (sections.empty()) return 0.0;
  const double d = sections.back().end;
  double forward = 0.0, reverse = 0.0;
  for (const PathSection& s : sections) {
    const GroundwaveTable& t = Table(s.ground);
    forward += t.Phase(s.end) - t.Phase(s.start);
    reverse += t.Phase(d - s.start) - t.Phase(std::max(0.0, d - s.end));
  }
  return 0.5 * (forward + reverse);
}

double AsfModel::Asf(const std::vector<PathSection>& sections) const {
  if (sections.size() == 1 && sections.front().ground == 0) return 0.0;
  return MillingtonPhase(sections) - Table(0).Phase(sections.back().end);
}

double AsfModel::Asf(GeoPoint station, GeoPoint at) const {
  return Asf(Sections(station, at));
}

AsfField::AsfField(std::shared_ptr<const AsfModel> model, GeoPoint station)
    : model_(std::move(model)), station_(station) {}

double AsfField::Node(std::int64_t row, std::int64_t col) const {
  const std::int64_t key = row * kAsfGridColumns + col;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = nodes_.find(key); it != nodes_.end()) return it->second;
  }
  const GeoPoint at{Radians(static_cast<double>(row) * kAsfGridLatStep),
                    Radians(static_cast<double>(col) * kAsfGridLonStep)};
  const double value = model_->Asf(station_, at);
  const std::lock_guard<std::mutex> lock(mutex_);
  nodes_.emplace(key, value);
  return value;
}

double AsfField::At(GeoPoint at) const {
  const double u = Degrees(at.lat) / kAsfGridLatStep;
  const double v = Degrees(at.lon) / kAsfGridLonStep;
  const auto r = static_cast<std::int64_t>(std::floor(u));
  const auto c = static_cast<std::int64_t>(std::floor(v));
  const double fu = u - static_cast<double>(r);
  const double fv = v - static_cast<double>(c);
  return (1.0 - fu) * ((1.0 - fv) * Node(r, c) + fv * Node(r, c + 1)) +
         fu * ((1.0 - fv) * Node(r + 1, c) + fv * Node(r + 1, c + 1));
}

CatalogueAsf::CatalogueAsf(std::shared_ptr<const AsfModel> model, const Catalogue& catalogue)
    : model_(std::move(model)) {
  for (const Station& s : catalogue.Stations()) {
    fields_.push_back(std::make_unique<AsfField>(model_, s.position));
    stations_.push_back(s.position);
  }
}

double CatalogueAsf::ExactLopAsf(const Lop& lop, GeoPoint at) const {
  return model_->Asf(stations_[static_cast<std::size_t>(lop.secondary)], at) -
         model_->Asf(stations_[static_cast<std::size_t>(lop.master)], at);
}

double CatalogueAsf::LopAsf(const Lop& lop, GeoPoint at) const {
  return fields_[static_cast<std::size_t>(lop.secondary)]->At(at) -
         fields_[static_cast<std::size_t>(lop.master)]->At(at);
}

AsfFix FixWithAsf(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint first,
                  const CatalogueAsf& asf) {
  AsfFix out;
  out.fix = first;
  out.lops.assign(lops.begin(), lops.end());
  out.asf.assign(lops.size(), 0.0);
  try {
    for (int pass = 0; pass < kAsfFixPasses; ++pass) {
      double moved = 0.0;
      for (std::size_t k = 0; k < lops.size(); ++k) {
        const double a = asf.LopAsf(lops[k], out.fix);
        moved = std::max(moved, std::fabs(a - out.asf[k]));
        out.asf[k] = a;
        out.lops[k].observedTd = lops[k].observedTd - a;
      }
      if (pass > 0 && moved < kAsfFixTolerance) {
        out.converged = true;
        break;
      }
      if (lops.size() == 2) {
        const TwoLopFixResult two = TwoLopFix(catalogue, out.lops[0], out.lops[1], out.fix);
        if (!two.converged) {
          out.problem = "no convergence with the ASF model";
          return out;
        }
        out.fix = two.fix;
      } else {
        const LeastSquaresFix lsq = LsqFix(catalogue, out.lops, out.fix);
        if (lsq.fault) {
          out.problem = lsq.fault->what();
          return out;
        }
        if (!lsq.converged) {
          out.problem = "no convergence with the ASF model";
          return out;
        }
        out.fix = lsq.fix;
      }
    }
    if (!out.converged) {
      out.problem = "the ASF model did not settle";
      return out;
    }
    for (const Lop& l : out.lops) {
      out.residuals.push_back(PredictPair(catalogue, out.fix, l.master, l.secondary).td -
                              l.observedTd);
    }
  } catch (const RuntimeFault& fault) {
    out.converged = false;
    out.problem = fault.what();
  } catch (const std::invalid_argument&) {
    out.converged = false;
    out.problem = "the fix is beyond the ASF model's reach";
  }
  return out;
}

}  // namespace kestrune::loran
