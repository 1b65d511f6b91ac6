// Files read and written whole.
//
// The table of temporaries is read by the signal handler, so it is a fixed
// array of fixed buffers, each slot published by an atomic state: the
// handler touches only slots fully written, and calls only functions safe
// in a signal handler (unlink, kill, write, _exit).
#include "platform/files.hpp"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kestrune::files {

namespace {

// Links followed to find the file a name stands for, as the system itself
// follows them.
constexpr int kMaxLinks = 40;
constexpr std::size_t kReadChunk = std::size_t{1} << 16;
constexpr int kSlots = 16;                 // temporaries open at once
constexpr std::size_t kTargetBytes = 256;  // of a target's name in the interrupt line
constexpr std::size_t kLineBytes = 2048;   // the interrupt line
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kFilling, kReady };
struct Slot {
  std::atomic<int> state{kFree};
  char temp[PATH_MAX];
  char target[kTargetBytes];
};
Slot gSlots[kSlots];
std::atomic<pid_t> gChild{0};
std::atomic<bool> gEnding{false};
const char* gProgram = "kestrune";

// Copies `s` into `buffer` of `size`, cut to fit; false when it had to be cut.
bool CopyInto(char* buffer, std::size_t size, const std::string& s) {
  const std::size_t n = std::min(s.size(), size - 1);
  std::memcpy(buffer, s.data(), n);
  buffer[n] = '\0';
  return n == s.size();
}

// Appends a C string to the line being built in the signal handler.
void Append(char* line, std::size_t& used, const char* s) {
  for (; *s != '\0' && used + 1 < kLineBytes; ++s) line[used++] = *s;
}

extern "C" void OnEndingSignal(int signal) {
  // A second signal, or the same one in another thread: the first ends it.
  if (gEnding.exchange(true)) {
    for (;;) pause();
  }
  const pid_t child = gChild.load();
  if (child > 0) kill(child, SIGKILL);
  char line[kLineBytes];
  std::size_t used = 0;
  Append(line, used, gProgram);
  Append(line, used, ": interrupted");
  bool named = false;
  for (Slot& s : gSlots) {
    if (s.state.load() != kReady) continue;
    unlink(s.temp);
    if (s.target[0] == '\0') continue;
    Append(line, used, named ? ", " : "; ");
    Append(line, used, s.target);
    named = true;
  }
  if (named) Append(line, used, " not written");
  line[used++] = '\n';
  const ssize_t ignored = write(STDERR_FILENO, line, used);
  (void)ignored;
  _exit(128 + signal);
}

// Blocks the ending signals in this thread for its lifetime, so that a
// rename and the removal of its temporary from the table happen together.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

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

// Why a file of this kind is not read, empty for a regular file.
std::string KindProblem(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return std::strerror(EISDIR);
  if (S_ISFIFO(mode)) return "a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
  if (S_ISSOCK(mode)) return "a socket, not a regular file";
  return "not a regular file";
}

// Reads `fd` to its end, at most maxBytes; false with `out.error` set.
bool ReadAll(int fd, std::size_t maxBytes, FileText& out) {
  for (;;) {
    const std::size_t before = out.text.size();
    const std::size_t room = std::min(kReadChunk, maxBytes + 1 - before);
    out.text.resize(before + room);
    ssize_t n;
    do {
      n = ::read(fd, out.text.data() + before, room);
    } while (n < 0 && errno == EINTR);
    out.text.resize(before + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n < 0) {
      out.error = std::strerror(errno);
      return false;
    }
    if (out.text.size() > maxBytes) {
      out.error = "larger than " + SizeText(maxBytes);
      return false;
    }
    if (n == 0) return true;
  }
}

bool WriteAll(int fd, std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The ending of a file name (".svg"), empty for none.
std::string Ending(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

}  // namespace

FileText ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  FileText out;
  struct stat st {};
  // The kind is checked before opening: opening a FIFO waits for a writer,
  // and opening some devices acts on them.
  if (::stat(path.c_str(), &st) != 0) {
    out.absent = errno == ENOENT;
    out.error = std::strerror(errno);
    return out;
  }
  if (!(out.error = KindProblem(st.st_mode)).empty()) return out;
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    out.error = "larger than " + SizeText(maxBytes);
    return out;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    out.error = std::strerror(errno);
    return out;
  }
  // The name may have been replaced by another kind of file meanwhile.
  if (::fstat(fd, &st) != 0 || !(out.error = KindProblem(st.st_mode)).empty()) {
    if (out.error.empty()) out.error = std::strerror(errno);
  } else {
    ReadAll(fd, maxBytes, out);
  }
  ::close(fd);
  if (!out.error.empty()) out.text.clear();
  return out;
}

FileText ReadStream(int fd, std::size_t maxBytes) {
  FileText out;
  if (!ReadAll(fd, maxBytes, out)) out.text.clear();
  return out;
}

std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes >= kKiB * kKiB && bytes % (kKiB * kKiB) == 0) {
    return std::to_string(bytes / (kKiB * kKiB)) + " MiB";
  }
  if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " bytes";
}

