// The reader with Unicode: "\uN" and its fallback, code pages, the groups a
// word processor adds, and UTF-8 and UTF-16 plain text. Each case gives the
// text, the marks, the notes and the replaced characters (offset, note,
// kind, original) exactly, read whole and byte by byte.

#include "document/Reader.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

// "4:T:ſ 7n0:D:<U+200B>": offset, "n" and the note when in a note, kind (T, D,
// R), original.
std::string DescribeReplaced(const cReplacedList& list) {
  std::string out;
  for (const ReplacedChar& r : list) {
    if (!out.empty()) out += ' ';
    out += std::to_string(r.offset);
    if (r.note >= 0) out += "n" + std::to_string(r.note);
    out += r.kind == ReplaceKind::Transliterated ? ":T:" : r.kind == ReplaceKind::Dropped ? ":D:" : ":R:";
    out += ToUtf8(r.original);
  }
  return out;
}

struct UnicodeCase {
  const char* name;
  std::string input;
  std::string text;
  std::string marks;
  std::string notes;
  std::string replaced;
};

const UnicodeCase kCases[] = {
    // "\uN" and its fallback.
    {"LibreOffice long s", "{\\rtf1 Ce\\u383\\'3ft}", "Cest\n", "P1@0", "", "2:T:\xc5\xbf"},
    {"AbiWord long s, no fallback", "{\\rtf1 Ce\\uc0\\u383 t}", "Cest\n", "P1@0", "", "2:T:\xc5\xbf"},
    {"pandoc fallback character", "{\\rtf1 e\\u383?t \\u233?}", "est \xe9\n", "P1@0", "", "1:T:\xc5\xbf"},
    {"uc2: escape and word count one each", "{\\rtf1\\uc2 a\\u383\\'3f\\par b}", "asb\n", "P1@0", "", "1:T:\xc5\xbf"},
    {"uc is scoped to its group", "{\\rtf1 {\\uc2 \\u383 xy}\\u383 xy}", "ssy\n", "P1@0", "",
     "0:T:\xc5\xbf 1:T:\xc5\xbf"},
    {"a brace ends the fallback", "{\\rtf1\\uc3 \\u383{b}c}", "sbc\n", "P1@0", "", "0:T:\xc5\xbf"},
    {"line ends in the fallback do not count", "{\\rtf1 \\u383\n\r?x}", "sx\n", "P1@0", "", "0:T:\xc5\xbf"},
    {"huge uc: up to the brace", "{\\rtf1 {\\uc99999999999 \\u383 abc}d}", "sd\n", "P1@0", "", "0:T:\xc5\xbf"},
    {"marker typed as Unicode stays a marker", "{\\rtf1 a\\u177?b}", "a\xb1" "b\n", "P1@0 P2@1", "", ""},
    {"negative value and surrogate pair", "{\\rtf1 \\u-10179?\\u-8694?.}", "\x81.\n", "P1@0", "",
     "0:R:\xf0\x9f\x98\x8a"},
    {"lone surrogates and out of range", "{\\rtf1 \\u55357?a\\u56832?\\u-40000?}", "\x81" "a\x81\x81\n", "P1@0", "",
     "0:R:\xef\xbf\xbd 2:R:\xef\xbf\xbd 3:R:\xef\xbf\xbd"},
    {"u0 is dropped", "{\\rtf1 a\\u0?b\\u-0?c}", "abc\n", "P1@0", "", ""},
    {"combining mark composes", "{\\rtf1 e\\u769?t}", "\xe9t\n", "P1@0", "", ""},
    {"combining mark stays with its base", "{\\rtf1 q\\u771?\\u769?z}", "qz\n", "P1@0", "",
     "0:T:q\xcc\x83\xcc\x81"},
    {"combining mark with nothing before it", "{\\rtf1 \\par\\u771?z}", "\n\x81z\n", "P1@2", "", "1:R:\xcc\x83"},
    {"format characters dropped", "{\\rtf1 a\\u8203?b\\u65279?}", "ab\n", "P1@0", "", "1:D:\xe2\x80\x8b 2:D:\xef\xbb\xbf"},
    {"in a footnote", "{\\rtf1 x{\\footnote n\\u383?}y}", "x\xb9y\n", "P1@0", "1:ns", "1n0:T:\xc5\xbf"},
    // Word's symbols.
    {"symbol words", "{\\rtf1 l\\rquote an\\emdash\\lquote\\ldblquote\\rdblquote\\bullet\\endash\\enspace x}",
     "l\x92" "an\x97\x91\x93\x94\x95\x96 x\n", "P1@0", "", ""},
    // Code pages.
    {"ansicpg 1250", "{\\rtf1\\ansi\\ansicpg1250 \\'b9\\'9c}", "as\n", "P1@0", "",
     "0:T:\xc4\x85 1:T:\xc5\x9b"},
    {"font charset", "{\\rtf1{\\fonttbl{\\f0 Times;}{\\f1\\fcharset238 Arial;}}\\f0\\'b9{\\f1\\'b9}\\'b9}",
     "\xb9" "a\xb9\n", "P1@0", "", "1:T:\xc4\x85"},
    {"double-byte code page", "{\\rtf1\\ansicpg932 \\'82\\'a0\\'83A}", "\x81\x81\n", "P1@0", "",
     "0:R:\xe3\x81\x82 1:R:\xe3\x82\xa2"},
    // Groups of today's word processors.
    {"list label skipped up to its tab", "{\\rtf1 {\\listtext\\'95\\tab}Item\\par{\\pntext 1.\\tab Two}\\par}",
     "Item\nTwo\n\n", "P1@0", "", ""},
    {"hidden text and deletions", "{\\rtf1 a{\\v hid\\v0 b}c{\\deleted x\\par}d\\v e\\plain f}", "abcdf\n", "P1@0", "", ""},
    {"field result read, instruction skipped",
     "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"u\"}{\\*\\fldrslt lien}} fin}", "lien fin\n", "P1@0", "", ""},
    {"nested cells and rows", "{\\rtf1 a\\nestcell b\\nestrow c}", "a\tb\nc\n", "P1@0", "", ""},
    // Plain text in Unicode.
    {"UTF-8 plain text", "e\xc5\xbf" "t caf\xc3\xa9 \xc2\xb1 x", "est caf\xe9 \xb1 x\n", "P1@0 P2@9", "", "1:T:\xc5\xbf"},
    {"UTF-8 byte-order mark", "\xef\xbb\xbf" "a\xe2\x80\x8b" "b", "ab\n", "P1@0", "", "1:D:\xe2\x80\x8b"},
    {"1252 plain text stays 1252", "caf\xe9 \xc3", "caf\xe9 \xc3\n", "P1@0", "", ""},
    {"UTF-16 little-endian", std::string("\xff\xfe" "a\0\x7f\x01\x00\xd8", 8), "as\x81\n", "P1@0", "",
     "1:T:\xc5\xbf 2:R:\xef\xbf\xbd"},
    {"UTF-16 big-endian", std::string("\xfe\xff\0a\x01\x7f", 6), "as\n", "P1@0", "", "1:T:\xc5\xbf"},
};

