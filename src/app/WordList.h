// The word list: every word of a document, or of every document of the
// corpus, as targets, one per distinct written form (and document), with an
// occurrence per place where the word stands.
//
// Words are cut by the separator classes of the rule set. Symbols are always
// skipped: they neither open, extend nor end a word (a word cannot begin or
// end with one), but stay inside the word's stretch when letters follow
// them. A word still open when the text ends is not listed.
//
// Occurrences carry the starts and ends of their word, sentence and
// paragraph, found as the search engine finds them (symbols never count as
// letters here), so that report extracts of a word list show real units.
// Their context fields are -1 (start) and 0 (length), their `ViewLength` the
// word's length in bytes.
#pragma once

#include "app/CorpusDocuments.h"
#include "context/Context.h"
#include "document/Document.h"
#include "rules/Filters.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "search/SearchSpec.h"
#include "targets/Target.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// Pushes every word of `text` (a document text without its terminating
// zero) that passes the filters into `sink`, ending the sink's batch after
// every few words (no place can come twice in one scan).
void ListWords(const RuleSet& rules, std::string_view text, const cFilterList& filters, HitSink& sink);

// What the word-list dialog gives when it closes with OK.
struct WordListChoice {
  int ResultItem = 2;           // "Résultat": 0 "Identique", 1 "Majuscule", 2 "Modifiée"
  bool ShowSymbols = false;     // "Affiche les symboles" checked
  bool CorpusChecked = false;   // "Utiliser le corpus" checked
  std::string FilterNames;      // the checked filters' labels joined by ", "
};

// True when the form of a word in `resultSpelling` depends on the word's
// bytes alone (no substitution rule can read across a word's end); the form
// of each distinct word can then be written once, by `AppendWordForm`.
bool FormDependsOnWordAlone(const RuleSet& rules, int resultSpelling);

// Appends the form of `word` standing alone (as `AppendResultForm` of a
// text that is the word) to `out`.
void AppendWordForm(const RuleSet& rules, const SubstRuleIndex& index, std::string_view word, int resultSpelling,
                    bool showSymbols, std::string& out);

// Updates a window's settings from the dialog: `FromWordList`, the result
// spelling, the symbols (only below "Modifiée"), the corpus use (a corpus is
// open and the box is checked or the window has no document) and the filter
// names. The other settings keep their values.
void ApplyWordListChoice(SearchSettings& settings, const WordListChoice& choice, bool corpusOpen,
                         bool windowHasDocument);

// Lists the words of the window's document, or with `settings.UseCorpus`
// of every corpus document in order (each loaded into a scratch model, with
// the document reference of its path), read as `reading` says: its progress
// calls, its calls for documents that cannot be opened (the list goes on
// with the next one) and its stop flag. Returns the targets, not yet sorted.
cTargetList RunWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                        const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                        const CorpusReading& reading = {});

// The numbers of a word list without its targets: what the status line
// shows, computed with far less memory (no occurrence is kept). Gives the
// same numbers as `RunWordList` followed by `ShowWordListResult`.
struct WordListCounts {
  size_t Targets = 0;
  size_t Occurrences = 0;
};
WordListCounts CountWordList(const Context& context, const SearchSettings& settings, const cFilterList& filters,
                             const Document& windowDocument, const std::vector<std::string>& corpusEntries,
                             const CorpusReading& reading = {});

// The status line of a word list: "Mots : " N "  Occurrences : " M
// (translated pieces).
std::string WordListStatusText(const LanguageState& language, size_t targets, size_t occurrences);

// Sorts the targets by text, then document reference, and returns the
// status line: "Mots : " N "  Occurrences : " M (translated pieces).
std::string ShowWordListResult(const LanguageState& language, cTargetList& targets);

}  // namespace kalix
