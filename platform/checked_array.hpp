// A fixed array whose index outside 0 to N - 1 is run-time error 9, like
// every table of the program: the LOP table, the station working values and
// the working lists of one calculation.
#pragma once

#include <array>
#include <cstddef>

#include "platform/runtime_fault.hpp"

namespace kestrune {

template <class T, int N>
class CheckedArray {
 public:
  T& operator()(int i) { return items_[Checked(i)]; }
  const T& operator()(int i) const { return items_[Checked(i)]; }
  static constexpr int UBound() { return N - 1; }
  bool operator==(const CheckedArray&) const = default;

 private:
  static std::size_t Checked(int i) {
    if (i < 0 || i >= N) throw RuntimeFault(RuntimeFault::kSubscript);
    return static_cast<std::size_t>(i);
  }
  std::array<T, N> items_{};
};

}  // namespace kestrune
