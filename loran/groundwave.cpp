// The ground wave over a smooth homogeneous earth.
//
// Notation (time factor exp(+j omega t), as NTIA Report 99-368)
//   f, omega        carrier (Hz) and its angular frequency
//   k               wave number omega n / c at the surface refractive index n (rad/m)
//   a               effective earth radius (m); d the distance along the surface (m)
//   eta             complex relative permittivity epsilon - j sigma / (omega eps0)
//   Delta           normalised surface impedance sqrt(eta - 1) / eta (vertical polarisation)
//   nu              (k a / 2)^(1/3); x = nu d / a the reduced distance
//   q               -j nu Delta, the surface-impedance parameter of the residue series
//   t_s             the roots of w'(t) = q w(t), w(t) = Ai(t exp(-2 pi j / 3)) up to a constant
//   W               attenuation function: the field is E0 W (1 - j/kd - 1/(kd)^2) exp(-j k d) / d
//   p, qi           Norton's numerical distance -j k d Delta^2 / 2 and qi, qi^2 = p
// The secondary phase is -arg(W (1 - j/kd - 1/(kd)^2)) / omega: the lag behind
// the primary phase k d.
#include "loran/groundwave.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "util/constants.hpp"

namespace kestrune::loran {

using namespace kestrune::constants;

namespace {

using Complex = std::complex<double>;
constexpr Complex kJ{0.0, 1.0};
constexpr double kPiFull = std::numbers::pi;
const double kSqrtPi = std::sqrt(std::numbers::pi);

// The Faddeeva function w(z) = exp(-z^2) erfc(-jz) by its Taylor series
// sum (jz)^n / Gamma(n/2 + 1); the terms of each parity obey
// c(n+2) = c(n) (jz)^2 / (n/2 + 1).
Complex FaddeevaSeries(Complex z) {
  const Complex jz = kJ * z;
  const Complex jz2 = jz * jz;
  Complex term[2] = {Complex(1.0, 0.0), jz * (2.0 / kSqrtPi)};
  Complex sum = term[0] + term[1];
  for (int n = 0; n < kFaddeevaSeriesTerms; ++n) {
    Complex& c = term[n % 2];
    c *= jz2 / (0.5 * n + 1.0);
    sum += c;
  }
  return sum;
}

// w(z) for Im z >= 0 far from the origin: Laplace's continued fraction
// (j / sqrt(pi)) / (z - (1/2) / (z - 1 / (z - (3/2) / (z - ...)))).
Complex FaddeevaFraction(Complex z) {
  Complex f = z;
  for (int m = kFaddeevaFractionDepth; m >= 1; --m) f = z - (0.5 * m) / f;
  return kJ / (kSqrtPi * f);
}

Complex Faddeeva(Complex z) {
  if (z.imag() < 0.0) return 2.0 * std::exp(-z * z) - Faddeeva(-z);
  return std::abs(z) < kFaddeevaSeriesRadius ? FaddeevaSeries(z) : FaddeevaFraction(z);
}

// Everything of one ground and atmosphere the two methods share.
struct Medium {
  double k = 0.0;
  double a = 0.0;
  double nu = 0.0;
  double handover = 0.0;  // metres
  Complex delta;
  Complex q;
};

Medium MakeMedium(const GroundConstants& g, const GroundwaveSettings& s) {
  if (!(g.conductivity > 0.0 && g.conductivity <= 100.0) ||
      !(g.permittivity >= 1.0 && g.permittivity <= 100.0)) {
    throw std::invalid_argument("ground constants out of range");
  }
  if (!(s.frequency > 0.0 && s.frequency <= 30e6) || !(s.earthRadius > 0.0) ||
      !(s.refractiveIndex >= 1.0 && s.refractiveIndex <= 1.001)) {
    throw std::invalid_argument("ground-wave settings out of range");
  }
  const double omega = 2.0 * kPiFull * s.frequency;
  Medium m;
  m.k = omega * s.refractiveIndex / kVacuumLightSpeed;
  m.a = s.earthRadius;
  m.nu = std::cbrt(m.k * m.a / 2.0);
  const Complex eta(g.permittivity, -g.conductivity / (omega * kVacuumPermittivity));
  m.delta = std::sqrt(eta - 1.0) / eta;
  m.q = -kJ * m.nu * m.delta;
  m.handover = HandoverDistance(s);
  return m;
}

// Flat earth with curvature correction (NTIA Report 99-368 eq. 28-32).
// For |q| above kSmallQ eq. 31 with Norton's F(p); below it the power
// series in u = exp(j pi/4) q sqrt(x) of eq. 28 with the coefficients of
// eq. 30, whose 1/q^3 terms stay finite because u^3 / q^3 depends on x only.
Complex FlatEarth(const Medium& m, double d) {
  const Complex qi = Complex(-0.5, 0.5) * std::sqrt(m.k * d) * m.delta;
  const Complex p = qi * qi;
  const Complex q3 = m.q * m.q * m.q;
  const Complex q6 = q3 * q3;
  if (std::abs(m.q) > kSmallQ) {
    const Complex F = 1.0 + kJ * kSqrtPi * qi * Faddeeva(qi);
    const Complex sp = std::sqrt(kPiFull * p);
    Complex f = F + (1.0 - kJ * sp - (1.0 + 2.0 * p) * F) / (4.0 * q3);
    f += (1.0 - kJ * sp * (1.0 - p) - 2.0 * p + 5.0 * p * p / 6.0 + (p * p / 2.0 - 1.0) * F) /
         (4.0 * q6);
    return f;
  }
  const Complex q9 = q6 * q3;
  const Complex A[] = {
      1.0,
      -kJ * kSqrtPi,
      -2.0,
      kJ * kSqrtPi * (1.0 + 1.0 / (4.0 * q3)),
      4.0 / 3.0 * (1.0 + 1.0 / (2.0 * q3)),
      -kJ * kSqrtPi / 4.0 * (1.0 + 3.0 / (4.0 * q3)),
      -8.0 / 15.0 * (1.0 + 1.0 / q3 + 7.0 / (32.0 * q6)),
      kJ * kSqrtPi / 6.0 * (1.0 + 5.0 / (4.0 * q3) + 27.0 / (32.0 * q6)),
      16.0 / 105.0 * (1.0 + 3.0 / (2.0 * q3) + 27.0 / (32.0 * q6)),
      -kJ * kSqrtPi / 24.0 * (1.0 + 7.0 / (4.0 * q3) + 5.0 / (4.0 * q6) + 21.0 / (64.0 * q9)),
  };
  const double x = m.nu * d / m.a;
  const Complex u = std::polar(1.0, kPiFull / 4.0) * m.q * std::sqrt(x);
  Complex f = 0.0;
  Complex un = 1.0;
  for (const Complex& c : A) {
    f += c * un;
    un *= u;
  }
  return f;
}

// The s-th zero (s >= 1) of Ai': the table, then DLMF 9.9.7.
double AiryPrimeZero(int s) {
  if (s <= static_cast<int>(std::size(kAiryPrimeZeros))) return kAiryPrimeZeros[s - 1];
  const double t = 3.0 * kPiFull / 8.0 * (4.0 * s - 3.0);
  const double t2 = 1.0 / (t * t);
  return -std::pow(t, 2.0 / 3.0) *
         (1.0 - kAiryPrimeAsymptotic1 * t2 + kAiryPrimeAsymptotic2 * t2 * t2);
}

// The root t_s(q), followed from q = 0 (w'(t) = 0: t = a'_s exp(2 pi j / 3))
// along the ray to q by the Riccati equation dt/dq = 1 / (t - q^2), which
// follows from differentiating w'(t) = q w(t) with w'' = t w. Classical
// fourth-order Runge-Kutta in the ray parameter.
Complex FollowRoot(int s, Complex q) {
  Complex t = AiryPrimeZero(s) * std::polar(1.0, 2.0 * kPiFull / 3.0);
  const Complex h = q / static_cast<double>(kRiccatiSteps);
  auto slope = [](Complex tt, Complex qq) { return 1.0 / (tt - qq * qq); };
  for (int i = 0; i < kRiccatiSteps; ++i) {
    const Complex q0 = h * static_cast<double>(i);
    const Complex k1 = slope(t, q0);
    const Complex k2 = slope(t + 0.5 * h * k1, q0 + 0.5 * h);
    const Complex k3 = slope(t + 0.5 * h * k2, q0 + 0.5 * h);
    const Complex k4 = slope(t + h * k3, q0 + h);
    t += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
  }
  return t;
}

// The attenuation function as its unwrapped phase (radians) and modulus.
struct Attenuation {
  double phase = 0.0;
  double modulus = 1.0;
  GroundwaveMethod method = GroundwaveMethod::kFlatEarth;
};

// The curves of one medium: its roots are found once, on first need.
class Curves {
 public:
  explicit Curves(const Medium& m) : m_(m) {}

