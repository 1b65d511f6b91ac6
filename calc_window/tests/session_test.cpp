// Whole runs of the program through the window models: setup dialog,
// calculation window, the worked 64°N 4°E example, the input fields, EXIT
// with its answers and a restart from the saved file, and the faults that
// must not end the program or lose what the user typed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <charconv>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/session.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/setup_file.hpp"
#include "loran/asf.hpp"
#include "loran/calibration.hpp"
#include "loran/prediction.hpp"
#include "tests/support/model_test.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune {
namespace {

using testing_support::Rad;
using testing_support::ReadFile;
using testing_support::WriteFile;
using Lops = std::vector<std::pair<int, int>>;

const Lops kExampleLops = {{0, 1}, {0, 2}, {0, 3}};

class SessionTest : public testing_support::ModelTest {
 protected:
  void Begin(Session& s) {
    s.onFormOpened = [this](Form& f) { events_.push_back("open " + f.Name()); };
    s.onFormClosed = [this](Form& f) { events_.push_back("close " + f.Name()); };
    s.onEndRequested = [this] { events_.push_back("end"); };
    s.Start();
  }
  // Starts a run, picks the LOPs (master, secondary station indices) in the
  // dialog and accepts; returns the calculation window.
  Frm_PosTDCalc& Open(Session& s, const Lops& lops) {
    Begin(s);
    Frm_LoranSetup& d = *s.SetupDialog();
    const loran::Catalogue& c = s.StationCatalogue();
    const std::vector<std::int16_t> secondaries = c.Secondaries();
    d.cmbNoOfLops.SetListIndex(static_cast<int>(lops.size()) - 2);
    for (std::size_t i = 0; i < lops.size(); ++i) {
      const int row = static_cast<int>(i + 1);
      d.cmbMaster(row).SetListIndex(c.ChainOf(lops[i].first));
      d.cmbSecondary(row).SetListIndex(static_cast<int>(
          std::find(secondaries.begin(), secondaries.end(), lops[i].second) - secondaries.begin()));
    }
    d.cmdAccept.DoClick();
    return *s.CalcWindow();
  }
  static std::string FullText(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  }
  // The TD of a LOP at a position (degrees) as a full-precision text.
  static std::string TdText(double latDeg, double lonDeg, int m, int s) {
    return FullText(
        loran::PredictPair(loran::NelsCatalogue(), {Rad(latDeg), Rad(lonDeg)}, m, s).td);
  }
  // The three example TDs read at `truth` where the coastline model's ASF holds.
  static std::vector<std::string> CoastlineTds(const loran::GeoPoint& truth) {
    const loran::CoastlineRead coast = loran::ReadCoastline(loran::FindCoastlineFile(""));
    EXPECT_TRUE(coast.coast);
    if (!coast.coast) return {};
    const loran::CatalogueAsf asf(
        std::make_shared<const loran::AsfModel>(
            std::make_shared<const loran::LandMask>(*coast.coast), loran::AsfModelSettings{}),
        loran::NelsCatalogue());
    std::vector<std::string> tds;
    for (std::int16_t sec : {1, 2, 3}) {
      tds.push_back(FullText(loran::PredictPair(loran::NelsCatalogue(), truth, 0, sec).td +
                             asf.LopAsf(loran::Lop{0, sec, 0.0, 1.0}, truth)));
    }
    return tds;
  }
  static void Type(Frm_PosTDCalc& w, const char* lat, const char* lon,
                   const std::vector<std::string>& tds = {}) {
    w.txtEstLat.SetText(lat);
    w.txtEstLon.SetText(lon);
    for (std::size_t i = 0; i < tds.size(); ++i) w.txtTD(static_cast<int>(i + 1)).SetText(tds[i]);
  }
  double Degrees(const Label& l, const char* kind) {
    const text::ParsedCoordinate p = text::ParseLatLon(l.Caption(), kind);
    EXPECT_TRUE(p.messages.empty()) << l.Caption();
    return p.value;
  }
  std::vector<std::string> events_;
};

TEST_F(SessionTest, FirstStartAcceptAndTheRowsInUse) {
  for (const Lops& lops : {Lops{{0, 2}, {8, 10}}, Lops{{0, 1}, {0, 2}, {0, 3}, {5, 7}, {8, 9}},
                           Lops{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {5, 6}, {11, 13}}}) {
    events_.clear();
    Session s;
    Frm_PosTDCalc& w = Open(s, lops);
    EXPECT_EQ(events_, (std::vector<std::string>{"open Frm_LoranSetup", "close Frm_LoranSetup",
                                                 "open Frm_PosTDCalc"}));
    EXPECT_EQ(s.SetupDialog(), nullptr);
    const int n = static_cast<int>(lops.size());
    const int rows = std::min(n * (n - 1) / 2, 10);
    for (int i = 1; i <= kMaxLops; ++i) {
      EXPECT_EQ(w.txtTD(i).Visible(), i <= n);
      EXPECT_EQ(w.lblResiduals(i).Visible(), i <= n);
    }
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(w.lblCut(k).Visible(), k <= rows) << k;
    EXPECT_EQ(w.Caption(), "   KESTRUNE    Loran C   TD and Position calculations" +
                               std::string(40, ' ') + "Version : 2.0 Feb 2004");
    EXPECT_EQ(w.lblMaster(1).Caption(), " 1   9007 Ejde");
    EXPECT_EQ(w.txtEstLat.Text(), "00°00'00.000\"N");
    EXPECT_EQ(w.txtTD(2).Text(), "0.000");
    EXPECT_EQ(w.txtWeight(2).Text(), "1");
    EXPECT_EQ(w.Label1(9).Caption(), "X  Lessay");
    EXPECT_EQ(w.Label2(9).Caption(), "Label2") << "nothing is computed at load";
  }
  EXPECT_TRUE(Texts().empty());
}

// Copy before any estimate used to write 0.000 over every TD typed or
// restored; now it is disabled until an estimate exists, and does nothing.
TEST_F(SessionTest, WorkedExampleTdEstimationAndCopy) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  Type(w, "64 0 0N", "4 0 0E", {"27,5", "no number", "28359.2"});
  EXPECT_FALSE(w.cmdCopyTD.Enabled());
  w.cmdCopyTD.DoClick();
  w.cmdCopyTD_Click();
  EXPECT_EQ(w.txtTD(1).Text(), "27,5");
  w.cmdCalcTD.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(s.SharedSetup().LopTable(1).ObservedTd, 27.5);
  const struct {
    int row;
    const char *az, *td, *hyp, *grad;
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
  EXPECT_EQ(w.lblLsqrLat.Caption(), "pos1") << "TD estimation leaves the fix alone";
  EXPECT_TRUE(w.cmdCopyTD.Enabled());
  w.cmdCopyTD.DoClick();
  EXPECT_EQ(w.txtTD(1).Text(), "15373.705");
  EXPECT_EQ(w.txtTD(3).Text(), "40147.515");
}

TEST_F(SessionTest, WorkedExamplePositionSolutions) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  Type(w, "63 30 0N", "3 0 0E", {TdText(64, 4, 0, 1), TdText(64, 4, 0, 2), TdText(64, 4, 0, 3)});
  int heard = 0;
  w.SubscribeCalculated([&heard] { ++heard; });
  w.cmdCalc.DoClick();
  EXPECT_EQ(heard, 1);
  ASSERT_TRUE(w.LastSolution() && w.LastSolution()->complete);
  EXPECT_EQ(w.LastSolution()->pairs.size(), 3u);
  EXPECT_EQ(w.LastSolution()->pairs[2].first, 2);
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w.lblLsqrIter.Caption(), "Iterations  5");
  EXPECT_EQ(w.lblResiduals(2).Caption(), " 2     0.000     0.0");
  EXPECT_EQ(w.lblLop(3).Caption(), " 2- 3");
  EXPECT_EQ(w.lblLon(3).Caption(), "004°00'00.000\"E");
  EXPECT_EQ(w.lblDN(3).Caption(), "0 m");
  EXPECT_EQ(w.lblCut(3).Caption(), "112");  // 112.2947 degrees
  EXPECT_EQ(w.lblMeanLat.Caption(), "64°00'00.000\"N");
  // LOP 1 one microsecond late, estimated at 64N 4E: the worked residuals,
  // and GDOPs and gradients from the geometry at the estimated position.
  const double late = std::stod(TdText(64, 4, 0, 1)) + 1.0;
  Type(w, "64 0 0N", "4 0 0E", {std::to_string(late)});
  w.cmdCalc.DoClick();
  EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 63.9989449, 1e-6);
  EXPECT_EQ(w.lblLsqrGDOP.Caption(), "GDOP = 1.5");  // 1.454281
  EXPECT_EQ(w.lblGdop(3).Caption(), "1.3");          // 1.274670
  EXPECT_EQ(w.lblResiduals(1).Caption(), " 1     -0.570  -141.7");
  EXPECT_EQ(w.lblResiduals(3).Caption(), " 3     -0.309   -69.7");
  EXPECT_TRUE(Texts().empty());
}

