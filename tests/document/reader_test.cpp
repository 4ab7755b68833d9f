// The reader, case by case: text, marks and notes exactly.

#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace kalix {
namespace {

using test::DescribeMarks;
using test::DescribeNotes;

struct ReaderCase {
  const char* name;
  std::string input;
  std::string text;   // without the terminating zero
  std::string marks;  // DescribeMarks
  std::string notes;  // DescribeNotes
};

const std::string kWmfHex = test::Hex(test::SmallMetafile());

const ReaderCase kCases[] = {
    // Plain text.
    {"empty file", "", "", "", ""},
    {"plain CR LF", "ab\r\ncd", "ab\ncd\n", "P1@0", ""},
    {"plain braces are groups", "x{y}z", "xyz\n", "P1@0", ""},
    {"plain doubled backslash", "a\\\\b", "a\\b\n", "P1@0", ""},
    {"plain decimal escape opens a page", "\\<177>x", "\xb1x\n", "P1@0", ""},
    {"plain 0x1A ends the input", "ab\x1a" "cd", "ab\n", "P1@0", ""},
    {"plain ending with a paragraph end gets one more", "a\n", "a\n\n", "P1@0", ""},
    {"plain line feeds are paragraph ends", "a\nb", "a\nb\n", "P1@0", ""},
    {"lone CR is dropped", "a\rb", "ab\n", "P1@0", ""},
    {"raw zero bytes are dropped", std::string("a\0b", 3), "ab\n", "P1@0", ""},
    {"stray closing brace is ignored", "a}b}", "ab\n", "P1@0", ""},
    {"upper-case letter after backslash is text", "\\Abc", "Abc\n", "P1@0", ""},
    {"escaped braces are text", "a\\{b\\}", "a{b}\n", "P1@0", ""},
    {"tilde, underscore, optional hyphen", "a\\~b\\_c\\-d", "a b-c\xad" "d\n", "P1@0 G1@5", ""},
    {"equals sign opens a recto", "a=b", "a=b\n", "P1@0 F1r@1", ""},
    {"folio sequence r v v r v", "\xf2\xbe\xbe\xf2\xbe",
     "\xf2\xbe\xbe\xf2\xbe\n", "F1r@0 P1@0 F1v@1 F2v@2 F3r@3 F3v@4", ""},
    {"first folio a verso is folio 0", "\xbe" "a\xf2", "\xbe" "a\xf2\n", "F0v@0 P1@0 F1r@2", ""},
    {"glyph marker first: glyph, then page 1", "\xad" "a", "\xad" "a\n", "G1@0 P1@0", ""},
    {"page marker first opens no automatic page", "\xb1" "a\xb1", "\xb1" "a\xb1\n", "P1@0 P2@2", ""},
    {"marks after paragraph ends count two", "a\n\xb1", "a\n\xb1\n", "P1@0 P2@3", ""},
    {"decimal escape of 0 is dropped", "a\\<0>b\\<256>c", "abc\n", "P1@0", ""},
    {"decimal escape low 8 bits", "\\<433>", "\xb1\n", "P1@0", ""},
    {"decimal escape of 31 characters", "\\<" + std::string(28, '0') + "177>", "\xb1\n", "P1@0", ""},
    {"decimal escape cut at 31 characters", "a\\<" + std::string(35, '0') + "177>b", "ab\n", "P1@0", ""},
    {"decimal escape of a negative number", "\\<-79>", "\xb1\n", "P1@0", ""},
    {"decimal escape stops at the first non-digit", "\\<65x9>", "A\n", "P1@0", ""},
    {"decimal escape without digits is dropped", "a\\<>b\\<x>c", "abc\n", "P1@0", ""},
    {"decimal escape CR is a line break", "a\\<13>\\<177>", "a\r\xb1\n", "P1@0 P2@3", ""},
    {"decimal escape opening a group", "a\\<123>b}c", "abc\n", "P1@0", ""},
    {"decimal escape LF outside rich text", "a\\<10>b", "a\nb\n", "P1@0", ""},
    {"hex escape in plain text", "\\'41", "A\n", "P1@0", ""},

    // Rich text.
    {"rich hex escape opens a page", "{\\rtf1 \\'b1x}", "\xb1x\n", "P1@0", ""},
    {"rich hex 7b opens a group", "{\\rtf1 a\\'7bb}c}", "abc\n", "P1@0", ""},
    {"rich hex escape not hexadecimal is dropped", "{\\rtf1 a\\'zzb}", "ab\n", "P1@0", ""},
    {"rich hex escape of zero is dropped", "{\\rtf1 a\\'00b}", "ab\n", "P1@0", ""},
    {"rich hex escape upper-case digits", "{\\rtf1 \\'E9}", "\xe9\n", "P1@0", ""},
    {"rich CR inside a hex escape is ignored", "{\\rtf1 \\'b\r1}", "\xb1\n", "P1@0", ""},
    {"rich raw line feeds are ignored", "{\\rtf1 a\nb\r\nc}", "abc\n", "P1@0", ""},
    {"rich backslash line end produces nothing", "{\\rtf1 a\\\nb}", "ab\n", "P1@0", ""},
    {"rich par", "{\\rtf1 a\\par b}", "a\nb\n", "P1@0", ""},
    {"rich line is a CR of two positions", "{\\rtf1 a\\line \\'b1}", "a\r\xb1\n", "P1@0 P2@3", ""},
    {"rich escaped CR counts two positions", "{\\rtf1 a\\'0d\\'b1}", "a\r\xb1\n", "P1@0 P2@3", ""},
    {"rich escaped CR first opens page 1", "{\\rtf1 \\'0d}", "\r\n", "P1@0", ""},
    {"rich escaped LF is dropped", "{\\rtf1 a\\'0ab}", "ab\n", "P1@0", ""},
    {"rich sect and row", "{\\rtf1 a\\sect b\\row}", "a\nb\n\n", "P1@0", ""},
    {"rich tab and cell do not open a page", "{\\rtf1\\tab\\cell x}", "\t\tx\n", "P1@2", ""},
    {"rich endash", "{\\rtf1 a\\endash b}", "a\x96" "b\n", "P1@0", ""},
    {"rich blank after a word is swallowed once", "{\\rtf1\\par  x}", "\n x\n", "P1@2", ""},
    {"rich word ended by another word", "{\\rtf1\\par\\par x}", "\n\nx\n", "P1@4", ""},
    {"rich negative parameter", "{\\rtf1 \\u-4064?}", "\x81\n", "P1@0", ""},
    {"rich unicode escape keeps the fallback", "{\\rtf1 \\u8212\\'97}", "\x97\n", "P1@0", ""},
    {"rich control words are case-sensitive", "{\\rtf1 a\\PAR b\\Par c}", "aPAR bPar c\n", "P1@0", ""},
    {"rich long control word is cut", "{\\rtf1 a\\" + std::string(40, 'x') + " b}", "ab\n", "P1@0", ""},
    {"rich par followed by 31+ letters is not par", "{\\rtf1 a\\par" + std::string(40, 'x') + " b}", "ab\n", "P1@0", ""},
    {"rich colortbl swallows the next character", "{\\rtf1{\\colortbl ;\\red0;}x\\par y}", "\ny\n", "P1@2", ""},
    {"rich colortbl then escape", "{\\rtf1{\\colortbl ;}\\'41}", "A\n", "P1@0", ""},
    {"rich skipped destinations", "{\\rtf1{\\fonttbl{\\f0 A\\'b1;}}{\\stylesheet s}{\\info i}{\\header h}"
     "{\\footer f}{\\footerf f}\\'61}", "a\n", "P1@0", ""},
    {"rich first-page, left and right headers are skipped",
     "{\\rtf1{\\headerf \\'b1}{\\headerl \\'b1}{\\headerr h}{\\footerl f}{\\footerr f}\\'61}", "a\n", "P1@0", ""},
    {"rich backslashes inside a skipped group are dropped", "{\\rtf1{\\info\\{x}a}b}", "b\n", "P1@0", ""},
    {"rich skipped group ended by a blank swallows after it", "{\\rtf1{\\info i}ab}", "b\n", "P1@0", ""},
    {"rich star skips an unknown destination", "{\\rtf1 a{\\*\\bkmkstart b}c}", "ac\n", "P1@0", ""},
    {"rich star before a non-word skips", "{\\rtf1 a{\\*\\'41b}c}", "ac\n", "P1@0", ""},
    {"rich star before text skips", "{\\rtf1 a{\\* b}c}", "ac\n", "P1@0", ""},
    {"rich star with an immediate brace", "{\\rtf1 a{\\*}b}", "ab\n", "P1@0", ""},

    // Footnotes.
    {"footnote with par", "{\\rtf1 a{\\footnote b\\par c}d}", "a\xb9" "d\n", "P1@0", "1:b\nc"},
    {"footnote marked ignorable is read", "{\\rtf1 a{\\*\\footnote b}c}", "a\xb9" "c\n", "P1@0", "1:b"},
    {"footnote before any page has page 0", "{\\rtf1{\\footnote a}b}", "\xb9" "b\n", "P1@1", "0:a"},
    {"empty footnote has no text", "{\\rtf1 a{\\footnote}}", "a\xb9\n", "P1@0", "1:-"},
    {"two footnotes on one page", "{\\rtf1 a{\\footnote x}b{\\footnote y}\\'b1c{\\footnote z}}",
     "a\xb9" "b\xb9\xb1" "c\xb9\n", "P1@0 P2@4", "1:x|1:y|2:z"},
    {"equals and markers inside a footnote make no mark", "{\\rtf1 a{\\footnote =\\'b1\\'ad}}",
     "a\xb9\n", "P1@0", "1:=\xb1\xad"},
    {"footnote takes tab and line", "{\\rtf1 a{\\footnote b\\tab c\\line d}}", "a\xb9\n", "P1@0", "1:b\tc\nd"},
    {"footnote in plain text keeps its line feeds", "a{\\footnote b\nc}d", "a\xb9" "d\n", "P1@0", "1:b\nc"},
    {"footnote inside a footnote stays in it", "{\\rtf1 a{\\footnote b{\\footnote c}d}e}",
     "a\xb9" "e\n", "P1@0", "1:bcd"},
    {"footnote still open at the end is dropped", "{\\rtf1 a{\\footnote b", "a\xb9\n", "P1@0", ""},
    {"unfinished footnote after a finished one: only the finished one is kept",
     "{\\rtf1 a{\\footnote x}b{\\footnote y\\par z", "a\xb9" "b\xb9\n", "P1@0", "1:x"},
    {"unfinished footnote in plain text: the paragraph end goes to the main text", "a{\\footnote b\n",
     "a\xb9\n", "P1@0", ""},
    {"ignorable footnote inside a footnote stays in it", "{\\rtf1 a{\\footnote b{\\*\\footnote c}d}e}",
     "a\xb9" "e\n", "P1@0", "1:bcd"},
    {"footnote word again in the same footnote group", "{\\rtf1 a{\\footnote b\\footnote c}d}",
     "a\xb9" "d\n", "P1@0", "1:bc"},

    // Line ends between the ignorable mark and the control word after it.
    {"line feed after the star: still a footnote", "{\\rtf1 a{\\*\n\\footnote x}b}", "a\xb9" "b\n", "P1@0", "1:x"},
    {"CR LF after the star: still a footnote", "{\\rtf1 a{\\*\r\n\\footnote x}b}", "a\xb9" "b\n", "P1@0", "1:x"},
    {"several line ends after the star", "{\\rtf1 a{\\*\n\r\n\n\r\\footnote x\\par y}b}",
     "a\xb9" "b\n", "P1@0", "1:x\ny"},
    {"line feed after the star in plain text: a footnote, no paragraph end", "a{\\*\n\\footnote x}b",
     "a\xb9" "b\n", "P1@0", "1:x"},
    {"line feed after the star, then an unknown destination: skipped", "{\\rtf1 a{\\*\n\\bkmkstart b}c}",
     "ac\n", "P1@0", ""},
    {"line feed after the star, then text: skipped", "{\\rtf1 a{\\*\nb}c}", "ac\n", "P1@0", ""},
    {"line feed after the star, then a blank: skipped", "{\\rtf1 a{\\*\n \\footnote b}c}", "ac\n", "P1@0", ""},
    {"line feed after the star, then a brace", "{\\rtf1 a{\\*\n}b}", "ab\n", "P1@0", ""},
    {"escaped line feed after the star is no line end of the file", "{\\rtf1 a{\\*\\'0a\\footnote b}c}",
     "ac\n", "P1@0", ""},
    {"line end inside the control word after the star ends it", "{\\rtf1 a{\\*\\foot\nnote b}c}",
     "ac\n", "P1@0", ""},
    {"footnote after a star and a line feed, in a LibreOffice layout",
     "{\\rtf1 a\\'b1b{\\super\\chftn}{\\*\r\n\\footnote\\pard\\plain{\\super\\chftn}\r\n\\plain n\\par m}c}",
     "a\xb1" "b\xb9" "c\n", "P1@0 P2@1", "2:n\nm"},

    // Pictures.
    {"picture after text gets a glyph", "{\\rtf1 ab{\\pict\\wmetafile8\\picw2000\\pich1000 " + kWmfHex + "}c}",
     "ab\xad" "c\n", "P1@0 G1@2*", ""},
    {"picture after a glyph marker is attached to it",
     "{\\rtf1 a\\'ad{\\pict\\wmetafile8\\picw2000\\pich1000 " + kWmfHex + "}c}", "a\xad" "c\n", "P1@0 G1@1*", ""},
    {"picture after a page marker is attached to the page",
     "{\\rtf1 a\\'b1{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}}", "a\xb1\n", "P1@0 P2@1*", ""},
    {"two pictures in a row share one glyph",
     "{\\rtf1 ab{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}{\\pict\\wmetafile8 " + kWmfHex + "}}",
     "ab\xad\n", "P1@0 G1@2*", ""},
    {"picture first in the document opens no page", "{\\rtf1{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}b}",
     "\xad" "b\n", "G1@0* P1@1", ""},
    {"picture after a glyph marker that opened the document goes to the page it opened",
     "{\\rtf1\\'ad{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}}", "\xad\n", "G1@0 P1@0*", ""},
    {"picture after the first character goes to the automatic page",
     "{\\rtf1 a{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}}", "a\n", "P1@0*", ""},
    {"line feed after the star: still a picture",
     "{\\rtf1 ab{\\*\n\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}}", "ab\xad\n", "P1@0 G1@2*", ""},
    {"png picture gets a glyph but no picture", "{\\rtf1 ab{\\pict\\pngblip\\picw20\\pich10 89504e47}}",
     "ab\xad\n", "P1@0 G1@2", ""},
    {"mapping mode is not reset between pictures",
     "{\\rtf1 ab{\\pict\\pngblip 00}b{\\pict\\picw20\\pich10 " + kWmfHex + "}}", "ab\xad" "b\xad\n",
     "P1@0 G1@2 G2@4", ""},
    {"bad metafile data gives no picture", "{\\rtf1 ab{\\pict\\wmetafile8\\picw20\\pich10 0102}}",
     "ab\xad\n", "P1@0 G1@2", ""},
    {"shppict skipped, nonshppict decoded",
     "{\\rtf1 ab{\\*\\shppict{\\pict\\pngblip 00}}{\\nonshppict{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex +
         "}}b}",
     "ab\xad" "b\n", "P1@0 G1@2*", ""},
    {"picture marked ignorable is read", "{\\rtf1 ab{\\*\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex + "}}",
     "ab\xad\n", "P1@0 G1@2*", ""},
    {"picture still open at the end is dropped", "{\\rtf1 ab{\\pict\\wmetafile8\\picw20\\pich10 " + kWmfHex,
     "ab\n", "P1@0", ""},
    {"picture inside a picture keeps one glyph",
     "{\\rtf1 ab{\\pict\\wmetafile8\\picw20\\pich10 ff{\\pict " + kWmfHex + "}}}", "ab\xad\n", "P1@0 G1@2*", ""},
};

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, TextMarksAndNotes) {
  const ReaderCase& c = GetParam();
  Document doc;
  ReadDocument(DefaultRules(), c.input, doc);
  ASSERT_FALSE(doc.text.empty());
  EXPECT_EQ(doc.text.back(), '\0');
  EXPECT_EQ(std::string(doc.Text()), c.text);
  EXPECT_EQ(doc.Text().find('\0'), std::string_view::npos) << "no zero before the terminating one";
  EXPECT_EQ(DescribeMarks(doc.marks), c.marks);
  EXPECT_EQ(DescribeNotes(doc.notes), c.notes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReaderTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) {
                           std::string n;
                           for (const char* p = info.param.name; *p; ++p) {
                             n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return n;
                         });

TEST(Reader, PictureBoundsFromExtentAndGoal) {
  struct Case {
    std::string words;
    int32_t right, bottom;
  } cases[] = {
      {"\\wmetafile8\\picw2000\\pich1000", 76, 38},            // hundredths of a millimetre
      {"\\wmetafile8\\picw2000\\pich1000\\picwgoal1440\\pichgoal720", 96, 48},  // twips win
      {"\\wmetafile8\\picw2000\\pich1000\\picwgoal7\\pichgoal7", 76, 38},  // under a pixel: next source
      {"\\wmetafile1\\picw30\\pich40", 30, 40},                 // pixels
      {"\\wmetafile6\\picw1440\\pich15", 96, 1},                // twips
  };
  for (const Case& c : cases) {
    Document doc;
    ReadDocument(DefaultRules(), "{\\rtf1 ab{\\pict" + c.words + " " + kWmfHex + "}}", doc);
    ASSERT_EQ(doc.marks.size(), 2u) << c.words;
    ASSERT_TRUE(doc.marks[1].picture) << c.words;
    EXPECT_EQ(doc.marks[1].picture->left, 0);
    EXPECT_EQ(doc.marks[1].picture->top, 0);
    EXPECT_EQ(doc.marks[1].picture->right, c.right) << c.words;
    EXPECT_EQ(doc.marks[1].picture->bottom, c.bottom) << c.words;
    EXPECT_EQ(doc.marks[1].picture->records.size(), 3u);
  }
}

TEST(Reader, GoalSizeIsNotCarriedToTheNextPicture) {
  Document doc;
  ReadDocument(DefaultRules(),
               "{\\rtf1 ab{\\pict\\wmetafile8\\picw2000\\pich1000\\picwgoal1440\\pichgoal720 " + kWmfHex +
                   "}b{\\pict " + kWmfHex + "}}",
               doc);
  ASSERT_EQ(DescribeMarks(doc.marks), "P1@0 G1@2* G2@4*");
  EXPECT_EQ(doc.marks[1].picture->right, 96);
  EXPECT_EQ(doc.marks[2].picture->right, 76);  // picw kept, goal not
  EXPECT_EQ(doc.marks[2].picture->bottom, 38);
}

TEST(Reader, SecondPictureReplacesTheFirst) {
  Document doc;
  ReadDocument(DefaultRules(),
               "{\\rtf1 ab{\\pict\\wmetafile8\\picw2000\\pich1000 " + kWmfHex +
                   "}{\\pict\\wmetafile8\\picw4000\\pich1000 " + kWmfHex + "}}",
               doc);
  ASSERT_EQ(DescribeMarks(doc.marks), "P1@0 G1@2*");
  EXPECT_EQ(doc.marks[1].picture->right, 151);
}

TEST(Reader, MarkersComeFromTheRuleSet) {
  RuleSet rules = DefaultRules();
  rules.PageMarker = '#';
  rules.RectoMarker = 'R';
  rules.VersoMarker = 'V';
  rules.GlyphMarker = '*';
  rules.NoteAnchor = '^';
  Document doc;
  ReadDocument(rules, "{\\rtf1 a#R\\'b1V=*{\\footnote n}}", doc);
  EXPECT_EQ(std::string(doc.Text()), "a#R\xb1V=*^\n");
  EXPECT_EQ(DescribeMarks(doc.marks), "P1@0 P2@1 F1r@2 F1v@4 F2r@5 G1@6");
  EXPECT_EQ(DescribeNotes(doc.notes), "2:n");
}

TEST(Reader, BlockBoundariesDoNotMatter) {
  // The same bytes fed through OpenDocument's block reading and in one piece
  // give the same model, whatever the lengths of the runs.
  std::string input = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}";
  for (int i = 0; i < 20000; ++i) {
    input += "mot \\'e9t\\'e9 ";
    if (i % 97 == 0) input += "\\'b1\\'f2";
    if (i % 131 == 0) input += "{\\footnote note \\par x}";
    if (i % 53 == 0) input += "\\par\r\n";
  }
  input += "}";
  Document one;
  ReadDocument(DefaultRules(), input, one);
  std::string path = ::testing::TempDir() + "/blocks.rtf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);
  Context ctx;
  Document two;
  ASSERT_TRUE(OpenDocument(ctx, two, path, nullptr));
  EXPECT_EQ(two.text, one.text);
  EXPECT_EQ(DescribeMarks(two.marks), DescribeMarks(one.marks));
  EXPECT_EQ(DescribeNotes(two.notes), DescribeNotes(one.notes));
  std::remove(path.c_str());
}

