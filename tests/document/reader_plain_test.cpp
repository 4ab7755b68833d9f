// Plain text against a model of its own: without braces, backslashes and
// 0x1A, the reader drops CR and zero bytes, keeps line feeds as paragraph
// ends and every other byte as it is, sets a mark on every marker character
// (page 1 on the first character of the text when no page marker opens it),
// and adds a final paragraph end. The runs between these bytes are found 32
// bytes at a time where the processor allows; the cases put every kind of
// byte at every place in such a block, under rule sets whose markers fall in
// few and in many ranges of sixteen codes.

#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace kalix {
namespace {

struct Expected {
  std::string text;
  cMarkList marks;
};

Expected PlainModel(const RuleSet& rules, const std::string& bytes) {
  Expected out;
  int32_t view = 0;
  int32_t pages = 0, folios = 0, glyphs = 0;
  bool rectoPending = true;
  auto add = [&](int16_t kind, int32_t number, int32_t value) {
    out.marks.push_back(Mark{view, kind, number, value, nullptr});
  };
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\r' || c == 0) continue;
    if (c == '\n') {
      out.text += '\n';
      view += 2;
      continue;
    }
    if (c == rules.GlyphMarker) {
      add(kGlyphMark, ++glyphs, -1);
    } else if (c == rules.PageMarker) {
      add(kPageMark, ++pages, 0);
    } else if (c == rules.VersoMarker) {
      if (!rectoPending) ++folios;
      rectoPending = false;
      add(kFolioMark, folios, 1);
    } else if (c == '=' || c == rules.RectoMarker) {
      rectoPending = true;
      add(kFolioMark, ++folios, 0);
    }
    if (pages == 0) add(kPageMark, ++pages, 0);
    out.text += ch;
    view += 1;
  }
  if (!out.text.empty()) out.text += '\n';
  return out;
}

RuleSet WithMarkers(unsigned char page, unsigned char recto, unsigned char verso, unsigned char glyph) {
  RuleSet rules = DefaultRules();
  rules.PageMarker = page;
  rules.RectoMarker = recto;
  rules.VersoMarker = verso;
  rules.GlyphMarker = glyph;
  return rules;
}

struct RuleCase {
  const char* name;
  RuleSet rules;
};

std::vector<RuleCase> RuleCases() {
  return {
      {"default markers", DefaultRules()},
      {"letters", WithMarkers('p', 'r', 'v', 'g')},
      // With the fixed stop bytes these make nine ranges of sixteen codes:
      // two of them share one bit of the screen.
      {"nine ranges", WithMarkers(0x2A, 0x4F, 0x85, 0x9C)},
      {"markers beside the fixed stop bytes", WithMarkers(0x0B, 0x1B, 0x7C, 0x5D)},
      {"one marker byte for all", WithMarkers(0xE9, 0xE9, 0xE9, 0xE9)},
  };
}

void ExpectPlain(const RuleSet& rules, const std::string& input, const std::string& label) {
  Expected expected = PlainModel(rules, input);
  Document doc;
  ReadDocument(rules, input, doc);
  ASSERT_EQ(std::string(doc.Text()), expected.text) << label;
  ASSERT_EQ(test::DescribeMarks(doc.marks), test::DescribeMarks(expected.marks)) << label;
  EXPECT_TRUE(doc.notes.empty()) << label;
}

bool Plain(unsigned char c) { return c != '{' && c != '}' && c != '\\' && c != 0x1A; }

TEST(ReaderPlain, EveryByteAtEveryPlaceOfABlock) {
  for (const RuleCase& rc : RuleCases()) {
    for (int b = 0; b < 256; ++b) {
      if (!Plain(static_cast<unsigned char>(b))) continue;
      for (size_t before : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{31}, size_t{32},
                            size_t{33}, size_t{63}, size_t{64}, size_t{95}}) {
        std::string input = std::string(before, 'a') + static_cast<char>(b) + std::string(70, 'z') +
                            static_cast<char>(b) + "q";
        ExpectPlain(rc.rules, input, std::string(rc.name) + " byte " + std::to_string(b) + " after " +
                                         std::to_string(before));
      }
    }
  }
}

TEST(ReaderPlain, RandomDocuments) {
  const unsigned char alphabet[] = {'a', 'b', ' ', 'p', 'r', 'v', 'g', '=', 0xE9, 0xE0, 0xB1, 0xF2,
                                    0xBE, 0xAD, 0x2A, 0x4F, 0x85, 0x9C, '\r', '\n', 0,    '\t',
                                    0x0B, 0x1B, 0x7C, 0x5D, 0xFF, 0x80, 0x7F, 0x01};
  std::mt19937 rng(4242);
  for (const RuleCase& rc : RuleCases()) {
    for (int round = 0; round < 60; ++round) {
      std::string input;
      size_t size = rng() % 3000;
      while (input.size() < size) {
        // Long runs of letters between the bytes that matter.
        size_t run = rng() % 4 == 0 ? rng() % 200 : rng() % 3;
        input.append(run, static_cast<char>('c' + rng() % 10));
        input += static_cast<char>(alphabet[rng() % sizeof alphabet]);
      }
      ExpectPlain(rc.rules, input, std::string(rc.name) + " round " + std::to_string(round));
      Document bytewise;
      ReadDocumentInPieces(rc.rules, input, 1, bytewise);
      ASSERT_EQ(std::string(bytewise.Text()), PlainModel(rc.rules, input).text);
    }
  }
}

TEST(ReaderPlain, LineEnds) {
  const struct {
    const char* input;
    const char* text;
  } cases[] = {
      {"", ""},
      {"\r", ""},
      {"\r\r\r", ""},
      {"\n", "\n\n"},
      {"a\r\nb\r\n", "a\nb\n\n"},
      {"a\rb\r", "ab\n"},
      {"a\r\r\nb", "a\nb\n"},
      {"a\n\rb", "a\nb\n"},
  };
  for (const auto& c : cases) {
    Document doc;
    ReadDocument(DefaultRules(), c.input, doc);
    EXPECT_EQ(std::string(doc.Text()), c.text) << c.input;
  }
}

// A file large enough for the text buffer to get huge-page advice reads as
// its bytes read in one piece do.
TEST(ReaderPlain, LargeFile) {
  std::string input;
  std::mt19937 rng(5);
  const char* lines[] = {"\xb1 page ", "\xf2 recto ", "\xbe verso ", "\xad glyph ", "plain words \xe9t\xe9 "};
  while (input.size() < (size_t{33} << 20)) {
    input += lines[rng() % 5];
    input.append(rng() % 300, 'x');
    input += rng() % 2 ? "\r\n" : "\n";
  }
  std::string path = ::testing::TempDir() + "/large-plain.txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  ASSERT_EQ(std::fwrite(input.data(), 1, input.size(), f), input.size());
  std::fclose(f);
  Context ctx;
  Document opened;
  ASSERT_TRUE(OpenDocument(ctx, opened, path, nullptr));
  std::remove(path.c_str());
  Expected expected = PlainModel(ctx.Rules, input);
  ASSERT_TRUE(opened.Text() == expected.text);
  ASSERT_EQ(opened.marks.size(), expected.marks.size());
  for (size_t i = 0; i < expected.marks.size(); ++i) {
    const Mark& a = opened.marks[i];
    const Mark& b = expected.marks[i];
    ASSERT_TRUE(a.position == b.position && a.kind == b.kind && a.number == b.number && a.value == b.value)
        << "mark " << i;
  }
}

}  // namespace
}  // namespace kalix
