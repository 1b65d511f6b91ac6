// The widget binding, exercised with a small form of every kind of control:
// object names, geometry from twips, both directions of the binding, focus
// selection (keyboard and mouse), and model changes while a box is modal.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/form_view.hpp"
#include "app/qt_message_box.hpp"
#include "app/tests/gui_test_support.hpp"
#include "platform/controls.hpp"
#include "platform/locale.hpp"
#include "platform/message_box.hpp"

using kestrune::app::FormView;
using kestrune::app::testing::BoxAnswerer;

namespace kestrune {
namespace {

class FakeForm : public Form {
 public:
  explicit FakeForm(int clientWidth = 4320, int clientHeight = 2880)
      : Form("frmFake", "Fake window", clientWidth, clientHeight),
        heading(Add<Label>("lblHeading", -1, TwipsRect{120, 120, 2000, 255}, nullptr, "Heading")),
        frame(Add<Frame>("frmBox", -1, TwipsRect{2400, 120, 1800, 1500}, nullptr, "Box")),
        value(Add<Label>("lblValue", 1, TwipsRect{120, 240, 1500, 255}, &frame, "Value")),
        field1(Add<TextBox>("txtField", 1, TwipsRect{120, 600, 1500, 285}, nullptr, "alpha")),
        field2(Add<TextBox>("txtField", 2, TwipsRect{120, 960, 1500, 285}, nullptr, "beta")),
        combo(Add<ComboBox>("cmbPick", -1, TwipsRect{120, 1320, 1500, 315}, nullptr)),
        button(Add<CommandButton>("cmdGo", -1, TwipsRect{120, 1800, 1200, 495}, nullptr, "GO")) {
    for (const char* item : {"one", "two", "three"}) combo.AddItem(item);
    for (TextBox* f : {&field1, &field2}) {
      f->GotFocus = [this, f] {
        log.push_back("got " + f->ObjectName());
        f->SetSelection(0, f->TextLength());
      };
      f->LostFocus = [this, f] { log.push_back("lost " + f->ObjectName()); };
    }
    combo.Click = [this] {
      log.push_back("click " + combo.Text());
      heading.SetCaption(combo.Text());
    };
    button.Click = [this] {
      heading.SetCaption("before box");
      MsgBox("Halfway");
      heading.SetCaption("after box");
    };
  }

  std::vector<Control*> TabOrder() const override { return {&field2, &field1, &combo, &button}; }

  Label& heading;
  Frame& frame;
  Label& value;
  TextBox& field1;
  TextBox& field2;
  ComboBox& combo;
  CommandButton& button;
  std::vector<std::string> log;
};

}  // namespace
}  // namespace kestrune

using kestrune::FakeForm;

class BindingTest : public QObject {
  Q_OBJECT

 private:
  kestrune::app::QtMessageBoxService boxes_;
  QTemporaryDir dir_;

  template <class W>
  static W* Find(FormView& view, const char* name) {
    return view.findChild<W*>(QString::fromLatin1(name));
  }

  static void ShowActive(FormView& view) {
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    QDir::setCurrent(dir_.path());
    kestrune::SetMessageBoxService(&boxes_);
  }
  void cleanupTestCase() { kestrune::SetMessageBoxService(nullptr); }

  void geometryFollowsTwips_data() {
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QRect>("field");
    QTest::addColumn<QRect>("inFrame");
    QTest::addColumn<QSize>("client");
    // 96 dpi: 15 twips to the pixel; 120 dpi: 12 twips to the pixel.
    QTest::newRow("96 dpi") << 96.0 << QRect(8, 40, 100, 19) << QRect(8, 16, 100, 17)
                            << QSize(288, 192);
    // Edges are rounded, so 600 + 285 = 885 twips end at 73.75 -> 74 px.
    QTest::newRow("120 dpi") << 120.0 << QRect(10, 50, 125, 24) << QRect(10, 20, 125, 21)
                             << QSize(360, 240);
  }
  void geometryFollowsTwips() {
    QFETCH(double, dpi);
    QFETCH(QRect, field);
    QFETCH(QRect, inFrame);
    QFETCH(QSize, client);
    FakeForm form;
    FormView view(form, {}, dpi);
    QCOMPARE(Find<QLineEdit>(view, "txtField_1")->geometry(), field);
    QCOMPARE(Find<QLabel>(view, "lblValue_1")->geometry(), inFrame);
    QCOMPARE(view.size(), client);
  }

  void windowWithoutSizeFitsItsControls() {
    FakeForm form(0, 0);
    FormView view(form, {}, 96.0);
    // Rightmost: the frame ends at 4200 twips (280 px); lowest: the button at
    // 2295 twips (153 px); 120 twips (8 px) of margin.
    QCOMPARE(view.size(), QSize(288, 161));
  }

