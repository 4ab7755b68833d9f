// Generation rules of spelling variants (the "[Morvo]" section).
// Placeholder: the generator fills this in.
#pragma once

#include <string>
#include <vector>

namespace kalix {

struct MorvaRules {
  int MaxLevel = 0;
};

// Reads the "[Morvo]" section of a rules file. Returns false when the file
// cannot be opened.
bool LoadMorvaRules(MorvaRules& morva, const std::string& path);

}  // namespace kalix
