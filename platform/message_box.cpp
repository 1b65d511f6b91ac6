#include "platform/message_box.hpp"

namespace kestrune {

namespace {
ScriptedMessageBoxService& BuiltIn() {
  static ScriptedMessageBoxService service;
  return service;
}
MessageBoxService* g_service = nullptr;
}  // namespace

void SetMessageBoxService(MessageBoxService* service) {
  g_service = service;
}

MessageBoxService& CurrentMessageBoxService() {
  return g_service ? *g_service : BuiltIn();
}

MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& title) {
  return CurrentMessageBoxService().Show(text, buttons, title.empty() ? kAppTitle : title);
}

MsgResult ScriptedMessageBoxService::Show(const std::string& text, MsgButtons buttons,
                                          const std::string& title) {
  boxes.push_back({text, title, buttons});
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  if (answers.empty()) return MsgResult::Cancel;
  MsgResult r = answers.front();
  answers.pop_front();
  return r;
}

std::vector<std::string> ScriptedMessageBoxService::Texts() const {
  std::vector<std::string> out;
  for (const auto& b : boxes) out.push_back(b.text);
  return out;
}

ScopedScriptedMessageBoxes::ScopedScriptedMessageBoxes() : previous_(g_service) {
  g_service = &service_;
}
ScopedScriptedMessageBoxes::~ScopedScriptedMessageBoxes() {
  g_service = previous_;
}

}  // namespace kestrune