// After "More then 50 iterations ..." the pane used to show 00°00'00.000"N
// with residuals 0.000, which reads as an exact fix; now it stays blank.
TEST_F(SessionTest, AFailedLeastSquaresFixLeavesItsPositionAndResidualsBlank) {
  Session s;
  Frm_PosTDCalc& w = Open(s, {{0, 1}, {0, 2}, {0, 3}, {0, 4}});
  std::vector<std::string> tds;
  const double k = 3458.0;  // converges only on the 50th pass
  const double offsets[] = {k, -0.5 * k, 0.0, 0.3 * k};
  for (int i = 0; i < 4; ++i)
    tds.push_back(std::to_string(std::stod(TdText(56, -20, 0, i + 1)) + offsets[i]));
  Type(w, "56 0 0N", "20 0 0W", tds);
  w.cmdCalc.DoClick();
  ASSERT_FALSE(Texts().empty());
  EXPECT_EQ(Texts()[0], "More then 50 iterations without acceptable position solution");
  EXPECT_EQ(w.lblLsqrLat.Caption(), "");
  EXPECT_EQ(w.lblLsqrLon.Caption(), "");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(w.lblResiduals(i).Caption(), "") << i;
  EXPECT_EQ(w.lblLsqrIter.Caption(), "Iterations  50");
  EXPECT_EQ(w.lblDN(1).Caption(), "") << "no deviations from a fix that was not made";
}

