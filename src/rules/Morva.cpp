#include "rules/Morva.h"

#include "platform/TextFile.h"

namespace kalix {

bool LoadMorvaRules(MorvaRules& morva, const RuleSet& rules, const std::string& path) {
  (void)rules;
  if (!FileReadable(path)) return false;
  morva = MorvaRules();
  return true;
}

VariantList GenerateVariants(const MorvaRules& morva, const std::string& word, int level) {
  (void)morva;
  (void)level;
  return VariantList{{word}, false};
}

}  // namespace kalix
