// The target collector against a plain model of what it files: one target
// per form and document reference, a place listed once per target within a
// flush (within the whole document when the document comes again), ends
// closed by sentence and paragraph separators of the same document.

#include "targets/Target.h"

#include "search/Normalize.h"
#include "targets/Collector.h"
#include "targets/MarkIndex.h"
#include "targets/Sorting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <set>

namespace kalix {
namespace {

class ModelCollector {
 public:
  ModelCollector(const RuleSet& rules, int resultSpelling, bool showSymbols)
      : rules_(rules), resultSpelling_(resultSpelling), showSymbols_(showSymbols) {}

  void BeginDocument(std::string_view text, const cMarkList& marks, const std::string& ref) {
    text_ = text;
    marks_ = MarkIndex(marks);
    ref_ = ref;
    repeated_ = !refs_.insert(ref).second;
    batch_.clear();
    if (repeated_) {
      for (size_t t = 0; t < targets_.size(); ++t) {
        if (targets_[t].DocumentRef != ref) continue;
        for (const Occurrence& o : targets_[t].Starts) batch_.insert({t, o.StartView});
      }
    }
  }

  void AddTarget(const PendingHit& hit, int32_t wordLength) {
    const std::string form = ResultForm(rules_, text_, static_cast<size_t>(hit.WordStartAt),
                                        static_cast<size_t>(std::max(wordLength, 0)), resultSpelling_, showSymbols_);
    auto [it, added] = index_.emplace(std::make_pair(ref_, form), targets_.size());
    if (added) {
      Target& t = targets_.emplace_back();
      t.Text = form;
      t.DocumentRef = ref_;
      t.Length = wordLength;
      t.StringIndex = hit.StringIndex;
    }
    const size_t t = it->second;
    if (!batch_.insert({t, hit.StartView}).second) return;
    Occurrence o;
    o.StartView = hit.StartView;
    o.ViewLength = hit.ViewLength;
    o.ContextStartView = hit.ContextStartView;
    o.ContextViewLength = hit.ContextViewLength;
    o.ContextStartOffset = hit.ContextStartOffset;
    o.ContextOffsetLength = hit.ContextOffsetLength;
    const MarkIndex::PageFolio pf = marks_.At(hit.StartView);
    o.Page = pf.page;
    o.Folio = pf.folio;
    o.Verso = pf.verso ? 1 : 0;
    o.ParagraphStart = hit.ParagraphStart;
    o.SentenceStart = hit.SentenceStart;
    o.WordStart = hit.WordStart;
    o.KnownEnds = hit.KnownEnds & kAllEndsKnown;
    o.ParagraphEnd = o.ParagraphEndKnown() ? hit.ParagraphEnd : 0;
    o.SentenceEnd = o.SentenceEndKnown() ? hit.SentenceEnd : 0;
    o.WordEnd = o.WordEndKnown() ? hit.WordEnd : 0;
    targets_[t].Starts.push_back(o);
    open_.push_back({t, targets_[t].Starts.size() - 1});
  }

  void CloseOccurrences(int32_t offset, int cls) {
    if (cls < kSentenceSeparator) return;
    for (auto [t, k] : open_) {
      Occurrence& o = targets_[t].Starts.Change(k);
      if (!o.SentenceEndKnown()) {
        o.SentenceEnd = offset;
        o.KnownEnds |= kSentenceEndKnown;
      }
      if (!o.WordEndKnown()) {
        o.WordEnd = offset;
        o.KnownEnds |= kWordEndKnown;
      }
      if (cls >= kParagraphSeparator && !o.ParagraphEndKnown()) {
        o.ParagraphEnd = offset;
        o.KnownEnds |= kParagraphEndKnown;
      }
    }
  }

  void EndBatch() {
    if (!repeated_) batch_.clear();
  }

  void EndDocument() { open_.clear(); }

  size_t OccurrenceCount() const { return CountOccurrences(targets_); }

  cTargetList Finish() {
    cTargetList list = targets_;
    std::sort(list.begin(), list.end(), [](const Target& a, const Target& b) {
      return std::tie(a.Text, a.DocumentRef) < std::tie(b.Text, b.DocumentRef);
    });
    return list;
  }