TEST_F(SessionTest, InputFieldsSelectNormaliseAndCheckOnlyWhatWasLeft) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  w.txtEstLat.FireGotFocus();
  EXPECT_EQ(w.txtEstLat.SelLength(), 14) << "characters, the degree sign counting once";
  const struct {
    bool lat;
    const char* typed;
    const char* shown;
    std::vector<std::string> messages;
  } positions[] = {
      {true, "62 17 59,837 n", "62°17'59.837\"N", {}},
      {false, "7 4 26.079 w", "007°04'26.079\"W", {}},
      {true, "", "00°00'00.000\"N", {"!   LATITUDE CHARACTER FORMAT ERROR. Default, N, used"}},
      {true, "91N", "90°00'00.000\"N", {"LATITUDE FORMAT ERROR. Max 90 deg allowed"}},
      {true,
       "45°59'60N",
       "46°00'00.000\"N",
       {"LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed",
        "LATITUDE MINUTE FORMAT ERROR. Max 59 allowed"}},
  };
  for (const auto& c : positions) {
    Boxes().boxes.clear();
    TextBox& box = c.lat ? w.txtEstLat : w.txtEstLon;
    box.SetText(c.typed);
    box.FireLostFocus();
    EXPECT_EQ(box.Text(), c.shown);
    EXPECT_EQ(Texts(), c.messages);
  }
  const std::pair<const char*, const char*> weights[] = {{"2", "1"},        {"-0,3", "0"},
                                                         {"0,5", "0.50"},   {"0.996", "1.00"},
                                                         {"0.004", "0.00"}, {"abc", "0"}};
  for (const auto& [typed, shown] : weights) {
    w.txtWeight(2).SetText(typed);
    w.txtWeight(2).FireLostFocus();
    EXPECT_EQ(w.txtWeight(2).Text(), shown) << typed;
  }
  w.txtWeight(3).SetText("7");
  w.txtWeight(1).FireLostFocus();
  EXPECT_EQ(w.txtWeight(3).Text(), "7");
  w.txtTD(3).SetText("27,5 usec");
  w.txtTD(3).FireLostFocus();
  EXPECT_EQ(w.txtTD(3).Text(), "27,5 usec");
  EXPECT_EQ(s.SharedSetup().EstLat, 0.0) << "the focus handlers store nothing";
}

