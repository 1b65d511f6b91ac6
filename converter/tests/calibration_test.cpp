// Calibration, chain catalogues, ED50, accuracy and the chart, through the
// program: the synthetic sample calibrates back to its made-up offsets, a
// catalogue written from the built-ins converts as the built-ins do, and
// every bad catalogue or calibration file stops the run with its line named.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>
#include <string_view>

#include "calc_window/frm_postdcalc.hpp"
#include "converter/tests/convert_test_support.hpp"
#include "loran/accuracy.hpp"
#include "loran/calibration.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/datum.hpp"
#include "loran/prediction.hpp"
#include "tests/support/test_support.hpp"
#include "util/coordinate_text.hpp"

namespace kestrune::convert {
namespace {

using testing::At;
using testing::Convert;
using testing_support::WriteFile;

static_assert(std::string_view(kDefaultCalibrationFile) == kCalibrationFileName);

const std::string kExamples = KESTRUNE_EXAMPLES_DIR;
const std::string kLops = "9007W,9007X,9007Y";
const std::string kWrecks = kExamples + "/wrecks.csv";

double Degrees(const std::string& text, const char* kind) {
  return text.find_first_of("NSEW") == std::string::npos ? std::stod(text)
                                                         : text::ParseLatLon(text, kind).value;
}

// tools/make-calibration-sample.sh added 1.21, -1.64 and 0.83 us to the TDs
// predicted at the known points, and noise of 0.01 us.
TEST(Calibrate, FindsTheSamplesOffsetsAndItsFixesComeHome) {
  testing_support::TempWorkingDir dir;
  const std::string known = kExamples + "/known-points.csv";
  const testing::Outcome c = Convert({"calibrate", "--lops", kLops, "-o", "cal.csv", known}, "");
  EXPECT_EQ(c.code, 1);
  EXPECT_EQ(c.err, "kestrune-convert: line 8 left out: TD 1 unreadable: '15O82.906'\n");
  EXPECT_EQ(c.out.substr(0, c.out.find('\n')), "LOP    offset_us  stddev_us  rows");
  EXPECT_NE(c.out.find("\n15 of 16 rows used (the others are named above); known points within"),
            std::string::npos);
  const loran::CalibrationRead read =
      loran::ReadCalibrationText(testing_support::ReadFile("cal.csv"), loran::NelsCatalogue());
  ASSERT_EQ(read.error, "");
  ASSERT_EQ(read.offsets.size(), 3u);
  const double made[] = {1.21, -1.64, 0.83};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(read.offsets[i].offset, made[i], 0.02) << i;  // the noise's mean over 15 rows
    EXPECT_EQ(read.offsets[i].rows, 15);
  }
  ASSERT_TRUE(read.area);
  EXPECT_EQ(read.area->points, 15);

  const testing::Outcome f = Convert(
      {"fix", "-q", "--lops", kLops, "--calibration", "cal.csv", "--chart", "fixes.svg", known},
      "");
  ASSERT_EQ(f.rows.size(), 16u);
  int charted = 0;
  for (const auto& row : f.rows) {
    if (row.at("line") == "8") {
      EXPECT_EQ(row.at("status"), "TD 1 unreadable: '15O82.906'");
      continue;
    }
    ASSERT_EQ(row.at("status"), "ok") << row.at("name");
    const double lat = Degrees(row.at("lat"), "LAT"), lon = Degrees(row.at("lon"), "LON");
    EXPECT_LT(testing::MetresFrom(row, lat, lon), 10.0) << row.at("name");
    ++charted;
  }
  // The chart: one point mark per converted fix.
  QFile svg("fixes.svg");
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly)) << f.err;
  QXmlStreamReader xml(&svg);
  int marks = 0;
  while (!xml.atEnd()) {
    marks += xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"circle" &&
             xml.attributes().value("class") == u"fix";
  }
  EXPECT_FALSE(xml.hasError());
  EXPECT_EQ(marks, charted);

  // Most of the wreck list lies far from the known points: one warning.
  const testing::Outcome far = Convert({"fix", "-q", "--calibration", "cal.csv", kWrecks}, "");
  EXPECT_EQ(far.rows.at(7).at("status"), "no offset for 7499X in cal.csv");  // LOPs per row
  EXPECT_EQ(far.err,
            "kestrune-convert: 5 of 8 fixes lie more than 150 km beyond the 15 known points of "
            "cal.csv (within 53.3 km of 63\xC2\xB0"
            "50'31\"N 008\xC2\xB0"
            "50'10\"E); its offsets "
            "may not hold there\n");
}

// Offsets given once and per row: predict adds them to the predicted TD.
TEST(Offsets, AreAddedToThePredictedTds) {
  const testing::Outcome p = Convert({"predict", "-q", "--lops", "9007W", "--offset", "9007W=1"},
                                     "lat,lon,offset1\n64,8,0.5\n64,8,\n");
  const testing::Outcome plain = Convert({"predict", "-q", "--lops", "9007W"}, "lat,lon\n64,8\n");
  const double td = std::stod(plain.rows.at(0).at("td_9007W"));
  EXPECT_NEAR(std::stod(p.rows.at(0).at("td_9007W")), td + 0.5, 1e-9);
  EXPECT_NEAR(std::stod(p.rows.at(1).at("td_9007W")), td + 1.0, 1e-9);
}

