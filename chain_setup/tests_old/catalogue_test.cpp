// The station catalogue built from its coordinate texts, the fixed chain
// mappings, and the start state of the shared globals.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "chain_setup/global_module.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::Global_Module {
namespace {

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    BuildStationCatalogue();
  }
  void TearDown() override { ResetGlobals(); }
};

// Radians from degrees, minutes and seconds, for a tolerance check of the
// stations that are not pinned exactly.
double Radians(int deg, int min, double sec) {
  return (deg + min / 60.0 + sec / 3600.0) * constants::kPi / 180.0;
}

TEST_F(Catalogue, EjdeIsConvertedWithTheTwelveDigitPiMultiplyingFirst) {
  const double lat = 62.29995472272237 * 3.14159265359 / 180.0;
  const double lon = -7.073910833464728 * 3.14159265359 / 180.0;
  EXPECT_EQ(StationTable(0).Lat, lat);
  EXPECT_EQ(StationTable(0).Lon, lon);
}

TEST_F(Catalogue, EveryEntryHasItsChainDesignatorNameCoordinatesAndDelay) {
  const struct {
    std::int16_t gri;
    const char* designator;
    const char* name;
    double lat;  // radians from the catalogue text, to 1e-9
    double lon;
    double delay;
  } rows[] = {
      {9007, "M", "Ejde", Radians(62, 17, 59.837), -Radians(7, 4, 26.079), 0.0},
      {9007, "W", "Jan Mayen", Radians(70, 54, 51.478), -Radians(8, 43, 56.525), 14200.0},
      {9007, "X", "Boe", Radians(68, 38, 6.216), Radians(14, 27, 47.350), 28000.0},
      {9007, "Y", "Vaerlandet", Radians(61, 17, 49.435), Radians(4, 41, 46.618), 41100.0},
      {9007, "Z", "Loop Head", Radians(52, 35, 1.576), -Radians(9, 49, 7.969), 55700.0},
      {7001, "M", "Boe", Radians(68, 38, 6.216), Radians(14, 27, 47.350), 0.0},
      {7001, "X", "Jan Mayen", Radians(70, 54, 51.478), -Radians(8, 43, 56.525), 14100.0},
      {7001, "Y", "Berlevaag", Radians(70, 50, 43.014), Radians(29, 12, 15.980), 29100.0},
      {7499, "M", "Sylt", Radians(54, 48, 29.975), Radians(8, 17, 36.856), 0.0},
      {7499, "X", "Lessay", Radians(49, 8, 55.224), -Radians(1, 30, 17.029), 14100.0},
      {7499, "Y", "Vaerlandet", Radians(61, 17, 49.435), Radians(4, 41, 46.618), 29500.0},
      {6731, "M", "Lessay", Radians(49, 8, 55.224), -Radians(1, 30, 17.029), 0.0},
      {6731, "X", "Soustons", Radians(43, 44, 23.099), -Radians(1, 22, 49.584), 13000.0},
      {6731, "Y", "Loop Head", Radians(52, 35, 1.576), -Radians(9, 49, 7.969), 27300.0},
      {6731, "Z", "Sylt", Radians(54, 48, 29.975), Radians(8, 17, 36.856), 42100.0},
  };
  for (int i = 0; i < kStationCount; ++i) {
    SCOPED_TRACE("station " + std::to_string(i));
    const StationRecord& st = StationTable(i);
    const auto& r = rows[i];
    EXPECT_EQ(st.Gri, r.gri);
    EXPECT_EQ(st.Designator, r.designator);
    EXPECT_EQ(st.Name, r.name);
    EXPECT_NEAR(st.Lat, r.lat, 1e-9);
    EXPECT_NEAR(st.Lon, r.lon, 1e-9);
    EXPECT_GT(st.Lat, 0.0);  // every station is north
    EXPECT_EQ(st.EmissionDelay, r.delay);
    EXPECT_EQ(st.Distance, 0.0);
    EXPECT_EQ(st.Azimuth, 0.0);
    EXPECT_EQ(st.PropagationTime, 0.0);
    EXPECT_EQ(st.PredictedTd, 0.0);
  }
}

TEST_F(Catalogue, StationsOfTwoChainsShareTheirCoordinatesExactly) {
  const int pairs[][2] = {{2, 5}, {1, 6}, {3, 10}, {4, 13}, {8, 14}, {9, 11}};
  for (const auto& p : pairs) {
    SCOPED_TRACE(std::to_string(p[0]) + " and " + std::to_string(p[1]));
    EXPECT_EQ(StationTable(p[0]).Name, StationTable(p[1]).Name);
    EXPECT_EQ(StationTable(p[0]).Lat, StationTable(p[1]).Lat);
    EXPECT_EQ(StationTable(p[0]).Lon, StationTable(p[1]).Lon);
  }
}

TEST_F(Catalogue, WestLongitudesAreNegative) {
  for (int i = 0; i < kStationCount; ++i) {
    const std::string& name = StationTable(i).Name;
    const bool west = name == "Ejde" || name == "Jan Mayen" || name == "Loop Head" ||
                      name == "Lessay" || name == "Soustons";
    EXPECT_EQ(StationTable(i).Lon < 0.0, west) << name;
  }
}

