// The masks of eight byte sets classified together agree with a plain table
// lookup, for any bytes in any of the sets and any run of sets asked for.
#include "platform/ByteClasses.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kalix {
namespace {

TEST(ByteClasses, MasksAgreeWithPlainLookup) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    ByteClasses classes;
    std::vector<std::vector<bool>> member(ByteClasses::kSets, std::vector<bool>(256, false));
    for (unsigned s = 0; s < ByteClasses::kSets; ++s) {
      // Some sets empty, some nearly full, most a few bytes of both halves.
      const int size = round % 9 == 0 ? 0 : (s == 7 && round % 5 == 0 ? 250 : 1 + static_cast<int>(rng() % 30));
      for (int k = 0; k < size; ++k) {
        const unsigned char c = static_cast<unsigned char>(rng() % 256);
        classes.Add(s, c);
        member[s][c] = true;
      }
    }
    std::vector<unsigned char> text(64 + rng() % 200);
    for (unsigned char& b : text) b = static_cast<unsigned char>(rng() % 256);
    for (size_t from = 0; from + 64 <= text.size(); from += 1 + rng() % 9) {
      for (unsigned first = 0; first < ByteClasses::kSets; ++first) {
        const unsigned count = 1 + static_cast<unsigned>(rng() % (ByteClasses::kSets - first));
        uint64_t masks[ByteClasses::kSets] = {};
        classes.Masks64(text.data() + from, first, count, masks);
        for (unsigned s = 0; s < count; ++s) {
          uint64_t expected = 0;
          for (int k = 0; k < 64; ++k) {
            expected |= uint64_t{member[first + s][text[from + static_cast<size_t>(k)]]} << k;
          }
          ASSERT_EQ(masks[s], expected) << "round " << round << " set " << first + s;
          ASSERT_EQ(classes.Contains(first + s, text[from]), member[first + s][text[from]]);
        }
        uint64_t plain[ByteClasses::kSets] = {};
        classes.Masks64Plain(text.data() + from, first, count, plain);
        for (unsigned s = 0; s < count; ++s) ASSERT_EQ(plain[s], masks[s]);
      }
    }
  }
}

TEST(ByteClasses, SetsBeyondTheLastAreIgnored) {
  ByteClasses classes;
  classes.Add(ByteClasses::kSets, 'a');
  for (unsigned s = 0; s < ByteClasses::kSets; ++s) EXPECT_FALSE(classes.Contains(s, 'a'));
}

}  // namespace
}  // namespace kalix
