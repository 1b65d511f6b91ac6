// The fix of one logbook row, decided as a converter or a binding reports
// it: which start, which of several crossings, and whether the result is
// usable, with a status a user can filter on. Every front end that fixes
// rows calls this, so they give the same statuses for the same rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loran/accuracy.hpp"
#include "loran/catalogue.hpp"
#include "loran/coverage.hpp"
#include "loran/fixes.hpp"
#include "loran/types.hpp"
#include "util/constants.hpp"
#include "util/strict_number.hpp"

namespace kestrune::loran {

// The consistency of a least-squares fix's residuals: chi-square of the
// weighted residuals over a residual sigma, n - 2 degrees of freedom, at its
// 99.9 % quantile (constants::kChiSquare999).
struct ResidualTest {
  bool consistent = true;  // also for fewer than 3 LOPs with a weight: nothing to test
  double chiSquare = 0.0;
  int degrees = 0;  // n - 2; 0 when not tested
  int worst = -1;   // index of the LOP with the largest weighted residual
};
// residuals: us, by LOP, predicted - observed; residualSigma: us, > 0.
ResidualTest TestResiduals(std::span<const Lop> lops, std::span<const double> residuals,
                           double residualSigma);

// A fix as it may be written: the latitude within ±pi/2 and the longitude
// brought into [-pi, pi). Empty when the latitude lies beyond a pole (an
// iteration that ran over it) or is not a number.
std::optional<GeoPoint> OnGlobe(GeoPoint fix);

// A TD whose leading digits were left off ("493.0" for 27493.0), completed
// to the candidate nearest `predicted` (us) when the next candidate, one
// place of the missing digits away, is at least constants::kCompletionRatio
// times as far.
struct TdCompletion {
  bool completed = false;
  bool ambiguous = false;    // the two nearest candidates are too alike
  double value = 0.0;        // us: the completed TD, or the nearest candidate
  double alternative = 0.0;  // us, ambiguous: the next candidate
};
// Empty result (nothing completed) for a negative or exponent TD, or when
// the prediction has no more leading digits to give.
TdCompletion CompleteLeadingDigits(const text::StrictNumber& typed, double predicted);

// Which start a row's fix took.
enum class StartSource {
  kSearch,  // none: the coverage was searched
  kGiven,   // the user's, once or per row: never refused by the coverage
  kTrack,   // the previous good fix of the same track
};

struct RowFixInput {
  std::vector<Lop> lops;          // 2 to 7; observed TDs as read (us), weights 0 to 1
  std::vector<double> offsets;    // us by LOP, added to every prediction (may be empty)
  std::vector<int> numbers;       // the LOP numbers statuses show, 1-based, by LOP
  std::optional<GeoPoint> start;  // radians, WGS 84
  StartSource source = StartSource::kSearch;
  double tdSigma = constants::kDefaultTdSigma;              // us, > 0
  double residualSigma = constants::kDefaultResidualSigma;  // us, > 0
};

enum class FixKind { kNone, kTwoLop, kLeastSquares };

struct RowFix {
  // Empty: usable. Otherwise the reason, starting with a fixed phrase
  // (docs/convert.md lists them), such as "inconsistent TDs: LOP 2
  // residual 405.2 µs" or "accuracy 1.2 km at 95 %".
  std::string status;
  bool positioned = false;  // `fix` is worth writing (even with a status)
  GeoPoint fix;             // radians, on the globe
  FixKind kind = FixKind::kNone;
  std::int16_t passes = 0;              // 0 when no fix was tried
  std::vector<double> residuals;        // us by LOP, predicted + offset - observed
  double gdop = 0.0;                    // 0 when none
  std::optional<FixAccuracy> accuracy;  // at tdSigma
  std::optional<double> otherCrossing;  // metres, two LOPs: to the nearest other crossing
};

// The fix of a row on the grid of its LOPs (`grid` holds every LOP of the
// row). Never throws a fault of the computation: it becomes the status.
RowFix FixRow(const Catalogue& catalogue, const CoverageGrid& grid, const RowFixInput& in);

// The verdict FixRow gives on a fix already made from the start of `in`
// (its LOPs, offsets and sigmas; the start itself unused): a least-squares
// fix of 3 or more LOPs, or the two-LOP fix of 2. The same status, figures
// and position as FixRow from that start, except that no other crossing is
// sought and a fix that fails names no TD outside its LOP's reach (that
// takes the coverage grid). Never throws a fault of the computation.
RowFix JudgeLeastSquaresFix(const Catalogue& catalogue, const RowFixInput& in,
                            const LeastSquaresFix& lsq);
RowFix JudgeTwoLopFix(const Catalogue& catalogue, const RowFixInput& in,
                      const TwoLopFixResult& two);

}  // namespace kestrune::loran
