// How far the Sodano series of the predictions is from an exact geodesic
// (GeographicLib) over the chains' area: every station of the catalogue seen
// from a 0.5-degree grid over 35W-40E, 40N-75N. Prints the largest and the
// RMS difference in distance (metres and the TD it makes, microseconds) and
// in azimuth, for docs/accuracy.md.
//   build/bench/geodesic_accuracy
#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "loran/catalogue.hpp"
#include "loran/geodesic.hpp"
#include "util/constants.hpp"

int main() {
  using namespace kestrune;
  const GeographicLib::Geodesic& exact = GeographicLib::Geodesic::WGS84();
  const loran::Catalogue& nels = loran::NelsCatalogue();
  double worst = 0.0, sumSq = 0.0, worstAz = 0.0, worstDistance = 0.0;
  long n = 0;
  for (double lat = 40.0; lat <= 75.0; lat += 0.5) {
    for (double lon = -35.0; lon <= 40.0; lon += 0.5) {
      const loran::GeoPoint at{lat * constants::kPi / 180.0, lon * constants::kPi / 180.0};
      for (const loran::Station& st : nels.Stations()) {
        const loran::RangeAzimuth series = loran::GeoDistAz(at, st.position);
        double s12 = 0.0, azi1 = 0.0, azi2 = 0.0;
        exact.Inverse(at.lat * 180.0 / constants::kPi, at.lon * 180.0 / constants::kPi,
                      st.position.lat * 180.0 / constants::kPi,
                      st.position.lon * 180.0 / constants::kPi, s12, azi1, azi2);
        if (s12 < 1.0) continue;
        const double e = series.distance - s12;
        if (std::fabs(e) > std::fabs(worst)) {
          worst = e;
          worstDistance = s12;
        }
        sumSq += e * e;
        double az = std::fabs(series.azimuth * 180.0 / constants::kPi - (azi1 + 180.0));
        az = std::min(std::fmod(az, 360.0), 360.0 - std::fmod(az, 360.0));
        worstAz = std::max(worstAz, az);
        ++n;
      }
    }
  }
  std::printf("station ranges compared: %ld\n", n);
  std::printf("distance: largest %.4f m (at a range of %.0f km), RMS %.4f m\n", worst,
              worstDistance / 1000.0, std::sqrt(sumSq / static_cast<double>(n)));
  std::printf("as a travel time: largest %.6f us\n", std::fabs(worst) / constants::kSignalSpeed);
  std::printf("azimuth: largest %.7f degrees\n", worstAz);
  return 0;
}
