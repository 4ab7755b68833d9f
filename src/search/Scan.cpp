#include "search/Scan.h"

#include "search/Engine.h"

namespace kalix {

template <class Matcher>
bool Scan<Matcher>::Run() {
  Cursor& c = cursor_;
  const auto& cls = plan_.rules.SeparatorClass;
  while (c.offset < size_) {
    if (blocks_.Due(static_cast<size_t>(c.offset)) && !blocks_.Go(static_cast<size_t>(c.offset))) {
      ResetAll();
      return false;
    }
    if constexpr (Matcher::kProbes) {
      if (probe_.snapshotDue) TakeSnapshot();
      if (probe_.active && !fast_.enabled) {
        ProbeRun();
        if (probe_.rewindDue) {
          Rewind();
          continue;
        }
      }
    }
    if (Matcher::kFastRuns && FastRunMayStart()) {
      FastRun();
      if (c.offset >= size_) break;
    } else if (QuietRunMayStart()) {
      QuietRun();
      if (c.offset >= size_) break;
    }
    const unsigned char b = bytes_[c.offset];
    const int cl = cls[b];
    if (cl >= kWordSeparator) {
      Separator(cl);
    } else if (cl == kLetter || !settings_.SkipSymbols) {
      Letter(b);
      if (Matcher::kProbes && probe_.rewindDue) {
        Rewind();
        continue;
      }
    }
    StepOver();
  }
  // Hits still pending at the end of the text produce no target.
  ResetAll();
  blocks_.Finish(static_cast<size_t>(size_));
  return true;
}

template <class Matcher>
void Scan<Matcher>::Separator(int cl) {
  if (cl >= kSentenceSeparator) sink_.CloseOccurrences(cursor_.units.lastLetter, cl);
  const bool contextEnd = cl >= plan_.bytes.contextEndClass;
  const bool pending = !pending_.hits.empty();
  if (pending) CloseWord(cl, contextEnd);
  cursor_.units.Separator(cl);
  bool flush = settings_.Context == kContextText;
  if (contextEnd) {
    flush = pending && EndContext(cl);
    ResetAll();
    probe_.snapshotDue = Matcher::kProbes && plan_.probe.enabled;
  }
  if (flush && (!settings_.IgnoreSeparators || cl >= kSentenceSeparator)) {
    if (!pending_.hits.empty()) FlushPending();
    if (!matcher_.Idle() || !counts_.counted.empty()) ResetAll();
  }
}

template <class Matcher>
void Scan<Matcher>::Letter(unsigned char b) {
  const unsigned char k = CompareLetter(b);
  EnterLetter();
  if (k == 0) return;
  if (Matcher::kProbes && probe_.active) {
    ProbeLetter(k);
  } else {
    matcher_.Step(*this, k);
  }
}

// A context begins: it is probed when nothing is pending from the last one.
template <class Matcher>
void Scan<Matcher>::TakeSnapshot() {
  probe_.snapshotDue = false;
  probe_.active = pending_.hits.empty() && counts_.counted.empty() && pending_.wordsClosed == 0 &&
                  pending_.wordCloses.empty() && matcher_.Idle();
  if (!probe_.active) return;
  probe_.found = 0;
  probe_.start = cursor_;
}

// The probe's own loop over letters and passed-over symbols; the general
// steps take separators and letters where a substitution rule is at work.
// The last byte is left to the general steps (it has no byte after it).
template <class Matcher>
void Scan<Matcher>::ProbeRun() {
  const auto& probeByte = plan_.probe.probeByte;
  Cursor& c = cursor_;
  while (c.offset + 1 < size_) {
    const unsigned char b = bytes_[c.offset];
    const uint8_t f = probeByte[b];
    if (f == 0) break;
    if (f == 1) {
      if (settings_.Substitute && (c.substituterBusy || RuleMayMatchAt(c.offset))) break;
      EnterLetter();
      const unsigned char k = plan_.bytes.plainK[b];
      if (k != 0 && ProbeLetter(k)) break;
    }
    StepOver();
  }
}

// A comparison character while probing: true once every string without
// exclusion has occurred (the context is then scanned again in full).
template <class Matcher>
bool Scan<Matcher>::ProbeLetter(unsigned char k) {
  if constexpr (Matcher::kProbes) {
    probe_.found |= plan_.probe.keptEndingAt[matcher_.ProbeStep(k)];
    probe_.rewindDue = probe_.found == plan_.probe.allKept;
  }
  return probe_.rewindDue;
}

// Every string of the context may be there: back to its start, to scan it
// in full this time.
template <class Matcher>
void Scan<Matcher>::Rewind() {
  probe_.rewindDue = false;
  probe_.active = false;
  cursor_ = probe_.start;
  matcher_.Reset();
}

bool SearchDocument(const SearchPlan& plan, std::string_view text, HitSink& sink, const ScanControl& control) {
  const PlanTables& tables = plan.Tables();
  switch (tables.keys.matcher) {
    case MatcherKind::Automaton:
      return Scan<AutomatonMatcher>(tables, text, sink, control).Run();
    case MatcherKind::Trie:
      return Scan<TrieMatcher>(tables, text, sink, control).Run();
    case MatcherKind::PerString:
      return Scan<PerStringMatcher>(tables, text, sink, control).Run();
  }
  return true;
}

void SearchDocument(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
                    const cFilterList& filters, std::string_view text, HitSink& sink, MatchMode mode) {
  SearchDocument(SearchPlan(rules, settings, strings, filters, mode), text, sink);
}

}  // namespace kalix
