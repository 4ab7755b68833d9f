#include "search/Normalize.h"

namespace kalix {

namespace {

inline unsigned char ByteAt(std::string_view text, size_t p) {
  return p < text.size() ? static_cast<unsigned char>(text[p]) : 0;
}

bool UsableRule(const SubstRule& rule) {
  if (rule.Match.empty()) return false;
  for (char c : rule.Match) {
    if (c == 0) return false;
  }
  return true;
}

}  // namespace

SubstRuleIndex::SubstRuleIndex(const RuleSet& rules) {
  std::array<uint32_t, 256> count{};
  for (const SubstRule& r : rules.SubstRules) {
    if (UsableRule(r)) ++count[static_cast<unsigned char>(r.Match[0])];
  }
  uint32_t total = 0;
  for (int c = 0; c < 256; ++c) {
    first_[c] = total;
    total += count[c];
  }
  first_[256] = total;
  order_.assign(total, 0);
  std::array<uint32_t, 256> fill{};
  for (size_t i = 0; i < rules.SubstRules.size(); ++i) {
    const SubstRule& r = rules.SubstRules[i];
    if (!UsableRule(r)) continue;
    unsigned char c = static_cast<unsigned char>(r.Match[0]);
    order_[first_[c] + fill[c]++] = static_cast<int32_t>(i);
    size_t pair = size_t{c} << 8 | static_cast<unsigned char>(r.Match[1 < r.Match.size() ? 1 : 0]);
    if (r.Match.size() < 2) {
      for (size_t b = 0; b < 256; ++b) pairs_[(size_t{c} << 8 | b) >> 6] |= uint64_t{1} << (b & 63);
    } else {
      pairs_[pair >> 6] |= uint64_t{1} << (pair & 63);
    }
  }
}

bool RuleMatchesAt(const RuleSet& rules, std::string_view text, size_t p, const SubstRule& rule) {
  if (!UsableRule(rule)) return false;
  for (size_t k = 0; k < rule.Match.size(); ++k) {
    if (rules.UpperMap[ByteAt(text, p + k)] != static_cast<unsigned char>(rule.Match[k])) return false;
  }
  return true;
}

unsigned char SubstituteAt(const RuleSet& rules, Substituter& st, std::string_view text, size_t p) {
  if (st.PendingOutput == 0) {
    if (st.Skip != 0) {
      --st.Skip;
      return 0;
    }
    for (size_t r = 0; r < rules.SubstRules.size(); ++r) {
      if (RuleMatchesAt(rules, text, p, rules.SubstRules[r])) {
        return detail::TakeRule(rules, st, static_cast<int32_t>(r));
      }
    }
    return rules.SubstMap[rules.UpperMap[ByteAt(text, p)]];
  }
  return detail::EmitFromRule(rules, st);
}

void FoldString(const RuleSet& rules, SearchString& s) {
  for (char& c : s.Key) c = static_cast<char>(rules.UpperMap[static_cast<unsigned char>(c)]);
  s.KeyLength = static_cast<int16_t>(s.Key.size());
}

std::string SubstituteText(const RuleSet& rules, std::string_view text) {
  SubstRuleIndex index(rules);
  Substituter st;
  std::string key;
  key.reserve(text.size());
  for (size_t p = 0; p < text.size(); ++p) {
    unsigned char k = SubstituteAt(rules, index, st, text, p);
    if (k != 0) key.push_back(static_cast<char>(k));
  }
  return key;
}

void SubstituteString(const RuleSet& rules, SearchString& s) { s.SetKey(SubstituteText(rules, s.Text)); }

bool PatternMatchesAt(const RuleSet& rules, std::string_view text, size_t p, std::string_view pattern,
                      bool skipSymbols) {
  size_t k = 0;
  while (k < pattern.size()) {
    if (p >= text.size()) return false;
    unsigned char b = static_cast<unsigned char>(text[p++]);
    if (skipSymbols && rules.SeparatorClass[b] == kSymbol) continue;
    if (rules.UpperMap[b] != static_cast<unsigned char>(pattern[k])) return false;
    ++k;
  }
  return true;
}

void AppendResultForm(const RuleSet& rules, const SubstRuleIndex& index, std::string_view text,
                      size_t wordAt, size_t wordLength, int resultSpelling, bool showSymbols,
                      std::string& out) {
  size_t end = wordAt + wordLength;
  if (end > text.size()) end = text.size();
  if (resultSpelling == kResultUpper) {
    for (size_t p = wordAt; p < end; ++p) {
      unsigned char c = static_cast<unsigned char>(text[p]);
      if (!showSymbols && rules.SeparatorClass[c] == kSymbol) continue;
      unsigned char u = rules.UpperMap[c];
      if (u != 0) out.push_back(static_cast<char>(u));
    }
  } else if (resultSpelling == kResultModified) {
    Substituter st;
    for (size_t p = wordAt; p < end; ++p) {
      unsigned char c = static_cast<unsigned char>(text[p]);
      if (!showSymbols && rules.SeparatorClass[c] == kSymbol) continue;
      unsigned char k = SubstituteAt(rules, index, st, text, p);
      if (k != 0) out.push_back(static_cast<char>(k));
    }
  } else {
    for (size_t p = wordAt; p < end; ++p) {
      unsigned char c = static_cast<unsigned char>(text[p]);
      if ((showSymbols || rules.SeparatorClass[c] == kLetter) && c != 0) out.push_back(static_cast<char>(c));
    }
  }
}

std::string ResultForm(const RuleSet& rules, std::string_view text, size_t wordAt, size_t wordLength,
                       int resultSpelling, bool showSymbols) {
  std::string out;
  SubstRuleIndex index(rules);
  AppendResultForm(rules, index, text, wordAt, wordLength, resultSpelling, showSymbols, out);
  return out;
}

}  // namespace kalix
