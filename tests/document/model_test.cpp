// The document model's queries: ContextAt, FirstMarkFrom, NotesOfPage and
// clearing.

#include "document/Document.h"
#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace kalix {
namespace {

Document Read(const std::string& input) {
  Document doc;
  ReadDocument(DefaultRules(), input, doc);
  return doc;
}

// ContextAt as its definition reads: walk from the first mark while the
// mark's position is strictly less than the view position.
MarkContext NaiveContextAt(const Document& doc, int32_t view) {
  MarkContext c;
  for (const Mark& m : doc.marks) {
    if (m.position >= view) break;
    if (m.kind == kPageMark) c.page = m.number;
    if (m.kind == kFolioMark) {
      c.folio = m.number;
      c.verso = m.value != 0;
    }
    if (m.kind == kGlyphMark) {
      c.glyph = m.number;
      c.picture = m.picture.get();
    }
  }
  return c;
}

TEST(Model, EmptyDocument) {
  Document doc = Read("");
  EXPECT_EQ(doc.text, std::string(1, '\0'));
  EXPECT_TRUE(doc.marks.empty());
  MarkContext c = ContextAt(doc, 0);
  EXPECT_EQ(c.page, 0);
  EXPECT_EQ(c.folio, 0);
  EXPECT_FALSE(c.verso);
  EXPECT_EQ(c.glyph, 0);
  EXPECT_EQ(c.picture, nullptr);
  EXPECT_EQ(ContextAt(doc, 100).page, 0);
}

TEST(Model, MarkAtThePositionIsNotYetInEffect) {
  Document doc = Read("\xb1" "ab\xf2" "c\xbe" "d\xad" "e");
  // P1@0 F1r@3 F1v@5 G1@7
  struct Case {
    int32_t view, page, folio;
    bool verso;
    int32_t glyph;
  } cases[] = {
      {0, 0, 0, false, 0}, {1, 1, 0, false, 0}, {3, 1, 0, false, 0}, {4, 1, 1, false, 0},
      {6, 1, 1, true, 0},  {7, 1, 1, true, 0},  {8, 1, 1, true, 1},  {1000, 1, 1, true, 1},
  };
  for (const Case& c : cases) {
    MarkContext got = ContextAt(doc, c.view);
    EXPECT_EQ(got.page, c.page) << c.view;
    EXPECT_EQ(got.folio, c.folio) << c.view;
    EXPECT_EQ(got.verso, c.verso) << c.view;
    EXPECT_EQ(got.glyph, c.glyph) << c.view;
  }
}

TEST(Model, ContextAtCarriesThePicture) {
  std::string hex = test::Hex(test::SmallMetafile());
  Document doc = Read("{\\rtf1 ab{\\pict\\wmetafile8\\picw100\\pich100 " + hex + "}b\\'ad c}");
  ASSERT_EQ(test::DescribeMarks(doc.marks), "P1@0 G1@2* G2@4");
  EXPECT_EQ(ContextAt(doc, 3).picture, doc.marks[1].picture.get());
  EXPECT_EQ(ContextAt(doc, 5).picture, nullptr);  // the later glyph has none
  EXPECT_EQ(ContextAt(doc, 5).glyph, 2);
}

TEST(Model, ContextAtAgreesWithTheWalkOnRandomDocuments) {
  std::mt19937 rng(7);
  const char alphabet[] = {'a', 'b', '\n', '=', '\xb1', '\xf2', '\xbe', '\xad', ' '};
  for (int round = 0; round < 200; ++round) {
    std::string input;
    int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) input += alphabet[rng() % sizeof alphabet];
    Document doc = Read(input);
    int32_t maxView = static_cast<int32_t>(doc.text.size() * 2 + 2);
    for (int32_t v = -1; v <= maxView; ++v) {
      MarkContext a = ContextAt(doc, v), b = NaiveContextAt(doc, v);
      ASSERT_EQ(a.page, b.page) << input << " @" << v;
      ASSERT_EQ(a.folio, b.folio) << input << " @" << v;
      ASSERT_EQ(a.verso, b.verso) << input << " @" << v;
      ASSERT_EQ(a.glyph, b.glyph) << input << " @" << v;
    }
  }
}

