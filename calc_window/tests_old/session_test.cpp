// Whole runs of the program through the models: setup dialog, calculation
// window, the worked 64°N 4°E example, EXIT with its answers, a restart from
// the saved file, and the faults that must not end the program.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/session.hpp"
#include "calc_window/tests/test_support.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"
#include "util/utility_module.hpp"

namespace kestrune {
namespace {

using Global_Module::LopTable;
using Global_Module::NoOfLops;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr double kDeg = constants::kPi / 180;

// Records what the front end is asked to do.
class SessionTest : public testing_support::ModelTest {
 protected:
  void Begin(Session& s) {
    s.onFormOpened = [this](Form& f) { events_.push_back("open " + f.Name()); };
    s.onFormClosed = [this](Form& f) { events_.push_back("close " + f.Name()); };
    s.onEndRequested = [this] { events_.push_back("end"); };
    s.Start();
  }
  // Starts a run, picks the LOPs (master, secondary station indices) and
  // accepts; returns the calculation window.
  Frm_PosTDCalc& Open(Session& s, const std::vector<std::pair<int, int>>& lops) {
    Begin(s);
    Frm_LoranSetup* d = s.SetupDialog();
    EXPECT_NE(d, nullptr);
    d->cmbNoOfLops.SetListIndex(static_cast<int>(lops.size()) - 2);
    for (std::size_t i = 0; i < lops.size(); ++i) {
      const int row = static_cast<int>(i + 1);
      const int k = Global_Module::MasterPositionOfIndex(lops[i].first);
      d->cmbMaster(row).SetListIndex(k);
      d->cmbSecondary(row).SetListIndex(
          Global_Module::SecondaryPositionOfIndex(lops[i].first, lops[i].second));
    }
    d->cmdAccept.DoClick();
    Frm_PosTDCalc* w = s.CalcWindow();
    EXPECT_NE(w, nullptr);
    return *w;
  }
  // The TD of a LOP predicted at a position (degrees), as full-precision text.
  static std::string TdText(double latDeg, double lonDeg, int m, int s) {
    double d1, a1, t1, d2, a2, t2, td;
    RTCM_Calc_Module::CalcTD(latDeg * kDeg, lonDeg * kDeg, static_cast<std::int16_t>(m),
                             static_cast<std::int16_t>(s), d1, a1, t1, d2, a2, t2, td);
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, td);
    return std::string(buf, r.ptr);
  }
  // Signed degrees of a coordinate caption.
  double Degrees(const Label& l, const char* kind) {
    const std::size_t before = Boxes().boxes.size();
    const double v = Utility_Module::ParseLatLon(l.Caption(), kind);
    EXPECT_EQ(Boxes().boxes.size(), before) << l.Caption();
    return v;
  }

  std::vector<std::string> events_;
};

const std::vector<std::pair<int, int>> kExampleLops = {{0, 1}, {0, 2}, {0, 3}};

TEST_F(SessionTest, FirstStartOpensTheDialogAndAcceptHandsOver) {
  Session s;
  Begin(s);
  ASSERT_NE(s.SetupDialog(), nullptr);
  EXPECT_EQ(s.CalcWindow(), nullptr);
  EXPECT_EQ(events_, std::vector<std::string>{"open Frm_LoranSetup"});
  Frm_LoranSetup& d = *s.SetupDialog();
  EXPECT_EQ(d.cmbNoOfLops.Text(), "3");
  d.cmdAccept.DoClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Loran master 1 not defined"});
  EXPECT_EQ(s.SetupDialog(), &d);

  d.cmbNoOfLops.SetListIndex(0);
  d.cmbMaster(1).SetListIndex(0);
  d.cmbSecondary(1).SetListIndex(1);
  d.cmbMaster(2).SetListIndex(2);
  d.cmbSecondary(2).SetListIndex(7);
  d.cmdAccept.DoClick();
  EXPECT_EQ(Texts().size(), 1u);
  EXPECT_EQ(events_, (std::vector<std::string>{"open Frm_LoranSetup", "close Frm_LoranSetup",
                                               "open Frm_PosTDCalc"}));
  EXPECT_EQ(s.SetupDialog(), nullptr);
  EXPECT_TRUE(d.Closed()) << "the closed dialog is kept alive by the session";
  ASSERT_NE(s.CalcWindow(), nullptr);
  EXPECT_EQ(s.CalcWindow()->lblSlave(2).Caption(), "-Vaerlandet");
  EXPECT_EQ(s.CalcWindow()->lblMaster(2).Caption(), " 2   7499 Sylt");
  EXPECT_FALSE(s.EndRequested());
}

TEST_F(SessionTest, WorkedExampleTdEstimationAndCopy) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  w.txtTD(1).SetText("27,5");
  w.txtWeight(1).SetText("0,5");
  w.txtTD(2).SetText("no number");
  w.cmdCalcTD.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_DOUBLE_EQ(Global_Module::EstLat, 64 * kDeg);
  EXPECT_DOUBLE_EQ(Global_Module::EstLon, 4 * kDeg);
  EXPECT_EQ(LopTable(1).ObservedTd, 27.5);
  EXPECT_EQ(LopTable(1).Weight, 0.5f);
  EXPECT_EQ(LopTable(2).ObservedTd, 0.0);

