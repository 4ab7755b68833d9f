// Fuzzes the rules-file readers: the rule set, the filter definitions, the
// "[Morvo]" generation rules, their conditions and a small generation.
#include "rules/Filters.h"
#include "rules/Morva.h"
#include "rules/RuleSet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kalix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  RuleSet rules;
  ParseRules(rules, text);
  for (const SubstRule& rule : rules.SubstRules) {
    if (rule.MatchLength() < 2 || rule.ReplacementLength() > rule.MatchLength() ||
        rule.ReplacementLength() > 32) {
      std::abort();
    }
  }
  for (int c = 0; c < 32; ++c) {
    if (rules.UpperMap[c] != 0) std::abort();
  }
  LanguageState language;
  for (const std::string& def : rules.FilterDefs) {
    (void)FilterItemText(language, def);
    for (const FilterPattern& p : FilterPatterns(def)) {
      if (p.Anchor != kAnchorNone && p.Anchor != kAnchorStart && p.Anchor != kAnchorEnd &&
          p.Anchor != kAnchorBoth) {
        std::abort();
      }
    }
  }

  MorvaRules morva;
  ParseMorvaRules(morva, rules, text);
  for (const MorvaRule& rule : morva.List) {
    if (rule.From.empty() || rule.Condition.empty() || rule.Level > morva.MaxLevel) std::abort();
  }

  // The whole input as a condition, against a word and a few positions.
  static const std::string kWord = "PHILIPPE";
  for (int32_t p : {-1, 0, 3, 7, 8}) (void)EvalCondition(text, kWord, p);

  // A small generation, kept short so each input stays fast.
  if (morva.List.size() <= 8) {
    VariantList list = GenerateVariants(morva, "ABCDE", morva.MaxLevel);
    if (list.variants.empty() || list.variants.size() > kMaxVariants) std::abort();
  }
  return 0;
}
