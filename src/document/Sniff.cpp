#include "document/Sniff.h"

#include <array>
#include <cstddef>

namespace kalix {
namespace {

constexpr size_t kHeadSize = 64 * 1024;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

bool LooksBinary(std::string_view head) {
  if (head.size() > kHeadSize) head = head.substr(0, kHeadSize);
  if (head.empty() || StartsWith(head, "{\\rtf")) return false;
  // Byte-order marks of UTF-8, UTF-16 (either order) and UTF-32.
  for (std::string_view bom : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
                               std::string_view("\xFE\xFF"), std::string_view("\0\0\xFE\xFF", 4)}) {
    if (StartsWith(head, bom)) return false;
  }
  size_t zeros = 0;
  size_t controls = 0;
  for (unsigned char c : head) {
    if (c == 0) {
      ++zeros;
      ++controls;
    } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1A) {
      ++controls;
    }
  }
  return zeros * 100 > head.size() || controls * 10 > head.size();
}

bool FileLooksBinary(std::FILE* file) {
  std::array<char, kHeadSize> buffer;
  const size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
  std::rewind(file);
  return LooksBinary(std::string_view(buffer.data(), n));
}

}  // namespace kalix
