#include "chain_setup/global_module.hpp"

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"
#include "util/utility_module.hpp"

namespace kestrune::Global_Module {

template <class T, int N>
T& CheckedArray<T, N>::operator()(int i) {
  if (i < 0 || i >= N) throw RuntimeFault(RuntimeFault::kSubscript);
  return items_[static_cast<std::size_t>(i)];
}

template <class T, int N>
const T& CheckedArray<T, N>::operator()(int i) const {
  if (i < 0 || i >= N) throw RuntimeFault(RuntimeFault::kSubscript);
  return items_[static_cast<std::size_t>(i)];
}

template class CheckedArray<StationRecord, kStationCount>;
template class CheckedArray<LopRecord, kLopCapacity>;
// The lists indexed by LOP number that the computation core takes (LopList).
template class CheckedArray<double, kLopCapacity>;

CheckedArray<StationRecord, kStationCount> StationTable;
CheckedArray<LopRecord, kLopCapacity> LopTable;
std::int16_t NoOfLops = 0;
double EstLat = 0.0;
double EstLon = 0.0;

namespace {

struct CatalogueRow {
  std::int16_t gri;
  const char* designator;
  const char* name;
  const char* lat;
  const char* lon;
  double emissionDelay;  // microseconds
};

// Coordinates exactly as the texts given to the coordinate parser.
constexpr CatalogueRow kCatalogue[kStationCount] = {
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

}  // namespace

void BuildStationCatalogue() {
  using Utility_Module::ParseLatLon;
  for (int i = 0; i < kStationCount; ++i) {
    const CatalogueRow& row = kCatalogue[i];
    StationRecord& st = StationTable(i);
    st.Gri = row.gri;
    st.Designator = row.designator;
    st.Name = row.name;
    // Multiplication first, then the division, with the 12-digit pi.
    st.Lat = ParseLatLon(row.lat, "LAT") * constants::kPi / 180.0;
    st.Lon = ParseLatLon(row.lon, "LON") * constants::kPi / 180.0;
    st.EmissionDelay = row.emissionDelay;
  }
}

void ResetGlobals() {
  for (int i = 0; i < kStationCount; ++i) StationTable(i) = StationRecord{};
  for (int i = 0; i < kLopCapacity; ++i) LopTable(i) = LopRecord{};
  NoOfLops = 0;
  EstLat = 0.0;
  EstLon = 0.0;
}

std::int16_t MasterIndexOfPosition(int k) {
  return (k >= 0 && k < 4) ? kMasterIndices[static_cast<std::size_t>(k)] : std::int16_t{-1};
}

int MasterPositionOfIndex(int masterIndex) {
  for (int k = 0; k < 4; ++k) {
    if (kMasterIndices[static_cast<std::size_t>(k)] == masterIndex) return k;
  }
  return -1;
}

std::int16_t SecondaryIndexOfPosition(int k, int p) {
  if (k < 0 || k >= 4) return -1;
  if (p < kFirstSecondaryPos[static_cast<std::size_t>(k)] ||
      p > kLastSecondaryPos[static_cast<std::size_t>(k)]) {
    return -1;
  }
  return static_cast<std::int16_t>(p + k + 1);
}

int SecondaryPositionOfIndex(int masterIndex, int secondaryIndex) {
  int k = MasterPositionOfIndex(masterIndex);
  if (k < 0) return -1;
  int p = secondaryIndex - k - 1;
  return SecondaryIndexOfPosition(k, p) == secondaryIndex ? p : -1;
}

bool IsChainPair(int masterIndex, int secondaryIndex) {
  return SecondaryPositionOfIndex(masterIndex, secondaryIndex) >= 0;
}

std::string StationEntryText(int stationIndex) {
  const StationRecord& st = StationTable(stationIndex);
  return " " + std::to_string(st.Gri) + " " + st.Designator + " " + st.Name;
}

}  // namespace kestrune::Global_Module
