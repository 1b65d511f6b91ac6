// Every numeric literal of the computation, with its meaning. The values are
// used exactly as written: the figures shown depend on them to the last digit.
#pragma once

namespace kestrune::constants {

// The 12-digit value of pi used for every degree/radian conversion and every
// angle test (not full double-precision pi).
inline constexpr double kPi = 3.14159265359;
inline constexpr double kTwoPi = 6.28318530718;
inline constexpr double kThreePi = 9.424777960770001;
// Formed at run time in the original order of operations: pi / 2.0 and 3pi / 2.0.
inline constexpr double kHalfPi = kPi / 2.0;            // 1.570796326795
inline constexpr double kThreeHalfPi = kThreePi / 2.0;  // 4.7123889803850005

// Degrees and radians with that pi, in the one order of operations every
// conversion of the program uses.
inline constexpr double Degrees(double radians) {
  return radians * 180.0 / kPi;
}
inline constexpr double Radians(double degrees) {
  return degrees * kPi / 180.0;
}

// WGS 84 ellipsoid.
inline constexpr double kSemiMajor = 6378137.0;                  // a, metres
inline constexpr double kSemiMinor = 6356752.314;                // b0, metres
inline constexpr double kFlattening = 0.0033528107031880554;     // f
inline constexpr double kFlatteningSq = 1.1241339611412383e-05;  // f^2, taken as this literal
inline constexpr double kOneMinusF = 0.996647189296812;          // 1 - f, taken as this literal
inline constexpr double kEccSq = 0.006694380066764699;           // e^2
inline constexpr double kAOneMinusEccSq = 6335439.326804105;     // a (1 - e^2), metres

// International 1924 ellipsoid, of the European Datum 1950 (ED50).
inline constexpr double kInternational1924A = 6378388.0;    // semi-major axis, metres
inline constexpr double kInternational1924F = 1.0 / 297.0;  // flattening

// Calibration. An ASF offset holds near where it was taken: coast-guard notices give 50 to
// 100 nautical miles (Canadian Coast Guard, Radio Aids to Marine Navigation,
// Loran-C; docs/accuracy.md). Metres beyond the known points' area past
// which a converted position is warned of, about the middle of that range.
inline constexpr double kCalibrationReach = 150000.0;

// Loran-C propagation.
inline constexpr double kSignalSpeed =
    299.6911624;  // metres per microsecond, speed of light in air
inline constexpr double kSecondaryPhaseBoundary =
    537.0;  // primary-phase time (us) where the formula changes
// Secondary phase correction for an all-seawater path, t = primary phase (us):
// far (t > 537):  129.04398 / t - 0.40758 + t * 0.00064576438
// near (t <= 537): 2.7412979 / t - 0.011402 + t * 0.00032774624
inline constexpr double kFarA = 129.04398;
inline constexpr double kFarB = 0.40758;
inline constexpr double kFarC = 0.00064576438;
inline constexpr double kNearA = 2.7412979;
inline constexpr double kNearB = 0.011402;
inline constexpr double kNearC = 0.00032774624;

// The sine of an arc beyond a quarter circle below this is rounding noise
// (the 12-digit pi exceeds pi by 2.1e-13): the points are antipodal.
inline constexpr double kAntipodalSine = 1e-12;

// LOP geometry.
inline constexpr double kGradientNumerator = 150.0;  // m/us, half the signal speed rounded
inline constexpr double kMinBaselineAngle = 0.03;    // rad; below it the gradient is the marker
inline constexpr double kGradientMarker = 9999.0;    // m/us, shown for a nearly degenerate pair

// Iterative fixes.
inline constexpr double kConvergence = 0.1;  // metres: a correction below it ends the passes
inline constexpr int kTwoLopPassLimit = 20;
inline constexpr int kLsqPassLimit = 50;

// Matrix library: a pivot ratio below this fraction of the previous one
// flags the matrix as nearly singular.
inline constexpr double kNearSingular = 1e-11;

// Coordinate text.
inline constexpr double kMaxLatitude = 90.0;    // degrees; a larger typed latitude is clamped
inline constexpr double kMaxLongitude = 180.0;  // degrees; a larger typed longitude is clamped
// Display form: seconds at or above this 32-bit value (59.999900817871094)
// are a whole minute whatever the number of decimals.
inline constexpr float kSecondsGuard = 59.9999f;

// Chart.
inline constexpr double kMetresPerNauticalMile = 1852.0;
// Standard deviation of an observed TD, microseconds, when the user sets
// none: a typical short-term repeatability of a Loran-C receiver. For scale,
// ten months of measurements in Indiana found RMS TD errors of 0.2 us or
// less, which include the seasonal propagation changes a single fix does
// not see ("Experimentally determined accuracy and stability of Loran C
// signals for land vehicle location",
// scilit.com/publications/45f91a3ecc346af0601df8491e3cbbae).
inline constexpr double kDefaultTdSigma = 0.1;
// Semi-axes of the 95 % error ellipse in standard deviations: the square
// root of the chi-square quantile of two degrees of freedom, sqrt(-2 ln 0.05).
inline constexpr double kEllipse95Scale = 2.447746830680816;
// LOP tracing: the TD a traced point must predict (us), the Newton passes
// allowed per point, the largest turn between two steps (radians), and the
// gradient below which the LOP is too close to a baseline extension to
// follow (range difference per metre: 2 sin(alpha/2) for the angle alpha
// between the stations seen from the point).
inline constexpr double kTraceTdTolerance = 1e-5;
inline constexpr int kTraceNewtonPasses = 8;
inline constexpr int kTraceStartPasses = 32;  // from a start far off the line
inline constexpr int kTraceHalvings = 10;     // of a step that turned too far
inline constexpr double kTraceMaxTurn = 0.15;
inline constexpr double kTraceMinGradient = 0.03;
// A LOP is traced across a view in steps of this many pixels inside it,
// growing by this fraction of the distance outside it, up to this many view
// diagonals beyond its edges (and this many points each way).
inline constexpr double kTraceStepPixels = 4.0;
inline constexpr double kTraceStepGrowth = 0.5;
inline constexpr double kTraceReach = 0.5;
inline constexpr int kTracePointsEachWay = 4000;
// The chart ends this close to a pole (degrees), where Mercator stretches without bound.
inline constexpr double kChartMaxLatitude = 85.0;
// Two LOPs whose normal matrix has a determinant below this fraction of the
// product of its diagonal are parallel: their fix has no ellipse.
inline constexpr double kParallelLops = 1e-12;
// Coastline levels of detail: the finest simplification tolerance (radians
// of longitude and isometric latitude, about 60 m at 60°N), the ratio from
// one level to the next and the number of simplified levels; a view draws
// the coarsest level whose tolerance is within this many pixels (a filled
// shore moves by less than that), and cuts the land this many pixels
// outside its edges.
inline constexpr double kCoastFinestTolerance = 2e-5;
inline constexpr double kCoastLevelRatio = 3.0;
inline constexpr int kCoastLevels = 7;
inline constexpr double kCoastPixelTolerance = 1.5;
inline constexpr double kCoastClipMargin = 4.0;
// A chart view spans between these plane metres per pixel.
inline constexpr double kMinMetresPerPixel = 0.01;
inline constexpr double kMaxMetresPerPixel = 1e5;
// Mercator: the isometric latitude is inverted until a step is below this (radians).
inline constexpr double kMercatorTolerance = 1e-14;

}  // namespace kestrune::constants

