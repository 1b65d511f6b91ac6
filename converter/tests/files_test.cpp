// What the converter does with files: an output is created only after every
// option is checked and every input opened, never over an input, and is
// written whole or not at all, also when a signal ends the run; every number
// and every echoed field it writes is text; catalogue and calibration files
// are regular files of bounded size.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "converter/tests/convert_test_support.hpp"
#include "tests/support/test_support.hpp"
#include "util/output_text.hpp"

namespace kestrune::convert {
namespace {

namespace fs = std::filesystem;
using testing_support::Listing;
using testing_support::ReadFile;
using testing_support::WriteFile;

// The TDs of 9007W, X and Y at 64 N 4 E.
const std::string kLogbook = "td1,td2,td3\n15373.705,28359.249,40147.515\n";
const std::string kPrevious = "the previous output\n";

struct Ran {
  int code = 0;
  std::string out;
  std::string err;
};

// The whole program on `args`, standard input `input`.
Ran RunMain(const std::vector<std::string>& args, const std::string& input = "") {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  Ran r;
  r.code = Main(args, {in, out, err});
  for (auto [f, text] : {std::pair{out, &r.out}, {err, &r.err}}) {
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) *text += static_cast<char>(c);
  }
  for (std::FILE* f : {in, out, err}) std::fclose(f);
  return r;
}

// A mistake anywhere in the options or inputs is found before the output is
// created: the previous output stays, no temporary is left, and a --chart in
// a missing folder is found before the first row, not after the last.
TEST(OutputWrittenWhole, NothingIsCreatedBeforeEveryOptionAndInputIsSound) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"log.csv", "--lops", "9007V,9007X,9007Y"}, "--lops: no station 9007V"},
      {{"log.csv", "--lops", "9007W,9007X,9007Y", "--td-cols", "1,2,9"},
       "TD column 9 beyond the 3 columns of the input"},
      {{"log.csv", "--lops", "9007W,9007X,9007Y", "--calibration", "missing.csv"},
       "cannot read the calibration file 'missing.csv': No such file or directory"},
      {{"log.csv"}, "no LOPs: give --lops 9007W,9007X,... or --lop-cols"},
      {{"log.csv", "--lops", "9007W,9007X,9007Y", "--chart", "missing/fixes.svg"},
       "--chart missing/fixes.svg: cannot write it: No such file or directory"},
      {{"log.csv", "--lops", "9007W,9007X,9007Y", "--chart", "fixes.txt"},
       "--chart fixes.txt: the chart file must end in .svg, .png or .pdf"},
      {{"missing.csv", "--lops", "9007W,9007X,9007Y"},
       "cannot open 'missing.csv': No such file or directory"},
  };
  testing_support::TempWorkingDir dir;
  WriteFile("log.csv", kLogbook);
  for (const auto& c : cases) {
    WriteFile("out.csv", kPrevious);
    std::vector<std::string> args = {"fix", "-q", "-o", "out.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Ran r = RunMain(args);
    EXPECT_EQ(r.code, kUsageOrInputError) << c.err;
    EXPECT_EQ(r.err, "kestrune-convert: " + c.err + "\n");
    EXPECT_EQ(ReadFile("out.csv"), kPrevious) << c.err;
    EXPECT_EQ(Listing(), "log.csv out.csv") << c.err;
  }
}

