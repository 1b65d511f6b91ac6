// Shared pieces of the calculation-window tests: a private working directory
// per test, scripted message boxes, fresh globals and the '.' separator.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "chain_setup/global_module.hpp"
#include "platform/locale.hpp"
#include "platform/message_box.hpp"

namespace kestrune::testing_support {

// Creates an empty directory, makes it the working directory and goes back
// (removing it) at the end.
class TempWorkingDir {
 public:
  TempWorkingDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrune-models-XXXXXX");
    char* made = mkdtemp(pattern.data());
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = made;
    std::filesystem::current_path(dir_);
  }
  ~TempWorkingDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  TempWorkingDir(const TempWorkingDir&) = delete;
  TempWorkingDir& operator=(const TempWorkingDir&) = delete;
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

inline void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every test starts from the start state of a run, in its own directory,
// with every message box recorded.
class ModelTest : public ::testing::Test {
 protected:
  ModelTest() { Global_Module::ResetGlobals(); }
  ~ModelTest() override {
    SetDecimalSeparator('.');
    Global_Module::ResetGlobals();
  }

  std::vector<std::string> Texts() { return boxes_->Texts(); }
  ScriptedMessageBoxService& Boxes() { return *boxes_; }

  TempWorkingDir dir_;
  ScopedScriptedMessageBoxes boxes_;
};

}  // namespace kestrune::testing_support
