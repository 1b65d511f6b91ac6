// The calculation window's controls, its load handler, the buttons that do
// not calculate, and the focus handlers of the input fields.
#include "calc_window/frm_postdcalc.hpp"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "chain_setup/setup_file.hpp"
#include "platform/files.hpp"
#include "platform/message_box.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/numeric_text.hpp"

namespace kestrune {

namespace {

constexpr int kComboRows = 10;  // combinations with a row

// Layout, twips.
constexpr int kLopRowTop = 1320;  // LOP row 1
constexpr int kRowPitch = 240;
constexpr int kResidualTop = 1020;  // residual row 1 inside frmLsqrPos
constexpr int kResidualPitch = 180;
constexpr int kComboTop = 600;  // combination row 1 inside Frame2
constexpr int kMeanTop = 3000;  // mean line inside Frame2

int LopRowTop(int i) {
  return kLopRowTop + kRowPitch * (i - 1);
}

constexpr int kStationTop = 480;  // station row 0 inside Frame1

// Station rows leave a line above each chain's first row for its heading.
int StationRowTop(const loran::Catalogue& catalogue, int j) {
  return kStationTop + kRowPitch * (j + catalogue.ChainOf(j));
}

// The heading label of each chain, by chain position, above its first row.
constexpr int kChainHeadings[] = {1, 9, 10, 11};

int ComboRowTop(int k) {
  return k == 0 ? 360 : kComboTop + kRowPitch * (k - 1);
}

// Columns of the combination table inside Frame2: left and width.
struct Column {
  int left;
  int width;
};
constexpr Column kLopCol{120, 495}, kLatCol{650, 1215}, kLonCol{1880, 1335}, kDnCol{3230, 615},
    kDeCol{3860, 615}, kIterCol{4490, 300}, kGdopCol{4800, 435}, kCutCol{5250, 480};

TwipsRect ComboCell(Column c, int k) {
  return TwipsRect{c.left, ComboRowTop(k), c.width, 240};
}

// The last three columns are narrower than their headings, so those headings
// stand in two staggered lines above the rows, wider than their columns.
TwipsRect ComboHeadingOr(Column c, int k, TwipsRect heading) {
  return k == 0 ? heading : ComboCell(c, k);
}

std::string ComboText(int k, const char* heading, const char* placeholder) {
  return k == 0 ? heading : placeholder;
}

}  // namespace

template <class T, class RectFn, class TextFn>
ControlArray<T> Frm_PosTDCalc::MakeArray(const char* name, int lo, int hi, Control* container,
                                         RectFn rect, TextFn text) {
  ControlArray<T> array(lo, hi);
  for (int i = lo; i <= hi; ++i) array.Set(i, &Add<T>(name, i, rect(i), container, text(i)));
  return array;
}

ControlArray<Label> Frm_PosTDCalc::MakeStationColumn(const loran::Catalogue& catalogue,
                                                     const char* name, int left, int width,
                                                     const char* placeholder) {
  return MakeArray<Label>(
      name, 0, catalogue.Size() - 1, &Frame1,
      [&catalogue, left, width](int j) {
        return TwipsRect{left, StationRowTop(catalogue, j), width, 240};
      },
      [placeholder](int) { return std::string(placeholder); });
}

ControlArray<Label> Frm_PosTDCalc::MakeHeadings(const loran::Catalogue& catalogue) {
  struct Heading {
    int index;
    Control* container;
    TwipsRect rect;
    std::string caption;
  };
  // Each chain's heading stands in the line above its first station row.
  auto chainHeading = [&catalogue](std::size_t c) {
    const loran::Chain& chain = catalogue.Chains().at(c);
    const int top = StationRowTop(catalogue, chain.master) - kRowPitch;
    return Heading{
        kChainHeadings[c], nullptr, {120, top, 1455, 240}, "Chain " + std::to_string(chain.gri)};
  };
  std::vector<Heading> headings = {
      {0, nullptr, {2280, 1080, 1100, 240}, "OBSERVED TD's"},
      {6, nullptr, {120, 300, 1335, 255}, "Position Estimate"},
      chainHeading(0),
      {2, nullptr, {1600, 240, 975, 240}, "Dist (m)"},
      {3, nullptr, {2600, 240, 615, 240}, "Az (deg)"},
      {4, nullptr, {3240, 240, 975, 240}, "TD (usec)"},
      {5, nullptr, {4230, 120, 495, 360}, "Hyperb       Az"},
      {8, nullptr, {4740, 120, 975, 360}, "Gradient (m/usec)"},
  };
  for (std::size_t c = 1; c < catalogue.Chains().size() && c < std::size(kChainHeadings); ++c) {
    headings.push_back(chainHeading(c));
  }
  for (Heading& h : headings) h.container = &Frame1;
  headings[0].container = headings[1].container = nullptr;
  headings.push_back({7, &Frame2, {3230, 120, 1150, 240}, "Dev from lsqr sol"});

  ControlArray<Label> array(0, 11);
  for (const Heading& h : headings) {
    array.Set(h.index, &Add<Label>("dum", h.index, h.rect, h.container, h.caption));
  }
  return array;
}

Frm_PosTDCalc::Frm_PosTDCalc(SetupState& setup, const loran::Catalogue& catalogue)
    : Form("Frm_PosTDCalc", "   KESTRUNE    Loran C   TD and Position calculations", 9855, 8415),
      Frame1(Add<Frame>("Frame1", -1, TwipsRect{3960, 0, 5775, 4935}, nullptr,
                        "Calculated from Position Estimate")),
      frmLsqrPos(Add<Frame>("frmLsqrPos", -1, TwipsRect{120, 4320, 3735, 2295}, nullptr,
                            "Least Square Position Solution")),
      Frame2(Add<Frame>("Frame2", -1, TwipsRect{3960, 4920, 5775, 3375}, nullptr,
                        "Position Solutions (2 way fix in all comb.)")),
      lblLopNo(Add<Label>("lblLopNo", -1, TwipsRect{0, 1080, 360, 240}, nullptr, "Lop")),
      dum(MakeHeadings(catalogue)),
      Label6(Add<Label>("Label6", -1, TwipsRect{3360, 840, 555, 435}, nullptr, "Weights   (0-1)")),
      txtEstLat(Add<TextBox>("txtEstLat", -1, TwipsRect{1560, 120, 1575, 375}, nullptr, "Text1")),
      txtEstLon(Add<TextBox>("txtEstLon", -1, TwipsRect{1560, 480, 1575, 375}, nullptr, "Text2")),
      lblMaster(MakeArray<Label>(
          "lblMaster", 0, kMaxLops, nullptr,
          [](int i) {
            return i == 0 ? TwipsRect{360, 1080, 960, 240} : TwipsRect{0, LopRowTop(i), 1320, 240};
          },
          [](int i) { return std::string(i == 0 ? "Chain Master" : "Master"); })),
      lblSlave(MakeArray<Label>(
          "lblSlave", 0, kMaxLops, nullptr,
          [](int i) {
            return TwipsRect{1320, i == 0 ? 1080 : LopRowTop(i), 960, 240};
          },
          [](int i) { return std::string(i == 0 ? "-Sec" : "Slave"); })),
      txtTD(MakeArray<TextBox>(
          "txtTD", 1, kMaxLops, nullptr,
          [](int i) {
            return TwipsRect{2280, LopRowTop(i), 1100, 285};
          },
          [](int) { return std::string("Text3"); })),
      txtWeight(MakeArray<TextBox>(
          "txtWeight", 1, kMaxLops, nullptr,
          [](int i) {
            return TwipsRect{3360, LopRowTop(i), 495, 285};
          },
          [](int) { return std::string("1"); })),
      cmdCalcTD(Add<CommandButton>("cmdCalcTD", -1, TwipsRect{480, 3120, 1095, 495}, nullptr,
                                   "CALC TD est")),
      cmdCopyTD(Add<CommandButton>("cmdCopyTD", -1, TwipsRect{2280, 3120, 1335, 735}, nullptr,
                                   "Copy TD estimates to Observed TD")),
      cmdCalc(Add<CommandButton>("cmdCalc", -1, TwipsRect{240, 7080, 1455, 495}, nullptr,
                                 "CALC Pos Solutions")),
      cmdExit(Add<CommandButton>("cmdExit", -1, TwipsRect{2400, 7080, 1215, 495}, nullptr, "EXIT")),
      Label1(MakeStationColumn(catalogue, "Label1", 120, 1455, "Label1")),
      Label2(MakeStationColumn(catalogue, "Label2", 1600, 975, "Label2")),
      Label3(MakeStationColumn(catalogue, "Label3", 2600, 615, "Label3")),
      Label4(MakeStationColumn(catalogue, "Label4", 3240, 975, "Labe4")),
      Label5(MakeStationColumn(catalogue, "Label5", 4230, 495, "Label5")),
      lblGradient(MakeStationColumn(catalogue, "lblGradient", 4740, 975, "lblGrad")),
      lblLsqrLat(Add<Label>("lblLsqrLat", -1, TwipsRect{120, 240, 1695, 240}, &frmLsqrPos, "pos1")),
      lblLsqrLon(
          Add<Label>("lblLsqrLon", -1, TwipsRect{1860, 240, 1755, 240}, &frmLsqrPos, "pos1")),
      lblLsqrIter(
          Add<Label>("lblLsqrIter", -1, TwipsRect{120, 480, 1695, 240}, &frmLsqrPos, "Iterations")),
      lblLsqrGDOP(
          Add<Label>("lblLsqrGDOP", -1, TwipsRect{1860, 480, 1755, 240}, &frmLsqrPos, "GDOP")),
      Label7(Add<Label>("Label7", -1, TwipsRect{1200, 780, 2415, 240}, &frmLsqrPos,
                        "Lop   usec        m")),
      lblResiduals(MakeArray<Label>(
          "lblResiduals", 0, kMaxLops, &frmLsqrPos,
          [](int i) {
            return i == 0 ? TwipsRect{120, 780, 1035, 240}
                          : TwipsRect{120, kResidualTop + kResidualPitch * (i - 1), 3495, 195};
          },
          [](int i) { return std::string(i == 0 ? "Residuals    " : "Residuals"); })),
      lblLop(MakeArray<Label>(
          "lblLop", 0, kComboRows, &Frame2, [](int k) { return ComboCell(kLopCol, k); },
          [](int k) { return ComboText(k, "LOP's", "LopNo"); })),
      lblLat(MakeArray<Label>(
          "lblLat", 0, kComboRows, &Frame2, [](int k) { return ComboCell(kLatCol, k); },
          [](int k) { return ComboText(k, "Latitude", "Lat"); })),
      lblLon(MakeArray<Label>(
          "lblLon", 0, kComboRows, &Frame2, [](int k) { return ComboCell(kLonCol, k); },
          [](int k) { return ComboText(k, "Longitude", "Lon"); })),
      lblDN(MakeArray<Label>(
          "lblDN", 0, kComboRows, &Frame2, [](int k) { return ComboCell(kDnCol, k); },
          [](int k) { return ComboText(k, "dN", "dN"); })),
      lblDE(MakeArray<Label>(
          "lblDE", 0, kComboRows, &Frame2, [](int k) { return ComboCell(kDeCol, k); },
          [](int k) { return ComboText(k, "dE", "dE"); })),
      lblIter(MakeArray<Label>(
          "lblIter", 0, kComboRows, &Frame2,
          [](int k) {
            return ComboHeadingOr(kIterCol, k, {4400, 150, 720, 240});
          },
          [](int k) { return ComboText(k, "Iterations", "i"); })),
      lblGdop(MakeArray<Label>(
          "lblGdop", 0, kComboRows, &Frame2,
          [](int k) {
            return ComboHeadingOr(kGdopCol, k, {4740, 360, 495, 240});
          },
          [](int k) { return ComboText(k, "GDOP", "gdop"); })),
      lblCut(MakeArray<Label>(
          "lblCut", 0, kComboRows, &Frame2,
          [](int k) {
            return ComboHeadingOr(kCutCol, k, {5130, 150, 615, 450});
          },
          [](int k) { return ComboText(k, "Angle Of Cut", "deg"); })),
      lblMean(Add<Label>("lblMean", -1, TwipsRect{kLopCol.left, kMeanTop, kLopCol.width, 240},
                         &Frame2, "Mean")),
      lblMeanLat(Add<Label>("lblMeanLat", -1, TwipsRect{kLatCol.left, kMeanTop, kLatCol.width, 240},
                            &Frame2, "Lat")),
      lblMeanLon(Add<Label>("lblMeanLon", -1, TwipsRect{kLonCol.left, kMeanTop, kLonCol.width, 240},
                            &Frame2, "Lon")),
      lblMeanDN(Add<Label>("lblMeanDN", -1, TwipsRect{kDnCol.left, kMeanTop, kDnCol.width, 240},
                           &Frame2, "dN")),
      lblMeanDE(Add<Label>("lblMeanDE", -1, TwipsRect{kDeCol.left, kMeanTop, kDeCol.width, 240},
                           &Frame2, "dE")),
      cmdChart(
          Add<CommandButton>("cmdChart", -1, TwipsRect{240, 7680, 1455, 495}, nullptr, "Chart")),
      setup_(setup),
      catalogue_(catalogue),
      stations_(static_cast<std::size_t>(catalogue.Size())) {
  // Figures stand right-aligned in their columns; the residual lines and
  // their heading make their columns with blanks.
  for (int j = 0; j < catalogue.Size(); ++j) {
    for (auto* column : {&Label2, &Label3, &Label4, &Label5, &lblGradient}) {
      (*column)(j).SetPresentation(TextAlign::Right);
    }
  }
  for (int k = 1; k <= kComboRows; ++k) {
    for (auto* column : {&lblDN, &lblDE, &lblIter, &lblGdop, &lblCut}) {
      (*column)(k).SetPresentation(TextAlign::Right);
    }
  }
  lblMeanDN.SetPresentation(TextAlign::Right);
  lblMeanDE.SetPresentation(TextAlign::Right);
  Label7.SetPresentation(TextAlign::Left, /*monospace=*/true);
  for (int i = 1; i <= kMaxLops; ++i) {
    lblResiduals(i).SetPresentation(TextAlign::Left, /*monospace=*/true);
  }

  // Rows not in use stay hidden; the load handler shows the rows in use.
  for (int i = 1; i <= kMaxLops; ++i) {
    lblMaster(i).SetVisible(false);
    lblSlave(i).SetVisible(false);
    lblResiduals(i).SetVisible(false);
    if (i >= 2) {
      txtTD(i).SetVisible(false);
      txtWeight(i).SetVisible(false);
    }
  }
  for (int k = 1; k <= kComboRows; ++k) {
    for (auto* column : {&lblLop, &lblLat, &lblLon, &lblDN, &lblDE, &lblIter, &lblGdop, &lblCut}) {
      (*column)(k).SetVisible(false);
    }
  }

  txtEstLat.GotFocus = [this] { txtEstLat_GotFocus(); };
  txtEstLat.LostFocus = [this] { txtEstLat_LostFocus(); };
  txtEstLon.GotFocus = [this] { txtEstLon_GotFocus(); };
  txtEstLon.LostFocus = [this] { txtEstLon_LostFocus(); };
  for (int i = 1; i <= kMaxLops; ++i) {
    txtTD(i).GotFocus = [this, i] { txtTD_GotFocus(i); };
    txtWeight(i).GotFocus = [this, i] { txtWeight_GotFocus(i); };
    txtWeight(i).LostFocus = [this, i] { txtWeight_LostFocus(i); };
  }
  cmdCalcTD.Click = [this] { cmdCalcTD_Click(); };
  cmdCopyTD.Click = [this] { cmdCopyTD_Click(); };
  cmdCalc.Click = [this] { cmdCalc_Click(); };
  cmdExit.Click = [this] { cmdExit_Click(); };
  cmdChart.Click = [this] { cmdChart_Click(); };
  // Copying before any estimate would write zeros over the typed TDs.
  cmdCopyTD.SetEnabled(false);
}

void Frm_PosTDCalc::Form_Load() {
  using text::Format;
  using text::WithSignPlace;

  SetCaption(Caption() + std::string(40, ' ') + "Version : 2.0 Feb 2004");
  LoadCalibration();
  LoadAsfSetting();

  for (int j = 0; j < catalogue_.Size(); ++j) {
    Label1(j).SetCaption(catalogue_.At(j).designator + "  " + catalogue_.At(j).name);
  }

  int combinations = 0;
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    if (i < setup_.NoOfLops) combinations += i;
    const loran::Station& master = catalogue_.At(setup_.LopTable(i).MasterIndex);
    lblMaster(i).SetVisible(true);
    lblMaster(i).SetCaption(WithSignPlace(static_cast<std::int16_t>(i)) + "  " +
                            WithSignPlace(master.gri) + " " + master.name);
    lblSlave(i).SetVisible(true);
    lblSlave(i).SetCaption("-" + catalogue_.At(setup_.LopTable(i).SecondaryIndex).name);
    txtTD(i).SetVisible(true);
    txtWeight(i).SetVisible(true);
    lblResiduals(i).SetVisible(true);
  }
  for (int k = 1; k <= combinations && k <= kComboRows; ++k) {
    for (auto* column : {&lblLop, &lblLat, &lblLon, &lblDN, &lblDE, &lblIter, &lblGdop, &lblCut}) {
      (*column)(k).SetVisible(true);
    }
  }