  // Azimuths towards the stations, TDs, hyperbolic azimuths and gradients.
  const struct {
    int row;
    const char* az;
    const char* td;
    const char* hyp;
    const char* grad;
  } rows[] = {
      {0, "256.2", " ", " ", " "},
      {1, "330.5", "15373.705", "113", "248 m"},
      {2, "037.5", "28359.249", "147", "159 m"},
      {3, "172.9", "40147.515", "035", "226 m"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(w.Label3(r.row).Caption(), r.az) << r.row;
    EXPECT_EQ(w.Label4(r.row).Caption(), r.td) << r.row;
    EXPECT_EQ(w.Label5(r.row).Caption(), r.hyp) << r.row;
    EXPECT_EQ(w.lblGradient(r.row).Caption(), r.grad) << r.row;
  }
  for (int j : {5, 8, 11}) {
    EXPECT_EQ(w.Label4(j).Caption(), " ");
    EXPECT_NE(w.Label2(j).Caption(), "Label2") << "every catalogue entry is computed";
  }
  EXPECT_EQ(w.lblLsqrLat.Caption(), "pos1") << "TD estimation leaves the fix alone";
  EXPECT_EQ(w.lblMeanLat.Caption(), "Lat");

  w.cmdCopyTD.DoClick();
  EXPECT_EQ(w.txtTD(1).Text(), "15373.705");
  EXPECT_EQ(w.txtTD(2).Text(), "28359.249");
  EXPECT_EQ(w.txtTD(3).Text(), "40147.515");
}

TEST_F(SessionTest, WorkedExamplePositionSolutions) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.SetText("63 30 0N");
  w.txtEstLon.SetText("3 0 0E");
  for (int i = 1; i <= 3; ++i) w.txtTD(i).SetText(TdText(64, 4, 0, i));
  w.cmdCalc.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w.lblLsqrLon.Caption(), "004°00'00.000\"E");
  EXPECT_EQ(w.lblLsqrIter.Caption(), "Iterations  5");
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(w.lblResiduals(i).Caption(), " " + std::to_string(i) + "     0.000     0.0");
  }
  const char* pairs[] = {" 1- 2", " 1- 3", " 2- 3"};
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(w.lblLop(k).Caption(), pairs[k - 1]);
    EXPECT_EQ(w.lblLat(k).Caption(), "64°00'00.000\"N");
    EXPECT_EQ(w.lblLon(k).Caption(), "004°00'00.000\"E");
    EXPECT_EQ(w.lblDN(k).Caption(), "0 m");
    EXPECT_EQ(w.lblDE(k).Caption(), "0 m");
  }
  EXPECT_EQ(w.lblIter(3).Caption(), "5");
  EXPECT_EQ(w.lblCut(3).Caption(), "112");  // 112.2947 degrees
  EXPECT_EQ(w.lblMeanLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w.lblMeanLon.Caption(), "004°00'00.000\"E");
  EXPECT_EQ(w.lblMeanDN.Caption(), "0 m");
  EXPECT_EQ(w.lblMeanDE.Caption(), "0 m");

  // The same inputs again give the same results.
  std::vector<std::string> before;
  for (Control* c : w.Controls()) {
    if (auto* l = dynamic_cast<Label*>(c)) before.push_back(l->Caption());
  }
  w.cmdCalc.DoClick();
  std::vector<std::string> after;
  for (Control* c : w.Controls()) {
    if (auto* l = dynamic_cast<Label*>(c)) after.push_back(l->Caption());
  }
  EXPECT_EQ(before, after);

  // LOP 1 one microsecond late: the fix moves and every residual shows.
  const double late = Utility_Module::ValWithComma(TdText(64, 4, 0, 1)) + 1.0;
  char buf[64];
  w.txtTD(1).SetText(std::string(buf, std::to_chars(buf, buf + sizeof buf, late).ptr));
  w.cmdCalc.DoClick();
  EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 63.9989449, 1e-6);
  EXPECT_NEAR(Degrees(w.lblLsqrLon, "LON"), 4.0000696, 1e-6);
  EXPECT_EQ(w.lblLsqrIter.Caption(), "Iterations  5");
  EXPECT_TRUE(Texts().empty());

  // GDOPs and gradients come from the geometry at the estimated position:
  // estimated at 64N 4E they are those of the worked example.
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  w.cmdCalc.DoClick();
  EXPECT_EQ(w.lblLsqrGDOP.Caption(), "GDOP = 1.5");
  EXPECT_NEAR(RTCM_Calc_Module::LsqGdop(), 1.454281, 5e-7);
  EXPECT_EQ(w.lblGdop(3).Caption(), "1.3");  // 1.274670
  EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 63.9989449, 1e-6);
  // -0.57025 us x 248.4714 m/us; 0.38684 x 158.9949; -0.30884 x 225.6648
  EXPECT_EQ(w.lblResiduals(1).Caption(), " 1     -0.570  -141.7");
  EXPECT_EQ(w.lblResiduals(2).Caption(), " 2     0.387    61.5");
  EXPECT_EQ(w.lblResiduals(3).Caption(), " 3     -0.309   -69.7");

  // Weight 0 for LOP 1: the fix stays, the residual of LOP 1 is still shown.
  w.txtWeight(1).SetText("0");
  w.cmdCalc.DoClick();
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w.lblLsqrLon.Caption(), "004°00'00.000\"E");
  EXPECT_EQ(w.lblResiduals(1).Caption(), " 1     -1.000  -248.5");
  EXPECT_EQ(w.lblResiduals(2).Caption(), " 2     0.000     0.0");
  EXPECT_TRUE(Texts().empty());
}

