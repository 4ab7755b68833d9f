// A whole search, as the search command runs it once its dialog was
// confirmed: the keys, the generated variants, the filters, the scan of the
// window's document or of every corpus document, and the result (status
// line, targets sorted by text). The desktop program and kalix-cli both call
// `RunSearch`; the desktop program, which shows the generated-variants
// dialog between two steps, may call the steps one by one.
#pragma once

#include "app/CorpusDocuments.h"
#include "context/Context.h"
#include "document/Document.h"
#include "platform/Parallel.h"
#include "rules/Filters.h"
#include "search/SearchSpec.h"
#include "targets/Target.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalix {

struct SearchRequest {
  // The window's strings: Text, Position and Exclude as the dialog set them.
  cArrowList Strings;
  // The dialog's options: Spelling (with its flags), IgnoreSeparators,
  // Context, AllStrings, InOrder, the result options, UseCorpus, Level.
  SearchSettings Settings;
  // The checked filters: indices of the rule set's filter definitions.
  std::vector<size_t> CheckedFilters;
  // Without UseCorpus: the window's document (none: nothing is searched).
  const Document* WindowDocument = nullptr;
  // With UseCorpus: the corpus entries, in order.
  std::vector<std::string> Corpus;
  // How corpus documents are read (default: the document reader).
  DocumentLoader Loader;
  // A corpus document that cannot be opened: it is skipped.
  std::function<void(const std::string& path, const std::string& message)> OnUnreadable;
  // Before each corpus document: its place (0-based), the count, its path.
  std::function<void(size_t index, size_t count, const std::string& path)> OnProgress;
  // When given and set (from any thread), the search ends early with the
  // targets found so far: the document being scanned is left at the next
  // block (search/ScanControl.h), the corpus documents not yet read are
  // left out.
  const std::atomic<bool>* Stop = nullptr;
  // When given, the bytes scanned so far, counted as the scan goes (every
  // block of each document; for a corpus, of every document so far).
  std::atomic<uint64_t>* Scanned = nullptr;
  // A corpus document whose reading needed the character policy: its path
  // and the notice (document/ReadNotice.h).
  std::function<void(const std::string& path, const std::string& notice)> OnNotice;
  // Whether the search may work on two threads (by default, when the
  // machine has two processors or more): documents of at least
  // SplitMinimum bytes are then scanned in two parts at once where a safe
  // cut exists (SplitPoint), and the documents of a corpus are scanned two
  // at a time. The result is the same either way.
  bool Parallel = HasSecondProcessor();
  size_t SplitMinimum = size_t{1} << 20;
};

struct SearchResult {
  cTargetList Targets;       // sorted by text, then document reference
  std::string Status;        // the status line
  cArrowList Strings;        // the window's strings afterwards (keys set, temporary ones removed)
  SearchSettings Settings;   // FromWordList false, FilterNames set
  cFilterList Filters;       // the window's filter list
  size_t OccurrenceCount = 0;
  bool VariantsBounded = false;  // the generation bound stopped a generation
  std::vector<std::string> BoundedTexts;  // the texts of the strings concerned
  size_t DocumentsSkipped = 0;
};

// OK of the search dialog, step 2: the patterns of the checked filters and
// their names joined by ", ".
void BuildFilterList(const RuleSet& rules, const std::vector<size_t>& checked, cFilterList& filters,
                     std::string& filterNames);

// Each string's Index becomes its place; each Key is recomputed from Text
// under the spelling mode.
void PrepareKeys(const RuleSet& rules, const SearchSettings& settings, cArrowList& strings);

// Sorts the strings by Key (unsigned bytes, ascending; equal keys keep their
// order) and keeps every Source pointing at the same string.
void SortStringsByKey(cArrowList& strings);

// Scans the window's document, or every corpus document, and returns the
// collected targets (not yet sorted by text).
cTargetList ScanForTargets(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                           const cFilterList& filters, const SearchRequest& source, size_t* skipped);

// The end of a search: temporary strings removed, status line, targets
// sorted by text then document.
std::string FinishSearch(const Context& context, const SearchSettings& settings, cArrowList& strings,
                         cTargetList& targets);

// The whole search; in the "Générée" mode as if the generated-variants
// dialog were confirmed unchanged.
SearchResult RunSearch(const Context& context, SearchRequest request);

// The status line of a result that a window still holds (after rows were
// deleted, say): the word list's or the search's text, with the numbers of
// the targets and occurrences left.
std::string ResultStatusText(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                             const cTargetList& targets);

}  // namespace kalix
