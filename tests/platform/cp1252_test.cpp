#include "platform/Cp1252.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(ToCp1252(FromCp1252(all)), all);
}

TEST(Cp1252, KnownCodePoints) {
  struct Case { unsigned char byte; char16_t cp; } cases[] = {
      {0x41, 0x41}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F},
      {0x90, 0x0090}, {0x9D, 0x009D}, {0x9C, 0x0153}, {0x9F, 0x0178}, {0xE9, 0x00E9},
      {0xA0, 0x00A0}, {0x92, 0x2019}};
  for (auto c : cases) {
    EXPECT_EQ(Cp1252ToUnicode(c.byte), c.cp) << int(c.byte);
    EXPECT_EQ(UnicodeToCp1252(c.cp), c.byte) << int(c.byte);
  }
  EXPECT_EQ(UnicodeToCp1252(0x4E2D), -1);
  EXPECT_EQ(ToCp1252(QString::fromUtf8("a\xe4\xb8\xad")), "a?");
}

TEST(Cp1252, Utf8Output) {
  EXPECT_EQ(Cp1252ToUtf8("caf\xe9 \x80"), "caf\xc3\xa9 \xe2\x82\xac");
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

TEST(Cp1252, Utf8OrCp1252Input) {
  struct Case { std::string in, out; } cases[] = {
      {"abc", "abc"},
      {"\xc3\xa9t\xc3\xa9", "\xe9t\xe9"},          // UTF-8 été
      {"\xe2\x82\xac", "\x80"},                    // euro sign
      {"\xe4\xb8\xad", "?"},                       // outside the code page
      {"\xe9t\xe9", "\xe9t\xe9"},                  // not UTF-8: already 1252
      {"\xc0\xaf", "\xc0\xaf"},                    // overlong: not UTF-8
      {"\xed\xa0\x80", "\xed\xa0\x80"},            // surrogate: not UTF-8
      {"a\xc3", "a\xc3"},                          // truncated sequence
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8OrCp1252To1252(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kalix
