// kestrune._kestrune: the computation library's tables for Python. Columns
// come in as (name, float64 array) or (name, list of str) pairs and go out
// the same way; the package's Python layer makes them DataFrames. The rows
// are computed with the interpreter's lock released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "loran/calibration.hpp"
#include "loran/catalogue.hpp"
#include "loran/catalogue_file.hpp"
#include "loran/table.hpp"
#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace py = pybind11;
using namespace kestrune;

namespace {

std::vector<loran::Cells> CellsOf(const py::list& columns) {
  std::vector<loran::Cells> cells;
  for (const py::handle item : columns) {
    const auto pair = item.cast<py::tuple>();
    loran::Cells c;
    c.name = pair[0].cast<std::string>();
    if (py::isinstance<py::array>(pair[1])) {
      const auto a =
          py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(pair[1]);
      if (!a || a.ndim() != 1) throw std::invalid_argument("column '" + c.name + "' is not 1-D");
      c.numbers.assign(a.data(), a.data() + a.size());
    } else {
      c.isText = true;
      c.texts = pair[1].cast<std::vector<std::string>>();
    }
    cells.push_back(std::move(c));
  }
  return cells;
}

py::list ColumnsOf(const std::vector<loran::ResultColumn>& columns) {
  py::list out;
  for (const loran::ResultColumn& c : columns) {
    if (c.isText) {
      out.append(py::make_tuple(c.name, py::cast(c.texts)));
    } else {
      py::array_t<double> a(static_cast<py::ssize_t>(c.numbers.size()));
      std::copy(c.numbers.begin(), c.numbers.end(), a.mutable_data());
      out.append(py::make_tuple(c.name, a));
    }
  }
  return out;
}

text::DecimalMark MarkOf(const std::string& decimal) {
  if (decimal == "auto") return text::DecimalMark::kAuto;
  if (decimal == ".") return text::DecimalMark::kPoint;
  if (decimal == ",") return text::DecimalMark::kComma;
  throw std::invalid_argument("decimal must be 'auto', '.' or ',', not '" + decimal + "'");
}

// Degrees to radians as the window converts typed degrees.
loran::GeoPoint Radians(double latDeg, double lonDeg) {
  if (!(std::fabs(latDeg) <= constants::kMaxLatitude) ||
      !(std::fabs(lonDeg) <= constants::kMaxLongitude)) {
    throw std::invalid_argument("start beyond ±90°, ±180°");
  }
  return {latDeg * constants::kPi / 180, lonDeg * constants::kPi / 180};
}

loran::TableOptions OptionsOf(const py::dict& o) {
  loran::TableOptions t;
  if (o.contains("lops") && !o["lops"].is_none())
    t.lops = o["lops"].cast<std::vector<std::string>>();
  if (o.contains("td_cols") && !o["td_cols"].is_none()) {
    t.tdColumns = o["td_cols"].cast<std::vector<std::string>>();
  }
  if (o.contains("offsets") && !o["offsets"].is_none()) {
    t.offsets = o["offsets"].cast<std::vector<std::pair<std::string, double>>>();
  }
  if (o.contains("start") && !o["start"].is_none()) {
    const auto s = o["start"].cast<std::pair<double, double>>();
    t.start = Radians(s.first, s.second);
  }
  if (o.contains("td_sigma")) {
    t.tdSigma = o["td_sigma"].cast<double>();
    if (!(t.tdSigma > 0.0)) throw std::invalid_argument("td_sigma must be > 0 microseconds");
  }
  if (o.contains("decimal")) t.decimal = MarkOf(o["decimal"].cast<std::string>());
  if (o.contains("weight_cols") && !o["weight_cols"].is_none()) {
    t.weightColumns = o["weight_cols"].cast<std::vector<std::string>>();
  }
  if (o.contains("start_cols") && !o["start_cols"].is_none()) {
    t.startColumns = o["start_cols"].cast<std::vector<std::string>>();
  }
  if (o.contains("datum")) loran::SetDatum(o["datum"].cast<std::string>(), t);
  if (o.contains("offset_cols") && !o["offset_cols"].is_none()) {
    t.offsetColumns = o["offset_cols"].cast<std::vector<std::string>>();
  }
  if (o.contains("residual_sigma")) {
    t.residualSigma = o["residual_sigma"].cast<double>();
    if (!(t.residualSigma > 0.0)) {
      throw std::invalid_argument("residual_sigma must be > 0 microseconds");
    }
  }
  if (o.contains("track")) t.track = o["track"].cast<bool>();
  if (o.contains("track_by") && !o["track_by"].is_none()) {
    t.trackBy = o["track_by"].cast<std::string>();
    t.track = true;
  }
  if (o.contains("complete_digits")) t.completeDigits = o["complete_digits"].cast<bool>();
  return t;
}

template <class Table>
py::list Run(Table table, const loran::Catalogue& catalogue, const py::list& columns,
             const py::dict& options) {
  const std::vector<loran::Cells> cells = CellsOf(columns);
  const loran::TableOptions o = OptionsOf(options);
  std::vector<loran::ResultColumn> out;
  {
    py::gil_scoped_release release;
    out = table(catalogue, cells, o);
  }
  return ColumnsOf(out);
}

py::dict Calibrate(const loran::Catalogue& catalogue, const py::list& columns,
                   const py::dict& options, const std::string& comment) {
  const std::vector<loran::Cells> cells = CellsOf(columns);
  const loran::TableOptions o = OptionsOf(options);
  const loran::TableCalibration t = loran::CalibrateTable(catalogue, cells, o);
  py::list lops;
  for (const loran::CalibrationOffset& c : t.offsets) {
    lops.append(py::dict(py::arg("lop") = c.name, py::arg("offset_us") = c.offset,
                         py::arg("stddev_us") = c.stddev, py::arg("rows") = c.rows));
  }
  auto summary = [](const loran::ErrorSummary& e) {
    return py::dict(py::arg("median_m") = e.median, py::arg("p95_m") = e.p95,
                    py::arg("fixes") = e.fixes);
  };
  const std::string file = loran::CalibrationFileText(t.offsets, comment, t.area);
  return py::dict(py::arg("lops") = lops, py::arg("before") = summary(t.result.before),
                  py::arg("after") = summary(t.result.after),
                  py::arg("centre") = py::make_tuple(constants::Degrees(t.area.centre.lat),
                                                     constants::Degrees(t.area.centre.lon)),
                  py::arg("radius_m") = t.area.radius, py::arg("row_status") = t.rowStatus,
                  py::arg("helps") = t.helps, py::arg("file_text") = file);
}

std::optional<loran::Date> DateOf(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const std::optional<loran::Date> d = loran::ParseDate(*text);
  if (!d) throw std::invalid_argument("date '" + *text + "' is not YYYY-MM-DD");
  return d;
}

loran::Catalogue Builtin(const std::vector<loran::ChainVersion>& versions,
                         const std::optional<std::string>& date, const char* what) {
  loran::Catalogue c = loran::SelectCatalogue(versions, DateOf(date));
  if (c.Size() == 0)
    throw std::invalid_argument(std::string("no chain of ") + what + " on air then");
  return c;
}

std::vector<std::string> LopNames(const loran::Catalogue& c) {
  std::vector<std::string> names;
  for (const loran::Chain& chain : c.Chains()) {
    for (std::int16_t s : chain.secondaries) {
      names.push_back(loran::LopName(c, loran::Lop{chain.master, s, 0.0, 1.0}));
    }
  }
  return names;
}

}  // namespace

