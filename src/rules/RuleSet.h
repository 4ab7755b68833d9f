// The rule set: what the characters of a transcription mean.
//
// Marker characters, the case-folding and substitution maps, the separator
// classes, vowels and consonants, the multi-character substitution rules and
// the filter definitions. One rule set serves the whole process; it lives in
// the application context (context/Context.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
// Lines have any length, a final line without a line feed is read, and a zero
// byte ends a line's text.
void ParseRules(RuleSet& rules, const std::string& text);

// Reads one character value of a data line at `cursor` and moves the cursor
// behind it:
//  - a character that is not a decimal digit stands for itself;
//  - "0x" (lower-case x) is followed by at most two hexadecimal digits 0-9,
//    a-f (lower case only); none gives 0 with the cursor just behind "0x";
//  - otherwise the decimal number of all following digits, modulo 256.
// At or beyond the end of the line the value is 0 (the line's terminating
// zero) and the cursor stays at the end.
int ReadCharValue(std::string_view line, size_t& cursor);

}  // namespace kalix
