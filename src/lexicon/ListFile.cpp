#include "lexicon/ListFile.h"

#include "platform/TextFile.h"

namespace kalix {

std::vector<std::string> ParseListFile(std::string_view bytes) {
  size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t j = i;
    while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
    lines.emplace_back(bytes.substr(i, j - i));
    if (j < bytes.size()) {
      if (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n') ++j;
      ++j;
    }
    i = j;
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadListFile(const std::string& path) {
  std::optional<std::string> raw = ReadBinaryFile(path);
  if (!raw) return std::nullopt;
  return ParseListFile(*raw);
}

}  // namespace kalix
