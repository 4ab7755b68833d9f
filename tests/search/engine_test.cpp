#include "platform/Parallel.h"
#include "search/Engine.h"
#include "targets/Collector.h"
#include "targets/Sorting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace kalix {
namespace {

// Blank: word separator; full stop: sentence separator; LF: paragraph
// separator; apostrophe: symbol.
RuleSet TestRules() {
  RuleSet r = DefaultRules();
  r.SeparatorClass[' '] = kWordSeparator;
  r.SeparatorClass[','] = kWordSeparator;
  r.SeparatorClass['.'] = kSentenceSeparator;
  r.SeparatorClass['\n'] = kParagraphSeparator;
  r.SeparatorClass['\''] = kSymbol;
  return r;
}

struct Str {
  std::string text;
  int16_t position = 0;
  int16_t exclude = 0;
};

SearchSettings Settings(int spelling, int context = 0, bool all = false, bool inOrder = false) {
  SearchSettings s;
  s.SetSpelling(static_cast<int16_t>(spelling));
  s.Context = static_cast<int16_t>(context);
  s.AllStrings = all;
  s.InOrder = inOrder;
  s.SetResult(true, 0, true);
  return s;
}

cArrowList Strings(const RuleSet& rules, const std::vector<Str>& strs, const SearchSettings& settings) {
  cArrowList list;
  for (const Str& s : strs) {
    SearchString ss(s.text);
    ss.Position = s.position;
    ss.Exclude = s.exclude;
    ss.Index = static_cast<int32_t>(list.size());
    if (settings.Substitute) SubstituteString(rules, ss);
    else if (settings.FoldCase) FoldString(rules, ss);
    list.push_back(std::move(ss));
  }
  return list;
}

cTargetList Scan(const RuleSet& rules, std::string_view text, const std::vector<Str>& strs,
                const SearchSettings& settings, const cFilterList& filters = {}, const cMarkList& marks = {}) {
  cArrowList list = Strings(rules, strs, settings);
  TargetCollector sink(rules, settings.ResultSpelling, settings.ShowSymbols);
  sink.BeginDocument(text, marks, "");
  SearchDocument(rules, settings, list, filters, text, sink);
  sink.EndDocument();
  cTargetList targets = sink.Finish();
  SortTargetsByText(targets);
  return targets;
}

// "TEXT:views" per target, e.g. "BANANA:1,3,5".
std::vector<std::string> Summary(const cTargetList& targets) {
  std::vector<std::string> out;
  for (const Target& t : targets) {
    std::string s = t.Text + ":";
    for (size_t i = 0; i < t.Starts.size(); ++i) {
      if (i) s += ",";
      s += std::to_string(t.Starts[i].StartView);
    }
    out.push_back(s);
  }
  return out;
}

using V = std::vector<std::string>;

TEST(Engine, PositionRules) {
  RuleSet r = TestRules();
  struct Case {
    int16_t position;
    V expected;
  } cases[] = {
      {kAnywhere, {"BETE:4", "ET:0", "JET:9"}},
      {kWordStart, {"ET:0"}},
      {kWholeWord, {"ET:0"}},
      {kWordEnd, {"ET:0", "JET:9"}},
      {kWordMiddle, {"BETE:4"}},
  };
  for (const Case& c : cases) {
    for (int spelling = 0; spelling <= 2; ++spelling) {
      EXPECT_EQ(Summary(Scan(r, "ET BETE JET.", {{"ET", c.position}}, Settings(spelling))), c.expected)
          << c.position << " " << spelling;
    }
  }
}

TEST(Engine, EveryOccurrenceIsFound) {
  RuleSet r = TestRules();
  struct Case {
    const char* text;
    std::vector<Str> strings;
    V expected;
  } cases[] = {
      {"BANANA ", {{"A"}}, {"BANANA:1,3,5"}},
      // A failed partial match does not hide a match that starts inside it.
      {"AAAB ", {{"AAB"}}, {"AAAB:1"}},
      {"XAAAAB ", {{"AAAB"}}, {"XAAAAB:2"}},
      // Completed matches of one string never overlap.
      {"ABABA ", {{"ABA"}}, {"ABABA:0"}},
      {"AAAA ", {{"AA"}}, {"AAAA:0,2"}},
      {"BANANA ", {{"ANA"}}, {"BANANA:1"}},
      // The position rule is checked where each candidate begins.
      {"AAB ", {{"AB", kWordStart}}, {}},
      {"AAB AB ", {{"AB", kWordStart}}, {"AB:4"}},
      {"XAAABX ", {{"AAB", kWordMiddle}}, {"XAAABX:2"}},
      {"AAAB ", {{"AAB", kWordEnd}}, {"AAAB:1"}},
      {"AAAB ", {{"AAB", kWholeWord}}, {}},
      // Two strings at the same place: one occurrence.
      {"PARIS ", {{"PAR"}, {"PARI"}}, {"PARIS:0"}},
      // A word separator ends every partial match.
      {"PARCE QUE ", {{"PARCEQUE"}}, {}},
      // The last word is never flushed without a separator after it.
      {"ET ET", {{"ET"}}, {"ET:0"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Summary(Scan(r, c.text, c.strings, Settings(2))), c.expected) << c.text;
  }
}

TEST(Engine, IgnoreSeparators) {
  RuleSet r = TestRules();
  SearchSettings s = Settings(1);
  s.IgnoreSeparators = true;
  EXPECT_EQ(Summary(Scan(r, "PARCE QUE.", {{"PARCEQUE"}}, s)), V{"PARCE QUE:0"});
  // Hits wait for a sentence end; the last sentence must end.
  EXPECT_EQ(Summary(Scan(r, "ET ET ", {{"ET"}}, s)), V{});
  EXPECT_EQ(Summary(Scan(r, "ET ET.", {{"ET"}}, s)), V{"ET:0,3"});
  // In the "Phrase" context partial matches run on across word separators.
  EXPECT_EQ(Summary(Scan(r, "PARCE QUE.", {{"PARCEQUE"}}, Settings(1, 2))), V{"PARCE QUE:0"});
  EXPECT_EQ(Summary(Scan(r, "PARCE. QUE.", {{"PARCEQUE"}}, Settings(1, 2))), V{});
  EXPECT_EQ(Summary(Scan(r, "PARCE. QUE.", {{"PARCEQUE"}}, Settings(1, 3))), V{});  // no paragraph end
  EXPECT_EQ(Summary(Scan(r, "PARCE. QUE.\n", {{"PARCEQUE"}}, Settings(1, 3))), V{"PARCE. QUE:0"});
}

TEST(Engine, Contexts) {
  RuleSet r = TestRules();
  std::vector<Str> chatChien = {{"CHAT"}, {"CHIEN"}};
  struct Case {
    const char* text;
    std::vector<Str> strings;
    SearchSettings settings;
    V expected;
  } cases[] = {
      {"LE CHAT DORT.", chatChien, Settings(2, 2, true), {}},
      {"LE CHAT ET LE CHIEN.", chatChien, Settings(2, 2, true), {"CHAT:3", "CHIEN:14"}},
      {"LE CHAT. LE CHIEN.", chatChien, Settings(2, 2, true), {}},
      {"LE CHAT. LE CHIEN.", chatChien, Settings(2, 3, true), {}},  // paragraph not ended
      {"LE CHAT. LE CHIEN.\n", chatChien, Settings(2, 3, true), {"CHAT:3", "CHIEN:12"}},
      {"LE CHAT DORT.", chatChien, Settings(2, 2, false), {"CHAT:3"}},
      {"LE CHIEN ET LE CHAT.", chatChien, Settings(2, 2, true, true), {}},
      {"LE CHAT ET LE CHIEN.", chatChien, Settings(2, 2, true, true), {"CHAT:3", "CHIEN:14"}},
      {"LE CHAT ET LE CHIEN.", {{"CHIEN"}, {"CHAT"}}, Settings(2, 2, true, true), {}},
      // Only the first hit of each string counts for the order.
      {"CHAT CHIEN CHAT.", chatChien, Settings(2, 2, true, true), {"CHAT:0,11", "CHIEN:5"}},
      // Exclusions in the "Mot" context.
      {"CHATS CHAT ", {{"CHAT"}, {"S", 0, 1}}, Settings(2, 1), {"CHAT:6"}},
      // The excluded string is only used in the other contexts.
      {"CHATS CHAT ", {{"CHAT"}, {"S", 0, 1}}, Settings(2, 0), {"CHAT:6", "CHATS:0,4"}},
      {"CHATS. CHAT.", {{"CHAT"}, {"S", 0, 1}}, Settings(2, 2), {"CHAT:7"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Summary(Scan(r, c.text, c.strings, c.settings)), c.expected) << c.text;
  }
}

TEST(Engine, OccurrenceFields) {
  RuleSet r = TestRules();
  // "AB CD.\nEF CD GH.\n": CD of the second paragraph, context "Phrase".
  std::string text = "AB CD.\nEF CD GH.\n";
  cMarkList marks = {{0, kPageMark, 1, 0, nullptr}, {8, kFolioMark, 4, 1, nullptr}};
  cTargetList t = Scan(r, text, {{"CD"}}, Settings(2, 2), {}, marks);
  ASSERT_EQ(t.size(), 1u);
  ASSERT_EQ(t[0].Starts.size(), 2u);
  const Occurrence& a = t[0].Starts[0];
  EXPECT_EQ(a.StartView, 3);
  EXPECT_EQ(a.ViewLength, 2);
  EXPECT_EQ(a.ContextStartView, 0);
  EXPECT_EQ(a.ContextStartOffset, 0);
  EXPECT_EQ(a.ContextOffsetLength, 6);  // up to and including the full stop
  EXPECT_EQ(a.ContextViewLength, 6);
  EXPECT_EQ(a.Page, 1);
  EXPECT_EQ(a.Folio, 0);
  EXPECT_EQ(a.WordStart, 3);
  EXPECT_EQ(a.WordEnd, 4);
  EXPECT_EQ(a.SentenceStart, 0);
  EXPECT_EQ(a.SentenceEnd, 4);
  EXPECT_EQ(a.ParagraphStart, 0);
  EXPECT_EQ(a.ParagraphEnd, 4);  // closed at the LF after the flush
  const Occurrence& b = t[0].Starts[1];
  // Text offsets: E=7, CD at 10; view positions count the LF twice.
  EXPECT_EQ(b.StartView, 11);
  EXPECT_EQ(b.ContextStartView, 8);
  EXPECT_EQ(b.ContextStartOffset, 7);
  EXPECT_EQ(b.ContextOffsetLength, 9);   // EF CD GH.
  EXPECT_EQ(b.ContextViewLength, 9);
  EXPECT_EQ(b.Page, 1);
  EXPECT_EQ(b.Folio, 4);
  EXPECT_EQ(b.Verso, 1);
  EXPECT_EQ(b.WordStart, 10);
  EXPECT_EQ(b.WordEnd, 11);
  EXPECT_EQ(b.SentenceStart, 7);
  EXPECT_EQ(b.SentenceEnd, 14);
  EXPECT_EQ(b.ParagraphStart, 7);
  EXPECT_EQ(b.ParagraphEnd, 14);
  EXPECT_EQ(t[0].Length, 2);
}

TEST(Engine, TextContextFieldsAndEnds) {
  RuleSet r = TestRules();
  // Flushed at the word separator: the sentence and paragraph ends come later.
  cTargetList t = Scan(r, "A BC.\nD", {{"A"}}, Settings(0));
  ASSERT_EQ(t.size(), 1u);
  const Occurrence& o = t[0].Starts[0];
  EXPECT_EQ(o.ContextStartView, -1);
  EXPECT_EQ(o.ContextStartOffset, 0);
  EXPECT_EQ(o.ContextViewLength, 0);
  EXPECT_EQ(o.ContextOffsetLength, 0);
  // A word ending at offset 0 keeps that end.
  EXPECT_EQ(o.WordEnd, 0);
  EXPECT_TRUE(o.WordEndKnown());
  EXPECT_EQ(o.SentenceEnd, 3);
  EXPECT_EQ(o.ParagraphEnd, 3);
  // Ends never found are 0 and unknown.
  t = Scan(r, "A B", {{"A"}}, Settings(0));
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].Starts[0].SentenceEnd, 0);
  EXPECT_FALSE(t[0].Starts[0].SentenceEndKnown());
  EXPECT_FALSE(t[0].Starts[0].ParagraphEndKnown());
}

TEST(Engine, SymbolsAndSpelling) {
  RuleSet r = TestRules();
  r.SubstRules.push_back({"EAU", "O"});
  // The apostrophe is skipped outside "Identique".
  EXPECT_EQ(Summary(Scan(r, "L'AMI ", {{"LAMI"}}, Settings(1))), V{"L'AMI:0"});
  EXPECT_EQ(Summary(Scan(r, "L'AMI ", {{"LAMI"}}, Settings(0))), V{});
  EXPECT_EQ(Summary(Scan(r, "L'AMI ", {{"L'AMI"}}, Settings(0))), V{"L'AMI:0"});
  // A key of "Majuscule" holding a symbol cannot match.
  EXPECT_EQ(Summary(Scan(r, "L'AMI ", {{"l'ami"}}, Settings(1))), V{});
  // "Modifiée": VEAU and VO compare alike, and are written alike.
  EXPECT_EQ(Summary(Scan(r, "VEAU VO ", {{"veau"}}, Settings(2))), (V{"VO:0,5"}));
  SearchSettings same = Settings(2);
  same.SetResult(false, 1, false);
  EXPECT_EQ(Summary(Scan(r, "VEAU VO ", {{"veau"}}, same)), (V{"VEAU:0", "VO:5"}));
  // The found form in the result spelling "Modifié".
  SearchSettings s = Settings(2);
  s.SetResult(false, 2, true);
  EXPECT_EQ(Summary(Scan(r, "L'EAU ", {{"L"}}, s)), V{"LO:0"});
  s.SetResult(false, 0, false);
  EXPECT_EQ(Summary(Scan(r, "L'EAU ", {{"L"}}, s)), V{"LEAU:0"});
  // "Fin de mot" fails when the word's last letter compares as 0.
  EXPECT_EQ(Summary(Scan(r, "VEAU ", {{"VO", kWordEnd}}, Settings(2))), V{});
}

TEST(Engine, Filters) {
  RuleSet r = TestRules();
  auto filters = [](std::vector<std::pair<std::string, int>> pats) {
    cFilterList list;
    for (auto& [text, anchor] : pats) {
      FilterPattern p;
      p.Text = text;
      p.Anchor = anchor;
      list.push_back(p);
    }
    return list;
  };
  std::string text = "ARBRES BRAS ABRI L'ABRI ";
  struct Case {
    cFilterList filters;
    int spelling;
    V expected;
  } cases[] = {
      {filters({{"A", kAnchorStart}}), 2, {"ABRI:14", "ARBRES:1,3"}},
      {filters({{"S", kAnchorEnd}}), 2, {"ARBRES:1,3", "BRAS:8"}},
      {filters({{"BRI", kAnchorEnd}}), 2, {"ABRI:14", "LABRI:21"}},
      // Symbols skipped outside "Identique": L'ABRI starts with LA.
      {filters({{"LA", kAnchorStart}}), 2, {"LABRI:21"}},
      {filters({{"LA", kAnchorStart}}), 0, {}},
      {filters({{"L'A", kAnchorStart}}), 0, {"L'ABRI:21"}},
      // Unanchored: every word at least as long as the pattern.
      {filters({{"XXXXX", kAnchorNone}}), 2, {"ARBRES:1,3", "LABRI:21"}},
      // Anchored at both ends: never decides.
      {filters({{"BRAS", kAnchorBoth}}), 2, {}},
      // Tried in order until one matches.
      {filters({{"BRAS", kAnchorBoth}, {"Z", kAnchorStart}, {"I", kAnchorEnd}}), 2, {"ABRI:14", "LABRI:21"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Summary(Scan(r, text, {{"R"}}, Settings(c.spelling), c.filters)), c.expected) << c.filters[0].Text;
  }
  // An end pattern longer than the letters of a word at the text's start.
  EXPECT_FALSE(PassesFilters(r, "'AB", 0, 3, true, filters({{"XAB", kAnchorEnd}})));
}

TEST(Engine, GeneratedVariantsCountForTheirSource) {
  RuleSet r = TestRules();
  cArrowList list = Strings(r, {{"CHAT"}, {"CHIEN"}}, Settings(2, 2, true));
  SearchString variant = list[0];
  variant.Source = 0;
  variant.Text.clear();
  variant.SetKey("KAT");
  list.push_back(variant);
  SearchSettings s = Settings(2, 2, true);
  TargetCollector sink(r, 2, false);
  std::string text = "LE KAT ET LE CHIEN. LE KAT.";
  sink.BeginDocument(text, {}, "");
  SearchDocument(r, s, list, {}, text, sink);
  cTargetList t = sink.Finish();
  SortTargetsByText(t);
  EXPECT_EQ(Summary(t), (V{"CHIEN:13", "KAT:3"}));
  EXPECT_EQ(t[1].StringIndex, 2);
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// The trie and the string-by-string matching give the same occurrences,
// field by field, over random texts, keys and settings.
TEST(Engine, AutomatonTrieAndStringByStringAgree) {
  RuleSet r = TestRules();
  r.SubstRules.push_back({"AB", "C"});
  r.SubstRules.push_back({"BA", ""});
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const std::string alphabet = "AAABBC' .\n";
  int compared = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string text;
    size_t length = 20 + next(60);
    for (size_t i = 0; i < length; ++i) text += alphabet[next(static_cast<uint32_t>(alphabet.size()))];
    SearchSettings s = Settings(static_cast<int>(next(3)), static_cast<int>(next(4)), next(2) == 1, next(2) == 1);
    s.IgnoreSeparators = next(3) == 0;
    std::vector<Str> strs;
    size_t count = 1 + next(5);
    for (size_t n = 0; n < count; ++n) {
      std::string key;
      size_t kl = 1 + next(5);
      for (size_t i = 0; i < kl; ++i) key += "ABCab"[next(5)];  // "ab" and "AB" share a key once folded
      bool dup = false;
      for (const Str& x : strs) dup = dup || x.text == key;
      if (dup) continue;
      strs.push_back({key, static_cast<int16_t>(next(5)), static_cast<int16_t>(next(4) == 0)});
    }
    cTargetList results[3];
    for (int m = 0; m < 3; ++m) {
      cArrowList list = Strings(r, strs, s);
      TargetCollector sink(r, s.ResultSpelling, s.ShowSymbols);
      sink.BeginDocument(text, {}, "");
      SearchDocument(r, s, list, {}, text, sink,
                     m == 0 ? MatchMode::Trie : m == 1 ? MatchMode::PerString : MatchMode::Automaton);
      results[m] = sink.Finish();
    }
    for (int m = 0; m < 2; ++m) {
    ASSERT_EQ(results[m].size(), results[2].size()) << text;
    for (size_t t = 0; t < results[m].size(); ++t) {
      const Target& a = results[m][t];
      const Target& b = results[2][t];
      ASSERT_EQ(a.Text, b.Text) << text;
      EXPECT_EQ(a.StringIndex, b.StringIndex) << text;
      EXPECT_EQ(a.Length, b.Length);
      ASSERT_EQ(a.Starts.size(), b.Starts.size()) << text << " " << a.Text;
      for (size_t o = 0; o < a.Starts.size(); ++o) {
        EXPECT_TRUE(a.Starts[o] == b.Starts[o]) << text << " " << a.Text;
        ++compared;
      }
    }
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// Long flushes (with "Ignore les séparateurs" the hits of a whole sentence
// are flushed together) still list a place once per target.
TEST(Engine, OnePlacePerTargetInLongFlushes) {
  RuleSet r = TestRules();
  SearchSettings s = Settings(1);
  s.IgnoreSeparators = true;
  std::string text;
  for (int i = 0; i < 50; ++i) text += "PARIS ";
  text += ".";
  cTargetList t = Scan(r, text, {{"PAR"}, {"PARI"}, {"ARIS"}}, s);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].Text, "PARIS");
  // PAR and PARI at 0, 6, ...; ARIS at 1, 7, ...
  ASSERT_EQ(t[0].Starts.size(), 100u);
  EXPECT_EQ(t[0].Starts[0].StartView, 0);
  EXPECT_EQ(t[0].Starts[1].StartView, 1);
  EXPECT_EQ(t[0].Starts[99].StartView, 295);
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// A plan holds only what the rules, settings, strings and filters decide:
// scans of several texts with one plan, one after the other and on two
// threads at once, give what a plan of their own gives each.
TEST(Engine, OnePlanScansManyTexts) {
  RuleSet r = TestRules();
  r.SubstRules.push_back({"AB", "C"});
  uint32_t seed = 777;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  const std::string alphabet = "AAABBC' .\n";
  auto scan = [&](const SearchSettings& s, const cArrowList& list, const std::string& text, const SearchPlan* plan) {
    TargetCollector sink(r, s.ResultSpelling, s.ShowSymbols);
    sink.BeginDocument(text, {}, "");
    if (plan != nullptr) {
      SearchDocument(*plan, text, sink);
    } else {
      SearchDocument(r, s, list, {}, text, sink);
    }
    return sink.Finish();
  };
  auto same = [](const cTargetList& a, const cTargetList& b) {
    if (a.size() != b.size()) return false;
    for (size_t t = 0; t < a.size(); ++t) {
      if (a[t].Text != b[t].Text || a[t].Starts.size() != b[t].Starts.size()) return false;
      if (!a[t].Starts.empty() &&
          std::memcmp(a[t].Starts.data(), b[t].Starts.data(), a[t].Starts.size() * sizeof(Occurrence)) != 0) {
        return false;
      }
    }
    return true;
  };
  size_t found = 0;
  for (int round = 0; round < 200; ++round) {
    SearchSettings s = Settings(static_cast<int>(next(3)), static_cast<int>(next(4)), next(2) == 1, next(2) == 1);
    const cArrowList list = Strings(r, {{"AB"}, {"B", static_cast<int16_t>(next(5))}, {"CA", 0, 1}}, s);
    std::vector<std::string> texts(4);
    for (std::string& text : texts) {
      const size_t length = 30 + next(60);
      for (size_t i = 0; i < length; ++i) text += alphabet[next(static_cast<uint32_t>(alphabet.size()))];
    }
    const SearchPlan plan(r, s, list, {});
    std::vector<cTargetList> alone(texts.size()), shared(texts.size());
    for (size_t n = 0; n < texts.size(); ++n) {
      alone[n] = scan(s, list, texts[n], nullptr);
      shared[n] = scan(s, list, texts[n], &plan);
      found += alone[n].size();
      ASSERT_TRUE(same(alone[n], shared[n])) << texts[n];
    }
    RunInParallel([&] { shared[0] = scan(s, list, texts[0], &plan); },
                  [&] { shared[1] = scan(s, list, texts[1], &plan); });
    ASSERT_TRUE(same(alone[0], shared[0])) << texts[0];
    ASSERT_TRUE(same(alone[1], shared[1])) << texts[1];
  }
  EXPECT_GT(found, 100u);
}

}  // namespace
}  // namespace kalix
