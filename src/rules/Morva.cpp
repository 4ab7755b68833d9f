#include "rules/Morva.h"

#include "platform/TextFile.h"

namespace kalix {

bool LoadMorvaRules(MorvaRules& morva, const std::string& path) {
  morva = MorvaRules();
  return FileReadable(path);
}

}  // namespace kalix
