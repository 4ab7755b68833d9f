// ViewIndex against the plain rule: the view position of offset i is i plus
// the LF and CR bytes before i.

#include "document/ViewIndex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kalix {
namespace {

int32_t NaiveView(const std::string& text, int32_t offset) {
  int32_t v = 0;
  for (int32_t i = 0; i < offset; ++i) v += (text[i] == '\n' || text[i] == '\r') ? 2 : 1;
  return v;
}

TEST(ViewIndex, TwoParagraphs) {
  std::string text = "ab\ncd\n";
  ViewIndex index(text);
  EXPECT_EQ(index.ViewOfOffset(3), 4);
  EXPECT_EQ(index.ViewOfOffset(4), 5);
  EXPECT_EQ(index.OffsetOfView(4), 3);
  EXPECT_EQ(index.OffsetOfView(5), 4);
  EXPECT_EQ(index.ViewLength(), 8);
  // View 3 lies between the two halves of the first LF: the LF itself.
  EXPECT_EQ(index.OffsetOfView(3), 2);
}

TEST(ViewIndex, EmptyAndClamped) {
  ViewIndex empty{std::string_view()};
  EXPECT_EQ(empty.ViewOfOffset(0), 0);
  EXPECT_EQ(empty.OffsetOfView(5), 0);
  ViewIndex index(std::string_view("a\r\n"));
  EXPECT_EQ(index.ViewOfOffset(-4), 0);
  EXPECT_EQ(index.ViewOfOffset(99), 5);
  EXPECT_EQ(index.OffsetOfView(99), 3);
  EXPECT_EQ(index.OffsetOfView(-1), 0);
}

TEST(ViewIndex, AgreesWithTheRuleOnRandomTexts) {
  std::mt19937 rng(12345);
  const char alphabet[] = {'a', 'b', '\n', '\r', '\xb1', ' '};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    int n = static_cast<int>(rng() % 80);
    for (int i = 0; i < n; ++i) text += alphabet[rng() % sizeof alphabet];
    ViewIndex index(text);
    ASSERT_EQ(index.TextLength(), n);
    ASSERT_EQ(index.ViewLength(), NaiveView(text, n));
    for (int32_t i = 0; i <= n; ++i) {
      int32_t v = NaiveView(text, i);
      ASSERT_EQ(index.ViewOfOffset(i), v) << i;
      ASSERT_EQ(index.OffsetOfView(v), i) << "round trip at offset " << i;
      if (i < n && (text[i] == '\n' || text[i] == '\r')) {
        ASSERT_EQ(index.OffsetOfView(v + 1), i) << "middle of the break at " << i;
      }
    }
  }
}

TEST(ViewIndex, AgreesWithTheRuleOnLongTexts) {
  // Texts of thousands of bytes, with long runs of breaks and long lines:
  // every view position gives the offset the rule gives.
  std::mt19937 rng(2026);
  for (int round = 0; round < 40; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 6000);
    const unsigned breaks = 1 + rng() % 200;  // one break in about `breaks` bytes
    while (static_cast<int>(text.size()) < n) {
      if (rng() % breaks == 0) {
        text.append(1 + rng() % (round % 4 == 0 ? 700 : 3), rng() % 2 ? '\n' : '\r');
      } else {
        text += 'a';
      }
    }
    ViewIndex index(text);
    std::vector<int32_t> offsetOfView;  // by the rule: the offset of each view position
    for (size_t i = 0; i < text.size(); ++i) {
      offsetOfView.push_back(static_cast<int32_t>(i));
      if (text[i] == '\n' || text[i] == '\r') offsetOfView.push_back(static_cast<int32_t>(i));
    }
    offsetOfView.push_back(static_cast<int32_t>(text.size()));
    ASSERT_EQ(index.ViewLength() + 1, static_cast<int32_t>(offsetOfView.size()));
    for (size_t v = 0; v < offsetOfView.size(); ++v) {
      ASSERT_EQ(index.OffsetOfView(static_cast<int32_t>(v)), offsetOfView[v]) << round << " " << v;
    }
  }
}

TEST(ViewIndex, PrefetchViewGivesAnOffsetJustAfter) {
  // Lines of any length: the offset PrefetchView gives is never before
  // the one OffsetOfView gives, and at most the breaks of 1,024 view
  // positions after it.
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 20000);
    const unsigned breaks = 1 + rng() % (round % 3 == 0 ? 2 : 90);
    for (int i = 0; i < n; ++i) text += rng() % breaks == 0 ? (rng() % 2 ? '\n' : '\r') : 'a';
    ViewIndex index(text);
    for (int32_t v = -3; v <= index.ViewLength() + 3; ++v) {
      const int32_t offset = index.OffsetOfView(v);
      const int32_t near = index.PrefetchView(v);
      ASSERT_GE(near, offset) << round << " " << v;
      ASSERT_LE(near - offset, 1025) << round << " " << v;
      ASSERT_LE(near, index.TextLength());
    }
  }
}

}  // namespace
}  // namespace kalix
