#include "targets/SearchStatus.h"

#include <algorithm>
#include <string_view>

namespace kalix {

void RemoveTemporaryStrings(cArrowList& strings) {
  for (size_t i = strings.size(); i-- > 0;) {
    if (strings[i].HasSource()) strings.erase(strings.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

std::string SearchStatusText(const LanguageState& language, const cArrowList& strings,
                             const SearchSettings& settings, size_t targetCount, size_t occurrenceCount) {
  std::string s = "\"";
  bool first = true;
  for (const SearchString& str : strings) {
    if (!first) s += " + ";
    first = false;
    if (str.Exclude != 0) s += '!';
    // A key is a zero-terminated text: a byte folded to 0 ends what is shown.
    s += std::string_view(str.Key).substr(0, str.Key.find('\0'));
  }
  s += '"';
  if (settings.Context != kContextText) {
    static const char* const kUnits[] = {"Mot", "Phrase", "Paragraphe"};
    s += " (";
    s += Translate(language, "Contx : ");
    s += Translate(language, kUnits[std::clamp<int>(settings.Context, kContextWord, kContextParagraph) - 1]);
    if (settings.AllStrings) {
      s += ", ";
      s += Translate(language, "tout");
    }
    if (settings.InOrder) {
      s += ", ";
      s += Translate(language, "dans l'ordre");
    }
    s += ')';
  }
  s += Translate(language, "  Mots : ");
  s += std::to_string(targetCount);
  s += Translate(language, "  Occurrences : ");
  s += std::to_string(occurrenceCount);
  return s;
}

}  // namespace kalix
