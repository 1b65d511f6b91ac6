// Notation
//   A, B, C    matrices with their own row and column ranges (lo..hi each)
//   x, y, b    vectors with their own range
//   lo, hi     bounds of a square matrix, taken from its row range
//   r(p), c(p) row and column of the stored matrix worked on at position p;
//              the matrix is never physically permuted
//   s(i)       absolute row sum of row i before the elimination (row scale)
//   big, prev  scaled pivot ratio |A(r, c)| / s(r) of this and the last pivot
//   m          negated multiplier, kept in the eliminated element
//   n          internal failure number: 199 singular, 198 not square,
//              197 second operand, 195 result, else a run-time error number
#include "matrix/matrix.hpp"

#include <cmath>
#include <new>
#include <utility>

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::matrix {

namespace {

constexpr int kFailSingular = 199;
constexpr int kFailNotSquare = 198;
constexpr int kFailOperand = 197;
constexpr int kFailResult = 195;
// Running out of memory for a working array is the run-time error "Out of
// memory"; it is turned into a status like every other failure inside.
constexpr int kFailOutOfMemory = 7;

// Maps the internal failure number onto the returned status: 199 -> -1,
// 198 -> -2, 197 -> -3, 195 -> -5; 0 and run-time numbers stay as they are.
std::int16_t StatusOf(int n) {
  return static_cast<std::int16_t>((n + 5) % 200 - 5);
}

std::size_t Extent(Range r) {
  const int count = static_cast<int>(r.hi) - static_cast<int>(r.lo) + 1;
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

// Element p of a state array indexed lo..hi.
template <typename T>
T& At(std::vector<T>& v, std::int16_t lo, int p) {
  const long offset = static_cast<long>(p) - lo;
  if (offset < 0 || static_cast<std::size_t>(offset) >= v.size()) Subscript();
  return v[static_cast<std::size_t>(offset)];
}

template <typename T>
T At(const std::vector<T>& v, std::int16_t lo, int p) {
  const long offset = static_cast<long>(p) - lo;
  if (offset < 0 || static_cast<std::size_t>(offset) >= v.size()) Subscript();
  return v[static_cast<std::size_t>(offset)];
}

// Runs one routine body and turns whatever it raises into a failure number,
// so nothing escapes to the caller of a routine that returns a status.
template <typename Body>
int Guarded(Body&& body) {
  try {
    return body();
  } catch (const RuntimeFault& fault) {
    return fault.Number();
  } catch (const std::bad_alloc&) {
    return kFailOutOfMemory;
  }
}

EliminationState NewState(const Matrix& A) {
  EliminationState state;
  state.lo = A.Rows().lo;
  state.hi = A.Rows().hi;
  return state;
}

}  // namespace

Vector::Vector(std::int16_t lo, std::int16_t hi) : range_{lo, hi} {
  if (static_cast<int>(hi) < static_cast<int>(lo) - 1) Subscript();
  data_.assign(Extent(range_), 0.0);
}

Matrix::Matrix(std::int16_t rlo, std::int16_t rhi, std::int16_t clo, std::int16_t chi)
    : rows_{rlo, rhi}, cols_{clo, chi} {
  if (static_cast<int>(rhi) < static_cast<int>(rlo) - 1 ||
      static_cast<int>(chi) < static_cast<int>(clo) - 1) {
    Subscript();
  }
  data_.assign(Extent(rows_) * Extent(cols_), 0.0);
}

void Subscript() {
  throw RuntimeFault(RuntimeFault::kSubscript);
}

std::int16_t MatMultD(const Matrix& A, const Matrix& B, Matrix& C) {
  return StatusOf(Guarded([&]() -> int {
    if (A.Cols() != B.Rows()) return kFailOperand;
    if (C.Rows() != A.Rows() || C.Cols() != B.Cols()) return kFailResult;
    for (int i = C.Rows().lo; i <= C.Rows().hi; ++i) {
      for (int j = C.Cols().lo; j <= C.Cols().hi; ++j) {
        C(i, j) = 0.0;
        for (int k = A.Cols().lo; k <= A.Cols().hi; ++k) {
          C(i, j) = checked::Add(checked::Mul(A(i, k), B(k, j)), C(i, j));
        }
      }
    }
    return 0;
  }));
}

void MatVecMultD(const Matrix& A, const Vector& x, Vector& y) {
  for (int i = y.Bounds().lo; i <= y.Bounds().hi; ++i) y(i) = 0.0;
  for (int i = A.Rows().lo; i <= A.Rows().hi; ++i) {
    for (int j = x.Bounds().lo; j <= x.Bounds().hi; ++j) {
      y(i) = checked::Add(checked::Mul(A(i, j), x(j)), y(i));
    }
  }
}

void MatTransD(const Matrix& A, Matrix& B) {
  for (int i = A.Rows().lo; i <= A.Rows().hi; ++i) {
    for (int j = A.Cols().lo; j <= A.Cols().hi; ++j) B(j, i) = A(i, j);
  }
}

std::int16_t MatDecompD(Matrix& A, EliminationState& state) {
  state.usable = false;
  state.deferred = 0;
  return static_cast<std::int16_t>(Guarded([&]() -> int {
    const std::int16_t lo = state.lo;
    const std::int16_t hi = state.hi;
    const std::size_t size = Extent(Range{lo, hi});
    state.rowOrder.assign(size, 0);
    state.colOrder.assign(size, 0);
    state.rowScale.assign(size, 0.0);
    auto r = [&](int p) -> std::int16_t& { return At(state.rowOrder, lo, p); };
    auto c = [&](int p) -> std::int16_t& { return At(state.colOrder, lo, p); };
    auto s = [&](int i) -> double& { return At(state.rowScale, lo, i); };

    if (A.Cols() != Range{lo, hi}) return kFailNotSquare;

    // A row of zeros is refused before anything in A is touched.
    for (int i = lo; i <= hi; ++i) {
      r(i) = static_cast<std::int16_t>(i);
      c(i) = static_cast<std::int16_t>(i);
      double sum = 0.0;
      for (int j = A.Cols().lo; j <= A.Cols().hi; ++j) sum = checked::Add(sum, std::fabs(A(i, j)));
      s(i) = sum;
      if (s(i) == 0.0) return kFailSingular;
    }

    double prev = 0.0;
    for (int k = lo; k <= hi - 1; ++k) {
      // Ratios against the original row sums, so scaling a row does not move
      // the pivot; only a strictly larger ratio replaces the one found first.
      double big = 0.0;
      int p = k;
      int q = k;
      for (int i = k; i <= hi; ++i) {
        for (int j = k; j <= hi; ++j) {
          const double t = checked::Div(std::fabs(A(r(i), c(j))), s(r(i)));
          if (t > big) {
            big = t;
            p = i;
            q = j;
          }
        }
      }
      if (big == 0.0) return kFailSingular;
      // The index itself is compared with 1, whatever the lower bound: with
      // lower bound 1 every pivot after the first is tested.
      if (k > 1 && checked::Mul(prev, constants::kNearSingular) > big) {
        state.deferred = kFailSingular;
      }
      prev = big;

      if (p != k) std::swap(r(p), r(k));
      if (q != k) std::swap(c(q), c(k));

      const int pr = r(k);
      const int pc = c(k);
      for (int i = k + 1; i <= hi; ++i) {
        const int ri = r(i);
        const double m = checked::Div(-A(ri, pc), A(pr, pc));
        A(ri, pc) = m;
        for (int j = k + 1; j <= hi; ++j) {
          const int cj = c(j);
          A(ri, cj) = checked::Add(checked::Mul(A(pr, cj), m), A(ri, cj));
        }
      }
    }

    // The last pivot is tested without the index condition; for a 1 x 1
    // matrix prev is still 0 and the test cannot fire.
    if (A(r(hi), c(hi)) == 0.0) return kFailSingular;
    const double t = checked::Div(std::fabs(A(r(hi), c(hi))), s(r(hi)));
    if (checked::Mul(prev, constants::kNearSingular) > t) state.deferred = kFailSingular;

    state.usable = true;
    return state.deferred;
  }));
}

std::int16_t MatBackSubD(const Matrix& A, Vector& b, Vector& x, const EliminationState& state) {
  return static_cast<std::int16_t>(Guarded([&]() -> int {
    const std::int16_t lo = state.lo;
    const std::int16_t hi = state.hi;
    auto r = [&](int p) { return At(state.rowOrder, lo, p); };
    auto c = [&](int p) { return At(state.colOrder, lo, p); };

    for (int i = lo; i <= hi - 1; ++i) {
      for (int j = i + 1; j <= hi; ++j) {
        b(r(j)) = checked::Add(checked::Mul(A(r(j), c(i)), b(r(i))), b(r(j)));
      }
    }
    for (int i = hi; i >= lo; --i) {
      x(c(i)) = b(r(i));
      for (int j = i + 1; j <= hi; ++j) {
        x(c(i)) = checked::Sub(x(c(i)), checked::Mul(A(r(i), c(j)), x(c(j))));
      }
      x(c(i)) = checked::Div(x(c(i)), A(r(i), c(i)));
    }
    return 0;
  }));
}

std::int16_t MatSEqnD(Matrix& A, Vector& b) {
  return StatusOf(Guarded([&]() -> int {
    EliminationState state = NewState(A);
    Vector x(state.lo, state.hi);

    const int failure = MatDecompD(A, state);
    if (!state.usable) return failure;  // b untouched
    if (b.Bounds() != Range{state.lo, state.hi}) return kFailOperand;

    const int backSub = MatBackSubD(A, b, x, state);
    if (backSub != 0) return backSub;
    for (int i = state.lo; i <= state.hi; ++i) b(i) = x(i);
    // A nearly singular system still hands back its computed solution.
    return state.deferred;
  }));
}

std::int16_t MatInvD(Matrix& A) {
  return StatusOf(Guarded([&]() -> int {
    EliminationState state = NewState(A);
    const std::int16_t lo = state.lo;
    const std::int16_t hi = state.hi;
    Matrix Q(lo, hi, lo, hi);
    Vector e(lo, hi);
    Vector x(lo, hi);

    const int failure = MatDecompD(A, state);
    if (!state.usable) return failure;

    for (int j = lo; j <= hi; ++j) {
      e(j) = 1.0;
      const int backSub = MatBackSubD(A, e, x, state);
      if (backSub != 0) return backSub;
      // The forward pass leaves values all over e, so all of it is cleared.
      for (int i = lo; i <= hi; ++i) {
        Q(i, j) = x(i);
        e(i) = 0.0;
      }
    }
    for (int i = lo; i <= hi; ++i) {
      for (int j = lo; j <= hi; ++j) A(i, j) = Q(i, j);
    }
    return state.deferred;
  }));
}

}  // namespace kestrune::matrix
