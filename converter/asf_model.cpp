// The ASF model of a run and the groundwave and asf commands.
#include "converter/asf_model.hpp"

#include <limits.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "converter/conversion.hpp"
#include "loran/groundwave.hpp"
#include "util/constants.hpp"
#include "util/strict_number.hpp"

namespace kestrune::convert {

namespace {

std::optional<double> Number(const std::string& text) {
  const auto n = text::ReadStrictNumber(text, {text::DecimalMark::kPoint, false, {}});
  if (!n || !std::isfinite(n->value)) return std::nullopt;
  return n->value;
}

std::string Figure(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string General(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

// The folder of the running program, for the coastline installed beside it.
std::string ProgramDir() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  std::string dir(self, static_cast<std::size_t>(n));
  return dir.substr(0, dir.find_last_of('/'));
}

std::string CoastlinePath() {
  return loran::FindCoastlineFile(ProgramDir());
}

std::string Atmosphere() {
  const loran::GroundwaveSettings s = loran::LoranGroundwaveSettings();
  return "frequency " + General(s.frequency) + " Hz, effective earth radius " +
         General(s.earthRadius) + " m, refractive index " + General(s.refractiveIndex);
}

std::string Ground(const loran::GroundConstants& g) {
  return "sigma " + General(g.conductivity) + " S/m epsilon " + General(g.permittivity);
}

}  // namespace

std::string TakeAsfOptions(std::vector<std::string>& args, AsfOptions& asf) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool ours =
        a == "--asf" || a == "--conductivity" || a == "--land-sigma" || a == "--land-epsilon";
    if (!ours) {
      rest.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return "option " + a + " needs a value";
    const std::string& v = args[++i];
    if (a == "--asf") {
      if (v != "model" && v != "none") return "--asf must be model or none, not '" + v + "'";
      asf.model = v == "model";
    } else if (a == "--conductivity") {
      asf.conductivityFile = v;
    } else if (a == "--land-sigma") {
      asf.landSigma = Number(v);
      if (!asf.landSigma || !(*asf.landSigma > 0.0 && *asf.landSigma <= 100.0)) {
        return "--land-sigma must be S/m above 0, at most 100, not '" + v + "'";
      }
    } else {
      asf.landEpsilon = Number(v);
      if (!asf.landEpsilon || !(*asf.landEpsilon >= 1.0 && *asf.landEpsilon <= 100.0)) {
        return "--land-epsilon must be a relative permittivity from 1 to 100, not '" + v + "'";
      }
    }
  }
  if (!asf.model && (asf.conductivityFile || asf.landSigma || asf.landEpsilon)) {
    return "--conductivity, --land-sigma and --land-epsilon go with --asf model";
  }
  args = std::move(rest);
  return "";
}

std::shared_ptr<const loran::AsfModel> LoadAsfModel(const AsfOptions& options) {
  const std::string path = CoastlinePath();
  if (path.empty()) throw UsageError("--asf model: coastline-nw-europe.bin not found");
  loran::CoastlineRead coast = loran::ReadCoastline(path);
  if (!coast.coast) throw UsageError("--asf model: " + coast.problem);
  loran::AsfModelSettings settings;
  if (options.landSigma) settings.land.conductivity = *options.landSigma;
  if (options.landEpsilon) settings.land.permittivity = *options.landEpsilon;
  if (options.conductivityFile) {
    loran::GroundRegionsRead regions = loran::ReadGroundRegions(*options.conductivityFile);
    if (!regions.problem.empty()) throw UsageError("--conductivity: " + regions.problem);
    settings.regions = std::move(regions.regions);
  }
  return std::make_shared<const loran::AsfModel>(
      std::make_shared<const loran::LandMask>(*coast.coast), std::move(settings));
}

std::shared_ptr<const loran::CatalogueAsf> LoadCatalogueAsf(const AsfOptions& options,
                                                            const loran::Catalogue& catalogue) {
  if (!options.model) return nullptr;
  return std::make_shared<const loran::CatalogueAsf>(LoadAsfModel(options), catalogue);
}

std::string AsfModelDescription(const AsfOptions& options, const loran::AsfModel& model) {
  const auto& g = model.Grounds();
  std::string text = "sea " + Ground(g[0]) + ", land " + Ground(g[1]);
  if (!options.landSigma && !options.landEpsilon) text += " (ITU-R P.368 medium dry ground)";
  if (options.conductivityFile) {
    text += ", " + std::to_string(g.size() - 2) + " regions of " + *options.conductivityFile;
  }
  return text + ", " + Atmosphere() + ", sample step " + General(constants::kAsfSampleStep) +
         " m, boundaries to " +
         General(constants::kAsfSampleStep / (1 << constants::kAsfBisections)) + " m, coastline " +
         CoastlinePath();
}

namespace {

const char* kGroundwaveUsage =
    "usage: kestrune-convert groundwave --sigma S --epsilon E --km D1,D2,...\n";
const char* kAsfUsage =
    "usage: kestrune-convert asf --station GRI+LETTER --at LAT LON [--conductivity FILE]\n"
    "                            [--land-sigma S --land-epsilon E]\n";

int Groundwave(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::optional<double> sigma, epsilon;
  std::vector<double> km;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kGroundwaveUsage, out);
      return 0;
    }
    if (i + 1 >= args.size()) {
      std::fprintf(err, "kestrune-convert: option %s needs a value\n%s", a.c_str(),
                   kGroundwaveUsage);
      return 2;
    }
    const std::string& v = args[++i];
    if (a == "--sigma") {
      sigma = Number(v);
    } else if (a == "--epsilon") {
      epsilon = Number(v);
    } else if (a == "--km") {
      std::size_t start = 0;
      while (start <= v.size()) {
        const std::size_t comma = std::min(v.find(',', start), v.size());
        const std::optional<double> d = Number(v.substr(start, comma - start));
        if (!d || !(*d > 0.0 && *d <= 20000.0)) {
          std::fprintf(err, "kestrune-convert: --km takes distances above 0, at most 20000\n");
          return 2;
        }
        km.push_back(*d);
        start = comma + 1;
      }
    } else {
      std::fprintf(err, "kestrune-convert: unknown option '%s'\n%s", a.c_str(), kGroundwaveUsage);
      return 2;
    }
  }
  if (!sigma || !epsilon || km.empty() || !(*sigma > 0.0 && *sigma <= 100.0) ||
      !(*epsilon >= 1.0 && *epsilon <= 100.0)) {
    std::fprintf(err,
                 "kestrune-convert: groundwave needs --sigma (S/m, above 0, at most 100), "
                 "--epsilon (1 to 100) and --km\n%s",
                 kGroundwaveUsage);
    return 2;
  }
  const loran::GroundConstants ground{*sigma, *epsilon};
  const loran::GroundwaveSettings settings = loran::LoranGroundwaveSettings();
  std::fprintf(out,
               "# smooth homogeneous earth: %s, %s; vertical dipole on the ground, 1 kW radiated "
               "by a short monopole (300 mV/m at 1 km); flat earth with curvature correction "
               "below %s km, residue series beyond; phase behind the primary phase, induction "
               "term included\n",
               Ground(ground).c_str(), Atmosphere().c_str(),
               Figure(loran::HandoverDistance(settings) / 1000.0, 3).c_str());
  std::fputs("km,method,secondary_phase_us,field_dbuvm,attenuation_db\n", out);
  for (double d : km) {
    const loran::GroundwavePoint p = loran::Groundwave(ground, d * 1000.0, settings);
    std::fprintf(out, "%s,%s,%s,%s,%s\n", General(d).c_str(),
                 p.method == loran::GroundwaveMethod::kFlatEarth ? "flat-earth" : "residue-series",
                 Figure(p.secondaryPhase, 4).c_str(), Figure(p.fieldStrength, 3).c_str(),
                 Figure(20.0 * std::log10(std::abs(p.attenuation)), 3).c_str());
  }
  return 0;
}

