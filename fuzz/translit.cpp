// Fuzz target: the user's transliteration table on arbitrary bytes, then the
// policy it makes on the same bytes read as UTF-8: every character gives at
// most one byte, and each one that is not its own byte is recorded.
#include "platform/CharPolicy.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kalix::CharPolicy policy;
  std::vector<kalix::TableError> errors;
  const int taken = policy.LoadTable(bytes, &errors);
  if (taken < 0) std::abort();
  for (const kalix::TableError& e : errors) {
    if (e.line <= 0 || e.message.empty()) std::abort();
  }
  std::string out;
  kalix::cReplacedList replaced;
  policy.AppendUtf8(bytes, out, replaced);
  std::u32string decoded;
  kalix::DecodeUtf8(bytes, decoded);
  if (out.size() > decoded.size()) std::abort();
  for (const kalix::ReplacedChar& r : replaced) {
    if (r.offset < 0 || static_cast<size_t>(r.offset) > out.size() || r.original.empty()) std::abort();
  }
  return 0;
}
