// kestrune-convert: Loran-C TDs to positions and positions to TDs, for
// logbooks of any length, without a display.
#include <string>
#include <vector>

#include "converter/asf_model.hpp"
#include "converter/run.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // The commands that show the ASF model itself read no logbook.
  if (const auto code = kestrune::convert::RunModelCommand(args, stdout, stderr)) return *code;
  return kestrune::convert::Main(args);
}