TEST_F(SessionTest, CopiedEstimatesSolveWithTwoThreeAndSixLops) {
  const std::vector<std::vector<std::pair<int, int>>> choices = {
      {{0, 2}, {0, 3}},
      kExampleLops,
      {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {5, 6}, {5, 7}},
  };
  for (const auto& lops : choices) {
    SCOPED_TRACE(lops.size());
    Global_Module::ResetGlobals();
    Session s;
    Frm_PosTDCalc& w = Open(s, lops);
    w.txtEstLat.SetText("64 0 0N");
    w.txtEstLon.SetText("4 0 0E");
    w.cmdCalcTD.DoClick();
    w.cmdCopyTD.DoClick();
    w.txtEstLat.SetText("63 30 0N");
    w.txtEstLon.SetText("3 0 0E");
    w.cmdCalc.DoClick();
    EXPECT_TRUE(Texts().empty());
    // The copied TDs carry three decimals: the fix lies within a metre.
    EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 64.0, 1e-5);
    EXPECT_NEAR(Degrees(w.lblLsqrLon, "LON"), 4.0, 2e-5);
    const int n = static_cast<int>(lops.size());
    const int rows = std::min(n * (n - 1) / 2, 10);
    for (int k = 1; k <= 10; ++k) {
      EXPECT_EQ(w.lblLop(k).Visible(), k <= rows) << k;
      if (k <= rows) {
        EXPECT_NEAR(Degrees(w.lblLat(k), "LAT"), 64.0, 1e-5) << k;
        EXPECT_NE(w.lblGdop(k).Caption(), "gdop");
      }
    }
    EXPECT_NEAR(Degrees(w.lblMeanLat, "LAT"), 64.0, 1e-5);
    if (n == 2) {
      EXPECT_EQ(w.lblLsqrGDOP.Caption(), "GDOP n/a");
      EXPECT_EQ(w.lblLop(1).Caption(), " 1- 2");
      EXPECT_EQ(w.lblMeanLat.Caption(), w.lblLat(1).Caption());
      EXPECT_EQ(w.lblMeanLon.Caption(), w.lblLon(1).Caption());
      EXPECT_EQ(w.lblMeanDN.Caption(), w.lblDN(1).Caption());
      EXPECT_EQ(w.lblMeanDE.Caption(), w.lblDE(1).Caption());
      EXPECT_EQ(w.lblCut(1).Caption(), "112");
    } else {
      EXPECT_EQ(w.lblLsqrGDOP.Caption().substr(0, 7), "GDOP = ");
    }
    if (n == 6) {
      const char* pairs[] = {" 1- 2", " 1- 3", " 1- 4", " 1- 5", " 1- 6",
                             " 2- 3", " 2- 4", " 2- 5", " 2- 6", " 3- 4"};
      for (int k = 1; k <= 10; ++k) EXPECT_EQ(w.lblLop(k).Caption(), pairs[k - 1]);
    }
  }
}