 private:
  const RuleSet& rules_;
  int resultSpelling_;
  bool showSymbols_;
  std::string_view text_;
  MarkIndex marks_;
  std::string ref_;
  bool repeated_ = false;
  std::set<std::string> refs_;
  std::map<std::pair<std::string, std::string>, size_t> index_;
  std::set<std::pair<size_t, int32_t>> batch_;
  std::vector<std::pair<size_t, size_t>> open_;
  cTargetList targets_;
};

void ExpectSameTargets(const cTargetList& got, const cTargetList& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t t = 0; t < want.size(); ++t) {
    SCOPED_TRACE("target " + std::to_string(t) + " " + want[t].Text);
    EXPECT_EQ(got[t].Text, want[t].Text);
    EXPECT_EQ(got[t].DocumentRef, want[t].DocumentRef);
    EXPECT_EQ(got[t].Length, want[t].Length);
    EXPECT_EQ(got[t].StringIndex, want[t].StringIndex);
    EXPECT_EQ(got[t].CurrentStart, 0);
    ASSERT_EQ(got[t].Starts.size(), want[t].Starts.size());
    for (size_t k = 0; k < want[t].Starts.size(); ++k) {
      const Occurrence& a = got[t].Starts[k];
      const Occurrence& b = want[t].Starts[k];
      const int32_t ga[] = {a.StartView, a.ViewLength, a.ContextStartView, a.ContextViewLength,
                            a.ContextStartOffset, a.ContextOffsetLength, a.Page, a.Folio, a.ParagraphStart,
                            a.SentenceStart, a.WordStart, a.ParagraphEnd, a.SentenceEnd, a.WordEnd,
                            a.Verso, a.KnownEnds};
      const int32_t wa[] = {b.StartView, b.ViewLength, b.ContextStartView, b.ContextViewLength,
                            b.ContextStartOffset, b.ContextOffsetLength, b.Page, b.Folio, b.ParagraphStart,
                            b.SentenceStart, b.WordStart, b.ParagraphEnd, b.SentenceEnd, b.WordEnd,
                            b.Verso, b.KnownEnds};
      for (size_t f = 0; f < std::size(ga); ++f) {
        ASSERT_EQ(ga[f], wa[f]) << "occurrence " << k << " field " << f;
      }
    }
  }
}

struct Random {
  uint64_t state;
  uint32_t Next(uint32_t n) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>(state >> 33) % n;
  }
  int32_t Any() {
    // Mostly small values, sometimes anything, sometimes the extremes.
    switch (Next(8)) {
      case 0: return INT32_MIN;
      case 1: return INT32_MAX;
      case 2: return static_cast<int32_t>(Next(0x7fffffff) * 2u + Next(2));
      case 3: return -1;
      default: return static_cast<int32_t>(Next(2000)) - 100;
    }
  }
};

struct Scenario {
  const char* name;
  int resultSpelling;
  bool showSymbols;
  uint64_t seed;
  int documents;
  int hits;           // per document
  uint32_t alphabet;  // letters used in words
  bool wildValues;    // fields anywhere in the int32 range
  bool longWords;     // words of up to 30 letters, many sharing their first 16
};