TEST_F(SessionTest, ExitYesSavesAndARestartRestoresEverything) {
  {
    Session s;
    Frm_PosTDCalc& w = Open(s, {{0, 2}, {11, 14}, {5, 7}, {8, 9}});
    Type(w, "62 30 0.5 n", "7 4 26.079 w", {"28359.2489", "42100,5", "31003.865", "14200"});
    w.txtWeight(1).SetText("0,5");
    w.txtWeight(2).SetText("0");
    w.cmdCalcTD.DoClick();
    w.txtTD(4).SetText("999");  // typed after the last calculation: not saved
    Boxes().answers = {MsgResult::Cancel, MsgResult::Yes};
    w.cmdExit.DoClick();
    EXPECT_FALSE(s.EndRequested());
    w.cmdExit.DoClick();
    EXPECT_EQ(Texts(), std::vector<std::string>(2, "Save setup to file Kestrune.ini ?"));
    EXPECT_EQ(Boxes().boxes[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_TRUE(s.EndRequested());
  }
  const std::string saved = ReadFile(kSetupFileName);
  EXPECT_EQ(saved.substr(saved.find("\r\n") + 2),
            "4\r\n0,2,28359.2489,0.5\r\n11,14,42100.5,0\r\n5,7,31003.865,1\r\n8,9,14200,1\r\n");
  Boxes().boxes.clear();
  Session again;
  Begin(again);
  Frm_LoranSetup& d = *again.SetupDialog();
  EXPECT_EQ(d.cmbSecondary(2).Text(), " 6731 Z Sylt");
  d.cmdAccept.DoClick();
  Frm_PosTDCalc& w = *again.CalcWindow();
  EXPECT_EQ(w.txtEstLat.Text(), "62°30'00.500\"N");
  EXPECT_EQ(w.txtTD(4).Text(), "14200.000");
  EXPECT_EQ(w.txtWeight(1).Text(), "0.50");
  EXPECT_TRUE(Texts().empty());
  // No ends without writing; closing by the frame ends without the question.
  Boxes().answers = {MsgResult::No};
  w.cmdExit.DoClick();
  EXPECT_TRUE(again.EndRequested());
  EXPECT_EQ(ReadFile(kSetupFileName), saved);
  Session third;
  Begin(third);
  third.CloseByFrame(*third.SetupDialog());
  EXPECT_TRUE(third.EndRequested());
  EXPECT_EQ(Texts().size(), 1u);
}

// A save that fails keeps the window open, so the user can try again or answer No.
TEST_F(SessionTest, UnwritableSetupFileKeepsTheWindowOpen) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  WriteFile(kSetupFileName, "kept");
  std::filesystem::permissions(kSetupFileName, std::filesystem::perms::owner_read);
  Boxes().answers = {MsgResult::Yes};
  w.cmdExit.DoClick();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Save setup to file Kestrune.ini ?",
                                               "Setup file Kestrune.ini could not be written."}));
  EXPECT_FALSE(s.EndRequested());
  EXPECT_EQ(ReadFile(kSetupFileName), "kept");
}

