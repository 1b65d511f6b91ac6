// TD prediction and LOP geometry: propagation times across the formula
// boundary, the worked prediction and linearisation, the worked azimuths,
// hyperbolic azimuths and gradients at 64N 4E, and their faults; the
// catalogue's chain layout.
#include "loran/prediction.hpp"

#include <cmath>
#include <stdexcept>

#include "loran/geodesic.hpp"
#include "loran/tests/loran_test_support.hpp"
#include "util/constants.hpp"

namespace kestrune::loran {

double TdAt(double latDeg, double lonDeg, int master, int secondary) {
  return PredictPair(Nels(), At(latDeg, lonDeg), master, secondary).td;
}

namespace {

TEST(PropTime, BothFormulasTheirBoundaryAndZero) {
  const double boundary = 537.0 * constants::kSignalSpeed;
  const struct {
    double distance, time, tolerance;  // metres, microseconds
  } cases[] = {
      {100000.0, 333.7830146051574, 1e-12},
      {500000.0, 1669.1313490086616, 1e-11},
      {boundary, 537.16970256868262, 1e-12},  // exactly 537 us still takes the near formula
      {std::nextafter(boundary, 1e9), 537.17950083518861, 1e-12},
  };
  for (const auto& c : cases) EXPECT_NEAR(PropTime(c.distance), c.time, c.tolerance);
  EXPECT_EQ(FaultOf([] { PropTime(0.0); }), RuntimeFault::kDivisionByZero);
}

TEST(Prediction, WorkedPairAndItsLinearisation) {
  const PairPrediction p = PredictPair(Nels(), At(65, 5), 0, 2);
  EXPECT_NEAR(p.ranges.master.distance, 668180.79, 5e-3);
  EXPECT_NEAR(p.ranges.secondary.distance, 579606.06, 5e-3);
  EXPECT_NEAR(p.ranges.master.time, 2230.6546, 5e-5);
  EXPECT_NEAR(p.ranges.secondary.time, 1934.9192, 5e-5);
  EXPECT_NEAR(p.td, 27704.2646, 5e-5);
  const LopLinearisation at = TdPartials(p.ranges, p.td, 28000.0);
  EXPECT_EQ(at.rangeResidual, 0.0);
  EXPECT_NEAR(at.gradEast, -1.594226, 5e-7);
  EXPECT_NEAR(at.gradNorth, -1.111293, 5e-7);
  // The residual is the TD error in metres, positive when the prediction is too large.
  EXPECT_NEAR(TdPartials(p.ranges, p.td - 1.0, 28000.0).rangeResidual, constants::kSignalSpeed,
              1e-6);
}

TEST(Prediction, WorkedGeometryAt64N4E) {
  const GeoPoint at = At(64, 4);
  const double azimuths[] = {76.24972, 150.51915, 217.52007, 352.93068};  // degrees
  for (int s = 0; s <= 3; ++s) {
    EXPECT_NEAR(Deg(GeoDistAz(at, Nels().At(s).position).azimuth), azimuths[s], 5e-6) << s;
  }
  const struct {
    int secondary;
    double td, hypAzimuth;  // us, degrees
    float gradient;         // m/us
  } cases[] = {
      {1, 15373.7046, 113.38443, 248.4714f},
      {2, 28359.2489, 146.88489, 158.9949f},
      {3, 40147.5151, 34.59020, 225.6648f},
  };
  const std::vector<StationPrediction> all = PredictCatalogue(Nels(), at);
  for (const auto& c : cases) {
    const PairPrediction p = PredictPair(Nels(), at, 0, c.secondary);
    EXPECT_NEAR(p.td, c.td, 5e-5) << c.secondary;
    EXPECT_NEAR(p.direction.hypAzimuth, c.hypAzimuth, 5e-6) << c.secondary;
    EXPECT_NEAR(p.direction.gradient, c.gradient, 5e-5) << c.secondary;
    // The whole catalogue gives every pair the very same figures.
    EXPECT_EQ(all[static_cast<std::size_t>(c.secondary)].td, p.td);
    EXPECT_EQ(all[static_cast<std::size_t>(c.secondary)].direction.gradient, p.direction.gradient);
  }
  for (int m : {0, 5, 8, 11}) EXPECT_EQ(all[static_cast<std::size_t>(m)].td, 0.0) << m;
  // On the extension of the Ejde-Vaerlandet baseline: the marker, not a gradient.
  EXPECT_EQ(PredictPair(Nels(), At(60.7748, 8.2372), 0, 3).direction.gradient, 9999.0f);
}

TEST(Prediction, ExactDirectionsAndFaults) {
  // A TD gradient due north gives 90 degrees exactly.
  const Catalogue north = OneChain({{0.5, -0.1}, {0.49153100942161265, -0.2}});
  EXPECT_EQ(PredictPair(north, {0.5, 0.0}, 0, 1).direction.hypAzimuth, 90.0);
  // Stations symmetric about the meridian: a gradient due east divides by zero.
  const Catalogue east = OneChain({{0.9, -1e-4}, {0.9, 1e-4}});
  EXPECT_EQ(FaultOf([&] { PredictPair(east, {0.5, 0.0}, 0, 1); }), RuntimeFault::kDivisionByZero);
  // On a station, and station indices outside the catalogue.
  EXPECT_EQ(FaultOf([] { PredictPair(Nels(), Nels().At(3).position, 0, 3); }),
            RuntimeFault::kDivisionByZero);
  EXPECT_EQ(FaultOf([] { PredictPair(Nels(), At(64, 4), 15, 3); }), RuntimeFault::kSubscript);
  EXPECT_EQ(FaultOf([] { PredictPair(Nels(), At(64, 4), 0, -1); }), RuntimeFault::kSubscript);
}

TEST(Catalogue, ChainLayoutDerivesFromTheStationTable) {
  const Catalogue& c = Nels();
  ASSERT_EQ(c.Size(), 15);
  ASSERT_EQ(c.Chains().size(), 4u);
  const std::int16_t gri[] = {9007, 7001, 7499, 6731};
  const std::int16_t masters[] = {0, 5, 8, 11};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(c.Chains()[k].gri, gri[k]);
    EXPECT_EQ(c.Chains()[k].master, masters[k]);
    EXPECT_TRUE(c.IsMaster(masters[k]));
  }
  EXPECT_FALSE(c.IsChainPair(5, 4));  // Loop Head is not a 7001 secondary
  EXPECT_FALSE(c.IsChainPair(2, 3));  // Boe as 9007 X is no master
  EXPECT_EQ(c.Find(7499, "W"), -1);
  EXPECT_EQ(c.ChainOf(15), -1);
  // Station coordinates come from their texts with the 12-digit pi.
  EXPECT_EQ(c.At(0).position.lat, 62.29995472272237 * constants::kPi / 180.0);
  EXPECT_THROW(Catalogue({Station{9007, "X", "Boe", {}, 0.0}}), std::invalid_argument);
}

}  // namespace
}  // namespace kestrune::loran
