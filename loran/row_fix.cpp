// The fix of one logbook row.
//
// Notation:
//   n          LOPs of the row, 2 to 7; k their index, 0 to n - 1
//   td, o      observed TD and offset (us); the fix takes td - o
//   r          residual, predicted - (td - o), us
//   w          weight, 0 to 1
//   chi2       sum of w r^2 / s^2 over the LOPs with a weight, s the
//              residual sigma; n - 2 degrees of freedom
//   2drms      twice the root of the summed east and north variances at
//              the TD sigma, metres: the 95 % accuracy of the coverage
#include "loran/row_fix.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "loran/fixes.hpp"
#include "loran/geodesic.hpp"
#include "loran/prediction.hpp"
#include "platform/runtime_fault.hpp"
#include "util/numeric_text.hpp"
#include "util/output_text.hpp"

namespace kestrune::loran {

namespace {

using namespace kestrune::constants;

// A number as statuses show it; the buffer holds any double in fixed form.
std::string Fixed(double value, int decimals) {
  return text::FixedText(value, decimals);
}

std::string LopName(const Catalogue& catalogue, const Lop& lop) {
  const Station& s = catalogue.At(lop.secondary);
  return std::to_string(s.gri) + s.designator;
}

int Number(const RowFixInput& in, std::size_t k) {
  return k < in.numbers.size() ? in.numbers[k] : static_cast<int>(k) + 1;
}

double Offset(const RowFixInput& in, std::size_t k) {
  return k < in.offsets.size() ? in.offsets[k] : 0.0;
}

// "TD 2 493.0 outside the coverage of 9007X (23806.1 to 32194.0)", told as
// observed: the TD as read, the range with the offset. Empty when every TD
// is one a position within its LOP's reach has.
std::string TdOutsideReach(const Catalogue& catalogue, const CoverageGrid& grid,
                           const RowFixInput& in) {
  for (std::size_t k = 0; k < in.lops.size(); ++k) {
    const Lop& l = in.lops[k];
    const auto range = grid.TdRange(LopPair{l.master, l.secondary});
    if (!range) continue;
    const double o = Offset(in, k);
    const double td = l.observedTd - o;
    if (td < range->first || td > range->second) {
      return "TD " + std::to_string(Number(in, k)) + " " + Fixed(l.observedTd, 1) +
             " outside the coverage of " + LopName(catalogue, l) + " (" +
             Fixed(range->first + o, 1) + " to " + Fixed(range->second + o, 1) + ")";
    }
  }
  return {};
}

std::string InconsistentStatus(const RowFixInput& in, const ResidualTest& t,
                               std::span<const double> residuals) {
  const auto w = static_cast<std::size_t>(t.worst);
  return "inconsistent TDs: LOP " + std::to_string(Number(in, w)) + " residual " +
         Fixed(residuals[w], 1) + " \xC2\xB5s";
}

std::vector<Lop> Corrected(const RowFixInput& in) {
  std::vector<Lop> lops = in.lops;
  for (std::size_t k = 0; k < lops.size(); ++k) {
    lops[k].observedTd = lops[k].observedTd - Offset(in, k);
  }
  return lops;
}

// The coverage at a fix; a position where a station's range faults is the
// fault's to report.
CoverageAssessment AssessOrThrow(const Catalogue& catalogue, std::span<const Lop> lops,
                                 GeoPoint fix, double tdSigma) {
  CoverageAssessment a = AssessCoverage(catalogue, lops, fix, tdSigma);
  if (a.ranges.empty()) {
    for (const Lop& l : lops) RangePair(fix, catalogue.At(l.master), catalogue.At(l.secondary));
  }
  return a;
}

double GdopAt(const CoverageAssessment& a) {
  if (a.ranges.size() == 2) {
    return TwoLopGdop(a.ranges[0].master.azimuth, a.ranges[0].secondary.azimuth,
                      a.ranges[1].master.azimuth, a.ranges[1].secondary.azimuth);
  }
  std::vector<double> azimuths;
  for (const PairRanges& r : a.ranges) azimuths.push_back(r.secondary.azimuth);
  return LsqGdop(azimuths);
}

bool OffGlobe(RowFix& out, GeoPoint fix) {
  const std::optional<GeoPoint> on = OnGlobe(fix);
  if (on) {
    out.fix = *on;
    return false;
  }
  out.status = "fix beyond a pole: the iteration ended at latitude " + Fixed(Degrees(fix.lat), 1) +
               "\xC2\xB0";
  return true;
}

// Which of several crossings to take without a start, and whether the
// choice is a question for the user.
struct Choice {
  std::size_t chosen = 0;
  bool ambiguous = false;
};
Choice ChooseCrossing(std::span<const CoverageAssessment> at) {
  Choice c;
  double best = std::numeric_limits<double>::infinity();
  int inside = 0;
  for (std::size_t i = 0; i < at.size(); ++i) {
    if (at[i].verdict == CoverageVerdict::kInside) ++inside;
  }
  for (std::size_t i = 0; i < at.size(); ++i) {
    // Of crossings inside the coverage only those; else the most accurate.
    if (inside > 0 && at[i].verdict != CoverageVerdict::kInside) continue;
    const double a = at[i].accuracy ? at[i].accuracy->drms2 : std::numeric_limits<double>::max();
    if (a < best || (i == 0 && inside == 0)) {
      best = a;
      c.chosen = i;
    }
  }
  c.ambiguous = inside >= 2;
  return c;
}

void Finish(const Catalogue& catalogue, const CoverageAssessment& a, RowFix& out) {
  out.positioned = true;
  out.gdop = GdopAt(a);
  out.accuracy = a.accuracy;
  if (out.status.empty()) out.status = CoverageStatus(catalogue, a);
}

// The row's fix from the crossing `two` of its two LOPs, with the other
// crossings the search found; `ambiguity` ("two crossings") when the choice
// among them is the user's.
void TwoLopResult(const Catalogue& catalogue, const RowFixInput& in, std::span<const Lop> lops,
                  const TwoLopFixResult& two, std::span<const TwoLopFixResult> crossings,
                  const std::string& ambiguity, RowFix& out) {
  out.kind = FixKind::kTwoLop;
  out.passes = two.passes;
  if (!two.converged) {
    out.status = "no convergence in " + std::to_string(two.passes) + " passes";
    return;
  }
  if (OffGlobe(out, two.fix)) return;
  double nearest = std::numeric_limits<double>::infinity();
  GeoPoint other;
  for (const TwoLopFixResult& c : crossings) {
    const double d = GeoDistAz(out.fix, c.fix).distance;
    if (d > kCrossingSeparation && d < nearest) {
      nearest = d;
      other = c.fix;
    }
  }
  if (std::isfinite(nearest)) out.otherCrossing = nearest;
  for (const Lop& l : lops) {
    out.residuals.push_back(PredictPair(catalogue, out.fix, l.master, l.secondary).td -
                            l.observedTd);
  }
  if (!ambiguity.empty()) {
    out.status = ambiguity + " " + Fixed(nearest / 1000.0, 1) + " km apart (the other at " +
                 Fixed(Degrees(other.lat), 5) + ", " + Fixed(Degrees(other.lon), 5) + ", WGS 84)";
  }
  Finish(catalogue, AssessOrThrow(catalogue, lops, out.fix, in.tdSigma), out);
}

void TwoLopRow(const Catalogue& catalogue, const CoverageGrid& grid, const RowFixInput& in,
               std::span<const Lop> lops, RowFix& out) {
  out.kind = FixKind::kTwoLop;
  const std::vector<TwoLopFixResult> crossings = grid.Crossings(lops[0], lops[1]);
  TwoLopFixResult two;
  std::string ambiguity;
  if (in.start) {
    two = TwoLopFix(catalogue, lops[0], lops[1], *in.start);
  } else if (crossings.empty()) {
    out.status = "no crossing within the coverage";
    return;
  } else {
    std::vector<CoverageAssessment> at;
    for (const TwoLopFixResult& c : crossings) {
      at.push_back(AssessCoverage(catalogue, lops, c.fix, in.tdSigma));
    }
    const Choice choice = ChooseCrossing(at);
    two = crossings[choice.chosen];
    if (choice.ambiguous) ambiguity = "two crossings";
  }
  TwoLopResult(catalogue, in, lops, two, crossings, ambiguity, out);
}

// How good a least-squares fix is, for choosing among starts.
struct Tried {
  LeastSquaresFix lsq;
  int rank = 0;  // 0 failed, 1 converged, +2 consistent, +1 inside the coverage
  ResidualTest test;
  CoverageAssessment at;
};

Tried Judged(const Catalogue& catalogue, std::span<const Lop> lops, LeastSquaresFix lsq,
             const RowFixInput& in) {
  Tried t{std::move(lsq), 0, {}, {}};
  if (!t.lsq.converged || t.lsq.fault || !OnGlobe(t.lsq.fix)) return t;
  t.test = TestResiduals(lops, t.lsq.residuals, in.residualSigma);
  t.at = AssessCoverage(catalogue, lops, *OnGlobe(t.lsq.fix), in.tdSigma);
  t.rank = 1 + (t.test.consistent ? 2 : 0) + (t.at.verdict == CoverageVerdict::kInside ? 1 : 0);
  return t;
}

Tried TryStart(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint start,
               const RowFixInput& in) {
  return Judged(catalogue, lops, LsqFix(catalogue, lops, start), in);
}

// The row's fix from the best least-squares fix tried.
void LeastSquaresResult(const Catalogue& catalogue, const RowFixInput& in,
                        std::span<const Lop> lops, const Tried& best, RowFix& out) {
  out.kind = FixKind::kLeastSquares;
  const LeastSquaresFix& lsq = best.lsq;
  out.passes = lsq.passes;
  if (lsq.fault) throw *lsq.fault;
  if (!lsq.converged) {
    out.status = "no convergence in " + std::to_string(lsq.passes) + " passes";
    return;
  }
  if (OffGlobe(out, lsq.fix)) return;
  out.residuals = lsq.residuals;
  if (!best.test.consistent) {
    out.status = InconsistentStatus(in, best.test, out.residuals);
  } else if (!lsq.messages.empty()) {
    std::string m = lsq.messages.front().text;
    while (!m.empty() && m.back() == ' ') m.pop_back();
    out.status = "nearly singular geometry (" + m + ")";
  }
  Finish(catalogue, best.rank > 0 ? best.at : AssessOrThrow(catalogue, lops, out.fix, in.tdSigma),
         out);
}

// A fix's faults become its status, and leave it without a position.
template <class Judge>
RowFix Guarded(Judge judge) {
  RowFix out;
  try {
    judge(out);
  } catch (const RuntimeFault& fault) {
    out.status = fault.what();
    out.positioned = false;
  }
  return out;
}

void LeastSquaresRow(const Catalogue& catalogue, const CoverageGrid& grid, const RowFixInput& in,
                     std::span<const Lop> lops, RowFix& out) {
  out.kind = FixKind::kLeastSquares;
  std::vector<GeoPoint> starts;
  if (in.start) {
    starts.push_back(*in.start);
  } else {
    starts = grid.LeastMisfitStarts(lops, kLeastMisfitStarts);
    if (starts.empty()) {
      out.status = "no start within the coverage";
      out.kind = FixKind::kNone;
      return;
    }
  }
  // Of several starts the best fix: consistent and inside the coverage ends the search.
  Tried best;
  for (std::size_t s = 0; s < starts.size(); ++s) {
    Tried t = TryStart(catalogue, lops, starts[s], in);
    if (s == 0 || t.rank > best.rank) best = std::move(t);
    if (best.rank == 4) break;
  }
  // Near a station the grid's misfit misleads: the crossings of two LOPs
  // are starts on the LOPs themselves. A consistent fix found already is
  // the position the TDs give, inside the coverage or not.
  for (std::size_t b = 1; !in.start && best.rank < 3 && b < lops.size() && b <= 2; ++b) {
    for (const TwoLopFixResult& c : grid.Crossings(lops[0], lops[b])) {
      Tried t = TryStart(catalogue, lops, c.fix, in);
      if (t.rank > best.rank) best = std::move(t);
      if (best.rank >= 3) break;
    }
  }
  LeastSquaresResult(catalogue, in, lops, best, out);
}

}  // namespace

ResidualTest TestResiduals(std::span<const Lop> lops, std::span<const double> residuals,
                           double residualSigma) {
  ResidualTest t;
  int used = 0;
  double largest = -1.0;
  for (std::size_t k = 0; k < lops.size() && k < residuals.size(); ++k) {
    if (!(lops[k].weight > 0.0)) continue;
    ++used;
    const double z = residuals[k] / residualSigma;
    const double term = lops[k].weight * z * z;
    t.chiSquare += term;
    if (term > largest) {
      largest = term;
      t.worst = static_cast<int>(k);
    }
  }
  t.degrees = std::max(used - 2, 0);
  if (t.degrees == 0) return t;
  const int limit = static_cast<int>(std::size(kChiSquare999));
  t.consistent = t.chiSquare <= kChiSquare999[std::min(t.degrees, limit) - 1];
  return t;
}

std::optional<GeoPoint> OnGlobe(GeoPoint fix) {
  if (!(std::fabs(fix.lat) <= kHalfPi) || !std::isfinite(fix.lon)) return std::nullopt;
  // Whole turns only: a longitude already within the range keeps every bit.
  double lon = fix.lon;
  if (lon >= kPi || lon < -kPi) lon -= kTwoPi * std::floor((lon + kPi) / kTwoPi);
  return GeoPoint{fix.lat, lon};
}

TdCompletion CompleteLeadingDigits(const text::StrictNumber& typed, double predicted) {
  TdCompletion c;
  if (typed.plain.find_first_of("-e") != std::string::npos) return c;
  const double place = std::pow(10.0, typed.integerDigits);
  const double prefix = std::round((predicted - typed.value) / place);
  if (!(prefix >= 1.0 && prefix < 1e9)) return c;
  c.value = text::DecimalValue(std::to_string(static_cast<long>(prefix)) + typed.plain);
  const double nearest = std::fabs(predicted - c.value);
  // The next candidate lies one place beyond, on the prediction's side.
  c.alternative = c.value + (predicted >= c.value ? place : -place);
  const double next = std::fabs(predicted - c.alternative);
  c.ambiguous = next < kCompletionRatio * nearest;
  c.completed = !c.ambiguous;
  return c;
}

RowFix JudgeLeastSquaresFix(const Catalogue& catalogue, const RowFixInput& in,
                            const LeastSquaresFix& lsq) {
  const std::vector<Lop> lops = Corrected(in);
  return Guarded([&](RowFix& out) {
    LeastSquaresResult(catalogue, in, lops, Judged(catalogue, lops, lsq, in), out);
  });
}

RowFix JudgeTwoLopFix(const Catalogue& catalogue, const RowFixInput& in,
                      const TwoLopFixResult& two) {
  const std::vector<Lop> lops = Corrected(in);
  return Guarded([&](RowFix& out) { TwoLopResult(catalogue, in, lops, two, {}, {}, out); });
}

RowFix FixRow(const Catalogue& catalogue, const CoverageGrid& grid, const RowFixInput& in) {
  RowFix out;
  const std::vector<Lop> lops = Corrected(in);
  try {
    if (in.source != StartSource::kGiven) {
      // Before any fix: a TD no position within reach has is noted under a
      // wrong LOP or mistyped, and a set without a common reach fixes nothing.
      if (grid.Empty() && !in.start) {
        out.status = "the LOPs have no common coverage";
        return out;
      }
      out.status = TdOutsideReach(catalogue, grid, in);
      if (!out.status.empty()) return out;
    }
    if (lops.size() == 2) {
      TwoLopRow(catalogue, grid, in, lops, out);
    } else {
      LeastSquaresRow(catalogue, grid, in, lops, out);
    }
  } catch (const RuntimeFault& fault) {
    out.status = fault.what();
    out.positioned = false;
  }
  // A given start is tried whatever its TDs; when it gives no position, a
  // TD no position within reach has is the likelier cause to name.
  if (in.source == StartSource::kGiven && !out.positioned) {
    const std::string cause = TdOutsideReach(catalogue, grid, in);
    if (!cause.empty()) out.status = cause;
  }
  return out;
}

}  // namespace kestrune::loran
