// The word tracker on its own, byte by byte over short texts: where words,
// sentences and paragraphs begin, which separators end a word, and how
// symbols and line breaks are taken.
#include "search/Units.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalix {
namespace {

// ' ' word, '.' sentence, '|' paragraph, '-' symbol; anything else a letter.
int ClassOf(char c) {
  switch (c) {
    case ' ': return kWordSeparator;
    case '.': return kSentenceSeparator;
    case '|': return kParagraphSeparator;
    case '-': return kSymbol;
    default: return kLetter;
  }
}

// Each word the tracker ends, as "first,last,sentence,paragraph,ends"; a word
// still open at the end of the text is not listed.
std::string Words(const std::string& text) {
  UnitTracker units;
  std::string out;
  for (int32_t i = 0; i < static_cast<int32_t>(text.size()); ++i) {
    const int cls = ClassOf(text[static_cast<size_t>(i)]);
    if (cls == kLetter) {
      units.Letter(i, 2 * i);
      EXPECT_TRUE(units.InWord());
      EXPECT_EQ(units.wordView, 2 * units.word);
      EXPECT_EQ(units.sentenceView, 2 * units.sentence);
      EXPECT_EQ(units.paragraphView, 2 * units.paragraph);
    } else if (cls >= kWordSeparator) {
      const int32_t first = units.word, last = units.lastLetter;
      const int32_t sentence = units.sentence, paragraph = units.paragraph;
      const bool wasInWord = units.InWord();
      const bool ends = units.Separator(cls);
      EXPECT_EQ(ends, wasInWord) << text << " at " << i;
      EXPECT_FALSE(units.InWord());
      if (ends) {
        out += std::to_string(first) + "," + std::to_string(last) + "," + std::to_string(sentence) + "," +
               std::to_string(paragraph) + "," + std::to_string(EndsAt(cls)) + " ";
      }
    }
  }
  return out;
}

TEST(UnitTracker, WordsSentencesAndParagraphsByTable) {
  const struct {
    const char* text;
    const char* words;
  } cases[] = {
      {"", ""},
      {"ab", ""},  // open at the end
      {"ab ", "0,1,0,0,4 "},
      {"ab cd.", "0,1,0,0,4 3,4,0,0,6 "},
      {"ab. cd|ef ", "0,1,0,0,6 4,5,4,0,7 7,8,7,7,4 "},
      // Symbols neither open nor end a word; a word's last letter is its end.
      {"-ab- -c ", "1,2,1,1,4 6,6,1,1,4 "},
      {"a-b ", "0,2,0,0,4 "},
      // Separators in a row: the highest opens the units at the next letter;
      // only the first ends the word.
      {"ab .  |  . cd ", "0,1,0,0,4 11,12,11,11,4 "},
      {"ab.   cd ", "0,1,0,0,6 6,7,6,0,4 "},
      // Leading separators: the text begins as after a paragraph end.
      {"  ab ", "2,3,2,2,4 "},
  };
  for (const auto& c : cases) EXPECT_EQ(Words(c.text), c.words) << '"' << c.text << '"';
}

TEST(UnitTracker, EndsAtEachClass) {
  EXPECT_EQ(EndsAt(kWordSeparator), kWordEndKnown);
  EXPECT_EQ(EndsAt(kSentenceSeparator), kWordEndKnown | kSentenceEndKnown);
  EXPECT_EQ(EndsAt(kParagraphSeparator), kAllEndsKnown);
  EXPECT_TRUE(IsLineBreak('\n') && IsLineBreak('\r'));
  EXPECT_FALSE(IsLineBreak(' ') || IsLineBreak('\t') || IsLineBreak(0));
}

}  // namespace
}  // namespace kalix
