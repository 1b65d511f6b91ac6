// The calculation driver: reads the window's fields into the shared setup,
// predicts the TDs of the whole catalogue and, for the position solutions,
// makes the least-squares fix, the two-LOP fix of every pair of LOPs and
// their mean, each through the computation library.
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
#include "platform/checked_array.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune {

namespace {

// The two-LOP fixes of one call: combinations 1 to 21 of up to seven LOPs
// (entry 0 unused).
constexpr int kFixEntries = 22;
constexpr int kComboRows = 10;  // combinations with a row in the window

void Show(const std::vector<std::string>& messages) {
  for (const std::string& m : messages) MsgBox(m);
}

void Show(const loran::Messages& messages) {
  for (const loran::Message& m : messages) MsgBox(m.text, MsgButtons::Ok, m.title);
}

}  // namespace

void TwoLopMean::Add(const loran::TwoLopFixResult& fix) {
  if (!fix.converged) return;
  ++converged;
  latSum = latSum + fix.fix.lat;
  lonSum = lonSum + fix.fix.lon;
}

std::optional<loran::GeoPoint> TwoLopMean::Mean() const {
  if (converged == 0) return std::nullopt;
  return loran::GeoPoint{latSum / converged, lonSum / converged};
}

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
    loran::Lop lop{r.MasterIndex, r.SecondaryIndex, r.ObservedTd, r.Weight};
    if (const double o = OffsetOf(r.SecondaryIndex); o != 0.0) lop.observedTd = lop.observedTd - o;
    lops.push_back(lop);
  }
  return lops;
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

  // 6. Least-squares fix from the estimated position. Its messages come
  // before a fault that ended it.
  std::vector<loran::Lop> lops = Lops();
  std::vector<double> offsets;
  for (const loran::Lop& lop : lops) offsets.push_back(OffsetOf(lop.secondary));
  solution_ = PositionSolution{at, lops, offsets, std::nullopt, {}, std::nullopt, false};
  loran::LeastSquaresFix lsq = loran::LsqFix(catalogue_, lops, at);
  if (asf_) {
    // The ASF at the fix, not at the estimate, for this fix and the pairs.
    lsq = RefixWithAsf(at, std::move(lsq), lops);
    solution_->lops = lops;
    for (std::size_t i = 0; i < lops.size(); ++i) {
      solution_->offsets[i] = OffsetOf(lops[i].secondary);
    }
  }
  solution_->lsq = lsq;
  Show(lsq.messages);
  if (lsq.fault) throw *lsq.fault;
  ShowLsqFix(lsq);

  // 7. GDOP of all LOPs.
  ShowGdop();

  // 8. Two-LOP fixes in all combinations, each from the estimated position.
  // Only converged fixes enter the mean: a failed fix has no position.
  std::int16_t k = 0;
  CheckedArray<loran::TwoLopFixResult, kFixEntries> pairs;
  TwoLopMean mean;
  for (int i = 1; i <= setup_.NoOfLops - 1; ++i) {
    for (int j = i + 1; j <= setup_.NoOfLops; ++j) {
      k = static_cast<std::int16_t>(k + 1);
      pairs(k) = loran::TwoLopFix(catalogue_, lops[static_cast<std::size_t>(i - 1)],
                                  lops[static_cast<std::size_t>(j - 1)], at);
      solution_->pairs.push_back(PositionSolution::Pair{i, j, pairs(k)});
      Show(pairs(k).messages);
      if (k <= kComboRows) ShowCombination(k, i, j, pairs(k), lsq);
      mean.Add(pairs(k));
    }
  }

  // 9. Mean of the converged two-LOP fixes.
  ShowMean(mean, lsq);
  solution_->mean = mean.Mean();
  solution_->complete = true;
}

}  // namespace kestrune
