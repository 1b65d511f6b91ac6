// Coordinate text: the latitudes and longitudes a user types and the display
// form the windows show ("62°17'59.837"N", "007°04'26.079"W").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/locale.hpp"

namespace kestrune::text {

// A parsed coordinate and the format errors met, in the order found. Each
// message is one box's text; the value is the corrected one.
struct ParsedCoordinate {
  double value = 0.0;  // signed decimal degrees, north and east positive
  std::vector<std::string> messages;
};

// Reads a coordinate text leniently ("62°17'59.837N", "62 17 59,837 n",
// "-62", "10V"). text: UTF-8; kind: "LAT" or "LON" (any letter case; any
// other text is longitude). A point or comma in the degrees or minutes field
// is a separator, so "64.5" is 64°05'. Never fails: every format error is
// reported and replaced by a default. The value lies within ±90 for "LAT"
// and ±180 for "LON"; it is 0 after a numeric overflow while reading.
ParsedCoordinate ParseLatLon(const std::string& text, const std::string& kind);

// True when `text` holds a decimal digit. A text without one ("nan", "S",
// "e") names no position, whatever a lenient reading would make of it.
bool HasDigit(const std::string& text);

// The display form of a coordinate: degrees ("00" latitude, "000"
// longitude), "°", minutes "00", "'", seconds with `decimals` decimals and
// `separator`, '"', hemisphere letter. value: signed decimal degrees; kind:
// "LAT" or "LON"; decimals: 0 to 4 (any other count leaves the seconds piece
// empty). Never writes 60 seconds or 60 minutes: they carry into the next
// field. The degrees field is 16 bits wide: a magnitude whose degrees (after
// the carries) exceed 32767 is run-time error 6.
std::string FormatLatLon(double value, const std::string& kind, std::int16_t decimals,
                         char separator = DecimalSeparator());

}  // namespace kestrune::text
