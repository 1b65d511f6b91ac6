// Output formats: CSV, GPX 1.1 waypoints, GeoJSON, KML and JSON lines. A
// writer renders one row at a time into text, so rows can be rendered by
// several threads and written in input order without being kept.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "converter/conversion.hpp"
#include "converter/options.hpp"

namespace kestrune::convert {

class Writer {
 public:
  virtual ~Writer() = default;
  // The text before the first row: a CSV header, an XML or JSON preamble.
  virtual std::string Begin() const = 0;
  // One row's text, appended to `out`; safe to call from several threads.
  virtual void Row(const OutRow& row, std::string& out) const = 0;
  // Written between two rows (the comma between GeoJSON features).
  virtual std::string_view Between() const { return {}; }
  virtual std::string End() const { return {}; }
};

// passNames, resultNames: the column names of every row (CSV input; JSON
// lines carry their own pass names).
std::unique_ptr<Writer> MakeWriter(const Options& options, std::vector<std::string> passNames,
                                   std::vector<std::string> resultNames);

// `text` with every byte that does not belong to valid UTF-8 replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace kestrune::convert
