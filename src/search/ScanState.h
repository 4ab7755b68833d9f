// The state of one document scan, in named parts: the cursor over words,
// sentences and paragraphs, the per-string counts of the current context,
// and the pending hits. The steps that read and change them are in
// search/Scan.h; the tables they read are the plan's (search/SearchPlan.h).
#pragma once

#include "search/HitSink.h"
#include "search/Normalize.h"
#include "search/SearchPlan.h"
#include "search/SearchSpec.h"
#include "search/Units.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kalix {

// Where the scan stands in the text. A copy is the whole scan position:
// going back to a context's start is one assignment.
struct Cursor {
  int32_t offset = 0;  // the byte being looked at
  int32_t view = 0;    // its view position (a line break counts two)
  UnitTracker units;
  // Where the chosen context began.
  int32_t contextOffset = 0;
  int32_t contextView = -1;
  Substituter substituter;
  bool substituterBusy = false;  // a substitution rule is being applied
};

// The start values of a match beginning at one comparison character.
struct MatchStart {
  int32_t at = 0;
  int32_t view = 0;
  int32_t wordStart = 0, sentenceStart = 0, paragraphStart = 0;
  int32_t contextOffset = 0, contextView = 0;
  bool atWordStart = false;
};

// The matches completed per string in the current context.
struct StringCounts {
  std::vector<int32_t> found;    // per string
  std::vector<int32_t> counted;  // strings whose count may be non-zero
  // Per string, scratch of "in order": a root not seen yet in the pending hits.
  std::vector<uint8_t> orderPending;

  explicit StringCounts(size_t strings) : found(strings, 0), orderPending(strings, 0) {}
  void Add(int32_t n) {
    if (found[static_cast<size_t>(n)]++ == 0) counted.push_back(n);
  }
  void Reset() {
    for (int32_t n : counted) found[static_cast<size_t>(n)] = 0;
    counted.clear();
  }
};

// The completed matches waiting for the end of their word and context.
struct PendingHits {
  // A word end recorded, not applied yet (see StringTables::deferWords):
  // the hits before `upTo` (and after the previous record's) ended their
  // word at `lastLetter`.
  struct WordClose {
    size_t upTo;
    int32_t lastLetter;
  };
  cTTargetList hits;
  size_t wordsClosed = 0;  // leading hits whose word has ended
  std::vector<WordClose> wordCloses;
  size_t deferredFrom = 0;  // the first hit of the first record

  void Clear() {
    hits.clear();
    wordsClosed = 0;
    wordCloses.clear();
  }
};

// The fast runs of one scan: whether they are still tried (they are given
// up for the rest of the text when the first runs are short), and the stop
// bytes of the 64-byte block last looked at, so that stops close together
// cost a bit scan each, not a vector scan.
struct FastRunState {
  bool enabled = false;
  int32_t tries = 0;
  int64_t passed = 0;
  int32_t blockAt = -64;
  uint64_t blockStops = 0;
};

// What every step of a scan shares: the plan, the text, the sink, and the
// state above. The steps that do not depend on how matches are followed
// are members here; Scan<Matcher> adds the others.
class ScanCore {
 public:
  ScanCore(const PlanTables& plan, std::string_view text, HitSink& sink);

  // A match of string `n` began at `start` and ends at the cursor's byte.
  inline __attribute__((always_inline)) void CompleteMatch(int32_t n, const MatchStart& start);
  // The start values of a match beginning at the cursor's byte.
  MatchStart StartHere() const {
    const Cursor& c = cursor_;
    return MatchStart{c.offset,          c.view,          c.units.word, c.units.sentence, c.units.paragraph,
                      c.contextOffset, c.contextView, c.offset == c.units.word};
  }
  const PlanTables& Plan() const { return plan_; }
  const Cursor& Position() const { return cursor_; }

