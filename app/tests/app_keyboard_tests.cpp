// The windows as a keyboard, a screen reader and a small screen meet them:
// Tab and Shift+Tab through every control of both windows, the figures
// told to assistive technology, a figure's selection copied, and every
// window inside the screen. The offscreen platform's screen is 800 by 800
// pixels, narrower than the chart window's first size; ctest runs this
// program once more with QT_SCALE_FACTOR=2, where it is 400 by 400. With
// KESTRUNE_REVIEW_DIR set, `reviewPictures` saves the windows as they open
// on the screen at hand (tools/screenshots.sh --review runs it under Xvfb
// at 1x and 2x): setup-dialog-Nx.png, calc-window-Nx.png, chart-Nx.png,
// chart-zoomed-out-Nx.png and, with the ASF layer, chart-asf-zoomed-out-Nx.png
// and chart-asf-Nx.png.
#include <QAccessible>
#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "app/application.hpp"
#include "app/help_window.hpp"
#include "app/qt_message_box.hpp"
#include "app/tests/gui_test_support.hpp"
#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/results_text.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "platform/locale.hpp"

using kestrune::app::Application;
using kestrune::app::FormView;

class KeyboardTest : public QObject {
  Q_OBJECT

 private:
  kestrune::app::QtMessageBoxService boxes_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Application> app_;

  kestrune::Frm_LoranSetup& Setup() { return *app_->GetSession().SetupDialog(); }
  kestrune::Frm_PosTDCalc& Calc() { return *app_->GetSession().CalcWindow(); }
  FormView* View(const kestrune::Form& form) { return app_->View(form); }