TEST(Reader, LargeFilesReadOnASecondThreadGiveTheSameModel) {
  // Large files are read ahead on a second thread while the reader works:
  // the model is that of the bytes in one piece, whether the file is read
  // to its end or the input ends early (an end-of-input byte well before
  // the end of the file, with blocks still being read).
  std::string input = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}";
  for (int i = 0; input.size() < (size_t{10} << 20); ++i) {
    input += "mot \\'e9t\\'e9 ";
    if (i % 97 == 0) input += "\\'b1\\'f2";
    if (i % 131 == 0) input += "{\\footnote note \\par x}";
    if (i % 53 == 0) input += "\\par\r\n";
  }
  input += "}";
  std::string ended = input;
  ended[size_t{6} << 20] = '\x1a';
  for (const std::string& bytes : {input, ended}) {
    Document one;
    ReadDocument(DefaultRules(), bytes, one);
    std::string path = ::testing::TempDir() + "/large.rtf";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    Context ctx;
    Document two;
    ASSERT_TRUE(OpenDocument(ctx, two, path, nullptr));
    std::remove(path.c_str());
    EXPECT_EQ(two.text, one.text);
    EXPECT_EQ(DescribeMarks(two.marks), DescribeMarks(one.marks));
    EXPECT_EQ(DescribeNotes(two.notes), DescribeNotes(one.notes));
  }
}

