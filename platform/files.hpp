// Files read and written whole.
//
// Reading takes regular files of bounded size only: a FIFO, a device or a
// directory is refused by its kind before it is opened, so it is never
// waited on nor read without end, and a file above the caller's limit is
// refused before it is read.
//
// Writing goes to a fresh temporary created exclusively beside the target
// (never through a planted link, never over a leftover of a killed run),
// flushed to disk, then renamed over the target, and the directory flushed:
// a reader of the target sees the old file or the new one, never a part,
// and of two writers the last rename wins whole. A target that is a
// symbolic link stays one; the file it names is replaced. A target without
// write permission is the user's way of keeping it and is not replaced, for
// root too. After RemoveTemporariesOnSignals, SIGINT, SIGTERM and SIGHUP
// remove every temporary still open before the program ends.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace kestrune::files {

struct FileText {
  std::string text;
  // Why the file was not read, for "cannot read '<name>': <error>": the
  // system's text ("No such file or directory") or the file's kind ("a FIFO,
  // not a regular file", "larger than 1 MiB"). Empty when read.
  std::string error;
  bool absent = false;  // no file of that name at all
};

// The whole file at `path` (links followed). maxBytes: the largest file
// taken, bytes, at least 1.
FileText ReadRegularFile(const std::string& path, std::size_t maxBytes);

// The rest of an open stream (standard input, a pipe), up to maxBytes bytes;
// more is refused as "larger than ...", without reading past the limit.
FileText ReadStream(int fd, std::size_t maxBytes);

// "1 MiB", "256 MiB", "4096 bytes": a size limit as messages give it.
std::string SizeText(std::size_t bytes);

// True when `fd` and `path` are one file (the same device and inode, so
// through symbolic and hard links alike); false when `path` does not exist.
bool SameFile(int fd, const std::string& path);
// The same for two names; two names of no existing file are one file when
// they name the same place.
bool SameFile(const std::string& a, const std::string& b);

// True when `path` names an existing file that is not a regular file nor a
// directory (a device, a FIFO, a socket): written to as a stream, in place.
bool IsStreamTarget(const std::string& path);

// One file written whole, as described above.
class AtomicFile {
 public:
  // Creates the temporary beside the file `path` names. keepEnding: the
  // temporary's name ends as `path` does (".fixes.svg.Ab12Cd.svg"), for a
  // writer that picks its format by the ending. Check Ok().
  explicit AtomicFile(std::string path, bool keepEnding = false);
  ~AtomicFile();  // removes the temporary unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Ok() const { return error_.empty(); }
  // Why the file cannot be (or was not) written: the system's text
  // ("Permission denied", "No such file or directory"), "a directory",
  // "not a regular file" or "read-only".
  const std::string& Error() const { return error_; }
  const std::string& Path() const { return path_; }  // as given
  const std::string& TemporaryPath() const { return temp_; }

  // A stream on the temporary; nullptr when it cannot be had.
  std::FILE* Stream();
  // Appends `text`; false (and Error() set) when a write fails.
  bool Write(std::string_view text);
  // Closes this program's hold on the temporary, for another process that
  // writes it by its name; Commit() then flushes what that one wrote.
  void Release();
  // Flushes the temporary to disk and renames it over the target; false with
  // Error() set and the temporary removed when any step fails, the target
  // then being as it was.
  bool Commit();
  // Removes the temporary; the target stays as it was.
  void Discard();

 private:
  bool Fail(int error);
  std::string path_;
  std::string file_;  // the file behind path_'s links
  std::string temp_;
  std::string error_;
  int fd_ = -1;
  std::FILE* stream_ = nullptr;
  int slot_ = -1;  // in the table of temporaries removed on a signal
};

// Writes `text` as the whole file `path` (an AtomicFile); the problem as
// AtomicFile::Error() gives it, empty on success.
std::string ReplaceFile(const std::string& path, std::string_view text);

// From now on SIGINT, SIGTERM and SIGHUP (unless ignored when the program
// started) remove every temporary of an AtomicFile not yet committed or
// discarded and every registered temporary, end the registered child
// process, write one line "<program>: interrupted; <targets> not written"
// to standard error and end the program with exit status 128 + the signal's
// number (130, 143, 129). program: a name that lives as long as the program.
void RemoveTemporariesOnSignals(const char* program);

// A temporary file of another kind to remove on such a signal (target:
// empty, or the file that will then not be written). Returns a handle for
// ForgetTemporary, -1 when the table is full.
int RegisterTemporary(const std::string& path, const std::string& target);
void ForgetTemporary(int handle);

// A child process to end (SIGKILL) on such a signal; 0 for none.
void SetChildProcess(pid_t pid);

}  // namespace kestrune::files
