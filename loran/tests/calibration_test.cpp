// Catalogue files, calibration from known positions and calibration files:
// round trips, the offsets a synthetic logbook was built with, and a clear
// error naming the line for every kind of bad input.
#include <random>
#include <string>
#include <vector>

#include "loran/calibration.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/prediction.hpp"
#include "loran/tests/loran_test_support.hpp"

namespace kestrune::loran {
namespace {

const char* const kTwoVersions =
    "# test catalogue\n"
    "chain; 9999; Test chain; 1977-01-01; 1994-12-31\n"
    "station; M; Ejde; 62°17'59.837\"N; 007°04'26.079\"W; 0   # the master\n"
    "station; X; Somewhere; 68.6350600; 14.463153; 26000.5\n"
    "chain; 9999; Test chain; 1995-01-01; -\n"
    "station; M; Ejde; 62 17 59.837 N; 7 4 26.079 W; 0\n"
    "station; Y; Jan Mayen; 70.914299; -8.732368; 14000\n";

TEST(CatalogueFile, ReadsVersionsSelectsByDateAndRoundTrips) {
  const CatalogueRead read = ReadCatalogueText(kTwoVersions);
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.chains.size(), 2u);
  // A DMS text reads exactly as the built-in station does.
  EXPECT_EQ(read.chains[0].stations[0].position, Nels().At(0).position);
  EXPECT_EQ(read.chains[1].stations[0].position, Nels().At(0).position);
  EXPECT_EQ(SelectCatalogue(read.chains, ParseDate("1994-12-31")).At(1).designator, "X");
  EXPECT_EQ(SelectCatalogue(read.chains, ParseDate("1995-01-01")).At(1).designator, "Y");
  EXPECT_EQ(SelectCatalogue(read.chains, std::nullopt).At(1).designator, "Y");
  EXPECT_EQ(SelectCatalogue(read.chains, ParseDate("1970-06-01")).Size(), 0);

  const CatalogueRead again = ReadCatalogueText(CatalogueText(read.chains));
  ASSERT_EQ(again.error, "");
  ASSERT_EQ(again.chains.size(), 2u);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(again.chains[c].validTo, read.chains[c].validTo);
    for (std::size_t s = 0; s < read.chains[c].stations.size(); ++s) {
      const Station& a = again.chains[c].stations[s];
      const Station& b = read.chains[c].stations[s];
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.emissionDelay, b.emissionDelay);
      EXPECT_NEAR(a.position.lat, b.position.lat, 1e-12);
      EXPECT_NEAR(a.position.lon, b.position.lon, 1e-12);
    }
  }
}

// The built-in catalogues together form one sound file: 6731 takes Anthorn as
// its Y secondary from 2008, and no chain overlaps a version of itself.
TEST(CatalogueFile, BuiltInCataloguesVersionsByDate) {
  std::vector<ChainVersion> all = BuiltInNels();
  all.insert(all.end(), BuiltInHistorical().begin(), BuiltInHistorical().end());
  ASSERT_EQ(ReadCatalogueText(CatalogueText(all)).error, "");
  const Catalogue in2010 = SelectCatalogue(all, ParseDate("2010-06-01"));
  EXPECT_EQ(in2010.At(in2010.Find(6731, "Y")).name, "Anthorn");
  const Catalogue in2000 = SelectCatalogue(all, ParseDate("2000-06-01"));
  EXPECT_EQ(in2000.At(in2000.Find(6731, "Y")).name, "Loop Head");
  EXPECT_EQ(in2000.Size(), 15);
  EXPECT_EQ(SelectCatalogue(all, ParseDate("2016-01-01")).Size(), 0);
}

