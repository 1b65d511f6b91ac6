// The calculation window's ASF setting: off by default; "ASF=coastline" in
// Kestrune-asf.ini beside the setup file takes the ASF Millington's method
// predicts from the shipped coastline into every prediction and fix, as a
// calibration offset is, and the title says so.
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "calc_window/frm_postdcalc.hpp"
#include "loran/coastline.hpp"
#include "platform/files.hpp"
#include "platform/message_box.hpp"
#include "util/constants.hpp"

namespace kestrune {

namespace {
// What the title gains while the setting is on.
constexpr const char* kAsfTitle = "   ASF from the coastline";
}  // namespace

void Frm_PosTDCalc::LoadAsfSetting() {
  // A regular file of a few bytes: a FIFO, a device or a huge file there is
  // one box, never a wait.
  const files::FileText file =
      files::ReadRegularFile(kAsfSettingFileName, constants::kMaxTableFileBytes);
  const std::string problem = std::string("ASF setting in ") + kAsfSettingFileName + ": ";
  if (file.absent) return;
  if (!file.error.empty()) {
    MsgBox(problem + "cannot be read (" + file.error + "). No ASF is used.");
    return;
  }
  std::istringstream in(file.text);
  std::string line, value;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("ASF=", 0) == 0) value = line.substr(4);
  }
  if (value.empty() || value == "none") return;
  if (value != "coastline") {
    MsgBox(problem + "\"" + value + "\" is neither none nor coastline. No ASF is used.");
    return;
  }
  UseAsfModel(problem);
}

bool Frm_PosTDCalc::UseAsfModel(const std::string& problem) {
  loran::CoastlineRead coast = loran::ReadCoastline(loran::FindCoastlineFile(""));
  if (!coast.coast) {
    MsgBox(problem + "no coastline (" + coast.problem + "). No ASF is used.");
    return false;
  }
  auto model = std::make_shared<const loran::AsfModel>(
      std::make_shared<const loran::LandMask>(*coast.coast), loran::AsfModelSettings{});
  asf_ = std::make_shared<const loran::CatalogueAsf>(std::move(model), catalogue_);
  SetCaption(Caption() + kAsfTitle);
  return true;
}

bool Frm_PosTDCalc::SetAsfFromCoastline(bool on) {
  if (on == AsfFromCoastline()) return on;
  // The model is read before the file is written, so that a setting kept
  // is one that works.
  if (on && !UseAsfModel(std::string("ASF from the coastline: "))) return false;
  if (!files::ReplaceFile(kAsfSettingFileName, on ? "ASF=coastline\n" : "ASF=none\n").empty()) {
    MsgBox(std::string("ASF setting file ") + kAsfSettingFileName + " could not be written.");
    if (on) DropAsfModel();
    return !on;
  }
  if (!on) DropAsfModel();
  // The results on show were calculated with the old setting.
  if (solution_) {
    LoranCalc(2);
  } else if (estimate_exists_) {
    LoranCalc(1);
  }
  return on;
}

void Frm_PosTDCalc::DropAsfModel() {
  asf_.reset();
  asfAt_.clear();
  std::string caption = Caption();
  if (const std::size_t at = caption.rfind(kAsfTitle); at != std::string::npos) {
    caption.erase(at, std::string(kAsfTitle).size());
    SetCaption(caption);
  }
}

double Frm_PosTDCalc::SetAsfAt(loran::GeoPoint at) {
  std::vector<double> asf(static_cast<std::size_t>(catalogue_.Size()), 0.0);
  double moved = 0.0;
  for (const loran::Chain& chain : catalogue_.Chains()) {
    for (std::int16_t s : chain.secondaries) {
      double a = 0.0;
      try {
        a = asf_->LopAsf(loran::Lop{chain.master, s, 0.0, 1.0}, at);
      } catch (const std::invalid_argument&) {
        // Beyond the model's reach the station is taken over seawater.
      }
      const auto i = static_cast<std::size_t>(s);
      asf[i] = a;
      if (asfAt_.size() == asf.size()) moved = std::max(moved, std::fabs(a - asfAt_[i]));
    }
  }
  asfAt_ = std::move(asf);
  return moved;
}

loran::PositionSolution Frm_PosTDCalc::RefixWithAsf(loran::GeoPoint start,
                                                    loran::PositionSolution all) {
  for (int pass = 0; pass < constants::kAsfFixPasses; ++pass) {
    if (!all.lsq || !all.lsq->converged || all.lsq->fault) break;
    if (SetAsfAt(all.lsq->fix) < constants::kAsfFixTolerance && pass > 0) break;
    all = loran::SolvePosition(catalogue_, loran::SolutionRequest{Lops(), LopOffsets(), start});
  }
  return all;
}

}  // namespace kestrune
