#include "i18n/Translate.h"

namespace kalix {

std::string Translate(const LanguageState& language, std::string_view message) {
  if (!language.Loaded) return std::string(message);
  for (size_t i = 0; i < language.MessageKeys.size() && i < language.MessageTexts.size(); ++i) {
    if (language.MessageKeys[i] == message) return language.MessageTexts[i];
  }
  return std::string(message);
}

void ResetLanguage(LanguageState& language) { language = LanguageState(); }

}  // namespace kalix
