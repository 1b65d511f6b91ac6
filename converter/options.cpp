// Command-line parsing: every error is one line naming the option, so a
// script that calls the converter sees at once what it got wrong.
#include "converter/options.hpp"

#include <charconv>
#include <cmath>
#include <map>
#include <utility>

#include "loran/datum.hpp"

namespace kestrune::convert {

namespace {

// The largest TD standard deviation taken, us: a reading worse than that
// fixes nothing.
constexpr double kMaxTdSigma = 100.0;

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

// The options that may be given more than once.
bool Repeatable(const std::string& option) {
  return option == "--offset";
}

// The name under which an option is counted: its spellings and the options
// that exclude each other are one.
std::string OptionKey(const std::string& option) {
  if (option == "-o") return "--output";
  if (option == "-q") return "--quiet";
  if (option == "--no-header") return "--header";
  return option;
}

// An empty text, or the error for an option given before (a second value
// would silently replace the first).
std::string Repeated(const std::string& option, std::map<std::string, std::string>& seen) {
  if (option.size() < 2 || option[0] != '-' || Repeatable(option)) return {};
  const auto [it, first] = seen.emplace(OptionKey(option), option);
  if (first) return {};
  return it->second == option ? "option " + option + " given twice"
                              : "options " + it->second + " and " + option + " given together";
}

// --encoding NAME or --skip-lines N (0 to a billion lines) into `o`; the
// error, or an empty text.
std::string ReadInputOption(const std::string& option, const std::string& v, Options& o) {
  if (option == "--encoding") {
    o.encoding = text_codec::EncodingNamed(v);
    if (o.encoding) return {};
    return "--encoding must be " + std::string(text_codec::EncodingNames()) + ", not '" + v + "'";
  }
  constexpr long kMaxSkipLines = 1000000000;
  const auto r = std::from_chars(v.data(), v.data() + v.size(), o.skipLines);
  if (r.ec == std::errc() && r.ptr == v.data() + v.size() && o.skipLines >= 0 &&
      o.skipLines <= kMaxSkipLines) {
    return {};
  }
  return "--skip-lines must be a count of lines from 0, not '" + v + "'";
}

// What an option with a value does: the value read into the options, an
// error text or an empty one.
using ValueOption = std::string (*)(const std::string& option, const std::string& v, Options& o);

std::string SetColumns(const std::string& a, const std::string& v, Options& o) {
  if (a == "--lops") o.lops = SplitList(v);
  if (a == "--lop-cols") o.lopColumns = SplitList(v);
  if (a == "--td-cols") o.tdColumns = SplitList(v);
  if (a == "--weight-cols") o.weightColumns = SplitList(v);
  if (a == "--offset-cols") o.offsetColumns = SplitList(v);
  if (a == "--keep") o.keepColumns = v == "none" ? std::vector<ColumnRef>{} : SplitList(v);
  if (a == "--name-col") o.nameColumn = v;
  if (a == "--pos-cols" || a == "--start-cols") {
    std::vector<ColumnRef> cols = SplitList(v);
    if (cols.size() != 2) return a + " needs two columns, LAT,LON";
    (a == "--pos-cols" ? o.positionColumns : o.startColumns) = cols;
  }
  return {};
}

std::string SetFiles(const std::string& a, const std::string& v, Options& o) {
  if (a == "-o" || a == "--output") o.output = v;
  if (a == "--calibration") o.calibrationFile = v;
  if (a == "--catalogue") o.catalogue = v;
  if (a == "--chart") o.chart = v;
  if (a == "--track-by") {
    o.track = true;
    o.trackColumn = v;
  }
  return {};
}

std::string SetText(const std::string& a, const std::string& v, Options& o) {
  if (a == "--delimiter" || a == "--out-delimiter") {
    const char d = v == "tab" ? '\t' : (v.size() == 1 ? v[0] : 0);
    if (d == 0 || d == '"' || d == '\n' || d == '\r') {
      return a + " must be tab or one character other than a quote, not '" + v + "'";
    }
    (a == "--delimiter" ? o.delimiter : o.outDelimiter) = d;
  } else if (a == "--decimal") {
    if (v != "point" && v != "comma") return "--decimal must be point or comma";
    o.decimal = v == "point" ? text::DecimalMark::kPoint : text::DecimalMark::kComma;
  } else if (a == "--coords") {
    if (v != "text" && v != "auto") return "--coords must be text or auto";
    o.coordinates = v == "text" ? CoordinateMode::kText : CoordinateMode::kAuto;
  }
  return {};
}

std::string SetFormat(const std::string&, const std::string& v, Options& o) {
  static const std::map<std::string, OutputFormat> kFormats = {{"csv", OutputFormat::kCsv},
                                                               {"gpx", OutputFormat::kGpx},
                                                               {"geojson", OutputFormat::kGeoJson},
                                                               {"kml", OutputFormat::kKml}};
  const auto f = kFormats.find(v);
  if (f == kFormats.end()) return "--format must be csv, gpx, geojson or kml, not '" + v + "'";
  o.format = f->second;
  return {};
}

std::string SetThreads(const std::string&, const std::string& v, Options& o) {
  const auto r = std::from_chars(v.data(), v.data() + v.size(), o.threads);
  if (r.ec != std::errc() || r.ptr != v.data() + v.size() || o.threads < 1 || o.threads > 64) {
    return "--threads must be a number from 1 to 64";
  }
  return {};
}

std::string SetOffset(const std::string&, const std::string& v, Options& o) {
  const std::size_t eq = v.find('=');
  if (eq == std::string::npos) return "--offset needs LOP=MICROSECONDS, not '" + v + "'";
  o.offsets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
  return {};
}

std::string SetDate(const std::string&, const std::string& v, Options& o) {
  o.date = loran::ParseDate(v);
  if (!o.date) return "--date must be a day as YYYY-MM-DD, not '" + v + "'";
  return {};
}

std::string SetDatum(const std::string&, const std::string& v, Options& o) {
  const std::string code = v.size() > 5 && v.starts_with("ED50:") ? v.substr(5) : "";
  o.datum = {v == "ED50" || !code.empty(), 0};
  if (!code.empty()) {
    const auto r = std::from_chars(code.data(), code.data() + code.size(), o.datum.epsg);
    if (r.ec != std::errc() || r.ptr != code.data() + code.size() ||
        loran::Ed50(o.datum.epsg) == nullptr) {
      return "--datum " + v + ": the ED50 transformations are 1612, 1613, 1311, 1133";
    }
  } else if (v != "ED50" && v != "WGS84") {
    return "--datum must be WGS84, ED50 or ED50:EPSG, not '" + v + "'";
  }
  return {};
}

// --td-sigma and --residual-sigma: microseconds above 0, at most kMaxTdSigma.
std::string SetSigma(const std::string& a, const std::string& v, Options& o) {
  const auto n = text::ReadStrictNumber(v, {text::DecimalMark::kPoint, false, {}});
  if (!n || !(n->value > 0.0 && n->value <= kMaxTdSigma)) {
    return a + " must be microseconds above 0, at most 100, not '" + v + "'";
  }
  (a == "--td-sigma" ? o.tdSigma : o.residualSigma) = n->value;
  return {};
}

const std::map<std::string, ValueOption>& ValueOptions() {
  static const std::map<std::string, ValueOption> kOptions = {{"--lops", SetColumns},
                                                              {"--lop-cols", SetColumns},
                                                              {"--td-cols", SetColumns},
                                                              {"--weight-cols", SetColumns},
                                                              {"--pos-cols", SetColumns},
                                                              {"--start-cols", SetColumns},
                                                              {"--keep", SetColumns},
                                                              {"--name-col", SetColumns},
                                                              {"--offset-cols", SetColumns},
                                                              {"-o", SetFiles},
                                                              {"--output", SetFiles},
                                                              {"--calibration", SetFiles},
                                                              {"--catalogue", SetFiles},
                                                              {"--chart", SetFiles},
                                                              {"--track-by", SetFiles},
                                                              {"--delimiter", SetText},
                                                              {"--out-delimiter", SetText},
                                                              {"--decimal", SetText},
                                                              {"--coords", SetText},
                                                              {"--format", SetFormat},
                                                              {"--threads", SetThreads},
                                                              {"--offset", SetOffset},
                                                              {"--date", SetDate},
                                                              {"--datum", SetDatum},
                                                              {"--td-sigma", SetSigma},
                                                              {"--residual-sigma", SetSigma},
                                                              {"--encoding", ReadInputOption},
                                                              {"--skip-lines", ReadInputOption}};
  return kOptions;
}

// A flag into `o`; false for an argument that is no flag.
bool SetFlag(const std::string& a, Options& o, bool& jsonLines) {
  if (a == "--jsonl") {
    jsonLines = true;
  } else if (a == "--header" || a == "--no-header") {
    o.header = a == "--header" ? HeaderMode::kYes : HeaderMode::kNo;
  } else if (a == "--complete-digits") {
    o.completeDigits = true;
  } else if (a == "--track") {
    o.track = true;
  } else if (a == "-q" || a == "--quiet") {
    o.quiet = true;
  } else {
    return false;
  }
  return true;
}

// The command word into `p`; false with p.error set, or with p.help or
// p.version set when the first word asks for them.
bool ReadCommand(const std::string& word, ParsedArguments& p) {
  Options& o = p.options;
  if (word == "--help" || word == "-h") {
    p.help = true;
  } else if (word == "--version") {
    p.version = true;
  } else if (word == "fix") {
    o.command = Command::kFix;
    return true;
  } else if (word == "predict") {
    o.command = Command::kPredict;
    return true;
  } else if (word == "calibrate") {
    o.command = Command::kCalibrate;
    o.output = kDefaultCalibrationFile;
    return true;
  } else {
    p.error = "unknown command '" + word + "': fix, predict or calibrate (see --help)";
  }
  return false;
}

// The options that do not go together, or with the command; empty when
// they are sound.
std::string CheckCombination(Options& o, bool jsonLines, bool formatGiven) {
  if (jsonLines && formatGiven) return "--jsonl writes JSON lines: --format does not apply";
  if (jsonLines) o.format = OutputFormat::kJsonLines;
  const bool fix = o.command == Command::kFix;
  const bool calibrate = o.command == Command::kCalibrate;
  if (o.command == Command::kPredict &&
      (!o.lopColumns.empty() || !o.startColumns.empty() || o.near || o.completeDigits ||
       !o.weightColumns.empty() || !o.tdColumns.empty())) {
    return "predict takes --lops and --pos-cols; TD, weight and start options are for fix";
  }
  if (calibrate && (!o.startColumns.empty() || o.near || o.completeDigits ||
                    !o.weightColumns.empty() || !o.offsets.empty() || !o.offsetColumns.empty() ||
                    o.calibrationFile || formatGiven || jsonLines)) {
    return "calibrate takes LOP, TD and position columns; start, weight, offset and format "
           "options are for fix";
  }
  if (fix && !o.positionColumns.empty()) return "--pos-cols is for predict and calibrate";
  if (!fix && o.chart) return "--chart is for fix";
  if (o.chart && o.format == OutputFormat::kJsonLines) return "--chart does not go with --jsonl";
  if (!o.lops.empty() && !o.lopColumns.empty()) return "give --lops or --lop-cols, not both";
  if (o.near && !o.startColumns.empty()) return "give --near or --start-cols, not both";
  if (!fix && o.track) return "--track is for fix";
  if (o.format == OutputFormat::kJsonLines && o.delimiter != 0) {
    return "--delimiter does not apply to --jsonl input";
  }
  return {};
}

}  // namespace

const char* HelpText() {
  return R"(Usage: kestrune-convert fix       [options] [FILE]
       kestrune-convert predict   [options] [FILE]
       kestrune-convert calibrate [options] [KNOWN.csv]

fix        observed TDs to positions: a two-LOP fix for two LOPs, the weighted
           least-squares fix for three to seven, as the calculation window.
predict    positions to the predicted TD and gradient of every LOP.
calibrate  known positions (lat, lon) with the TDs observed there to one ASF
           offset per LOP, written as a calibration file (-o, default
           Kestrune-calibration.csv); a table of the offsets and the position
           errors before and after them goes to standard output.

FILE is a CSV or TSV logbook (standard input when absent or "-"). Every input
row gives one output row, in input order; a row that cannot be converted is
written with the reason in its status column, and the exit code is 1.

LOPs and columns (COL is a 1-based number or a header name):
  --lops 9007W,9007X,...   the LOPs of every row: chain GRI, then the secondary
  --lop-cols COL,...       the LOPs per row, a cell such as "7499Y" (fix and
                           calibrate)
  --td-cols COL,...        the TDs in microseconds, one per LOP; default: the
                           columns named like the LOPs, or td1..tdN, or 1..N
  --weight-cols COL,...    weights 0 to 1 (default: weight1..N when named, else 1)
  --pos-cols LAT,LON       positions for predict and calibrate (default: lat
                           and lon, or 1,2)
  --keep COL,...|none      columns passed through (default: all)
  --name-col COL           waypoint name for GPX, KML and GeoJSON (default: name)

Start position of a fix (else automatic: the coverage is searched):
  --near LAT LON           one start for every row
  --start-cols LAT,LON     a start per row
  --track                  each row starts from the previous good fix of the
                           file (the first from --near or the search)
  --track-by COL           one track per value of this column (implies --track)
  --complete-digits        complete a TD whose leading digits were left off
                           ("359.1") to the value nearest the prediction at
                           the row's start, when the next candidate is 3 times
                           as far; the completed column names such TDs

ASF offsets (us, added to every predicted TD of the LOP; fix and predict):
  --offset 9007X=-0.8      the offset of one LOP (repeatable)
  --offset-cols COL,...    an offset per row and LOP (default: offset1..N
                           when named); a blank cell takes the LOP's --offset
                           or calibration-file offset
  --calibration FILE       the offsets of a calibration file; every LOP in use
                           needs one (--offset 9007Y=0 uses a LOP uncorrected)

ASF predicted from land and sea (Millington's method over the shipped
coastline, docs/accuracy.md; fix, predict and calibrate):
  --asf model              take the model's ASF off every TD (fix), add it to
                           every predicted TD (predict), or fit the offsets
                           that remain after it (calibrate); a column
                           asf_us_<LOP> gives the ASF used for each LOP
  --conductivity FILE      regions of their own ground (format in the man page)
  --land-sigma S --land-epsilon E   the land's constants (default 0.001 S/m
                           and 15, ITU-R P.368 medium dry ground)
  kestrune-convert groundwave --sigma S --epsilon E --km D1,D2,...
                           the homogeneous curves: secondary phase and field
  kestrune-convert asf --station 9007X --at LAT LON
                           one path's land and sea sections and its ASF

Chains, datum, accuracy:
  --catalogue FILE|nels|historical  the chain catalogue (default: the windows')
  --date YYYY-MM-DD        the chain versions on air that day, of the
                           catalogue or, without one, of the NELS and the
                           historical chains together
  --datum WGS84|ED50|ED50:EPSG  the datum of every position read and written;
                           ED50 takes EPSG 1612 north of 62N, else 1311; or
                           force one of 1612, 1613, 1311, 1133
  --td-sigma US            fix: the TD standard deviation behind the 95 %
                           error ellipse, 2drms and coverage (default 0.1)
  --residual-sigma US      fix: the TD error a fix does not model (ASF), for
                           the consistency test of the residuals (default 1)
  --chart FILE             fix: also draw the fixes over the coastline, .svg,
                           .png or .pdf (runs kestrune-chart)

Reading:
  --delimiter tab|;|,|C    field delimiter (default: detected)
  --encoding NAME          utf-8 (default), cp1252, latin1 or utf-16; a byte
                           order mark decides over it; output is always UTF-8
  --skip-lines N           title lines above the header that are not read
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
  --                       the end of the options: a file named "-x.csv" follows

Examples:
  kestrune-convert fix --lops 9007W,9007X,9007Y --near "62 N" "2 E" wrecks.csv
  kestrune-convert fix --lops 9007X,9007Y --td-cols 3,4 --no-header log.tsv
  kestrune-convert fix --lops 9007W,9007X,9007Y --format gpx -o wrecks.gpx wrecks.csv
  kestrune-convert predict --lops 9007X,9007Y positions.csv
  kestrune-convert calibrate --lops 9007W,9007X,9007Y known.csv
  kestrune-convert fix --calibration Kestrune-calibration.csv --lops 9007W,9007X,9007Y \
    --datum ED50 --chart log.svg log.csv
  printf '{"name":"A","td":[15572.7,28545.2,39998.9]}\n' |
    kestrune-convert fix --jsonl --lops 9007W,9007X,9007Y

Exit status: 0 every row ok, 1 some row not (its status says why), 2 bad options or input.
)";
}

