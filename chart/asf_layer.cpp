// The chart's ASF layer: a grid of the LOP's ASF over the view and its
// contours.
//
// Notation:
//   c            plane metres between grid nodes (kAsfContourCellPixels pixels)
//   (i, j)       a node's plane indices: the node lies at (i c, j c)
//   v            the ASF at a node (us); L a contour level
//   a cell       the square of nodes (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1);
//                its edges 0 bottom, 1 right, 2 top, 3 left
//   t            where L crosses an edge, from its first node: (L - v0) / (v1 - v0)
#include "chart/asf_layer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "loran/coastline.hpp"
#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

using namespace kestrune::constants;

// Presentation: colours, sizes in pixels.
constexpr std::uint32_t kContourColour = 0x6A4C93;
constexpr double kContourWidth = 1.0;
constexpr double kContourFontPx = 10.5;
constexpr double kLegendFontPx = 12.0;
constexpr double kLegendInset = 10.0;             // from the view's edges
constexpr double kLabelInset = 24.0;              // a level's label stays this far inside the view
constexpr std::int64_t kNodeKeyBias = 1ll << 31;  // packs (i, j) into one key

std::int64_t NodeKey(std::int64_t i, std::int64_t j) {
  return ((i + kNodeKeyBias) << 32) | ((j + kNodeKeyBias) & 0xFFFFFFFFll);
}

// A crossing of level L on one grid edge: even ids are the bottom edge of
// node (column, row), odd ids its left edge.
struct Segment {
  std::int64_t a = 0, b = 0;
};

class Contourer {
 public:
  Contourer(const AsfGrid& grid, const ChartView& view) : g_(grid), view_(view) {}

  std::vector<ContourLine> Level(double level) {
    level_ = level;
    std::vector<Segment> segments;
    for (int r = 0; r + 1 < g_.rows; ++r) {
      for (int c = 0; c + 1 < g_.columns; ++c) AddCell(c, r, segments);
    }
    return Join(segments);
  }

 private:
  std::int64_t Bottom(int c, int r) const { return 2 * (std::int64_t{r} * (g_.columns + 1) + c); }
  std::int64_t Left(int c, int r) const { return Bottom(c, r) + 1; }

  void AddCell(int c, int r, std::vector<Segment>& out) const {
    const std::array<double, 4> v{g_.At(c, r), g_.At(c + 1, r), g_.At(c + 1, r + 1),
                                  g_.At(c, r + 1)};
    for (double x : v) {
      if (std::isnan(x)) return;
    }
    const std::array<std::int64_t, 4> edge{Bottom(c, r), Left(c + 1, r), Bottom(c, r + 1),
                                           Left(c, r)};
    std::array<int, 4> cut{};
    int n = 0;
    for (int k = 0; k < 4; ++k) {
      if ((v[k] > level_) != (v[(k + 1) % 4] > level_)) cut[n++] = k;
    }
    if (n == 2) {
      out.push_back({edge[cut[0]], edge[cut[1]]});
    } else if (n == 4) {
      // A saddle: the middle of the cell, the mean of its nodes, decides
      // which corners the contour cuts off.
      const bool middle = (v[0] + v[1] + v[2] + v[3]) / 4 > level_;
      if (middle == (v[0] > level_)) {
        out.push_back({edge[0], edge[1]});
        out.push_back({edge[2], edge[3]});
      } else {
        out.push_back({edge[3], edge[0]});
        out.push_back({edge[1], edge[2]});
      }
    }
  }

  Pixel Crossing(std::int64_t id) const {
    const std::int64_t node = id / 2;
    const int c = static_cast<int>(node % (g_.columns + 1));
    const int r = static_cast<int>(node / (g_.columns + 1));
    const bool left = id % 2 != 0;
    const double v0 = g_.At(c, r);
    const double v1 = left ? g_.At(c, r + 1) : g_.At(c + 1, r);
    const double t = (level_ - v0) / (v1 - v0);
    const double i = static_cast<double>(g_.i0 + c) + (left ? 0.0 : t);
    const double j = static_cast<double>(g_.j0 + r) + (left ? t : 0.0);
    return view_.ToPixel(MapPoint{i * g_.cell, j * g_.cell});
  }

