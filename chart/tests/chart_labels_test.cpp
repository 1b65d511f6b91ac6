// The chart's labels as they are painted: for the worked three-LOP solution
// and a six-LOP one, at the window's sizes at 1x and 2x and zoomed out to
// the stations, no label covers another, a mark, the title block or the
// scale bar, and each one left out is said by a hover. A chart of many fixes
// labels at most kMaxLabelledFixes of them, draws a bounded number of
// points and keeps its PDF small.
#include <gtest/gtest.h>

#include <QFile>
#include <QFontMetricsF>
#include <QRectF>
#include <QTemporaryDir>
#include <cmath>
#include <map>
#include <string>

#include "chart/labels.hpp"
#include "chart/render.hpp"
#include "chart/tests/chart_test_support.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;
using namespace kestrune::chart;

using chart_testing::Rad;
using chart_testing::Solve;

// What the painter covers with a text: its glyphs' box at the anchor, with
// the halo, measured here with the painter's font rather than the placer's.
QRectF Painted(const Item& t) {
  QFont f("Liberation Sans");
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
  f.setBold(t.bold);
  const QFontMetricsF fm(f);
  const QString text = QString::fromStdString(t.text);
  const double w = fm.horizontalAdvance(text);
  const double x = t.align < 0 ? t.at.x : (t.align == 0 ? t.at.x - w / 2 : t.at.x - w);
  return fm.boundingRect(text).translated(x, t.at.y).adjusted(-1, -1, 1, 1);
}

QRectF MarkBox(const Item& m) {
  const double r = m.size / 2 + m.width / 2;
  return QRectF(m.at.x - r, m.at.y - r, 2 * r, 2 * r);
}

// Overlap by more than a hair (a box's edge may touch another's).
bool Covers(const QRectF& a, const QRectF& b) {
  const QRectF c = a.intersected(b);
  return c.width() > 0.01 && c.height() > 0.01;
}

// The problems of `scene`'s labels, one line each.
std::vector<std::string> LabelProblems(const ChartScene& scene) {
  std::vector<std::string> out;
  std::vector<std::pair<QRectF, std::string>> labels, marks;
  for (const Item& item : scene.items) {
    if (item.kind == Item::Kind::Text && item.cls != "title" && item.cls != "scale-bar") {
      labels.emplace_back(Painted(item), item.cls + " '" + item.text + "'");
    } else if (item.kind == Item::Kind::Marker) {
      marks.emplace_back(MarkBox(item), item.cls + " mark");
    } else if (item.kind == Item::Kind::Area && item.cls == "title-block") {
      const auto& ring = item.rings.front();
      marks.emplace_back(QRectF(QPointF(ring[0].x, ring[0].y), QPointF(ring[2].x, ring[2].y)),
                         "title block");
    } else if (item.kind == Item::Kind::Text) {
      marks.emplace_back(Painted(item), item.cls + " '" + item.text + "'");
    }
  }
  const QRectF view(0, 0, scene.width, scene.height);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (!view.contains(labels[i].first)) out.push_back(labels[i].second + " leaves the view");
    for (std::size_t j = i + 1; j < labels.size(); ++j) {
      if (Covers(labels[i].first, labels[j].first)) {
        out.push_back(labels[i].second + " covers " + labels[j].second);
      }
    }
    for (const auto& [box, what] : marks) {
      if (Covers(labels[i].first, box)) {
        const QRectF c = labels[i].first.intersected(box);
        out.push_back(labels[i].second + " covers " + what + " by " + std::to_string(c.width()) +
                      "x" + std::to_string(c.height()));
      }
    }
  }
  return out;
}

// Every LOP's label and every far station's distance is on the chart or in
// a hover.
void ExpectNothingLost(const ChartData& data, const ChartScene& scene, const std::string& where) {
  auto shown = [&](const std::string& text) {
    for (const Item& item : scene.items) {
      if (item.kind == Item::Kind::Text && item.text.find(text) != std::string::npos) return true;
    }
    for (const HoverTarget& t : scene.targets) {
      if (t.text.find(text) != std::string::npos) return true;
    }
    return false;
  };
  for (const ChartData::PlotLop& lop : data.lops) EXPECT_TRUE(shown(lop.label)) << where;
  for (const ChartData::PlotStation& s : data.stations) EXPECT_TRUE(shown(s.name)) << where;
  for (const ChartData::PairFix& f : data.pairs) {
    EXPECT_TRUE(shown("Pair fix " + std::to_string(f.k))) << where;
  }
}

using ChartLabels = chart_testing::PaintingTest;

