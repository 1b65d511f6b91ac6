// A whole position solution (CALC Pos Solutions) on arbitrary field texts and
// LOP choices. Input: byte 0 picks the number of LOPs (2 to 6), the next
// bytes pick each LOP's secondary (its master follows from the chain), the
// rest is split at line feeds into the texts of txtEstLat, txtEstLon, then
// txtTD(i) and txtWeight(i) in turn. Properties: the press either fills the
// result labels or ends in one run-time error box; either way the window
// stays usable: a TD estimation at 64°N 4°E with plain TDs and weights
// afterwards runs without a message. (A weight beyond the range of a 32-bit
// float is an overflow when it is narrowed, reported like any fault.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "calc_window/frm_postdcalc.hpp"
#include "fuzz/fuzz_common.hpp"
#include "loran/catalogue.hpp"
#include "platform/runtime_fault.hpp"

using namespace kestrune;

namespace {

// The event loop's own box for a run-time error (or the arcsine's box, which
// aborts the calculation without a second one); a parser message can begin
// with any typed text, so only the exact fault texts count.
bool IsFaultBox(const std::string& text) {
  if (text == "ARCSINUS DATA ERROR") return true;  // the arcsine's own box, then the abort
  for (std::int16_t n : {RuntimeFault::kInvalidCall, RuntimeFault::kOverflow,
                         RuntimeFault::kSubscript, RuntimeFault::kDivisionByZero}) {
    if (text == RuntimeFault(n).what()) return true;
  }
  return false;
}

int CountFaults(const ScriptedMessageBoxService& boxes) {
  int n = 0;
  for (const auto& b : boxes.boxes) n += IsFaultBox(b.text) ? 1 : 0;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int n = 2 + data[0] % 5;
  if (size < static_cast<std::size_t>(1 + n)) return 0;

  ScopedScriptedMessageBoxes boxes;
  const loran::Catalogue& catalogue = loran::NelsCatalogue();
  const std::vector<std::int16_t> secondaries = catalogue.Secondaries();
  SetupState setup;
  setup.NoOfLops = static_cast<std::int16_t>(n);
  for (int i = 1; i <= n; ++i) {
    const std::int16_t s = secondaries[data[i] % secondaries.size()];
    LopRecord& lop = setup.LopTable(i);
    lop.MasterIndex = catalogue.Chains()[static_cast<std::size_t>(catalogue.ChainOf(s))].master;
    lop.SecondaryIndex = s;
    lop.Weight = 1.0f;
  }
  std::vector<std::string> texts(2 + 2 * static_cast<std::size_t>(n));
  std::string rest(reinterpret_cast<const char*>(data + 1 + n),
                   size - 1 - static_cast<std::size_t>(n));
  std::size_t field = 0;
  for (char c : rest) {
    if (c == '\n') {
      if (++field == texts.size()) break;
    } else {
      texts[field] += c;
    }
  }

  Frm_PosTDCalc window(setup, catalogue);
  window.Form_Load();
  window.txtEstLat.SetText(texts[0]);
  window.txtEstLon.SetText(texts[1]);
  for (int i = 1; i <= n; ++i) {
    window.txtTD(i).SetText(texts[static_cast<std::size_t>(2 * i)]);
    window.txtWeight(i).SetText(texts[static_cast<std::size_t>(2 * i + 1)]);
  }
  window.cmdCalc.DoClick();

  const int faults = CountFaults(*boxes);
  if (faults > 1) {
    std::string all;
    for (const auto& b : boxes->boxes) {
      all += "\n  [";
      for (char c : b.text) all += c == '\0' ? std::string("\\0") : std::string(1, c);
      all += "]";
    }
    fuzz::Fail("more than one fault box for one press:" + all);
  }
  if (faults == 1) {
    fuzz::Check(IsFaultBox(boxes->boxes.back().text), "the fault box is not the last box");
  } else {
    fuzz::Check(window.lblLsqrIter.Caption().rfind("Iterations ", 0) == 0,
                "least-squares labels not filled");
    for (int j = 0; j <= 14; ++j) {
      fuzz::Check(window.Label2(j).Caption() != "Label2", "station table not filled");
    }
    fuzz::Check(window.lblLsqrGDOP.Caption() == "GDOP n/a" ||
                    window.lblLsqrGDOP.Caption().rfind("GDOP = ", 0) == 0,
                "GDOP label not filled");
  }

  // The window stays usable.
  const std::size_t before = boxes->boxes.size();
  window.txtEstLat.SetText("64 N");
  window.txtEstLon.SetText("4 E");
  for (int i = 1; i <= n; ++i) {
    window.txtTD(i).SetText("0");
    window.txtWeight(i).SetText("1");
  }
  window.cmdCalcTD.DoClick();
  if (boxes->boxes.size() != before) {
    fuzz::Fail("a plain TD estimation after the press showed: " + boxes->boxes.back().text);
  }
  fuzz::Check(window.Label2(0).Caption() == "831598.1" || !window.Label2(0).Caption().empty(),
              "station table empty after the press");
  return 0;
}
