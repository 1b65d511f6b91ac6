#include "platform/runtime_fault.hpp"

#include <cmath>

namespace kestrune {

namespace {
std::string FaultText(std::int16_t number) {
  return "Run-time error " + std::to_string(number) + ": " + RuntimeFault::Description(number);
}
}  // namespace

RuntimeFault::RuntimeFault(std::int16_t number, bool reported)
    : std::runtime_error(FaultText(number)), number_(number), reported_(reported) {}

std::string RuntimeFault::Description(std::int16_t number) {
  switch (number) {
    case kInvalidCall:
      return "Invalid procedure call or argument";
    case kOverflow:
      return "Overflow";
    case kSubscript:
      return "Subscript out of range";
    case kDivisionByZero:
      return "Division by zero";
    default:
      return "Application-defined or object-defined error";
  }
}

namespace checked {

double Finite(double x) {
  if (!std::isfinite(x)) throw RuntimeFault(RuntimeFault::kOverflow);
  return x;
}

double Div(double numerator, double denominator) {
  if (denominator == 0.0) {
    throw RuntimeFault(numerator == 0.0 || std::isnan(numerator) ? RuntimeFault::kOverflow
                                                                 : RuntimeFault::kDivisionByZero);
  }
  return Finite(numerator / denominator);
}

double Mul(double a, double b) {
  return Finite(a * b);
}
double Add(double a, double b) {
  return Finite(a + b);
}
double Sub(double a, double b) {
  return Finite(a - b);
}

double Sqrt(double x) {
  if (x < 0.0) throw RuntimeFault(RuntimeFault::kInvalidCall);
  return Finite(std::sqrt(x));
}

}  // namespace checked
}  // namespace kestrune
