// The run of a command.
//
// Rows are read in batches of bounded size, converted and rendered by the
// worker threads, and written in input order before the next batch is read:
// memory does not grow with the input. JSON lines go one at a time and are
// flushed, so a process on the other end of a pipe gets each answer at once.
#include "converter/run.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "converter/chart_file.hpp"
#include "converter/conversion.hpp"
#include "converter/row_reader.hpp"
#include "converter/run_setup.hpp"
#include "converter/writers.hpp"
#include "loran/calibration.hpp"
#include "platform/files.hpp"
#include "util/constants.hpp"
#include "util/coordinate_text.hpp"
#include "util/output_text.hpp"
#include "util/strict_number.hpp"

namespace kestrune::convert {

namespace {

constexpr std::size_t kBatchRows = 4096;
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;
// Inputs of fewer rows finish before a progress bar would be worth reading.
constexpr unsigned long long kProgressRows = 10000;
constexpr int kProgressWidth = 30;

bool BlankLine(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

bool IsNumberRef(const ColumnRef& ref) {
  return !ref.empty() &&
         std::all_of(ref.begin(), ref.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when a column is referred to by name, so the input must have a header.
bool NamesAColumn(const Options& o) {
  for (const auto* list : {&o.lopColumns, &o.tdColumns, &o.weightColumns, &o.startColumns,
                           &o.positionColumns, &o.offsetColumns}) {
    for (const ColumnRef& r : *list) {
      if (!IsNumberRef(r)) return true;
    }
  }
  if (o.keepColumns) {
    for (const ColumnRef& r : *o.keepColumns) {
      if (!IsNumberRef(r)) return true;
    }
  }
  return o.nameColumn && !IsNumberRef(*o.nameColumn);
}

// True when a field of the row is data: a number, or a coordinate the
// window's parser reads without a message ("62 30 N"). Column names, which
// begin with a letter, are neither.
bool HasData(const std::vector<std::string>& fields) {
  return std::any_of(fields.begin(), fields.end(), [](const std::string& f) {
    const std::size_t first = f.find_first_not_of(" \t");
    if (first == std::string::npos ||
        std::string_view("0123456789+-.").find(f[first]) == std::string_view::npos) {
      return false;
    }
    return text::ReadStrictNumber(f, {text::DecimalMark::kAuto, true, text::MicrosecondUnits()})
               .has_value() ||
           text::ParseLatLon(f, "LON").messages.empty();
  });
}

// The longest message line, bytes: a few echoed names and fields.
constexpr std::size_t kMaxMessageBytes = 1000;

// Where the converted rows go: a stream the caller gives, a device or FIFO
// written in place, or a file written whole through a temporary beside it.
class Output {
 public:
  // Opens the target; false with Problem() set.
  bool Open(const Options& options, std::FILE* given) {
    name_ = options.output;
    if (given) {
      f_ = given;
      name_.clear();
    } else if (files::IsStreamTarget(options.output)) {
      f_ = owned_ = std::fopen(options.output.c_str(), "wb");
      if (!f_) Fail(errno);
    } else {
      file_.emplace(options.output);
      f_ = file_->Ok() ? file_->Stream() : nullptr;
      if (!f_) Fail(file_->Error());
    }
    return ok_;
  }
  bool Write(std::string_view s) {
    if (ok_ && !s.empty() && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) Fail(errno);
    return ok_;
  }
  bool Flush() {
    if (ok_ && std::fflush(f_) != 0) Fail(errno);
    return ok_;
  }
  // Ends the output: a file renamed over its target when `keep`, else
  // removed, the target then as it was.
  bool Close(bool keep) {
    if (file_) {
      if (keep && ok_ && !file_->Commit()) Fail(file_->Error());
      file_->Discard();
    } else if (owned_) {
      if (std::fclose(owned_) != 0) Fail(errno);
    } else if (f_) {
      Flush();
    }
    f_ = owned_ = nullptr;
    return ok_;
  }
  bool Ok() const { return ok_; }
  // What went wrong, for the message line.
  const std::string& Problem() const { return problem_; }
  // "; out.csv not written" when a file was to be written.
  std::string NotWritten() const { return file_ ? "; " + name_ + " not written" : ""; }

 private:
  void Fail(int error) { Fail(std::string(std::strerror(error))); }
  void Fail(const std::string& why) {
    if (!ok_) return;
    ok_ = false;
    problem_ =
        name_.empty() ? "cannot write the output: " + why : "cannot write '" + name_ + "': " + why;
  }
  std::FILE* f_ = nullptr;
  std::FILE* owned_ = nullptr;
  std::optional<files::AtomicFile> file_;
  std::string name_;
  bool ok_ = true;
  std::string problem_;
};

}  // namespace

RowInput::RowInput(const Options& options, std::FILE* in)
    : options_(options),
      json_(options.format == OutputFormat::kJsonLines),
      source_(in, options.encoding),
      delimiter_(options.delimiter) {
  for (long k = 0; k < options.skipLines && source_.Next(line_, overlong_); ++k) {
  }
  std::optional<LineSource::NotUtf8> notUtf8;
  while (!json_ && source_.Next(line_, overlong_)) {
    if (!notUtf8) notUtf8 = source_.LastLineNotUtf8();
    Row& r = pending_.emplace_back();
    if (overlong_ || IsEmptyRow(line_, delimiter_)) {
      Read(r);
      continue;
    }
    if (delimiter_ == 0) delimiter_ = DetectDelimiter(line_);
    Read(r);
    hasHeader_ =
        options.header == HeaderMode::kYes ||
        (options.header == HeaderMode::kAuto && (NamesAColumn(options) || !HasData(r.fields)));
    fieldCount_ = r.fields.size();
    if (hasHeader_) {
      header_ = std::move(r.fields);
      headerLine_ = r.line;
      pending_.pop_back();
    }
    break;
  }
  // An input in another encoding shows itself in its first lines: it is
  // refused before anything is written, with the option that reads it.
  if (!notUtf8) notUtf8 = source_.NotUtf8Ahead();
  if (notUtf8) throw UsageError(NotUtf8Error(options.input, *notUtf8));
}

void RowInput::Read(Row& r) {
  r.line = source_.LineNumber();
  if (overlong_) {
    r.problem = "line longer than " + std::to_string(kMaxLineBytes) + " bytes: not read";
  } else if (const auto notUtf8 = source_.LastLineNotUtf8()) {
    // Split all the same, so that the fields are passed through as text.
    if (!json_) SplitFields(AsUtf8(line_), delimiter_ == 0 ? ',' : delimiter_, r.fields);
    r.problem = NotUtf8Problem(notUtf8->byte);
  } else if (json_ ? BlankLine(line_) : IsEmptyRow(line_, delimiter_)) {
    r.problem = "empty line";
  } else if (json_) {
    ReadJsonObject(line_, r);
  } else {
    r.problem = SplitFields(line_, delimiter_ == 0 ? ',' : delimiter_, r.fields);
  }
}

bool RowInput::Next(Row& row, std::size_t& lineBytes) {
  row = Row{};
  lineBytes = 0;
  if (!pending_.empty()) {
    row = std::move(pending_.front());
    pending_.pop_front();
    return true;
  }
  if (!source_.Next(line_, overlong_)) return false;
  Read(row);
  lineBytes = line_.size();
  return true;
}

namespace {

// The rows of a run: read a batch at a time, converted and rendered by the
// threads, and written in input order, with the counts the summary needs.
class BatchRun {
 public:
  BatchRun(const Options& options, const Converter& converter, const Writer& writer, Output& output,
           ChartFile* chart, RowInput& input, std::FILE* err, unsigned long long inputSize)
      : converter_(converter),
        writer_(writer),
        output_(output),
        chart_(chart),
        input_(input),
        err_(err),
        inputSize_(inputSize),
        json_(options.format == OutputFormat::kJsonLines),
        threads_(ThreadCount(options)),
        progress_(!options.quiet && !json_ && inputSize > 0 && isatty(fileno(err))) {}

  // Reads, converts and writes every row.
  void All() {
    std::size_t batchBytes = 0;
    const std::size_t batchRows = json_ ? 1 : kBatchRows;
    std::size_t lineBytes = 0;
    for (Row r; output_.Ok() && input_.Next(r, lineBytes);) {
      batch_.push_back(std::move(r));
      batchBytes += lineBytes;
      if (batch_.size() >= batchRows || batchBytes >= kBatchBytes) {
        Flush();
        batchBytes = 0;
      }
    }
    Flush();
    if (progressShown_) std::fprintf(err_, "\r\033[K");
  }

  long rows = 0;
  long failed = 0;
  long fixes = 0;
  long beyond = 0;  // fixes far from the calibration's known points

 private:
  // What each row of a batch leaves behind once its text is written.
  struct Done {
    std::string text;
    bool ok = false;
    bool fix = false;
    bool beyond = false;
    std::string chartLine;  // the fix for the chart, empty for none
  };

  // A track takes each row's start from the fix before it: one thread, in order.
  static unsigned ThreadCount(const Options& options) {
    if (options.track) return 1u;
    return options.threads > 0 ? static_cast<unsigned>(options.threads)
                               : std::max(1u, std::thread::hardware_concurrency());
  }

  void ConvertBatch() {
    done_.assign(batch_.size(), Done{});
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      OutRow row;
      for (std::size_t i; (i = next.fetch_add(1)) < batch_.size();) {
        converter_.Convert(batch_[i], row);
        Done& d = done_[i];
        writer_.Row(row, d.text);
        d.ok = row.ok;
        d.fix = row.hasPosition;
        d.beyond = row.beyondCalibration;
        if (chart_ && row.hasPosition)
          d.chartLine = ChartFile::Line(row.wgs84Lat, row.wgs84Lon, row.name);
      }
    };
    std::vector<std::thread> helpers;
    const std::size_t extra = std::min<std::size_t>(threads_, batch_.size() / 64 + 1) - 1;
    for (std::size_t t = 0; t < extra; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers) t.join();
  }

  void Flush() {
    ConvertBatch();
    for (const Done& d : done_) {
      if (rows > 0) output_.Write(writer_.Between());
      output_.Write(d.text);
      ++rows;
      failed += d.ok ? 0 : 1;
      fixes += d.fix ? 1 : 0;
      beyond += d.beyond ? 1 : 0;
      if (chart_) chart_->Add(d.chartLine);
    }
    batch_.clear();
    if (json_) output_.Flush();
    if (progress_) ShowProgress();
  }

  void ShowProgress() {
    const double fraction = std::min(
        1.0, static_cast<double>(input_.Source().BytesRead()) / static_cast<double>(inputSize_));
    if (!progressShown_ && static_cast<double>(rows) / std::max(fraction, 1e-9) <= kProgressRows) {
      return;
    }
    const int bar = static_cast<int>(fraction * kProgressWidth);
    std::fprintf(err_, "\rkestrune-convert: [%s%s] %3d%% %ld rows",
                 std::string(static_cast<std::size_t>(bar), '#').c_str(),
                 std::string(static_cast<std::size_t>(kProgressWidth - bar), '.').c_str(),
                 static_cast<int>(fraction * 100.0), rows);
    std::fflush(err_);
    progressShown_ = true;
  }

  const Converter& converter_;
  const Writer& writer_;
  Output& output_;
  ChartFile* chart_;
  RowInput& input_;
  std::FILE* err_;
  unsigned long long inputSize_;
  bool json_;
  unsigned threads_;
  bool progress_;
  bool progressShown_ = false;
  std::vector<Row> batch_;
  std::vector<Done> done_;
};

// The warning for fixes far beyond the calibration's known points.
std::string BeyondCalibration(const RunSetup& setup, long beyond, long fixes) {
  const loran::CalibrationArea& a = *setup.area;
  char line[160];
  std::snprintf(line, sizeof line,
                "%ld of %ld fixes lie more than %.0f km beyond the %d known points of ", beyond,
                fixes, constants::kCalibrationReach / 1000.0, a.points);
  return line + setup.calibrationFile + " (within " + text::FixedText(a.radius / 1000.0, 1) +
         " km of " + text::FormatLatLon(constants::Degrees(a.centre.lat), "LAT", 0, '.') + " " +
         text::FormatLatLon(constants::Degrees(a.centre.lon), "LON", 0, '.') +
         "); its offsets may not hold there";
}

// The end of a run: the output kept or not, the summary, the chart drawn;
// the exit code.
int Conclude(const Options& options, const RunSetup& setup, const BatchRun& run, Output& output,
             RowInput& input, ChartFile* chart, std::FILE* err) {
  // An input that could not be read to its end leaves no output file.
  const int readError = input.Source().Failed();
  if (!output.Close(readError == 0)) {
    Say(err, output.Problem());
    return kUsageOrInputError;
  }
  if (readError != 0) {
    Say(err, "cannot read the input after line " + std::to_string(input.Source().LineNumber()) +
                 ": " + std::strerror(readError) + output.NotWritten());
    return kUsageOrInputError;
  }
  if (run.beyond > 0) Say(err, BeyondCalibration(setup, run.beyond, run.fixes));
  if (run.failed > 0 && !options.quiet) {
    Say(err, std::to_string(run.failed) + " of " + std::to_string(run.rows) +
                 " rows not converted; the status column says why");
  }
  if (chart) {
    const std::string problem = chart->Draw();
    if (!problem.empty()) {
      Say(err, problem);
      return kUsageOrInputError;
    }
  }
  return run.failed > 0 ? kSomeRowFailed : kAllRowsOk;
}

}  // namespace

int Run(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err,
        unsigned long long inputSize) {
  const std::string clash = OutputsOverInputs(options, in ? fileno(in) : -1);
  if (!clash.empty()) {
    Say(err, clash);
    return kUsageOrInputError;
  }
  if (options.command == Command::kCalibrate) return RunCalibrate(options, in, out, err);
  std::optional<RunSetup> setup;
  std::optional<RowInput> input;
  std::optional<Converter> converter;
  std::optional<ChartFile> chart;
  try {
    setup.emplace(LoadRunSetup(options));
    if (options.chart) chart.emplace(*options.chart, options.input);
    input.emplace(options, in);
    converter.emplace(options, input->Header(), input->FieldCount(), *setup, input->HeaderLine());
  } catch (const UsageError& e) {
    Say(err, e.what());
    return kUsageOrInputError;
  }
  for (const std::string& w : converter->Warnings()) Say(err, w);
  const std::unique_ptr<Writer> writer =
      MakeWriter(options, converter->PassNames(), converter->ResultNames());

  // Only now, with every option checked and every input open, is the output
  // created.
  Output output;
  if (!output.Open(options, out)) {
    Say(err, output.Problem());
    return kUsageOrInputError;
  }
  output.Write(writer->Begin());
  ChartFile* chartFile = chart ? &*chart : nullptr;
  BatchRun run(options, *converter, *writer, output, chartFile, *input, err, inputSize);
  run.All();
  output.Write(writer->End());
  return Conclude(options, *setup, run, output, *input, chartFile, err);
}

void Say(std::FILE* err, const std::string& text) {
  std::fprintf(err, "kestrune-convert: %s\n", text::EchoText(text, kMaxMessageBytes).c_str());
}

std::string OutputsOverInputs(const Options& o, int inputFd) {
  struct Named {
    std::string what;
    std::string path;
  };
  std::vector<Named> reads;
  if (o.catalogue && *o.catalogue != "nels" && *o.catalogue != "historical") {
    reads.push_back({"the catalogue file", *o.catalogue});
  }
  if (o.calibrationFile) reads.push_back({"the calibration file", *o.calibrationFile});
  std::vector<Named> writes;
  if (o.output != "-") writes.push_back({"-o", o.output});
  if (o.chart) writes.push_back({"--chart", *o.chart});
  for (const Named& w : writes) {
    // A device or FIFO is written in place and loses nothing.
    if (files::IsStreamTarget(w.path)) continue;
    const std::string clash = w.what + " " + w.path + " would overwrite ";
    if (files::SameFile(inputFd, w.path) || (o.input != "-" && files::SameFile(o.input, w.path))) {
      return clash + "the input file; write to another file";
    }
    for (const Named& r : reads) {
      if (files::SameFile(r.path, w.path)) return clash + r.what + "; write to another file";
    }
  }
  if (writes.size() == 2 && files::SameFile(writes[0].path, writes[1].path)) {
    return "--chart " + writes[1].path +
           " would overwrite the output file (-o); write to another file";
  }
  return {};
}

int Main(const std::vector<std::string>& args, const Streams& streams) {
  const ParsedArguments parsed = ParseArguments(args);
  if (parsed.help) {
    std::fputs(HelpText(), streams.out);
    return kAllRowsOk;
  }
  if (parsed.version) {
    std::fputs("kestrune-convert 2.0\n", streams.out);
    return kAllRowsOk;
  }
  if (!parsed.error.empty()) {
    Say(streams.err, parsed.error);
    return kUsageOrInputError;
  }
  const Options& o = parsed.options;
  std::FILE* in = streams.in;
  unsigned long long size = 0;
  if (o.input != "-") {
    in = std::fopen(o.input.c_str(), "rb");
    if (!in) {
      Say(streams.err, "cannot open '" + o.input + "': " + std::strerror(errno));
      return kUsageOrInputError;
    }
    struct stat st {};
    if (fstat(fileno(in), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        Say(streams.err, "cannot read '" + o.input + "': " + std::strerror(EISDIR));
        std::fclose(in);
        return kUsageOrInputError;
      }
      if (S_ISREG(st.st_mode)) size = static_cast<unsigned long long>(st.st_size);
    }
  }
  // The calibration table goes to standard output whatever -o says.
  const bool toStream = o.output == "-" || o.command == Command::kCalibrate;
  const int code = Run(o, in, toStream ? streams.out : nullptr, streams.err, size);
  if (in != streams.in) std::fclose(in);
  return code;
}

}  // namespace kestrune::convert
