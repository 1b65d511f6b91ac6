// The fixture of the window-model tests: a private working directory, every
// message box recorded, and the '.' separator restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/locale.hpp"
#include "platform/message_box.hpp"
#include "tests/support/test_support.hpp"

namespace kestrune::testing_support {

class ModelTest : public ::testing::Test {
 protected:
  ~ModelTest() override { SetDecimalSeparator('.'); }

  std::vector<std::string> Texts() { return boxes_->Texts(); }
  ScriptedMessageBoxService& Boxes() { return *boxes_; }

  TempWorkingDir dir_;
  ScopedScriptedMessageBoxes boxes_;
};

}  // namespace kestrune::testing_support
