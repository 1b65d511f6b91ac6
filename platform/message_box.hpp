// The modal message-box service. Every message of the program goes through
// MsgBox(); the front end installs a service that shows a real box, the tests
// install a ScriptedMessageBoxService that records each box and answers from
// a queue.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace kestrune {

inline constexpr const char* kAppTitle = "Kestrune";

enum class MsgButtons { Ok, YesNoCancel };
enum class MsgResult { Ok, Yes, No, Cancel };

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows the box and returns the button pressed; returns only when the box
  // is closed (modal).
  virtual MsgResult Show(const std::string& text, MsgButtons buttons, const std::string& title) = 0;
};

// Installs the service used by MsgBox (nullptr restores the built-in one,
// which records like a ScriptedMessageBoxService with an empty queue).
void SetMessageBoxService(MessageBoxService* service);
MessageBoxService& CurrentMessageBoxService();

// text: the message; buttons: OK or Yes/No/Cancel; title: "Kestrune" unless given.
MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                 const std::string& title = kAppTitle);

// Records every box; answers Yes/No/Cancel boxes from the queue of answers
// (Cancel when the queue is empty) and OK boxes with Ok. An optional hook runs
// while a box is "open", so a test can look at the windows at that moment.
class ScriptedMessageBoxService : public MessageBoxService {
 public:
  struct Box {
    std::string text;
    std::string title;
    MsgButtons buttons;
    bool operator==(const Box&) const = default;
  };

  MsgResult Show(const std::string& text, MsgButtons buttons, const std::string& title) override;

  std::vector<Box> boxes;
  std::deque<MsgResult> answers;
  std::vector<std::string> Texts() const;
};

// Installs a ScriptedMessageBoxService for the lifetime of the object and
// restores the previous service afterwards.
class ScopedScriptedMessageBoxes {
 public:
  ScopedScriptedMessageBoxes();
  ~ScopedScriptedMessageBoxes();
  ScopedScriptedMessageBoxes(const ScopedScriptedMessageBoxes&) = delete;
  ScopedScriptedMessageBoxes& operator=(const ScopedScriptedMessageBoxes&) = delete;
  ScriptedMessageBoxService& operator*() { return service_; }
  ScriptedMessageBoxService* operator->() { return &service_; }

 private:
  ScriptedMessageBoxService service_;
  MessageBoxService* previous_;
};

}  // namespace kestrune
