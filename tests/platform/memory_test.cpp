// Huge-page advice: given only for large buffers, and never changing them.

#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kalix
