// The widget binding, exercised with a small form of every kind of control:
// object names, geometry from twips, both directions of the binding and focus
// selection (keyboard and mouse). The real windows are in app_session_tests.
#include <QtTest>
#include <QtWidgets>
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
  FakeForm()
      : Form("frmFake", "Fake window", 4320, 2880),
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
  void initTestCase() { kestrune::SetMessageBoxService(&boxes_); }
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

  void everyControlIsAWidgetThatFollowsItsModel() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    QCOMPARE(Find<QLabel>(view, "lblValue_1")->parentWidget(), Find<QGroupBox>(view, "frmBox"));
    auto* heading = Find<QLabel>(view, "lblHeading");
    auto* field = Find<QLineEdit>(view, "txtField_1");
    auto* combo = Find<QComboBox>(view, "cmbPick");
    QVERIFY(!combo->isEditable());
    form.heading.SetCaption("New caption");
    QCOMPARE(heading->text(), QString("New caption"));
    form.field1.SetText("64°00'00.000\"N");
    QCOMPARE(field->text(), QString::fromUtf8("64°00'00.000\"N"));
    // Selection in code points: the degree sign is one character.
    form.field1.SetSelection(2, 3);
    QCOMPARE(field->selectedText(), QString::fromUtf8("°00"));
    form.heading.SetVisible(false);
    QVERIFY(heading->isHidden());
    form.button.SetEnabled(false);
    QVERIFY(!Find<QPushButton>(view, "cmdGo")->isEnabled());
    form.combo.AddItem("four");
    QCOMPARE(combo->itemText(3), QString("four"));
    form.combo.SetListIndex(1);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(heading->text(), QString("two"));  // the model's Click ran

    form.heading.SetFont(kestrune::FontSpec{13.5, true, true, 0xC00000});
    QCOMPARE(heading->font().pointSizeF(), 13.5);
    QVERIFY(heading->font().bold() && heading->font().italic());
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

  void typingReachesTheModelWithoutAnEcho() {
    FakeForm form;
    FormView view(form, {}, 96.0);
    ShowActive(view);
    auto* field = Find<QLineEdit>(view, "txtField_1");
    field->setFocus();
    field->setCursorPosition(2);  // no echo: the cursor stays where the user typed
    QTest::keyClicks(field, "X");
    QCOMPARE(form.field1.Text(), std::string("alXpha"));
    QCOMPARE(field->cursorPosition(), 3);
  }

  void escapeAnswersCancel() {
    BoxAnswerer answerer;
    answerer.whileOpen = [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); };
    const auto r = kestrune::MsgBox("Question", kestrune::MsgButtons::YesNoCancel, "Title");
    QCOMPARE(int(r), int(kestrune::MsgResult::Cancel));
    QCOMPARE(answerer.seen.at(0).title, QString("Title"));
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

    // Tab through the real windows' order: app_keyboard_tests. A click into
    // the middle of another field selects its whole text too.
    form.log.clear();
    const QPoint middle(field1->width() / 2, field1->height() / 2);
    QTest::mouseClick(field1, Qt::LeftButton, {}, middle);
    QCOMPARE(QApplication::focusWidget(), field1);
    QCOMPARE(form.log, (std::vector<std::string>{"lost txtField_2", "got txtField_1"}));
    QCOMPARE(field1->selectedText(), QString("alpha"));
    // A second click in the field that has the focus places the cursor.
    QTest::mouseClick(field1, Qt::LeftButton, {}, middle);
    QCOMPARE(field1->selectedText(), QString());
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
};

QTEST_MAIN(BindingTest)
#include "app_binding_tests.moc"
