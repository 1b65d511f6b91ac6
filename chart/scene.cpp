// The chart's data from a position solution or a list of fixes, and the
// scene of one view in pixels.
//
// Notation:
//   s             plane metres per pixel of the view
//   k             plane metres per ground metre at a latitude (Mercator scale)
//   d             pixels by which a point lies outside the view (0 inside)
//   a, b, az      semi-axes (m) and major-axis azimuth (rad) of the ellipse
#include "chart/scene.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "chart/asf_layer.hpp"
#include "chart/labels.hpp"
#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune::chart {

namespace {

using namespace kestrune::constants;

// Presentation: colours, sizes in pixels.
constexpr std::uint32_t kSea = 0xDCE9F2;
constexpr std::uint32_t kLand = 0xEDE3C8;
constexpr std::uint32_t kInk = 0x202020;
constexpr std::uint32_t kLopColours[] = {0xC0392B, 0x1F6FB4, 0x23913A, 0x8E44AD,
                                         0xD35400, 0x6D4C41, 0xC2185B};
constexpr std::uint32_t kFixColour = 0xB00020;
constexpr std::uint32_t kPairColour = 0x37474F;
constexpr std::uint32_t kStationColour = 0x1A237E;
constexpr double kFontPx = 12.0;
constexpr double kTitleFontPx = 12.5;
constexpr double kLabelInset = 36.0;  // a LOP's label stays this far inside the view
constexpr double kFixSize = 8.0;      // marks, pixels across
constexpr double kPairSize = 7.0;
constexpr double kStationSize = 12.0;
constexpr double kMarkStroke = 1.5;
constexpr double kArrowInset = 10.0;  // arrows toward far stations end this far inside
constexpr double kArrowLength = 34.0;
constexpr double kFitMargin = 70.0;
constexpr double kFitMinSpan = 2000.0;  // plane metres
constexpr double kScaleBarMax = 160.0;
constexpr int kEllipsePoints = 96;

// How far a mark of `size` pixels across reaches from its centre, its stroke included.
double MarkRadius(double size) {
  return size / 2 + kMarkStroke / 2;
}

void AppendSpotsAround(std::vector<LabelSpot>& spots, Pixel mark, double radius, double sizePx) {
  for (const LabelSpot& spot : SpotsAround(mark, radius, sizePx)) spots.push_back(spot);
}

std::string CoordText(loran::GeoPoint p) {
  return text::FormatLatLon(constants::Degrees(p.lat), "LAT", 3) + "  " +
         text::FormatLatLon(constants::Degrees(p.lon), "LON", 3);
}

Item Marker(const char* cls, Pixel at, Item::Shape shape, double size, std::uint32_t stroke,
            bool filled, std::uint32_t fill) {
  Item m;
  m.kind = Item::Kind::Marker;
  m.cls = cls;
  m.at = at;
  m.shape = shape;
  m.size = size;
  m.stroke = stroke;
  m.width = kMarkStroke;
  m.filled = filled;
  m.fill = fill;
  return m;
}

Item Text(const char* cls, Pixel at, std::string text, int align, std::uint32_t colour,
          double size = kFontPx, bool bold = false) {
  Item t;
  t.kind = Item::Kind::Text;
  t.cls = cls;
  t.at = at;
  t.text = std::move(text);
  t.align = align;
  t.stroke = colour;
  t.size = size;
  t.bold = bold;
  return t;
}

Item Line(const char* cls, std::vector<Pixel> points, std::uint32_t colour, double width,
          bool dashed = false) {
  Item l;
  l.kind = Item::Kind::Line;
  l.cls = cls;
  l.rings.push_back(std::move(points));
  l.stroke = colour;
  l.width = width;
  l.dashed = dashed;
  return l;
}

// Pixels by which `p` lies outside the view.
double Outside(const ChartView& view, Pixel p) {
  const double dx = std::max({0.0, -p.x, p.x - view.width});
  const double dy = std::max({0.0, -p.y, p.y - view.height});
  return std::hypot(dx, dy);
}

std::string Round(double value) {
  return std::to_string(static_cast<long long>(std::llround(value)));
}

// The part of the segment a-b within the view and a pixel around it (a
// dashed line is dashed along its whole length, however far outside).
std::optional<std::pair<Pixel, Pixel>> InView(const ChartView& view, Pixel a, Pixel b) {
  double t0 = 0.0, t1 = 1.0;
  const double d[2] = {b.x - a.x, b.y - a.y};
  const double lo[2] = {-1.0 - a.x, -1.0 - a.y};
  const double hi[2] = {view.width + 1 - a.x, view.height + 1 - a.y};
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0.0) {
      if (lo[k] > 0.0 || hi[k] < 0.0) return std::nullopt;
      continue;
    }
    const double e0 = lo[k] / d[k], e1 = hi[k] / d[k];
    t0 = std::max(t0, std::min(e0, e1));
    t1 = std::min(t1, std::max(e0, e1));
  }
  if (t0 >= t1) return std::nullopt;
  return std::pair{Pixel{a.x + t0 * d[0], a.y + t0 * d[1]},
                   Pixel{a.x + t1 * d[0], a.y + t1 * d[1]}};
}