TEST(CatalogueFile, EveryProblemNamesItsLine) {
  const std::string chain = "chain; 9999; Test chain; 1977-01-01; 1994-12-31\n";
  const std::string master = "station; M; Ejde; 62.3; -7.07; 0\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: no chain in the catalogue"},
      {master, "line 1: a station before any chain line"},
      {chain + "station; X; Boe; 68.6; 14.4; 26000\n",
       "line 2: chain 9999 must begin with its master M"},
      {chain + master + "station; Q; Nowhere; 60; 5; 100\n",
       "line 3: designator 'Q' is not M or V to Z"},
      {chain + master + "station; X; Boe; 68.6; 14.4; 26000\nstation; X; Bo; 68.6; 14.4; 1\n",
       "line 4: station X of chain 9999 comes twice"},
      {chain + master + "chain; 9999; Test chain; 1994-06-01; -\n" + master,
       "line 3: chain 9999 overlaps in time its version on line 1"},
      {chain + master + "station; X; Boe; 98.6; 14.4; 26000\n",
       "line 3: latitude '98.6' is out of range"},
      {chain + master + "station; X; Boe; 68 38 N 14; 14.4; 26000\n",
       "line 3: latitude '68 38 N 14' is neither decimal degrees nor degrees, minutes and seconds "
       "with a hemisphere"},
      {chain + master + "station; X; Boe; 68.6; 14.4; -5\n",
       "line 3: emission delay '-5' is not a positive number of microseconds"},
      {"chain; 9999; Test chain; 1994-13-01; -\n", "line 1: date '1994-13-01' is not YYYY-MM-DD"},
      {chain, "line 1: chain 9999 has no stations"},
      {"stations; M\n", "line 1: 'stations' is neither a chain nor a station line"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCatalogueText(c.text).error, c.error) << c.text;
}

// A synthetic logbook: TDs predicted at known positions around 62.5N 5E,
// known offsets added, and noise of 0.01 us. Calibration finds the offsets,
// and with them the fixes come back to the known positions.
TEST(Calibration, FindsTheOffsetsAndBringsTheFixesHome) {
  const std::vector<Lop> lops = {{0, 1, 0.0, 1.0}, {0, 2, 0.0, 1.0}, {0, 3, 0.0, 1.0}};
  const double offsets[] = {-0.8, 0.45, 1.2};
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 0.01);
  std::vector<KnownPoint> points;
  for (int k = 0; k < 40; ++k) {
    KnownPoint p{At(62.3 + 0.01 * (k % 8), 4.7 + 0.02 * (k / 8)), {}};
    for (std::size_t i = 0; i < lops.size(); ++i) {
      const double td = PredictPair(Nels(), p.position, lops[i].master, lops[i].secondary).td;
      p.observed.push_back(td + offsets[i] + noise(random));
    }
    points.push_back(p);
  }
  points[3].observed[1].reset();  // a LOP not read at one mark
  const CalibrationResult r = Calibrate(Nels(), lops, points);
  for (std::size_t i = 0; i < lops.size(); ++i) {
    EXPECT_NEAR(r.lops[i].offset, offsets[i], 0.02) << i;
    EXPECT_NEAR(r.lops[i].stddev, 0.01, 0.005) << i;
  }
  EXPECT_EQ(r.lops[1].rows, 39);
  EXPECT_GT(r.before.median, 100.0);
  EXPECT_LT(r.after.p95, 10.0);
  EXPECT_EQ(r.after.fixes, 40);
  EXPECT_LT(r.radius, 20000.0);
}

TEST(CalibrationFile, RoundTripAndProblemsByLine) {
  std::vector<CalibrationOffset> offsets = {{0, 2, "9007X", -0.8, 0.05, 12},
                                            {8, 10, "7499Y", 0.32, 0.04, 9}};
  const std::string text = CalibrationText(offsets, "area 62.5N 5E");
  EXPECT_EQ(text,
            "# area 62.5N 5E\nlop,offset_us,stddev_us,rows\n9007X,-0.800,0.050,12\n"
            "7499Y,0.320,0.040,9\n");
  const CalibrationRead read = ReadCalibrationText(text, Nels());
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.offsets[1].secondary, 10);
  EXPECT_EQ(read.offsets[1].offset, 0.32);
  const struct {
    std::string text, error;
  } cases[] = {
      {"9007X,-0.8\n", "line 1: the first line is not the heading lop,offset_us,..."},
      {"lop,offset_us\n9007V,0.1\n", "line 2: no station 9007V"},
      {"lop,offset_us\n9007M,0.1\n", "line 2: no station 9007M"},
      {"lop,offset_us\n9007X,abc\n", "line 2: 'abc' is not a number of microseconds"},
      {"lop,offset_us\n9007X,1\n9007 X,2\n", "line 3: 9007X comes twice"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCalibrationText(c.text, Nels()).error, c.error);
}

}  // namespace
}  // namespace kestrune::loran
