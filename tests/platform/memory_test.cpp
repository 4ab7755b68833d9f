// Huge-page advice: given only for large buffers, and never changing them;
// large blocks hold what is written to them, whatever their size.

#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalix {
namespace {

TEST(Memory, SmallBuffersGetNoAdvice) {
  std::string small(1 << 20, 'a');
  EXPECT_FALSE(AdviseHugePages(small.data(), small.size()));
  EXPECT_FALSE(AdviseHugePages(nullptr, kHugePageAdviceMinimum));
  EXPECT_FALSE(AdviseHugePages(small.data(), 0));
  EXPECT_EQ(small, std::string(1 << 20, 'a'));
}

TEST(Memory, AdviceKeepsTheContents) {
  // Odd start and length: the advice covers only the whole pages inside.
  std::string buffer;
  buffer.reserve(kHugePageAdviceMinimum + 12345);
  for (size_t i = 0; i < kHugePageAdviceMinimum / 2; ++i) buffer += static_cast<char>('a' + i % 26);
  bool advised = AdviseHugePages(buffer.data() + 3, buffer.capacity() - 3);
#ifndef __linux__
  EXPECT_FALSE(advised);
#else
  (void)advised;  // the system may have huge pages turned off
#endif
  for (size_t i = 0; i < kHugePageAdviceMinimum / 2; ++i) {
    ASSERT_EQ(buffer[i], static_cast<char>('a' + i % 26)) << i;
  }
  // Writing on after the advice works as before.
  buffer.append(kHugePageAdviceMinimum / 2, 'z');
  EXPECT_EQ(buffer.back(), 'z');
  EXPECT_EQ(buffer.size(), kHugePageAdviceMinimum);
}

TEST(Memory, LargeBlocksOfEverySizeHoldTheirContents) {
  // Below, at and above the size that gets a mapping of its own, and sizes
  // that are not whole huge pages.
  for (size_t size : {size_t{1}, size_t{4096}, kHugeBlockMinimum - 1, kHugeBlockMinimum, kHugePageSize,
                      kHugePageSize + 1, 3 * kHugePageSize - 7}) {
    auto* p = static_cast<unsigned char*>(AllocateLargeBlock(size));
    ASSERT_NE(p, nullptr);
    for (size_t i = 0; i < size; ++i) p[i] = static_cast<unsigned char>(i * 7 + size);
    for (size_t i = 0; i < size; ++i) ASSERT_EQ(p[i], static_cast<unsigned char>(i * 7 + size)) << size << " " << i;
    FreeLargeBlock(p, size);
  }
  FreeLargeBlock(nullptr, kHugePageSize);
}

TEST(Memory, VectorsOverLargeBlocksGrowAndKeepTheirElements) {
  std::vector<uint64_t, LargeBlockAllocator<uint64_t>> values;
  for (uint64_t i = 0; i < 3 * kHugePageSize / sizeof(uint64_t); ++i) values.push_back(i * i);
  for (uint64_t i = 0; i < values.size(); ++i) ASSERT_EQ(values[i], i * i);
  values.resize(10);
  values.shrink_to_fit();
  EXPECT_EQ(values[9], 81u);
}

}  // namespace
}  // namespace kalix