// Where the ray from the view's middle through `far` leaves the view inset
// by `inset` pixels, and the unit direction of that ray.
std::pair<Pixel, Pixel> EdgeToward(const ChartView& view, Pixel far, double inset) {
  const Pixel mid{view.width / 2, view.height / 2};
  const double dx = far.x - mid.x, dy = far.y - mid.y;
  const double len = std::hypot(dx, dy);
  const Pixel u{dx / len, dy / len};
  double t = len;
  if (u.x != 0.0) t = std::min(t, (view.width / 2 - inset) / std::fabs(u.x));
  if (u.y != 0.0) t = std::min(t, (view.height / 2 - inset) / std::fabs(u.y));
  return {Pixel{mid.x + u.x * t, mid.y + u.y * t}, u};
}

constexpr double kTitleLine = kTitleFontPx * 1.45;
constexpr double kTitleCorner = 8.0;

// The title block's far corner: its width from the longest line at an
// average advance of the face, as no font is at hand here.
Pixel TitleCorner(const std::vector<std::string>& lines) {
  std::size_t longest = 0;
  for (const std::string& l : lines) {
    // Characters, not bytes: the degree, micro and sigma signs are two bytes each.
    longest = std::max<std::size_t>(
        longest, static_cast<std::size_t>(
                     std::count_if(l.begin(), l.end(), [](char c) { return (c & 0xC0) != 0x80; })));
  }
  return Pixel{kTitleCorner + 16 + static_cast<double>(longest) * kTitleFontPx * 0.56,
               kTitleCorner + 10 + kTitleLine * static_cast<double>(lines.size())};
}

void AddTitleBlock(ChartScene& scene, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  Item box;
  box.kind = Item::Kind::Area;
  box.cls = "title-block";
  const double x0 = kTitleCorner, y0 = kTitleCorner;
  const Pixel far = TitleCorner(lines);
  box.rings.push_back({{x0, y0}, {far.x, y0}, {far.x, far.y}, {x0, far.y}});
  box.stroke = kInk;
  box.width = 1.0;
  box.filled = true;
  box.fill = 0xFFFFFF;
  scene.items.push_back(std::move(box));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    scene.items.push_back(Text("title", {x0 + 8, y0 + kTitleLine * static_cast<double>(i + 1)},
                               lines[i], -1, kInk, kTitleFontPx, i == 0));
  }
}

void AddScaleBar(ChartScene& scene, const ChartData& data, const ChartView& view) {
  const loran::GeoPoint middle = data.projection.Reverse(view.centre);
  const ScaleBar bar =
      RoundScaleBar(view.metresPerPixel / data.projection.ScaleAt(middle.lat), kScaleBarMax);
  const double x0 = 16, y = view.height - 18, x1 = x0 + bar.pixels;
  scene.items.push_back(Line("scale-bar", {{x0, y - 6}, {x0, y}, {x1, y}, {x1, y - 6}}, kInk, 2.0));
  scene.items.push_back(Text("scale-bar", {(x0 + x1) / 2, y - 6}, bar.label, 0, kInk));
}