TEST(Reader, OpenDocumentMissingFile) {
  Context ctx;
  Document doc;
  std::string message;
  EXPECT_FALSE(OpenDocument(ctx, doc, "/nonexistent/dir/doc.rtf", &message));
  EXPECT_EQ(message, "Fichier non trouv\xe9 :\n/nonexistent/dir/doc.rtf");
  EXPECT_EQ(doc.path, "/nonexistent/dir/doc.rtf");
  EXPECT_TRUE(doc.text.empty());
  EXPECT_TRUE(doc.marks.empty());
  EXPECT_TRUE(doc.notes.empty());
}

TEST(Reader, OpenDocumentMessageIsTranslated) {
  Context ctx;
  ctx.Language.Loaded = true;
  ctx.Language.MessageKeys = {"Fichier non trouv\xe9 :"};
  ctx.Language.MessageTexts = {"File not found:"};
  Document doc;
  std::string message;
  EXPECT_FALSE(OpenDocument(ctx, doc, "missing.txt", &message));
  EXPECT_EQ(message, "File not found:\nmissing.txt");
}

TEST(Reader, DirectoryCannotBeOpened) {
  Context ctx;
  Document doc;
  EXPECT_FALSE(OpenDocument(ctx, doc, ::testing::TempDir(), nullptr));
  EXPECT_TRUE(doc.text.empty());
}

