// The message boxes of the program as real, modal Qt message boxes.
#pragma once

#include <QString>

#include "platform/message_box.hpp"

namespace kestrune::app {

// `text` as a box shows it: a run of more than 40 characters without a blank
// keeps its first and last 15, and then a line longer than 120 characters its
// first 50 and last 60, around an ellipsis.
QString ShortenLongLines(const QString& text);

// Shows each box as a QMessageBox without an icon and waits until it is
// closed. Escape or the window frame answer Cancel in a Yes/No/Cancel box.
class QtMessageBoxService : public MessageBoxService {
 public:
  MsgResult Show(const std::string& text, MsgButtons buttons, const std::string& title) override;
};

}  // namespace kestrune::app
