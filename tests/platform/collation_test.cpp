#include "platform/Collation.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(FixedCollation, FoldsLettersThenComparesBytes) {
  EXPECT_EQ(FixedCompare("abc", "ABC"), 0);
  EXPECT_EQ(FixedCompare("\xe9t\xe9", "\xc9T\xc9"), 0);     // été / ÉTÉ
  EXPECT_EQ(FixedCompare("\x9c", "\x8c"), 0);               // œ / Œ
  EXPECT_EQ(FixedCompare("\xff", "\x9f"), 0);               // ÿ / Ÿ
  EXPECT_GT(FixedCompare("\xf7", "\xd7"), 0);               // ÷ is not folded to ×
  EXPECT_LT(FixedCompare("AB", "ABC"), 0);
  EXPECT_LT(FixedCompare("Z", "\xe9"), 0);                  // then byte order: Z < É
  EXPECT_GT(FixedCompare("b", "A"), 0);
}

TEST(CaseMapping, AccentedLettersOfTheCodePage) {
  EXPECT_EQ(UpperCase1252("-r \xe9t\xe9 \x9c\xff"), "-R \xc9T\xc9 \x8c\x9f");
  EXPECT_EQ(LowerCase1252("-L \xc9"), "-l \xe9");
  EXPECT_EQ(UpperCase1252("\xdf"), "\xdf");  // ß has no one-character capital in the code page
}

TEST(LocaleCollation, IgnoresCase) {
  EXPECT_EQ(LocaleCompare("abc", "ABC"), 0);
  EXPECT_LT(LocaleCompare("abc", "ABD"), 0);
}

}  // namespace
}  // namespace kalix
