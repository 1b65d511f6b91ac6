// The additional secondary factor (ASF) predicted from land and sea by
// Millington's method: the geodesic from a station to a position is cut
// into sections of one ground each (land or sea from the shipped coastline,
// or the ground of a conductivity region), and the phase of the mixed path
// is the mean of the forward and reverse sums of the homogeneous curves
// over the sections (Millington 1949; ITU-R P.368). The ASF is that phase
// less the all-seawater phase of the same model, so an all-sea path has
// none. Terrain height, seasons, buildings and the ground below the surface
// layer are outside the method.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "loran/catalogue.hpp"
#include "loran/coastline.hpp"
#include "loran/groundwave.hpp"
#include "loran/types.hpp"

namespace kestrune::loran {

// A region of its own ground: polygons (radians, even-odd rule) and their
// constants. Where regions overlap the first one read wins.
struct GroundRegion {
  std::vector<std::vector<GeoPoint>> rings;
  GroundConstants ground;
};

// The regions of a conductivity file, or why it cannot be read (one line).
struct GroundRegionsRead {
  std::vector<GroundRegion> regions;
  std::string problem;
};
// The conductivity file: a text file (UTF-8, '#' starts a comment) of
// regions, each a line "region SIGMA EPSILON" (S/m in (0, 100], relative
// permittivity in [1, 100]) followed by at least three lines "LAT LON" of
// its polygon (decimal degrees, WGS 84, closed by itself); a further
// "region" line starts the next polygon, "ring" a hole or another part of
// the same region. A regular file of at most kConductivityFileLimit bytes.
GroundRegionsRead ReadGroundRegions(const std::string& path);
GroundRegionsRead ParseGroundRegions(const std::string& text);

// One stretch of a path over one ground.
struct PathSection {
  double start = 0.0;  // metres from the path's start
  double end = 0.0;    // metres from the path's start, > start
  int ground = 0;      // index into AsfModel::Grounds()
};

// The grounds and coastline of the model.
struct AsfModelSettings {
  GroundConstants sea{5.0, 80.0};
  GroundConstants land{0.001, 15.0};  // ITU-R P.368 medium dry ground
  std::vector<GroundRegion> regions;
};

class AsfModel {
 public:
  // mask: land and sea; null takes every point for sea. Builds the curves of
  // every ground once.
  AsfModel(std::shared_ptr<const LandMask> mask, AsfModelSettings settings);

  // Ground 0 is the sea, 1 the land, then one per region.
  const std::vector<GroundConstants>& Grounds() const { return grounds_; }
  const GroundwaveTable& Table(int ground) const {
    return tables_[static_cast<std::size_t>(ground)];
  }

  // The sections along the geodesic from `from` to `to` (at most the table
  // reach apart). The ground is sampled every kAsfSampleStep metres at most
  // and each change is placed by bisection to 1/64 of the step.
  std::vector<PathSection> Sections(GeoPoint from, GeoPoint to) const;
  // The mixed-path secondary phase (us, without the induction term every
  // ground shares) of consecutive sections from 0 to the path's length.
  double MillingtonPhase(const std::vector<PathSection>& sections) const;
  // The ASF of the path (us): mixed phase less the all-sea phase.
  double Asf(const std::vector<PathSection>& sections) const;
  double Asf(GeoPoint station, GeoPoint at) const;

 private:
  int GroundAt(GeoPoint at) const;
  std::shared_ptr<const LandMask> mask_;
  std::vector<GroundRegion> regions_;
  std::vector<GroundConstants> grounds_;
  std::vector<GroundwaveTable> tables_;
};

// The ASF of one station over an area, computed exactly at the nodes of a
// grid (kAsfGridLatStep by kAsfGridLonStep degrees) as they are first needed and read between
// them bilinearly: a fix asks at many nearby positions. Safe to use from
// several threads at once.
class AsfField {
 public:
  AsfField(std::shared_ptr<const AsfModel> model, GeoPoint station);
  double At(GeoPoint at) const;

 private:
  double Node(std::int64_t row, std::int64_t col) const;
  std::shared_ptr<const AsfModel> model_;
  GeoPoint station_;
  mutable std::mutex mutex_;
  mutable std::unordered_map<std::int64_t, double> nodes_;
};

// The ASF fields of every station of a catalogue.
class CatalogueAsf {
 public:
  CatalogueAsf(std::shared_ptr<const AsfModel> model, const Catalogue& catalogue);
  // The ASF of a LOP at `at` (us): the secondary's less the master's, what
  // the model adds to the all-seawater TD.
  double LopAsf(const Lop& lop, GeoPoint at) const;
  // The same from the model's two paths to `at` without the grid: cheaper
  // for positions spaced wider than the grid's nodes, which share none.
  double ExactLopAsf(const Lop& lop, GeoPoint at) const;
  const AsfModel& Model() const { return *model_; }

 private:
  std::shared_ptr<const AsfModel> model_;
  std::vector<GeoPoint> stations_;                 // by station index
  std::vector<std::unique_ptr<AsfField>> fields_;  // by station index
};

// A fix with the model's ASF taken off every TD.
struct AsfFix {
  bool converged = false;
  GeoPoint fix;                   // radians
  std::vector<Lop> lops;          // the TDs the last fix took: observed less the ASF
  std::vector<double> asf;        // us, by LOP, at the fix
  std::vector<double> residuals;  // us, predicted - corrected observed TD at the fix
  std::string problem;            // why not converged
};
// lops: 2 to 7 LOPs, their TDs already less any offset; first: the fix of
// the same TDs without the ASF. The ASF at the fix comes off the TDs and the
// fix is taken again from there (the crossing for two LOPs, least squares
// for more), until the ASF moves by less than kAsfFixTolerance, at most
// kAsfFixPasses times.
AsfFix FixWithAsf(const Catalogue& catalogue, std::span<const Lop> lops, GeoPoint first,
                  const CatalogueAsf& asf);

}  // namespace kestrune::loran