  Attenuation At(double d) {
    return By(d < m_.handover ? GroundwaveMethod::kFlatEarth : GroundwaveMethod::kResidueSeries, d);
  }

  Attenuation By(GroundwaveMethod method, double d) {
    if (method == GroundwaveMethod::kFlatEarth) {
      // Over poor ground the lag passes half a cycle before the hand-over:
      // the phase is followed out from W(0) = 1 in steps short enough that
      // none turns by half a cycle.
      double phase = 0.0;
      Complex previous = 1.0;
      for (int k = 1; k <= kFlatEarthPhaseSteps; ++k) {
        const Complex f = FlatEarth(m_, d * k / kFlatEarthPhaseSteps);
        phase += std::arg(f / previous);
        previous = f;
      }
      return Attenuation{phase, std::abs(previous), GroundwaveMethod::kFlatEarth};
    }
    return Residue(d);
  }

 private:
  const Complex& Root(int s) {
    while (static_cast<int>(roots_.size()) < s) {
      roots_.push_back(FollowRoot(static_cast<int>(roots_.size()) + 1, m_.q));
    }
    return roots_[static_cast<std::size_t>(s - 1)];
  }

  // W = sqrt(pi x) exp(-j pi/4) sum exp(-j x t_s) / (t_s - q^2) (eq. 26),
  // written as exp(-j x t_1) times a sum of order 1 so that the phase
  // -pi/4 - x Re t_1 + arg(sum) unwraps itself over any distance.
  Attenuation Residue(double d) {
    const double x = m_.nu * d / m_.a;
    const Complex q2 = m_.q * m_.q;
    const Complex t1 = Root(1);
    Complex sum = 1.0 / (t1 - q2);
    for (int s = 2; s <= kResidueTermLimit; ++s) {
      const Complex ts = Root(s);
      const Complex term = std::exp(-kJ * x * (ts - t1)) / (ts - q2);
      sum += term;
      if (std::abs(term) < kResidueTolerance * std::abs(sum)) break;
    }
    const double phase = -kPiFull / 4.0 - x * t1.real() + std::arg(sum);
    const double modulus = std::sqrt(kPiFull * x) * std::exp(x * t1.imag()) * std::abs(sum);
    return Attenuation{phase, modulus, GroundwaveMethod::kResidueSeries};
  }

