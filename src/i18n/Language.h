// Language files: message lines and caption lines that relabel the program.
#pragma once

#include "i18n/Translate.h"

#include <string>

namespace kalix {

// Reads a language file into `language`. Returns false when the file cannot
// be opened. (Placeholder: reads nothing yet.)
bool LoadLanguage(LanguageState& language, const std::string& path);

}  // namespace kalix
