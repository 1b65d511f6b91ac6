// One run of the program as the front end drives it: the setup dialog opens
// at start; a successful ACCEPT closes it and opens the calculation window;
// EXIT (Yes or No) or closing a window through its frame ends the run. The
// models never end the process: they ask the front end through onEndRequested.
#pragma once

#include <functional>
#include <memory>

#include "chain_setup/setup.hpp"
#include "loran/catalogue.hpp"
#include "platform/controls.hpp"

namespace kestrune {

class Frm_LoranSetup;
class Frm_PosTDCalc;

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The front end's hooks, set before Start().
  std::function<void(Form&)> onFormOpened;  // show the window, not modal
  std::function<void(Form&)> onFormClosed;  // hide the window (the model stays alive)
  std::function<void()> onEndRequested;     // end the program: close every window at once

  // Creates the setup dialog over a fresh setup and runs its Form_Load
  // (lists, setup file), then reports it through onFormOpened.
  void Start();

  // The open windows: the setup dialog until ACCEPT, the calculation window
  // from then on (nullptr when not open).
  Frm_LoranSetup* SetupDialog() const;
  Frm_PosTDCalc* CalcWindow() const;

  // The user closed `form` through its frame: the program ends without the
  // save question and without writing the setup file.
  void CloseByFrame(Form& form);

  bool EndRequested() const { return end_requested_; }

  // The setup both windows share, and the chains they offer.
  SetupState& SharedSetup() { return setup_; }
  const loran::Catalogue& StationCatalogue() const { return catalogue_; }

 private:
  void OpenCalcWindow();
  // Every window opens the same way: its closing is passed on to the front
  // end, its load handler runs as an event, then the front end shows it.
  void Open(Form& form, const std::function<void()>& load);
  void RequestEnd();

  SetupState setup_;
  const loran::Catalogue& catalogue_;

  std::unique_ptr<Frm_LoranSetup> setup_dialog_;
  std::unique_ptr<Frm_PosTDCalc> calc_;
  bool end_requested_ = false;
};

}  // namespace kestrune
