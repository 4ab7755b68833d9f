// The rules applied to pending hits when their word, their context or their
// flush comes: position rules, exclusions, "all strings", "in order", filters.
#include "search/Engine.h"
#include "search/ScanState.h"

namespace kalix {

namespace {

// Whether the position rule of a string drops a hit once its word's end is known.
bool DroppedAtWordEnd(int16_t position, const PendingHit& h, bool atEnd) {
  switch (position) {
    case kWordEnd:
      return !atEnd;
    case kWordMiddle:
      return h.AtWordStart || atEnd;
    case kWholeWord:
      return !(h.AtWordStart && atEnd);
    default:
      return false;
  }
}

// "In order": the roots' first hits in the pending list come in the order
// of the strings.
bool InOrder(const cTTargetList& pending, const cArrowList& strings, StringCounts& counts) {
  int32_t last = 0;
  for (const PendingHit& h : pending) {
    const size_t n = static_cast<size_t>(h.String);
    if (strings[n].HasSource() || !counts.orderPending[n]) continue;
    counts.orderPending[n] = 0;
    if (strings[n].Index < last) return false;
    last = strings[n].Index;
  }
  return true;
}

}  // namespace

void CloseWordFrom(const cArrowList& strings, StringCounts& counts, cTTargetList& pending, size_t from,
                   int32_t lastLetter, int cls) {
  const uint8_t ends = EndsAt(cls);
  size_t w = from;
  for (size_t r = from; r < pending.size(); ++r) {
    PendingHit& h = pending[r];
    const uint8_t unknown = ends & ~h.KnownEnds;
    if (unknown & kWordEndKnown) h.WordEnd = lastLetter;
    if (unknown & kSentenceEndKnown) h.SentenceEnd = lastLetter;
    if (unknown & kParagraphEndKnown) h.ParagraphEnd = lastLetter;
    h.KnownEnds |= ends;
    if (h.WordEndAt < 0) {
      h.WordEndAt = lastLetter;
      const bool atEnd = h.StartAt + h.ByteLength - 1 == lastLetter;
      if (DroppedAtWordEnd(strings[static_cast<size_t>(h.String)].Position, h, atEnd)) {
        --counts.found[static_cast<size_t>(h.String)];
        continue;
      }
    }
    if (w != r) pending[w] = h;
    ++w;
  }
  pending.resize(w);
}

void SetContextLengths(cTTargetList& pending, int32_t view, int32_t offset) {
  for (PendingHit& h : pending) {
    if (h.ContextOffsetLength != 0) continue;
    h.ContextOffsetLength = offset - h.ContextStartOffset + 1;
    h.ContextViewLength = view - h.ContextStartView + 1;
  }
}

bool ContextAccepted(const SearchSettings& settings, const cTTargetList& pending, const cArrowList& strings,
                     const std::vector<int32_t>& roots, size_t keptRoots, StringCounts& counts) {
  if (pending.empty()) return false;
  std::vector<int32_t>& found = counts.found;
  // Variants count for their source.
  bool sourced = false;
  for (int32_t n : counts.counted) {
    const SearchString& s = strings[static_cast<size_t>(n)];
    if (found[static_cast<size_t>(n)] != 0 && s.HasSource()) {
      found[static_cast<size_t>(s.Source)] = 1;
      found[static_cast<size_t>(n)] = 0;
      sourced = true;
    }
  }
  bool result = true;
  if (!settings.InOrder && !sourced) {
    // The roots with counts are among the counted strings (one listed
    // twice is seen once: its count is 0 after the first visit); every
    // other root has a count of 0.
    size_t kept = 0;  // roots found that are not excluded
    for (int32_t n : counts.counted) {
      const SearchString& s = strings[static_cast<size_t>(n)];
      if (s.HasSource() || found[static_cast<size_t>(n)] <= 0) continue;
      if (s.Exclude != 0) {
        result = false;
      } else {
        ++kept;
      }
      found[static_cast<size_t>(n)] = 0;
    }
    return result && !(settings.AllStrings && kept != keptRoots);
  }
  for (int32_t n : roots) {
    const SearchString& s = strings[static_cast<size_t>(n)];
    const bool present = found[static_cast<size_t>(n)] > 0;
    if (present && s.Exclude != 0) result = false;
    if (settings.AllStrings && !present && s.Exclude == 0) result = false;
    found[static_cast<size_t>(n)] = 0;
    counts.orderPending[static_cast<size_t>(n)] = 1;
  }
  if (settings.InOrder && result) result = InOrder(pending, strings, counts);
  return result;
}

bool PassesFilters(const RuleSet& rules, std::string_view text, int32_t wordAt, int32_t wordLength,
                   bool skipSymbols, const cFilterList& filters) {
  for (const FilterPattern& f : filters) {
    const int32_t length = static_cast<int32_t>(f.Text.size());
    if (length > wordLength) continue;
    switch (f.Anchor) {
      case kAnchorNone:
        return true;
      case kAnchorStart:
        if (PatternMatchesAt(rules, text, static_cast<size_t>(wordAt), f.Text, skipSymbols)) return true;
        break;
      case kAnchorEnd: {
        // From the byte after the word, step back over `length` letters.
        int64_t p = static_cast<int64_t>(wordAt) + wordLength;
        int32_t passed = 0;
        bool inside = true;
        while (passed < length) {
          if (p <= 0) {
            inside = false;  // the text begins first: no match
            break;
          }
          --p;
          if (p < static_cast<int64_t>(text.size()) &&
              rules.SeparatorClass[static_cast<unsigned char>(text[static_cast<size_t>(p)])] == kLetter) {
            ++passed;
          }
        }
        if (inside && PatternMatchesAt(rules, text, static_cast<size_t>(p), f.Text, skipSymbols)) return true;
        break;
      }
      default:  // anchored at both ends: never decides
        break;
    }
  }
  return false;
}

}  // namespace kalix