TEST(Reader, ScratchModelIsEmptiedFirst) {
  std::string path = ::testing::TempDir() + "/scratch.txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fputs("\xb1z", f);
  std::fclose(f);
  Context ctx;
  Document scratch;
  ReadDocument(ctx.Rules, "old {\\footnote n}", scratch);
  scratch.path = "old.txt";
  ASSERT_TRUE(LoadScratchDocument(ctx, scratch, path, nullptr));
  EXPECT_EQ(scratch.path, path);
  EXPECT_EQ(std::string(scratch.Text()), "\xb1z\n");
  EXPECT_EQ(DescribeMarks(scratch.marks), "P1@0");
  EXPECT_TRUE(scratch.notes.empty());
  std::string message;
  EXPECT_FALSE(LoadScratchDocument(ctx, scratch, path + ".missing", &message));
  EXPECT_TRUE(scratch.text.empty());
  EXPECT_TRUE(scratch.marks.empty());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// Random documents made of the pieces that matter to the reader, read in one
// piece and byte by byte: the runs copied at once and the escapes decoded
// on the fast path must give what the step by step reading gives.
TEST(Reader, PiecesDoNotMatterOnRandomDocuments) {
  const char* pieces[] = {"a", "bc ", "\xe9", "\t", "\\'e9", "\\'b1", "\\'7b", "\\'7d", "\\'5c", "\\'0d", "\\'0a",
                          "\\'zz", "\\'00", "\\par ", "\\line", "\\tab ", "{", "}", "{\\footnote ", "{\\pict ",
                          "\\wmetafile8 ", "0", "f", "{\\*", "\\bkmkstart ", "\\footnote ", "{\\colortbl ", "\\\\", "\\{", "\\-",
                          "\r\n", "\n", "\r", "=", "\xb1", "\xf2", "\xbe", "\xad", "\\<177>", "\\<0>", "\\rtf1",
                          "0123456789abcdefghij", "" /* a zero byte */, "\\u233?"};
  std::mt19937 rng(99);
  for (int round = 0; round < 400; ++round) {
    std::string input;
    int n = static_cast<int>(rng() % 120);
    for (int i = 0; i < n; ++i) {
      const char* piece = pieces[rng() % (sizeof pieces / sizeof pieces[0])];
      input += *piece ? std::string(piece) : std::string(1, '\0');
    }
    Document whole, bytewise, odd;
    ReadDocument(DefaultRules(), input, whole);
    ReadDocumentInPieces(DefaultRules(), input, 1, bytewise);
    ReadDocumentInPieces(DefaultRules(), input, 7, odd);
    ASSERT_EQ(whole.text, bytewise.text) << input;
    ASSERT_EQ(test::DescribeMarks(whole.marks), test::DescribeMarks(bytewise.marks)) << input;
    ASSERT_EQ(test::DescribeNotes(whole.notes), test::DescribeNotes(bytewise.notes)) << input;
    ASSERT_EQ(whole.text, odd.text) << input;
    ASSERT_EQ(test::DescribeMarks(whole.marks), test::DescribeMarks(odd.marks)) << input;
  }
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// Runs longer than the 4096-byte chunk the main text goes through, around
// short ones, in rich text and in plain text.
TEST(Reader, LongRuns) {
  for (const std::string& head : {std::string(), std::string("{\\rtf1 ")}) {
    std::string longRun(10000, 'a');
    std::string input = head + "\xb1" + longRun + "\\'e9" + std::string(4095, 'b') + "\\'b1" + "c" + longRun;
    Document doc;
    ReadDocument(DefaultRules(), input, doc);
    std::string expected = "\xb1" + longRun + "\xe9" + std::string(4095, 'b') + "\xb1" + "c" + longRun + "\n";
    ASSERT_EQ(std::string(doc.Text()), expected);
    EXPECT_EQ(test::DescribeMarks(doc.marks), "P1@0 P2@14097");
  }
}

}  // namespace
}  // namespace kalix
