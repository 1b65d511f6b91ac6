// The chart's ASF layer: the round contour interval, the contours of
// synthetic fields (levels rising toward a peak, none on a flat field or
// across a node beyond the model), the coastline model over a view off
// Sunnmøre (none without land, nodes kept across a pan), and the scene:
// without the layer nothing of it is drawn, with it the contours lie under
// the LOPs, the legend states the interval and no label covers another.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "chart/asf_layer.hpp"
#include "chart/labels.hpp"
#include "chart/scene.hpp"
#include "chart/tests/chart_test_support.hpp"
#include "loran/asf.hpp"
#include "loran/coastline.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;
using namespace kestrune::chart;

using chart_testing::Rad;

TEST(AsfContourInterval, RoundStepsOfAtMostTwelveLevels) {
  struct Case {
    double low, high, interval;
  };
  const Case cases[] = {{0.0, 1.0, 0.1},  {0.0, 0.5, 0.05},      {-0.3, 2.1, 0.2},
                        {-5.0, 1.0, 0.5}, {0.0, 12.0, 1.0},      {0.0, 13.0, 2.0},
                        {0.0, 0.0, 0.0},  {1.0, 1.0 + 1e-9, 0.0}};
  for (const Case& c : cases) {
    EXPECT_NEAR(ContourInterval(c.low, c.high), c.interval, 1e-12) << c.low << " " << c.high;
  }
}

// A grid of 21 by 21 nodes, one pixel a node, with v(column, row).
template <class F>
AsfGrid Synthetic(F v) {
  AsfGrid g;
  g.cell = 1.0;
  g.i0 = -10;
  g.j0 = -10;
  g.columns = g.rows = 21;
  for (int r = 0; r < g.rows; ++r) {
    for (int c = 0; c < g.columns; ++c) g.values.push_back(v(c - 10, r - 10));
  }
  return g;
}

const ChartView kUnitView{{0.0, 0.0}, 1.0, 20.0, 20.0};

// A cone rising toward its middle, as the ASF rises toward a coast: each
// contour is closed around the peak, and the higher its level the nearer it lies.
TEST(AsfContours, LevelsRiseTowardThePeak) {
  const AsfContours c =
      ContourGrid(Synthetic([](int x, int y) { return 1.0 - std::hypot(x, y) / 10; }), kUnitView);
  EXPECT_NEAR(c.interval, 0.2, 1e-12);
  ASSERT_FALSE(c.lines.empty());
  std::map<double, double> radius;  // level -> mean distance from the peak, pixels
  for (const ContourLine& line : c.lines) {
    double sum = 0.0;
    for (const Pixel& p : line.points) sum += std::hypot(p.x - 10.0, p.y - 10.0);
    radius[line.level] = sum / static_cast<double>(line.points.size());
    if (line.level > 0.05) {
      EXPECT_NEAR(line.points.front().x, line.points.back().x, 1e-9) << "closed " << line.level;
      EXPECT_NEAR(line.points.front().y, line.points.back().y, 1e-9);
    }
  }
  double previous = std::numeric_limits<double>::infinity();
  for (const auto& [level, r] : radius) {
    EXPECT_LT(r, previous) << level;
    EXPECT_NEAR(r, (1.0 - level) * 10.0, 0.3) << level;
    previous = r;
  }
}

TEST(AsfContours, NoneOnAFlatFieldOrAcrossANodeBeyondTheModel) {
  const AsfContours flat = ContourGrid(Synthetic([](int, int) { return 0.0; }), kUnitView);
  EXPECT_EQ(flat.interval, 0.0);
  EXPECT_TRUE(flat.lines.empty());

  const double nan = std::numeric_limits<double>::quiet_NaN();
  // A ramp in x whose node at the middle is beyond the model: no line
  // comes within a cell of it.
  const AsfContours ramp = ContourGrid(
      Synthetic([&](int x, int y) { return x == 0 && y == 0 ? nan : 0.1 * x; }), kUnitView);
  ASSERT_FALSE(ramp.lines.empty());
  for (const ContourLine& line : ramp.lines) {
    for (const Pixel& p : line.points) {
      EXPECT_FALSE(std::fabs(p.x - 10.0) < 1.0 && std::fabs(p.y - 10.0) < 1.0)
          << line.level << " at " << p.x << "," << p.y;
    }
  }
  const AsfContours none = ContourGrid(Synthetic([&](int, int) { return nan; }), kUnitView);
  EXPECT_TRUE(none.lines.empty());
  EXPECT_TRUE(std::isnan(none.low));
}

class AsfLayerTest : public ::testing::Test {
 protected:
  static std::shared_ptr<const loran::CatalogueAsf> Model(bool land) {
    std::shared_ptr<const loran::LandMask> mask;
    if (land) {
      const loran::CoastlineRead coast = loran::ReadCoastline(loran::FindCoastlineFile(""));
      if (!coast.coast) return nullptr;
      mask = std::make_shared<const loran::LandMask>(*coast.coast);
    }
    return std::make_shared<const loran::CatalogueAsf>(
        std::make_shared<const loran::AsfModel>(mask, loran::AsfModelSettings{}),
        loran::NelsCatalogue());
  }
  // Off Sunnmøre, 90 km by 60 km: skerries, fjords and open sea.
  const Mercator projection_{loran::GeoPoint{Rad(62.3), Rad(5.4)}};
  const ChartView view_{{0.0, 0.0}, 100.0, 900.0, 600.0};
  const loran::Lop lop_{0, 2, 0.0, 1.0};  // 9007 M - X
};

