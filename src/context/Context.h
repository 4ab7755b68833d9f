// The process-wide state of the program, in one explicit object: the rule
// set, the generation rules, the language state and the corpus. The application owns
// one; tests build a fresh one per case.
#pragma once

#include "i18n/Translate.h"
#include "lexicon/EntryList.h"
#include "platform/CharPolicy.h"
#include "rules/Morva.h"
#include "rules/RuleSet.h"

namespace kalix {

struct Context {
  RuleSet Rules = DefaultRules();
  MorvaRules Morva;
  LanguageState Language;
  kalix::Corpus Corpus;  // the one corpus, shared by every main window
  CharPolicy Characters;  // the character policy, with the user's table
  // XML documents are read in their normalised layer (<choice> keeps expan,
  // reg, corr; <del> is left out) rather than the diplomatic one.
  bool XmlNormalised = false;

  std::string Tr(std::string_view message) const { return Translate(Language, message); }
};

}  // namespace kalix
