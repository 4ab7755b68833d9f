#include "app/RunSearch.h"

#include "document/Reader.h"
#include "platform/Parallel.h"
#include "search/Engine.h"
#include "search/HitSink.h"
#include "search/Normalize.h"
#include "targets/Collector.h"
#include "targets/DocumentRef.h"
#include "targets/SearchStatus.h"
#include "targets/Sorting.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
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
void ScanDocument(const Context& context, const SearchSettings& settings, const SearchPlan& plan,
                  const cFilterList& filters, std::string_view text, const cMarkList& marks,
                  const std::string& documentRef, size_t splitMinimum, TargetCollector& sink) {
  sink.BeginDocument(text, marks, documentRef);
  const size_t split = sink.RepeatedDocument() || splitMinimum == SIZE_MAX
                           ? 0
                           : SplitPoint(context.Rules, settings, filters, text, splitMinimum);
  if (split == 0) {
    SearchDocument(plan, text, sink);
    sink.EndDocument();
    return;
  }
  TargetCollector rest(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  RunInParallel(
      [&] { SearchDocument(plan, text.substr(0, split), sink); },
      [&] {
        rest.BeginDocument(text, marks, documentRef);
        ShiftedSink shifted(rest, static_cast<int32_t>(split), ViewPositionAt(text, split),
                            settings.Context != 0);
        SearchDocument(plan, text.substr(split), shifted);
        rest.EndDocument();
      });
  sink.EndDocument();
  sink.Absorb(rest);
}

// How the request reads its corpus.
CorpusReading ReadingOf(const SearchRequest& source) {
  return CorpusReading{source.Loader, source.OnProgress, source.OnUnreadable, source.Stop};
}

// The corpus documents one after the other on this thread.
void ScanCorpusHere(const Context& context, const SearchSettings& settings, const SearchPlan& plan,
                    const cFilterList& filters, const SearchRequest& source, size_t splitMinimum,
                    TargetCollector& sink, size_t* skipped) {
  Document scratch;
  const size_t n = ForEachCorpusDocument(
      context, source.Corpus, ReadingOf(source), [&]() -> Document& { return scratch; },
      [&](size_t i, Document& document) {
        ScanDocument(context, settings, plan, filters, document.Text(), document.marks,
                     MakeDocumentRef(source.Corpus[i]), splitMinimum, sink);
        return true;
      });
  if (skipped) *skipped += n;
}

// Documents of a corpus at least this long are scanned on this thread, cut
// in two; shorter ones may go to the second thread.
constexpr size_t kHandOverMaximum = size_t{8} << 20;
// Documents read and waiting for the second thread, at most.
constexpr size_t kWaitingMaximum = 2;

// The corpus documents two at a time. They are all read here, in order
// (progress and unreadable documents are reported here, in order); each is
// then handed to the second thread while fewer than kWaitingMaximum wait
// for it, and scanned here otherwise; the second thread scans into a
// collector of its own. A document listed again goes where it went the
// first time, so that its places are checked against the earlier ones. The
// two collectors' documents are apart, so their targets are too: both are
// finished at once, and their lists merged.
cTargetList ScanCorpusInParallel(const Context& context, const SearchSettings& settings, const SearchPlan& plan,
                                 const cFilterList& filters, const SearchRequest& source, TargetCollector& sink,
                                 size_t* skipped) {
  TargetCollector otherSink(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  struct Handed {
    std::unique_ptr<Document> doc;
    std::string ref;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::unique_ptr<Document>> spare;  // documents to read into
  std::deque<Handed> waiting;                    // for the second thread
  bool ended = false;                            // no more documents
  bool failed = false;                           // the second thread has stopped on an error
  const auto scanHanded = [&] {
    for (;;) {
      Handed next;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !waiting.empty() || ended; });
        if (waiting.empty()) return;
        next = std::move(waiting.front());
        waiting.pop_front();
        changed.notify_all();
      }
      otherSink.BeginDocument(next.doc->Text(), next.doc->marks, next.ref);
      SearchDocument(plan, next.doc->Text(), otherSink);
      otherSink.EndDocument();
      std::lock_guard<std::mutex> lock(mutex);
      spare.push_back(std::move(next.doc));
    }
  };
  const auto second = [&] {
    try {
      scanHanded();
    } catch (...) {
      // Nothing more is handed over; the error is thrown again once both
      // threads have ended.
      std::lock_guard<std::mutex> lock(mutex);
      failed = true;
      changed.notify_all();
      throw;
    }
  };
  const auto first = [&] {
    std::map<std::string, bool> wentThere;  // document reference -> scanned on the second thread
    std::unique_ptr<Document> doc;
    const auto documentFor = [&]() -> Document& {
      if (doc == nullptr) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!spare.empty()) {
          doc = std::move(spare.back());
          spare.pop_back();
        }
      }
      if (doc == nullptr) doc = std::make_unique<Document>();
      return *doc;
    };
    const auto visit = [&](size_t i, Document&) {
      std::string ref = MakeDocumentRef(source.Corpus[i]);
      const auto seen = wentThere.find(ref);
      const bool small = doc->text.size() < kHandOverMaximum;
      bool there;
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (seen != wentThere.end()) {
          there = seen->second;
          if (there) changed.wait(lock, [&] { return waiting.size() < kWaitingMaximum || failed; });
        } else {
          there = small && waiting.size() < kWaitingMaximum;
        }
        if (failed) return false;
        if (there) {
          waiting.push_back(Handed{std::move(doc), ref});
          changed.notify_all();
        }
      }
      if (seen == wentThere.end()) wentThere.emplace(ref, there);
      if (!there) {
        // While the second thread is busy, a short document is not cut.
        ScanDocument(context, settings, plan, filters, doc->Text(), doc->marks, ref,
                     small ? SIZE_MAX : source.SplitMinimum, sink);
      }
      return true;
    };
    const size_t n = ForEachCorpusDocument(context, source.Corpus, ReadingOf(source), documentFor, visit);
    if (skipped) *skipped += n;
  };
  const auto endSecond = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    changed.notify_all();
  };
  RunInParallel(
      [&] {
        try {
          first();
        } catch (...) {
          endSecond();
          throw;
        }
        endSecond();
      },
      second);
  cTargetList mine;
  cTargetList theirs;
  RunInParallel([&] { mine = sink.Finish(); }, [&] { theirs = otherSink.Finish(); });
  return MergeByText(std::move(mine), std::move(theirs));
}

}  // namespace

cTargetList ScanForTargets(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                           const cFilterList& filters, const SearchRequest& source, size_t* skipped) {
  // The tables of the search are made once, for every document and thread.
  const SearchPlan plan(context.Rules, settings, strings, filters);
  TargetCollector sink(context.Rules, settings.ResultSpelling, settings.ShowSymbols);
  if (skipped) *skipped = 0;
  const size_t splitMinimum = source.Parallel ? source.SplitMinimum : SIZE_MAX;
  if (settings.UseCorpus && source.Parallel && source.Corpus.size() >= 2) {
    return ScanCorpusInParallel(context, settings, plan, filters, source, sink, skipped);
  }
  if (settings.UseCorpus) {
    ScanCorpusHere(context, settings, plan, filters, source, splitMinimum, sink, skipped);
  } else if (source.WindowDocument != nullptr) {
    const Document& doc = *source.WindowDocument;
    ScanDocument(context, settings, plan, filters, doc.Text(), doc.marks, std::string(), splitMinimum, sink);
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