PYBIND11_MODULE(_kestrune, m) {
  m.doc() = "Loran-C TDs to positions and back: the Kestrune computation library";
  py::register_exception<RuntimeFault>(m, "RuntimeFault", PyExc_ArithmeticError);

  py::class_<loran::Catalogue>(m, "Catalogue")
      .def("lops", &LopNames, "The LOP names of the catalogue, \"9007W\" ...")
      .def("__len__", &loran::Catalogue::Size)
      .def("__repr__", [](const loran::Catalogue& c) {
        std::string s = "<kestrune.Catalogue";
        for (const loran::Chain& chain : c.Chains()) {
          s += " " + std::to_string(c.At(chain.master).gri);
        }
        return s + ">";
      });

  m.def(
      "nels",
      [](const std::optional<std::string>& date) {
        if (!date) return loran::NelsCatalogue();
        return Builtin(loran::BuiltInNels(), date, "the NELS catalogue");
      },
      py::arg("date") = py::none());
  m.def(
      "historical",
      [](const std::optional<std::string>& date) {
        return Builtin(loran::BuiltInHistorical(), date, "the historical catalogue");
      },
      py::arg("date") = py::none());
  m.def(
      "by_date",
      [](const std::string& date) {
        std::vector<loran::ChainVersion> all = loran::BuiltInNels();
        all.insert(all.end(), loran::BuiltInHistorical().begin(), loran::BuiltInHistorical().end());
        return Builtin(all, date, "the built-in catalogues");
      },
      py::arg("date"));
  m.def(
      "catalogue_from_file",
      [](const std::string& path, const std::optional<std::string>& date) {
        return loran::CatalogueFromFile(path, DateOf(date));
      },
      py::arg("path"), py::arg("date") = py::none());
  m.def("offsets_from_file", &loran::OffsetsFromFile, py::arg("path"), py::arg("catalogue"));
  m.def(
      "fix_table",
      [](const loran::Catalogue& c, const py::list& columns, const py::dict& o) {
        return Run(loran::FixTable, c, columns, o);
      },
      py::arg("catalogue"), py::arg("columns"), py::arg("options"));
  m.def(
      "predict_table",
      [](const loran::Catalogue& c, const py::list& columns, const py::dict& o) {
        return Run(loran::PredictTable, c, columns, o);
      },
      py::arg("catalogue"), py::arg("columns"), py::arg("options"));
  m.def("calibrate_table", &Calibrate, py::arg("catalogue"), py::arg("columns"), py::arg("options"),
        py::arg("comment"));
}