void AddLops(ChartScene& scene, const ChartData& data, const ChartView& view,
             std::vector<LabelRequest>& labels) {
  const loran::GeoPoint start =
      data.lsqFix ? *data.lsqFix
                  : (data.mean ? *data.mean : data.estimate.value_or(loran::GeoPoint{}));
  const double reach = kTraceReach * std::hypot(view.width, view.height) +
                       Outside(view, view.ToPixel(data.projection.Forward(start)));
  auto stepAt = [&](loran::GeoPoint p) {
    const double d = Outside(view, view.ToPixel(data.projection.Forward(p)));
    if (d > reach) return 0.0;
    return (kTraceStepPixels + kTraceStepGrowth * d) * view.metresPerPixel /
           data.projection.ScaleAt(p.lat);
  };
  const Pixel title = TitleCorner(data.titleBlock);
  for (std::size_t i = 0; i < data.lops.size(); ++i) {
    const TracedLop trace =
        TraceLop(*data.catalogue, data.lops[i].lop, start, kTracePointsEachWay, stepAt);
    if (trace.points.size() < 2) continue;
    const std::uint32_t colour = kLopColours[i % std::size(kLopColours)];
    std::vector<Pixel> line;
    line.reserve(trace.points.size());
    for (const loran::GeoPoint& p : trace.points) {
      line.push_back(view.ToPixel(data.projection.Forward(p)));
    }
    // The label near either end of the line's stretch in the view, or
    // further in, clear of the title block.
    std::vector<Pixel> inside;
    for (const Pixel& p : line) {
      const bool underTitle = p.x < title.x + kLabelInset && p.y < title.y + kLabelInset;
      if (p.x >= kLabelInset && p.y >= kLabelInset && p.x <= view.width - kLabelInset &&
          p.y <= view.height - kLabelInset && !underTitle) {
        inside.push_back(p);
      }
    }
    LabelRequest label{Text("lop-label", {}, data.lops[i].label, -1, colour, kFontPx, true),
                       SpotsAlongLine(inside, view.width, kFontPx)};
    if (!inside.empty()) {
      label.hover = "LOP " + data.lops[i].label;
      label.hoverAt = inside[inside.size() / 2];
      labels.push_back(std::move(label));
    }
    Item item = Line("lop", std::move(line), colour, data.lops[i].lop.weight > 0.0 ? 2.0 : 1.2,
                     !(data.lops[i].lop.weight > 0.0));
    item.id = "lop-" + std::to_string(i + 1);
    scene.items.push_back(std::move(item));
  }
}

void AddEllipse(ChartScene& scene, const ChartData& data, const ChartView& view) {
  if (!data.lsqFix || !data.ellipse) return;
  const loran::ErrorEllipse& e = *data.ellipse;
  std::vector<Pixel> ring;
  for (int i = 0; i < kEllipsePoints; ++i) {
    const double t = kTwoPi * i / kEllipsePoints;
    const double along = e.semiMajor * std::cos(t), across = e.semiMinor * std::sin(t);
    const double east = along * std::sin(e.azimuth) + across * std::cos(e.azimuth);
    const double north = along * std::cos(e.azimuth) - across * std::sin(e.azimuth);
    ring.push_back(view.ToPixel(data.projection.Forward(Offset(*data.lsqFix, east, north))));
  }
  Item item;
  item.kind = Item::Kind::Area;
  item.cls = "ellipse";
  item.rings.push_back(std::move(ring));
  item.stroke = kFixColour;
  item.width = 1.5;
  item.filled = true;
  item.fill = 0xF6D5DA;
  scene.items.push_back(std::move(item));
}

