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
//   - no temporary file is left behind.
// It works in a folder of its own under the temporary directory.
#include <QByteArray>
#include <QJsonDocument>
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

// The rows written on standard output or to the -o file (which a run that
// ends with exit code 2 may not have written: it may be one of the inputs).
void CheckOutput(const convert::Options& o, int code, std::string out, bool inputHasNul) {
  const bool csv = o.format == convert::OutputFormat::kCsv;
  if (o.command == convert::Command::kCalibrate) return;
  if (o.output != "-") {
    if (code == convert::kUsageOrInputError) return;
    if (!fs::is_regular_file(o.output)) return;
    std::ifstream file(o.output, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No kestrune-chart is found: --chart ends before the first row.
  setenv("PATH", "/nonexistent", 1);
  // A folder of its own, emptied after every run: wherever the target is
  // started (a crash replayed in a checkout), nothing else is touched.
  std::string dir = (fs::temp_directory_path() / "kestrune-fuzz-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) fuzz::Fail("cannot make a working folder");
  fs::current_path(dir);
  static const std::string kept = dir;
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(kept, ec);
  });
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
  const std::string input = rest.substr(0, split);
  WriteFile("in.csv", input);
  WriteFile("cal.csv", rest.substr(split));

  std::FILE* in = input.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  char* outBuffer = nullptr;
  char* errBuffer = nullptr;
  std::size_t outLength = 0, errLength = 0;
  std::FILE* out = open_memstream(&outBuffer, &outLength);
  std::FILE* err = open_memstream(&errBuffer, &errLength);
  const int code = convert::Main(args, {in, out, err});
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  const std::string written(outBuffer, outLength);
  const std::string messages(errBuffer, errLength);
  std::free(outBuffer);
  std::free(errBuffer);

  fuzz::Check(code >= 0 && code <= 2, "exit code " + std::to_string(code));
  for (const std::string& line : Lines(messages)) {
    fuzz::Check(line.starts_with("kestrune-convert: ") && text::IsPrintable(line) &&
                    line.size() <= kMaxMessageBytes,
                "a message not printable or too long: " + text::EchoText(line, 200));
  }
  const convert::ParsedArguments parsed = convert::ParseArguments(args);
  if (parsed.error.empty() && !parsed.help && !parsed.version) {
    CheckOutput(parsed.options, code, written, rest.find('\0') != std::string::npos);
  }
  for (const auto& e : fs::directory_iterator(".")) {
    const std::string name = e.path().filename().string();
    fuzz::Check(name[0] != '.', "a temporary left behind: " + name);
    fs::remove_all(e.path());
  }
  return 0;
}
