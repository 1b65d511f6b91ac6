// Test support shared by the tests of several folders: the golden JSON-lines
// files of testdata/, a private working directory, whole files, and the
// program's degree/radian conversion.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/constants.hpp"

namespace kestrune::testing_support {

using Json = nlohmann::json;

// Every line of testdata/<name> as one JSON value.
inline std::vector<Json> ReadJsonLines(const std::string& name) {
  std::ifstream in(std::string(KESTRUNE_TESTDATA_DIR) + "/" + name);
  if (!in) throw std::runtime_error("cannot open testdata/" + name);
  std::vector<Json> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(Json::parse(line));
  }
  return lines;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The names in the working directory, sorted, blank-separated.
inline std::string Listing() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(".")) {
    names.push_back(e.path().filename());
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// An empty directory made the working directory for the test's lifetime,
// then removed.
class TempWorkingDir {
 public:
  TempWorkingDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrune-test-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
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

// Degrees to radians and back with the program's 12-digit pi.
inline double Rad(double degrees) {
  return degrees * constants::kPi / 180.0;
}
inline double Deg(double radians) {
  return radians * 180.0 / constants::kPi;
}

}  // namespace kestrune::testing_support
