// Documents with characters outside code page 1252 as today's writers save
// them (tests/document/fixtures/README-unicode.md): pandoc's "\uN?", AbiWord's
// "\uc0\uN " and "\uc1\uN\'hh", and a UTF-8 plain text. The text, the marks,
// the notes and the characters the policy changed, exactly.

#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

struct UnicodeFixture {
  const char* file;
  std::string text;
  std::string marks;
  std::string notes;
  int32_t transliterated, dropped, replaced;
  std::vector<std::string> characters;
};

// The source's first paragraphs, as every writer gives them: the page marker
// typed as "±", the folio "ò", long s and the abbreviations of old texts
// transliterated, the horizontal bar replaced.
const std::string kOpening =
    "\xb1 Cest le liure de nostre seigneur. Il est ainsi \x81 l\x92" "an mil.\n"
    "\xf2 Folio premier, p la grace, & q dit. \xc7" "a suffit\xb9";
const std::vector<std::string> kChanged = {"\xc5\xbf", "\xe2\x80\x95", "\xea\x9d\x91", "\xe2\x81\x8a",
                                           "\xea\x9d\x97", "\xc5\x82", "\xc4\x84", "\xc4\x99"};

const UnicodeFixture kFixtures[] = {
    {"pandoc-unicode.rtf",
     kOpening + ".\n\x95\tPremier point\n\x95\tSecond point\na\n\tb\n\t\ns\n\tl\n\t\n\n"
                "Voir le lien ici. A e \x8c \xad fin.\n\n",
     "P1@0 F1r@62 G1@192", "1: La note est ici.\n", 14, 0, 1, kChanged},
    {"abiword-unicode.rtf",
     kOpening + "\n.\n\x95\tPremier point\n\x95\tSecond point\na\tb\t\ns\tl\t\n\n\n\n"
                "Voir le lien ici. A e \x8c \xad fin.\n\n",
     "P1@0 F1r@62 G1@190", "1: La note est ici.", 14, 0, 1, kChanged},
    {"utf8-unicode.txt", "Cest caf\xe9 \xb1 page, \x93guillemets\x94, q p fin.\n\n", "P1@0 P2@10", "", 3, 1, 0,
     {"\xc5\xbf", "q\xcc\x83", "\xea\x9d\x91", "\xe2\x80\x8b"}},
};

class UnicodeFixtureTest : public ::testing::TestWithParam<UnicodeFixture> {};

TEST_P(UnicodeFixtureTest, TextMarksNotesAndChangedCharacters) {
  const UnicodeFixture& c = GetParam();
  Context ctx;
  Document doc;
  const std::string path = std::string(KALIX_SOURCE_DIR) + "/tests/document/fixtures/" + c.file;
  ASSERT_TRUE(OpenDocument(ctx, doc, path, nullptr)) << path;
  EXPECT_EQ(std::string(doc.Text()), c.text);
  EXPECT_EQ(test::DescribeMarks(doc.marks), c.marks);
  EXPECT_EQ(test::DescribeNotes(doc.notes), c.notes);
  const ReplacedSummary s = SummarizeReplaced(doc.replaced);
  EXPECT_EQ(s.transliterated, c.transliterated);
  EXPECT_EQ(s.dropped, c.dropped);
  EXPECT_EQ(s.replaced, c.replaced);
  EXPECT_EQ(s.characters, c.characters);
  // Every transliterated or replaced character stands on the byte the
  // policy gives it.
  for (const ReplacedChar& r : doc.replaced) {
    if (r.note >= 0 || r.kind == ReplaceKind::Dropped) continue;
    ASSERT_LT(static_cast<size_t>(r.offset), doc.Text().size());
    EXPECT_EQ(static_cast<unsigned char>(doc.text[static_cast<size_t>(r.offset)]),
              ctx.Characters.Map(NormalizeNfc(r.original)).byte)
        << ToUtf8(r.original);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, UnicodeFixtureTest, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<UnicodeFixture>& info) {
                           std::string n;
                           for (const char* p = info.param.file; *p; ++p) {
                             n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return n;
                         });

}  // namespace
}  // namespace kalix
