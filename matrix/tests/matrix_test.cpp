// The matrix routines: the worked elimination, every status and what each
// leaves in its operands, the pivot rules, and run-time failures caught inside.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "matrix/matrix.hpp"
#include "platform/runtime_fault.hpp"

namespace kestrune::matrix {
namespace {

using Rows = std::initializer_list<std::initializer_list<double>>;

// A matrix with rows and columns starting at lo, filled from the literal rows.
Matrix Make(Rows rows, std::int16_t lo = 1) {
  const auto rowCount = static_cast<std::int16_t>(rows.size());
  const auto colCount = static_cast<std::int16_t>(rows.begin()->size());
  Matrix m(lo, static_cast<std::int16_t>(lo + rowCount - 1), lo,
           static_cast<std::int16_t>(lo + colCount - 1));
  int i = lo;
  for (const auto& row : rows) {
    int j = lo;
    for (double v : row) m(i, j++) = v;
    ++i;
  }
  return m;
}

Vector MakeVec(std::initializer_list<double> values, std::int16_t lo = 1) {
  Vector v(lo, static_cast<std::int16_t>(lo + static_cast<int>(values.size()) - 1));
  int i = lo;
  for (double x : values) v(i++) = x;
  return v;
}

std::vector<double> Elements(const Matrix& m) {
  std::vector<double> out;
  for (int i = m.Rows().lo; i <= m.Rows().hi; ++i) {
    for (int j = m.Cols().lo; j <= m.Cols().hi; ++j) out.push_back(m(i, j));
  }
  return out;
}

std::vector<double> Elements(const Vector& v) {
  std::vector<double> out;
  for (int i = v.Bounds().lo; i <= v.Bounds().hi; ++i) out.push_back(v(i));
  return out;
}

const double kEps40 = std::ldexp(1.0, -40);  // exact, far below 1e-11 relative

EliminationState StateFor(int lo, int hi) {
  EliminationState state;
  state.lo = static_cast<std::int16_t>(lo);
  state.hi = static_cast<std::int16_t>(hi);
  return state;
}

TEST(MatSEqnD, WorkedTwoByTwoExample) {
  Matrix A = Make({{1, 2}, {3, 4}});
  EliminationState state = StateFor(1, 2);
  EXPECT_EQ(MatDecompD(A, state), 0);
  EXPECT_TRUE(state.usable);
  EXPECT_EQ(state.rowScale, (std::vector<double>{3, 7}));
  EXPECT_EQ(state.rowOrder, (std::vector<std::int16_t>{1, 2}));
  EXPECT_EQ(state.colOrder, (std::vector<std::int16_t>{2, 1}));
  EXPECT_EQ(Elements(A), (std::vector<double>{1, 2, 1, -2}));  // A(2, 2): the negated multiplier

  Matrix B = Make({{1, 2}, {3, 4}});
  Vector b = MakeVec({5, 6});
  EXPECT_EQ(MatSEqnD(B, b), kOk);
  EXPECT_EQ(Elements(b), (std::vector<double>{-4.0, 4.5}));
  EXPECT_EQ(Elements(B), Elements(A));
}

TEST(MatSEqnD, FailuresLeaveOperandsAsDocumented) {
  struct Case {
    std::string name;
    Matrix A;
    Vector b;
    std::int16_t status;
    bool aUnchanged;
    std::vector<double> bAfter;
  };
  // Rows nearly equal: last pivot ratio 2^-40 / 2 against about 1/2.
  const Matrix A = Make({{1, 2}, {3, 4}}), N = Make({{1, 1}, {1, 1 + kEps40}});
  const Case cases[] = {
      {"equal rows", Make({{1, 2}, {1, 2}}), MakeVec({3, 4}), kSingular, false, {3, 4}},
      {"row of zeros", Make({{1, 2}, {0, 0}}), MakeVec({3, 4}), kSingular, true, {3, 4}},
      {"zero column", Make({{1, 0}, {2, 0}}), MakeVec({3, 4}), kSingular, false, {3, 4}},
      {"1x1 zero", Make({{0}}), MakeVec({2}), kSingular, true, {2}},
      {"1x1", Make({{4}}), MakeVec({2}), kOk, true, {0.5}},
      {"not square", Matrix(1, 2, 1, 3), MakeVec({1, 2}), kNotSquare, true, {1, 2}},
      {"b range 0..1", A, MakeVec({5, 6}, 0), kOperandMismatch, false, {5, 6}},
      {"b too long", A, MakeVec({5, 6, 7}), kOperandMismatch, false, {5, 6, 7}},
      {"nearly singular", N, MakeVec({2, 2 + kEps40}), kSingular, false, {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix a = c.A;
    Vector b = c.b;
    EXPECT_EQ(MatSEqnD(a, b), c.status);
    EXPECT_EQ(Elements(b), c.bAfter);
    EXPECT_EQ(Elements(a) == Elements(c.A), c.aUnchanged);
  }
}

// After the first step the remaining 2 x 2 block is about 2^-40 of the first
// pivot, and the last pivot is of the same size as the second.
Rows kSecondPivotTiny = {
    {1, 1, 1}, {1, 1 + std::ldexp(1.0, -40), 1}, {1, 1, 1 + std::ldexp(1.0, -40)}};

TEST(MatDecompD, NearSingularTestAppliesFromIndexTwo) {
  struct Case {
    std::int16_t lo;
    std::int16_t status;
  };
  // With lower bound 0 the second pivot sits at index 1, which the test skips,
  // and the last pivot is no smaller than the second.
  for (const Case& c : {Case{1, kSingular}, Case{0, kOk}}) {
    SCOPED_TRACE(c.lo);
    Matrix A = Make(kSecondPivotTiny, c.lo);
    EliminationState state = StateFor(c.lo, c.lo + 2);
    const std::int16_t expectedFailure = c.status == kOk ? 0 : 199;
    EXPECT_EQ(MatDecompD(A, state), expectedFailure);
    EXPECT_TRUE(state.usable);
    EXPECT_EQ(state.deferred, expectedFailure);
    EXPECT_EQ(state.rowOrder[0], c.lo + 1);
    EXPECT_EQ(state.colOrder[0], c.lo + 1);

    Matrix B = Make(kSecondPivotTiny, c.lo);
    Vector b = MakeVec({3, 3 + kEps40, 3 + kEps40}, c.lo);
    EXPECT_EQ(MatSEqnD(B, b), c.status);
    // The computed solution is handed back in both cases.
    for (double v : Elements(b)) EXPECT_NEAR(v, 1.0, 1e-3);
  }
}

TEST(MatInvD, DiagonalAndFailures) {
  Matrix D = Make({{2, 0}, {0, 4}});
  EXPECT_EQ(MatInvD(D), kOk);
  EXPECT_EQ(Elements(D), (std::vector<double>{0.5, 0, 0, 0.25}));

  Matrix R(1, 2, 1, 3);
  EXPECT_EQ(MatInvD(R), kNotSquare);

  Matrix Z = Make({{1, 2}, {0, 0}});
  EXPECT_EQ(MatInvD(Z), kSingular);
  EXPECT_EQ(Elements(Z), (std::vector<double>{1, 2, 0, 0}));

  // Nearly singular: the computed inverse is still handed back.
  Matrix N = Make({{1, 1}, {1, 1 + kEps40}});
  EXPECT_EQ(MatInvD(N), kSingular);
  const double big = 1.0 / kEps40;
  const double inverse[] = {big + 1, -big, -big, big};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(N(1 + k / 2, 1 + k % 2), inverse[k], 1e-3 * big);
}

TEST(MatrixRoutines, RunTimeFailuresInsideBecomeTheStatus) {
  // Row sum 1e308 + 1e308 overflows before the elimination; b is untouched.
  Matrix big = Make({{1e308, 1e308}, {1, 2}});
  Vector b = MakeVec({1, 2});
  EXPECT_EQ(MatSEqnD(big, b), RuntimeFault::kOverflow);
  EXPECT_EQ(Elements(b), (std::vector<double>{1, 2}));
  // The product 1e308 x 10 overflows.
  Matrix C(1, 1, 1, 1);
  EXPECT_EQ(MatMultD(Make({{1e308}}), Make({{10}}), C), RuntimeFault::kOverflow);
  // An empty matrix has no last pivot to read.
  Matrix empty;
  Vector none;
  EXPECT_EQ(MatSEqnD(empty, none), RuntimeFault::kSubscript);
}

TEST(MatMultD, ProductAndRangeMismatches) {
  const Matrix A = Make({{1, 2}, {3, 4}, {5, 6}});
  const Matrix B = Make({{1, 0, -1}, {2, 1, 0.5}});
  Matrix C(1, 3, 1, 3);
  ASSERT_EQ(MatMultD(A, B, C), kOk);
  EXPECT_EQ(Elements(C), (std::vector<double>{5, 2, 0, 11, 4, -1, 17, 6, -2}));

  struct Case {
    std::string name;
    Matrix A, B, C;
    std::int16_t status;
  };
  // Results filled beforehand, to show that a refused product writes nothing.
  const Matrix filled = Make({{9, 0, 0}, {0, 9, 0}, {0, 0, 9}});
  const Matrix filled23 = Make({{9, 0, 0}, {0, 0, 0}});
  const Case cases[] = {
      {"A cols != B rows", Matrix(1, 3, 1, 2), Matrix(1, 3, 1, 3), filled, kOperandMismatch},
      {"same size, other bounds", Matrix(1, 2, 1, 2), Matrix(0, 1, 1, 2), Matrix(1, 2, 1, 2),
       kOperandMismatch},
      {"C rows", Matrix(1, 3, 1, 3), Matrix(1, 3, 1, 3), filled23, kResultMismatch},
      {"C cols", Matrix(1, 3, 1, 3), Matrix(1, 3, 1, 2), filled, kResultMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Matrix out = c.C;
    EXPECT_EQ(MatMultD(c.A, c.B, out), c.status);
    EXPECT_EQ(Elements(out), Elements(c.C));
  }
}

TEST(MatTransDAndMatVecMultD, Shapes) {
  const Matrix A = Make({{1, 2, 3}, {4, 5, 6}});
  Matrix T(1, 3, 1, 2);
  MatTransD(A, T);
  EXPECT_EQ(Elements(T), (std::vector<double>{1, 4, 2, 5, 3, 6}));

  Vector y = MakeVec({99, 99});
  MatVecMultD(A, MakeVec({1, -1, 2}), y);
  EXPECT_EQ(Elements(y), (std::vector<double>{5, 11}));
}

}  // namespace
}  // namespace kestrune::matrix
