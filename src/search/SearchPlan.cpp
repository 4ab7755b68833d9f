#include "search/SearchPlan.h"

#include "search/Engine.h"
#include "search/Units.h"

#include <algorithm>

namespace kalix {

namespace {

// The automaton when its table stays small (up to 4M cells, 16 MB);
// otherwise partial matches are followed in the trie.
constexpr size_t kAutomatonCells = size_t{1} << 22;

bool LetterLike(const RuleSet& rules, bool skipSymbols, int c) {
  const int cls = rules.SeparatorClass[c];
  return cls == kLetter || (cls == kSymbol && !skipSymbols);
}

// The separator class that ends a context: a word ends at a word separator
// (or a longer one), a sentence at a sentence separator, a paragraph at a
// paragraph separator. With no context nothing ends one.
int ContextEndClass(int16_t context) {
  switch (context) {
    case 1:
      return kWordSeparator;
    case 2:
      return kSentenceSeparator;
    case 3:
      return kParagraphSeparator;
    default:
      return kParagraphSeparator + 1;
  }
}

void BuildStringTables(const cArrowList& strings, const SearchSettings& settings, MatchMode mode,
                       StringTables& t) {
  const bool automatonMode = mode == MatchMode::Automaton || mode == MatchMode::AutomatonSteady;
  if (automatonMode && t.automaton.Build(strings, kAutomatonCells)) {
    t.matcher = MatcherKind::Automaton;
  } else {
    t.matcher = automatonMode || mode == MatchMode::Trie ? MatcherKind::Trie : MatcherKind::PerString;
  }
  size_t maxKey = 1;
  for (const SearchString& s : strings) maxKey = std::max(maxKey, s.Key.size());
  while (t.ringSize < maxKey) t.ringSize <<= 1;
  for (size_t n = 0; n < strings.size(); ++n) {
    const SearchString& s = strings[n];
    if (!s.Key.empty()) t.byFirst[static_cast<unsigned char>(s.Key[0])].push_back(static_cast<int32_t>(n));
    if (!s.HasSource()) t.roots.push_back(static_cast<int32_t>(n));
  }
  for (int32_t n : t.roots) {
    if (strings[static_cast<size_t>(n)].Exclude == 0) ++t.keptRoots;
  }
  for (size_t n = 0; n < (t.matcher == MatcherKind::Trie ? strings.size() : 0); ++n) {
    const SearchString& s = strings[n];
    if (s.Key.empty()) continue;
    if (MayBeginAt(s.Position, true)) t.wordTrie.Add(s.Key, static_cast<int32_t>(n));
    if (MayBeginAt(s.Position, false)) t.midTrie.Add(s.Key, static_cast<int32_t>(n));
  }
  t.wordTrie.Seal();
  t.midTrie.Seal();
  t.deferWords = settings.Context >= kContextSentence;
  for (const SearchString& s : strings) {
    if (s.Position != kAnywhere) t.deferWords = false;
  }
}

// The comparison characters, and where keys and rules may begin.
void BuildCharacters(const RuleSet& rules, const SearchSettings& settings, const StringTables& keys,
                     ByteTables& t) {
  t.contextEndClass = ContextEndClass(settings.Context);
  for (int c = 0; c < 256; ++c) {
    const unsigned char up = rules.UpperMap[c];
    const unsigned char b = static_cast<unsigned char>(c);
    t.plainK[c] = settings.Substitute ? rules.SubstMap[up] : settings.FoldCase ? up : b;
    t.ruleMayStart[c] = settings.Substitute && t.substIndex.begin(up) != t.substIndex.end(up);
    t.byFirstStarts[c] = !keys.byFirst[c].empty();
    switch (keys.matcher) {
      case MatcherKind::Automaton:
        t.starts[c] = keys.automaton.Starts(b);
        break;
      case MatcherKind::Trie:
        t.starts[c] = keys.wordTrie.Starts(b) || keys.midTrie.Starts(b);
        break;
      case MatcherKind::PerString:
        t.starts[c] = t.byFirstStarts[c];
        break;
    }
  }
}

// Bytes that, inside a word with no partial match and no substitution rule
// at work, change nothing but the last letter and the view position; the
// same per pair of bytes; and the quiet runs' tables built on them.
void BuildQuietTables(const RuleSet& rules, const SearchSettings& settings, ByteTables& t) {
  const auto& cls = rules.SeparatorClass;
  const bool substitute = settings.Substitute;
  for (int c = 0; c < 256; ++c) {
    uint8_t f = IsLineBreak(static_cast<unsigned char>(c)) ? kTwoViews : 0;
    if (LetterLike(rules, settings.SkipSymbols, c)) {
      f |= kIsLetter;
      if (t.plainK[c] == 0 || !t.starts[t.plainK[c]]) f |= kQuiet;
      if (t.ruleMayStart[c]) f |= kRuleMayStart;
    } else if (cls[c] == kSymbol) {
      f |= kQuiet;
    } else if (cls[c] == kWordSeparator) {
      f |= kWordBreak;
    }
    t.quiet[c] = f;
  }
  // A letter that begins a substitution rule is not quiet when the rule may
  // match with the byte after it. (A row whose first byte begins no rule is
  // the same all along: it is filled at once.)
  t.quietPair.assign(substitute ? 65536 : 0, 0);
  for (int c = 0; c < (substitute ? 256 : 0); ++c) {
    uint8_t* row = t.quietPair.data() + (static_cast<size_t>(c) << 8);
    if (!(t.quiet[c] & kRuleMayStart)) {
      std::fill(row, row + 256, static_cast<uint8_t>(t.quiet[c] | kRuleFree));
      continue;
    }
    for (int d = 0; d < 256; ++d) {
      uint8_t f = t.quiet[c];
      if (t.substIndex.MayMatch(rules.UpperMap[c], rules.UpperMap[d])) {
        f &= ~kQuiet;
      } else {
        f |= kRuleFree;  // no rule can match at c followed by d
      }
      row[d] = f;
    }
  }
}

void BuildPassTables(const SearchSettings& settings, ByteTables& t) {
  const bool substitute = settings.Substitute;
  t.passIdle.assign(65536, 0);
  t.passBusy.assign(65536, 0);
  const auto passFlags = [](uint8_t f, uint8_t& idle, uint8_t& busy) {
    const uint8_t two = (f & kTwoViews) ? 2 : 0;
    idle = static_cast<uint8_t>(((f & (kQuiet | kWordBreak)) ? 1 : 0) | two);
    busy = static_cast<uint8_t>(((f & kQuiet) ? 1 : 0) | two);
  };
  for (int c = 0; c < 256; ++c) {
    const size_t at = static_cast<size_t>(c) << 8;
    if (!substitute || !(t.quiet[c] & kRuleMayStart)) {
      uint8_t idle = 0;
      uint8_t busy = 0;
      passFlags(substitute ? t.quietPair[at] : t.quiet[c], idle, busy);
      std::fill(t.passIdle.begin() + static_cast<std::ptrdiff_t>(at),
                t.passIdle.begin() + static_cast<std::ptrdiff_t>(at + 256), idle);
      std::fill(t.passBusy.begin() + static_cast<std::ptrdiff_t>(at),
                t.passBusy.begin() + static_cast<std::ptrdiff_t>(at + 256), busy);
      continue;
    }
    for (size_t x = at; x < at + 256; ++x) passFlags(t.quietPair[x], t.passIdle[x], t.passBusy[x]);
  }
  t.rulePair.assign(substitute ? 1024 : 0, 0);
  for (size_t c = 0; c < (substitute ? 256u : 0u); ++c) {
    if (!t.ruleMayStart[c]) continue;
    for (size_t x = c << 8; x < (c + 1) << 8; ++x) {
      if (!(t.quietPair[x] & kRuleFree)) t.rulePair[x >> 6] |= uint64_t{1} << (x & 63);
    }
  }
}

// Substitution rules that a quiet run may pass over: no more output than
// bytes taken (so the transducer is free again after the rule's last byte)
// and no output character that begins a key. (The one test of a quiet rule:
// the stop letters of fast runs build on it.)
void BuildQuietRules(const RuleSet& rules, ByteTables& t) {
  t.quietRule.assign(rules.SubstRules.size(), false);
  for (size_t r = 0; r < rules.SubstRules.size(); ++r) {
    const SubstRule& rule = rules.SubstRules[r];
    bool ok = rule.ReplacementLength() <= rule.MatchLength() && rule.MatchLength() >= 1;
    for (char ch : rule.Replacement) {
      const unsigned char k = static_cast<unsigned char>(ch);
      if (k != 0 && t.starts[k]) ok = false;
    }
    t.quietRule[r] = ok;
  }
  for (int c = 0; c < 256; ++c) {
    const unsigned char up = rules.UpperMap[c];
    if (!t.ruleMayStart[c]) continue;
    for (const int32_t* r = t.substIndex.begin(up); r != t.substIndex.end(up); ++r) {
      if (t.quietRule[static_cast<size_t>(*r)]) t.quietRuleStart[c] = true;
    }
  }
}

// One round of the growth of the stop letters: the letters that begin a
// simple rule holding, after its first character, the character of a stop
// letter. True when some letter was added.
bool SpreadStopLetters(const RuleSet& rules, bool skipSymbols, const SubstRuleIndex& substIndex,
                       std::array<bool, 256>& hot) {
  std::array<bool, 256> hotChar{};  // by upper-cased character
  for (int c = 0; c < 256; ++c) {
    if (hot[c]) hotChar[rules.UpperMap[c]] = true;
  }
  std::array<bool, 256> heads{};  // first characters of rules holding one
  for (int u = 0; u < 256; ++u) {
    const unsigned char first = static_cast<unsigned char>(u);
    for (const int32_t* r = substIndex.begin(first); r != substIndex.end(first); ++r) {
      const std::string& m = rules.SubstRules[static_cast<size_t>(*r)].Match;
      for (size_t k = 1; k < m.size(); ++k) {
        if (hotChar[static_cast<unsigned char>(m[k])]) heads[first] = true;
      }
    }
  }
  bool grew = false;
  for (int c = 0; c < 256; ++c) {
    if (LetterLike(rules, skipSymbols, c) && !hot[c] && heads[rules.UpperMap[c]]) {
      hot[c] = true;
      grew = true;
    }
  }
  return grew;
}

// The letters where a fast run stops: letters whose plain comparison
// character begins a key, letters that begin a substitution rule that is
// not simple (a simple rule is quiet and takes letters only: every byte
// that upper-cases to one of its characters is a letter), and, until
// nothing changes, the letters that begin a simple rule holding a stop
// letter's character after its first one.
std::array<bool, 256> StopLetters(const RuleSet& rules, const SearchSettings& settings, const ByteTables& t) {
  const bool skipSymbols = settings.SkipSymbols;
  std::array<bool, 256> lettersOnly{};  // by upper-cased character
  lettersOnly.fill(true);
  for (int c = 0; c < 256; ++c) {
    if (!LetterLike(rules, skipSymbols, c)) lettersOnly[rules.UpperMap[c]] = false;
  }
  std::vector<bool> simple(rules.SubstRules.size(), false);
  for (size_t r = 0; r < rules.SubstRules.size(); ++r) {
    bool ok = t.quietRule[r];
    for (char ch : rules.SubstRules[r].Match) {
      if (!lettersOnly[static_cast<unsigned char>(ch)]) ok = false;
    }
    simple[r] = ok;
  }
  std::array<bool, 256> hot{};
  for (int c = 0; c < 256; ++c) {
    if (!LetterLike(rules, skipSymbols, c)) continue;
    if (t.plainK[c] != 0 && t.starts[t.plainK[c]]) hot[c] = true;
    if (!t.ruleMayStart[c]) continue;
    const unsigned char up = rules.UpperMap[c];
    for (const int32_t* r = t.substIndex.begin(up); r != t.substIndex.end(up); ++r) {
      if (!simple[static_cast<size_t>(*r)]) hot[c] = true;
    }
  }
  for (bool grew = settings.Substitute; grew;) grew = SpreadStopLetters(rules, skipSymbols, t.substIndex, hot);
  return hot;
}

// Fast runs (automaton only). With the transducer free and no partial
// match, the scan can pass over every byte up to the next stop byte by one
// vector scan, then do the word bookkeeping of the run once. Stop bytes:
// the stop letters (StopLetters); sentence and paragraph separators; line
// breaks (two view positions). A run then never holds the start of a match
// or of a rule that matters, and no rule that begins in a run takes the
// stop byte after it: the transducer is free there, as the letter-by-letter
// scan would find it.
void BuildStops(const RuleSet& rules, const SearchSettings& settings, const ByteTables& bytes, FastRunTables& t) {
  if (!t.enabled) return;
  const std::array<bool, 256> hot = StopLetters(rules, settings, bytes);
  for (int c = 0; c < 256; ++c) {
    const bool lineBreak = IsLineBreak(static_cast<unsigned char>(c));
    if (hot[c] || (!LetterLike(rules, settings.SkipSymbols, c) && rules.SeparatorClass[c] >= kSentenceSeparator) ||
        lineBreak) {
      t.stops.Add(static_cast<unsigned char>(c));
    }
    t.hotLetter[c] = hot[c] && !lineBreak;
  }
}

// Whether a key may begin at a stop letter is told from the letters after
// it (see Scan::KeyMayBeginAt): the characters keys hold at their first
// places, and what each byte is there.
void BuildGrams(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
                const ByteTables& bytes, FastRunTables& t) {
  const auto& cls = rules.SeparatorClass;
  // Separators that reset every string: the end of a context, or with no
  // context a flush. A key cannot be matched across them.
  for (int c = 0; c < 256; ++c) {
    const int k = cls[c];
    if (k < kWordSeparator) continue;
    t.resetsStrings[c] = settings.Context == kContextText ? (!settings.IgnoreSeparators || k >= kSentenceSeparator)
                                               : k >= bytes.contextEndClass;
  }
  for (const SearchString& str : strings) {
    if (str.Key.empty()) continue;
    t.gramLength = std::min<int>(t.gramLength, static_cast<int>(str.Key.size()));
    for (size_t k = 0; k < 4 && k < str.Key.size(); ++k) t.keyCharAt[k][static_cast<unsigned char>(str.Key[k])] = true;
  }
  for (int c = 0; c < 256; ++c) {
    uint8_t g = 0;
    const bool lineBreak = IsLineBreak(static_cast<unsigned char>(c));
    if (cls[c] >= kWordSeparator) {
      if (t.resetsStrings[c] && !lineBreak) g = kGramReset;
    } else if ((cls[c] == kLetter || !settings.SkipSymbols) && !lineBreak && bytes.plainK[c] != 0) {
      g = bytes.ruleMayStart[c] ? kGramRuleStart : kGramPlain;
    }
    t.gramClass[c] = g;
  }
}

// The vector scan already leaves out most stop letters where no key can
// begin: a letter that begins no rule and whose comparison character begins
// a key stops the scan only when the byte after it may go on with a key (or
// is a byte that shifts the comparison, which may go on with anything), and
// then when the byte after that may too.
void BuildRunBytes(const ByteTables& bytes, FastRunTables& t) {
  for (int c = 0; c < 256; ++c) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (bytes.quiet[c] & kIsLetter) t.runBytes.Add(kRunLetter, b);
    if (bytes.quiet[c] & kWordBreak) t.runBytes.Add(kRunBreak, b);
  }
  for (int c = 0; c < 256; ++c) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (!t.stops.Contains(b)) continue;
    const bool keyLetter = t.hotLetter[c] && t.gramClass[c] == kGramPlain && t.keyCharAt[0][bytes.plainK[c]];
    t.runBytes.Add(keyLetter ? kKeyLetter : kHardStop, b);
  }
  for (int c = 0; c < 256; ++c) {
    const unsigned char b = static_cast<unsigned char>(c);
    const uint8_t g = t.gramClass[c];
    const bool shifts = g == 0 || g == kGramRuleStart;
    const unsigned char k = bytes.plainK[c];
    if (t.gramLength <= 1 || shifts || (g == kGramPlain && t.keyCharAt[1][k])) t.runBytes.Add(kGoesOn1, b);
    if (t.gramLength <= 1 || shifts) t.runBytes.Add(kShifts1, b);
    if (t.gramLength <= 2 || shifts || (g == kGramPlain && t.keyCharAt[2][k])) t.runBytes.Add(kGoesOn2, b);
  }
}

