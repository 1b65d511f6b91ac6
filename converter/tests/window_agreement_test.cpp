// The converter against the calculation window: every row of the test
// logbook typed into a freshly loaded window with the same LOPs, TD and
// weight texts and estimated position, one press of CALC Pos Solutions, and
// the converter's texts compared with the window's captions and boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "converter/tests/convert_test_support.hpp"
#include "loran/catalogue.hpp"
#include "tests/support/model_test.hpp"
#include "tests/support/test_support.hpp"
#include "util/numeric_text.hpp"

namespace kestrune::convert {
namespace {

using testing::Convert;

class WindowAgreement : public testing_support::ModelTest {
 protected:
  // A window with the LOPs of `row` (at most four), its texts typed.
  std::unique_ptr<Frm_PosTDCalc> Window(const std::map<std::string, std::string>& row) {
    setup_.NoOfLops = 0;
    for (int k = 1; k <= 4 && !row.at("lop" + std::to_string(k)).empty(); ++k) {
      const std::string lop = row.at("lop" + std::to_string(k));
      const int gri = std::stoi(lop.substr(0, 4));
      LopRecord& r = setup_.LopTable(k);
      r.MasterIndex = static_cast<std::int16_t>(loran::NelsCatalogue().Find(gri, "M"));
      r.SecondaryIndex = static_cast<std::int16_t>(loran::NelsCatalogue().Find(gri, lop.substr(4)));
      setup_.NoOfLops = static_cast<std::int16_t>(k);
    }
    auto w = std::make_unique<Frm_PosTDCalc>(setup_, loran::NelsCatalogue());
    w->Form_Load();
    w->txtEstLat.SetText(row.at("est_lat"));
    w->txtEstLon.SetText(row.at("est_lon"));
    for (int k = 1; k <= setup_.NoOfLops; ++k) {
      const std::string weight = k <= 3 ? row.at("weight" + std::to_string(k)) : "";
      w->txtTD(k).SetText(row.at("td" + std::to_string(k)));
      w->txtWeight(k).SetText(weight.empty() ? "1" : weight);
    }
    return w;
  }
  // Every row of the test logbook converted with `args`, against the window.
  void CheckLogbook(const std::vector<std::string>& args);
  SetupState setup_;
};

void WindowAgreement::CheckLogbook(const std::vector<std::string>& args) {
  const bool calibrated = args.size() > 3;

  const testing::Outcome o = Convert(args, "");
  ASSERT_EQ(o.rows.size(), 11u);
  for (const auto& row : o.rows) {
    SCOPED_TRACE(row.at("name"));
    Boxes().boxes.clear();
    const auto w = Window(row);
    w->cmdCalc.DoClick();
    EXPECT_EQ(w->Caption().find("ASF offsets from") != std::string::npos, calibrated);
    const std::string status = row.at("status");
    const auto& boxes = Boxes().boxes;
    if (status.rfind("Run-time error", 0) == 0) {
      ASSERT_FALSE(boxes.empty());
      EXPECT_EQ(status, boxes.back().text);
    } else if (setup_.NoOfLops == 2) {
      EXPECT_EQ(row.at("passes"), w->lblIter(1).Caption());
      if (status == "ok") {
        EXPECT_EQ(row.at("fix_lat_text"), w->lblLat(1).Caption());
        EXPECT_EQ(row.at("fix_lon_text"), w->lblLon(1).Caption());
      } else {
        EXPECT_EQ(status, "no convergence in 20 passes");
        EXPECT_EQ(boxes.back().text,
                  "More then 20 iterations without acceptable position solution");
      }
    } else {
      EXPECT_EQ("Iterations " +
                    text::WithSignPlace(static_cast<std::int16_t>(std::stoi(row.at("passes")))),
                w->lblLsqrIter.Caption());
      EXPECT_EQ(row.at("fix_lat_text"), w->lblLsqrLat.Caption());
      EXPECT_EQ(row.at("fix_lon_text"), w->lblLsqrLon.Caption());
      for (int k = 1; k <= setup_.NoOfLops; ++k) {
        const std::string residual = row.at("residual_" + std::to_string(k));
        // A residual caption: LOP number, five blanks, the residual in us.
        const std::string caption = w->lblResiduals(k).Caption();
        EXPECT_EQ(status == "ok" ? text::WithSignPlace(static_cast<std::int16_t>(k)) + "     " +
                                       residual + "  "
                                 : "",
                  caption.substr(0, status == "ok" ? 9 + residual.size() : 0));
      }
      if (status != "ok") {
        EXPECT_EQ(status, "no convergence in 50 passes");
        EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(), [](const auto& b) {
          return b.text == "More then 50 iterations without acceptable position solution";
        }));
      }
    }
  }
  EXPECT_EQ(o.code, 1);
}

const std::string kLogbook = std::string(KESTRUNE_TESTDATA_DIR) + "/convert-logbook.csv";

TEST_F(WindowAgreement, EveryLogbookRowShowsTheWindowsFix) {
  CheckLogbook({"fix", "-q", kLogbook});
}

// The window reads the calibration file beside its setup file.
TEST_F(WindowAgreement, AndWithTheOffsetsOfACalibrationFile) {
  testing_support::WriteFile(kCalibrationFileName,
                             "lop,offset_us\n9007W,0.4\n9007X,-0.6\n9007Y,0.3\n9007Z,-0.2\n"
                             "7499X,0.5\n7499Y,-0.3\n");
  CheckLogbook({"fix", "-q", "--calibration", kCalibrationFileName, kLogbook});
}

TEST_F(WindowAgreement, PredictionsAreTheStationTableTds) {
  const testing::Outcome o = Convert(
      {"predict", "-q", "--lops", "9007W,9007X,9007Y,9007Z,7499X,7499Y,6731Z", "--coords", "text"},
      "lat;lon\n62 17 59.8 N;7 4 26 W\n64 N;4 E\n55°10'N;3°30,5'E\n49 N;10 W\n");
  ASSERT_EQ(o.rows.size(), 4u);
  const char* lops[] = {"9007W", "9007X", "9007Y", "9007Z", "7499X", "7499Y", "6731Z"};
  for (const auto& row : o.rows) {
    setup_.NoOfLops = 2;
    setup_.LopTable(1) = LopRecord{0, 1, 0.0, 1.0f};
    setup_.LopTable(2) = LopRecord{0, 2, 0.0, 1.0f};
    Frm_PosTDCalc w(setup_, loran::NelsCatalogue());
    w.Form_Load();
    w.txtEstLat.SetText(row.at("lat"));
    w.txtEstLon.SetText(row.at("lon"));
    w.cmdCalcTD.DoClick();
    for (const char* lop : lops) {
      const int s =
          loran::NelsCatalogue().Find(std::stoi(std::string(lop, 4)), std::string(lop + 4));
      EXPECT_EQ(row.at(std::string("td_") + lop), w.Label4(s).Caption()) << lop;
      EXPECT_EQ(row.at(std::string("gradient_") + lop) + " m", w.lblGradient(s).Caption()) << lop;
    }
  }
}

}  // namespace
}  // namespace kestrune::convert
