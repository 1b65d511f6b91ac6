// Reading and writing the setup file.
//
// Notation:
//   line n     the n-th line of the file, counted from 1
//   position   EstLat, EstLon in radians; checked in degrees (x 180 / pi)
//   digits     significant digits of a number written: 15 for a 64-bit value,
//              7 for the 32-bit weight, so that reading gives the value back
#include "chain_setup/setup_file.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "util/constants.hpp"

namespace kestrune {

namespace {

// Links followed to find the file a setup-file name stands for, as the
// system itself follows them.
constexpr int kMaxLinks = 40;
constexpr int kDoubleDigits = 15;  // significant digits kept of a 64-bit value
constexpr int kFloatDigits = 7;    // of the 32-bit weight
// Degrees a saved limit position may exceed 90 or 180 by after the rounding
// to 15 digits.
constexpr double kDegreeMargin = 1e-9;

std::string Shortest(double value, int digits) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
  return std::string(buf, res.ptr);
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    const auto pos = s.find(sep, start);
    parts.push_back(s.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) return parts;
    start = pos + 1;
  }
}

// A field as a number; the period is the only separator, whatever the locale.
// Returns a problem text, empty when the field is a finite number.
std::string ReadNumber(const std::string& field, double& value) {
  std::string t = Trim(field);
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty()) return "a field is empty";
  double v = 0.0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range && res.ptr == t.data() + t.size() &&
      (t.find("e-") != std::string::npos || t.find("E-") != std::string::npos)) {
    // Below the smallest 64-bit float (a subnormal such as "1e-310", which the writer writes as it
    // is): as close to zero as a value can be, read as zero with its sign.
    value = t[0] == '-' ? -0.0 : 0.0;
    return std::string();
  }
  if (res.ec == std::errc::result_out_of_range) return "\"" + t + "\" is not a finite number";
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) {
    return "\"" + t + "\" is not a number";
  }
  if (!std::isfinite(v)) return "\"" + t + "\" is not a finite number";
  value = v;
  return std::string();
}

// A field holding a whole number that fits a 16-bit integer.
std::string ReadInteger(const std::string& field, std::int16_t& value) {
  double v = 0.0;
  std::string problem = ReadNumber(field, v);
  if (!problem.empty()) return problem;
  if (v != std::floor(v) || v < INT16_MIN || v > INT16_MAX) {
    return "\"" + Trim(field) + "\" is not a whole number";
  }
  value = static_cast<std::int16_t>(v);
  return std::string();
}

// Splits a line into exactly `count` fields.
std::string Fields(const std::string& line, std::size_t count, std::vector<std::string>& fields) {
  fields = Split(line, ',');
  if (fields.size() != count) {
    return std::to_string(count) + (count == 1 ? " number" : " numbers") + " expected, " +
           std::to_string(fields.size()) + " found";
  }
  return std::string();
}

std::string AtLine(int line, const std::string& problem) {
  return "line " + std::to_string(line) + ": " + problem;
}

}  // namespace

std::string ParseSetupText(const std::string& text, const loran::Catalogue& catalogue,
                           SetupState& setup) {
  std::vector<std::string> lines = Split(text, '\n');
  for (std::string& l : lines) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
  }
  while (!lines.empty() && Trim(lines.back()).empty()) lines.pop_back();

  SetupState d = setup;
  std::vector<std::string> f;
  std::string problem;

  if (lines.empty()) return AtLine(1, "the estimated position is missing");
  if (!(problem = Fields(lines[0], 2, f)).empty()) return AtLine(1, problem);
  if (!(problem = ReadNumber(f[0], d.EstLat)).empty()) return AtLine(1, problem);
  if (!(problem = ReadNumber(f[1], d.EstLon)).empty()) return AtLine(1, problem);
  // The position must format as coordinate text: within 90 and 180 degrees
  // (with a margin for the 15 digits written).
  if (std::fabs(d.EstLat * 180.0 / constants::kPi) > constants::kMaxLatitude + kDegreeMargin ||
      std::fabs(d.EstLon * 180.0 / constants::kPi) > constants::kMaxLongitude + kDegreeMargin) {
    return AtLine(1, "the estimated position is out of range");
  }

  if (lines.size() < 2) return AtLine(2, "the number of LOPs is missing");
  if (!(problem = Fields(lines[1], 1, f)).empty()) return AtLine(2, problem);
  if (!(problem = ReadInteger(f[0], d.NoOfLops)).empty()) return AtLine(2, problem);
  if (d.NoOfLops < 2 || d.NoOfLops > 6) return AtLine(2, "the number of LOPs is not 2 to 6");

  for (int i = 1; i <= d.NoOfLops; ++i) {
    const int line = 2 + i;
    if (lines.size() < static_cast<std::size_t>(line)) {
      return AtLine(line, "LOP " + std::to_string(i) + " is missing");
    }
    if (!(problem = Fields(lines[static_cast<std::size_t>(line - 1)], 4, f)).empty()) {
      return AtLine(line, problem);
    }
    LopRecord& r = d.LopTable(i);
    double weight = 0.0;
    if (!(problem = ReadInteger(f[0], r.MasterIndex)).empty()) return AtLine(line, problem);
    if (!(problem = ReadInteger(f[1], r.SecondaryIndex)).empty()) return AtLine(line, problem);
    if (!(problem = ReadNumber(f[2], r.ObservedTd)).empty()) return AtLine(line, problem);
    if (!(problem = ReadNumber(f[3], weight)).empty()) return AtLine(line, problem);
    if (!catalogue.IsChainPair(r.MasterIndex, r.SecondaryIndex)) {
      return AtLine(line, "stations " + Trim(f[0]) + " and " + Trim(f[1]) +
                              " are not a master and a secondary of one chain");
    }
    if (std::fabs(weight) > FLT_MAX) return AtLine(line, "the weight is out of range");
    r.Weight = static_cast<float>(weight);
  }
  setup = d;
  return std::string();
}

