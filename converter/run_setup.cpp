// The catalogue, offsets and datum of a run.
#include "converter/run_setup.hpp"

#include <cmath>
#include <list>
#include <mutex>

#include "converter/asf_model.hpp"
#include "converter/conversion.hpp"
#include "loran/catalogue_file.hpp"
#include "platform/files.hpp"
#include "util/constants.hpp"
#include "util/output_text.hpp"
#include "util/strict_number.hpp"

namespace kestrune::convert {

namespace {

// A catalogue or calibration file: a regular file of bounded size, so that
// a FIFO, a device or a huge file is one line, never a hang.
std::string ReadFile(const std::string& path, const char* what) {
  files::FileText read = files::ReadRegularFile(path, constants::kMaxTableFileBytes);
  if (!read.error.empty()) {
    throw UsageError(std::string("cannot read the ") + what + " '" + path + "': " + read.error);
  }
  return std::move(read.text);
}

bool SameStations(const loran::Catalogue& a, const loran::Catalogue& b) {
  if (a.Size() != b.Size()) return false;
  for (int i = 0; i < a.Size(); ++i) {
    const loran::Station& s = a.At(i);
    const loran::Station& t = b.At(i);
    if (s.gri != t.gri || s.designator != t.designator || s.name != t.name ||
        !(s.position == t.position) || s.emissionDelay != t.emissionDelay) {
      return false;
    }
  }
  return true;
}

// Catalogues are kept for the whole process, one per distinct station table:
// the coverage grids are kept by catalogue address, and a later run must not
// find the grid of another catalogue at a reused address.
const loran::Catalogue* Interned(loran::Catalogue catalogue) {
  static std::mutex mutex;
  static std::list<loran::Catalogue> kept;
  std::lock_guard<std::mutex> lock(mutex);
  if (SameStations(catalogue, loran::NelsCatalogue())) return &loran::NelsCatalogue();
  for (const loran::Catalogue& c : kept) {
    if (SameStations(c, catalogue)) return &c;
  }
  return &kept.emplace_back(std::move(catalogue));
}

}  // namespace

const loran::Datum& RunSetup::Ed50For(loran::GeoPoint at) const {
  return datum.epsg != 0 ? *loran::Ed50(datum.epsg) : loran::Ed50At(at);
}

loran::GeoPoint RunSetup::ToWgs84(loran::GeoPoint read) const {
  return datum.ed50 ? loran::ToWgs84(Ed50For(read), read) : read;
}

loran::GeoPoint RunSetup::FromWgs84(loran::GeoPoint wgs84) const {
  return datum.ed50 ? loran::FromWgs84(Ed50For(wgs84), wgs84) : wgs84;
}

RunSetup LoadRunSetup(const Options& o) {
  RunSetup s;
  s.datum = o.datum;
  if (!o.catalogue && !o.date) {
    s.catalogue = &loran::NelsCatalogue();  // the windows' own, digit for digit
  } else {
    std::vector<loran::ChainVersion> versions;
    std::string what = o.catalogue ? "'" + *o.catalogue + "'" : "the built-in catalogues";
    if (!o.catalogue || *o.catalogue == "nels") versions = loran::BuiltInNels();
    if (!o.catalogue || *o.catalogue == "historical") {
      versions.insert(versions.end(), loran::BuiltInHistorical().begin(),
                      loran::BuiltInHistorical().end());
    }
    if (o.catalogue && *o.catalogue != "nels" && *o.catalogue != "historical") {
      const loran::CatalogueRead read =
          loran::ReadCatalogueText(ReadFile(*o.catalogue, "catalogue"));
      if (!read.error.empty()) throw UsageError(*o.catalogue + ": " + read.error);
      versions = read.chains;
    }
    loran::Catalogue selected = loran::SelectCatalogue(versions, o.date);
    if (selected.Size() == 0) {
      throw UsageError("no chain of " + what + " was on air on " + loran::DateText(*o.date));
    }
    s.catalogue = Interned(std::move(selected));
  }

  s.offsets.resize(static_cast<std::size_t>(s.catalogue->Size()));
  if (o.calibrationFile) {
    s.calibrationFile = *o.calibrationFile;
    const loran::CalibrationRead read =
        loran::ReadCalibrationText(ReadFile(*o.calibrationFile, "calibration file"), *s.catalogue);
    if (!read.error.empty()) throw UsageError(*o.calibrationFile + ": " + read.error);
    for (std::size_t i = 0; i < read.offsets.size(); ++i) {
      s.offsets[static_cast<std::size_t>(read.offsets[i].secondary)] =
          GivenOffset{read.offsets[i].offset, read.lines[i]};
    }
    s.area = read.area;
  }
  // An --offset overrides the calibration file's offset of its LOP.
  for (const auto& [name, value] : o.offsets) {
    const std::optional<loran::Lop> lop = loran::LopNamed(*s.catalogue, name);
    if (!lop) throw UsageError("--offset " + name + "=" + value + ": no station " + name);
    const auto n = text::ReadStrictNumber(value, {o.decimal, false, text::MicrosecondUnits()});
    if (!n || !std::isfinite(n->value)) {
      throw UsageError("--offset " + name + "=" + value + ": '" + value +
                       "' is not a number of microseconds");
    }
    if (!(std::fabs(n->value) <= constants::kMaxTdOffset)) {
      throw UsageError("--offset " + name + "=" + value + ": '" + value + "' is outside \xC2\xB1" +
                       text::FixedText(constants::kMaxTdOffset, 0) + " \xC2\xB5s");
    }
    s.offsets[static_cast<std::size_t>(lop->secondary)] = GivenOffset{n->value, 0};
  }
  s.asf = LoadCatalogueAsf(o.asf, *s.catalogue);
  return s;
}

}  // namespace kestrune::convert
