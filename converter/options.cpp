// Command-line parsing: every error is one line naming the option, so a
// script that calls the converter sees at once what it got wrong.
#include "converter/options.hpp"

#include <charconv>

namespace kestrune::convert {

namespace {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text) {
    if (c == ',') {
      out.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  out.push_back(item);
  return out;
}

}  // namespace

const char* HelpText() {
  return R"(Usage: kestrune-convert fix     [options] [FILE]
       kestrune-convert predict [options] [FILE]

fix      observed TDs to positions: a two-LOP fix for two LOPs, the weighted
         least-squares fix for three to seven, as the calculation window.
predict  positions to the predicted TD and gradient of every LOP.

FILE is a CSV or TSV logbook (standard input when absent or "-"). Every input
row gives one output row, in input order; a row that cannot be converted is
written with the reason in its status column, and the exit code is 1.

LOPs and columns (COL is a 1-based number or a header name):
  --lops 9007W,9007X,...   the LOPs of every row: chain GRI, then the secondary
  --lop-cols COL,...       the LOPs per row, a cell such as "7499Y" (fix)
  --td-cols COL,...        the TDs in microseconds, one per LOP; default: the
                           columns named like the LOPs, or td1..tdN, or 1..N
  --weight-cols COL,...    weights 0 to 1 (default: weight1..N when named, else 1)
  --pos-cols LAT,LON       positions for predict (default: lat and lon, or 1,2)
  --keep COL,...|none      columns passed through (default: all)
  --name-col COL           waypoint name for GPX, KML and GeoJSON (default: name)

Start position of a fix (else automatic: the coverage is searched):
  --near LAT LON           one start for every row
  --start-cols LAT,LON     a start per row
  --complete-digits        complete a TD whose leading digits were left off
                           ("359.1") to the value nearest the prediction at
                           the start; the completed column names such TDs

Reading:
  --delimiter tab|;|,|C    field delimiter (default: detected)
  --decimal point|comma    decimal mark of numbers (default: per number)
  --header / --no-header   whether the first row names the columns (default: detected)
  --coords text            read every coordinate with the window's parser, so
                           "62.5" is 62 deg 05'; by default a plain number is
                           decimal degrees
  --jsonl                  JSON lines in and out: one object per line, flushed

Writing:
  -o, --output FILE        (default: standard output)
  --format csv|gpx|geojson|kml
  --out-delimiter C        CSV delimiter of the output (default: ",")
  --threads N              worker threads (default: one per processor)
  -q, --quiet              no progress bar and no summary on standard error

Examples:
  kestrune-convert fix --lops 9007W,9007X,9007Y --near "62 N" "2 E" wrecks.csv
  kestrune-convert fix --lops 9007X,9007Y --td-cols 3,4 --no-header log.tsv
  kestrune-convert fix --lops 9007W,9007X,9007Y --format gpx -o wrecks.gpx wrecks.csv
  kestrune-convert predict --lops 9007X,9007Y positions.csv
  printf '{"name":"A","td":[14583.2,28316.5,41252.3]}\n' |
    kestrune-convert fix --jsonl --lops 9007W,9007X,9007Y

Exit status: 0 every row converted, 1 some row not, 2 bad options or input.
)";
}