void AddStations(ChartScene& scene, const ChartData& data, const ChartView& view,
                 std::vector<LabelRequest>& labels) {
  const loran::GeoPoint middle = data.projection.Reverse(view.centre);
  for (const ChartData::PlotStation& s : data.stations) {
    const Pixel p = view.ToPixel(data.projection.Forward(s.at));
    if (Outside(view, p) == 0.0 && p.x > kArrowInset && p.y > kArrowInset &&
        p.x < view.width - kArrowInset && p.y < view.height - kArrowInset) {
      scene.items.push_back(Marker("station", p, Item::Shape::Triangle, kStationSize,
                                   kStationColour, true, kStationColour));
      LabelRequest label{Text("station", {}, s.name, -1, kStationColour),
                         {{{p.x + 9, p.y + 4}, -1}}};
      AppendSpotsAround(label.spots, p, MarkRadius(kStationSize), kFontPx);
      labels.push_back(std::move(label));
      scene.targets.push_back({p, "Station " + s.name + "  " + CoordText(s.at)});
      continue;
    }
    auto [tip, u] = EdgeToward(view, p, kArrowInset);
    // An arrow whose tip would stand under the title block moves along the
    // edge to just beyond it.
    const Pixel corner = TitleCorner(data.titleBlock);
    if (!data.titleBlock.empty() && tip.x < corner.x + kArrowLength &&
        tip.y < corner.y + kArrowLength) {
      if (std::fabs(u.y) > std::fabs(u.x)) {
        tip.x = corner.x + kArrowLength;
      } else {
        tip.y = corner.y + kArrowLength;
      }
    }
    const Pixel tail{tip.x - u.x * kArrowLength, tip.y - u.y * kArrowLength};
    const Pixel left{tip.x - u.x * 9 - u.y * 5, tip.y - u.y * 9 + u.x * 5};
    const Pixel right{tip.x - u.x * 9 + u.y * 5, tip.y - u.y * 9 - u.x * 5};
    scene.items.push_back(Line("station-arrow", {tail, tip}, kStationColour, 1.5));
    scene.items.push_back(Line("station-arrow", {left, tip, right}, kStationColour, 1.5));
    std::string label = s.name;
    try {
      label +=
          " " + Round(loran::GeoDistAz(middle, s.at).distance / kMetresPerNauticalMile) + " NM";
    } catch (const RuntimeFault&) {
    }
    LabelRequest request{Text("station-arrow", {}, label, -1, kStationColour),
                         SpotsBesideArrow(tail, u, kFontPx)};
    request.target = scene.targets.size();
    request.hover = "Station " + label + "  " + CoordText(s.at);
    labels.push_back(std::move(request));
    scene.targets.push_back({tip, "Station " + s.name + "  " + CoordText(s.at)});
  }
}

// The labels of the fixes drawn, in list order, up to kMaxLabelledFixes.
void AddFixLabels(ChartScene& scene, const ChartData& data, const ChartView& view,
                  const std::vector<std::size_t>& drawnFixes, LabelPlacer& placer) {
  int labelled = 0;
  for (std::size_t i : drawnFixes) {
    if (labelled >= kMaxLabelledFixes) break;
    const LabelledFix& f = data.fixes[i];
    if (f.label.empty()) continue;
    const Pixel p = view.ToPixel(data.projection.Forward(f.position));
    Item text = Text("fix-label", {}, f.label, -1, kInk);
    std::vector<LabelSpot> spots = {{{p.x + 7, p.y - 5}, -1}};
    AppendSpotsAround(spots, p, MarkRadius(kFixSize), kFontPx);
    if (placer.Place(text, spots)) {
      scene.items.push_back(std::move(text));
      ++labelled;
    }
  }
}

