// Result presentation: every result of the calculation as the caption of a
// label, with its unit conversion and number pattern.
//
// Notation:
//   a      station azimuth shown, degrees, held in 32 bits: the direction from
//          the position towards the station (stored azimuth + 180)
//   r      residual of a LOP, microseconds; r x g the same in metres
//   dN, dE deviation north and east from the least-squares fix, metres (32 bits)
#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "util/constants.hpp"
#include "util/utility_module.hpp"

namespace kestrune {

namespace {

using Utility_Module::Format;
using Utility_Module::FormatRight;
using Utility_Module::Str;

std::string CoordText(double radians, const char* kind) {
  return Utility_Module::FormatLatLon(radians * 180 / constants::kPi, kind, 3);
}

bool IsMaster(int j) {
  return j == 0 || j == 5 || j == 8 || j == 11;
}

// The master rows of the TD, hyperbolic azimuth and gradient columns.
const char* const kNoValue = " ";

}  // namespace

void Frm_PosTDCalc::ShowStationTable(const StationDoubles& hypAzimuth,
                                     const StationFloats& gradient) {
  using Global_Module::StationTable;
  for (int j = 0; j < Global_Module::kStationCount; ++j) {
    const Global_Module::StationRecord& st = StationTable(j);
    const auto idx = static_cast<std::size_t>(j);
    Label1(j).SetCaption(st.Designator + "  " + st.Name);
    Label2(j).SetCaption(Format(st.Distance, "#.0"));
    float a = static_cast<float>(st.Azimuth * 180 / constants::kPi + 180);
    if (a > 360.0f) a = a - 360.0f;  // exactly 360 stays and shows as 360.0
    Label3(j).SetCaption(Format(a, "000.0"));
    if (IsMaster(j)) {
      Label4(j).SetCaption(kNoValue);
      Label5(j).SetCaption(kNoValue);
      lblGradient(j).SetCaption(kNoValue);
    } else {
      Label4(j).SetCaption(Format(st.PredictedTd, "#.000"));
      Label5(j).SetCaption(Format(hypAzimuth[idx], "000"));
      lblGradient(j).SetCaption(Format(gradient[idx], "###0 m"));
    }
  }
}

void Frm_PosTDCalc::ShowLsqFix(double fixLat, double fixLon, std::int16_t passes,
                               const RTCM_Calc_Module::LopList& residual,
                               const StationFloats& gradient) {
  using namespace Global_Module;
  lblLsqrLat.SetCaption(CoordText(fixLat, "LAT"));
  lblLsqrLon.SetCaption(CoordText(fixLon, "LON"));
  lblLsqrIter.SetCaption("Iterations " + Str(passes));
  for (int i = 1; i <= NoOfLops; ++i) {
    const double r = residual(i);
    const float g = gradient.at(static_cast<std::size_t>(LopTable(i).SecondaryIndex));
    lblResiduals(i).SetCaption(Str(static_cast<std::int16_t>(i)) + "     " + Format(r, "0.000") +
                               "  " + FormatRight(r * g, "###0.0"));
  }
}

void Frm_PosTDCalc::ShowGdop() {
  if (Global_Module::NoOfLops > 2) {
    lblLsqrGDOP.SetCaption("GDOP = " + Format(RTCM_Calc_Module::LsqGdop(), "#.0"));
  } else {
    lblLsqrGDOP.SetCaption("GDOP n/a");
  }
}

void Frm_PosTDCalc::ShowCombination(int k, int i, int j, double fixLat, double fixLon,
                                    std::int16_t passes, double cut, bool lsqValid, double lsqLat,
                                    double lsqLon) {
  using namespace Global_Module;
  lblLop(k).SetCaption(Str(static_cast<std::int16_t>(i)) + "-" + Str(static_cast<std::int16_t>(j)));
  lblLat(k).SetCaption(CoordText(fixLat, "LAT"));
  lblLon(k).SetCaption(CoordText(fixLon, "LON"));
  if (lsqValid) {
    float dN = 0.0f;
    float dE = 0.0f;
    RTCM_Calc_Module::LatLonDiffToNE(lsqLat, lsqLon, fixLat, fixLon, dN, dE);
    lblDN(k).SetCaption(Format(dN, "##0 m"));
    lblDE(k).SetCaption(Format(dE, "##0 m"));
  } else {
    lblDN(k).SetCaption("");
    lblDE(k).SetCaption("");
  }
  lblIter(k).SetCaption(std::to_string(passes));
  const LopRecord& a = LopTable(i);
  const LopRecord& b = LopTable(j);
  const double gdop = RTCM_Calc_Module::TwoLopGdop(
      StationTable(a.MasterIndex).Azimuth, StationTable(a.SecondaryIndex).Azimuth,
      StationTable(b.MasterIndex).Azimuth, StationTable(b.SecondaryIndex).Azimuth);
  lblGdop(k).SetCaption(Format(gdop, "0.0"));
  lblCut(k).SetCaption(Format(cut * 180 / constants::kPi, "000"));
}

void Frm_PosTDCalc::ShowMean(const TwoLopMean& mean, bool lsqValid, double lsqLat, double lsqLon) {
  if (mean.converged == 0) {
    lblMeanLat.SetCaption("");
    lblMeanLon.SetCaption("");
    lblMeanDN.SetCaption("");
    lblMeanDE.SetCaption("");
    return;
  }
  const double meanLat = mean.latSum / mean.converged;
  const double meanLon = mean.lonSum / mean.converged;
  lblMeanLat.SetCaption(CoordText(meanLat, "LAT"));
  lblMeanLon.SetCaption(CoordText(meanLon, "LON"));
  if (lsqValid) {
    float dN = 0.0f;
    float dE = 0.0f;
    RTCM_Calc_Module::LatLonDiffToNE(lsqLat, lsqLon, meanLat, meanLon, dN, dE);
    lblMeanDN.SetCaption(Format(dN, "##0 m"));
    lblMeanDE.SetCaption(Format(dE, "##0 m"));
  } else {
    lblMeanDN.SetCaption("");
    lblMeanDE.SetCaption("");
  }
}

}  // namespace kestrune