  txtEstLat.SetText(CoordinateCaption(setup_.EstLat, "LAT"));
  txtEstLon.SetText(CoordinateCaption(setup_.EstLon, "LON"));
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    txtTD(i).SetText(Format(setup_.LopTable(i).ObservedTd, "##0.000"));
    const float w = setup_.LopTable(i).Weight;
    txtWeight(i).SetText(Format(w, (w == 0.0f || w == 1.0f) ? "0" : "0.00"));
  }
}

Label& Frm_PosTDCalc::ChainHeading(int chain) const {
  if (chain < 0 || chain >= static_cast<int>(std::size(kChainHeadings))) {
    throw RuntimeFault(RuntimeFault::kSubscript);
  }
  return dum(kChainHeadings[chain]);
}

void Frm_PosTDCalc::LoadCalibration() {
  // A regular file of bounded size only: a FIFO there would block the
  // window, a link to a device fill the memory.
  const files::FileText file =
      files::ReadRegularFile(kCalibrationFileName, constants::kMaxTableFileBytes);
  if (file.absent) return;
  if (!file.error.empty()) {
    MsgBox(std::string("Calibration file ") + kCalibrationFileName + " cannot be read (" +
           file.error + "). No offsets are used.");
    return;
  }
  const loran::CalibrationRead read = loran::ReadCalibrationText(file.text, catalogue_);
  if (!read.error.empty()) {
    MsgBox(std::string("Calibration file ") + kCalibrationFileName + " is damaged (" + read.error +
           "). No offsets are used.");
    return;
  }
  offsets_.assign(static_cast<std::size_t>(catalogue_.Size()), std::nullopt);
  for (const loran::CalibrationOffset& o : read.offsets) {
    offsets_[static_cast<std::size_t>(o.secondary)] = o;
  }
  SetCaption(Caption() + "   ASF offsets from " + kCalibrationFileName);
}

