// The hashes of the program's hash tables, in one place: a byte-at-a-time
// hash for short keys that are hashed once (FNV-1a); for forms and words
// hashed for every hit, word-at-a-time hashes that multiply each eight-byte
// word in and mix the bits at the end.
#pragma once

#include <cstddef>
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

// The first min(n, 8) bytes at `p` as a little word, zero-padded.
inline uint64_t LoadChunk(const char* p, size_t n) {
  uint64_t v = 0;
  std::memcpy(&v, p, n < 8 ? n : 8);
  return v;
}

// The hash of a string whose first eight bytes (zero-padded) are `head`.
inline uint64_t HashHeadAndRest(uint64_t head, std::string_view s) {
  uint64_t h = (head ^ (s.size() * 0x9e3779b97f4a7c15ull)) * 0xbf58476d1ce4e5b9ull;
  for (size_t at = 8; at < s.size(); at += 8) {
    h = (h ^ LoadChunk(s.data() + at, s.size() - at)) * 0x94d049bb133111ebull;
  }
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ull;
  h ^= h >> 32;
  return h;
}

// The hash of a key of two words (a string of at most 16 bytes).
inline uint64_t HashTwoWords(uint64_t lo, uint64_t hi) {
  unsigned __int128 m = static_cast<unsigned __int128>(lo ^ 0xa0761d6478bd642full) * (hi ^ 0xe7037ed1a0b428dbull);
  return static_cast<uint64_t>(m >> 64) ^ static_cast<uint64_t>(m);
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
