// Painting and exporting a chart scene. The painter and the SVG writer read
// the same items, so a PNG, a PDF and an SVG of one view show the same chart.
#include "chart/render.hpp"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QXmlStreamWriter>
#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

#include "platform/runtime_fault.hpp"
#include "util/constants.hpp"

namespace kestrune::chart {

namespace {

constexpr int kMinExportSide = 16;
constexpr int kMaxExportSide = 16384;
constexpr const char* kFontFamily = "Liberation Sans";

QColor Colour(std::uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

QString Hex(std::uint32_t rgb) {
  return Colour(rgb).name();
}

QString Num(double v) {
  return QString::number(v, 'f', 2);
}

// The outline of a marker whose shape is a polygon, around its centre.
std::vector<Pixel> Outline(const Item& m) {
  const double r = m.size / 2;
  const Pixel c = m.at;
  switch (m.shape) {
    case Item::Shape::Square:
      return {{c.x - r, c.y - r}, {c.x + r, c.y - r}, {c.x + r, c.y + r}, {c.x - r, c.y + r}};
    case Item::Shape::Diamond:
      return {{c.x, c.y - r}, {c.x + r, c.y}, {c.x, c.y + r}, {c.x - r, c.y}};
    case Item::Shape::Triangle:
      return {{c.x, c.y - r}, {c.x + r, c.y + r * 0.75}, {c.x - r, c.y + r * 0.75}};
    default:
      return {};
  }
}

QFont FontOf(const Item& t) {
  QFont f(kFontFamily);
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(t.size))));
  f.setBold(t.bold);
  return f;
}

QPainterPath PathOf(const std::vector<std::vector<Pixel>>& rings, bool close) {
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  for (const auto& ring : rings) {
    if (ring.empty()) continue;
    path.moveTo(ring.front().x, ring.front().y);
    for (std::size_t i = 1; i < ring.size(); ++i) path.lineTo(ring[i].x, ring[i].y);
    if (close) path.closeSubpath();
  }
  return path;
}

QPen PenOf(const Item& item) {
  if (item.width <= 0.0) return Qt::NoPen;
  QPen pen(Colour(item.stroke), item.width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  if (item.dashed) pen.setDashPattern({5.0, 4.0});
  return pen;
}

void PaintItem(QPainter& p, const Item& item) {
  switch (item.kind) {
    case Item::Kind::Area:
      p.setPen(PenOf(item));
      p.setBrush(item.filled ? QBrush(Colour(item.fill)) : Qt::NoBrush);
      // The land is tens of thousands of edges at small scales; without
      // antialiasing it fills in a third of the time, and a shore drawn to
      // the pixel looks no coarser than the data.
      p.setRenderHint(QPainter::Antialiasing, item.cls != "coast");
      p.drawPath(PathOf(item.rings, true));
      p.setRenderHint(QPainter::Antialiasing, true);
      break;
    case Item::Kind::Line: {
      p.setPen(PenOf(item));
      p.setBrush(Qt::NoBrush);
      const auto& line = item.rings.front();
      QPolygonF poly;
      poly.reserve(static_cast<qsizetype>(line.size()));
      for (const Pixel& q : line) poly.append(QPointF(q.x, q.y));
      p.drawPolyline(poly);
      break;
    }
    case Item::Kind::Marker: {
      p.setPen(PenOf(item));
      p.setBrush(item.filled ? QBrush(Colour(item.fill)) : Qt::NoBrush);
      const double r = item.size / 2;
      if (item.shape == Item::Shape::Circle) {
        p.drawEllipse(QPointF(item.at.x, item.at.y), r, r);
      } else if (item.shape == Item::Shape::Cross) {
        p.drawLine(QPointF(item.at.x - r, item.at.y), QPointF(item.at.x + r, item.at.y));
        p.drawLine(QPointF(item.at.x, item.at.y - r), QPointF(item.at.x, item.at.y + r));
      } else {
        p.drawPath(PathOf({Outline(item)}, true));
      }
      break;
    }
    case Item::Kind::Text: {
      const QFont font = FontOf(item);
      p.setFont(font);
      const QString text = QString::fromStdString(item.text);
      const double w = QFontMetricsF(font, p.device()).horizontalAdvance(text);
      const double x =
          item.align < 0 ? item.at.x : (item.align == 0 ? item.at.x - w / 2 : item.at.x - w);
      // Labels on the chart stand on a light halo, the text drawn in white
      // a pixel off every way, so that lines and land under them do not cut
      // the letters.
      if (item.cls != "title") {
        p.setPen(Qt::white);
        for (const QPointF& d : {QPointF(-1, -1), QPointF(1, -1), QPointF(-1, 1), QPointF(1, 1)}) {
          p.drawText(QPointF(x, item.at.y) + d, text);
        }
      }
      p.setPen(Colour(item.stroke));
      p.drawText(QPointF(x, item.at.y), text);
      break;
    }
  }
}

void WriteStyle(QXmlStreamWriter& x, const Item& item, bool fill) {
  x.writeAttribute("fill", fill && item.filled ? Hex(item.fill) : "none");
  if (item.width > 0.0) {
    x.writeAttribute("stroke", Hex(item.stroke));
    x.writeAttribute("stroke-width", Num(item.width));
    x.writeAttribute("stroke-linejoin", "round");
    x.writeAttribute("stroke-linecap", "round");
    if (item.dashed) x.writeAttribute("stroke-dasharray", "5 4");
  }
}

QString PathData(const std::vector<std::vector<Pixel>>& rings, bool close) {
  QString d;
  for (const auto& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      d += (i == 0 ? "M" : "L") + Num(ring[i].x) + " " + Num(ring[i].y);
    }
    if (close && !ring.empty()) d += "Z";
  }
  return d;
}