void AddPoints(ChartScene& scene, const ChartData& data, const ChartView& view,
               std::vector<LabelRequest>& labels, std::vector<std::size_t>& drawnFixes) {
  auto at = [&](loran::GeoPoint g) { return view.ToPixel(data.projection.Forward(g)); };
  if (data.lsqFix && data.coastDistance && !data.coastDistance->onLand) {
    if (auto seen = InView(view, at(*data.lsqFix), at(data.coastDistance->nearest))) {
      scene.items.push_back(Line("coast-distance", {seen->first, seen->second}, kInk, 1.0, true));
    }
  }
  if (data.estimate) {
    const Pixel p = at(*data.estimate);
    scene.items.push_back(Marker("estimate", p, Item::Shape::Cross, 12, kInk, false, 0));
    scene.targets.push_back({p, "Estimated position  " + CoordText(*data.estimate)});
  }
  for (const ChartData::PairFix& f : data.pairs) {
    const Pixel p = at(f.at);
    scene.items.push_back(
        Marker("pair-fix", p, Item::Shape::Square, kPairSize, kPairColour, true, 0xFFFFFF));
    LabelRequest label{Text("pair-fix", {}, std::to_string(f.k), -1, kPairColour, kFontPx - 1),
                       {{{p.x + 6, p.y + 12}, -1}}};
    AppendSpotsAround(label.spots, p, MarkRadius(kPairSize), kFontPx - 1);
    labels.push_back(std::move(label));
    scene.targets.push_back({p, "Pair fix " + std::to_string(f.k) + "  " + CoordText(f.at)});
  }
  if (data.mean) {
    const Pixel p = at(*data.mean);
    scene.items.push_back(Marker("mean", p, Item::Shape::Diamond, 11, kPairColour, true, 0xFFD54F));
    scene.targets.push_back({p, "Mean of the pair fixes  " + CoordText(*data.mean)});
  }
  DrawnSquares drawn(view.width, view.height, kFixSize);
  for (std::size_t i = 0; i < data.fixes.size(); ++i) {
    const LabelledFix& f = data.fixes[i];
    const Pixel p = at(f.position);
    if (!drawn.Claim(p)) continue;
    drawnFixes.push_back(i);
    scene.items.push_back(
        Marker("fix", p, Item::Shape::Circle, kFixSize, kFixColour, true, kFixColour));
    scene.targets.push_back(
        {p, (f.label.empty() ? "Fix" : f.label) + "  " + CoordText(f.position)});
  }
  if (data.lsqFix) {
    const Pixel p = at(*data.lsqFix);
    scene.items.push_back(Marker("fix", p, Item::Shape::Circle, 9, 0xFFFFFF, true, kFixColour));
    scene.targets.push_back({p, "Least-squares fix  " + CoordText(*data.lsqFix)});
  }
}

std::string GdopText(const loran::PositionSolution& solution) {
  // The geometry at the estimated position, as the calculation window shows it.
  if (!solution.gdopAtEstimate) return "GDOP n/a";
  return "GDOP " + text::Format(*solution.gdopAtEstimate, "#.0");
}

std::string CoastLine(const ChartData& data) {
  if (!data.coast) return "No coastline: " + data.coastProblem;
  if (!data.coastDistance) return "";
  if (data.coastDistance->onLand) return "On land";
  return "Coast " + text::Format(data.coastDistance->metres / kMetresPerNauticalMile, "0.0") +
         " NM";
}

}  // namespace

ScaleBar RoundScaleBar(double groundMetresPerPixel, double maxPixels) {
  const double longest = groundMetresPerPixel * maxPixels;
  const bool miles = longest >= kMetresPerNauticalMile;
  const double unit = miles ? kMetresPerNauticalMile : 1.0;
  const double span = longest / unit;
  double round = std::pow(10.0, std::floor(std::log10(span)));
  for (double m : {5.0, 2.0}) {
    if (round * m <= span) {
      round *= m;
      break;
    }
  }
  std::string label = round >= 1.0 ? Round(round) : text::Format(round, "0.##", '.');
  return ScaleBar{round * unit, round * unit / groundMetresPerPixel,
                  label + (miles ? " NM" : " m")};
}

