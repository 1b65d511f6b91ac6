// The message boxes of the program as real, modal Qt message boxes.
#pragma once

#include "platform/message_box.hpp"

namespace kestrune::app {

// Shows each box as a QMessageBox without an icon and waits until it is
// closed. Escape or the window frame answer Cancel in a Yes/No/Cancel box.
class QtMessageBoxService : public MessageBoxService {
 public:
  MsgResult Show(const std::string& text, MsgButtons buttons, const std::string& title) override;
};

}  // namespace kestrune::app
