// Fuzz target: metafile validation on arbitrary bytes. The first bytes also
// choose the picture size the document would give.
#include "platform/Metafile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kalix::PictureSize picture;
  if (size >= 12) {
    int16_t v[6];
    std::memcpy(v, data, sizeof v);
    picture = kalix::PictureSize{v[0] % 10, v[1], v[2], v[3], v[4]};
    data += 12;
    size -= 12;
  }
  auto parsed = kalix::ParseMetafile(std::string_view(reinterpret_cast<const char*>(data), size), picture);
  if (parsed) {
    if (parsed->right <= 0 || parsed->bottom <= 0) std::abort();
    size_t words = 0;
    for (const auto& r : parsed->records) words += r.params.size() + 3;
    if (words * 2 > size) std::abort();
  }
  return 0;
}
