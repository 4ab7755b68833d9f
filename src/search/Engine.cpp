#include "search/Engine.h"

#include "platform/ByteClasses.h"
#include "platform/ByteSet.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>

namespace kalix {

namespace {

// Fills `m` with the start values of a match beginning at the byte being
// compared (offset `at`, view position `view`): the units it lies in, as the
// scan has them. `m` is written in place (it is usually a slot of the ring of
// start values), field by field.
inline void StartHere(MatchCandidate& m, const ScanState& st, int32_t at, int32_t view) {
  m.Progress = 0;
  m.StartAt = at;
  m.StartView = view;
  m.ContextStartView = st.ContextStartView;
  m.ContextStartOffset = st.ContextStartOffset;
  m.WordStartAt = st.WordStartAt;
  m.ParagraphStart = st.ParagraphStart;
  m.SentenceStart = st.SentenceStart;
  m.WordStart = st.WordStart;
  m.AtWordStart = at == st.WordStartAt;
}

// Appends the pending hit of a completed candidate of string `n`.
inline __attribute__((always_inline)) void CompleteMatch(cArrowList& strings, int32_t n, const MatchCandidate& c,
                                                         ScanState& state) {
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
//
// With `ordersTouched` and without "in order", only the strings that may
// have counts are visited (`keptRoots`: the number of roots not excluded):
// every other root has a count of 0 already, and
// the OrderPending flags that every call sets on the roots are left to the
// caller (`*ordersTouched` becomes true: it sets them once, at the end).
bool Accepted(const SearchSettings& settings, const cTTargetList& pending, cArrowList& strings,
              const std::vector<int32_t>& counted, const std::vector<int32_t>& roots,
              bool* ordersTouched = nullptr, size_t keptRoots = 0) {
  if (pending.empty()) return false;
  // Variants count for their source.
  bool sourced = false;
  for (int32_t n : counted) {
    SearchString& s = strings[static_cast<size_t>(n)];
    if (s.FoundCount != 0 && s.HasSource()) {
      strings[static_cast<size_t>(s.Source)].FoundCount = 1;
      s.FoundCount = 0;
      sourced = true;
    }
  }
  if (ordersTouched != nullptr && !settings.InOrder && !sourced) {
    // The roots with counts are among `counted` (one listed twice is seen
    // once: its count is 0 after the first visit).
    *ordersTouched = true;
    bool result = true;
    size_t kept = 0;  // roots found that are not excluded
    for (int32_t n : counted) {
      SearchString& s = strings[static_cast<size_t>(n)];
      if (s.HasSource() || s.FoundCount <= 0) continue;
      if (s.Exclude != 0) {
        result = false;
      } else {
        ++kept;
      }
      s.FoundCount = 0;
    }
    if (settings.AllStrings && kept != keptRoots) result = false;
    return result;
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


// The keys of all strings in a trie, so that one partial match follows every
// string whose key shares its prefix. Two tries: one for matches that begin
// at a word's first letter (strings whose position rule allows that: 0, 1,
// 2, 4) and one for matches that begin inside a word (0, 2, 3).
class KeyTrie {
 public:
  KeyTrie() { nodes_.push_back(Node{}); }
  void Add(const std::string& key, int32_t n) {
    uint32_t node = 0;
    for (char ch : key) {
      unsigned char k = static_cast<unsigned char>(ch);
      uint32_t next = 0;
      for (const auto& [c, child] : building_[node]) {
        if (c == k) next = child;
      }
      if (next == 0) {
        next = static_cast<uint32_t>(nodes_.size());
        nodes_.push_back(Node{});
        building_.emplace_back();
        building_[node].push_back({k, next});
      }
      node = next;
    }
    terms_[node].push_back(n);
  }
  // Flattens the trie once every key is in.
  void Seal() {
    for (uint32_t v = 0; v < nodes_.size(); ++v) {
      nodes_[v].firstEdge = static_cast<uint32_t>(edges_.size());
      for (const auto& e : building_[v]) edges_.push_back(e);
      nodes_[v].edgeCount = static_cast<uint32_t>(building_[v].size());
      nodes_[v].firstTerm = static_cast<uint32_t>(termList_.size());
      auto it = terms_.find(v);
      if (it != terms_.end()) {
        for (int32_t n : it->second) termList_.push_back(n);
      }
      nodes_[v].termCount = static_cast<uint32_t>(termList_.size()) - nodes_[v].firstTerm;
    }
    for (const auto& [c, child] : building_[0]) root_[c] = child;
    if (nodes_.size() <= 4096) {
      // Small tries get a full transition table: one load per step.
      dense_.assign(nodes_.size() * 256, 0);
      for (uint32_t v = 0; v < nodes_.size(); ++v) {
        for (const auto& [c, child] : building_[v]) dense_[size_t{v} * 256 + c] = child;
      }
    }
    building_.clear();
    terms_.clear();
  }
  // The child of `node` by `k`, or 0.
  uint32_t Child(uint32_t node, unsigned char k) const {
    if (!dense_.empty()) return dense_[size_t{node} * 256 + k];
    if (node == 0) return root_[k];
    const Node& v = nodes_[node];
    for (uint32_t e = v.firstEdge, end = v.firstEdge + v.edgeCount; e < end; ++e) {
      if (edges_[e].first == k) return edges_[e].second;
    }
    return 0;
  }
  bool HasChildren(uint32_t node) const { return nodes_[node].edgeCount != 0; }
  bool HasTerms(uint32_t node) const { return nodes_[node].termCount != 0; }
  const int32_t* TermsBegin(uint32_t node) const { return termList_.data() + nodes_[node].firstTerm; }
  const int32_t* TermsEnd(uint32_t node) const { return TermsBegin(node) + nodes_[node].termCount; }
  bool Starts(unsigned char k) const { return root_[k] != 0; }

 private:
  struct Node {
    uint32_t firstEdge = 0, edgeCount = 0, firstTerm = 0, termCount = 0;
  };
  std::vector<Node> nodes_;
  std::vector<std::pair<unsigned char, uint32_t>> edges_;
  std::vector<int32_t> termList_;
  std::array<uint32_t, 256> root_{};
  std::vector<uint32_t> dense_;
  std::vector<std::vector<std::pair<unsigned char, uint32_t>>> building_{1};
  std::unordered_map<uint32_t, std::vector<int32_t>> terms_;
};


// The keys as an Aho-Corasick automaton over the comparison characters: the
// state after each character stands for the longest key prefix that ends
// there, and lists every key that ends there. Its table has one row per
// state and one column per character that occurs in a key.
class KeyAutomaton {
 public:
  // Builds the automaton unless it would exceed `maxCells` table cells.
  bool Build(const cArrowList& strings, size_t maxCells) {
    std::array<uint32_t, 256> alpha{};
    uint32_t width = 1;  // column 0: characters of no key
    size_t nodes = 1;
    for (const SearchString& s : strings) {
      nodes += s.Key.size();
      for (char ch : s.Key) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (alpha[c] == 0) alpha[c] = width++;
      }
    }
    if (nodes * width > maxCells) return false;
    alpha_ = alpha;
    width_ = width;
    // The trie.
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> edges(1);
    std::vector<std::vector<std::pair<int32_t, int32_t>>> ends(1);
    for (size_t n = 0; n < strings.size(); ++n) {
      const std::string& key = strings[n].Key;
      if (key.empty()) continue;
      uint32_t v = 0;
      for (char ch : key) {
        uint32_t a = alpha_[static_cast<unsigned char>(ch)];
        uint32_t next = 0;
        for (const auto& [col, child] : edges[v]) {
          if (col == a) next = child;
        }
        if (next == 0) {
          next = static_cast<uint32_t>(edges.size());
          edges[v].push_back({a, next});
          edges.emplace_back();
          ends.emplace_back();
        }
        v = next;
      }
      ends[v].push_back({static_cast<int32_t>(n), static_cast<int32_t>(key.size())});
    }
    const size_t count = edges.size();
    delta_.assign(count * width_, 0);
    std::vector<uint32_t> fail(count, 0);
    std::vector<uint32_t> order;
    order.reserve(count);
    for (const auto& [col, child] : edges[0]) {
      delta_[col] = child;
      order.push_back(child);
    }
    for (size_t q = 0; q < order.size(); ++q) {
      const uint32_t v = order[q];
      for (uint32_t col = 0; col < width_; ++col) delta_[size_t{v} * width_ + col] = delta_[size_t{fail[v]} * width_ + col];
      for (const auto& [col, child] : edges[v]) {
        fail[child] = delta_[size_t{fail[v]} * width_ + col];
        delta_[size_t{v} * width_ + col] = child;
        order.push_back(child);
      }
    }
    // Outputs: the keys ending at a state and at its failure states, in the
    // order of the strings.
    outFirst_.assign(count + 1, 0);
    std::vector<std::vector<std::pair<int32_t, int32_t>>> outs(count);
    for (uint32_t v : order) {
      outs[v] = ends[v];
      const auto& inherited = outs[fail[v]];
      outs[v].insert(outs[v].end(), inherited.begin(), inherited.end());
      std::sort(outs[v].begin(), outs[v].end());
    }
    for (size_t v = 0; v < count; ++v) {
      outFirst_[v] = static_cast<uint32_t>(out_.size());
      out_.insert(out_.end(), outs[v].begin(), outs[v].end());
    }
    outFirst_[count] = static_cast<uint32_t>(out_.size());
    return true;
  }
  uint32_t Next(uint32_t state, unsigned char k) const { return delta_[size_t{state} * width_ + alpha_[k]]; }
  bool Starts(unsigned char k) const { return alpha_[k] != 0 && delta_[alpha_[k]] != 0; }
  bool HasOutput(uint32_t state) const { return outFirst_[state] != outFirst_[state + 1]; }
  uint32_t StateCount() const { return outFirst_.empty() ? 0 : static_cast<uint32_t>(outFirst_.size() - 1); }
  const std::pair<int32_t, int32_t>* OutBegin(uint32_t state) const { return out_.data() + outFirst_[state]; }
  const std::pair<int32_t, int32_t>* OutEnd(uint32_t state) const { return out_.data() + outFirst_[state + 1]; }

 private:
  std::array<uint32_t, 256> alpha_{};
  uint32_t width_ = 1;
  std::vector<uint32_t> delta_;
  std::vector<uint32_t> outFirst_;
  std::vector<std::pair<int32_t, int32_t>> out_;  // (string, key length)
};

// A partial match in a trie: its node, which trie, and its start values
// (an index into the start records of the current context).
struct TrieCandidate {
  uint32_t node;
  uint32_t start;
  bool atWordStartTrie;
};

// The letters where a fast run stops (see SearchDocument): letters whose
// plain comparison character begins a key, letters that begin a
// substitution rule that is not simple (a simple rule is quiet, see
// `quietRule` in SearchDocument, and takes letters only), and, until
// nothing changes, the letters that begin a simple rule holding a stop
// letter's character after its first one.
// Worked out once per scan, out of line: the scan's own code stays small.
[[gnu::noinline]] std::array<bool, 256> StopLetters(const RuleSet& rules, const SubstRuleIndex& substIndex,
                                                   bool skipSymbols, bool substitute,
                                                   const std::array<unsigned char, 256>& plainK,
                                                   const std::array<bool, 256>& starts,
                                                   const std::array<bool, 256>& ruleMayStart,
                                                   const std::vector<bool>& quietRule) {
  const auto& cls = rules.SeparatorClass;
  auto letterLike = [&](int c) { return cls[c] == kLetter || (cls[c] == kSymbol && !skipSymbols); };
  std::array<bool, 256> lettersOnly{};  // by upper-cased character
  lettersOnly.fill(true);
  for (int c = 0; c < 256; ++c) {
    if (!letterLike(c)) lettersOnly[rules.UpperMap[c]] = false;
  }
  std::vector<bool> simple(rules.SubstRules.size(), false);
  for (size_t r = 0; r < rules.SubstRules.size(); ++r) {
    const SubstRule& rule = rules.SubstRules[r];
    bool ok = quietRule[r];
    for (char ch : rule.Match) {
      if (!lettersOnly[static_cast<unsigned char>(ch)]) ok = false;
    }
    simple[r] = ok;
  }
  std::array<bool, 256> hot{};
  for (int c = 0; c < 256; ++c) {
    if (!letterLike(c)) continue;
    if (plainK[c] != 0 && starts[plainK[c]]) hot[c] = true;
    if (!ruleMayStart[c]) continue;
    const unsigned char up = rules.UpperMap[c];
    for (const int32_t* r = substIndex.begin(up); r != substIndex.end(up); ++r) {
      if (!simple[static_cast<size_t>(*r)]) hot[c] = true;
    }
  }
  for (bool grew = substitute; grew;) {
    grew = false;
    std::array<bool, 256> hotChar{};  // by upper-cased character
    for (int c = 0; c < 256; ++c) {
      if (hot[c]) hotChar[rules.UpperMap[c]] = true;
    }
    std::array<bool, 256> heads{};  // first characters of rules holding one
    for (int u = 0; u < 256; ++u) {
      for (const int32_t* r = substIndex.begin(static_cast<unsigned char>(u));
           r != substIndex.end(static_cast<unsigned char>(u)); ++r) {
        const std::string& m = rules.SubstRules[static_cast<size_t>(*r)].Match;
        for (size_t k = 1; k < m.size(); ++k) {
          if (hotChar[static_cast<unsigned char>(m[k])]) heads[static_cast<size_t>(u)] = true;
        }
      }
    }
    for (int c = 0; c < 256; ++c) {
      if (letterLike(c) && !hot[c] && heads[rules.UpperMap[c]]) {
        hot[c] = true;
        grew = true;
      }
    }
  }
  return hot;
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
  StartHere(c, state, state.CurrentAt, state.CurrentView);
  c.Progress = 1;
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

namespace {

// CloseWord over the hits from `from` on (those before it already know their
// word's end and are past their position check).
void CloseWordFrom(cArrowList& strings, cTTargetList& pending, size_t from, int32_t lastLetterAt,
                   int32_t lastLetterOffset, int cls) {
  size_t w = from;
  for (size_t r = from; r < pending.size(); ++r) {
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

}  // namespace

void CloseWord(cArrowList& strings, cTTargetList& pending, int32_t lastLetterAt, int32_t lastLetterOffset,
               int cls) {
  CloseWordFrom(strings, pending, 0, lastLetterAt, lastLetterOffset, cls);
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

size_t SplitPoint(const RuleSet& rules, const SearchSettings& settings, const cFilterList& filters,
                  std::string_view text, size_t minimum) {
  if (text.size() < minimum || text.size() < 4) return 0;
  const auto& cls = rules.SeparatorClass;
  // Comparison characters that a rule or a filter may read.
  std::array<bool, 256> read{};
  if (settings.Substitute) {
    for (const SubstRule& r : rules.SubstRules) {
      if (r.Replacement.size() > r.Match.size()) return 0;
      for (char c : r.Match) read[static_cast<unsigned char>(c)] = true;
    }
  }
  std::array<bool, 256> inFilter{};
  for (const FilterPattern& f : filters) {
    for (char c : f.Text) inFilter[static_cast<unsigned char>(c)] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (cls[b] >= kWordSeparator && inFilter[rules.UpperMap[b]]) return 0;
  }
  const size_t end = text.size() - text.size() / 4;
  for (size_t q = text.size() / 2; q < end; ++q) {
    const unsigned char b = static_cast<unsigned char>(text[q]);
    if (cls[b] == kParagraphSeparator && !read[rules.UpperMap[b]]) return q + 1;
  }
  return 0;
}

int32_t ViewPositionAt(std::string_view text, size_t at) {
  if (at > text.size()) at = text.size();
  static const ByteSet lineBreaks = [] {
    ByteSet set;
    set.Add('\n');
    set.Add('\r');
    return set;
  }();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  int64_t count = 0;
  size_t p = 0;
  for (; p + 64 <= at; p += 64) count += __builtin_popcountll(lineBreaks.Mask64(bytes + p));
  for (; p < at; ++p) count += lineBreaks.Contains(bytes[p]);
  return static_cast<int32_t>(static_cast<int64_t>(at) + count);
}

void SearchDocument(const RuleSet& rules, const SearchSettings& settings, cArrowList& strings,
                    const cFilterList& filters, std::string_view text, HitSink& sink, MatchMode mode) {
  // The automaton when its table stays small (up to 4M cells, 16 MB);
  // otherwise partial matches are followed in the trie.
  KeyAutomaton automaton;
  const bool automatonMode = mode == MatchMode::Automaton || mode == MatchMode::AutomatonSteady;
  const bool byAutomaton = automatonMode && automaton.Build(strings, size_t{1} << 22);
  const bool byTrie = mode == MatchMode::Trie || (automatonMode && !byAutomaton);
  uint32_t acState = 0;
  size_t maxKey = 1;
  for (const SearchString& s : strings) maxKey = std::max(maxKey, s.Key.size());
  size_t ringSize = 1;
  while (ringSize < maxKey) ringSize <<= 1;
  // The start values of the last comparison characters.
  std::vector<MatchCandidate> ring(byAutomaton ? ringSize : 0);
  const size_t ringMask = ringSize - 1;
  size_t compared = 0;
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
  size_t keptRoots = 0;
  for (int32_t n : roots) {
    if (strings[static_cast<size_t>(n)].Exclude == 0) ++keptRoots;
  }
  KeyTrie wordTrie;  // matches beginning at a word's first letter
  KeyTrie midTrie;   // matches beginning inside a word
  for (size_t n = 0; n < (byTrie ? strings.size() : 0); ++n) {
    const SearchString& s = strings[n];
    if (s.Key.empty()) continue;
    if (s.Position != kWordMiddle) wordTrie.Add(s.Key, static_cast<int32_t>(n));
    if (s.Position != kWordStart && s.Position != kWholeWord) midTrie.Add(s.Key, static_cast<int32_t>(n));
  }
  wordTrie.Seal();
  midTrie.Seal();
  std::vector<TrieCandidate> live;
  std::vector<MatchCandidate> startRecords;
  std::vector<std::pair<int32_t, uint32_t>> completions;
  // The offset of each string's last completed match since the last reset.
  std::vector<int32_t> lastEnd(strings.size(), -1);
  std::vector<uint32_t> lastEndEpoch(strings.size(), 0);
  uint32_t epoch = 1;
  auto resetAll = [&]() {
    ResetStrings(strings, st);
    acState = 0;
    live.clear();
    startRecords.clear();
    ++epoch;
  };
  const SubstRuleIndex substIndex(rules);
  Substituter substituter;
  const auto& cls = rules.SeparatorClass;
  const int16_t context = settings.Context;
  const bool substitute = settings.Substitute;
  const bool skipSymbols = settings.SkipSymbols;
  // Per byte: the comparison character when no substitution rule is at
  // work, and whether a rule may begin at it.
  std::array<unsigned char, 256> plainK{};
  std::array<bool, 256> ruleMayStart{};
  std::array<bool, 256> starts{};
  std::array<bool, 256> byFirstStarts{};
  for (int c = 0; c < 256; ++c) {
    unsigned char up = rules.UpperMap[c];
    plainK[c] = substitute ? rules.SubstMap[up] : settings.FoldCase ? up : static_cast<unsigned char>(c);
    ruleMayStart[c] = substitute && substIndex.begin(up) != substIndex.end(up);
    byFirstStarts[c] = !byFirst[c].empty();
    starts[c] = byAutomaton ? automaton.Starts(static_cast<unsigned char>(c))
                : byTrie    ? (wordTrie.Starts(static_cast<unsigned char>(c)) || midTrie.Starts(static_cast<unsigned char>(c)))
                            : byFirstStarts[c];
  }
  // Bytes that, inside a word with no partial match and no substitution
  // rule at work, change nothing but the last letter and the view position.
  enum : uint8_t { kQuiet = 1, kIsLetter = 2, kTwoViews = 4, kRuleMayStart = 8, kWordBreak = 16, kRuleFree = 32 };
  std::array<uint8_t, 256> quiet{};
  for (int c = 0; c < 256; ++c) {
    uint8_t f = (c == '\n' || c == '\r') ? kTwoViews : 0;
    if (cls[c] == kLetter || (cls[c] == kSymbol && !skipSymbols)) {
      f |= kIsLetter;
      if (plainK[c] == 0 || !starts[plainK[c]]) f |= kQuiet;
      if (ruleMayStart[c]) f |= kRuleMayStart;
    } else if (cls[c] == kSymbol) {
      f |= kQuiet;
    } else if (cls[c] == kWordSeparator) {
      f |= kWordBreak;
    }
    quiet[c] = f;
  }
  // The same per pair of bytes, a letter that begins a substitution rule
  // with the byte after it being not quiet.
  // (A row whose first byte begins no rule is the same all along: it is
  // filled at once. A corpus search builds these tables for every document.)
  std::vector<uint8_t> quietPair(substitute ? 65536 : 0);
  if (substitute) {
    for (int c = 0; c < 256; ++c) {
      uint8_t* row = quietPair.data() + (static_cast<size_t>(c) << 8);
      if (!(quiet[c] & kRuleMayStart)) {
        std::fill(row, row + 256, static_cast<uint8_t>(quiet[c] | kRuleFree));
        continue;
      }
      for (int d = 0; d < 256; ++d) {
        uint8_t f = quiet[c];
        if (substIndex.MayMatch(rules.UpperMap[c], rules.UpperMap[d])) {
          f &= ~kQuiet;
        } else {
          f |= kRuleFree;  // no rule can match at c followed by d
        }
        row[d] = f;
      }
    }
  }
  // Per pair of bytes (the byte and the one after it): bit 0, the byte
  // belongs to a quiet run, while hits are pending (passBusy) or not
  // (passIdle); bit 1, the byte counts two view positions.
  std::vector<uint8_t> passIdle(65536), passBusy(65536);
  auto passFlags = [&](uint8_t f, uint8_t& idle, uint8_t& busy) {
    const uint8_t two = (f & kTwoViews) ? 2 : 0;
    idle = static_cast<uint8_t>(((f & (kQuiet | kWordBreak)) ? 1 : 0) | two);
    busy = static_cast<uint8_t>(((f & kQuiet) ? 1 : 0) | two);
  };
  for (int c = 0; c < 256; ++c) {
    const size_t at = static_cast<size_t>(c) << 8;
    if (!substitute || !(quiet[c] & kRuleMayStart)) {
      uint8_t idle = 0;
      uint8_t busy = 0;
      passFlags(substitute ? quietPair[at] : quiet[c], idle, busy);
      std::fill(passIdle.begin() + static_cast<std::ptrdiff_t>(at), passIdle.begin() + static_cast<std::ptrdiff_t>(at + 256), idle);
      std::fill(passBusy.begin() + static_cast<std::ptrdiff_t>(at), passBusy.begin() + static_cast<std::ptrdiff_t>(at + 256), busy);
      continue;
    }
    for (size_t x = at; x < at + 256; ++x) passFlags(quietPair[x], passIdle[x], passBusy[x]);
  }

  bool ordersTouched = false;     // Accepted left the roots' OrderPending to set
  // With a sentence or paragraph context and no position rule, a word end
  // only records the end of the word of the hits before it (no hit can be
  // dropped there); the records are applied when the hits are needed, that
  // is when their context is accepted or a sentence ends inside it, and
  // dropped with the hits otherwise.
  bool deferWords = context >= 2;
  for (const SearchString& s : strings) {
    if (s.Position != kAnywhere) deferWords = false;
  }
  struct WordClose {
    size_t upTo;  // the hits before this place (and after the previous record's)
    int32_t at;
    int32_t offset;
  };
  std::vector<WordClose> wordCloses;
  size_t deferredFrom = 0;  // the first hit of the first record
  auto applyWordCloses = [&]() {
    size_t r = deferredFrom;
    for (const WordClose& w : wordCloses) {
      for (; r < w.upTo; ++r) {
        PendingHit& h = st.Pending[r];
        if (!(h.KnownEnds & kWordEndKnown)) {
          h.WordEnd = w.offset;
          h.KnownEnds |= kWordEndKnown;
        }
        if (h.WordEndAt < 0) h.WordEndAt = w.at;
      }
    }
    wordCloses.clear();
  };
  bool substituterBusy = false;  // a rule is being applied
  size_t wordsClosed = 0;        // leading pending hits whose word has ended
  int level = kParagraphSeparator;
  int32_t lastLetterAt = 0;
  int32_t lastLetterOffset = 0;
  int32_t j = 0;
  std::vector<int32_t> nextActive;
  const int32_t size = static_cast<int32_t>(text.size());
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());

  // The first letter after a separator opens the units that the separators
  // since the last letter have ended. It is on the path of every letter that
  // opens a word: always inlined, whatever the size of this function.
  auto openUnits = [&](int32_t i, int32_t j) __attribute__((always_inline)) {
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
  };

  // The word bookkeeping of a quiet run over [from, to) (view positions
  // `fromView` and `toView`), as if its bytes were taken one by one: the
  // first letter after a separator opens the units, the last letter is
  // remembered, word separators raise the boundary level. Only the first
  // letter of the run, and the bytes from the last word separator before
  // its last letter on, can change anything that outlives the run.
  auto isLetter = [&](int32_t p) { return (quiet[bytes[p]] & kIsLetter) != 0; };
  auto isBreak = [&](int32_t p) { return (quiet[bytes[p]] & kWordBreak) != 0; };
  auto views = [&](int32_t p) { return 1 + ((quiet[bytes[p]] & kTwoViews) >> 2); };
  // Substitution rules that a quiet run may pass over: no more output than
  // bytes taken (so the transducer is free again after the rule's last
  // byte) and no output character that begins a key. (The one test of a
  // quiet rule: the stop letters of fast runs build on it.)
  std::vector<bool> quietRule(rules.SubstRules.size(), false);
  for (size_t r = 0; r < rules.SubstRules.size(); ++r) {
    const SubstRule& rule = rules.SubstRules[r];
    bool ok = rule.ReplacementLength() <= rule.MatchLength() && rule.MatchLength() >= 1;
    for (char ch : rule.Replacement) {
      const unsigned char k = static_cast<unsigned char>(ch);
      if (k != 0 && starts[k]) ok = false;
    }
    quietRule[r] = ok;
  }
  // Bytes where a substitution rule may begin, one of them such a rule.
  std::array<bool, 256> quietRuleStart{};
  for (int c = 0; c < 256; ++c) {
    const unsigned char up = rules.UpperMap[c];
    if (!ruleMayStart[c]) continue;
    for (const int32_t* r = substIndex.begin(up); r != substIndex.end(up); ++r) {
      if (quietRule[static_cast<size_t>(*r)]) quietRuleStart[c] = true;
    }
  }
  // Fast runs (automaton only). With the transducer free and no partial
  // match, the scan can pass over every byte up to the next stop byte by one
  // vector scan, then do the word bookkeeping of the run once. Stop bytes:
  //  - letters whose plain comparison character begins a key;
  //  - letters that begin a substitution rule that is not simple: a simple
  //    rule gives no more characters than it takes, none of which begins a
  //    key, and takes letters only (every byte that upper-cases to one of
  //    its characters is a letter);
  //  - sentence and paragraph separators, line breaks (two view positions);
  //  - and, until nothing changes, the letters that begin a simple rule
  //    holding, after its first character, the character of a stop letter.
  // A run then never holds the start of a match or of a rule that matters,
  // and no rule that begins in a run takes the stop byte after it: the
  // transducer is free there, as the letter-by-letter scan would find it.
  ByteSet stops;
  std::array<bool, 256> hotLetter{};  // stop bytes that are letters
  bool fastRuns = byAutomaton && mode != MatchMode::AutomatonSteady;
  // Fast runs pay off when stop bytes are rare in the text: they are given
  // up for the rest of the document when the first runs are short.
  int32_t fastTries = 0;
  int64_t fastPassed = 0;
  if (fastRuns) {
    auto letterLike = [&](int c) { return cls[c] == kLetter || (cls[c] == kSymbol && !skipSymbols); };
    const std::array<bool, 256> hot = StopLetters(rules, substIndex, skipSymbols, substitute, plainK, starts, ruleMayStart,
                                                    quietRule);
    for (int c = 0; c < 256; ++c) {
      if (hot[c] || (!letterLike(c) && cls[c] >= kSentenceSeparator) || c == '\n' || c == '\r') {
        stops.Add(static_cast<unsigned char>(c));
      }
      hotLetter[c] = hot[c] && c != '\n' && c != '\r';
    }
  }
  // At a letter whose plain comparison character begins no key, with the
  // transducer free: the number of bytes that the transducer's steps from
  // here leave without effect on the matching (the rule taken here and the
  // bytes it takes, all letters; or this byte alone when no rule matches),
  // or 0 when they may have one.
  auto QuietRuleSpan = [&](int32_t p) -> int32_t {
    const unsigned char up = rules.UpperMap[bytes[p]];
    for (const int32_t* r = substIndex.begin(up); r != substIndex.end(up); ++r) {
      const SubstRule& rule = rules.SubstRules[static_cast<size_t>(*r)];
      if (!detail::IndexedRuleMatchesAt(rules, text, static_cast<size_t>(p), rule)) continue;
      if (!quietRule[static_cast<size_t>(*r)]) return 0;
      const int32_t m = rule.MatchLength();
      if (p + m > size) return 0;
      for (int32_t q = p; q < p + m; ++q) {
        if (!isLetter(q)) return 0;
      }
      return m;
    }
    return 1;
  };
  auto RunBookkeeping = [&](int32_t from, int32_t fromView, int32_t to, int32_t toView) {
    int32_t lastLetter = to - 1;
    while (lastLetter >= from && !isLetter(lastLetter)) --lastLetter;
    if (lastLetter < from) {
      for (int32_t p = from; p < to; ++p) {
        if (isBreak(p) && level < kWordSeparator) level = kWordSeparator;
      }
      return;
    }
    int32_t brk = lastLetter - 1;
    while (brk >= from && !isBreak(brk)) --brk;
    // The first letter of the run opens the units when a separator came
    // before it (before the run or in it).
    int32_t first = from;
    int32_t firstView = fromView;
    int firstLevel = level;
    while (!isLetter(first)) {
      if (isBreak(first) && firstLevel < kWordSeparator) firstLevel = kWordSeparator;
      firstView += views(first);
      ++first;
    }
    if (firstLevel != 0) {
      level = firstLevel;
      openUnits(first, firstView);
    }
    level = 0;
    if (brk > first) {
      // A word separator after it: the last word of the run begins at the
      // first letter after `brk` (the words between change nothing that its
      // opening does not set again).
      int32_t word = brk + 1;
      while (!isLetter(word)) ++word;
      int32_t wordView = toView;
      for (int32_t p = word; p < to; ++p) wordView -= views(p);
      level = kWordSeparator;
      openUnits(word, wordView);
      level = 0;
    }
    lastLetterAt = lastLetter;
    lastLetterOffset = lastLetter;
    for (int32_t p = lastLetter + 1; p < to; ++p) {
      if (isBreak(p)) level = kWordSeparator;
    }
  };

  // The sets of bytes a fast run looks at, classified together: where it
  // stops (the letters where a key may begin and the other stop bytes),
  // what may follow a key's first letter, and its letters and separators.
  enum : unsigned { kHardStop, kKeyLetter, kGoesOn1, kShifts1, kGoesOn2, kRunLetter, kRunBreak };
  ByteClasses runBytes;
  for (int c = 0; c < 256; ++c) {
    if (quiet[c] & kIsLetter) runBytes.Add(kRunLetter, static_cast<unsigned char>(c));
    if (quiet[c] & kWordBreak) runBytes.Add(kRunBreak, static_cast<unsigned char>(c));
  }
  // RunBookkeeping for a fast run (one view position per byte), read from
  // bit masks of the letters and word separators of the 64 bytes that end
  // the run: the last letter, the last separator before it and the first
  // letter after that, and the first letter of the run when the window
  // holds the whole run. A run whose answers lie outside the window is
  // done byte by byte.
  auto FastRunBookkeeping = [&](int32_t from, int32_t fromView, int32_t to) {
    const int32_t base = to - 64;
    if (base < 0) {
      RunBookkeeping(from, fromView, to, fromView + (to - from));
      return;
    }
    const bool whole = from >= base;  // the window holds the whole run
    const uint64_t valid = whole ? ~uint64_t{0} << (from - base) : ~uint64_t{0};
    uint64_t masks[2];
    runBytes.Masks64(bytes + base, kRunLetter, 2, masks);
    const uint64_t letters = masks[0] & valid;
    const uint64_t breaks = masks[1] & valid;
    if (letters == 0 || !whole) {
      // Without a letter in the window, or with a first letter before it.
      const uint64_t below = letters == 0 ? 0 : breaks & ((uint64_t{1} << (63 - __builtin_clzll(letters))) - 1);
      if (letters == 0 || below == 0) {
        RunBookkeeping(from, fromView, to, fromView + (to - from));
        return;
      }
    }
    const int lastBit = 63 - __builtin_clzll(letters);
    const int firstBit = __builtin_ctzll(letters);
    const uint64_t beforeLast = breaks & ((uint64_t{1} << lastBit) - 1);
    // The first letter of the run opens the units when a separator came
    // before it (before the run or in it).
    int32_t first = base + firstBit;
    int firstLevel = level;
    if (whole) {
      if ((breaks & ((uint64_t{1} << firstBit) - 1)) != 0 && firstLevel < kWordSeparator) firstLevel = kWordSeparator;
    } else {
      // The run begins before the window: its first letter is found byte
      // by byte.
      first = from;
      while (!isLetter(first)) {
        if (isBreak(first) && firstLevel < kWordSeparator) firstLevel = kWordSeparator;
        ++first;
      }
    }
    if (firstLevel != 0) {
      level = firstLevel;
      openUnits(first, fromView + (first - from));
    }
    level = 0;
    if (beforeLast != 0) {
      const int brkBit = 63 - __builtin_clzll(beforeLast);
      if (base + brkBit > first) {
        // The last word of the run begins at the first letter after it.
        const int wordBit = __builtin_ctzll(letters & ~((uint64_t{2} << brkBit) - 1));
        const int32_t word = base + wordBit;
        level = kWordSeparator;
        openUnits(word, fromView + (word - from));
        level = 0;
      }
    }
    lastLetterAt = base + lastBit;
    lastLetterOffset = base + lastBit;
    if (lastBit < 63 && (breaks >> (lastBit + 1)) != 0) level = kWordSeparator;
  };

  // Separators that reset every string in a fast run: the end of a context,
  // or with no context a flush. A key cannot be matched across them.
  std::array<bool, 256> resetsStrings{};
  for (int c = 0; c < 256; ++c) {
    const int k = cls[c];
    if (k < kWordSeparator) continue;
    resetsStrings[c] = context == 0 ? (!settings.IgnoreSeparators || k >= kSentenceSeparator) : k > context;
  }

  // Whether a key may begin at a stop letter, from the letters after it:
  // the comparison characters of the next letters are checked against the
  // characters that keys hold at those places (any key), while the bytes
  // are plain letters. A byte that is not (a symbol passed over, a letter
  // with no comparison character or where a rule may begin, a separator that
  // does not end the strings' matching, a line break) or the end of the
  // text answers yes; a separator that resets the strings answers no.
  std::array<std::array<bool, 256>, 4> keyCharAt{};
  int gramLength = 4;
  for (const SearchString& str : strings) {
    if (str.Key.empty()) continue;
    gramLength = std::min<int>(gramLength, static_cast<int>(str.Key.size()));
    for (size_t k = 0; k < 4 && k < str.Key.size(); ++k) keyCharAt[k][static_cast<unsigned char>(str.Key[k])] = true;
  }
  enum : uint8_t { kGramPlain = 1, kGramReset = 2, kGramRuleStart = 4 };
  std::array<uint8_t, 256> gramClass{};
  for (int c = 0; c < 256; ++c) {
    uint8_t g = 0;
    if (cls[c] >= kWordSeparator) {
      if (resetsStrings[c] && c != '\n' && c != '\r') g = kGramReset;
    } else if ((cls[c] == kLetter || !skipSymbols) && c != '\n' && c != '\r' && plainK[c] != 0) {
      g = ruleMayStart[c] ? kGramRuleStart : kGramPlain;
    }
    gramClass[c] = g;
  }
  // Per pair of bytes, one bit: a substitution rule may match at the first.
  std::vector<uint64_t> rulePair(substitute ? 1024 : 0, 0);
  for (size_t c = 0; c < (substitute ? 256u : 0u); ++c) {
    if (!ruleMayStart[c]) continue;
    for (size_t x = c << 8; x < (c + 1) << 8; ++x) {
      if (!(quietPair[x] & kRuleFree)) rulePair[x >> 6] |= uint64_t{1} << (x & 63);
    }
  }
  auto RuleMayMatchAt = [&](int32_t q) -> bool {
    if (q + 1 >= size) return ruleMayStart[bytes[q]] && substIndex.MayMatch(rules.UpperMap[bytes[q]], 0);
    const size_t x = static_cast<size_t>(bytes[q]) << 8 | bytes[q + 1];
    return (rulePair[x >> 6] >> (x & 63)) & 1;
  };
  auto KeyMayBeginAt = [&](int32_t p) -> bool {
    const uint8_t g0 = gramClass[bytes[p]];
    if (g0 == 0 || (g0 == kGramRuleStart && RuleMayMatchAt(p))) return true;
    if (!keyCharAt[0][plainK[bytes[p]]]) return false;
    for (int k = 1; k < gramLength; ++k) {
      const int32_t q = p + k;
      if (q >= size) return true;
      const uint8_t g = gramClass[bytes[q]];
      if (g == kGramReset) return false;
      if (g == 0 || (g == kGramRuleStart && RuleMayMatchAt(q))) return true;
      if (!keyCharAt[static_cast<size_t>(k)][plainK[bytes[q]]]) return false;
    }
    return true;
  };

  // The vector scan already leaves out most stop letters where no key can
  // begin: a letter that begins no rule and whose comparison character
  // begins a key stops the scan only when the byte after it may go on with
  // a key (or is a byte that shifts the comparison, which may go on with
  // anything), and then when the byte after that may too. The letters left
  // stay inside the run, as those `KeyMayBeginAt` turns down.
  // In `runBytes`: kHardStop, the stop bytes but such letters; kKeyLetter,
  // such letters; kGoesOn1 and kGoesOn2, the bytes that may follow at the
  // second and third place; kShifts1, the bytes at the second place after
  // which anything may follow.
  for (int c = 0; c < 256; ++c) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (!stops.Contains(b)) continue;
    const bool keyLetter = hotLetter[c] && gramClass[c] == kGramPlain && keyCharAt[0][plainK[c]];
    runBytes.Add(keyLetter ? kKeyLetter : kHardStop, b);
  }
  for (int c = 0; c < 256; ++c) {
    const unsigned char b = static_cast<unsigned char>(c);
    const uint8_t g = gramClass[c];
    const bool shifts = g == 0 || g == kGramRuleStart;
    if (gramLength <= 1 || shifts || (g == kGramPlain && keyCharAt[1][plainK[c]])) runBytes.Add(kGoesOn1, b);
    if (gramLength <= 1 || shifts) runBytes.Add(kShifts1, b);
    if (gramLength <= 2 || shifts || (g == kGramPlain && keyCharAt[2][plainK[c]])) runBytes.Add(kGoesOn2, b);
  }
  // The stop bytes of the 64-byte block last looked at, so that stops close
  // together cost a bit scan each, not a vector scan.
  int32_t blockAt = -64;
  uint64_t blockStops = 0;
  auto NextStop = [&](int32_t p) -> int32_t {
    for (;;) {
      if (p >= blockAt && p - blockAt < 64) {
        const uint64_t ahead = blockStops >> (p - blockAt);
        if (ahead != 0) return p + __builtin_ctzll(ahead);
        p = blockAt + 64;
      }
      if (p + 66 > size) return p + static_cast<int32_t>(stops.FindFirstPlain(bytes + p, static_cast<size_t>(size - p)));
      blockAt = p;
      // The text is read once, from memory: the blocks ahead are fetched
      // meanwhile.
      __builtin_prefetch(bytes + p + 512);
      __builtin_prefetch(bytes + p + 576);
      uint64_t at0[2], at1[2], at2[1];
      runBytes.Masks64(bytes + p, kHardStop, 2, at0);
      runBytes.Masks64(bytes + p + 1, kGoesOn1, 2, at1);
      runBytes.Masks64(bytes + p + 2, kGoesOn2, 1, at2);
      blockStops = at0[0] | (at0[1] & at1[0] & (at2[0] | at1[1]));
    }
  };

  // With "all strings" most contexts lack some string, and none of their
  // hits is kept. Each context is first probed: the automaton only notes
  // which strings without exclusion (or variants of them) occur, ignoring
  // position rules and overlaps, which can only drop hits. A context where
  // some such string never occurs is rejected as the full scan would reject
  // it. As soon as every one has occurred, the scan goes back to the
  // context's start (its state was saved there) and scans it in full.
  // Sentence and paragraph closings met twice close nothing the second
  // time: no occurrence is added inside a context.
  const bool probeContexts = byAutomaton && settings.AllStrings && context != 0 && keptRoots > 0 &&
                             keptRoots <= 64 && !settings.IgnoreSeparators;
  std::vector<int32_t> keptRootOf(strings.size(), -1);  // place among the roots without exclusion
  {
    std::vector<int32_t> place(strings.size(), -1);
    int32_t count = 0;
    for (int32_t n : roots) {
      if (strings[static_cast<size_t>(n)].Exclude == 0) place[static_cast<size_t>(n)] = count++;
    }
    for (size_t n = 0; n < strings.size(); ++n) {
      const SearchString& str = strings[n];
      const size_t root = str.HasSource() ? static_cast<size_t>(str.Source) : n;
      if (root < strings.size()) keptRootOf[n] = place[root];
    }
  }
  // Per automaton state, the roots without exclusion whose keys (or
  // variants' keys) end there, one bit each.
  std::vector<uint64_t> keptEndingAt(probeContexts ? automaton.StateCount() : 0, 0);
  for (uint32_t q = 0; q < keptEndingAt.size(); ++q) {
    for (auto o = automaton.OutBegin(q); o != automaton.OutEnd(q); ++o) {
      const int32_t r = keptRootOf[static_cast<size_t>(o->first)];
      if (r >= 0) keptEndingAt[q] |= uint64_t{1} << r;
    }
  }
  const uint64_t allKept = keptRoots >= 64 ? ~uint64_t{0} : (uint64_t{1} << keptRoots) - 1;
  uint64_t foundKept = 0;  // roots seen by the probe of the current context
  // Per byte while probing: 1 a letter, 2 a symbol passed over, 0 anything
  // left to the general steps (separators).
  std::array<uint8_t, 256> probeByte{};
  for (int c = 0; c < 256; ++c) {
    if (cls[c] == kLetter || (cls[c] == kSymbol && !skipSymbols)) {
      probeByte[c] = 1;
    } else if (cls[c] == kSymbol) {
      probeByte[c] = 2;
    }
  }
  bool probing = false;
  bool takeSnapshot = probeContexts;
  bool rewindNow = false;
  // A comparison character while probing: true once every string without
  // exclusion has occurred (the context is then scanned again in full).
  auto ProbeCharacter = [&](unsigned char k) {
    acState = automaton.Next(acState, k);
    foundKept |= keptEndingAt[acState];
    rewindNow = foundKept == allKept;
    return rewindNow;
  };
  struct ContextStart {
    int32_t i = 0, j = 0;
    int level = 0;
    int32_t lastLetterAt = 0, lastLetterOffset = 0;
    int32_t wordStart = 0, sentenceStart = 0, paragraphStart = 0;
    int32_t wordStartView = 0, sentenceStartView = 0, paragraphStartView = 0;
    int32_t wordStartAt = 0, contextStartView = 0, contextStartOffset = 0;
    Substituter substituter;
    bool substituterBusy = false;
  } saved;
  // Every string of the context may be there: back to its start, to scan
  // it in full this time.
  auto RewindToContextStart = [&]() {
    rewindNow = false;
    probing = false;
    j = saved.j;
    level = saved.level;
    lastLetterAt = saved.lastLetterAt;
    lastLetterOffset = saved.lastLetterOffset;
    st.WordStart = saved.wordStart;
    st.SentenceStart = saved.sentenceStart;
    st.ParagraphStart = saved.paragraphStart;
    st.WordStartView = saved.wordStartView;
    st.SentenceStartView = saved.sentenceStartView;
    st.ParagraphStartView = saved.paragraphStartView;
    st.WordStartAt = saved.wordStartAt;
    st.ContextStartView = saved.contextStartView;
    st.ContextStartOffset = saved.contextStartOffset;
    substituter = saved.substituter;
    substituterBusy = saved.substituterBusy;
    acState = 0;
  };

  for (int32_t i = 0; i < size; ++i) {
    if (takeSnapshot) {
      takeSnapshot = false;
      probing = st.Pending.empty() && st.Counted.empty() && wordsClosed == 0 && wordCloses.empty() && acState == 0;
      if (probing) {
        foundKept = 0;
        saved = ContextStart{i, j, level, lastLetterAt, lastLetterOffset, st.WordStart, st.SentenceStart,
                             st.ParagraphStart, st.WordStartView, st.SentenceStartView, st.ParagraphStartView,
                             st.WordStartAt, st.ContextStartView, st.ContextStartOffset, substituter,
                             substituterBusy};
      }
    }
    if (probing && !fastRuns) {
      // The probe's own loop over letters and passed-over symbols; the
      // general steps take separators and letters where a substitution rule
      // is at work.
      // The last byte is left to the general steps (it has no byte after it).
      while (i + 1 < size) {
        const unsigned char b = bytes[i];
        const uint8_t f = probeByte[b];
        if (f == 0) break;
        if (f == 1) {
          if (substitute) {
            const size_t pair = static_cast<size_t>(b) << 8 | bytes[i + 1];
            if (substituterBusy || ((rulePair[pair >> 6] >> (pair & 63)) & 1)) break;
          }
          if (level != 0) {
            openUnits(i, j);
            level = 0;
          }
          lastLetterAt = i;
          lastLetterOffset = i;
          const unsigned char k = plainK[b];
          if (k != 0 && ProbeCharacter(k)) break;
        }
        j += (b == '\n' || b == '\r') ? 2 : 1;
        ++i;
      }
      if (rewindNow) {
        RewindToContextStart();
        i = saved.i - 1;  // the loop steps to saved.i
        continue;
      }
      if (i >= size) break;
    }
    if (fastRuns && !substituterBusy && acState == 0 && wordsClosed == st.Pending.size() &&
        (context >= 2 || (st.Pending.empty() && st.Counted.empty()))) {
      // Word separators change nothing here but the boundary level: with a
      // word or no context nothing is pending, with a longer one the words
      // of the pending hits have all ended.
      for (;;) {
        // Stop letters where no key can begin stay inside the run.
        int32_t n = 0;
        for (;;) {
          n = NextStop(i + n) - i;
          if (i + n >= size || !hotLetter[bytes[i + n]] || KeyMayBeginAt(i + n)) break;
          ++n;
        }
        if (n > 0) FastRunBookkeeping(i, j, i + n);
        fastPassed += n;
        if (++fastTries == 4096 && fastPassed < int64_t{4096} * 8) fastRuns = false;
        i += n;
        j += n;
        if (i >= size) break;
        const int stopClass = cls[bytes[i]];
        if (stopClass >= kWordSeparator && st.Pending.empty() && st.Counted.empty() &&
            !(probeContexts && stopClass > context)) {
          // A separator with nothing pending: it closes the ends of the
          // occurrences already added and raises the boundary level; the
          // strings have nothing to reset.
          if (stopClass >= kSentenceSeparator) sink.CloseOccurrences(lastLetterOffset, stopClass);
          if (stopClass > level) level = stopClass;
          j += (bytes[i] == '\n' || bytes[i] == '\r') ? 2 : 1;
          ++i;
          if (i >= size) break;
          continue;
        }
        break;
      }
      if (i >= size) break;
    } else if (!probing && !substituterBusy && st.Active.empty() && live.empty() && acState == 0) {
      // Run over the quiet bytes: letters and symbols that start no match and
      // no substitution rule and, while nothing is pending, word separators
      // (which then only raise the boundary level). The run is found first
      // (one table load per byte); the word bookkeeping is then done once
      // for the run, from the bytes around its last word.
      const bool idle = st.Pending.empty() && st.Counted.empty();
      const uint8_t* pass = idle ? passIdle.data() : passBusy.data();
      int32_t view = j;
      int32_t at = i;
      // The last byte is left to the steps below (it has no byte after it).
      const int32_t end = size - 1;
      // Many runs are empty: one byte is tried before four.
      const bool started = at < end && (pass[static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1]] & 1);
      while (started && at + 4 <= end) {
        const uint8_t f0 = pass[static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1]];
        const uint8_t f1 = pass[static_cast<size_t>(bytes[at + 1]) << 8 | bytes[at + 2]];
        const uint8_t f2 = pass[static_cast<size_t>(bytes[at + 2]) << 8 | bytes[at + 3]];
        const uint8_t f3 = pass[static_cast<size_t>(bytes[at + 3]) << 8 | bytes[at + 4]];
        if (!(f0 & f1 & f2 & f3 & 1)) break;
        view += 4 + (f0 >> 1) + (f1 >> 1) + (f2 >> 1) + (f3 >> 1);
        at += 4;
      }
      for (;;) {
        while (at < end) {
          const uint8_t f = pass[static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1]];
          if (!(f & 1)) break;
          view += 1 + (f >> 1);
          ++at;
        }
        // A letter where a substitution rule may begin: the run goes on over
        // the bytes the rule takes when none of its output begins a key.
        if (at >= end || !(quiet[bytes[at]] & kQuiet) || !quietRuleStart[bytes[at]]) break;
        const int32_t span = QuietRuleSpan(at);
        if (span == 0 || at + span > end) break;
        for (int32_t p = at; p < at + span; ++p) view += views(p);
        at += span;
        // Go on at word-by-word speed.
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
      if (at > i) RunBookkeeping(i, j, at, view);
      i = at;
      j = view;
      if (i >= size) break;
    }
    const unsigned char c = bytes[i];
    const int cl = cls[c];
    if (cl >= kWordSeparator) {
      if (cl >= kSentenceSeparator) sink.CloseOccurrences(lastLetterOffset, cl);
      // At the end of a context the hits whose word had ended already only
      // take the sentence and paragraph ends, which matter only when the
      // context is accepted: they are set then.
      const bool contextEnd = context != 0 && cl > context;
      if (deferWords && cl == kWordSeparator) {
        if (st.Pending.size() > wordsClosed) {
          if (wordCloses.empty()) deferredFrom = wordsClosed;
          wordCloses.push_back(WordClose{st.Pending.size(), lastLetterAt, lastLetterOffset});
          wordsClosed = st.Pending.size();
        }
      } else if (!st.Pending.empty()) {
        if (!contextEnd) applyWordCloses();
        CloseWordFrom(strings, st.Pending, cl >= kSentenceSeparator && !contextEnd ? 0 : wordsClosed,
                      lastLetterAt, lastLetterOffset, cl);
        wordsClosed = st.Pending.size();
      }
      if (cl > level) level = cl;
      bool flush = context == 0;
      if (contextEnd) {
        flush = false;
        if (!st.Pending.empty()) {
          flush = Accepted(settings, st.Pending, strings, st.Counted, roots, &ordersTouched, keptRoots);
          if (!flush) {
            st.Pending.clear();
            wordsClosed = 0;
            wordCloses.clear();
          } else {
            applyWordCloses();
            if (cl >= kSentenceSeparator) {
              CloseWordFrom(strings, st.Pending, 0, lastLetterAt, lastLetterOffset, cl);
              wordsClosed = st.Pending.size();
            }
            SetContextLengths(st.Pending, j, i);
          }
        }
        resetAll();
        takeSnapshot = probeContexts;
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
          wordsClosed = 0;
          sink.EndBatch();
        }
        if (!st.Active.empty() || !st.Counted.empty() || !live.empty() || acState != 0) resetAll();
      }
    } else if (cl == kLetter || !skipSymbols) {
      unsigned char k;
      if (substitute && (substituterBusy || RuleMayMatchAt(i))) {
        k = SubstituteAt(rules, substIndex, substituter, text, static_cast<size_t>(i));
        substituterBusy = substituter.PendingOutput != 0 || substituter.Skip != 0;
      } else {
        k = plainK[c];
      }
      if (level != 0) {
        openUnits(i, j);
        level = 0;
      }
      lastLetterAt = i;
      lastLetterOffset = i;
      if (k != 0 && probing) {
        ProbeCharacter(k);
      } else if (k != 0 && byAutomaton) {
        st.CurrentAt = i;
        st.CurrentView = j;
        StartHere(ring[compared & ringMask], st, i, j);
        ++compared;
        acState = automaton.Next(acState, k);
        if (automaton.HasOutput(acState)) {
          // Every key ending here began `length` comparison characters ago;
          // it completes its string when its position rule allowed a match
          // to begin there and the string's last match ended before.
          for (auto o = automaton.OutBegin(acState); o != automaton.OutEnd(acState); ++o) {
            const int32_t n = o->first;
            const MatchCandidate& begin = ring[(compared - static_cast<size_t>(o->second)) & ringMask];
            const int16_t position = strings[static_cast<size_t>(n)].Position;
            if ((position == kWordStart || position == kWholeWord) && !begin.AtWordStart) continue;
            if (position == kWordMiddle && begin.AtWordStart) continue;
            const int32_t last = lastEndEpoch[static_cast<size_t>(n)] == epoch ? lastEnd[static_cast<size_t>(n)] : -1;
            if (begin.StartAt <= last) continue;
            CompleteMatch(strings, n, begin, st);
            lastEnd[static_cast<size_t>(n)] = i;
            lastEndEpoch[static_cast<size_t>(n)] = epoch;
          }
        }
      } else if (k != 0 && byTrie && (starts[k] || !live.empty())) {
        st.CurrentAt = i;
        st.CurrentView = j;
        completions.clear();
        auto lastEndOf = [&](int32_t n) { return lastEndEpoch[static_cast<size_t>(n)] == epoch ? lastEnd[static_cast<size_t>(n)] : -1; };
        // Advance every partial match; those that reach a key complete it
        // for the strings whose last match ended before they began.
        size_t w = 0;
        for (size_t r = 0; r < live.size(); ++r) {
          TrieCandidate cand = live[r];
          const KeyTrie& trie = cand.atWordStartTrie ? wordTrie : midTrie;
          const uint32_t child = trie.Child(cand.node, k);
          if (child == 0) continue;
          cand.node = child;
          if (trie.HasTerms(child)) {
            const int32_t startAt = startRecords[cand.start].StartAt;
            for (const int32_t* t = trie.TermsBegin(child); t != trie.TermsEnd(child); ++t) {
              if (startAt > lastEndOf(*t)) completions.emplace_back(*t, cand.start);
            }
          }
          if (trie.HasChildren(child)) live[w++] = cand;
        }
        live.resize(w);
        if (live.empty() && completions.empty()) startRecords.clear();
        // A new partial match beginning here.
        const bool atWordStart = st.CurrentAt == st.WordStartAt;
        const KeyTrie& trie = atWordStart ? wordTrie : midTrie;
        if (const uint32_t child = trie.Child(0, k)) {
          TrieCandidate cand;
          cand.node = child;
          cand.atWordStartTrie = atWordStart;
          cand.start = static_cast<uint32_t>(startRecords.size());
          StartHere(startRecords.emplace_back(), st, i, j);
          for (const int32_t* t = trie.TermsBegin(child); t != trie.TermsEnd(child); ++t) {
            if (i > lastEndOf(*t)) completions.emplace_back(*t, cand.start);
          }
          if (trie.HasChildren(child)) live.push_back(cand);
        }
        if (!completions.empty()) {
          // Hits of one character come in the order of the strings.
          if (completions.size() > 1) {
            std::sort(completions.begin(), completions.end(),
                      [](const auto& x, const auto& y) { return x.first < y.first; });
          }
          for (const auto& [n, rec] : completions) {
            CompleteMatch(strings, n, startRecords[rec], st);
            lastEnd[static_cast<size_t>(n)] = i;
            lastEndEpoch[static_cast<size_t>(n)] = epoch;
          }
          if (live.empty()) startRecords.clear();
        }
      } else if (k != 0 && !byTrie && (byFirstStarts[k] || !st.Active.empty())) {
        const std::vector<int32_t>& starters = byFirst[k];
        {
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
    if (rewindNow) {
      RewindToContextStart();
      i = saved.i - 1;  // the loop steps to saved.i
      continue;
    }
    j += (c == '\n' || c == '\r') ? 2 : 1;
  }
  // Hits still pending at the end of the text produce no target.
  resetAll();
  if (ordersTouched) {
    for (int32_t n : roots) strings[static_cast<size_t>(n)].OrderPending = true;
  }
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
