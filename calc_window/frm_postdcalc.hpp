// The calculation window: the estimated position, one observed TD and one
// weight per LOP, the station table of the TD estimation, the least-squares
// fix, the two-LOP fixes in all combinations and their mean.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/controls.hpp"

namespace kestrune {

// The sums behind the mean of the two-LOP fixes. A fix that reached its pass
// limit has no position (its outputs stay 0), so only converged fixes count.
struct TwoLopMean {
  int converged = 0;    // fixes in the sums
  double latSum = 0.0;  // radians
  double lonSum = 0.0;  // radians
  // fixLat, fixLon in radians; passes 1 to 20 (20: the fix failed).
  void Add(double fixLat, double fixLon, std::int16_t passes);
};

class Frm_PosTDCalc : public Form {
 public:
  Frm_PosTDCalc();

  // Frames, created before the controls they hold.
  Frame& Frame1;      // station table, "Calculated from Position Estimate"
  Frame& frmLsqrPos;  // "Least Square Position Solution"
  Frame& Frame2;      // "Position Solutions (2 way fix in all comb.)"

  // Inputs and buttons.
  Label& lblLopNo;
  ControlArray<Label> dum;  // fixed headings 0 to 11
  Label& Label6;
  TextBox& txtEstLat;
  TextBox& txtEstLon;
  ControlArray<Label> lblMaster;    // 0: heading; 1 to 7: LOP rows
  ControlArray<Label> lblSlave;     // 0: heading; 1 to 7: LOP rows
  ControlArray<TextBox> txtTD;      // 1 to 7, microseconds
  ControlArray<TextBox> txtWeight;  // 1 to 7, 0 to 1
  CommandButton& cmdCalcTD;
  CommandButton& cmdCopyTD;
  CommandButton& cmdCalc;
  CommandButton& cmdExit;

  // Station table, rows 0 to 14 in catalogue order (inside Frame1).
  ControlArray<Label> Label1;       // designator and name
  ControlArray<Label> Label2;       // distance, metres
  ControlArray<Label> Label3;       // azimuth, degrees
  ControlArray<Label> Label4;       // predicted TD, microseconds
  ControlArray<Label> Label5;       // hyperbolic azimuth, degrees
  ControlArray<Label> lblGradient;  // metres per microsecond

  // Least-squares fix (inside frmLsqrPos).
  Label& lblLsqrLat;
  Label& lblLsqrLon;
  Label& lblLsqrIter;
  Label& lblLsqrGDOP;
  Label& Label7;
  ControlArray<Label> lblResiduals;  // 0: heading; 1 to 7: LOP rows

  // Combinations 1 to 10 under headings at index 0, and the mean (inside Frame2).
  ControlArray<Label> lblLop;
  ControlArray<Label> lblLat;
  ControlArray<Label> lblLon;
  ControlArray<Label> lblDN;
  ControlArray<Label> lblDE;
  ControlArray<Label> lblIter;
  ControlArray<Label> lblGdop;
  ControlArray<Label> lblCut;
  Label& lblMean;
  Label& lblMeanLat;
  Label& lblMeanLon;
  Label& lblMeanDN;
  Label& lblMeanDE;

  // Event handlers.
  void Form_Load();
  void cmdCalcTD_Click();
  void cmdCalc_Click();
  void cmdCopyTD_Click();
  void cmdExit_Click();
  void txtEstLat_GotFocus();
  void txtEstLat_LostFocus();
  void txtEstLon_GotFocus();
  void txtEstLon_LostFocus();
  // index: LOP 1 to 7.
  void txtTD_GotFocus(int index);
  void txtWeight_GotFocus(int index);
  void txtWeight_LostFocus(int index);

  // The calculation: mode 1 predicts the TDs of the whole catalogue at the
  // estimated position and shows the station table; any other mode goes on
  // with the least-squares fix, the two-LOP fixes and their mean.
  void LoranCalc(std::int16_t mode);

  // Called by EXIT after Yes (and a successful save) or No: end the program.
  std::function<void()> EndProgram;

  using StationDoubles = std::array<double, Global_Module::kStationCount>;  // by station index
  using StationFloats = std::array<float, Global_Module::kStationCount>;

  // Result presentation, the writing steps LoranCalc runs: each step writes
  // a new caption into its labels.
  // hypAzimuth in degrees, gradient in metres per microsecond, positions in
  // radians, residuals in microseconds.
  void ShowStationTable(const StationDoubles& hypAzimuth, const StationFloats& gradient);
  void ShowLsqFix(double fixLat, double fixLon, std::int16_t passes,
                  const RTCM_Calc_Module::LopList& residual, const StationFloats& gradient);
  void ShowGdop();
  // Row k (1 to 10) for LOPs i and j. lsqValid: the least-squares fix at
  // (lsqLat, lsqLon) converged, so deviations can be measured from it.
  void ShowCombination(int k, int i, int j, double fixLat, double fixLon, std::int16_t passes,
                       double cut, bool lsqValid, double lsqLat, double lsqLon);
  // The mean of the converged two-LOP fixes; blank when none converged.
  void ShowMean(const TwoLopMean& mean, bool lsqValid, double lsqLat, double lsqLon);

 private:
  // Members lo..hi of a control array; rect(i) and text(i) give each member's
  // rectangle and initial caption or text.
  template <class T, class RectFn, class TextFn>
  ControlArray<T> MakeArray(const char* name, int lo, int hi, Control* container, RectFn rect,
                            TextFn text);
  ControlArray<Label> MakeHeadings();
  // One column of the station table: rows 0 to 14 at `left`, `width` twips wide.
  ControlArray<Label> MakeStationColumn(const char* name, int left, int width,
                                        const char* placeholder);
};

}  // namespace kestrune