// Faults end the calculation with one box and the window goes on: a position
// on a station, a weight beyond the 32-bit range, a TD beyond the 64-bit
// range, and the same LOP twice, whose pair has parallel lines of position.
TEST_F(SessionTest, FaultsStopTheCalculationOnly) {
  const struct {
    Lops lops;
    const char *lat, *lon;
    std::vector<std::string> tds;
    const char* weight2;
    const char* fault;
    const char* stoppedBefore;  // a label still at its placeholder
  } cases[] = {
      {kExampleLops,
       "62°17'59.837N",
       "007°04'26.079W",
       {},
       "1",
       "Run-time error 11: Division by zero",
       "Label2_0"},
      {kExampleLops, "64 0 0N", "4 0 0E", {}, "1e39", "Run-time error 6: Overflow", "Label2_0"},
      {kExampleLops,
       "64 0 0N",
       "4 0 0E",
       {"1", "1E400", "1"},
       "1",
       "Run-time error 6: Overflow",
       "lblLsqrLat"},
      {{{0, 2}, {0, 2}, {0, 3}},
       "63 30 0N",
       "3 0 0E",
       {TdText(64, 4, 0, 2), TdText(64, 4, 0, 2), TdText(64, 4, 0, 3)},
       "1",
       "Run-time error 6: Overflow",
       "lblLat_1"},
  };
  for (const auto& c : cases) {
    Boxes().boxes.clear();
    Session s;
    Frm_PosTDCalc& w = Open(s, c.lops);
    Type(w, c.lat, c.lon, c.tds);
    w.txtWeight(2).SetText(c.weight2);
    w.cmdCalc.DoClick();
    EXPECT_EQ(Texts(), std::vector<std::string>{c.fault});
    const Label* stopped = w.FindAs<Label>(c.stoppedBefore);
    EXPECT_TRUE(stopped->Caption() == "Label2" || stopped->Caption() == "pos1" ||
                stopped->Caption() == "Lat")
        << c.stoppedBefore << ": " << stopped->Caption();
    Type(w, "64 0 0N", "4 0 0E");
    w.txtWeight(2).SetText("1");
    w.cmdCalcTD.DoClick();
    EXPECT_EQ(w.Label4(2).Caption(), "28359.249") << "the window goes on";
    EXPECT_FALSE(s.EndRequested());
  }
}

// With a calibration file beside the setup file every prediction of a
// calibrated LOP carries its offset, and the title says so (a damaged file:
// CalibrationFileOfAnyKindOpensTheWindowAtOnce).
TEST_F(SessionTest, CalibrationFileOffsetsThePredictions) {
  WriteFile(kCalibrationFileName, "# test\nlop,offset_us\n9007X,-0.8\n7499Y,5\n");
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_TRUE(
      w.Caption().ends_with("Version : 2.0 Feb 2004   ASF offsets from "
                            "Kestrune-calibration.csv"));
  std::vector<std::string> tds = {TdText(64, 4, 0, 1), TdText(64, 4, 0, 2), TdText(64, 4, 0, 3)};
  tds[1] = std::to_string(std::stod(tds[1]) - 0.8);  // read where an offset of -0.8 us holds
  Type(w, "63 30 0N", "3 0 0E", tds);
  w.cmdCalc.DoClick();
  EXPECT_EQ(w.lblLsqrLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w.lblLsqrLon.Caption(), "004°00'00.000\"E");
  Type(w, "64 0 0N", "4 0 0E");
  w.cmdCalcTD.DoClick();
  EXPECT_EQ(w.Label4(2).Caption(), "28358.449");  // 28359.249 - 0.8
  EXPECT_EQ(w.Label4(1).Caption(), "15373.705");
  EXPECT_TRUE(Texts().empty());
}

