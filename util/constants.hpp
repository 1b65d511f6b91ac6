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

// WGS 72 ellipsoid, of the station positions the US Defense Mapping Agency
// published for the chains before WGS 84.
inline constexpr double kWgs72A = 6378135.0;     // semi-major axis, metres
inline constexpr double kWgs72F = 1.0 / 298.26;  // flattening

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

// Coverage of a set of LOPs, as the Loran-C service defines it: where the
// fix's 95 % accuracy is a quarter of a nautical mile or better (the
// predictable accuracy of 0.25 nmi the US Federal Radionavigation Plan and
// the US Coast Guard Loran-C User Handbook, COMDTPUB P16562.6, state for the
// coverage area; docs/convert.md), within the reach of every station's
// ground wave. The accuracy is 2drms, the FRP's 95 % measure, from the
// fix's error ellipse at the TD standard deviation of the row.
// 1000 nautical miles is the order of the daytime ground-wave range of the
// 250 to 400 kW NELS transmitters over seawater; beyond it the signal is
// too weak for a reliable TD.
inline constexpr double kGroundWaveReach = 1852000.0;  // metres
inline constexpr double kCoverageAccuracy = 463.0;     // metres, 2drms: 0.25 nmi
// The grid of predicted TDs the crossing search scans: about 28 km by 23 km
// at 65 N, fine enough to separate the two crossings of a pair of LOPs.
inline constexpr double kCoverageGridLatStep = 0.25;  // degrees
inline constexpr double kCoverageGridLonStep = 0.5;   // degrees
// A sphere of the mean earth radius bounds the grid; the ellipsoid decides
// every node.
inline constexpr double kMeanEarthRadius = 6371008.8;  // metres
// Fixes closer than this are one crossing.
inline constexpr double kCrossingSeparation = 1000.0;  // metres
// The least-misfit grid nodes tried as starts of a least-squares fix, least
// first, until one gives a consistent fix inside the coverage: near a
// station the nearest minima can all lead to a wrong local minimum.
inline constexpr int kLeastMisfitStarts = 6;
// The most two-LOP fixes one crossing search starts, however many cells
// nearly parallel LOPs share: the likeliest cells go first.
inline constexpr int kMaxCrossingStarts = 48;
// Cells (each way) around a crossing found whose starts would lead to it
// again and are skipped; a second crossing nearer than that is one crossing
// to the search.
inline constexpr double kFoundCrossingCells = 1.0;

// Consistency of a least-squares fix. The residuals of n LOPs, each divided
// by the standard deviation of what the fix does not model (an uncorrected
// ASF of about a microsecond near a coast dominates a reading's 0.1 us),
// have a sum of squares that follows the chi-square law of n - 2 degrees of
// freedom; past its 99.9 % quantile the TDs do not belong to one position
// (a mistyped digit, TDs noted under the wrong chain). A mistyped hundreds
// digit leaves residuals of tens of microseconds, far beyond.
inline constexpr double kDefaultResidualSigma = 1.0;  // microseconds
// The 99.9 % quantiles of chi-square for 1 to 5 degrees of freedom (3 to 7
// LOPs), from the inverse of the regularised incomplete gamma function.
inline constexpr double kChiSquare999[] = {10.828, 13.816, 16.266, 18.467, 20.515};

// --complete-digits: a TD completes to the value nearest the prediction at
// the start only when the next candidate is at least this many times as far;
// otherwise the start is too far off to tell them apart (the two are one
// place apart, so the start must be within a quarter of it).
inline constexpr double kCompletionRatio = 3.0;

// Calibration screening. A known point whose TD differs from the prediction
// there by more than this (us) is refused: ASFs of seawater and coastal
// paths are a few microseconds, so such a difference is a misread TD, a
// wrong position or a wrong chain, which would spoil every offset.
inline constexpr double kKnownTdBound = 20.0;
// Outliers among the points left: a difference from the median beyond this
// many robust standard deviations (1.4826 times the median absolute
// deviation, which a few bad points do not move), and never closer than the
// floor, the 0.1 us a logbook keeps.
inline constexpr double kOutlierDeviations = 5.0;
inline constexpr double kMadToSigma = 1.4826;
inline constexpr double kOutlierFloor = 0.1;  // microseconds

