#include "cli/Json.h"

#include "platform/Cp1252.h"

#include <charconv>
#include <cmath>

namespace kalix::cli {

void JsonWriter::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) buf_ += ',';
  first_.back() = false;
}

void JsonWriter::Key(std::string_view name) {
  Separate();
  buf_ += '"';
  buf_ += name;
  buf_ += "\":";
  afterKey_ = true;
}

void JsonWriter::Double(double value) {
  if (!std::isfinite(value)) {
    Null();
    return;
  }
  Separate();
  char tmp[32];
  auto [end, ec] = std::to_chars(tmp, tmp + sizeof tmp, value);
  (void)ec;  // the shortest form of a double fits in 32 characters
  buf_.append(tmp, static_cast<size_t>(end - tmp));
  MaybeFlush();
}

void JsonWriter::Int(int64_t value) {
  Separate();
  char tmp[24];
  auto [end, ec] = std::to_chars(tmp, tmp + sizeof tmp, value);
  (void)ec;  // 24 characters hold every 64-bit value
  buf_.append(tmp, static_cast<size_t>(end - tmp));
  MaybeFlush();
}

void JsonWriter::String1252(std::string_view bytes) {
  Separate();
  buf_ += '"';
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': buf_ += "\\\""; break;
      case '\\': buf_ += "\\\\"; break;
      case '\n': buf_ += "\\n"; break;
      case '\r': buf_ += "\\r"; break;
      case '\t': buf_ += "\\t"; break;
      default:
        if (c < 0x20) {
          char tmp[8];
          std::snprintf(tmp, sizeof tmp, "\\u%04x", c);
          buf_ += tmp;
        } else {
          AppendCp1252AsUtf8(buf_, c);
        }
    }
  }
  buf_ += '"';
  MaybeFlush();
}

void JsonWriter::StringUtf8(std::string_view text) {
  Separate();
  buf_ += '"';
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      buf_ += '\\';
      buf_ += ch;
    } else if (c < 0x20) {
      char tmp[8];
      std::snprintf(tmp, sizeof tmp, "\\u%04x", c);
      buf_ += tmp;
    } else {
      buf_ += ch;
    }
  }
  buf_ += '"';
  MaybeFlush();
}

void JsonWriter::Flush() {
  if (buf_.empty()) return;
  std::fwrite(buf_.data(), 1, buf_.size(), out_);
  buf_.clear();
  std::fflush(out_);
}

}  // namespace kalix::cli
