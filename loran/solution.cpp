// The position solution from one start, in the order the calculation window
// has always computed it: least-squares fix, then the pair fixes with their
// GDOPs at the start, then the mean; a run-time fault of a fix ends it there.
// The figures at the fix a converter writes follow, each guarded on its own.
//
// Notation:
//   at         the start (estimated position), radians
//   n          LOPs, 2 to 7; i, j LOP numbers 1 to n of a pair, i < j
//   o          a LOP's ASF offset, us: the fixes take td - o
//   azM, azS   azimuths (radians) of a LOP's master and secondary seen from at
#include "loran/solution.hpp"

#include <string>

#include "loran/coverage.hpp"
#include "loran/prediction.hpp"
#include "loran/row_fix.hpp"

namespace kestrune::loran {

namespace {

// The azimuths of one LOP's stations at the start, or none when the
// geometry there faults.
struct LopAzimuths {
  double master = 0.0;
  double secondary = 0.0;
};

std::vector<Lop> Corrected(const SolutionRequest& request) {
  std::vector<Lop> lops = request.lops;
  for (std::size_t k = 0; k < lops.size() && k < request.offsets.size(); ++k) {
    lops[k].observedTd = lops[k].observedTd - request.offsets[k];
  }
  return lops;
}

std::optional<std::vector<LopAzimuths>> AzimuthsAt(const Catalogue& catalogue,
                                                   std::span<const Lop> lops, GeoPoint at) {
  std::vector<LopAzimuths> out;
  try {
    for (const Lop& lop : lops) {
      const PairRanges r = RangePair(at, catalogue.At(lop.master), catalogue.At(lop.secondary));
      out.push_back({r.master.azimuth, r.secondary.azimuth});
    }
  } catch (const RuntimeFault&) {
    return std::nullopt;
  }
  return out;
}

std::optional<double> GdopAtEstimate(const std::optional<std::vector<LopAzimuths>>& az) {
  if (!az || az->size() <= 2) return std::nullopt;
  std::vector<double> secondaries;
  for (const LopAzimuths& a : *az) secondaries.push_back(a.secondary);
  return LsqGdop(secondaries);
}

// Pair (i, j) from the start; a fault of the fix passes to the caller.
PairSolution SolvePair(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint at,
                       const std::optional<std::vector<LopAzimuths>>& az, int i, int j) {
  PairSolution p;
  p.first = i;
  p.second = j;
  const auto a = static_cast<std::size_t>(i - 1);
  const auto b = static_cast<std::size_t>(j - 1);
  p.fix = TwoLopFix(catalogue, lops[a], lops[b], at);
  if (!az) return p;
  try {
    p.gdop = TwoLopGdop((*az)[a].master, (*az)[a].secondary, (*az)[b].master, (*az)[b].secondary);
  } catch (const RuntimeFault& f) {
    p.gdopFault = f;
  }
  return p;
}

// Every pair in combination order, their deviations and mean; false when a
// pair's fault ended the solution.
bool SolvePairs(const Catalogue& catalogue, GeoPoint at, PositionSolution& s) {
  const auto az = AzimuthsAt(catalogue, s.lops, at);
  const int n = static_cast<int>(s.lops.size());
  const LeastSquaresFix* lsq = s.lsq && s.lsq->converged ? &*s.lsq : nullptr;
  TwoLopMean mean;
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      try {
        s.pairs.push_back(SolvePair(catalogue, s.lops, at, az, i, j));
      } catch (const RuntimeFault& f) {
        s.fault = f;
        return false;
      }
      PairSolution& p = s.pairs.back();
      if (lsq) p.fromLsq = LatLonDiffToNE(lsq->fix, p.fix.fix);
      mean.Add(p.fix);
    }
  }
  s.mean = mean.Mean();
  if (lsq && s.mean) s.meanFromLsq = LatLonDiffToNE(lsq->fix, *s.mean);
  return true;
}

