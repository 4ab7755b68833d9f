// Up to eight sets of byte values, classified together: one pass over 64
// bytes of text gives the bit mask of the members of each set.
//
// With AVX-512 VBMI the class byte of each of the 64 bytes is looked up in
// a 256-byte table (one bit per set) by two byte permutes, and each set's
// mask is one test of that bit. Otherwise each set is a `ByteSet` of its
// own and gives its mask as such. The search's fast runs use it to find
// where they must stop and to read the word bookkeeping of a run.
#pragma once

#include "platform/ByteSet.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalix {

class ByteClasses {
 public:
  static constexpr unsigned kSets = 8;

  ByteClasses();
  // Adds `c` to set `set` (below kSets).
  void Add(unsigned set, unsigned char c);
  bool Contains(unsigned set, unsigned char c) const { return (class_[c] >> set) & 1; }
  // For the sets first .. first + count - 1 (within kSets): out[s], bit k
  // set when bytes[k] is in set first + s, for the 64 bytes from `bytes`.
  void Masks64(const unsigned char* bytes, unsigned first, unsigned count, uint64_t* out) const;
  // The same byte by byte (the reference of the others).
  void Masks64Plain(const unsigned char* bytes, unsigned first, unsigned count, uint64_t* out) const;

 private:
  // Bit s of class_[b]: b is in set s.
  alignas(64) std::array<uint8_t, 256> class_{};
  std::array<ByteSet, kSets> sets_;
  bool vbmi_ = false;  // the processor has AVX-512 VBMI
};

}  // namespace kalix
