#include "search/Engine.h"

#include <array>
#include <unordered_set>

namespace kalix {

namespace {

// Appends the pending hit of a completed candidate of string `n`.
void CompleteMatch(cArrowList& strings, int32_t n, const MatchCandidate& c, ScanState& state) {
  SearchString& s = strings[static_cast<size_t>(n)];
  if (s.FoundCount++ == 0) state.Counted.push_back(n);
  PendingHit& h = state.Pending.emplace_back();
  h.String = n;
  h.WordStartAt = c.WordStartAt;
  h.WordEndAt = -1;
  h.StartAt = c.StartAt;
  h.ParagraphStart = c.ParagraphStart;
  h.SentenceStart = c.SentenceStart;
  h.WordStart = c.WordStart;
  h.StartView = c.StartView;
  h.ViewLength = state.CurrentView - c.StartView + 1;
  h.ByteLength = state.CurrentAt - c.StartAt + 1;
  h.StringIndex = n;
  h.ContextStartView = c.ContextStartView;
  h.ContextViewLength = 0;
  h.ContextStartOffset = c.ContextStartOffset;
  h.ContextOffsetLength = 0;
  h.AtWordStart = c.AtWordStart;
  h.KnownEnds = 0;
}

// ContextAccepted over the strings that may have counts (`counted`) and the
// strings without a source (`roots`), in list order.
bool Accepted(const SearchSettings& settings, const cTTargetList& pending, cArrowList& strings,
              const std::vector<int32_t>& counted, const std::vector<int32_t>& roots) {
  if (pending.empty()) return false;
  // Variants count for their source.
  for (int32_t n : counted) {
    SearchString& s = strings[static_cast<size_t>(n)];
    if (s.FoundCount != 0 && s.HasSource()) {
      strings[static_cast<size_t>(s.Source)].FoundCount = 1;
      s.FoundCount = 0;
    }
  }
  bool result = true;
  for (int32_t n : roots) {
    SearchString& s = strings[static_cast<size_t>(n)];
    bool found = s.FoundCount > 0;
    if (found && s.Exclude != 0) result = false;
    if (settings.AllStrings && !found && s.Exclude == 0) result = false;
    s.FoundCount = 0;
    s.OrderPending = true;
  }
  if (settings.InOrder) {
    int32_t last = 0;
    for (size_t i = 0; i < pending.size() && result; ++i) {
      SearchString& s = strings[static_cast<size_t>(pending[i].String)];
      if (s.HasSource() || !s.OrderPending) continue;
      s.OrderPending = false;
      result = s.Index >= last;
      last = s.Index;
    }
  }
  return result;
}

}  // namespace

bool MatchChar(cArrowList& strings, int32_t n, unsigned char k, ScanState& state) {
  const std::string& key = strings[static_cast<size_t>(n)].Key;
  if (key.empty()) return false;
  const int32_t length = static_cast<int32_t>(key.size());
  std::vector<MatchCandidate>& cands = state.Candidates[static_cast<size_t>(n)];
  if (!cands.empty()) {
    // The oldest candidate is the only one that can complete here.
    size_t w = 0;
    for (size_t r = 0; r < cands.size(); ++r) {
      MatchCandidate& c = cands[r];
      if (static_cast<unsigned char>(key[static_cast<size_t>(c.Progress)]) != k) continue;
      if (++c.Progress == length) {
        MatchCandidate done = c;
        cands.clear();
        CompleteMatch(strings, n, done, state);
        return true;
      }
      if (w != r) cands[w] = c;
      ++w;
    }
    cands.resize(w);
  }
  if (static_cast<unsigned char>(key[0]) != k) return false;
  // A match may begin here if the position rule allows it.
  bool atWordStart = state.CurrentAt == state.WordStartAt;
  int16_t position = strings[static_cast<size_t>(n)].Position;
  if ((position == kWordStart || position == kWholeWord) && !atWordStart) return false;
  if (position == kWordMiddle && atWordStart) return false;
  MatchCandidate c;
  c.Progress = 1;
  c.StartAt = state.CurrentAt;
  c.StartView = state.CurrentView;
  c.ContextStartView = state.ContextStartView;
  c.ContextStartOffset = state.ContextStartOffset;
  c.WordStartAt = state.WordStartAt;
  c.ParagraphStart = state.ParagraphStart;
  c.SentenceStart = state.SentenceStart;
  c.WordStart = state.WordStart;
  c.AtWordStart = atWordStart;
  if (length == 1) {
    cands.clear();
    CompleteMatch(strings, n, c, state);
    return true;
  }
  cands.push_back(c);
  return false;
}

void ResetStrings(cArrowList& strings, ScanState& state) {
  for (int32_t n : state.Counted) strings[static_cast<size_t>(n)].FoundCount = 0;
  state.Counted.clear();
  for (int32_t n : state.Active) state.Candidates[static_cast<size_t>(n)].clear();
  state.Active.clear();
}

void CloseWord(cArrowList& strings, cTTargetList& pending, int32_t lastLetterAt, int32_t lastLetterOffset,
               int cls) {
  size_t w = 0;
  for (size_t r = 0; r < pending.size(); ++r) {
    PendingHit& h = pending[r];
    if (!(h.KnownEnds & kWordEndKnown)) {
      h.WordEnd = lastLetterOffset;
      h.KnownEnds |= kWordEndKnown;
    }
    if (cls >= kSentenceSeparator && !(h.KnownEnds & kSentenceEndKnown)) {
      h.SentenceEnd = lastLetterOffset;
      h.KnownEnds |= kSentenceEndKnown;
    }
    if (cls >= kParagraphSeparator && !(h.KnownEnds & kParagraphEndKnown)) {
      h.ParagraphEnd = lastLetterOffset;
      h.KnownEnds |= kParagraphEndKnown;
    }
    if (h.WordEndAt < 0) {
      h.WordEndAt = lastLetterAt;
      bool atEnd = h.StartAt + h.ByteLength - 1 == lastLetterAt;
      SearchString& s = strings[static_cast<size_t>(h.String)];
      bool discard = (s.Position == kWordEnd && !atEnd) ||
                     (s.Position == kWordMiddle && (h.AtWordStart || atEnd)) ||
                     (s.Position == kWholeWord && !(h.AtWordStart && atEnd));
      if (discard) {
        --s.FoundCount;
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

bool ContextAccepted(const SearchSettings& settings, const cTTargetList& pending, cArrowList& strings) {
  std::vector<int32_t> all;
  std::vector<int32_t> roots;
  for (size_t n = 0; n < strings.size(); ++n) {
    all.push_back(static_cast<int32_t>(n));
    if (!strings[n].HasSource()) roots.push_back(static_cast<int32_t>(n));
  }
  return Accepted(settings, pending, strings, all, roots);
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

void SearchDocument(const RuleSet& rules, const SearchSettings& settings, cArrowList& strings,
                    const cFilterList& filters, std::string_view text, HitSink& sink) {
  ScanState st(strings.size());
  const bool noFilters = filters.empty();
  for (SearchString& s : strings) {
    s.FoundCount = 0;
    s.Progress = 0;
  }
  // The strings a comparison character can start, by character, in list order.
  std::array<std::vector<int32_t>, 256> byFirst;
  std::vector<int32_t> roots;
  for (size_t n = 0; n < strings.size(); ++n) {
    if (!strings[n].Key.empty()) byFirst[static_cast<unsigned char>(strings[n].Key[0])].push_back(static_cast<int32_t>(n));
    if (!strings[n].HasSource()) roots.push_back(static_cast<int32_t>(n));
  }
  const SubstRuleIndex substIndex(rules);
  Substituter substituter;
  const auto& cls = rules.SeparatorClass;
  const auto& upper = rules.UpperMap;
  const int16_t context = settings.Context;
  const bool fold = settings.FoldCase;
  const bool substitute = settings.Substitute;
  const bool skipSymbols = settings.SkipSymbols;

  int level = kParagraphSeparator;
  int32_t lastLetterAt = 0;
  int32_t lastLetterOffset = 0;
  int32_t j = 0;
  std::vector<int32_t> nextActive;
  const int32_t size = static_cast<int32_t>(text.size());
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());

  for (int32_t i = 0; i < size; ++i) {
    const unsigned char c = bytes[i];
    const int cl = cls[c];
    if (cl >= kWordSeparator) {
      if (cl >= kSentenceSeparator) sink.CloseOccurrences(lastLetterOffset, cl);
      if (!st.Pending.empty()) CloseWord(strings, st.Pending, lastLetterAt, lastLetterOffset, cl);
      if (cl > level) level = cl;
      bool flush = context == 0;
      if (context != 0 && cl > context) {
        flush = false;
        if (!st.Pending.empty()) {
          SetContextLengths(st.Pending, j, i);
          flush = Accepted(settings, st.Pending, strings, st.Counted, roots);
          if (!flush) st.Pending.clear();
        }
        ResetStrings(strings, st);
      }
      if (flush && (!settings.IgnoreSeparators || cl >= kSentenceSeparator)) {
        if (!st.Pending.empty()) {
          for (const PendingHit& h : st.Pending) {
            int32_t wordLength = h.WordEndAt - h.WordStartAt + 1;
            if (noFilters || PassesFilters(rules, text, h.WordStartAt, wordLength, skipSymbols, filters)) {
              sink.AddTarget(h, wordLength);
            }
          }
          st.Pending.clear();
          sink.EndBatch();
        }
        ResetStrings(strings, st);
      }
    } else if (cl == kLetter || !skipSymbols) {
      unsigned char k = c;
      if (substitute) {
        k = SubstituteAt(rules, substIndex, substituter, text, static_cast<size_t>(i));
      } else if (fold) {
        k = upper[c];
      }
      if (level != 0) {
        if (level >= kParagraphSeparator) {
          st.ParagraphStart = i;
          st.ParagraphStartView = j;
        }
        if (level >= kSentenceSeparator) {
          st.SentenceStart = i;
          st.SentenceStartView = j;
        }
        st.WordStartAt = i;
        st.WordStart = i;
        st.WordStartView = j;
        if (context == 1) {
          st.ContextStartOffset = st.WordStart;
          st.ContextStartView = st.WordStartView;
        } else if (context == 2) {
          st.ContextStartOffset = st.SentenceStart;
          st.ContextStartView = st.SentenceStartView;
        } else if (context == 3) {
          st.ContextStartOffset = st.ParagraphStart;
          st.ContextStartView = st.ParagraphStartView;
        }
        level = 0;
      }
      lastLetterAt = i;
      lastLetterOffset = i;
      if (k != 0) {
        const std::vector<int32_t>& starters = byFirst[k];
        if (!st.Active.empty() || !starters.empty()) {
          st.CurrentAt = i;
          st.CurrentView = j;
          // Visit the strings with candidates and those that k can start,
          // merged in list order.
          nextActive.clear();
          size_t a = 0, b = 0;
          const size_t na = st.Active.size(), nb = starters.size();
          while (a < na || b < nb) {
            int32_t n;
            if (b >= nb || (a < na && st.Active[a] < starters[b])) {
              n = st.Active[a++];
            } else if (a >= na || starters[b] < st.Active[a]) {
              n = starters[b++];
            } else {
              n = st.Active[a++];
              ++b;
            }
            MatchChar(strings, n, k, st);
            if (!st.Candidates[static_cast<size_t>(n)].empty()) nextActive.push_back(n);
          }
          st.Active.swap(nextActive);
        }
      }
    }
    j += (c == '\n' || c == '\r') ? 2 : 1;
  }
  // Hits still pending at the end of the text produce no target.
  ResetStrings(strings, st);
}

bool ExpandGenerated(const MorvaRules& morva, cArrowList& strings, int level, std::vector<size_t>* boundedAt) {
  bool bounded = false;
  std::unordered_set<std::string> keys;
  for (const SearchString& s : strings) keys.insert(s.Key);
  const size_t present = strings.size();
  for (size_t n = 0; n < present; ++n) {
    const std::string key = strings[n].Key;
    VariantList variants = GenerateVariants(morva, key, level);
    if (variants.bounded) {
      bounded = true;
      if (boundedAt) boundedAt->push_back(n);
    }
    if (variants.variants.size() <= 1) continue;
    for (const std::string& v : variants.variants) {
      if (v == key || keys.count(v) != 0) continue;
      SearchString copy = strings[n];
      copy.Source = static_cast<int32_t>(n);
      copy.Text.clear();
      copy.TextLength = 0;
      copy.SetKey(v);
      keys.insert(v);
      strings.push_back(std::move(copy));
    }
  }
  return bounded;
}

}  // namespace kalix
