// Chain catalogue files.
//
// Notation:
//   line n     the n-th line of the text, counted from 1
//   version    one chain line with its station lines
// Coordinates become radians with the program's 12-digit pi, multiplication
// first, as the built-in catalogue's do, so that a station read from a file
// predicts the same TDs as the same station built in.
#include "loran/catalogue_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "util/constants.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune::loran {

namespace {

constexpr int kDegreeDigits = 17;  // significant digits of a written coordinate: every bit

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  for (;;) {
    const auto semi = line.find(';', start);
    out.push_back(Trim(line.substr(start, semi == std::string::npos ? semi : semi - start)));
    if (semi == std::string::npos) return out;
    start = semi + 1;
  }
}

bool ReadDouble(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// A coordinate field as radians, or the problem with it.
std::string ReadCoordinate(const std::string& text, const char* kind, double& radians) {
  const double limit = kind[1] == 'A' ? constants::kMaxLatitude : constants::kMaxLongitude;
  double degrees = 0.0;
  if (!ReadDouble(text, degrees)) {
    // Not a plain number: a degree-minute-second text, which must read
    // without a single correction.
    const text::ParsedCoordinate parsed = text::ParseLatLon(text, kind);
    if (!parsed.messages.empty() || text.find_first_of("NSEWnsewVv") == std::string::npos) {
      return std::string(kind[1] == 'A' ? "latitude" : "longitude") + " '" + text +
             "' is neither decimal degrees nor degrees, minutes and seconds with a hemisphere";
    }
    degrees = parsed.value;
  }
  if (std::fabs(degrees) > limit) {
    return std::string(kind[1] == 'A' ? "latitude" : "longitude") + " '" + text +
           "' is out of range";
  }
  radians = degrees * constants::kPi / 180.0;
  return std::string();
}

std::string At(int line, const std::string& problem) {
  return "line " + std::to_string(line) + ": " + problem;
}

std::string ChainName(const ChainVersion& c) {
  return "chain " + std::to_string(c.gri);
}

std::string Degrees(double radians) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*g", kDegreeDigits, radians * 180.0 / constants::kPi);
  return buf;
}

bool Overlap(const ChainVersion& a, const ChainVersion& b) {
  const bool aEndsBefore = a.validTo && b.validFrom && *a.validTo < *b.validFrom;
  const bool bEndsBefore = b.validTo && a.validFrom && *b.validTo < *a.validFrom;
  return !aEndsBefore && !bEndsBefore;
}

}  // namespace

bool ChainVersion::ValidOn(Date date) const {
  return (!validFrom || date >= *validFrom) && (!validTo || date <= *validTo);
}

std::optional<Date> ParseDate(const std::string& text) {
  int y = 0;
  unsigned m = 0, d = 0;
  char tail = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &tail) != 3) {
    return std::nullopt;
  }
  const Date date{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
  return date.ok() ? std::optional<Date>(date) : std::nullopt;
}

std::string DateText(Date date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return buf;
}

