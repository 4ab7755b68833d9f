// A long document is cut after a paragraph separator and its two parts are
// scanned at once, the second from a fresh scan state with its positions
// moved afterwards; a second collector takes the second part's hits and the
// first takes it over. Checked here: the whole result (status, every target,
// every field of every occurrence, pages and folios included) is the one of
// a single scan, for random texts, marks, rules, filters and settings, for
// the window's document and for a corpus that lists a document twice; and
// the cut is refused wherever a rule, a filter or a pending state could
// reach across it.
#include "search/Engine.h"
#include "app/RunSearch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kalix {
namespace {

Context RandomContext(std::mt19937& rng) {
  Context ctx;
  RuleSet& r = ctx.Rules;
  r.SeparatorClass[' '] = kWordSeparator;
  r.SeparatorClass[','] = kWordSeparator;
  r.SeparatorClass['.'] = kSentenceSeparator;
  r.SeparatorClass['\n'] = kParagraphSeparator;
  r.SeparatorClass['\r'] = rng() % 2 ? kParagraphSeparator : kWordSeparator;
  r.SeparatorClass['\''] = kSymbol;
  // Rules that give no more than they take, and now and then one that
  // gives more (no cut then).
  static const std::vector<SubstRule> pool = {{"QU", "K"}, {"EAU", "O"}, {"AU", "O"}, {"PH", "F"},
                                              {"CH", "C"}, {"SS", "S"},  {"HA", ""},  {"A'U", "X"}};
  const int count = static_cast<int>(rng() % 5);
  for (int k = 0; k < count; ++k) r.SubstRules.push_back(pool[rng() % pool.size()]);
  if (rng() % 8 == 0) r.SubstRules.push_back({"TE", "TTT"});
  // Filters with each anchor.
  r.FilterDefs = {"f:fin=AT$,E$", "f:debut=^CH,^QU", "f:tout=^TAT$", "f:dedans=A,H"};
  return ctx;
}

std::string RandomText(std::mt19937& rng) {
  static const std::string letters = "ACHTEQUOSPacht'";
  static const char* const pieces[] = {"chat", "eau", "quat", "phat", "a'u", "tete", "hac"};
  std::string text;
  const int words = 50 + static_cast<int>(rng() % 600);
  for (int w = 0; w < words; ++w) {
    const int length = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < length; ++k) {
      if (rng() % 5 == 0) {
        text += pieces[rng() % 7];
      } else {
        text += letters[rng() % letters.size()];
      }
    }
    const unsigned sep = rng() % 100;
    if (sep < 70) {
      text += ' ';
    } else if (sep < 80) {
      text += ". ";
    } else if (sep < 88) {
      text += "\r\n";
    } else if (sep < 93) {
      text += "\n\n ";
    } else {
      text += ", ";
    }
  }
  return text;
}

cMarkList RandomMarks(std::mt19937& rng, size_t viewLength) {
  cMarkList marks;
  int32_t at = 0;
  int32_t page = 0;
  int32_t folio = 0;
  while (true) {
    at += 1 + static_cast<int32_t>(rng() % 400);
    if (static_cast<size_t>(at) >= viewLength) break;
    Mark m;
    m.position = at;
    if (rng() % 2) {
      m.kind = kPageMark;
      m.number = ++page;
    } else {
      m.kind = kFolioMark;
      m.number = ++folio;
      m.value = static_cast<int32_t>(rng() % 2);
    }
    marks.push_back(m);
  }
  return marks;
}

Document MakeDocument(std::mt19937& rng, const std::string& path) {
  Document doc;
  doc.path = path;
  doc.text = RandomText(rng);
  const size_t views = static_cast<size_t>(ViewPositionAt(doc.text, doc.text.size()));
  doc.text.push_back('\0');
  doc.marks = RandomMarks(rng, views);
  return doc;
}