double Frm_PosTDCalc::OffsetOf(int secondary) const {
  if (secondary < 0 || secondary >= catalogue_.Size()) return 0.0;
  const auto i = static_cast<std::size_t>(secondary);
  const double asf = asfAt_.empty() ? 0.0 : asfAt_[i];
  if (i >= offsets_.size() || !offsets_[i]) return asf;
  return asfAt_.empty() ? offsets_[i]->offset : offsets_[i]->offset + asf;
}

void Frm_PosTDCalc::cmdCalcTD_Click() {
  LoranCalc(1);
}

void Frm_PosTDCalc::cmdCalc_Click() {
  LoranCalc(2);
}

void Frm_PosTDCalc::cmdCopyTD_Click() {
  // Before any estimate there is nothing to copy, and the typed TDs stay.
  if (!estimate_exists_) return;
  for (int i = 1; i <= setup_.NoOfLops; ++i) {
    txtTD(i).SetText(text::Format(StationAt(setup_.LopTable(i).SecondaryIndex).td, "0.000"));
  }
}

void Frm_PosTDCalc::cmdExit_Click() {
  switch (MsgBox("Save setup to file Kestrune.ini ?", MsgButtons::YesNoCancel)) {
    case MsgResult::Yes:
      // A setup that could not be saved keeps the window open for another try.
      if (const std::string problem = WriteSetupFile(setup_, kSetupFileName); !problem.empty()) {
        MsgBox(problem);
        return;
      }
      break;
    case MsgResult::No:
      break;
    default:
      return;
  }
  if (EndProgram) EndProgram();
}

