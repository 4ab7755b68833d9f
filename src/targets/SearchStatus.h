// What a search leaves in its window: the strings without the temporary
// ones, and the status line.
#pragma once

#include "i18n/Translate.h"
#include "search/SearchSpec.h"

#include <cstddef>
#include <string>

namespace kalix {

// Removes every string that has a source (temporary strings), last first.
void RemoveTemporaryStrings(cArrowList& strings);

// The status line of a search: the strings, the context, the numbers of
// targets and occurrences (translated pieces).
std::string SearchStatusText(const LanguageState& language, const cArrowList& strings,
                             const SearchSettings& settings, size_t targetCount,
                             size_t occurrenceCount);

}  // namespace kalix
