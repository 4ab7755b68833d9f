// Message translation: the language state and `Translate`.
//
// One language state serves the whole process; it lives in the application
// context (context/Context.h). Until a language file with a valid header has been
// read there is no message table, every message is shown as written (in
// French) and the language code is "fra".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kalix {

struct LanguageState {
  std::string LanguageCode = "fra";
  // True once a language file with a valid header was read: the three lists
  // below exist (possibly empty). False means they are absent.
  bool Loaded = false;
  std::vector<std::string> MessageKeys;   // parallel to MessageTexts
  std::vector<std::string> MessageTexts;
  // Caption lines of the language file, each as read with its line break.
  std::vector<std::string> CaptionLines;
};

// The translation of `message`: the text of the first key equal to it byte
// for byte, or the message itself.
std::string Translate(const LanguageState& language, std::string_view message);

// Frees the tables and restores the language code "fra".
void ResetLanguage(LanguageState& language);

}  // namespace kalix