TEST_F(AsfLayerTest, AllSeaGivesNoContour) {
  AsfLayerCache cache;
  const AsfLayer& layer = cache.Layer(*Model(false), lop_, "9007 X", projection_, view_);
  EXPECT_TRUE(layer.contours.lines.empty());
  EXPECT_EQ(layer.contours.interval, 0.0);
  EXPECT_LE(std::fabs(layer.contours.high), 1e-9);
  EXPECT_LE(std::fabs(layer.contours.low), 1e-9);
}

TEST_F(AsfLayerTest, CoastlineContoursKeptAcrossAPan) {
  const auto model = Model(true);
  ASSERT_TRUE(model);
  AsfLayerCache cache;
  const AsfLayer& layer = cache.Layer(*model, lop_, "9007 X", projection_, view_);
  ASSERT_FALSE(layer.contours.lines.empty());
  EXPECT_GT(layer.contours.high - layer.contours.low, 0.1);
  for (const ContourLine& line : layer.contours.lines) {
    const double k = line.level / layer.contours.interval;
    EXPECT_NEAR(k, std::round(k), 1e-9);
    EXPECT_GE(line.level, layer.contours.low);
    EXPECT_LE(line.level, layer.contours.high);
  }
  // 61 by 41 nodes; a pan of 150 pixels (10 columns) adds 10 columns.
  EXPECT_EQ(cache.Nodes(), 61u * 41u);
  cache.Layer(*model, lop_, "9007 X", projection_, view_.Panned(-150.0, 0.0));
  EXPECT_EQ(cache.Nodes(), 71u * 41u);
  // The same view again is the same layer.
  const std::size_t lines =
      cache.Layer(*model, lop_, "9007 X", projection_, view_).contours.lines.size();
  EXPECT_EQ(lines, cache.Layer(*model, lop_, "9007 X", projection_, view_).contours.lines.size());
  EXPECT_EQ(cache.Nodes(), 71u * 41u);
}

// At coarse scales the layer takes the model's paths directly; they agree
// with the grid the fixes read to the grid's own interpolation error.
TEST_F(AsfLayerTest, ExactPathsAgreeWithTheGrid) {
  const auto model = Model(true);
  ASSERT_TRUE(model);
  for (const auto& [lat, lon] : {std::pair{62.3, 5.4}, {62.05, 5.05}, {64.0, 4.0}, {61.0, 2.0}}) {
    const loran::GeoPoint at{Rad(lat), Rad(lon)};
    EXPECT_NEAR(model->ExactLopAsf(lop_, at), model->LopAsf(lop_, at), 0.05) << lat << " " << lon;
  }
}

TEST_F(AsfLayerTest, SceneWithTheLayer) {
  const auto model = Model(true);
  ASSERT_TRUE(model);
  const loran::GeoPoint truth{Rad(62.3), Rad(5.4)};
  const loran::PositionSolution solution =
      chart_testing::Solve({{0, 1}, {0, 2}, {0, 3}}, truth, truth);
  const ChartData data =
      SolutionChart(solution, loran::NelsCatalogue(), nullptr, "none", 0.1, "2026-01-01");
  const ChartView view = FitFixes(data, 900.0, 600.0);
  const ChartScene plain = BuildScene(data, view);
  for (const Item& item : plain.items) EXPECT_EQ(item.cls.rfind("asf", 0), std::string::npos);

  AsfLayerCache cache;
  const ChartView wide{view.centre, 100.0, 900.0, 600.0};
  const AsfLayer& layer = cache.Layer(*model, lop_, "9007 X", data.projection, wide);
  const ChartScene scene = BuildScene(data, wide, EstimatedTextWidth, &layer);
  std::size_t firstLop = scene.items.size(), lastContour = 0, levels = 0;
  const Item* legend = nullptr;
  for (std::size_t k = 0; k < scene.items.size(); ++k) {
    const Item& item = scene.items[k];
    if (item.cls == "lop") firstLop = std::min(firstLop, k);
    if (item.cls == "asf") lastContour = k;
    if (item.cls == "asf-label") ++levels;
    if (item.cls == "asf-legend") legend = &item;
  }
  EXPECT_LT(lastContour, firstLop);
  EXPECT_GT(levels, 0u);
  ASSERT_NE(legend, nullptr);
  EXPECT_EQ(legend->text.rfind("ASF 9007 X (\u00b5s): contours every ", 0), 0u) << legend->text;
  std::vector<Box> boxes;
  for (const Item& item : scene.items) {
    if (item.kind != Item::Kind::Text || item.cls == "title") continue;
    boxes.push_back(LabelBox(item, EstimatedTextWidth(item.text, item.size, item.bold)));
  }
  for (std::size_t a = 0; a < boxes.size(); ++a) {
    for (std::size_t b = a + 1; b < boxes.size(); ++b) {
      EXPECT_FALSE(boxes[a].Overlaps(boxes[b])) << a << " " << b;
    }
  }
}

}  // namespace
