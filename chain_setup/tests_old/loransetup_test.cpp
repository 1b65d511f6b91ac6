// The chain setup dialog as a model: its controls, the lists it fills, the
// rows it shows, and the checks of ACCEPT.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc_window/tests/test_support.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/global_module.hpp"

namespace kestrune {
namespace {

using Global_Module::LopTable;
using Global_Module::NoOfLops;

class LoranSetupTest : public testing_support::ModelTest {
 protected:
  // A loaded dialog, as at program start, in the test's empty directory.
  Frm_LoranSetup& Load() {
    RunEventHandler([this] { form_.Form_Load(); });
    return form_;
  }
  void Pick(int row, int master, int secondary) {
    form_.cmbMaster(row).SetListIndex(master);
    form_.cmbSecondary(row).SetListIndex(secondary);
  }
  Frm_LoranSetup form_;
};

TEST_F(LoranSetupTest, ControlsHaveTheirNamesCaptionsRectanglesAndFonts) {
  Frm_LoranSetup& f = form_;
  EXPECT_EQ(f.Name(), "Frm_LoranSetup");
  EXPECT_EQ(f.Caption(), "     KESTRUNE");
  EXPECT_EQ(f.ClientWidth(), 4710);
  EXPECT_EQ(f.ClientHeight(), 4125);

  struct Expected {
    const char* object;
    ControlKind kind;
    TwipsRect rect;
  };
  const Expected controls[] = {
      {"Label2", ControlKind::Label, {960, 120, 1935, 375}},
      {"lblLops_1", ControlKind::Label, {1200, 720, 735, 255}},
      {"cmbNoOfLops", ControlKind::ComboBox, {2040, 720, 735, 315}},
      {"Label3_1", ControlKind::Label, {1200, 1200, 2145, 195}},
      {"cmbMaster_1", ControlKind::ComboBox, {480, 1440, 1815, 315}},
      {"cmbMaster_7", ControlKind::ComboBox, {480, 2880, 1815, 315}},
      {"cmbSecondary_1", ControlKind::ComboBox, {2280, 1440, 1815, 315}},
      {"cmbSecondary_4", ControlKind::ComboBox, {2280, 2160, 1815, 315}},
      {"Label9", ControlKind::Label, {360, 3120, 3975, 195}},
      {"cmdAccept", ControlKind::CommandButton, {1560, 3480, 1215, 495}},
  };
  for (const Expected& e : controls) {
    const Control* c = f.Find(e.object);
    ASSERT_NE(c, nullptr) << e.object;
    EXPECT_EQ(c->Kind(), e.kind) << e.object;
    EXPECT_EQ(c->Rect(), e.rect) << e.object;
    EXPECT_EQ(c->Container(), nullptr) << e.object;
  }
  EXPECT_EQ(f.Label2.Caption(), "Loran C Setup");
  EXPECT_EQ(f.lblLops(1).Caption(), "NoOfLops");
  EXPECT_EQ(f.Label3(1).Caption(), "Master                    Secondary");
  EXPECT_EQ(f.Label9.Caption(), "NB! The Loop Head station is not established");
  EXPECT_EQ(f.cmdAccept.Caption(), "ACCEPT");
  EXPECT_EQ(f.Label2.Font(), (FontSpec{13.5, false, false, 0x000000}));
  EXPECT_EQ(f.Label9.Font(), (FontSpec{8.25, true, true, 0xC00000}));
  EXPECT_EQ(f.cmdAccept.Font(), FontSpec{});
  EXPECT_EQ(f.cmbMaster.LBound(), 1);
  EXPECT_EQ(f.cmbMaster.UBound(), 7);
  EXPECT_EQ(f.cmbSecondary.UBound(), 7);
  EXPECT_THROW(f.lblLops(0), RuntimeFault);

  std::vector<std::string> order;
  for (const Control* c : f.TabOrder()) order.push_back(c->ObjectName());
  const std::vector<std::string> expected = {
      "cmbMaster_1",    "cmbSecondary_1", "cmbNoOfLops",    "cmdAccept",
      "cmbMaster_2",    "cmbMaster_3",    "cmbMaster_4",    "cmbMaster_5",
      "cmbMaster_6",    "cmbMaster_7",    "cmbSecondary_2", "cmbSecondary_3",
      "cmbSecondary_4", "cmbSecondary_5", "cmbSecondary_6", "cmbSecondary_7"};
  EXPECT_EQ(order, expected);
}

TEST_F(LoranSetupTest, FirstStartWithoutFileSelectsThreeAndLeavesRowsEmpty) {
  Frm_LoranSetup& f = Load();
  EXPECT_TRUE(Texts().empty());
  ASSERT_EQ(f.cmbNoOfLops.ListCount(), 5);
  for (int p = 0; p < 5; ++p) EXPECT_EQ(f.cmbNoOfLops.List(p), std::to_string(p + 2));
  EXPECT_EQ(f.cmbNoOfLops.ListIndex(), 1);
  EXPECT_EQ(f.cmbNoOfLops.Text(), "3");

  const std::vector<std::string> masters = {" 9007 M Ejde", " 7001 M Boe", " 7499 M Sylt",
                                            " 6731 M Lessay"};
  const std::vector<std::string> secondaries = {
      " 9007 W Jan Mayen", " 9007 X Boe",       " 9007 Y Vaerlandet", " 9007 Z Loop Head",
      " 7001 X Jan Mayen", " 7001 Y Berlevaag", " 7499 X Lessay",     " 7499 Y Vaerlandet",
      " 6731 X Soustons",  " 6731 Y Loop Head", " 6731 Z Sylt"};
  for (int i = 1; i <= 7; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(f.cmbMaster(i).ListCount(), 4);
    ASSERT_EQ(f.cmbSecondary(i).ListCount(), 11);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(f.cmbMaster(i).List(p), masters[p]);
    for (int p = 0; p < 11; ++p) EXPECT_EQ(f.cmbSecondary(i).List(p), secondaries[p]);
    EXPECT_EQ(f.cmbMaster(i).ListIndex(), -1);
    EXPECT_EQ(f.cmbSecondary(i).ListIndex(), -1);
    EXPECT_EQ(f.cmbMaster(i).Visible(), i <= 3);
    EXPECT_EQ(f.cmbSecondary(i).Visible(), i <= 3);
    EXPECT_EQ(LopTable(i).Weight, 1.0f);
    EXPECT_EQ(LopTable(i).ObservedTd, 0.0);
  }
  EXPECT_EQ(NoOfLops, 0);
  EXPECT_EQ(Global_Module::EstLat, 0.0);
  EXPECT_EQ(Global_Module::EstLon, 0.0);
}

TEST_F(LoranSetupTest, NumberListShowsAndHidesRowsWithoutClearingThem) {
  Frm_LoranSetup& f = Load();
  Pick(4, 1, 4);
  f.cmbNoOfLops.SetListIndex(2);  // "4"
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(f.cmbMaster(i).Visible(), i <= 4) << i;
  f.cmbNoOfLops.SetListIndex(0);  // "2"
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(f.cmbSecondary(i).Visible(), i <= 2) << i;
  EXPECT_EQ(f.cmbMaster(4).ListIndex(), 1);
  EXPECT_EQ(f.cmbSecondary(4).ListIndex(), 4);
}

TEST_F(LoranSetupTest, AcceptRefusesTheFirstFaultyRow) {
  Frm_LoranSetup& f = Load();
  int opened = 0;
  f.OpenCalculationWindow = [&] { ++opened; };
  struct Case {
    std::vector<std::vector<int>> rows;  // master position, secondary position (-1 none)
    std::string message;
  };
  const Case cases[] = {
      {{}, "Loran master 1 not defined"},
      {{{0, 0}, {-1, -1}}, "Loran master 2 not defined"},
      {{{0, 0}, {1, -1}}, "Loran secondary 2 not defined"},
      {{{0, 0}, {1, 3}}, "Loran secondary 2 not in corresponding chain to selected master"},
      {{{0, 0}, {1, 4}, {2, 8}}, "Loran secondary 3 not in corresponding chain to selected master"},
      {{{3, 7}}, "Loran secondary 1 not in corresponding chain to selected master"},
      {{{0, 0}, {0, 1}, {-1, 2}}, "Loran master 3 not defined"},
  };
  for (const Case& c : cases) {
    for (int i = 1; i <= 7; ++i) Pick(i, -1, -1);
    for (std::size_t r = 0; r < c.rows.size(); ++r) {
      Pick(static_cast<int>(r + 1), c.rows[r][0], c.rows[r][1]);
    }
    Boxes().boxes.clear();
    f.cmdAccept.DoClick();
    ASSERT_EQ(Boxes().boxes.size(), 1u) << c.message;
    EXPECT_EQ(Boxes().boxes[0].text, c.message);
    EXPECT_EQ(Boxes().boxes[0].title, "Kestrune");
    EXPECT_EQ(Boxes().boxes[0].buttons, MsgButtons::Ok);
    EXPECT_FALSE(f.Closed());
    EXPECT_EQ(opened, 0);
  }
}

TEST_F(LoranSetupTest, AcceptStoresTheChoiceClosesAndThenOpensTheCalculationWindow) {
  Frm_LoranSetup& f = Load();
  f.cmbNoOfLops.SetListIndex(2);  // four LOPs
  Pick(1, 0, 0);                  // 9007 W Jan Mayen
  Pick(2, 3, 10);                 // 6731 Z Sylt
  Pick(3, 1, 5);                  // 7001 Y Berlevaag
  Pick(4, 3, 10);                 // the same pair twice is allowed
  Pick(5, 0, 9);                  // a row above the count is not examined
  bool closedFirst = false;
  f.OpenCalculationWindow = [&] { closedFirst = f.Closed(); };
  f.cmdAccept.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_TRUE(closedFirst);
  EXPECT_EQ(NoOfLops, 4);
  const int expected[][2] = {{0, 1}, {11, 14}, {5, 7}, {11, 14}, {0, 0}};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(LopTable(i).MasterIndex, expected[i - 1][0]) << i;
    EXPECT_EQ(LopTable(i).SecondaryIndex, expected[i - 1][1]) << i;
    EXPECT_EQ(LopTable(i).Weight, 1.0f) << "ACCEPT leaves the weights";
  }
}

TEST_F(LoranSetupTest, MasterFocusHandlersChangeNothing) {
  Frm_LoranSetup& f = Load();
  f.cmbMaster(2).FireGotFocus();
  f.cmbMaster(2).FireLostFocus();
  EXPECT_EQ(f.cmbMaster(2).ListIndex(), -1);
  EXPECT_TRUE(Texts().empty());
}

}  // namespace
}  // namespace kestrune
