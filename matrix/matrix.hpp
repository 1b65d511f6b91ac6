// Dense matrices and vectors of 64-bit floats with an explicit index range per
// dimension, and the routines that multiply, transpose, solve and invert them.
// The routines that can fail return a 16-bit status and never throw.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrune::matrix {

// An index range lo..hi (16-bit bounds). Two ranges match only when both
// bounds are equal; sizes alone are not compared.
struct Range {
  std::int16_t lo = 1;
  std::int16_t hi = 0;
  bool operator==(const Range&) const = default;
};

// Element access outside the declared range throws RuntimeFault 9. Bounds are
// any 16-bit values with hi >= lo - 1 (hi = lo - 1 is empty); a constructor
// given hi < lo - 1 throws RuntimeFault 9. Elements are unitless 64-bit floats.
// Throws RuntimeFault 9; out of line, so that element access inlines.
[[noreturn]] void Subscript();

class Vector {
 public:
  Vector() = default;
  Vector(std::int16_t lo, std::int16_t hi);  // all elements 0
  Range Bounds() const { return range_; }
  double& operator()(int i) { return data_[Offset(i)]; }
  double operator()(int i) const { return data_[Offset(i)]; }

 private:
  std::size_t Offset(int i) const {
    if (i < range_.lo || i > range_.hi) Subscript();
    return static_cast<std::size_t>(i - range_.lo);
  }
  Range range_;
  std::vector<double> data_;
};

class Matrix {
 public:
  Matrix() = default;
  // rows rlo..rhi, columns clo..chi; all elements 0
  Matrix(std::int16_t rlo, std::int16_t rhi, std::int16_t clo, std::int16_t chi);
  Range Rows() const { return rows_; }
  Range Cols() const { return cols_; }
  double& operator()(int i, int j) { return data_[Offset(i, j)]; }
  double operator()(int i, int j) const { return data_[Offset(i, j)]; }

 private:
  std::size_t Offset(int i, int j) const {
    if (i < rows_.lo || i > rows_.hi || j < cols_.lo || j > cols_.hi) Subscript();
    return static_cast<std::size_t>(i - rows_.lo) *
               static_cast<std::size_t>(cols_.hi - cols_.lo + 1) +
           static_cast<std::size_t>(j - cols_.lo);
  }
  Range rows_;
  Range cols_;
  std::vector<double> data_;
};

// Statuses of MatMultD, MatSEqnD and MatInvD: ((n + 5) mod 200) - 5 of the
// internal failure number n.
inline constexpr std::int16_t kOk = 0;
inline constexpr std::int16_t kSingular = -1;         // singular or nearly singular
inline constexpr std::int16_t kNotSquare = -2;        // column range differs from row range
inline constexpr std::int16_t kOperandMismatch = -3;  // second operand's range does not fit
inline constexpr std::int16_t kResultMismatch = -5;   // result's ranges do not fit
// 6, 9, 11: a run-time failure inside the routine (overflow, subscript, division by zero).

// C := A x B. C must be another array than A and B. -3 when A's column range
// differs from B's row range; -5 when C is not A's rows by B's columns.
std::int16_t MatMultD(const Matrix& A, const Matrix& B, Matrix& C);
// y := A x. No status, no range check.
void MatVecMultD(const Matrix& A, const Vector& x, Vector& y);
// B(j, i) := A(i, j). No status, no range check.
void MatTransD(const Matrix& A, Matrix& B);
// Solves A x = b for a square A by complete scaled pivoting; b becomes x.
// A is overwritten by its elimination.
std::int16_t MatSEqnD(Matrix& A, Vector& b);
// Replaces the square matrix A by its inverse.
std::int16_t MatInvD(Matrix& A);

// The elimination shared by MatSEqnD and MatInvD, exposed for tests: the
// state that lives for one solve or inversion.
struct EliminationState {
  std::int16_t lo = 1;
  std::int16_t hi = 0;
  std::vector<std::int16_t> rowOrder;  // r(p), indexed p - lo
  std::vector<std::int16_t> colOrder;  // c(p), indexed p - lo
  std::vector<double> rowScale;        // s(i), indexed i - lo
  bool usable = false;
  std::int16_t deferred = 0;  // 0, or 199 after a nearly singular pivot
};

// Eliminates A in place. Returns the failure number: 0, 199 (singular, or the
// deferred near-singularity), 198 (not square) or a run-time number; the
// caller has set state.lo and state.hi, and the order and scale arrays are
// (re)made here with that range. Never throws.
std::int16_t MatDecompD(Matrix& A, EliminationState& state);
// Forward and back substitution with the eliminated A; b is working storage.
// Returns 0 or a run-time number; never throws.
std::int16_t MatBackSubD(const Matrix& A, Vector& b, Vector& x, const EliminationState& state);

}  // namespace kestrune::matrix
