// The calculation driver: reads the window's fields into the shared globals,
// predicts the TDs of the whole catalogue and, for the position solutions,
// makes the least-squares fix, the two-LOP fix of every pair of LOPs and
// their mean.
//
// Notation:
//   EstLat, EstLon   estimated position, radians (the start of every fix)
//   m, s             station indices of a LOP's master and secondary
//   k                combination number 1 to n(n-1)/2 of the pair (i, j)
//   entry 0          of the fix lists: the least-squares fix
// Every working list lives for one call and starts at zero.
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "calc_window/frm_postdcalc.hpp"
#include "chain_setup/global_module.hpp"
#include "core/rtcm_calc_module.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/utility_module.hpp"

namespace kestrune {

namespace {

// Fix lists: entry 0 the least-squares fix, 1 to 21 the combinations of up
// to seven LOPs.
constexpr int kFixEntries = 22;
constexpr int kComboRows = 10;  // combinations with a row in the window

// The chains as the TD prediction walks them: master, then its secondaries.
struct ChainGroup {
  std::int16_t master;
  std::int16_t first;  // first secondary index
  std::int16_t last;   // last secondary index
};
constexpr ChainGroup kGroups[] = {{0, 1, 4}, {5, 6, 7}, {8, 9, 10}, {11, 12, 14}};

// A working list with a fixed index range 0 to N - 1; an index outside it is
// run-time error 9, like every other table of the program.
template <class T, int N>
class FixList {
 public:
  T& operator()(int i) {
    if (i < 0 || i >= N) throw RuntimeFault(RuntimeFault::kSubscript);
    return items_[static_cast<std::size_t>(i)];
  }

 private:
  std::array<T, N> items_{};
};

// A 64-bit value held in a 32-bit variable; beyond the float range that is
// an overflow, as any narrowing assignment of the program.
float ToSingle(double value) {
  if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
    throw RuntimeFault(RuntimeFault::kOverflow);
  }
  return static_cast<float>(value);
}

}  // namespace

void TwoLopMean::Add(double fixLat, double fixLon, std::int16_t passes) {
  if (passes >= constants::kTwoLopPassLimit) return;
  ++converged;
  latSum = latSum + fixLat;
  lonSum = lonSum + fixLon;
}

void Frm_PosTDCalc::LoranCalc(std::int16_t mode) {
  using namespace Global_Module;
  using namespace RTCM_Calc_Module;
  using Utility_Module::ParseLatLon;
  using Utility_Module::ValWithComma;

  StationDoubles hypAzimuth{};  // degrees, by station index
  StationFloats gradient{};     // metres per microsecond, by station index

  // 1. Estimated position: parser messages first, the corrected value is used.
  EstLat = ParseLatLon(txtEstLat.Text(), "LAT") * constants::kPi / 180;
  EstLon = ParseLatLon(txtEstLon.Text(), "LON") * constants::kPi / 180;

  // 2. Observations, read again from the fields at every call.
  for (int i = 1; i <= NoOfLops; ++i) {
    LopTable(i).ObservedTd = ValWithComma(txtTD(i).Text());
    LopTable(i).Weight = ToSingle(ValWithComma(txtWeight(i).Text()));
  }

  // 3. TD prediction for every entry of the catalogue, whatever LOPs are used.
  for (const ChainGroup& g : kGroups) {
    const std::int16_t m = g.master;
    for (std::int16_t s = g.first; s <= g.last; ++s) {
      StationRecord& ms = StationTable(m);
      StationRecord& ss = StationTable(s);
      CalcTD(EstLat, EstLon, m, s, ms.Distance, ms.Azimuth, ms.PropagationTime, ss.Distance,
             ss.Azimuth, ss.PropagationTime, ss.PredictedTd);
      LopAzGradient(EstLat, EstLon, m, s, ss.PredictedTd, hypAzimuth[static_cast<std::size_t>(s)],
                    gradient[static_cast<std::size_t>(s)]);
    }
  }

  // 4. Station table.
  ShowStationTable(hypAzimuth, gradient);

  // 5. TD estimation ends here.
  if (mode == 1) return;

  LopList observedTd{};
  LopList weights{};
  LopList residuals{};
  FixList<double, kFixEntries> fixLat;
  FixList<double, kFixEntries> fixLon;
  FixList<std::int16_t, kFixEntries> fixIter;
  FixList<double, kFixEntries> cut;
  std::int16_t failed = 0;

  // 6. Least-squares fix from the estimated position.
  for (int i = 1; i <= NoOfLops; ++i) {
    observedTd(i) = LopTable(i).ObservedTd;
    weights(i) = LopTable(i).Weight;
  }
  LsqFix(EstLat, EstLon, observedTd, fixLat(0), fixLon(0), weights, residuals, fixIter(0), failed);
  ShowLsqFix(fixLat(0), fixLon(0), fixIter(0), residuals, gradient);
  // A failed fix leaves no position to measure deviations from.
  const bool lsqValid = failed == 0;

  // 7. GDOP of all LOPs.
  ShowGdop();

  // 8. Two-LOP fixes in all combinations, each from the estimated position.
  // Only converged fixes enter the mean: a failed fix has no position.
  std::int16_t k = 0;
  TwoLopMean mean;
  for (int i = 1; i <= NoOfLops - 1; ++i) {
    for (int j = i + 1; j <= NoOfLops; ++j) {
      k = static_cast<std::int16_t>(k + 1);
      const LopRecord& a = LopTable(i);
      const LopRecord& b = LopTable(j);
      TwoLopFix(EstLat, EstLon, a.ObservedTd, b.ObservedTd, a.MasterIndex, a.SecondaryIndex,
                b.MasterIndex, b.SecondaryIndex, fixLat(k), fixLon(k), fixIter(k), cut(k));
      if (k <= kComboRows) {
        ShowCombination(k, i, j, fixLat(k), fixLon(k), fixIter(k), cut(k), lsqValid, fixLat(0),
                        fixLon(0));
      }
      mean.Add(fixLat(k), fixLon(k), fixIter(k));
    }
  }

  // 9. Mean of the converged two-LOP fixes.
  ShowMean(mean, lsqValid, fixLat(0), fixLon(0));
}

}  // namespace kestrune
