// Files read and written whole: every kind of file a name can stand for is
// read or refused at once, a write is seen whole or not at all, and a signal
// leaves no temporary behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/files.hpp"

namespace kestrune::files {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kestrune-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  static void Write(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
  }
  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The names in the directory, sorted, blank-separated.
  static std::string Listing() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
  }
  fs::path dir_, previous_;
};

TEST_F(FilesTest, ReadsRegularFilesOnlyAndRefusesOthersAtOnce) {
  Write("cal.csv", "lop,offset_us\n");
  Write("big.txt", std::string(17, 'x'));
  Write("limit.txt", std::string(16, 'x'));
  fs::create_directory("folder");
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  fs::create_symlink("/dev/zero", "zero-link");
  fs::create_symlink("cal.csv", "cal-link");
  const struct {
    const char* name;
    const char* text;
    const char* error;
  } cases[] = {
      {"cal.csv", "lop,offset_us\n", ""},
      {"cal-link", "lop,offset_us\n", ""},
      {"limit.txt", "xxxxxxxxxxxxxxxx", ""},
      {"big.txt", "", "larger than 16 bytes"},
      {"missing.csv", "", "No such file or directory"},
      {"folder", "", "Is a directory"},
      {"fifo", "", "a FIFO, not a regular file"},  // no writer: opening it would wait for ever
      {"/dev/zero", "", "a device, not a regular file"},
      {"zero-link", "", "a device, not a regular file"},
  };
  for (const auto& c : cases) {
    const FileText f = ReadRegularFile(c.name, 16);
    EXPECT_EQ(f.text, c.text) << c.name;
    EXPECT_EQ(f.error, c.error) << c.name;
    EXPECT_EQ(f.absent, std::string(c.name) == "missing.csv") << c.name;
  }
  EXPECT_EQ(SizeText(std::size_t{1} << 20), "1 MiB");
  EXPECT_EQ(SizeText(std::size_t{256} << 20), "256 MiB");
  EXPECT_EQ(SizeText(4096), "4 KiB");
  EXPECT_EQ(SizeText(1000), "1000 bytes");
}

TEST_F(FilesTest, StreamsAreReadUpToTheirLimit) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  ASSERT_EQ(write(p[1], "0123456789", 10), 10);
  close(p[1]);
  EXPECT_EQ(ReadStream(p[0], 9).error, "larger than 9 bytes");
  close(p[0]);
  ASSERT_EQ(pipe(p), 0);
  ASSERT_EQ(write(p[1], "0123456789", 10), 10);
  close(p[1]);
  EXPECT_EQ(ReadStream(p[0], 10).text, "0123456789");
  close(p[0]);
}

TEST_F(FilesTest, AWriteIsSeenWholeOrNotAtAll) {
  Write("out.csv", "old\n");
  {
    AtomicFile f("out.csv");
    ASSERT_TRUE(f.Ok()) << f.Error();
    EXPECT_TRUE(f.Write("new\n"));
    EXPECT_EQ(Read("out.csv"), "old\n");  // until the rename
    EXPECT_EQ(fs::path(f.TemporaryPath()).filename().string().substr(0, 9), ".out.csv.");
  }  // not committed: removed
  EXPECT_EQ(Read("out.csv"), "old\n");
  EXPECT_EQ(Listing(), "out.csv");

  // Two writers of one file: the last rename wins, whole.
  AtomicFile a("out.csv"), b("out.csv");
  ASSERT_TRUE(a.Ok() && b.Ok());
  std::fputs("a1\n", a.Stream());
  b.Write("b1\n");
  std::fputs("a2\n", a.Stream());
  b.Write("b2\n");
  ASSERT_TRUE(b.Commit());
  ASSERT_TRUE(a.Commit());
  EXPECT_EQ(Read("out.csv"), "a1\na2\n");
  EXPECT_EQ(Listing(), "out.csv");

  // The ending kept for a writer that picks its format by it; a file written
  // by another process under the temporary's name.
  AtomicFile chart("fixes.svg", true);
  ASSERT_TRUE(chart.Ok());
  EXPECT_TRUE(chart.TemporaryPath().ends_with(".svg"));
  chart.Release();
  Write(chart.TemporaryPath(), "<svg/>");
  ASSERT_TRUE(chart.Commit());
  EXPECT_EQ(Read("fixes.svg"), "<svg/>");
  EXPECT_EQ(ReplaceFile("new.txt", "text"), "");
  EXPECT_EQ(Read("new.txt"), "text");
  EXPECT_EQ(Listing(), "fixes.svg new.txt out.csv");
}

TEST_F(FilesTest, TargetsThatAreNotReplaced) {
  Write("kept.csv", "kept");
  ::chmod("kept.csv", 0444);
  fs::create_directory("folder");
  Write("real.csv", "real");
  fs::create_symlink("real.csv", "link.csv");
  const struct {
    const char* path;
    const char* error;
  } cases[] = {
      {"kept.csv", "read-only, kept as it is"},  // for root too
      {"folder", "Is a directory"},
      {"missing/out.csv", "No such file or directory"},
      {"/dev/null", "a device, not a regular file"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceFile(c.path, "new"), c.error) << c.path;
  }
  EXPECT_EQ(Read("kept.csv"), "kept");
  // Through a link: the file it names is replaced, the link stays.
  EXPECT_EQ(ReplaceFile("link.csv", "new"), "");
  EXPECT_TRUE(fs::is_symlink("link.csv"));
  EXPECT_EQ(Read("real.csv"), "new");
  EXPECT_TRUE(IsStreamTarget("/dev/null"));
  EXPECT_FALSE(IsStreamTarget("real.csv"));
  EXPECT_FALSE(IsStreamTarget("missing.csv"));
}

TEST_F(FilesTest, OneFileUnderManyNames) {
  Write("log.csv", "x");
  fs::create_symlink("log.csv", "link.csv");
  fs::create_hard_link("log.csv", "hard.csv");
  fs::create_directory("sub");
  EXPECT_TRUE(SameFile("log.csv", "link.csv"));
  EXPECT_TRUE(SameFile("log.csv", "hard.csv"));
  EXPECT_TRUE(SameFile("log.csv", "sub/../log.csv"));
  EXPECT_TRUE(SameFile("new.csv", "sub/../new.csv"));  // neither exists yet
  EXPECT_FALSE(SameFile("log.csv", "new.csv"));
  EXPECT_FALSE(SameFile("a.csv", "b.csv"));
  std::FILE* f = std::fopen("link.csv", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(SameFile(fileno(f), "hard.csv"));
  EXPECT_FALSE(SameFile(fileno(f), "new.csv"));
  std::fclose(f);
}

// A program ended by a signal while writing: its temporaries go, the old
// file stays, one line says what was not written, the status is 128 + signal.
TEST_F(FilesTest, ASignalRemovesTheTemporariesAndSaysWhatWasNotWritten) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Write("out.csv", "old\n");
    Write("scratch", "");
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(err[1], STDERR_FILENO);
      RemoveTemporariesOnSignals("prog");
      AtomicFile out("out.csv");
      out.Write("half a ro");
      RegisterTemporary("scratch", "");
      raise(signal);
      _exit(0);  // not reached
    }
    close(err[1]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    char line[256] = {};
    const ssize_t n = read(err[0], line, sizeof line - 1);
    close(err[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_EQ(std::string(line, n > 0 ? static_cast<std::size_t>(n) : 0),
              "prog: interrupted; out.csv not written\n");
    EXPECT_EQ(Read("out.csv"), "old\n");
    EXPECT_EQ(Listing(), "out.csv");
  }
}

}  // namespace
}  // namespace kestrune::files