// Documents of random words; hits on random words with random fields, mixed
// with separators and ends of flushes; some references come twice.
TEST(Collector, AgreesWithModel) {
  const RuleSet rules = DefaultRules();
  const Scenario scenarios[] = {
      {"one small document", 2, false, 1, 1, 40, 3, false, false},
      {"many hits, many targets", 2, false, 2, 1, 40000, 8, false, false},
      {"wild field values", 0, true, 3, 2, 20000, 6, true, false},
      {"corpus with a document twice", 1, false, 4, 6, 3000, 4, false, false},
      {"upper case forms", 1, true, 5, 3, 5000, 5, true, false},
      {"long forms alike", 0, false, 6, 3, 6000, 3, false, true},
  };
  const char* const refs[] = {"", "b.txt | /x/", "a.txt | /x/", "b.txt | /x/", "c.txt | /y/", "a.txt | /x/"};
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    Random rnd{sc.seed};
    TargetCollector got(rules, sc.resultSpelling, sc.showSymbols);
    ModelCollector want(rules, sc.resultSpelling, sc.showSymbols);
    std::vector<std::string> texts;
    for (int d = 0; d < sc.documents; ++d) {
      // The text, its word starts and lengths, and some page and folio marks.
      std::string text;
      std::vector<std::pair<int32_t, int32_t>> words;
      while (text.size() < 20000) {
        const int32_t at = static_cast<int32_t>(text.size());
        int32_t n = 1 + static_cast<int32_t>(rnd.Next(6));
        if (sc.longWords && rnd.Next(2)) {
          const int32_t common = 14 + static_cast<int32_t>(rnd.Next(5));
          text.append(static_cast<size_t>(common), 'q');
          n += common;
        }
        for (int32_t k = static_cast<int32_t>(text.size()) - at; k < n; ++k) text += static_cast<char>((rnd.Next(2) ? 'a' : 'A') + rnd.Next(sc.alphabet));
        if (rnd.Next(10) == 0) text += '-';
        words.push_back({at, n});
        text += rnd.Next(12) == 0 ? ". " : " ";
      }
      texts.push_back(text);
      cMarkList marks;
      for (int32_t pos = 0, page = 0; pos < 20000; pos += 500 + static_cast<int32_t>(rnd.Next(3000))) {
        Mark m;
        m.position = pos;
        m.kind = rnd.Next(2) ? kPageMark : kFolioMark;
        m.number = ++page;
        m.value = m.kind == kFolioMark ? static_cast<int32_t>(rnd.Next(2)) : 0;
        marks.push_back(m);
      }
      const std::string ref = sc.documents == 1 ? "" : refs[d % std::size(refs)];
      got.BeginDocument(texts.back(), marks, ref);
      want.BeginDocument(texts.back(), marks, ref);
      for (int h = 0; h < sc.hits; ++h) {
        switch (rnd.Next(10)) {
          case 0: {
            const int32_t offset = sc.wildValues ? rnd.Any() : static_cast<int32_t>(rnd.Next(20000));
            const int cls = 2 + static_cast<int>(rnd.Next(3));
            got.CloseOccurrences(offset, cls);
            want.CloseOccurrences(offset, cls);
            break;
          }
          case 1:
          case 2:
            got.EndBatch();
            want.EndBatch();
            break;
          default: {
            const auto [at, n] = words[rnd.Next(static_cast<uint32_t>(words.size()))];
            PendingHit hit;
            hit.WordStartAt = at;
            hit.StringIndex = static_cast<int32_t>(rnd.Next(3));
            // Few distinct places, so that places come again within a flush.
            hit.StartView = at + static_cast<int32_t>(rnd.Next(2));
            hit.KnownEnds = static_cast<uint8_t>(rnd.Next(256));
            const bool wild = sc.wildValues;
            auto value = [&](int32_t near) { return wild ? rnd.Any() : near + static_cast<int32_t>(rnd.Next(300)) - 150; };
            hit.ViewLength = wild ? rnd.Any() : n;
            hit.ContextStartView = rnd.Next(4) == 0 ? value(at) : -1;
            hit.ContextViewLength = hit.ContextStartView == -1 ? 0 : value(60);
            hit.ContextStartOffset = hit.ContextStartView == -1 ? 0 : value(at);
            hit.ContextOffsetLength = hit.ContextStartView == -1 ? 0 : value(60);
            hit.ParagraphStart = value(at - 200);
            hit.SentenceStart = value(at - 50);
            hit.WordStart = value(at);
            hit.ParagraphEnd = value(at + 200);
            hit.SentenceEnd = value(at + 50);
            hit.WordEnd = value(at + n);
            const int32_t wordLength = rnd.Next(20) == 0 ? static_cast<int32_t>(rnd.Next(4)) - 1 : n;
            got.AddTarget(hit, wordLength);
            want.AddTarget(hit, wordLength);
          }
        }
      }
      got.EndDocument();
      want.EndDocument();
      EXPECT_EQ(got.OccurrenceCount(), want.OccurrenceCount());
    }
    ExpectSameTargets(got.Finish(), want.Finish());
    // The collector is empty afterwards and can be used again.
    EXPECT_EQ(got.TargetCount(), 0u);
    EXPECT_EQ(got.OccurrenceCount(), 0u);
    EXPECT_TRUE(got.Finish().empty());
  }
}

