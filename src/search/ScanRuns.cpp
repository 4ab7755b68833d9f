// The runs of a scan: stretches of the text passed over at once because
// nothing in them can change the matching, with their word bookkeeping.
#include "search/ScanState.h"

namespace kalix {

namespace {

// Passes four bytes at a time over the bytes of a quiet run (`pass`: see
// ByteTables::passIdle) while the four all belong to it, up to `end`.
inline void PassFours(const uint8_t* pass, const unsigned char* bytes, int32_t end, int32_t& at, int32_t& view) {
  while (at + 4 <= end) {
    const uint8_t f0 = pass[static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1]];
    const uint8_t f1 = pass[static_cast<size_t>(bytes[at + 1]) << 8 | bytes[at + 2]];
    const uint8_t f2 = pass[static_cast<size_t>(bytes[at + 2]) << 8 | bytes[at + 3]];
    const uint8_t f3 = pass[static_cast<size_t>(bytes[at + 3]) << 8 | bytes[at + 4]];
    if (!(f0 & f1 & f2 & f3 & 1)) break;
    view += 4 + (f0 >> 1) + (f1 >> 1) + (f2 >> 1) + (f3 >> 1);
    at += 4;
  }
}

}  // namespace

// The run is found first (one table load per byte); the word bookkeeping is
// then done once for the run, from the bytes around its last word. A letter
// where a substitution rule may begin lets the run go on over the bytes the
// rule takes when none of its output begins a key.
void ScanCore::QuietRun() {
  const bool idle = pending_.hits.empty() && counts_.counted.empty();
  const uint8_t* pass = idle ? plan_.bytes.passIdle.data() : plan_.bytes.passBusy.data();
  int32_t view = cursor_.view;
  int32_t at = cursor_.offset;
  // The last byte is left to the general steps (it has no byte after it).
  const int32_t end = size_ - 1;
  // Many runs are empty: one byte is tried before four.
  if (at < end && (pass[static_cast<size_t>(bytes_[at]) << 8 | bytes_[at + 1]] & 1)) {
    PassFours(pass, bytes_, end, at, view);
  }
  for (;;) {
    while (at < end) {
      const uint8_t f = pass[static_cast<size_t>(bytes_[at]) << 8 | bytes_[at + 1]];
      if (!(f & 1)) break;
      view += 1 + (f >> 1);
      ++at;
    }
    if (at >= end || !(plan_.bytes.quiet[bytes_[at]] & kQuiet) || !plan_.bytes.quietRuleStart[bytes_[at]]) break;
    const int32_t span = QuietRuleSpan(at);
    if (span == 0 || at + span > end) break;
    for (int32_t p = at; p < at + span; ++p) view += Views(p);
    at += span;
    PassFours(pass, bytes_, end, at, view);
  }
  if (at > cursor_.offset) RunBookkeeping(cursor_.offset, cursor_.view, at, view);
  cursor_.offset = at;
  cursor_.view = view;
}

// At a letter whose plain comparison character begins no key, with the
// transducer free: the number of bytes that the transducer's steps from
// here leave without effect on the matching (the rule taken here and the
// bytes it takes, all letters; or this byte alone when no rule matches),
// or 0 when they may have one.
int32_t ScanCore::QuietRuleSpan(int32_t at) const {
  const RuleSet& rules = plan_.rules;
  const unsigned char up = rules.UpperMap[bytes_[at]];
  const SubstRuleIndex& index = plan_.bytes.substIndex;
  for (const int32_t* r = index.begin(up); r != index.end(up); ++r) {
    const SubstRule& rule = rules.SubstRules[static_cast<size_t>(*r)];
    if (!detail::IndexedRuleMatchesAt(rules, text_, static_cast<size_t>(at), rule)) continue;
    if (!plan_.bytes.quietRule[static_cast<size_t>(*r)]) return 0;
    const int32_t m = rule.MatchLength();
    if (at + m > size_) return 0;
    for (int32_t q = at; q < at + m; ++q) {
      if (!IsLetter(q)) return 0;
    }
    return m;
  }
  return 1;
}

// Only the first letter of the run, and the bytes from the last word
// separator before its last letter on, can change anything that outlives
// the run: the first letter after a separator opens the units, the last
// letter is remembered, word separators raise the boundary level. The run's
// separators are all of the word class.
void ScanCore::RunBookkeeping(int32_t from, int32_t fromView, int32_t to, int32_t toView) {
  UnitTracker& units = cursor_.units;
  int32_t lastLetter = to - 1;
  while (lastLetter >= from && !IsLetter(lastLetter)) --lastLetter;
  if (lastLetter < from) {
    PassBreaks(from, to);
    return;
  }
  int32_t brk = lastLetter - 1;
  while (brk >= from && !IsBreak(brk)) --brk;
  int32_t first = from;
  int32_t firstView = fromView;
  while (!IsLetter(first)) {
    if (IsBreak(first)) units.Separator(kWordSeparator);
    firstView += Views(first);
    ++first;
  }
  if (units.Letter(first, firstView)) StartContext();
  if (brk > first) {
    // A word separator after it: the last word of the run begins at the
    // first letter after `brk` (the words between change nothing that its
    // opening does not set again).
    int32_t word = brk + 1;
    while (!IsLetter(word)) ++word;
    int32_t wordView = toView;
    for (int32_t p = word; p < to; ++p) wordView -= Views(p);
    units.Separator(kWordSeparator);
    if (units.Letter(word, wordView)) StartContext();
  }
  units.InnerLetter(lastLetter);
  PassBreaks(lastLetter + 1, to);
}

void ScanCore::PassBreaks(int32_t from, int32_t to) {
  for (int32_t p = from; p < to; ++p) {
    if (IsBreak(p)) cursor_.units.Separator(kWordSeparator);
  }
}

}  // namespace kalix
