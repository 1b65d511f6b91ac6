// What the converter reads and writes: TD texts read whole, a table of
// malformed rows each with its status and none lost, the crossing search,
// the file formats checked by their parsers, JSON lines and completion.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "converter/tests/convert_test_support.hpp"
#include "tests/support/test_support.hpp"
#include "util/strict_number.hpp"

namespace kestrune::convert {
namespace {

using testing::Convert;

TEST(StrictNumber, ReadsLogbookTextsWholeOrNotAtAll) {
  struct Case {
    const char* text;
    text::DecimalMark mark;
    double value;  // NaN: refused
  };
  const double no = std::nan("");
  using M = text::DecimalMark;
  const Case cases[] = {
      {"28359.1", M::kAuto, 28359.1},
      {"28 359,1", M::kAuto, 28359.1},
      {"28'359.1", M::kAuto, 28359.1},
      {"28\xE2\x80\x99"
       "359.1",
       M::kAuto, 28359.1},
      {"28.359,1", M::kAuto, 28359.1},
      {"28,359.1", M::kAuto, 28359.1},
      {"1 028 359", M::kAuto, 1028359.0},
      {" 28359.1 usec", M::kAuto, 28359.1},
      {"28359,1\xC2\xB5s", M::kAuto, 28359.1},
      {"\xE2\x88\x92"
       "12,5",
       M::kAuto, -12.5},
      {"2.83591e4", M::kAuto, 28359.1},
      {".5", M::kAuto, 0.5},
      {"28,359", M::kAuto, 28.359},
      {"28,359", M::kPoint, 28359.0},
      {"28359,1", M::kPoint, no},
      {"28'359.1x", M::kAuto, no},
      {"2 8359.1", M::kAuto, no},
      {"28 35.1", M::kAuto, no},
      {"28 359'100", M::kAuto, no},
      {"1,2,3", M::kAuto, no},
      {"28 359e1", M::kAuto, no},
      {"28359.1 usecs", M::kAuto, no},
      {"", M::kAuto, no},
      {"-", M::kAuto, no},
      {"1e", M::kAuto, no},
      {"12.3.4", M::kComma, no},
  };
  for (const Case& c : cases) {
    const auto n = text::ReadStrictNumber(c.text, {c.mark, true, text::MicrosecondUnits()});
    if (std::isnan(c.value)) {
      EXPECT_FALSE(n.has_value()) << c.text;
    } else {
      ASSERT_TRUE(n.has_value()) << c.text;
      EXPECT_EQ(n->value, c.value) << c.text;
    }
  }
}

// Each malformed kind of row, with the status it gets; the rows keep their order.
TEST(MalformedInput, EveryRowIsWrittenWithItsStatus) {
  const std::string input =
      "\xEF\xBB\xBFname;9007W;9007X;9007Y;lat;lon\r\n"
      "good;15768,5;28886,6;40094,4;63 N;3 E\r\n"
      "short;15768,5;28886,6\r\n"
      "long;15768,5;28886,6;40094,4;63 N;3 E;x\r\n"
      "\r\n"
      "n\xC3\xA9ve -- <&>;15768,5;28886,6;40094,4;63 N;3 E\r\n"
      "chain 7499;16434,3;29283,7;27614,9;63 N;3 E\n"
      "typo;15768,5;28886,6;4O094,4;63 N;3 E\n"
      "quote;\"15768,5;28886,6;40094,4;63 N;3 E\n"
      "pole;15768,5;28886,6;40094,4;95;3\n"
      "antimeridian;15768,5;28886,6;40094,4;63;190\n"
      "hemisphere;15768,5;28886,6;40094,4;63 X;3 E\n"
      "weight;15768,5;28886,6;;63 N;3 E\n";
  const std::vector<std::string> statuses = {
      "ok",
      "3 fields, expected 6",
      "7 fields, expected 6",
      "empty line",
      "ok",
      "TD 3 27614.9 outside the coverage of 9007Y (38821.8 to 43378.2)",
      "TD 3 unreadable: '4O094,4'",
      "quote left open",
      "start latitude '95' beyond \xC2\xB1"
      "90\xC2\xB0",
      "start longitude '190' beyond \xC2\xB1"
      "180\xC2\xB0",
      "start latitude unreadable: '63 X' (LATITUDE FORMAT ERROR. Default, N, used)",
      "TD 3 missing"};
  const testing::Outcome o =
      Convert({"fix", "-q", "--lops", "9007W,9007X,9007Y", "--start-cols", "lat,lon"}, input);
  EXPECT_EQ(o.code, 1);
  ASSERT_EQ(o.rows.size(), statuses.size());
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    EXPECT_EQ(o.rows[i].at("status"), statuses[i]) << i;
    EXPECT_EQ(o.rows[i].at("line"), std::to_string(i + 2));
  }
  EXPECT_EQ(o.rows[4].at("name"), "n\xC3\xA9ve -- <&>");
  EXPECT_EQ(o.rows[0].at("fix_lat_text"), o.rows[4].at("fix_lat_text"));

