// Result presentation: every result of the calculation as the caption of a
// label, with its unit conversion and number pattern.
//
// Notation:
//   a      station azimuth shown, degrees, held in 32 bits: the direction from
//          the position towards the station (stored azimuth + 180)
//   r      residual of a LOP, microseconds; r x g the same in metres
//   dN, dE deviation north and east from the least-squares fix, metres (32 bits)
#include <optional>
#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune {

namespace {

using text::Format;
using text::FormatRight;
using text::WithSignPlace;

// The master rows of the TD, hyperbolic azimuth and gradient columns.
const char* const kNoValue = " ";

// A deviation from the least-squares fix; blank when that did not converge
// and there is no position to measure from.
void ShowDeviation(Label& north, Label& east, const std::optional<loran::NorthEast>& d) {
  north.SetCaption(d ? Format(d->north, "##0 m") : "");
  east.SetCaption(d ? Format(d->east, "##0 m") : "");
}

}  // namespace

std::string Frm_PosTDCalc::CoordinateCaption(double radians, const char* kind) {
  return text::FormatLatLon(constants::Degrees(radians), kind, 3);
}

void Frm_PosTDCalc::ShowStationTable() {
  for (int j = 0; j < catalogue_.Size(); ++j) {
    const loran::Station& st = catalogue_.At(j);
    const loran::StationPrediction& p = StationAt(j);
    Label1(j).SetCaption(st.designator + "  " + st.name);
    Label2(j).SetCaption(Format(p.range.distance, "#.0"));
    float a = static_cast<float>(p.range.azimuth * 180 / constants::kPi + 180);
    if (a > 360.0f) a = a - 360.0f;  // exactly 360 stays and shows as 360.0
    Label3(j).SetCaption(Format(a, "000.0"));
    if (catalogue_.IsMaster(j)) {
      Label4(j).SetCaption(kNoValue);
      Label5(j).SetCaption(kNoValue);
      lblGradient(j).SetCaption(kNoValue);
    } else {
      Label4(j).SetCaption(Format(p.td, "#.000"));
      Label5(j).SetCaption(Format(p.direction.hypAzimuth, "000"));
      lblGradient(j).SetCaption(Format(p.direction.gradient, "###0 m"));
    }
  }
}

void Frm_PosTDCalc::ShowLsqFix(const loran::LeastSquaresFix& fix) {
  // A fix that did not converge has no position and no residuals: blank
  // rather than a zero position that would read as an exact fix.
  lblLsqrLat.SetCaption(fix.converged ? CoordinateCaption(fix.fix.lat, "LAT") : "");
  lblLsqrLon.SetCaption(fix.converged ? CoordinateCaption(fix.fix.lon, "LON") : "");
  lblLsqrIter.SetCaption("Iterations " + WithSignPlace(fix.passes));
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    if (!fix.converged) {
      lblResiduals(i).SetCaption("");
      continue;
    }
    const double r = fix.residuals.at(static_cast<std::size_t>(i - 1));
    const float g = StationAt(setup_.LopTable(i).SecondaryIndex).direction.gradient;
    lblResiduals(i).SetCaption(WithSignPlace(static_cast<std::int16_t>(i)) + "     " +
                               Format(r, "0.000") + "  " + FormatRight(r * g, "###0.0"));
  }
}

void Frm_PosTDCalc::ShowGdop(std::optional<double> gdop) {
  lblLsqrGDOP.SetCaption(gdop ? "GDOP = " + Format(*gdop, "#.0") : "GDOP n/a");
}

void Frm_PosTDCalc::ShowCombination(int k, const loran::PairSolution& pair) {
  const loran::TwoLopFixResult& fix = pair.fix;
  lblLop(k).SetCaption(WithSignPlace(static_cast<std::int16_t>(pair.first)) + "-" +
                       WithSignPlace(static_cast<std::int16_t>(pair.second)));
  lblLat(k).SetCaption(CoordinateCaption(fix.fix.lat, "LAT"));
  lblLon(k).SetCaption(CoordinateCaption(fix.fix.lon, "LON"));
  ShowDeviation(lblDN(k), lblDE(k), pair.fromLsq);
  lblIter(k).SetCaption(std::to_string(fix.passes));
  if (pair.gdopFault) throw *pair.gdopFault;
  lblGdop(k).SetCaption(pair.gdop ? Format(*pair.gdop, "0.0") : "");
  lblCut(k).SetCaption(Format(fix.cut * 180 / constants::kPi, "000"));
}

void Frm_PosTDCalc::ShowMean(const loran::PositionSolution& solution) {
  if (!solution.mean) {
    for (Label* l : {&lblMeanLat, &lblMeanLon, &lblMeanDN, &lblMeanDE}) l->SetCaption("");
    return;
  }
  lblMeanLat.SetCaption(CoordinateCaption(solution.mean->lat, "LAT"));
  lblMeanLon.SetCaption(CoordinateCaption(solution.mean->lon, "LON"));
  ShowDeviation(lblMeanDN, lblMeanDE, solution.meanFromLsq);
}

}  // namespace kestrune
