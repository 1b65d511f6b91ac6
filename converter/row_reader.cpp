// Row reading.
#include "converter/row_reader.hpp"

#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrune::convert {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The first byte of a line that is not UTF-8 text: outside a well-formed
// sequence, or a NUL, which text never holds but UTF-16 without its byte
// order mark holds in every other byte.
std::size_t FirstNotText(std::string_view line) {
  return std::min(text_codec::FirstNonUtf8(line), line.find('\0'));
}

std::string ByteText(unsigned char byte) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byte));
  return hex;
}

}  // namespace

LineSource::LineSource(std::FILE* in, std::optional<text_codec::Encoding> encoding) : in_(in) {
  if (encoding && *encoding != text_codec::Encoding::kUtf8) convert_.emplace(*encoding);
}

std::size_t LineSource::ReadSome(char* into, std::size_t room) {
  const int fd = fileno(in_);
  std::size_t got = 0;
  if (fd >= 0) {
    ssize_t n;
    do {
      n = ::read(fd, into, room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) error_ = errno;
    got = n > 0 ? static_cast<std::size_t>(n) : 0;
  } else {
    got = std::fread(into, 1, room, in_);
    if (got == 0 && std::ferror(in_)) error_ = EIO;
  }
  bytes_ += got;
  return got;
}

// The first bytes are read as they are, so that a byte order mark decides
// the encoding before any byte is converted. Reading stops as soon as the
// bytes cannot begin a mark: a one-line answer over a pipe is not held back.
void LineSource::ReadByteOrderMark() {
  started_ = true;
  auto mayBeMark = [this] {
    const std::string_view head(buffer_.data(), end_);
    return kByteOrderMark.starts_with(head) || kUtf16LeMark.starts_with(head) ||
           kUtf16BeMark.starts_with(head);
  };
  while (end_ < kByteOrderMark.size() && mayBeMark()) {
    const std::size_t got = ReadSome(buffer_.data() + end_, kByteOrderMark.size() - end_);
    if (got == 0) break;
    end_ += got;
  }
  const std::string_view head(buffer_.data(), end_);
  std::optional<text_codec::Encoding> marked;
  std::size_t markLength = 0;
  if (head.starts_with(kByteOrderMark)) {
    marked = text_codec::Encoding::kUtf8;  // dropped with the first line
  } else if (head.starts_with(kUtf16LeMark)) {
    marked = text_codec::Encoding::kUtf16Le;
    markLength = kUtf16LeMark.size();
  } else if (head.starts_with(kUtf16BeMark)) {
    marked = text_codec::Encoding::kUtf16Be;
    markLength = kUtf16BeMark.size();
  }
  if (marked == text_codec::Encoding::kUtf8) {
    convert_.reset();
  } else if (marked) {
    convert_.emplace(*marked);
  }
  if (convert_) {
    // Whatever came after the mark is converted like the rest.
    const std::string rest(head.substr(markLength));
    end_ = convert_->Convert(rest, buffer_.data());
  }
}

bool LineSource::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (!started_) {
    ReadByteOrderMark();
    if (end_ > 0) return true;
  }
  const std::size_t room = buffer_.size() - end_;
  if (room == 0) return true;
  std::size_t got = 0;
  if (!convert_) {
    got = ReadSome(buffer_.data() + end_, room);
  } else if (room >= text_codec::ToUtf8::MaxOutput(1)) {
    raw_.resize((room - text_codec::ToUtf8::MaxOutput(0)) / 3);
    const std::size_t in = ReadSome(raw_.data(), raw_.size());
    got = in > 0 ? convert_->Convert(std::string_view(raw_.data(), in), buffer_.data() + end_)
                 : convert_->Finish(buffer_.data() + end_);
    // A UTF-16 unit cut by the read gives nothing yet: read on.
    if (in > 0 && got == 0) return Fill();
  } else {
    return true;  // the line in the buffer is overlong and is taken as it is
  }
  if (got == 0) {
    eof_ = true;
    return false;
  }
  end_ += got;
  return true;
}

