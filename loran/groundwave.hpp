// The 100 kHz ground wave over a smooth homogeneous earth: the complex
// attenuation function of a vertical dipole with both antennas on the
// ground, and from it the secondary phase (the lag behind the primary phase
// at the surface refractive index) and the field strength of a stated
// transmitter.
//
// Short range: Sommerfeld-Norton flat earth with Wait's curvature correction
// (NTIA Report 99-368, DeMinco 1999, eq. 28-32). Long range: the residue
// series of Wait (1956) and Bremmer (1949) (NTIA Report 99-368 eq. 26). The
// hand-over is at 80 f^(-1/3) km (f in MHz), 172 km at 100 kHz, as in ITU-R
// P.368. The induction (near-field) term of the vertical dipole multiplies
// both. Terrain height, vegetation and buildings are outside the model.
#pragma once

#include <complex>
#include <vector>

namespace kestrune::loran {

// Electrical constants of a homogeneous ground.
struct GroundConstants {
  double conductivity = 5.0;   // sigma, S/m, (0, 100]
  double permittivity = 80.0;  // epsilon, relative permittivity, [1, 100]
};

// The atmosphere and carrier of the curves.
struct GroundwaveSettings {
  double frequency = 0.0;        // Hz, (0, 30e6]
  double earthRadius = 0.0;      // effective earth radius, metres, > 0
  double refractiveIndex = 0.0;  // surface refractive index, [1, 1.001]; sets the wave number
};
// The settings Kestrune uses: 100 kHz, effective earth radius 7918 km,
// n = 1.000338 (util/constants.hpp gives the reasons).
GroundwaveSettings LoranGroundwaveSettings();

enum class GroundwaveMethod { kFlatEarth, kResidueSeries };

// The ground wave at one distance.
struct GroundwavePoint {
  std::complex<double> attenuation;  // W, the attenuation function (1 at the source)
  double secondaryPhase = 0.0;       // microseconds behind the primary phase, induction included
  double fieldStrength = 0.0;        // dB(uV/m) of the stated transmitter, induction included
  double farFieldStrength = 0.0;     // dB(uV/m) of the stated transmitter, without induction
  GroundwaveMethod method = GroundwaveMethod::kFlatEarth;
};

// The ground wave at `distance` metres (> 0, at most half the circumference).
// Invalid constants or distances throw std::invalid_argument.
GroundwavePoint Groundwave(const GroundConstants& ground, double distance,
                           const GroundwaveSettings& settings);

// The same by one method whatever the distance, to compare the two where
// they hand over (the residue series needs a distance above about 50 km).
GroundwavePoint GroundwaveByMethod(const GroundConstants& ground, double distance,
                                   const GroundwaveSettings& settings, GroundwaveMethod method);

// The distance (metres) below which the flat earth serves.
double HandoverDistance(const GroundwaveSettings& settings);

// The stated transmitter (1 kW radiated by a short vertical monopole) in
// dB(uV/m) at `distance` metres over perfect flat ground, the reference W
// multiplies.
double UnattenuatedField(double distance);

// The phase (radians, negative when lagging) of the induction factor
// 1 - j/(kd) - 1/(kd)^2 at kd radians (> 0).
double InductionPhase(double kd);

// The curves of one ground tabulated once: the secondary phase without the
// induction term (which every ground shares) and 20 log10 |W|, equally
// spaced in sqrt(distance), read by cubic interpolation.
class GroundwaveTable {
 public:
  GroundwaveTable(const GroundConstants& ground, const GroundwaveSettings& settings);

  // The secondary phase without the induction term, microseconds, at
  // `distance` metres in [0, Reach()]; 0 at 0.
  double Phase(double distance) const;
  // 20 log10 |W| (dB, <= about 0) at `distance` metres in [0, Reach()].
  double AttenuationDb(double distance) const;
  double Reach() const;
  const GroundConstants& Ground() const { return ground_; }

 private:
  static double Interpolate(const std::vector<double>& values, double distance);
  GroundConstants ground_;
  std::vector<double> phase_;
  std::vector<double> attenuationDb_;
};

}  // namespace kestrune::loran
