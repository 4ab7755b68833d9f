#include "app/RunSearch.h"

#include "app/WordList.h"
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
    if (settings.Spelling == kSpellingIdentical) continue;
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
void ScanDocument(const SearchPlan& plan, std::string_view text, const cMarkList& marks,
                  const std::string& documentRef, size_t splitMinimum, TargetCollector& sink,
                  const ScanControl& control) {
  const SearchSettings& settings = plan.Settings();
  sink.BeginDocument(text, marks, documentRef);
  const size_t split = sink.RepeatedDocument() || splitMinimum == SIZE_MAX
                           ? 0
                           : SplitPoint(plan.Rules(), settings, plan.Filters(), text, splitMinimum);
  if (split == 0) {
    SearchDocument(plan, text, sink, control);
    sink.EndDocument();
    return;
  }
  TargetCollector rest(plan.Rules(), settings.ResultSpelling, settings.ShowSymbols);
  RunInParallel(
      [&] { SearchDocument(plan, text.substr(0, split), sink, control); },
      [&] {
        rest.BeginDocument(text, marks, documentRef);
        ShiftedSink shifted(rest, static_cast<int32_t>(split), ViewPositionAt(text, split),
                            settings.Context != kContextText);
        SearchDocument(plan, text.substr(split), shifted, control);
        rest.EndDocument();
      });
  sink.EndDocument();
  sink.Absorb(rest);
}

// How the request follows and stops each scan.
ScanControl ControlOf(const SearchRequest& source) { return ScanControl{source.Stop, source.Scanned}; }

// How the request reads its corpus.
CorpusReading ReadingOf(const SearchRequest& source) {
  CorpusReading reading{source.Loader, source.OnProgress, source.OnUnreadable, source.Stop, source.Scanned};
  reading.OnNotice = source.OnNotice;
  return reading;
}

// The corpus documents one after the other on this thread.
void ScanCorpusHere(const Context& context, const SearchPlan& plan, const SearchRequest& source,
                    size_t splitMinimum, TargetCollector& sink, size_t* skipped) {
  Document scratch;
  const size_t n = ForEachCorpusDocument(
      context, source.Corpus, ReadingOf(source), [&]() -> Document& { return scratch; },
      [&](size_t i, Document& document) {
        ScanDocument(plan, document.Text(), document.marks, MakeDocumentRef(source.Corpus[i]), splitMinimum,
                     sink, ControlOf(source));
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
class CorpusOnTwoThreads {
 public:
  CorpusOnTwoThreads(const Context& context, const SearchPlan& plan, const SearchRequest& source,
                     TargetCollector& sink)
      : context_(context), plan_(plan), source_(source), sink_(sink),
        otherSink_(plan.Rules(), plan.Settings().ResultSpelling, plan.Settings().ShowSymbols) {}

  cTargetList Run(size_t* skipped) {
    RunInParallel(
        [&] {
          try {
            ReadAll(skipped);
          } catch (...) {
            EndSecond();
            throw;
          }
          EndSecond();
        },
        [&] { Second(); });
    cTargetList mine;
    cTargetList theirs;
    RunInParallel([&] { mine = sink_.Finish(); }, [&] { theirs = otherSink_.Finish(); });
    return MergeByText(std::move(mine), std::move(theirs));
  }

 private:
  struct Handed {
    std::unique_ptr<Document> doc;
    std::string ref;
  };

  // The first thread: every document read in order, each handed over or
  // scanned here.
  void ReadAll(size_t* skipped) {
    const size_t n = ForEachCorpusDocument(
        context_, source_.Corpus, ReadingOf(source_), [this]() -> Document& { return DocumentToRead(); },
        [this](size_t i, Document&) { return Visit(i); });
    if (skipped) *skipped += n;
  }

  // A spare document of the second thread's, or a new one.
  Document& DocumentToRead() {
    if (doc_ == nullptr) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        doc_ = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    if (doc_ == nullptr) doc_ = std::make_unique<Document>();
    return *doc_;
  }

  // Document `i`, read into doc_: handed over or scanned here. False once
  // the second thread has failed.
  bool Visit(size_t i) {
    std::string ref = MakeDocumentRef(source_.Corpus[i]);
    const auto seen = wentThere_.find(ref);
    const bool small = doc_->text.size() < kHandOverMaximum;
    bool there;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (seen != wentThere_.end()) {
        there = seen->second;
        if (there) changed_.wait(lock, [&] { return waiting_.size() < kWaitingMaximum || failed_; });
      } else {
        there = small && waiting_.size() < kWaitingMaximum;
      }
      if (failed_) return false;
      if (there) {
        waiting_.push_back(Handed{std::move(doc_), ref});
        changed_.notify_all();
      }
    }
    if (seen == wentThere_.end()) wentThere_.emplace(ref, there);
    if (!there) {
      // While the second thread is busy, a short document is not cut.
      ScanDocument(plan_, doc_->Text(), doc_->marks, ref, small ? SIZE_MAX : source_.SplitMinimum, sink_,
                   ControlOf(source_));
    }
    return true;
  }

  void EndSecond() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }

  // The second thread: the documents handed over, until there are no more.
  void Second() {
    try {
      ScanHanded();
    } catch (...) {
      // Nothing more is handed over; the error is thrown again once both
      // threads have ended.
      std::lock_guard<std::mutex> lock(mutex_);
      failed_ = true;
      changed_.notify_all();
      throw;
    }
  }

  void ScanHanded() {
    for (;;) {
      Handed next;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !waiting_.empty() || ended_; });
        if (waiting_.empty()) return;
        next = std::move(waiting_.front());
        waiting_.pop_front();
        changed_.notify_all();
      }
      otherSink_.BeginDocument(next.doc->Text(), next.doc->marks, next.ref);
      SearchDocument(plan_, next.doc->Text(), otherSink_, ControlOf(source_));
      otherSink_.EndDocument();
      std::lock_guard<std::mutex> lock(mutex_);
      spare_.push_back(std::move(next.doc));
    }
  }

  const Context& context_;
  const SearchPlan& plan_;
  const SearchRequest& source_;
  TargetCollector& sink_;
  TargetCollector otherSink_;  // the second thread's

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Document>> spare_;  // documents to read into
  std::deque<Handed> waiting_;                    // for the second thread
  bool ended_ = false;                            // no more documents
  bool failed_ = false;                           // the second thread has stopped on an error
  // The first thread's: the document being read, and for each document
  // reference whether it was scanned on the second thread.
  std::unique_ptr<Document> doc_;
  std::map<std::string, bool> wentThere_;
};

cTargetList ScanCorpusInParallel(const Context& context, const SearchPlan& plan, const SearchRequest& source,
                                 TargetCollector& sink, size_t* skipped) {
  return CorpusOnTwoThreads(context, plan, source, sink).Run(skipped);
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
    return ScanCorpusInParallel(context, plan, source, sink, skipped);
  }
  if (settings.UseCorpus) {
    ScanCorpusHere(context, plan, source, splitMinimum, sink, skipped);
  } else if (source.WindowDocument != nullptr) {
    const Document& doc = *source.WindowDocument;
    ScanDocument(plan, doc.Text(), doc.marks, std::string(), splitMinimum, sink, ControlOf(source));
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

std::string ResultStatusText(const Context& context, const SearchSettings& settings, const cArrowList& strings,
                             const cTargetList& targets) {
  if (settings.FromWordList) {
    return WordListStatusText(context.Language, targets.size(), CountOccurrences(targets));
  }
  return SearchStatusText(context.Language, strings, settings, targets.size(), CountOccurrences(targets));
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
