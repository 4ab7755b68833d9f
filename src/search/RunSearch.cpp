#include "search/RunSearch.h"

#include "document/Reader.h"
#include "search/Engine.h"
#include "search/Normalize.h"

#include <algorithm>
#include <numeric>

namespace kalix {

void BuildFilterList(const RuleSet& rules, const std::vector<size_t>& checked, cFilterList& filters,
                     std::string& filterNames) {
  filters.clear();
  filterNames.clear();
  bool first = true;
  for (size_t k : checked) {
    if (k >= rules.FilterDefs.size()) continue;
    const std::string& def = rules.FilterDefs[k];
    if (!first) filterNames += ", ";
    first = false;
    filterNames += FilterLabel(def);
    for (FilterPattern& p : FilterPatterns(def)) filters.push_back(std::move(p));
  }
}

void PrepareKeys(const RuleSet& rules, const SearchSettings& settings, cArrowList& strings) {
  for (size_t i = 0; i < strings.size(); ++i) {
    SearchString& s = strings[i];
    s.Index = static_cast<int32_t>(i);
    s.SetKey(s.Text);
    if (settings.Spelling == 0) continue;
    if (settings.Substitute) {
      SubstituteString(rules, s);
    } else {
      FoldString(rules, s);
    }
  }
}

void SortStringsByKey(cArrowList& strings) {
  std::vector<size_t> order(strings.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return strings[a].Key < strings[b].Key; });
  std::vector<int32_t> place(strings.size());
  for (size_t k = 0; k < order.size(); ++k) place[order[k]] = static_cast<int32_t>(k);
  cArrowList sorted;
  sorted.reserve(strings.size());
  for (size_t k : order) {
    sorted.push_back(std::move(strings[k]));
    SearchString& s = sorted.back();
    if (s.HasSource()) s.Source = place[static_cast<size_t>(s.Source)];
  }
  strings = std::move(sorted);
}

cTargetList ScanForTargets(const Context& context, const SearchSettings& settings, cArrowList& strings,
                           const cFilterList& filters, const SearchRequest& source, size_t* skipped) {
  TargetCollector sink(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  if (skipped) *skipped = 0;
  if (settings.UseCorpus) {
    Document scratch;
    for (size_t i = 0; i < source.Corpus.size(); ++i) {
      const std::string& path = source.Corpus[i];
      if (source.OnProgress) source.OnProgress(i, source.Corpus.size(), path);
      std::string message;
      // The scratch model is emptied but keeps its text buffer, so documents
      // of a corpus reuse one allocation instead of scattering the heap.
      scratch.path.clear();
      scratch.text.clear();
      scratch.marks.clear();
      scratch.notes.clear();
      bool ok = source.Loader ? source.Loader(context, scratch, path, &message)
                              : OpenDocument(context, scratch, path, &message);
      if (!ok) {
        if (skipped) ++*skipped;
        if (source.OnUnreadable) source.OnUnreadable(path, message);
        continue;
      }
      sink.BeginDocument(scratch.Text(), scratch.marks, MakeDocumentRef(path));
      SearchDocument(context.Rules, settings, strings, filters, scratch.Text(), sink);
      sink.EndDocument();
    }
  } else if (source.WindowDocument != nullptr) {
    const Document& doc = *source.WindowDocument;
    sink.BeginDocument(doc.Text(), doc.marks, std::string());
    SearchDocument(context.Rules, settings, strings, filters, doc.Text(), sink);
    sink.EndDocument();
  }
  return sink.Finish();
}

std::string FinishSearch(const Context& context, const SearchSettings& settings, cArrowList& strings,
                         cTargetList& targets) {
  RemoveTemporaryStrings(strings);
  std::string status = SearchStatusText(context.Language, strings, settings, targets.size(),
                                        CountOccurrences(targets));
  SortTargetsByText(targets);
  return status;
}

SearchResult RunSearch(const Context& context, SearchRequest request) {
  SearchResult result;
  SearchSettings& settings = request.Settings;
  settings.FromWordList = false;
  BuildFilterList(context.Rules, request.CheckedFilters, result.Filters, settings.FilterNames);
  cArrowList& strings = request.Strings;
  PrepareKeys(context.Rules, settings, strings);
  if (settings.Generate) {
    std::vector<size_t> bounded;
    result.VariantsBounded = ExpandGenerated(context.Morva, strings, settings.Level, &bounded);
    for (size_t n : bounded) result.BoundedTexts.push_back(strings[n].Text);
    SortStringsByKey(strings);
  }
  result.Targets = ScanForTargets(context, settings, strings, result.Filters, request, &result.DocumentsSkipped);
  result.Status = FinishSearch(context, settings, strings, result.Targets);
  result.OccurrenceCount = CountOccurrences(result.Targets);
  result.Strings = std::move(strings);
  result.Settings = settings;
  return result;
}

}  // namespace kalix
