// Reading a logbook row by row: lines of bounded length from a stream, the
// delimiter found, fields split with CSV quoting, and JSON-lines objects
// turned into named fields. Memory stays bounded whatever the input holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::convert {

// The longest line read whole; a longer one is skipped to its end.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// One input row.
struct Row {
  long line = 0;  // 1-based line number in the input
  std::vector<std::string> fields;
  // JSON lines only: the key of each field, and the field as JSON text.
  std::vector<std::string> names;
  std::vector<std::string> json;
  // Why the row has no fields ("empty line", "line longer than ..."); empty
  // when it was read.
  std::string problem;
};

// Lines from a stream, without their line ends (LF or CRLF); a UTF-8 byte
// order mark before the first line is dropped. Reads what is available, so
// a line is returned as soon as it is complete (a pipe is not waited on).
class LineSource {
 public:
  explicit LineSource(std::FILE* in) : in_(in) {}
  // False at the end of the input (or a read error, see Failed()). A line
  // longer than kMaxLineBytes comes back empty with `overlong` set.
  bool Next(std::string& line, bool& overlong);
  long LineNumber() const { return line_; }
  std::uint64_t BytesRead() const { return bytes_; }
  // The read error that ended the input (errno), 0 if none.
  int Failed() const { return error_; }

 private:
  bool Fill();
  std::FILE* in_;
  std::vector<char> buffer_ = std::vector<char>(std::size_t{1} << 16);
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  int error_ = 0;
  long line_ = 0;
  std::uint64_t bytes_ = 0;
};

// The delimiter of a line: tab if it has one, else ";" if it has one, else ",".
char DetectDelimiter(std::string_view line);

// Splits `line` at `delimiter` into `fields`, reading double-quoted fields
// ("a ""b""" is a "b"). Returns a problem text for a quote left open, else
// empty.
std::string SplitFields(std::string_view line, char delimiter, std::vector<std::string>& fields);

// Fills `row` from a JSON object text: each key a field, arrays spread into
// name1, name2, ... Strings are the field text; numbers, true, false as
// written; null an empty field. Sets row.problem when the text is not an
// object.
void ReadJsonObject(std::string_view text, Row& row);

}  // namespace kestrune::convert
