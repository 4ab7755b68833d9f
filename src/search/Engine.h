// The search engine: one pass over a document text, every search string
// compared at once, accepted hits pushed into a sink (search/HitSink.h).
//
// The scan reads the text byte by byte, classifies each byte by the rule
// set's separator classes, and computes each letter's comparison character
// once, whatever the number of strings. Completed matches become pending
// hits; at the end of their word the position rules are applied; at the end
// of the chosen context (word, sentence, paragraph) the exclusions, "all
// strings" and "in order" decide; accepted hits that pass the filters go to
// the sink, which files them under targets.
//
// Every occurrence is found. A string does not keep a single partial match:
// each comparison character that equals the key's first character, at a
// place where the string's position rule lets a match begin, starts a
// candidate of its own, with its own start values (place, view position,
// word, sentence, paragraph and context starts). Each later comparison
// character advances every live candidate whose next key character it is
// and drops the others. So a failed partial match never hides a match that
// starts inside it (the key AAB is found in AAAB), and the position rule is
// checked where each candidate begins. Candidates of one string all have the
// same length to go, so the one that began first completes first; when it
// completes, the string's other candidates (which began inside that match)
// are dropped and the string starts afresh at the next comparison
// character: completed matches of one string never overlap. Every reset of
// a string (at a context end, at a flush) drops all its candidates. Strings
// are still visited in list order at each character, so pending hits come
// in the same order as when each string had one partial match.
//
// Speed. With the automaton, stretches where nothing can happen are passed
// over: when no partial match is in flight, the substitution transducer is
// free and no hit waits for its word's end, a vector scan looks for the next
// stop byte (a letter that may begin a key or a substitution rule that
// matters, a sentence or paragraph separator, a line break), stop letters
// where the next letters show that no key can begin stay inside the
// stretch, and the word bookkeeping of the stretch is read from bit masks of
// its last 64 bytes. With "all strings" each context is first probed: only
// which strings occur is noted, and a context is scanned in full (from its
// start again) only when every string without exclusion occurs in it. Both
// give exactly the hits of the letter-by-letter scan (`AutomatonSteady` and
// `PerString` are kept to check that).
//
// Where things are. The tables that depend only on the rules, the
// settings, the strings and the filters are made once per search in a
// `SearchPlan` (search/SearchPlan.h: the keys' automaton or tries, the
// byte tables, the stop sets). A scan (search/Scan.h) keeps its own state
// in named parts (search/ScanState.h: the cursor over words, sentences and
// paragraphs, the per-string counts, the pending hits, the probe) and is
// built on one way of following matches (search/Matchers.h), chosen once
// per scan. Its runs are in search/ScanRuns.cpp and search/FastRuns.cpp,
// the rules applied at word and context ends in search/ContextRules.cpp.
// The strings are only read: the counts of a context are the scan's.
//
// A scan is single-threaded; scans of one plan may run at once. A long
// text may be cut where nothing reaches across (`SplitPoint`), and its
// parts scanned at once as texts of their own: the caller moves the second part's positions (`ViewPositionAt`) and
// joins the hits (app/RunSearch.cpp does, with one collector per part).
#pragma once

#include "rules/Filters.h"
#include "rules/Morva.h"
#include "rules/RuleSet.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "search/ScanControl.h"
#include "search/SearchSpec.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kalix {

// Whether the word of `wordLength` bytes at `wordAt` passes one of the
// filter patterns.
bool PassesFilters(const RuleSet& rules, std::string_view text, int32_t wordAt, int32_t wordLength,
                   bool skipSymbols, const cFilterList& filters);

// How partial matches are followed: by an automaton of all keys (the
// default; the trie is used instead when the automaton's table would be
// too large), in a trie of all keys, or string by string, each string
// keeping its own candidates (the plain form, kept to check the others).
// `AutomatonSteady` is the automaton without the fast runs over stretches
// where nothing can happen (the scan gives them up by itself on texts where
// they do not pay off).
enum class MatchMode { Automaton, Trie, PerString, AutomatonSteady };

struct PlanTables;

// The tables of one search, worked out once from the rules, the settings,
// the strings and the filters (the automaton or tries of the keys, the
// byte classes, the stop sets, the substitution tables...), then shared by
// every scan of the search: the documents of a corpus, the two parts of a
// cut document, the two threads. The plan keeps a reference to the rules,
// which must outlive it, and copies of the rest. A plan is only read by
// the scans.
class SearchPlan {
 public:
  SearchPlan(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
             const cFilterList& filters, MatchMode mode = MatchMode::Automaton);
  ~SearchPlan();
  SearchPlan(const SearchPlan&) = delete;
  SearchPlan& operator=(const SearchPlan&) = delete;
  const PlanTables& Tables() const { return *tables_; }
  // The plan's own copies of what it was made from.
  const RuleSet& Rules() const;
  const SearchSettings& Settings() const;
  const cFilterList& Filters() const;

 private:
  std::unique_ptr<const PlanTables> tables_;
};

// Scans `text` (a document text without its terminating zero) with the
// plan, and pushes accepted hits into `sink`. Scans of one plan may run at
// once on several threads. `control` follows and stops the scan
// (search/ScanControl.h); returns false when it was stopped before the end.
bool SearchDocument(const SearchPlan& plan, std::string_view text, HitSink& sink, const ScanControl& control = {});

// The same for a caller that scans one text: makes the plan and scans.
void SearchDocument(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
                    const cFilterList& filters, std::string_view text, HitSink& sink,
                    MatchMode mode = MatchMode::Automaton);

// Where a long text may be cut so that its two parts can be scanned apart,
// each as a text of its own (the second from a fresh scan state, its
// positions then moved by its place), with the same hits as one scan of
// the whole. The cut follows the first paragraph separator at or after the
// middle of the text, such that:
//   - the separator ends every unit and context, so that nothing is pending
//     after it and the scan state is the one a text begins with;
//   - no substitution rule can read it and none gives more characters than
//     it takes, so that no rule is at work across the cut;
//   - no filter character equals a separator's comparison form, so that no
//     filter reads across it.
// Returns the offset of the second part's first byte, or 0 when the text is
// shorter than `minimum` or has no such place in its third quarter.
size_t SplitPoint(const RuleSet& rules, const SearchSettings& settings, const cFilterList& filters,
                  std::string_view text, size_t minimum);

// The view position of byte `at` of a text: one per byte before it, two for
// each line-break byte (CR or LF), as the scan counts them.
int32_t ViewPositionAt(std::string_view text, size_t at);

// Appends the generated variants of every string present (not of those
// appended): copies of the source with `Source` set, no text, and the
// variant as key. Returns true when the generation bound stopped the
// generation of some string; the places of those strings are appended to
// `bounded` when given.
bool ExpandGenerated(const MorvaRules& morva, cArrowList& strings, int level,
                     std::vector<size_t>* bounded = nullptr);

}  // namespace kalix
