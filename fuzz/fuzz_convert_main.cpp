// The whole converter on arbitrary command lines and files: the input holds
// the arguments (each ended by a NUL, the list by a second NUL), then one
// byte that splits the rest into two files, in.csv and cal.csv, in the
// working directory; in.csv is also the standard input. Arguments naming
// anything outside the working directory are passed over. Properties:
//   - the exit code is 0, 1 or 2;
//   - every line on standard error is printable and bounded;
//   - the status of every row written is printable and bounded (it once
//     carried 64 bytes of the stack); a CSV holds no NUL its input did not;
//   - GPX, KML, GeoJSON and JSON lines are printable UTF-8 text, and every
//     JSON line parses;
//   - no file is left behind but the inputs and the outputs the options name.
#include <QByteArray>
#include <QJsonDocument>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "converter/options.hpp"
#include "converter/row_reader.hpp"
#include "converter/run.hpp"
#include "fuzz/fuzz_common.hpp"
#include "util/output_text.hpp"

using namespace kestrune;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxArgs = 32;
// A status quotes at most 400 bytes, each escaped to 4 at worst.
constexpr std::size_t kMaxStatusBytes = 2000;
constexpr std::size_t kMaxMessageBytes = 4100;

void WriteFile(const char* name, const std::string& text) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}

// Printable UTF-8 apart from tabs.
bool PrintableLine(std::string line) {
  std::erase(line, '\t');
  return text::IsPrintable(line);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The rows a run wrote: on standard output, or the -o file's text.
void CheckOutput(const convert::Options& o, const std::string& out, bool inputHasNul) {
  const bool csv = o.format == convert::OutputFormat::kCsv;
  bool header = true;
  for (const std::string& line : Lines(out)) {
    if (csv) {
      std::vector<std::string> fields;
      convert::SplitFields(line, o.outDelimiter, fields);
      const std::string& status = fields.back();
      fuzz::Check(!header || status == "status", "CSV header without status: " + line);
      fuzz::Check(text::IsPrintable(status) && status.size() <= kMaxStatusBytes,
                  "a status not printable or too long: " + text::EchoText(status, 200));
      header = false;
      continue;
    }
    fuzz::Check(PrintableLine(line), "not printable text: " + text::EchoText(line, 200));
    if (o.format == convert::OutputFormat::kJsonLines) {
      const QByteArray bytes(line.data(), static_cast<qsizetype>(line.size()));
      fuzz::Check(QJsonDocument::fromJson(bytes).isObject(), "a JSON line does not parse");
    }
  }
  if (csv && !inputHasNul) fuzz::Check(out.find('\0') == std::string::npos, "a NUL in the CSV");
}

// The runs work in a folder of their own under the temporary directory,
// emptied after every run, so that wherever the target is started (a crash
// replayed in a checkout) nothing else is touched; the checks, and so any
// crash file, happen back in the folder it was started in.
class InOwnFolder {
 public:
  InOwnFolder() : previous_(fs::current_path()) { fs::current_path(Folder()); }
  ~InOwnFolder() { fs::current_path(previous_); }
  InOwnFolder(const InOwnFolder&) = delete;
  InOwnFolder& operator=(const InOwnFolder&) = delete;

 private:
  // Kept to the end of the program: the exit handler that removes it runs
  // after the destructors of static objects.
  static const std::string& Folder() {
    static const std::string* const dir = [] {
      auto* d = new std::string((fs::temp_directory_path() / "kestrune-fuzz-XXXXXX").string());
      if (mkdtemp(d->data()) == nullptr) fuzz::Fail("cannot make a working folder");
      std::atexit([] {
        std::error_code ec;
        fs::remove_all(Folder(), ec);
      });
      return d;
    }();
    return *dir;
  }
  fs::path previous_;
};

// What one run leaves.
struct Outcome {
  int code = 0;
  std::string out;       // standard output
  std::string messages;  // standard error
  std::string file;      // the -o file's text, when the run wrote one
  bool wroteFile = false;
  std::string leftOver;  // a file no option names, left in the folder
};

// named: the files the run may leave (its inputs and outputs).
Outcome RunIn(const std::vector<std::string>& args, const std::string& input,
              const std::string& other, const std::string* output,
              const std::vector<std::string>& named) {
  Outcome r;
  InOwnFolder folder;
  WriteFile("in.csv", input);
  WriteFile("cal.csv", other);
  std::FILE* in = input.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  char* outBuffer = nullptr;
  char* errBuffer = nullptr;
  std::size_t outLength = 0, errLength = 0;
  std::FILE* out = open_memstream(&outBuffer, &outLength);
  std::FILE* err = open_memstream(&errBuffer, &errLength);
  r.code = convert::Main(args, {in, out, err});
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  r.out.assign(outBuffer, outLength);
  r.messages.assign(errBuffer, errLength);
  std::free(outBuffer);
  std::free(errBuffer);
  // A run that ends with exit code 2 may not have written the -o file, which
  // may be one of the inputs.
  if (output && r.code != convert::kUsageOrInputError && fs::is_regular_file(*output)) {
    std::ifstream file(*output, std::ios::binary);
    r.file.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    r.wroteFile = true;
  }
  for (const auto& e : fs::directory_iterator(".")) {
    const std::string name = e.path().filename().string();
    if (std::find(named.begin(), named.end(), name) == named.end()) r.leftOver = name;
    fs::remove_all(e.path());
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No kestrune-chart is found: --chart ends before the first row.
  setenv("PATH", "/nonexistent", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t end = bytes.find(std::string(2, '\0'));
  if (end == std::string::npos || end + 2 >= bytes.size()) return 0;
  std::vector<std::string> args;
  for (std::size_t start = 0; start <= end;) {
    const std::size_t nul = bytes.find('\0', start);
    args.push_back(bytes.substr(start, nul - start));
    start = nul + 1;
    if (nul == end) break;
  }
  if (args.size() > kMaxArgs) return 0;
  for (const std::string& a : args) {
    if (a.find('/') != std::string::npos || a == "." || a == "..") return 0;
  }
  const std::string rest = bytes.substr(end + 3);
  const std::size_t split = static_cast<unsigned char>(bytes[end + 2]) * rest.size() / 255;
  const convert::ParsedArguments parsed = convert::ParseArguments(args);
  const bool checked = parsed.error.empty() && !parsed.help && !parsed.version &&
                       parsed.options.command != convert::Command::kCalibrate;
  const bool toFile = checked && parsed.options.output != "-";
  std::vector<std::string> named = {"in.csv", "cal.csv"};
  if (parsed.error.empty()) {
    named.push_back(parsed.options.output);
    if (parsed.options.chart) named.push_back(*parsed.options.chart);
  }
  const Outcome r = RunIn(args, rest.substr(0, split), rest.substr(split),
                          toFile ? &parsed.options.output : nullptr, named);

  fuzz::Check(r.code >= 0 && r.code <= 2, "exit code " + std::to_string(r.code));
  for (const std::string& line : Lines(r.messages)) {
    fuzz::Check(line.starts_with("kestrune-convert: ") && text::IsPrintable(line) &&
                    line.size() <= kMaxMessageBytes,
                "a message not printable or too long: " + text::EchoText(line, 200));
  }
  fuzz::Check(r.leftOver.empty(), "a temporary left behind: " + r.leftOver);
  if (checked && (!toFile || r.wroteFile)) {
    CheckOutput(parsed.options, toFile ? r.file : r.out, rest.find('\0') != std::string::npos);
  }
  return 0;
}
