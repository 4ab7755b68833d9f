// The occurrences of a word list, kept small: for every word only its first
// byte and its length; the rest of its occurrence is made when it is read,
// from what the word list noted about the document while it read it (its
// sentences, paragraphs and line breaks) and from its marks. The document's
// text is not kept.
#pragma once

#include "document/Document.h"
#include "platform/Memory.h"
#include "targets/MarkIndex.h"
#include "targets/Target.h"

#include <cstdint>
#include <vector>

namespace kalix {

// A word of the text: its first byte and its length in bytes.
struct WordPlace {
  int32_t Start = 0;
  int32_t Length = 0;
};

// The word places of one document, grouped by target, and what makes their
// occurrences: page and folio from the marks, sentence and paragraph from
// tables of the units that hold listed words, the view position from the
// line breaks before each word.
class WordPlaces {
 public:
  // A sentence or paragraph: its first and last letters (End -1: the text
  // ended before it did, its end is unknown).
  struct Unit {
    int32_t Start = 0;
    int32_t End = -1;
  };
  // From `Start` on (until the next step), view position = offset + `Shift`.
  struct ViewStep {
    int32_t Start = 0;
    int32_t Shift = 0;
  };

  // Grouped by target, in text order within each; written all over when
  // they are grouped, so mapped with huge pages where the system allows.
  std::vector<WordPlace, LargeBlockAllocator<WordPlace>> Places;
  std::vector<Unit> Sentences;      // by start
  std::vector<Unit> Paragraphs;     // by start
  std::vector<ViewStep> ViewSteps;  // by start; none: no shift
  MarkIndex Marks;

  // The occurrence of place `k`, as a search of the word in the "Texte"
  // context would give it.
  Occurrence OccurrenceAt(size_t k) const;
};

}  // namespace kalix
