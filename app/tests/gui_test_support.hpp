// Helpers for the Qt tests: answering the modal message boxes the way a user
// would, by pressing a button of the box that is open; the worked example
// set up through the window models.
#pragma once

#include <QtWidgets>
#include <deque>
#include <functional>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/frm_loransetup.hpp"

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

// Three LOPs of chain 9007 (W, X and Y) picked in the dialog and accepted.
inline void AcceptWorkedLops(Frm_LoranSetup& setup) {
  setup.cmbNoOfLops.SetListIndex(1);
  for (int i = 1; i <= 3; ++i) {
    setup.cmbMaster(i).SetListIndex(0);
    setup.cmbSecondary(i).SetListIndex(i - 1);
  }
  setup.cmdAccept.DoClick();
}

// The TDs of 64°N 4°E, solved from 63°30'N 3°E.
inline void SolveWorkedExample(Frm_PosTDCalc& calc) {
  calc.txtEstLat.SetText("64 0 0N");
  calc.txtEstLon.SetText("4 0 0E");
  calc.cmdCalcTD.DoClick();
  calc.cmdCopyTD.DoClick();
  calc.txtEstLat.SetText("63 30 0N");
  calc.txtEstLon.SetText("3 0 0E");
  calc.cmdCalc.DoClick();
}

}  // namespace kestrune::app::testing
