// The chart window: the last position solution of the calculation window
// drawn over the coastline, following every calculation. The wheel, + and
// - zoom, a drag pans, Fit frames the fixes, the pointer on a point shows
// its position, Export writes PNG, SVG or PDF. Everything it shows comes
// from chart/; the window only holds the view and passes the user's moves.
#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "chart/asf_layer.hpp"
#include "chart/scene.hpp"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace kestrune::app {

class ChartCanvas;

class ChartWindow : public QWidget {
 public:
  // model, catalogue: the calculation window and its stations; both outlive
  // the chart window.
  ChartWindow(Frm_PosTDCalc& model, const loran::Catalogue& catalogue);
  ~ChartWindow() override;

  // The view shown, the data and the scene it was drawn from (for tests
  // and the screenshot).
  const chart::ChartView& View() const { return view_; }
  const std::optional<chart::ChartData>& Data() const { return data_; }
  const chart::ChartScene& Scene() const { return scene_; }
  QWidget* Canvas() const;

  // Frames the fixes of the last solution.
  void Fit();
  // factor > 1 enlarges about the middle of the chart.
  void Zoom(double factor);
  // The ASF layer: on or off (off at the start), and the LOP whose ASF it
  // contours, by its place in the solution (0 first). Without a coastline
  // the layer stays off and the status line says why.
  void ShowAsf(bool on, int lop = 0);
  bool AsfShown() const;

  // Writes the chart at `size` pixels to `path` (.png, .svg, .pdf); returns
  // an empty string or the problem.
  std::string ExportTo(const std::string& path, QSize size) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  friend class ChartCanvas;
  // The model calculated: the data again, framed anew when the fix moved.
  void Follow();
  void SetView(const chart::ChartView& view);
  void Hover(QPointF at);
  void ExportDialog();
  // The ASF layer of `view`, null when it is off; cache: where its nodes are kept.
  const chart::AsfLayer* AsfLayerOf(const chart::ChartView& view,
                                    chart::AsfLayerCache& cache) const;
  // The LOP choice offers the LOPs of the data, keeping the one chosen.
  void OfferAsfLops();

  Frm_PosTDCalc& model_;
  const loran::Catalogue& catalogue_;
  int subscription_ = 0;
  std::optional<chart::ChartData> data_;
  chart::ChartView view_;
  chart::ChartScene scene_;
  bool fitted_ = false;  // the view frames the fixes: a new size frames them again
  ChartCanvas* canvas_ = nullptr;
  QDoubleSpinBox* sigma_ = nullptr;
  QLabel* status_ = nullptr;
  QCheckBox* asfBox_ = nullptr;
  QComboBox* asfLop_ = nullptr;
  std::shared_ptr<const loran::CatalogueAsf> asf_;  // read at the first use of the layer
  chart::AsfLayerCache asfCache_;
};

}  // namespace kestrune::app
