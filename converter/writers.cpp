// Output formats.
//
// Texts from the input pass through CSV as bytes, untouched; the XML and JSON
// formats need valid UTF-8, so there a byte that is not UTF-8 becomes U+FFFD,
// and so does a control character XML 1.0 forbids; DEL and the C1 controls,
// which both formats take but no screen shows, are written as references.
#include "converter/writers.hpp"

#include "util/text_codec.hpp"

#include "util/output_text.hpp"

namespace kestrune::convert {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at s[i], 0 if it is not one.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  char32_t cp = 0;
  return text_codec::SequenceAt(s, i, cp);
}

// The code point of a DEL or C1 control character at s[i] (n bytes), else
// 0: characters XML and JSON take, that a reader's screen does not show, so
// both formats write them as references.
unsigned Invisible(std::string_view s, std::size_t i, std::size_t n) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (n == 1 && c == 0x7F) return c;
  if (n == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
    return static_cast<unsigned char>(s[i + 1]);
  }
  return 0;
}

void AppendXml(std::string& out, std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8Length(s, i);
    const char c = s[i];
    if (n == 0 ||
        (n == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
      out += kReplacement;
      i += n == 0 ? 1 : n;
      continue;
    }
    if (const unsigned code = Invisible(s, i, n)) {
      out += "&#" + std::to_string(code) + ";";
      i += n;
      continue;
    }
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out.append(s.substr(i, n));
    }
    i += n;
  }
}

void AppendJsonString(std::string& out, std::string_view s) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8Length(s, i);
    const auto c = static_cast<unsigned char>(s[i]);
    if (n == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || Invisible(s, i, n) != 0) {
      const unsigned code = c < 0x20 ? c : Invisible(s, i, n);
      out += "\\u00";
      out += kHex[code >> 4];
      out += kHex[code & 15];
    } else {
      out.append(s.substr(i, n));
    }
    i += n;
  }
  out += '"';
}

void AppendJsonCell(std::string& out, const Cell& cell) {
  if (cell.text.empty()) {
    out += "null";
  } else if (cell.number) {
    out += cell.text;
  } else {
    AppendJsonString(out, cell.text);
  }
}

// Every non-empty value of a row as "name: value" lines, for the description
// of a waypoint or placemark.
std::string Description(const OutRow& row, const std::vector<std::string>& passNames,
                        const std::vector<std::string>& resultNames) {
  std::string d = "line: " + std::to_string(row.line);
  const std::vector<std::string>& names = row.passNames.empty() ? passNames : row.passNames;
  for (std::size_t i = 0; i < row.pass.size() && i < names.size(); ++i) {
    if (!row.pass[i].empty()) d += "\n" + names[i] + ": " + row.pass[i];
  }
  for (std::size_t i = 0; i < row.results.size(); ++i) {
    if (!row.results[i].text.empty()) d += "\n" + resultNames[i] + ": " + row.results[i].text;
  }
  return d;
}

// Decimal degrees to about a millimetre, whatever the C library's locale.
std::string Degrees(double deg) {
  return text::FixedText(deg, 8);
}

// Every format names the passed-through columns and the results alike.
class ColumnWriter : public Writer {
 public:
  ColumnWriter(std::vector<std::string> pass, std::vector<std::string> results)
      : pass_(std::move(pass)), results_(std::move(results)) {}

 protected:
  std::vector<std::string> pass_;
  std::vector<std::string> results_;
};

class CsvWriter : public ColumnWriter {
 public:
  CsvWriter(char delimiter, std::vector<std::string> pass, std::vector<std::string> results)
      : ColumnWriter(std::move(pass), std::move(results)), delimiter_(delimiter) {}
  std::string Begin() const override {
    std::string out;
    Field(out, "line");
    for (const std::string& n : pass_) Next(out, n);
    for (const std::string& n : results_) Next(out, n);
    out += '\n';
    return out;
  }
  void Row(const OutRow& row, std::string& out) const override {
    out += std::to_string(row.line);
    for (const std::string& f : row.pass) Next(out, f);
    for (const Cell& c : row.results) Next(out, c.text);
    out += '\n';
  }

