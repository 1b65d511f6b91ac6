// The converter on arbitrary input files. Byte 0 picks one of eight command
// lines (fix with a start, fix searching the coverage, LOPs per row, predict,
// JSON lines, completed digits, UTF-16 after a title line, Windows-1252 JSON
// lines; CSV, GPX, GeoJSON and KML); the rest is the input. Properties: the
// run ends with exit code 0, 1 or 2; what it writes is UTF-8; a CSV or JSON-
// lines run of UTF-8 input that starts writes one row for every input line,
// none lost; every JSON line written parses.
#include <QByteArray>
#include <QJsonDocument>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/run.hpp"
#include "fuzz/fuzz_common.hpp"
#include "util/text_codec.hpp"

using namespace kestrune;

namespace {

const std::vector<std::vector<std::string>> kCommands = {
    {"fix", "-q", "--no-header", "--lops", "9007W,9007X,9007Y", "--near", "63 N", "3 E"},
    {"fix", "-q", "--no-header", "--lops", "9007X,9007Y"},
    {"fix", "-q", "--no-header", "--lop-cols", "1,3,5", "--td-cols", "2,4,6", "--format", "gpx"},
    {"predict", "-q", "--no-header", "--lops", "9007W,7499Y", "--format", "geojson"},
    {"fix", "-q", "--jsonl", "--lops", "9007W,9007X,9007Y"},
    {"fix", "-q", "--no-header", "--lops", "9007W,9007X,9007Y", "--complete-digits", "--start-cols",
     "4,5", "--format", "kml"},
    {"fix", "-q", "--encoding", "utf-16", "--skip-lines", "1", "--lops", "9007X,9007Y"},
    {"fix", "-q", "--jsonl", "--encoding", "cp1252", "--lops", "9007W,9007X,9007Y"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t pick = data[0] % kCommands.size();
  const convert::ParsedArguments args = convert::ParseArguments(kCommands[pick]);
  fuzz::Check(args.error.empty(), "command line refused: " + args.error);
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  if (input.empty()) in = std::fopen("/dev/null", "rb");
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&buffer, &length);
  std::FILE* err = std::fopen("/dev/null", "wb");
  const int code = convert::Run(args.options, in, out, err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  const std::string written(buffer, length);
  std::free(buffer);

  fuzz::Check(code >= 0 && code <= 2, "exit code " + std::to_string(code));
  fuzz::Check(text_codec::FirstNonUtf8(written) == std::string::npos, "output not UTF-8");
  // A UTF-16 byte order mark makes the input UTF-16: its lines are not its
  // bytes' line ends.
  const bool utf16 = input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF");
  std::size_t lines = 0;
  for (std::size_t i = 0; i < input.size(); ++i) lines += input[i] == '\n' ? 1 : 0;
  if (!input.empty() && input.back() != '\n') ++lines;
  std::size_t rows = 0;
  std::size_t start = 0;
  for (std::size_t end; (end = written.find('\n', start)) != std::string::npos; start = end + 1) {
    ++rows;
    if (pick == 4 || pick == 7) {
      const QByteArray line(written.data() + start, static_cast<qsizetype>(end - start));
      fuzz::Check(QJsonDocument::fromJson(line).isObject(), "a JSON line does not parse");
    }
  }
  if (code != 2 && pick <= 1 && !utf16) {
    fuzz::Check(rows == lines + 1, "CSV rows lost: " + std::to_string(rows - 1) + " for " +
                                       std::to_string(lines) + " lines");
  }
  if (code != 2 && (pick == 4 || pick == 7) && !utf16) {
    fuzz::Check(rows == lines, "JSON lines lost");
  }
  return 0;
}
