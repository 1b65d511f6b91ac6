// The station catalogue.
//
// Notation:
//   index     a station's entry in the catalogue, 0 to Size() - 1
//   chain     chain position: the order of the masters in the catalogue
// Coordinates are given as the texts the coordinate parser reads and turned
// into radians with the 12-digit pi, multiplication first: the predicted TDs
// depend on these bits.
#include "loran/catalogue.hpp"

#include <stdexcept>
#include <utility>

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune::loran {

namespace {

struct CatalogueRow {
  std::int16_t gri;
  const char* designator;
  const char* name;
  const char* lat;
  const char* lon;
  double emissionDelay;  // microseconds
};

// NELS, the Northwest European Loran-C System, as broadcast from 1995.
constexpr CatalogueRow kNels[] = {
    {9007, "M", "Ejde", "62°17'59.837N", "007°04'26.079W", 0.0},
    {9007, "W", "Jan Mayen", "70°54'51.478N", "008°43'56.525W", 14200.0},
    {9007, "X", "Boe", "68°38'06.216N", "014°27'47.350E", 28000.0},
    {9007, "Y", "Vaerlandet", "61°17'49.435N", "004°41'46.618E", 41100.0},
    {9007, "Z", "Loop Head", "52°35'01.576N", "009°49'07.969W", 55700.0},
    {7001, "M", "Boe", "68°38'06.216N", "014°27'47.350E", 0.0},
    {7001, "X", "Jan Mayen", "70°54'51.478N", "008°43'56.525W", 14100.0},
    {7001, "Y", "Berlevaag", "70°50'43.014N", "029°12'15.980E", 29100.0},
    {7499, "M", "Sylt", "54°48'29.975N", "008°17'36.856E", 0.0},
    {7499, "X", "Lessay", "49°08'55.224N", "001°30'17.029W", 14100.0},
    {7499, "Y", "Vaerlandet", "61°17'49.435N", "004°41'46.618E", 29500.0},
    {6731, "M", "Lessay", "49°08'55.224N", "001°30'17.029W", 0.0},
    {6731, "X", "Soustons", "43°44'23.099N", "001°22'49.584W", 13000.0},
    {6731, "Y", "Loop Head", "52°35'01.576N", "009°49'07.969W", 27300.0},
    {6731, "Z", "Sylt", "54°48'29.975N", "008°17'36.856E", 42100.0},
};

double Radians(const char* text, const char* kind) {
  return text::ParseLatLon(text, kind).value * constants::kPi / 180.0;
}

}  // namespace

Catalogue::Catalogue(std::vector<Station> stations) : stations_(std::move(stations)) {
  for (std::size_t i = 0; i < stations_.size(); ++i) {
    const Station& st = stations_[i];
    const auto index = static_cast<std::int16_t>(i);
    if (st.designator == "M") {
      chains_.push_back(Chain{st.gri, index, {}});
    } else if (chains_.empty() || chains_.back().gri != st.gri) {
      throw std::invalid_argument("station " + std::to_string(i) + " (" + st.name +
                                  ") does not follow a master of chain " + std::to_string(st.gri));
    } else {
      chains_.back().secondaries.push_back(index);
    }
    chain_of_.push_back(static_cast<int>(chains_.size()) - 1);
  }
}

const Station& Catalogue::At(int index) const {
  if (index < 0 || index >= Size()) throw RuntimeFault(RuntimeFault::kSubscript);
  return stations_[static_cast<std::size_t>(index)];
}

int Catalogue::ChainOf(int index) const {
  return index >= 0 && index < Size() ? chain_of_[static_cast<std::size_t>(index)] : -1;
}

bool Catalogue::IsMaster(int index) const {
  const int c = ChainOf(index);
  return c >= 0 && chains_[static_cast<std::size_t>(c)].master == index;
}

bool Catalogue::IsChainPair(int master, int secondary) const {
  return IsMaster(master) && !IsMaster(secondary) && ChainOf(secondary) == ChainOf(master);
}

std::vector<std::int16_t> Catalogue::Secondaries() const {
  std::vector<std::int16_t> out;
  for (const Chain& c : chains_) out.insert(out.end(), c.secondaries.begin(), c.secondaries.end());
  return out;
}

int Catalogue::Find(int gri, const std::string& designator) const {
  for (int i = 0; i < Size(); ++i) {
    if (stations_[static_cast<std::size_t>(i)].gri == gri &&
        stations_[static_cast<std::size_t>(i)].designator == designator) {
      return i;
    }
  }
  return -1;
}

const Catalogue& NelsCatalogue() {
  static const Catalogue nels = [] {
    std::vector<Station> stations;
    for (const CatalogueRow& row : kNels) {
      stations.push_back(Station{row.gri, row.designator, row.name,
                                 GeoPoint{Radians(row.lat, "LAT"), Radians(row.lon, "LON")},
                                 row.emissionDelay});
    }
    return Catalogue(std::move(stations));
  }();
  return nels;
}

}  // namespace kestrune::loran
