// The fixes handed to kestrune-chart.
#include "converter/chart_file.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "converter/conversion.hpp"
#include "util/output_text.hpp"

extern char** environ;

namespace kestrune::convert {

namespace {

constexpr const char* kChartProgram = "kestrune-chart";

bool Executable(const std::string& path) {
  return access(path.c_str(), X_OK) == 0;
}

// kestrune-chart beside the running program (both are installed to one
// bin folder, and built into one build folder), else on PATH; empty if
// neither.
std::string FindChartProgram(std::string& besideDir) {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    besideDir.assign(self, static_cast<std::size_t>(n));
    besideDir.erase(besideDir.find_last_of('/') + 1);
    if (Executable(besideDir + kChartProgram)) return besideDir + kChartProgram;
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    if (Executable(dir + "/" + kChartProgram)) return dir + "/" + kChartProgram;
    start = end + 1;
  }
  return {};
}

std::string LowerEnding(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  std::string e = dot == std::string::npos ? "" : path.substr(dot);
  for (char& c : e) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return e;
}

}  // namespace

ChartFile::ChartFile(std::string path, const std::string& input) : path_(std::move(path)) {
  const std::string ending = LowerEnding(path_);
  if (ending != ".svg" && ending != ".png" && ending != ".pdf") {
    throw UsageError("--chart " + path_ + ": the chart file must end in .svg, .png or .pdf");
  }
  std::string beside;
  program_ = FindChartProgram(beside);
  if (program_.empty()) {
    throw UsageError(std::string("--chart needs ") + kChartProgram + ", found neither in " +
                     (beside.empty() ? "this program's folder" : beside) + " nor on PATH");
  }
  // The temporary beside the chart: a folder that is missing or cannot be
  // written is found now, not after the last row.
  chart_.emplace(path_, /*keepEnding=*/true);
  if (!chart_->Ok()) throw UsageError("--chart " + path_ + ": cannot write it: " + chart_->Error());
  title_ = "Kestrune fixes";
  if (input != "-") title_ += "  " + input.substr(input.find_last_of('/') + 1);
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = tmp && *tmp ? tmp : "/tmp";
  const std::string name = dir + "/kestrune-fixes-XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd < 0 || (file_ = fdopen(fd, "wb")) == nullptr) {
    if (fd >= 0) close(fd);
    throw UsageError("--chart: cannot make a temporary file in " + dir + ": " +
                     std::strerror(errno));
  }
  temp_ = buffer.data();
  tempHandle_ = files::RegisterTemporary(temp_, "");
}

ChartFile::~ChartFile() {
  if (file_) std::fclose(file_);
  if (!temp_.empty()) std::remove(temp_.c_str());
  files::ForgetTemporary(tempHandle_);
}

std::string ChartFile::Line(double latDeg, double lonDeg, const std::string& label) {
  std::string line = text::FixedText(latDeg, 8) + "," + text::FixedText(lonDeg, 8) + "," + label;
  for (char& c : line) c = c == '\n' || c == '\r' ? ' ' : c;
  return line + "\n";
}

void ChartFile::Add(const std::string& line) {
  if (line.empty()) return;
  ++fixes_;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) failed_ = true;
}

std::string ChartFile::Draw() {
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed || failed_) return "--chart: the fixes could not be written to " + temp_;
  if (fixes_ == 0) return "--chart: no fixes to chart; " + path_ + " not written";
  chart_->Release();
  std::vector<std::string> args = {program_,  "-o",   chart_->TemporaryPath(),
                                   "--title", title_, temp_};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) return "--chart: cannot run " + program_ + ": " + std::strerror(spawned);
  files::SetChildProcess(pid);  // ended with this program
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  files::SetChildProcess(0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "--chart: " + program_ + " did not write " + path_;
  }
  if (!chart_->Commit()) return "--chart: cannot write " + path_ + ": " + chart_->Error();
  return {};
}

}  // namespace kestrune::convert
