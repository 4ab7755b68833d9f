// A set of byte values and a scan for the first byte of a text in the set.
//
// The scan tests 32 bytes at a time with two nibble lookups (any of the 256
// values may be in the set, the test is exact) when the processor has AVX2,
// 16 at a time with SSSE3, and byte by byte otherwise. The document reader
// finds the ends of its runs of plain characters with it, and the search
// passes over text where nothing can happen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalix {

class ByteSet {
 public:
  ByteSet();
  void Add(unsigned char c);
  bool Contains(unsigned char c) const { return member_[c]; }
  // The index of the first byte of `bytes[0, n)` in the set, or n.
  size_t FindFirst(const unsigned char* bytes, size_t n) const;
  // The same without the vector instructions (the reference of the others).
  size_t FindFirstPlain(const unsigned char* bytes, size_t n) const;
  // Bit k set when bytes[k] is in the set, for the 64 bytes from `bytes`.
  uint64_t Mask64(const unsigned char* bytes) const;

 private:
  std::array<bool, 256> member_{};
  // For byte b: bit (b >> 4) & 7 of low_[b & 15] when b < 128, of
  // high_[b & 15] otherwise.
  alignas(16) std::array<uint8_t, 16> low_{};
  alignas(16) std::array<uint8_t, 16> high_{};
  int level_ = 0;  // 2: AVX2, 1: SSSE3, 0: plain
};

}  // namespace kalix
