// Fast runs (automaton only): with the transducer free and no partial
// match, the scan passes over every byte up to the next stop byte (see
// FastRunTables) by one vector scan, then does the word bookkeeping of the
// run once, from bit masks of its last 64 bytes.
#include "search/ScanState.h"

namespace kalix {

// Fast runs pay off when stop bytes are rare in the text: they are given up
// for the rest of it when the first kTrial runs pass fewer than
// kTrialBytes bytes each on average.
constexpr int32_t kTrial = 4096;
constexpr int64_t kTrialBytes = 8;

// The next stop byte at or after `at`, or the text's end.
inline __attribute__((always_inline)) int32_t ScanCore::NextStop(int32_t at) {
  const FastRunTables& t = plan_.fast;
  for (;;) {
    if (at >= fast_.blockAt && at - fast_.blockAt < 64) {
      const uint64_t ahead = fast_.blockStops >> (at - fast_.blockAt);
      if (ahead != 0) return at + __builtin_ctzll(ahead);
      at = fast_.blockAt + 64;
    }
    if (at + 66 > size_) return at + static_cast<int32_t>(t.stops.FindFirstPlain(bytes_ + at, static_cast<size_t>(size_ - at)));
    fast_.blockAt = at;
    // The text is read once, from memory: the blocks ahead are fetched
    // meanwhile.
    __builtin_prefetch(bytes_ + at + 512);
    __builtin_prefetch(bytes_ + at + 576);
    uint64_t at0[2], at1[2], at2[1];
    t.runBytes.Masks64(bytes_ + at, kHardStop, 2, at0);
    t.runBytes.Masks64(bytes_ + at + 1, kGoesOn1, 2, at1);
    t.runBytes.Masks64(bytes_ + at + 2, kGoesOn2, 1, at2);
    fast_.blockStops = at0[0] | (at0[1] & at1[0] & (at2[0] | at1[1]));
  }
}

// Whether a key may begin at a stop letter, from the letters after it: the
// comparison characters of the next letters are checked against the
// characters that keys hold at those places (any key), while the bytes are
// plain letters. A byte that is not (a symbol passed over, a letter with no
// comparison character or where a rule may begin, a separator that does
// not end the strings' matching, a line break) or the end of the text
// answers yes; a separator that resets the strings answers no.
inline __attribute__((always_inline)) bool ScanCore::KeyMayBeginAt(int32_t at) const {
  const FastRunTables& t = plan_.fast;
  const auto& plainK = plan_.bytes.plainK;
  const uint8_t g0 = t.gramClass[bytes_[at]];
  if (g0 == 0 || (g0 == kGramRuleStart && RuleMayMatchAt(at))) return true;
  if (!t.keyCharAt[0][plainK[bytes_[at]]]) return false;
  for (int k = 1; k < t.gramLength; ++k) {
    const int32_t q = at + k;
    if (q >= size_) return true;
    const uint8_t g = t.gramClass[bytes_[q]];
    if (g == kGramReset) return false;
    if (g == 0 || (g == kGramRuleStart && RuleMayMatchAt(q))) return true;
    if (!t.keyCharAt[static_cast<size_t>(k)][plainK[bytes_[q]]]) return false;
  }
  return true;
}

// RunBookkeeping for a fast run (one view position per byte), read from bit
// masks of the letters and word separators of the 64 bytes that end the
// run: the last letter, the last separator before it and the first letter
// after that, and the first letter of the run when the window holds the
// whole run. A run whose answers lie outside the window is done byte by
// byte.
inline void ScanCore::FastRunBookkeeping(int32_t from, int32_t fromView, int32_t to) {
  const int32_t base = to - 64;
  if (base < 0) return RunBookkeeping(from, fromView, to, fromView + (to - from));
  const bool whole = from >= base;  // the window holds the whole run
  const uint64_t valid = whole ? ~uint64_t{0} << (from - base) : ~uint64_t{0};
  uint64_t masks[2];
  plan_.fast.runBytes.Masks64(bytes_ + base, kRunLetter, 2, masks);
  const uint64_t letters = masks[0] & valid;
  const uint64_t breaks = masks[1] & valid;
  if (letters == 0 || !whole) {
    // Without a letter in the window, or with a first letter before it.
    const uint64_t below = letters == 0 ? 0 : breaks & ((uint64_t{1} << (63 - __builtin_clzll(letters))) - 1);
    if (letters == 0 || below == 0) return RunBookkeeping(from, fromView, to, fromView + (to - from));
  }
  const int lastBit = 63 - __builtin_clzll(letters);
  const int firstBit = __builtin_ctzll(letters);
  const uint64_t beforeLast = breaks & ((uint64_t{1} << lastBit) - 1);
  // The first letter of the run opens the units when a separator came
  // before it (before the run or in it).
  UnitTracker& units = cursor_.units;
  int32_t first = base + firstBit;
  if (whole) {
    if ((breaks & ((uint64_t{1} << firstBit) - 1)) != 0) units.Separator(kWordSeparator);
  } else {
    // The run begins before the window: its first letter is found byte by byte.
    first = from;
    while (!IsLetter(first)) {
      if (IsBreak(first)) units.Separator(kWordSeparator);
      ++first;
    }
  }
  if (units.Letter(first, fromView + (first - from))) StartContext();
  if (beforeLast != 0) {
    const int brkBit = 63 - __builtin_clzll(beforeLast);
    if (base + brkBit > first) {
      // The last word of the run begins at the first letter after it.
      const int wordBit = __builtin_ctzll(letters & ~((uint64_t{2} << brkBit) - 1));
      const int32_t word = base + wordBit;
      units.Separator(kWordSeparator);
      if (units.Letter(word, fromView + (word - from))) StartContext();
    }
  }
  units.InnerLetter(base + lastBit);
  if (lastBit < 63 && (breaks >> (lastBit + 1)) != 0) units.Separator(kWordSeparator);
}

void ScanCore::FastRun() {
  // Stop letters where no key can begin stay inside the run.
  int32_t stop = cursor_.offset;
  for (;;) {
    stop = NextStop(stop);
    if (stop >= size_ || !plan_.fast.hotLetter[bytes_[stop]] || KeyMayBeginAt(stop)) break;
    ++stop;
  }
  const int32_t n = stop - cursor_.offset;
  if (n > 0) FastRunBookkeeping(cursor_.offset, cursor_.view, stop);
  fast_.passed += n;
  if (++fast_.tries == kTrial && fast_.passed < int64_t{kTrial} * kTrialBytes) fast_.enabled = false;
  cursor_.offset = stop;
  cursor_.view += n;
}

}  // namespace kalix
