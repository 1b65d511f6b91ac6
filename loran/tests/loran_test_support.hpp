// Shared pieces of the computation-library tests: positions in degrees, the
// fault a call throws, and a catalogue of stations placed where a test wants
// them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "loran/catalogue.hpp"
#include "platform/runtime_fault.hpp"
#include "tests/support/test_support.hpp"

namespace kestrune::loran {

using testing_support::Deg;
using testing_support::Rad;

inline GeoPoint At(double latDeg, double lonDeg) {
  return GeoPoint{Rad(latDeg), Rad(lonDeg)};
}

// The run-time error number `f` throws; 0 when it throws none.
inline int FaultOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeFault& fault) {
    return fault.Number();
  }
  return 0;
}

// One chain: a master and secondaries at the given positions (radians),
// emission delays 10000 us apart.
inline Catalogue OneChain(const std::vector<GeoPoint>& positions) {
  std::vector<Station> stations;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    stations.push_back(Station{1000, i == 0 ? "M" : std::string(1, static_cast<char>('V' + i)),
                               "S" + std::to_string(i), positions[i], 10000.0 * i});
  }
  return Catalogue(stations);
}

inline const Catalogue& Nels() {
  return NelsCatalogue();
}

// The TD of (master, secondary) of the NELS chains at a position in degrees.
double TdAt(double latDeg, double lonDeg, int master, int secondary);

}  // namespace kestrune::loran