TEST_F(SessionTest, ExitYesSavesAndARestartRestoresEverything) {
  {
    Session s;
    Frm_PosTDCalc& w = Open(s, {{0, 2}, {11, 14}, {5, 7}, {8, 9}});
    w.txtEstLat.SetText("62 30 0.5 n");
    w.txtEstLon.SetText("7 4 26.079 w");
    w.txtTD(1).SetText("28359.2489");
    w.txtTD(2).SetText("42100,5");
    w.txtTD(3).SetText("31003.865");
    w.txtTD(4).SetText("14200");
    w.txtWeight(1).SetText("0,5");
    w.txtWeight(2).SetText("0");
    w.txtWeight(3).SetText("0.75");
    w.txtWeight(4).SetText("1");
    w.cmdCalcTD.DoClick();
    w.txtTD(4).SetText("999");  // typed after the last calculation: not saved
    Boxes().answers = {MsgResult::Yes};
    events_.clear();
    w.cmdExit.DoClick();
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_EQ(Boxes().boxes[0].text, "Save setup to file Kestrune.ini ?");
    EXPECT_EQ(Boxes().boxes[0].title, "Kestrune");
    EXPECT_EQ(Boxes().boxes[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_TRUE(s.EndRequested());
    EXPECT_EQ(events_, std::vector<std::string>{"end"});
  }
  const std::string saved = ReadFile("Kestrune.ini");
  EXPECT_EQ(saved.substr(saved.find("\r\n") + 2),
            "4\r\n0,2,28359.2489,0.5\r\n11,14,42100.5,0\r\n5,7,31003.865,0.75\r\n8,9,14200,1\r\n");

  Boxes().boxes.clear();
  Session again;
  Begin(again);
  Frm_LoranSetup& d = *again.SetupDialog();
  EXPECT_EQ(d.cmbNoOfLops.Text(), "4");
  EXPECT_EQ(d.cmbMaster(2).Text(), " 6731 M Lessay");
  EXPECT_EQ(d.cmbSecondary(2).Text(), " 6731 Z Sylt");
  EXPECT_EQ(d.cmbSecondary(4).Text(), " 7499 X Lessay");
  d.cmdAccept.DoClick();
  Frm_PosTDCalc& w = *again.CalcWindow();
  EXPECT_EQ(w.txtEstLat.Text(), "62°30'00.500\"N");
  EXPECT_EQ(w.txtEstLon.Text(), "007°04'26.079\"W");
  EXPECT_EQ(w.txtTD(1).Text(), "28359.249");
  EXPECT_EQ(w.txtTD(2).Text(), "42100.500");
  EXPECT_EQ(w.txtTD(4).Text(), "14200.000");
  EXPECT_EQ(w.txtWeight(1).Text(), "0.50");
  EXPECT_EQ(w.txtWeight(2).Text(), "0");
  EXPECT_EQ(w.txtWeight(3).Text(), "0.75");
  EXPECT_EQ(w.txtWeight(4).Text(), "1");
  EXPECT_EQ(w.lblMaster(4).Caption(), " 4   7499 Sylt");
  EXPECT_TRUE(Texts().empty());
}

TEST_F(SessionTest, ExitNoEndsWithoutWritingAndCancelStays) {
  WriteFile("Kestrune.ini", "0,0\n2\n0,1,1,1\n0,2,2,1\n");
  Session s;
  Begin(s);
  s.SetupDialog()->cmbMaster(1).SetListIndex(0);
  s.SetupDialog()->cmbSecondary(1).SetListIndex(3);
  s.SetupDialog()->cmdAccept.DoClick();
  Frm_PosTDCalc& w = *s.CalcWindow();
  w.txtTD(1).SetText("555");
  w.cmdCalcTD.DoClick();

  Boxes().answers = {MsgResult::Cancel};
  w.cmdExit.DoClick();
  EXPECT_FALSE(s.EndRequested());
  EXPECT_EQ(s.CalcWindow(), &w);
  Boxes().answers = {MsgResult::Cancel};
  w.cmdExit.DoClick();  // a later EXIT asks again
  EXPECT_FALSE(s.EndRequested());
  Boxes().answers = {MsgResult::No};
  w.cmdExit.DoClick();
  EXPECT_TRUE(s.EndRequested());
  EXPECT_EQ(Texts(), std::vector<std::string>(3, "Save setup to file Kestrune.ini ?"));
  EXPECT_EQ(ReadFile("Kestrune.ini"), "0,0\n2\n0,1,1,1\n0,2,2,1\n");
}

TEST_F(SessionTest, ClosingAWindowByItsFrameEndsWithoutTheQuestion) {
  {
    Session s;
    Begin(s);
    s.CloseByFrame(*s.SetupDialog());
    EXPECT_TRUE(s.EndRequested());
    EXPECT_EQ(events_,
              (std::vector<std::string>{"open Frm_LoranSetup", "close Frm_LoranSetup", "end"}));
  }
  events_.clear();
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.cmdCalcTD.DoClick();
  s.CloseByFrame(w);
  EXPECT_TRUE(s.EndRequested());
  EXPECT_EQ(events_.back(), "end");
  EXPECT_EQ(events_[events_.size() - 2], "close Frm_PosTDCalc");
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(std::filesystem::exists("Kestrune.ini"));
}

// A failed save keeps the window open so that the user can try again or
// answer No.
TEST_F(SessionTest, UnwritableSetupFileKeepsTheWindowOpen) {
  std::filesystem::create_directory("Kestrune.ini");
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "SetupState file Kestrune.ini cannot be read. The default setup is used."});
  Boxes().boxes.clear();
  Boxes().answers = {MsgResult::Yes};
  w.cmdExit.DoClick();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Save setup to file Kestrune.ini ?",
                                               "SetupState file Kestrune.ini could not be written."}));
  EXPECT_FALSE(s.EndRequested());
  EXPECT_EQ(s.CalcWindow(), &w);

  std::filesystem::remove("Kestrune.ini");
  Boxes().answers = {MsgResult::Yes};
  w.cmdExit.DoClick();
  EXPECT_TRUE(s.EndRequested());
  EXPECT_TRUE(std::filesystem::is_regular_file("Kestrune.ini"));
}

