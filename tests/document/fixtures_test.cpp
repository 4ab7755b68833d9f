// Documents written by LibreOffice Writer (tests/document/fixtures/*.rtf, made
// by make-fixtures.py from the .fodt sources beside them) and plain-text
// files: text, marks and notes exactly.

#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

struct FixtureCase {
  const char* file;
  std::string text;
  std::string marks;
  std::string notes;
};

const FixtureCase kFixtures[] = {
    // Footnotes ({\*\footnote ...}) two on page 1 and one on page 2, the
    // marker characters as \uN\'hh pairs, soft hyphens as \-, a tab and a
    // line break; the header and footer (with marker characters) skipped.
    {"lo-notes.rtf",
     "\xb1\xf2Premi\xe8re page, \xe9l\xe8ve \xe0 l\x92\xe9" "cole\xb9 et suite\xb9.\n"
     "Mot\xad" "coup\xe9 et signe\xad seul\ttab\rligne\n"
     "\xbe\xb1Page deux = recto\xb9\n\n",
     "P1@0 F1r@1 G1@49 G2@64 F1v@83 P2@84 F2r@95",
     "1:\tNote \xe9" "crite = une|1:\tDeuxi\xe8me note|2:\tTroisi\xe8me\xb1"},
    // A table (cells give TAB, rows LF), characters outside code page 1252
    // through the character policy (long s to s, alpha and beta to 0x81), an
    // en dash and a non-breaking space.
    {"lo-table.rtf",
     "\xb1" "Avant \x96 apr\xe8s fin sa \x81\x81 \x80\na1\tb\xe9" "1\t\na2\t\xad\t\nApr\xe8s\n\n",
     "P1@0 G1@40", ""},
    // A PNG (its \pngblip form skipped, its \wmetafile8 fallback read)
    // attached to the glyph marker just before it, a metafile drawing after
    // text with a glyph of its own, and a drawing shape that leaves nothing.
    {"lo-pictures.rtf", "\xb1Image \xad puis dessin \xad fin\nForme  dessin\xe9" "e\n\n",
     "P1@0 G1@7* G2@21*", ""},
    // CR LF, "\<177>", braces and a doubled backslash, a 0x1A ending the text.
    {"plain-crlf.txt", "\xb1\xf2Ligne un\nLigne deux \\ fin\n\xbeVerso = recto\n\xad glyphe\n\n",
     "P1@0 F1r@1 F1v@30 F2r@37 G1@46", ""},
    // A lone CR, a line feed escape, a zero escape, no final line end.
    {"plain-edges.txt", "ab\ncd\xb1" "e\n", "P1@0 P2@6", ""},
};

class FixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureTest, TextMarksAndNotes) {
  const FixtureCase& c = GetParam();
  Context ctx;
  Document doc;
  std::string path = std::string(KALIX_SOURCE_DIR) + "/tests/document/fixtures/" + c.file;
  ASSERT_TRUE(OpenDocument(ctx, doc, path, nullptr)) << path;
  EXPECT_EQ(std::string(doc.Text()), c.text);
  EXPECT_EQ(test::DescribeMarks(doc.marks), c.marks);
  EXPECT_EQ(test::DescribeNotes(doc.notes), c.notes);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureTest, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<FixtureCase>& info) {
                           std::string n;
                           for (const char* p = info.param.file; *p; ++p) {
                             n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return n;
                         });

TEST(Fixtures, PicturesOfTheWordProcessor) {
  Context ctx;
  Document doc;
  ASSERT_TRUE(OpenDocument(ctx, doc, std::string(KALIX_SOURCE_DIR) + "/tests/document/fixtures/lo-pictures.rtf",
                           nullptr));
  ASSERT_EQ(doc.marks.size(), 3u);
  // The PNG's metafile fallback: natural size 30 x 30 twips.
  const GlyphPicture* png = doc.marks[1].picture.get();
  ASSERT_TRUE(png);
  EXPECT_EQ(png->right, 2);
  EXPECT_EQ(png->bottom, 2);
  EXPECT_FALSE(png->records.empty());
  EXPECT_EQ(png->objectCount, 16);  // as LibreOffice's header declares
  // The drawing: 1 x 0.5 inch (picwgoal 1440, pichgoal 720), the records
  // LibreOffice wrote for it.
  const GlyphPicture* drawing = doc.marks[2].picture.get();
  ASSERT_TRUE(drawing);
  EXPECT_EQ(drawing->right, 96);
  EXPECT_EQ(drawing->bottom, 48);
  std::vector<uint16_t> functions;
  for (const WmfRecord& r : drawing->records) functions.push_back(r.function);
  EXPECT_EQ(functions, (std::vector<uint16_t>{wmf::kSetWindowOrg, wmf::kSetWindowExt, wmf::kRectangle,
                                              wmf::kEllipse}));
  EXPECT_EQ(drawing->records[1].params, (std::vector<uint16_t>{500, 1000}));
}

}  // namespace
}  // namespace kalix
