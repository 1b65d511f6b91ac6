#include "app/qt_message_box.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace kestrune::app {

QString ShortenLongLines(const QString& text) {
  // Only text the user typed or a file held makes a line this long, and the
  // program's own words stand at its start or its end; the middle goes, so
  // the box fits the screen and still says what is wrong.
  constexpr int kLongest = 120;
  constexpr int kHead = 50;
  constexpr int kTail = 60;
  QStringList lines = text.split('\n');
  for (QString& line : lines) {
    if (line.size() <= kLongest) continue;
    // Cut between characters, not inside a surrogate pair.
    const int head = line.at(kHead - 1).isHighSurrogate() ? kHead + 1 : kHead;
    const int tail = line.at(line.size() - kTail).isLowSurrogate() ? kTail - 1 : kTail;
    line = line.left(head) + QChar(0x2026) + line.right(tail);
  }
  return lines.join('\n');
}

MsgResult QtMessageBoxService::Show(const std::string& text, MsgButtons buttons,
                                    const std::string& title) {
  // The window that was active gets the activation back when the box closes,
  // so its focused control carries on with the focus.
  QPointer<QWidget> previous = QApplication::activeWindow();
  QMessageBox box(previous);
  box.setObjectName("kestruneMessageBox");
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(QString::fromStdString(title.empty() ? std::string(kAppTitle) : title));
  box.setTextFormat(Qt::PlainText);
  box.setText(ShortenLongLines(QString::fromStdString(text)));
  box.setWindowModality(Qt::ApplicationModal);
  if (buttons == MsgButtons::YesNoCancel) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
  }
  box.exec();
  if (previous != nullptr && previous->isVisible() && QApplication::activeWindow() != previous) {
    previous->activateWindow();
  }
  QAbstractButton* pressed = box.clickedButton();
  switch (pressed != nullptr ? box.standardButton(pressed) : QMessageBox::NoButton) {
    case QMessageBox::Yes:
      return MsgResult::Yes;
    case QMessageBox::No:
      return MsgResult::No;
    case QMessageBox::Ok:
      return MsgResult::Ok;
    default:
      return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
  }
}

}  // namespace kestrune::app