ParsedArguments ParseArguments(std::span<const std::string> given) {
  ParsedArguments p;
  Options& o = p.options;
  std::vector<std::string> owned(given.begin(), given.end());
  if (std::string e = TakeAsfOptions(owned, o.asf); !e.empty()) {
    p.error = std::move(e);
    return p;
  }
  const std::span<const std::string> args(owned);
  auto fail = [&](const std::string& why) {
    p.error = why;
    return p;
  };
  if (args.empty()) return fail("missing command: fix, predict or calibrate (see --help)");
  if (!ReadCommand(args[0], p)) return p;
  bool haveInput = false;
  bool jsonLines = false;
  bool optionsEnded = false;  // after "--" every argument is a file name
  std::map<std::string, std::string> seen;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool option = !optionsEnded && a.size() > 1 && a[0] == '-';
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!option) {
      if (haveInput) return fail("more than one input file: '" + o.input + "' and '" + a + "'");
      o.input = a;
      haveInput = true;
    } else if (const std::string twice = Repeated(a, seen); !twice.empty()) {
      return fail(twice);
    } else if (a == "--help" || a == "-h") {
      p.help = true;
      return p;
    } else if (const auto handler = ValueOptions().find(a); handler != ValueOptions().end()) {
      if (i + 1 >= args.size()) return fail("option " + a + " needs a value");
      if (std::string e = handler->second(a, args[++i], o); !e.empty()) return fail(e);
    } else if (a == "--near") {
      if (i + 2 >= args.size()) return fail("--near needs two values: LAT LON");
      o.near = std::make_pair(args[i + 1], args[i + 2]);
      i += 2;
    } else if (!SetFlag(a, o, jsonLines)) {
      return fail("unknown option '" + a + "' (see --help)");
    }
  }
  if (std::string e = CheckCombination(o, jsonLines, seen.count("--format") > 0); !e.empty()) {
    return fail(e);
  }
  return p;
}

}  // namespace kestrune::convert
