// The whole solution of a set of LOPs from one start, from one call: the
// weighted least-squares fix with its residuals, its GDOP at the start and
// at the fix, the two-LOP fix of every pair with its cut, GDOP and
// deviation from the least-squares fix, the mean of the pair fixes, the
// accuracy figures of the least-squares fix and its status as a converter
// writes it. The calculation window, its chart and the bindings for R and
// Python all take their figures from here.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loran/accuracy.hpp"
#include "loran/catalogue.hpp"
#include "loran/fixes.hpp"
#include "loran/types.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

// What to solve and how much of it.
struct SolutionRequest {
  // 2 to 7 LOPs of the catalogue with their TDs as observed (us) and weights
  // (0 to 1).
  std::vector<Lop> lops;
  // ASF offset of each LOP (us, by LOP; empty for none): every prediction
  // carries it, so the fixes take each observed TD less its offset.
  std::vector<double> offsets;
  GeoPoint start;  // radians: the start of every fix (the estimated position)
  // us, > 0: the TD standard deviation of the accuracy figures.
  double tdSigma = constants::kDefaultTdSigma;
  // false: only the fix a converter writes (below) and its figures.
  bool pairFixes = true;
  // us, > 0: what the least-squares fix's residuals are tested against
  // (last, so that requests written field by field keep their meaning).
  double residualSigma = constants::kDefaultResidualSigma;
};

// One two-LOP fix of the combination table.
struct PairSolution {
  int first = 0;  // LOP numbers, 1-based, first < second
  int second = 0;
  TwoLopFixResult fix;
  // GDOP of the pair from the azimuths at the start; empty with `gdopFault`
  // set when the pair is degenerate there.
  std::optional<double> gdop;
  std::optional<RuntimeFault> gdopFault;
  // North/east of the pair fix from the least-squares fix (metres); empty
  // when that did not converge. A pair that did not converge has no
  // position: the offset is then of the origin its result holds, as the
  // window has always shown it.
  std::optional<NorthEast> fromLsq;
};

// As far as the solution got: a run-time fault of a fix ends it (complete
// stays false), and what came before it stays. Positions in radians.
struct PositionSolution {
  GeoPoint estimate;                   // the start of every fix
  std::vector<Lop> lops;               // as the fixes took them: observed TD less offset
  std::vector<double> offsets;         // us, by LOP (0: none)
  std::optional<LeastSquaresFix> lsq;  // none for two LOPs without pair fixes

  // The fix a converter writes: the least-squares fix of three or more
  // LOPs, the pair fix of two, with its residuals (us, predicted - observed
  // at the fix, by LOP) and passes; `fix` empty when it did not converge.
  const char* kind = "lsq";  // "lsq" or "two-lop"
  std::optional<GeoPoint> fix;
  std::vector<double> residuals;
  int passes = 0;
  // "ok", or the status loran::FixRow gives this fix from the same start
  // (loran::JudgeLeastSquaresFix, JudgeTwoLopFix): a run-time fault's text,
  // "no convergence in N passes", "fix beyond a pole: ...", "inconsistent
  // TDs: ...", "nearly singular geometry (...)", or the coverage's
  // ("accuracy 1.2 km at 95 %", "beyond ground-wave reach: ...").
  std::string status;

  // GDOP of all LOPs from the secondaries' azimuths at the start, as the
  // window shows it: empty for two LOPs.
  std::optional<double> gdopAtEstimate;
  // The GDOP at `fix` from the azimuths there (for two LOPs the pair's);
  // empty without a fix, when the inversion failed, or when the geometry
  // there faulted (`atFixFault`, which is then the status).
  std::optional<double> gdopAtFix;
  std::optional<FixAccuracy> accuracy;  // at `fix`, for tdSigma
  bool covered = false;                 // the fix lies inside the LOPs' coverage
  std::string coverageStatus;           // why not, as loran::CoverageStatus says it
  std::optional<RuntimeFault> atFixFault;
  std::vector<PairSolution> pairs;  // combinations in order; k = index + 1
  std::optional<GeoPoint> mean;     // of the converged pair fixes
  std::optional<NorthEast> meanFromLsq;
  // The fault that ended the solution (the least-squares fix's own, or a
  // pair fix's after the pairs before it).
  std::optional<RuntimeFault> fault;
  bool complete = false;
};

// Solves `request` with the LOPs of `catalogue`; never throws a RuntimeFault
// (a fault ends the solution and is held in it).
PositionSolution SolvePosition(const Catalogue& catalogue, const SolutionRequest& request);

// The sums behind the mean of the two-LOP fixes. A fix that reached its pass
// limit has no position, so only converged fixes count.
struct TwoLopMean {
  int converged = 0;    // fixes in the sums
  double latSum = 0.0;  // radians
  double lonSum = 0.0;  // radians
  void Add(const TwoLopFixResult& fix);
  // The mean position; none when no fix converged.
  std::optional<GeoPoint> Mean() const;
};

}  // namespace kestrune::loran
