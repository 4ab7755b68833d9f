// Feeding a file block by block, on this thread and read ahead on a second
// one: every byte in order, an early stop, and an exception from the
// consumer, which must reach the caller without leaving the reading thread
// waiting.
#include "platform/FileFeed.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace kalix {
namespace {

TEST(FeedFile, EveryByteInOrderAnEarlyStopAndAThrowOnBothPaths) {
  std::string bytes;
  for (size_t i = 0; bytes.size() < (size_t{9} << 20); ++i) bytes += std::to_string(i * 2654435761u) + ' ';
  const std::string path = ::testing::TempDir() + "/feed.bin";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(out);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
  std::fclose(out);

  // 0: size unknown (read here); the real size: read ahead.
  for (const uintmax_t size : {uintmax_t{0}, uintmax_t{bytes.size()}}) {
    SCOPED_TRACE(size);
    // Every byte, in order.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(file);
    std::string read;
    FeedFile(file, size, [&](const char* data, size_t n) {
      read.append(data, n);
      return true;
    });
    std::fclose(file);
    EXPECT_TRUE(read == bytes);

    // The consumer stops after its second block: no more blocks come.
    file = std::fopen(path.c_str(), "rb");
    int blocks = 0;
    FeedFile(file, size, [&](const char*, size_t) { return ++blocks < 2; });
    std::fclose(file);
    EXPECT_EQ(blocks, 2);

    // The consumer throws at its second block.
    file = std::fopen(path.c_str(), "rb");
    blocks = 0;
    EXPECT_THROW(FeedFile(file, size,
                          [&](const char*, size_t) {
                            if (++blocks == 2) throw std::runtime_error("full");
                            return true;
                          }),
                 std::runtime_error);
    std::fclose(file);
    EXPECT_EQ(blocks, 2);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kalix
