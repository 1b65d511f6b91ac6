// The result presentation steps on their own: patterns, compositions, and
// what a failed fix leaves blank.
#include <gtest/gtest.h>

#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/tests/test_support.hpp"
#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace kestrune {
namespace {

using Global_Module::LopTable;
using Global_Module::NoOfLops;
using Global_Module::StationTable;

constexpr double kDeg = constants::kPi / 180;

class PresentationTest : public testing_support::ModelTest {
 protected:
  PresentationTest() {
    Global_Module::BuildStationCatalogue();
    NoOfLops = 2;
    LopTable(1) = {0, 2, 0.0, 1.0f};
    LopTable(2) = {0, 3, 0.0, 1.0f};
    // Station azimuths at 64N 4E, as a TD prediction there stores them.
    StationTable(0).Azimuth = 76.24972 * kDeg;
    StationTable(2).Azimuth = 217.52007 * kDeg;
    StationTable(3).Azimuth = 352.93068 * kDeg;
  }
  Frm_PosTDCalc w_;
};

TEST_F(PresentationTest, StationTableColumns) {
  const struct {
    int row;
    double distance;  // metres
    double azimuth;   // degrees, as stored (outward)
    double td;        // microseconds
    double hyp;       // degrees
    float gradient;   // m/us
    const char* dist;
    const char* az;
    const char* tdText;
    const char* hypText;
    const char* gradText;
  } rows[] = {
      {0, 831598.06, 28.0, 0.0, 0.0, 0.0f, "831598.1", "208.0", " ", " ", " "},
      {1, 0.4, 190.0, 12773.5055, 76.4, 200.6f, ".4", "010.0", "12773.506", "076", "201 m"},
      {2, 123.46, 10.0, 0.5, 145.5, 9999.0f, "123.5", "190.0", ".500", "146", "9999 m"},
      {3, 2.25, 180.0, 41300.3164, 6.5, 0.3f, "2.3", "360.0", "41300.316", "007", "0 m"},
      {5, 5.0, 359.96, 0.0, 0.0, 0.0f, "5.0", "180.0", " ", " ", " "},
  };
  Frm_PosTDCalc::StationDoubles hyp{};
  Frm_PosTDCalc::StationFloats gradient{};
  for (const auto& r : rows) {
    StationTable(r.row).Distance = r.distance;
    StationTable(r.row).Azimuth = r.azimuth * kDeg;
    StationTable(r.row).PredictedTd = r.td;
    hyp[static_cast<std::size_t>(r.row)] = r.hyp;
    gradient[static_cast<std::size_t>(r.row)] = r.gradient;
  }
  w_.ShowStationTable(hyp, gradient);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.row);
    EXPECT_EQ(w_.Label2(r.row).Caption(), r.dist);
    EXPECT_EQ(w_.Label3(r.row).Caption(), r.az);
    EXPECT_EQ(w_.Label4(r.row).Caption(), r.tdText);
    EXPECT_EQ(w_.Label5(r.row).Caption(), r.hypText);
    EXPECT_EQ(w_.lblGradient(r.row).Caption(), r.gradText);
  }
  EXPECT_EQ(w_.Label1(13).Caption(), "Y  Loop Head");
  EXPECT_EQ(w_.Label4(8).Caption(), " ");
  EXPECT_EQ(w_.Label4(11).Caption(), " ");

  SetDecimalSeparator(',');
  w_.ShowStationTable(hyp, gradient);
  EXPECT_EQ(w_.Label2(0).Caption(), "831598,1");
  EXPECT_EQ(w_.Label4(2).Caption(), ",500");
}

TEST_F(PresentationTest, LeastSquaresFixResidualsAndGdop) {
  RTCM_Calc_Module::LopList residual{};
  residual(1) = -12.3 / 200.0;
  residual(2) = 0.25;
  Frm_PosTDCalc::StationFloats gradient{};
  gradient[2] = 200.0f;
  gradient[3] = 450.0f;
  w_.ShowLsqFix(64 * kDeg, -7.073910833464728 * kDeg, 5, residual, gradient);
  EXPECT_EQ(w_.lblLsqrLat.Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w_.lblLsqrLon.Caption(), "007°04'26.079\"W");
  EXPECT_EQ(w_.lblLsqrIter.Caption(), "Iterations  5");
  EXPECT_EQ(w_.lblResiduals(1).Caption(), " 1     -0.062   -12.3");
  EXPECT_EQ(w_.lblResiduals(2).Caption(), " 2     0.250   112.5");
  w_.ShowGdop();
  EXPECT_EQ(w_.lblLsqrGDOP.Caption(), "GDOP n/a");
}