void WriteItem(QXmlStreamWriter& x, const Item& item) {
  const bool circle = item.kind == Item::Kind::Marker && item.shape == Item::Shape::Circle;
  x.writeStartElement(item.kind == Item::Kind::Text ? "text" : (circle ? "circle" : "path"));
  x.writeAttribute("class", QString::fromStdString(item.cls));
  if (!item.id.empty()) x.writeAttribute("id", QString::fromStdString(item.id));
  switch (item.kind) {
    case Item::Kind::Area:
      x.writeAttribute("d", PathData(item.rings, true));
      x.writeAttribute("fill-rule", "evenodd");
      WriteStyle(x, item, true);
      break;
    case Item::Kind::Line:
      x.writeAttribute("d", PathData(item.rings, false));
      WriteStyle(x, item, false);
      break;
    case Item::Kind::Marker:
      if (circle) {
        x.writeAttribute("cx", Num(item.at.x));
        x.writeAttribute("cy", Num(item.at.y));
        x.writeAttribute("r", Num(item.size / 2));
      } else if (item.shape == Item::Shape::Cross) {
        const double r = item.size / 2;
        x.writeAttribute("d", PathData({{{item.at.x - r, item.at.y}, {item.at.x + r, item.at.y}},
                                        {{item.at.x, item.at.y - r}, {item.at.x, item.at.y + r}}},
                                       false));
      } else {
        x.writeAttribute("d", PathData({Outline(item)}, true));
      }
      WriteStyle(x, item, true);
      break;
    case Item::Kind::Text:
      x.writeAttribute("x", Num(item.at.x));
      x.writeAttribute("y", Num(item.at.y));
      x.writeAttribute("font-family", QString(kFontFamily) + ", Arial, sans-serif");
      x.writeAttribute("font-size", Num(item.size));
      if (item.bold) x.writeAttribute("font-weight", "bold");
      x.writeAttribute("text-anchor",
                       item.align < 0 ? "start" : (item.align == 0 ? "middle" : "end"));
      x.writeAttribute("fill", Hex(item.stroke));
      x.writeCharacters(QString::fromStdString(item.text));
      break;
  }
  x.writeEndElement();
}

}  // namespace

double FontTextWidth(const std::string& text, double sizePx, bool bold) {
  // One metrics object for each size and weight: making one is what costs.
  // They are kept to the end of the process, past the application whose
  // fonts they hold, so none is destroyed after it.
  static auto* metrics = new std::map<std::pair<double, bool>, QFontMetricsF>;
  auto it = metrics->find({sizePx, bold});
  if (it == metrics->end()) {
    Item probe;
    probe.size = sizePx;
    probe.bold = bold;
    it = metrics->emplace(std::pair{sizePx, bold}, QFontMetricsF(FontOf(probe))).first;
  }
  return it->second.horizontalAdvance(QString::fromStdString(text));
}

