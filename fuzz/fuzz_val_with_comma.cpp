// ReadLenientNumber (the window's ValWithComma) on arbitrary text. Properties: never NaN or
// infinite (a number beyond the range of a 64-bit float is held at the largest one); a text with no
// digit reads as 0; the comma and the point read alike.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_common.hpp"
#include "util/numeric_text.hpp"

using kestrune::text::ReadLenientNumber;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  double v = ReadLenientNumber(text);
  kestrune::fuzz::Check(std::isfinite(v), "value not finite");
  if (text.find_first_of("0123456789") == std::string::npos) {
    kestrune::fuzz::Check(v == 0.0, "text without digits read as nonzero");
  }
  std::string swapped = text;
  for (char& c : swapped) {
    if (c == '.') c = ',';
  }
  double w = ReadLenientNumber(swapped);
  kestrune::fuzz::Check(v == w || (std::isnan(v) && std::isnan(w)),
                        "comma and point read differently");
  return 0;
}
