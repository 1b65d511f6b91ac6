// The chart window through the real program: the Chart button's place, Ctrl+K,
// the pointer on the fix, zoom, pan, fit, and following a new calculation.
// With KESTRUNE_SCREENSHOT_DIR set, `screenshot` saves chart.png there.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWheelEvent>
#include <QtTest>
#include <memory>

#include "app/application.hpp"
#include "app/qt_message_box.hpp"
#include "app/tests/gui_test_support.hpp"
#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "platform/locale.hpp"

using kestrune::app::Application;

class ChartTest : public QObject {
  Q_OBJECT

 private:
  kestrune::app::QtMessageBoxService boxes_;
  std::unique_ptr<Application> app_;

  kestrune::Frm_PosTDCalc& Calc() { return *app_->GetSession().CalcWindow(); }
  // The pointer moved over `w` (QTest's move does not reach an offscreen window).
  static void Move(QWidget* w, QPointF to, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }
  void Press(kestrune::CommandButton& button) {
    QTest::mouseClick(app_->View(Calc())->WidgetOf(button), Qt::LeftButton);
  }

  // LOPs 9007 W, X and Y; the TDs of 64°N 4°E, solved from 63°30'N 3°E.
  void WorkedSolution() {
    kestrune::SetMessageBoxService(&boxes_);
    kestrune::SetDecimalSeparator('.');
    app_ = std::make_unique<Application>();
    app_->Start();
    kestrune::app::testing::AcceptWorkedLops(*app_->GetSession().SetupDialog());
    kestrune::app::testing::SolveWorkedExample(Calc());
  }

 private slots:
  void chartButtonTakesFreeSpaceAfterEveryOtherControl() {
    WorkedSolution();
    const kestrune::Frm_PosTDCalc& w = Calc();
    QCOMPARE(w.Controls().back(), static_cast<const kestrune::Control*>(&w.cmdChart));
    const auto& r = w.cmdChart.Rect();
    QCOMPARE(w.cmdChart.Caption(), std::string("Chart"));
    QVERIFY(r.left >= 0 && r.top >= 0 && r.left + r.width <= w.ClientWidth() &&
            r.top + r.height <= w.ClientHeight());
    for (const kestrune::Control* c : w.Controls()) {
      if (c == &w.cmdChart || c->Container() != nullptr) continue;
      const auto& o = c->Rect();
      QVERIFY2(r.left + r.width <= o.left || o.left + o.width <= r.left ||
                   r.top + r.height <= o.top || o.top + o.height <= r.top,
               c->ObjectName().c_str());
    }
  }

