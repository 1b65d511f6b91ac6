// Label placement on a grid of the boxes in the way.
//
// Notation:
//   a, d     the face's ascent above and descent below the baseline, pixels
//   r        radius of a mark, pixels
//   g        gap between a mark and its label, pixels
//   cell     side of a grid cell, pixels; a box is listed in every cell it touches
#include "chart/labels.hpp"

#include <algorithm>
#include <cmath>

#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

// Liberation Sans (the chart's face): ascent and descent in ems (0.905 and
// 0.212 in the face, rounded up here as a painter rounds glyphs to pixels),
// the ink a glyph may put beyond its advance at either end, and an average
// advance a little above that of its digits and lower-case letters, wider
// in bold.
constexpr double kAscent = 0.95;
constexpr double kDescent = 0.27;
constexpr double kOverhang = 0.1;
constexpr double kAverageAdvance = 0.6;
constexpr double kBoldAverageAdvance = 0.66;
constexpr double kHalo = 1.0;        // the white outline a label is drawn on, pixels
constexpr double kMarkGap = 2.0;     // g
constexpr double kCell = 32.0;       // cell
constexpr double kArrowHalf = 3.0;   // half the width of an arrow's boxes
constexpr double kArrowStep = 5.0;   // boxes along an arrow this far apart
constexpr double kLineOffset = 6.0;  // a LOP's label stands this far off its line
constexpr int kLineStride = 6;       // line points between two places of a LOP's label
constexpr std::size_t kLineSpots = 80;
constexpr double kArrowStepBack = 12.0;  // between two places further back along an arrow
constexpr double kArrowSide = 14.0;      // a place beside an arrow stands this far off it

Box Around(Pixel p, double half) {
  return Box{p.x - half, p.y - half, p.x + half, p.y + half};
}

Box Bounds(const std::vector<Pixel>& points) {
  Box b{points.front().x, points.front().y, points.front().x, points.front().y};
  for (const Pixel& p : points) {
    b.x0 = std::min(b.x0, p.x), b.x1 = std::max(b.x1, p.x);
    b.y0 = std::min(b.y0, p.y), b.y1 = std::max(b.y1, p.y);
  }
  return b;
}

// Small boxes along a polyline, so that a slanting arrow does not claim the
// whole box around it.
void AlongLine(const std::vector<Pixel>& line, std::vector<Box>& out) {
  for (std::size_t i = 1; i < line.size(); ++i) {
    const Pixel a = line[i - 1], b = line[i];
    const int steps =
        std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / kArrowStep)));
    for (int k = 0; k <= steps; ++k) {
      const double t = static_cast<double>(k) / steps;
      out.push_back(Around({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}, kArrowHalf));
    }
  }
}

}  // namespace

double EstimatedTextWidth(const std::string& text, double sizePx, bool bold) {
  // Characters, not bytes: a UTF-8 continuation byte starts no character.
  const auto characters =
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  return static_cast<double>(characters) * sizePx * (bold ? kBoldAverageAdvance : kAverageAdvance);
}

Box LabelBox(const Item& text, double width) {
  const double x0 = text.align < 0 ? text.at.x : text.at.x - (text.align == 0 ? width / 2 : width);
  const double ink = kOverhang * text.size + kHalo;
  return Box{x0 - ink, text.at.y - kAscent * text.size - kHalo, x0 + width + ink,
             text.at.y + kDescent * text.size + kHalo};
}

std::vector<Box> ObstacleBoxes(const Item& item, const TextWidth& width) {
  std::vector<Box> out;
  switch (item.kind) {
    case Item::Kind::Marker:
      out.push_back(Around(item.at, item.size / 2 + item.width / 2));
      break;
    case Item::Kind::Text:
      out.push_back(LabelBox(item, width(item.text, item.size, item.bold)));
      break;
    case Item::Kind::Area:
      if (item.cls == "title-block" && !item.rings.empty() && !item.rings.front().empty()) {
        out.push_back(Bounds(item.rings.front()));
      }
      break;
    case Item::Kind::Line:
      if (item.rings.empty() || item.rings.front().empty()) break;
      if (item.cls == "scale-bar") {
        Box b = Bounds(item.rings.front());
        b.x0 -= item.width, b.y0 -= item.width, b.x1 += item.width, b.y1 += item.width;
        out.push_back(b);
      } else if (item.cls == "station-arrow") {
        AlongLine(item.rings.front(), out);
      }
      break;
  }
  return out;
}

