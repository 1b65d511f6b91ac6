// Every worked scenario of testdata/calc-scenarios.jsonl: a freshly loaded
// calculation window with the scenario's LOPs, its texts typed into the
// fields, one press of CALC TD est or CALC Pos Solutions, then every label
// caption and every message box compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/tests/test_support.hpp"
#include "chain_setup/global_module.hpp"
#include "platform/locale.hpp"
#include "util/tests/json_lines.hpp"

namespace kestrune {
namespace {

using testing_json::Value;

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

const std::vector<Value>& Scenarios() {
  static const std::vector<Value> all =
      testing_json::ReadJsonLines(std::string(KESTRUNE_TESTDATA_DIR) + "/calc-scenarios.jsonl");
  return all;
}

std::vector<std::size_t> ScenarioNumbers() {
  std::vector<std::size_t> n(Scenarios().size());
  for (std::size_t i = 0; i < n.size(); ++i) n[i] = i;
  return n;
}

class GoldenScenario : public testing_support::ModelTest,
                       public ::testing::WithParamInterface<std::size_t> {};

TEST(GoldenScenarios, AllAreRead) {
  EXPECT_EQ(Scenarios().size(), 150u);
}

TEST_P(GoldenScenario, ShowsTheWorkedCaptionsAndMessages) {
  const Value& sc = Scenarios().at(GetParam());
  Global_Module::BuildStationCatalogue();
  SetDecimalSeparator('.');

  const auto& lops = sc["lops"].items;
  Global_Module::NoOfLops = static_cast<std::int16_t>(lops.size());
  for (std::size_t i = 0; i < lops.size(); ++i) {
    auto& rec = Global_Module::LopTable(static_cast<int>(i + 1));
    rec.MasterIndex = static_cast<std::int16_t>(lops[i].items[0].number);
    rec.SecondaryIndex = static_cast<std::int16_t>(lops[i].items[1].number);
    rec.Weight = 1.0f;
  }
  Frm_PosTDCalc w;
  RunEventHandler([&w] { w.Form_Load(); });
  ASSERT_TRUE(Boxes().boxes.empty());

  w.txtEstLat.SetText(sc["lat_text"].text);
  w.txtEstLon.SetText(sc["lon_text"].text);
  for (std::size_t i = 0; i < lops.size(); ++i) {
    w.txtTD(static_cast<int>(i + 1)).SetText(lops[i].items[2].text);
    w.txtWeight(static_cast<int>(i + 1)).SetText(lops[i].items[3].text);
  }
  SetDecimalSeparator(sc["sep"].text.at(0));
  if (sc["mode"].number == 1) {
    w.cmdCalcTD.DoClick();
  } else {
    w.cmdCalc.DoClick();
  }
  SetDecimalSeparator('.');

  const Value& expect = sc["expect"];
  std::set<std::string> ambiguous;
  for (const Value& a : expect["ambiguous"].items) ambiguous.insert(a.text);
  for (const auto& [key, value] : expect["labels"].fields) {
    if (ambiguous.count(key)) continue;
    const Label* label = w.FindAs<Label>(ObjectName(key));
    ASSERT_NE(label, nullptr) << key;
    if (value.text.empty()) {
      EXPECT_EQ(WithoutBlanks(label->Caption()), "") << key;
    } else {
      EXPECT_EQ(label->Caption(), value.text) << key;
    }
  }

  const auto& boxes = Boxes().boxes;
  const auto& messages = expect["messages"].items;
  const bool fault = expect["fault"].type != Value::Type::Null;
  ASSERT_EQ(boxes.size(), messages.size() + (fault ? 1 : 0));
  for (std::size_t m = 0; m < messages.size(); ++m) {
    EXPECT_EQ(boxes[m].text, messages[m].items[0].text) << "message " << m;
    EXPECT_EQ(boxes[m].title, messages[m].items[1].text) << "message " << m;
  }
  if (fault) {
    // "run-time error 11 in division": the program's own fault message.
    EXPECT_EQ(expect["fault"].text, "run-time error 11 in division");
    EXPECT_EQ(boxes.back().text, "Run-time error 11: Division by zero");
    EXPECT_EQ(boxes.back().title, "Kestrune");
  }
}

INSTANTIATE_TEST_SUITE_P(CalcScenarios, GoldenScenario, ::testing::ValuesIn(ScenarioNumbers()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return "id_" + Scenarios().at(info.param)["id"].text;
                         });

}  // namespace
}  // namespace kestrune