ParsedArguments ParseArguments(std::span<const std::string> args) {
  ParsedArguments p;
  Options& o = p.options;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) {
    p.error = why;
    return p;
  };
  if (args.empty()) return fail("missing command: fix or predict (see --help)");
  if (args[0] == "--help" || args[0] == "-h") {
    p.help = true;
    return p;
  }
  if (args[0] == "--version") {
    p.version = true;
    return p;
  }
  if (args[0] == "fix") {
    o.command = Command::kFix;
  } else if (args[0] == "predict") {
    o.command = Command::kPredict;
  } else {
    return fail("unknown command '" + args[0] + "': fix or predict (see --help)");
  }
  bool haveInput = false;
  bool jsonLines = false;
  bool formatGiven = false;
  for (i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      p.help = true;
      return p;
    }
    const bool takesValue = a == "--lops" || a == "--lop-cols" || a == "--td-cols" ||
                            a == "--weight-cols" || a == "--pos-cols" || a == "--start-cols" ||
                            a == "--keep" || a == "--name-col" || a == "--delimiter" ||
                            a == "--decimal" || a == "--coords" || a == "-o" || a == "--output" ||
                            a == "--format" || a == "--out-delimiter" || a == "--threads";
    if (takesValue && !value(v)) return fail("option " + a + " needs a value");
    if (a == "--lops") {
      o.lops = SplitList(v);
    } else if (a == "--lop-cols") {
      o.lopColumns = SplitList(v);
    } else if (a == "--td-cols") {
      o.tdColumns = SplitList(v);
    } else if (a == "--weight-cols") {
      o.weightColumns = SplitList(v);
    } else if (a == "--pos-cols" || a == "--start-cols") {
      std::vector<ColumnRef> cols = SplitList(v);
      if (cols.size() != 2) return fail(a + " needs two columns, LAT,LON");
      (a == "--pos-cols" ? o.positionColumns : o.startColumns) = cols;
    } else if (a == "--keep") {
      o.keepColumns = v == "none" ? std::vector<ColumnRef>{} : SplitList(v);
    } else if (a == "--name-col") {
      o.nameColumn = v;
    } else if (a == "--delimiter" || a == "--out-delimiter") {
      const char d = v == "tab" ? '\t' : (v.size() == 1 ? v[0] : 0);
      if (d == 0 || d == '"' || d == '\n' || d == '\r') {
        return fail(a + " must be tab or one character other than a quote, not '" + v + "'");
      }
      (a == "--delimiter" ? o.delimiter : o.outDelimiter) = d;
    } else if (a == "--decimal") {
      if (v != "point" && v != "comma") return fail("--decimal must be point or comma");
      o.decimal = v == "point" ? text::DecimalMark::kPoint : text::DecimalMark::kComma;
    } else if (a == "--coords") {
      if (v != "text" && v != "auto") return fail("--coords must be text or auto");
      o.coordinates = v == "text" ? CoordinateMode::kText : CoordinateMode::kAuto;
    } else if (a == "-o" || a == "--output") {
      o.output = v;
    } else if (a == "--format") {
      formatGiven = true;
      if (v == "csv") {
        o.format = OutputFormat::kCsv;
      } else if (v == "gpx") {
        o.format = OutputFormat::kGpx;
      } else if (v == "geojson") {
        o.format = OutputFormat::kGeoJson;
      } else if (v == "kml") {
        o.format = OutputFormat::kKml;
      } else {
        return fail("--format must be csv, gpx, geojson or kml, not '" + v + "'");
      }
    } else if (a == "--threads") {
      const auto r = std::from_chars(v.data(), v.data() + v.size(), o.threads);
      if (r.ec != std::errc() || r.ptr != v.data() + v.size() || o.threads < 1 || o.threads > 64) {
        return fail("--threads must be a number from 1 to 64");
      }
    } else if (a == "--near") {
      if (i + 2 >= args.size()) return fail("--near needs two values: LAT LON");
      o.near = std::make_pair(args[i + 1], args[i + 2]);
      i += 2;
    } else if (a == "--jsonl") {
      jsonLines = true;
    } else if (a == "--header" || a == "--no-header") {
      o.header = a == "--header" ? HeaderMode::kYes : HeaderMode::kNo;
    } else if (a == "--complete-digits") {
      o.completeDigits = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return fail("unknown option '" + a + "' (see --help)");
    } else if (haveInput) {
      return fail("more than one input file: '" + o.input + "' and '" + a + "'");
    } else {
      o.input = a;
      haveInput = true;
    }
  }
  if (jsonLines && formatGiven) return fail("--jsonl writes JSON lines: --format does not apply");
  if (jsonLines) o.format = OutputFormat::kJsonLines;
  const bool fix = o.command == Command::kFix;
  if (!fix && (!o.lopColumns.empty() || !o.startColumns.empty() || o.near || o.completeDigits ||
               !o.weightColumns.empty() || !o.tdColumns.empty())) {
    return fail("predict takes --lops and --pos-cols; TD, weight and start options are for fix");
  }
  if (fix && !o.positionColumns.empty()) return fail("--pos-cols is for predict");
  if (!o.lops.empty() && !o.lopColumns.empty()) return fail("give --lops or --lop-cols, not both");
  if (o.near && !o.startColumns.empty()) return fail("give --near or --start-cols, not both");
  if (o.completeDigits && !o.near && o.startColumns.empty()) {
    return fail("--complete-digits needs a start: --near or --start-cols");
  }
  if (o.format == OutputFormat::kJsonLines && o.delimiter != 0) {
    return fail("--delimiter does not apply to --jsonl input");
  }
  return p;
}

}  // namespace kestrune::convert
