// The three ways a scan follows partial matches, each a class with the same
// face: `Step` feeds it the comparison character of the letter at the
// scan's cursor and completes the matches that end there, `Idle` tells that
// no partial match is in flight, `Reset` drops them all (at a context end or
// a flush). Scan<Matcher> (search/Scan.h) is built on each, so the choice
// costs nothing per letter.
#pragma once

#include "search/ScanState.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kalix {

// The place of each string's last completed match since the last reset:
// a match of a string may only begin after it (matches of one string never
// overlap).
class LastEnds {
 public:
  explicit LastEnds(size_t strings) : at_(strings, -1), epoch_(strings, 0) {}
  int32_t Of(int32_t n) const {
    return epoch_[static_cast<size_t>(n)] == epoch_now_ ? at_[static_cast<size_t>(n)] : -1;
  }
  void Set(int32_t n, int32_t at) {
    at_[static_cast<size_t>(n)] = at;
    epoch_[static_cast<size_t>(n)] = epoch_now_;
  }
  void Forget() { ++epoch_now_; }

 private:
  std::vector<int32_t> at_;
  std::vector<uint32_t> epoch_;
  uint32_t epoch_now_ = 1;
};

// By the automaton of all keys: every key ending at a character began its
// length ago, where a ring keeps the start values of the last characters.
class AutomatonMatcher {
 public:
  static constexpr bool kProbes = true;    // may probe contexts first
  static constexpr bool kFastRuns = true;  // may pass over stretches at once

  explicit AutomatonMatcher(const PlanTables& plan)
      : automaton_(plan.keys.automaton), ring_(plan.keys.ringSize), ringMask_(plan.keys.ringSize - 1),
        lastEnds_(plan.strings.size()) {}
  bool Idle() const { return state_ == 0; }
  void Reset() {
    state_ = 0;
    lastEnds_.Forget();
  }
  void Step(ScanCore& scan, unsigned char k) {
    ring_[compared_ & ringMask_] = scan.StartHere();
    ++compared_;
    state_ = automaton_.Next(state_, k);
    if (automaton_.HasOutput(state_)) Complete(scan);
  }
  // The probe follows the keys in the same automaton, noting only which end.
  uint32_t ProbeStep(unsigned char k) { return state_ = automaton_.Next(state_, k); }

 private:
  // Each key ending here completes its string when its position rule allowed
  // a match to begin where it began and the string's last match ended before.
  void Complete(ScanCore& scan) {
    const cArrowList& strings = scan.Plan().strings;
    for (auto o = automaton_.OutBegin(state_); o != automaton_.OutEnd(state_); ++o) {
      const int32_t n = o->first;
      const MatchStart& begin = ring_[(compared_ - static_cast<size_t>(o->second)) & ringMask_];
      if (!MayBeginAt(strings[static_cast<size_t>(n)].Position, begin.atWordStart)) continue;
      if (begin.at <= lastEnds_.Of(n)) continue;
      scan.CompleteMatch(n, begin);
      lastEnds_.Set(n, scan.Position().offset);
    }
  }

  const KeyAutomaton& automaton_;
  std::vector<MatchStart> ring_;
  size_t ringMask_;
  size_t compared_ = 0;
  uint32_t state_ = 0;
  LastEnds lastEnds_;
};

// In the tries of all keys: one partial match per place where a key may
// begin, following every key with that prefix.
class TrieMatcher {
 public:
  static constexpr bool kProbes = false;
  static constexpr bool kFastRuns = false;

  explicit TrieMatcher(const PlanTables& plan)
      : keys_(plan.keys), starts_(plan.bytes.starts), lastEnds_(plan.strings.size()) {}
  bool Idle() const { return live_.empty(); }
  void Reset() {
    live_.clear();
    startRecords_.clear();
    lastEnds_.Forget();
  }
  void Step(ScanCore& scan, unsigned char k) {
    if (starts_[k] || !live_.empty()) Advance(scan, k);
  }

 private:
  // A partial match: its node, which trie, and its start values (an index
  // into the start records of the current context).
  struct Candidate {
    uint32_t node;
    uint32_t start;
    bool atWordStartTrie;
  };
  void Advance(ScanCore& scan, unsigned char k);
  void Begin(ScanCore& scan, unsigned char k);
  void CompleteAll(ScanCore& scan);

  const StringTables& keys_;
  const std::array<bool, 256>& starts_;
  std::vector<Candidate> live_;
  std::vector<MatchStart> startRecords_;
  std::vector<std::pair<int32_t, uint32_t>> completions_;  // (string, start record)
  LastEnds lastEnds_;
};

// String by string: each string keeps its own candidates, oldest first.
// Candidates of one string all have the same length to go, so the oldest
// completes first and drops the others.
class PerStringMatcher {
 public:
  static constexpr bool kProbes = false;
  static constexpr bool kFastRuns = false;

  explicit PerStringMatcher(const PlanTables& plan)
      : keys_(plan.keys), firstStarts_(plan.bytes.byFirstStarts), candidates_(plan.strings.size()) {}
  bool Idle() const { return active_.empty(); }
  void Reset() {
    for (int32_t n : active_) candidates_[static_cast<size_t>(n)].clear();
    active_.clear();
  }
  void Step(ScanCore& scan, unsigned char k) {
    if (firstStarts_[k] || !active_.empty()) Visit(scan, k);
  }

 private:
  struct Candidate {
    int32_t progress;  // key characters matched so far
    MatchStart start;
  };
  // The strings with candidates and those that k can start, merged in list order.
  void Visit(ScanCore& scan, unsigned char k);
  // Feeds `k` to string `n`.
  void MatchChar(ScanCore& scan, int32_t n, unsigned char k);

  const StringTables& keys_;
  const std::array<bool, 256>& firstStarts_;
  std::vector<std::vector<Candidate>> candidates_;
  std::vector<int32_t> active_;  // strings with candidates, in list order
  std::vector<int32_t> nextActive_;
};

}  // namespace kalix
