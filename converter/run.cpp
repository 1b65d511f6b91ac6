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

#include "converter/conversion.hpp"
#include "converter/row_reader.hpp"
#include "converter/writers.hpp"
#include "loran/catalogue.hpp"
#include "util/coordinate_text.hpp"
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
  for (const auto* list :
       {&o.lopColumns, &o.tdColumns, &o.weightColumns, &o.startColumns, &o.positionColumns}) {
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

class Output {
 public:
  explicit Output(std::FILE* f) : f_(f) {}
  bool Write(std::string_view s) {
    if (ok_ && !s.empty() && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) {
      ok_ = false;
      error_ = errno;
    }
    return ok_;
  }
  bool Flush() {
    if (ok_ && std::fflush(f_) != 0) {
      ok_ = false;
      error_ = errno;
    }
    return ok_;
  }
  bool Ok() const { return ok_; }
  int Error() const { return error_; }

 private:
  std::FILE* f_;
  bool ok_ = true;
  int error_ = 0;
};

}  // namespace

int Run(const Options& options, std::FILE* in, std::FILE* out, std::FILE* err,
        unsigned long long inputSize) {
  const bool json = options.format == OutputFormat::kJsonLines;
  LineSource source(in);
  std::string line;
  bool overlong = false;
  std::vector<Row> batch;
  auto readRow = [&](Row& r, char delimiter) {
    r.line = source.LineNumber();
    if (overlong) {
      r.problem = "line longer than " + std::to_string(kMaxLineBytes) + " bytes: not read";
    } else if (BlankLine(line)) {
      r.problem = "empty line";
    } else if (json) {
      ReadJsonObject(line, r);
    } else {
      r.problem = SplitFields(line, delimiter, r.fields);
    }
  };

  // The first row that is not empty decides the delimiter and the header.
  char delimiter = options.delimiter;
  std::vector<std::string> header;
  bool hasHeader = false;
  std::size_t fieldCount = 0;
  while (!json && source.Next(line, overlong)) {
    Row r;
    if (overlong || BlankLine(line)) {
      readRow(r, ',');
      batch.push_back(std::move(r));
      continue;
    }
    if (delimiter == 0) delimiter = DetectDelimiter(line);
    readRow(r, delimiter);
    hasHeader =
        options.header == HeaderMode::kYes ||
        (options.header == HeaderMode::kAuto && (NamesAColumn(options) || !HasData(r.fields)));
    fieldCount = r.fields.size();
    if (hasHeader) {
      header = std::move(r.fields);
    } else {
      batch.push_back(std::move(r));
    }
    break;
  }

  std::optional<Converter> converter;
  try {
    converter.emplace(options, hasHeader ? &header : nullptr, fieldCount, loran::NelsCatalogue());
  } catch (const UsageError& e) {
    std::fprintf(err, "kestrune-convert: %s\n", e.what());
    return kUsageOrInputError;
  }
  const std::unique_ptr<Writer> writer =
      MakeWriter(options, converter->PassNames(), converter->ResultNames());

  Output output(out);
  output.Write(writer->Begin());
  const unsigned threads = options.threads > 0 ? static_cast<unsigned>(options.threads)
                                               : std::max(1u, std::thread::hardware_concurrency());
  const bool progress = !options.quiet && !json && inputSize > 0 && isatty(fileno(err));
  bool progressShown = false;
  long rows = 0;
  long failed = 0;
  std::vector<std::string> texts;
  std::vector<char> ok;

  auto flushBatch = [&] {
    texts.assign(batch.size(), std::string());
    ok.assign(batch.size(), 0);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      OutRow row;
      for (std::size_t i; (i = next.fetch_add(1)) < batch.size();) {
        converter->Convert(batch[i], row);
        writer->Row(row, texts[i]);
        ok[i] = row.ok ? 1 : 0;
      }
    };
    std::vector<std::thread> helpers;
    const std::size_t extra = std::min<std::size_t>(threads, batch.size() / 64 + 1) - 1;
    for (std::size_t t = 0; t < extra; ++t) helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers) t.join();
    for (std::size_t i = 0; i < batch.size(); ++i) {
      if (rows > 0) output.Write(writer->Between());
      output.Write(texts[i]);
      ++rows;
      failed += ok[i] ? 0 : 1;
    }
    batch.clear();
    if (json) output.Flush();
    if (progress) {
      const double done =
          std::min(1.0, static_cast<double>(source.BytesRead()) / static_cast<double>(inputSize));
      if (progressShown || static_cast<double>(rows) / std::max(done, 1e-9) > kProgressRows) {
        const int bar = static_cast<int>(done * kProgressWidth);
        std::fprintf(err, "\rkestrune-convert: [%s%s] %3d%% %ld rows",
                     std::string(static_cast<std::size_t>(bar), '#').c_str(),
                     std::string(static_cast<std::size_t>(kProgressWidth - bar), '.').c_str(),
                     static_cast<int>(done * 100.0), rows);
        std::fflush(err);
        progressShown = true;
      }
    }
  };

  std::size_t batchBytes = 0;
  const std::size_t batchRows = json ? 1 : kBatchRows;
  while (output.Ok() && source.Next(line, overlong)) {
    Row& r = batch.emplace_back();
    readRow(r, delimiter);
    batchBytes += line.size();
    if (batch.size() >= batchRows || batchBytes >= kBatchBytes) {
      flushBatch();
      batchBytes = 0;
    }
  }
  flushBatch();
  output.Write(writer->End());
  output.Flush();
  if (progressShown) std::fprintf(err, "\r\033[K");

  if (!output.Ok()) {
    std::fprintf(err, "kestrune-convert: cannot write the output: %s\n",
                 std::strerror(output.Error()));
    return kUsageOrInputError;
  }
  if (source.Failed() != 0) {
    std::fprintf(err, "kestrune-convert: cannot read the input after line %ld: %s\n",
                 source.LineNumber(), std::strerror(source.Failed()));
    return kUsageOrInputError;
  }
  if (failed > 0 && !options.quiet) {
    std::fprintf(err,
                 "kestrune-convert: %ld of %ld rows not converted; the status column says why\n",
                 failed, rows);
  }
  return failed > 0 ? kSomeRowFailed : kAllRowsOk;
}

