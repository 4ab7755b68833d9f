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

// What makes a rules file that was read look wrong: none of its lines was
// recognised (a section heading or a line that sets something), or a marker
// is 0 or a letter (A to Z, a to z) of the text's alphabet.
enum class RulesDoubt { None = 0, NothingRecognised = 1, MarkerIsZero = 2, MarkerIsLetter = 3 };

// Reads a rules file. Returns false, leaving `rules` unchanged, when the file
// cannot be opened; otherwise resets `rules` and fills it from the file, and
// when `doubt` is given tells what makes the file look wrong.
bool LoadRules(RuleSet& rules, const std::string& path, RulesDoubt* doubt = nullptr);

// Fills `rules` from the text of a rules file (text-mode input), after a reset.
// Lines have any length, a final line without a line feed is read, and a zero
// byte ends a line's text. Returns the number of lines recognised.
int ParseRules(RuleSet& rules, const std::string& text);

// Reads one character value of a data line at `cursor` and moves the cursor
// behind it:
//  - a character that is not a decimal digit stands for itself;
//  - "0x" (lower-case x) is followed by at most two hexadecimal digits 0-9,
//    a-f (lower case only); none gives 0 with the cursor just behind "0x";
//  - otherwise the decimal number of all following digits, modulo 256.
// At or beyond the end of the line the value is 0 (the line's terminating
// zero) and the cursor stays at the end.
int ReadCharValue(std::string_view line, size_t& cursor);

RulesDoubt DoubtAboutRules(const RuleSet& rules, int recognised);

// The reason of a doubt, in French (a key of the message table): the warning
// is the translated msg::kDoubtfulRules, the path and the translated reason,
// a line each.
const char* RulesDoubtReason(RulesDoubt doubt);

}  // namespace kalix