// The fix a converter writes, taken from what was solved; for two LOPs
// without pair fixes the pair is solved here. Returns the pair fix of two
// LOPs, when there is one.
std::optional<TwoLopFixResult> MainFix(const Catalogue& catalogue, GeoPoint at,
                                       PositionSolution& s) {
  if (s.lops.size() >= 3) {
    s.kind = "lsq";
    if (!s.lsq) return std::nullopt;
    s.passes = s.lsq->passes;
    if (s.lsq->converged && !s.lsq->fault) {
      s.fix = s.lsq->fix;
      s.residuals = s.lsq->residuals;
    }
    return std::nullopt;
  }
  s.kind = "two-lop";
  TwoLopFixResult pair;
  if (!s.pairs.empty()) {
    pair = s.pairs.front().fix;
  } else if (!s.fault) {
    try {
      pair = TwoLopFix(catalogue, s.lops[0], s.lops[1], at);
    } catch (const RuntimeFault& f) {
      s.fault = f;
      return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  s.passes = pair.passes;
  if (!pair.converged) return pair;
  s.fix = pair.fix;
  for (const Lop& l : s.lops) {
    s.residuals.push_back(PredictPair(catalogue, pair.fix, l.master, l.secondary).td -
                          l.observedTd);
  }
  return pair;
}

// GDOP, accuracy and coverage at the fix. A fault of the geometry there
// leaves the GDOP and coverage out and becomes the status.
void AtFix(const Catalogue& catalogue, double tdSigma, PositionSolution& s) {
  try {
    std::vector<PairRanges> v;
    for (const Lop& l : s.lops) {
      v.push_back(RangePair(*s.fix, catalogue.At(l.master), catalogue.At(l.secondary)));
    }
    double gdop = 0.0;
    if (v.size() == 2) {
      gdop = TwoLopGdop(v[0].master.azimuth, v[0].secondary.azimuth, v[1].master.azimuth,
                        v[1].secondary.azimuth);
    } else {
      std::vector<double> azimuths;
      for (const PairRanges& view : v) azimuths.push_back(view.secondary.azimuth);
      gdop = LsqGdop(azimuths);
    }
    if (gdop > 0.0) s.gdopAtFix = gdop;
  } catch (const RuntimeFault& f) {
    s.atFixFault = f;
  }
  const CoverageAssessment coverage = AssessCoverage(catalogue, s.lops, *s.fix, tdSigma);
  s.covered = coverage.verdict == CoverageVerdict::kInside;
  s.coverageStatus = CoverageStatus(catalogue, coverage);
  try {
    s.accuracy = FixAccuracyAt(catalogue, s.lops, *s.fix, tdSigma);
  } catch (const RuntimeFault&) {
    // No gradient at the fix: no ellipse either.
  }
}

// The status FixRow gives this fix from the same start: one verdict for the
// window's solution, the converter's rows and the bindings' tables.
std::string StatusOf(const Catalogue& catalogue, const SolutionRequest& request,
                     const PositionSolution& s, const std::optional<TwoLopFixResult>& pair) {
  const RowFixInput in{request.lops,         request.offsets,     {},
                       request.start,        StartSource::kGiven, request.tdSigma,
                       request.residualSigma};
  RowFix judged;
  if (s.lops.size() >= 3 && s.lsq) {
    judged = JudgeLeastSquaresFix(catalogue, in, *s.lsq);
  } else if (s.lops.size() == 2 && pair) {
    judged = JudgeTwoLopFix(catalogue, in, *pair);
  } else if (s.fault) {
    return s.fault->what();
  }
  return judged.status.empty() ? "ok" : judged.status;
}
}  // namespace

void TwoLopMean::Add(const TwoLopFixResult& fix) {
  if (!fix.converged) return;
  ++converged;
  latSum = latSum + fix.fix.lat;
  lonSum = lonSum + fix.fix.lon;
}

std::optional<GeoPoint> TwoLopMean::Mean() const {
  if (converged == 0) return std::nullopt;
  return GeoPoint{latSum / converged, lonSum / converged};
}

PositionSolution SolvePosition(const Catalogue& catalogue, const SolutionRequest& request) {
  PositionSolution s;
  s.estimate = request.start;
  s.lops = Corrected(request);
  s.offsets = request.offsets;
  s.offsets.resize(s.lops.size(), 0.0);
  const bool lsqWanted = request.pairFixes || s.lops.size() >= 3;
  if (lsqWanted) {
    s.lsq = LsqFix(catalogue, s.lops, request.start);
    if (s.lsq->fault) s.fault = s.lsq->fault;
  }
  if (request.pairFixes) {
    s.gdopAtEstimate = GdopAtEstimate(AzimuthsAt(catalogue, s.lops, request.start));
    s.complete = !s.fault && SolvePairs(catalogue, request.start, s);
  }
  const std::optional<TwoLopFixResult> pair = MainFix(catalogue, request.start, s);
  if (!request.pairFixes) s.complete = !s.fault;
  if (s.fix) AtFix(catalogue, request.tdSigma, s);
  s.status = StatusOf(catalogue, request, s, pair);
  return s;
}

}  // namespace kestrune::loran