struct LabelCase {
  const char* name;
  std::vector<std::pair<std::int16_t, std::int16_t>> pairs;
  double truthLat, truthLon, startLat, startLon;  // degrees
};

TEST_F(ChartLabels, NoLabelCoversAnotherOrAMarkAtEitherScale) {
  const LabelCase cases[] = {
      {"worked 3 LOPs", {{0, 1}, {0, 2}, {0, 3}}, 64, 4, 63.5, 3},
      {"6 LOPs", {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {8, 9}, {8, 10}}, 61, 2, 60.5, 1},
      {"7499 and 6731", {{8, 9}, {8, 10}, {11, 12}, {11, 13}}, 47, -4, 46.5, -3}};
  const LoadedCoast& coast = ProgramCoast();
  // The chart window's canvas at 1x, and as small as 2x makes it on a
  // screen of 1280 by 1024 pixels and on a smaller one.
  const std::pair<double, double> sizes[] = {{892, 596}, {632, 440}, {384, 212}};
  for (const LabelCase& c : cases) {
    const ChartData data = SolutionChart(
        Solve(c.pairs, {Rad(c.truthLat), Rad(c.truthLon)}, {Rad(c.startLat), Rad(c.startLon)}),
        loran::NelsCatalogue(), coast.layer, coast.problem, 0.1, "2024-05-17");
    for (auto [w, h] : sizes) {
      for (int zoom : {0, -9, -16}) {
        const ChartView fitted = FitFixes(data, w, h);
        const ChartView view = fitted.Zoomed(std::pow(1.25, zoom), {w / 2, h / 2});
        const ChartScene scene = BuildScene(data, view, FontTextWidth);
        const std::string where = std::string(c.name) + " " + std::to_string(int(w)) + "x" +
                                  std::to_string(int(h)) + " zoom " + std::to_string(zoom);
        for (const std::string& problem : LabelProblems(scene))
          ADD_FAILURE() << where << ": " << problem;
        ExpectNothingLost(data, scene, where);
      }
    }
  }
}

// The placer's own rules on a small scene: a label takes its first clear
// place, a mark or a label placed before moves it on, and with no clear
// place it is left out and its hover says it.
TEST_F(ChartLabels, PlacerTakesTheFirstClearPlaceOrLeavesTheLabelOut) {
  ChartScene scene;
  scene.width = 200;
  scene.height = 100;
  Item mark;
  mark.kind = Item::Kind::Marker;
  mark.at = {100, 50};
  mark.size = 8;
  mark.width = 1;
  scene.items.push_back(mark);
  scene.targets.push_back({mark.at, "Fix"});
  const auto width = [](const std::string& text, double, bool) { return 10.0 * text.size(); };
  LabelPlacer placer(scene, width);
  const std::vector<LabelSpot> spots = SpotsAround(mark.at, 4.5, 12);
  Item a;
  a.kind = Item::Kind::Text;
  a.text = "AAAA";
  a.size = 12;
  ASSERT_TRUE(placer.Place(a, spots));
  EXPECT_EQ(a.at.x, spots[0].at.x);
  EXPECT_EQ(a.at.y, spots[0].at.y);
  Item b = a;
  ASSERT_TRUE(placer.Place(b, spots));
  EXPECT_EQ(b.at.y, spots[1].at.y);  // below on the right: above is taken
  EXPECT_FALSE(LabelBox(a, 40).Overlaps(LabelBox(b, 40)));
  EXPECT_FALSE(LabelBox(b, 40).Overlaps(Box{95.5, 45.5, 104.5, 54.5}));
  // Out of the view every way: left out, and said by the hover.
  std::vector<LabelRequest> requests;
  requests.emplace_back(a, std::vector<LabelSpot>{{{190, 50}, -1}, {{100, 5}, 0}});
  requests.back().target = 0;
  requests.back().hover = "Fix AAAA";
  EXPECT_EQ(PlaceLabels(scene, placer, requests), 1);
  EXPECT_EQ(scene.targets[0].text, "Fix AAAA");
  EXPECT_EQ(placer.Placed(), 2);
}

