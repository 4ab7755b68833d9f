// Concordance lines read from a document text, and their orders.

#include "targets/Concordance.h"

#include <gtest/gtest.h>

using namespace kalix;

namespace {

// An occurrence of `length` bytes at text offset `offset`.
Occurrence At(const ViewIndex& index, int32_t offset, int32_t length) {
  Occurrence o;
  o.StartView = index.ViewOfOffset(offset);
  o.ViewLength = index.ViewOfOffset(offset + length) - o.StartView;
  return o;
}

}  // namespace

TEST(Concordance, LinesAndOrders) {
  const std::string text = "Le roi\nest la.\r\nUn ROI dort; zut roi";
  const ViewIndex index(text);
  cStarts starts = {At(index, 3, 3), At(index, 19, 3), At(index, 33, 3)};
  struct Case {
    size_t occurrence;
    int32_t width;
    const char* left;
    const char* match;
    const char* right;
  };
  const Case cases[] = {
      {0, 10, "Le ", "roi", " est la.  "},  // line ends become blanks
      {1, 5, "  Un ", "ROI", " dort"},      // the width counts bytes, line ends included
      {1, 4, " Un ", "ROI", " dor"},
      {2, 6, "; zut ", "roi", ""},          // the end of the text
      {0, 100, "Le ", "roi", " est la.  Un ROI dort; zut roi"},
  };
  for (const Case& c : cases) {
    const ConcordanceLine line = MakeConcordanceLine(text, index, starts[c.occurrence], c.width);
    EXPECT_EQ(line.Left, c.left) << c.occurrence << " " << c.width;
    EXPECT_EQ(line.Match, c.match);
    EXPECT_EQ(line.Right, c.right) << c.occurrence << " " << c.width;
  }

  // Orders: in the text; by the left words read backwards ("LE" < "UN" < "ZUT");
  // by the right words ("" < "DORT" < "EST").
  EXPECT_EQ(ConcordanceOrdering(text, index, starts, kConcordanceInText, 20), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(ConcordanceOrdering(text, index, starts, kConcordanceByLeft, 20), (std::vector<int32_t>{0, 1, 2}));
  starts = {At(index, 33, 3), At(index, 19, 3), At(index, 3, 3)};
  EXPECT_EQ(ConcordanceOrdering(text, index, starts, kConcordanceByLeft, 20), (std::vector<int32_t>{2, 1, 0}));
  EXPECT_EQ(ConcordanceOrdering(text, index, starts, kConcordanceByRight, 20), (std::vector<int32_t>{0, 1, 2}));

  // References as the report writes them; an occurrence of no place.
  Occurrence o;
  o.Page = 3;
  o.Folio = 12;
  o.Verso = 1;
  EXPECT_EQ(OccurrenceReference(o), "p:3 f:12V");
  o.StartView = -1;
  EXPECT_EQ(MakeConcordanceLine(text, index, o, 10).Match, "");
}
