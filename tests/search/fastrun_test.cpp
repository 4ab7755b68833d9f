// The automaton scan passes over long stretches by one vector scan for the
// bytes where something can happen, and reads the word bookkeeping of each
// stretch from bit masks of its last 64 bytes; with "all strings" it probes
// each context before scanning it in full. Checked here, with and without
// the fast runs, against the string-by-string scan, on long random texts
// (words longer than the mask window, long runs of separators, stretches
// without letters) and random substitution rules, among them rules that
// take a key's first letter after their own first one, take separators or
// symbols, or give more than they take.
#include "search/Engine.h"
#include "targets/Collector.h"
#include "targets/Sorting.h"
#include "targets/Target.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace kalix {
namespace {

RuleSet RandomRules(std::mt19937& rng) {
  RuleSet r = DefaultRules();
  r.SeparatorClass[' '] = kWordSeparator;
  r.SeparatorClass[','] = kWordSeparator;
  r.SeparatorClass['.'] = kSentenceSeparator;
  r.SeparatorClass['!'] = kSentenceSeparator;
  r.SeparatorClass['\n'] = kParagraphSeparator;
  r.SeparatorClass['\r'] = rng() % 2 ? kWordSeparator : kLetter;
  r.SeparatorClass['\''] = kSymbol;
  static const std::vector<SubstRule> pool = {
      {"QU", "K"},  {"EAU", "O"}, {"AU", "O"}, {"PH", "F"},  {"AC", "X"},  {"UC", ""},   {"HA", ""},
      {"TE", "TTT"}, {"A'U", "X"}, {"E ", "Z"}, {"CH", "C"},  {"XC", "XX"}, {"CC", "K"},  {"SS", "S"},
      {"HAC", "H"}, {"UH", "UH"}, {"AT", "CA"}, {"E.", ""},  {"ZZ", "C"},  {"OC", "O"},  {"KU", "Q"}};
  const int count = static_cast<int>(rng() % 7);
  for (int k = 0; k < count; ++k) r.SubstRules.push_back(pool[rng() % pool.size()]);
  if (rng() % 2) r.SubstMap['Y'] = 0;
  if (rng() % 2) r.SubstMap['V'] = 'C';
  return r;
}

std::string RandomText(std::mt19937& rng) {
  static const std::string letters = "ACHTEQUOSXZKPYVacht'";
  static const char* const pieces[] = {"chat", "eau", "quac", "phat", "a'uc", "tete", "hac", "uch", "ccc", "zzc"};
  std::string text;
  const int words = 20 + static_cast<int>(rng() % 300);
  for (int w = 0; w < words; ++w) {
    const unsigned shape = rng() % 100;
    int length = 1 + static_cast<int>(rng() % 9);
    if (shape < 4) length = 60 + static_cast<int>(rng() % 80);  // longer than the mask window
    for (int k = 0; k < length; ++k) {
      if (rng() % 6 == 0) {
        text += pieces[rng() % 10];
      } else {
        text += letters[rng() % letters.size()];
      }
    }
    const unsigned sep = rng() % 100;
    if (sep < 70) {
      text += ' ';
    } else if (sep < 78) {
      text += ". ";
    } else if (sep < 82) {
      text += "\r\n";
    } else if (sep < 86) {
      text += ", ";
    } else if (sep < 89) {
      text += std::string(50 + rng() % 60, ' ');  // a stretch without letters
    } else if (sep < 92) {
      text += "!\n";
    } else if (sep < 95) {
      text += '\r';
    } else {
      text += "' ";
    }
  }
  return text;
}

TEST(FastRun, AutomatonAgreesWithStringByStringOnLongTexts) {
  std::mt19937 rng(2024);
  int occurrences = 0;
  for (int round = 0; round < 400; ++round) {
    const RuleSet rules = RandomRules(rng);
    const std::string text = RandomText(rng);
    SearchSettings s;
    s.SetSpelling(static_cast<int16_t>(rng() % 3));
    s.Context = static_cast<int16_t>(rng() % 4);
    s.AllStrings = rng() % 4 == 0;
    s.InOrder = rng() % 4 == 0;
    s.IgnoreSeparators = rng() % 4 == 0;
    s.SetResult(true, static_cast<int16_t>(rng() % 3), rng() % 2 == 0);
    cArrowList strings;
    const int count = 1 + static_cast<int>(rng() % 4);
    static const std::string keyLetters = "CHATEQUKXOca";
    for (int n = 0; n < count; ++n) {
      std::string key;
      const int length = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < length; ++k) key += keyLetters[rng() % keyLetters.size()];
      SearchString str(key);
      str.Position = static_cast<int16_t>(rng() % 5);
      str.Exclude = static_cast<int16_t>(rng() % 6 == 0);
      str.Index = n;
      if (s.Substitute) {
        SubstituteString(rules, str);
      } else if (s.FoldCase) {
        FoldString(rules, str);
      }
      strings.push_back(std::move(str));
    }
    // Generated variants now and then: they count for their source.
    const size_t roots = strings.size();
    for (size_t n = 0; n < roots; ++n) {
      if (rng() % 3 != 0) continue;
      SearchString variant = strings[n];
      variant.Source = static_cast<int32_t>(n);
      variant.Text.clear();
      std::string key;
      const int length = 1 + static_cast<int>(rng() % 3);
      for (int k = 0; k < length; ++k) key += keyLetters[rng() % keyLetters.size()];
      variant.SetKey(key);
      strings.push_back(std::move(variant));
    }
    cTargetList results[3];
    const MatchMode modes[3] = {MatchMode::PerString, MatchMode::Automaton, MatchMode::AutomatonSteady};
    for (int m = 0; m < 3; ++m) {
      cArrowList list = strings;
      TargetCollector sink(rules, s.ResultSpelling, s.ShowSymbols);
      sink.BeginDocument(text, {}, "");
      SearchDocument(rules, s, list, {}, text, sink, modes[m]);
      results[m] = sink.Finish();
    }
    for (int m = 1; m < 3; ++m) {
    SCOPED_TRACE("round " + std::to_string(round) + " mode " + std::to_string(m) + " text [" + text + "]");
    ASSERT_EQ(results[0].size(), results[m].size());
    for (size_t t = 0; t < results[0].size(); ++t) {
      const Target& a = results[m][t];
      const Target& b = results[0][t];
      ASSERT_EQ(a.Text, b.Text);
      EXPECT_EQ(a.StringIndex, b.StringIndex);
      ASSERT_EQ(a.Starts.size(), b.Starts.size()) << a.Text;
      for (size_t o = 0; o < a.Starts.size(); ++o) {
        ASSERT_TRUE(a.Starts[o] == b.Starts[o])
            << a.Text << " at " << a.Starts[o].StartView << " / " << b.Starts[o].StartView;
        ++occurrences;
      }
    }
    }
  }
  EXPECT_GT(occurrences, 10000);
}