void PaintScene(QPainter& painter, const ChartScene& scene) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setClipRect(QRectF(0, 0, scene.width, scene.height));
  painter.fillRect(QRectF(0, 0, scene.width, scene.height), Colour(scene.background));
  for (const Item& item : scene.items) PaintItem(painter, item);
  painter.restore();
}

std::string SceneSvg(const ChartScene& scene) {
  QString out;
  QXmlStreamWriter x(&out);
  x.setAutoFormatting(true);
  x.writeStartDocument();
  x.writeStartElement("svg");
  x.writeDefaultNamespace("http://www.w3.org/2000/svg");
  x.writeAttribute("version", "1.1");
  x.writeAttribute("width", Num(scene.width));
  x.writeAttribute("height", Num(scene.height));
  x.writeAttribute("viewBox", "0 0 " + Num(scene.width) + " " + Num(scene.height));
  x.writeStartElement("rect");
  x.writeAttribute("width", Num(scene.width));
  x.writeAttribute("height", Num(scene.height));
  x.writeAttribute("fill", Hex(scene.background));
  x.writeEndElement();
  for (const Item& item : scene.items) WriteItem(x, item);
  x.writeEndElement();
  x.writeEndDocument();
  return out.toStdString();
}

std::string ExportScene(const ChartScene& scene, const std::string& path) {
  const QString file = QString::fromStdString(path);
  const QString kind = QFileInfo(file).suffix().toLower();
  const int w = static_cast<int>(std::lround(scene.width));
  const int h = static_cast<int>(std::lround(scene.height));
  if (kind == "png") {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    PaintScene(painter, scene);
    painter.end();
    if (!image.save(file, "PNG")) return "cannot write " + path;
    return "";
  }
  if (kind == "pdf") {
    QPdfWriter pdf(file);
    pdf.setResolution(72);
    pdf.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&pdf)) return "cannot write " + path;
    PaintScene(painter, scene);
    painter.end();
    return "";
  }
  if (kind == "svg") {
    QFile out(file);
    const std::string svg = SceneSvg(scene);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(svg.data(), static_cast<qint64>(svg.size())) != static_cast<qint64>(svg.size())) {
      return "cannot write " + path;
    }
    return "";
  }
  return "the chart file must end in .png, .svg or .pdf: " + path;
}

const LoadedCoast& ProgramCoast() {
  static const LoadedCoast coast = [] {
    const std::string dir = QCoreApplication::instance() != nullptr
                                ? QCoreApplication::applicationDirPath().toStdString()
                                : std::string();
    const std::string path = FindCoastlineFile(dir);
    if (path.empty()) return LoadedCoast{nullptr, "coastline-nw-europe.bin not found"};
    CoastlineRead read = ReadCoastline(path);
    if (!read.coast) return LoadedCoast{nullptr, read.problem};
    return LoadedCoast{std::make_shared<const CoastLayer>(std::move(*read.coast)), ""};
  }();
  return coast;
}

std::string TodayText() {
  return QDate::currentDate().toString(Qt::ISODate).toStdString();
}

std::string ExportFixesChart(std::vector<LabelledFix> fixes, const std::string& path, QSize size,
                             const std::string& title) {
  if (fixes.empty()) return "no fixes to chart";
  if (size.width() < kMinExportSide || size.height() < kMinExportSide ||
      size.width() > kMaxExportSide || size.height() > kMaxExportSide) {
    return "the chart size must be 16 to 16384 pixels each way";
  }
  // Mercator ends short of the poles.
  for (std::size_t i = 0; i < fixes.size(); ++i) {
    const double lat = constants::Degrees(fixes[i].position.lat);
    if (!(std::fabs(lat) <= constants::kChartMaxLatitude)) {
      char degrees[32];
      std::snprintf(degrees, sizeof degrees, "%.10g", lat);
      return "fix " + std::to_string(i + 1) + " lies at latitude " + degrees +
             ", beyond the 85 degrees north or south where the chart's Mercator projection ends";
    }
  }
  const LoadedCoast& coast = ProgramCoast();
  try {
    const ChartData data =
        FixesChart(std::move(fixes), coast.layer, coast.problem, title, TodayText());
    const ChartView view = FitFixes(data, size.width(), size.height());
    return ExportScene(BuildScene(data, view, FontTextWidth), path);
  } catch (const RuntimeFault& fault) {
    return std::string("the fixes cannot be charted: ") + fault.what();
  }
}

}  // namespace kestrune::chart
