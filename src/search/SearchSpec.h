// What one main window searches for: its strings (`cArrowList`),
// its options (`SearchSettings`), and the pending hits that the engine keeps
// while a word or context has not ended yet.
//
// Positions: `...View` fields are view positions (every LF and CR counts
// two), `...Offset`/`...Start`/`...End`/`...At` fields are text offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalix {

// Where a match must stand in its word.
enum PositionRule : int16_t {
  kAnywhere = 0,     // "Indifférente"
  kWordStart = 1,    // "Début de mot"
  kWordEnd = 2,      // "Fin de mot"
  kWordMiddle = 3,   // "Milieu de mot"
  kWholeWord = 4,    // "Mot entier"
};

// The unit a search's strings must share (`SearchSettings::Context`);
// "Texte" is the whole text, where each match stands alone.
enum SearchContext : int16_t {
  kContextText = 0,       // "Texte"
  kContextWord = 1,       // "Mot"
  kContextSentence = 2,   // "Phrase"
  kContextParagraph = 3,  // "Paragraphe"
};

// How texts are compared (`SearchSettings::Spelling`), each mode adding to
// the one before: case folded and symbols skipped, then the substitution
// rules, then the generated variants.
enum SpellingMode : int16_t {
  kSpellingIdentical = 0,  // "Identique"
  kSpellingUpper = 1,      // "Majuscule"
  kSpellingModified = 2,   // "Modifiée"
  kSpellingGenerated = 3,  // "Générée"
};

// How a found word is written in the result (`SearchSettings::ResultSpelling`,
// the word list's "Résultat").
enum ResultSpellingMode : int16_t {
  kResultIdentical = 0,  // "Identique"
  kResultUpper = 1,      // "Majuscule"
  kResultModified = 2,   // "Modifié"
};

// One search string. The engine only reads the strings: FoundCount,
// OrderPending and the partial-match fields at the end are left as they are
// (the string record has them); a scan keeps its per-string counts and its
// partial matches, several per string, in its own state (search/ScanState.h).
struct SearchString {
  std::string Text;        // as the user gave it; empty: none
  std::string Key;         // comparison form (or the variant itself)
  int16_t TextLength = 0;
  int16_t KeyLength = 0;   // the engine uses Key.size(); this mirrors it
  int16_t Position = 0;    // PositionRule
  int16_t Exclude = 0;     // 1: "Exclure"
  int32_t Index = 0;       // place in the dialog's list; variants: the source's
  int32_t FoundCount = 0;  // not used: the counts of a context are the scan's
  bool OrderPending = false;
  int32_t Source = -1;     // index of the source string in the list; -1: none
  // A partial match (not used: the scan keeps its own).
  int16_t Progress = 0;
  int32_t StartView = 0;
  int32_t ContextStartView = 0;
  int32_t ContextStartOffset = 0;
  int32_t WordStartAt = 0;
  int32_t StartAt = 0;
  int32_t ParagraphStart = 0;
  int32_t SentenceStart = 0;
  int32_t WordStart = 0;
  bool AtWordStart = false;

  SearchString() = default;
  // A string made from a text: Text and Key are copies of it.
  explicit SearchString(std::string text)
      : Text(text), Key(std::move(text)),
        TextLength(static_cast<int16_t>(Text.size())),
        KeyLength(static_cast<int16_t>(Key.size())) {}

  bool HasSource() const { return Source >= 0; }
  void SetKey(std::string key) {
    Key = std::move(key);
    KeyLength = static_cast<int16_t>(Key.size());
  }
};

using cArrowList = std::vector<SearchString>;

// The options of the last search or word list of a window.
struct SearchSettings {
  bool FromWordList = false;
  int16_t Spelling = 0;        // SpellingMode
  bool FoldCase = false;       // Spelling above "Identique"
  bool Substitute = false;     // Spelling "Modifiée" or "Générée"
  bool Generate = false;       // Spelling "Générée"
  bool SkipSymbols = false;    // Spelling above "Identique"
  bool IgnoreSeparators = false;
  int16_t Context = 0;         // SearchContext
  bool AllStrings = false;
  bool InOrder = false;
  bool ResultAsSpelling = false;
  int16_t ResultSpelling = 0;  // ResultSpellingMode
  bool ShowSymbols = false;
  bool UseCorpus = false;
  int32_t Level = 0;
  std::string FilterNames;     // checked filters' names joined by ", "

  // Sets Spelling and the four flags that follow from it.
  void SetSpelling(int16_t spelling) {
    Spelling = spelling;
    FoldCase = spelling > kSpellingIdentical;
    Substitute = spelling > kSpellingUpper;
    Generate = spelling == kSpellingGenerated;
    SkipSymbols = spelling != kSpellingIdentical;
  }
  // Sets the result options as the dialog does: with `asSpelling` the result
  // spelling is the spelling mode, "Générée" giving "Modifié"; symbols are
  // shown only when asked and the result spelling is below "Modifié".
  void SetResult(bool asSpelling, int16_t chosen, bool symbols) {
    ResultAsSpelling = asSpelling;
    ResultSpelling = asSpelling ? (Spelling > kSpellingModified ? int16_t{kResultModified} : Spelling) : chosen;
    ShowSymbols = symbols && ResultSpelling < kResultModified;
  }
};

// A completed match waiting for the end of its word and context. Ends are
// "unknown" until set (see the *Known flags): an end may legitimately be 0.
struct PendingHit {
  int32_t String = 0;        // index of the string that matched
  int32_t WordStartAt = 0;   // first letter of the word where the match began
  int32_t WordEndAt = -1;    // last letter of the word where it ended; -1: none yet
  int32_t StartAt = 0;       // first matched byte
  int32_t ParagraphStart = 0, ParagraphEnd = 0;
  int32_t SentenceStart = 0, SentenceEnd = 0;
  int32_t WordStart = 0, WordEnd = 0;
  int32_t StartView = 0;
  int32_t ViewLength = 0;
  int32_t ByteLength = 0;
  int32_t StringIndex = -1;
  int32_t ContextStartView = -1, ContextViewLength = 0;
  int32_t ContextStartOffset = -1, ContextOffsetLength = 0;
  bool AtWordStart = false;
  // Which of ParagraphEnd, SentenceEnd, WordEnd are known (bits of EndBits).
  uint8_t KnownEnds = 0;
};

using cTTargetList = std::vector<PendingHit>;

// Bits of the KnownEnds fields.
enum EndBits : uint8_t {
  kParagraphEndKnown = 1,
  kSentenceEndKnown = 2,
  kWordEndKnown = 4,
  kAllEndsKnown = 7,
};

}  // namespace kalix