// A rule that takes the separator after its first letter leaves the
// transducer busy over that separator: the letter after it is taken by the
// rule, so XA is not found after "CE " (a key prefix C dies out at the
// rule's output, but the rule is not finished).
TEST(FastRun, RuleStillTakingBytesAtASeparator) {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SubstRules.push_back({"E ", "Z"});
  SearchSettings s;
  s.SetSpelling(2);
  s.SetResult(true, 0, true);
  for (MatchMode mode : {MatchMode::Automaton, MatchMode::AutomatonSteady, MatchMode::PerString}) {
    cArrowList strings;
    for (const char* key : {"CQ", "XA"}) {
      SearchString str(key);
      str.Index = static_cast<int32_t>(strings.size());
      SubstituteString(rules, str);
      strings.push_back(std::move(str));
    }
    TargetCollector sink(rules, 0, true);
    const std::string text = "XA CE XA XA ";
    sink.BeginDocument(text, {}, "");
    SearchDocument(rules, s, strings, {}, text, sink, mode);
    cTargetList targets = sink.Finish();
    ASSERT_EQ(targets.size(), 1u);
    ASSERT_EQ(targets[0].Starts.size(), 2u);
    EXPECT_EQ(targets[0].Starts[0].StartView, 0);
    EXPECT_EQ(targets[0].Starts[1].StartView, 9);
  }
}

