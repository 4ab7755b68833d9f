#include "search/RunSearch.h"

#include "document/Reader.h"
#include "platform/Parallel.h"
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

namespace {

// Passes the hits of a part of a text that was scanned as a text of its own
// on to a collector of the whole text: their offsets and view positions are
// moved by the part's place.
class ShiftedSink final : public HitSink {
 public:
  ShiftedSink(HitSink& sink, int32_t offset, int32_t view, bool context)
      : sink_(sink), offset_(offset), view_(view), context_(context) {}
  void AddTarget(const PendingHit& hit, int32_t wordLength) override {
    PendingHit h = hit;
    h.WordStartAt += offset_;
    if (h.WordEndAt >= 0) h.WordEndAt += offset_;
    h.StartAt += offset_;
    h.ParagraphStart += offset_;
    h.SentenceStart += offset_;
    h.WordStart += offset_;
    if (h.KnownEnds & kParagraphEndKnown) h.ParagraphEnd += offset_;
    if (h.KnownEnds & kSentenceEndKnown) h.SentenceEnd += offset_;
    if (h.KnownEnds & kWordEndKnown) h.WordEnd += offset_;
    h.StartView += view_;
    if (context_) {
      // Without a context these keep the values a scan begins with.
      h.ContextStartView += view_;
      h.ContextStartOffset += offset_;
    }
    sink_.AddTarget(h, wordLength);
  }
  void CloseOccurrences(int32_t lastLetterOffset, int cls) override {
    sink_.CloseOccurrences(lastLetterOffset + offset_, cls);
  }
  void EndBatch() override { sink_.EndBatch(); }

 private:
  HitSink& sink_;
  int32_t offset_;
  int32_t view_;
  bool context_;
};

// Scans one document into `sink`. A long one is cut in two (SplitPoint) and
// the second part is scanned on a second thread into a collector of its
// own, which `sink` then takes over.
void ScanDocument(const Context& context, const SearchSettings& settings, cArrowList& strings,
                  const cFilterList& filters, std::string_view text, const cMarkList& marks,
                  const std::string& documentRef, size_t splitMinimum, TargetCollector& sink) {
  sink.BeginDocument(text, marks, documentRef);
  const size_t split =
      sink.RepeatedDocument() ? 0 : SplitPoint(context.Rules, settings, filters, text, splitMinimum);
  if (split == 0) {
    SearchDocument(context.Rules, settings, strings, filters, text, sink);
    sink.EndDocument();
    return;
  }
  TargetCollector rest(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  cArrowList restStrings = strings;
  RunInParallel(
      [&] { SearchDocument(context.Rules, settings, strings, filters, text.substr(0, split), sink); },
      [&] {
        rest.BeginDocument(text, marks, documentRef);
        ShiftedSink shifted(rest, static_cast<int32_t>(split), ViewPositionAt(text, split),
                            settings.Context != 0);
        SearchDocument(context.Rules, settings, restStrings, filters, text.substr(split), shifted);
        rest.EndDocument();
      });
  sink.EndDocument();
  sink.Absorb(rest);
}

}  // namespace

size_t DefaultSplitMinimum() { return HasSecondProcessor() ? size_t{1} << 20 : SIZE_MAX; }

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
      ScanDocument(context, settings, strings, filters, scratch.Text(), scratch.marks, MakeDocumentRef(path),
                   source.SplitMinimum, sink);
    }
  } else if (source.WindowDocument != nullptr) {
    const Document& doc = *source.WindowDocument;
    ScanDocument(context, settings, strings, filters, doc.Text(), doc.marks, std::string(), source.SplitMinimum,
                 sink);
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
