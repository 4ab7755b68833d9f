#include "search/ScanState.h"

#include "search/Engine.h"

namespace kalix {

ScanCore::ScanCore(const PlanTables& plan, std::string_view text, HitSink& sink)
    : plan_(plan),
      settings_(plan.settings),
      text_(text),
      bytes_(reinterpret_cast<const unsigned char*>(text.data())),
      size_(static_cast<int32_t>(text.size())),
      sink_(sink),
      counts_(plan.strings.size()) {
  fast_.enabled = plan.fast.enabled;
}

// With deferred word ends, a word separator only records the end of the
// word of the hits before it (no hit can be dropped there); the records are
// applied when the hits are needed, that is when their context is accepted
// or a sentence ends inside it, and dropped with the hits otherwise. At the
// end of a context the hits whose word had ended already only take the
// sentence and paragraph ends, which matter only when the context is
// accepted: they are set then.
void ScanCore::CloseWord(int cls, bool contextEnd) {
  PendingHits& p = pending_;
  if (plan_.keys.deferWords && cls == kWordSeparator) {
    if (p.hits.size() > p.wordsClosed) {
      if (p.wordCloses.empty()) p.deferredFrom = p.wordsClosed;
      p.wordCloses.push_back(PendingHits::WordClose{p.hits.size(), cursor_.units.lastLetter});
      p.wordsClosed = p.hits.size();
    }
  } else if (!p.hits.empty()) {
    if (!contextEnd) ApplyWordCloses();
    const size_t from = cls >= kSentenceSeparator && !contextEnd ? 0 : p.wordsClosed;
    CloseWordFrom(plan_.strings, counts_, p.hits, from, cursor_.units.lastLetter, cls);
    p.wordsClosed = p.hits.size();
  }
}

void ScanCore::ApplyWordCloses() {
  size_t r = pending_.deferredFrom;
  for (const PendingHits::WordClose& w : pending_.wordCloses) {
    for (; r < w.upTo; ++r) {
      PendingHit& h = pending_.hits[r];
      if (!(h.KnownEnds & kWordEndKnown)) {
        h.WordEnd = w.lastLetter;
        h.KnownEnds |= kWordEndKnown;
      }
      if (h.WordEndAt < 0) h.WordEndAt = w.lastLetter;
    }
  }
  pending_.wordCloses.clear();
}

bool ScanCore::EndContext(int cls) {
  if (pending_.hits.empty()) return false;
  const StringTables& keys = plan_.keys;
  if (!ContextAccepted(settings_, pending_.hits, plan_.strings, keys.roots, keys.keptRoots, counts_)) {
    pending_.Clear();
    return false;
  }
  ApplyWordCloses();
  if (cls >= kSentenceSeparator) {
    CloseWordFrom(plan_.strings, counts_, pending_.hits, 0, cursor_.units.lastLetter, cls);
    pending_.wordsClosed = pending_.hits.size();
  }
  SetContextLengths(pending_.hits, cursor_.view, cursor_.offset);
  return true;
}

void ScanCore::FlushPending() {
  if (pending_.hits.empty()) return;
  const bool filtered = !plan_.filters.empty();
  for (const PendingHit& h : pending_.hits) {
    const int32_t wordLength = h.WordEndAt - h.WordStartAt + 1;
    if (!filtered || PassesFilters(plan_.rules, text_, h.WordStartAt, wordLength, settings_.SkipSymbols,
                                   plan_.filters)) {
      sink_.AddTarget(h, wordLength);
    }
  }
  pending_.hits.clear();
  pending_.wordsClosed = 0;
  sink_.EndBatch();
}

}  // namespace kalix
