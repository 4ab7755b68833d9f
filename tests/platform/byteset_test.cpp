// The vector scan and the bit masks of a byte set agree with a plain table
// lookup, for sets of any bytes (both halves of the code page) and texts
// where the first member lies anywhere.
#include "platform/ByteSet.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kalix {
namespace {

TEST(ByteSet, VectorScanAndMasksAgreeWithPlainLookup) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    ByteSet set;
    const int members = 1 + static_cast<int>(rng() % 40);
    for (int k = 0; k < members; ++k) set.Add(static_cast<unsigned char>(rng() % 256));
    std::vector<unsigned char> text(1 + rng() % 400);
    // Mostly bytes outside the set, so that the first member lies anywhere.
    for (unsigned char& b : text) {
      b = static_cast<unsigned char>(rng() % 256);
      if (set.Contains(b) && rng() % 8 != 0) b = static_cast<unsigned char>(b ^ 0x55);
      if (set.Contains(b) && rng() % 2 != 0) b = static_cast<unsigned char>(b ^ 0xaa);
    }
    for (size_t from = 0; from < text.size(); from += 1 + rng() % 7) {
      ASSERT_EQ(set.FindFirst(text.data() + from, text.size() - from),
                set.FindFirstPlain(text.data() + from, text.size() - from));
      if (from + 64 <= text.size()) {
        uint64_t expected = 0;
        for (int k = 0; k < 64; ++k) expected |= uint64_t{set.Contains(text[from + static_cast<size_t>(k)])} << k;
        ASSERT_EQ(set.Mask64(text.data() + from), expected);
      }
    }
  }
}

}  // namespace
}  // namespace kalix
