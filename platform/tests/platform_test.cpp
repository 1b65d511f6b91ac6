#include <gtest/gtest.h>

#include "platform/checked_array.hpp"
#include "platform/controls.hpp"
#include "platform/message_box.hpp"
#include "platform/runtime_fault.hpp"

namespace kestrune {
namespace {

TEST(RuntimeFault, CarriesNumberAndReadableText) {
  const struct {
    std::int16_t number;
    const char* text;
  } cases[] = {
      {6, "Run-time error 6: Overflow"},
      {9, "Run-time error 9: Subscript out of range"},
      {11, "Run-time error 11: Division by zero"},
  };
  for (const auto& c : cases) {
    RuntimeFault f(c.number);
    EXPECT_EQ(f.Number(), c.number);
    EXPECT_STREQ(f.what(), c.text);
  }
}

TEST(CheckedArithmetic, FaultsInsteadOfInfOrNaN) {
  EXPECT_EQ(checked::Div(1.0, 4.0), 0.25);
  try {
    checked::Div(1.0, 0.0);
    FAIL();
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), 11);
  }
  try {
    checked::Div(0.0, 0.0);
    FAIL();
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), 6);
  }
  try {
    checked::Mul(1e300, 1e300);
    FAIL();
  } catch (const RuntimeFault& f) {
    EXPECT_EQ(f.Number(), 6);
  }
  EXPECT_THROW(checked::Sqrt(-1.0), RuntimeFault);
  EXPECT_THROW(checked::ToFloat(1e39), RuntimeFault);
  EXPECT_EQ(checked::ToFloat(0.5), 0.5f);
  CheckedArray<int, 8> lops;
  EXPECT_THROW(lops(8), RuntimeFault);
  EXPECT_THROW(lops(-1), RuntimeFault);
}

TEST(EventHandler, FaultBecomesOneMessageAndHandlerStops) {
  ScopedScriptedMessageBoxes boxes;
  CommandButton b("cmdCalc", -1, {}, nullptr, "CALC");
  int reached = 0;
  b.Click = [&] {
    throw RuntimeFault(RuntimeFault::kDivisionByZero);
    ++reached;
  };
  b.DoClick();
  EXPECT_EQ(reached, 0);
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Run-time error 11: Division by zero"});
  // A fault the computation names itself is shown with its own text, once.
  b.Click = [] { throw RuntimeFault(RuntimeFault::kInvalidCall, "ARCSINUS DATA ERROR"); };
  b.DoClick();
  EXPECT_EQ(boxes->Texts().back(), "ARCSINUS DATA ERROR");
  EXPECT_EQ(boxes->boxes.size(), 2u);
  // A disabled button takes no click.
  b.SetEnabled(false);
  b.DoClick();
  EXPECT_EQ(boxes->boxes.size(), 2u);
}

TEST(Controls, ChangesAreObservable) {
  TextBox t("txtTD", 1, {2280, 1320, 1100, 285}, nullptr, "Text3");
  EXPECT_EQ(t.ObjectName(), "txtTD_1");
  std::vector<Change> seen;
  t.Subscribe([&](Control&, Change c) { seen.push_back(c); });
  t.SetText("62°17'");
  EXPECT_EQ(t.TextLength(), 6);  // code points, not bytes
  t.SetSelection(0, t.TextLength());
  EXPECT_EQ(t.SelLength(), 6);
  t.SetVisible(false);
  EXPECT_EQ(seen, (std::vector<Change>{Change::Text, Change::Selection, Change::Visible}));
}

TEST(Controls, ComboBoxPicksOnlyAndFiresClick) {
  ComboBox c("cmbNoOfLops", -1, {}, nullptr);
  int clicks = 0;
  c.Click = [&] { ++clicks; };
  for (const char* s : {"2", "3", "4"}) c.AddItem(s);
  EXPECT_EQ(c.ListIndex(), -1);
  EXPECT_EQ(c.Text(), "");
  c.SetListIndex(1);
  EXPECT_EQ(c.Text(), "3");
  EXPECT_EQ(clicks, 1);
  EXPECT_THROW(c.SetListIndex(3), RuntimeFault);
  EXPECT_EQ(c.ListIndex(), 1);
}

TEST(Controls, ArrayIndexOutsideRangeIsSubscriptError) {
  Label l0("Label1", 0, {}, nullptr, "Label1");
  ControlArray<Label> arr(0, 14);
  arr.Set(0, &l0);
  EXPECT_EQ(&arr(0), &l0);
  EXPECT_THROW(arr(1), RuntimeFault);   // missing member
  EXPECT_THROW(arr(15), RuntimeFault);  // outside 0 to 14
}

}  // namespace
}  // namespace kestrune
