// A small reader for the JSON-lines test data: objects, arrays, strings with
// escapes, numbers, booleans and null. Enough for the golden files, no more.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/text_codec.hpp"

namespace kestrune::testing_json {

struct Value {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  double number = 0.0;
  std::string text;  // the string, or the number as written
  std::vector<Value> items;
  std::map<std::string, Value> fields;

  const Value& operator[](const std::string& key) const {
    auto it = fields.find(key);
    if (it == fields.end()) throw std::runtime_error("missing key " + key);
    return it->second;
  }
};

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  Value Parse() {
    Value v = ParseValue();
    Skip();
    if (i_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) const {
    throw std::runtime_error(std::string("json: ") + what + " at " + std::to_string(i_));
  }
  void Skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
      ++i_;
  }
  bool Eat(const char* word) {
    std::string w(word);
    if (s_.compare(i_, w.size(), w) == 0) {
      i_ += w.size();
      return true;
    }
    return false;
  }
  unsigned Hex4() {
    if (i_ + 4 > s_.size()) Fail("short \\u escape");
    unsigned v = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
    i_ += 4;
    return v;
  }
  std::string ParseString() {
    ++i_;  // opening quote
    std::string out;
    while (true) {
      if (i_ >= s_.size()) Fail("open string");
      char c = s_[i_++];
      if (c == '"') break;
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = s_[i_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
            i_ += 2;
            unsigned lo = Hex4();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          out += text_codec::Encode(std::u32string(1, static_cast<char32_t>(cp)));
          break;
        }
        default:
          Fail("bad escape");
      }
    }
    return out;
  }
  Value ParseValue() {
    Skip();
    if (i_ >= s_.size()) Fail("no value");
    Value v;
    char c = s_[i_];
    if (c == '{') {
      v.type = Value::Type::Object;
      ++i_;
      Skip();
      if (s_[i_] == '}') {
        ++i_;
        return v;
      }
      while (true) {
        Skip();
        if (s_[i_] != '"') Fail("key expected");
        std::string key = ParseString();
        Skip();
        if (s_[i_++] != ':') Fail("colon expected");
        v.fields[key] = ParseValue();
        Skip();
        if (s_[i_] == ',') {
          ++i_;
        } else if (s_[i_] == '}') {
          ++i_;
          return v;
        } else {
          Fail("bad object");
        }
      }
    }
    if (c == '[') {
      v.type = Value::Type::Array;
      ++i_;
      Skip();
      if (s_[i_] == ']') {
        ++i_;
        return v;
      }
      while (true) {
        v.items.push_back(ParseValue());
        Skip();
        if (s_[i_] == ',') {
          ++i_;
        } else if (s_[i_] == ']') {
          ++i_;
          return v;
        } else {
          Fail("bad array");
        }
      }
    }
    if (c == '"') {
      v.type = Value::Type::String;
      v.text = ParseString();
      return v;
    }
    if (Eat("true")) {
      v.type = Value::Type::Bool;
      v.boolean = true;
      return v;
    }
    if (Eat("false")) {
      v.type = Value::Type::Bool;
      return v;
    }
    if (Eat("null")) return v;
    std::size_t start = i_;
    while (i_ < s_.size() && std::string("+-0123456789.eE").find(s_[i_]) != std::string::npos) ++i_;
    if (start == i_) Fail("unexpected character");
    v.type = Value::Type::Number;
    v.text = s_.substr(start, i_ - start);
    v.number = std::strtod(v.text.c_str(), nullptr);
    return v;
  }

  const std::string& s_;
  std::size_t i_ = 0;
};

// Every non-empty line of a JSON-lines file.
inline std::vector<Value> ReadJsonLines(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<Value> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    out.push_back(Parser(line).Parse());
  }
  return out;
}

}  // namespace kestrune::testing_json