ChartData SolutionChart(const loran::PositionSolution& solution, const loran::Catalogue& catalogue,
                        std::shared_ptr<const CoastLayer> coast, std::string coastProblem,
                        double sigmaTd, const std::string& date) {
  ChartData d;
  d.catalogue = &catalogue;
  d.coast = std::move(coast);
  d.coastProblem = std::move(coastProblem);
  d.estimate = solution.estimate;
  if (solution.lsq && solution.lsq->converged) d.lsqFix = solution.lsq->fix;
  // Numbered as in the combination table: k counts every pair, converged or not.
  int k = 0;
  for (const loran::PairSolution& p : solution.pairs) {
    ++k;
    if (p.fix.converged) d.pairs.push_back({k, p.fix.fix});
  }
  d.mean = solution.mean;
  d.projection = Mercator(d.lsqFix ? *d.lsqFix : (d.mean ? *d.mean : solution.estimate));

  std::string lopList;
  for (const loran::Lop& lop : solution.lops) {
    const loran::Station& s = catalogue.At(lop.secondary);
    d.lops.push_back({lop, std::to_string(s.gri) + " " + s.designator});
    lopList += (lopList.empty() ? "" : ", ") + d.lops.back().label;
    for (int station : {static_cast<int>(lop.master), static_cast<int>(lop.secondary)}) {
      const loran::Station& st = catalogue.At(station);
      const bool known = std::any_of(d.stations.begin(), d.stations.end(),
                                     [&](const auto& p) { return p.name == st.name; });
      if (!known) d.stations.push_back({st.name, st.position});
    }
  }
  if (d.lsqFix) {
    try {
      const std::vector<loran::TdGradient> g =
          loran::TdGradientsAt(catalogue, solution.lops, *d.lsqFix);
      d.ellipse = loran::FixErrorEllipse(g, sigmaTd, kEllipse95Scale);
    } catch (const RuntimeFault&) {
    }
  }
  if (d.coast) d.coastDistance = NearestCoast(d.coast->Source(), d.projection.Centre());

  d.titleBlock.push_back("Kestrune  Loran-C position solution  " + date);
  d.titleBlock.push_back("LOPs " + lopList);
  d.titleBlock.push_back(d.lsqFix ? "Fix " + CoordText(*d.lsqFix)
                                  : std::string("Least-squares fix did not converge"));
  std::string geometry = GdopText(solution);
  if (d.ellipse) {
    geometry += "   95 % ellipse " + Round(d.ellipse->semiMajor) + " × " +
                Round(d.ellipse->semiMinor) + " m, TD σ " + text::Format(sigmaTd, "0.00") + " µs";
  }
  d.titleBlock.push_back(geometry);
  // A calibration moves every LOP it covers; the chart says by how much.
  std::string offsets;
  for (std::size_t i = 0; i < solution.offsets.size() && i < solution.lops.size(); ++i) {
    if (solution.offsets[i] == 0.0) continue;
    offsets += (offsets.empty() ? "ASF offsets " : ", ") + d.lops[i].label + " " +
               text::Format(solution.offsets[i], "0.000") + " µs";
  }
  if (!offsets.empty()) d.titleBlock.push_back(offsets);
  if (const std::string c = CoastLine(d); !c.empty()) d.titleBlock.push_back(c);
  return d;
}

ChartData FixesChart(std::vector<LabelledFix> fixes, std::shared_ptr<const CoastLayer> coast,
                     std::string coastProblem, const std::string& title, const std::string& date) {
  ChartData d;
  d.coast = std::move(coast);
  d.coastProblem = std::move(coastProblem);
  d.fixes = std::move(fixes);
  // The middle of the fixes' extent, so that no wrap of the longitude splits them.
  if (!d.fixes.empty()) {
    double lat0 = d.fixes.front().position.lat, lat1 = lat0;
    double lon0 = d.fixes.front().position.lon, lon1 = lon0;
    for (const LabelledFix& f : d.fixes) {
      lat0 = std::min(lat0, f.position.lat), lat1 = std::max(lat1, f.position.lat);
      lon0 = std::min(lon0, f.position.lon), lon1 = std::max(lon1, f.position.lon);
    }
    d.projection = Mercator(loran::GeoPoint{(lat0 + lat1) / 2, (lon0 + lon1) / 2});
  }
  d.titleBlock.push_back(title + "  " + date);
  d.titleBlock.push_back(std::to_string(d.fixes.size()) +
                         (d.fixes.size() == 1 ? " fix" : " fixes"));
  if (!d.coast) d.titleBlock.push_back(CoastLine(d));
  return d;
}

