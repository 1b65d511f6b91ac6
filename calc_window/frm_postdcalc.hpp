// The calculation window: the estimated position, one observed TD and one
// weight per LOP, the station table of the TD estimation, the least-squares
// fix, the two-LOP fixes in all combinations and their mean.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <vector>

#include "chain_setup/setup.hpp"
#include "loran/asf.hpp"
#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "platform/controls.hpp"
#include "platform/listeners.hpp"

namespace kestrune {

// The file of ASF offsets beside the setup file: when it is there, every
// prediction of a calibrated LOP carries its offset.
inline constexpr const char* kCalibrationFileName = "Kestrune-calibration.csv";
// The ASF setting beside the setup file: a line "ASF=none" (as without the
// file) or "ASF=coastline", the ASF predicted from land and sea.
inline constexpr const char* kAsfSettingFileName = "Kestrune-asf.ini";

// What the last CALC Pos Solutions computed, as far as the window got: the
// library's solution, cut where a fault ended the calculation.
using PositionSolution = loran::PositionSolution;

class Frm_PosTDCalc : public Form {
 public:
  // setup: the run's shared setup (the chain choice, and the position, TDs
  // and weights each calculation stores); catalogue: the stations of the
  // station table. Both outlive the window.
  Frm_PosTDCalc(SetupState& setup, const loran::Catalogue& catalogue);

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
  CommandButton& cmdCopyTD;  // disabled until a TD estimate exists
  CommandButton& cmdCalc;
  CommandButton& cmdExit;

  // Station table, one row per station in catalogue order (inside Frame1).
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

  // Opens the chart of the last position solution; created after every
  // other control, in the free space below cmdCalc.
  CommandButton& cmdChart;

  // Event handlers.
  void Form_Load();
  void cmdCalcTD_Click();
  void cmdCalc_Click();
  void cmdCopyTD_Click();
  void cmdExit_Click();
  void cmdChart_Click();
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
  // with the least-squares fix, the two-LOP fixes and their mean. Each
  // message of the computation is shown when the step that raised it ends,
  // in the order it arose; a run-time fault ends the calculation.
  void LoranCalc(std::int16_t mode);

  // Called by EXIT after Yes (and a successful save) or No: end the program.
  std::function<void()> EndProgram;
  // Called by cmdChart: the front end shows the chart window.
  std::function<void()> OpenChart;

  const loran::Catalogue& StationCatalogue() const { return catalogue_; }
  const SetupState& SharedSetup() const { return setup_; }
  // The heading of chain `chain` (its position in the catalogue) in the
  // station table; run-time error 9 for a chain without one.
  Label& ChainHeading(int chain) const;

  // What the last TD prediction gave for each station, by station index.
  const std::vector<loran::StationPrediction>& Stations() const { return stations_; }
  // True once a TD prediction of the whole catalogue has been made.
  bool EstimateExists() const { return estimate_exists_; }
  // The last position solution, empty before the first CALC Pos Solutions.
  const std::optional<PositionSolution>& LastSolution() const { return solution_; }
  // The ASF offsets in use (us) by station index of the secondary; empty
  // without a calibration file.
  const std::vector<std::optional<loran::CalibrationOffset>>& Offsets() const { return offsets_; }
  // The ASF setting: true when the predictions and fixes carry the ASF the
  // coastline model predicts ("ASF from the coastline" ends the title).
  bool AsfFromCoastline() const { return asf_ != nullptr; }
  // Changes the ASF setting and keeps it in kAsfSettingFileName (written
  // whole); the results on show are calculated again with it. A setting that
  // cannot be kept, or a coastline that cannot be read, is said in one box
  // and the setting stays as it was. Returns the setting now in use.
  bool SetAsfFromCoastline(bool on);
  // Heard after every calculation, whether it finished or a fault ended it.
  int SubscribeCalculated(std::function<void()> listener) {
    return calculated_.Subscribe(std::move(listener));
  }
  void UnsubscribeCalculated(int id) { calculated_.Unsubscribe(id); }

  // Result presentation, the writing steps LoranCalc runs: each step writes
  // a new caption into its labels. Positions in radians.
  void ShowStationTable();
  // A fix that did not converge leaves its position and residual lines blank.
  void ShowLsqFix(const loran::LeastSquaresFix& fix);
  // The GDOP of all LOPs at the estimated position; none: "GDOP n/a".
  void ShowGdop(std::optional<double> gdop);
  // Row k (1 to 10) for the pair; a pair whose GDOP faulted throws that
  // fault after the captions before the GDOP are written.
  void ShowCombination(int k, const loran::PairSolution& pair);
  // The mean of the converged two-LOP fixes and its deviation from the
  // least-squares fix; blank when none converged.
  void ShowMean(const loran::PositionSolution& solution);

 private:
  // A position (radians) as the window shows it: the coordinate text with
  // three decimals of seconds.
  static std::string CoordinateCaption(double radians, const char* kind);
  // Members lo..hi of a control array; rect(i) and text(i) give each member's
  // rectangle and initial caption or text.
  template <class T, class RectFn, class TextFn>
  ControlArray<T> MakeArray(const char* name, int lo, int hi, Control* container, RectFn rect,
                            TextFn text);
  ControlArray<Label> MakeHeadings(const loran::Catalogue& catalogue);
  // One column of the station table: a row per station at `left`, `width` twips wide.
  ControlArray<Label> MakeStationColumn(const loran::Catalogue& catalogue, const char* name,
                                        int left, int width, const char* placeholder);
  // The prediction of station `index`; run-time error 9 outside the catalogue.
  const loran::StationPrediction& StationAt(int index) const;
  // The LOPs in use with their TDs as typed, and the offset of each (us; the
  // computation takes the TD less its offset, which adds the offset to
  // every prediction).
  std::vector<loran::Lop> Lops() const;
  std::vector<double> LopOffsets() const;
  // Reads the calibration file, when there is one, at load.
  void LoadCalibration();
  // The offset (us) of the LOP of secondary station `secondary`: its
  // calibration offset plus, with the ASF setting on, the model's ASF; 0 for none.
  double OffsetOf(int secondary) const;
  // Reads the ASF setting, when there is one, at load.
  void LoadAsfSetting();
  // Takes the coastline model in; false, said in one box starting with
  // `problem`, when there is no coastline.
  bool UseAsfModel(const std::string& problem);
  // Leaves the model out, and its words out of the title.
  void DropAsfModel();
  // The model's ASF at `at` for the LOP of every secondary; the largest change (us).
  double SetAsfAt(loran::GeoPoint at);
  // The least-squares fix again with the ASF at the fix, until it settles.
  loran::PositionSolution RefixWithAsf(loran::GeoPoint start, loran::PositionSolution all);

  SetupState& setup_;
  const loran::Catalogue& catalogue_;
  std::vector<loran::StationPrediction> stations_;
  bool estimate_exists_ = false;
  std::optional<PositionSolution> solution_;
  std::vector<std::optional<loran::CalibrationOffset>> offsets_;
  std::shared_ptr<const loran::CatalogueAsf> asf_;  // null: the ASF setting is off
  std::vector<double> asfAt_;                       // us, by station index of the secondary
  ListenerList<> calculated_;
};

}  // namespace kestrune