class UnicodeReaderTest : public ::testing::TestWithParam<UnicodeCase> {};

TEST_P(UnicodeReaderTest, TextMarksNotesAndReplacedCharacters) {
  const UnicodeCase& c = GetParam();
  Document whole;
  ReadDocument(DefaultRules(), c.input, whole);
  EXPECT_EQ(std::string(whole.Text()), c.text);
  EXPECT_EQ(test::DescribeMarks(whole.marks), c.marks);
  EXPECT_EQ(test::DescribeNotes(whole.notes), c.notes);
  EXPECT_EQ(DescribeReplaced(whole.replaced), c.replaced);
  Document bytewise;
  ReadDocumentInPieces(DefaultRules(), c.input, 1, bytewise);
  EXPECT_EQ(bytewise.text, whole.text);
  EXPECT_EQ(DescribeReplaced(bytewise.replaced), c.replaced);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnicodeReaderTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<UnicodeCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(UnicodeReader, WarningsAndTheUserTable) {
  Document unknown;
  ReadDocument(DefaultRules(), "{\\rtf1\\ansicpg437 \\'e9}", unknown);
  EXPECT_EQ(std::string(unknown.Text()), "\xe9\n");
  EXPECT_EQ(unknown.unknownCodePage, 437);

  // After a byte-order mark, invalid UTF-8 turns the rest into 1252.
  Document bad;
  ReadDocument(DefaultRules(), "\xef\xbb\xbf\xc3\xa9t\xc3\xa9 \xe9t\xe9", bad);
  EXPECT_EQ(std::string(bad.Text()), "\xe9t\xe9 \xe9t\xe9\n");
  EXPECT_TRUE(bad.invalidUtf8);

  CharPolicy policy;
  ASSERT_EQ(policy.LoadTable("U+017F f\n", nullptr), 1);
  Document user;
  ReadDocument(DefaultRules(), policy, "{\\rtf1 e\\u383?t}", user);
  EXPECT_EQ(std::string(user.Text()), "eft\n");
}

// A 2 x 3 PNG and JPEG, as ImageMagick writes them.
const std::string kPngHex =
    "89504e470d0a1a0a0000000d494844520000000200000003010300000083244cc200000003504c5445ff000019e209370000000b4944415408d763600001000006000166f4c96c0000000049454e44ae426082";
const std::string kJpegHex =
    "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183123251d283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c656763ffdb0043011112121815182f1a1a2f634238426363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363ffc00011080003000203012200021101031101ffc4001500010100000000000000000000000000000006ffc40014100100000000000000000000000000000000ffc4001501010100000000000000000000000000000406ffc40014110100000000000000000000000000000000ffda000c03010002110311003f008d01782bffd9";

TEST(UnicodeReader, PngAndJpegPictures) {
  struct Case {
    const char* name;
    std::string input;
    std::string marks;
    int32_t width, height;  // of the first picture; 0: none
    PictureFormat format;
  } cases[] = {
      {"PNG, its own size", "{\\rtf1 ab{\\pict\\pngblip " + kPngHex + "}}", "P1@0 G1@2*", 2, 3, PictureFormat::Png},
      {"JPEG, the goal size", "{\\rtf1 ab{\\pict\\jpegblip\\picwgoal300\\pichgoal150 " + kJpegHex + "}b}",
       "P1@0 G1@2*", 20, 10, PictureFormat::Jpeg},
      {"PNG cut short: the mark stays, the rest is read",
       "{\\rtf1 ab{\\pict\\pngblip " + kPngHex.substr(0, 100) + "}b}", "P1@0 G1@2", 0, 0, PictureFormat::Png},
      {"JPEG without its end", "{\\rtf1 ab{\\pict\\jpegblip " + kJpegHex.substr(0, kJpegHex.size() - 4) + "}}",
       "P1@0 G1@2", 0, 0, PictureFormat::Jpeg},
      {"shppict read when no nonshppict follows", "{\\rtf1 ab{\\*\\shppict{\\pict\\pngblip " + kPngHex + "}}}",
       "P1@0 G1@2*", 2, 3, PictureFormat::Png},
      {"nonshppict replaces the shppict picture",
       "{\\rtf1 ab{\\*\\shppict{\\pict\\pngblip " + kPngHex + "}}{\\nonshppict{\\pict\\wmetafile8\\picw2540\\pich1270 " +
           test::Hex(test::SmallMetafile()) + "}}}",
       "P1@0 G1@2*", 96, 48, PictureFormat::Metafile},
  };
  for (const Case& c : cases) {
    Document doc;
    ReadDocument(DefaultRules(), c.input, doc);
    EXPECT_EQ(test::DescribeMarks(doc.marks), c.marks) << c.name;
    const GlyphPicture* picture = nullptr;
    for (const Mark& m : doc.marks) {
      if (m.picture && picture == nullptr) picture = m.picture.get();
    }
    if (c.width == 0) {
      EXPECT_EQ(picture, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(picture, nullptr) << c.name;
    EXPECT_EQ(picture->format, c.format) << c.name;
    EXPECT_EQ(picture->Width(), c.width) << c.name;
    EXPECT_EQ(picture->Height(), c.height) << c.name;
  }
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

// "\uN" whose number is followed by a byte the reader drops (zero, CR) or by
// the end of the input reads the same whole and byte by byte: the dropped
// byte does not end the word, and a word cut by the end of input does nothing.
TEST(ReaderUnicodeEdges, ANumberBeforeADroppedByteReadsAsInPieces) {
  const std::string inputs[] = {std::string("L\\uc0 \\u8\0", 10), std::string("L\\uc \\u8\0", 9),
                                std::string("L\\uc0 \\u233\r", 12), std::string("L\\uc0 \\u233\0 x", 13),
                                std::string("L\\uc0 \\u233\n\\par", 16)};
  for (const std::string& in : inputs) {
    Document whole, pieces;
    ReadDocument(DefaultRules(), in, whole);
    ReadDocumentInPieces(DefaultRules(), in, 1, pieces);
    EXPECT_EQ(whole.text, pieces.text) << in;
  }
  for (const char* in : {"L\\uc0 \\u233 x", "L\\uc0\\u233 x", "{\\rtf1 L\\uc0 \\u233 x}"}) {
    Document doc;
    ReadDocument(DefaultRules(), in, doc);
    EXPECT_EQ(doc.Text(), std::string_view("L\xe9x\n")) << in;
  }
}

}  // namespace
}  // namespace kalix
