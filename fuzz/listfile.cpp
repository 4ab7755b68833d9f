// Thesaurus and corpus files: reading, and writing back what was read.
#include "lexicon/EntryList.h"
#include "lexicon/ListFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view raw(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> entries = kalix::ParseListFile(raw);
  // Entries hold no line end and no NUL; written and read again they stay
  // the same.
  for (const std::string& e : entries) {
    if (e.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
  }
  std::vector<std::string> again = kalix::ParseListFile(kalix::FormatEntryList(entries));
  if (again != entries) std::abort();
  return 0;
}
