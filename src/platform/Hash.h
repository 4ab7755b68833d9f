// The hashes of the program's hash tables: a byte-at-a-time hash for short
// keys that are hashed once (FNV-1a), and a word-at-a-time hash for forms
// that are hashed for every hit.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace kalix {

// FNV-1a over the bytes of `s`, from `h` (kHashSeed to start).
inline uint32_t HashBytes(std::string_view s, uint32_t h) {
  for (char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

constexpr uint32_t kHashSeed = 2166136261u;

// The hash of a form: eight bytes at a time, each word multiplied in, the
// bits mixed at the end.
inline uint32_t HashForm(std::string_view s, uint32_t seed) {
  uint64_t h = (uint64_t{seed} << 32 | s.size()) * 0x9e3779b97f4a7c15u;
  size_t k = 0;
  for (; k + 8 <= s.size(); k += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + k, 8);
    h = (h ^ w) * 0xff51afd7ed558ccdu;
    h ^= h >> 29;
  }
  if (k < s.size()) {
    uint64_t w = 0;
    std::memcpy(&w, s.data() + k, s.size() - k);
    h = (h ^ w) * 0xff51afd7ed558ccdu;
  }
  h ^= h >> 32;
  h *= 0xc4ceb9fe1a85ec53u;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

// Asks for the cache line holding `p` ahead of its use.
inline void Prefetch(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

}  // namespace kalix
