// The computation library's tables for R. Columns come in as a named list
// of numeric (NA: blank) or character vectors and go out the same way; the
// package's R layer makes them data frames. A catalogue is told by its kind
// ("nels", "historical", "by_date", "file"), date and path.
#include <Rcpp.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/table.hpp"
#include "util/constants.hpp"

using namespace kestrune;

namespace {

std::vector<loran::Cells> CellsOf(const Rcpp::List& columns) {
  std::vector<loran::Cells> cells;
  const Rcpp::CharacterVector names = columns.names();
  for (R_xlen_t i = 0; i < columns.size(); ++i) {
    loran::Cells c;
    c.name = Rcpp::as<std::string>(names[i]);
    SEXP v = columns[i];
    if (TYPEOF(v) == STRSXP) {
      const Rcpp::CharacterVector s(v);
      c.isText = true;
      // Texts as UTF-8 whatever their marked encoding (read.csv with
      // fileEncoding = "latin1" marks them latin1).
      c.texts.reserve(static_cast<std::size_t>(s.size()));
      for (R_xlen_t r = 0; r < s.size(); ++r) {
        const SEXP e = STRING_ELT(s, r);
        c.texts.emplace_back(e == NA_STRING ? "" : Rf_translateCharUTF8(e));
      }
    } else {
      const Rcpp::NumericVector n(v);  // integers and logicals too; NA becomes NaN
      c.numbers.assign(n.begin(), n.end());
    }
    cells.push_back(std::move(c));
  }
  return cells;
}

// Texts marked as UTF-8, which they are (degree and micro signs), made
// straight into R's strings. A text like the one before it (a status "ok",
// a kind "lsq" down a whole column) takes the same string: R's global
// string cache would hash it again only to find it.
Rcpp::CharacterVector Utf8Strings(const std::vector<std::string>& texts) {
  Rcpp::CharacterVector v(static_cast<R_xlen_t>(texts.size()));
  SEXP last = R_NilValue;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i == 0 || texts[i] != texts[i - 1]) {
      last = Rf_mkCharLenCE(texts[i].data(), static_cast<int>(texts[i].size()), CE_UTF8);
    }
    SET_STRING_ELT(v, static_cast<R_xlen_t>(i), last);
  }
  return v;
}

Rcpp::List ColumnsOf(const std::vector<loran::ResultColumn>& columns) {
  Rcpp::List out;
  for (const loran::ResultColumn& c : columns) {
    if (c.isText) {
      out.push_back(Utf8Strings(c.texts), c.name);
    } else {
      Rcpp::NumericVector n(c.numbers.begin(), c.numbers.end());
      for (double& x : n) {
        if (std::isnan(x)) x = NA_REAL;
      }
      out.push_back(n, c.name);
    }
  }
  return out;
}

std::optional<loran::Date> DateOf(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const std::optional<loran::Date> d = loran::ParseDate(text);
  if (!d) throw std::invalid_argument("date '" + text + "' is not YYYY-MM-DD");
  return d;
}

loran::Catalogue CatalogueOf(const Rcpp::List& choice) {
  const std::string kind = Rcpp::as<std::string>(choice["kind"]);
  const std::optional<loran::Date> date = DateOf(Rcpp::as<std::string>(choice["date"]));
  if (kind == "file") return loran::CatalogueFromFile(Rcpp::as<std::string>(choice["path"]), date);
  if (kind == "nels" && !date) return loran::NelsCatalogue();
  std::vector<loran::ChainVersion> versions;
  if (kind == "nels" || kind == "by_date") versions = loran::BuiltInNels();
  if (kind == "historical" || kind == "by_date") {
    versions.insert(versions.end(), loran::BuiltInHistorical().begin(),
                    loran::BuiltInHistorical().end());
  }
  if (versions.empty()) throw std::invalid_argument("no catalogue '" + kind + "'");
  loran::Catalogue c = loran::SelectCatalogue(versions, date);
  if (c.Size() == 0) throw std::invalid_argument("no chain of the catalogue on air then");
  return c;
}

text::DecimalMark MarkOf(const std::string& decimal) {
  if (decimal == "auto") return text::DecimalMark::kAuto;
  if (decimal == ".") return text::DecimalMark::kPoint;
  if (decimal == ",") return text::DecimalMark::kComma;
  throw std::invalid_argument("decimal must be \"auto\", \".\" or \",\", not \"" + decimal + "\"");
}

