#include "app/RunSearch.h"

#include "search/Engine.h"

#include "document/Document.h"
#include "document/Reader.h"
#include "platform/TextFile.h"
#include "targets/DocumentRef.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kalix {
namespace {

Context TestContext() {
  Context ctx;
  ctx.Rules.SeparatorClass[' '] = kWordSeparator;
  ctx.Rules.SeparatorClass['.'] = kSentenceSeparator;
  ctx.Rules.SeparatorClass['\n'] = kParagraphSeparator;
  ctx.Rules.SeparatorClass['\''] = kSymbol;
  return ctx;
}

SearchRequest Request(std::vector<std::string> texts, int spelling = 2, int context = 0) {
  SearchRequest r;
  for (auto& t : texts) r.Strings.emplace_back(t);
  r.Settings.SetSpelling(static_cast<int16_t>(spelling));
  r.Settings.Context = static_cast<int16_t>(context);
  r.Settings.AllStrings = context != 0;
  r.Settings.SetResult(true, 1, true);
  r.Settings.Level = 1;
  return r;
}

class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("kalix_search_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name, const std::string& bytes) const {
    std::string p = (path_ / name).string();
    EXPECT_TRUE(WriteBinaryFile(p, bytes));
    return p;
  }

 private:
  std::filesystem::path path_;
};

TEST(RunSearch, StatusText) {
  Context ctx = TestContext();
  Document doc;
  ReadDocument(ctx.Rules, "maison Maison. MAISONS maison.\nLa maison.\n", doc);
  SearchRequest r = Request({"maison"}, 1, 2);
  r.WindowDocument = &doc;
  SearchResult res = RunSearch(ctx, r);
  // MAISON, MAISONS and LA's MAISON: three forms? No: the forms are words.
  EXPECT_EQ(res.Status, "\"MAISON\" (Contx : Phrase, tout)  Mots : 2  Occurrences : 5");
  ASSERT_EQ(res.Targets.size(), 2u);
  EXPECT_EQ(res.Targets[0].Text, "MAISON");
  EXPECT_EQ(res.Targets[1].Text, "MAISONS");

  // Several strings, an exclusion, "in order", the "Texte" context.
  SearchRequest r2 = Request({"maison", "la"}, 1, 3);
  r2.Strings[1].Exclude = 1;
  r2.Settings.InOrder = true;
  r2.WindowDocument = &doc;
  EXPECT_EQ(RunSearch(ctx, r2).Status,
            "\"MAISON + !LA\" (Contx : Paragraphe, tout, dans l'ordre)  Mots : 2  Occurrences : 4");
  SearchRequest r3 = Request({"maison"}, 0, 0);
  r3.WindowDocument = &doc;
  EXPECT_EQ(RunSearch(ctx, r3).Status, "\"maison\"  Mots : 1  Occurrences : 3");
}

TEST(RunSearch, CorpusOfTwoDocuments) {
  Context ctx = TestContext();
  TempDir dir;
  std::string a = dir.File("a.txt", "LE ROI EST MORT.\r\nVIVE LE ROI.\r\n");
  std::string b = dir.File("b.txt", "\xb1LE ROI.\r\n");
  std::string missing = dir.File("x.txt", "") + ".none";
  SearchRequest r = Request({"roi"});
  r.Settings.UseCorpus = true;
  r.Corpus = {b, missing, a};
  std::vector<std::string> unreadable;
  r.OnUnreadable = [&](const std::string& path, const std::string&) { unreadable.push_back(path); };
  SearchResult res = RunSearch(ctx, r);
  EXPECT_EQ(unreadable, std::vector<std::string>{missing});
  EXPECT_EQ(res.DocumentsSkipped, 1u);
  ASSERT_EQ(res.Targets.size(), 2u);
  EXPECT_EQ(res.Targets[0].Text, "ROI");
  EXPECT_EQ(res.Targets[1].Text, "ROI");
  EXPECT_EQ(res.Targets[0].DocumentRef, MakeDocumentRef(a));
  EXPECT_EQ(res.Targets[1].DocumentRef, MakeDocumentRef(b));
  EXPECT_EQ(res.Targets[0].Starts.size(), 2u);
  ASSERT_EQ(res.Targets[1].Starts.size(), 1u);
  // The page of b's occurrence comes from b's own marks.
  EXPECT_EQ(res.Targets[1].Starts[0].Page, 1);
  EXPECT_EQ(res.Targets[1].Starts[0].StartView, 4);
  EXPECT_EQ(res.Status, "\"ROI\"  Mots : 2  Occurrences : 3");

  // The same document twice lists each place once.
  r.Corpus = {a, a};
  res = RunSearch(ctx, r);
  ASSERT_EQ(res.Targets.size(), 1u);
  EXPECT_EQ(res.Targets[0].Starts.size(), 2u);
}

