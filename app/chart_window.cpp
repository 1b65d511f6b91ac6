#include "app/chart_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

#include "app/form_view.hpp"
#include "chart/render.hpp"
#include "util/constants.hpp"

namespace kestrune::app {

namespace {

constexpr double kZoomStep = 1.25;  // one wheel notch or one key press
constexpr double kHoverRadius = 8.0;
constexpr int kStartWidth = 900;
constexpr int kStartHeight = 640;
// The smallest canvas: the toolbar, the canvas and the status line fit a
// screen of 400 by 300 logical pixels (800 by 600 at twice the size).
constexpr int kMinCanvasWidth = 160;
constexpr int kMinCanvasHeight = 120;
constexpr int kButtonPadding = 16;  // pixels beside a toolbar button's text

}  // namespace

class ChartCanvas : public QWidget {
 public:
  explicit ChartCanvas(ChartWindow& window) : QWidget(&window), window_(window) {
    setObjectName("chartCanvas");
    setMouseTracking(true);
    setMinimumSize(kMinCanvasWidth, kMinCanvasHeight);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (!window_.data_) {
      p.fillRect(rect(), palette().window());
      p.drawText(rect(), Qt::AlignCenter, "No position solution yet: CALC Pos Solutions draws it.");
      return;
    }
    chart::PaintScene(p, window_.scene_);
  }
  void resizeEvent(QResizeEvent*) override {
    window_.view_.width = width();
    window_.view_.height = height();
    if (window_.fitted_) {
      window_.Fit();
    } else {
      window_.SetView(window_.view_);
    }
  }
  void wheelEvent(QWheelEvent* e) override {
    const double notches = e->angleDelta().y() / 120.0;
    const QPointF at = e->position();
    window_.SetView(window_.view_.Zoomed(std::pow(kZoomStep, notches), {at.x(), at.y()}));
    e->accept();
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) drag_ = e->position();
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (drag_ && (e->buttons() & Qt::LeftButton)) {
      const QPointF d = e->position() - *drag_;
      drag_ = e->position();
      window_.SetView(window_.view_.Panned(d.x(), d.y()));
    }
    window_.Hover(e->position());
  }
  void mouseReleaseEvent(QMouseEvent*) override { drag_.reset(); }

 private:
  ChartWindow& window_;
  std::optional<QPointF> drag_;
};

