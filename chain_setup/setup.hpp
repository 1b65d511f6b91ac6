// The setup both windows share and the setup file keeps: the estimated
// position, how many LOPs are used, each LOP's master and secondary, and the
// last observed TDs and weights. The setup dialog fills the chain choice,
// the calculation window the rest; one value lives for the whole run.
#pragma once

#include <cstdint>

#include "platform/checked_array.hpp"

namespace kestrune {

struct LopRecord {
  std::int16_t MasterIndex = 0;     // station index of the master
  std::int16_t SecondaryIndex = 0;  // station index of a secondary of the master's chain
  double ObservedTd = 0.0;          // microseconds
  float Weight = 0.0f;              // 0 to 1
  bool operator==(const LopRecord&) const = default;
};

inline constexpr int kMaxLops = 7;        // LOP numbers 1 to 7
inline constexpr int kLopTableSize = 8;   // element 0 is never used
inline constexpr int kMinDialogLops = 2;  // the setup dialog offers 2 to 6 LOPs
inline constexpr int kMaxDialogLops = 6;

struct SetupState {
  double EstLat = 0.0;                              // radians, north positive
  double EstLon = 0.0;                              // radians, east positive
  std::int16_t NoOfLops = 0;                        // LOPs in use, 0 until the dialog is accepted
  CheckedArray<LopRecord, kLopTableSize> LopTable;  // LOPs 1 to NoOfLops
  bool operator==(const SetupState&) const = default;
};

}  // namespace kestrune
