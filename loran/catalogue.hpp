// The station catalogue: the chains a navigator can pick LOPs from, each a
// master followed by its secondaries, as data. Every fact about the chain
// layout (which station is a master, which secondaries belong to it, where a
// chain's rows begin) derives from the one station table of a catalogue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loran/types.hpp"

namespace kestrune::loran {

struct Station {
  std::int16_t gri = 0;        // chain: group repetition interval in tens of microseconds
  std::string designator;      // "M" for the master, else the secondary's letter
  std::string name;            // station name, ASCII
  GeoPoint position;           // WGS 84, radians
  double emissionDelay = 0.0;  // microseconds after the master; 0 for a master
};

struct Chain {
  std::int16_t gri = 0;
  std::int16_t master = 0;                // station index
  std::vector<std::int16_t> secondaries;  // station indices, in catalogue order
};

class Catalogue {
 public:
  Catalogue() = default;
  // stations: in index order, every chain a master (designator "M") followed
  // by its secondaries, all of the master's GRI. Throws std::invalid_argument
  // for a table that breaks this.
  explicit Catalogue(std::vector<Station> stations);

  int Size() const { return static_cast<int>(stations_.size()); }
  // Station `index` (0 to Size() - 1); run-time error 9 outside.
  const Station& At(int index) const;
  const std::vector<Station>& Stations() const { return stations_; }
  // The chains in catalogue order; a chain's position in this list is its
  // chain position (the order of the masters).
  const std::vector<Chain>& Chains() const { return chains_; }

  // Chain position of a station, -1 outside the catalogue.
  int ChainOf(int index) const;
  bool IsMaster(int index) const;
  // True when `master` is a master and `secondary` one of its secondaries.
  bool IsChainPair(int master, int secondary) const;
  // Every secondary of every chain, in index order.
  std::vector<std::int16_t> Secondaries() const;
  // The station of chain `gri` with `designator` ("M", "X", ...), -1 if none.
  int Find(int gri, const std::string& designator) const;

 private:
  std::vector<Station> stations_;
  std::vector<Chain> chains_;
  std::vector<int> chain_of_;  // by station index
};

// The four NW-European chains 9007, 7001, 7499 and 6731 with their fifteen
// station entries (0 to 14; masters 0, 5, 8, 11). Stations shared by two
// chains have an entry in each.
const Catalogue& NelsCatalogue();

}  // namespace kestrune::loran
