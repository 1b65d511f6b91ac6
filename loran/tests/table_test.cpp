// Tables through the front door: the converter's column names, a row's
// status for each kind of bad cell, number and text cells alike, and bad
// arguments thrown.
#include "loran/table.hpp"

#include <cmath>
#include <stdexcept>

#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "loran/tests/loran_test_support.hpp"

namespace kestrune::loran {
namespace {

Cells Texts(std::string name, std::vector<std::string> texts) {
  return Cells{std::move(name), true, {}, std::move(texts)};
}
Cells Numbers(std::string name, std::vector<double> numbers) {
  return Cells{std::move(name), false, std::move(numbers), {}};
}

const ResultColumn& Named(const std::vector<ResultColumn>& columns, const std::string& name) {
  for (const ResultColumn& c : columns) {
    if (c.name == name) return c;
  }
  throw std::out_of_range(name);
}

TableOptions Given() {
  TableOptions o;
  o.lops = {"9007W", "9007X", "9007Y"};
  o.start = At(64, 7);
  return o;
}

TEST(FixTable, ColumnsAsTheConverterNamesThem) {
  const std::vector<Cells> in = {Numbers("td1", {}), Numbers("td2", {}), Numbers("td3", {})};
  std::vector<std::string> names;
  for (const ResultColumn& c : FixTable(Nels(), in, Given())) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"fix_lat", "fix_lon", "fix_lat_text", "fix_lon_text",
                                             "fix_kind", "passes", "gdop_at_fix", "residual_9007W",
                                             "residual_9007X", "residual_9007Y", "ellipse_major_m",
                                             "ellipse_minor_m", "ellipse_azimuth_deg", "drms2_m",
                                             "other_crossing_km", "completed", "start", "status"}));
  TableOptions perRow;
  perRow.start = At(64, 7);
  const std::vector<Cells> rows = {Texts("LOP1", {}), Texts("lop2", {}), Numbers("td1", {}),
                                   Numbers("td2", {})};
  EXPECT_EQ(FixTable(Nels(), rows, perRow)[7].name, "residual_1");
}

// Each row as the converter would write it from the same cells.
TEST(FixTable, RowStatuses) {
  const double w = TdAt(64, 4, 0, 1), x = TdAt(64, 4, 0, 2), y = TdAt(64, 4, 0, 3);
  const std::vector<Cells> in = {
      Texts("td1", {std::to_string(w), "1486O,1", "", std::to_string(w), std::to_string(w)}),
      Numbers("td2", {x, x, x, NAN, x}),
      Numbers("td3", {y, y, y, y, y}),
      Texts("weight2", {"", "", "", "", "1,5"}),
  };
  const std::vector<ResultColumn> out = FixTable(Nels(), in, Given());
  EXPECT_EQ(Named(out, "status").texts,
            (std::vector<std::string>{"ok", "TD 1 unreadable: '1486O,1'", "TD 1 missing",
                                      "TD 2 missing", "weight 2 outside 0 to 1: '1,5'"}));
  EXPECT_NEAR(Named(out, "fix_lat").numbers[0], 64.0, 1e-7);
  EXPECT_NEAR(Named(out, "fix_lon").numbers[0], 4.0, 1e-7);
  EXPECT_EQ(Named(out, "fix_lat_text").texts[0], "64°00'00.000\"N");
  EXPECT_EQ(Named(out, "fix_kind").texts[0], "lsq");
  EXPECT_TRUE(std::isnan(Named(out, "fix_lat").numbers[1]));
  EXPECT_TRUE(std::isnan(Named(out, "other_crossing_km").numbers[0]));
}

// Per-row LOPs: a blank LOP cell leaves its slot unused; a two-LOP row is
// a pair fix; the start per row.
TEST(FixTable, LopsAndStartsPerRow) {
  const std::vector<Cells> in = {
      Texts("lop1", {"9007W", "9007 x", "9007V", "9007W"}),
      Texts("lop2", {"9007X", "", "9007X", ""}),
      Texts("lop3", {"9007-Y", "9007Y", "9007Y", ""}),
      Numbers("td1", {TdAt(64, 4, 0, 1), TdAt(64, 4, 0, 2), 1.0, 1.0}),
      Numbers("td2", {TdAt(64, 4, 0, 2), NAN, 1.0, 1.0}),
      Numbers("td3", {TdAt(64, 4, 0, 3), TdAt(64, 4, 0, 3), 1.0, 1.0}),
      Texts("start_lat", {"63 30 N", "63.5", "63.5", "63.5"}),
      Texts("start_lon", {"3", "3 E", "3", "3"}),
  };
  const std::vector<ResultColumn> out = FixTable(Nels(), in, TableOptions{});
  EXPECT_EQ(Named(out, "status").texts,
            (std::vector<std::string>{"ok", "ok", "no station 9007V", "fewer than 2 LOPs"}));
  EXPECT_EQ(Named(out, "fix_kind").texts[1], "two-lop");
  EXPECT_TRUE(std::isnan(Named(out, "residual_2").numbers[1]));
  EXPECT_NEAR(Named(out, "residual_3").numbers[1], 0.0, 1e-6);
  // The same fix as the window's solution from that start.
  SolutionRequest r;
  r.lops = {{0, 1, TdAt(64, 4, 0, 1), 1.0},
            {0, 2, TdAt(64, 4, 0, 2), 1.0},
            {0, 3, TdAt(64, 4, 0, 3), 1.0}};
  r.start = At(63.5, 3);
  EXPECT_EQ(Named(out, "fix_lat").numbers[0], Deg(SolvePosition(Nels(), r).fix->lat));
}