  // The segments joined at their shared crossings; each crossing is shared
  // by at most two cells, so the joins are unambiguous.
  std::vector<ContourLine> Join(const std::vector<Segment>& segments) const {
    std::unordered_map<std::int64_t, std::array<std::size_t, 2>> at;
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    for (std::size_t s = 0; s < segments.size(); ++s) {
      for (std::int64_t e : {segments[s].a, segments[s].b}) {
        auto [it, fresh] = at.try_emplace(e, std::array<std::size_t, 2>{kNone, kNone});
        it->second[it->second[0] == kNone ? 0 : 1] = s;
      }
    }
    std::vector<bool> used(segments.size(), false);
    auto walk = [&](std::int64_t edge, std::vector<std::int64_t>& ids) {
      for (;;) {
        std::size_t next = kNone;
        for (std::size_t s : at[edge]) {
          if (s != kNone && !used[s]) next = s;
        }
        if (next == kNone) return;
        used[next] = true;
        edge = segments[next].a == edge ? segments[next].b : segments[next].a;
        ids.push_back(edge);
      }
    };
    std::vector<ContourLine> lines;
    for (std::size_t s = 0; s < segments.size(); ++s) {
      if (used[s]) continue;
      used[s] = true;
      std::vector<std::int64_t> back, forward{segments[s].a, segments[s].b};
      walk(segments[s].b, forward);
      walk(segments[s].a, back);
      ContourLine line{level_, {}};
      line.points.reserve(back.size() + forward.size());
      for (auto it = back.rbegin(); it != back.rend(); ++it) line.points.push_back(Crossing(*it));
      for (std::int64_t e : forward) line.points.push_back(Crossing(e));
      lines.push_back(std::move(line));
    }
    return lines;
  }

  const AsfGrid& g_;
  const ChartView& view_;
  double level_ = 0.0;
};

// A level as its label writes it: as many decimals as the interval needs.
std::string LevelText(double level, double interval) {
  const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(interval) - 1e-9)), 0, 6);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, level);
  std::string text = buf;
  // No "-0.0" for a level that rounds to nothing.
  if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') text.erase(0, 1);
  return text;
}

double Length(const std::vector<Pixel>& points) {
  double length = 0.0;
  for (std::size_t k = 1; k < points.size(); ++k) {
    length += std::hypot(points[k].x - points[k - 1].x, points[k].y - points[k - 1].y);
  }
  return length;
}

Item LabelItem(const char* cls, std::string text, double size, int align) {
  Item t;
  t.kind = Item::Kind::Text;
  t.cls = cls;
  t.text = std::move(text);
  t.align = align;
  t.stroke = kContourColour;
  t.size = size;
  return t;
}

}  // namespace

double ContourInterval(double low, double high) {
  const double span = high - low;
  if (!(span > kAsfFlatField)) return 0.0;
  const double raw = span / kAsfMaxContourLevels;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
}

AsfContours ContourGrid(const AsfGrid& grid, const ChartView& view) {
  AsfContours out;
  bool any = false;
  for (double v : grid.values) {
    if (std::isnan(v)) continue;
    out.low = any ? std::min(out.low, v) : v;
    out.high = any ? std::max(out.high, v) : v;
    any = true;
  }
  if (!any) {
    out.low = out.high = std::numeric_limits<double>::quiet_NaN();
    return out;
  }
  out.interval = ContourInterval(out.low, out.high);
  if (out.interval == 0.0) return out;
  Contourer contourer(grid, view);
  const auto k0 = static_cast<std::int64_t>(std::ceil(out.low / out.interval));
  const auto k1 = static_cast<std::int64_t>(std::floor(out.high / out.interval));
  for (std::int64_t k = k0; k <= k1; ++k) {
    for (ContourLine& line : contourer.Level(static_cast<double>(k) * out.interval)) {
      if (line.points.size() >= 2) out.lines.push_back(std::move(line));
    }
  }
  return out;
}

AsfGrid AsfLayerCache::GridOver(const loran::CatalogueAsf& asf, const Mercator& projection,
                                const ChartView& view) {
  AsfGrid g;
  g.cell = kAsfContourCellPixels * view.metresPerPixel;
  const MapPoint low = view.ToMap(Pixel{0.0, view.height});
  const MapPoint high = view.ToMap(Pixel{view.width, 0.0});
  g.i0 = static_cast<std::int64_t>(std::floor(low.x / g.cell));
  g.j0 = static_cast<std::int64_t>(std::floor(low.y / g.cell));
  g.columns = static_cast<int>(std::ceil(high.x / g.cell) - static_cast<double>(g.i0)) + 1;
  g.rows = static_cast<int>(std::ceil(high.y / g.cell) - static_cast<double>(g.j0)) + 1;
  g.values.reserve(static_cast<std::size_t>(g.columns) * static_cast<std::size_t>(g.rows));
  // Nodes wider apart than the station fields' share none of theirs: each
  // would read four of every field's nodes for two paths of its own.
  const bool exact = g.cell / projection.ScaleAt(projection.Centre().lat) > kAsfExactLayerCell;
  for (int r = 0; r < g.rows; ++r) {
    for (int c = 0; c < g.columns; ++c) {
      const std::int64_t i = g.i0 + c, j = g.j0 + r;
      const auto [it, fresh] = nodes_.try_emplace(NodeKey(i, j), 0.0);
      if (fresh) {
        const MapPoint p{static_cast<double>(i) * g.cell, static_cast<double>(j) * g.cell};
        try {
          const loran::GeoPoint at = projection.Reverse(p);
          it->second = exact ? asf.ExactLopAsf(lop_, at) : asf.LopAsf(lop_, at);
        } catch (const std::invalid_argument&) {
          // Beyond the model's reach there is no ASF to draw.
          it->second = std::numeric_limits<double>::quiet_NaN();
        }
      }
      g.values.push_back(it->second);
    }
  }
  return g;
}

