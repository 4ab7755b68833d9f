#include "platform/CharPolicy.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

struct Appended {
  std::string bytes;
  cReplacedList replaced;
};

Appended AppendWith(const CharPolicy& policy, std::u32string_view run) {
  Appended a;
  policy.Append(run, a.bytes, a.replaced, 10);
  return a;
}

TEST(CharPolicy, EachCharacterToOneByteOrNone) {
  const CharPolicy policy;
  struct Case {
    std::u32string run;
    std::string bytes;
    std::vector<ReplaceKind> kinds;  // of the recorded characters, in order
  } cases[] = {
      {U"Ceste", "Ceste", {}},                                  // ASCII: its bytes, nothing recorded
      {U"caf\u00e9 \u20ac\u2019", "caf\xe9 \x80\x92", {}},      // 1252 beyond ASCII, the euro and the quote
      {U"e\u0301t\u00e9", "\xe9t\xe9", {}},                     // NFC composes to a 1252 letter
      {U"Ce\u017Ft", "Cest", {ReplaceKind::Transliterated}},     // long s
      {U"\u0142\u0141\u0111\u0131", "lLdi", {ReplaceKind::Transliterated, ReplaceKind::Transliterated,
                                             ReplaceKind::Transliterated, ReplaceKind::Transliterated}},
      {U"\uA751\uA757\uA75B\u204A", "pqr&", {ReplaceKind::Transliterated, ReplaceKind::Transliterated,
                                              ReplaceKind::Transliterated, ReplaceKind::Transliterated}},
      {U"a\u202Fb\u2009c", "a\xa0" "b c", {ReplaceKind::Transliterated, ReplaceKind::Transliterated}},
      {U"\u0101\u01D6", "a\xfc", {ReplaceKind::Transliterated, ReplaceKind::Transliterated}},  // decomposition
      {U"\uA77A\uA779", "dD", {ReplaceKind::Transliterated, ReplaceKind::Transliterated}},     // insular d by name
      {U"q\u0303", "q", {ReplaceKind::Transliterated}},          // a mark that does not compose stays with q
      {U"\u0303x", "\x81x", {ReplaceKind::Replaced}},            // a mark with nothing before it
      {U"a\u200Bb\uFEFF", "ab", {ReplaceKind::Dropped, ReplaceKind::Dropped}},  // format characters
      {U"\u2260\u4E2D", "\x81\x81", {ReplaceKind::Replaced, ReplaceKind::Replaced}},  // no letter: 0x81
      {std::u32string{0xD800, 'a', 0x110000}, "\x81" "a\x81", {ReplaceKind::Replaced, ReplaceKind::Replaced}},
  };
  for (const Case& c : cases) {
    const Appended a = AppendWith(policy, c.run);
    EXPECT_EQ(a.bytes, c.bytes) << ToUtf8(c.run);
    ASSERT_EQ(a.replaced.size(), c.kinds.size()) << ToUtf8(c.run);
    for (size_t k = 0; k < c.kinds.size(); ++k) EXPECT_EQ(a.replaced[k].kind, c.kinds[k]) << ToUtf8(c.run);
  }
}

TEST(CharPolicy, RecordsOffsetsAndOriginals) {
  const CharPolicy policy;
  const Appended a = AppendWith(policy, U"e\u017Ft q\u0303\u200B.");
  EXPECT_EQ(a.bytes, "est q.");
  ASSERT_EQ(a.replaced.size(), 3u);
  EXPECT_EQ(a.replaced[0].offset, 11);  // base 10, second byte
  EXPECT_EQ(a.replaced[0].original, U"\u017F");
  EXPECT_EQ(a.replaced[1].offset, 14);
  EXPECT_EQ(a.replaced[1].original, U"q\u0303");
  EXPECT_EQ(a.replaced[2].offset, 15);  // dropped: the offset of the byte after it
  EXPECT_EQ(a.replaced[2].kind, ReplaceKind::Dropped);
  const ReplacedSummary s = SummarizeReplaced(a.replaced);
  EXPECT_EQ(s.transliterated, 2);
  EXPECT_EQ(s.dropped, 1);
  EXPECT_EQ(s.replaced, 0);
  EXPECT_EQ(s.characters, (std::vector<std::string>{"\xc5\xbf", "q\xcc\x83", "\xe2\x80\x8b"}));
}

TEST(CharPolicy, UserTableComesFirstAndBadLinesAreNamed) {
  CharPolicy policy;
  std::vector<TableError> errors;
  const int taken = policy.LoadTable(
      "# comment\n"
      "\xc5\xbf  f   # long s read as f\n"
      "U+2260 #\n"               // the replacement "#" is a character of its own here
      "U+0071+U+0303 Q\n"
      "\xe2\x80\xa0\n"           // no replacement
      "x \xe4\xb8\xad\n"         // not 1252
      "U+ZZ a\n"
      "\xff a\n"                 // not UTF-8
      "a b c\n"
      "\xea\x9d\x9b R",          // last line without a line break
      &errors);
  EXPECT_EQ(taken, 4);
  std::vector<int32_t> lines;
  for (const TableError& e : errors) lines.push_back(e.line);
  EXPECT_EQ(lines, (std::vector<int32_t>{5, 6, 7, 8, 9}));
  const Appended a = AppendWith(policy, U"\u017F\u2260q\u0303\uA75B\u0142");
  EXPECT_EQ(a.bytes, "f#QRl");
}

TEST(CharPolicy, Utf8Decoding) {
  struct Case { std::string utf8; std::u32string cps; bool valid; } cases[] = {
      {"a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", U"a\u00e9\u20ac\U0001F600", true},
      {"\xc0\xaf", U"\uFFFD\uFFFD", false},          // overlong
      {"\xed\xa0\x80", U"\uFFFD", false},             // a surrogate
      {"\xe2\x82", U"\uFFFD", false},                 // cut short
      {"\xf4\x90\x80\x80", U"\uFFFD", false},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    std::u32string out;
    EXPECT_EQ(DecodeUtf8(c.utf8, out), c.valid) << c.utf8;
    EXPECT_EQ(out.size(), c.cps.size()) << c.utf8;
    if (c.valid) EXPECT_EQ(out, c.cps);
    if (c.valid) EXPECT_EQ(ToUtf8(out), c.utf8);
  }
}

TEST(CharPolicy, CodePages) {
  CodePageDecoder d;
  EXPECT_EQ(d.Decode(0x9C), U'\u0153');  // 1252 by default
  EXPECT_TRUE(d.Select(1250));
  EXPECT_EQ(d.Decode(0xB9), U'\u0105');  // a with ogonek, not the note anchor
  EXPECT_TRUE(d.Select(1251));
  EXPECT_EQ(d.Decode(0xE0), U'\u0430');
  EXPECT_TRUE(d.Select(1253));
  EXPECT_EQ(d.Decode(0xD2), U'\uFFFD');  // undefined in 1253
  EXPECT_TRUE(d.Select(932));
  EXPECT_EQ(d.Decode(0x82), 0u);         // a lead byte waits
  EXPECT_EQ(d.Decode(0xA0), U'\u3042');
  EXPECT_EQ(d.Decode('A'), U'A');
  EXPECT_FALSE(d.Select(437));
  EXPECT_EQ(d.CodePage(), 1252);
  EXPECT_EQ(d.Decode(0x80), U'\u20AC');
  EXPECT_EQ(CodePageOfCharset(238), 1250);
  EXPECT_EQ(CodePageOfCharset(2), 0);
}

}  // namespace
}  // namespace kalix