TEST_F(PresentationTest, CombinationRowAndItsDeviation) {
  w_.ShowCombination(1, 1, 2, 64.001 * kDeg, 4.001 * kDeg, 5, 1.959912, true, 64 * kDeg, 4 * kDeg);
  EXPECT_EQ(w_.lblLop(1).Caption(), " 1- 2");
  EXPECT_EQ(w_.lblLat(1).Caption(), "64°00'03.600\"N");
  EXPECT_EQ(w_.lblLon(1).Caption(), "004°00'03.600\"E");
  EXPECT_EQ(w_.lblDN(1).Caption(), "111 m");  // 110.8745
  EXPECT_EQ(w_.lblDE(1).Caption(), "49 m");   // 48.9317
  EXPECT_EQ(w_.lblIter(1).Caption(), "5");
  EXPECT_EQ(w_.lblGdop(1).Caption(), "1.3");  // 1.274670
  EXPECT_EQ(w_.lblCut(1).Caption(), "112");   // 112.2947 degrees

  // Measured the other way the deviations keep their sign.
  w_.ShowCombination(2, 1, 2, 64 * kDeg, 4 * kDeg, 3, 0.0, true, 64.001 * kDeg, 4.001 * kDeg);
  EXPECT_EQ(w_.lblDN(2).Caption(), "-111 m");
  EXPECT_EQ(w_.lblDE(2).Caption(), "-49 m");
}

// A failed two-LOP fix shows its zero outputs and 20 iterations; a failed
// least-squares fix gives no point to measure deviations from.
TEST_F(PresentationTest, FailedFixes) {
  w_.ShowCombination(3, 1, 2, 0.0, 0.0, 20, 0.0, true, 64 * kDeg, 4 * kDeg);
  EXPECT_EQ(w_.lblLat(3).Caption(), "00°00'00.000\"N");
  EXPECT_EQ(w_.lblLon(3).Caption(), "000°00'00.000\"E");
  EXPECT_EQ(w_.lblIter(3).Caption(), "20");
  EXPECT_EQ(w_.lblCut(3).Caption(), "000");
  EXPECT_NE(w_.lblDN(3).Caption(), "");

  w_.ShowCombination(4, 1, 2, 64 * kDeg, 4 * kDeg, 5, 1.959912, false, 0.0, 0.0);
  EXPECT_EQ(w_.lblDN(4).Caption(), "");
  EXPECT_EQ(w_.lblDE(4).Caption(), "");
  EXPECT_EQ(w_.lblLat(4).Caption(), "64°00'00.000\"N");
  EXPECT_EQ(w_.lblGdop(4).Caption(), "1.3");
}

// Only converged two-LOP fixes enter the mean; with none the mean is blank.
TEST_F(PresentationTest, MeanOfTheConvergedFixes) {
  TwoLopMean mean;
  mean.Add(64 * kDeg, 4 * kDeg, 5);
  mean.Add(0.0, 0.0, 20);  // failed: no position
  mean.Add(64.002 * kDeg, 4.002 * kDeg, 19);
  EXPECT_EQ(mean.converged, 2);
  EXPECT_DOUBLE_EQ(mean.latSum, 64 * kDeg + 64.002 * kDeg);

  w_.ShowMean(mean, true, 64 * kDeg, 4 * kDeg);
  EXPECT_EQ(w_.lblMeanLat.Caption(), "64°00'03.600\"N");
  EXPECT_EQ(w_.lblMeanLon.Caption(), "004°00'03.600\"E");
  EXPECT_EQ(w_.lblMeanDN.Caption(), "111 m");
  EXPECT_EQ(w_.lblMeanDE.Caption(), "49 m");

  w_.ShowMean(mean, false, 0.0, 0.0);
  EXPECT_EQ(w_.lblMeanLat.Caption(), "64°00'03.600\"N");
  EXPECT_EQ(w_.lblMeanDN.Caption(), "");
  EXPECT_EQ(w_.lblMeanDE.Caption(), "");

  TwoLopMean none;
  none.Add(0.0, 0.0, 20);
  none.Add(0.0, 0.0, 20);
  w_.ShowMean(none, true, 64 * kDeg, 4 * kDeg);
  for (const Label* l : {&w_.lblMeanLat, &w_.lblMeanLon, &w_.lblMeanDN, &w_.lblMeanDE}) {
    EXPECT_EQ(l->Caption(), "") << l->Name();
  }
}

}  // namespace
}  // namespace kestrune
