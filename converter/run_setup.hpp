// What a run works with besides its rows: the chain catalogue (the windows'
// by default, or chosen by file and date), the ASF offsets given once, the
// area of the calibration they came from, and the datum positions are read
// and written on. Settled once before the first row; a problem with any of
// them stops the run with one line naming the file and the line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <memory>

#include "converter/options.hpp"
#include "loran/asf.hpp"
#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/datum.hpp"
#include "loran/types.hpp"

namespace kestrune::convert {

// A LOP's offset given once, and where it was given.
struct GivenOffset {
  double offset = 0.0;  // us, added to the predicted TD
  int fileLine = 0;     // its line in the calibration file; 0 for --offset
};

struct RunSetup {
  // The catalogue every LOP name is looked up in; lives as long as the
  // process, so that a grid kept for it stays its own.
  const loran::Catalogue* catalogue = nullptr;
  // By station index of the secondary; none for a LOP without one.
  std::vector<std::optional<GivenOffset>> offsets;
  std::string calibrationFile;                 // empty: no calibration file
  std::optional<loran::CalibrationArea> area;  // of the calibration file
  DatumChoice datum;
  std::shared_ptr<const loran::CatalogueAsf> asf;  // null without --asf model

  // The ED50 transformation of a position (radians, WGS 84 or ED50: the
  // choice by position does not change within a few hundred metres).
  const loran::Datum& Ed50For(loran::GeoPoint at) const;
  // A position as read (on the chosen datum) on WGS 84, and back.
  loran::GeoPoint ToWgs84(loran::GeoPoint read) const;
  loran::GeoPoint FromWgs84(loran::GeoPoint wgs84) const;
};

// Reads the catalogue and calibration files the options name and checks the
// --offset texts. Throws UsageError.
RunSetup LoadRunSetup(const Options& options);

}  // namespace kestrune::convert