// Which start each row took, as the converter chooses it: the row's start
// cells, blank ones falling back to the start given once or the search, and
// a track's previous good fix.
TEST(FixTable, StartsAsTheConverterChoosesThem) {
  const double td1 = TdAt(64, 4, 0, 1), td2 = TdAt(64, 4, 0, 2), td3 = TdAt(64, 4, 0, 3);
  const std::vector<Cells> in = {Numbers("td1", {td1, td1, td1}), Numbers("td2", {td2, td2, td2}),
                                 Numbers("td3", {td3, td3, td3}),
                                 Texts("start_lat", {"63.5", "", ""}),
                                 Texts("start_lon", {"3", "", ""})};
  TableOptions o = Given();
  o.start.reset();
  const auto searched = FixTable(Nels(), in, o);
  EXPECT_EQ(Named(searched, "start").texts,
            (std::vector<std::string>{"start columns", "search", "search"}));
  EXPECT_EQ(Named(searched, "status").texts, (std::vector<std::string>{"ok", "ok", "ok"}));
  EXPECT_NEAR(Named(searched, "fix_lat").numbers[1], 64.0, 1e-6);
  o.track = true;
  EXPECT_EQ(Named(FixTable(Nels(), in, o), "start").texts,
            (std::vector<std::string>{"start columns", "track row 1", "track row 2"}));
  o.track = false;
  o.start = At(64, 7);  // the default start columns give way to it, as to --near
  EXPECT_EQ(Named(FixTable(Nels(), in, o), "start").texts,
            (std::vector<std::string>{"near", "near", "near"}));
}

TEST(Tables, BadArgumentsAreThrown) {
  const std::vector<Cells> one = {Numbers("td1", {1.0}), Numbers("td2", {1.0, 2.0})};
  const std::vector<Cells> two = {Numbers("td1", {1.0}), Numbers("td2", {1.0})};
  TableOptions unknown = Given();
  unknown.lops[0] = "9007Q";
  TableOptions twoLops = Given();
  twoLops.lops.pop_back();
  TableOptions noSigma = twoLops;
  noSigma.residualSigma = 0.0;
  const struct {
    std::vector<Cells> in;
    TableOptions options;
    const char* message;
  } cases[] = {
      {two, unknown, "lops: no station 9007Q"},
      {two, noSigma, "residual_sigma must be > 0 microseconds"},
      {one, twoLops, "column 'td2' has 2 rows, 'td1' 1"},
      {two, Given(), "cannot find the TD column of LOP 3: name it 9007Y or td3, or give td_cols"},
      {two, TableOptions{}, "no LOPs: give lops=[\"9007W\", ...] or columns lop1, lop2, ..."},
  };
  for (const auto& c : cases) {
    try {
      FixTable(Nels(), c.in, c.options);
      ADD_FAILURE() << c.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(PredictTable, TdsWithOffsetsAndPositionStatuses) {
  TableOptions o;
  o.lops = {"9007X"};
  o.offsets = {{"9007X", -0.8}};
  const std::vector<Cells> in = {Texts("lat", {"64.5", "62 30 N", "91", ""}),
                                 Texts("Lon", {"3", "2 E", "0", "1"})};
  const std::vector<ResultColumn> out = PredictTable(Nels(), in, o);
  EXPECT_EQ(
      Named(out, "status").texts,
      (std::vector<std::string>{"ok", "ok", "latitude '91' beyond ±90°", "latitude missing"}));
  EXPECT_EQ(Named(out, "td_9007X").numbers[0], PredictPair(Nels(), At(64.5, 3), 0, 2).td + -0.8);
  EXPECT_EQ(Named(out, "pos_lon_text").texts[1], "002°00'00.000\"E");
}

}  // namespace
}  // namespace kestrune::loran
