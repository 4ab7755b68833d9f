// Generation rules of spelling variants (the "[Morvo]" section of a rules
// file) and the variant generator with its condition language.
//
// A rule line reads LEVEL,FROM,TO,CONDITION: at generation levels of LEVEL
// and above, FROM is rewritten to TO wherever CONDITION holds at the match
// position. Conditions are expressions over 32-bit integers: X (the match
// position), decimal numbers, string literals ('...' or "..."), parentheses,
// signs, and the operators + - (tightest), = # (string literal against a
// position), & | (loosest), applied left to right within one binding.
#pragma once

#include "platform/Collation.h"
#include "rules/RuleSet.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

struct MorvaRule {
  int32_t Level = 0;
  int32_t FromLength = 0;       // at least 1
  int32_t ConditionLength = 0;  // at least 1
  std::string From;
  std::string To;               // empty deletes From
  std::string Condition;
};
using cMorvaList = std::vector<MorvaRule>;

struct MorvaRules {
  cMorvaList List;
  int32_t MaxLevel = 0;
  bool Exists = false;  // a rules file was read: the list exists (maybe empty)
};

// Reads the "[Morvo]" section of a rules file; `rules` must already be
// loaded from the same file (its UpperMap folds the rule lines). Returns
// false, leaving `morva` unchanged, when the file cannot be opened.
bool LoadMorvaRules(MorvaRules& morva, const RuleSet& rules, const std::string& path);

// Replaces `morva` with the rules of the "[Morvo]" section of `text`
// (text-mode input of a rules file). Lines have any length, a final line
// without a line feed is read, and a zero byte ends a line's text. A line that
// begins with a digit but lacks a From, a Condition or one of its three commas
// is not a rule and leaves MaxLevel alone.
void ParseMorvaRules(MorvaRules& morva, const RuleSet& rules, std::string_view text);

// Frees the rules and sets MaxLevel to 0; the list no longer exists.
void FreeMorvaRules(MorvaRules& morva);

// The value of a condition for a match at `position` of `word` (the word's
// length is its size). The rule holds when the value is not 0; a condition
// with an error is 0.
int32_t EvalCondition(std::string_view condition, std::string_view word, int32_t position);

// Generation bounds: variants per word (the word included) and bytes per
// variant.
inline constexpr size_t kMaxVariants = 10000;
inline constexpr size_t kMaxVariantLength = 255;

// The word and all its variants up to `level`, in the variant list's order
// (the fixed collation; texts equal after folding count as one).
// `bounded` is set when the bound on the number of variants stopped the
// generation.
struct VariantList {
  std::vector<std::string> variants;
  bool bounded = false;
};
VariantList GenerateVariants(const MorvaRules& morva, const std::string& word, int level);

// Less-than of the fixed collation (platform/Collation.h).
struct FixedLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return FixedCompare(a, b) < 0; }
};

// The strings one generation knows so far: the variant list and the pending
// list together, texts equal after folding counting as one.
struct Generation {
  std::set<std::string, FixedLess> Known;
  std::vector<std::string> Pending;  // found by the current round, in order
  bool Full = false;                 // the bound on the number of variants was hit
};

// One step of the generation: appends to `gen.Pending` every variant that one
// rule application at `level` makes of `word` and that `gen` does not know
// yet. Returns true when any rule applied, even if all its variants were
// known. A variant longer than kMaxVariantLength is not created; when a new
// variant would be the (kMaxVariants + 1)th, it sets `gen.Full` and returns.
bool ExpandOnce(const MorvaRules& morva, std::string_view word, int level, Generation& gen);

}  // namespace kalix
