// Words, sentences and paragraphs: where each begins and ends. The search
// scan (search/ScanState.h) and the word list (app/WordList.cpp) both step
// one `UnitTracker`; their fast paths only find the bytes where it changes.
#pragma once

#include "rules/RuleSet.h"
#include "search/SearchSpec.h"

#include <cstdint>

namespace kalix {

// A line break takes two view positions, every other byte one.
constexpr bool IsLineBreak(unsigned char c) { return c == '\n' || c == '\r'; }

// Every byte has a class (`RuleSet::SeparatorClass`): a letter, a symbol or
// a separator. A word runs from a letter to its last letter before the next
// separator; symbols neither open nor end one. A separator ends the word and,
// from `kSentenceSeparator` on, the sentence, from `kParagraphSeparator` on,
// the paragraph too. The first letter after separators opens the units the
// highest of them ended; the text begins as after a paragraph separator.
struct UnitTracker {
  // The highest separator class since the last letter; 0 while a word is
  // open.
  int level = kParagraphSeparator;
  int32_t lastLetter = 0;
  // The first letters of the current units, and their view positions.
  int32_t word = 0, sentence = 0, paragraph = 0;
  int32_t wordView = 0, sentenceView = 0, paragraphView = 0;

  bool InWord() const { return level == 0; }

  // The letter at `at` (view position `view`); true when it opens a word.
  bool Letter(int32_t at, int32_t view) {
    const bool opens = level != 0;
    if (opens) Open(at, view);
    lastLetter = at;
    return opens;
  }

  // A letter inside the open word: only the last one is kept.
  void InnerLetter(int32_t at) { lastLetter = at; }

  // A separator of class `cls`; true when it ends a word, which then runs
  // from `word` to `lastLetter`.
  bool Separator(int cls) {
    const bool ends = level == 0;
    if (cls > level) level = cls;
    return ends;
  }

  // The letter at `at` opens the units that the separators since the last
  // letter ended.
  void Open(int32_t at, int32_t view) {
    if (level >= kParagraphSeparator) {
      paragraph = at;
      paragraphView = view;
    }
    if (level >= kSentenceSeparator) {
      sentence = at;
      sentenceView = view;
    }
    word = at;
    wordView = view;
    level = 0;
  }
};

// The ends (bits of `EndBits`) that a separator of class `cls` sets at the
// last letter.
constexpr uint8_t EndsAt(int cls) {
  return static_cast<uint8_t>(kWordEndKnown | (cls >= kSentenceSeparator ? kSentenceEndKnown : 0) |
                              (cls >= kParagraphSeparator ? kParagraphEndKnown : 0));
}

}  // namespace kalix
