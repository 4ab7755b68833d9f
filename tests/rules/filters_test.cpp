#include "rules/Filters.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(Filters, NamesAndLabels) {
  struct Case {
    const char* def;
    const char* name;
    const char* label;
  } cases[] = {
      {"01Lettrines=^A,B$,,C", "Lettrines", "01Lettrines"},
      {"01Noms=^A", "Noms", "01Noms"},
      {"02 Fins = S$", " Fins ", "02 Fins "},
      {"01Sans", "Sans", "01Sans"},         // no "=": the rest of the line
      {"0=AB", "", "0"},                    // "=" before the third character
      {"=AB", "", ""},
      {"01=A", "", "01"},
      {"0", "", "0"},
      {"", "", ""},
      {"01A=B=C", "A", "01A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterName(c.def), c.name) << c.def;
    EXPECT_EQ(FilterLabel(c.def), c.label) << c.def;
  }
}

TEST(Filters, Patterns) {
  struct Case {
    const char* def;
    std::vector<FilterPattern> patterns;
  } cases[] = {
      {"01Lettrines=^A,B$,,C", {{"A", kAnchorStart}, {"B", kAnchorEnd}, {"C", kAnchorNone}}},
      {"01Noms=^A", {{"A", kAnchorStart}}},
      {"02Fins=S$", {{"S", kAnchorEnd}}},
      {"03Both=^AB$", {{"AB", kAnchorBoth}}},
      {"04Anchors=^,$,^$", {{"", kAnchorStart}, {"", kAnchorEnd}, {"", kAnchorBoth}}},
      {"05Blanks= A , B", {{" A ", kAnchorNone}, {" B", kAnchorNone}}},
      {"06Inner=A^B,A$B", {{"A^B", kAnchorNone}, {"A$B", kAnchorNone}}},
      {"07Dollar=$$", {{"$", kAnchorEnd}}},
      {"08Empty=", {}},
      {"09Commas=,,,", {}},
      {"10NoEquals", {}},
      {"11Eq=A=B", {{"A=B", kAnchorNone}}},
      {"0=X", {{"X", kAnchorNone}}},  // a name-less line keeps its patterns
  };
  for (const Case& c : cases) {
    auto patterns = FilterPatterns(c.def);
    ASSERT_EQ(patterns.size(), c.patterns.size()) << c.def;
    for (size_t i = 0; i < patterns.size(); ++i) {
      EXPECT_EQ(patterns[i].Text, c.patterns[i].Text) << c.def << " #" << i;
      EXPECT_EQ(patterns[i].Length(), static_cast<int16_t>(c.patterns[i].Text.size()));
      EXPECT_EQ(patterns[i].Anchor, c.patterns[i].Anchor) << c.def << " #" << i;
    }
  }
}

TEST(Filters, ItemTextIsThePrefixAndTheTranslatedName) {
  LanguageState french;
  EXPECT_EQ(FilterItemText(french, "01Lettrines=^A,B$,,C"), "01Lettrines");
  LanguageState english;
  english.Loaded = true;
  english.MessageKeys = {"Lettrines", "01Lettrines"};
  english.MessageTexts = {"Initials", "Wrong"};
  EXPECT_EQ(FilterItemText(english, "01Lettrines=^A,B$,,C"), "01Initials");
  EXPECT_EQ(FilterItemText(english, "01Sans"), "01Sans");
  EXPECT_EQ(FilterItemText(english, "0=A"), "0=");
  EXPECT_EQ(FilterItemText(english, "1"), "1");
}

}  // namespace
}  // namespace kalix
