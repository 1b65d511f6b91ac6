// The chain setup dialog: the number of LOPs and, for each LOP, its master
// and secondary station. ACCEPT checks the rows, stores the choice in
// NoOfLops and LopTable, closes the dialog and hands over to the calculation
// window through OpenCalculationWindow.
#pragma once

#include <functional>
#include <vector>

#include "platform/controls.hpp"

namespace kestrune {

class Frm_LoranSetup : public Form {
 public:
  Frm_LoranSetup();

  // Controls, in the order they are laid out. Rectangles are in twips.
  Label& Label2;
  ControlArray<Label> lblLops;          // member 1 only
  ComboBox& cmbNoOfLops;                // "2" to "6"
  ControlArray<Label> Label3;           // member 1 only
  ControlArray<ComboBox> cmbMaster;     // rows 1 to 7: the four masters
  ControlArray<ComboBox> cmbSecondary;  // rows 1 to 7: the eleven secondaries
  Label& Label9;
  CommandButton& cmdAccept;

  // Focus order: first row, the count, ACCEPT, then the remaining rows.
  std::vector<Control*> TabOrder() const override;

  // Event handlers. Form_Load builds the station catalogue, fills the lists
  // and reads the setup file from the current directory.
  void Form_Load();
  void cmbNoOfLops_Click();
  void cmdAccept_Click();
  // index: row 1 to 7. Entering or leaving a master list changes nothing.
  void cmbMaster_GotFocus(int index);
  void cmbMaster_LostFocus(int index);

  // Called by a successful ACCEPT after the dialog has closed: open the
  // calculation window (not modal).
  std::function<void()> OpenCalculationWindow;

 private:
  ControlArray<ComboBox> MakeRowLists(const char* name, int left);
};

}  // namespace kestrune
