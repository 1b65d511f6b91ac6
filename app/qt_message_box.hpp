// The message boxes of the program as real, modal Qt message boxes.
#pragma once

#include <QString>

#include "platform/message_box.hpp"

namespace kestrune::app {

// `text` with every line longer than 120 characters cut to its first 50 and
// last 60 characters around an ellipsis: the text a box shows.
QString ShortenLongLines(const QString& text);

// Shows each box as a QMessageBox without an icon and waits until it is
// closed. Escape or the window frame answer Cancel in a Yes/No/Cancel box.
class QtMessageBoxService : public MessageBoxService {
 public:
  MsgResult Show(const std::string& text, MsgButtons buttons, const std::string& title) override;
};

}  // namespace kestrune::app