// With the ASF setting on, every prediction and fix carries the ASF the
// coastline model predicts, and the title says so; "none" or no file leaves
// every caption as it is, another value is reported once.
TEST_F(SessionTest, AsfSettingTakesTheCoastlineModel) {
  WriteFile(kAsfSettingFileName, "ASF=coastline\n");
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_TRUE(w.Caption().ends_with("Version : 2.0 Feb 2004   ASF from the coastline"));
  // TDs read where the model's ASF holds, off the skerries of Sunnmøre.
  const loran::GeoPoint truth{Rad(62.3), Rad(5.6)};
  Type(w, "62 0 0N", "5 0 0E", CoastlineTds(truth));
  w.cmdCalc.DoClick();
  ASSERT_TRUE(w.LastSolution() && w.LastSolution()->lsq && w.LastSolution()->lsq->converged);
  EXPECT_LT(loran::DistanceMetres(w.LastSolution()->lsq->fix, truth), 1.0);
  EXPECT_TRUE(Texts().empty());

  WriteFile(kAsfSettingFileName, "ASF=none\n");
  Session off;
  EXPECT_TRUE(Open(off, kExampleLops).Caption().ends_with("Feb 2004"));
  WriteFile(kAsfSettingFileName, "ASF=maybe\n");
  Session odd;
  EXPECT_TRUE(Open(odd, kExampleLops).Caption().ends_with("Feb 2004"));
  EXPECT_EQ(Texts(), std::vector<std::string>{"ASF setting in Kestrune-asf.ini: \"maybe\" is "
                                              "neither none nor coastline. No ASF is used."});
  // A FIFO there is one box at once, never a window waiting for a writer.
  std::filesystem::remove(kAsfSettingFileName);
  ::mkfifo(kAsfSettingFileName, 0600);
  Session fifo;
  EXPECT_TRUE(Open(fifo, kExampleLops).Caption().ends_with("Feb 2004"));
  EXPECT_EQ(Texts().back(),
            "ASF setting in Kestrune-asf.ini: cannot be read (a FIFO, not a "
            "regular file). No ASF is used.");
}

// Whatever Kestrune-calibration.csv is, the window opens at once: a FIFO, a
// device, a directory or a huge file is one box and no offsets (a FIFO
// blocked the window for ever, a link to /dev/zero filled the memory, a
// directory was passed over in silence); a byte order mark is no damage,
// an absurd offset is.
TEST_F(SessionTest, CalibrationFileOfAnyKindOpensTheWindowAtOnce) {
  namespace fs = std::filesystem;
  const std::string box = "Calibration file Kestrune-calibration.csv ";
  const struct {
    const char* kind;
    std::function<void()> make;
    std::string text;
  } cases[] = {
      {"fifo", [] { ::mkfifo(kCalibrationFileName, 0600); },
       box + "cannot be read (a FIFO, not a regular file). No offsets are used."},
      {"device", [] { fs::create_symlink("/dev/zero", kCalibrationFileName); },
       box + "cannot be read (a device, not a regular file). No offsets are used."},
      {"directory", [] { fs::create_directory(kCalibrationFileName); },
       box + "cannot be read (Is a directory). No offsets are used."},
      {"huge",
       [] { WriteFile(kCalibrationFileName, "lop,offset_us\n" + std::string(2 << 20, '#')); },
       box + "cannot be read (larger than 1 MiB). No offsets are used."},
      {"absurd offset", [] { WriteFile(kCalibrationFileName, "lop,offset_us\n9007X,99999\n"); },
       box + "is damaged (line 2: offset '99999' is outside \xC2\xB1"
             "100 \xC2\xB5s). No offsets "
             "are used."},
      {"byte order mark",
       [] { WriteFile(kCalibrationFileName, "\xEF\xBB\xBFlop,offset_us\n9007X,-0.8\n"); }, ""},
  };
  for (const auto& c : cases) {
    fs::remove_all(kCalibrationFileName);
    c.make();
    const std::size_t before = Texts().size();
    Session s;
    Frm_PosTDCalc& w = Open(s, kExampleLops);
    const std::vector<std::string> all = Texts();
    const std::vector<std::string> boxes(all.begin() + static_cast<long>(before), all.end());
    if (c.text.empty()) {
      EXPECT_TRUE(boxes.empty()) << c.kind;
      EXPECT_TRUE(w.Caption().ends_with("ASF offsets from Kestrune-calibration.csv")) << c.kind;
    } else {
      EXPECT_EQ(boxes, std::vector<std::string>{c.text}) << c.kind;
      EXPECT_TRUE(w.Caption().ends_with("Feb 2004")) << c.kind;
    }
  }
}

