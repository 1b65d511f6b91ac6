// ParseLatLon on arbitrary text, both kinds. Properties: the result is finite
// and within the kind's range; its display form parses back with no message
// to within a thousandth of a second of arc; formatting that value again
// gives the same text (a value that rounds to zero may change hemisphere).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_common.hpp"
#include "util/coordinate_text.hpp"

using namespace kestrune;

namespace {

std::string WithoutHemisphere(const std::string& s) {
  return s.substr(0, s.size() - 1);
}

void CheckKind(const std::string& text, const char* kind, double limit) {
  double v = text::ParseLatLon(text, kind).value;
  fuzz::Check(std::isfinite(v), "result not finite");
  fuzz::Check(std::fabs(v) <= limit, std::string(kind) + " result outside its range");

  std::string shown = text::FormatLatLon(v, kind, 3, '.');
  const text::ParsedCoordinate parsed = text::ParseLatLon(shown, kind);
  const double back = parsed.value;
  fuzz::Check(parsed.messages.empty(), "display form '" + shown + "' gave a message");
  fuzz::Check(std::fabs(back - v) * 3600.0 <= 0.001 + 1e-9,
              "display form '" + shown + "' does not read back");

  std::string again = text::FormatLatLon(back, kind, 3, '.');
  if (again != shown) {
    // A value that rounds to zero may flip its hemisphere letter.
    fuzz::Check(WithoutHemisphere(again) == WithoutHemisphere(shown) &&
                    std::fabs(back) * 3600.0 < 0.0005 + 1e-9,
                "'" + shown + "' formats again as '" + again + "'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CheckKind(text, "LAT", 90.0);
  CheckKind(text, "LON", 180.0);
  return 0;
}