namespace kestrune::constants {

// Files read whole. A catalogue, calibration or setup file holds a line per
// station or LOP, a few kilobytes; this limit leaves room for any real one
// and keeps a mistaken file (a logbook, an image) from being taken in.
inline constexpr unsigned long kMaxTableFileBytes = 1ul << 20;  // bytes
// The fixes kestrune-chart reads, about 40 bytes each: a million fixes with
// long labels.
inline constexpr unsigned long kMaxChartInputBytes = 256ul << 20;  // bytes

// The largest ASF offset taken, microseconds. Measured offsets are a few
// microseconds, ten or so over long land paths; a cycle slip of the receiver
// moves a TD by 10 us. Beyond this the figure is a typing slip or the TD of
// another chain, and a fix with it is meaningless.
inline constexpr double kMaxTdOffset = 100.0;
// A chain's group repetition interval is its GRI in tens of microseconds.
inline constexpr double kMicrosecondsPerGriUnit = 10.0;

}  // namespace kestrune::constants

namespace kestrune::constants {

// Coverage of a set of LOPs: where every station of the LOPs is within the
// ground-wave reach and every LOP's gradient is at most the limit.
// 1000 nautical miles is the order of the daytime ground-wave range of the
// 250 to 400 kW NELS transmitters over seawater; beyond it the signal is
// too weak for a reliable TD. 1000 m/us keeps the LOP error of a TD read to
// the 0.1 us a logbook keeps within 100 m; near the baseline extensions the
// gradient grows without bound.
inline constexpr double kGroundWaveReach = 1852000.0;   // metres
inline constexpr double kCoverageMaxGradient = 1000.0;  // metres per microsecond
// The grid of predicted TDs the crossing search scans: about 28 km by 23 km
// at 65 N, fine enough to separate the two crossings of a pair of LOPs.
inline constexpr double kCoverageGridLatStep = 0.25;  // degrees
inline constexpr double kCoverageGridLonStep = 0.5;   // degrees
// A sphere of the mean earth radius bounds the grid; the ellipsoid decides
// every node.
inline constexpr double kMeanEarthRadius = 6371008.8;  // metres
// Fixes closer than this are one crossing.
inline constexpr double kCrossingSeparation = 1000.0;  // metres
// The least-misfit grid nodes tried as starts of a least-squares fix.
inline constexpr int kLeastMisfitStarts = 3;

}  // namespace kestrune::constants