bool SameFile(int fd, const std::string& path) {
  struct stat a {
  }, b{};
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const bool aExists = ::stat(a.c_str(), &sa) == 0;
  const bool bExists = ::stat(b.c_str(), &sb) == 0;
  if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (aExists || bExists) return false;
  std::error_code ea, eb;
  namespace fs = std::filesystem;
  const fs::path pa = fs::weakly_canonical(fs::absolute(FileBehind(a), ea), ea);
  const fs::path pb = fs::weakly_canonical(fs::absolute(FileBehind(b), eb), eb);
  return !ea && !eb && pa == pb;
}

bool IsStreamTarget(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

AtomicFile::AtomicFile(std::string path, bool keepEnding) : path_(std::move(path)) {
  namespace fs = std::filesystem;
  file_ = FileBehind(path_);
  if (file_.empty()) {
    error_ = std::strerror(path_.empty() ? ENOENT : ELOOP);
    return;
  }
  struct stat old {};
  const bool exists = ::lstat(file_.c_str(), &old) == 0;
  if (exists && !(error_ = KindProblem(old.st_mode)).empty()) return;
  // A read-only file is the user's way of keeping it; root too respects it.
  if (exists && ((old.st_mode & 0222) == 0 || ::access(file_.c_str(), W_OK) != 0)) {
    error_ = "read-only, kept as it is";
    return;
  }
  const fs::path dir = fs::path(file_).parent_path();
  const std::string ending = keepEnding ? Ending(file_) : std::string();
  temp_ = (dir / ("." + fs::path(file_).filename().string() + ".XXXXXX" + ending)).string();
  {
    SignalsHeld held;
    fd_ = ::mkostemps(temp_.data(), static_cast<int>(ending.size()), O_CLOEXEC);
    if (fd_ < 0) {
      error_ = std::strerror(errno);
      temp_.clear();
      return;
    }
    slot_ = RegisterTemporary(temp_, path_);
  }
  mode_t mode = 0;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0) Fail(errno);
}

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Fail(int error) {
  if (error_.empty()) error_ = std::strerror(error);
  Discard();
  return false;
}

std::FILE* AtomicFile::Stream() {
  if (!stream_ && fd_ >= 0) {
    stream_ = ::fdopen(fd_, "wb");
    if (!stream_) Fail(errno);
  }
  return stream_;
}

bool AtomicFile::Write(std::string_view text) {
  if (!Ok() || fd_ < 0) return false;
  if (stream_) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
      return Fail(errno);
    }
    return true;
  }
  return WriteAll(fd_, text) || Fail(errno);
}

void AtomicFile::Release() {
  if (stream_) {
    if (std::fclose(stream_) != 0) Fail(errno);
    stream_ = nullptr;
    fd_ = -1;
  } else if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

bool AtomicFile::Commit() {
  if (!Ok() || temp_.empty()) return Fail(EBADF);
  if (stream_ && std::fflush(stream_) != 0) return Fail(errno);
  int fd = stream_ ? fileno(stream_) : fd_;
  const bool own = fd < 0;  // written by another process: reopened to flush it
  if (own) fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    const int e = errno;
    if (own && fd >= 0) ::close(fd);
    return Fail(e);
  }
  if (own) ::close(fd);
  Release();
  if (!Ok()) return false;
  {
    SignalsHeld held;
    if (::rename(temp_.c_str(), file_.c_str()) != 0) return Fail(errno);
    ForgetTemporary(slot_);
    slot_ = -1;
    temp_.clear();
  }
  // The rename itself reaches the disk with the directory.
  const std::filesystem::path dir = std::filesystem::path(file_).parent_path();
  const int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

void AtomicFile::Discard() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
    fd_ = -1;
  } else if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    SignalsHeld held;
    ::unlink(temp_.c_str());
    ForgetTemporary(slot_);
    slot_ = -1;
    temp_.clear();
  }
}

std::string ReplaceFile(const std::string& path, std::string_view text) {
  AtomicFile file(path);
  if (file.Ok() && file.Write(text)) file.Commit();
  return file.Error();
}

void RemoveTemporariesOnSignals(const char* program) {
  gProgram = program;
  for (int s : kSignals) {
    struct sigaction old {};
    sigaction(s, nullptr, &old);
    // A signal ignored from the start (nohup, a background job) stays so.
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = OnEndingSignal;
    sigemptyset(&act.sa_mask);
    for (int t : kSignals) sigaddset(&act.sa_mask, t);
    sigaction(s, &act, nullptr);
  }
}

int RegisterTemporary(const std::string& path, const std::string& target) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    if (!CopyInto(gSlots[i].temp, sizeof gSlots[i].temp, path)) {
      gSlots[i].state.store(kFree);
      return -1;
    }
    CopyInto(gSlots[i].target, sizeof gSlots[i].target, target);
    gSlots[i].state.store(kReady);
    return i;
  }
  return -1;
}

void ForgetTemporary(int handle) {
  if (handle >= 0 && handle < kSlots) gSlots[handle].state.store(kFree);
}

void SetChildProcess(pid_t pid) {
  gChild.store(pid);
}

}  // namespace kestrune::files