bool LineSource::Next(std::string& line, bool& overlong) {
  line.clear();
  overlong = false;
  bool any = false;
  for (;;) {
    if (begin_ == end_ && !Fill()) break;
    any = true;
    const char* start = buffer_.data() + begin_;
    const void* nl = std::memchr(start, '\n', end_ - begin_);
    const std::size_t take =
        nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - start) : end_ - begin_;
    if (!overlong) {
      if (line.size() + take > kMaxLineBytes) {
        overlong = true;
        line.clear();
        line.shrink_to_fit();
      } else {
        line.append(start, take);
      }
    }
    begin_ += take;
    if (nl) {
      ++begin_;
      break;
    }
  }
  if (!any) return false;
  ++line_;
  if (line_ == 1 && std::string_view(line).starts_with(kByteOrderMark)) {
    line.erase(0, kByteOrderMark.size());
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // Converted text is UTF-8 by construction; only bytes read as they are
  // need the check.
  lastNotUtf8_ = convert_ ? std::string_view::npos : FirstNotText(line);
  if (lastNotUtf8_ != std::string_view::npos) {
    lastNotUtf8Byte_ = static_cast<unsigned char>(line[lastNotUtf8_]);
  }
  return true;
}

std::optional<LineSource::NotUtf8> LineSource::LastLineNotUtf8() const {
  if (lastNotUtf8_ == std::string_view::npos) return std::nullopt;
  return NotUtf8{line_, lastNotUtf8Byte_};
}

std::optional<LineSource::NotUtf8> LineSource::NotUtf8Ahead() const {
  if (convert_) return std::nullopt;
  std::string_view ahead(buffer_.data() + begin_, end_ - begin_);
  for (long line = line_ + 1;; ++line) {
    const std::size_t nl = ahead.find('\n');
    if (nl == std::string_view::npos) return std::nullopt;
    const std::size_t bad = FirstNotText(ahead.substr(0, nl));
    if (bad != std::string_view::npos) {
      return NotUtf8{line, static_cast<unsigned char>(ahead[bad])};
    }
    ahead.remove_prefix(nl + 1);
  }
}

std::string NotUtf8Problem(unsigned char byte) {
  return "not UTF-8 text (byte " + ByteText(byte) + "): give the file's encoding, such as " +
         (byte == 0 ? "--encoding utf-16" : "--encoding cp1252");
}

std::string NotUtf8Error(const std::string& input, const LineSource::NotUtf8& where) {
  return (input == "-" ? std::string("the input") : "'" + input + "'") +
         " is not UTF-8 text (line " + std::to_string(where.line) + " has the byte " +
         ByteText(where.byte) + "): give its encoding, such as " +
         (where.byte == 0 ? "--encoding utf-16 for a spreadsheet's Unicode text"
                          : "--encoding cp1252 for a CSV a Windows spreadsheet saved");
}

std::string AsUtf8(std::string_view text) {
  return text_codec::Encode(text_codec::Decode(std::string(text)));
}

bool IsEmptyRow(std::string_view line, char delimiter) {
  for (char c : line) {
    const bool blank = c == ' ' || c == '\t';
    const bool mark = delimiter == 0 ? c == ',' || c == ';' : c == delimiter;
    if (!blank && !mark) return false;
  }
  return true;
}

char DetectDelimiter(std::string_view line) {
  if (line.find('\t') != std::string_view::npos) return '\t';
  if (line.find(';') != std::string_view::npos) return ';';
  return ',';
}

std::string SplitFields(std::string_view line, char delimiter, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t i = 0;
  for (;;) {
    std::string& f = fields.emplace_back();
    if (i < line.size() && line[i] == '"') {
      // Quoted: up to the closing quote, then whatever stands before the
      // next delimiter is kept as written.
      ++i;
      for (;;) {
        if (i >= line.size()) return "quote left open";
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            f += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        f += line[i++];
      }
    }
    const std::size_t end = line.find(delimiter, i);
    f.append(line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
    if (end == std::string_view::npos) break;
    i = end + 1;
  }
  return {};
}

namespace {

// JSON texts are read in two steps: Qt's parser checks the whole line and
// gives the message for a line that is not JSON; the members are then taken
// from the text itself, in their order and as written (Qt's objects sort
// their keys, and hold numbers as doubles, which would change 20-digit
// numbers passed through).

bool JsonBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::size_t SkipJsonBlanks(std::string_view text, std::size_t i) {
  while (i < text.size() && JsonBlank(text[i])) ++i;
  return i;
}

// One past the end of the JSON value that begins at text[i].
std::size_t ValueEnd(std::string_view text, std::size_t i) {
  if (i >= text.size()) return i;
  if (text[i] == '"') {
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\') ++i;
    }
    return std::min(i + 1, text.size());
  }
  if (text[i] == '{' || text[i] == '[') {
    int depth = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '"') {
        i = ValueEnd(text, i) - 1;
      } else if (c == '{' || c == '[') {
        ++depth;
      } else if ((c == '}' || c == ']') && --depth == 0) {
        return i + 1;
      }
    }
    return i;
  }
  while (i < text.size() && !JsonBlank(text[i]) && text[i] != ',' && text[i] != '}' &&
         text[i] != ']') {
    ++i;
  }
  return i;
}