  void ctrlKOpensTheChartWhichFollowsZoomsPansAndFits() {
    WorkedSolution();
    QVERIFY(app_->Chart() == nullptr);
    app_->View(Calc())->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(app_->View(Calc())));
    QTest::keyClick(app_->View(Calc()), Qt::Key_K, Qt::ControlModifier);
    kestrune::app::ChartWindow* chart = app_->Chart();
    QVERIFY(chart != nullptr && chart->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    QCOMPARE(*chart->Data()->lsqFix, Calc().LastSolution()->lsq->fix);
    std::string gdop = Calc().lblLsqrGDOP.Caption();  // "GDOP = 1.6"
    QVERIFY(chart->Data()->titleBlock[3].starts_with(gdop.erase(5, 2) + " "));

    // The pointer on the fix shows it as the window's fix labels do.
    QWidget* canvas = chart->Canvas();
    const auto fix =
        chart->View().ToPixel(chart->Data()->projection.Forward(*chart->Data()->lsqFix));
    Move(canvas, QPointF(fix.x, fix.y), Qt::NoButton);
    QCOMPARE(
        chart->findChild<QLabel*>("chartStatus")->text().toStdString(),
        "Least-squares fix  " + Calc().lblLsqrLat.Caption() + "  " + Calc().lblLsqrLon.Caption());

    const kestrune::chart::ChartView framed = chart->View();
    const double fitted = framed.metresPerPixel;
    QTest::keyClick(canvas, Qt::Key_Plus);
    QCOMPARE(chart->View().metresPerPixel, fitted / 1.25);
    QWheelEvent wheel(QPointF(10, 10), canvas->mapToGlobal(QPointF(10, 10)), {}, {0, -120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &wheel);
    QCOMPARE(chart->View().metresPerPixel, fitted);
    const auto before = chart->View().centre;
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 100));
    Move(canvas, QPointF(140, 70), Qt::LeftButton);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(140, 70));
    QCOMPARE(chart->View().centre.x, before.x - 40 * fitted);
    QCOMPARE(chart->View().centre.y, before.y - 30 * fitted);
    QTest::mouseClick(chart->findChild<QPushButton*>("chartFit"), Qt::LeftButton);
    QCOMPARE(chart->View().centre.x, framed.centre.x);
    QCOMPARE(chart->View().metresPerPixel, fitted);

    // A new calculation moves the fix, and the chart with it.
    Calc().txtTD(1).SetText("15374.500");
    Press(Calc().cmdCalc);
    QCOMPARE(*chart->Data()->lsqFix, Calc().LastSolution()->lsq->fix);
    QVERIFY(chart->View().centre.x != framed.centre.x);
  }

  // The ASF layer: off at the start (the chart as without it), on with the
  // toolbar's box, contours of the LOP chosen with a legend, off again.
  void asfLayerOffByDefaultThenContoursOfTheChosenLop() {
    WorkedSolution();
    Press(Calc().cmdChart);
    kestrune::app::ChartWindow* chart = app_->Chart();
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    auto has = [chart](const std::string& cls) {
      for (const auto& item : chart->Scene().items) {
        if (item.cls == cls) return true;
      }
      return false;
    };
    auto legend = [chart] {
      for (const auto& item : chart->Scene().items) {
        if (item.cls == "asf-legend") return QString::fromStdString(item.text);
      }
      return QString();
    };
    QVERIFY(!chart->AsfShown());
    QVERIFY(!has("asf") && !has("asf-legend"));
    auto* box = chart->findChild<QCheckBox*>("chartAsf");
    auto* lops = chart->findChild<QComboBox*>("chartAsfLop");
    QVERIFY(box != nullptr && lops != nullptr);
    QVERIFY(!lops->isEnabled());
    QCOMPARE(lops->count(), 3);

    box->click();
    QVERIFY(chart->AsfShown());
    QVERIFY(lops->isEnabled());
    QVERIFY2(legend().startsWith(QString::fromUtf8("ASF 9007 W (µs): ")), qPrintable(legend()));
    chart->ShowAsf(true, 1);
    QVERIFY2(legend().startsWith(QString::fromUtf8("ASF 9007 X (µs): ")), qPrintable(legend()));
    // Zoomed out far enough for the field to vary, the contours are drawn.
    for (int i = 0; i < 9; ++i) chart->Zoom(1 / 1.25);
    QVERIFY(has("asf"));

    box->click();
    QVERIFY(!chart->AsfShown());
    QVERIFY(!has("asf") && !has("asf-legend"));
  }

  void screenshot() {
    const QByteArray out = qgetenv("KESTRUNE_SCREENSHOT_DIR");
    if (out.isEmpty()) QSKIP("KESTRUNE_SCREENSHOT_DIR not set");
    WorkedSolution();
    Press(Calc().cmdChart);
    kestrune::app::ChartWindow* chart = app_->Chart();
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    // The size of a roomy screen, whatever the offscreen one offers.
    chart->resize(900, 640);
    for (int i = 0; i < 9; ++i) chart->Zoom(1 / 1.25);
    QVERIFY(chart->grab().save(QString::fromLocal8Bit(out) + "/chart.png"));
  }

  void cleanup() {
    app_.reset();
    kestrune::SetMessageBoxService(nullptr);
  }
};

QTEST_MAIN(ChartTest)
#include "app_chart_tests.moc"
