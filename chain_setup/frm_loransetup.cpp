#include "chain_setup/frm_loransetup.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "chain_setup/setup_file.hpp"
#include "platform/message_box.hpp"
#include "util/numeric_text.hpp"

namespace kestrune {

namespace {

constexpr int kRows = kMaxLops;  // rows 1 to 7
constexpr int kRowTop = 1440;    // twips, top of row 1
constexpr int kRowPitch = 240;   // twips between rows

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
  return static_cast<std::int16_t>(text::ReadLenientNumber(text));
}

// A station's list entry: " 9007 M Ejde".
std::string EntryText(const loran::Station& st) {
  return " " + std::to_string(st.gri) + " " + st.designator + " " + st.name;
}

}  // namespace

Frm_LoranSetup::Frm_LoranSetup(SetupState& setup, const loran::Catalogue& catalogue)
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
      cmdAccept(
          Add<CommandButton>("cmdAccept", -1, TwipsRect{1560, 3480, 1215, 495}, nullptr, "ACCEPT")),
      setup_(setup),
      catalogue_(catalogue),
      secondaries_(catalogue.Secondaries()) {
  Label2.SetFont(FontSpec{13.5, false, false, 0x000000});
  Label9.SetFont(FontSpec{8.25, true, true, 0xC00000});

  cmbNoOfLops.Click = [this] { cmbNoOfLops_Click(); };
  cmdAccept.Click = [this] { cmdAccept_Click(); };
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
  for (int i = 1; i <= kRows; ++i) {
    for (const loran::Chain& chain : catalogue_.Chains()) {
      cmbMaster(i).AddItem(EntryText(catalogue_.At(chain.master)));
    }
    for (std::int16_t s : secondaries_) cmbSecondary(i).AddItem(EntryText(catalogue_.At(s)));
    if (i >= kMinDialogLops && i <= kMaxDialogLops) cmbNoOfLops.AddItem(std::to_string(i));
  }

  const SetupFileRead read = ReadSetupFile(kSetupFileName, catalogue_, setup_);
  if (read.status != SetupFileRead::Status::Loaded) {
    if (!read.message.empty()) MsgBox(read.message);
    ApplyDefaults();
    return;
  }
  setup_ = read.setup;
  cmbNoOfLops.SetListIndex(setup_.NoOfLops - kMinDialogLops);
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    const LopRecord& r = setup_.LopTable(i);
    cmbMaster(i).SetListIndex(catalogue_.ChainOf(r.MasterIndex));
    const auto p = std::find(secondaries_.begin(), secondaries_.end(), r.SecondaryIndex);
    cmbSecondary(i).SetListIndex(static_cast<int>(p - secondaries_.begin()));
  }
}

void Frm_LoranSetup::ApplyDefaults() {
  cmbNoOfLops.SetListIndex(3 - kMinDialogLops);  // three LOPs
  for (int i = 1; i <= kMaxLops; ++i) setup_.LopTable(i).Weight = 1.0f;
}

void Frm_LoranSetup::cmbNoOfLops_Click() {
  const int n = EntryNumber(cmbNoOfLops.Text());
  for (int i = 1; i <= kRows; ++i) {
    cmbMaster(i).SetVisible(i <= n);
    cmbSecondary(i).SetVisible(i <= n);
  }
}

void Frm_LoranSetup::cmdAccept_Click() {
  setup_.NoOfLops = EntryNumber(cmbNoOfLops.Text());
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    if (cmbMaster(i).ListIndex() < 0) {
      MsgBox("Loran master" + RowText(i) + " not defined");
      return;
    }
    if (cmbSecondary(i).ListIndex() < 0) {
      MsgBox("Loran secondary" + RowText(i) + " not defined");
      return;
    }
    const int k = cmbMaster(i).ListIndex();
    const std::int16_t s = secondaries_.at(static_cast<std::size_t>(cmbSecondary(i).ListIndex()));
    LopRecord& lop = setup_.LopTable(i);
    lop.MasterIndex = catalogue_.Chains().at(static_cast<std::size_t>(k)).master;
    if (catalogue_.ChainOf(s) != k) {
      MsgBox("Loran secondary" + RowText(i) + " not in corresponding chain to selected master");
      return;
    }
    lop.SecondaryIndex = s;
  }
  Close();
  if (OpenCalculationWindow) OpenCalculationWindow();
}

}  // namespace kestrune