// An output that is an input, by any name, is refused and the input kept.
TEST(OutputWrittenWhole, AnOutputThatIsAnInputIsRefused) {
  testing_support::TempWorkingDir dir;
  WriteFile("log.csv", kLogbook);
  fs::create_symlink("log.csv", "link.csv");
  fs::create_hard_link("log.csv", "hard.csv");
  WriteFile("cal.csv", "lop,offset_us\n9007W,0\n9007X,0\n9007Y,0\n");
  fs::copy_file(std::string(KESTRUNE_EXAMPLES_DIR) + "/known-points.csv", "known.csv");
  const std::string lops = "9007W,9007X,9007Y";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"fix", "--lops", lops, "log.csv", "-o", "log.csv"},
       "-o log.csv would overwrite the input file; write to another file"},
      {{"fix", "--lops", lops, "log.csv", "-o", "link.csv"},
       "-o link.csv would overwrite the input file; write to another file"},
      {{"fix", "--lops", lops, "link.csv", "-o", "hard.csv"},
       "-o hard.csv would overwrite the input file; write to another file"},
      {{"fix", "--lops", lops, "log.csv", "--calibration", "cal.csv", "-o", "./cal.csv"},
       "-o ./cal.csv would overwrite the calibration file; write to another file"},
      {{"fix", "--lops", lops, "log.csv", "--chart", "log.csv"},
       "--chart log.csv would overwrite the input file; write to another file"},
      {{"fix", "--lops", lops, "log.csv", "-o", "new.svg", "--chart", "new.svg"},
       "--chart new.svg would overwrite the output file (-o); write to another file"},
      {{"calibrate", "--lops", lops, "known.csv", "-o", "known.csv"},
       "-o known.csv would overwrite the input file; write to another file"},
  };
  for (const auto& c : cases) {
    const Ran r = RunMain(c.args);
    EXPECT_EQ(r.code, kUsageOrInputError) << c.err;
    EXPECT_EQ(r.err, "kestrune-convert: " + c.err + "\n");
  }
  // Standard input read from the file named as the output.
  std::FILE* in = std::fopen("log.csv", "rb");
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(Main({"fix", "--lops", lops, "-o", "log.csv"}, {in, stdout, err}), kUsageOrInputError);
  std::fclose(in);
  std::fclose(err);
  EXPECT_EQ(ReadFile("log.csv"), kLogbook);
  EXPECT_EQ(ReadFile("cal.csv"), "lop,offset_us\n9007W,0\n9007X,0\n9007Y,0\n");
  EXPECT_EQ(Listing(), "cal.csv hard.csv known.csv link.csv log.csv");
}

// A sound run replaces the file whole, through a link too and keeping its
// mode; a device is written in place; the calibration file likewise, and
// one with offsets no reader takes is not written.
TEST(OutputWrittenWhole, ASoundRunReplacesTheFileWhole) {
  testing_support::TempWorkingDir dir;
  WriteFile("log.csv", kLogbook);
  WriteFile("real.csv", kPrevious);
  ::chmod("real.csv", 0640);
  fs::create_symlink("real.csv", "out.csv");
  const std::vector<std::string> fix = {"fix", "-q", "--lops", "9007W,9007X,9007Y", "log.csv"};
  std::vector<std::string> args = fix;
  args.insert(args.end(), {"-o", "out.csv"});
  ASSERT_EQ(RunMain(args).code, kAllRowsOk);
  EXPECT_TRUE(fs::is_symlink("out.csv"));
  const std::string written = ReadFile("real.csv");
  EXPECT_TRUE(written.starts_with("line,td1,td2,td3,fix_lat")) << written;
  EXPECT_TRUE(written.ends_with(",ok\n")) << written;
  EXPECT_EQ(fs::status("real.csv").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  args = fix;
  args.insert(args.end(), {"-o", "/dev/null"});
  EXPECT_EQ(RunMain(args).code, kAllRowsOk);
  EXPECT_EQ(Listing(), "log.csv out.csv real.csv");

  // Known points whose TDs belong to another chain are left out, each named
  // by its line: with none left, no file.
  WriteFile("cal.csv", kPrevious);
  WriteFile("known.csv", "lat,lon,td1,td2,td3\n64,4,15373.705,28359.249,30147.515\n");
  const Ran r = RunMain({"calibrate", "--lops", "9007W,9007X,9007Y", "known.csv", "-o", "cal.csv"});
  EXPECT_EQ(r.code, kUsageOrInputError);
  EXPECT_EQ(r.err,
            "kestrune-convert: line 2 left out: the TD of 9007Y is -10000.00 \xC2\xB5s from the "
            "prediction there (more than 20.00 \xC2\xB5s)\nkestrune-convert: no known point to "
            "calibrate from (1 rows left out)\n");
  EXPECT_EQ(ReadFile("cal.csv"), kPrevious);
  EXPECT_EQ(Listing(), "cal.csv known.csv log.csv out.csv real.csv");
}

// The program ended by SIGINT, SIGTERM or SIGHUP while it writes: the old
// output and chart stay, the temporaries (also the fixes handed to the chart
// program) are removed, one line says what was not written, and the exit
// status is 128 + the signal's number.
TEST(OutputWrittenWhole, ASignalLeavesTheOldFilesAndNoTemporary) {
  testing_support::TempWorkingDir dir;
  fs::create_directory("tmp");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    WriteFile("out.csv", kPrevious);
    int in[2], err[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(err[1], STDERR_FILENO);
      close(in[1]);
      for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
      setenv("TMPDIR", "tmp", 1);
      execl(KESTRUNE_CONVERT_EXE, "kestrune-convert", "fix", "-q", "--lops", "9007W,9007X,9007Y",
            "-o", "out.csv", "--chart", "fixes.svg", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(err[1]);
    // The header and a row, and the input kept open: the run waits for more
    // with its temporaries made.
    ASSERT_EQ(write(in[1], kLogbook.data(), kLogbook.size()),
              static_cast<ssize_t>(kLogbook.size()));
    for (int i = 0; i < 3000 && Listing().find(".out.csv.") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(Listing().find(".fixes.svg."), std::string::npos);
    EXPECT_FALSE(fs::is_empty("tmp"));
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    close(in[1]);
    std::string line(256, '\0');
    line.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(err[0], line.data(), 256))));
    close(err[0]);
    ASSERT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_EQ(line, "kestrune-convert: interrupted; fixes.svg, out.csv not written\n");
    EXPECT_EQ(ReadFile("out.csv"), kPrevious);
    EXPECT_EQ(Listing(), "out.csv tmp");
    EXPECT_TRUE(fs::is_empty("tmp"));
  }
}