TEST(RunSearch, StopLeavesTheRemainingCorpusDocumentsOut) {
  Context ctx = TestContext();
  TempDir dir;
  std::string a = dir.File("a.txt", "LE ROI.\r\n");
  std::string b = dir.File("b.txt", "UN ROI.\r\n");
  std::string missing = dir.File("x.txt", "") + ".none";
  for (bool parallel : {false, true}) {
    SearchRequest r = Request({"roi"});
    r.Parallel = parallel;
    r.Settings.UseCorpus = true;
    r.Corpus = {a, a, b, missing, b};
    std::atomic<bool> stop{false};
    r.Stop = &stop;
    std::vector<size_t> read;
    r.OnProgress = [&](size_t index, size_t, const std::string&) {
      read.push_back(index);
      if (index == 1) stop = true;  // set while the second document is read
    };
    size_t unreadable = 0;
    r.OnUnreadable = [&](const std::string&, const std::string&) { ++unreadable; };
    SearchResult res = RunSearch(ctx, r);
    EXPECT_EQ(read, (std::vector<size_t>{0, 1})) << parallel;
    EXPECT_EQ(unreadable, 0u);
    ASSERT_EQ(res.Targets.size(), 1u) << parallel;
    EXPECT_EQ(res.Targets[0].DocumentRef, MakeDocumentRef(a));
  }
}

TEST(RunSearch, OccurrenceEndsStayInTheirDocument) {
  Context ctx = TestContext();
  ctx.Rules.SeparatorClass['\n'] = kLetter;  // the reader's final LF ends nothing
  TempDir dir;
  // a's first ROI is flushed at the blank; its sentence never ends in a.
  std::string a = dir.File("a.txt", "ROI ROI");
  std::string b = dir.File("b.txt", "XX YY.\r\n");
  SearchRequest r = Request({"roi"});
  r.Settings.UseCorpus = true;
  r.Corpus = {a, b};
  SearchResult res = RunSearch(ctx, r);
  ASSERT_EQ(res.Targets.size(), 1u);
  ASSERT_EQ(res.Targets[0].Starts.size(), 1u);
  const Occurrence& o = res.Targets[0].Starts[0];
  EXPECT_EQ(o.WordEnd, 2);
  EXPECT_TRUE(o.WordEndKnown());
  EXPECT_EQ(o.SentenceEnd, 0);
  EXPECT_FALSE(o.SentenceEndKnown());
  EXPECT_EQ(o.ParagraphEnd, 0);
  EXPECT_FALSE(o.ParagraphEndKnown());
}

TEST(RunSearch, GeneratedModeSortsByKey) {
  Context ctx = TestContext();
  Document doc;
  ReadDocument(ctx.Rules, "CHIEN CHAT.\n", doc);
  SearchRequest r = Request({"chien", "chat"}, 3);
  r.WindowDocument = &doc;
  SearchResult res = RunSearch(ctx, r);
  ASSERT_EQ(res.Strings.size(), 2u);
  EXPECT_EQ(res.Strings[0].Key, "CHAT");
  EXPECT_EQ(res.Strings[0].Index, 1);
  EXPECT_EQ(res.Status, "\"CHAT + CHIEN\"  Mots : 2  Occurrences : 2");
  ASSERT_EQ(res.Targets.size(), 2u);
  EXPECT_EQ(res.Targets[0].Text, "CHAT");
  EXPECT_EQ(res.Targets[0].StringIndex, 0);
  EXPECT_EQ(res.Targets[1].StringIndex, 1);
}

