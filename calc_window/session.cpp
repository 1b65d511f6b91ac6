#include "calc_window/session.hpp"

#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/global_module.hpp"

namespace kestrune {

Session::Session() = default;

// Closed windows stay alive until here: the front end may still be inside
// one of their handlers when they close.
Session::~Session() = default;

void Session::Start() {
  Global_Module::ResetGlobals();
  setup_ = std::make_unique<Frm_LoranSetup>();
  Frm_LoranSetup& dialog = *setup_;
  dialog.Subscribe([this](Form& form, Change change) {
    if (change == Change::Closed && onFormClosed) onFormClosed(form);
  });
  dialog.OpenCalculationWindow = [this] { OpenCalcWindow(); };
  RunEventHandler([&dialog] { dialog.Form_Load(); });
  if (onFormOpened) onFormOpened(dialog);
}

Frm_LoranSetup* Session::SetupDialog() const {
  return setup_ && !setup_->Closed() ? setup_.get() : nullptr;
}

Frm_PosTDCalc* Session::CalcWindow() const {
  return calc_ && !calc_->Closed() ? calc_.get() : nullptr;
}

void Session::CloseByFrame(Form& form) {
  form.Close();
  RequestEnd();
}

void Session::OpenCalcWindow() {
  // The window is created once per run, by the one successful ACCEPT.
  if (calc_) return;
  calc_ = std::make_unique<Frm_PosTDCalc>();
  Frm_PosTDCalc& window = *calc_;
  window.Subscribe([this](Form& form, Change change) {
    if (change == Change::Closed && onFormClosed) onFormClosed(form);
  });
  window.EndProgram = [this] { RequestEnd(); };
  RunEventHandler([&window] { window.Form_Load(); });
  if (onFormOpened) onFormOpened(window);
}

void Session::RequestEnd() {
  end_requested_ = true;
  if (onEndRequested) onEndRequested();
}

}  // namespace kestrune