std::string SetupFileText(const SetupState& setup) {
  const std::string eol = "\r\n";
  std::string out =
      Shortest(setup.EstLat, kDoubleDigits) + "," + Shortest(setup.EstLon, kDoubleDigits) + eol;
  out += std::to_string(setup.NoOfLops) + eol;
  for (int i = 1; i <= setup.NoOfLops; ++i) {
    const LopRecord& r = setup.LopTable(i);
    char weight[32];
    auto res = std::to_chars(weight, weight + sizeof weight, r.Weight, std::chars_format::general,
                             kFloatDigits);
    out += std::to_string(r.MasterIndex) + "," + std::to_string(r.SecondaryIndex) + "," +
           Shortest(r.ObservedTd, kDoubleDigits) + "," + std::string(weight, res.ptr) + eol;
  }
  return out;
}

SetupFileRead ReadSetupFile(const std::string& path, const loran::Catalogue& catalogue,
                            const SetupState& setup) {
  namespace fs = std::filesystem;
  SetupFileRead result;
  result.setup = setup;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return result;

  std::string text;
  bool readable = fs::is_regular_file(status);
  if (readable) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    if (in) buf << in.rdbuf();
    readable = in.is_open() && !in.bad();
    text = buf.str();
  }
  if (!readable) {
    result.status = SetupFileRead::Status::Unreadable;
    result.message = "Setup file " + path + " cannot be read. The default setup is used.";
    return result;
  }

  const std::string problem = ParseSetupText(text, catalogue, result.setup);
  if (!problem.empty()) {
    result.status = SetupFileRead::Status::Damaged;
    result.message =
        "Setup file " + path + " is damaged (" + problem + "). The default setup is used.";
    return result;
  }
  result.status = SetupFileRead::Status::Loaded;
  return result;
}

namespace {

// The file a name stands for: the name itself, or the end of its chain of
// symbolic links (which need not exist yet). Empty for a loop.
std::string FileBehind(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path p = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) return std::string();
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  return std::string();
}

// Writes all of `text` to `fd`; false on any short or failed write.
bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Replaces `file` by a new file holding `text`; false when that failed and
// `file` is as it was.
bool ReplaceFile(const std::string& file, const std::string& text) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(file).parent_path();
  struct stat old {};
  const bool exists = ::lstat(file.c_str(), &old) == 0;
  // A read-only file is the user's way of keeping it; root too respects it.
  if (exists &&
      (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 || ::access(file.c_str(), W_OK) != 0)) {
    return false;
  }
  // A fresh, exclusively created name: nothing planted beside the file and
  // no temporary left by a killed run can be written through.
  std::string temp = (dir / ("." + fs::path(file).filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  mode_t mode = 0;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the directory.
  const int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

std::string WriteSetupFile(const SetupState& setup, const std::string& path) {
  if (WriteFileWhole(path, SetupFileText(setup))) return std::string();
  return "Setup file " + path + " could not be written.";
}

bool WriteFileWhole(const std::string& path, const std::string& text) {
  const std::string file = FileBehind(path);
  return !file.empty() && ReplaceFile(file, text);
}

}  // namespace kestrune
