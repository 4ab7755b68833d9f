// The generated variants of the search strings.
#include "search/Engine.h"

#include <string>
#include <unordered_set>

namespace kalix {

bool ExpandGenerated(const MorvaRules& morva, cArrowList& strings, int level, std::vector<size_t>* boundedAt) {
  bool bounded = false;
  std::unordered_set<std::string> keys;
  for (const SearchString& s : strings) keys.insert(s.Key);
  const size_t present = strings.size();
  for (size_t n = 0; n < present; ++n) {
    const std::string key = strings[n].Key;
    VariantList variants = GenerateVariants(morva, key, level);
    if (variants.bounded) {
      bounded = true;
      if (boundedAt) boundedAt->push_back(n);
    }
    if (variants.variants.size() <= 1) continue;
    for (const std::string& v : variants.variants) {
      if (v == key || keys.count(v) != 0) continue;
      SearchString copy = strings[n];
      copy.Source = static_cast<int32_t>(n);
      copy.Text.clear();
      copy.TextLength = 0;
      copy.SetKey(v);
      keys.insert(v);
      strings.push_back(std::move(copy));
    }
  }
  return bounded;
}

}  // namespace kalix
