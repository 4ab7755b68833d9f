// A small streaming JSON writer for kalix-cli's output. Texts given as code
// page 1252 bytes are written as their Unicode characters in UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace kalix::cli {

class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* out) : out_(out) {}
  ~JsonWriter() { Flush(); }

  void BeginObject() { Separate(); buf_ += '{'; first_.push_back(true); }
  void EndObject() { buf_ += '}'; first_.pop_back(); MaybeFlush(); }
  void BeginArray() { Separate(); buf_ += '['; first_.push_back(true); }
  void EndArray() { buf_ += ']'; first_.pop_back(); MaybeFlush(); }
  void Key(std::string_view name);
  void Int(int64_t value);
  // A number; one that is not finite is written as null.
  void Double(double value);
  void Bool(bool value) { Separate(); buf_ += value ? "true" : "false"; }
  void Null() { Separate(); buf_ += "null"; }
  // A code page 1252 text.
  void String1252(std::string_view bytes);
  // A UTF-8 text.
  void StringUtf8(std::string_view text);
  // Finishes the document with a line feed and writes out what is buffered.
  void End() { buf_ += '\n'; Flush(); }
  void Flush();

 private:
  void Separate();
  void MaybeFlush() { if (buf_.size() > (1u << 20)) Flush(); }

  std::FILE* out_;
  std::string buf_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};

}  // namespace kalix::cli