// A closing reaches the hits that came just before it, though they are
// filed only later; hits of one place under one target count once per
// flush, also when the flush is still waiting to be filed.
TEST(Collector, HitsWaitingToBeFiled) {
  const RuleSet rules = DefaultRules();
  TargetCollector c(rules, 0, false);
  const std::string text = "AB CD";
  c.BeginDocument(text, {}, "");
  PendingHit h;
  h.WordStartAt = 0;
  h.StartView = 0;
  h.StringIndex = 1;
  c.AddTarget(h, 2);
  c.AddTarget(h, 2);  // the same place in the same flush
  c.CloseOccurrences(9, kSentenceSeparator);
  c.EndBatch();
  c.AddTarget(h, 2);  // the same place in a later flush: listed
  h.WordStartAt = 3;
  h.StartView = 3;
  c.AddTarget(h, 2);
  c.CloseOccurrences(11, kParagraphSeparator);
  c.EndDocument();
  EXPECT_EQ(c.OccurrenceCount(), 3u);
  EXPECT_EQ(c.TargetCount(), 2u);
  const cTargetList t = c.Finish();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].Text, "AB");
  EXPECT_EQ(t[0].StringIndex, 1);
  ASSERT_EQ(t[0].Starts.size(), 2u);
  EXPECT_EQ(t[0].Starts[0].SentenceEnd, 9);
  EXPECT_EQ(t[0].Starts[0].WordEnd, 9);
  EXPECT_EQ(t[0].Starts[0].ParagraphEnd, 11);
  EXPECT_EQ(t[0].Starts[1].SentenceEnd, 11);
  EXPECT_EQ(t[0].Starts[0].KnownEnds, kAllEndsKnown);
  ASSERT_EQ(t[1].Starts.size(), 1u);
  EXPECT_EQ(t[1].Text, "CD");
  EXPECT_EQ(t[1].Starts[0].ParagraphEnd, 11);
}


// Sorting by text then reference: lists in any order, lists made of runs in
// order (as the collector gives for several documents), lists in order.
TEST(Collector, SortByTextMatchesPlainSort) {
  Random rnd{11};
  const char* const refs[] = {"", "a.txt | /x/", "b.txt | /x/", "a.txt | /y/", "\xe9.txt | /x/"};
  for (int shape = 0; shape < 4; ++shape) {
    SCOPED_TRACE(shape);
    cTargetList list;
    std::set<std::pair<std::string, std::string>> seen;
    while (list.size() < 3000) {
      std::string text;
      const uint32_t n = 1 + rnd.Next(shape == 3 ? 20 : 6);
      for (uint32_t k = 0; k < n; ++k) text += static_cast<char>(rnd.Next(4) == 0 ? 0xc0 + rnd.Next(8) : 'A' + rnd.Next(3));
      const std::string ref = refs[rnd.Next(std::size(refs))];
      if (!seen.insert({text, ref}).second) continue;
      Target& t = list.emplace_back();
      t.Text = text;
      t.DocumentRef = ref;
      t.Length = static_cast<int32_t>(list.size());  // tells the targets apart
    }
    const auto byText = [](const Target& a, const Target& b) {
      return std::tie(a.Text, a.DocumentRef) < std::tie(b.Text, b.DocumentRef);
    };
    if (shape == 1) {
      // Runs: by reference, then text.
      std::sort(list.begin(), list.end(), [](const Target& a, const Target& b) {
        return std::tie(a.DocumentRef, a.Text) < std::tie(b.DocumentRef, b.Text);
      });
    } else if (shape == 2) {
      std::sort(list.begin(), list.end(), byText);
    }
    cTargetList want = list;
    std::sort(want.begin(), want.end(), byText);
    SortTargetsByText(list);
    ASSERT_EQ(list.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) {
      ASSERT_EQ(list[k].Length, want[k].Length) << k;
      ASSERT_EQ(list[k].Text, want[k].Text) << k;
    }
  }
}

}  // namespace
}  // namespace kalix