// A position typed exactly on a station divides by zero in the propagation
// time: the calculation stops with one message and the window goes on.
TEST_F(SessionTest, PositionOnAStationStopsTheCalculationOnly) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.SetText("62°17'59.837N");
  w.txtEstLon.SetText("007°04'26.079W");
  w.cmdCalc.DoClick();
  ASSERT_EQ(Boxes().boxes.size(), 1u);
  EXPECT_EQ(Boxes().boxes[0].text, "Run-time error 11: Division by zero");
  EXPECT_EQ(Boxes().boxes[0].title, "Kestrune");
  EXPECT_FALSE(s.EndRequested());
  EXPECT_EQ(w.Label2(0).Caption(), "Label2") << "stopped before the station table";

  Boxes().boxes.clear();
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  w.cmdCalcTD.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(w.Label4(2).Caption(), "28359.249");
}

// A weight is held in 32 bits: a typed weight beyond that range is an
// overflow that stops the calculation, not an infinite weight.
TEST_F(SessionTest, WeightBeyondTheSingleRangeStopsTheCalculation) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  for (int i = 1; i <= 3; ++i) w.txtTD(i).SetText(TdText(64, 4, 0, i));
  w.txtWeight(2).SetText("1e39");
  w.cmdCalc.DoClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Run-time error 6: Overflow"});
  EXPECT_EQ(w.Label2(0).Caption(), "Label2");
  EXPECT_FALSE(s.EndRequested());
  w.txtWeight(2).FireLostFocus();
  EXPECT_EQ(w.txtWeight(2).Text(), "1");
  w.cmdCalc.DoClick();
  EXPECT_EQ(Texts().size(), 1u);
  EXPECT_EQ(w.lblLsqrIter.Caption(), "Iterations  1");
}