  Medium m_;
  std::vector<Complex> roots_;
};

double LagMicroseconds(double phase, double frequency) {
  return -phase / (2.0 * kPiFull * frequency) * 1e6;
}

}  // namespace

GroundwaveSettings LoranGroundwaveSettings() {
  return GroundwaveSettings{kLoranFrequency, kGroundwaveEarthRadius, kSurfaceRefractiveIndex};
}

double UnattenuatedField(double distance) {
  const double e0 = std::sqrt(kFreeSpaceImpedance * kStatedPower * kMonopoleGain / (4.0 * kPiFull));
  return 20.0 * std::log10(e0 / distance * 1e6);
}

double InductionPhase(double kd) {
  return std::arg(Complex(1.0 - 1.0 / (kd * kd), -1.0 / kd));
}

double HandoverDistance(const GroundwaveSettings& settings) {
  return kHandoverKm * 1000.0 * std::cbrt(1e6 / settings.frequency);
}

GroundwavePoint GroundwaveByMethod(const GroundConstants& ground, double distance,
                                   const GroundwaveSettings& settings, GroundwaveMethod method) {
  const Medium m = MakeMedium(ground, settings);
  if (!(distance > 0.0 && distance <= kPiFull * m.a)) {
    throw std::invalid_argument("ground-wave distance out of range");
  }
  Curves curves(m);
  const Attenuation w = curves.By(method, distance);
  const double kd = m.k * distance;
  const Complex induction(1.0 - 1.0 / (kd * kd), -1.0 / kd);
  GroundwavePoint out;
  out.attenuation = std::polar(w.modulus, w.phase);
  out.secondaryPhase = LagMicroseconds(w.phase + std::arg(induction), settings.frequency);
  out.farFieldStrength = UnattenuatedField(distance) + 20.0 * std::log10(w.modulus);
  out.fieldStrength = out.farFieldStrength + 20.0 * std::log10(std::abs(induction));
  out.method = w.method;
  return out;
}

GroundwavePoint Groundwave(const GroundConstants& ground, double distance,
                           const GroundwaveSettings& settings) {
  const GroundwaveMethod method = distance < HandoverDistance(settings)
                                      ? GroundwaveMethod::kFlatEarth
                                      : GroundwaveMethod::kResidueSeries;
  return GroundwaveByMethod(ground, distance, settings, method);
}

GroundwaveTable::GroundwaveTable(const GroundConstants& ground, const GroundwaveSettings& settings)
    : ground_(ground) {
  const Medium m = MakeMedium(ground, settings);
  Curves curves(m);
  const auto n = static_cast<std::size_t>(
                     std::ceil(std::sqrt(kGroundwaveTableReach) / kGroundwaveTableSqrtStep)) +
                 1;
  phase_.assign(n, 0.0);
  attenuationDb_.assign(n, 0.0);
  for (std::size_t i = 1; i < n; ++i) {
    const double s = kGroundwaveTableSqrtStep * static_cast<double>(i);
    const Attenuation w = curves.At(s * s);
    phase_[i] = LagMicroseconds(w.phase, settings.frequency);
    attenuationDb_[i] = 20.0 * std::log10(w.modulus);
  }
}

double GroundwaveTable::Reach() const {
  const double s = kGroundwaveTableSqrtStep * static_cast<double>(phase_.size() - 1);
  return s * s;
}

double GroundwaveTable::Phase(double distance) const {
  return Interpolate(phase_, distance);
}

double GroundwaveTable::AttenuationDb(double distance) const {
  return Interpolate(attenuationDb_, distance);
}

// Catmull-Rom in sqrt(distance) between the two entries around `distance`,
// the outer neighbours mirrored at the ends.
double GroundwaveTable::Interpolate(const std::vector<double>& v, double distance) {
  const double reach = kGroundwaveTableSqrtStep * static_cast<double>(v.size() - 1);
  if (!(distance >= 0.0 && distance <= reach * reach)) {
    throw std::invalid_argument("distance beyond the ground-wave table");
  }
  const double u = std::sqrt(distance) / kGroundwaveTableSqrtStep;
  const auto last = static_cast<std::ptrdiff_t>(v.size()) - 1;
  const auto i = std::min(static_cast<std::ptrdiff_t>(u), last - 1);
  const double s = u - static_cast<double>(i);
  const double p1 = v[static_cast<std::size_t>(i)];
  const double p2 = v[static_cast<std::size_t>(i + 1)];
  const double p0 = i > 0 ? v[static_cast<std::size_t>(i - 1)] : 2.0 * p1 - p2;
  const double p3 = i + 2 <= last ? v[static_cast<std::size_t>(i + 2)] : 2.0 * p2 - p1;
  return p1 + 0.5 * s *
                  (p2 - p0 +
                   s * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + s * (3.0 * (p1 - p2) + p3 - p0)));
}

}  // namespace kestrune::loran
