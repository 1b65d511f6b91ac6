// The chart on paper and on screen: a scene painted with QPainter, written
// as SVG, and exported to PNG, SVG or PDF. Needs Qt Gui (a QGuiApplication
// for the fonts; the offscreen platform will do), not Qt Widgets.
#pragma once

#include <QSize>
#include <memory>
#include <string>
#include <vector>

#include "chart/scene.hpp"

class QPainter;

namespace kestrune::chart {

// The width in pixels of `text` as PaintScene writes it (FontOf the item):
// the measure BuildScene places the labels with. Needs a QGuiApplication.
double FontTextWidth(const std::string& text, double sizePx, bool bold);

// Paints `scene` on a device of scene.width by scene.height pixels.
void PaintScene(QPainter& painter, const ChartScene& scene);

// The scene as an SVG document; every LOP is one <path class="lop"
// id="lop-i">.
std::string SceneSvg(const ChartScene& scene);

// Writes `scene` to `path` as PNG, SVG or PDF by its ending (any letter
// case): a PDF page has the scene's size in points. Returns an empty string,
// or what went wrong as one line for the user.
std::string ExportScene(const ChartScene& scene, const std::string& path);

// The coastline of the program, read once on first use from the file that
// FindCoastlineFile finds beside the running program; null with the reason
// when there is none.
struct LoadedCoast {
  std::shared_ptr<const CoastLayer> layer;
  std::string problem;
};
const LoadedCoast& ProgramCoast();

// Today's date as the title block shows it, "2024-05-17".
std::string TodayText();

// The chart of `fixes` (at least one) over the coastline, framed to them,
// written to `path` (.png, .svg or .pdf) at `size` pixels (each side 16 to
// 16384): what a command-line conversion draws. Returns an empty string or
// the problem.
std::string ExportFixesChart(std::vector<LabelledFix> fixes, const std::string& path, QSize size,
                             const std::string& title = "Kestrune fixes");

}  // namespace kestrune::chart
