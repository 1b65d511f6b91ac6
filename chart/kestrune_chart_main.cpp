// kestrune-chart: a chart of labelled fixes over the coastline, written as
// SVG, PNG or PDF without a display. kestrune-convert runs it for --chart,
// so that the converter itself needs no Qt Gui.
//
// Input, from a file or standard input: one fix a line, "lat,lon,label" in
// decimal degrees on WGS 84 (latitude -90 to 90, longitude -180 to 180), the
// label the rest of the line (may be empty); a first line that is not a fix
// is a header; a byte order mark before it is read past. A regular file or
// standard input of at most 256 MiB (about six million fixes). Exit status 0 when the chart is
// written, 2 otherwise, with one line on standard error.
#include <unistd.h>
#include <QByteArray>
#include <QGuiApplication>

#include <charconv>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chart/render.hpp"
#include "platform/files.hpp"
#include "util/constants.hpp"

namespace {

using kestrune::chart::LabelledFix;

constexpr int kDefaultWidth = 1200;  // pixels
constexpr int kDefaultHeight = 900;  // pixels
constexpr int kUsageOrInputError = 2;

const char* const kHelp = R"(Usage: kestrune-chart -o CHART [--size WxH] [--title TEXT] [FIXES]

Draws the fixes of FIXES (standard input when absent or "-") over the
coastline and writes CHART as SVG, PNG or PDF by its ending.

FIXES: one fix a line, "lat,lon,label": decimal degrees on WGS 84, the label
the rest of the line. A first line that is not a fix is a header.
  -o FILE        the chart, .svg, .png or .pdf
  --size WxH     pixels (default 1200x900; 16 to 16384 each way)
  --title TEXT   the title block's first line (default "Kestrune fixes")
  --version      the version
)";

// Qt's own notes (such as a missing XDG runtime folder under the offscreen
// platform) say nothing about the chart; only its errors are passed on.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "kestrune-chart: %s\n", text.toLocal8Bit().constData());
  }
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "kestrune-chart: %s\n", why.c_str());
  return kUsageOrInputError;
}

bool ReadNumber(const std::string& text, double& value, double limit) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  return ec == std::errc() && ptr == end && value >= -limit && value <= limit;
}

// A fix line, or why it is not one.
std::string ReadFix(const std::string& line, LabelledFix& fix) {
  const std::size_t a = line.find(',');
  const std::size_t b = a == std::string::npos ? a : line.find(',', a + 1);
  double lat = 0.0, lon = 0.0;
  if (b == std::string::npos) return "not lat,lon,label";
  if (!ReadNumber(line.substr(0, a), lat, kestrune::constants::kMaxLatitude)) {
    return "latitude '" + line.substr(0, a) + "' is not decimal degrees -90 to 90";
  }
  if (!ReadNumber(line.substr(a + 1, b - a - 1), lon, kestrune::constants::kMaxLongitude)) {
    return "longitude '" + line.substr(a + 1, b - a - 1) + "' is not decimal degrees -180 to 180";
  }
  fix.position = {lat * kestrune::constants::kPi / 180, lon * kestrune::constants::kPi / 180};
  fix.label = line.substr(b + 1);
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string output, input = "-", title = "Kestrune fixes";
  int width = kDefaultWidth, height = kDefaultHeight;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("kestrune-chart %s\n", KESTRUNE_VERSION);
      return 0;
    }
    const bool takesValue = a == "-o" || a == "--output" || a == "--size" || a == "--title";
    if (takesValue && i + 1 >= args.size()) return Fail("option " + a + " needs a value");
    if (a == "-o" || a == "--output") {
      output = args[++i];
    } else if (a == "--title") {
      title = args[++i];
    } else if (a == "--size") {
      const std::string& v = args[++i];
      const std::size_t x = v.find('x');
      const char* end = v.data() + v.size();
      if (x == std::string::npos ||
          std::from_chars(v.data(), v.data() + x, width).ptr != v.data() + x ||
          std::from_chars(v.data() + x + 1, end, height).ptr != end) {
        return Fail("--size must be WIDTHxHEIGHT in pixels, not '" + v + "'");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return Fail("unknown option '" + a + "' (see --help)");
    } else {
      input = a;
    }
  }
  if (output.empty()) return Fail("no chart file: give -o CHART.svg, .png or .pdf");

  // A regular file or standard input, of bounded size: a FIFO or device
  // named as input is one line, never a hang or an endless read.
  const kestrune::files::FileText read =
      input == "-"
          ? kestrune::files::ReadStream(STDIN_FILENO, kestrune::constants::kMaxChartInputBytes)
          : kestrune::files::ReadRegularFile(input, kestrune::constants::kMaxChartInputBytes);
  if (!read.error.empty()) {
    return Fail("cannot read '" + input + "': " + read.error);
  }
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::istringstream in(
      read.text.starts_with(kByteOrderMark) ? read.text.substr(kByteOrderMark.size()) : read.text);
  std::vector<LabelledFix> fixes;
  long n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    LabelledFix fix;
    const std::string problem = ReadFix(line, fix);
    if (problem.empty()) {
      fixes.push_back(std::move(fix));
    } else if (n > 1) {
      return Fail((input == "-" ? "standard input" : input) + " line " + std::to_string(n) + ": " +
                  problem);
    }
  }

  // Drawing text needs a QGuiApplication; the offscreen platform needs no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QtMessages);
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  const std::string problem =
      kestrune::chart::ExportFixesChart(std::move(fixes), output, {width, height}, title);
  if (!problem.empty()) return Fail(problem);
  return 0;
}
