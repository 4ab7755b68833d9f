#include "app/StartupCorpus.h"

#include "lexicon/ListFile.h"

#include <optional>
#include <utility>
#include <vector>

namespace kalix {

bool IsCorpusFileName(const std::string& path) {
  static constexpr char kExtension[] = ".cor";
  constexpr size_t n = sizeof kExtension - 1;
  if (path.size() <= n) return false;
  std::string tail = path.substr(path.size() - n);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // A bare ".cor" (or "dir/.cor") is a hidden file, not a corpus name.
  char before = path[path.size() - n - 1];
  return tail == kExtension && before != '/';
}

std::string TakePendingCorpus(CommandLineOptions& options) {
  if (!IsCorpusFileName(options.PendingDocument)) return std::string();
  return std::exchange(options.PendingDocument, std::string());
}

bool LoadCorpusFile(Corpus& corpus, const std::string& path) {
  std::optional<std::vector<std::string>> entries = ReadListFile(path);
  if (!entries) return false;
  corpus.Entries = std::move(*entries);
  corpus.FileName = path;
  corpus.Open = true;
  corpus.Modified = false;
  corpus.MenuState = kListMenuOpen;
  return true;
}

}  // namespace kalix
