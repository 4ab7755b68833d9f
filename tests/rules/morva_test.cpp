#include "rules/Morva.h"

#include "platform/Collation.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include <unistd.h>

namespace kalix {
namespace {

using Strings = std::vector<std::string>;

MorvaRules Load(const std::string& text, const RuleSet& rules = DefaultRules()) {
  MorvaRules m;
  ParseMorvaRules(m, rules, text);
  return m;
}

Strings Generate(const std::string& morvo, const std::string& word, int level,
                 const RuleSet& rules = DefaultRules()) {
  return GenerateVariants(Load("[Morvo]\n" + morvo, rules), word, level).variants;
}

TEST(Condition, Values) {
  struct Case {
    const char* cond;
    const char* word;
    int pos;
    int32_t value;
  } cases[] = {
      {"1", "ABC", 0, 1},
      {"0", "ABC", 0, 0},
      {"12", "ABC", 0, 12},
      {"X", "ABCD", 3, 3},
      {"x", "ABCD", 2, 2},
      {"X+1", "ABCD", 3, 4},
      {"X-1", "ABCD", 3, 2},
      {"5-2-1", "A", 0, 2},        // left to right
      {"2+3-1", "A", 0, 4},
      {"-5", "A", 0, -5},
      {"+5", "A", 0, 5},
      {"-X", "ABCD", 3, 3},        // a sign before X has no effect
      {"-(2+3)", "A", 0, -5},      // but negates a parenthesised value
      {"-(X)", "ABCD", 3, -3},
      {"1--1", "A", 0, 2},         // operator, then one sign
      {"6&3", "A", 0, 2},
      {"4|1", "A", 0, 5},
      {"1|1&0", "A", 0, 0},        // & and | bind alike, left to right
      {"0&0|1", "A", 0, 1},
      {"2|1+1", "A", 0, 2},        // + binds tighter than |
      {"(2|1)+1", "A", 0, 4},
      {"((((1))))", "A", 0, 1},
      {"2147483647+1", "A", 0, INT32_MIN},
      // Comparisons: a literal against a position, in either order.
      {"X-1=\" \"", "AIMER", 0, 1},
      {"X-1=\" \"", "PAIN", 1, 0},
      {"X-1=' '", "AIMER", 0, 1},
      {"X+3=\" \"", "BEAU", 1, 1},     // the end of the word
      {"X+3=\" \"", "BEAUX", 1, 0},
      {"X-1#\"S\"", "APH", 1, 1},
      {"X-1#\"S\"", "SPH", 1, 0},
      {"X-1#\"S\"", "PH", 0, 1},       // before the word: only a blank equals
      {"\"PH\"=X", "PHILIPPE", 0, 1},
      {"X=\"PH\"", "PHILIPPE", 5, 0},
      {"X=\"PEX\"", "PHILIPPE", 6, 0},  // the literal runs past the word's end
      {"X=\"PE\"", "PHILIPPE", 6, 1},
      {"X+1=\"H\"", "PH", 0, 1},       // + before =
      {"X+1#\"H\"", "PH", 0, 0},
      {"X=\"\"", "A", 0, 1},           // an empty literal equals everywhere
      {"X+9=''", "A", 0, 1},
      {"X-1=\"  \"", "A", 0, 0},       // outside the word only a single blank equals
      {"-\"P\"=X", "PH", 0, 1},        // a sign before a literal has no effect
      {"X=\"H\"|X+1=\"H\"", "PH", 0, 1},
      {"X=\"H\"&X+1=\"H\"", "PH", 0, 0},
      {"(X+1=\"E\"|X+1=\"I\")&X+1#\"U\"", "GE", 0, 1},
      {"X=\",\"", "A,B", 1, 1},
      {"X=\"'\"", "L'A", 1, 1},
      {"X='\"'", "A\"B", 1, 1},
      {"(\"A\")=X", "AB", 0, 1},       // a parenthesised literal stays a literal
      {"X=\"A\"=1", "AB", 0, 1},       // (X="A")=1: two numbers compare as numbers
      // Two numbers compare as numbers, two literals as texts.
      {"X=0", "ABC", 0, 1},            // true at the word's first letter
      {"X=0", "ABC", 1, 0},
      {"X#0", "ABC", 0, 0},
      {"X#0", "ABC", 2, 1},
      {"0=X", "ABC", 0, 1},
      {"X+1=3", "ABC", 2, 1},          // + before =
      {"X=-1", "ABC", -1, 1},
      {"-1=X-2", "ABC", 1, 1},
      {"1=2", "A", 0, 0},
      {"1#2", "A", 0, 1},
      {"7=7", "A", 0, 1},
      {"7#7", "A", 0, 0},
      {"(1=1)=(2=2)", "A", 0, 1},
      {"\"A\"=\"A\"", "A", 0, 1},
      {"\"A\"#\"A\"", "A", 0, 0},
      {"\"A\"=\"B\"", "A", 0, 0},
      {"\"A\"#\"B\"", "A", 0, 1},
      {"'A'=\"A\"", "B", 0, 1},        // either quote, whatever the word
      {"\"AB\"=\"A\"", "AB", 0, 0},    // whole texts, not a prefix
      {"\"A\"=\"AB\"", "AB", 0, 0},
      {"\"\"=\"\"", "A", 0, 1},
      {"\"\"=\"A\"", "A", 0, 0},       // the empty literal is a text here, not "everywhere"
      {"\" \"=\" \"", "A", 0, 1},
      {"\"a\"=\"A\"", "A", 0, 0},      // case counts
      {"(\"A\")=(\"A\")", "A", 0, 1},
      // Errors give 0.
      {"X\"A\"", "AB", 0, 0},
      {"X(1)", "AB", 0, 0},
      {"1X", "AB", 0, 0},
      {"=1", "A", 0, 0},
      {"&1", "A", 0, 0},
      {"--1", "A", 0, 0},
      {"-+1", "A", 0, 0},
      {"1---1", "A", 0, 0},
      {"1+-+1", "A", 0, 0},
      {"X-1 = \" \"", "AIMER", 0, 0},  // a blank outside quotes
      {" 1", "A", 0, 0},
      {"1 ", "A", 0, 0},
      {"1)", "A", 0, 0},
      {")", "A", 0, 0},
      {"(1", "A", 0, 0},
      {"((1)", "A", 0, 0},
      {"()", "A", 0, 0},
      {"(1+)", "A", 0, 0},
      {"1+", "A", 0, 0},
      {"-", "A", 0, 0},
      {"", "A", 0, 0},
      {"\"A", "A", 0, 0},
      {"X=\"A'", "A", 0, 0},
      {"1*2", "A", 0, 0},
      {"1|(X Y)", "A", 0, 0},          // an error inside parentheses
      {"(\")\")=X", "A", 0, 0},        // parentheses inside literals count
      {"(\"(\")", "A", 0, 0},
      {"\"A\"", "A", 0, 0},            // a literal is no value
      {"\"A\"+1", "A", 0, 0},
      {"-(\"A\")", "A", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EvalCondition(c.cond, c.word, c.pos), c.value) << c.cond << " on " << c.word << "@" << c.pos;
  }
}

TEST(Condition, DeepNestingAndLongConditions) {
  std::string deep = std::string(50000, '(') + "X+1" + std::string(50000, ')') + "=\"B\"";
  EXPECT_EQ(EvalCondition(deep, "AB", 0), 1);
  EXPECT_EQ(EvalCondition(std::string(100000, '('), "AB", 0), 0);
  EXPECT_EQ(EvalCondition(std::string(100000, ')'), "AB", 0), 0);
  std::string sum = "1";
  for (int i = 0; i < 30000; ++i) sum += "+1";
  EXPECT_EQ(EvalCondition(sum, "A", 0), 30001);
}

TEST(MorvaReader, RulesAndMaxLevel) {
  MorvaRules none = Load("[Markers]\nPage=1\n");
  EXPECT_TRUE(none.Exists);
  EXPECT_TRUE(none.List.empty());
  EXPECT_EQ(none.MaxLevel, 0);

  MorvaRules m = Load(
      "[Filters]\n01A=^A\n"
      "[Morvo] generation\r\n"
      "; comment\n"
      " 9,A,B,1\n"
      "1,ph,f,x-1#\"s\"\n"
      "3,Y,I,X-1=\" \"\tcomment\n"
      "2,EAU,O,X+3=\" \"\n"
      "12x,\",\",,X=\"A,B\",C\n"
      "[Uppers]\n"
      "7,A,B,1\n");
  EXPECT_EQ(m.MaxLevel, 12);
  ASSERT_EQ(m.List.size(), 4u);
  EXPECT_EQ(m.List[0].Level, 1);
  EXPECT_EQ(m.List[0].From, "PH");
  EXPECT_EQ(m.List[0].FromLength, 2);
  EXPECT_EQ(m.List[0].To, "F");
  EXPECT_EQ(m.List[0].Condition, "X-1#\"S\"");
  EXPECT_EQ(m.List[0].ConditionLength, 7);
  EXPECT_EQ(m.List[1].Condition, "X-1=\" \"");  // the tab ends the line
  EXPECT_EQ(m.List[1].Level, 3);
  EXPECT_EQ(m.List[2].From, "EAU");
  EXPECT_EQ(m.List[3].Level, 12);
  EXPECT_EQ(m.List[3].From, "\",\"");  // the quotes stay
  EXPECT_EQ(m.List[3].To, "");
  EXPECT_EQ(m.List[3].Condition, "X=\"A,B\",C");

  MorvaRules levels = Load("[Morvo]\n1,A,B,1\n3,B,C,1\n2,C,D,1");  // last line without line break
  EXPECT_EQ(levels.MaxLevel, 3);
  EXPECT_EQ(levels.List.size(), 3u);
}

TEST(MorvaReader, LinesThatAreNotRules) {
  const char* lines[] = {"5,,B,1", "5,A,B,", "5,A,B", "5,A", "5", "5,\"A,B,1", "5,A\t,B,1"};
  for (const char* line : lines) {
    MorvaRules m = Load(std::string("[Morvo]\n") + line + "\n");
    EXPECT_TRUE(m.List.empty()) << line;
    EXPECT_EQ(m.MaxLevel, 0) << line;
  }
  EXPECT_TRUE(Load("[morvo]\n1,A,B,1\n").List.empty());
  EXPECT_TRUE(Load(" [Morvo]\n1,A,B,1\n").List.empty());
  EXPECT_TRUE(Load("").List.empty());
}

TEST(MorvaReader, FoldsWithTheRuleSetAndStopsAtZero) {
  RuleSet rules;
  ParseRules(rules, "[Uppers]\n0xe9=E\n");
  MorvaRules m = Load("[Morvo]\n1,\xe9,\xe8,1\n", rules);
  ASSERT_EQ(m.List.size(), 1u);
  EXPECT_EQ(m.List[0].From, "E");
  EXPECT_EQ(m.List[0].To, "\xe8");
  std::string withZero = std::string("[Morvo]\n1,A,B,1\0junk\n2,C,D,1", 28);
  MorvaRules z = Load(withZero);
  ASSERT_EQ(z.List.size(), 2u);
  EXPECT_EQ(z.List[0].Condition, "1");
  // A long line is read whole.
  std::string longCond = "X=\"" + std::string(300, 'A') + "\"";
  MorvaRules l = Load("[Morvo]\n1,A,B," + longCond + "\n");
  ASSERT_EQ(l.List.size(), 1u);
  EXPECT_EQ(l.List[0].Condition, longCond);
}

TEST(MorvaReader, LoadFromFile) {
  auto path = (std::filesystem::temp_directory_path() /
               ("kalix_morva_test_" + std::to_string(getpid()) + ".rul")).string();
  ASSERT_TRUE(WriteTextFile(path, "[Morvo]\n2,A,B,1\n"));
  MorvaRules m;
  ASSERT_TRUE(LoadMorvaRules(m, DefaultRules(), path));
  EXPECT_EQ(m.MaxLevel, 2);
  std::remove(path.c_str());
  EXPECT_FALSE(LoadMorvaRules(m, DefaultRules(), path));
  EXPECT_EQ(m.MaxLevel, 2);  // unchanged
  FreeMorvaRules(m);
  EXPECT_EQ(m.MaxLevel, 0);
  EXPECT_FALSE(m.Exists);
}

TEST(Generation, Cases) {
  struct Case {
    const char* morvo;
    const char* word;
    int level;
    Strings variants;
  } cases[] = {
      {"", "AIMER", 3, {"AIMER"}},
      {"1,AI,E,X-1=\" \"\n", "AIMER", 1, {"AIMER", "EMER"}},
      {"1,AI,E,X-1=\" \"\n", "PAIN", 1, {"PAIN"}},
      {"1,AI,E,X-1=\" \"\n", "AIMER", 0, {"AIMER"}},
      {"1,A,B,1\n1,B,C,1\n", "A", 1, {"A", "B", "C"}},
      {"1,A,B,1\n", "AA", 1, {"AA", "AB", "BA", "BB"}},
      {"1,H,,X-1=\" \"\n", "HOMME", 1, {"HOMME", "OMME"}},
      {"1,ABC,X,1\n", "AB", 1, {"AB"}},
      {"1,B,A,1\n", "B", 1, {"A", "B"}},  // the word stands at its place in the order
      {"0,A,B,1\n1,C,D,1\n2,E,F,1\n", "ACE", 1, {"ACE", "ADE", "BCE", "BDE"}},
      {"0,A,B,1\n1,C,D,1\n2,E,F,1\n", "ACE", 0, {"ACE", "BCE"}},
      {"1,A,B,X-1 = \" \"\n", "A", 1, {"A"}},
      {"1,A,B,X-1=' '\n", "A", 1, {"A", "B"}},
      {"1,PH,F,X-1#\"S\"\n", "SPHERE", 1, {"SPHERE"}},
      {"1,PH,F,X-1#\"S\"\n", "PHARE", 1, {"FARE", "PHARE"}},
      {"0,EAU,O,X+3=\" \"\n", "BEAU", 1, {"BEAU", "BO"}},
      {"0,EAU,O,X+3=\" \"\n", "BEAUX", 1, {"BEAUX"}},
      {"1,A,AB,1\n", "", 1, {""}},
      // "X=0": only at the word's first letter.
      {"1,Y,I,X=0\n", "YVY", 1, {"IVY", "YVY"}},
      {"1,Y,I,X#0\n", "YVY", 1, {"YVI", "YVY"}},
      {"1,A,E,X=1\n", "AAA", 1, {"AAA", "AEA"}},
      {"1,A,E,\"X\"=\"X\"\n", "A", 1, {"A", "E"}},
      {"1,A,E,\"X\"#\"X\"\n", "A", 1, {"A"}},
      // Prefixes first, accented capitals after Z, one text per folded form.
      {"1,E,D,1\n1,E,F,1\n1,E,\xc9,1\n1,E,\xe9,1\n1,E,Z,1\n", "E", 1, {"D", "E", "F", "Z", "\xc9"}},
      {"1,E,ED,X+1=\" \"\n1,E,C,X+1=\" \"\n", "E", 1, {"C", "E", "ED"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Generate(c.morvo, c.word, c.level), c.variants) << c.morvo << " / " << c.word;
  }
}

TEST(Generation, NoRuleListGivesTheWordAlone) {
  MorvaRules none;
  VariantList list = GenerateVariants(none, "MOT", 5);
  EXPECT_EQ(list.variants, Strings{"MOT"});
  EXPECT_FALSE(list.bounded);
}

TEST(Generation, TextsEqualAfterFoldingCountOnce) {
  RuleSet rules;
  ParseRules(rules, "[Uppers]\nb=b\nq=q\n");  // keep these lower-case in rule lines
  // At one position the rules are tried in order: the first text made wins.
  EXPECT_EQ(Generate("1,A,b,1\n1,A,B,1\n", "A", 1, rules), (Strings{"A", "b"}));
  EXPECT_EQ(Generate("1,A,B,1\n1,A,b,1\n", "A", 1, rules), (Strings{"A", "B"}));
  // Entries are expanded from the last to the first: Z (after M) before A.
  EXPECT_EQ(Generate("1,M,A,1\n1,M,Z,1\n1,Z,q,1\n1,A,Q,1\n", "M", 1, rules),
            (Strings{"A", "M", "q", "Z"}));
}

TEST(Generation, TheTailAfterAMatchKeeps128Characters) {
  std::string word = "A" + std::string(200, 'B');
  Strings got = Generate("1,A,C,1\n", word, 1);
  EXPECT_EQ(got, (Strings{word, "C" + std::string(128, 'B')}));
}

TEST(Generation, Bounds) {
  // 10 choices at each of 4 places: exactly 10,000 texts, within the bound.
  std::string tenChoices;
  for (char to = 'B'; to <= 'J'; ++to) tenChoices += std::string("1,A,") + to + ",1\n";
  VariantList exact = GenerateVariants(Load("[Morvo]\n" + tenChoices), "AAAA", 1);
  EXPECT_FALSE(exact.bounded);
  EXPECT_EQ(exact.variants.size(), 10000u);
  // One more place: the 10,001st text stops the generation.
  VariantList bounded = GenerateVariants(Load("[Morvo]\n" + tenChoices), "AAAAA", 1);
  EXPECT_TRUE(bounded.bounded);
  ASSERT_EQ(bounded.variants.size(), kMaxVariants);
  EXPECT_NE(std::find(bounded.variants.begin(), bounded.variants.end(), "AAAAA"), bounded.variants.end());
  for (size_t i = 1; i < bounded.variants.size(); ++i) {
    EXPECT_LT(FixedCompare(bounded.variants[i - 1], bounded.variants[i]), 0) << i;
  }
  // A rule that always lengthens the word stops at 255 bytes a variant.
  VariantList growing = GenerateVariants(Load("[Morvo]\n0,A,AA,1\n"), "A", 1);
  EXPECT_FALSE(growing.bounded);
  ASSERT_EQ(growing.variants.size(), 255u);
  EXPECT_EQ(growing.variants.back(), std::string(255, 'A'));
  // A variant longer than 255 bytes is not made; the others still are.
  std::string word(250, 'A');
  Strings got = Generate("1,A,BBBBBBB,X+1=\" \"\n1,A,C,X+1=\" \"\n", word, 1);
  EXPECT_EQ(got, (Strings{word, std::string(249, 'A') + "C"}));
  std::string at255 = Generate("1,A,BBBBBB,X+1=\" \"\n", word, 1).back();
  EXPECT_EQ(at255, std::string(249, 'A') + "BBBBBB");
}

TEST(Generation, OrderIsTheFixedCollationWithoutDuplicates) {
  MorvaRules m = Load("[Morvo]\n1,A,B,1\n1,B,\xe0,1\n1,C,A,X-1#\" \"\n2,\xe0,\xc0,1\n");
  for (const char* word : {"ABC", "CAB", "ACCA", "BACCA"}) {
    for (int level = 0; level <= 2; ++level) {
      Strings got = GenerateVariants(m, word, level).variants;
      EXPECT_NE(std::find(got.begin(), got.end(), word), got.end());
      for (size_t i = 1; i < got.size(); ++i) {
        EXPECT_LT(FixedCompare(got[i - 1], got[i]), 0) << word << " " << got[i - 1] << " " << got[i];
      }
    }
  }
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

TEST(MorvaReader, GarbageAndHugeLines) {
  std::string garbage = "[Morvo]\n";
  unsigned state = 99;
  for (int i = 0; i < 20000; ++i) {
    state = state * 1103515245u + 12345u;
    char c = static_cast<char>(state >> 16);
    // Plenty of digits, commas and line feeds, so that many lines look like rules.
    if ((state >> 8) % 7 == 0) c = ',';
    if ((state >> 8) % 11 == 0) c = '\n';
    if ((state >> 8) % 13 == 0) c = static_cast<char>('0' + (state >> 4) % 10);
    garbage.push_back(c);
  }
  MorvaRules m = Load(garbage);
  int32_t highest = 0;
  for (const MorvaRule& rule : m.List) {
    EXPECT_FALSE(rule.From.empty());
    EXPECT_FALSE(rule.Condition.empty());
    EXPECT_EQ(rule.FromLength, static_cast<int32_t>(rule.From.size()));
    EXPECT_EQ(rule.ConditionLength, static_cast<int32_t>(rule.Condition.size()));
    highest = std::max(highest, rule.Level);
  }
  EXPECT_EQ(m.MaxLevel, highest);
  VariantList list = GenerateVariants(m, "ABCDE", m.MaxLevel);
  EXPECT_FALSE(list.variants.empty());
  EXPECT_LE(list.variants.size(), kMaxVariants);

  // A 100,000-character condition, and a 100,000-character word.
  std::string huge = "X=\"" + std::string(99995, 'A') + "\"";
  MorvaRules h = Load("[Morvo]\n99999999999999,A,B," + huge + "\n1,A,C,X+1=\" \"");
  ASSERT_EQ(h.List.size(), 2u);
  EXPECT_EQ(h.List[0].Level, INT32_MAX);
  EXPECT_EQ(h.MaxLevel, INT32_MAX);
  EXPECT_EQ(GenerateVariants(h, "AAA", INT32_MAX).variants, (Strings{"AAA", "AAC"}));
  std::string word(100000, 'A');
  VariantList longWord = GenerateVariants(h, word, 1);
  ASSERT_EQ(longWord.variants.size(), 1u);  // the variant at the end would exceed 255 bytes
  EXPECT_EQ(longWord.variants[0], word);
}

}  // namespace
}  // namespace kalix
