// The ASF model in the conversion of a row: taken off the TDs of a fix,
// added to the TDs of a prediction, and written to the asf_us_ columns.
#include <cmath>
#include <optional>
#include <stdexcept>

#include "converter/conversion.hpp"
#include "converter/run_setup.hpp"
#include "loran/asf.hpp"
#include "loran/row_fix.hpp"
#include "util/numeric_text.hpp"

namespace kestrune::convert {

bool Converter::TakeAsfOff(const loran::CoverageGrid& grid, const std::vector<std::size_t>& slots,
                           loran::RowFixInput& in, loran::RowFix& fix, OutRow& out,
                           std::string& status) const {
  std::vector<loran::Lop> lops = in.lops;
  for (std::size_t k = 0; k < lops.size(); ++k) {
    lops[k].observedTd = lops[k].observedTd - in.offsets[k];
  }
  const loran::AsfFix corrected = loran::FixWithAsf(catalogue_, lops, fix.fix, *setup_.asf);
  if (!corrected.converged) {
    status = corrected.problem;
    return false;
  }
  for (std::size_t k = 0; k < lops.size(); ++k) {
    in.offsets[k] = in.offsets[k] + corrected.asf[k];
    out.results[asfColumn_ + slots[k]] = Cell{text::Format(corrected.asf[k], "0.000", '.'), true};
  }
  fix = loran::FixRow(catalogue_, grid, in);
  return true;
}

std::optional<double> Converter::PredictedAsf(const loran::LopPair& pair, loran::GeoPoint at,
                                              OutRow& out, std::size_t slot) const {
  const loran::Lop lop{pair.master, pair.secondary, 0.0, 1.0};
  double asf = 0.0;
  try {
    asf = setup_.asf->LopAsf(lop, at);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
  out.results[asfColumn_ + slot] = Cell{text::Format(asf, "0.000", '.'), true};
  return asf;
}

}  // namespace kestrune::convert
