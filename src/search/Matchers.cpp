#include "search/Matchers.h"

namespace kalix {

// Advances every partial match; those that reach a key complete it for the
// strings whose last match ended before they began. Then a new partial
// match may begin here.
void TrieMatcher::Advance(ScanCore& scan, unsigned char k) {
  completions_.clear();
  size_t w = 0;
  for (size_t r = 0; r < live_.size(); ++r) {
    Candidate cand = live_[r];
    const KeyTrie& trie = cand.atWordStartTrie ? keys_.wordTrie : keys_.midTrie;
    const uint32_t child = trie.Child(cand.node, k);
    if (child == 0) continue;
    cand.node = child;
    if (trie.HasTerms(child)) {
      const int32_t startAt = startRecords_[cand.start].at;
      for (const int32_t* t = trie.TermsBegin(child); t != trie.TermsEnd(child); ++t) {
        if (startAt > lastEnds_.Of(*t)) completions_.emplace_back(*t, cand.start);
      }
    }
    if (trie.HasChildren(child)) live_[w++] = cand;
  }
  live_.resize(w);
  if (live_.empty() && completions_.empty()) startRecords_.clear();
  Begin(scan, k);
  if (!completions_.empty()) CompleteAll(scan);
}

void TrieMatcher::Begin(ScanCore& scan, unsigned char k) {
  const Cursor& cursor = scan.Position();
  const bool atWordStart = cursor.offset == cursor.units.word;
  const KeyTrie& trie = atWordStart ? keys_.wordTrie : keys_.midTrie;
  const uint32_t child = trie.Child(0, k);
  if (child == 0) return;
  Candidate cand;
  cand.node = child;
  cand.atWordStartTrie = atWordStart;
  cand.start = static_cast<uint32_t>(startRecords_.size());
  startRecords_.push_back(scan.StartHere());
  for (const int32_t* t = trie.TermsBegin(child); t != trie.TermsEnd(child); ++t) {
    if (cursor.offset > lastEnds_.Of(*t)) completions_.emplace_back(*t, cand.start);
  }
  if (trie.HasChildren(child)) live_.push_back(cand);
}

// Hits of one character come in the order of the strings.
void TrieMatcher::CompleteAll(ScanCore& scan) {
  if (completions_.size() > 1) {
    std::sort(completions_.begin(), completions_.end(),
              [](const auto& x, const auto& y) { return x.first < y.first; });
  }
  for (const auto& [n, rec] : completions_) {
    scan.CompleteMatch(n, startRecords_[rec]);
    lastEnds_.Set(n, scan.Position().offset);
  }
  if (live_.empty()) startRecords_.clear();
}

void PerStringMatcher::Visit(ScanCore& scan, unsigned char k) {
  const std::vector<int32_t>& starters = keys_.byFirst[k];
  nextActive_.clear();
  size_t a = 0, b = 0;
  const size_t na = active_.size(), nb = starters.size();
  while (a < na || b < nb) {
    int32_t n;
    if (b >= nb || (a < na && active_[a] < starters[b])) {
      n = active_[a++];
    } else if (a >= na || starters[b] < active_[a]) {
      n = starters[b++];
    } else {
      n = active_[a++];
      ++b;
    }
    MatchChar(scan, n, k);
    if (!candidates_[static_cast<size_t>(n)].empty()) nextActive_.push_back(n);
  }
  active_.swap(nextActive_);
}

void PerStringMatcher::MatchChar(ScanCore& scan, int32_t n, unsigned char k) {
  const SearchString& s = scan.Plan().strings[static_cast<size_t>(n)];
  const std::string& key = s.Key;
  if (key.empty()) return;
  const int32_t length = static_cast<int32_t>(key.size());
  std::vector<Candidate>& cands = candidates_[static_cast<size_t>(n)];
  // The oldest candidate is the only one that can complete here.
  size_t w = 0;
  for (size_t r = 0; r < cands.size(); ++r) {
    Candidate& c = cands[r];
    if (static_cast<unsigned char>(key[static_cast<size_t>(c.progress)]) != k) continue;
    if (++c.progress == length) {
      const MatchStart done = c.start;
      cands.clear();
      scan.CompleteMatch(n, done);
      return;
    }
    if (w != r) cands[w] = c;
    ++w;
  }
  cands.resize(w);
  if (static_cast<unsigned char>(key[0]) != k) return;
  // A match may begin here if the position rule allows it.
  const MatchStart start = scan.StartHere();
  if (!MayBeginAt(s.Position, start.atWordStart)) return;
  if (length == 1) {
    cands.clear();
    scan.CompleteMatch(n, start);
    return;
  }
  cands.push_back(Candidate{1, start});
}

}  // namespace kalix