// A TD beyond the 64-bit range reads as the largest double: the position
// solution cannot use it, and the window goes on.
TEST_F(SessionTest, TdBeyondTheDoubleRangeAtAPositionSolution) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.SetText("64 0 0N");
  w.txtEstLon.SetText("4 0 0E");
  for (int i = 1; i <= 3; ++i) w.txtTD(i).SetText(TdText(64, 4, 0, i));
  w.txtTD(2).SetText("1E400");
  w.cmdCalc.DoClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Run-time error 6: Overflow"});
  EXPECT_EQ(w.Label4(2).Caption(), "28359.249") << "the station table comes first";
  EXPECT_EQ(w.lblLsqrLat.Caption(), "pos1") << "stopped in the least-squares fix";
  EXPECT_FALSE(s.EndRequested());

  Boxes().boxes.clear();
  w.txtTD(2).SetText(TdText(64, 4, 0, 2));
  w.cmdCalc.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N");
}

// The same LOP chosen twice (the setup dialog allows it): the two-LOP fix of
// the pair has parallel lines of position.
TEST_F(SessionTest, TheSameLopTwiceAtAPositionSolution) {
  Session s;
  Frm_PosTDCalc& w = Open(s, {{0, 2}, {0, 2}, {0, 3}});
  w.txtEstLat.SetText("63 30 0N");
  w.txtEstLon.SetText("3 0 0E");
  w.txtTD(1).SetText(TdText(64, 4, 0, 2));
  w.txtTD(2).SetText(TdText(64, 4, 0, 2));
  w.txtTD(3).SetText(TdText(64, 4, 0, 3));
  w.cmdCalc.DoClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Run-time error 6: Overflow"});
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N") << "the least-squares fix is made";
  EXPECT_EQ(w.lblLsqrGDOP.Caption(), "GDOP = 1.5");
  EXPECT_EQ(w.lblLat(1).Caption(), "Lat") << "stopped in the fix of the pair 1-2";
  EXPECT_EQ(w.lblLat(2).Caption(), "Lat");
  EXPECT_EQ(w.lblMeanLat.Caption(), "Lat");
  EXPECT_FALSE(s.EndRequested());

  Boxes().boxes.clear();
  w.cmdCalcTD.DoClick();
  EXPECT_TRUE(Texts().empty());
}

TEST_F(SessionTest, CommaSeparatorSession) {
  SetDecimalSeparator(',');
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_EQ(w.txtTD(1).Text(), "0,000");
  EXPECT_EQ(w.txtEstLat.Text(), "00°00'00,000\"N");
  w.txtEstLat.SetText("64 0 0,000N");
  w.txtEstLon.SetText("4 0 0E");
  w.txtWeight(3).SetText("0.5");
  w.txtWeight(3).FireLostFocus();
  EXPECT_EQ(w.txtWeight(3).Text(), "0,50");
  w.cmdCalcTD.DoClick();
  EXPECT_EQ(w.Label4(1).Caption(), "15373,705");
  EXPECT_EQ(w.Label3(1).Caption(), "330,5");
  w.cmdCopyTD.DoClick();
  EXPECT_EQ(w.txtTD(2).Text(), "28359,249");
  w.txtEstLat.SetText("63 30 0N");
  w.txtEstLon.SetText("3 0 0E");
  w.cmdCalc.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 64.0, 1e-5);
  EXPECT_EQ(w.lblLsqrLat.Caption().find('.'), std::string::npos);
  EXPECT_EQ(LopTable(3).Weight, 0.5f);
  Boxes().answers = {MsgResult::Yes};
  w.cmdExit.DoClick();
  const std::string saved = ReadFile("Kestrune.ini");
  EXPECT_NE(saved.find("0,3,40147.515,0.5\r\n"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kestrune
