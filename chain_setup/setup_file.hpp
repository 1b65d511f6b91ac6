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

#include <string>

#include "chain_setup/setup.hpp"
#include "loran/catalogue.hpp"

namespace kestrune {

inline constexpr const char* kSetupFileName = "Kestrune.ini";

// Reads a setup file's text (CR LF or LF line ends, blanks around fields,
// numbers with or without a zero before the point, exponents). Returns an
// empty string and fills `setup` (position, count and LOPs 1 to NoOfLops;
// nothing else) when the text is sound: a position within 90 and 180
// degrees, 2 to 6 LOPs, each a master and a secondary of one chain of
// `catalogue`, finite numbers. Otherwise returns the first problem found
// ("line 2: the number of LOPs is not 2 to 6") and leaves `setup` as it was.
std::string ParseSetupText(const std::string& text, const loran::Catalogue& catalogue,
                           SetupState& setup);

// The text of the file for `setup` (LOPs 1 to NoOfLops).
std::string SetupFileText(const SetupState& setup);

struct SetupFileRead {
  enum class Status { Absent, Loaded, Unreadable, Damaged };
  Status status = Status::Absent;
  SetupState setup;     // the file's content when Loaded; otherwise untouched input
  std::string message;  // the one box to show when Unreadable or Damaged
};

// Reads the file at `path` over `setup` (the fields the file does not hold
// keep their values). A missing file is Absent, with no message; a file that
// cannot be read or fails a check gives one message naming it, and `setup`
// comes back unchanged.
SetupFileRead ReadSetupFile(const std::string& path, const loran::Catalogue& catalogue,
                            const SetupState& setup);

// Writes the file for `setup` safely: into a fresh temporary file of its own
// (created exclusively, never through a link) in the directory of the file,
// flushed to disk, then renamed over the file, and the directory flushed. If
// `path` is a symbolic link, the file it points to is replaced and the link
// stays. A file without any write permission is not replaced. Returns an
// empty string on success, else the message to show; the old file is then
// left as it was.
std::string WriteSetupFile(const SetupState& setup, const std::string& path);

// Replaces the file at `path` by `text` as WriteSetupFile does (a fresh
// temporary beside it, flushed, renamed over it); false when that failed and
// the old file is as it was.
bool WriteFileWhole(const std::string& path, const std::string& text);

}  // namespace kestrune
