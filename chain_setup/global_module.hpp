// The station catalogue of the four chains and the shared state of the chain
// choice: which LOPs are used, their observations, and the estimated position.
// These globals live for the whole run and are read and written directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrune::Global_Module {

struct StationRecord {
  std::int16_t Gri = 0;        // chain number: 9007, 7001, 7499 or 6731
  std::string Designator;      // "M" master, "W", "X", "Y" or "Z" secondary
  std::string Name;            // station name
  double Lat = 0.0;            // radians, north positive
  double Lon = 0.0;            // radians, east positive
  double EmissionDelay = 0.0;  // microseconds; 0 for a master
  // Working values of the last TD prediction at the estimated position:
  double Distance = 0.0;  // metres, geodesic distance position-station
  double Azimuth = 0.0;   // radians [0, 2pi): direction at the position in which the range grows
  double PropagationTime = 0.0;  // microseconds, station to position
  double PredictedTd = 0.0;      // microseconds, secondaries only
};

struct LopRecord {
  std::int16_t MasterIndex = 0;     // StationTable index of the master: 0, 5, 8 or 11
  std::int16_t SecondaryIndex = 0;  // StationTable index of the secondary, same chain
  double ObservedTd = 0.0;          // microseconds
  float Weight = 0.0f;              // 0 to 1
};

inline constexpr int kStationCount = 15;  // indices 0 to 14
inline constexpr int kLopCapacity = 8;    // indices 0 to 7; element 0 never used
inline constexpr int kMaxLops = 7;

// Fixed arrays that raise run-time error 9 for an index outside their range.
template <class T, int N>
class CheckedArray {
 public:
  T& operator()(int i);
  const T& operator()(int i) const;
  T& operator[](int i) { return (*this)(i); }
  const T& operator[](int i) const { return (*this)(i); }
  static constexpr int UBound() { return N - 1; }

 private:
  std::array<T, N> items_{};
};

extern CheckedArray<StationRecord, kStationCount> StationTable;
extern CheckedArray<LopRecord, kLopCapacity> LopTable;
extern std::int16_t NoOfLops;  // LOPs in use, 0 until set
extern double EstLat;          // radians, north positive
extern double EstLon;          // radians, east positive

// Fills the fifteen entries from the catalogue's coordinate texts.
void BuildStationCatalogue();

// The start state of a run: every global zeroed (catalogue included).
void ResetGlobals();

// Chain position k (0 to 3, the master list position) and station indices.
inline constexpr std::array<std::int16_t, 4> kMasterIndices = {0, 5, 8, 11};
inline constexpr std::array<std::int16_t, 4> kChainGri = {9007, 7001, 7499, 6731};
// Secondary list positions of chain k: first and last.
inline constexpr std::array<std::int16_t, 4> kFirstSecondaryPos = {0, 4, 6, 8};
inline constexpr std::array<std::int16_t, 4> kLastSecondaryPos = {3, 5, 7, 10};
// Station indices of the eleven secondaries, in list order.
inline constexpr std::array<std::int16_t, 11> kSecondaryIndices = {1, 2,  3,  4,  6, 7,
                                                                   9, 10, 12, 13, 14};

// Station index of master list position k (0 to 3); -1 outside.
std::int16_t MasterIndexOfPosition(int k);
// Master list position of a master index; -1 when the index is not a master.
int MasterPositionOfIndex(int masterIndex);
// Station index of secondary list position p of chain k: p + k + 1; -1 when p
// is not a secondary of chain k.
std::int16_t SecondaryIndexOfPosition(int k, int p);
// Secondary list position of a secondary of the master's chain; -1 when the
// pair is not a master and a secondary of one chain.
int SecondaryPositionOfIndex(int masterIndex, int secondaryIndex);
// True when masterIndex is a master and secondaryIndex one of its secondaries.
bool IsChainPair(int masterIndex, int secondaryIndex);

// List entry text of a station: " 9007 M Ejde".
std::string StationEntryText(int stationIndex);

}  // namespace kestrune::Global_Module