CatalogueRead ReadCatalogueText(const std::string& text) {
  CatalogueRead out;
  std::vector<int> chainLines;  // the line of each version's chain line
  // A byte order mark, as editors on Windows write one, is no part of line 1.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::istringstream in(text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size())
                                                         : text);
  int n = 0;
  auto fail = [&out](int line, const std::string& problem) {
    out.chains.clear();
    out.error = At(line, problem);
    return out;
  };
  for (std::string raw; std::getline(in, raw);) {
    ++n;
    const std::string line = Trim(raw.substr(0, raw.find('#')));
    if (line.empty()) continue;
    const std::vector<std::string> f = Fields(line);
    if (f[0] == "chain") {
      if (f.size() != 5)
        return fail(n, "a chain line has 5 fields, this one " + std::to_string(f.size()));
      ChainVersion c;
      int gri = 0;
      const auto [p, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), gri);
      if (ec != std::errc() || p != f[1].data() + f[1].size() || gri < 1000 || gri > 9999) {
        return fail(n, "GRI '" + f[1] + "' is not a number of four digits");
      }
      c.gri = static_cast<std::int16_t>(gri);
      c.name = f[2];
      for (int end = 0; end < 2; ++end) {
        const std::string& t = f[static_cast<std::size_t>(3 + end)];
        if (t == "-") continue;
        const std::optional<Date> d = ParseDate(t);
        if (!d) return fail(n, "date '" + t + "' is not YYYY-MM-DD");
        (end == 0 ? c.validFrom : c.validTo) = d;
      }
      if (c.validFrom && c.validTo && *c.validTo < *c.validFrom) {
        return fail(n, ChainName(c) + " ends before it begins");
      }
      if (!out.chains.empty() && out.chains.back().stations.empty()) {
        return fail(chainLines.back(), ChainName(out.chains.back()) + " has no stations");
      }
      for (std::size_t i = 0; i < out.chains.size(); ++i) {
        if (out.chains[i].gri == c.gri && Overlap(out.chains[i], c)) {
          return fail(n, ChainName(c) + " overlaps in time its version on line " +
                             std::to_string(chainLines[i]));
        }
      }
      out.chains.push_back(c);
      chainLines.push_back(n);
    } else if (f[0] == "station") {
      if (out.chains.empty()) return fail(n, "a station before any chain line");
      if (f.size() != 6)
        return fail(n, "a station line has 6 fields, this one " + std::to_string(f.size()));
      ChainVersion& c = out.chains.back();
      Station st;
      st.gri = c.gri;
      st.designator = f[1];
      st.name = f[2];
      if (st.designator.size() != 1 ||
          (st.designator != "M" && (st.designator < "V" || st.designator > "Z"))) {
        return fail(n, "designator '" + st.designator + "' is not M or V to Z");
      }
      if (c.stations.empty() != (st.designator == "M")) {
        return fail(n, c.stations.empty() ? ChainName(c) + " must begin with its master M"
                                          : ChainName(c) + " has a second master");
      }
      for (const Station& other : c.stations) {
        if (other.designator == st.designator) {
          return fail(n, "station " + st.designator + " of " + ChainName(c) + " comes twice");
        }
      }
      std::string problem = ReadCoordinate(f[3], "LAT", st.position.lat);
      if (problem.empty()) problem = ReadCoordinate(f[4], "LON", st.position.lon);
      if (!problem.empty()) return fail(n, problem);
      if (!ReadDouble(f[5], st.emissionDelay) || st.emissionDelay < 0.0 ||
          (st.designator == "M") != (st.emissionDelay == 0.0)) {
        return fail(
            n, "emission delay '" + f[5] + "' is not " +
                   (st.designator == "M" ? "0 for a master" : "a positive number of microseconds"));
      }
      // Every pulse of the chain is sent within its group repetition interval.
      const double interval = c.gri * constants::kMicrosecondsPerGriUnit;
      if (!(st.emissionDelay < interval)) {
        return fail(n, "emission delay '" + f[5] + "' is not below the " +
                           std::to_string(static_cast<long>(interval)) +
                           " us group repetition interval of " + ChainName(c));
      }
      c.stations.push_back(st);
    } else {
      return fail(n, "'" + f[0] + "' is neither a chain nor a station line");
    }
  }
  if (out.chains.empty()) return fail(n == 0 ? 1 : n, "no chain in the catalogue");
  if (out.chains.back().stations.empty()) {
    return fail(chainLines.back(), ChainName(out.chains.back()) + " has no stations");
  }
  return out;
}

std::string CatalogueText(const std::vector<ChainVersion>& chains) {
  std::string out =
      "# Kestrune chain catalogue: chain; GRI; name; valid from; valid to\n"
      "#   station; designator; name; latitude; longitude; emission delay (us)\n";
  for (const ChainVersion& c : chains) {
    out += "chain; " + std::to_string(c.gri) + "; " + c.name + "; " +
           (c.validFrom ? DateText(*c.validFrom) : "-") + "; " +
           (c.validTo ? DateText(*c.validTo) : "-") + "\n";
    for (const Station& s : c.stations) {
      // The shortest fixed form of any double fits in 400 characters.
      char delay[400];
      const auto written =
          std::to_chars(delay, delay + sizeof delay, s.emissionDelay, std::chars_format::fixed);
      const std::string d = written.ec == std::errc() ? std::string(delay, written.ptr) : "";
      out += "station; " + s.designator + "; " + s.name + "; " + Degrees(s.position.lat) + "; " +
             Degrees(s.position.lon) + "; " + d + "\n";
    }
  }
  return out;
}

Catalogue SelectCatalogue(const std::vector<ChainVersion>& chains, std::optional<Date> date) {
  std::vector<Station> stations;
  for (std::size_t i = 0; i < chains.size(); ++i) {
    const ChainVersion& c = chains[i];
    bool chosen = false;
    if (date) {
      chosen = c.ValidOn(*date);
    } else if (!c.validTo) {
      chosen = true;
    } else {
      // The latest version of a chain that is off the air.
      chosen = std::none_of(chains.begin(), chains.end(), [&c](const ChainVersion& o) {
        return o.gri == c.gri && (!o.validTo || *o.validTo > *c.validTo);
      });
    }
    if (chosen) stations.insert(stations.end(), c.stations.begin(), c.stations.end());
  }
  return Catalogue(std::move(stations));
}

}  // namespace kestrune::loran
