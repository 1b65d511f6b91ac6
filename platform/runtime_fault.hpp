// Run-time errors of the program: a failure that carries its error number,
// thrown where arithmetic or indexing goes wrong and caught by the nearest
// caller that handles it (the matrix routines, the event handlers).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrune {

class RuntimeFault : public std::runtime_error {
 public:
  static constexpr std::int16_t kInvalidCall = 5;      // invalid procedure call or argument
  static constexpr std::int16_t kOverflow = 6;         // overflow
  static constexpr std::int16_t kSubscript = 9;        // subscript out of range
  static constexpr std::int16_t kDivisionByZero = 11;  // division by zero

  // number: the run-time error number (5, 6, 9 or 11). message: the text
  // the user is shown instead of the standard "Run-time error <n>: <text>"
  // (a fault the computation names itself, such as "ARCSINUS DATA ERROR").
  explicit RuntimeFault(std::int16_t number, const std::string& message = std::string());

  std::int16_t Number() const noexcept { return number_; }

  // "Division by zero" and the like, without the number.
  static std::string Description(std::int16_t number);

 private:
  std::int16_t number_;
};

// Checked arithmetic on 64-bit floats: each throws RuntimeFault instead of
// letting an infinity or a NaN travel on. A nonzero number divided by zero is
// error 11; 0 / 0, and any result that is not finite, is error 6.
namespace checked {
// Throws the fault of a result that is not finite, or of a division by zero;
// kept out of line so that the checks inline cheaply.
[[noreturn]] void Fail(std::int16_t number);

inline double Finite(double x) {  // error 6 unless x is finite; returns x
  if (!std::isfinite(x)) Fail(RuntimeFault::kOverflow);
  return x;
}
inline double Div(double numerator, double denominator) {
  if (denominator == 0.0) {
    Fail(numerator == 0.0 || std::isnan(numerator) ? RuntimeFault::kOverflow
                                                   : RuntimeFault::kDivisionByZero);
  }
  return Finite(numerator / denominator);
}
inline double Mul(double a, double b) {
  return Finite(a * b);
}
inline double Add(double a, double b) {
  return Finite(a + b);
}
inline double Sub(double a, double b) {
  return Finite(a - b);
}
inline double Sqrt(double x) {  // error 5 for a negative argument
  if (x < 0.0) Fail(RuntimeFault::kInvalidCall);
  return Finite(std::sqrt(x));
}
// A 64-bit value held in a 32-bit variable: beyond the float range that is an
// overflow (6), as every narrowing assignment of the program.
inline float ToFloat(double x) {
  if (std::isfinite(x) && std::fabs(x) > FLT_MAX) Fail(RuntimeFault::kOverflow);
  return static_cast<float>(x);
}
}  // namespace checked

}  // namespace kestrune