// Marks and places that are not numbers, or far beyond any view (a fix at a
// pole), are nobody's obstacle and nobody's place.
TEST_F(ChartLabels, PointsThatAreNotNumbersAreLeftAlone) {
  const double nan = std::nan(""), huge = 1e300;
  ChartScene scene;
  scene.width = 300;
  scene.height = 200;
  for (Pixel p : {Pixel{nan, 10}, Pixel{10, nan}, Pixel{huge, -huge}, Pixel{-huge, 50}}) {
    Item mark;
    mark.kind = Item::Kind::Marker;
    mark.at = p;
    mark.size = 8;
    scene.items.push_back(mark);
  }
  LabelPlacer placer(scene, EstimatedTextWidth);
  Item text;
  text.kind = Item::Kind::Text;
  text.text = "12:30";
  text.size = 12;
  EXPECT_FALSE(placer.Place(text, {{{nan, 50}, -1}, {{huge, 50}, 1}, {{20, nan}, 0}}));
  EXPECT_TRUE(placer.Place(text, {{{nan, 50}, -1}, {{100, 100}, -1}}));
  EXPECT_EQ(text.at.x, 100);
  DrawnSquares drawn(300, 200, 8);
  EXPECT_FALSE(drawn.Claim({nan, 5}));
  EXPECT_FALSE(drawn.Claim({huge, 5}));
  EXPECT_FALSE(drawn.Claim({-huge, 5}));
  EXPECT_TRUE(drawn.Claim({-7, 207}));  // a point partly in view is drawn
  EXPECT_FALSE(drawn.Claim({-6.5, 206.5}));
  EXPECT_TRUE(drawn.Claim({-4, 207}));
}

// A long list of fixes along a track: at most kMaxLabelledFixes labels, none
// over another or a point; the points drawn are bounded by the view, and
// every fix in view is within a square's diagonal of one drawn.
TEST_F(ChartLabels, ManyFixesKeepFewLabelsAndBoundedPoints) {
  std::vector<LabelledFix> fixes;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double t = i / double(n);
    fixes.push_back(
        {{Rad(63.5 + 0.3 * std::sin(40 * t) * t), Rad(8.5 + 0.5 * std::cos(37 * t) * t)},
         "Haul " + std::to_string(i + 1)});
  }
  const ChartData data = FixesChart(fixes, nullptr, "no coast", "Kestrune fixes", "2024-05-17");
  const ChartView view = FitFixes(data, 1200, 900);
  const ChartScene scene = BuildScene(data, view, FontTextWidth);
  int labels = 0, points = 0;
  std::map<std::pair<int, int>, std::vector<Pixel>> drawn;
  for (const Item& item : scene.items) {
    if (item.cls == "fix-label") ++labels;
    if (item.kind == Item::Kind::Marker && item.cls == "fix") {
      ++points;
      drawn[{int(std::floor(item.at.x / 4)), int(std::floor(item.at.y / 4))}].push_back(item.at);
    }
  }
  EXPECT_GT(labels, 50);
  EXPECT_LE(labels, constants::kMaxLabelledFixes);
  const double squares =
      (1200 / constants::kFixThinningPixels + 16) * (900 / constants::kFixThinningPixels + 16);
  EXPECT_LE(points, squares);
  EXPECT_LT(points, n / 2);
  EXPECT_TRUE(LabelProblems(scene).empty()) << LabelProblems(scene).front();
  const double reach = constants::kFixThinningPixels * std::sqrt(2.0) + 1e-9;
  int far = 0;
  for (const LabelledFix& f : fixes) {
    const Pixel p = view.ToPixel(data.projection.Forward(f.position));
    bool near = false;
    for (int dx = -1; dx <= 1 && !near; ++dx) {
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        auto it = drawn.find({int(std::floor(p.x / 4)) + dx, int(std::floor(p.y / 4)) + dy});
        if (it == drawn.end()) continue;
        for (const Pixel& q : it->second) near = near || std::hypot(p.x - q.x, p.y - q.y) <= reach;
      }
    }
    if (!near) ++far;
  }
  EXPECT_EQ(far, 0);

  QTemporaryDir dir;
  const QString pdf = dir.path() + "/track.pdf";
  EXPECT_EQ(ExportFixesChart(fixes, pdf.toStdString(), {1200, 900}), "");
  EXPECT_LT(QFile(pdf).size(), 4 * 1024 * 1024);
}

// A fix beyond the latitude where Mercator ends is named, not a crash (it
// ended the program with an uncaught overflow).
TEST_F(ChartLabels, FixBeyondTheProjectionIsNamed) {
  QTemporaryDir dir;
  const std::string path = (dir.path() + "/pole.svg").toStdString();
  const std::vector<LabelledFix> fixes = {{{Rad(63.5), Rad(8.5)}, "a"}, {{Rad(90), 0.0}, "pole"}};
  EXPECT_EQ(ExportFixesChart(fixes, path, {300, 200}),
            "fix 2 lies at latitude 90, beyond the 85 degrees north or south where the chart's "
            "Mercator projection ends");
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
  EXPECT_EQ(ExportFixesChart({{{Rad(-85), 0.0}, "south"}}, path, {300, 200}), "");
}

}  // namespace
