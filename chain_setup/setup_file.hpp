// The setup file "Kestrune.ini" in the current working directory: the
// estimated position, the chain choice and the last observed TDs and weights,
// as lines of comma-separated numbers.
//
//   line 1          EstLat,EstLon                  radians, 15 significant digits
//   line 2          NoOfLops                       2 to 6
//   lines 3..2+n    MasterIndex,SecondaryIndex,ObservedTd,Weight
//                                                  TD in microseconds (15 digits),
//                                                  weight 0 to 1 (7 digits)
//
// Numbers are written with a period whatever the locale, in their shortest
// form, lines end with CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "chain_setup/global_module.hpp"

namespace kestrune {
class Frm_LoranSetup;
}

namespace kestrune::Global_Module {

inline constexpr const char* kSetupFileName = "Kestrune.ini";

// The content of a setup file that passed every check.
struct SetupData {
  double EstLat = 0.0;                         // radians, -pi/2 to pi/2
  double EstLon = 0.0;                         // radians, -pi to pi
  std::int16_t NoOfLops = 0;                   // 2 to 6
  std::array<LopRecord, kLopCapacity> Lops{};  // elements 1 to NoOfLops; each a chain pair
};

// Reads a setup file's text (CR LF or LF line ends, blanks around fields,
// numbers with or without a zero before the point, exponents). Returns an
// empty string and fills `data` when the text is sound; otherwise the first
// problem found ("line 2: the number of LOPs is not 2 to 6") and `data` is
// left as it was.
std::string ParseSetupText(const std::string& text, SetupData& data);

// The text WriteSetupFile writes for the current globals EstLat, EstLon,
// NoOfLops and LopTable elements 1 to NoOfLops.
std::string SetupFileText();

// Loads EstLat, EstLon, NoOfLops and LopTable from the file and selects the
// dialog's lists from it. Without a file: three LOPs selected, every weight
// 1, nothing else changed. A file that cannot be read or fails a check is
// reported in one message box and then treated as absent; the globals are
// untouched until the whole file has passed.
void ReadSetupFile(Frm_LoranSetup& form);

// Writes the file from the globals, through a temporary file in the same
// directory that replaces the old file only when complete. Returns false
// after a message box when the file could not be written (the old file is
// then left as it was).
bool WriteSetupFile();

}  // namespace kestrune::Global_Module

namespace kestrune {
using Global_Module::ReadSetupFile;
using Global_Module::WriteSetupFile;
}  // namespace kestrune