 private:
  void Next(std::string& out, std::string_view f) const {
    out += delimiter_;
    Field(out, f);
  }
  void Field(std::string& out, std::string_view f) const {
    if (f.find_first_of(std::string{delimiter_, '"', '\n', '\r'}) == std::string_view::npos) {
      out += f;
      return;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  char delimiter_;
};

// The members of an object after its "line": the passed-through fields, then
// the results. A JSON-lines input passes its values as JSON texts, which
// `rawJson` writes as they came and otherwise as strings.
void AppendMembers(std::string& out, const OutRow& row, const std::vector<std::string>& pass,
                   const std::vector<std::string>& results, bool rawJson) {
  const bool json = !row.passNames.empty();
  for (std::size_t i = 0; i < row.pass.size(); ++i) {
    out += ',';
    AppendJsonString(out, json ? row.passNames[i] : pass[i]);
    out += ':';
    if (json && rawJson) {
      out += row.pass[i];
    } else {
      AppendJsonString(out, row.pass[i]);
    }
  }
  for (std::size_t i = 0; i < row.results.size(); ++i) {
    out += ',';
    AppendJsonString(out, results[i]);
    out += ':';
    AppendJsonCell(out, row.results[i]);
  }
}

class JsonLinesWriter : public ColumnWriter {
 public:
  using ColumnWriter::ColumnWriter;
  std::string Begin() const override { return {}; }
  void Row(const OutRow& row, std::string& out) const override {
    out += "{\"line\":" + std::to_string(row.line);
    AppendMembers(out, row, pass_, results_, /*rawJson=*/true);
    out += "}\n";
  }
};

class GeoJsonWriter : public ColumnWriter {
 public:
  using ColumnWriter::ColumnWriter;
  std::string Begin() const override { return "{\"type\":\"FeatureCollection\",\"features\":[\n"; }
  std::string_view Between() const override { return ",\n"; }
  std::string End() const override { return "\n]}\n"; }
  void Row(const OutRow& row, std::string& out) const override {
    out += "{\"type\":\"Feature\",\"geometry\":";
    if (row.hasPosition) {
      out += "{\"type\":\"Point\",\"coordinates\":[" + Degrees(row.lon) + "," + Degrees(row.lat) +
             "]}";
    } else {
      out += "null";
    }
    out += ",\"properties\":{\"line\":" + std::to_string(row.line);
    AppendMembers(out, row, pass_, results_, /*rawJson=*/false);
    out += "}}";
  }
};

class GpxWriter : public ColumnWriter {
 public:
  using ColumnWriter::ColumnWriter;
  std::string Begin() const override {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"kestrune-convert\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
           "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
  }
  std::string End() const override { return "</gpx>\n"; }
  void Row(const OutRow& row, std::string& out) const override {
    const std::string desc = Description(row, pass_, results_);
    if (!row.hasPosition) {
      // A waypoint needs a position: a row without one stays as a comment.
      std::string text;
      AppendXml(text, desc);
      for (std::size_t p; (p = text.find("--")) != std::string::npos;) text.replace(p, 2, "- -");
      out += "<!-- " + text + (text.ends_with('-') ? " " : "") + " -->\n";
      return;
    }
    out += "<wpt lat=\"" + Degrees(row.lat) + "\" lon=\"" + Degrees(row.lon) + "\"><name>";
    AppendXml(out, row.name);
    out += "</name><desc>";
    AppendXml(out, desc);
    out += "</desc></wpt>\n";
  }
};

class KmlWriter : public ColumnWriter {
 public:
  using ColumnWriter::ColumnWriter;
  std::string Begin() const override {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>"
           "<name>kestrune-convert</name>\n";
  }
  std::string End() const override { return "</Document></kml>\n"; }
  void Row(const OutRow& row, std::string& out) const override {
    out += "<Placemark><name>";
    AppendXml(out, row.name);
    out += "</name><description>";
    AppendXml(out, Description(row, pass_, results_));
    out += "</description>";
    if (row.hasPosition) {
      out += "<Point><coordinates>" + Degrees(row.lon) + "," + Degrees(row.lat) +
             "</coordinates></Point>";
    }
    out += "</Placemark>\n";
  }
};

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::unique_ptr<Writer> MakeWriter(const Options& options, std::vector<std::string> passNames,
                                   std::vector<std::string> resultNames) {
  switch (options.format) {
    case OutputFormat::kGpx:
      return std::make_unique<GpxWriter>(std::move(passNames), std::move(resultNames));
    case OutputFormat::kGeoJson:
      return std::make_unique<GeoJsonWriter>(std::move(passNames), std::move(resultNames));
    case OutputFormat::kKml:
      return std::make_unique<KmlWriter>(std::move(passNames), std::move(resultNames));
    case OutputFormat::kJsonLines:
      return std::make_unique<JsonLinesWriter>(std::move(passNames), std::move(resultNames));
    case OutputFormat::kCsv:
      break;
  }
  return std::make_unique<CsvWriter>(options.outDelimiter, std::move(passNames),
                                     std::move(resultNames));
}

}  // namespace kestrune::convert