std::vector<LabelSpot> SpotsAround(Pixel mark, double radius, double sizePx) {
  const double a = kAscent * sizePx, d = kDescent * sizePx;
  // Diagonal places stand off the corner of the mark's square.
  const double side = radius + kMarkGap + kHalo;
  const double corner = radius * std::sqrt(0.5) + kMarkGap + kHalo;
  const double above = mark.y - corner - d - kHalo;
  const double below = mark.y + corner + a + kHalo;
  const double middle = mark.y + (a - d) / 2;
  return {{{mark.x + corner, above}, -1},
          {{mark.x + corner, below}, -1},
          {{mark.x - corner, above}, 1},
          {{mark.x - corner, below}, 1},
          {{mark.x + side, middle}, -1},
          {{mark.x - side, middle}, 1},
          {{mark.x, mark.y - side - d - kHalo}, 0},
          {{mark.x, mark.y + side + a + kHalo}, 0}};
}

std::vector<LabelSpot> SpotsAlongLine(const std::vector<Pixel>& inside, double viewWidth,
                                      double sizePx) {
  std::vector<LabelSpot> spots;
  for (std::size_t k = 0; k < (inside.size() + 1) / 2 && spots.size() < kLineSpots;
       k += kLineStride) {
    for (const Pixel& p : {inside[k], inside[inside.size() - 1 - k]}) {
      // Reading toward the middle of the view keeps the label in it.
      const int align = p.x > viewWidth / 2 ? 1 : -1;
      const double x = p.x - align * kLineOffset;
      spots.push_back({{x, p.y - kLineOffset}, align});
      spots.push_back({{x, p.y + kLineOffset + sizePx}, align});
    }
  }
  return spots;
}

std::vector<LabelSpot> SpotsBesideArrow(Pixel tail, Pixel u, double sizePx) {
  const int lean = u.x < 0 ? 1 : -1;
  const int inward = u.x > 0.3 ? 1 : (u.x < -0.3 ? -1 : 0);
  const bool topOrBottom = std::fabs(u.y) > std::fabs(u.x);
  const int align = topOrBottom ? lean : inward;
  const int aligns[] = {align, topOrBottom ? 0 : -align, topOrBottom ? -lean : 0};
  // Below the tail of an arrow pointing up, above that of one pointing
  // down, clear of the tail either way; level with it at a side.
  const double level = sizePx / 3;
  const double drop = !topOrBottom
                          ? level
                          : (u.y < 0 ? kAscent * sizePx + 2 * kHalo : -(kDescent * sizePx + kHalo));
  std::vector<LabelSpot> spots;
  for (int k = 0; k < 5; ++k) {
    const double back = kArrowHalf + 1 + kArrowStepBack * k;
    for (int a : aligns) spots.push_back({{tail.x - u.x * back, tail.y - u.y * back + drop}, a});
  }
  for (int k = 0; k < 3; ++k) {
    const double back = kArrowHalf + 1 + kArrowStepBack * k;
    for (double side : {-kArrowSide, kArrowSide}) {
      spots.push_back(
          {{tail.x - u.x * back - u.y * side, tail.y - u.y * back + u.x * side + level}, align});
    }
  }
  return spots;
}

DrawnSquares::DrawnSquares(double width, double height, double pointSize)
    : reach_(pointSize),
      columns_(static_cast<std::size_t>(
          std::ceil((std::max(width, 0.0) + 2 * pointSize) / constants::kFixThinningPixels))),
      rows_(static_cast<std::size_t>(
          std::ceil((std::max(height, 0.0) + 2 * pointSize) / constants::kFixThinningPixels))) {}

