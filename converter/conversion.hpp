// The conversion of one row: the columns found once for the whole input,
// then per row the LOPs, TDs, weights and start read strictly, the fix or
// the prediction made through the computation library exactly as the
// calculation window makes it, and the results as texts.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/row_reader.hpp"
#include "loran/catalogue.hpp"
#include "loran/coverage.hpp"

namespace kestrune::convert {

// A mistake in the options or the column references: one line for the user,
// exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One result value. An empty text is no value (null in JSON).
struct Cell {
  std::string text;
  bool number = false;  // written unquoted in JSON
};

// What a row gives: the passed-through fields, the results in the order of
// Converter::ResultNames(), and the position for the map formats.
struct OutRow {
  long line = 0;
  std::vector<std::string> pass;       // texts (JSON texts for JSON-lines input)
  std::vector<std::string> passNames;  // JSON lines only: the key of each
  std::vector<Cell> results;
  bool ok = false;
  bool hasPosition = false;
  double lat = 0.0;  // degrees
  double lon = 0.0;  // degrees, -180 to 180
  std::string name;  // waypoint name
};

class Converter {
 public:
  // header: the column names of the first row, or nullptr for an input
  // without one; fieldCount: the fields of every CSV row (0 for JSON lines).
  // Throws UsageError for LOPs or columns that cannot be found.
  Converter(const Options& options, const std::vector<std::string>* header, std::size_t fieldCount,
            const loran::Catalogue& catalogue);

  // Names of the passed-through columns (CSV input) and of the results.
  const std::vector<std::string>& PassNames() const { return passNames_; }
  const std::vector<std::string>& ResultNames() const { return resultNames_; }

  // Converts one row; safe to call from several threads at once.
  void Convert(const Row& row, OutRow& out) const;

 private:
  struct Column {
    std::vector<std::string> names;  // alternatives, lower case; the first present is used
    int index = -1;                  // resolved column (CSV), -1 none
  };
  Column Resolve(const ColumnRef& ref, const std::vector<std::string>* header, bool required,
                 const std::string& what) const;
  const std::string* Field(const Row& row, const Column& column) const;
  // The LOPs of a row and the LOP number - 1 of each; false with `status` set
  // when a LOP cannot be read or there are too few.
  bool RowLops(const Row& row, std::vector<loran::LopPair>& pairs, std::vector<std::size_t>& slots,
               std::string& status) const;
  void Fix(const Row& row, OutRow& out, std::string& status) const;
  void Predict(const Row& row, OutRow& out, std::string& status) const;
  std::shared_ptr<const loran::CoverageGrid> Grid(const std::vector<loran::LopPair>& lops) const;

  const Options& options_;
  const loran::Catalogue& catalogue_;
  bool json_ = false;
  std::size_t fieldCount_ = 0;
  std::vector<loran::LopPair> lops_;  // given once
  std::vector<std::string> lopNames_;
  std::vector<Column> lopColumns_, tdColumns_, weightColumns_, startColumns_, positionColumns_;
  std::vector<Column> keep_;
  bool keepAll_ = true;
  Column name_;
  bool nearGiven_ = false;
  loran::GeoPoint near_;
  std::shared_ptr<const loran::CoverageGrid> grid_;  // of the LOPs given once
  std::vector<std::string> passNames_;
  std::vector<std::string> resultNames_;
};

}  // namespace kestrune::convert
