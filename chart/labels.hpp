// Placing a chart's labels: each label takes the first of its places whose
// box lies inside the view and clear of every mark, of the title block and
// scale bar, and of the labels placed before it; a label with no such place
// is left out, and the hover of its mark says it instead. Qt-free: the width
// of a text comes from the caller (the painter's font, or an estimate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "chart/projection.hpp"
#include "chart/scene.hpp"

namespace kestrune::chart {

// An axis-aligned box in pixels, x to the right and y down (x0 <= x1, y0 <= y1).
struct Box {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  // True when the two boxes share more than their edges.
  bool Overlaps(const Box& other) const {
    return x0 < other.x1 && other.x0 < x1 && y0 < other.y1 && other.y0 < y1;
  }
};

// The box a Text item covers with its halo, for a text `width` pixels wide:
// from the face's ascent above the baseline to its descent below.
Box LabelBox(const Item& text, double width);

// The boxes a scene's item keeps free of labels: a marker's square, the
// title block, the scale bar, the station arrows (along their length) and
// a text's box; none for land, LOPs, the ellipse and the coast distance,
// which a label may cross on its halo.
std::vector<Box> ObstacleBoxes(const Item& item, const TextWidth& width);

// Where a label may stand: its Text anchor (on the baseline) and alignment
// (-1 left, 0 centred, 1 right), as Item has them.
struct LabelSpot {
  Pixel at;
  int align = -1;
};

// The places around a round or square mark of `radius` pixels at `mark` for
// a label of font size `sizePx`: beside it above and below on the right,
// then on the left, then right, left, above and below.
std::vector<LabelSpot> SpotsAround(Pixel mark, double radius, double sizePx);

// The places of a LOP's label along `inside`, the points of its line in the
// view (pixels, in order along the line), for a label of font size
// `sizePx`: near either end first, then further in, each above the line
// then below it, reading toward the middle of a view `viewWidth` wide.
std::vector<LabelSpot> SpotsAlongLine(const std::vector<Pixel>& inside, double viewWidth,
                                      double sizePx);

// The places of the label of an arrow toward a station beyond the view,
// whose tail is at `tail` and which points along the unit vector `u`:
// beyond the tail, at the top or bottom edge reading the way the arrow
// leans (so that the labels of two arrows there part as the arrows do), at
// a side reading toward the middle of the view; then the other ways,
// further back along the arrow, and beside it.
std::vector<LabelSpot> SpotsBesideArrow(Pixel tail, Pixel u, double sizePx);

// The squares of kFixThinningPixels of a view that hold a point drawn, for
// a list of fixes: a point in a square already taken, or out of sight, is
// not drawn again, so that the points drawn are bounded by the view's size
// and not by the number of fixes.
class DrawnSquares {
 public:
  // width, height: the view, pixels (>= 0); pointSize: a point's size
  // across, pixels (> 0), which may stand that far beyond the view's edges.
  DrawnSquares(double width, double height, double pointSize);
  // True, and the square taken, when a point at `p` is to be drawn.
  bool Claim(Pixel p);

 private:
  double reach_;
  std::size_t columns_;
  std::size_t rows_;
  std::vector<bool> taken_;
};

// The labels of one view, placed one after the other.
class LabelPlacer {
 public:
  // Everything in `scene` so far is in the way (ObstacleBoxes); labels stay
  // inside its width and height. `width` measures the texts.
  LabelPlacer(const ChartScene& scene, TextWidth width);

  // Puts `text` at the first of `spots` where its box is clear: sets its
  // anchor and alignment, keeps its box in the way of later labels and
  // returns true; false, with `text` unchanged, when no spot is clear.
  bool Place(Item& text, const std::vector<LabelSpot>& spots);
  int Placed() const { return placed_; }

 private:
  // The grid cells `box` touches, within the grid; false when it lies
  // wholly outside the view or a coordinate is not a number.
  bool Cells(const Box& box, int& c0, int& c1, int& r0, int& r1) const;
  std::vector<std::uint32_t>& Cell(int row, int column) {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column)];
  }
  bool Clear(const Box& box) const;
  void Keep(const Box& box);

  TextWidth width_;
  double view_width_;
  double view_height_;
  int columns_ = 0;
  int rows_ = 0;
  std::vector<Box> boxes_;
  std::vector<std::vector<std::uint32_t>> cells_;  // indices into boxes_, by grid cell
  int placed_ = 0;
};

// A label of the scene's own marks, placed after them: the Text item, its
// places in order of preference, and what the hover says when it is left
// out (the text of scene target `target`, or a new target at `hoverAt`
// when `target` names none).
struct LabelRequest {
  explicit LabelRequest(Item label, std::vector<LabelSpot> places = {})
      : text(std::move(label)), spots(std::move(places)) {}
  Item text;
  std::vector<LabelSpot> spots;
  std::size_t target = static_cast<std::size_t>(-1);
  std::string hover;  // empty: the hover stays as it is
  Pixel hoverAt;
};

// Places `labels` in their order with `placer`, appending each placed label
// to `scene`'s items, and passing each one left out to its hover. Returns
// the number left out.
int PlaceLabels(ChartScene& scene, LabelPlacer& placer, std::vector<LabelRequest>& labels);

}  // namespace kestrune::chart