void Frm_PosTDCalc::cmdChart_Click() {
  if (OpenChart) OpenChart();
}

void Frm_PosTDCalc::txtEstLat_GotFocus() {
  txtEstLat.SetSelection(0, txtEstLat.TextLength());
}

void Frm_PosTDCalc::txtEstLat_LostFocus() {
  const text::ParsedCoordinate parsed = text::ParseLatLon(txtEstLat.Text(), "LAT");
  for (const std::string& m : parsed.messages) MsgBox(m);
  txtEstLat.SetText(text::FormatLatLon(parsed.value, "LAT", 3));
}

void Frm_PosTDCalc::txtEstLon_GotFocus() {
  txtEstLon.SetSelection(0, txtEstLon.TextLength());
}

void Frm_PosTDCalc::txtEstLon_LostFocus() {
  const text::ParsedCoordinate parsed = text::ParseLatLon(txtEstLon.Text(), "LON");
  for (const std::string& m : parsed.messages) MsgBox(m);
  txtEstLon.SetText(text::FormatLatLon(parsed.value, "LON", 3));
}

void Frm_PosTDCalc::txtTD_GotFocus(int index) {
  TextBox& box = txtTD(index);
  box.SetSelection(0, box.TextLength());
}

void Frm_PosTDCalc::txtWeight_GotFocus(int index) {
  TextBox& box = txtWeight(index);
  box.SetSelection(0, box.TextLength());
}

void Frm_PosTDCalc::txtWeight_LostFocus(int index) {
  TextBox& box = txtWeight(index);
  const double w = text::ReadLenientNumber(box.Text());
  if (w >= 1) {
    box.SetText("1");
  } else if (w <= 0) {
    box.SetText("0");
  } else {
    box.SetText(text::Format(w, "0.00"));
  }
}

}  // namespace kestrune
