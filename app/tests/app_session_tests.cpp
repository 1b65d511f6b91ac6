// The whole program through its real widgets, driven as a user would: the
// setup dialog's lists picked with keyboard and mouse, ACCEPT refused and
// accepted, positions and TDs typed with a decimal comma, the calculation
// buttons pressed, the boxes answered, EXIT and the window frame.
//
// With KESTRUNE_SCREENSHOT_DIR set, the test `screenshots` also saves
// setup-dialog.png and calc-window.png of a three-LOP position solution there.
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstring>
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
using kestrune::app::testing::BoxAnswerer;

namespace {

// One LOP as the setup dialog offers it: the position of the master in the
// master list (0 to 3) and of the secondary in the secondary list (0 to 10).
struct Row {
  int master;
  int secondary;
};

// Master position and secondary position of a LOP given by station indices.
Row RowOf(int masterIndex, int secondaryIndex) {
  const int k = masterIndex == 0 ? 0 : masterIndex == 5 ? 1 : masterIndex == 8 ? 2 : 3;
  return {k, secondaryIndex - k - 1};
}

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

 private:
  kestrune::app::QtMessageBoxService boxes_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Application> app_;
  FormView* setup_ = nullptr;
  FormView* calc_ = nullptr;

  template <class W>
  static W* Widget(FormView* view, const QString& name) {
    W* w = view->findChild<W*>(name);
    if (w == nullptr) qWarning() << "no widget" << name;
    return w;
  }
  // The caption a label shows (a heading may show it broken at blanks).
  static QString LabelText(FormView* view, const QString& name) {
    QLabel* l = Widget<QLabel>(view, name);
    return l != nullptr ? l->property("kestruneCaption").toString()
                        : QString("<missing %1>").arg(name);
  }

