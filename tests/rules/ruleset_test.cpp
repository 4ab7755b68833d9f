#include "rules/RuleSet.h"

#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

namespace kalix {
namespace {

// A string literal with its zero bytes.
template <size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

RuleSet Parse(const std::string& text) {
  RuleSet r;
  ParseRules(r, text);
  return r;
}

TEST(ReadCharValue, Forms) {
  struct Case {
    const char* text;
    int value;
    size_t cursor;
  } cases[] = {
      {"A", 'A', 1},        {"300", 44, 3},      {"32=2", 32, 2},   {"0x2a", 0x2a, 4},
      {"0xA", 0, 2},        {"0x", 0, 2},        {"0xe9=E", 0xe9, 4}, {"0xf", 15, 3},
      {"0x2ab", 0x2a, 4},   {"0X2a", 0, 1},      {"0", 0, 1},       {"49", '1', 2},
      {"=5", '=', 1},       {"", 0, 0},          {"256", 0, 3},     {"99999999999999999999", 255, 20},
      {"0x0", 0, 3},        {"\xe9", 0xe9, 1},   {" ", ' ', 1},     {"0xg1", 0, 2},
  };
  for (const Case& c : cases) {
    size_t cursor = 0;
    EXPECT_EQ(ReadCharValue(c.text, cursor), c.value) << c.text;
    EXPECT_EQ(cursor, c.cursor) << c.text;
  }
  // A cursor in the middle, and one at the end.
  std::string line = "AB0x41";
  size_t cursor = 2;
  EXPECT_EQ(ReadCharValue(line, cursor), 0x41);
  EXPECT_EQ(cursor, 6u);
  EXPECT_EQ(ReadCharValue(line, cursor), 0);
  EXPECT_EQ(cursor, 6u);
}

TEST(Rules, EmptyAndCommentOnlyFilesGiveTheDefaults) {
  RuleSet defaults = DefaultRules();
  for (const char* text : {"", "; a comment\n", "\n\n;x\r\n", "[Markers]\n", "\x1a"}) {
    RuleSet r = Parse(text);
    EXPECT_EQ(r.PageMarker, 0xB1) << text;
    EXPECT_EQ(r.RectoMarker, 0xF2);
    EXPECT_EQ(r.VersoMarker, 0xBE);
    EXPECT_EQ(r.GlyphMarker, 0xAD);
    EXPECT_EQ(r.NoteAnchor, 0xB9);
    EXPECT_EQ(r.NoteMarker, 0xAC);
    EXPECT_EQ(r.UpperMap, defaults.UpperMap);
    EXPECT_EQ(r.SubstMap, defaults.UpperMap);
    EXPECT_TRUE(r.SubstRules.empty());
    EXPECT_TRUE(r.FilterDefs.empty());
    for (int c = 0; c < 256; ++c) {
      EXPECT_EQ(r.SeparatorClass[c], 0);
      EXPECT_FALSE(r.VowelSet[c]);
      EXPECT_FALSE(r.ConsonantSet[c]);
    }
  }
  EXPECT_EQ(defaults.UpperMap[0], 0);
  EXPECT_EQ(defaults.UpperMap[31], 0);
  EXPECT_EQ(defaults.UpperMap[' '], ' ');
  EXPECT_EQ(defaults.UpperMap['a'], 'A');
  EXPECT_EQ(defaults.UpperMap['z'], 'Z');
  EXPECT_EQ(defaults.UpperMap[0xE9], 0xE9);  // accents are not folded by default
}

TEST(Rules, Markers) {
  struct Case {
    const char* text;
    unsigned char page, recto, verso, glyph, note;
  } cases[] = {
      {"[Markers]\nG=0x2a\n", 0xB1, 0xF2, 0xBE, '*', 0xAC},
      {"[Markers]\nPages=1\n", 0xB1, 0xF2, 0xBE, 0xAD, 0xAC},
      {"[Markers]\n=5\n", 5, 0xF2, 0xBE, 0xAD, 0xAC},
      {"Page=P\nRecto=R\nVerso=V\nGlyph=G\nNote=N\n", 'P', 'R', 'V', 'G', 'N'},  // before any header
      {"[Markers]\nP=65\nR=66\nV=67\nGl=68\nN=69\n", 'A', 'B', 'C', 'D', 'E'},
      {"[Markers]\nLine=65\nL=66\n", 0xB1, 0xF2, 0xBE, 0xAD, 0xAC},
      {"[Markers]\nPage =65\npage=66\nPageX=67\nPage\n", 0xB1, 0xF2, 0xBE, 0xAD, 0xAC},
      {"[Markers]\nPage=\n", 0, 0xF2, 0xBE, 0xAD, 0xAC},
      {"[Markers]\nPage=AB\n", 'A', 0xF2, 0xBE, 0xAD, 0xAC},        // what follows is ignored
      {"[Markers]\nVerso=0x41=\n", 0xB1, 0xF2, 'A', 0xAD, 0xAC},
      {"[Markers] \nPage=65\n", 0xB1, 0xF2, 0xBE, 0xAD, 0xAC},      // not a header
      {"[markers]\nPage=65\n", 0xB1, 0xF2, 0xBE, 0xAD, 0xAC},
      {"[Morvo]\nPage=65\n[Markers]\nRecto=66\n", 0xB1, 'B', 0xBE, 0xAD, 0xAC},
  };
  for (const Case& c : cases) {
    RuleSet r = Parse(c.text);
    EXPECT_EQ(r.PageMarker, c.page) << c.text;
    EXPECT_EQ(r.RectoMarker, c.recto) << c.text;
    EXPECT_EQ(r.VersoMarker, c.verso) << c.text;
    EXPECT_EQ(r.GlyphMarker, c.glyph) << c.text;
    EXPECT_EQ(r.NoteMarker, c.note) << c.text;
    EXPECT_EQ(r.NoteAnchor, 0xB9) << c.text;
  }
}

TEST(Rules, Separators) {
  struct Case {
    const char* line;
    int code;
    int cls;
  } cases[] = {
      {"32=2", ' ', 2},  {" =2", ' ', 2},   {"32=5", ' ', 0},  {"32=0", ' ', 0},
      {".=3", '.', 3},   {"10=4", '\n', 4}, {"39=1", '\'', 1}, {"32 =2", ' ', 0},
      {"32=", ' ', 0},   {"32", ' ', 0},    {"0x2e=3", '.', 3}, {"==2", '=', 2},
      {"32=21", ' ', 2},  // only the digit right behind "=" counts
      {"59=3", ';', 3},
  };
  for (const Case& c : cases) {
    RuleSet r = Parse(std::string("[Separators]\n") + c.line + "\n");
    EXPECT_EQ(r.SeparatorClass[c.code], c.cls) << c.line;
    int others = 0;
    for (int k = 0; k < 256; ++k) others += k != c.code && r.SeparatorClass[k] != 0;
    EXPECT_EQ(others, 0) << c.line;
  }
  // A value 0 sets nothing.
  RuleSet zero = Parse("[Separators]\n0=2\n0x=2\n");
  for (int k = 0; k < 256; ++k) EXPECT_EQ(zero.SeparatorClass[k], 0);
  // A class, once set, is not reset by a later invalid line; a later valid one replaces it.
  RuleSet twice = Parse("[Separators]\n32=2\n32=0\n");
  EXPECT_EQ(twice.SeparatorClass[' '], 2);
  RuleSet again = Parse("[Separators]\n32=2\n32=4\n");
  EXPECT_EQ(again.SeparatorClass[' '], 4);
}

TEST(Rules, Uppers) {
  struct Case {
    const char* line;
    int code;
    int upper;
  } cases[] = {
      {"0xe9=E", 0xe9, 'E'}, {"9=X", 9, 0},       {"31=X", 31, 0},        {"32=X", 32, 'X'},
      {"0xe9=0xc9", 0xe9, 0xc9}, {"a=0", 'a', 0}, {"a=", 'a', 0},       {"a =B", 'a', 'A'},
      {"b=CD", 'b', 'C'},    {"0xff=0x9f", 0xff, 0x9f}, {"0x9a=0x8a", 0x9a, 0x8a},
  };
  for (const Case& c : cases) {
    RuleSet r = Parse(std::string("[Uppers]\n") + c.line + "\n");
    EXPECT_EQ(r.UpperMap[c.code], c.upper) << c.line;
    EXPECT_EQ(r.SubstMap[c.code], DefaultRules().SubstMap[c.code]) << c.line;  // SubstMap keeps its default
  }
}

TEST(Rules, Substitutions) {
  struct Case {
    const char* line;
    const char* match;        // nullptr: no rule
    const char* replacement;
    int mapCode;              // -1: no one-character change
    int mapValue;
  } cases[] = {
      {"V=U", nullptr, nullptr, 'V', 'U'},
      {"Y=", nullptr, nullptr, 'Y', 0},
      {"0xc9=E", nullptr, nullptr, 0xc9, 'E'},
      {"W=VV", nullptr, nullptr, 'W', 'V'},
      {"EAU=O", "EAU", "O", -1, 0},
      {"AI=EST", "AI", "ES", -1, 0},
      {"PH=F ", "PH", "F ", -1, 0},
      {"PH=F  ", "PH", "F ", -1, 0},
      {"AB=", "AB", "", -1, 0},
      {"AB", nullptr, nullptr, -1, 0},
      {"=AB", nullptr, nullptr, -1, 0},
      {"AB=C=D", "AB", "C=", -1, 0},
      {"65B=67", "AB", "C", -1, 0},
      {"0x410x42=0x43", "AB", "C", -1, 0},
      {"A0x=B", nullptr, nullptr, -1, 0},  // a left side holding 0 is ignored
      {"A0=BC", nullptr, nullptr, -1, 0},
  };
  for (const Case& c : cases) {
    RuleSet r = Parse(std::string("[Substitutions]\n") + c.line + "\n");
    if (c.match) {
      ASSERT_EQ(r.SubstRules.size(), 1u) << c.line;
      EXPECT_EQ(r.SubstRules[0].Match, c.match) << c.line;
      EXPECT_EQ(r.SubstRules[0].Replacement, c.replacement) << c.line;
      EXPECT_EQ(r.SubstRules[0].MatchLength(), static_cast<int16_t>(strlen(c.match)));
      EXPECT_EQ(r.SubstRules[0].ReplacementLength(), static_cast<int16_t>(strlen(c.replacement)));
    } else {
      EXPECT_TRUE(r.SubstRules.empty()) << c.line;
    }
    for (int k = 0; k < 256; ++k) {
      int expected = k == c.mapCode ? c.mapValue : DefaultRules().SubstMap[k];
      EXPECT_EQ(r.SubstMap[k], expected) << c.line << " code " << k;
    }
  }
  // Rules keep their file order.
  RuleSet ordered = Parse("[Substitutions]\nEAU=O\nAU=O\nPH=F\n");
  ASSERT_EQ(ordered.SubstRules.size(), 3u);
  EXPECT_EQ(ordered.SubstRules[0].Match, "EAU");
  EXPECT_EQ(ordered.SubstRules[1].Match, "AU");
  EXPECT_EQ(ordered.SubstRules[2].Match, "PH");
}

TEST(Rules, LongRightSidesAreCutTo32) {
  std::string left(40, 'A');
  std::string right(40, 'B');
  RuleSet r = Parse("[Substitutions]\n" + left + "=" + right + "\n");
  ASSERT_EQ(r.SubstRules.size(), 1u);
  EXPECT_EQ(r.SubstRules[0].Match, left);
  EXPECT_EQ(r.SubstRules[0].Replacement, std::string(32, 'B'));
  EXPECT_LE(r.SubstRules[0].ReplacementLength(), r.SubstRules[0].MatchLength());
}

TEST(Rules, VowelsAndConsonants) {
  RuleSet r = Parse("[Vowels]\nAEIOU\n0xe90xe8\n; comment\n[Consonants]\nBC\n68\n");
  for (int c : {int('A'), int('E'), int('I'), int('O'), int('U'), 0xe9, 0xe8}) EXPECT_TRUE(r.VowelSet[c]) << c;
  for (int c : {int('B'), int('C'), int('D')}) EXPECT_TRUE(r.ConsonantSet[c]) << c;
  int vowels = 0;
  int consonants = 0;
  for (int c = 0; c < 256; ++c) {
    vowels += r.VowelSet[c];
    consonants += r.ConsonantSet[c];
  }
  EXPECT_EQ(vowels, 7);
  EXPECT_EQ(consonants, 3);
}

TEST(Rules, Filters) {
  RuleSet r = Parse("[Filters]\n01Lettrines=^A,B$,,C\n; not a filter\n02 Fins = S$ \r\nNoEquals\n");
  ASSERT_EQ(r.FilterDefs.size(), 3u);
  EXPECT_EQ(r.FilterDefs[0], "01Lettrines=^A,B$,,C");
  EXPECT_EQ(r.FilterDefs[1], "02 Fins = S$ ");  // cut at CR, blanks kept
  EXPECT_EQ(r.FilterDefs[2], "NoEquals");
}

TEST(Rules, LinesOfAnyLengthAndTheLastLine) {
  // A 200-character line is one line.
  std::string longLine = "[Filters]\n01Long=" + std::string(193, 'A') + "\n";
  ASSERT_EQ(longLine.size(), 10u + 200u + 1u);
  RuleSet r = Parse(longLine);
  ASSERT_EQ(r.FilterDefs.size(), 1u);
  EXPECT_EQ(r.FilterDefs[0].size(), 200u);
  // The last line is read without a line break.
  RuleSet last = Parse("[Separators]\n32=2");
  EXPECT_EQ(last.SeparatorClass[' '], 2);
  // A long left side is read whole.
  std::string left(150, 'A');
  RuleSet subst = Parse("[Substitutions]\n" + left + "=B");
  ASSERT_EQ(subst.SubstRules.size(), 1u);
  EXPECT_EQ(subst.SubstRules[0].Match, left);
}

TEST(Rules, ZeroByteEndsTheLinesText) {
  RuleSet r = Parse(Bytes("[Filters]\n01A=B\0C\n\0[Uppers]\n02D=E\n"));
  ASSERT_EQ(r.FilterDefs.size(), 2u);
  EXPECT_EQ(r.FilterDefs[0], "01A=B");
  EXPECT_EQ(r.FilterDefs[1], "02D=E");  // the line made of a zero byte then a header is skipped
  RuleSet s = Parse(Bytes("[Substitutions]\nAB=C\0D\nPH\0=F\n"));
  ASSERT_EQ(s.SubstRules.size(), 1u);
  EXPECT_EQ(s.SubstRules[0].Replacement, "C");
}

TEST(Rules, HeadersAndLineSkipping) {
  RuleSet r = Parse("[Separators]\r\n32=2\r\n[Morvo]\r\n46=3\r\n[Uppers]\r\n\r\n;0xe9=E\r\n0xe8=E\r\n");
  EXPECT_EQ(r.SeparatorClass[' '], 2);
  EXPECT_EQ(r.SeparatorClass['.'], 0);  // under an unknown section
  EXPECT_EQ(r.UpperMap[0xe9], 0xe9);
  EXPECT_EQ(r.UpperMap[0xe8], 'E');
  // A lone CR ends the line's text.
  RuleSet cr = Parse("[Uppers]\n0xe9=E\rjunk\n");
  EXPECT_EQ(cr.UpperMap[0xe9], 'E');
}

TEST(Rules, SecondLoadStartsFromTheDefaults) {
  auto dir = std::filesystem::temp_directory_path();
  std::string pid = std::to_string(getpid());
  std::string first = (dir / ("kalix_rules_first_" + pid + ".rul")).string();
  std::string second = (dir / ("kalix_rules_second_" + pid + ".rul")).string();
  ASSERT_TRUE(WriteTextFile(first, "[Filters]\n01A=^A\n[Separators]\n32=2\n[Substitutions]\nPH=F\n"));
  ASSERT_TRUE(WriteTextFile(second, "[Uppers]\n0xe9=E\n"));
  RuleSet r = DefaultRules();
  ASSERT_TRUE(LoadRules(r, first));
  EXPECT_EQ(r.FilterDefs.size(), 1u);
  EXPECT_EQ(r.SubstRules.size(), 1u);
  ASSERT_TRUE(LoadRules(r, second));
  EXPECT_TRUE(r.FilterDefs.empty());
  EXPECT_TRUE(r.SubstRules.empty());
  EXPECT_EQ(r.SeparatorClass[' '], 0);
  EXPECT_EQ(r.UpperMap[0xe9], 'E');
  // A file that cannot be opened changes nothing.
  EXPECT_FALSE(LoadRules(r, (dir / ("kalix_no_such_rules_" + pid + ".rul")).string()));
  EXPECT_EQ(r.UpperMap[0xe9], 'E');
  std::remove(first.c_str());
  std::remove(second.c_str());
}

TEST(Rules, BinaryGarbageAndHugeLines) {
  std::string garbage;
  unsigned state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 1103515245u + 12345u;
    garbage.push_back(static_cast<char>(state >> 16));
  }
  for (const char* header : {"", "[Markers]\n", "[Separators]\n", "[Uppers]\n", "[Substitutions]\n",
                             "[Vowels]\n", "[Consonants]\n", "[Filters]\n"}) {
    RuleSet r = Parse(header + garbage);
    for (const SubstRule& rule : r.SubstRules) {
      EXPECT_GE(rule.MatchLength(), 2);
      EXPECT_LE(rule.ReplacementLength(), rule.MatchLength());
      EXPECT_LE(rule.ReplacementLength(), 32);
    }
    for (int c = 0; c < 32; ++c) EXPECT_EQ(r.UpperMap[c], 0);
    for (int c = 0; c < 256; ++c) EXPECT_LE(r.SeparatorClass[c], 4);
  }
  std::string huge(100000, 'A');
  std::string big(20000, 'A');
  RuleSet s = Parse("[Substitutions]\n" + big + "=" + huge + "\n[Filters]\n" + huge);
  ASSERT_EQ(s.SubstRules.size(), 1u);
  EXPECT_EQ(s.SubstRules[0].Replacement.size(), 32u);
  ASSERT_EQ(s.FilterDefs.size(), 1u);
  EXPECT_EQ(s.FilterDefs[0].size(), huge.size());
  std::string tooLong(40000, 'A');  // beyond what a rule's 16-bit length holds
  RuleSet t = Parse("[Substitutions]\n" + tooLong + "=B\n");
  EXPECT_TRUE(t.SubstRules.empty());
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// A rules file that looks wrong: nothing recognised, or a marker that is 0 or
// a letter. Comments, blank lines and unknown sections recognise nothing.
TEST(RulesDoubt, WhatLooksWrong) {
  struct Case {
    std::string text;
    RulesDoubt doubt;
  } cases[] = {
      {"", RulesDoubt::NothingRecognised},
      {"; only a comment\r\n\r\n[Unknown]\r\nx=y\r\n", RulesDoubt::NothingRecognised},
      {"\x89PNG\r\n\x1a\n", RulesDoubt::NothingRecognised},
      {"[Separators]\r\n32=2\r\n", RulesDoubt::None},
      {"Page=0xb1\r\n", RulesDoubt::None},
      {"[Vowels]\r\naeiou\r\n", RulesDoubt::None},
      {"[Morvo]\r\n1,A,B,1\r\n", RulesDoubt::None},  // generation rules alone
      {"=z\r\n", RulesDoubt::MarkerIsLetter},  // the empty key is "Page"
      {"[Markers]\r\nRecto=A\r\n", RulesDoubt::MarkerIsLetter},
      {"Glyph=\r\n", RulesDoubt::MarkerIsZero},
      {"[Markers]\r\nNote=0\r\n[Separators]\r\n32=2\r\n", RulesDoubt::MarkerIsZero},
      {"Verso=0xbe\r\nPage=1\r\n", RulesDoubt::None},  // a digit never stands for itself: 1 is a control code
  };
  for (const Case& c : cases) {
    RuleSet r;
    EXPECT_EQ(DoubtAboutRules(r, ParseRules(r, c.text)), c.doubt) << c.text;
  }
  RuleSet shipped;
  RulesDoubt doubt = RulesDoubt::MarkerIsZero;
  ASSERT_TRUE(LoadRules(shipped, std::string(KALIX_SOURCE_DIR) + "/samples/nac.rul", &doubt));
  EXPECT_EQ(doubt, RulesDoubt::None);
}

}  // namespace
}  // namespace kalix