// A TD or an offset too large for its field is written in full or as the
// reason, never as memory: every status of every format is printable and
// bounded; a NUL or other control byte in a field is escaped, a long field
// cut.
TEST(EveryNumberANumber, LargeValuesAndControlBytesInEveryFormat) {
  const std::string head = "td1,td2,td3,offset1\n";
  const std::string rows =
      "1e308,28359.249,40147.515,\n"
      "-1.7976931348623157e308,28359.249,40147.515,\n"
      "15373.705,28359.249,40147.515,1e308\n"
      "15373.705,28359.249,40147.515,99999\n" +
      std::string(
          "4\0"
          "1,28359.249,40147.515,\n",
          25) +
      "4\x1B[2J\x7F\xC2\x85,28359.249,40147.515,\n" + std::string(300, '9') +
      "x,28359.249,40147.515,\n";
  const std::vector<std::string> statuses = {
      "TD 1 1e+308 outside the coverage of 9007W (10797.7 to 17602.3)",
      "TD 1 -1.7976931348623157e+308 outside the coverage of 9007W (10797.7 to 17602.3)",
      "offset 1 outside \xC2\xB1"
      "100 \xC2\xB5s: '1e308'",
      "offset 1 outside \xC2\xB1"
      "100 \xC2\xB5s: '99999'",
      "TD 1 unreadable: '4\\x001'",
      "TD 1 unreadable: '4\\x1B[2J\\x7F\\xC2\\x85'",
      "TD 1 unreadable: '" + std::string(40, '9') + "...'",
  };
  // The offset column is found by its name. A NUL in a CSV logbook stops
  // the run before anything is written, naming --encoding (it is the mark
  // of UTF-16 text); in a JSON string it is a field's character like any.
  const std::vector<std::string> fix = {"fix", "-q", "--lops", "9007W,9007X,9007Y"};
  const std::string nulRow(
      "4\0"
      "1,28359.249,40147.515,\n",
      25);
  std::string csvRows = rows;
  csvRows.erase(csvRows.find(nulRow), nulRow.size());
  std::vector<std::string> csvStatuses = statuses;
  csvStatuses.erase(csvStatuses.begin() + 4);
  EXPECT_EQ(testing::Convert(fix, head + rows).code, kUsageOrInputError);
  const testing::Outcome csv = testing::Convert(fix, head + csvRows);
  ASSERT_EQ(csv.rows.size(), csvStatuses.size());
  for (std::size_t i = 0; i < csvStatuses.size(); ++i) {
    EXPECT_EQ(csv.rows[i].at("status"), csvStatuses[i]) << i;
    EXPECT_EQ(csv.rows[i].at("fix_lat"), "") << i;
  }
  // The same rows as JSON lines, and in the formats of maps.
  std::string jsonl;
  for (std::size_t start = 0, end; (end = rows.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string row = rows.substr(start, end - start);
    std::vector<std::string> f;
    SplitFields(row, ',', f);
    nlohmann::json o;
    for (int k = 0; k < 3; ++k) o["td" + std::to_string(k + 1)] = nlohmann::json(f[k]);
    if (!f[3].empty()) o["offset1"] = f[3];
    jsonl += o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  }
  std::vector<std::string> args = fix;
  args.push_back("--jsonl");
  const testing::Outcome j = testing::Convert(args, jsonl);
  std::size_t n = 0;
  for (std::size_t start = 0, end; (end = j.out.find('\n', start)) != std::string::npos;
       start = end + 1, ++n) {
    const QJsonDocument d = QJsonDocument::fromJson(
        QByteArray(j.out.data() + start, static_cast<qsizetype>(end - start)));
    ASSERT_TRUE(d.isObject()) << n;
    const std::string status = d.object().value("status").toString().toStdString();
    EXPECT_TRUE(text::IsPrintable(status) && status.size() < 400) << status;
    if (n < 4) {
      EXPECT_EQ(status, statuses[n]);
    }
  }
  EXPECT_EQ(n, statuses.size());
  for (const std::string format : {"gpx", "kml", "geojson"}) {
    args = fix;
    args.insert(args.end(), {"--format", format});
    const testing::Outcome o = testing::Convert(args, head + csvRows);
    EXPECT_EQ(o.code, kSomeRowFailed) << format;
    EXPECT_EQ(o.out.find('\0'), std::string::npos) << format;
    EXPECT_EQ(o.out.find('\x1B'), std::string::npos) << format;
    EXPECT_EQ(o.out.find('\x7F'), std::string::npos) << format;  // DEL and C1 as references
    EXPECT_EQ(o.out.find("\xC2\x85"), std::string::npos) << format;
    EXPECT_NE(o.out.find("1e+308 outside the coverage"), std::string::npos) << format;
  }
}

// Catalogue and calibration files are regular files of bounded size: a
// device, a directory or a huge file is one line at once; a byte order mark
// is read past.
TEST(FilesOfAnyKind, CatalogueAndCalibrationFilesAreBoundedRegularFiles) {
  testing_support::TempWorkingDir dir;
  WriteFile("log.csv", kLogbook);
  fs::create_directory("folder");
  WriteFile("huge.txt", std::string((1 << 20) + 1, '#'));
  WriteFile("bom.csv", "\xEF\xBB\xBFlop,offset_us\n9007W,0\n9007X,0\n9007Y,0\n");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--catalogue", "/dev/null"},
       "cannot read the catalogue '/dev/null': a device, not a regular file"},
      {{"--catalogue", "folder"}, "cannot read the catalogue 'folder': Is a directory"},
      {{"--catalogue", "huge.txt"}, "cannot read the catalogue 'huge.txt': larger than 1 MiB"},
      {{"--calibration", "/dev/null"},
       "cannot read the calibration file '/dev/null': a device, not a regular file"},
      {{"--calibration", "huge.txt"},
       "cannot read the calibration file 'huge.txt': larger than 1 MiB"},
      {{"--offset", "9007Y=99999"},
       "--offset 9007Y=99999: '99999' is outside \xC2\xB1"
       "100 \xC2\xB5s"},
      {{"--calibration", "bom.csv"}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"fix", "-q", "--lops", "9007W,9007X,9007Y", "log.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Ran r = RunMain(args);
    EXPECT_EQ(r.code, c.err.empty() ? kAllRowsOk : kUsageOrInputError) << c.err;
    EXPECT_EQ(r.err, c.err.empty() ? "" : "kestrune-convert: " + c.err + "\n");
  }
}

}  // namespace
}  // namespace kestrune::convert