  void everyControlIsAWidgetThatFollowsItsModel() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    QCOMPARE(view.windowTitle(), QString("Fake window"));
    auto* frame = Find<QGroupBox>(view, "frmBox");
    QCOMPARE(frame->title(), QString("Box"));
    QCOMPARE(Find<QLabel>(view, "lblValue_1")->parentWidget(), frame);
    QCOMPARE(Find<QLineEdit>(view, "txtField_2")->text(), QString("beta"));
    QCOMPARE(Find<QPushButton>(view, "cmdGo")->text(), QString("GO"));
    auto* heading = Find<QLabel>(view, "lblHeading");
    auto* field = Find<QLineEdit>(view, "txtField_1");
    auto* combo = Find<QComboBox>(view, "cmbPick");
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->currentIndex(), -1);

    form.heading.SetCaption("New caption");
    QCOMPARE(heading->text(), QString("New caption"));
    form.field1.SetText("64°00'00.000\"N");
    QCOMPARE(field->text(), QString::fromUtf8("64°00'00.000\"N"));
    // Selection in code points: the degree sign is one character.
    form.field1.SetSelection(2, 3);
    QCOMPARE(field->selectedText(), QString::fromUtf8("°00"));
    form.heading.SetVisible(false);
    QVERIFY(heading->isHidden());
    form.heading.SetVisible(true);
    QVERIFY(!heading->isHidden());
    form.combo.AddItem("four");
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->itemText(3), QString("four"));
    form.combo.SetListIndex(1);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(heading->text(), QString("two"));  // the model's Click ran
    form.combo.SetListIndex(-1);
    QCOMPARE(combo->currentIndex(), -1);

    form.heading.SetFont(kestrune::FontSpec{13.5, true, true, 0xC00000});
    QCOMPARE(heading->font().pointSizeF(), 13.5);
    QVERIFY(heading->font().bold());
    QVERIFY(heading->font().italic());
    QCOMPARE(heading->palette().color(QPalette::WindowText), QColor(192, 0, 0));

    form.SetCaption("Renamed");
    QCOMPARE(view.windowTitle(), QString("Renamed"));
    form.Close();
    QVERIFY(!view.isVisible());
  }

  // Alignment and face come from the model; a caption never changes them.
  void presentationComesFromTheModel() {
    FakeForm form;
    form.value.SetPresentation(kestrune::TextAlign::Right);
    form.heading.SetPresentation(kestrune::TextAlign::Left, true);
    FormView view(form, {}, 96.0);
    auto* value = Find<QLabel>(view, "lblValue_1");
    auto* heading = Find<QLabel>(view, "lblHeading");
    for (const char* caption : {"1916656.4", " 1     0.250    112.5", "Value", "-12 m"}) {
      form.value.SetCaption(caption);
      form.heading.SetCaption(caption);
      QVERIFY(value->alignment() & Qt::AlignRight);
      QVERIFY(!QFontInfo(value->font()).fixedPitch());
      QVERIFY(heading->alignment() & Qt::AlignLeft);
      QVERIFY(QFontInfo(heading->font()).fixedPitch());
      QCOMPARE(value->font().pointSizeF(), 8.25);
    }
  }

  void typingPickingAndPressingReachTheModel() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    auto* field = Find<QLineEdit>(view, "txtField_1");
    field->setFocus();
    field->setCursorPosition(2);
    QTest::keyClicks(field, "X");
    QCOMPARE(form.field1.Text(), std::string("alXpha"));
    // No echo: the cursor stays where the user typed.
    QCOMPARE(field->cursorPosition(), 3);
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(form.field1.Text(), std::string("alpha"));

    auto* combo = Find<QComboBox>(view, "cmbPick");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(form.combo.ListIndex(), 0);
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(form.combo.ListIndex(), 1);
    QCOMPARE(Find<QLabel>(view, "lblHeading")->text(), QString("two"));
    QCOMPARE(form.log.back(), std::string("click two"));
  }

  void modelChangesShowWhileABoxIsModal() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    BoxAnswerer answerer;
    QString headingWhileOpen;
    answerer.whileOpen = [&](QMessageBox&) {
      headingWhileOpen = Find<QLabel>(view, "lblHeading")->text();
    };
    answerer.Answer(QMessageBox::Ok);
    QTest::mouseClick(Find<QPushButton>(view, "cmdGo"), Qt::LeftButton);
    QCOMPARE(headingWhileOpen, QString("before box"));
    QCOMPARE(Find<QLabel>(view, "lblHeading")->text(), QString("after box"));
    QCOMPARE(answerer.seen.size(), size_t{1});
    QCOMPARE(answerer.seen[0].text, QString("Halfway"));
    QCOMPARE(answerer.seen[0].title, QString("Kestrune"));
    QCOMPARE(answerer.seen[0].icon, QMessageBox::NoIcon);
    QCOMPARE(answerer.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(answerer.unexpected, 0);
  }

  void questionBoxReturnsTheButtonPressed_data() {
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("yes") << int(QMessageBox::Yes) << int(kestrune::MsgResult::Yes);
    QTest::newRow("no") << int(QMessageBox::No) << int(kestrune::MsgResult::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << int(kestrune::MsgResult::Cancel);
  }
  void questionBoxReturnsTheButtonPressed() {
    QFETCH(int, press);
    QFETCH(int, result);
    BoxAnswerer answerer;
    answerer.Answer(static_cast<QMessageBox::StandardButton>(press));
    auto r =
        kestrune::MsgBox("Save setup to file Kestrune.ini ?", kestrune::MsgButtons::YesNoCancel);
    QCOMPARE(int(r), result);
    QCOMPARE(answerer.seen.at(0).buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(answerer.seen.at(0).title, QString("Kestrune"));
  }

  void escapeAnswersCancelAndTitleIsKept() {
    QTimer::singleShot(20, [] {
      if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
    });
    QString title;
    QTimer::singleShot(10, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) title = box->windowTitle();
    });
    auto r = kestrune::MsgBox("Question", kestrune::MsgButtons::YesNoCancel,
                              "Position Calculation Error");
    QCOMPARE(int(r), int(kestrune::MsgResult::Cancel));
    QCOMPARE(title, QString("Position Calculation Error"));
  }

  void focusSelectsTheWholeTextByKeyboardAndMouse() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    auto* field1 = Find<QLineEdit>(view, "txtField_1");
    auto* field2 = Find<QLineEdit>(view, "txtField_2");
    // The window opens on the first control of the tab order.
    QCOMPARE(QApplication::focusWidget(), field2);
    QCOMPARE(form.log, std::vector<std::string>{"got txtField_2"});
    QCOMPARE(field2->selectedText(), QString("beta"));

    // Tab follows the form's order: field 2, field 1, the list, the button.
    QTest::keyClick(field2, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), field1);
    QCOMPARE(form.log,
             (std::vector<std::string>{"got txtField_2", "lost txtField_2", "got txtField_1"}));
    QCOMPARE(field1->selectedText(), QString("alpha"));
    QTest::keyClick(field1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Find<QComboBox>(view, "cmbPick"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Find<QPushButton>(view, "cmdGo"));

    // A click into the middle of a field selects the whole text too.
    form.log.clear();
    QTest::mouseClick(field2, Qt::LeftButton, {},
                      QPoint(field2->width() / 2, field2->height() / 2));
    QCOMPARE(QApplication::focusWidget(), field2);
    QCOMPARE(form.log, std::vector<std::string>{"got txtField_2"});
    QCOMPARE(field2->selectedText(), QString("beta"));
    // A second click in the field that has the focus places the cursor.
    QTest::mouseClick(field2, Qt::LeftButton, {},
                      QPoint(field2->width() / 2, field2->height() / 2));
    QCOMPARE(field2->selectedText(), QString());
  }

  void aBoxDoesNotMoveTheModelFocus() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    form.field2.LostFocus = [&] {
      form.log.push_back("lost txtField_2");
      kestrune::MsgBox("Bad field");
    };
    form.log.clear();
    BoxAnswerer answerer;
    answerer.Answer(QMessageBox::Ok);
    QTest::keyClick(Find<QLineEdit>(view, "txtField_2"), Qt::Key_Tab);
    // Each field hears its own event once, though the box took the focus for
    // a while.
    QTRY_COMPARE(form.log, (std::vector<std::string>{"lost txtField_2", "got txtField_1"}));
    QCOMPARE(answerer.Texts(), QStringList{"Bad field"});
    QCOMPARE(QApplication::focusWidget(), Find<QLineEdit>(view, "txtField_1"));
  }

  void closingThroughTheFrameIsReported() {
    FakeForm form;
    std::vector<kestrune::Form*> closed;
    FormView view(
        form, [&](kestrune::Form& f) { closed.push_back(&f); }, 96.0);
    view.show();
    view.close();
    QCOMPARE(closed, std::vector<kestrune::Form*>{&form});
    // A window that its model closed is not reported again.
    view.show();
    form.Close();
    view.close();
    QCOMPARE(closed.size(), size_t{1});
  }

  void systemLocaleGivesTheSeparatorAndKeepsTheCNumbers() {
    kestrune::app::AdoptSystemLocale();
    QCOMPARE(kestrune::DecimalSeparator(), kestrune::app::DecimalSeparatorOf(QLocale::system()));
    QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
    if (qEnvironmentVariableIsSet("KESTRUNE_EXPECT_SEPARATOR")) {
      QCOMPARE(kestrune::DecimalSeparator(), qgetenv("KESTRUNE_EXPECT_SEPARATOR").at(0));
    }
    kestrune::SetDecimalSeparator('.');
  }

  void decimalSeparatorFollowsTheLocale() {
    QCOMPARE(kestrune::app::DecimalSeparatorOf(QLocale(QLocale::German, QLocale::Germany)), ',');
    QCOMPARE(kestrune::app::DecimalSeparatorOf(QLocale(QLocale::NorwegianBokmal, QLocale::Norway)),
             ',');
    QCOMPARE(kestrune::app::DecimalSeparatorOf(QLocale(QLocale::English, QLocale::UnitedStates)),
             '.');
  }
};

QTEST_MAIN(BindingTest)
#include "app_binding_tests.moc"
