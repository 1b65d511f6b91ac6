// Helpers for the Qt tests: answering the modal message boxes the way a user
// would, by pressing a button of the box that is open.
#pragma once

#include <QtWidgets>
#include <deque>
#include <functional>
#include <vector>

namespace kestrune::app::testing {

// Watches for modal message boxes and presses the next queued button in
// each. Every box seen is recorded; `whileOpen` runs while a box is open,
// before its button is pressed, and may close the box itself.
class BoxAnswerer {
 public:
  struct Seen {
    QString text;
    QString title;
  };

  BoxAnswerer() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  void Answer(QMessageBox::StandardButton button) { answers_.push_back(button); }

  std::vector<Seen> seen;
  std::function<void(QMessageBox&)> whileOpen;
  int unexpected = 0;  // boxes for which no answer was queued

  QStringList Texts() const {
    QStringList out;
    for (const auto& s : seen) out << s.text;
    return out;
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->property("kestruneAnswered").toBool()) return;
    box->setProperty("kestruneAnswered", true);
    seen.push_back({box->text(), box->windowTitle()});
    if (whileOpen) whileOpen(*box);
    if (!box->isVisible()) return;
    auto answer =
        (box->standardButtons() & QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
    if (answers_.empty()) {
      ++unexpected;  // the box is answered the way its frame would
    } else {
      answer = answers_.front();
      answers_.pop_front();
    }
    if (QAbstractButton* b = box->button(answer)) {
      b->click();
    } else {
      ++unexpected;
      box->reject();
    }
  }

  QTimer timer_;
  std::deque<QMessageBox::StandardButton> answers_;
};

}  // namespace kestrune::app::testing
