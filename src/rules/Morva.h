// Generation rules of spelling variants (the "[Morvo]" section).
// Placeholder: the generator fills this in.
#pragma once

#include "rules/RuleSet.h"

#include <string>
#include <vector>

namespace kalix {

struct MorvaRules {
  int MaxLevel = 0;
};

// Reads the "[Morvo]" section of a rules file; `rules` must already be
// loaded from the same file. Returns false when the file cannot be opened.
bool LoadMorvaRules(MorvaRules& morva, const RuleSet& rules, const std::string& path);

// The word and all its variants up to `level`, in the variant list's order.
// `bounded` is set when the generation bound stopped the generation.
struct VariantList {
  std::vector<std::string> variants;
  bool bounded = false;
};
VariantList GenerateVariants(const MorvaRules& morva, const std::string& word, int level);

}  // namespace kalix
