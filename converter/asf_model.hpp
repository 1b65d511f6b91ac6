// The ASF model of a run, and the commands that show the model itself:
// `groundwave` (the homogeneous curves) and `asf` (one path's sections and
// its ASF), each with a header line naming every parameter so that anyone
// can check the figures against another implementation.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converter/asf_options.hpp"
#include "loran/asf.hpp"
#include "loran/catalogue.hpp"

namespace kestrune::convert {

// The model the options describe, with the shipped coastline. Throws
// UsageError for a coastline or conductivity file that cannot be read.
std::shared_ptr<const loran::AsfModel> LoadAsfModel(const AsfOptions& options);
// The same for every station of `catalogue`; null without --asf model.
std::shared_ptr<const loran::CatalogueAsf> LoadCatalogueAsf(const AsfOptions& options,
                                                            const loran::Catalogue& catalogue);

// One line naming the grounds, atmosphere and sampling of a model.
std::string AsfModelDescription(const AsfOptions& options, const loran::AsfModel& model);

// `kestrune-convert groundwave ...` and `kestrune-convert asf ...`: the exit
// code, or nothing when args[0] is neither command.
std::optional<int> RunModelCommand(const std::vector<std::string>& args, std::FILE* out,
                                   std::FILE* err);

}  // namespace kestrune::convert