// Each bad catalogue or calibration file: exit 2 and one line naming its
// line; an offset for a LOP not in use is warned of and the run goes on.
TEST(BadFiles, EachStopsTheRunNamingItsLine) {
  testing_support::TempWorkingDir dir;
  const std::string chain = "chain; 7970; Norwegian Sea; 1977-01-01; 1994-12-31\n";
  const std::string master = "station; M; Ejde; 62.3; -7.07; 0\n";
  WriteFile("designator.txt", chain + master + "station; Q; Nowhere; 60; 5; 100\n");
  WriteFile("station.csv", "lop,offset_us\n9007X,0.1\n9007V,0.2\n");
  WriteFile("cal.csv", "# two LOPs\nlop,offset_us\n9007W,0.5\n9007X,-0.3\n");
  const std::string logbook = kExamples + "/frohavet-log.csv";
  const struct {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"--catalogue", "designator.txt"},
       2,
       "designator.txt: line 3: designator 'Q' is not M or V to Z"},
      {{"--calibration", "station.csv"}, 2, "station.csv: line 3: no station 9007V"},
      {{"--calibration", "cal.csv", "--lops", "9007W,9007X,9007Y"},
       2,
       "cal.csv has no line for 9007Y, a LOP in use (--offset 9007Y=0 takes it uncorrected)"},
      {{"--calibration", "cal.csv", "--lops", "9007W,9007Y", "--offset", "9007Y=0"},
       0,
       "cal.csv line 4: 9007X is not in use; its offset is left out"},
      {{"--offset", "9007Z=1", "--lops", "9007W,9007X"},
       2,
       "--offset 9007Z: not one of the LOPs in use"},
      {{"--date", "2016-06-01"}, 2, "no chain of the built-in catalogues was on air on 2016-06-01"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"fix", "-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (std::find(args.begin(), args.end(), "--lops") == args.end()) {
      args.insert(args.end(), {"--lops", "9007W,9007X"});
    }
    args.push_back(logbook);
    const testing::Outcome o = Convert(args, "");
    EXPECT_EQ(o.code, c.code) << c.err;
    EXPECT_EQ(o.err, "kestrune-convert: " + c.err + "\n");
    EXPECT_EQ(o.rows.size(), c.code == 2 ? 0u : 8u);
  }
}

// A catalogue file written from the built-in NELS chains converts the sample
// wreck list digit for digit as the windows' catalogue.
TEST(Catalogues, AFileOfTheBuiltInsConvertsAsTheBuiltIns) {
  testing_support::TempWorkingDir dir;
  WriteFile("nels.txt", loran::CatalogueText(loran::BuiltInNels()));
  const std::string windows = Convert({"fix", "-q", kWrecks}, "").out;
  EXPECT_EQ(Convert({"fix", "-q", "--catalogue", "nels.txt", kWrecks}, "").out, windows);
  EXPECT_EQ(Convert({"fix", "-q", "--catalogue", "nels", kWrecks}, "").out, windows);
}

// ED50 positions are the library's shift of the WGS 84 fix, by latitude or
// forced; the ellipse is the library's at the fix, for least squares only.
TEST(Ed50AndAccuracy, AsTheLibraryGivesThem) {
  const testing::Outcome wgs = Convert({"fix", "-q", "--td-sigma", "0.2", kWrecks}, "");
  const testing::Outcome ed = Convert({"fix", "-q", "--datum", "ED50", kWrecks}, "");
  const testing::Outcome forced = Convert({"fix", "-q", "--datum", "ED50:1613", kWrecks}, "");
  const struct {
    std::size_t row;
    int epsg;
  } cases[] = {{0, 1612}, {4, 1311}, {5, 1311}};  // 64.6N (three LOPs), 61.2N, 60.1N (two)
  for (const auto& c : cases) {
    const auto& w = wgs.rows.at(c.row);
    const loran::GeoPoint fix = At(std::stod(w.at("fix_lat")), std::stod(w.at("fix_lon")));
    for (const auto& [out, epsg] : {std::pair{&ed, c.epsg}, {&forced, 1613}}) {
      const auto& e = out->rows.at(c.row);
      const loran::Datum& datum = *loran::Ed50(epsg);
      const loran::GeoPoint p = loran::FromWgs84(datum, fix);
      EXPECT_EQ(e.at("datum"), datum.source);
      EXPECT_NEAR(std::stod(e.at("fix_lat")), p.lat * 180 / constants::kPi, 1e-7);  // 1 cm
      EXPECT_NEAR(std::stod(e.at("fix_lon")), p.lon * 180 / constants::kPi, 1e-7);
    }
    std::vector<loran::Lop> lops;
    for (int k = 1; k <= 3 && !w.at("lop" + std::to_string(k)).empty(); ++k) {
      lops.push_back(*loran::LopNamed(loran::NelsCatalogue(), w.at("lop" + std::to_string(k))));
    }
    const auto a = loran::FixAccuracyAt(loran::NelsCatalogue(), lops, fix, 0.2);
    ASSERT_TRUE(a);  // two LOPs too: the geometry of their crossing
    EXPECT_NEAR(std::stod(w.at("ellipse_major_m")), a->ellipse95.semiMajor, 0.05);  // 0.1 m shown
    EXPECT_NEAR(std::stod(w.at("drms2_m")), a->drms2, 0.05);
  }
}

}  // namespace
}  // namespace kestrune::convert