unsigned HexValue(std::string_view four) {
  unsigned v = 0;
  for (char c : four) {
    v <<= 4;
    if (c >= '0' && c <= '9') v |= static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') v |= static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') v |= static_cast<unsigned>(c - 'A' + 10);
  }
  return v;
}

// The text of a JSON string literal, quotes included; a lone surrogate
// escape becomes U+FFFD.
std::string Unquote(std::string_view literal) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::string out;
  if (literal.size() < 2) return out;
  std::u32string point(1, U' ');
  const std::size_t last = literal.size() - 1;  // the closing quote
  for (std::size_t i = 1; i < last; ++i) {
    if (literal[i] != '\\') {
      out += literal[i];
      continue;
    }
    const char c = literal[++i];
    switch (c) {
      case 'b':
        out += '\b';
        continue;
      case 'f':
        out += '\f';
        continue;
      case 'n':
        out += '\n';
        continue;
      case 'r':
        out += '\r';
        continue;
      case 't':
        out += '\t';
        continue;
      case 'u':
        break;
      default:  // '"', '\\', '/'
        out += c;
        continue;
    }
    if (i + 4 >= last) break;
    char32_t cp = HexValue(literal.substr(i + 1, 4));
    i += 4;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 6 < last && literal.substr(i + 1, 2) == "\\u") {
      const char32_t low = HexValue(literal.substr(i + 3, 4));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 6;
      }
    }
    point[0] = cp >= 0xD800 && cp <= 0xDFFF ? kReplacement : cp;
    out += text_codec::Encode(point);
  }
  return out;
}

// A nested object or array without the blanks between its tokens.
std::string Compact(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] == '"') {
      const std::size_t end = ValueEnd(value, i);
      out.append(value.substr(i, end - i));
      i = end;
    } else {
      if (!JsonBlank(value[i])) out += value[i];
      ++i;
    }
  }
  return out;
}

void AddJsonField(Row& row, std::string name, std::string_view value) {
  row.names.push_back(std::move(name));
  const bool nested = value.starts_with('{') || value.starts_with('[');
  row.json.push_back(nested ? Compact(value) : std::string(value));
  if (value.starts_with('"')) {
    row.fields.push_back(Unquote(value));
  } else if (value == "null") {
    row.fields.emplace_back();
  } else {
    row.fields.push_back(row.json.back());
  }
}

// The members of a checked JSON object text, in their order.
void ReadMembers(std::string_view text, Row& row) {
  std::size_t i = SkipJsonBlanks(text, 0) + 1;  // past "{"
  for (;;) {
    i = SkipJsonBlanks(text, i);
    if (i >= text.size() || text[i] == '}') break;
    if (text[i] == ',') i = SkipJsonBlanks(text, i + 1);
    const std::size_t keyEnd = ValueEnd(text, i);
    const std::string key = Unquote(text.substr(i, keyEnd - i));
    i = SkipJsonBlanks(text, SkipJsonBlanks(text, keyEnd) + 1);  // past ":"
    const std::size_t end = ValueEnd(text, i);
    const std::string_view value = text.substr(i, end - i);
    if (value.starts_with('[')) {
      // An array spreads into name1, name2, ...
      std::size_t k = 1;
      for (std::size_t j = SkipJsonBlanks(value, 1); j < value.size() && value[j] != ']';) {
        const std::size_t e = ValueEnd(value, j);
        AddJsonField(row, key + std::to_string(k++), value.substr(j, e - j));
        j = SkipJsonBlanks(value, e);
        if (j < value.size() && value[j] == ',') j = SkipJsonBlanks(value, j + 1);
      }
    } else {
      AddJsonField(row, key, value);
    }
    i = end;
  }
}

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

void ReadJsonObject(std::string_view text, Row& row) {
  QJsonParseError error;
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) {
    row.problem = error.error != QJsonParseError::NoError
                      ? "not JSON: " + error.errorString().toStdString() + " at byte " +
                            std::to_string(error.offset + 1)
                      : "not a JSON object";
    return;
  }
  ReadMembers(text, row);
  // Columns are found by name in any letter case, so "TD" and "td" are one
  // name: either could be meant.
  std::vector<std::string> lower;
  for (const std::string& name : row.names) {
    lower.push_back(LowerAscii(name));
    if (std::find(lower.begin(), lower.end() - 1, lower.back()) != lower.end() - 1) {
      row.problem = "key '" + name + "' given twice (an array \"a\" gives the keys a1, a2, ...)";
      return;
    }
  }
}

}  // namespace kestrune::convert
