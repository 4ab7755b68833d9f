// Text normalisation and comparison under the spelling modes.
//
// The comparison character of a text byte, the comparison form (`Key`) of a
// search string, the transducer that applies the substitutions, the pattern
// comparison of the filters and the form in which a found word is written.
// Every character is an unsigned code page 1252 byte.
//
// The substitution state (`Substituter`) belongs to one operation: one key,
// one document scan, one found form. Callers create one, pass it to every
// `SubstituteAt` of that operation, and drop it afterwards; nothing is kept
// between operations.
#pragma once

#include "rules/RuleSet.h"
#include "search/SearchSpec.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// The state of the substitution transducer during one operation.
struct Substituter {
  int32_t PendingOutput = 0;  // replacement characters still to return
  int32_t Rule = -1;          // index of the rule being applied; -1: none
  int32_t Skip = 0;           // text bytes still to consume by the rule
  int32_t OutputIndex = 0;    // next replacement character to return
};

// The substitution rules of a rule set grouped by the first character of
// their left side, in file order within each group, so that a step tries
// only the rules that can match. Rules whose left side holds the value 0
// are left out (they could only match past the end of the text).
class SubstRuleIndex {
 public:
  explicit SubstRuleIndex(const RuleSet& rules);
  // Indices of the rules whose left side begins with `c`, in file order.
  const int32_t* begin(unsigned char c) const { return order_.data() + first_[c]; }
  const int32_t* end(unsigned char c) const { return order_.data() + first_[c + 1]; }
  bool Empty() const { return order_.empty(); }
  // False when no rule can match text whose first two upper-cased bytes are
  // `a` and `b` (a quick test before the rules are tried).
  bool MayMatch(unsigned char a, unsigned char b) const {
    return (pairs_[(size_t{a} << 8 | b) >> 6] >> (b & 63)) & 1;
  }

 private:
  std::array<uint32_t, 257> first_{};
  std::vector<int32_t> order_;
  std::array<uint64_t, 1024> pairs_{};
};

// True when the rule's left side equals the upper-cased bytes of `text` from
// `p` on (raw consecutive bytes, symbols not skipped). Bytes past the end of
// `text` compare as 0 and never match.
bool RuleMatchesAt(const RuleSet& rules, std::string_view text, size_t p, const SubstRule& rule);

// One step of the substitution transducer at text position `p`: the
// comparison character of the byte there under the "Modifiée" spelling, or
// 0 when the byte takes no part in the comparison.
inline unsigned char SubstituteAt(const RuleSet& rules, const SubstRuleIndex& index, Substituter& state,
                                  std::string_view text, size_t p);
// The same, building the rule index on the way (for one-off use).
unsigned char SubstituteAt(const RuleSet& rules, Substituter& state, std::string_view text, size_t p);

// Replaces every byte of the key by its `UpperMap` entry; nothing removed.
void FoldString(const RuleSet& rules, SearchString& s);

// Rebuilds the key from `Text` through the transducer (a fresh state): the
// non-zero results, in order.
void SubstituteString(const RuleSet& rules, SearchString& s);
// The same for a bare text.
std::string SubstituteText(const RuleSet& rules, std::string_view text);

// The filter comparison: walk `text` from `p`; with `skipSymbols` bytes of
// class 1 are passed over; every other byte, upper-cased, is compared with
// the next pattern character. True when all of `pattern` compared equal;
// false at the first difference or when the text ends first.
bool PatternMatchesAt(const RuleSet& rules, std::string_view text, size_t p,
                      std::string_view pattern, bool skipSymbols);

// The form in which the word of `wordLength` bytes at `wordAt` in `text` is
// written: resultSpelling 0 "Identique", 1 "Majuscule", 2 "Modifié". Bytes
// whose result is 0 are left out; the form is kept whole.
std::string ResultForm(const RuleSet& rules, std::string_view text, size_t wordAt,
                       size_t wordLength, int resultSpelling, bool showSymbols);
// The same, appending to `out` and reusing a rule index (for the hot path).
void AppendResultForm(const RuleSet& rules, const SubstRuleIndex& index, std::string_view text,
                      size_t wordAt, size_t wordLength, int resultSpelling, bool showSymbols,
                      std::string& out);

// ---------------------------------------------------------------------------
// The transducer's step, inline: the scan calls it for every letter.

namespace detail {

// Continues a rule being applied (or takes a new one).
inline unsigned char EmitFromRule(const RuleSet& rules, Substituter& st) {
  const SubstRule& rule = rules.SubstRules[static_cast<size_t>(st.Rule)];
  --st.PendingOutput;
  if (st.Skip != 0) --st.Skip;
  unsigned char out = static_cast<unsigned char>(rule.Replacement[static_cast<size_t>(st.OutputIndex)]);
  ++st.OutputIndex;
  return out;
}

inline unsigned char TakeRule(const RuleSet& rules, Substituter& st, int32_t r) {
  const SubstRule& rule = rules.SubstRules[static_cast<size_t>(r)];
  st.Rule = r;
  st.Skip = rule.MatchLength();
  st.PendingOutput = rule.ReplacementLength();
  st.OutputIndex = 0;
  if (rule.Replacement.empty()) {
    --st.Skip;
    return 0;
  }
  return EmitFromRule(rules, st);
}

// RuleMatchesAt for a rule of the index (no zero in its left side, whose
// first character is already known to match).
inline bool IndexedRuleMatchesAt(const RuleSet& rules, std::string_view text, size_t p, const SubstRule& rule) {
  const size_t m = rule.Match.size();
  if (p + m > text.size()) return false;  // the terminating zero never matches
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text.data()) + p;
  for (size_t k = 1; k < m; ++k) {
    if (rules.UpperMap[t[k]] != static_cast<unsigned char>(rule.Match[k])) return false;
  }
  return true;
}

}  // namespace detail

inline unsigned char SubstituteAt(const RuleSet& rules, const SubstRuleIndex& index, Substituter& st,
                                  std::string_view text, size_t p) {
  if (st.PendingOutput == 0) {
    if (st.Skip != 0) {
      --st.Skip;
      return 0;
    }
    unsigned char up = rules.UpperMap[p < text.size() ? static_cast<unsigned char>(text[p]) : 0];
    for (const int32_t* r = index.begin(up); r != index.end(up); ++r) {
      if (detail::IndexedRuleMatchesAt(rules, text, p, rules.SubstRules[static_cast<size_t>(*r)])) {
        return detail::TakeRule(rules, st, *r);
      }
    }
    return rules.SubstMap[up];
  }
  return detail::EmitFromRule(rules, st);
}

}  // namespace kalix