SearchRequest RandomRequest(std::mt19937& rng) {
  SearchRequest r;
  static const std::string keyLetters = "CHATEQUOca";
  const int count = 1 + static_cast<int>(rng() % 3);
  for (int n = 0; n < count; ++n) {
    std::string key;
    const int length = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < length; ++k) key += keyLetters[rng() % keyLetters.size()];
    SearchString str(key);
    str.Position = static_cast<int16_t>(rng() % 5);
    str.Exclude = static_cast<int16_t>(rng() % 8 == 0);
    r.Strings.push_back(std::move(str));
  }
  r.Settings.SetSpelling(static_cast<int16_t>(rng() % 3));
  r.Settings.Context = static_cast<int16_t>(rng() % 4);
  r.Settings.AllStrings = rng() % 3 == 0;
  r.Settings.InOrder = rng() % 4 == 0;
  r.Settings.IgnoreSeparators = rng() % 4 == 0;
  r.Settings.SetResult(true, static_cast<int16_t>(rng() % 3), rng() % 2 == 0);
  r.Settings.Level = 1;
  for (size_t f = 0; f < 4; ++f) {
    if (rng() % 4 == 0) r.CheckedFilters.push_back(f);
  }
  return r;
}

void ExpectSameResult(const SearchResult& a, const SearchResult& b) {
  ASSERT_EQ(a.Status, b.Status);
  ASSERT_EQ(a.OccurrenceCount, b.OccurrenceCount);
  ASSERT_EQ(a.Targets.size(), b.Targets.size());
  for (size_t t = 0; t < a.Targets.size(); ++t) {
    const Target& x = a.Targets[t];
    const Target& y = b.Targets[t];
    ASSERT_EQ(x.Text, y.Text);
    ASSERT_EQ(std::string_view(x.DocumentRef), std::string_view(y.DocumentRef));
    EXPECT_EQ(x.Length, y.Length) << x.Text;
    EXPECT_EQ(x.StringIndex, y.StringIndex) << x.Text;
    ASSERT_EQ(x.Starts.size(), y.Starts.size()) << x.Text;
    for (size_t o = 0; o < x.Starts.size(); ++o) {
      ASSERT_TRUE(x.Starts[o] == y.Starts[o])
          << x.Text << " at " << x.Starts[o].StartView << " / " << y.Starts[o].StartView << " page "
          << x.Starts[o].Page << " / " << y.Starts[o].Page;
    }
  }
}

TEST(SplitSearch, WindowDocumentGivesTheResultOfOneScan) {
  std::mt19937 rng(77);
  int cut = 0;
  size_t occurrences = 0;
  for (int round = 0; round < 300; ++round) {
    const Context ctx = RandomContext(rng);
    const Document doc = MakeDocument(rng, "");
    SearchRequest request = RandomRequest(rng);
    request.WindowDocument = &doc;
    SearchRequest whole = request;
    whole.Parallel = false;
    request.Parallel = true;
    request.SplitMinimum = 0;
    cFilterList filters;
    std::string names;
    BuildFilterList(ctx.Rules, request.CheckedFilters, filters, names);
    SearchSettings settings = request.Settings;
    if (SplitPoint(ctx.Rules, settings, filters, doc.Text(), 0) != 0) ++cut;
    SCOPED_TRACE("round " + std::to_string(round));
    const SearchResult one = RunSearch(ctx, whole);
    const SearchResult two = RunSearch(ctx, request);
    ExpectSameResult(one, two);
    occurrences += one.OccurrenceCount;
  }
  EXPECT_GT(cut, 150);
  EXPECT_GT(occurrences, 5000u);
}

