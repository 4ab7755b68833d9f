#include "targets/Target.h"

#include "i18n/Translate.h"
#include "targets/Collector.h"
#include "targets/DocumentRef.h"
#include "targets/MarkIndex.h"
#include "targets/SearchStatus.h"
#include "targets/Sorting.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(Targets, DocumentReferences) {
  struct Case {
    std::string path;
    std::string ref;
  } cases[] = {
      {"/home/ana/Textes/a.rtf", "a.rtf | /home/ana/Textes/"},
      {"/b.TXT", "b.TXT | /"},          // letter case kept; the root keeps its "/"
      {"c.rtf", "c.rtf | "},            // no directory
      {"rel/dir/d e.txt", "d e.txt | rel/dir/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeDocumentRef(c.path), c.ref);
    EXPECT_EQ(DocumentRefPath(c.ref), c.path);
  }
  EXPECT_EQ(DocumentRefPath("no reference"), "no reference");
}

TEST(Targets, StatusText) {
  LanguageState fr;
  cArrowList strings;
  strings.emplace_back("maison");
  strings[0].SetKey("MAISON");
  SearchSettings s;
  s.SetSpelling(1);
  s.Context = 2;
  s.AllStrings = true;
  EXPECT_EQ(SearchStatusText(fr, strings, s, 3, 7),
            "\"MAISON\" (Contx : Phrase, tout)  Mots : 3  Occurrences : 7");
  // Translated pieces.
  LanguageState en;
  en.Loaded = true;
  en.MessageKeys = {"Contx : ", "Phrase", "tout", "  Mots : ", "  Occurrences : ", "dans l'ordre"};
  en.MessageTexts = {"Ctx: ", "Sentence", "all", "  Words: ", "  Hits: ", "in order"};
  s.InOrder = true;
  strings.emplace_back("s");
  strings[1].Exclude = 1;
  strings[1].SetKey("S");
  EXPECT_EQ(SearchStatusText(en, strings, s, 0, 0),
            "\"MAISON + !S\" (Ctx: Sentence, all, in order)  Words: 0  Hits: 0");
  s.Context = 0;
  EXPECT_EQ(SearchStatusText(fr, strings, s, 1, 2), "\"MAISON + !S\"  Mots : 1  Occurrences : 2");
  // A control character folded to 0 ends the key as shown.
  strings[1].SetKey(std::string("A\0B", 3));
  EXPECT_EQ(SearchStatusText(fr, strings, s, 1, 2), "\"MAISON + !A\"  Mots : 1  Occurrences : 2");
}

TEST(Targets, SortByTextThenDocument) {
  cTargetList t(4);
  t[0].Text = "ROI";
  t[0].DocumentRef = "b.txt | /x/";
  t[1].Text = "ROI";
  t[1].DocumentRef = "a.txt | /x/";
  t[2].Text = "\xc9T\xc9";  // bytes above 127 sort after ASCII
  t[2].DocumentRef = "a.txt | /x/";
  t[3].Text = "RO";
  t[3].DocumentRef = "z.txt | /x/";
  SortTargetsByText(t);
  EXPECT_EQ(t[0].Text, "RO");
  EXPECT_EQ(t[1].DocumentRef, "a.txt | /x/");
  EXPECT_EQ(t[2].DocumentRef, "b.txt | /x/");
  EXPECT_EQ(t[3].Text, "\xc9T\xc9");
  // Sorted already: left as it is; one pair out of order at the end: sorted.
  SortTargetsByText(t);
  EXPECT_EQ(t[0].Text, "RO");
  EXPECT_EQ(t[3].Text, "\xc9T\xc9");
  std::swap(t[2], t[3]);
  SortTargetsByText(t);
  EXPECT_EQ(t[2].DocumentRef, "b.txt | /x/");
  EXPECT_EQ(t[3].Text, "\xc9T\xc9");
}

