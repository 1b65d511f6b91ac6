// Every line of the coordinate-text and number-pattern tables, worked out
// independently, must come out digit for digit in both decimal separators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/locale.hpp"
#include "platform/message_box.hpp"
#include "util/tests/json_lines.hpp"
#include "util/utility_module.hpp"

namespace kestrune::Utility_Module {
namespace {

using testing_json::ReadJsonLines;
using testing_json::Value;

// Sets the locale's separator for one scope and puts the point back.
class ScopedSeparator {
 public:
  explicit ScopedSeparator(char sep) { SetDecimalSeparator(sep); }
  ~ScopedSeparator() { SetDecimalSeparator('.'); }
};

TEST(GoldenCoordinateText, EveryLineParsesAndFormats) {
  const std::vector<Value> lines =
      ReadJsonLines(std::string(KESTRUNE_TESTDATA_DIR) + "/coordinate-text.jsonl");
  ASSERT_GT(lines.size(), 400u);
  for (const Value& line : lines) {
    const std::string& text = line["text"].text;
    const std::string& kind = line["kind"].text;
    SCOPED_TRACE("text \"" + text + "\" kind " + kind);
    double value = 0.0;
    {
      ScopedScriptedMessageBoxes boxes;
      value = ParseLatLon(text, kind);
      std::vector<std::string> expected;
      for (const Value& m : line["messages"].items) expected.push_back(m.text);
      EXPECT_EQ(boxes->Texts(), expected);
      for (const auto& box : boxes->boxes) {
        EXPECT_EQ(box.title, "Kestrune");
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
      }
    }
    EXPECT_EQ(value, line["value"].number);
    {
      ScopedSeparator point('.');
      EXPECT_EQ(FormatLatLon(line["value"].number, kind, 3), line["display"].text);
    }
    {
      ScopedSeparator comma(',');
      EXPECT_EQ(FormatLatLon(line["value"].number, kind, 3), line["display_comma"].text);
    }
  }
}

TEST(GoldenNumberPatterns, EveryLineInBothSeparators) {
  const std::vector<Value> lines =
      ReadJsonLines(std::string(KESTRUNE_TESTDATA_DIR) + "/number-patterns.jsonl");
  ASSERT_GT(lines.size(), 2000u);
  for (const Value& line : lines) {
    const std::string& pattern = line["pattern"].text;
    const double value = line["value"].number;
    const bool single = line["bits"].number == 32;
    SCOPED_TRACE("value " + line["value"].text + " bits " + line["bits"].text + " pattern \"" +
                 pattern + "\"");
    auto format = [&] {
      return single ? Format(static_cast<float>(value), pattern) : Format(value, pattern);
    };
    if (single) {
      ASSERT_EQ(static_cast<double>(static_cast<float>(value)), value);
    }
    {
      ScopedSeparator point('.');
      EXPECT_EQ(format(), line["dot"].text);
    }
    {
      ScopedSeparator comma(',');
      EXPECT_EQ(format(), line["comma"].text);
    }
  }
}

}  // namespace
}  // namespace kestrune::Utility_Module