// With "all strings", the roots without exclusion that each automaton
// state shows to occur.
void BuildProbeTables(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
                      const StringTables& keys, ProbeTables& t) {
  std::vector<int32_t> place(strings.size(), -1);  // place among the roots without exclusion
  int32_t count = 0;
  for (int32_t n : keys.roots) {
    if (strings[static_cast<size_t>(n)].Exclude == 0) place[static_cast<size_t>(n)] = count++;
  }
  std::vector<int32_t> keptRootOf(strings.size(), -1);
  for (size_t n = 0; n < strings.size(); ++n) {
    const SearchString& str = strings[n];
    const size_t root = str.HasSource() ? static_cast<size_t>(str.Source) : n;
    if (root < strings.size()) keptRootOf[n] = place[root];
  }
  t.keptEndingAt.assign(t.enabled ? keys.automaton.StateCount() : 0, 0);
  for (uint32_t q = 0; q < t.keptEndingAt.size(); ++q) {
    for (auto o = keys.automaton.OutBegin(q); o != keys.automaton.OutEnd(q); ++o) {
      const int32_t r = keptRootOf[static_cast<size_t>(o->first)];
      if (r >= 0) t.keptEndingAt[q] |= uint64_t{1} << r;
    }
  }
  t.allKept = keys.keptRoots >= 64 ? ~uint64_t{0} : (uint64_t{1} << keys.keptRoots) - 1;
  for (int c = 0; c < 256; ++c) {
    if (LetterLike(rules, settings.SkipSymbols, c)) {
      t.probeByte[c] = 1;
    } else if (rules.SeparatorClass[c] == kSymbol) {
      t.probeByte[c] = 2;
    }
  }
}

}  // namespace