  // The map formats: valid UTF-8, parsed by their own parsers.
  testing_support::TempWorkingDir dir;
  for (const char* format : {"gpx", "kml", "geojson"}) {
    const testing::Outcome f = Convert(
        {"fix", "-q", "--lops", "9007W,9007X,9007Y", "--start-cols", "lat,lon", "--format", format},
        input);
    testing_support::WriteFile(std::string("out.") + format, f.out);
  }
  const std::string schema = std::string(KESTRUNE_TESTDATA_DIR) + "/gpx-1.1.xsd";
  EXPECT_EQ(std::system(("xmllint --noout --schema " + schema + " out.gpx").c_str()), 0);
  EXPECT_EQ(std::system("xmllint --noout out.kml"), 0);
  const auto geo = nlohmann::json::parse(testing_support::ReadFile("out.geojson"));
  ASSERT_EQ(geo["features"].size(), statuses.size());
  EXPECT_EQ(geo["features"][4]["properties"]["name"], "n\xC3\xA9ve -- <&>");
  EXPECT_TRUE(geo["features"][1]["geometry"].is_null());
  EXPECT_EQ(geo["features"][0]["geometry"]["coordinates"][1], 63.20007034);
}

TEST(MalformedInput, OtherLopsAndFiles) {
  const testing::Outcome o = Convert({"fix", "-q", "--lop-cols", "1,3", "--td-cols", "2,4"},
                                     "9007X,28886.7,9007V,40094.3\n9007X,28886.7,9007X,28886.7\n");
  ASSERT_EQ(o.rows.size(), 2u);
  EXPECT_EQ(o.rows[0].at("status"), "no station 9007V");
  EXPECT_EQ(o.rows[1].at("status"), "no crossing within the coverage");

  testing_support::TempWorkingDir dir;
  EXPECT_EQ(Main({"fix", "--lops", "9007W,9007X", "missing.csv"}), kUsageOrInputError);
  EXPECT_EQ(Main({"fix", "--lops", "9007W,9007X", "."}), kUsageOrInputError);
  EXPECT_EQ(Main({"fix", "--lops", "9007W,9007V", "-"}), kUsageOrInputError);
  EXPECT_EQ(Main({"fix", "--format", "pdf"}), kUsageOrInputError);
  EXPECT_EQ(Main({"convert"}), kUsageOrInputError);

  // A 200 MB line is skipped to its end, the rows around it converted.
  {
    std::ofstream big("big.csv", std::ios::binary);
    big << "td1,td2\n28886.7,40094.3\n";
    const std::string chunk(1 << 20, '7');
    for (int i = 0; i < 200; ++i) big << chunk;
    big << "\n28886.7,40094.3\n";
  }
  const testing::Outcome b = Convert({"fix", "-q", "--lops", "9007X,9007Y", "big.csv"}, "");
  ASSERT_EQ(b.rows.size(), 3u);
  EXPECT_EQ(b.rows[0].at("status"), "ok");
  EXPECT_EQ(b.rows[1].at("status"), "line longer than 1048576 bytes: not read");
  EXPECT_EQ(b.rows[2].at("status"), "ok");
}

// The TDs of 9007W and 9007Z at 62 N 10 W, whose LOPs cross again 352.6 km
// away inside the coverage; 9007X and 9007Y at 64.5 N 3 W cross once there.
TEST(Crossings, BothCrossingsInsideTheCoverageAreFoundAndOneAlone) {
  const testing::Outcome two =
      Convert({"fix", "-q", "--lops", "9007W,9007Z"}, "td1,td2\n17002.611,58679.833\n");
  const testing::Outcome near =
      Convert({"fix", "-q", "--lops", "9007W,9007Z", "--near", "62N", "3W"},
              "td1,td2\n17002.611,58679.833\n");
  const testing::Outcome one =
      Convert({"fix", "-q", "--lops", "9007X,9007Y"}, "td1,td2\n29932.435,41802.659\n");
  const double kKm = 0.1;  // the shown distance is rounded to 0.1 km
  const double kDeg = 1e-5;
  // Both crossings lie inside the coverage: the row asks, the start decides.
  ASSERT_EQ(two.rows.at(0).at("status").substr(0, 31), "two crossings 352.6 km apart (t");
  EXPECT_EQ(two.code, 1);
  EXPECT_NEAR(std::stod(two.rows[0].at("fix_lat")), 62.0, kDeg);
  EXPECT_NEAR(std::stod(two.rows[0].at("fix_lon")), -10.0, kDeg);
  EXPECT_NEAR(std::stod(two.rows[0].at("other_crossing_km")), 352.6, kKm);
  ASSERT_EQ(near.rows.at(0).at("status"), "ok");
  EXPECT_NEAR(std::stod(near.rows[0].at("fix_lat")), 61.795463, kDeg);
  EXPECT_NEAR(std::stod(near.rows[0].at("fix_lon")), -3.303827, kDeg);
  EXPECT_NEAR(std::stod(near.rows[0].at("other_crossing_km")), 352.6, kKm);
  ASSERT_EQ(one.rows.at(0).at("status"), "ok");
  EXPECT_NEAR(std::stod(one.rows[0].at("fix_lat")), 64.5, kDeg);
  EXPECT_EQ(one.rows[0].at("other_crossing_km"), "");
}

TEST(JsonLines, OneAnswerPerLineAndCompletedDigits) {
  const testing::Outcome j = Convert(
      {"fix", "--jsonl", "-q", "--lops", "9007W,9007X,9007Y"},
      "{\"name\":\"A\",\"td\":[15768.5,28886.6,40094.4],\"est_lat\":\"63 N\",\"est_lon\":3}\n"
      "not json\n{\"td1\":15768.5}\n");
  std::vector<nlohmann::json> lines;
  for (std::size_t s = 0, e; (e = j.out.find('\n', s)) != std::string::npos; s = e + 1) {
    lines.push_back(nlohmann::json::parse(j.out.substr(s, e - s)));
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["name"], "A");
  EXPECT_EQ(lines[0]["fix_lat_text"],
            "63\xC2\xB0"
            "12'00.253\"N");
  EXPECT_EQ(lines[0]["passes"], 4);
  EXPECT_EQ(lines[1]["status"], "not JSON: illegal value at byte 2");
  EXPECT_EQ(lines[2]["status"], "TD 2 missing");

  const testing::Outcome c = Convert(
      {"fix", "-q", "--complete-digits", "--near", "63N", "3E", "--lops", "9007W,9007X,9007Y"},
      "td1;td2;td3\n15768,5;886,6;094,4\n15768,5;28886,6;40094,4\n15768,5;886,6;94,4\n");
  ASSERT_EQ(c.rows.size(), 3u);
  EXPECT_EQ(c.rows[0].at("completed"), "2 3");
  EXPECT_EQ(c.rows[0].at("fix_lat_text"), c.rows[1].at("fix_lat_text"));
  EXPECT_EQ(c.rows[1].at("completed"), "");
  // Two digits left off: the start, some 40 us of TD 3 away, is too far to
  // choose between 40094.4 and 39994.4.
  EXPECT_EQ(c.rows[2].at("status"), "ambiguous completion: TD 3 40094.4 or 39994.4");
  EXPECT_EQ(c.rows[2].at("fix_lat"), "");
}

}  // namespace
}  // namespace kestrune::convert
