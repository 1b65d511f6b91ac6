// Timings of the chart with 6 LOPs (observed at 61°N 2°E, solved from
// 60°30'N 1°E) in a 900 x 600 view: the LOPs traced for one view at several
// zoom levels (the scene without land, which the traces dominate), the
// whole scene with land and its labels placed with the painter's font (one
// redraw of the window is BuildScene and PaintScene), its painting into an
// offscreen QImage, the redraw with the ASF layer (its contours kept for the
// view, drawn again after a pan, and its first drawing at a new scale), the
// coastline file read and prepared, the chart window opened, and the scene of a list of 100 000
// fixes (points thinned, labels placed) as kestrune-chart builds it. Before the benchmarks it
// times, once, the first opening of the chart window in a fresh process, coastline file read
// included, as a press of Chart does.
//   QT_QPA_PLATFORM=offscreen build/bench/kestrune_chart_bench
//       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/chart_window.hpp"
#include "chart/asf_layer.hpp"
#include "chart/labels.hpp"
#include "chart/render.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;

double Rad(double degrees) {
  return degrees * constants::kPi / 180.0;
}

constexpr std::pair<std::int16_t, std::int16_t> kPairs[] = {{0, 1}, {0, 2}, {0, 3},
                                                            {0, 4}, {8, 9}, {8, 10}};

// The calculation window after CALC Pos Solutions with the six LOPs.
struct Solved {
  SetupState setup;
  std::unique_ptr<Frm_PosTDCalc> window;
  Solved() {
    const loran::Catalogue& cat = loran::NelsCatalogue();
    setup.NoOfLops = 6;
    for (int i = 1; i <= 6; ++i) {
      setup.LopTable(i).MasterIndex = kPairs[i - 1].first;
      setup.LopTable(i).SecondaryIndex = kPairs[i - 1].second;
      setup.LopTable(i).Weight = 1.0f;
      setup.LopTable(i).ObservedTd =
          loran::PredictPair(cat, {Rad(61), Rad(2)}, kPairs[i - 1].first, kPairs[i - 1].second).td;
    }
    setup.EstLat = Rad(60.5);
    setup.EstLon = Rad(1);
    window = std::make_unique<Frm_PosTDCalc>(setup, cat);
    window->Form_Load();
    window->LoranCalc(2);
  }
};

Solved& Solution() {
  static Solved solved;
  return solved;
}

chart::ChartData Data(bool withLand) {
  const chart::LoadedCoast& coast = chart::ProgramCoast();
  return chart::SolutionChart(*Solution().window->LastSolution(), loran::NelsCatalogue(),
                              withLand ? coast.layer : nullptr, coast.problem,
                              constants::kDefaultTdSigma, "2024-05-17");
}

// The fitted view zoomed by 1.25^zoom about the fix: -16 shows the whole
// region, 0 the fixes, 40 a few metres.
chart::ChartView ViewAt(const chart::ChartData& data, int zoom) {
  const chart::ChartView fitted = chart::FitFixes(data, 900, 600);
  return fitted.Zoomed(std::pow(1.25, zoom), fitted.ToPixel(data.projection.Forward(*data.lsqFix)));
}

void BM_TraceLops(benchmark::State& state) {
  const chart::ChartData data = Data(false);
  const chart::ChartView view = ViewAt(data, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(chart::BuildScene(data, view));
}
BENCHMARK(BM_TraceLops)->Arg(-16)->Arg(0)->Arg(16)->Arg(40)->Unit(benchmark::kMillisecond);

void BM_BuildScene(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartView view = ViewAt(data, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(chart::BuildScene(data, view, chart::FontTextWidth));
  }
}
BENCHMARK(BM_BuildScene)->Arg(-16)->Arg(0)->Arg(16)->Arg(40)->Unit(benchmark::kMillisecond);

// Label placement alone: a placer over the whole 6-LOP scene (every mark,
// the title block, the scale bar and the labels in the way), then the
// labels of 20 marks along the view's diagonal, each with its eight places.
void BM_PlaceLabels(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartScene scene =
      chart::BuildScene(data, ViewAt(data, static_cast<int>(state.range(0))), chart::FontTextWidth);
  chart::Item text;
  text.kind = chart::Item::Kind::Text;
  text.text = "Jan Mayen 505 NM";
  text.size = 12;
  for (auto _ : state) {
    chart::LabelPlacer placer(scene, chart::FontTextWidth);
    for (int i = 0; i < 20; ++i) {
      const chart::Pixel mark{45.0 * i, 30.0 * i};
      chart::Item label = text;
      benchmark::DoNotOptimize(placer.Place(label, chart::SpotsAround(mark, 4.75, 12)));
    }
  }
}
BENCHMARK(BM_PlaceLabels)->Arg(-16)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_PaintScene(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartScene scene =
      chart::BuildScene(data, ViewAt(data, static_cast<int>(state.range(0))));
  QImage image(900, 600, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&image);
    chart::PaintScene(painter, scene);
  }
}
BENCHMARK(BM_PaintScene)->Arg(-16)->Arg(0)->Arg(16)->Arg(40)->Unit(benchmark::kMillisecond);