 protected:
  // A letter has opened units: the chosen context begins with them when
  // it is one of them.
  inline __attribute__((always_inline)) void StartContext();
  // The word bookkeeping of a quiet or fast run over [from, to), as if its
  // bytes were taken one by one.
  void RunBookkeeping(int32_t from, int32_t fromView, int32_t to, int32_t toView);
  // The word separators among the letters and symbols of [from, to).
  void PassBreaks(int32_t from, int32_t to);
  inline void FastRunBookkeeping(int32_t from, int32_t fromView, int32_t to);
  // A quiet run from the cursor: letters and symbols that start no match
  // and no substitution rule and, while nothing is pending, word separators.
  void QuietRun();
  int32_t QuietRuleSpan(int32_t at) const;
  inline bool RuleMayMatchAt(int32_t at) const;
  // A fast run from the cursor (automaton only): the cursor stops at the
  // next stop byte where a key may begin, or at the text's end.
  void FastRun();
  inline int32_t NextStop(int32_t at);
  inline bool KeyMayBeginAt(int32_t at) const;
  // The letter at the cursor opens the units that the separators before it
  // ended, and is the last letter.
  void EnterLetter() {
    if (cursor_.units.Letter(cursor_.offset, cursor_.view)) StartContext();
  }
  // The cursor steps past its byte (a line break counts two view positions).
  void StepOver() {
    cursor_.view += Views(cursor_.offset);
    ++cursor_.offset;
  }
  // The comparison character of the letter at the cursor.
  inline __attribute__((always_inline)) unsigned char CompareLetter(unsigned char b);
  // At a separator of class `cls`: the word ends; at a context end the
  // context's verdict (true: its hits are flushed); the flush of the
  // pending hits into the sink.
  void CloseWord(int cls, bool contextEnd);
  bool EndContext(int cls);
  void FlushPending();
  void ApplyWordCloses();
  bool IsLetter(int32_t at) const { return (plan_.bytes.quiet[bytes_[at]] & kIsLetter) != 0; }
  bool IsBreak(int32_t at) const { return (plan_.bytes.quiet[bytes_[at]] & kWordBreak) != 0; }
  int32_t Views(int32_t at) const { return 1 + ((plan_.bytes.quiet[bytes_[at]] & kTwoViews) >> 2); }

  const PlanTables& plan_;
  const SearchSettings& settings_;
  std::string_view text_;
  const unsigned char* bytes_;
  int32_t size_;
  HitSink& sink_;
  Cursor cursor_;
  StringCounts counts_;
  PendingHits pending_;
  FastRunState fast_;
};

inline void ScanCore::CompleteMatch(int32_t n, const MatchStart& start) {
  counts_.Add(n);
  PendingHit& h = pending_.hits.emplace_back();
  h.String = n;
  h.WordStartAt = start.wordStart;
  h.WordEndAt = -1;
  h.StartAt = start.at;
  h.ParagraphStart = start.paragraphStart;
  h.SentenceStart = start.sentenceStart;
  h.WordStart = start.wordStart;
  h.StartView = start.view;
  h.ViewLength = cursor_.view - start.view + 1;
  h.ByteLength = cursor_.offset - start.at + 1;
  h.StringIndex = n;
  h.ContextStartView = start.contextView;
  h.ContextViewLength = 0;
  h.ContextStartOffset = start.contextOffset;
  h.ContextOffsetLength = 0;
  h.AtWordStart = start.atWordStart;
  h.KnownEnds = 0;
}

inline unsigned char ScanCore::CompareLetter(unsigned char b) {
  const int32_t at = cursor_.offset;
  if (settings_.Substitute && (cursor_.substituterBusy || RuleMayMatchAt(at))) {
    const unsigned char k = SubstituteAt(plan_.rules, plan_.bytes.substIndex, cursor_.substituter, text_,
                                         static_cast<size_t>(at));
    cursor_.substituterBusy = cursor_.substituter.PendingOutput != 0 || cursor_.substituter.Skip != 0;
    return k;
  }
  return plan_.bytes.plainK[b];
}

inline bool ScanCore::RuleMayMatchAt(int32_t at) const {
  const ByteTables& t = plan_.bytes;
  if (at + 1 >= size_) return t.ruleMayStart[bytes_[at]] && t.substIndex.MayMatch(plan_.rules.UpperMap[bytes_[at]], 0);
  const size_t x = static_cast<size_t>(bytes_[at]) << 8 | bytes_[at + 1];
  return (t.rulePair[x >> 6] >> (x & 63)) & 1;
}

inline void ScanCore::StartContext() {
  const UnitTracker& u = cursor_.units;
  switch (settings_.Context) {
    case 1:
      cursor_.contextOffset = u.word;
      cursor_.contextView = u.wordView;
      break;
    case 2:
      cursor_.contextOffset = u.sentence;
      cursor_.contextView = u.sentenceView;
      break;
    case 3:
      cursor_.contextOffset = u.paragraph;
      cursor_.contextView = u.paragraphView;
      break;
    default:
      break;
  }
}

// The rules applied at word and context ends (search/ContextRules.cpp).
// At a separator of class `cls`: records ends in the pending hits from
// `from` on and applies the position rules that need the word's end;
// discarded hits leave the list and their string's count.
void CloseWordFrom(const cArrowList& strings, StringCounts& counts, cTTargetList& pending, size_t from,
                   int32_t lastLetter, int cls);
// At a context end: the context lengths of the hits that have none yet.
void SetContextLengths(cTTargetList& pending, int32_t view, int32_t offset);
// At a context end: exclusions, "all strings" and "in order". The counts
// are 0 afterwards.
bool ContextAccepted(const SearchSettings& settings, const cTTargetList& pending, const cArrowList& strings,
                     const std::vector<int32_t>& roots, size_t keptRoots, StringCounts& counts);

}  // namespace kalix