TEST(Model, TextOffsetsAndViewPositions) {
  Document doc = Read("ab\ncd\n");
  EXPECT_EQ(std::string(doc.Text()), "ab\ncd\n\n");
}

TEST(Model, FirstMarkFrom) {
  // Folios: 12r, 12v... built from a run of rectos and versos.
  std::string input;
  for (int i = 0; i < 11; ++i) input += "\xf2";
  input += "\xf2x\xbey\xf2z\xb1\xb1\xad\xad";  // 12r 12v 13r, pages 1 2 3 (1 automatic), glyphs 1 2
  Document doc = Read(input);
  auto at = [&](int16_t kind, int64_t key) -> std::string {
    int32_t i = FirstMarkFrom(doc, kind, key);
    if (i < 0) return "none";
    const Mark& m = doc.marks[static_cast<size_t>(i)];
    return std::to_string(m.number) + (m.kind == kFolioMark ? (m.value ? "v" : "r") : "");
  };
  EXPECT_EQ(at(kFolioMark, 24), "12r");
  EXPECT_EQ(at(kFolioMark, 25), "12v");
  EXPECT_EQ(at(kFolioMark, 26), "13r");
  EXPECT_EQ(at(kFolioMark, 27), "none");
  EXPECT_EQ(at(kFolioMark, 0), "1r");
  EXPECT_EQ(at(kPageMark, 2), "2");
  EXPECT_EQ(at(kPageMark, 4), "none");
  EXPECT_EQ(at(kGlyphMark, 2), "2");
  EXPECT_EQ(at(kGlyphMark, 3), "none");
}

TEST(Model, FirstMarkFromGoesToTheNextFolioWhenTheVersoIsMissing) {
  Document doc = Read("\xf2\xf2\xf2");  // 1r 2r 3r
  int32_t i = FirstMarkFrom(doc, kFolioMark, 2 * 2 + 1);  // 2 verso
  ASSERT_GE(i, 0);
  EXPECT_EQ(doc.marks[static_cast<size_t>(i)].number, 3);
}

TEST(Model, NotesOfPage) {
  Document doc = Read("{\\rtf1 \\'b1\\'b1\\'b1{\\footnote a}{\\footnote b}\\'b1{\\footnote c}}");
  ASSERT_EQ(test::DescribeNotes(doc.notes), "3:a|3:b|4:c");
  auto texts = [&](int32_t page) {
    std::string out;
    for (const Note& n : NotesOfPage(doc, page)) out += n.text;
    return out;
  };
  EXPECT_EQ(texts(3), "ab");
  EXPECT_EQ(texts(4), "c");
  EXPECT_EQ(texts(2), "");
  EXPECT_EQ(texts(5), "");
}

TEST(Model, ClearDocument) {
  std::string hex = test::Hex(test::SmallMetafile());
  Document doc = Read("{\\rtf1 a{\\pict\\wmetafile8\\picw100\\pich100 " + hex + "}{\\footnote n}}");
  doc.path = "x.rtf";
  std::weak_ptr<const GlyphPicture> picture = doc.marks.back().picture;
  ASSERT_FALSE(picture.expired());
  ClearDocument(doc);
  EXPECT_TRUE(doc.path.empty());
  EXPECT_TRUE(doc.text.empty());
  EXPECT_TRUE(doc.marks.empty());
  EXPECT_TRUE(doc.notes.empty());
  EXPECT_TRUE(picture.expired()) << "the picture goes with its mark";
  EXPECT_TRUE(doc.Text().empty());
}

}  // namespace
}  // namespace kalix