  void Start() {
    app_ = std::make_unique<Application>();
    app_->Start();
    FormView* setup = View(Setup());
    QVERIFY(QTest::qWaitForWindowExposed(setup));
    setup->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(setup));
  }

  // Three LOPs of chain 9007 accepted; the calculation window active.
  void OpenCalculation() {
    kestrune::app::testing::AcceptWorkedLops(Setup());
    FormView* calc = View(Calc());
    QVERIFY(QTest::qWaitForWindowExposed(calc));
    calc->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(calc));
  }

  void Solve() { kestrune::app::testing::SolveWorkedExample(Calc()); }

  static QString FocusName() {
    QWidget* w = QApplication::focusWidget();
    return w != nullptr ? w->objectName() : QString("(none)");
  }

  // Presses Tab (or Shift+Tab) once per control of `order` and compares the
  // focus after each press: the walk goes round to where it started.
  static void Walk(const QStringList& order, bool back) {
    QCOMPARE(FocusName(), order.front());
    const int n = static_cast<int>(order.size());
    for (int step = 1; step <= n; ++step) {
      const int at = back ? (n - step % n) % n : step % n;
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                      back ? Qt::ShiftModifier : Qt::NoModifier);
      QCOMPARE(FocusName(), order[at]);
    }
  }

  // The frame of `window` lies within the available area of its screen.
  static void CheckInsideScreen(QWidget* window) {
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY2(screen.contains(window->frameGeometry()),
             qPrintable(QString("%1 frame %2,%3 %4x%5 on a screen of %6x%7")
                            .arg(window->objectName())
                            .arg(window->frameGeometry().x())
                            .arg(window->frameGeometry().y())
                            .arg(window->frameGeometry().width())
                            .arg(window->frameGeometry().height())
                            .arg(screen.width())
                            .arg(screen.height())));
  }

 private slots:
  void initTestCase() { kestrune::SetMessageBoxService(&boxes_); }
  void cleanupTestCase() { kestrune::SetMessageBoxService(nullptr); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    kestrune::SetDecimalSeparator('.');
  }
  void cleanup() {
    app_.reset();
    QDir::setCurrent(QDir::tempPath());
    dir_.reset();
  }

  // The dialog's order with three rows shown, then the calculation window's
  // (Copy TD is disabled until a TD estimate exists, then takes its turn).
  void tabAndShiftTabFollowTheOrderOfBothWindows() {
    Start();
    const QStringList setup = {"cmbMaster_1", "cmbSecondary_1", "cmbNoOfLops",    "cmdAccept",
                               "cmbMaster_2", "cmbMaster_3",    "cmbSecondary_2", "cmbSecondary_3"};
    Walk(setup, false);
    Walk(setup, true);
    OpenCalculation();
    QStringList calc = {"txtEstLat", "txtEstLon",   "txtTD_1",     "txtTD_2",
                        "txtTD_3",   "txtWeight_1", "txtWeight_2", "txtWeight_3",
                        "cmdCalcTD", "cmdCalc",     "cmdExit",     "cmdChart"};
    Walk(calc, false);
    Walk(calc, true);
    Calc().cmdCalcTD.DoClick();
    calc.insert(calc.indexOf("cmdCalc"), "cmdCopyTD");
    Walk(calc, false);
    Walk(calc, true);
  }

  // Every result label keeps its column and row as its name and tells the
  // figure it shows as its description, after each calculation anew.
  void everyResultLabelTellsItsFigure() {
    Start();
    OpenCalculation();
    Solve();
    FormView* view = View(Calc());
    int told = 0;
    for (const auto& [label, name] : kestrune::ResultNames(Calc())) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(view->WidgetOf(*label));
      QVERIFY(a != nullptr);
      QCOMPARE(a->text(QAccessible::Name), QString::fromStdString(name));
      const QString figure = QString::fromStdString(label->Caption()).trimmed();
      QCOMPARE(a->text(QAccessible::Description), figure);
      if (!figure.isEmpty() && label->Visible()) ++told;
    }
    // Shown: 15 stations less the masters' three blank cells, 4 lines of the
    // fix, 3 residuals, 3 pairs of 8 cells and the mean's 4.
    QCOMPARE(told, 98);
    auto* ejde = QAccessible::queryAccessibleInterface(view->WidgetOf(Calc().Label2(0)));
    QCOMPARE(ejde->text(QAccessible::Name) + ": " + ejde->text(QAccessible::Description),
             "Distance, 9007 M Ejde: " + QString::fromStdString(Calc().Label2(0).Caption()));
    const QString before = ejde->text(QAccessible::Description);
    Calc().txtEstLat.SetText("62 0 0N");
    Calc().cmdCalcTD.DoClick();
    QVERIFY(ejde->text(QAccessible::Description) != before);
    QCOMPARE(ejde->text(QAccessible::Description),
             QString::fromStdString(Calc().Label2(0).Caption()).trimmed());
  }

  // A figure selected with the mouse is what Ctrl+C copies; without a
  // selection Ctrl+C copies every result. The label's menu offers both.
  void ctrlCCopiesTheSelectedFigureElseEveryResult() {
    Start();
    OpenCalculation();
    Solve();
    FormView* view = View(Calc());
    auto* lat = qobject_cast<QLabel*>(view->WidgetOf(Calc().lblLsqrLat));
    view->ScrollArea()->ensureWidgetVisible(lat);
    const QPoint from(1, lat->height() / 2), to(lat->width() - 1, lat->height() / 2);
    QTest::mousePress(lat, Qt::LeftButton, {}, from);
    QMouseEvent drag(QEvent::MouseMove, to, lat->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(lat, &drag);
    QTest::mouseRelease(lat, Qt::LeftButton, {}, to);
    const QString figure = QString::fromStdString(Calc().lblLsqrLat.Caption()).trimmed();
    QCOMPARE(lat->selectedText().trimmed(), figure);
    QCOMPARE(QApplication::focusWidget(), lat);
    QApplication::clipboard()->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), lat->selectedText());

    const QString all = QString::fromStdString(kestrune::ResultsText(Calc()));
    auto* td = qobject_cast<QLineEdit*>(view->WidgetOf(Calc().txtTD(1)));
    td->setFocus();
    td->deselect();
    QTest::keyClick(td, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), all);

    // The right-click menu of a label: Copy (the whole figure without a
    // selection), then the window's entries.
    QStringList entries;
    QTimer::singleShot(0, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        for (QAction* a : menu->actions()) {
          if (!a->isSeparator()) entries << a->text();
        }
        menu->close();
      }
    });
    const QPoint middle = lat->rect().center();
    QContextMenuEvent right(QContextMenuEvent::Mouse, middle, lat->mapToGlobal(middle));
    QApplication::sendEvent(lat, &right);
    QCOMPARE(entries,
             QStringList({"Copy", "Copy results", "Help", "ASF: none", "ASF: from the coastline"}));
    std::unique_ptr<QMenu> menu = view->LabelMenu(lat);
    menu->actions().at(0)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), figure);
    QApplication::clipboard()->clear();
    for (QAction* a : menu->actions()) {
      if (a->text() == "Copy results") a->trigger();
    }
    QCOMPARE(QApplication::clipboard()->text(), all);
  }

  // The setup dialog, the calculation window, the help and the chart open
  // within the screen; the chart keeps its toolbar, status line, scale bar
  // and fix in view.
  void everyWindowOpensInsideTheScreen() {
    Start();
    CheckInsideScreen(View(Setup()));
    OpenCalculation();
    CheckInsideScreen(View(Calc()));
    app_->ShowHelp();
    QVERIFY(QTest::qWaitForWindowExposed(app_->Help()));
    CheckInsideScreen(app_->Help());
    app_->Help()->close();
    Solve();
    Calc().cmdChart.DoClick();
    kestrune::app::ChartWindow* chart = app_->Chart();
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    CheckInsideScreen(chart);
    for (const char* name : {"chartFit", "chartZoomIn", "chartZoomOut", "chartExport", "chartSigma",
                             "chartStatus", "chartCanvas"}) {
      auto* w = chart->findChild<QWidget*>(name);
      QVERIFY(w != nullptr);
      const QRect inWindow(w->mapTo(chart, QPoint(0, 0)), w->size());
      QVERIFY2(chart->rect().contains(inWindow), name);
      if (auto* b = qobject_cast<QPushButton*>(w)) {
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) + 8 <= b->width(), name);
      }
    }
    QWidget* canvas = chart->Canvas();
    QCOMPARE(chart->View().width, double(canvas->width()));
    QCOMPARE(chart->View().height, double(canvas->height()));
    for (const kestrune::chart::Item& item : chart->Scene().items) {
      if (item.cls != "scale-bar" || item.kind != kestrune::chart::Item::Kind::Line) continue;
      for (const auto& p : item.rings.front()) {
        QVERIFY(p.x >= 0 && p.x <= canvas->width() && p.y >= 0 && p.y <= canvas->height());
      }
    }
    const auto fix =
        chart->View().ToPixel(chart->Data()->projection.Forward(*chart->Data()->lsqFix));
    QVERIFY(fix.x > canvas->width() / 4.0 && fix.x < canvas->width() * 3 / 4.0);
    QVERIFY(fix.y > 0 && fix.y < canvas->height());
  }

  void reviewPictures() {
    const QString out = QString::fromLocal8Bit(qgetenv("KESTRUNE_REVIEW_DIR"));
    if (out.isEmpty()) QSKIP("KESTRUNE_REVIEW_DIR not set");
    Start();
    const QString scale = QString("-%1x.png").arg(View(Setup())->devicePixelRatio());
    QVERIFY(View(Setup())->grab().save(out + "/setup-dialog" + scale));
    OpenCalculation();
    Solve();
    // The position fields as leaving them writes them.
    Calc().txtEstLat_LostFocus();
    Calc().txtEstLon_LostFocus();
    QVERIFY(View(Calc())->grab().save(out + "/calc-window" + scale));
    Calc().cmdChart.DoClick();
    QVERIFY(QTest::qWaitForWindowExposed(app_->Chart()));
    QTest::qWait(200);  // the window manager's last resize
    QVERIFY(app_->Chart()->grab().save(out + "/chart" + scale));
    for (int i = 0; i < 9; ++i) app_->Chart()->Zoom(1 / 1.25);
    QVERIFY(app_->Chart()->grab().save(out + "/chart-zoomed-out" + scale));
    // The ASF layer of 9007 X, over the coast and framed to the fixes.
    app_->Chart()->ShowAsf(true, 1);
    QVERIFY(app_->Chart()->grab().save(out + "/chart-asf-zoomed-out" + scale));
    app_->Chart()->Fit();
    QVERIFY(app_->Chart()->grab().save(out + "/chart-asf" + scale));
  }

  void aboutBoxSaysWhatTheProgramHas() {
    const QString about = kestrune::app::AboutText();
    QVERIFY(!about.contains("will come"));
    for (const char* has : {"chart", "coastline", "Natural Earth", "kestrune-convert",
                            "kestrune-chart", "calibration", "9007, 7001, 7499 and 6731"}) {
      QVERIFY2(about.contains(has), has);
    }
  }
};

QTEST_MAIN(KeyboardTest)
#include "app_keyboard_tests.moc"
