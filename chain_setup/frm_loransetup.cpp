#include "chain_setup/frm_loransetup.hpp"

#include <cstdint>
#include <string>

#include "chain_setup/global_module.hpp"
#include "chain_setup/setup_file.hpp"
#include "platform/message_box.hpp"
#include "util/utility_module.hpp"

namespace kestrune {

namespace {

constexpr int kRows = Global_Module::kMaxLops;  // rows 1 to 7
constexpr int kRowTop = 1440;                   // twips, top of row 1
constexpr int kRowPitch = 240;                  // twips between rows

template <class T>
ControlArray<T> SingleMember(T& member) {
  ControlArray<T> array(1, 1);
  array.Set(1, &member);
  return array;
}

// The row number of a message: a decimal number with one blank in front.
std::string RowText(int row) {
  return " " + std::to_string(row);
}

// Numeric value of a list entry's text ("2" to "6").
std::int16_t EntryNumber(const std::string& text) {
  return static_cast<std::int16_t>(Utility_Module::ValWithComma(text));
}

}  // namespace

Frm_LoranSetup::Frm_LoranSetup()
    : Form("Frm_LoranSetup", "     KESTRUNE", 4710, 4125),
      Label2(Add<Label>("Label2", -1, TwipsRect{960, 120, 1935, 375}, nullptr, "Loran C Setup")),
      lblLops(SingleMember(
          Add<Label>("lblLops", 1, TwipsRect{1200, 720, 735, 255}, nullptr, "NoOfLops"))),
      cmbNoOfLops(Add<ComboBox>("cmbNoOfLops", -1, TwipsRect{2040, 720, 735, 315}, nullptr)),
      Label3(SingleMember(Add<Label>("Label3", 1, TwipsRect{1200, 1200, 2145, 195}, nullptr,
                                     "Master                    Secondary"))),
      cmbMaster(MakeRowLists("cmbMaster", 480)),
      cmbSecondary(MakeRowLists("cmbSecondary", 2280)),
      Label9(Add<Label>("Label9", -1, TwipsRect{360, 3120, 3975, 195}, nullptr,
                        "NB! The Loop Head station is not established")),
      cmdAccept(Add<CommandButton>("cmdAccept", -1, TwipsRect{1560, 3480, 1215, 495}, nullptr,
                                   "ACCEPT")) {
  Label2.SetFont(FontSpec{13.5, false, false, 0x000000});
  Label9.SetFont(FontSpec{8.25, true, true, 0xC00000});

  cmbNoOfLops.Click = [this] { cmbNoOfLops_Click(); };
  cmdAccept.Click = [this] { cmdAccept_Click(); };
  for (int i = 1; i <= kRows; ++i) {
    cmbMaster(i).GotFocus = [this, i] { cmbMaster_GotFocus(i); };
    cmbMaster(i).LostFocus = [this, i] { cmbMaster_LostFocus(i); };
  }
}

ControlArray<ComboBox> Frm_LoranSetup::MakeRowLists(const char* name, int left) {
  ControlArray<ComboBox> array(1, kRows);
  for (int i = 1; i <= kRows; ++i) {
    array.Set(i, &Add<ComboBox>(name, i, TwipsRect{left, kRowTop + kRowPitch * (i - 1), 1815, 315},
                                nullptr));
  }
  return array;
}

std::vector<Control*> Frm_LoranSetup::TabOrder() const {
  std::vector<Control*> order = {&cmbMaster(1), &cmbSecondary(1), &cmbNoOfLops, &cmdAccept};
  for (int i = 2; i <= kRows; ++i) order.push_back(&cmbMaster(i));
  for (int i = 2; i <= kRows; ++i) order.push_back(&cmbSecondary(i));
  return order;
}

void Frm_LoranSetup::Form_Load() {
  using namespace Global_Module;
  BuildStationCatalogue();
  for (int i = 1; i <= kRows; ++i) {
    for (std::int16_t m : kMasterIndices) cmbMaster(i).AddItem(StationEntryText(m));
    for (int s = 1; s <= 14; ++s) {
      if (s == 5 || s == 8 || s == 11) continue;  // the masters of the other chains
      cmbSecondary(i).AddItem(StationEntryText(s));
    }
    if (i > 1 && i < 7) cmbNoOfLops.AddItem(std::to_string(i));
  }
  ReadSetupFile(*this);
}

void Frm_LoranSetup::cmbNoOfLops_Click() {
  const int n = EntryNumber(cmbNoOfLops.Text());
  for (int i = 1; i <= kRows; ++i) {
    cmbMaster(i).SetVisible(i <= n);
    cmbSecondary(i).SetVisible(i <= n);
  }
}

void Frm_LoranSetup::cmdAccept_Click() {
  using namespace Global_Module;
  NoOfLops = EntryNumber(cmbNoOfLops.Text());
  for (int i = 1; i <= NoOfLops; ++i) {
    if (cmbMaster(i).ListIndex() < 0) {
      MsgBox("Loran master" + RowText(i) + " not defined");
      return;
    }
    if (cmbSecondary(i).ListIndex() < 0) {
      MsgBox("Loran secondary" + RowText(i) + " not defined");
      return;
    }
    const int k = cmbMaster(i).ListIndex();
    const int p = cmbSecondary(i).ListIndex();
    LopTable(i).MasterIndex = MasterIndexOfPosition(k);
    const std::int16_t s = SecondaryIndexOfPosition(k, p);
    if (s < 0) {
      MsgBox("Loran secondary" + RowText(i) + " not in corresponding chain to selected master");
      return;
    }
    LopTable(i).SecondaryIndex = s;
  }
  Close();
  if (OpenCalculationWindow) OpenCalculationWindow();
}

void Frm_LoranSetup::cmbMaster_GotFocus(int /*index*/) {}
void Frm_LoranSetup::cmbMaster_LostFocus(int /*index*/) {}

}  // namespace kestrune
