// The clipboard copy of the results and the screen-reader names of the
// result cells, after the calculation the README picture shows.
#include "calc_window/results_text.hpp"

#include <gtest/gtest.h>

#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/session.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "tests/support/model_test.hpp"

namespace kestrune {
namespace {

class ResultsTextTest : public testing_support::ModelTest {
 protected:
  // LOPs 9007 Jan Mayen, Boe and Vaerlandet at 64 N 4 E.
  Frm_PosTDCalc& Open() {
    session_.Start();
    Frm_LoranSetup& d = *session_.SetupDialog();
    for (int row = 1; row <= 3; ++row) {
      d.cmbMaster(row).SetListIndex(0);
      d.cmbSecondary(row).SetListIndex(row - 1);
    }
    d.cmdAccept.DoClick();
    Frm_PosTDCalc& w = *session_.CalcWindow();
    w.txtEstLat.SetText("64 N");
    w.txtEstLon.SetText("4 E");
    return w;
  }
  Session session_;
};

TEST_F(ResultsTextTest, NothingBeforeTheFirstCalculationThenEveryVisibleRow) {
  Frm_PosTDCalc& w = Open();
  EXPECT_EQ(ResultsText(w), "");
  w.cmdCalcTD.DoClick();
  w.cmdCopyTD.DoClick();
  w.txtTD(1).SetText("15373.9");
  w.txtTD(2).SetText("28359.1");
  w.txtTD(3).SetText("40147.4");
  w.txtWeight(3).SetText("0.8");
  w.cmdCalc.DoClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{});
  EXPECT_EQ(ResultsText(w),
            "Calculated from Position Estimate\n"
            "\tDist (m)\tAz (deg)\tTD (usec)\tHyperb Az\tGradient (m/usec)\n"
            "Chain 9007\n"
            "M Ejde\t588647.5\t256.2\t\t\t\n"
            "W Jan Mayen\t940176.8\t330.5\t15373.705\t113\t248 m\n"
            "X Boe\t696244.8\t037.5\t28359.249\t147\t159 m\n"
            "Y Vaerlandet\t303361.9\t172.9\t40147.515\t035\t226 m\n"
            "Z Loop Head\t1500713.1\t218.6\t58745.277\t057\t465 m\n"
            "Chain 7001\n"
            "M Boe\t696244.8\t037.5\t\t\t\n"
            "X Jan Mayen\t940176.8\t330.5\t14914.456\t004\t272 m\n"
            "Y Berlevaag\t1307148.9\t043.5\t31139.736\t041\t2865 m\n"
            "Chain 7499\n"
            "M Sylt\t1052010.3\t164.7\t\t\t\n"
            "X Lessay\t1686424.5\t193.9\t16218.246\t179\t595 m\n"
            "Y Vaerlandet\t303361.9\t172.9\t27000.411\t169\t2098 m\n"
            "Chain 6731\n"
            "M Lessay\t1686424.5\t193.9\t\t\t\n"
            "X Soustons\t2280625.0\t191.2\t14983.984\t013\t6272 m\n"
            "Y Loop Head\t1500713.1\t218.6\t26679.927\t026\t702 m\n"
            "Z Sylt\t1052010.3\t164.7\t39981.754\t179\t595 m\n"
            "\n"
            "Least Square Position Solution\n"
            "63°59'58.953\"N\t004°00'02.420\"E\n"
            "Iterations 3\tGDOP = 1.5\n"
            "Residuals\n"
            "Lop\tusec\tm\n"
            "1\t-0.128\t-31.8\n"
            "2\t0.087\t13.8\n"
            "3\t-0.087\t-19.6\n"
            "\n"
            "Position Solutions (2 way fix in all comb.)\n"
            "LOP's\tLatitude\tLongitude\tdN\tdE\tIterations\tGDOP\tAngle Of Cut\n"
            "1- 2\t63°59'57.076\"N\t004°00'06.421\"E\t-58 m\t54 m\t3\t1.4\t033\n"
            "1- 3\t63°59'58.348\"N\t003°59'59.721\"E\t-19 m\t-37 m\t3\t1.7\t079\n"
            "2- 3\t63°59'59.921\"N\t004°00'02.193\"E\t30 m\t-3 m\t2\t1.3\t112\n"
            "Mean\t63°59'58.448\"N\t004°00'02.779\"E\t-16 m\t5 m\n");
}

TEST_F(ResultsTextTest, EachResultCellIsNamedByItsColumnAndRow) {
  Frm_PosTDCalc& w = Open();
  const auto names = ResultNames(w);
  auto nameOf = [&names](const Label& l) {
    for (const auto& [label, name] : names) {
      if (label == &l) return name;
    }
    return std::string("<unnamed>");
  };
  EXPECT_EQ(nameOf(w.Label2(1)), "Distance, 9007 W Jan Mayen");
  EXPECT_EQ(nameOf(w.lblGradient(14)), "Gradient, 6731 Z Sylt");
  EXPECT_EQ(nameOf(w.lblLsqrGDOP), "GDOP, least-squares fix");
  EXPECT_EQ(nameOf(w.lblResiduals(2)), "Residual, LOP 2");
  EXPECT_EQ(nameOf(w.lblLat(1)), "Latitude, pair 1-2");
  EXPECT_EQ(nameOf(w.lblCut(3)), "Angle of cut, pair 2-3");
  EXPECT_EQ(nameOf(w.lblMeanDE), "East deviation, mean");
  EXPECT_EQ(names.size(), std::size_t{15 * 5 + 4 + 7 + 10 * 8 + 4});
}

}  // namespace
}  // namespace kestrune
