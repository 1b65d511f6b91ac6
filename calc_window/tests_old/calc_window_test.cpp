// The calculation window as a model: its controls, what its load handler
// shows, the copy button, and the focus behaviour of the input fields.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/tests/test_support.hpp"
#include "chain_setup/global_module.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace kestrune {
namespace {

using Global_Module::LopTable;
using Global_Module::NoOfLops;

const char* const kComboColumns[] = {"lblLop", "lblLat",  "lblLon",  "lblDN",
                                     "lblDE",  "lblIter", "lblGdop", "lblCut"};

class CalcWindowTest : public testing_support::ModelTest {
 protected:
  CalcWindowTest() { Global_Module::BuildStationCatalogue(); }

  // LOPs (master, secondary) with weight 1, as a setup without file leaves them.
  void Choose(const std::vector<std::pair<int, int>>& lops) {
    NoOfLops = static_cast<std::int16_t>(lops.size());
    for (std::size_t i = 0; i < lops.size(); ++i) {
      auto& r = LopTable(static_cast<int>(i + 1));
      r.MasterIndex = static_cast<std::int16_t>(lops[i].first);
      r.SecondaryIndex = static_cast<std::int16_t>(lops[i].second);
      r.Weight = 1.0f;
    }
  }
  Frm_PosTDCalc& Load() {
    RunEventHandler([this] { w_.Form_Load(); });
    return w_;
  }
  Frm_PosTDCalc w_;
};

TEST_F(CalcWindowTest, ControlsHaveTheirInitialCaptionsAndPlaces) {
  Frm_PosTDCalc& w = w_;
  EXPECT_EQ(w.Name(), "Frm_PosTDCalc");
  EXPECT_EQ(w.Caption(), "   KESTRUNE    Loran C   TD and Position calculations");
  struct Expected {
    const char* object;
    TwipsRect rect;
    const char* container;  // nullptr: the window
  };
  const Expected places[] = {
      {"txtEstLat", {1560, 120, 1575, 375}, nullptr},
      {"txtEstLon", {1560, 480, 1575, 375}, nullptr},
      {"lblMaster_1", {0, 1320, 1320, 240}, nullptr},
      {"lblSlave_3", {1320, 1800, 960, 240}, nullptr},
      {"txtTD_7", {2280, 2760, 1100, 285}, nullptr},
      {"txtWeight_2", {3360, 1560, 495, 285}, nullptr},
      {"cmdCalcTD", {480, 3120, 1095, 495}, nullptr},
      {"cmdCopyTD", {2280, 3120, 1335, 735}, nullptr},
      {"frmLsqrPos", {120, 4320, 3735, 2295}, nullptr},
      {"cmdCalc", {240, 7080, 1455, 495}, nullptr},
      {"cmdExit", {2400, 7080, 1215, 495}, nullptr},
      {"Frame1", {3960, 0, 5775, 4935}, nullptr},
      {"Frame2", {3960, 4920, 5775, 3375}, nullptr},
      {"Label1_0", {120, 480, 1455, 240}, "Frame1"},
      {"Label2_4", {1600, 1440, 975, 240}, "Frame1"},
      {"Label3_5", {2600, 1920, 615, 240}, "Frame1"},
      {"Label4_7", {3240, 2400, 975, 240}, "Frame1"},
      {"Label5_8", {4230, 2880, 495, 240}, "Frame1"},
      {"lblGradient_10", {4740, 3360, 975, 240}, "Frame1"},
      {"Label1_11", {120, 3840, 1455, 240}, "Frame1"},
      {"Label1_14", {120, 4560, 1455, 240}, "Frame1"},
      {"lblLop_1", {120, 600, 495, 240}, "Frame2"},
      {"lblCut_10", {5250, 2760, 480, 240}, "Frame2"},
  };
  for (const Expected& e : places) {
    const Control* c = w.Find(e.object);
    ASSERT_NE(c, nullptr) << e.object;
    EXPECT_EQ(c->Rect(), e.rect) << e.object;
    if (e.container == nullptr) {
      EXPECT_EQ(c->Container(), nullptr) << e.object;
    } else {
      ASSERT_NE(c->Container(), nullptr) << e.object;
      EXPECT_EQ(c->Container()->ObjectName(), e.container) << e.object;
    }
  }
  for (const char* name : {"lblLsqrLat", "lblLsqrLon", "lblLsqrIter", "lblLsqrGDOP", "Label7",
                           "lblResiduals_0", "lblResiduals_7"}) {
    EXPECT_EQ(w.Find(name)->Container(), &w.frmLsqrPos) << name;
  }
  for (const char* name : {"lblMean", "lblMeanLat", "lblMeanDE", "dum_7", "lblDN_0"}) {
    EXPECT_EQ(w.Find(name)->Container(), &w.Frame2) << name;
  }

  const std::pair<const char*, const char*> captions[] = {
      {"lblLopNo", "Lop"},
      {"lblMaster_0", "Chain Master"},
      {"lblMaster_3", "Master"},
      {"lblSlave_0", "-Sec"},
      {"lblSlave_1", "Slave"},
      {"dum_0", "OBSERVED TD's"},
      {"Label6", "Weights   (0-1)"},
      {"dum_6", "Position Estimate"},
      {"dum_1", "Chain 9007"},
      {"dum_9", "Chain 7001"},
      {"dum_10", "Chain 7499"},
      {"dum_11", "Chain 6731"},
      {"dum_2", "Dist (m)"},
      {"dum_3", "Az (deg)"},
      {"dum_4", "TD (usec)"},
      {"dum_5", "Hyperb       Az"},
      {"dum_8", "Gradient (m/usec)"},
      {"dum_7", "Dev from lsqr sol"},
      {"Label1_3", "Label1"},
      {"Label2_3", "Label2"},
      {"Label3_3", "Label3"},
      {"Label4_3", "Labe4"},
      {"Label5_3", "Label5"},
      {"lblGradient_3", "lblGrad"},
      {"lblLsqrLat", "pos1"},
      {"lblLsqrLon", "pos1"},
      {"lblLsqrIter", "Iterations"},
      {"lblLsqrGDOP", "GDOP"},
      {"Label7", "Lop   usec        m"},
      {"lblResiduals_0", "Residuals    "},
      {"lblResiduals_2", "Residuals"},
      {"lblLop_0", "LOP's"},
      {"lblLat_0", "Latitude"},
      {"lblLon_0", "Longitude"},
      {"lblDN_0", "dN"},
      {"lblDE_0", "dE"},
      {"lblIter_0", "Iterations"},
      {"lblGdop_0", "GDOP"},
      {"lblCut_0", "Angle Of Cut"},
      {"lblLop_5", "LopNo"},
      {"lblLat_5", "Lat"},
      {"lblLon_5", "Lon"},
      {"lblDN_5", "dN"},
      {"lblDE_5", "dE"},
      {"lblIter_5", "i"},
      {"lblGdop_5", "gdop"},
      {"lblCut_5", "deg"},
      {"lblMean", "Mean"},
      {"lblMeanLat", "Lat"},
      {"lblMeanLon", "Lon"},
      {"lblMeanDN", "dN"},
      {"lblMeanDE", "dE"},
  };
  for (const auto& [name, caption] : captions) {
    const Label* l = w.FindAs<Label>(name);
    ASSERT_NE(l, nullptr) << name;
    EXPECT_EQ(l->Caption(), caption) << name;
  }
  EXPECT_EQ(w.FindAs<Frame>("Frame1")->Caption(), "Calculated from Position Estimate");
  EXPECT_EQ(w.FindAs<Frame>("frmLsqrPos")->Caption(), "Least Square Position Solution");
  EXPECT_EQ(w.FindAs<Frame>("Frame2")->Caption(), "Position Solutions (2 way fix in all comb.)");
  EXPECT_EQ(w.txtEstLat.Text(), "Text1");
  EXPECT_EQ(w.txtEstLon.Text(), "Text2");
  EXPECT_EQ(w.txtTD(4).Text(), "Text3");
  EXPECT_EQ(w.txtWeight(4).Text(), "1");
  EXPECT_EQ(w.cmdCalcTD.Caption(), "CALC TD est");
  EXPECT_EQ(w.cmdCopyTD.Caption(), "Copy TD estimates to Observed TD");
  EXPECT_EQ(w.cmdCalc.Caption(), "CALC Pos Solutions");
  EXPECT_EQ(w.cmdExit.Caption(), "EXIT");

  // Rows not yet in use are hidden; the first TD and weight fields are not.
  for (int i = 1; i <= 7; ++i) {
    EXPECT_FALSE(w.lblMaster(i).Visible());
    EXPECT_FALSE(w.lblSlave(i).Visible());
    EXPECT_FALSE(w.lblResiduals(i).Visible());
    EXPECT_EQ(w.txtTD(i).Visible(), i == 1);
    EXPECT_EQ(w.txtWeight(i).Visible(), i == 1);
  }
  for (int k = 1; k <= 10; ++k) {
    for (const char* column : kComboColumns) {
      EXPECT_FALSE(w.Find(std::string(column) + "_" + std::to_string(k))->Visible());
    }
  }
  EXPECT_TRUE(w.lblMeanLat.Visible());
  EXPECT_EQ(w.Find("lblLop_11"), nullptr);
}

TEST_F(CalcWindowTest, LoadShowsTheRowsInUseAndTheStoredInputs) {
  const struct {
    std::vector<std::pair<int, int>> lops;
    int rows;  // combination rows shown
  } cases[] = {
      {{{0, 1}, {11, 14}}, 1},
      {{{0, 1}, {0, 2}, {0, 3}, {5, 7}, {8, 9}}, 10},
      {{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {5, 6}, {11, 13}}, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lops.size());
    Global_Module::ResetGlobals();
    Global_Module::BuildStationCatalogue();
    Choose(c.lops);
    Frm_PosTDCalc w;
    RunEventHandler([&w] { w.Form_Load(); });
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(w.Caption(), "   KESTRUNE    Loran C   TD and Position calculations" +
                               std::string(40, ' ') + "Version : 2.0 Feb 2004");
    const int n = static_cast<int>(c.lops.size());
    for (int i = 1; i <= 7; ++i) {
      EXPECT_EQ(w.lblMaster(i).Visible(), i <= n) << i;
      EXPECT_EQ(w.lblSlave(i).Visible(), i <= n) << i;
      EXPECT_EQ(w.txtTD(i).Visible(), i <= n) << i;
      EXPECT_EQ(w.txtWeight(i).Visible(), i <= n) << i;
      EXPECT_EQ(w.lblResiduals(i).Visible(), i <= n) << i;
    }
    for (int k = 1; k <= 10; ++k) {
      for (const char* column : kComboColumns) {
        EXPECT_EQ(w.Find(std::string(column) + "_" + std::to_string(k))->Visible(), k <= c.rows)
            << column << k;
      }
    }
    EXPECT_EQ(w.lblMaster(1).Caption(), " 1   9007 Ejde");
    EXPECT_EQ(w.lblSlave(1).Caption(), "-Jan Mayen");
    EXPECT_EQ(w.Label1(0).Caption(), "M  Ejde");
    EXPECT_EQ(w.Label1(9).Caption(), "X  Lessay");
    EXPECT_EQ(w.Label2(9).Caption(), "Label2") << "nothing is computed at load";
    EXPECT_EQ(w.txtEstLat.Text(), "00°00'00.000\"N");
    EXPECT_EQ(w.txtEstLon.Text(), "000°00'00.000\"E");
    EXPECT_EQ(w.txtTD(2).Text(), "0.000");
    EXPECT_EQ(w.txtWeight(2).Text(), "1");
  }
  EXPECT_EQ(w_.lblMaster(2).Caption(), "Master");
}

TEST_F(CalcWindowTest, LoadFormatsTheSavedPositionTdsAndWeights) {
  Choose({{11, 14}, {5, 7}, {8, 10}, {0, 4}});
  Global_Module::EstLat = 62.29995472272237 * constants::kPi / 180;
  Global_Module::EstLon = -7.073910833464728 * constants::kPi / 180;
  LopTable(1).ObservedTd = 14200;
  LopTable(2).ObservedTd = 27075.1565;
  LopTable(3).ObservedTd = 0.5;
  LopTable(1).Weight = 0.0f;
  LopTable(2).Weight = 0.5f;
  LopTable(3).Weight = 1.0f;
  LopTable(4).Weight = 0.996f;
  Frm_PosTDCalc& w = Load();
  EXPECT_EQ(w.txtEstLat.Text(), "62°17'59.837\"N");
  EXPECT_EQ(w.txtEstLon.Text(), "007°04'26.079\"W");
  EXPECT_EQ(w.txtTD(1).Text(), "14200.000");
  EXPECT_EQ(w.txtTD(2).Text(), "27075.157");
  EXPECT_EQ(w.txtTD(3).Text(), "0.500");
  EXPECT_EQ(w.txtWeight(1).Text(), "0");
  EXPECT_EQ(w.txtWeight(2).Text(), "0.50");
  EXPECT_EQ(w.txtWeight(3).Text(), "1");
  EXPECT_EQ(w.txtWeight(4).Text(), "1.00");
  EXPECT_EQ(w.lblMaster(1).Caption(), " 1   6731 Lessay");
  EXPECT_EQ(w.lblSlave(1).Caption(), "-Sylt");
  EXPECT_EQ(w.lblMaster(2).Caption(), " 2   7001 Boe");
  EXPECT_EQ(w.lblSlave(4).Caption(), "-Loop Head");
}

TEST_F(CalcWindowTest, CopyBeforeAnyCalculationGivesZeros) {
  Choose({{0, 1}, {0, 2}, {0, 3}});
  Frm_PosTDCalc& w = Load();
  w.txtTD(2).SetText("123");
  w.cmdCopyTD.DoClick();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(w.txtTD(i).Text(), "0.000");
  EXPECT_EQ(LopTable(2).ObservedTd, 0.0) << "only the texts change";
  EXPECT_TRUE(Texts().empty());
}

TEST_F(CalcWindowTest, PositionFieldsSelectOnEntryAndNormaliseOnLeaving) {
  Choose({{0, 1}, {0, 2}});
  Frm_PosTDCalc& w = Load();
  w.txtEstLat.FireGotFocus();
  EXPECT_EQ(w.txtEstLat.SelStart(), 0);
  EXPECT_EQ(w.txtEstLat.SelLength(), 14) << "characters, the degree sign counting once";
  w.txtEstLon.FireGotFocus();
  EXPECT_EQ(w.txtEstLon.SelLength(), 15);

  const struct {
    bool lat;
    const char* typed;
    const char* shown;
    std::vector<std::string> messages;
  } cases[] = {
      {true, "62 17 59.837 n", "62°17'59.837\"N", {}},
      {false, "7 4 26.079 w", "007°04'26.079\"W", {}},
      {true, "", "00°00'00.000\"N", {"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {true, "91N", "90°00'00.000\"N", {"LATITUDE FORMAT ERROR. Max 90 deg allowed"}},
      {false, "abc", "000°00'00.000\"E", {"LONGITUDE FORMAT ERROR. Default, E, used"}},
      {true, "45°75'N", "46°00'00.000\"N", {"LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {true, "-", "00°00'00.000\"N", {"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {true,
       "62°17'59.837 NN",
       "62°17'59.837\"N",
       {"NN!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {true,
       "45°59'60N",
       "46°00'00.000\"N",
       {"LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed",
        "LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {true, "40000", "00°00'00.000\"N", {"LATITUDE FORMAT ERROR. "}},
      {true, "10Ø", "10°00'00.000\"N", {"LATITUDE FORMAT ERROR. Default, N, used"}},
      {true, "62 17 59,837 n", "62°17'59.837\"N", {}},
      {false, "181W", "180°00'00.000\"W", {"LONGITUDE FORMAT ERROR. Max 180 deg allowed"}},
      {false, "10V", "010°00'00.000\"W", {}},
      {false, "10ø", "010°00'00.000\"E", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Boxes().boxes.clear();
    TextBox& box = c.lat ? w.txtEstLat : w.txtEstLon;
    box.SetText(c.typed);
    box.FireLostFocus();
    EXPECT_EQ(box.Text(), c.shown);
    EXPECT_EQ(Texts(), c.messages);
  }
  EXPECT_EQ(Global_Module::EstLat, 0.0) << "the focus handlers store nothing";
}

TEST_F(CalcWindowTest, WeightRuleAndTdFields) {
  Choose({{0, 1}, {0, 2}, {0, 3}});
  Frm_PosTDCalc& w = Load();
  const std::pair<const char*, const char*> weights[] = {
      {"2", "1"},        {"1", "1"},        {"-0,3", "0"},     {"0", "0"},
      {"0,5", "0.50"},   {"0.996", "1.00"}, {"0.004", "0.00"}, {"abc", "0"},
      {"0.125", "0.13"}, {"1e400", "1"},    {"1e-50", "0.00"},
  };
  for (const auto& [typed, shown] : weights) {
    w.txtWeight(2).SetText(typed);
    w.txtWeight(2).FireGotFocus();
    EXPECT_EQ(w.txtWeight(2).SelLength(), w.txtWeight(2).TextLength()) << typed;
    w.txtWeight(2).FireLostFocus();
    EXPECT_EQ(w.txtWeight(2).Text(), shown) << typed;
  }
  SetDecimalSeparator(',');
  w.txtWeight(2).SetText("0.5");
  w.txtWeight(2).FireLostFocus();
  EXPECT_EQ(w.txtWeight(2).Text(), "0,50");
  SetDecimalSeparator('.');

  // Leaving one member checks that member only.
  w.txtWeight(1).SetText("7");
  w.txtWeight(3).SetText("7");
  w.txtWeight(1).FireLostFocus();
  w.txtWeight(2).FireGotFocus();
  EXPECT_EQ(w.txtWeight(1).Text(), "1");
  EXPECT_EQ(w.txtWeight(3).Text(), "7");

  // A TD field selects on entry and keeps its text on leaving.
  w.txtTD(3).SetText("27,5 usec");
  w.txtTD(3).FireGotFocus();
  EXPECT_EQ(w.txtTD(3).SelStart(), 0);
  EXPECT_EQ(w.txtTD(3).SelLength(), 9);
  w.txtTD(3).FireLostFocus();
  EXPECT_EQ(w.txtTD(3).Text(), "27,5 usec");
  EXPECT_TRUE(Texts().empty());
}

// A calculation reads the fields as they stand, whether or not they were
// left: the parser's messages come first, in field order, and the field text
// stays as typed.
TEST_F(CalcWindowTest, CalculationReadsThePositionFieldsAsTyped) {
  Choose({{0, 1}, {0, 2}});
  Frm_PosTDCalc& w = Load();
  const struct {
    const char* lat;
    const char* lon;
    double latDeg, lonDeg;
    std::vector<std::string> messages;
  } cases[] = {
      {"64 0 0N", "4 0 0E", 64.0, 4.0, {}},
      {"", "4 0 0E", 0.0, 4.0, {"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {"-", "4 0 0E", 0.0, 4.0, {"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {"abc", "4 0 0E", 0.0, 4.0, {"LATITUDE FORMAT ERROR. Default, N, used"}},
      {"64 0 0 NN",
       "4 0 0E",
       64.0,
       4.0,
       {"NN!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {"63°59'60N",
       "4 0 0E",
       64.0,
       4.0,
       {"LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed",
        "LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
      {"40000", "4 0 0E", 0.0, 4.0, {"LATITUDE FORMAT ERROR. "}},
      {"64 0 0,000N", "4 0 0,5E", 64.0, 4.0 + 0.5 / 3600.0, {}},
      {"64 0 0N", "4V", 64.0, -4.0, {}},
      {"64 0 0N", "4ø", 64.0, 4.0, {}},
      {"64 0 0N", "4Ø", 64.0, 4.0, {}},
      {"64 0 0N", "", 64.0, 0.0, {"!   LONGITUDE CHARACTER FORMAT ERROR. Default, E, used"}},
      {"64 0 0N", "190E", 64.0, 180.0, {"LONGITUDE FORMAT ERROR. Max 180 deg allowed"}},
      {"91N",
       "40000",
       90.0,
       0.0,
       {"LATITUDE FORMAT ERROR. Max 90 deg allowed", "LONGITUDE FORMAT ERROR. "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.lat) + " / " + c.lon);
    Boxes().boxes.clear();
    w.txtEstLat.SetText(c.lat);
    w.txtEstLon.SetText(c.lon);
    w.cmdCalcTD.DoClick();
    EXPECT_EQ(Texts(), c.messages);
    EXPECT_NEAR(Global_Module::EstLat * 180 / constants::kPi, c.latDeg, 1e-12);
    EXPECT_NEAR(Global_Module::EstLon * 180 / constants::kPi, c.lonDeg, 1e-12);
    EXPECT_EQ(w.txtEstLat.Text(), c.lat);
    EXPECT_EQ(w.txtEstLon.Text(), c.lon);
  }
}

// TDs and weights as a calculation reads them. The weight rule (0 to 1, two
// decimals) belongs to leaving the field; a calculation takes the number as
// it stands, and only a weight beyond the 32-bit range stops it.
TEST_F(CalcWindowTest, CalculationReadsTdsAndWeightsAsNumbers) {
  Choose({{0, 1}, {0, 2}});
  Frm_PosTDCalc& w = Load();
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  const struct {
    const char* td;
    double observed;
    const char* weight;
    float used;
  } cases[] = {
      {"no number", 0.0, "abc", 0.0f},   {"", 0.0, "", 0.0f},
      {"27,5", 27.5, "0,5", 0.5f},       {"27 512,3", 27512.3, "0.996", 0.996f},
      {"1e3", 1000.0, "0.004", 0.004f},  {"1,42005E4 usec", 14200.5, "2", 2.0f},
      {"1E400", DBL_MAX, "-0,3", -0.3f}, {"-1e400", -DBL_MAX, "1e-50", 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.td) + " / " + c.weight);
    w.txtTD(2).SetText(c.td);
    w.txtWeight(2).SetText(c.weight);
    w.cmdCalcTD.DoClick();
    EXPECT_TRUE(Texts().empty());
    EXPECT_DOUBLE_EQ(LopTable(2).ObservedTd, c.observed);
    EXPECT_EQ(LopTable(2).Weight, c.used);
    EXPECT_EQ(w.txtTD(2).Text(), c.td);
    EXPECT_EQ(w.txtWeight(2).Text(), c.weight);
  }
}

}  // namespace
}  // namespace kestrune
