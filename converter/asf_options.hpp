// The options of the ASF model: whether fix, predict and calibrate take the
// ASF predicted from land and sea, and the grounds it uses.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrune::convert {

struct AsfOptions {
  bool model = false;                           // --asf model
  std::optional<std::string> conductivityFile;  // --conductivity FILE
  std::optional<double> landSigma;              // --land-sigma, S/m, (0, 100]
  std::optional<double> landEpsilon;            // --land-epsilon, [1, 100]
};

// Takes --asf, --conductivity, --land-sigma and --land-epsilon with their
// values out of `args` into `asf`. Returns one line for the user, empty when
// they are sound.
std::string TakeAsfOptions(std::vector<std::string>& args, AsfOptions& asf);

}  // namespace kestrune::convert