PlanTables::PlanTables(const RuleSet& r, const SearchSettings& s, const cArrowList& list, const cFilterList& f,
                       MatchMode mode)
    : rules(r), settings(s), strings(list), filters(f), bytes(r) {
  BuildStringTables(strings, settings, mode, keys);
  BuildCharacters(rules, settings, keys, bytes);
  BuildQuietTables(rules, settings, bytes);
  BuildPassTables(settings, bytes);
  BuildQuietRules(rules, bytes);
  fast.enabled = keys.matcher == MatcherKind::Automaton && mode != MatchMode::AutomatonSteady;
  BuildStops(rules, settings, bytes, fast);
  BuildGrams(rules, settings, strings, bytes, fast);
  BuildRunBytes(bytes, fast);
  probe.enabled = keys.matcher == MatcherKind::Automaton && settings.AllStrings && settings.Context != kContextText &&
                  keys.keptRoots > 0 && keys.keptRoots <= 64 && !settings.IgnoreSeparators;
  BuildProbeTables(rules, settings, strings, keys, probe);
}

SearchPlan::SearchPlan(const RuleSet& rules, const SearchSettings& settings, const cArrowList& strings,
                       const cFilterList& filters, MatchMode mode)
    : tables_(std::make_unique<const PlanTables>(rules, settings, strings, filters, mode)) {}

SearchPlan::~SearchPlan() = default;

const RuleSet& SearchPlan::Rules() const { return tables_->rules; }
const SearchSettings& SearchPlan::Settings() const { return tables_->settings; }
const cFilterList& SearchPlan::Filters() const { return tables_->filters; }

}  // namespace kalix
