// The tables of the R and Python bindings on arbitrary cells: lines are rows,
// ';' separates the cells of lop1..lop3, td1..td3, weight1, start_lat and
// start_lon (fix) or lat and lon (predict). Properties: one status per row,
// never empty and never an internal error; a row that is "ok" has a
// position on the globe.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.hpp"
#include "loran/catalogue.hpp"
#include "loran/table.hpp"

namespace {

using namespace kestrune::loran;

constexpr std::size_t kMaxRows = 32;  // enough for every kind of row, quick to solve
const char* const kNames[] = {"lop1", "lop2",    "lop3",      "td1",      "td2",
                              "td3",  "weight1", "start_lat", "start_lon"};
constexpr std::size_t kColumns = sizeof kNames / sizeof kNames[0];

std::vector<Cells> Read(const std::string& text) {
  std::vector<Cells> cells(kColumns);
  for (std::size_t c = 0; c < kColumns; ++c) cells[c] = Cells{kNames[c], true, {}, {}};
  std::size_t at = 0;
  while (at <= text.size() && cells[0].texts.size() < kMaxRows) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    std::size_t from = 0;
    for (std::size_t c = 0; c < kColumns; ++c) {
      std::size_t to = line.find(';', from);
      if (to == std::string::npos) to = line.size();
      cells[c].texts.push_back(from <= line.size() ? line.substr(from, to - from) : "");
      from = to + 1;
    }
    at = end + 1;
  }
  return cells;
}

void CheckStatuses(const std::vector<ResultColumn>& out, std::size_t rows, const char* lat,
                   const char* lon) {
  const ResultColumn* la = nullptr;
  const ResultColumn* lo = nullptr;
  for (const ResultColumn& c : out) {
    if (c.name == lat) la = &c;
    if (c.name == lon) lo = &c;
  }
  const ResultColumn& status = out.back();
  kestrune::fuzz::Check(status.name == "status" && status.texts.size() == rows, "status column");
  for (std::size_t r = 0; r < rows; ++r) {
    const std::string& s = status.texts[r];
    kestrune::fuzz::Check(!s.empty(), "empty status");
    kestrune::fuzz::Check(s.rfind("internal error", 0) != 0, "internal error");
    if (s == "ok") {
      kestrune::fuzz::Check(std::fabs(la->numbers[r]) <= 90.0, "ok row off the globe");
      kestrune::fuzz::Check(lo->numbers[r] >= -180.0 && lo->numbers[r] < 180.0,
                            "ok row's longitude outside -180 to 180");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Cells> cells = Read(std::string(reinterpret_cast<const char*>(data), size));
  const std::size_t rows = cells[0].texts.size();
  CheckStatuses(FixTable(NelsCatalogue(), cells, TableOptions{}), rows, "fix_lat", "fix_lon");
  cells[7].name = "lat";
  cells[8].name = "lon";
  CheckStatuses(PredictTable(NelsCatalogue(), cells, TableOptions{}), rows, "pos_lat", "pos_lon");
  return 0;
}
