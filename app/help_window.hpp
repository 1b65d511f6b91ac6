// The program's help: a short text on what each window does, how a position
// is typed and what the messages mean, with an About box for the version,
// the licence and the sources of the data shipped.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace kestrune::app {

// The version of the program, as its build names it ("2.0").
const char* ProgramVersion();

// The About box's text (rich text): what the program has and the data it ships.
QString AboutText();

class HelpWindow : public QWidget {
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Opens the About box, modal to the help window.
  void ShowAbout();

 private:
  QTextBrowser* text_;
};

}  // namespace kestrune::app
