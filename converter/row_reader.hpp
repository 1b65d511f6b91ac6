// Reading a logbook row by row: lines of bounded length from a stream, the
// delimiter found, fields split with CSV quoting, and JSON-lines objects
// turned into named fields. Memory stays bounded whatever the input holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/text_codec.hpp"

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

// Lines from a stream as UTF-8 text, without their line ends (LF or CRLF).
// The bytes are converted from the encoding given; a byte order mark at the
// start decides over it (UTF-8 EF BB BF, UTF-16 FF FE or FE FF) and is
// dropped. Reads what is available, so a line is returned as soon as it is
// complete (a pipe is not waited on).
class LineSource {
 public:
  // encoding: of the input; unset, UTF-8 (or what a byte order mark says).
  explicit LineSource(std::FILE* in, std::optional<text_codec::Encoding> encoding = {});
  // False at the end of the input (or a read error, see Failed()). A line
  // longer than kMaxLineBytes comes back empty with `overlong` set.
  bool Next(std::string& line, bool& overlong);
  long LineNumber() const { return line_; }
  // Bytes of the input read so far, as they were before any conversion.
  std::uint64_t BytesRead() const { return bytes_; }
  // The read error that ended the input (errno), 0 if none.
  int Failed() const { return error_; }

  // A byte of UTF-8 input that is not part of a well-formed sequence, or a
  // NUL byte.
  struct NotUtf8 {
    long line = 0;  // 1-based line number
    unsigned char byte = 0;
  };
  // Whether the line last returned is not UTF-8 text (and where).
  std::optional<NotUtf8> LastLineNotUtf8() const;
  // The first of the complete lines already read ahead (those Next returns
  // without reading again) that is not UTF-8 text, if any.
  std::optional<NotUtf8> NotUtf8Ahead() const;

 private:
  bool Fill();
  std::size_t ReadSome(char* into, std::size_t room);
  void ReadByteOrderMark();
  std::FILE* in_;
  std::vector<char> buffer_ = std::vector<char>(std::size_t{1} << 16);
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool started_ = false;  // the byte order mark has been looked for
  int error_ = 0;
  long line_ = 0;
  std::uint64_t bytes_ = 0;
  // Set for an input not read as UTF-8; its bytes are read into raw_ first.
  std::optional<text_codec::ToUtf8> convert_;
  std::vector<char> raw_;
  std::size_t lastNotUtf8_ = std::string_view::npos;  // offset in the last line
  unsigned char lastNotUtf8Byte_ = 0;
};

// The row problem of a line that is not UTF-8 text: what the byte is and
// the option that names the input's encoding.
std::string NotUtf8Problem(unsigned char byte);

// The error for an input (a file name, "-" for standard input) that is not
// UTF-8 text although no other encoding was given.
std::string NotUtf8Error(const std::string& input, const LineSource::NotUtf8& where);

// A text whose bytes outside well-formed UTF-8 sequences are taken as
// Latin-1 characters: a line that is not UTF-8, made fit to be echoed.
std::string AsUtf8(std::string_view text);

// True for a line of nothing but blanks and delimiters, as spreadsheets
// write an empty row; delimiter 0 (not yet known): "," and ";" both count.
bool IsEmptyRow(std::string_view line, char delimiter);

// The delimiter of a line: tab if it has one, else ";" if it has one, else ",".
char DetectDelimiter(std::string_view line);

// Splits `line` at `delimiter` into `fields`, reading double-quoted fields
// ("a ""b""" is a "b"). Returns a problem text for a quote left open, else
// empty.
std::string SplitFields(std::string_view line, char delimiter, std::vector<std::string>& fields);

// Fills `row` from a JSON object text: each key a field, arrays spread into
// name1, name2, ... Strings are the field text; numbers, true, false as
// written; null an empty field. The keys keep their order; a key met
// twice (also as an array's name1, name2, ...) is a problem, as is a text
// that is not an object.
void ReadJsonObject(std::string_view text, Row& row);

}  // namespace kestrune::convert
