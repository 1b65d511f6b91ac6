// The chart's ASF layer, Qt-free: the ASF the coastline model predicts for
// one LOP (loran/asf.hpp), sampled on a square grid of the chart's plane over
// the view, and its contours at a round interval, drawn under the LOPs with
// their levels as labels and a legend that states the interval.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "chart/labels.hpp"
#include "chart/projection.hpp"
#include "chart/scene.hpp"
#include "loran/asf.hpp"
#include "loran/types.hpp"

namespace kestrune::chart {

// The ASF of a LOP at the nodes of a grid over a view: nodes every `cell`
// plane metres, at the plane points (i * cell, j * cell) for columns i0 to
// i0 + columns - 1 and rows j0 to j0 + rows - 1 (j grows northward).
struct AsfGrid {
  double cell = 0.0;  // plane metres between nodes, > 0
  std::int64_t i0 = 0, j0 = 0;
  int columns = 0, rows = 0;
  std::vector<double> values;  // us, by row then column; NaN beyond the model's reach
  double At(int column, int row) const {
    return values[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                  static_cast<std::size_t>(column)];
  }
};

// One contour: a polyline in the view at one level.
struct ContourLine {
  double level = 0.0;  // us
  std::vector<Pixel> points;
};

// The contours of a grid at every multiple of `interval` between its least
// and greatest value (none for a flat field).
struct AsfContours {
  double interval = 0.0;  // us, 1, 2 or 5 times a power of ten; 0 for a flat field
  double low = 0.0;       // us, the least and greatest value at a node; NaN
  double high = 0.0;      // when every node is beyond the model's reach
  std::vector<ContourLine> lines;
};

// A round contour interval (1, 2 or 5 times a power of ten, us) giving at
// most kAsfMaxContourLevels levels between `low` and `high` (us); 0 when
// high - low is not above kAsfFlatField.
double ContourInterval(double low, double high);

// Contours of `grid` drawn in `view`: marching squares on each grid cell
// (a cell with a node beyond the model's reach has none), the crossings
// joined into polylines.
AsfContours ContourGrid(const AsfGrid& grid, const ChartView& view);

// What the layer draws: the contours and the LOP they belong to.
struct AsfLayer {
  std::string lopLabel;  // "9007 X"
  AsfContours contours;
};

// The nodes of one LOP's ASF over views of one projection and scale, kept
// as they are computed: a pan computes only the nodes that come into view,
// and a redraw of the same view none. A new LOP, scale or projection starts
// afresh.
class AsfLayerCache {
 public:
  // The layer of `lop` (labelled `lopLabel`) over `view`, nodes every
  // kAsfContourCellPixels pixels (and a node beyond each edge).
  const AsfLayer& Layer(const loran::CatalogueAsf& asf, const loran::Lop& lop,
                        const std::string& lopLabel, const Mercator& projection,
                        const ChartView& view);
  // The nodes computed so far for the current LOP and scale.
  std::size_t Nodes() const { return nodes_.size(); }

 private:
  AsfGrid GridOver(const loran::CatalogueAsf& asf, const Mercator& projection,
                   const ChartView& view);
  const loran::CatalogueAsf* asf_ = nullptr;
  loran::Lop lop_;
  loran::GeoPoint centre_;
  double metresPerPixel_ = 0.0;
  std::unordered_map<std::int64_t, double> nodes_;  // by packed (i, j)
  ChartView view_;
  bool valid_ = false;
  AsfLayer layer_;
};

// The coastline model of the program over `catalogue` (which outlives it),
// or null with the reason in `problem`.
std::shared_ptr<const loran::CatalogueAsf> ProgramAsf(const loran::Catalogue& catalogue,
                                                      std::string& problem);

// Adds the contour lines of `layer` to `scene` (call before the LOPs, which
// they lie under), and their labels to `labels`: each line of at least
// kAsfLabelMinPixels in the view gets its level, placed along it.
void AddAsfContours(ChartScene& scene, const AsfLayer& layer, const ChartView& view,
                    std::vector<LabelRequest>& labels);
// The legend, "ASF 9007 X (µs), contours every 0.2, dashed below 0", a label
// in a corner of the view.
LabelRequest AsfLegend(const AsfLayer& layer, const ChartView& view);

}  // namespace kestrune::chart