const loran::Station* StationNamed(const loran::Catalogue& catalogue, const std::string& name) {
  for (const loran::Station& s : catalogue.Stations()) {
    if (std::to_string(s.gri) + s.designator == name) return &s;
  }
  return nullptr;
}

int Asf(std::vector<std::string> args, std::FILE* out, std::FILE* err) {
  AsfOptions options;
  if (const std::string e = TakeAsfOptions(args, options); !e.empty()) {
    std::fprintf(err, "kestrune-convert: %s\n", e.c_str());
    return 2;
  }
  std::string station;
  std::optional<double> lat, lon;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kAsfUsage, out);
      return 0;
    }
    if (a == "--station" && i + 1 < args.size()) {
      station = args[++i];
    } else if (a == "--at" && i + 2 < args.size()) {
      lat = Number(args[i + 1]);
      lon = Number(args[i + 2]);
      i += 2;
    } else {
      std::fprintf(err, "kestrune-convert: unknown option or missing value '%s'\n%s", a.c_str(),
                   kAsfUsage);
      return 2;
    }
  }
  const loran::Station* s = StationNamed(loran::NelsCatalogue(), station);
  if (s == nullptr) {
    std::fprintf(err,
                 "kestrune-convert: --station '%s' is no NELS station (such as 9007M, 9007X)\n",
                 station.c_str());
    return 2;
  }
  if (!lat || !lon || !(std::fabs(*lat) <= 90.0) || !(std::fabs(*lon) <= 180.0)) {
    std::fprintf(err, "kestrune-convert: --at needs LAT LON in decimal degrees\n%s", kAsfUsage);
    return 2;
  }
  options.model = true;
  try {
    const std::shared_ptr<const loran::AsfModel> model = LoadAsfModel(options);
    const loran::GeoPoint at{constants::Radians(*lat), constants::Radians(*lon)};
    const std::vector<loran::PathSection> sections = model->Sections(s->position, at);
    std::fprintf(
        out, "# Millington's method from %s %s (%s %s) to %s %s along the WGS 84 geodesic: %s\n",
        station.c_str(), s->name.c_str(), Figure(constants::Degrees(s->position.lat), 6).c_str(),
        Figure(constants::Degrees(s->position.lon), 6).c_str(), General(*lat).c_str(),
        General(*lon).c_str(), AsfModelDescription(options, *model).c_str());
    std::fputs("section,from_km,to_km,ground,sigma,epsilon\n", out);
    for (std::size_t i = 0; i < sections.size(); ++i) {
      const loran::PathSection& p = sections[i];
      const loran::GroundConstants& g = model->Grounds()[static_cast<std::size_t>(p.ground)];
      const std::string kind = p.ground == 0   ? "sea"
                               : p.ground == 1 ? "land"
                                               : "region " + std::to_string(p.ground - 1);
      std::fprintf(out, "%zu,%s,%s,%s,%s,%s\n", i + 1, Figure(p.start / 1000.0, 3).c_str(),
                   Figure(p.end / 1000.0, 3).c_str(), kind.c_str(), General(g.conductivity).c_str(),
                   General(g.permittivity).c_str());
    }
    const double d = sections.back().end;
    const double mixed = model->MillingtonPhase(sections);
    const double sea = model->Table(0).Phase(d);
    std::fputs("path_km,mixed_phase_us,sea_phase_us,asf_us\n", out);
    std::fprintf(out, "%s,%s,%s,%s\n", Figure(d / 1000.0, 3).c_str(), Figure(mixed, 4).c_str(),
                 Figure(sea, 4).c_str(), Figure(model->Asf(sections), 4).c_str());
  } catch (const UsageError& e) {
    std::fprintf(err, "kestrune-convert: %s\n", e.what());
    return 2;
  } catch (const std::invalid_argument&) {
    std::fprintf(err, "kestrune-convert: the path is beyond the model's reach\n");
    return 2;
  }
  return 0;
}

}  // namespace

std::optional<int> RunModelCommand(const std::vector<std::string>& args, std::FILE* out,
                                   std::FILE* err) {
  if (args.empty()) return std::nullopt;
  if (args[0] == "groundwave") return Groundwave(args, out, err);
  if (args[0] == "asf") return Asf(args, out, err);
  return std::nullopt;
}

}  // namespace kestrune::convert