loran::TableOptions OptionsOf(const Rcpp::List& o, const loran::Catalogue& catalogue) {
  loran::TableOptions t;
  t.lops = Rcpp::as<std::vector<std::string>>(o["lops"]);
  t.tdColumns = Rcpp::as<std::vector<std::string>>(o["td_cols"]);
  const Rcpp::NumericVector offsets = o["offsets"];
  if (offsets.size() > 0) {
    const Rcpp::CharacterVector names = offsets.names();
    for (R_xlen_t i = 0; i < offsets.size(); ++i) {
      t.offsets.emplace_back(Rcpp::as<std::string>(names[i]), offsets[i]);
    }
  }
  const std::string file = Rcpp::as<std::string>(o["calibration_file"]);
  if (!file.empty()) {
    auto read = loran::OffsetsFromFile(file, catalogue);
    read.insert(read.end(), t.offsets.begin(), t.offsets.end());
    t.offsets = read;
  }
  const Rcpp::NumericVector start = o["start"];
  if (start.size() == 2) {
    if (!(std::fabs(start[0]) <= constants::kMaxLatitude) ||
        !(std::fabs(start[1]) <= constants::kMaxLongitude)) {
      throw std::invalid_argument("start beyond ±90°, ±180°");
    }
    t.start = loran::GeoPoint{start[0] * constants::kPi / 180, start[1] * constants::kPi / 180};
  } else if (start.size() != 0) {
    throw std::invalid_argument("start must be c(lat, lon) in decimal degrees");
  }
  t.tdSigma = Rcpp::as<double>(o["td_sigma"]);
  if (!(t.tdSigma > 0.0)) throw std::invalid_argument("td_sigma must be > 0 microseconds");
  t.decimal = MarkOf(Rcpp::as<std::string>(o["decimal"]));
  t.weightColumns = Rcpp::as<std::vector<std::string>>(o["weight_cols"]);
  t.startColumns = Rcpp::as<std::vector<std::string>>(o["start_cols"]);
  loran::SetDatum(Rcpp::as<std::string>(o["datum"]), t);
  t.offsetColumns = Rcpp::as<std::vector<std::string>>(o["offset_cols"]);
  t.residualSigma = Rcpp::as<double>(o["residual_sigma"]);
  if (!(t.residualSigma > 0.0)) {
    throw std::invalid_argument("residual_sigma must be > 0 microseconds");
  }
  t.trackBy = Rcpp::as<std::string>(o["track_by"]);
  t.track = Rcpp::as<bool>(o["track"]) || !t.trackBy.empty();
  t.completeDigits = Rcpp::as<bool>(o["complete_digits"]);
  return t;
}

Rcpp::List SummaryOf(const loran::ErrorSummary& e) {
  return Rcpp::List::create(Rcpp::Named("median_m") = e.median, Rcpp::Named("p95_m") = e.p95,
                            Rcpp::Named("fixes") = e.fixes);
}

// A table function of the library on the catalogue, cells and options R gives.
template <typename Table>
auto RunTable(Table table, SEXP choice, SEXP columns, SEXP options) {
  const loran::Catalogue c = CatalogueOf(choice);
  return table(c, CellsOf(columns), OptionsOf(options, c));
}

}  // namespace

extern "C" SEXP kestrune_fix_table(SEXP choice, SEXP columns, SEXP options) {
  BEGIN_RCPP
  return ColumnsOf(RunTable(loran::FixTable, choice, columns, options));
  END_RCPP
}

extern "C" SEXP kestrune_predict_table(SEXP choice, SEXP columns, SEXP options) {
  BEGIN_RCPP
  return ColumnsOf(RunTable(loran::PredictTable, choice, columns, options));
  END_RCPP
}

extern "C" SEXP kestrune_calibrate_table(SEXP choice, SEXP columns, SEXP options, SEXP comment) {
  BEGIN_RCPP
  const loran::Catalogue c = CatalogueOf(choice);
  const std::vector<loran::Cells> cells = CellsOf(columns);
  const loran::TableCalibration t = loran::CalibrateTable(c, cells, OptionsOf(options, c));
  std::vector<std::string> lop;
  std::vector<double> offset, stddev;
  std::vector<int> rows;
  for (const loran::CalibrationOffset& o : t.offsets) {
    lop.push_back(o.name);
    offset.push_back(o.offset);
    stddev.push_back(o.stddev);
    rows.push_back(o.rows);
  }
  const std::string file =
      loran::CalibrationFileText(t.offsets, Rcpp::as<std::string>(comment), t.area);
  return Rcpp::List::create(
      Rcpp::Named("table") =
          Rcpp::DataFrame::create(Rcpp::Named("lop") = lop, Rcpp::Named("offset_us") = offset,
                                  Rcpp::Named("stddev_us") = stddev, Rcpp::Named("rows") = rows,
                                  Rcpp::Named("stringsAsFactors") = false),
      Rcpp::Named("before") = SummaryOf(t.result.before),
      Rcpp::Named("after") = SummaryOf(t.result.after),
      Rcpp::Named("centre") = Rcpp::NumericVector::create(constants::Degrees(t.area.centre.lat),
                                                          constants::Degrees(t.area.centre.lon)),
      Rcpp::Named("radius_m") = t.area.radius, Rcpp::Named("row_status") = t.rowStatus,
      Rcpp::Named("helps") = t.helps, Rcpp::Named("file_text") = file);
  END_RCPP
}

extern "C" SEXP kestrune_lops(SEXP choice) {
  BEGIN_RCPP
  const loran::Catalogue c = CatalogueOf(choice);
  std::vector<std::string> names;
  for (const loran::Chain& chain : c.Chains()) {
    for (std::int16_t s : chain.secondaries) {
      names.push_back(loran::LopName(c, loran::Lop{chain.master, s, 0.0, 1.0}));
    }
  }
  return Rcpp::wrap(names);
  END_RCPP
}

extern "C" void R_init_kestrune(DllInfo* dll) {
  static const R_CallMethodDef calls[] = {
      {"kestrune_fix_table", reinterpret_cast<DL_FUNC>(&kestrune_fix_table), 3},
      {"kestrune_predict_table", reinterpret_cast<DL_FUNC>(&kestrune_predict_table), 3},
      {"kestrune_calibrate_table", reinterpret_cast<DL_FUNC>(&kestrune_calibrate_table), 4},
      {"kestrune_lops", reinterpret_cast<DL_FUNC>(&kestrune_lops), 1},
      {nullptr, nullptr, 0}};
  R_registerRoutines(dll, nullptr, calls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}
