// Filter definitions: the lines of the "[Filters]" section.
//
// A definition is a two-character prefix, the filter's name, "=", and a list
// of patterns separated by ",". A pattern may begin with "^" (it must stand
// at the start of the word) and end with "$" (at the end); empty patterns
// are skipped. The search and the word list test words against the patterns
// of the checked filters.
#pragma once

#include "i18n/Translate.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalix {

// Anchor kinds of a filter pattern.
enum FilterAnchor : int16_t {
  kAnchorNone = 0,
  kAnchorStart = 1,  // "^" at the start
  kAnchorEnd = 2,    // "$" at the end
  kAnchorBoth = 4,   // both
};

// One pattern of a filter: its text without the anchor characters.
struct FilterPattern {
  std::string Text;
  int Anchor = kAnchorNone;
  int16_t Length() const { return static_cast<int16_t>(Text.size()); }
};
using cFilterList = std::vector<FilterPattern>;

// The filter's name: the text from the third character up to the first "="
// (to the end of the line when it has no "="); empty when the first "="
// stands before the third character.
std::string FilterName(const std::string& def);

// The text before the first "=", prefix included (the whole line when it has
// no "="): what a search lists among the names of its checked filters.
std::string FilterLabel(const std::string& def);

// The patterns of a definition, in order. The text after the first "=" is
// split at every ","; each non-empty piece is a pattern. A line without "="
// yields none.
std::vector<FilterPattern> FilterPatterns(const std::string& def);

// The text of the definition's item in a filter check-list: its first two
// characters as they stand, then the translation of its name.
std::string FilterItemText(const LanguageState& language, const std::string& def);

}  // namespace kalix