ChartView FitFixes(const ChartData& data, double width, double height) {
  std::vector<MapPoint> points;
  auto add = [&](loran::GeoPoint g) { points.push_back(data.projection.Forward(g)); };
  for (auto* p : {&data.estimate, &data.lsqFix, &data.mean}) {
    if (*p) add(**p);
  }
  for (const ChartData::PairFix& f : data.pairs) add(f.at);
  for (const LabelledFix& f : data.fixes) add(f.position);
  if (data.lsqFix && data.ellipse) {
    for (double east : {-1.0, 1.0}) {
      for (double north : {-1.0, 1.0}) {
        add(Offset(*data.lsqFix, east * data.ellipse->semiMajor, north * data.ellipse->semiMajor));
      }
    }
  }
  // The fixes go below the title block.
  const double band = TitleCorner(data.titleBlock).y + 10;
  ChartView view = FitView(points, width, height - band, kFitMargin, kFitMinSpan);
  view.height = height;
  view.centre.y += band / 2 * view.metresPerPixel;
  return view;
}

ChartScene BuildScene(const ChartData& data, const ChartView& view, const TextWidth& width,
                      const AsfLayer* asf) {
  ChartScene scene;
  scene.width = view.width;
  scene.height = view.height;
  scene.background = kSea;
  if (data.coast) {
    Item land;
    land.kind = Item::Kind::Area;
    land.cls = "coast";
    land.rings = data.coast->Rings(data.projection, view);
    land.width = 0.0;
    land.filled = true;
    land.fill = kLand;
    scene.items.push_back(std::move(land));
  }
  std::vector<LabelRequest> asfLabels;
  if (asf != nullptr) AddAsfContours(scene, *asf, view, asfLabels);
  std::vector<LabelRequest> labels;
  std::vector<std::size_t> drawnFixes;
  if (data.catalogue != nullptr) AddLops(scene, data, view, labels);
  AddEllipse(scene, data, view);
  AddPoints(scene, data, view, labels, drawnFixes);
  if (data.catalogue != nullptr) AddStations(scene, data, view, labels);
  AddScaleBar(scene, data, view);
  AddTitleBlock(scene, data.titleBlock);
  // The labels go last, each where it covers nothing drawn before it.
  LabelPlacer placer(scene, width);
  if (asf != nullptr) {
    std::vector<LabelRequest> legend{AsfLegend(*asf, view)};
    PlaceLabels(scene, placer, legend);
  }
  PlaceLabels(scene, placer, labels);
  AddFixLabels(scene, data, view, drawnFixes, placer);
  // The levels of the contours only where the chart's own labels left room.
  if (asf != nullptr) PlaceLabels(scene, placer, asfLabels);
  return scene;
}

const HoverTarget* TargetNear(const ChartScene& scene, Pixel p, double radius) {
  const HoverTarget* best = nullptr;
  double bestDistance = radius;
  for (const HoverTarget& t : scene.targets) {
    const double d = std::hypot(t.at.x - p.x, t.at.y - p.y);
    if (d <= bestDistance) {
      best = &t;
      bestDistance = d;
    }
  }
  return best;
}

std::string PositionText(const ChartData& data, const ChartView& view, Pixel p) {
  return CoordText(data.projection.Reverse(view.ToMap(p)));
}

}  // namespace kestrune::chart