int Main(const std::vector<std::string>& args) {
  const ParsedArguments parsed = ParseArguments(args);
  if (parsed.help) {
    std::fputs(HelpText(), stdout);
    return kAllRowsOk;
  }
  if (parsed.version) {
    std::puts("kestrune-convert 2.0");
    return kAllRowsOk;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "kestrune-convert: %s\n", parsed.error.c_str());
    return kUsageOrInputError;
  }
  const Options& o = parsed.options;
  std::FILE* in = stdin;
  unsigned long long size = 0;
  if (o.input != "-") {
    in = std::fopen(o.input.c_str(), "rb");
    if (!in) {
      std::fprintf(stderr, "kestrune-convert: cannot open '%s': %s\n", o.input.c_str(),
                   std::strerror(errno));
      return kUsageOrInputError;
    }
    struct stat st {};
    if (fstat(fileno(in), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "kestrune-convert: cannot read '%s': %s\n", o.input.c_str(),
                     std::strerror(EISDIR));
        std::fclose(in);
        return kUsageOrInputError;
      }
      if (S_ISREG(st.st_mode)) size = static_cast<unsigned long long>(st.st_size);
    }
  }
  std::FILE* out = stdout;
  if (o.output != "-") {
    out = std::fopen(o.output.c_str(), "wb");
    if (!out) {
      std::fprintf(stderr, "kestrune-convert: cannot write '%s': %s\n", o.output.c_str(),
                   std::strerror(errno));
      if (in != stdin) std::fclose(in);
      return kUsageOrInputError;
    }
  }
  const int code = Run(o, in, out, stderr, size);
  if (in != stdin) std::fclose(in);
  if (out != stdout && std::fclose(out) != 0 && code != kUsageOrInputError) {
    std::fprintf(stderr, "kestrune-convert: cannot write '%s': %s\n", o.output.c_str(),
                 std::strerror(errno));
    return kUsageOrInputError;
  }
  return code;
}

}  // namespace kestrune::convert