const AsfLayer& AsfLayerCache::Layer(const loran::CatalogueAsf& asf, const loran::Lop& lop,
                                     const std::string& lopLabel, const Mercator& projection,
                                     const ChartView& view) {
  const bool sameNodes = asf_ == &asf && lop_.master == lop.master &&
                         lop_.secondary == lop.secondary && centre_ == projection.Centre() &&
                         metresPerPixel_ == view.metresPerPixel;
  if (!sameNodes) {
    nodes_.clear();
    asf_ = &asf;
    lop_ = lop;
    centre_ = projection.Centre();
    metresPerPixel_ = view.metresPerPixel;
    valid_ = false;
  }
  const bool sameView = valid_ && view_.centre.x == view.centre.x &&
                        view_.centre.y == view.centre.y && view_.width == view.width &&
                        view_.height == view.height;
  if (!sameView) {
    layer_.contours = ContourGrid(GridOver(asf, projection, view), view);
    view_ = view;
    valid_ = true;
  }
  layer_.lopLabel = lopLabel;
  return layer_;
}

std::shared_ptr<const loran::CatalogueAsf> ProgramAsf(const loran::Catalogue& catalogue,
                                                      std::string& problem) {
  loran::CoastlineRead coast = loran::ReadCoastline(loran::FindCoastlineFile(""));
  if (!coast.coast) {
    problem = coast.problem;
    return nullptr;
  }
  auto model = std::make_shared<const loran::AsfModel>(
      std::make_shared<const loran::LandMask>(*coast.coast), loran::AsfModelSettings{});
  return std::make_shared<const loran::CatalogueAsf>(std::move(model), catalogue);
}

void AddAsfContours(ChartScene& scene, const AsfLayer& layer, const ChartView& view,
                    std::vector<LabelRequest>& labels) {
  const AsfContours& c = layer.contours;
  for (const ContourLine& line : c.lines) {
    Item item;
    item.kind = Item::Kind::Line;
    item.cls = "asf";
    item.rings.push_back(line.points);
    item.stroke = kContourColour;
    item.width = kContourWidth;
    item.dashed = line.level < 0.0;
    scene.items.push_back(std::move(item));
    if (Length(line.points) < kAsfLabelMinPixels) continue;
    std::vector<Pixel> inside;
    for (const Pixel& p : line.points) {
      if (p.x >= kLabelInset && p.y >= kLabelInset && p.x <= view.width - kLabelInset &&
          p.y <= view.height - kLabelInset) {
        inside.push_back(p);
      }
    }
    if (inside.empty()) continue;
    labels.emplace_back(
        LabelItem("asf-label", LevelText(line.level, c.interval), kContourFontPx, -1),
        SpotsAlongLine(inside, view.width, kContourFontPx));
  }
}

LabelRequest AsfLegend(const AsfLayer& layer, const ChartView& view) {
  const AsfContours& c = layer.contours;
  std::string text = "ASF " + layer.lopLabel + " (\u00b5s): ";
  if (std::isnan(c.low)) {
    text += "beyond the model's reach";
  } else if (c.interval > 0.0) {
    text += "contours every " + LevelText(c.interval, c.interval) + ", dashed below 0";
  } else {
    text += "no contour, " + LevelText(c.low, 0.01) + " over the view";
  }
  // Bottom right first: the scale bar holds the bottom left, the title the top left.
  const double bottom = view.height - kLegendInset;
  const std::vector<LabelSpot> corners{
      {{view.width - kLegendInset, bottom}, 1},
      {{view.width - kLegendInset, kLegendInset + kLegendFontPx}, 1},
      {{view.width / 2, bottom}, 0}};
  LabelRequest legend(LabelItem("asf-legend", std::move(text), kLegendFontPx, 1), corners);
  legend.text.bold = true;
  return legend;
}

}  // namespace kestrune::chart
