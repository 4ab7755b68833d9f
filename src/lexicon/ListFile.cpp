#include "lexicon/ListFile.h"

#include "platform/TextFile.h"

namespace kalix {

std::vector<std::string> ParseListFile(std::string_view bytes) {
  bytes = CutAtZero(bytes);
  std::vector<std::string> entries;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      entries.emplace_back(bytes.substr(start));
      break;
    }
    entries.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return entries;
}

std::optional<std::vector<std::string>> ReadListFile(const std::string& path) {
  std::optional<std::string> bytes = ReadBinaryFile(path);
  if (!bytes) return std::nullopt;
  return ParseListFile(*bytes);
}

}  // namespace kalix