  void StartProgram() {
    app_ = std::make_unique<Application>();
    app_->Start();
    setup_ = app_->View(*app_->GetSession().SetupDialog());
    calc_ = nullptr;
    QVERIFY(setup_ != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(setup_));
    setup_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(setup_));
  }

  // Picks `position` of a list with the keyboard: Home, then Down.
  static void PickByKeyboard(QComboBox* combo, int position) {
    combo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < position; ++i) QTest::keyClick(combo, Qt::Key_Down);
  }

  // Picks `position` of a list with the mouse: a click opens the list, a
  // click on the entry picks it.
  static void PickByMouse(QComboBox* combo, int position) {
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    // The list ignores the release of the click that opened it for a
    // double-click interval.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect r = view->visualRect(combo->model()->index(position, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(view->viewport()->width() / 2, r.center().y()));
    QTRY_VERIFY(!view->isVisible());
  }

  void PickRows(const std::vector<Row>& rows, bool someByMouse) {
    QComboBox* count = Widget<QComboBox>(setup_, "cmbNoOfLops");
    PickByKeyboard(count, static_cast<int>(rows.size()) - 2);
    QCOMPARE(count->currentText(), QString::number(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const QString i = QString::number(r + 1);
      auto* master = Widget<QComboBox>(setup_, "cmbMaster_" + i);
      auto* secondary = Widget<QComboBox>(setup_, "cmbSecondary_" + i);
      QVERIFY(master->isVisible());
      if (someByMouse && r == 1) {
        PickByMouse(master, rows[r].master);
        PickByMouse(secondary, rows[r].secondary);
      } else {
        PickByKeyboard(master, rows[r].master);
        PickByKeyboard(secondary, rows[r].secondary);
      }
      QCOMPARE(master->currentIndex(), rows[r].master);
      QCOMPARE(secondary->currentIndex(), rows[r].secondary);
    }
  }

  void Accept() {
    QTest::mouseClick(Widget<QPushButton>(setup_, "cmdAccept"), Qt::LeftButton);
    QVERIFY(app_->GetSession().CalcWindow() != nullptr);
    calc_ = app_->View(*app_->GetSession().CalcWindow());
    QVERIFY(calc_ != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(calc_));
    calc_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(calc_));
  }

  // Clicks into a field (which selects its whole text) and types `text` over it.
  // In a field that already has the focus the click places the cursor, so
  // the text is then selected with Ctrl+A.
  static void TypeInto(QLineEdit* field, const QString& text) {
    const bool hadFocus = field->hasFocus();
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(field->width() / 2, field->height() / 2));
    // After a message box about the field left, the window gets the focus
    // back when it is active again.
    QTRY_COMPARE(QApplication::focusWidget(), field);
    if (hadFocus) QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(field->selectedText(), field->text());
    QTest::keyClicks(field, text);
  }

  // A small PNG of a window: a palette of 256 colours holds the grey steps of
  // the text and the few colours of the widgets.
  static bool SavePicture(QWidget* window, const QString& path) {
    const QImage image = window->grab().toImage().convertToFormat(
        QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    return image.save(path, "PNG", 0);
  }

  void Press(const char* button) {
    QTest::mouseClick(Widget<QPushButton>(calc_, button), Qt::LeftButton);
  }

  // Every label of the calculation window shows its model's caption.
  void CheckEveryLabelFollowsItsModel() {
    const kestrune::Frm_PosTDCalc* w = app_->GetSession().CalcWindow();
    for (kestrune::Control* c : w->Controls()) {
      if (c->Kind() != kestrune::ControlKind::Label) continue;
      const auto* label = static_cast<kestrune::Label*>(c);
      QCOMPARE(LabelText(calc_, QString::fromStdString(c->ObjectName())),
               QString::fromStdString(label->Caption()));
      QCOMPARE(calc_->WidgetOf(*c)->isHidden(), !c->Visible());
    }
  }

  // LOPs 9007 Jan Mayen, Boe and Vaerlandet at 64 N 4 E, TDs copied from the
  // prediction: the fix lands on the estimated position.
  void SolveAtEstimate(BoxAnswerer& answerer) {
    PickRows({RowOf(0, 1), RowOf(0, 2), RowOf(0, 3)}, true);
    Accept();
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLat"), "64 N");
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLon"), "4 E");
    // Leaving the longitude for the button writes it in display form.
    Press("cmdCalcTD");
    QCOMPARE(Widget<QLineEdit>(calc_, "txtEstLat")->text(), QString::fromUtf8("64°00'00,000\"N"));
    QCOMPARE(Widget<QLineEdit>(calc_, "txtEstLon")->text(), QString::fromUtf8("004°00'00,000\"E"));
    Press("cmdCopyTD");
    Press("cmdCalc");
    QCOMPARE(answerer.Texts(), QStringList());
  }

  // The widest text each widget can get: the caption shown, or for a list
  // every entry. Returns the problems found.
  static QStringList TextProblems(QWidget* w) {
    QStringList out;
    const QFontMetrics fm(w->font());
    auto tooWide = [&](const QString& text, int room) {
      for (const QString& line : text.split('\n')) {
        if (fm.horizontalAdvance(line) > room) {
          out << QString("%1 cuts \"%2\" (%3 > %4)")
                     .arg(w->objectName(), line)
                     .arg(fm.horizontalAdvance(line))
                     .arg(room);
        }
      }
    };
    if (auto* l = qobject_cast<QLabel*>(w)) {
      tooWide(l->text(), l->contentsRect().width());
      const int lines = static_cast<int>(l->text().count('\n'));
      if (fm.ascent() + lines * fm.lineSpacing() > l->height()) out << l->objectName() + " too low";
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      tooWide(e->text(), e->width() - 8);
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      tooWide(b->text(), b->width() - 8);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox opt;
      opt.initFrom(c);
      const QRect field =
          c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
      for (int i = 0; i < c->count(); ++i) tooWide(c->itemText(i), field.width() - 4);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      const QRect title = kestrune::app::FrameTitleRect(fm, g->title());
      if (title.right() >= g->width()) out << g->objectName() + " cuts its title";
      for (QWidget* child : g->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(g) &&
            (child->geometry().intersects(title) || child->y() <= kestrune::app::FrameLineY(fm))) {
          out << child->objectName() + " on the line of " + g->objectName();
        }
      }
    }
    return out;
  }

  // No visible text wider than its widget, no two sibling widgets over each
  // other, and the window within the screen with every control in reach.
  void CheckLayout(FormView* view) {
    const QSize screen = view->screen()->availableGeometry().size();
    QVERIFY(view->frameGeometry().width() <= screen.width());
    QVERIFY(view->frameGeometry().height() <= screen.height());
    QStringList problems;
    const QList<QWidget*> all = view->Client()->findChildren<QWidget*>();
    for (QWidget* w : all) {
      if (w->objectName().isEmpty() || !w->isVisibleTo(view)) continue;
      problems << TextProblems(w);
      for (QWidget* other : all) {
        if (other != w && other->parentWidget() == w->parentWidget() && other->isVisibleTo(view) &&
            !other->objectName().isEmpty() && w->objectName() < other->objectName() &&
            w->geometry().intersects(other->geometry())) {
          problems << w->objectName() + " overlaps " + other->objectName();
        }
      }
      view->ScrollArea()->ensureWidgetVisible(w, 0, 0);
      const QRect shown(w->mapTo(view->ScrollArea()->viewport(), QPoint(0, 0)), w->size());
      if (!view->ScrollArea()->viewport()->rect().contains(shown.center())) {
        problems << w->objectName() + " out of reach";
      }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
  }

 private slots:
  void initTestCase() { kestrune::SetMessageBoxService(&boxes_); }
  void cleanupTestCase() { kestrune::SetMessageBoxService(nullptr); }

  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir::setCurrent(dir_->path()));
    kestrune::SetDecimalSeparator(',');
  }
  void cleanup() {
    app_.reset();
    QDir::setCurrent(QDir::tempPath());
    dir_.reset();
    kestrune::SetDecimalSeparator('.');
  }

  void setupDialogOpensWithItsLook() {
    StartProgram();
    QCOMPARE(setup_->windowTitle(), QString("     KESTRUNE"));
    QCOMPARE(setup_->size(), QSize(kestrune::app::TwipsToPixels(4710, setup_->Dpi()),
                                   kestrune::app::TwipsToPixels(4125, setup_->Dpi())));
    auto* title = Widget<QLabel>(setup_, "Label2");
    QCOMPARE(title->text(), QString("Loran C Setup"));
    QCOMPARE(title->font().pointSizeF(), 13.5);
    auto* note = Widget<QLabel>(setup_, "Label9");
    QVERIFY(note->font().bold());
    QVERIFY(note->font().italic());
    QCOMPARE(note->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    QCOMPARE(Widget<QLabel>(setup_, "Label3_1")->text(),
             QString("Master                    Secondary"));
    // Without a setup file: three rows, nothing picked.
    QCOMPARE(Widget<QComboBox>(setup_, "cmbNoOfLops")->currentText(), QString("3"));
    for (int i = 1; i <= 7; ++i) {
      auto* master = Widget<QComboBox>(setup_, QString("cmbMaster_%1").arg(i));
      QVERIFY(!master->isEditable());
      QCOMPARE(master->isVisible(), i <= 3);
      QCOMPARE(master->currentIndex(), -1);
      QCOMPARE(master->count(), 4);
      QCOMPARE(Widget<QComboBox>(setup_, QString("cmbSecondary_%1").arg(i))->count(), 11);
    }
    QCOMPARE(Widget<QComboBox>(setup_, "cmbMaster_1")->itemText(0), QString(" 9007 M Ejde"));
    // The focus starts on the first row and Tab follows the dialog's order.
    QCOMPARE(QApplication::focusWidget(), Widget<QComboBox>(setup_, "cmbMaster_1"));
    const char* order[] = {"cmbSecondary_1", "cmbNoOfLops", "cmdAccept", "cmbMaster_2"};
    for (const char* next : order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
    }
  }

  void countOfLopsShowsTheRows() {
    StartProgram();
    auto* count = Widget<QComboBox>(setup_, "cmbNoOfLops");
    PickByKeyboard(count, 2);  // "4"
    for (int i = 1; i <= 7; ++i) {
      QCOMPARE(Widget<QComboBox>(setup_, QString("cmbSecondary_%1").arg(i))->isVisible(), i <= 4);
    }
    PickByMouse(count, 0);  // "2"
    QCOMPARE(count->currentText(), QString("2"));
    for (int i = 1; i <= 7; ++i) {
      QCOMPARE(Widget<QComboBox>(setup_, QString("cmbMaster_%1").arg(i))->isVisible(), i <= 2);
    }
  }

  void acceptRefusesAFaultyRowThenOpensTheCalculationWindow() {
    StartProgram();
    BoxAnswerer answerer;
    answerer.Answer(QMessageBox::Ok);
    QTest::mouseClick(Widget<QPushButton>(setup_, "cmdAccept"), Qt::LeftButton);
    QCOMPARE(answerer.Texts(), QStringList{"Loran master 1 not defined"});
    QCOMPARE(answerer.seen[0].title, QString("Kestrune"));
    QCOMPARE(answerer.seen[0].icon, QMessageBox::NoIcon);
    QVERIFY(setup_->isVisible());

    // Row 2: master 7001 with the 9007 secondary Loop Head.
    PickRows({RowOf(0, 1), Row{1, 3}, RowOf(0, 3)}, false);
    answerer.Answer(QMessageBox::Ok);
    QTest::mouseClick(Widget<QPushButton>(setup_, "cmdAccept"), Qt::LeftButton);
    QCOMPARE(answerer.Texts().last(),
             QString("Loran secondary 2 not in corresponding chain to selected master"));
    QVERIFY(setup_->isVisible());
    QVERIFY(app_->GetSession().CalcWindow() == nullptr);

    PickByKeyboard(Widget<QComboBox>(setup_, "cmbMaster_2"), 0);
    Accept();
    QVERIFY(!setup_->isVisible());
    QVERIFY(calc_->isVisible());
    QVERIFY(!calc_->isModal());
    QCOMPARE(calc_->windowTitle(),
             QString("   KESTRUNE    Loran C   TD and Position calculations") + QString(40, ' ') +
                 "Version : 2.0 Feb 2004");
    QCOMPARE(LabelText(calc_, "lblMaster_1"), QString(" 1   9007 Ejde"));
    QCOMPARE(LabelText(calc_, "lblSlave_3"), QString("-Vaerlandet"));
    QVERIFY(!Widget<QLineEdit>(calc_, "txtTD_4")->isVisible());
    QVERIFY(Widget<QLabel>(calc_, "lblLop_3")->isVisible());
    QVERIFY(!Widget<QLabel>(calc_, "lblLop_4")->isVisible());
    QCOMPARE(answerer.unexpected, 0);
  }

  void positionSolutionAtTheEstimate() {
    StartProgram();
    BoxAnswerer answerer;
    SolveAtEstimate(answerer);
    // The copied TDs are the predictions of the LOPs' secondaries.
    for (int i = 1; i <= 3; ++i) {
      QCOMPARE(Widget<QLineEdit>(calc_, QString("txtTD_%1").arg(i))->text(),
               LabelText(calc_, QString("Label4_%1").arg(i)));
    }
    QCOMPARE(LabelText(calc_, "Label4_1"), QString("15373,705"));
    // Rounded to a nanosecond, the copied TDs put the fix within a few
    // centimetres of the estimate: 0.002" of latitude.
    QCOMPARE(LabelText(calc_, "lblLsqrLat"), QString::fromUtf8("63°59'59,998\"N"));
    QCOMPARE(LabelText(calc_, "lblLsqrLon"), QString::fromUtf8("004°00'00,000\"E"));
    QCOMPARE(LabelText(calc_, "lblLsqrIter"), QString("Iterations  1"));
    for (int i = 1; i <= 3; ++i) {
      QCOMPARE(LabelText(calc_, QString("lblResiduals_%1").arg(i)),
               QString(" %1     0,000     0,0").arg(i));
    }
    QCOMPARE(LabelText(calc_, "lblLop_3"), QString(" 2- 3"));
    QCOMPARE(LabelText(calc_, "lblMeanDN"), QString("0 m"));
    CheckEveryLabelFollowsItsModel();
    QCOMPARE(answerer.unexpected, 0);
  }

  void leavingAFieldNormalisesIt() {
    StartProgram();
    BoxAnswerer answerer;
    PickRows({RowOf(0, 1), RowOf(0, 2)}, false);
    Accept();
    auto* lat = Widget<QLineEdit>(calc_, "txtEstLat");
    auto* lon = Widget<QLineEdit>(calc_, "txtEstLon");
    TypeInto(lat, "62 17 59,837 n");
    QTest::keyClick(lat, Qt::Key_Tab);
    QCOMPARE(lat->text(), QString::fromUtf8("62°17'59,837\"N"));
    // Tab enters the next field with its whole text selected.
    QCOMPARE(QApplication::focusWidget(), lon);
    QCOMPARE(lon->selectedText(), lon->text());
    QTest::keyClicks(lon, "7 4 26,079 w");
    QTest::keyClick(lon, Qt::Key_Tab);
    QCOMPARE(lon->text(), QString::fromUtf8("007°04'26,079\"W"));

    auto* td = Widget<QLineEdit>(calc_, "txtTD_1");
    QCOMPARE(QApplication::focusWidget(), td);
    QTest::keyClicks(td, "14200,5");
    QTest::keyClick(td, Qt::Key_Tab);
    QCOMPARE(td->text(), QString("14200,5"));

    const std::pair<const char*, const char*> weights[] = {
        {"2", "1"}, {"-0,3", "0"}, {"0,5", "0,50"}, {"0.996", "1,00"}, {"abc", "0"}, {"1", "1"}};
    auto* weight = Widget<QLineEdit>(calc_, "txtWeight_1");
    for (const auto& [typed, shown] : weights) {
      TypeInto(weight, typed);
      QTest::keyClick(weight, Qt::Key_Tab);
      QCOMPARE(weight->text(), QString(shown));
      QCOMPARE(QApplication::focusWidget(), Widget<QLineEdit>(calc_, "txtWeight_2"));
    }

    answerer.Answer(QMessageBox::Ok);
    TypeInto(lat, "91N");
    QTest::keyClick(lat, Qt::Key_Tab);
    QCOMPARE(answerer.Texts(), QStringList{"LATITUDE FORMAT ERROR. Max 90 deg allowed"});
    QCOMPARE(lat->text(), QString::fromUtf8("90°00'00,000\"N"));
    QTRY_COMPARE(QApplication::focusWidget(), lon);
    QCOMPARE(lon->selectedText(), lon->text());
    QCOMPARE(answerer.unexpected, 0);
  }

  void exitAsksAndDoesWhatTheAnswerSays() {
    StartProgram();
    BoxAnswerer answerer;
    SolveAtEstimate(answerer);
    answerer.Answer(QMessageBox::Cancel);
    Press("cmdExit");
    QCOMPARE(answerer.Texts().last(), QString("Save setup to file Kestrune.ini ?"));
    QCOMPARE(answerer.seen.back().buttons,
             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(calc_->isVisible());
    QVERIFY(!app_->Ended());

    answerer.Answer(QMessageBox::No);
    Press("cmdExit");
    QVERIFY(app_->Ended());
    QVERIFY(!calc_->isVisible());
    QVERIFY(!QFile::exists("Kestrune.ini"));
    QCOMPARE(answerer.unexpected, 0);
  }

  void exitWithYesSavesForTheNextRun() {
    StartProgram();
    BoxAnswerer answerer;
    SolveAtEstimate(answerer);
    answerer.Answer(QMessageBox::Yes);
    Press("cmdExit");
    QVERIFY(app_->Ended());
    QVERIFY(!calc_->isVisible());
    QVERIFY(QFile::exists("Kestrune.ini"));

    // The next run offers the saved chain and position.
    StartProgram();
    QCOMPARE(Widget<QComboBox>(setup_, "cmbNoOfLops")->currentText(), QString("3"));
    QCOMPARE(Widget<QComboBox>(setup_, "cmbSecondary_3")->currentIndex(), 2);
    Accept();
    QCOMPARE(Widget<QLineEdit>(calc_, "txtEstLat")->text(), QString::fromUtf8("64°00'00,000\"N"));
    QCOMPARE(answerer.unexpected, 0);
  }

  void closingAWindowThroughItsFrameEndsWithoutAsking() {
    StartProgram();
    setup_->close();
    QVERIFY(app_->Ended());
    QVERIFY(!setup_->isVisible());

    StartProgram();
    BoxAnswerer answerer;
    PickRows({RowOf(0, 1), RowOf(0, 2)}, false);
    Accept();
    calc_->close();
    QVERIFY(app_->Ended());
    QVERIFY(!calc_->isVisible());
    QCOMPARE(answerer.seen.size(), size_t{0});
    QVERIFY(!QFile::exists("Kestrune.ini"));
  }

  void theEventLoopEndsWithTheProgram_data() {
    QTest::addColumn<bool>("byFrame");
    QTest::newRow("EXIT, No") << false;
    QTest::newRow("window frame") << true;
  }
  void theEventLoopEndsWithTheProgram() {
    QFETCH(bool, byFrame);
    StartProgram();
    BoxAnswerer answerer;
    answerer.Answer(QMessageBox::No);
    PickRows({RowOf(0, 1), RowOf(0, 2)}, false);
    Accept();
    QTimer::singleShot(0, calc_, [&] {
      if (byFrame) {
        calc_->close();
      } else {
        Press("cmdExit");
      }
    });
    // Should the program not end, the loop is left with another code.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(app_->Ended());
    QCOMPARE(answerer.seen.size(), size_t{byFrame ? 0u : 1u});
  }

  void typedScenariosShowTheWorkedResults_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("3 LOPs, decimal comma") << 18;
    QTest::newRow("3 LOPs, weights 0 and 0.75") << 0;
    QTest::newRow("two-LOP fixes failing") << 26;
    QTest::newRow("longitude refused when left") << 33;
  }
  void typedScenariosShowTheWorkedResults() {
    QFETCH(int, id);
    QFile file(QStringLiteral(KESTRUNE_TESTDATA_DIR) + "/calc-scenarios.jsonl");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject sc;
    while (!file.atEnd()) {
      const QJsonObject o = QJsonDocument::fromJson(file.readLine()).object();
      if (o["id"].toInt() == id) sc = o;
    }
    QVERIFY(!sc.isEmpty());
    QVERIFY(sc["mode"].toInt() == 2);
    kestrune::SetDecimalSeparator(sc["sep"].toString().at(0).toLatin1());

    const QJsonObject expect = sc["expect"].toObject();
    const QJsonObject labels = expect["labels"].toObject();
    StartProgram();
    BoxAnswerer answerer;
    for (int m = 0; m < expect["messages"].toArray().size(); ++m) answerer.Answer(QMessageBox::Ok);
    // The station table is written before any message of the fixes, and
    // shows while the box is open.
    QStringList distanceWhileOpen;
    answerer.whileOpen = [&](QMessageBox&) { distanceWhileOpen << LabelText(calc_, "Label2_0"); };
    std::vector<Row> rows;
    const QJsonArray lops = sc["lops"].toArray();
    for (const auto& l : lops) rows.push_back(RowOf(l[0].toInt(), l[1].toInt()));
    PickRows(rows, true);
    Accept();
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLat"), sc["lat_text"].toString());
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLon"), sc["lon_text"].toString());
    for (int i = 0; i < lops.size(); ++i) {
      TypeInto(Widget<QLineEdit>(calc_, QString("txtTD_%1").arg(i + 1)), lops[i][2].toString());
      TypeInto(Widget<QLineEdit>(calc_, QString("txtWeight_%1").arg(i + 1)), lops[i][3].toString());
    }
    Press("cmdCalc");
    // Messages come in the worked order; one about a coordinate comes when
    // its field is left rather than at the calculation.
    const QJsonArray messages = expect["messages"].toArray();
    QCOMPARE(answerer.seen.size(), size_t(messages.size()));
    QCOMPARE(distanceWhileOpen.size(), messages.size());
    for (int m = 0; m < messages.size(); ++m) {
      QCOMPARE(answerer.seen[m].text, messages[m][0].toString());
      QCOMPARE(answerer.seen[m].title, messages[m][1].toString());
      const bool coordinate = answerer.seen[m].text.contains("TUDE");
      QCOMPARE(distanceWhileOpen[m],
               coordinate ? QString("Label2") : labels["Label2(0)"].toString());
    }
    QCOMPARE(answerer.unexpected, 0);
    for (auto it = labels.begin(); it != labels.end(); ++it) {
      QString name = it.key();
      name.replace('(', '_').remove(')');
      QString shown = LabelText(calc_, name);
      QString wanted = it.value().toString();
      if (wanted.isEmpty()) shown.remove(' ');
      QCOMPARE(shown, wanted);
    }
    CheckEveryLabelFollowsItsModel();
  }

  void everyTextFitsAndNothingOverlaps_data() {
    QTest::addColumn<bool>("calc");
    QTest::newRow("setup dialog") << false;
    QTest::newRow("calculation window") << true;
  }
  void everyTextFitsAndNothingOverlaps() {
    QFETCH(bool, calc);
    StartProgram();
    if (!calc) return CheckLayout(setup_);
    PickRows({RowOf(0, 1), RowOf(5, 7), RowOf(8, 10), RowOf(11, 12), RowOf(11, 13), RowOf(11, 14)},
             false);
    Accept();
    // The widest value each result can show, by column.
    const QString s = QString::fromUtf8("90°00'00.000\"S"),
                  w = QString::fromUtf8("180°00'00.000\"W");
    const std::vector<std::pair<QString, QString>> widest = {
        {"Label2", "20000000.0"},
        {"Label3", "360.0"},
        {"Label4", "99999.999"},
        {"Label5", "360"},
        {"lblGradient", "9999 m"},
        {"lblLsqrLat", s},
        {"lblLsqrLon", w},
        {"lblLsqrIter", "Iterations  50"},
        {"lblLsqrGDOP", "GDOP = 9999.9"},
        {"lblResiduals", " 6     -99.999  -9999.9"},
        {"lblLop", " 5- 6"},
        {"lblLat", s},
        {"lblLon", w},
        {"lblDN", "-99999 m"},
        {"lblDE", "-99999 m"},
        {"lblIter", "20"},
        {"lblGdop", "9999.9"},
        {"lblCut", "180"},
        {"lblMeanLat", s},
        {"lblMeanLon", w},
        {"lblMeanDN", "-99999 m"},
        {"lblMeanDE", "-99999 m"},
        {"txtEstLat", s},
        {"txtEstLon", w},
        {"txtTD", "99999.999"},
        {"txtWeight", "0.50"}};
    for (kestrune::Control* c : app_->GetSession().CalcWindow()->Controls()) {
      for (const auto& [name, value] : widest) {
        if (QString::fromStdString(c->Name()) != name || c->Index() == 0) continue;
        if (auto* l = dynamic_cast<kestrune::Label*>(c)) l->SetCaption(value.toStdString());
        if (auto* t = dynamic_cast<kestrune::TextBox*>(c)) t->SetText(value.toStdString());
      }
    }
    CheckLayout(calc_);
  }

  void longPastedTextGivesABoxThatFitsTheScreen() {
    StartProgram();
    BoxAnswerer answerer;
    PickRows({RowOf(0, 1), RowOf(0, 2)}, false);
    Accept();
    QSize box;
    answerer.whileOpen = [&](QMessageBox& b) { box = b.frameGeometry().size(); };
    answerer.Answer(QMessageBox::Ok);
    auto* lat = Widget<QLineEdit>(calc_, "txtEstLat");
    QApplication::clipboard()->setText(QString(10000, 'x'));
    TypeInto(lat, "");
    QTest::keyClick(lat, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(lat, Qt::Key_Tab);
    QCOMPARE(answerer.seen.at(0).text, QString(50, 'x') + QChar(0x2026) + QString(7, 'x') +
                                           "!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used");
    const QSize screen = calc_->screen()->availableGeometry().size();
    QVERIFY2(box.width() <= screen.width() && box.height() <= screen.height(),
             qPrintable(QString("%1x%2").arg(box.width()).arg(box.height())));
  }

  void resultsCopyHelpOpensAndCellsHaveNames() {
    StartProgram();
    QTest::keyClick(setup_, Qt::Key_F1);
    QTRY_VERIFY(app_->Help() != nullptr && app_->Help()->isVisible());
    app_->Help()->close();
    BoxAnswerer answerer;
    SolveAtEstimate(answerer);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QTRY_VERIFY(app_->Help()->isVisible());
    app_->Help()->close();
    calc_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(calc_));
    const QString all =
        QString::fromStdString(kestrune::ResultsText(*app_->GetSession().CalcWindow()));
    QVERIFY(all.endsWith(QString::fromUtf8("Mean\t63°59'59,997\"N\t004°00'00,001\"E\t0 m\t0 m\n")));
    // The focused TD field has no selection after the press, so Ctrl+C
    // copies every result; with a selection it copies the selection.
    auto* td = Widget<QLineEdit>(calc_, "txtTD_1");
    td->setFocus();
    td->deselect();
    QTest::keyClick(td, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), all);
    td->selectAll();
    QTest::keyClick(td, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), td->text());
    const QList<QAction*> menu = calc_->Client()->actions();
    QCOMPARE(calc_->Client()->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(menu.at(0)->text(), QString("Copy results"));
    QVERIFY(Widget<QLabel>(calc_, "lblLat_1")->textInteractionFlags() & Qt::TextSelectableByMouse);
    QCOMPARE(Widget<QLabel>(calc_, "Label2_1")->accessibleName(),
             QString("Distance, 9007 W Jan Mayen"));
    QCOMPARE(Widget<QLabel>(calc_, "lblLat_1")->accessibleName(), QString("Latitude, pair 1-2"));
    QCOMPARE(Widget<QLabel>(calc_, "lblResiduals_2")->accessibleName(), QString("Residual, LOP 2"));
  }

  void commandLineAndNoDisplay_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString noWindow =
        "kestrune: cannot open a window: no Qt platform plugin could be "
        "started (is a display available?)\n";
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << "kestrune 2.0"
                               << "";
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0
                            << "Usage: kestrune [--help] [--version]"
                            << "";
    QTest::newRow("no display") << QStringList{} << "" << 1 << ""
                                << "kestrune: no display to open the windows on (DISPLAY, "
                                   "WAYLAND_DISPLAY and QT_QPA_PLATFORM are not set)\n";
    QTest::newRow("plugin fails") << QStringList{} << "nosuchplatform" << 1 << "" << noWindow;
  }
  void commandLineAndNoDisplay() {
    QFETCH(QStringList, args);
    QFETCH(QString, platform);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(v);
    if (!platform.isEmpty()) env.insert("QT_QPA_PLATFORM", platform);
    p.setProcessEnvironment(env);
    p.start(KESTRUNE_PROGRAM, args);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), code);
    QCOMPARE(QString(p.readAllStandardOutput()).section('\n', 0, 0), out);
    QCOMPARE(QString(p.readAllStandardError()), err);
  }

  void screenshots() {
    const QByteArray out = qgetenv("KESTRUNE_SCREENSHOT_DIR");
    if (out.isEmpty()) QSKIP("KESTRUNE_SCREENSHOT_DIR not set");
    kestrune::SetDecimalSeparator('.');
    StartProgram();
    BoxAnswerer answerer;
    PickRows({RowOf(0, 1), RowOf(0, 2), RowOf(0, 3)}, false);
    Widget<QComboBox>(setup_, "cmbMaster_1")->setFocus();
    QVERIFY(SavePicture(setup_, QString::fromLocal8Bit(out) + "/setup-dialog.png"));
    Accept();
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLat"), "64 N");
    TypeInto(Widget<QLineEdit>(calc_, "txtEstLon"), "4 E");
    Press("cmdCalcTD");
    Press("cmdCopyTD");
    // Observed TDs a little off the predictions at the estimate.
    TypeInto(Widget<QLineEdit>(calc_, "txtTD_1"), "15373.9");
    TypeInto(Widget<QLineEdit>(calc_, "txtTD_2"), "28359.1");
    TypeInto(Widget<QLineEdit>(calc_, "txtTD_3"), "40147.4");
    TypeInto(Widget<QLineEdit>(calc_, "txtWeight_3"), "0.8");
    Press("cmdCalc");
    QCOMPARE(answerer.Texts(), QStringList());
    QVERIFY(SavePicture(calc_, QString::fromLocal8Bit(out) + "/calc-window.png"));
  }
};

QTEST_MAIN(SessionTest)
#include "app_session_tests.moc"