ChartWindow::ChartWindow(Frm_PosTDCalc& model, const loran::Catalogue& catalogue)
    : model_(model), catalogue_(catalogue) {
  setObjectName("ChartWindow");
  setWindowTitle("Kestrune chart");
  auto* fit = new QPushButton("Fit", this);
  fit->setObjectName("chartFit");
  auto* zoomIn = new QPushButton("+", this);
  zoomIn->setObjectName("chartZoomIn");
  auto* zoomOut = new QPushButton("-", this);
  zoomOut->setObjectName("chartZoomOut");
  auto* exportButton = new QPushButton("Export...", this);
  exportButton->setObjectName("chartExport");
  sigma_ = new QDoubleSpinBox(this);
  sigma_->setObjectName("chartSigma");
  sigma_->setRange(0.01, 10.0);
  sigma_->setDecimals(2);
  sigma_->setSingleStep(0.01);
  sigma_->setValue(constants::kDefaultTdSigma);
  sigma_->setToolTip("Standard deviation of an observed TD, for the 95 % error ellipse");
  asfBox_ = new QCheckBox("ASF", this);
  asfBox_->setObjectName("chartAsf");
  asfBox_->setToolTip("Contours of the ASF the coastline model predicts for the chosen LOP");
  asfLop_ = new QComboBox(this);
  asfLop_->setObjectName("chartAsfLop");
  asfLop_->setToolTip("The LOP whose ASF the contours show");
  asfLop_->setEnabled(false);
  auto* sigmaLabel = new QLabel("TD σ (µs)", this);
  sigmaLabel->setBuddy(sigma_);
  status_ = new QLabel(this);
  status_->setObjectName("chartStatus");
  status_->setTextFormat(Qt::PlainText);
  canvas_ = new ChartCanvas(*this);

  auto* tools = new QHBoxLayout;
  for (QPushButton* w : {fit, zoomIn, zoomOut, exportButton}) {
    w->setFocusPolicy(Qt::TabFocus);
    // As narrow as the text: the toolbar then fits a small screen.
    w->setMinimumWidth(w->fontMetrics().horizontalAdvance(w->text()) + kButtonPadding);
    w->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    tools->addWidget(w);
  }
  tools->addStretch();
  tools->addWidget(sigmaLabel);
  tools->addWidget(sigma_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(tools);
  layout->addWidget(canvas_, 1);
  // The ASF layer's controls share the status line's row, so that the
  // toolbar still fits a small screen.
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(asfBox_);
  bottom->addWidget(asfLop_);
  layout->addLayout(bottom);

  connect(fit, &QPushButton::clicked, this, [this] { Fit(); });
  connect(zoomIn, &QPushButton::clicked, this, [this] { Zoom(kZoomStep); });
  connect(zoomOut, &QPushButton::clicked, this, [this] { Zoom(1 / kZoomStep); });
  connect(exportButton, &QPushButton::clicked, this, [this] { ExportDialog(); });
  connect(sigma_, &QDoubleSpinBox::valueChanged, this, [this] { Follow(); });
  connect(asfBox_, &QCheckBox::toggled, this,
          [this](bool on) { ShowAsf(on, asfLop_->currentIndex()); });
  connect(asfLop_, &QComboBox::activated, this,
          [this](int lop) { ShowAsf(asfBox_->isChecked(), lop); });
  subscription_ = model_.SubscribeCalculated([this] { Follow(); });

  // The window opens within the screen, whatever its size and scale, and
  // the layout keeps the toolbar and the status line in it; the canvas
  // takes what is left, and the fixes are framed in it when it is resized.
  resize(QSize(kStartWidth, kStartHeight).boundedTo(LargestWindowSize(screen())));
  view_.width = kStartWidth;
  view_.height = kStartHeight;
  Follow();
}

ChartWindow::~ChartWindow() {
  model_.UnsubscribeCalculated(subscription_);
}

QWidget* ChartWindow::Canvas() const {
  return canvas_;
}

void ChartWindow::Follow() {
  const std::optional<PositionSolution>& solution = model_.LastSolution();
  if (!solution) {
    data_.reset();
    canvas_->update();
    return;
  }
  const chart::LoadedCoast& coast = chart::ProgramCoast();
  chart::ChartData data = chart::SolutionChart(*solution, catalogue_, coast.layer, coast.problem,
                                               sigma_->value(), chart::TodayText());
  // A solution that moved the fix is framed anew; one that kept it (a TD
  // estimate, another sigma) keeps the user's view.
  const bool moved = !data_ || !(data_->projection.Centre() == data.projection.Centre());
  data_ = std::move(data);
  OfferAsfLops();
  if (moved) {
    Fit();
  } else {
    SetView(view_);
  }
}

void ChartWindow::Fit() {
  if (!data_) return;
  SetView(chart::FitFixes(*data_, view_.width, view_.height));
  fitted_ = true;
}

void ChartWindow::Zoom(double factor) {
  SetView(view_.Zoomed(factor, {view_.width / 2, view_.height / 2}));
}

void ChartWindow::SetView(const chart::ChartView& view) {
  fitted_ = false;
  view_ = view;
  if (data_) {
    scene_ = chart::BuildScene(*data_, view_, chart::FontTextWidth, AsfLayerOf(view_, asfCache_));
  }
  canvas_->update();
}

void ChartWindow::OfferAsfLops() {
  const int chosen = std::max(0, asfLop_->currentIndex());
  QSignalBlocker quiet(asfLop_);
  asfLop_->clear();
  for (const chart::ChartData::PlotLop& l : data_->lops) {
    asfLop_->addItem(QString::fromStdString(l.label));
  }
  asfLop_->setCurrentIndex(std::min(chosen, asfLop_->count() - 1));
  asfLop_->setEnabled(asfBox_->isChecked() && asfLop_->count() > 0);
}

void ChartWindow::ShowAsf(bool on, int lop) {
  if (on && !asf_) {
    std::string problem;
    asf_ = chart::ProgramAsf(catalogue_, problem);
    if (!asf_) {
      status_->setText(QString::fromStdString("No ASF layer: " + problem));
      on = false;
    }
  }
  {
    QSignalBlocker quiet(asfBox_);
    asfBox_->setChecked(on);
  }
  if (lop >= 0 && lop < asfLop_->count()) asfLop_->setCurrentIndex(lop);
  asfLop_->setEnabled(on && asfLop_->count() > 0);
  SetView(view_);
}

bool ChartWindow::AsfShown() const {
  return asfBox_->isChecked();
}

const chart::AsfLayer* ChartWindow::AsfLayerOf(const chart::ChartView& view,
                                               chart::AsfLayerCache& cache) const {
  const int lop = asfLop_->currentIndex();
  if (!asfBox_->isChecked() || !asf_ || !data_ || lop < 0 ||
      lop >= static_cast<int>(data_->lops.size())) {
    return nullptr;
  }
  const chart::ChartData::PlotLop& plot = data_->lops[static_cast<std::size_t>(lop)];
  return &cache.Layer(*asf_, plot.lop, plot.label, data_->projection, view);
}

void ChartWindow::Hover(QPointF at) {
  if (!data_) return;
  const chart::Pixel p{at.x(), at.y()};
  const chart::HoverTarget* target = chart::TargetNear(scene_, p, kHoverRadius);
  const QString text = QString::fromStdString(
      target != nullptr ? target->text : chart::PositionText(*data_, view_, p));
  status_->setText(text);
  if (target != nullptr) {
    QToolTip::showText(canvas_->mapToGlobal(at.toPoint()), text, canvas_);
  } else {
    QToolTip::hideText();
  }
}

std::string ChartWindow::ExportTo(const std::string& path, QSize size) const {
  if (!data_) return "no position solution to chart";
  const chart::ChartView view = view_.Resized(size.width(), size.height());
  // The picture's own nodes: the window's stay for its view.
  chart::AsfLayerCache cache;
  return chart::ExportScene(
      chart::BuildScene(*data_, view, chart::FontTextWidth, AsfLayerOf(view, cache)), path);
}

void ChartWindow::ExportDialog() {
  if (!data_) return;
  QDialog ask(this);
  ask.setWindowTitle("Export chart");
  auto* width = new QSpinBox(&ask);
  auto* height = new QSpinBox(&ask);
  for (QSpinBox* s : {width, height}) s->setRange(16, 16384);
  width->setValue(static_cast<int>(view_.width));
  height->setValue(static_cast<int>(view_.height));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
  connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  auto* form = new QFormLayout(&ask);
  form->addRow("Width (pixels)", width);
  form->addRow("Height (pixels)", height);
  form->addRow(buttons);
  if (ask.exec() != QDialog::Accepted) return;
  const QString path = QFileDialog::getSaveFileName(this, "Export chart", "chart.png",
                                                    "PNG (*.png);;SVG (*.svg);;PDF (*.pdf)");
  if (path.isEmpty()) return;
  const std::string problem = ExportTo(path.toStdString(), QSize(width->value(), height->value()));
  status_->setText(problem.empty() ? "Written: " + path : QString::fromStdString(problem));
}

void ChartWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      Zoom(kZoomStep);
      break;
    case Qt::Key_Minus:
      Zoom(1 / kZoomStep);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace kestrune::app
