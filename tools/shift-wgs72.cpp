// Writes the WGS 84 positions of a catalogue file from the WGS 72 figures
// its sources publish: every "# wgs72; <latitude>; <longitude>" comment line
// gives the position of the station line after it, which is written again
// with that position shifted to WGS 84 by the library's WGS 72 datum
// (EPSG:1237) and rounded to 0.0001" (3 mm). Every other line passes
// unchanged. Reads standard input, writes standard output; exit 1 with one
// line on standard error for a figure that does not read or a wgs72 line
// without its station line. tools/make-historical-chains.sh runs it.
//
// Notation:
//   units   the position in ten-thousandths of an arc-second, rounded once,
//           so that 59.99996" carries into the next minute
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "loran/datum.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"

namespace {

using kestrune::loran::GeoPoint;

constexpr long long kUnitsPerSecond = 10000;  // four decimals of the seconds
constexpr long long kUnitsPerMinute = 60 * kUnitsPerSecond;
constexpr long long kUnitsPerDegree = 60 * kUnitsPerMinute;
const std::string kMarker = "# wgs72;";

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  for (;;) {
    const auto semi = line.find(';', start);
    std::string f = line.substr(start, semi == std::string::npos ? semi : semi - start);
    const auto b = f.find_first_not_of(' ');
    out.push_back(b == std::string::npos ? std::string()
                                         : f.substr(b, f.find_last_not_of(' ') - b + 1));
    if (semi == std::string::npos) return out;
    start = semi + 1;
  }
}

// "62°17'59.7129N" / "007°04'25.9840W" from signed decimal degrees.
std::string Dms(double degrees, bool latitude) {
  const auto units =
      std::llround(std::fabs(degrees) * 3600.0 * static_cast<double>(kUnitsPerSecond));
  const long long d = units / kUnitsPerDegree;
  const long long m = units % kUnitsPerDegree / kUnitsPerMinute;
  const long long s = units % kUnitsPerMinute;
  const char hemisphere = latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E');
  char buf[48];
  std::snprintf(buf, sizeof buf, "%0*lld\u00B0%02lld'%02lld.%04lld%c", latitude ? 2 : 3, d, m,
                s / kUnitsPerSecond, s % kUnitsPerSecond, hemisphere);
  return buf;
}

std::optional<double> Read(const std::string& text, const char* kind) {
  const kestrune::text::ParsedCoordinate p = kestrune::text::ParseLatLon(text, kind);
  if (!p.messages.empty()) return std::nullopt;
  return p.value;
}

}  // namespace

int main() {
  std::optional<GeoPoint> pending;
  int n = 0;
  auto fail = [&n](const std::string& problem) {
    std::cerr << "shift-wgs72: line " << n << ": " << problem << "\n";
    return 1;
  };
  for (std::string line; std::getline(std::cin, line);) {
    ++n;
    if (line.rfind(kMarker, 0) == 0) {
      if (pending) return fail("two wgs72 lines without a station line between them");
      const std::vector<std::string> f = Fields(line.substr(kMarker.size()));
      const auto lat = f.size() == 2 ? Read(f[0], "LAT") : std::nullopt;
      const auto lon = f.size() == 2 ? Read(f[1], "LON") : std::nullopt;
      if (!lat || !lon) return fail("not '# wgs72; <latitude>; <longitude>'");
      pending = GeoPoint{kestrune::constants::Radians(*lat), kestrune::constants::Radians(*lon)};
    } else if (pending && line.rfind("station;", 0) == 0) {
      std::vector<std::string> f = Fields(line);
      if (f.size() != 6) return fail("a station line has 6 fields");
      const GeoPoint p = kestrune::loran::ToWgs84(kestrune::loran::Wgs72(), *pending);
      line = "station; " + f[1] + "; " + f[2] + "; " +
             Dms(kestrune::constants::Degrees(p.lat), true) + "; " +
             Dms(kestrune::constants::Degrees(p.lon), false) + "; " + f[5];
      pending.reset();
    } else if (pending && !line.empty() && line[0] != '#') {
      return fail("a wgs72 line is not followed by its station line");
    }
    std::cout << line << "\n";
  }
  if (pending) return fail("the last wgs72 line has no station line");
  return 0;
}
