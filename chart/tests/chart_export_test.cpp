// The worked three-LOP solution's chart in every format, and the chart of a
// list of fixes. KESTRUNE_CHART_OUT names a folder to keep the files in.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "chart/render.hpp"
#include "chart/tests/chart_test_support.hpp"
#include "loran/fixes.hpp"
#include "loran/prediction.hpp"
#include "loran/solution.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace {

using namespace kestrune;
using namespace kestrune::chart;

using chart_testing::Rad;
using chart_testing::WorkedSolution;

class ChartExport : public chart_testing::PaintingTest {
 protected:
  QString Path(const char* file) const {
    const QByteArray keep = qgetenv("KESTRUNE_CHART_OUT");
    return (keep.isEmpty() ? dir_.path() : QString::fromLocal8Bit(keep)) + "/" + file;
  }
  QTemporaryDir dir_;
};

TEST_F(ChartExport, SolutionChartInEveryFormat) {
  const LoadedCoast& coast = ProgramCoast();
  ASSERT_TRUE(coast.layer) << coast.problem;
  const ChartData data = SolutionChart(WorkedSolution(), loran::NelsCatalogue(), coast.layer, "",
                                       constants::kDefaultTdSigma, "2024-05-17");
  const std::vector<std::string> title = {
      "Kestrune  Loran-C position solution  2024-05-17", "LOPs 9007 W, 9007 X, 9007 Y",
      "Fix 64°00'00.000\"N  004°00'00.000\"E", "GDOP 1.6   95 % ellipse 52 × 33 m, TD σ 0.10 µs",
      "Coast 101.4 NM"};
  EXPECT_EQ(data.titleBlock, title);
  // With a calibration the title names the offsets used.
  loran::PositionSolution calibrated = WorkedSolution();
  calibrated.offsets = {0.0, -0.8, 0.0};
  EXPECT_EQ(
      SolutionChart(calibrated, loran::NelsCatalogue(), coast.layer, "", 0.1, "").titleBlock[4],
      "ASF offsets 9007 X -0.800 µs");
  const ChartScene scene = BuildScene(data, FitFixes(data, 640, 480));
  for (const char* file : {"chart.png", "chart.svg", "chart.pdf"}) {
    EXPECT_EQ(ExportScene(scene, Path(file).toStdString()), "") << file;
  }
  EXPECT_EQ(QImage(Path("chart.png")).size(), QSize(640, 480));

  QFile svg(Path("chart.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  int lopPaths = 0;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"path" &&
        xml.attributes().value("class") == u"lop") {
      ++lopPaths;
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(lopPaths, 3);
  EXPECT_TRUE(QSvgRenderer(Path("chart.svg")).isValid());

  QFile pdf(Path("chart.pdf"));
  const QString bytes = pdf.open(QIODevice::ReadOnly) ? QString::fromLatin1(pdf.readAll()) : "";
  EXPECT_TRUE(bytes.startsWith("%PDF-"));
  EXPECT_EQ(bytes.count(QRegularExpression("/Type\\s*/Page(?!s)")), 1);
}

TEST_F(ChartExport, FixesChartForAConversion) {
  const std::vector<LabelledFix> fixes = {{{Rad(62.5), Rad(-6.5)}, "12:00"},
                                          {{Rad(62.6), Rad(-6.2)}, "12:30"}};
  EXPECT_EQ(ExportFixesChart(fixes, Path("log.svg").toStdString(), {600, 400}), "");
  QFile svg(Path("log.svg"));
  const QByteArray text = svg.open(QIODevice::ReadOnly) ? svg.readAll() : "";
  EXPECT_TRUE(text.contains(">12:30</text>"));
  EXPECT_TRUE(text.contains(">2 fixes</text>"));
  EXPECT_EQ(ExportFixesChart(fixes, Path("log.png").toStdString(), {300, 200}), "");
  EXPECT_EQ(QImage(Path("log.png")).size(), QSize(300, 200));
  EXPECT_EQ(ExportFixesChart(fixes, "log.gif", {300, 200}),
            "the chart file must end in .png, .svg or .pdf: log.gif");
  EXPECT_EQ(ExportFixesChart({}, "log.svg", {300, 200}), "no fixes to chart");
}

}  // namespace
