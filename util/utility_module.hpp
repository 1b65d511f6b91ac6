// Coordinate text and numeric text: reading and writing the latitudes,
// longitudes and numbers that the user types and the windows show.
#pragma once

#include <cstdint>
#include <string>

namespace kestrune::Utility_Module {

// Reads a coordinate text leniently ("62°17'59.837N", "62 17 59,837 n",
// "-62", "10V"). text: UTF-8; kind: "LAT" or "LON" (any letter case).
// Every format error is shown in a message box (in the order found) and
// replaced by a default; never fails.
// Returns signed decimal degrees (north and east positive), within ±90 for
// "LAT" and ±180 for "LON"; 0 after a numeric overflow while reading.
double ParseLatLon(const std::string& text, const std::string& kind);

// The display form of a coordinate: degrees ("00" latitude, "000"
// longitude), "°", minutes "00", "'", seconds with `decimals` decimals and the
// locale's separator, '"', hemisphere letter. value: signed decimal degrees,
// magnitude below 32768; kind: "LAT" or "LON"; decimals: 0 to 4 (any other
// count leaves the seconds piece empty). Never writes 60 seconds or 60
// minutes: they carry into the next field.
std::string FormatLatLon(double value, const std::string& kind, std::int16_t decimals);

// The leading number of a text after every "," is read as ".": blanks, tabs
// and line feeds are skipped anywhere, optional sign, digits with one point,
// optional exponent (E or D). 0 when there is no leading number; a number
// beyond the range of a 64-bit float gives ±1.79769313486232e308.
double ValWithComma(const std::string& text);

// Number-pattern formatting: "0" digit place always written, "#" digit place
// written when significant, "." the decimal separator (written as the
// locale's), any other character literal. The value's decimal form is taken
// to 15 significant digits, then rounded halves away from zero to the
// pattern's decimals; the integer part is never cut; a negative value gets a
// leading "-" unless it rounds to zero.
std::string Format(double value, const std::string& pattern);
// The same for a 32-bit value, whose decimal form is taken to 7 significant
// digits, so a float formats as the number it shows.
std::string Format(float value, const std::string& pattern);

// Format, padded with blanks on the left to the length of the pattern (in
// characters); never cut. All blanks, as long as the pattern, when formatting
// fails.
std::string FormatRight(double value, const std::string& pattern);

// A 16-bit integer with its sign place: " 3", "-3", " 0".
std::string Str(std::int16_t n);

}  // namespace kestrune::Utility_Module