// The setting changed in the window: kept in the setting file (whole, read
// by the next run as above), the title following it, the results on show
// calculated again with it.
TEST_F(SessionTest, AsfSettingChangedInTheWindow) {
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_FALSE(w.AsfFromCoastline());
  const std::string plain = w.Caption();
  const loran::GeoPoint truth{Rad(62.3), Rad(5.6)};
  Type(w, "62 0 0N", "5 0 0E", CoastlineTds(truth));
  w.cmdCalc.DoClick();
  ASSERT_TRUE(w.LastSolution() && w.LastSolution()->lsq && w.LastSolution()->lsq->converged);
  // The seawater model alone is tens of metres off near this coast.
  EXPECT_GT(loran::DistanceMetres(w.LastSolution()->lsq->fix, truth), 10.0);
  const std::string seawaterLat = w.lblLsqrLat.Caption();

  EXPECT_TRUE(w.SetAsfFromCoastline(true));
  EXPECT_TRUE(w.AsfFromCoastline());
  EXPECT_EQ(w.Caption(), plain + "   ASF from the coastline");
  EXPECT_EQ(ReadFile(kAsfSettingFileName), "ASF=coastline\n");
  EXPECT_LT(loran::DistanceMetres(w.LastSolution()->lsq->fix, truth), 1.0);
  EXPECT_NE(w.lblLsqrLat.Caption(), seawaterLat);

  EXPECT_FALSE(w.SetAsfFromCoastline(false));
  EXPECT_EQ(w.Caption(), plain);
  EXPECT_EQ(ReadFile(kAsfSettingFileName), "ASF=none\n");
  EXPECT_EQ(w.lblLsqrLat.Caption(), seawaterLat);
  EXPECT_TRUE(Texts().empty());

  // A setting file the user made read-only is left alone, and so is the setting.
  std::filesystem::permissions(kAsfSettingFileName, std::filesystem::perms::owner_read);
  EXPECT_FALSE(w.SetAsfFromCoastline(true));
  EXPECT_EQ(w.Caption(), plain);
  EXPECT_EQ(ReadFile(kAsfSettingFileName), "ASF=none\n");
  EXPECT_EQ(Texts(), std::vector<std::string>{"ASF setting file Kestrune-asf.ini could not be "
                                              "written."});
}

TEST_F(SessionTest, CommaSeparatorSession) {
  SetDecimalSeparator(',');
  Session s;
  Frm_PosTDCalc& w = Open(s, kExampleLops);
  EXPECT_EQ(w.txtTD(1).Text(), "0,000");
  Type(w, "64 0 0,000N", "4 0 0E");
  w.cmdCalcTD.DoClick();
  EXPECT_EQ(w.Label4(1).Caption(), "15373,705");
  w.cmdCopyTD.DoClick();
  EXPECT_EQ(w.txtTD(2).Text(), "28359,249");
  Type(w, "63 30 0N", "3 0 0E");
  w.cmdCalc.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_NEAR(Degrees(w.lblLsqrLat, "LAT"), 64.0, 1e-5);
  Boxes().answers = {MsgResult::Yes};
  w.cmdExit.DoClick();
  EXPECT_NE(ReadFile(kSetupFileName).find("0,3,40147.515,1\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kestrune
