// The word count against the full word list on generated texts: words of
// every length around the short-key limits (8, 16 bytes), words at the very
// end of the text, runs of symbols across 64-byte blocks, letters that are
// byte 0, filters, every result spelling and many distinct words (tables
// that grow).
#include "app/WordList.h"

#include "platform/TextFile.h"
#include "targets/Sorting.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kalix {
namespace {

RuleSet CountRules(bool zeroIsLetter) {
  RuleSet rules = DefaultRules();
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass[','] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  rules.SeparatorClass['\''] = kSymbol;
  rules.SeparatorClass['-'] = kSymbol;
  rules.SeparatorClass[0] = zeroIsLetter ? kLetter : kWordSeparator;
  return rules;
}

// A text from a seed: words of 1 to 40 letters drawn from a few letters
// (so that words repeat) or from many (so that they do not), symbols inside,
// before and after words, and separators of every class.
std::string MakeText(uint32_t seed, size_t size, bool withZero) {
  std::mt19937 rng(seed);
  const std::string few = "abAB";
  const std::string many = withZero ? std::string("abcdefghijklmnopqrstuvwxyzEAUQS\xe9\xc9", 33) + '\0'
                                    : std::string("abcdefghijklmnopqrstuvwxyzEAUQS\xe9\xc9");
  const char* separators[] = {" ", " ", ", ", ". ", "\n", "  ", "' ", " -", ".\n"};
  std::string text;
  while (text.size() < size) {
    const uint32_t r = rng() % 100;
    size_t length;
    if (r < 20) {
      length = 7 + rng() % 11;  // around the short-key limits
    } else if (r < 25) {
      length = 18 + rng() % 23;
    } else {
      length = 1 + rng() % 6;
    }
    const std::string& letters = rng() % 3 == 0 ? many : few;
    for (size_t k = 0; k < length; ++k) {
      text += letters[rng() % letters.size()];
      if (rng() % 40 == 0) text += rng() % 2 ? "'" : "--";  // symbols inside the word
    }
    if (rng() % 20 == 0) text += "'";  // a symbol after the last letter
    text += separators[rng() % (sizeof separators / sizeof *separators)];
    if (rng() % 30 == 0) text += "'-";  // symbols before a word
  }
  text.resize(size);
  return text;
}

struct CountCase {
  const char* name;
  uint32_t seed;
  size_t size;
  bool zeroIsLetter;
  std::vector<SubstRule> subst;
};

class WordCountMatchesList : public ::testing::TestWithParam<CountCase> {};

TEST_P(WordCountMatchesList, ForEverySettingAndFilter) {
  const CountCase& c = GetParam();
  Context ctx;
  ctx.Rules = CountRules(c.zeroIsLetter);
  ctx.Rules.SubstRules = c.subst;
  Document window;
  window.text = MakeText(c.seed, c.size, c.zeroIsLetter) + '\0';
  const std::vector<cFilterList> filterSets = {
      {}, {{"A", kAnchorStart}}, {{"B", kAnchorEnd}, {"XYZABCDEFG", kAnchorNone}}};
  for (int result = 0; result <= 2; ++result) {
    for (bool symbols : {false, true}) {
      for (const cFilterList& filters : filterSets) {
        SearchSettings s;
        ApplyWordListChoice(s, {result, symbols, false, ""}, false, true);
        cTargetList targets = RunWordList(ctx, s, filters, window, {});
        WordListCounts counts = CountWordList(ctx, s, filters, window, {});
        EXPECT_EQ(counts.Targets, targets.size()) << c.name << " result " << result << " symbols " << symbols
                                                  << " filters " << filters.size();
        EXPECT_EQ(counts.Occurrences, CountOccurrences(targets))
            << c.name << " result " << result << " symbols " << symbols << " filters " << filters.size();
      }
    }
  }
}

const std::vector<SubstRule> kInside = {{"EAU", "O"}, {"AU", "O"}, {"QU", "K"}, {"SS", "S"}, {"A", "BCD"}};
const std::vector<SubstRule> kAcross = {{"B.", "Y"}, {"A'B", "Q"}, {"AA", ""}};

INSTANTIATE_TEST_SUITE_P(
    Generated, WordCountMatchesList,
    ::testing::Values(CountCase{"empty", 1, 0, false, {}}, CountCase{"one block", 2, 63, false, kInside},
                      CountCase{"block", 3, 64, false, {}}, CountCase{"block and one", 4, 65, false, kInside},
                      CountCase{"two blocks", 5, 129, false, kAcross}, CountCase{"small", 6, 700, false, kInside},
                      CountCase{"zero letters", 7, 3000, true, kInside},
                      CountCase{"rules across ends", 8, 5000, false, kAcross},
                      CountCase{"many words", 9, 60000, false, {}},
                      CountCase{"many words, rules", 10, 60000, false, kInside},
                      CountCase{"many words, zero", 11, 40000, true, kAcross}));

// Words at the end of the text: the last word is listed only when a
// separator follows it, whatever its length and the symbols after it.
TEST(WordCount, WordsAtTheEnd) {
  Context ctx;
  ctx.Rules = CountRules(false);
  struct Case {
    std::string text;
    size_t targets, occurrences;
  };
  const std::string w8(8, 'a'), w9(9, 'b'), w16(16, 'c'), w17(17, 'd'), w40(40, 'e');
  const Case cases[] = {
      {"", 0, 0},
      {"a", 0, 0},
      {"a ", 1, 1},
      {"a'", 0, 0},
      {"a' ", 1, 1},
      {"'a ", 1, 1},
      {w8 + " " + w8 + " ", 1, 2},
      {w9 + "," + w16 + "." + w17 + "\n" + w40 + " ", 4, 4},
      {w16 + " " + w16, 1, 1},
      {w17 + " " + w40 + "'-", 1, 1},
      {std::string(63, ' ') + "ab ", 1, 1},
      {std::string(62, ' ') + "a'''b ", 1, 1},
      {std::string(60, ' ') + "a''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''b ", 1, 1},
      {std::string(60, ' ') + "a''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''''' ", 1, 1},
      {"ab'" + std::string(70, '\'') + " ab ab'-, ab", 1, 3},
  };
  for (const Case& c : cases) {
    Document window;
    window.text = c.text + '\0';
    for (int result = 0; result <= 2; ++result) {
      SearchSettings s;
      ApplyWordListChoice(s, {result, false, false, ""}, false, true);
      cTargetList targets = RunWordList(ctx, s, {}, window, {});
      WordListCounts counts = CountWordList(ctx, s, {}, window, {});
      EXPECT_EQ(counts.Targets, c.targets) << c.text;
      EXPECT_EQ(counts.Occurrences, c.occurrences) << c.text;
      EXPECT_EQ(targets.size(), c.targets) << c.text;
      EXPECT_EQ(CountOccurrences(targets), c.occurrences) << c.text;
    }
  }
}

// A document listed more than once in a corpus adds nothing after its first
// listing, however many words it has (its places are all taken).
TEST(WordCount, DocumentListedAgain) {
  Context ctx;
  ctx.Rules = CountRules(false);
  const std::string dir = ::testing::TempDir() + "kalix_wordcount_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  const std::string a = dir + "/a.txt", b = dir + "/b.txt";
  ASSERT_TRUE(WriteBinaryFile(a, MakeText(21, 5000, false)));
  ASSERT_TRUE(WriteBinaryFile(b, MakeText(22, 3000, false)));
  Document window;
  for (int result = 0; result <= 2; ++result) {
    SearchSettings s;
    ApplyWordListChoice(s, {result, false, true, ""}, true, false);
    const cTargetList once = RunWordList(ctx, s, {}, window, {a, b});
    const cTargetList again = RunWordList(ctx, s, {}, window, {a, b, a, b, a});
    ASSERT_EQ(once.size(), again.size());
    EXPECT_GT(CountOccurrences(once), 500u);
    EXPECT_EQ(CountOccurrences(once), CountOccurrences(again));
    for (size_t k = 0; k < once.size(); ++k) {
      EXPECT_EQ(once[k].Text, again[k].Text);
      EXPECT_EQ(once[k].DocumentRef, again[k].DocumentRef);
      ASSERT_EQ(once[k].Starts.size(), again[k].Starts.size()) << once[k].Text;
      for (size_t o = 0; o < once[k].Starts.size(); ++o) {
        EXPECT_EQ(once[k].Starts[o].StartView, again[k].Starts[o].StartView);
        EXPECT_EQ(once[k].Starts[o].SentenceEnd, again[k].Starts[o].SentenceEnd);
      }
    }
    const WordListCounts counts = CountWordList(ctx, s, {}, window, {a, b, a, b, a});
    EXPECT_EQ(counts.Targets, again.size());
    EXPECT_EQ(counts.Occurrences, CountOccurrences(again));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kalix
