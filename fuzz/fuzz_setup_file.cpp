// ReadSetupFile on arbitrary file contents, through the setup dialog's load
// as at program start. Properties: either the file loads a sound state (no
// message; 2 to 6 LOPs, each a master and a secondary of one chain, the
// dialog's lists selected to match, a finite position) that writes back to
// a file that reads as the same state, or the dialog falls back to the
// defaults after exactly one message.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/setup_file.hpp"
#include "fuzz/fuzz_common.hpp"

using namespace kestrune;

namespace {

void CheckDefaults(const Frm_LoranSetup& dialog, const SetupState& G) {
  fuzz::Check(G.NoOfLops == 0 && G.EstLat == 0.0 && G.EstLon == 0.0, "defaults: globals changed");
  fuzz::Check(dialog.cmbNoOfLops.ListIndex() == 1, "defaults: three LOPs not selected");
  for (int i = 1; i <= 7; ++i) {
    fuzz::Check(G.LopTable(i).Weight == 1.0f, "defaults: weight not 1");
    fuzz::Check(G.LopTable(i).MasterIndex == 0 && G.LopTable(i).SecondaryIndex == 0 &&
                    G.LopTable(i).ObservedTd == 0.0,
                "defaults: LOP fields changed");
    fuzz::Check(dialog.cmbMaster(i).ListIndex() == -1 && dialog.cmbSecondary(i).ListIndex() == -1,
                "defaults: a row is selected");
  }
}

void CheckLoaded(const Frm_LoranSetup& dialog, const SetupState& G) {
  const loran::Catalogue& catalogue = loran::NelsCatalogue();
  const std::vector<std::int16_t> secondaries = catalogue.Secondaries();
  const int n = G.NoOfLops;
  fuzz::Check(n >= 2 && n <= 6, "loaded: count outside 2 to 6");
  fuzz::Check(std::isfinite(G.EstLat) && std::isfinite(G.EstLon), "loaded: position not finite");
  fuzz::Check(dialog.cmbNoOfLops.ListIndex() == n - 2, "loaded: count list not selected");
  for (int i = 1; i <= n; ++i) {
    const LopRecord& lop = G.LopTable(i);
    fuzz::Check(catalogue.IsChainPair(lop.MasterIndex, lop.SecondaryIndex),
                "loaded: not a chain pair");
    fuzz::Check(std::isfinite(lop.ObservedTd) && std::isfinite(lop.Weight),
                "loaded: TD or weight not finite");
    fuzz::Check(dialog.cmbMaster(i).ListIndex() == catalogue.ChainOf(lop.MasterIndex),
                "loaded: master list does not match");
    fuzz::Check(
        dialog.cmbSecondary(i).ListIndex() ==
            static_cast<int>(std::find(secondaries.begin(), secondaries.end(), lop.SecondaryIndex) -
                             secondaries.begin()),
        "loaded: secondary list does not match");
    fuzz::Check(dialog.cmbMaster(i).Visible() && dialog.cmbSecondary(i).Visible(),
                "loaded: row hidden");
  }
  for (int i = n + 1; i <= 7; ++i) {
    fuzz::Check(!dialog.cmbMaster(i).Visible(), "loaded: row above the count shown");
  }

  // What the writer makes of this state reads back as the same state.
  SetupState again;
  std::string problem = ParseSetupText(SetupFileText(G), catalogue, again);
  fuzz::Check(problem.empty(), "written file refused: " + problem);
  fuzz::Check(again.NoOfLops == G.NoOfLops, "round trip: count differs");
  fuzz::Check(std::fabs(again.EstLat - G.EstLat) <= 1e-14 * (1 + std::fabs(G.EstLat)) &&
                  std::fabs(again.EstLon - G.EstLon) <= 1e-14 * (1 + std::fabs(G.EstLon)),
              "round trip: position differs");
  for (int i = 1; i <= n; ++i) {
    const LopRecord& a = again.LopTable(i);
    const LopRecord& b = G.LopTable(i);
    fuzz::Check(a.MasterIndex == b.MasterIndex && a.SecondaryIndex == b.SecondaryIndex,
                "round trip: stations differ");
    fuzz::Check(std::fabs(a.ObservedTd - b.ObservedTd) <= 1e-14 * (1 + std::fabs(b.ObservedTd)),
                "round trip: TD differs");
    // The weight is written to 7 significant digits, as the file keeps it.
    fuzz::Check(std::fabs(a.Weight - b.Weight) <= 1e-6f * std::fabs(b.Weight),
                "round trip: weight differs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(kSetupFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  ScopedScriptedMessageBoxes boxes;
  SetupState setup;
  Frm_LoranSetup dialog(setup, loran::NelsCatalogue());
  dialog.Form_Load();
  if (boxes->boxes.empty()) {
    CheckLoaded(dialog, setup);
  } else {
    fuzz::Check(boxes->boxes.size() == 1, "more than one message for a damaged file");
    fuzz::Check(boxes->boxes[0].text.find("Kestrune.ini") != std::string::npos,
                "the message does not name the file");
    CheckDefaults(dialog, setup);
  }
  return 0;
}
