// The rules file shipped in samples/: what it is meant to say.
#include "rules/Filters.h"
#include "rules/Morva.h"
#include "rules/RuleSet.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

const std::string kSample = std::string(KALIX_SOURCE_DIR) + "/samples/nac.rul";

TEST(SampleRules, EverySectionSaysWhatItMeans) {
  RuleSet r;
  ASSERT_TRUE(LoadRules(r, kSample));
  RuleSet defaults = DefaultRules();
  EXPECT_EQ(r.PageMarker, defaults.PageMarker);
  EXPECT_EQ(r.RectoMarker, defaults.RectoMarker);
  EXPECT_EQ(r.VersoMarker, defaults.VersoMarker);
  EXPECT_EQ(r.GlyphMarker, defaults.GlyphMarker);
  EXPECT_EQ(r.NoteMarker, defaults.NoteMarker);

  struct Class {
    int code;
    int cls;
  } classes[] = {{' ', 2}, {'\t', 2}, {'\r', 2}, {',', 2}, {'.', 3}, {'!', 3}, {'?', 3},
                 {';', 3}, {':', 3}, {'\n', 4}, {'\'', 1}, {0x92, 1}, {'A', 0}, {'-', 0},
                 // the markers a text holds are symbols: they never cut a word
                 {0xB1, 1}, {0xF2, 1}, {0xBE, 1}, {0xAD, 1}, {0xB9, 1}};
  for (const Class& c : classes) EXPECT_EQ(r.SeparatorClass[c.code], c.cls) << c.code;

  // Every accented lower-case letter folds to its capital.
  for (int c = 0xE0; c <= 0xFE; ++c) {
    if (c != 0xF7) {
      EXPECT_EQ(r.UpperMap[c], c - 32) << c;
    }
  }
  EXPECT_EQ(r.UpperMap[0x9A], 0x8A);
  EXPECT_EQ(r.UpperMap[0x9C], 0x8C);
  EXPECT_EQ(r.UpperMap[0x9E], 0x8E);
  EXPECT_EQ(r.UpperMap[0xFF], 0x9F);

  EXPECT_EQ(r.SubstMap['V'], 'U');
  EXPECT_EQ(r.SubstMap['J'], 'I');
  EXPECT_EQ(r.SubstMap['Y'], 'I');
  EXPECT_EQ(r.SubstMap[0xC9], 'E');
  EXPECT_EQ(r.SubstMap[0xC7], 'C');
  ASSERT_GE(r.SubstRules.size(), 3u);
  EXPECT_EQ(r.SubstRules[0].Match, "EAU");  // before AU
  EXPECT_EQ(r.SubstRules[0].Replacement, "O");

  EXPECT_TRUE(r.VowelSet['A']);
  EXPECT_TRUE(r.VowelSet[0xC9]);
  EXPECT_FALSE(r.VowelSet['B']);
  EXPECT_TRUE(r.ConsonantSet['B']);
  EXPECT_FALSE(r.ConsonantSet['A']);

  ASSERT_EQ(r.FilterDefs.size(), 4u);
  for (const std::string& def : r.FilterDefs) {
    EXPECT_FALSE(FilterName(def).empty()) << def;
    EXPECT_FALSE(FilterPatterns(def).empty()) << def;
  }

  MorvaRules m;
  ASSERT_TRUE(LoadMorvaRules(m, r, kSample));
  EXPECT_EQ(m.MaxLevel, 3);
  bool levels[4] = {};
  for (const MorvaRule& rule : m.List) {
    ASSERT_GE(rule.Level, 0);
    ASSERT_LE(rule.Level, 3);
    levels[rule.Level] = true;
    // Every condition of the sample is well formed: it holds somewhere.
    bool holds = false;
    for (const char* word : {"AB", "ABE", "ENE", "AGE", "GUE", "ANBE", "AMPE", "ATA", "ALA", "AMA", "OS", "ESE"}) {
      for (int p = 0; p < 4; ++p) holds = holds || EvalCondition(rule.Condition, word, p) != 0;
    }
    EXPECT_TRUE(holds) << rule.Condition;
  }
  EXPECT_TRUE(levels[1] && levels[2] && levels[3]);

  // The benchmark word: many variants at level 3, few at level 1.
  EXPECT_GE(GenerateVariants(m, "CONSTANTINOPLE", 3).variants.size(), 50u);
  EXPECT_LT(GenerateVariants(m, "CONSTANTINOPLE", 1).variants.size(), 50u);
}

}  // namespace
}  // namespace kalix
