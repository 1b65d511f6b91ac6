#include "calc_window/session.hpp"

#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/frm_loransetup.hpp"

namespace kestrune {

Session::Session() : catalogue_(loran::NelsCatalogue()) {}

// Closed windows stay alive until here: the front end may still be inside
// one of their handlers when they close.
Session::~Session() = default;

void Session::Start() {
  setup_ = SetupState{};
  setup_dialog_ = std::make_unique<Frm_LoranSetup>(setup_, catalogue_);
  Frm_LoranSetup& dialog = *setup_dialog_;
  dialog.OpenCalculationWindow = [this] { OpenCalcWindow(); };
  Open(dialog, [&dialog] { dialog.Form_Load(); });
}

Frm_LoranSetup* Session::SetupDialog() const {
  return setup_dialog_ && !setup_dialog_->Closed() ? setup_dialog_.get() : nullptr;
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
  calc_ = std::make_unique<Frm_PosTDCalc>(setup_, catalogue_);
  Frm_PosTDCalc& window = *calc_;
  window.EndProgram = [this] { RequestEnd(); };
  Open(window, [&window] { window.Form_Load(); });
}

void Session::Open(Form& form, const std::function<void()>& load) {
  form.Subscribe([this](Form& f, Change change) {
    if (change == Change::Closed && onFormClosed) onFormClosed(f);
  });
  RunEventHandler(load);
  if (onFormOpened) onFormOpened(form);
}

void Session::RequestEnd() {
  end_requested_ = true;
  if (onEndRequested) onEndRequested();
}

}  // namespace kestrune
