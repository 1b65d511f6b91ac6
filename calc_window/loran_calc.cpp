// The calculation driver: reads the window's fields into the shared setup,
// predicts the TDs of the whole catalogue and, for the position solutions,
// shows the solution the computation library makes of them: the
// least-squares fix, the two-LOP fix of every pair of LOPs and their mean.
//
// Notation:
//   at               the estimated position, radians (the start of every fix)
//   m, s             station indices of a LOP's master and secondary
//   k                combination number 1 to n(n-1)/2 of the pair (i, j)
// Messages of the computation come back with its results; each is shown
// before anything later is computed or written, which is where a box would
// have stood had the computation shown it itself.
#include <cstdint>
#include <string>

#include "calc_window/frm_postdcalc.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune {

namespace {

constexpr std::size_t kComboRows = 10;  // combinations with a row in the window

void Show(const std::vector<std::string>& messages) {
  for (const std::string& m : messages) MsgBox(m);
}

void Show(const loran::Messages& messages) {
  for (const loran::Message& m : messages) MsgBox(m.text, MsgButtons::Ok, m.title);
}

}  // namespace

const loran::StationPrediction& Frm_PosTDCalc::StationAt(int index) const {
  if (index < 0 || index >= static_cast<int>(stations_.size())) {
    throw RuntimeFault(RuntimeFault::kSubscript);
  }
  return stations_[static_cast<std::size_t>(index)];
}

std::vector<loran::Lop> Frm_PosTDCalc::Lops() const {
  std::vector<loran::Lop> lops;
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    const LopRecord& r = setup_.LopTable(i);
    lops.push_back(loran::Lop{r.MasterIndex, r.SecondaryIndex, r.ObservedTd, r.Weight});
  }
  return lops;
}

std::vector<double> Frm_PosTDCalc::LopOffsets() const {
  std::vector<double> offsets;
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    offsets.push_back(OffsetOf(setup_.LopTable(i).SecondaryIndex));
  }
  return offsets;
}

void Frm_PosTDCalc::LoranCalc(std::int16_t mode) {
  // Whoever follows the window hears of every calculation, also of one a
  // fault ended.
  struct Announce {
    const ListenerList<>& listeners;
    ~Announce() { listeners.Notify(); }
  } announce{calculated_};

  // 1. Estimated position: parser messages first, the corrected value is used.
  const text::ParsedCoordinate lat = text::ParseLatLon(txtEstLat.Text(), "LAT");
  Show(lat.messages);
  setup_.EstLat = lat.value * constants::kPi / 180;
  const text::ParsedCoordinate lon = text::ParseLatLon(txtEstLon.Text(), "LON");
  Show(lon.messages);
  setup_.EstLon = lon.value * constants::kPi / 180;
  const loran::GeoPoint at{setup_.EstLat, setup_.EstLon};

  // 2. Observations, read again from the fields at every call.
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    setup_.LopTable(i).ObservedTd = text::ReadLenientNumber(txtTD(i).Text());
    setup_.LopTable(i).Weight = checked::ToFloat(text::ReadLenientNumber(txtWeight(i).Text()));
  }

  // 3. TD prediction for every entry of the catalogue, whatever LOPs are
  // used. Each pair's stations take their values as soon as they are known,
  // as the window's station values always have. With the ASF setting on,
  // every prediction carries the model's ASF at the estimate.
  if (asf_) SetAsfAt(at);
  for (const loran::Chain& chain : catalogue_.Chains()) {
    for (std::int16_t s : chain.secondaries) {
      const loran::PairPrediction p = loran::PredictPair(catalogue_, at, chain.master, s);
      stations_[static_cast<std::size_t>(chain.master)].range = p.ranges.master;
      const double o = OffsetOf(s);
      stations_[static_cast<std::size_t>(s)] =
          loran::StationPrediction{p.ranges.secondary, o != 0.0 ? p.td + o : p.td, p.direction};
    }
  }
  estimate_exists_ = true;
  cmdCopyTD.SetEnabled(true);

  // 4. Station table.
  ShowStationTable();

  // 5. TD estimation ends here.
  if (mode == 1) return;

  // 6. The whole solution from the estimated position, from the library;
  // the window then shows it step by step, each step's messages before
  // anything later, and a fault where it arose. What the window reaches is
  // the last solution.
  // With the ASF setting on, the ASF at the fix, not at the estimate, for
  // this fix and the pairs.
  loran::PositionSolution all =
      loran::SolvePosition(catalogue_, loran::SolutionRequest{Lops(), LopOffsets(), at});
  if (asf_) all = RefixWithAsf(at, std::move(all));
  solution_ = all;
  solution_->pairs.clear();
  solution_->mean.reset();
  solution_->complete = false;
  const loran::LeastSquaresFix& lsq = *all.lsq;
  Show(lsq.messages);
  if (lsq.fault) throw *lsq.fault;
  ShowLsqFix(lsq);

  // 7. GDOP of all LOPs.
  ShowGdop(all.gdopAtEstimate);

  // 8. Two-LOP fixes in all combinations, each from the estimated position;
  // a fault of a pair fix ends the pairs after the ones before it.
  for (std::size_t k = 1; k <= all.pairs.size(); ++k) {
    const loran::PairSolution& pair = all.pairs[k - 1];
    solution_->pairs.push_back(pair);
    Show(pair.fix.messages);
    if (k <= kComboRows) ShowCombination(static_cast<int>(k), pair);
  }
  if (all.fault) throw *all.fault;

  // 9. Mean of the converged two-LOP fixes.
  ShowMean(all);
  solution_->mean = all.mean;
  solution_->complete = true;
}

}  // namespace kestrune