bool DrawnSquares::Claim(Pixel p) {
  // Squares from the grid's corner, a point's size beyond the view's.
  const double x = (p.x + reach_) / constants::kFixThinningPixels;
  const double y = (p.y + reach_) / constants::kFixThinningPixels;
  if (!(x >= 0.0 && y >= 0.0 && x < static_cast<double>(columns_) &&
        y < static_cast<double>(rows_))) {
    return false;
  }
  if (taken_.empty()) taken_.assign(columns_ * rows_, false);
  const std::size_t k = static_cast<std::size_t>(y) * columns_ + static_cast<std::size_t>(x);
  if (taken_[k]) return false;
  taken_[k] = true;
  return true;
}

LabelPlacer::LabelPlacer(const ChartScene& scene, TextWidth width)
    : width_(std::move(width)), view_width_(scene.width), view_height_(scene.height) {
  columns_ = std::max(1, static_cast<int>(std::ceil(view_width_ / kCell)));
  rows_ = std::max(1, static_cast<int>(std::ceil(view_height_ / kCell)));
  cells_.resize(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_));
  for (const Item& item : scene.items) {
    for (const Box& b : ObstacleBoxes(item, width_)) Keep(b);
  }
}

bool LabelPlacer::Cells(const Box& box, int& c0, int& c1, int& r0, int& r1) const {
  // Written so that a coordinate that is not a number fails every test.
  if (!(box.x1 >= 0 && box.y1 >= 0 && box.x0 <= view_width_ && box.y0 <= view_height_)) {
    return false;
  }
  auto cell = [](double v, int count) {
    return static_cast<int>(std::clamp(std::floor(v / kCell), 0.0, count - 1.0));
  };
  c0 = cell(box.x0, columns_), c1 = cell(box.x1, columns_);
  r0 = cell(box.y0, rows_), r1 = cell(box.y1, rows_);
  return true;
}

void LabelPlacer::Keep(const Box& box) {
  int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
  if (!Cells(box, c0, c1, r0, r1)) return;  // wholly outside the view: in nobody's way
  const auto index = static_cast<std::uint32_t>(boxes_.size());
  boxes_.push_back(box);
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) Cell(r, c).push_back(index);
  }
}

bool LabelPlacer::Clear(const Box& box) const {
  int c0 = 0, c1 = 0, r0 = 0, r1 = 0;
  if (!(box.x0 >= 0 && box.y0 >= 0 && box.x1 <= view_width_ && box.y1 <= view_height_) ||
      !Cells(box, c0, c1, r0, r1)) {
    return false;
  }
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) {
      for (std::uint32_t i : cells_[static_cast<std::size_t>(r) * columns_ + c]) {
        if (boxes_[i].Overlaps(box)) return false;
      }
    }
  }
  return true;
}

bool LabelPlacer::Place(Item& text, const std::vector<LabelSpot>& spots) {
  if (spots.empty()) return false;
  const double w = width_(text.text, text.size, text.bold);
  Item trial;  // only where it stands and its size count for its box
  trial.size = text.size;
  for (const LabelSpot& spot : spots) {
    trial.at = spot.at;
    trial.align = spot.align;
    const Box box = LabelBox(trial, w);
    if (!Clear(box)) continue;
    text.at = spot.at;
    text.align = spot.align;
    Keep(box);
    ++placed_;
    return true;
  }
  return false;
}

int PlaceLabels(ChartScene& scene, LabelPlacer& placer, std::vector<LabelRequest>& labels) {
  int leftOut = 0;
  for (LabelRequest& r : labels) {
    if (placer.Place(r.text, r.spots)) {
      scene.items.push_back(std::move(r.text));
      continue;
    }
    ++leftOut;
    if (r.hover.empty()) continue;
    if (r.target < scene.targets.size()) {
      scene.targets[r.target].text = r.hover;
    } else {
      scene.targets.push_back({r.hoverAt, r.hover});
    }
  }
  return leftOut;
}

}  // namespace kestrune::chart