// A logbook's track of 100 000 fixes over some 60 km, framed in 1200 x 900.
void BM_FixesScene(benchmark::State& state) {
  std::vector<chart::LabelledFix> fixes;
  constexpr int kFixes = 100000;
  for (int i = 0; i < kFixes; ++i) {
    const double t = static_cast<double>(i) / kFixes;
    fixes.push_back(
        {{Rad(63.5 + 0.3 * std::sin(40 * t) * t), Rad(8.5 + 0.5 * std::cos(37 * t) * t)},
         "Haul " + std::to_string(i + 1)});
  }
  const chart::ChartData data =
      chart::FixesChart(std::move(fixes), nullptr, "", "Kestrune fixes", "2024-05-17");
  const chart::ChartView view = chart::FitFixes(data, 1200, 900);
  for (auto _ : state) {
    benchmark::DoNotOptimize(chart::BuildScene(data, view, chart::FontTextWidth));
  }
}
BENCHMARK(BM_FixesScene)->Unit(benchmark::kMillisecond);

void BM_ReadCoastline(benchmark::State& state) {
  const std::string path =
      chart::FindCoastlineFile(QCoreApplication::applicationDirPath().toStdString());
  for (auto _ : state) {
    chart::CoastlineRead read = chart::ReadCoastline(path);
    benchmark::DoNotOptimize(chart::CoastLayer(std::move(*read.coast)));
  }
}
BENCHMARK(BM_ReadCoastline)->Unit(benchmark::kMillisecond);

// The ASF layer of LOP 9007 M-X. The coastline model, its curves tabulated once.
const std::shared_ptr<const loran::AsfModel>& AsfModel() {
  static const std::shared_ptr<const loran::AsfModel> model = [] {
    const loran::CoastlineRead coast = loran::ReadCoastline(loran::FindCoastlineFile(""));
    return std::make_shared<const loran::AsfModel>(
        std::make_shared<const loran::LandMask>(*coast.coast), loran::AsfModelSettings{});
  }();
  return model;
}

// One redraw of the window with the ASF layer on, its nodes and contours
// kept for the view: the layer, the scene and its painting at 900 x 600.
void BM_AsfRedraw(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartView view = ViewAt(data, static_cast<int>(state.range(0)));
  const loran::CatalogueAsf asf(AsfModel(), loran::NelsCatalogue());
  chart::AsfLayerCache cache;
  const loran::Lop lop = data.lops[1].lop;
  cache.Layer(asf, lop, data.lops[1].label, data.projection, view);
  QImage image(900, 600, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    const chart::AsfLayer& layer = cache.Layer(asf, lop, data.lops[1].label, data.projection, view);
    const chart::ChartScene scene = chart::BuildScene(data, view, chart::FontTextWidth, &layer);
    QPainter painter(&image);
    chart::PaintScene(painter, scene);
  }
}
BENCHMARK(BM_AsfRedraw)->Arg(-16)->Arg(-8)->Arg(0)->Unit(benchmark::kMillisecond);

// A pan of one pixel back and forth with the layer on: the contours drawn
// again from the kept nodes (one new column of nodes at most), then the
// scene and its painting.
void BM_AsfPanRedraw(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartView view = ViewAt(data, static_cast<int>(state.range(0)));
  const chart::ChartView panned = view.Panned(1.0, 0.0);
  const loran::CatalogueAsf asf(AsfModel(), loran::NelsCatalogue());
  chart::AsfLayerCache cache;
  const loran::Lop lop = data.lops[1].lop;
  cache.Layer(asf, lop, data.lops[1].label, data.projection, view);
  cache.Layer(asf, lop, data.lops[1].label, data.projection, panned);
  QImage image(900, 600, QImage::Format_ARGB32_Premultiplied);
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    const chart::ChartView& v = flip ? panned : view;
    const chart::AsfLayer& layer = cache.Layer(asf, lop, data.lops[1].label, data.projection, v);
    const chart::ChartScene scene = chart::BuildScene(data, v, chart::FontTextWidth, &layer);
    QPainter painter(&image);
    chart::PaintScene(painter, scene);
  }
}
BENCHMARK(BM_AsfPanRedraw)->Arg(-16)->Arg(-8)->Arg(0)->Unit(benchmark::kMillisecond);

// The first drawing of the layer at a new scale: every node computed, the
// station fields' own nodes too (a fresh CatalogueAsf each time).
void BM_AsfFirstLayer(benchmark::State& state) {
  const chart::ChartData data = Data(true);
  const chart::ChartView view = ViewAt(data, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const loran::CatalogueAsf asf(AsfModel(), loran::NelsCatalogue());
    chart::AsfLayerCache cache;
    benchmark::DoNotOptimize(
        cache.Layer(asf, data.lops[1].lop, data.lops[1].label, data.projection, view));
  }
}
BENCHMARK(BM_AsfFirstLayer)
    ->Arg(-16)
    ->Arg(-8)
    ->Arg(0)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Created, shown and painted once, as after a press of Chart.
void OpenChart() {
  app::ChartWindow window(*Solution().window, loran::NelsCatalogue());
  window.show();
  benchmark::DoNotOptimize(window.grab());
}

void BM_OpenChartWindow(benchmark::State& state) {
  for (auto _ : state) OpenChart();
}
BENCHMARK(BM_OpenChartWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetDecimalSeparator('.');
  Solution();
  const auto start = std::chrono::steady_clock::now();
  OpenChart();
  const std::chrono::duration<double, std::milli> first = std::chrono::steady_clock::now() - start;
  std::printf("first chart window, coastline file read included: %.1f ms\n", first.count());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
