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

}  // namespace
#endif

ByteClasses::ByteClasses() {
#if KALIX_BYTECLASSES_X86
  __builtin_cpu_init();
  vbmi_ = __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
#endif
}

void ByteClasses::Add(unsigned set, unsigned char c) {
  if (set >= kSets) return;
  class_[c] = static_cast<uint8_t>(class_[c] | (1u << set));
  sets_[set].Add(c);
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
  if (vbmi_) return MasksVbmi(class_.data(), bytes, first, count, out);
#endif
  for (unsigned s = 0; s < count; ++s) out[s] = sets_[first + s].Mask64(bytes);
}

}  // namespace kalix
