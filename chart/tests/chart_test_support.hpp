// Shared by the chart's tests: degrees, solutions of LOPs whose TDs are the
// predictions at a known position, and a Qt application for the painting.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdint>
#include <utility>
#include <vector>

#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace kestrune::chart_testing {

inline double Rad(double degrees) {
  return degrees * constants::kPi / 180;
}

// LOPs of the given master and secondary indices with the TDs of `truth`,
// solved from `start` as CALC Pos Solutions does.
inline loran::PositionSolution Solve(
    const std::vector<std::pair<std::int16_t, std::int16_t>>& pairs, loran::GeoPoint truth,
    loran::GeoPoint start) {
  const loran::Catalogue& cat = loran::NelsCatalogue();
  loran::SolutionRequest request;
  request.start = start;
  for (auto [m, sec] : pairs) {
    request.lops.push_back({m, sec, loran::PredictPair(cat, truth, m, sec).td, 1.0});
  }
  return loran::SolvePosition(cat, request);
}

// LOPs 9007 W, X and Y with the TDs of 64°N 4°E, solved from 63°30'N 3°E.
inline loran::PositionSolution WorkedSolution() {
  return Solve({{0, 1}, {0, 2}, {0, 3}}, {Rad(64), Rad(4)}, {Rad(63.5), Rad(3)});
}

// Tests that paint text: one QGuiApplication for the program, the decimal point.
class PaintingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "chart_tests";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) new QGuiApplication(argc, argv);
    SetDecimalSeparator('.');
  }
};

}  // namespace kestrune::chart_testing