TEST(RunSearch, SortStringsKeepsSources) {
  cArrowList list;
  list.emplace_back("B");
  list.emplace_back("A");
  SearchString v("");
  v.SetKey("AA");
  v.Source = 0;
  list.push_back(v);
  SearchString w("");
  w.SetKey("C");
  w.Source = 1;
  list.push_back(w);
  SortStringsByKey(list);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Key, "A");
  EXPECT_EQ(list[1].Key, "AA");
  EXPECT_EQ(list[1].Source, 2);  // B
  EXPECT_EQ(list[2].Key, "B");
  EXPECT_EQ(list[3].Source, 0);  // A
}

TEST(RunSearch, FilterListFromDefinitions) {
  RuleSet rules = DefaultRules();
  rules.FilterDefs = {"01Noms=^A", "02Fins=S$", "03Tout=^X$,,Y"};
  cFilterList filters;
  std::string names;
  BuildFilterList(rules, {0, 1}, filters, names);
  EXPECT_EQ(names, "01Noms, 02Fins");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].Text, "A");
  EXPECT_EQ(filters[0].Anchor, kAnchorStart);
  EXPECT_EQ(filters[1].Text, "S");
  EXPECT_EQ(filters[1].Anchor, kAnchorEnd);
  BuildFilterList(rules, {2}, filters, names);
  EXPECT_EQ(names, "03Tout");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].Anchor, kAnchorBoth);
  EXPECT_EQ(filters[1].Text, "Y");
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

TEST(RunSearch, GeneratedVariantsFindMoreButTheStatusShowsTheDialogStrings) {
  Context ctx = TestContext();
  // Level 1: C becomes K (and K becomes C) at the start of a word.
  ParseMorvaRules(ctx.Morva, ctx.Rules, "[Morvo]\n1,C,K,X-1=\" \"\n1,K,C,X-1=\" \"\n");
  Document doc;
  ReadDocument(ctx.Rules, "CHAT KHAT CHIEN.\n", doc);
  SearchRequest r = Request({"chat"}, 3);
  r.Strings[0].Position = kWordStart;
  r.Strings[0].Exclude = 1;
  r.WindowDocument = &doc;
  cArrowList expanded = r.Strings;
  PrepareKeys(ctx.Rules, r.Settings, expanded);
  ASSERT_FALSE(ExpandGenerated(ctx.Morva, expanded, 1));
  ASSERT_EQ(expanded.size(), 2u);
  EXPECT_EQ(expanded[1].Key, "KHAT");
  EXPECT_EQ(expanded[1].Source, 0);
  EXPECT_EQ(expanded[1].Index, 0);
  EXPECT_EQ(expanded[1].Position, kWordStart);
  EXPECT_EQ(expanded[1].Exclude, 1);
  EXPECT_TRUE(expanded[1].Text.empty());
  // A second expansion adds nothing already listed.
  ASSERT_FALSE(ExpandGenerated(ctx.Morva, expanded, 1));
  EXPECT_EQ(expanded.size(), 3u - 1u);

  SearchResult res = RunSearch(ctx, r);
  EXPECT_EQ(res.Status, "\"!CHAT\"  Mots : 2  Occurrences : 2");
  ASSERT_EQ(res.Targets.size(), 2u);
  EXPECT_EQ(res.Targets[0].Text, "CHAT");
  EXPECT_EQ(res.Targets[1].Text, "KHAT");
  EXPECT_EQ(res.Targets[1].StringIndex, 1);  // the variant stands after CHAT once sorted by key
  ASSERT_EQ(res.Strings.size(), 1u);
}

}  // namespace
}  // namespace kalix
