// Collocates, n-grams, clusters and attested variants of a tiny text whose
// counts and measures are worked out by hand below, and the attested counts
// of the sample transcription against the search they come from.
#include "app/Statistics.h"

#include "document/Reader.h"
#include "platform/TextFile.h"
#include "rules/Morva.h"
#include "search/Normalize.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <map>

namespace kalix {
namespace {

Context TinyContext() {
  Context ctx;
  ctx.Rules.SeparatorClass[' '] = kWordSeparator;
  ctx.Rules.SeparatorClass['.'] = kSentenceSeparator;
  ctx.Rules.SeparatorClass['\n'] = kParagraphSeparator;
  ctx.Rules.SubstRules.push_back({"ROY", "ROI"});
  return ctx;
}

// Words (in "Modifiée"), by place:
//   0 LE  1 CHAT  2 NOIR  3 LE  4 CHAT  5 GRIS | 6 UN  7 CHIEN  8 NOIR  9 ET  10 LE  11 CHAT
// ("|" a paragraph end; the full stop after NOIR only ends a sentence).
const char kTiny[] = "le chat noir. le chat gris\nun chien noir et le chat.\n";

SearchRequest Search(const Document& doc, std::vector<std::string> strings) {
  SearchRequest r;
  for (std::string& s : strings) r.Strings.emplace_back(std::move(s));
  r.Settings.SetSpelling(2);
  r.Settings.SetResult(true, 1, true);
  r.Settings.Level = 1;
  r.WindowDocument = &doc;
  return r;
}

CollocateOptions Window(int left, int right, uint64_t minimum) {
  CollocateOptions o;
  o.Left = left;
  o.Right = right;
  o.MinFrequency = minimum;
  return o;
}

const Collocate* Find(const std::vector<Collocate>& list, const std::string& text) {
  for (const Collocate& c : list) {
    if (c.Text == text) return &c;
  }
  return nullptr;
}

TEST(Statistics, CollocatesOfATinyTextByHand) {
  Context ctx = TinyContext();
  Document doc;
  ReadDocument(ctx.Rules, kTiny, doc);
  // CHAT at 1, 4 and 11; window 1/1: LE NOIR, LE GRIS, LE (11 is the last
  // word). N = 12, f(n) = 3, W = 5.
  CollocateResult r = FindCollocates(ctx, Search(doc, {"chat"}), Window(1, 1, 1));
  EXPECT_EQ(r.Words, 12u);
  EXPECT_EQ(r.Occurrences, 3u);
  EXPECT_EQ(r.WindowWords, 5u);
  ASSERT_EQ(r.Collocates.size(), 3u);
  EXPECT_EQ(r.Collocates[0].Text, "LE");  // O descending, then text
  EXPECT_EQ(r.Collocates[1].Text, "GRIS");
  EXPECT_EQ(r.Collocates[2].Text, "NOIR");

  struct Row {
    const char* text;
    uint64_t o, f;
    double g2, mi, t, logDice;
  };
  // LE: O 3, f 3, E = 5*3/12 = 1.25; MI = log2(3/1.25) = log2 2.4;
  //   t = 1.75/sqrt 3; logDice = 14 + log2(6/6);
  //   G2 = 2(3 ln(3/1.25) + 2 ln(2/3.75) + 0 + 7 ln(7/5.25)).
  // NOIR: O 1, f 2, E = 10/12; cells 1 4 1 6 against 10/12, 50/12, 14/12, 70/12.
  // GRIS: O 1, f 1, E = 5/12; cells 1 4 0 7 against 5/12, 55/12, 7/12, 77/12.
  const Row rows[] = {
      {"LE", 3, 3, 2 * (3 * std::log(2.4) + 2 * std::log(2 / 3.75) + 7 * std::log(7 / 5.25)), std::log2(2.4),
       1.75 / std::sqrt(3.0), 14},
      {"NOIR", 1, 2,
       2 * (std::log(1.2) + 4 * std::log(4 / (50 / 12.0)) + std::log(12 / 14.0) + 6 * std::log(6 / (70 / 12.0))),
       std::log2(1.2), 1 - 10 / 12.0, 14 + std::log2(2 / 5.0)},
      {"GRIS", 1, 1, 2 * (std::log(12 / 5.0) + 4 * std::log(4 / (55 / 12.0)) + 7 * std::log(7 / (77 / 12.0))),
       std::log2(12 / 5.0), 1 - 5 / 12.0, 14 + std::log2(2 / 4.0)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const Collocate* c = Find(r.Collocates, row.text);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Cooccurrences, row.o);
    EXPECT_EQ(c->Frequency, row.f);
    EXPECT_NEAR(c->LogLikelihood, row.g2, 1e-9);
    EXPECT_NEAR(c->MutualInformation, row.mi, 1e-9);
    EXPECT_NEAR(c->TScore, row.t, 1e-9);
    EXPECT_NEAR(c->LogDice, row.logDice, 1e-9);
  }

  // A window of 0/3 reaches across the paragraph end (GRIS UN CHIEN after
  // 4) and stops at the document's end (nothing after 11): six words, each
  // once, which a minimum of 2 leaves out.
  CollocateResult wide = FindCollocates(ctx, Search(doc, {"chat"}), Window(0, 3, 1));
  EXPECT_EQ(wide.WindowWords, 6u);
  ASSERT_EQ(wide.Collocates.size(), 6u);
  EXPECT_NE(Find(wide.Collocates, "UN"), nullptr);
  EXPECT_NE(Find(wide.Collocates, "CHAT"), nullptr);  // 4 is in the window of 1
  EXPECT_TRUE(FindCollocates(ctx, Search(doc, {"chat"}), Window(0, 3, 2)).Collocates.empty());

  // Where LE meets CHAT: the three windows, as the text has them.
  CollocateOptions meeting = Window(1, 1, 1);
  meeting.Meeting = "LE";
  const CollocateResult met = FindCollocates(ctx, Search(doc, {"chat"}), meeting);
  ASSERT_EQ(met.Meetings.size(), 3u);
  EXPECT_EQ(met.Meetings[0].Text, "le chat noir");
  EXPECT_EQ(met.Meetings[1].Text, "le chat gris");
  EXPECT_EQ(met.Meetings[2].Text, "le chat");
  EXPECT_EQ(met.Meetings[1].StartView, 17);
  EXPECT_EQ(met.Meetings[1].Path, "");
  EXPECT_EQ(met.Collocates.size(), r.Collocates.size());

  // Sorting by each key: text ascending, the others descending.
  std::vector<Collocate> list = r.Collocates;
  SortCollocates(list, CollocateOrder::Text);
  EXPECT_EQ(list[0].Text, "GRIS");
  SortCollocates(list, CollocateOrder::LogLikelihood);
  EXPECT_EQ(list[0].Text, "LE");
  SortCollocates(list, CollocateOrder::MutualInformation);
  EXPECT_EQ(list[0].Text, "GRIS");
  SortCollocates(list, CollocateOrder::LogDice);
  EXPECT_EQ(list[2].Text, "NOIR");
}

NgramOptions Grams(int size, uint64_t minimum, bool containing) {
  NgramOptions o;
  o.Size = size;
  o.MinFrequency = minimum;
  o.Containing = containing;
  return o;
}

std::map<std::string, std::pair<uint64_t, uint64_t>> AsMap(const NgramResult& r) {
  std::map<std::string, std::pair<uint64_t, uint64_t>> m;
  for (size_t k = 0; k < r.Count(); ++k) {
    const Ngram g = r.Row(k);
    EXPECT_EQ(m.count(g.Text), 0u) << g.Text;
    m[g.Text] = {g.Frequency, g.Documents};
  }
  return m;
}

TEST(Statistics, NgramsAndClustersStayInTheirParagraph) {
  Context ctx = TinyContext();
  Document doc;
  ReadDocument(ctx.Rules, kTiny, doc);
  SearchRequest words = Search(doc, {});
  words.Settings.SetResult(false, 2, false);
  NgramResult bigrams = FindNgrams(ctx, words, Grams(2, 1, false));
  using M = std::map<std::string, std::pair<uint64_t, uint64_t>>;
  // GRIS UN crosses the paragraph end; NOIR LE crosses a sentence end only.
  EXPECT_EQ(AsMap(bigrams), (M{{"LE CHAT", {3, 1}}, {"CHAT NOIR", {1, 1}}, {"NOIR LE", {1, 1}},
                               {"CHAT GRIS", {1, 1}}, {"UN CHIEN", {1, 1}}, {"CHIEN NOIR", {1, 1}},
                               {"NOIR ET", {1, 1}}, {"ET LE", {1, 1}}}));
  ASSERT_EQ(bigrams.Count(), 8u);
  EXPECT_EQ(bigrams.Row(0).Text, "LE CHAT");
  EXPECT_EQ(bigrams.Row(1).Text, "CHAT GRIS");  // then by text
  EXPECT_EQ(bigrams.Row(7).Text, "UN CHIEN");

  // Five-word sequences: 6 - 4 in the first paragraph, 6 - 4 in the second.
  EXPECT_EQ(FindNgrams(ctx, words, Grams(5, 1, false)).Count(), 4u);

  // Clusters of three holding CHAT (1, 4, 11), each met once: none is
  // left at a minimum of 2.
  NgramResult clusters = FindNgrams(ctx, Search(doc, {"chat"}), Grams(3, 1, true));
  EXPECT_EQ(clusters.Occurrences, 3u);
  EXPECT_EQ(AsMap(clusters), (M{{"LE CHAT NOIR", {1, 1}}, {"CHAT NOIR LE", {1, 1}}, {"NOIR LE CHAT", {1, 1}},
                                {"LE CHAT GRIS", {1, 1}}, {"ET LE CHAT", {1, 1}}}));
  EXPECT_TRUE(FindNgrams(ctx, Search(doc, {"chat"}), Grams(3, 2, true)).Count() == 0);
}

TEST(Statistics, CorpusFormsInTheSearchSpellingAndRepeatedDocuments) {
  Context ctx = TinyContext();
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kalix_stats_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string a = (dir / "a.txt").string();
  const std::string b = (dir / "b.txt").string();
  ASSERT_TRUE(WriteBinaryFile(a, kTiny));
  ASSERT_TRUE(WriteBinaryFile(b, "le roy chat. le roi\n"));
  SearchRequest r = Search(Document(), {"roi"});
  r.WindowDocument = nullptr;
  r.Settings.UseCorpus = true;
  r.Corpus = {a, b, a, (dir / "none.txt").string()};  // a listed again counts once
  std::vector<std::string> unreadable;
  r.OnUnreadable = [&](const std::string& path, const std::string&) { unreadable.push_back(path); };

  NgramResult bigrams = FindNgrams(ctx, r, Grams(2, 2, false));
  EXPECT_EQ(bigrams.Words, 12u + 5u);
  EXPECT_EQ(bigrams.DocumentsSkipped, 1u);
  EXPECT_EQ(unreadable.size(), 1u);
  using M = std::map<std::string, std::pair<uint64_t, uint64_t>>;
  // ROY is written ROI: LE ROI twice in b; LE CHAT three times in a.
  EXPECT_EQ(AsMap(bigrams), (M{{"LE CHAT", {3, 1}}, {"LE ROI", {2, 1}}}));

  // The counts of each string, told after every document as they add up.
  {
    SearchRequest counted = r;
    PrepareKeys(ctx.Rules, counted.Settings, counted.Strings);
    std::vector<std::vector<size_t>> told;
    const std::vector<size_t> counts =
        CountEachString(ctx, counted.Settings, counted.Strings, {}, counted, nullptr, nullptr,
                        [&](const std::vector<size_t>& so_far) { told.push_back(so_far); });
    EXPECT_EQ(counts, std::vector<size_t>{2});
    EXPECT_EQ(told, (std::vector<std::vector<size_t>>{{0}, {2}}));  // a, then b (a again and none.txt add nothing)
  }

  CollocateResult c = FindCollocates(ctx, r, Window(1, 1, 1));
  EXPECT_EQ(c.Occurrences, 2u);  // ROY and ROI
  const Collocate* le = Find(c.Collocates, "LE");
  ASSERT_NE(le, nullptr);
  EXPECT_EQ(le->Cooccurrences, 2u);
  EXPECT_EQ(le->Frequency, 3u + 2u);

  // Progress before each document; a stop set after the first one leaves
  // the rest unread and says so.
  std::atomic<bool> stop{false};
  std::vector<size_t> progress;
  r.Stop = &stop;
  r.OnProgress = [&](size_t index, size_t, const std::string&) {
    progress.push_back(index);
    if (index == 0) stop = true;
  };
  CollocateResult stopped = FindCollocates(ctx, r, Window(1, 1, 1));
  EXPECT_TRUE(stopped.Stopped);
  EXPECT_EQ(progress, std::vector<size_t>{0});
  EXPECT_EQ(stopped.Words, 12u);
  EXPECT_FALSE(c.Stopped);
  std::filesystem::remove_all(dir);
}

// A text of many paragraphs, cut in two for two scans at once (the split
// minimum set to one byte), gives the counts of the text read whole; the
// collocates read whole as well when their meetings are listed, which keeps
// every word's place. Words of one to twenty letters (the longest kept
// apart from the short ones), symbols inside and at the ends of words,
// spellings that "Modifiée" writes alike (ROY, ROI), paragraph ends next to
// the cut and the text's end, and a filter that drops some words.
TEST(Statistics, ACutTextCountsAsTheWholeText) {
  Context ctx = TinyContext();
  ctx.Rules.SeparatorClass['-'] = kSymbol;
  const char* const kWords[] = {"le", "chat", "roy", "roi", "Chat", "c-hat", "-chat", "chat-", "un", "x",
                                "noir", "anticonstitutionnelle", "abcdefghijklmnop", "chatchat", "ROY-", "et"};
  std::string text;
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int w = 0; w < 6000; ++w) {
    text += kWords[next(16)];
    const uint32_t s = next(20);
    text += s == 0 ? "\n" : s == 1 ? ". " : s == 2 ? " - " : " ";
  }
  text += "chat";  // a word still open at the end is not listed
  Document doc;
  ReadDocument(ctx.Rules, text, doc);
  struct Case {
    int left, right;
    std::vector<std::string> strings;
    bool filtered;
  };
  const Case cases[] = {{5, 5, {"chat"}, false}, {1, 10, {"roi", "le"}, false}, {10, 1, {"chat"}, true},
                        {3, 0, {"x"}, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.strings[0] + " " + std::to_string(k.left) + "/" + std::to_string(k.right));
    SearchRequest whole = Search(doc, k.strings);
    whole.Parallel = false;
    SearchRequest cut = whole;
    cut.Parallel = true;
    cut.SplitMinimum = 1;
    cFilterList filters;
    if (k.filtered) filters.push_back(FilterPattern{"C", kAnchorStart});  // words that begin with C
    CollocateOptions o = Window(k.left, k.right, 1);
    o.Filters = &filters;
    CollocateOptions listed = o;
    listed.Meeting = "LE";
    for (const SearchRequest* r : {&whole, &cut}) {
      const CollocateResult a = FindCollocates(ctx, *r, o);
      const CollocateResult b = FindCollocates(ctx, *r, listed);
      EXPECT_GT(a.Occurrences, 0u);
      EXPECT_EQ(a.Words, b.Words);
      EXPECT_EQ(a.Occurrences, b.Occurrences);
      EXPECT_EQ(a.WindowWords, b.WindowWords);
      ASSERT_EQ(a.Collocates.size(), b.Collocates.size());
      for (size_t i = 0; i < a.Collocates.size(); ++i) {
        EXPECT_EQ(a.Collocates[i].Text, b.Collocates[i].Text);
        EXPECT_EQ(a.Collocates[i].Cooccurrences, b.Collocates[i].Cooccurrences);
        EXPECT_EQ(a.Collocates[i].Frequency, b.Collocates[i].Frequency);
      }
    }
    for (int size = 1; size <= 3; ++size) {
      for (bool containing : {false, true}) {
        NgramOptions g = Grams(size, 1, containing);
        g.Filters = &filters;
        const NgramResult a = FindNgrams(ctx, whole, g);
        const NgramResult b = FindNgrams(ctx, cut, g);
        EXPECT_EQ(a.Words, b.Words);
        EXPECT_EQ(a.Occurrences, b.Occurrences);
        ASSERT_EQ(a.Count(), b.Count());
        for (size_t i = 0; i < a.Count(); ++i) {
          EXPECT_EQ(a.Row(i).Text, b.Row(i).Text);
          EXPECT_EQ(a.Frequency(i), b.Frequency(i));
        }
      }
    }
  }
}

TEST(Statistics, AttestedCountsAddUpToTheGeneratedSearch) {
  Context ctx;
  const std::string samples = std::string(KALIX_SOURCE_DIR) + "/samples/";
  ASSERT_TRUE(LoadRules(ctx.Rules, samples + "nac.rul"));
  LoadMorvaRules(ctx.Morva, ctx.Rules, samples + "nac.rul");
  Document doc;
  std::string message;
  ASSERT_TRUE(OpenDocument(ctx, doc, samples + "sample.rtf", &message)) << message;
  const std::vector<std::vector<std::string>> cases = {{"estoile"}, {"isle", "estoile"}, {"a"}, {"es", "est"}};
  for (int level = 1; level <= 3; ++level) {
    for (const auto& strings : cases) {
      SearchRequest r = Search(doc, strings);
      r.Settings.SetSpelling(3);
      r.Settings.Level = level;
      const size_t searched = RunSearch(ctx, r).OccurrenceCount;
      const AttestedResult attested = CountAttestedVariants(ctx, r);
      ASSERT_EQ(attested.Lists.size(), strings.size());
      size_t sum = 0;
      std::map<std::string, size_t> seen;  // a variant shared by two lists counts once
      for (size_t n = 0; n < strings.size(); ++n) {
        EXPECT_EQ(attested.Lists[n].Text, strings[n]);
        const VariantList list = GenerateVariants(ctx.Morva, SubstituteText(ctx.Rules, strings[n]), level);
        ASSERT_EQ(attested.Lists[n].Variants.size(), list.variants.size());
        for (size_t k = 0; k < list.variants.size(); ++k) {
          const AttestedVariant& v = attested.Lists[n].Variants[k];
          EXPECT_EQ(v.Text, list.variants[k]);
          if (seen.emplace(v.Text, v.Count).second) sum += v.Count;
        }
      }
      EXPECT_EQ(sum, searched) << strings[0] << " level " << level;
      EXPECT_EQ(attested.Occurrences, searched);
    }
  }
  // A string that is a word of the text is attested as itself.
  SearchRequest r = Search(doc, {"isle"});
  r.Settings.Level = 1;
  const AttestedResult one = CountAttestedVariants(ctx, r);
  size_t total = 0;
  for (const AttestedVariant& v : one.Lists[0].Variants) total += v.Count;
  EXPECT_GT(total, 0u);
}

}  // namespace
}  // namespace kalix