// Tables of the R and Python bindings.
// A chain catalogue file is a few kilobytes; anything past this is not one.
inline constexpr long kMaxCatalogueFileBytes = 1L << 20;
// LOPs a row of a table may name (the most a least-squares fix takes).
inline constexpr int kMaxTableLops = 7;
// Decimals of the degrees written with a coordinate text: seconds to 0.001.
inline constexpr int kPositionTextDecimals = 3;
// A cell quoted in a status: at most this many bytes.
inline constexpr int kQuotedCellBytes = 40;
// Rows each worker thread of a table takes at least: a row takes some ten
// microseconds, starting a thread about as long as a few rows.
inline constexpr int kRowsPerThread = 256;

}  // namespace kestrune::constants

namespace kestrune::constants {

// A chart of a list of fixes (a converted logbook): at most this many fixes
// are labelled, the first in the list whose label has room, and a fix whose
// point falls in a square of this many pixels that holds a point already
// drawn is not drawn again (the point, 8 pixels across, covers it). A chart
// of any number of fixes is then bounded by its size in pixels.
inline constexpr int kMaxLabelledFixes = 1000;
inline constexpr double kFixThinningPixels = 2.0;

}  // namespace kestrune::constants

namespace kestrune::constants {

// The ground wave over a smooth homogeneous earth (loran/groundwave.cpp):
// the Loran-C carrier, the free-space constants of NTIA's LF/MF ground-wave
// program (LFMF, the method behind ITU-R P.368), and the surface refractive
// index at which the primary phase is reckoned (c / kSignalSpeed).
inline constexpr double kLoranFrequency = 100000.0;                                  // Hz
inline constexpr double kVacuumLightSpeed = 299792458.0;                             // m/s
inline constexpr double kVacuumPermittivity = 8.854187817e-12;                       // F/m
inline constexpr double kFreeSpaceImpedance = 119.9169832 * 3.14159265358979323846;  // ohm
inline constexpr double kSurfaceRefractiveIndex = 1.000338;
// The effective earth radius of the ground-wave curves (metres): 1.243 times
// 6370 km, a refractivity gradient of -31 N-units/km. It is the radius with
// which the seawater curve (5 S/m, epsilon 80) stays closest to the secondary
// phase formula above from 20 to 3000 km (largest difference 0.017 us; with
// the 4/3 earth of the standard atmosphere it would be 0.28 us at 3000 km).
inline constexpr double kGroundwaveEarthRadius = 7918000.0;
// NTIA's validation runs: a_e = a0 / (1 - 0.04665 exp(0.005577 Ns)) with
// a0 = 6370 km and the surface refractivity Ns = 315 N-units.
inline constexpr double kNtiaEarthRadius = 6370000.0;
inline constexpr double kNtiaRefractivityA = 0.04665;
inline constexpr double kNtiaRefractivityB = 0.005577;
inline constexpr double kNtiaSurfaceRefractivity = 315.0;
// The stated transmitter: 1 kW radiated by a short vertical monopole over
// perfect ground (gain 3, 4.77 dBi), 300 mV/m at 1 km.
inline constexpr double kStatedPower = 1000.0;  // W
inline constexpr double kMonopoleGain = 3.0;
// The flat earth with curvature correction serves below 80 f^(-1/3) km (f in
// MHz; ITU-R Handbook on ground-wave propagation, eq. 15), the residue
// series beyond. |q| below kSmallQ takes the power series in q sqrt(x) of
// NTIA Report 99-368 eq. 28-30, above it eq. 31.
inline constexpr double kHandoverKm = 80.0;
// The flat-earth phase is followed out from the source in this many steps
// (each turns by well under half a cycle on any ground).
inline constexpr int kFlatEarthPhaseSteps = 8;
inline constexpr double kSmallQ = 0.1;
// The first ten zeros of Ai' (DLMF table 9.9.1, ten decimals); beyond them
// the asymptotic form DLMF 9.9.7 with three terms is good to 1e-9.
inline constexpr double kAiryPrimeZeros[] = {
    -1.0187929716, -3.2481975822, -4.8200992112,  -6.1633073556,  -7.3721772550,
    -8.4884867340, -9.5354490524, -10.5276603970, -11.4750666335, -12.3847883718};
inline constexpr double kAiryPrimeAsymptotic1 = 7.0 / 48.0;
inline constexpr double kAiryPrimeAsymptotic2 = 35.0 / 288.0;
// Residue series: at most this many roots, ended when a term is below this
// fraction of the sum; Runge-Kutta steps along q for each root.
inline constexpr int kResidueTermLimit = 400;
inline constexpr double kResidueTolerance = 1e-12;
inline constexpr int kRiccatiSteps = 400;
// The Faddeeva function: its Taylor series inside this radius, the Laplace
// continued fraction of this depth outside it.
inline constexpr double kFaddeevaSeriesRadius = 3.0;
inline constexpr int kFaddeevaFractionDepth = 200;
inline constexpr int kFaddeevaSeriesTerms = 200;
// The tabulated curves: entries equally spaced in the square root of the
// distance, this many sqrt(metres) apart (0.5 km apart at 4000 km, closer
// near the transmitter, where the flat-earth phase grows as sqrt(d)), out to
// kGroundwaveTableReach metres, read by cubic interpolation.
inline constexpr double kGroundwaveTableSqrtStep = 0.125;
inline constexpr double kGroundwaveTableReach = 4000000.0;
// The coastline file may be at most this many bytes (the shipped one is
// about 107 KB); the land mask's cells are this many degrees square.
inline constexpr unsigned long long kCoastlineFileLimit = 64ull << 20;
inline constexpr double kLandMaskCell = 0.05;
// Millington's method: the ground along a path is sampled every
// kAsfSampleStep metres at most, and a change of ground placed by this many
// bisections (1000 m / 2^6, 16 m); the path's points are exact every
// kAsfNodeSpacing metres and linear in latitude and longitude between.
inline constexpr double kAsfSampleStep = 1000.0;
inline constexpr int kAsfBisections = 6;
inline constexpr double kAsfNodeSpacing = 20000.0;
// A fix reads the ASF of a station bilinearly between grid nodes this many
// degrees of latitude and of longitude apart (1.1 km by 1.0 km at 63 N);
// kAsfGridColumns numbers the nodes.
inline constexpr double kAsfGridLatStep = 0.01;
inline constexpr double kAsfGridLonStep = 0.02;
inline constexpr long long kAsfGridColumns = 100000;
// A fix with the ASF model is taken again until the ASF moves by less than
// this (us; 0.3 m of range), at most this many times.
inline constexpr double kAsfFixTolerance = 1e-3;
inline constexpr int kAsfFixPasses = 8;
// A conductivity file may hold at most this many bytes and points a ring.
inline constexpr unsigned long long kConductivityFileLimit = 16ull << 20;
inline constexpr unsigned long long kConductivityPointLimit = 1000000;

// The chart's ASF layer: the ASF is sampled every kAsfContourCellPixels
// pixels of the view (61 by 41 nodes at 900 x 600, each a bilinear read of
// the station fields), contoured at a round interval giving at most
// kAsfMaxContourLevels levels, none for a field flatter than kAsfFlatField
// us; a contour shorter than kAsfLabelMinPixels in the view is not labelled.
inline constexpr double kAsfContourCellPixels = 15.0;
inline constexpr int kAsfMaxContourLevels = 12;
inline constexpr double kAsfFlatField = 1e-6;
inline constexpr double kAsfLabelMinPixels = 80.0;
// Layer nodes more than this many ground metres apart (the station fields'
// node spacing of 0.01 degree of latitude) take the model's paths directly.
inline constexpr double kAsfExactLayerCell = 1112.0;

}  // namespace kestrune::constants
