// The rule set: what the characters of a transcription mean.
//
// Marker characters, the case-folding and substitution maps, the separator
// classes, vowels and consonants, the multi-character substitution rules and
// the filter definitions. One rule set serves the whole process; it lives in
// the application context (app/Context.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kalix {

// Separator classes: a higher class also ends every smaller unit.
enum SeparatorKind : unsigned char {
  kLetter = 0,
  kSymbol = 1,
  kWordSeparator = 2,
  kSentenceSeparator = 3,
  kParagraphSeparator = 4,
};

// One multi-character substitution. Invariant: Replacement is never longer
// than Match, so a substituted stretch never grows.
struct SubstRule {
  std::string Match;        // 2 or more characters, upper-cased form
  std::string Replacement;  // 0 to 32 characters, empty deletes the match
  int16_t MatchLength() const { return static_cast<int16_t>(Match.size()); }
  int16_t ReplacementLength() const { return static_cast<int16_t>(Replacement.size()); }
};

struct RuleSet {
  unsigned char PageMarker = 0;
  unsigned char RectoMarker = 0;
  unsigned char VersoMarker = 0;
  unsigned char GlyphMarker = 0;
  unsigned char NoteAnchor = 0;
  unsigned char NoteMarker = 0;
  std::array<unsigned char, 256> UpperMap{};
  std::array<unsigned char, 256> SubstMap{};
  std::array<unsigned char, 256> SeparatorClass{};
  std::array<bool, 256> VowelSet{};
  std::array<bool, 256> ConsonantSet{};
  std::vector<SubstRule> SubstRules;
  std::vector<std::string> FilterDefs;  // whole "[Filters]" lines

  unsigned char Upper(unsigned char c) const { return UpperMap[c]; }
  unsigned char Subst(unsigned char c) const { return SubstMap[c]; }
  unsigned char Class(unsigned char c) const { return SeparatorClass[c]; }
};

// A rule set holding the defaults (markers 0xB1, 0xF2, 0xBE, 0xAD, 0xB9 and
// 0xAC; a-z folded to A-Z, codes 0-31 to 0; no separators, no lists).
RuleSet DefaultRules();

// Restores the defaults, freeing the substitution rules and filters.
void ResetRules(RuleSet& rules);

// Reads a rules file. Returns false, leaving `rules` unchanged, when the file
// cannot be opened; otherwise resets `rules` and fills it from the file.
bool LoadRules(RuleSet& rules, const std::string& path);

// Fills `rules` from the text of a rules file (text-mode input), after a reset.
void ParseRules(RuleSet& rules, const std::string& text);

}  // namespace kalix
