#include "platform/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <filesystem>

namespace kalix {

std::optional<std::string> ReadBinaryFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::string data;
  auto size = std::filesystem::file_size(path, ec);
  if (!ec) data.reserve(static_cast<size_t>(size));
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return std::nullopt;
  return data;
}

std::string TextModeInput(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\x1a') break;
    if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out.push_back(c);
  }
  return out;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  auto raw = ReadBinaryFile(path);
  if (!raw) return std::nullopt;
  return TextModeInput(*raw);
}

std::string TextModeOutput(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

bool WriteBinaryFile(const std::string& path, std::string_view bytes) {
  QSaveFile file(QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size())));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool WriteTextFile(const std::string& path, std::string_view text, bool append) {
  std::string bytes = TextModeOutput(text);
  if (!append) return WriteBinaryFile(path, bytes);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start + 1));
    start = end + 1;
  }
  return lines;
}

std::string_view CutAtZero(std::string_view line) {
  size_t zero = line.find('\0');
  return zero == std::string_view::npos ? line : line.substr(0, zero);
}

bool FileReadable(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

}  // namespace kalix
