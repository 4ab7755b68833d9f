#include "platform/ByteSet.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KALIX_BYTESET_X86 1
#endif

namespace kalix {

#if KALIX_BYTESET_X86
namespace {

// Bit masks of the bytes in the set among 16 (or 32) bytes: the low nibble
// picks a table entry (the low table for bytes below 128, where pshufb
// yields 0 for the others, the high table for the rest by flipping bit 7),
// the high nibble picks the bit.
__attribute__((target("ssse3"))) size_t FindSsse3(const uint8_t* low, const uint8_t* high,
                                                  const unsigned char* bytes, size_t n) {
  const __m128i lo = _mm_load_si128(reinterpret_cast<const __m128i*>(low));
  const __m128i hi = _mm_load_si128(reinterpret_cast<const __m128i*>(high));
  const __m128i bits = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i nibble = _mm_set1_epi8(0x0f);
  const __m128i top = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i t = _mm_or_si128(_mm_shuffle_epi8(lo, v), _mm_shuffle_epi8(hi, _mm_xor_si128(v, top)));
    const __m128i b = _mm_shuffle_epi8(bits, _mm_and_si128(_mm_srli_epi16(v, 4), nibble));
    const unsigned absent = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(t, b), zero)));
    if (absent != 0xffffu) return i + static_cast<size_t>(__builtin_ctz(~absent & 0xffffu));
  }
  return i;
}

// The same 32 bytes at a time: the tables and constants, and the bits of
// the members among the 32 bytes at `p`.
struct Avx2Tables {
  __m256i lo, hi, bits, nibble, top;
};

__attribute__((target("avx2"))) inline Avx2Tables LoadAvx2(const uint8_t* low, const uint8_t* high) {
  return Avx2Tables{
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low))),
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high))),
      _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1,
                       2, 4, 8, 16, 32, 64, -128),
      _mm256_set1_epi8(0x0f), _mm256_set1_epi8(static_cast<char>(0x80))};
}

__attribute__((target("avx2"))) inline uint32_t Members32(const Avx2Tables& x, const unsigned char* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i t = _mm256_or_si256(_mm256_shuffle_epi8(x.lo, v), _mm256_shuffle_epi8(x.hi, _mm256_xor_si256(v, x.top)));
  const __m256i b = _mm256_shuffle_epi8(x.bits, _mm256_and_si256(_mm256_srli_epi16(v, 4), x.nibble));
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(t, b), _mm256_setzero_si256())));
}

__attribute__((target("avx2"))) size_t FindAvx2(const uint8_t* low, const uint8_t* high,
                                                const unsigned char* bytes, size_t n) {
  const Avx2Tables x = LoadAvx2(low, high);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const uint32_t found = Members32(x, bytes + i);
    if (found != 0) return i + static_cast<size_t>(__builtin_ctz(found));
  }
  return i;
}

__attribute__((target("avx2"))) uint64_t MaskAvx2(const uint8_t* low, const uint8_t* high,
                                                   const unsigned char* bytes) {
  const Avx2Tables x = LoadAvx2(low, high);
  return uint64_t{Members32(x, bytes)} | uint64_t{Members32(x, bytes + 32)} << 32;
}

}  // namespace
#endif

uint64_t ByteSet::Mask64(const unsigned char* bytes) const {
#if KALIX_BYTESET_X86
  if (level_ == 2) return MaskAvx2(low_.data(), high_.data(), bytes);
#endif
  uint64_t mask = 0;
  for (int k = 0; k < 64; ++k) mask |= uint64_t{member_[bytes[k]]} << k;
  return mask;
}

ByteSet::ByteSet() {
#if KALIX_BYTESET_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    level_ = 2;
  } else if (__builtin_cpu_supports("ssse3")) {
    level_ = 1;
  }
#endif
}

void ByteSet::Add(unsigned char c) {
  member_[c] = true;
  const uint8_t bit = static_cast<uint8_t>(1u << ((c >> 4) & 7));
  if (c < 128) {
    low_[c & 15] |= bit;
  } else {
    high_[c & 15] |= bit;
  }
}

size_t ByteSet::FindFirstPlain(const unsigned char* bytes, size_t n) const {
  size_t i = 0;
  while (i < n && !member_[bytes[i]]) ++i;
  return i;
}

size_t ByteSet::FindFirst(const unsigned char* bytes, size_t n) const {
  size_t i = 0;
#if KALIX_BYTESET_X86
  if (level_ == 2) {
    i = FindAvx2(low_.data(), high_.data(), bytes, n);
  } else if (level_ == 1) {
    i = FindSsse3(low_.data(), high_.data(), bytes, n);
  }
  if (i < n && member_[bytes[i]]) return i;
#endif
  return i + FindFirstPlain(bytes + i, n - i);
}

}  // namespace kalix
