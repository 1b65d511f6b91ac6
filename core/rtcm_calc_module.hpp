// The Loran-C computation core: WGS 84 geodesic distance and azimuth,
// propagation time and TD prediction, the two-LOP fix, the weighted
// least-squares fix with its GDOP, and the geometry of LOPs.
//
// Angles are radians (latitude north positive, longitude east positive),
// distances and corrections metres, times and TDs microseconds. Station
// indices name entries 0 to 14 of Global_Module::StationTable; LOP numbers
// name elements 1 to NoOfLops of LopTable. A division by zero, an overflow,
// an invalid operation or an index outside its range throws RuntimeFault
// (11, 6, 5, 9) before any result is written.
#pragma once

#include <cstdint>

#include "chain_setup/global_module.hpp"

namespace kestrune::RTCM_Calc_Module {

// A list indexed by LOP number 0 to 7 (element 0 unused).
using LopList = Global_Module::CheckedArray<double, Global_Module::kLopCapacity>;

// Distance (metres, >= 0) on the WGS 84 ellipsoid from point 1 to point 2 by
// the Sodano series to second order in the flattening, and the azimuth at
// point 1 (radians clockwise from north, [0, 2pi)) in which the distance to
// point 2 grows: the forward azimuth plus pi. Arcs longer than a quarter of a
// great circle are unfolded; the east/west side is taken the short way round
// across the 180th meridian. Longitudes within [-pi, pi], latitudes within
// [-pi/2, pi/2]. Coincident points give 0 and pi; antipodal points (a
// vanishing sine of the arc) and a forward azimuth due east or west to the last
// bit divide by zero (11).
void GeoDistAz(double lat1, double lon1, double lat2, double lon2, double& distance,
               double& azimuth);

// Arcsine (radians, [-pi/2, pi/2]) of x in [-1, 1]. Outside it shows
// "ARCSINUS DATA ERROR" and throws RuntimeFault 5, which aborts the running
// calculation.
double ArcSin(double x);

// Travel time (microseconds) over an all-seawater path of `distance` metres:
// primary phase plus the secondary phase correction (far formula above a
// primary phase of 537 us). A distance of 0 is a division by zero.
double PropTime(double distance);

// Predicted TD (us) of secondary against master at (lat, lon), with both
// stations' distances (m), azimuths (rad) and travel times (us).
void CalcTD(double lat, double lon, std::int16_t masterIndex, std::int16_t secondaryIndex,
            double& masterDistance, double& masterAzimuth, double& masterTime,
            double& secondaryDistance, double& secondaryAzimuth, double& secondaryTime, double& td);

// Linearisation of one LOP: east and north derivatives of the range
// difference (secondary - master, metres per metre) and the residual
// (predicted - observed TD) in metres. masterIndex is not used.
void TdPartials(double masterTime, double masterAzimuth, double secondaryTime,
                double secondaryAzimuth, double observedTd, std::int16_t masterIndex,
                std::int16_t secondaryIndex, double& gradEast, double& gradNorth,
                double& rangeResidual);

// Crossing of two LOPs by Newton iteration from (startLat, startLon), at most
// 20 passes. On success writes fixLat, fixLon and the angle of cut (radians,
// [0, pi)); on failure shows the "More then 20 iterations" message with the
// title "Position Calculation Error" and leaves them; passes is then 20.
void TwoLopFix(double startLat, double startLon, double td1, double td2, std::int16_t m1,
               std::int16_t s1, std::int16_t m2, std::int16_t s2, double& fixLat, double& fixLon,
               std::int16_t& passes, double& cut);

// Weighted least-squares fix of LOPs 1 to NoOfLops from (startLat, startLon),
// at most 50 passes. observedTd and weight are indexed by LOP number. On
// success writes fixLat, fixLon and residual(i) = predicted - observed TD
// (us) at the fix; on failure shows the "More then 50 iterations" message,
// sets failed = -1 and leaves them. passes counts from 1.
void LsqFix(double startLat, double startLon, const LopList& observedTd, double& fixLat,
            double& fixLon, const LopList& weight, LopList& residual, std::int16_t& passes,
            std::int16_t& failed);

// GDOP of LOPs 1 to NoOfLops from the secondaries' stored azimuths; 0.0 when
// it cannot be computed after the inversion.
double LsqGdop();

// Hyperbolic azimuth (degrees, 0 to 180) and gradient (metres per
// microsecond, 32-bit; 9999 when master and secondary lie within 0.03 rad of
// one direction) of a LOP at (lat, lon). td is passed on and does not matter.
void LopAzGradient(double lat, double lon, std::int16_t masterIndex, std::int16_t secondaryIndex,
                   double td, double& hypAzimuth, float& gradient);

// GDOP of a pair of LOPs from the azimuths (radians) of master and secondary
// of the first LOP, then of the second.
double TwoLopGdop(double azA1, double azB1, double azA2, double azB2);

// North and east offset (metres, 32-bit) of point 2 from point 1 (radians).
void LatLonDiffToNE(double lat1, double lon1, double lat2, double lon2, float& north, float& east);

}  // namespace kestrune::RTCM_Calc_Module
