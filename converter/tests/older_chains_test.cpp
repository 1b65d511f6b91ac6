// A logbook of 1990 read on chain 7970, which --date takes from the built-in
// historical catalogue: the synthetic sample of the Norwegian Sea
// (tools/make-norwegian-sea-sample.sh) converts back to the positions it
// was made at.
#include <gtest/gtest.h>

#include <string>

#include "converter/tests/convert_test_support.hpp"

namespace kestrune::convert {
namespace {

using testing::Convert;

const std::string kLogbook = std::string(KESTRUNE_EXAMPLES_DIR) + "/norwegian-sea-1990.csv";

TEST(OlderChains, A1990LogbookConvertsOnChain7970) {
  const testing::Outcome o =
      Convert({"fix", "-q", "--date", "1990-06-01", "--lops", "7970W,7970X,7970Y", kLogbook}, "");
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.err, "");
  ASSERT_EQ(o.rows.size(), 10u);
  for (const auto& row : o.rows) EXPECT_EQ(row.at("status"), "ok") << row.at("name");
  // Where the script made the first and last rows' TDs; their noise of
  // 0.03 us moves a fix by up to 15 m there.
  const struct {
    std::size_t row;
    double lat, lon;  // degrees
  } made[] = {{0, 62.52, 5.68}, {9, 65.18, 2.90}};
  for (const auto& m : made) {
    EXPECT_LT(testing::MetresFrom(o.rows.at(m.row), m.lat, m.lon), 50.0) << m.row;
  }
  // The chain went off the air with 1994: without a date it is not known.
  const testing::Outcome today =
      Convert({"fix", "-q", "--lops", "7970W,7970X,7970Y", kLogbook}, "");
  EXPECT_EQ(today.code, 2);
  EXPECT_EQ(today.err, "kestrune-convert: --lops: no station 7970W\n");
}

}  // namespace
}  // namespace kestrune::convert