TEST(Targets, MarkIndexAgreesWithContextAt) {
  Document doc;
  doc.text = std::string(400, 'a') + '\0';
  uint32_t seed = 7;
  auto next = [&](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  int32_t pos = 0;
  int32_t numbers[5] = {0, 0, 0, 0, 0};
  for (int m = 0; m < 60; ++m) {
    pos += static_cast<int32_t>(next(3)) * static_cast<int32_t>(next(8));  // some marks share a place
    int16_t kind = static_cast<int16_t>(2 + next(3));
    Mark mark;
    mark.position = pos;
    mark.kind = kind;
    mark.number = ++numbers[kind];
    mark.value = kind == kFolioMark ? static_cast<int32_t>(next(2)) : kind == kGlyphMark ? -1 : 0;
    doc.marks.push_back(mark);
  }
  MarkIndex index(doc.marks);
  size_t hint = 0;
  for (int round = 0; round < 2000; ++round) {
    // Mostly increasing views, with jumps back.
    int32_t view = round < 1000 ? round / 3 : static_cast<int32_t>(next(static_cast<uint32_t>(pos + 5)));
    MarkContext want = ContextAt(doc, view);
    MarkIndex::PageFolio a = index.At(view);
    MarkIndex::PageFolio b = index.At(view, hint);
    EXPECT_EQ(a.page, want.page) << view;
    EXPECT_EQ(a.folio, want.folio) << view;
    EXPECT_EQ(a.verso, want.verso) << view;
    EXPECT_EQ(b.page, want.page) << view;
    EXPECT_EQ(b.folio, want.folio) << view;
    EXPECT_EQ(b.verso, want.verso) << view;
  }
}

PendingHit Hit(int32_t wordAt, int32_t startView, uint8_t known = 0) {
  PendingHit h;
  h.WordStartAt = wordAt;
  h.StartView = startView;
  h.StringIndex = 0;
  h.KnownEnds = known;
  h.WordEnd = known & kWordEndKnown ? wordAt + 1 : 0;
  return h;
}

TEST(Targets, CollectorEndsAndPlaces) {
  RuleSet rules = DefaultRules();
  TargetCollector c(rules, 0, false);
  std::string text = "AB CD AB";
  c.BeginDocument(text, {}, "");
  c.AddTarget(Hit(0, 0, kWordEndKnown), 2);
  c.AddTarget(Hit(0, 0, kWordEndKnown), 2);  // the same place: listed once
  c.AddTarget(Hit(3, 3), 2);
  c.CloseOccurrences(4, kSentenceSeparator);
  c.EndBatch();
  c.AddTarget(Hit(6, 6), 2);
  c.CloseOccurrences(0, kWordSeparator);  // word separators close nothing
  c.CloseOccurrences(7, kParagraphSeparator);
  c.EndDocument();
  // A second document: its separators never close the first one's ends.
  std::string other = "AB";
  c.BeginDocument(other, {}, "x | /");
  c.AddTarget(Hit(0, 0), 2);
  c.EndDocument();
  c.BeginDocument(other, {}, "y | /");
  c.CloseOccurrences(1, kParagraphSeparator);
  c.EndDocument();
  EXPECT_EQ(c.OccurrenceCount(), 4u);
  cTargetList t = c.Finish();
  ASSERT_EQ(t.size(), 3u);
  // Ordered by form, then document reference.
  EXPECT_EQ(t[0].Text, "AB");
  EXPECT_EQ(t[0].DocumentRef, "");
  EXPECT_EQ(t[1].Text, "AB");
  EXPECT_EQ(t[1].DocumentRef, "x | /");
  EXPECT_EQ(t[2].Text, "CD");
  ASSERT_EQ(t[0].Starts.size(), 2u);
  const Occurrence& first = t[0].Starts[0];
  EXPECT_EQ(first.WordEnd, 1);        // known before it was added
  EXPECT_EQ(first.SentenceEnd, 4);
  EXPECT_EQ(first.ParagraphEnd, 7);
  const Occurrence& second = t[0].Starts[1];
  EXPECT_EQ(second.WordEnd, 7);
  EXPECT_EQ(second.SentenceEnd, 7);
  EXPECT_EQ(second.ParagraphEnd, 7);
  EXPECT_EQ(t[2].Starts[0].WordEnd, 4);
  const Occurrence& last = t[1].Starts[0];
  EXPECT_FALSE(last.WordEndKnown());
  EXPECT_EQ(last.WordEnd, 0);
  EXPECT_EQ(last.ParagraphEnd, 0);
}

}  // namespace
}  // namespace kalix
