#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace kalix {
namespace {

TEST(TextModeInput, CrLfAndEndOfFile) {
  struct Case { std::string raw, text; } cases[] = {
      {"a\r\nb", "a\nb"},
      {"a\rb", "a\rb"},           // a lone CR stays
      {"a\r\r\nb", "a\r\nb"},     // only the CR right before LF goes
      {"ab\x1a" "cd", "ab"},      // 0x1A ends the input
      {"\x1a", ""},
      {"a\r", "a\r"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(TextModeInput(c.raw), c.text) << c.raw;
}

TEST(TextModeOutput, EveryLineFeedBecomesCrLf) {
  EXPECT_EQ(TextModeOutput("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(TextModeOutput("a\r\nb"), "a\r\r\nb");
}

TEST(SplitLines, KeepsLineFeedsAndFinalLine) {
  auto lines = SplitLines("a\n\nbc");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "a\n");
  EXPECT_EQ(lines[1], "\n");
  EXPECT_EQ(lines[2], "bc");
  EXPECT_EQ(SplitLines("a\n").size(), 1u);
  EXPECT_TRUE(SplitLines("").empty());
  std::string longLine(100000, 'x');
  auto one = SplitLines(longLine);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].size(), 100000u);
}

TEST(TextFile, WriteThenReadAndAppend) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::string path = dir.filePath("out.txt").toStdString();
  ASSERT_TRUE(WriteTextFile(path, "one\ntwo\n"));
  EXPECT_EQ(*ReadBinaryFile(path), "one\r\ntwo\r\n");
  ASSERT_TRUE(WriteTextFile(path, "three\n", /*append=*/true));
  EXPECT_EQ(*ReadTextFile(path), "one\ntwo\nthree\n");
  EXPECT_FALSE(ReadBinaryFile(dir.filePath("missing").toStdString()));
  EXPECT_FALSE(ReadBinaryFile(dir.path().toStdString()));  // a folder is not a file
  EXPECT_FALSE(WriteTextFile(dir.filePath("no/such/folder/x").toStdString(), "x"));
}

}  // namespace
}  // namespace kalix
