#include "platform/runtime_fault.hpp"

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

void Fail(std::int16_t number) {
  throw RuntimeFault(number);
}

}  // namespace checked
}  // namespace kestrune
