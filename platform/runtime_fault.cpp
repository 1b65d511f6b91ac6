#include "platform/runtime_fault.hpp"

#include <cfloat>
#include <cmath>

namespace kestrune {

namespace {
std::string FaultText(std::int16_t number) {
  return "Run-time error " + std::to_string(number) + ": " + RuntimeFault::Description(number);
}
}  // namespace

RuntimeFault::RuntimeFault(std::int16_t number, const std::string& message)
    : std::runtime_error(message.empty() ? FaultText(number) : message), number_(number) {}

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

float ToFloat(double x) {
  if (std::isfinite(x) && std::fabs(x) > FLT_MAX) throw RuntimeFault(RuntimeFault::kOverflow);
  return static_cast<float>(x);
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
