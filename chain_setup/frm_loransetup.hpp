// The chain setup dialog: the number of LOPs and, for each LOP, its master
// and secondary station. ACCEPT checks the rows, stores the choice in the
// shared setup (NoOfLops and the LOP table), closes the dialog and hands over
// to the calculation window through OpenCalculationWindow.
#pragma once

#include <functional>
#include <vector>

#include "chain_setup/setup.hpp"
#include "loran/catalogue.hpp"
#include "platform/controls.hpp"

namespace kestrune {

class Frm_LoranSetup : public Form {
 public:
  // setup: the run's shared setup, which the file fills at load and ACCEPT
  // completes; catalogue: the chains offered. Both outlive the dialog.
  Frm_LoranSetup(SetupState& setup, const loran::Catalogue& catalogue);

  // Controls, in the order they are laid out. Rectangles are in twips.
  Label& Label2;
  ControlArray<Label> lblLops;          // member 1 only
  ComboBox& cmbNoOfLops;                // "2" to "6"
  ControlArray<Label> Label3;           // member 1 only
  ControlArray<ComboBox> cmbMaster;     // rows 1 to 7: the masters, in chain order
  ControlArray<ComboBox> cmbSecondary;  // rows 1 to 7: every secondary, in station order
  Label& Label9;
  CommandButton& cmdAccept;

  // Focus order: first row, the count, ACCEPT, then the remaining rows.
  std::vector<Control*> TabOrder() const override;

  // Event handlers. Form_Load fills the lists and reads the setup file from
  // the current directory.
  void Form_Load();
  void cmbNoOfLops_Click();
  void cmdAccept_Click();

  // Called by a successful ACCEPT after the dialog has closed: open the
  // calculation window (not modal).
  std::function<void()> OpenCalculationWindow;

 private:
  ControlArray<ComboBox> MakeRowLists(const char* name, int left);
  void ApplyDefaults();

  SetupState& setup_;
  const loran::Catalogue& catalogue_;
  std::vector<std::int16_t> secondaries_;  // station index by secondary list position
};

}  // namespace kestrune
