// Statuses a user can act on: `ok` only for a usable fix, and each other
// row with the reason, through the program as a script calls it. A
// generated logbook of a track with typos, a wrong chain and rows of two
// LOPs checks the consistency test, the crossing search, --track and given
// starts together.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "converter/options.hpp"
#include "converter/tests/convert_test_support.hpp"
#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/prediction.hpp"
#include "tests/support/test_support.hpp"
#include "util/constants.hpp"

namespace kestrune::convert {
namespace {

using testing::At;
using testing::Convert;
using testing::MetresFrom;

// The TD (us, to 0.001) of a NELS LOP at a position in degrees.
double Td(int master, int secondary, double lat, double lon) {
  const double td = loran::PredictPair(loran::NelsCatalogue(), At(lat, lon), master, secondary).td;
  return std::round(td * 1000.0) / 1000.0;
}

std::string Tds(double lat, double lon) {
  std::ostringstream s;
  s.precision(10);
  s << Td(0, 1, lat, lon) << "," << Td(0, 2, lat, lon) << "," << Td(0, 3, lat, lon);
  return s.str();
}

// One row each: what it is, the arguments, the input, the status.
TEST(Status, EachRowSaysWhetherToUseIt) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string input;
    std::string status;  // exact
  };
  const std::string lops = "9007W,9007X,9007Y";
  const Case cases[] = {
      {"a good row", {"fix", "--lops", lops}, "td1,td2,td3\n" + Tds(64.2, 6.1) + "\n", "ok"},
      {"an ASF of about a microsecond on each LOP",
       {"fix", "--lops", lops},
       "td1,td2,td3\n15140.035,27749.339,39892.251\n",
       "ok"},
      {"a mistyped thousands digit",
       {"fix", "--lops", lops},
       "td1,td2,td3\n15139.035,28750.339,39891.251\n",
       "inconsistent TDs: LOP 1 residual 369.5 \xC2\xB5s"},
      {"the same from a given start",
       {"fix", "--lops", lops, "--near", "64 N", "6 E"},
       "td1,td2,td3\n15139.035,28750.339,39891.251\n",
       "inconsistent TDs: LOP 1 residual 369.5 \xC2\xB5s"},
      {"chain 6731's TDs under 9007",
       {"fix", "--lops", lops},
       "td1,td2,td3\n14879.708,28674.436,44740.896\n",
       "TD 3 44740.9 outside the coverage of 9007Y (38821.8 to 43378.2)"},
      {"a given start across chains is given: 62 N 2 E",
       {"fix", "--lops", "9007W,9007X,7001Y", "--near", "62", "2"},
       "td1,td2,td3\n16288.669,29546.210,31118.830\n",
       "ok"},
      {"blank start cells take the automatic start, as in JSON lines",
       {"fix", "--lops", lops},
       "est_lat,est_lon,td1,td2,td3\n,," + Tds(64.2, 6.1) + "\n",
       "ok"},
      {"--complete-digits from the default start columns",
       {"fix", "--complete-digits", "--lops", lops},
       "est_lat,est_lon,td1,td2,td3\n64 N,6 E,15139.035,750.339,39891.251\n",
       "ok"},
      {"a fix that ran over a pole is no fix",
       {"fix"},
       "lop1,td1,lop2,td2,lop3,td3\n9007W,13648.5,7499X,16248.6,9007X,26750.5\n",
       "fix beyond a pole: the iteration ended at latitude 1660.6\xC2\xB0"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("-q");
    const testing::Outcome o = Convert(args, c.input);
    ASSERT_EQ(o.rows.size(), 1u) << c.what;
    EXPECT_EQ(o.rows[0].at("status"), c.status) << c.what;
    EXPECT_EQ(o.code, c.status == "ok" ? 0 : 1) << c.what;
    if (c.status.starts_with("fix beyond a pole")) {
      EXPECT_EQ(o.rows[0].at("fix_lat"), "") << c.what;
      EXPECT_EQ(o.rows[0].at("fix_lon_text"), "") << c.what;
    }
  }
}

// A coordinate needs a digit: no lenient reading turns "nan" or "S" into 0.
TEST(Status, ACoordinateWithoutADigitIsNone) {
  const char* texts[][2] = {{"nan", "4"}, {"NaN", "4"}, {"n", "4"}, {"S", "4"}, {"62", "e"}};
  for (const auto& t : texts) {
    const testing::Outcome o = Convert({"predict", "-q", "--lops", "9007X"},
                                       std::string("lat,lon\n") + t[0] + "," + t[1] + "\n");
    ASSERT_EQ(o.rows.size(), 1u);
    const bool lat = t[1][0] == '4';
    EXPECT_EQ(o.rows[0].at("status"), std::string(lat ? "latitude" : "longitude") +
                                          " unreadable: '" + (lat ? t[0] : t[1]) + "' (no digit)");
    EXPECT_EQ(o.rows[0].at("pos_lat"), "");
  }
  EXPECT_EQ(Main({"fix", "--lops", "9007W,9007X", "--near", "nan", "4", "-"}), kUsageOrInputError);
}

// The --help text's example row is one a user may copy: it converts `ok`.
TEST(Status, TheHelpExampleIsAUsableRow) {
  const std::string help = HelpText();
  const std::size_t at = help.find("\"td\":[");
  ASSERT_NE(at, std::string::npos);
  const std::string tds = help.substr(at + 6, help.find(']', at) - at - 6);
  const testing::Outcome o =
      Convert({"fix", "-q", "--lops", "9007W,9007X,9007Y"}, "td1,td2,td3\n" + tds + "\n");
  ASSERT_EQ(o.rows.size(), 1u);
  EXPECT_EQ(o.rows[0].at("status"), "ok");
}

// A logbook of one voyage along 61.5 N: TDs of 9007W, X and Y to 0.001 us,
// every sixth row 9007W and 9007Z alone (whose LOPs cross twice there), a
// mistyped hundreds digit every ninth, one row of chain 6731, one row with
// a start of its own.
struct Voyage {
  std::string csv;
  std::vector<double> lat, lon;
  std::vector<char> kind;  // 'g' good, '2' two LOPs, 't' typo, 'c' wrong chain, 's' own start
};

Voyage MakeVoyage() {
  Voyage v;
  std::ostringstream s;
  s.precision(10);
  s << "lop1,td1,lop2,td2,lop3,td3,est_lat,est_lon\n";
  for (int i = 0; i < 40; ++i) {
    const double lat = 61.5 + 0.01 * i, lon = -12.0 + 0.1 * i;
    v.lat.push_back(lat);
    v.lon.push_back(lon);
    char kind = i % 6 == 2 ? '2' : i % 9 == 4 ? 't' : i == 17 ? 'c' : i == 25 ? 's' : 'g';
    v.kind.push_back(kind);
    if (kind == '2') {
      s << "9007W," << Td(0, 1, lat, lon) << ",9007Z," << Td(0, 4, lat, lon) << ",,,,\n";
      continue;
    }
    double x = Td(0, 2, lat, lon);
    if (kind == 't') x += 100.0;
    if (kind == 'c') {
      s << "9007W," << Td(11, 12, 48, -4) << ",9007X," << Td(11, 13, 48, -4) << ",9007Y,"
        << Td(11, 14, 48, -4) << ",,\n";
      continue;
    }
    s << "9007W," << Td(0, 1, lat, lon) << ",9007X," << x << ",9007Y," << Td(0, 3, lat, lon) << ",";
    if (kind == 's') {
      s << lat + 0.05 << "," << lon - 0.05 << "\n";
    } else {
      s << ",\n";
    }
  }
  v.csv = s.str();
  return v;
}

TEST(GeneratedLogbook, TrackTyposWrongChainsAndTwoCrossings) {
  const Voyage v = MakeVoyage();
  const testing::Outcome t = Convert({"fix", "-q", "--track"}, v.csv);
  const testing::Outcome free = Convert({"fix", "-q"}, v.csv);
  ASSERT_EQ(t.rows.size(), v.lat.size());
  ASSERT_EQ(free.rows.size(), v.lat.size());
  EXPECT_EQ(t.code, 1);
  const double kMetres = 50.0;  // TDs to 0.001 us: the fix is within metres
  std::string lastGood;         // the line of the last ok row
  int twoCrossings = 0;
  for (std::size_t i = 0; i < v.lat.size(); ++i) {
    const auto& row = t.rows[i];
    const std::string& status = row.at("status");
    const std::string line = std::to_string(i + 2);
    switch (v.kind[i]) {
      case 'g':
      case '2':
      case 's':
        EXPECT_EQ(status, "ok") << line;
        if (status == "ok") {
          EXPECT_LT(MetresFrom(row, v.lat[i], v.lon[i]), kMetres) << line;
        }
        break;
      case 't':
        EXPECT_EQ(status.substr(0, 22), "inconsistent TDs: LOP ") << line;
        EXPECT_NE(row.at("fix_lat"), "") << line;  // kept for inspection
        break;
      case 'c':
        EXPECT_EQ(status.substr(0, 5), "TD 3 ") << line;
        break;
    }
    const std::string start = v.kind[i] == 's'   ? "start columns"
                              : lastGood.empty() ? "search"
                                                 : "track line " + lastGood;
    EXPECT_EQ(row.at("start"), start) << line;
    if (status == "ok") lastGood = line;

    // Without a track a row of two LOPs asks which crossing, naming the other.
    const auto& f = free.rows[i];
    if (v.kind[i] == '2') {
      EXPECT_NE(f.at("other_crossing_km"), "") << line;
      if (f.at("status").starts_with("two crossings")) {
        ++twoCrossings;
        const std::string& s = f.at("status");
        const std::size_t at = s.find("the other at ") + 13;
        const double oLat = std::stod(s.substr(at));
        const double oLon = std::stod(s.substr(s.find(", ", at) + 2));
        EXPECT_LT(std::min(MetresFrom(f, v.lat[i], v.lon[i]),
                           loran::DistanceMetres(At(oLat, oLon), At(v.lat[i], v.lon[i]))),
                  kMetres)
            << line;
      } else {
        EXPECT_EQ(f.at("status"), "ok") << line;
        EXPECT_LT(MetresFrom(f, v.lat[i], v.lon[i]), kMetres) << line;
      }
    } else if (v.kind[i] != 'c' && v.kind[i] != 't') {
      EXPECT_EQ(f.at("status"), "ok") << line;
    }
  }
  EXPECT_GT(twoCrossings, 0);
}

// Tracks by a column: each vessel's rows start from that vessel's last fix.
TEST(GeneratedLogbook, TracksByColumn) {
  std::ostringstream s;
  s.precision(10);
  s << "boat,td1,td2,td3\n";
  s << "A," << Tds(64.2, 6.1) << "\nB," << Tds(62.5, 1.0) << "\nA," << Tds(64.25, 6.2) << "\nB,"
    << Tds(62.55, 1.1) << "\n";
  const testing::Outcome o =
      Convert({"fix", "-q", "--lops", "9007W,9007X,9007Y", "--track-by", "boat"}, s.str());
  ASSERT_EQ(o.rows.size(), 4u);
  const char* starts[] = {"search", "search", "track line 2", "track line 3"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(o.rows[i].at("start"), starts[i]) << i;
  EXPECT_EQ(o.code, 0);
}

// A bad known point is refused by its line, never averaged in; offsets that
// do not make the fixes better are not written.
TEST(CalibrateScreening, BadPointsLeftOutAndNoFileThatMakesThingsWorse) {
  testing_support::TempWorkingDir dir;
  const std::string known =
      testing_support::ReadFile(std::string(KESTRUNE_EXAMPLES_DIR) + "/known-points.csv");
  const std::string bad = known +
                          "nan point;nan;9.5;14972.354;27003.135;39552.741\n"
                          "far away;40.0;-30.0;14972.354;27003.135;39552.741\n"
                          "slip;64.0301;9.5428;14972.354;27004.135;39552.741\n";
  const testing::Outcome c =
      Convert({"calibrate", "--lops", "9007W,9007X,9007Y", "-o", "cal.csv"}, bad);
  EXPECT_EQ(c.code, 1);
  EXPECT_EQ(c.err,
            "kestrune-convert: line 8 left out: TD 1 unreadable: '15O82.906'\n"
            "kestrune-convert: line 18 left out: latitude unreadable: 'nan' (no digit)\n"
            "kestrune-convert: line 19 left out: the TD of 9007W is -1662.35 \xC2\xB5s from the "
            "prediction there (more than 20.00 \xC2\xB5s)\n"
            "kestrune-convert: line 20 left out: the TD of 9007X is 1.00 \xC2\xB5s off the other "
            "known points' median (an outlier beyond 0.10 \xC2\xB5s)\n");
  const loran::CalibrationRead read =
      loran::ReadCalibrationText(testing_support::ReadFile("cal.csv"), loran::NelsCatalogue());
  ASSERT_EQ(read.offsets.size(), 3u);
  EXPECT_NEAR(read.offsets[1].offset, -1.64, 0.02);

  // TDs exactly as predicted: no offset improves on them, so no file.
  std::ostringstream exact;
  exact.precision(10);
  exact << "lat,lon,td1,td2,td3\n";
  for (const auto& [lat, lon] : {std::pair{63.9, 8.8}, {64.0, 9.0}, {63.8, 8.6}}) {
    exact << lat << "," << lon << "," << Tds(lat, lon) << "\n";
  }
  const testing::Outcome e =
      Convert({"calibrate", "--lops", "9007W,9007X,9007Y", "-o", "exact.csv"}, exact.str());
  EXPECT_EQ(e.code, 1);
  EXPECT_NE(e.err.find("the offsets do not make the fixes at the known points better"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("exact.csv"));
}

}  // namespace
}  // namespace kestrune::convert
