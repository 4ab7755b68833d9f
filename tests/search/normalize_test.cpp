#include "search/Normalize.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

// "[Uppers]" folds é to É, V maps to U, EAU = O, the apostrophe is a symbol.
RuleSet VeauRules() {
  RuleSet r = DefaultRules();
  r.UpperMap[0xE9] = 0xC9;
  r.SubstMap[0xE9] = 0xC9;
  r.SubstMap['V'] = 'U';
  r.SubstRules.push_back({"EAU", "O"});
  r.SeparatorClass['\''] = kSymbol;
  r.SeparatorClass[' '] = kWordSeparator;
  return r;
}

std::string Steps(const RuleSet& rules, std::string_view text) {
  Substituter st;
  std::string out;
  for (size_t p = 0; p < text.size(); ++p) {
    out += static_cast<char>(SubstituteAt(rules, st, text, p));
  }
  return out;
}

TEST(Normalize, SubstituterSteps) {
  RuleSet r = VeauRules();
  EXPECT_EQ(Steps(r, "VEAU"), std::string("UO\0\0", 4));
  // A rule with an empty replacement gives zeros and leaves the next byte.
  RuleSet del = DefaultRules();
  del.SubstRules.push_back({"AB", ""});
  EXPECT_EQ(Steps(del, "ABC"), std::string("\0\0C", 3));
  // Lower-case text is folded before the rules are tried.
  EXPECT_EQ(Steps(r, "veau"), std::string("UO\0\0", 4));
  // A rule never matches past the end of the text.
  EXPECT_EQ(Steps(r, "EA"), "EA");
  // A rule whose left side holds 0 is ignored.
  RuleSet zero = DefaultRules();
  zero.SubstRules.push_back({std::string("A\0", 2), "X"});
  EXPECT_EQ(Steps(zero, std::string("A", 1)), "A");
}

TEST(Normalize, IndexedAndPlainStepsAgree) {
  RuleSet r = DefaultRules();
  r.SubstRules.push_back({"QU", "K"});
  r.SubstRules.push_back({"PH", "F"});
  r.SubstRules.push_back({"EAU", "O"});
  r.SubstRules.push_back({"EA", ""});
  r.SubstRules.push_back({"CH", "X"});
  SubstRuleIndex index(r);
  std::string text = "quelque pheau eaux chateau eauea phqu";
  Substituter a, b;
  for (size_t p = 0; p < text.size(); ++p) {
    EXPECT_EQ(SubstituteAt(r, a, text, p), SubstituteAt(r, index, b, text, p)) << p;
  }
}

TEST(Normalize, Keys) {
  RuleSet r = VeauRules();
  struct Case {
    const char* text;
    bool substitute;
    std::string key;
  } cases[] = {
      {"veau", true, "UO"},
      {"l'eau", true, "L'O"},      // every byte goes through, whatever its class
      {"a b", true, "A B"},        // a blank stays unless SubstMap drops it
      {"\xe9t\xe9", false, "\xc9T\xc9"},
      {"l'eau", false, "L'EAU"},   // folding removes nothing
  };
  for (const Case& c : cases) {
    SearchString s(c.text);
    if (c.substitute) SubstituteString(r, s); else FoldString(r, s);
    EXPECT_EQ(s.Key, c.key) << c.text;
    EXPECT_EQ(s.KeyLength, static_cast<int16_t>(c.key.size()));
  }
}

TEST(Normalize, ResultForms) {
  RuleSet r = VeauRules();
  std::string text = "L'EAU ";
  struct Case {
    int spelling;
    bool symbols;
    std::string form;
  } cases[] = {
      {0, false, "LEAU"}, {0, true, "L'EAU"}, {1, false, "LEAU"},
      {1, true, "L'EAU"}, {2, false, "LO"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResultForm(r, text, 0, 5, c.spelling, c.symbols), c.form) << c.spelling << c.symbols;
  }
  // A byte that folds to 0 is left out; the form goes on after it.
  RuleSet d = DefaultRules();
  EXPECT_EQ(ResultForm(d, std::string_view("AB\x01" "CD"), 0, 5, 1, false), "ABCD");
}

TEST(Normalize, PatternMatches) {
  RuleSet r = VeauRules();
  std::string text = "l'ami";
  EXPECT_TRUE(PatternMatchesAt(r, text, 0, "LAM", true));
  EXPECT_FALSE(PatternMatchesAt(r, text, 0, "LAM", false));
  EXPECT_TRUE(PatternMatchesAt(r, text, 0, "L'A", false));
  EXPECT_FALSE(PatternMatchesAt(r, text, 2, "AMIS", true));  // text ends first
  EXPECT_TRUE(PatternMatchesAt(r, text, 2, "", true));
}

}  // namespace
}  // namespace kalix
