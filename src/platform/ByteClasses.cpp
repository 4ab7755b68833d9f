#include "platform/ByteClasses.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define KALIX_BYTECLASSES_X86 1
#endif

namespace kalix {

#if KALIX_BYTECLASSES_X86
namespace {

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MasksVbmi(const uint8_t* table,
                                                                       const unsigned char* bytes,
                                                                       unsigned first, unsigned count,
                                                                       uint64_t* out) {
  const __m512i t0 = _mm512_load_si512(table);
  const __m512i t1 = _mm512_load_si512(table + 64);
  const __m512i t2 = _mm512_load_si512(table + 128);
  const __m512i t3 = _mm512_load_si512(table + 192);
  const __m512i v = _mm512_loadu_si512(bytes);
  // The permutes read the low seven bits of each byte; bit 7 picks the half.
  const __m512i below = _mm512_permutex2var_epi8(t0, v, t1);
  const __m512i above = _mm512_permutex2var_epi8(t2, v, t3);
  const __m512i classes = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), below, above);
  for (unsigned s = 0; s < count; ++s) {
    out[s] = _mm512_test_epi8_mask(classes, _mm512_set1_epi8(static_cast<char>(1u << (first + s))));
  }
}

__attribute__((target("avx2"))) inline uint32_t Members32(__m256i lo, __m256i hi, const unsigned char* p) {
  const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16,
                                        32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i top = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i t = _mm256_or_si256(_mm256_shuffle_epi8(lo, v), _mm256_shuffle_epi8(hi, _mm256_xor_si256(v, top)));
  const __m256i b = _mm256_shuffle_epi8(bits, _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0f)));
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(t, b), _mm256_setzero_si256())));
}

__attribute__((target("avx2"))) void MasksAvx2(const std::array<std::array<uint8_t, 16>, ByteClasses::kSets>& low,
                                               const std::array<std::array<uint8_t, 16>, ByteClasses::kSets>& high,
                                               const unsigned char* bytes, unsigned first, unsigned count,
                                               uint64_t* out) {
  for (unsigned s = 0; s < count; ++s) {
    const __m256i lo = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low[first + s].data())));
    const __m256i hi = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high[first + s].data())));
    out[s] = uint64_t{Members32(lo, hi, bytes)} | uint64_t{Members32(lo, hi, bytes + 32)} << 32;
  }
}

}  // namespace
#endif

ByteClasses::ByteClasses() {
#if KALIX_BYTECLASSES_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw")) {
    level_ = 3;
  } else if (__builtin_cpu_supports("avx2")) {
    level_ = 2;
  }
#endif
}

void ByteClasses::Add(unsigned set, unsigned char c) {
  if (set >= kSets) return;
  class_[c] = static_cast<uint8_t>(class_[c] | (1u << set));
  const uint8_t bit = static_cast<uint8_t>(1u << ((c >> 4) & 7));
  if (c < 128) {
    low_[set][c & 15] |= bit;
  } else {
    high_[set][c & 15] |= bit;
  }
}

void ByteClasses::Masks64Plain(const unsigned char* bytes, unsigned first, unsigned count, uint64_t* out) const {
  for (unsigned s = 0; s < count; ++s) {
    uint64_t mask = 0;
    for (int k = 0; k < 64; ++k) mask |= uint64_t{(class_[bytes[k]] >> (first + s)) & 1u} << k;
    out[s] = mask;
  }
}

void ByteClasses::Masks64(const unsigned char* bytes, unsigned first, unsigned count, uint64_t* out) const {
#if KALIX_BYTECLASSES_X86
  if (level_ == 3) return MasksVbmi(class_.data(), bytes, first, count, out);
  if (level_ == 2) return MasksAvx2(low_, high_, bytes, first, count, out);
#endif
  Masks64Plain(bytes, first, count, out);
}

}  // namespace kalix
