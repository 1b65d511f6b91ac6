#include "calc_window/results_text.hpp"

#include <initializer_list>
#include <string>

#include "calc_window/frm_postdcalc.hpp"

namespace kestrune {

namespace {

// Combination rows with a label; later pairs have none.
constexpr int kComboRows = 10;

// The caption as one cell: runs of blanks are one blank, none at the ends.
std::string Cell(const std::string& caption) {
  std::string out;
  bool blank = false;
  for (char ch : caption) {
    if (ch == ' ') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += ch;
  }
  return out;
}

// A caption whose columns are made with runs of blanks, one cell a column.
std::string Cells(const std::string& caption) {
  std::string out;
  for (char ch : Cell(caption)) out += ch == ' ' ? '\t' : ch;
  return out;
}

std::string Line(std::initializer_list<const Label*> labels) {
  std::string out;
  bool first = true;
  for (const Label* l : labels) {
    if (!first) out += '\t';
    first = false;
    out += Cell(l->Caption());
  }
  return out + '\n';
}

std::string StationName(const Frm_PosTDCalc& w, int j) {
  const loran::Station& st = w.StationCatalogue().At(j);
  return std::to_string(st.gri) + " " + st.designator + " " + st.name;
}

// The LOPs of combination row k (1 to 10), in the order the fixes are made:
// (1,2), (1,3), ... (2,3), ...
std::string PairName(const Frm_PosTDCalc& w, int k) {
  const int lops = w.SharedSetup().NoOfLops;
  int n = 0;
  for (int i = 1; i < lops; ++i) {
    for (int j = i + 1; j <= lops; ++j) {
      if (++n == k) return std::to_string(i) + "-" + std::to_string(j);
    }
  }
  return std::to_string(k);
}

}  // namespace

std::string ResultsText(const Frm_PosTDCalc& w) {
  std::string out;
  // Until its first calculation a section shows the placeholders it was
  // created with.
  if (w.Label2(0).Caption() != "Label2") {
    out += Cell(w.Frame1.Caption()) + '\n';
    // The station column has no heading.
    out += '\t' + Line({&w.dum(2), &w.dum(3), &w.dum(4), &w.dum(5), &w.dum(8)});
    const loran::Catalogue& catalogue = w.StationCatalogue();
    for (int j = 0; j < catalogue.Size(); ++j) {
      if (catalogue.IsMaster(j)) out += Cell(w.ChainHeading(catalogue.ChainOf(j)).Caption()) + '\n';
      out += Line({&w.Label1(j), &w.Label2(j), &w.Label3(j), &w.Label4(j), &w.Label5(j),
                   &w.lblGradient(j)});
    }
  }
  if (w.lblLsqrLat.Caption() != "pos1") {
    if (!out.empty()) out += '\n';
    out += Cell(w.frmLsqrPos.Caption()) + '\n';
    out += Line({&w.lblLsqrLat, &w.lblLsqrLon});
    out += Line({&w.lblLsqrIter, &w.lblLsqrGDOP});
    out += Cell(w.lblResiduals(0).Caption()) + '\n';
    out += Cells(w.Label7.Caption()) + '\n';
    for (int i = 1; i <= kMaxLops; ++i) {
      if (w.lblResiduals(i).Visible()) out += Cells(w.lblResiduals(i).Caption()) + '\n';
    }
  }
  if (w.lblLop(1).Caption() != "LopNo") {
    if (!out.empty()) out += '\n';
    out += Cell(w.Frame2.Caption()) + '\n';
    for (int k = 0; k <= kComboRows; ++k) {
      if (k > 0 && !w.lblLop(k).Visible()) continue;
      out += Line({&w.lblLop(k), &w.lblLat(k), &w.lblLon(k), &w.lblDN(k), &w.lblDE(k),
                   &w.lblIter(k), &w.lblGdop(k), &w.lblCut(k)});
    }
    out += Line({&w.lblMean, &w.lblMeanLat, &w.lblMeanLon, &w.lblMeanDN, &w.lblMeanDE});
  }
  return out;
}

std::vector<std::pair<const Label*, std::string>> ResultNames(const Frm_PosTDCalc& w) {
  std::vector<std::pair<const Label*, std::string>> names;
  auto add = [&names](const Label& label, const std::string& column, const std::string& row) {
    names.emplace_back(&label, column + ", " + row);
  };
  for (int j = 0; j < w.StationCatalogue().Size(); ++j) {
    const std::string row = StationName(w, j);
    add(w.Label2(j), "Distance", row);
    add(w.Label3(j), "Azimuth", row);
    add(w.Label4(j), "TD", row);
    add(w.Label5(j), "Hyperbolic azimuth", row);
    add(w.lblGradient(j), "Gradient", row);
  }
  const std::string fix = "least-squares fix";
  add(w.lblLsqrLat, "Latitude", fix);
  add(w.lblLsqrLon, "Longitude", fix);
  add(w.lblLsqrIter, "Iterations", fix);
  add(w.lblLsqrGDOP, "GDOP", fix);
  for (int i = 1; i <= kMaxLops; ++i) {
    add(w.lblResiduals(i), "Residual", "LOP " + std::to_string(i));
  }
  for (int k = 1; k <= kComboRows; ++k) {
    const std::string pair = "pair " + PairName(w, k);
    add(w.lblLop(k), "LOPs", pair);
    add(w.lblLat(k), "Latitude", pair);
    add(w.lblLon(k), "Longitude", pair);
    add(w.lblDN(k), "North deviation", pair);
    add(w.lblDE(k), "East deviation", pair);
    add(w.lblIter(k), "Iterations", pair);
    add(w.lblGdop(k), "GDOP", pair);
    add(w.lblCut(k), "Angle of cut", pair);
  }
  add(w.lblMeanLat, "Latitude", "mean");
  add(w.lblMeanLon, "Longitude", "mean");
  add(w.lblMeanDN, "North deviation", "mean");
  add(w.lblMeanDE, "East deviation", "mean");
  return names;
}

}  // namespace kestrune
