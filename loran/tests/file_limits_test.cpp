// Calibration and catalogue files as users' tools leave them: a byte order
// mark is read past, and a figure no real file holds is refused by its line
// instead of being used (an offset of 99 999 us, a negative standard
// deviation or count, an emission delay longer than the chain's interval,
// a known-points comment whose "nan" turned off the warning of far fixes).
#include <gtest/gtest.h>

#include <string>

#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/catalogue_file.hpp"

namespace kestrune::loran {
namespace {

TEST(CalibrationFileLimits, AbsurdFiguresAreRefusedByLine) {
  const std::string head = "lop,offset_us,stddev_us,rows\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"\xEF\xBB\xBF" + head + "9007X,-0.800,0.050,12\n", ""},
      {head + "9007X,100,0,1\n", ""},
      {head + "9007X,99999\n",
       "line 2: offset '99999' is outside \xC2\xB1"
       "100 \xC2\xB5s"},
      {head + "9007X,-100.001\n",
       "line 2: offset '-100.001' is outside \xC2\xB1"
       "100 \xC2\xB5s"},
      {head + "9007X,0.5,-0.1,3\n", "line 2: standard deviation '-0.1' is negative"},
      {head + "9007X,0.5,0.1,-3\n", "line 2: rows '-3' is not a count"},
      {"# known points: 12 within 42.1 km of 63.41234567,7.81234567 (WGS 84 degrees)\n" + head, ""},
      {"# known points: 12 within nan km of nan,nan (WGS 84 degrees)\n" + head,
       "line 1: the known-points comment has a count, distance or position out of range"},
      {"# known points: 0 within 1.0 km of 63,7 (WGS 84 degrees)\n" + head,
       "line 1: the known-points comment has a count, distance or position out of range"},
      {"# known points: 3 within 1.0 km of 95,7 (WGS 84 degrees)\n" + head,
       "line 1: the known-points comment has a count, distance or position out of range"},
      {"# known points: twelve\n" + head,
       "line 1: the known-points comment is not 'known points: N within R km of LAT,LON'"},
      {"# other comments stay comments\n" + head, ""},
  };
  for (const auto& c : cases) {
    const CalibrationRead read = ReadCalibrationText(c.text, NelsCatalogue());
    EXPECT_EQ(read.error, c.error) << c.text;
    EXPECT_EQ(read.offsets.empty(), !c.error.empty() || c.text.ends_with(head)) << c.text;
  }
  // The area read is the one written.
  const CalibrationRead read = ReadCalibrationText(
      "# known points: 12 within 42.1 km of 63.5,7.25 (WGS 84 degrees)\n" + head, NelsCatalogue());
  ASSERT_TRUE(read.area.has_value());
  EXPECT_EQ(read.area->points, 12);
  EXPECT_DOUBLE_EQ(read.area->radius, 42100.0);
}

// A file's figures are written whole whatever their size (a 96-byte buffer
// once cut a long one mid-number).
TEST(CalibrationFileLimits, WrittenFiguresAreWhole) {
  const std::vector<CalibrationOffset> offsets = {{0, 2, "9007X", -0.8004, 123456789012.5, 7}};
  EXPECT_EQ(CalibrationText(offsets, "c"),
            "# c\nlop,offset_us,stddev_us,rows\n9007X,-0.800,123456789012.500,7\n");
}

TEST(CatalogueFileLimits, AByteOrderMarkAndDelaysWithinTheInterval) {
  const std::string chain = "chain; 7970; Norwegian Sea; 1977-01-01; 1994-12-31\n";
  const std::string master = "station; M; Ejde; 62.3; -7.07; 0\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"\xEF\xBB\xBF" + chain + master + "station; X; Jan Mayen; 70.9; -8.7; 26606.0\n", ""},
      {chain + master + "station; X; Jan Mayen; 70.9; -8.7; 79699.9\n", ""},
      {chain + master + "station; X; Jan Mayen; 70.9; -8.7; 100000000000\n",
       "line 3: emission delay '100000000000' is not below the 79700 us group repetition "
       "interval of chain 7970"},
      {chain + master + "station; X; Jan Mayen; 70.9; -8.7; 79700\n",
       "line 3: emission delay '79700' is not below the 79700 us group repetition interval of "
       "chain 7970"},
  };
  for (const auto& c : cases) {
    const CatalogueRead read = ReadCatalogueText(c.text);
    EXPECT_EQ(read.error, c.error) << c.text;
    EXPECT_EQ(read.chains.size(), c.error.empty() ? 1u : 0u) << c.text;
  }
}

}  // namespace
}  // namespace kestrune::loran