TEST(SplitSearch, CorpusScannedTwoAtATimeGivesTheResultOfOneScan) {
  // Documents listed twice, a document that cannot be read, and the
  // reports made in the corpus order either way.
  std::mt19937 rng(78);
  for (int round = 0; round < 60; ++round) {
    const Context ctx = RandomContext(rng);
    std::map<std::string, Document> files;
    for (const char* path : {"a.txt", "b.txt", "c.txt", "d.txt"}) files[path] = MakeDocument(rng, path);
    SearchRequest request = RandomRequest(rng);
    request.Settings.UseCorpus = true;
    request.Corpus = {"a.txt", "b.txt", "missing.txt", "a.txt", "c.txt", "b.txt", "d.txt", "c.txt"};
    std::vector<std::string> reports;
    request.Loader = [&files](const Context&, Document& scratch, const std::string& path, std::string* message) {
      const auto file = files.find(path);
      if (file == files.end()) {
        *message = "no " + path;
        return false;
      }
      scratch = file->second;
      return true;
    };
    request.OnProgress = [&reports](size_t index, size_t count, const std::string& path) {
      reports.push_back(std::to_string(index) + "/" + std::to_string(count) + " " + path);
    };
    request.OnUnreadable = [&reports](const std::string& path, const std::string& message) {
      reports.push_back(path + ": " + message);
    };
    SearchRequest whole = request;
    whole.Parallel = false;
    request.Parallel = true;
    request.SplitMinimum = 0;
    SCOPED_TRACE("round " + std::to_string(round));
    const SearchResult one = RunSearch(ctx, whole);
    const std::vector<std::string> oneReports = std::move(reports);
    reports.clear();
    const SearchResult two = RunSearch(ctx, request);
    ExpectSameResult(one, two);
    EXPECT_EQ(one.DocumentsSkipped, 1u);
    EXPECT_EQ(two.DocumentsSkipped, 1u);
    EXPECT_EQ(oneReports, reports);
  }
}

TEST(SplitSearch, CutOnlyWhereNothingReachesAcrossIt) {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  SearchSettings settings;
  settings.SetSpelling(2);
  // Paragraph separators before and after the middle: the cut follows the
  // first one at or after it.
  const std::string text = "ab cd\nef gh. ij kl\nmn op qr st\nuv";
  const size_t cut = SplitPoint(rules, settings, {}, text, 0);
  EXPECT_EQ(cut, text.find('\n', text.size() / 2) + 1);
  EXPECT_EQ(SplitPoint(rules, settings, {}, text, text.size() + 1), 0u);  // shorter than the minimum
  // None in the third quarter.
  EXPECT_EQ(SplitPoint(rules, settings, {}, "ab cd ef gh ij kl mn op qr st uv wx yz\n", 0), 0u);
  // A rule that reads the separator (compared in its upper-case form), or
  // gives more than it takes.
  RuleSet reading = rules;
  reading.UpperMap['\n'] = '|';
  reading.SubstRules.push_back({"E|", "E"});
  EXPECT_EQ(SplitPoint(reading, settings, {}, text, 0), 0u);
  reading.SubstRules.back().Match = "E\n";  // never matches: the separator compares as |
  EXPECT_EQ(SplitPoint(reading, settings, {}, text, 0), cut);
  RuleSet growing = rules;
  growing.SubstRules.push_back({"AB", "ABC"});
  EXPECT_EQ(SplitPoint(growing, settings, {}, text, 0), 0u);
  // Without substitution the rules are not read.
  SearchSettings folding;
  folding.SetSpelling(1);
  EXPECT_EQ(SplitPoint(growing, folding, {}, text, 0), cut);
  // A filter that may compare a separator.
  cFilterList filters(1);
  filters[0].Text = "A B";
  filters[0].Anchor = kAnchorEnd;
  EXPECT_EQ(SplitPoint(rules, settings, filters, text, 0), 0u);
  filters[0].Text = "AB";
  EXPECT_EQ(SplitPoint(rules, settings, filters, text, 0), cut);
}

TEST(SplitSearch, ViewPositionsCountLineBreaksTwice) {
  std::mt19937 rng(3);
  std::string text(500, 'a');
  for (char& c : text) {
    const unsigned r = rng() % 10;
    c = r == 0 ? '\n' : r == 1 ? '\r' : static_cast<char>('a' + r);
  }
  int32_t expected = 0;
  for (size_t at = 0; at <= text.size(); ++at) {
    ASSERT_EQ(ViewPositionAt(text, at), expected) << at;
    if (at < text.size()) expected += (text[at] == '\n' || text[at] == '\r') ? 2 : 1;
  }
  EXPECT_EQ(ViewPositionAt(text, text.size() + 10), expected);
}

}  // namespace
}  // namespace kalix
