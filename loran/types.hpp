// The small values the Loran-C computation takes and returns.
//
// Angles are radians (latitude north positive, longitude east positive),
// distances metres, times and TDs microseconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrune::loran {

// A position on the WGS 84 ellipsoid.
struct GeoPoint {
  double lat = 0.0;  // radians, -pi/2 to pi/2
  double lon = 0.0;  // radians, east positive; an iteration may carry it past ±pi
  bool operator==(const GeoPoint&) const = default;
};

// One line of position: a master, one of its secondaries, the TD observed
// and the weight it carries in a least-squares fix.
struct Lop {
  std::int16_t master = 0;     // station index of the master
  std::int16_t secondary = 0;  // station index of a secondary of the same chain
  double observedTd = 0.0;     // microseconds
  double weight = 1.0;         // 0 (left out of the fix) to 1
};

// A message for the user, as one box shows it. The computation never shows
// anything itself: it returns its messages in the order they arose, and the
// front end shows or writes them.
struct Message {
  std::string text;
  std::string title;  // empty: the program's own title
  bool operator==(const Message&) const = default;
};
using Messages = std::vector<Message>;

}  // namespace kestrune::loran
