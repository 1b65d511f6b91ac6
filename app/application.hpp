// Program start: the Qt application that realises the windows of the models.
#pragma once

#include <memory>
#include <vector>

#include "app/chart_window.hpp"
#include "app/form_view.hpp"
#include "calc_window/session.hpp"

class QAction;
class QLocale;

namespace kestrune::app {

class HelpWindow;

// Runs the program: answers --help and --version without a window, or
// creates the QApplication, opens the setup dialog and runs the event loop.
// Without a display it says so in one line and returns 1. Returns the
// process exit code.
int Run(int argc, char** argv);

// The decimal separator that number patterns write for `locale`: ',' when the
// locale writes a decimal comma, '.' otherwise.
char DecimalSeparatorOf(const QLocale& locale);

// Takes the user's decimal separator from the system locale (LC_ALL,
// LC_NUMERIC, LANG) for the models, and keeps the C library's own number
// conversions in the "C" form that the models' parsing expects. Call once,
// after the QApplication is created.
void AdoptSystemLocale();

// One run of the program in Qt: a Session whose windows are FormViews. A
// QApplication and a message-box service must exist before Start().
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Creates the session and opens the setup dialog.
  void Start();

  Session& GetSession() const { return *session_; }
  // The window of `form`, or nullptr when it has not been opened.
  FormView* View(const Form& form) const;
  // The program has been told to end; every window is hidden.
  bool Ended() const { return ended_; }
  // The help window, once F1 has opened it (nullptr before).
  HelpWindow* Help() const { return help_.get(); }
  void ShowHelp();
  // The chart window, or nullptr before the first Chart of the run.
  ChartWindow* Chart() const { return chart_.get(); }

 private:
  void Open(Form& form);
  // The window's commands: F1 for help in every window, and in the
  // calculation window the copy of the results and the names of its cells.
  void AddActions(FormView& view);
  // The ASF setting in the calculation window's right-click menu.
  void AddAsfActions(FormView& view, Frm_PosTDCalc& calc);
  void Hide(Form& form);
  void FrameClosed(Form& form);
  void End();
  // Chart (the button or Ctrl+K in the calculation window): the chart
  // window, created at the first request, comes to the front.
  void ShowChart(Frm_PosTDCalc& calc);

  std::unique_ptr<Session> session_;
  std::vector<std::unique_ptr<FormView>> views_;  // destroyed before the session
  std::vector<std::unique_ptr<QAction>> actions_;
  std::unique_ptr<HelpWindow> help_;
  std::unique_ptr<ChartWindow> chart_;  // likewise
  bool ended_ = false;
};

}  // namespace kestrune::app
