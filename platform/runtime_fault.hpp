// Run-time errors of the program: a failure that carries its error number,
// thrown where arithmetic or indexing goes wrong and caught by the nearest
// caller that handles it (the matrix routines, the event handlers).
#pragma once

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

  // number: the run-time error number (5, 6, 9 or 11). reported: the user
  // has already been told (the "ARCSINUS DATA ERROR" box), so the handler
  // that catches it stops the calculation without a second box.
  explicit RuntimeFault(std::int16_t number, bool reported = false);

  std::int16_t Number() const noexcept { return number_; }
  bool Reported() const noexcept { return reported_; }

  // "Division by zero" and the like, without the number.
  static std::string Description(std::int16_t number);

 private:
  std::int16_t number_;
  bool reported_;
};

// Checked arithmetic on 64-bit floats: each throws RuntimeFault instead of
// letting an infinity or a NaN travel on. A nonzero number divided by zero is
// error 11; 0 / 0, and any result that is not finite, is error 6.
namespace checked {
double Div(double numerator, double denominator);
double Mul(double a, double b);
double Add(double a, double b);
double Sub(double a, double b);
double Sqrt(double x);    // error 5 for a negative argument
double Finite(double x);  // error 6 unless x is finite; returns x
}  // namespace checked

}  // namespace kestrune
