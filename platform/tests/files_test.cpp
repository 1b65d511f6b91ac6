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
#include "tests/support/test_support.hpp"

namespace kestrune::files {
namespace {

namespace fs = std::filesystem;

using testing_support::Listing;
using testing_support::ReadFile;
using testing_support::WriteFile;

// Each test in a fresh working directory of its own.
class FilesTest : public ::testing::Test {
  testing_support::TempWorkingDir dir_;
};

TEST_F(FilesTest, ReadsRegularFilesOnlyAndRefusesOthersAtOnce) {
  WriteFile("cal.csv", "lop,offset_us\n");
  WriteFile("big.txt", std::string(17, 'x'));
  WriteFile("limit.txt", std::string(16, 'x'));
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
  WriteFile("out.csv", "old\n");
  {
    AtomicFile f("out.csv");
    ASSERT_TRUE(f.Ok()) << f.Error();
    EXPECT_TRUE(f.Write("new\n"));
    EXPECT_EQ(ReadFile("out.csv"), "old\n");  // until the rename
    EXPECT_EQ(fs::path(f.TemporaryPath()).filename().string().substr(0, 9), ".out.csv.");
  }  // not committed: removed
  EXPECT_EQ(ReadFile("out.csv"), "old\n");
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
  EXPECT_EQ(ReadFile("out.csv"), "a1\na2\n");
  EXPECT_EQ(Listing(), "out.csv");

  // The ending kept for a writer that picks its format by it; a file written
  // by another process under the temporary's name.
  AtomicFile chart("fixes.svg", true);
  ASSERT_TRUE(chart.Ok());
  EXPECT_TRUE(chart.TemporaryPath().ends_with(".svg"));
  chart.Release();
  WriteFile(chart.TemporaryPath(), "<svg/>");
  ASSERT_TRUE(chart.Commit());
  EXPECT_EQ(ReadFile("fixes.svg"), "<svg/>");
  EXPECT_EQ(ReplaceFile("new.txt", "text"), "");
  EXPECT_EQ(ReadFile("new.txt"), "text");
  EXPECT_EQ(Listing(), "fixes.svg new.txt out.csv");
}

TEST_F(FilesTest, TargetsThatAreNotReplaced) {
  WriteFile("kept.csv", "kept");
  ::chmod("kept.csv", 0444);
  fs::create_directory("folder");
  WriteFile("real.csv", "real");
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
  EXPECT_EQ(ReadFile("kept.csv"), "kept");
  // Through a link: the file it names is replaced, the link stays.
  EXPECT_EQ(ReplaceFile("link.csv", "new"), "");
  EXPECT_TRUE(fs::is_symlink("link.csv"));
  EXPECT_EQ(ReadFile("real.csv"), "new");
  EXPECT_TRUE(IsStreamTarget("/dev/null"));
  EXPECT_FALSE(IsStreamTarget("real.csv"));
  EXPECT_FALSE(IsStreamTarget("missing.csv"));
}

TEST_F(FilesTest, OneFileUnderManyNames) {
  WriteFile("log.csv", "x");
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
    WriteFile("out.csv", "old\n");
    WriteFile("scratch", "");
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
    EXPECT_EQ(ReadFile("out.csv"), "old\n");
    EXPECT_EQ(Listing(), "out.csv");
  }
}

}  // namespace
}  // namespace kestrune::files
