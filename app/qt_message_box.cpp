#include "app/qt_message_box.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>

namespace kestrune::app {

namespace {

// `text` without its middle: the first `head` and last `tail` characters
// around an ellipsis, cut between characters rather than inside a surrogate
// pair.
QString CutMiddle(const QString& text, int head, int tail) {
  if (text.at(head - 1).isHighSurrogate()) ++head;
  if (text.at(text.size() - tail).isLowSurrogate()) --tail;
  return text.left(head) + QChar(0x2026) + text.right(tail);
}

}  // namespace

QString ShortenLongLines(const QString& text) {
  // Only text the user typed or a file held makes a word or a line this
  // long, and the program's own words stand around it; the middle of the
  // long word, and then of the long line, goes, so the box fits the screen
  // and still says what is wrong.
  constexpr int kLongestWord = 40;
  constexpr int kWordEnd = 15;
  constexpr int kLongestLine = 120;
  constexpr int kLineHead = 50;
  constexpr int kLineTail = 60;
  static const QRegularExpression kLongWord(QString("\\S{%1,}").arg(kLongestWord + 1));
  QStringList lines = text.split('\n');
  for (QString& line : lines) {
    QString shorter;
    int from = 0;
    for (auto it = kLongWord.globalMatch(line); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      shorter +=
          line.mid(from, m.capturedStart() - from) + CutMiddle(m.captured(), kWordEnd, kWordEnd);
      from = m.capturedEnd();
    }
    line = shorter + line.mid(from);
    if (line.size() > kLongestLine) line = CutMiddle(line, kLineHead, kLineTail);
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