// With "all strings" a context is probed before it is scanned in full: the
// probe must read the text through the substitution rules, as the full scan
// does (K only comes from QU, O only from EAU here).
TEST(FastRun, ProbedContextsReadThroughSubstitutions) {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SubstRules.push_back({"QU", "K"});
  rules.SubstRules.push_back({"EAU", "O"});
  SearchSettings s;
  s.SetSpelling(2);
  s.Context = 2;
  s.AllStrings = true;
  s.SetResult(true, 0, true);
  for (MatchMode mode : {MatchMode::Automaton, MatchMode::AutomatonSteady, MatchMode::PerString}) {
    cArrowList strings;
    for (const char* key : {"K", "O"}) {
      SearchString str(key);
      str.Index = static_cast<int32_t>(strings.size());
      SubstituteString(rules, str);
      strings.push_back(std::move(str));
    }
    TargetCollector sink(rules, 0, true);
    // In OQUI the rule begins right after a letter that begins a key.
    const std::string text = "BEAU LAC. QUAI ET BATEAU. QUAI. OQUI.";
    sink.BeginDocument(text, {}, "");
    SearchDocument(rules, s, strings, {}, text, sink, mode);
    cTargetList targets = sink.Finish();
    SortTargetsByText(targets);
    ASSERT_EQ(targets.size(), 3u) << static_cast<int>(mode);
    EXPECT_EQ(targets[0].Text, "BATEAU");
    EXPECT_EQ(targets[1].Text, "OQUI");
    EXPECT_EQ(targets[1].Starts.size(), 2u);  // O and K (from QU)
    EXPECT_EQ(targets[2].Text, "QUAI");
    EXPECT_EQ(targets[2].Starts.size(), 1u);  // the second QUAI is alone in its sentence
  }
}

// A string found only through a generated variant counts as found when a
// context is probed, as in the full scan.
TEST(FastRun, ProbedContextsCountVariantsForTheirSource) {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  SearchSettings s;
  s.SetSpelling(1);
  s.Context = 2;
  s.AllStrings = true;
  s.SetResult(true, 0, true);
  for (MatchMode mode : {MatchMode::Automaton, MatchMode::AutomatonSteady, MatchMode::PerString}) {
    cArrowList strings;
    for (const char* key : {"KAT", "OR"}) {
      SearchString str(key);
      str.Index = static_cast<int32_t>(strings.size());
      FoldString(rules, str);
      strings.push_back(std::move(str));
    }
    SearchString variant = strings[1];
    variant.Source = 1;
    variant.Text.clear();
    variant.SetKey("QR");
    strings.push_back(std::move(variant));
    TargetCollector sink(rules, 0, true);
    const std::string text = "KAT QR. KAT. QR.";
    sink.BeginDocument(text, {}, "");
    SearchDocument(rules, s, strings, {}, text, sink, mode);
    cTargetList targets = sink.Finish();
    SortTargetsByText(targets);
    ASSERT_EQ(targets.size(), 2u) << static_cast<int>(mode);
    EXPECT_EQ(targets[0].Text, "KAT");
    EXPECT_EQ(targets[0].Starts.size(), 1u);
    EXPECT_EQ(targets[1].Text, "QR");
    EXPECT_EQ(targets[1].StringIndex, 2);
  }
}

}  // namespace
}  // namespace kalix
