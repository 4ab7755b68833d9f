#include "app/WordList.h"

#include "platform/TextFile.h"
#include "targets/Collector.h"
#include "targets/DocumentRef.h"
#include "targets/Sorting.h"
#include "targets/WordPlaces.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <cstdio>
#include <string>

namespace kalix {
namespace {

// A folder of this test process's own, so that test runs in parallel never
// share a file.
std::string ScratchDir() {
  std::string dir = ::testing::TempDir() + "kalix_lists_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

RuleSet WordRules() {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass[','] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  rules.SeparatorClass['\''] = kSymbol;
  rules.SeparatorClass['-'] = kSymbol;
  return rules;
}

struct Listed {
  cTargetList targets;
  std::string status;
};

Listed List(const RuleSet& rules, std::string_view text, int result, bool symbols, const cFilterList& filters = {}) {
  TargetCollector collector(rules, result, symbols);
  collector.BeginDocument(text, {}, std::string());
  ListWords(rules, text, filters, collector);
  collector.EndDocument();
  Listed l;
  l.targets = collector.Finish();
  LanguageState lang;
  l.status = ShowWordListResult(lang, l.targets);
  return l;
}

std::string Texts(const cTargetList& targets) {
  std::string s;
  for (const Target& t : targets) s += t.Text + "(" + std::to_string(t.Starts.size()) + ") ";
  return s;
}

struct TextsCase {
  const char* name;
  std::string text;
  int result;
  bool symbols;
  const char* expected;
};

TEST(WordList, TargetsAndForms) {
  const TextsCase cases[] = {
      {"symbols skipped", "L'AMI ET L'AMIE.", 0, false, "ET(1) LAMI(1) LAMIE(1) "},
      {"symbols shown", "L'AMI ET L'AMIE.", 0, true, "ET(1) L'AMI(1) L'AMIE(1) "},
      {"a word twice", "ROI ROI.", 0, false, "ROI(2) "},
      {"last word without separator", "ROI REINE", 0, false, "ROI(1) "},
      {"no separator at all", "ROI", 0, false, ""},
      {"upper case", "roi Roi ROI.", 1, false, "ROI(3) "},
      {"identical keeps case", "roi Roi.", 0, false, "Roi(1) roi(1) "},
      {"symbols alone are no word", "' -- ' ROI.", 0, true, "ROI(1) "},
      {"symbol at the edges", "'ROI' .", 0, true, "ROI(1) "},
      {"separators in a row", "  A,, B..\n\nC\n", 0, false, "A(1) B(1) C(1) "},
      {"empty text", "", 0, false, ""},
      {"result 2 folds case without rules", "roi.", 2, false, "ROI(1) "},
  };
  RuleSet rules = WordRules();
  for (const TextsCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Texts(List(rules, c.text, c.result, c.symbols).targets), c.expected);
  }
}

TEST(WordList, StatusLine) {
  Listed l = List(WordRules(), "ROI ET ROI.", 0, false);
  EXPECT_EQ(l.status, "Mots : 2  Occurrences : 3");
  LanguageState lang;
  lang.Loaded = true;
  lang.MessageKeys = {"Mots : ", "  Occurrences : "};
  lang.MessageTexts = {"Words: ", " Occ: "};
  EXPECT_EQ(ShowWordListResult(lang, l.targets), "Words: 2 Occ: 3");
}

TEST(WordList, OccurrenceFields) {
  // L'AMI ET L'AMIE.\nROI.   offsets: L0 '1 A2 M3 I4 _5 E6 T7 _8 L9 '10 A11 M12 I13 E14 .15 \n16 R17 O18 I19 .20
  Listed l = List(WordRules(), "L'AMI ET L'AMIE.\nROI.", 0, true);
  ASSERT_EQ(Texts(l.targets), "ET(1) L'AMI(1) L'AMIE(1) ROI(1) ");
  struct Expect {
    int32_t startView, viewLength, wordStart, wordEnd, sentenceStart, sentenceEnd, paragraphStart, paragraphEnd;
    uint16_t known;
    int32_t length;
  };
  const Expect expected[] = {
      {6, 2, 6, 7, 0, 14, 0, 14, kWordEndKnown | kSentenceEndKnown | kParagraphEndKnown, 2},
      {0, 5, 0, 4, 0, 14, 0, 14, kWordEndKnown | kSentenceEndKnown | kParagraphEndKnown, 5},
      {9, 6, 9, 14, 0, 14, 0, 14, kWordEndKnown | kSentenceEndKnown | kParagraphEndKnown, 6},
      // ROI: after the LF (two view positions); its paragraph never ends.
      {18, 3, 17, 19, 17, 19, 17, 0, kWordEndKnown | kSentenceEndKnown, 3},
  };
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(l.targets[k].Text);
    const Target& t = l.targets[k];
    EXPECT_EQ(t.StringIndex, -1);
    EXPECT_EQ(t.Length, expected[k].length);
    EXPECT_TRUE(t.DocumentRef.empty());
    const Occurrence& o = t.Starts[0];
    EXPECT_EQ(o.StartView, expected[k].startView);
    EXPECT_EQ(o.ViewLength, expected[k].viewLength);
    EXPECT_EQ(o.ContextStartView, -1);
    EXPECT_EQ(o.ContextStartOffset, -1);
    EXPECT_EQ(o.ContextViewLength, 0);
    EXPECT_EQ(o.ContextOffsetLength, 0);
    EXPECT_EQ(o.WordStart, expected[k].wordStart);
    EXPECT_EQ(o.WordEnd, expected[k].wordEnd);
    EXPECT_EQ(o.SentenceStart, expected[k].sentenceStart);
    EXPECT_EQ(o.SentenceEnd, expected[k].sentenceEnd);
    EXPECT_EQ(o.ParagraphStart, expected[k].paragraphStart);
    EXPECT_EQ(o.ParagraphEnd, expected[k].paragraphEnd);
    EXPECT_EQ(o.KnownEnds, expected[k].known);
  }
}

TEST(WordList, SymbolsNeverOpenUnits) {
  // The sentence of AMI starts at its first letter, not at the apostrophe.
  Listed l = List(WordRules(), "'AMI.", 0, true);
  ASSERT_EQ(l.targets.size(), 1u);
  const Occurrence& o = l.targets[0].Starts[0];
  EXPECT_EQ(o.StartView, 1);
  EXPECT_EQ(o.ViewLength, 3);
  EXPECT_EQ(o.SentenceStart, 1);
  EXPECT_EQ(o.ParagraphStart, 1);
  EXPECT_EQ(o.WordEnd, 3);
}

TEST(WordList, LineBreaksCountTwoViewPositionsWhateverTheirClass) {
  // A LF or CR that the rules take as a letter, a symbol or a separator
  // still counts two view positions before the words that follow it.
  struct Case {
    unsigned char lineBreakClass;
    std::string text;
    int32_t startViewOfC;
  } cases[] = {
      {kLetter, "A\nB C D.", 5},
      {kLetter, "A\rB C D.", 5},
      {kSymbol, "A\nB C D.", 5},
      {kWordSeparator, "A\nB C D.", 5},
  };
  for (const Case& c : cases) {
    RuleSet rules = WordRules();
    rules.SeparatorClass['\n'] = c.lineBreakClass;
    rules.SeparatorClass['\r'] = c.lineBreakClass;
    Listed l = List(rules, c.text, 0, true);
    const Target* found = nullptr;
    for (const Target& t : l.targets) {
      if (t.Text == "C") found = &t;
    }
    ASSERT_NE(found, nullptr) << int(c.lineBreakClass);
    EXPECT_EQ(found->Starts[0].StartView, c.startViewOfC) << int(c.lineBreakClass) << " " << c.text;
  }
}

TEST(WordList, Filters) {
  RuleSet rules = WordRules();
  cFilterList startsWithA = {{"A", kAnchorStart}};
  EXPECT_EQ(Texts(List(rules, "ami bal Arbre 'avoir.", 0, false, startsWithA).targets), "Arbre(1) ami(1) avoir(1) ");
  cFilterList endsWithE = {{"E", kAnchorEnd}};
  EXPECT_EQ(Texts(List(rules, "arbre ami reine.", 0, false, endsWithE).targets), "arbre(1) reine(1) ");
  cFilterList anyThree = {{"XYZ", kAnchorNone}};  // lets every word of three bytes or more through
  EXPECT_EQ(Texts(List(rules, "a ab abc abcd.", 0, false, anyThree).targets), "abc(1) abcd(1) ");
}

TEST(WordList, ChoiceToSettings) {
  struct Case {
    WordListChoice choice;
    bool corpusOpen, hasDocument;
    int16_t result;
    bool symbols, useCorpus;
  };
  const Case cases[] = {
      {{0, true, false, ""}, false, true, 0, true, false},
      {{2, true, false, ""}, false, true, 2, false, false},   // no symbols in "Modifiée"
      {{1, false, true, ""}, true, true, 1, false, true},
      {{1, false, true, ""}, false, true, 1, false, false},   // no corpus open
      {{1, false, false, ""}, true, false, 1, false, true},   // no document: the corpus
  };
  for (const Case& c : cases) {
    SearchSettings s;
    s.Context = 2;
    s.AllStrings = true;
    ApplyWordListChoice(s, c.choice, c.corpusOpen, c.hasDocument);
    EXPECT_TRUE(s.FromWordList);
    EXPECT_EQ(s.ResultSpelling, c.result);
    EXPECT_EQ(s.ShowSymbols, c.symbols);
    EXPECT_EQ(s.UseCorpus, c.useCorpus);
    EXPECT_EQ(s.Context, 2);  // the rest stays
    EXPECT_TRUE(s.AllStrings);
  }
}

TEST(WordList, CorpusGivesOneTargetPerDocument) {
  Context ctx;
  ctx.Rules = WordRules();
  std::string dir = ScratchDir();
  std::string a = dir + "/kalix_wl_a.txt", b = dir + "/kalix_wl_b.txt", missing = dir + "/kalix_wl_missing.txt";
  ASSERT_TRUE(WriteBinaryFile(a, "ROI REINE.\n"));
  ASSERT_TRUE(WriteBinaryFile(b, "ROI.\n"));
  SearchSettings settings;
  ApplyWordListChoice(settings, {0, false, true, ""}, true, false);
  Document none;
  std::vector<std::string> errors;
  CorpusReading reading;
  reading.OnUnreadable = [&](const std::string&, const std::string& m) { errors.push_back(m); };
  cTargetList targets = RunWordList(ctx, settings, {}, none, {a, missing, b}, reading);
  LanguageState lang;
  EXPECT_EQ(ShowWordListResult(lang, targets), "Mots : 3  Occurrences : 3");
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[0].Text, "REINE");
  EXPECT_EQ(targets[1].Text, "ROI");
  EXPECT_EQ(targets[1].DocumentRef, MakeDocumentRef(a));
  EXPECT_EQ(targets[2].Text, "ROI");
  EXPECT_EQ(targets[2].DocumentRef, MakeDocumentRef(b));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Fichier non trouv\xe9 :\n" + missing);
  std::remove(a.c_str());
  std::remove(b.c_str());
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

TEST(WordList, CountsEqualTheFullList) {
  Context ctx;
  ctx.Rules = WordRules();
  std::string dir = ScratchDir();
  std::string a = dir + "/kalix_wc_a.txt", b = dir + "/kalix_wc_b.txt";
  ASSERT_TRUE(WriteBinaryFile(a, "roi Roi ROI l'ami lami L'AMI.\nreine, roi.\n"));
  ASSERT_TRUE(WriteBinaryFile(b, "ROI reine.\n"));
  Document window;
  window.text = std::string("le roi, la reine et le roi. le\n") + '\0';
  struct Case {
    int result;
    bool symbols, corpus;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {0, false, false, {}}, {0, true, false, {}}, {1, false, false, {}}, {2, false, false, {}},
      {0, false, true, {a, b}}, {1, true, true, {a, b, a}},  // a document listed twice adds nothing
      {2, false, true, {b, dir + "/kalix_wc_none.txt", a}},
  };
  // Substitution rules: none; one inside words; one that reaches the
  // separator after a word, so that a form depends on what follows it.
  const std::vector<std::vector<SubstRule>> ruleSets = {
      {}, {{"ROI", "R"}}, {{"OI.", "A"}}, {{"I,", ""}, {"AM", "N"}}};
  for (const auto& substRules : ruleSets) {
    ctx.Rules.SubstRules = substRules;
    for (const Case& c : cases) {
      SearchSettings s;
      ApplyWordListChoice(s, {c.result, c.symbols, c.corpus, ""}, c.corpus, !c.corpus);
      cTargetList targets = RunWordList(ctx, s, {}, window, c.entries);
      WordListCounts counts = CountWordList(ctx, s, {}, window, c.entries);
      EXPECT_EQ(counts.Targets, targets.size());
      EXPECT_EQ(counts.Occurrences, CountOccurrences(targets));
      EXPECT_GT(counts.Targets, 0u);
    }
  }
  // The full list against the targets the search's collector files from
  // the same scan (occurrences kept whole there): the same targets, the
  // same occurrences field by field, whatever the rules, spelling and
  // symbols; the window's document has line breaks (a view position shift
  // that grows), marks (page, folio and side), units left open at the end,
  // and a repeated word whose later occurrences have other lengths under
  // one form.
  ctx.Rules.SubstRules = {};
  Document marked;
  marked.text = std::string("roi Roi, R-OI.\r\nla reine\nl'ami. ROI\n\nreine roi. roi la fin sans fin") + '\0';
  // Marks (view position, kind, number, value): page 2 at 4, folio 3 verso
  // at 20, page 3 at 40, folio 4 recto at 41.
  marked.marks = {Mark{4, kPageMark, 2, 0, {}}, Mark{20, kFolioMark, 3, 1, {}}, Mark{40, kPageMark, 3, 0, {}},
                  Mark{41, kFolioMark, 4, 0, {}}};
  for (const auto& substRules : ruleSets) {
    ctx.Rules.SubstRules = substRules;
    for (int result = 0; result <= 2; ++result) {
      for (bool symbols : {false, true}) {
        SCOPED_TRACE(std::to_string(result) + (symbols ? " symbols " : " ") + std::to_string(substRules.size()));
        SearchSettings s;
        ApplyWordListChoice(s, {result, symbols, false, ""}, false, true);
        cTargetList listed = RunWordList(ctx, s, {}, marked, {});
        TargetCollector collector(ctx.Rules, s.ResultSpelling, s.ShowSymbols);
        collector.BeginDocument(marked.Text(), marked.marks, std::string());
        ListWords(ctx.Rules, marked.Text(), {}, collector);
        collector.EndDocument();
        cTargetList filed = collector.Finish();
        ASSERT_EQ(listed.size(), filed.size());
        for (size_t t = 0; t < listed.size(); ++t) {
          EXPECT_EQ(listed[t].Text, filed[t].Text);
          EXPECT_EQ(listed[t].Length, filed[t].Length);
          EXPECT_EQ(listed[t].StringIndex, filed[t].StringIndex);
          EXPECT_EQ(listed[t].DocumentRef, filed[t].DocumentRef);
          EXPECT_TRUE(listed[t].Starts.FromWordPlaces());
          ASSERT_EQ(listed[t].Starts.size(), filed[t].Starts.size()) << listed[t].Text;
          for (size_t k = 0; k < listed[t].Starts.size(); ++k) {
            const Occurrence a = listed[t].Starts[k];
            const Occurrence b = filed[t].Starts[k];
            EXPECT_TRUE(a == b) << listed[t].Text << " " << k << ": view " << a.StartView << "/" << b.StartView
                                << " page " << a.Page << "/" << b.Page << " folio " << a.Folio << "/" << b.Folio
                                << " sentence " << a.SentenceStart << "-" << a.SentenceEnd << "/" << b.SentenceStart
                                << "-" << b.SentenceEnd << " paragraph " << a.ParagraphStart << "-"
                                << a.ParagraphEnd << "/" << b.ParagraphStart << "-" << b.ParagraphEnd << " known "
                                << a.KnownEnds << "/" << b.KnownEnds;
          }
        }
        // Read through the vector interface, and made whole by adding one.
        if (!listed.empty()) {
          cStarts starts = listed[0].Starts;
          std::vector<Occurrence> copied(starts.begin(), starts.end());
          ASSERT_EQ(copied.size(), starts.size());
          EXPECT_TRUE(copied.front() == starts.front());
          EXPECT_TRUE(copied.back() == starts.back());
          starts.push_back(copied.front());
          EXPECT_FALSE(starts.FromWordPlaces());
          ASSERT_EQ(starts.size(), copied.size() + 1);
          EXPECT_TRUE(starts[0] == copied[0]);
          EXPECT_TRUE(starts.back() == copied.front());
          EXPECT_TRUE(listed[0].Starts.FromWordPlaces());
        }
      }
    }
  }

  // "roi." and "roi," differ when a rule reaches the full stop.
  ctx.Rules.SubstRules = {{"OI.", "A"}};
  window.text = std::string("roi. roi, roi.\n") + '\0';
  SearchSettings s;
  ApplyWordListChoice(s, {2, false, false, ""}, false, true);
  WordListCounts counts = CountWordList(ctx, s, {}, window, {});
  EXPECT_EQ(counts.Targets, 2u);
  EXPECT_EQ(counts.Occurrences, 3u);
  EXPECT_EQ(WordListStatusText(ctx.Language, 3, 7), "Mots : 3  Occurrences : 7");
  std::remove(a.c_str());
  std::remove(b.c_str());
}

}  // namespace
}  // namespace kalix
