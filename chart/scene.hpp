// What a chart shows, Qt-free: the data of one position solution (or of a
// list of fixes) in the chart's projection, and the scene of one view of it
// in pixels, which a painter, an SVG writer and the hover of the window all
// read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/coastline.hpp"
#include "chart/lop_geometry.hpp"
#include "chart/projection.hpp"
#include "loran/accuracy.hpp"
#include "loran/catalogue.hpp"
#include "loran/solution.hpp"

namespace kestrune::chart {

// A position with the text it is labelled with (a logbook entry, a time).
struct LabelledFix {
  loran::GeoPoint position;  // radians
  std::string label;         // UTF-8; may be empty
};

// A scale bar of a round length.
struct ScaleBar {
  double metres = 0.0;  // on the ground
  double pixels = 0.0;
  std::string label;  // "500 m", "2 NM"
};
// groundMetresPerPixel > 0; the bar is at most maxPixels (> 0) long, in
// nautical miles from one nautical mile up, in metres below (1, 2 or 5
// times a power of ten either way).
ScaleBar RoundScaleBar(double groundMetresPerPixel, double maxPixels);

// Everything one chart shows, in the projection it was made for.
struct ChartData {
  Mercator projection;
  const loran::Catalogue* catalogue = nullptr;  // the LOPs' stations; null for a list of fixes
  std::shared_ptr<const CoastLayer> coast;      // null: no coastline
  std::string coastProblem;                     // why there is none

  std::vector<std::string> titleBlock;  // lines, UTF-8
  std::optional<loran::GeoPoint> estimate;
  struct PlotLop {
    loran::Lop lop;
    std::string label;  // chain and secondary, "9007 X"
  };
  std::vector<PlotLop> lops;
  std::optional<loran::GeoPoint> lsqFix;
  std::optional<loran::ErrorEllipse> ellipse;  // around lsqFix
  struct PairFix {
    int k = 0;  // combination number, 1-based
    loran::GeoPoint at;
  };
  std::vector<PairFix> pairs;  // converged only
  std::optional<loran::GeoPoint> mean;
  std::vector<LabelledFix> fixes;
  struct PlotStation {
    std::string name;
    loran::GeoPoint at;
  };
  std::vector<PlotStation> stations;
  std::optional<CoastDistance> coastDistance;  // from the main fix
};

// The chart of the last position solution: the least-squares fix with the
// ellipse for TD standard deviation `sigmaTd` (microseconds, > 0), each
// converged pair fix and the mean. `date` heads the title block.
ChartData SolutionChart(const loran::PositionSolution& solution, const loran::Catalogue& catalogue,
                        std::shared_ptr<const CoastLayer> coast, std::string coastProblem,
                        double sigmaTd, const std::string& date);
// The chart of a list of fixes, such as a converted logbook.
ChartData FixesChart(std::vector<LabelledFix> fixes, std::shared_ptr<const CoastLayer> coast,
                     std::string coastProblem, const std::string& title, const std::string& date);

// The view of `width` by `height` pixels that frames the fixes of `data`
// (and the estimate), at least two kilometres across.
ChartView FitFixes(const ChartData& data, double width, double height);

struct AsfLayer;  // chart/asf_layer.hpp

// One thing drawn, in paint order; colours are 0xRRGGBB.
struct Item {
  enum class Kind { Area, Line, Marker, Text };
  enum class Shape { Circle, Square, Diamond, Triangle, Cross };
  Kind kind = Kind::Line;
  std::string cls;  // what it shows: "coast", "lop", "ellipse", "fix", ... (the SVG class)
  std::string id;   // "lop-1" ...; may be empty
  std::vector<std::vector<Pixel>> rings;  // Area: filled, even-odd; Line: one polyline
  Pixel at;                               // Marker centre; Text anchor (baseline)
  Shape shape = Shape::Circle;
  double size = 0.0;  // Marker: pixels across; Text: pixel size of the font
  std::string text;   // UTF-8
  int align = 0;      // Text: -1 left (anchor at its start), 0 centred, 1 right
  bool bold = false;
  std::uint32_t stroke = 0x000000;
  double width = 1.0;  // stroke width, pixels; 0 for none
  bool dashed = false;
  bool filled = false;
  std::uint32_t fill = 0xFFFFFF;
};

// A point the pointer can rest on, and what it then says.
struct HoverTarget {
  Pixel at;
  std::string text;  // what it is and its position in coordinate text
};

struct ChartScene {
  double width = 0.0;  // pixels
  double height = 0.0;
  std::uint32_t background = 0xFFFFFF;
  std::vector<Item> items;
  std::vector<HoverTarget> targets;
};

// The advance width in pixels of UTF-8 `text` in the chart's face at
// `sizePx` pixels (> 0), bold or not.
using TextWidth = std::function<double(const std::string& text, double sizePx, bool bold)>;
// An estimate from the count of characters, for want of a font (the
// painter's own measure is FontTextWidth in chart/render.hpp).
double EstimatedTextWidth(const std::string& text, double sizePx, bool bold);

// The scene of `view`: land, LOPs traced across the view, ellipse, fixes,
// stations (a line toward each one outside the view), scale bar, title
// block. The traces are made for this view, so their steps stay a few
// pixels long at every scale. Labels, measured with `width`, stand where
// they cover no other label, mark, title block or scale bar (chart/labels.hpp);
// one left out is said by the hover of its mark. Of a list of fixes, a fix
// within kFixThinningPixels of a point already drawn is not drawn again,
// and at most kMaxLabelledFixes are labelled, the first in the list that
// have room. With `asf`, its contours lie over the land and under the LOPs,
// its legend is placed first and the contours' levels last.
ChartScene BuildScene(const ChartData& data, const ChartView& view,
                      const TextWidth& width = EstimatedTextWidth, const AsfLayer* asf = nullptr);

// The target within `radius` pixels of `p` nearest to it, or null.
const HoverTarget* TargetNear(const ChartScene& scene, Pixel p, double radius);
// The position under `p` in coordinate text ("64°00'00.000"N  004°00'00.000"E").
std::string PositionText(const ChartData& data, const ChartView& view, Pixel p);

}  // namespace kestrune::chart
