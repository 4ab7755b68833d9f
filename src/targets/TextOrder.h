// The byte order of forms and document references, with the first eight
// bytes compared as one number.
#pragma once

#include <cstdint>
#include <string_view>

namespace kalix {

// The first eight bytes of `s` as a number that orders as the bytes do
// (bytes past the end count as 0).
inline uint64_t Leading8(std::string_view s) {
  uint64_t v = 0;
  const size_t n = s.size() < 8 ? s.size() : 8;
  for (size_t k = 0; k < n; ++k) v |= uint64_t{static_cast<unsigned char>(s[k])} << (56 - 8 * k);
  return v;
}

// Byte-wise comparison of two strings, as std::string's: < 0, 0 or > 0.
inline int CompareBytes(std::string_view a, std::string_view b) {
  const uint64_t x = Leading8(a);
  const uint64_t y = Leading8(b);
  if (x != y) return x < y ? -1 : 1;
  return a.compare(b);
}

}  // namespace kalix