TEST(CatalogueBuild, ShowsNoMessage) {
  ResetGlobals();
  ScopedScriptedMessageBoxes boxes;
  BuildStationCatalogue();
  EXPECT_TRUE(boxes->boxes.empty());
  ResetGlobals();
}

TEST_F(Catalogue, EntryTextOfTheLists) {
  EXPECT_EQ(StationEntryText(0), " 9007 M Ejde");
  EXPECT_EQ(StationEntryText(1), " 9007 W Jan Mayen");
  EXPECT_EQ(StationEntryText(14), " 6731 Z Sylt");
  try {
    StationEntryText(15);
    FAIL() << "no fault";
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), RuntimeFault::kSubscript);
  }
}

TEST(CatalogueChainMappings, MasterPositions) {
  const std::int16_t masters[] = {0, 5, 8, 11};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(MasterIndexOfPosition(k), masters[k]);
    EXPECT_EQ(MasterPositionOfIndex(masters[k]), k);
  }
  EXPECT_EQ(MasterIndexOfPosition(-1), -1);
  EXPECT_EQ(MasterIndexOfPosition(4), -1);
  EXPECT_EQ(MasterPositionOfIndex(1), -1);
  EXPECT_EQ(MasterPositionOfIndex(14), -1);
}

TEST(CatalogueChainMappings, SecondaryListPositionsBelongToOneChainOnly) {
  // Station index of each list position p, and the chain it belongs to.
  const int stationOfPos[11] = {1, 2, 3, 4, 6, 7, 9, 10, 12, 13, 14};
  const int chainOfPos[11] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 3};
  for (int k = 0; k < 4; ++k) {
    for (int p = -1; p <= 11; ++p) {
      SCOPED_TRACE("chain " + std::to_string(k) + " position " + std::to_string(p));
      const bool inChain = p >= 0 && p < 11 && chainOfPos[p] == k;
      EXPECT_EQ(SecondaryIndexOfPosition(k, p), inChain ? stationOfPos[p] : -1);
      if (inChain) {
        EXPECT_EQ(SecondaryPositionOfIndex(MasterIndexOfPosition(k), stationOfPos[p]), p);
      }
    }
  }
  EXPECT_EQ(SecondaryIndexOfPosition(4, 0), -1);
}

TEST(CatalogueChainMappings, ChainPairs) {
  const struct {
    int master;
    int secondary;
    bool pair;
  } cases[] = {
      {0, 1, true},   {0, 4, true},  {0, 5, false}, {0, 6, false},  {5, 6, true},    {5, 7, true},
      {5, 2, false},  {8, 9, true},  {8, 10, true}, {8, 11, false}, {11, 12, true},  {11, 14, true},
      {11, 9, false}, {1, 2, false}, {0, 0, false}, {-1, 0, false}, {11, 15, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.master) + "-" + std::to_string(c.secondary));
    EXPECT_EQ(IsChainPair(c.master, c.secondary), c.pair);
    if (!c.pair) {
      EXPECT_EQ(SecondaryPositionOfIndex(c.master, c.secondary), -1);
    }
  }
}

TEST(CatalogueGlobals, ResetGivesTheZeroedStartState) {
  BuildStationCatalogue();
  NoOfLops = 3;
  EstLat = 1.0;
  EstLon = -0.5;
  LopTable(2).MasterIndex = 8;
  LopTable(2).SecondaryIndex = 9;
  LopTable(2).ObservedTd = 12345.6;
  LopTable(2).Weight = 0.5f;
  StationTable(3).PredictedTd = 41100.0;
  ResetGlobals();
  EXPECT_EQ(NoOfLops, 0);
  EXPECT_EQ(EstLat, 0.0);
  EXPECT_EQ(EstLon, 0.0);
  for (int i = 0; i < kLopCapacity; ++i) {
    EXPECT_EQ(LopTable(i).MasterIndex, 0);
    EXPECT_EQ(LopTable(i).SecondaryIndex, 0);
    EXPECT_EQ(LopTable(i).ObservedTd, 0.0);
    EXPECT_EQ(LopTable(i).Weight, 0.0f);
  }
  for (int i = 0; i < kStationCount; ++i) {
    EXPECT_EQ(StationTable(i).Gri, 0);
    EXPECT_TRUE(StationTable(i).Name.empty());
    EXPECT_EQ(StationTable(i).Lat, 0.0);
    EXPECT_EQ(StationTable(i).PredictedTd, 0.0);
  }
}

TEST(CatalogueGlobals, IndicesOutsideTheTablesAreSubscriptFaults) {
  for (int i : {-1, kStationCount}) {
    try {
      StationTable(i);
      FAIL() << "no fault at " << i;
    } catch (const RuntimeFault& f) {
      EXPECT_EQ(f.Number(), RuntimeFault::kSubscript);
    }
  }
  EXPECT_THROW(LopTable(kLopCapacity), RuntimeFault);
  EXPECT_NO_THROW(LopTable(kMaxLops));
}

}  // namespace
}  // namespace kestrune::Global_Module
