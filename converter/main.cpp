// kestrune-convert: Loran-C TDs to positions and positions to TDs, for
// logbooks of any length, without a display.
#include <string>
#include <vector>

#include "converter/run.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kestrune::convert::Main(args);
}
