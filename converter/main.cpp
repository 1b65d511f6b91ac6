// kestrune-convert: Loran-C TDs to positions and positions to TDs, for
// logbooks of any length, without a display.
#include <string>
#include <vector>

#include "converter/asf_model.hpp"
#include "converter/run.hpp"
#include "platform/files.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Ctrl-C, a kill or a closed terminal leaves no temporary behind and says
  // which files were not written.
  kestrune::files::RemoveTemporariesOnSignals("kestrune-convert");
  // The commands that show the ASF model itself read no logbook.
  if (const auto code = kestrune::convert::RunModelCommand(args, stdout, stderr)) return *code;
  return kestrune::convert::Main(args);
}
