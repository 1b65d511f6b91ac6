// Row reading.
#include "converter/row_reader.hpp"

#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cerrno>
#include <cstring>

namespace kestrune::convert {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool LineSource::Fill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) return true;
  const int fd = fileno(in_);
  std::size_t got = 0;
  if (fd >= 0) {
    ssize_t n;
    do {
      n = ::read(fd, buffer_.data() + end_, buffer_.size() - end_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) error_ = errno;
    got = n > 0 ? static_cast<std::size_t>(n) : 0;
  } else {
    got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, in_);
    if (got == 0 && std::ferror(in_)) error_ = EIO;
  }
  if (got == 0) {
    eof_ = true;
    return false;
  }
  end_ += got;
  bytes_ += got;
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

std::string JsonText(const QJsonValue& v) {
  return QJsonDocument(QJsonArray{v})
      .toJson(QJsonDocument::Compact)
      .mid(1)
      .chopped(1)
      .toStdString();
}

void AddJsonField(Row& row, const std::string& name, const QJsonValue& v) {
  row.names.push_back(name);
  row.json.push_back(JsonText(v));
  if (v.isString()) {
    row.fields.push_back(v.toString().toStdString());
  } else if (v.isNull() || v.isUndefined()) {
    row.fields.emplace_back();
  } else {
    row.fields.push_back(row.json.back());
  }
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
  const QJsonObject obj = doc.object();
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    const std::string key = it.key().toStdString();
    if (it.value().isArray()) {
      const QJsonArray a = it.value().toArray();
      for (qsizetype k = 0; k < a.size(); ++k) AddJsonField(row, key + std::to_string(k + 1), a[k]);
    } else {
      AddJsonField(row, key, it.value());
    }
  }
}

}  // namespace kestrune::convert
