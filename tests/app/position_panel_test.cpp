#include "app/InfoFiles.h"
#include "app/PositionPanel.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kalix {
namespace {

TEST(PositionPanel, Texts) {
  struct Case {
    MarkContext context;
    const char* page;
    const char* folio;
    const char* glyph;
  };
  const Case cases[] = {
      {{0, 0, false, 0, nullptr}, "0", "0", "0"},
      {{3, 7, true, 2, nullptr}, "3", "7V", "2"},
      {{3, 7, false, 2, nullptr}, "3", "7", "2"},
      {{1, 0, true, 0, nullptr}, "1", "0V", "0"},  // a first folio mark that is a verso
  };
  for (const Case& c : cases) {
    PositionTexts t = PositionPanelTexts(c.context);
    EXPECT_EQ(t.Page, c.page);
    EXPECT_EQ(t.Folio, c.folio);
    EXPECT_EQ(t.Glyph, c.glyph);
  }
}

TEST(PositionPanel, NoteLinesAreNumberedFromOne) {
  std::vector<Note> notes = {{"Premi\xe8re", 3}, {"", 3}, {"a\nb", 3}};
  std::vector<std::string> lines = NoteLines(notes);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "1) Premi\xe8re");
  EXPECT_EQ(lines[1], "2) ");  // a note without text
  EXPECT_EQ(lines[2], "3) a\nb");
  EXPECT_TRUE(NoteLines({}).empty());
}

TEST(PositionPanel, LeadingDecimal) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"12", 12},   {" 12 ", 12},  {"12v", 12},   {"12V", 12},  {"", 0},       {"V", 0},
      {"-3", -3},   {"+4", 4},     {"-", 0},      {"0007", 7},  {"1 2", 1},    {"\t5", 5},
      {"99999999999", 2147483647},  // saturates rather than overflowing
  };
  for (const Case& c : cases) EXPECT_EQ(LeadingDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(PositionPanel, GotoKeys) {
  struct Case {
    int16_t pending;
    const char* page;
    const char* folio;
    const char* glyph;
    bool any;
    int16_t kind;
    int32_t key;
  };
  const Case cases[] = {
      {kGotoNone, "5", "7", "1", false, 0, 0},
      {kGotoPage, "5", "7", "1", true, kPageMark, 5},
      {kGotoPage, " 2 ", "", "", true, kPageMark, 2},
      {kGotoFolio, "", "7", "", true, kFolioMark, 14},
      {kGotoFolio, "", "7V", "", true, kFolioMark, 15},
      {kGotoFolio, "", "12v", "", true, kFolioMark, 24},  // lower-case v looks for the recto
      {kGotoFolio, "", "12V ", "", true, kFolioMark, 25},  // trimmed before the last character is read
      {kGotoFolio, "", "V", "", true, kFolioMark, 1},
      {kGotoFolio, "", "", "", true, kFolioMark, 0},
      {kGotoGlyph, "9", "9", "3", true, kGlyphMark, 3},
      {kGotoGlyph, "", "", "x", true, kGlyphMark, 0},
  };
  for (const Case& c : cases) {
    std::optional<GotoKey> k = GotoKeyFor(c.pending, c.page, c.folio, c.glyph);
    ASSERT_EQ(k.has_value(), c.any) << c.folio;
    if (!k) continue;
    EXPECT_EQ(k->Kind, c.kind) << c.folio;
    EXPECT_EQ(k->Key, c.key) << c.folio;
  }
}

TEST(InfoFiles, InformationFileNames) {
  struct Case {
    const char* document;
    const char* code;
    const char* info;
  };
  const Case cases[] = {
      {"/textes/livre.rtf", "fra", "/textes/livre_fra.rtf"},
      {"/textes/Livre.RTF", "eng", "/textes/Livre_eng.RTF"},
      {"/corpus.final/lettre", "fra", "/corpus_fra.final/lettre"},  // the last "." is in a folder
      {"/lettre", "fra", "/lettre_fra"},
      {"a.b.c", "fra", "a.b_fra.c"},
      {"livre.", "fra", "livre_fra."},
      {".cache/x", "fra", "_fra.cache/x"},
  };
  for (const Case& c : cases) EXPECT_EQ(InformationFileName(c.document, c.code), c.info) << c.document;
}

TEST(InfoFiles, HelpAndAboutNames) {
  EXPECT_EQ(HelpFileName("/opt/kalix/bin/", "fra"), "/opt/kalix/bin/help_fra.rtf");
  EXPECT_EQ(HelpFileName("/opt/kalix/bin", "eng"), "/opt/kalix/bin/help_eng.rtf");
  EXPECT_EQ(AboutFileName("eng"), "about_eng.rtf");
  EXPECT_EQ(AboutFileName("fra"), "about_fra.rtf");
}

TEST(InfoFiles, DataFolderIsTheFallback) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kalix-info-" + std::to_string(::getpid()));
  fs::create_directories(dir / "data");
  fs::create_directories(dir / "bin");
  ASSERT_TRUE(WriteTextFile((dir / "data" / "help_fra.rtf").string(), "{\\rtf1 aide}"));
  std::string program = (dir / "bin" / "help_fra.rtf").string();
  std::string data = (dir / "data").string();
  // Not beside the program: the data folder's copy.
  EXPECT_EQ(WithDataFallback(program, data), (dir / "data" / "help_fra.rtf").string());
  // Beside the program: that one.
  ASSERT_TRUE(WriteTextFile(program, "{\\rtf1 aide}"));
  EXPECT_EQ(WithDataFallback(program, data), program);
  // Nowhere: the first name, for the message.
  std::string missing = (dir / "bin" / "about_eng.rtf").string();
  EXPECT_EQ(WithDataFallback(missing, data), missing);
  EXPECT_EQ(WithDataFallback(missing, ""), missing);
  // The help file: beside the program, then the current folder, then the
  // data folder.
  fs::create_directories(dir / "work");
  ASSERT_TRUE(WriteTextFile((dir / "work" / "about_eng.rtf").string(), "{\\rtf1 about}"));
  ASSERT_TRUE(WriteTextFile((dir / "data" / "about_eng.rtf").string(), "{\\rtf1 about}"));
  const fs::path here = fs::current_path();
  fs::current_path(dir / "work");
  EXPECT_EQ(WithFallbackFolders(missing, {".", data}), "./about_eng.rtf");
  EXPECT_EQ(WithFallbackFolders(missing, {"", (dir / "bin").string(), data}), (dir / "data" / "about_eng.rtf").string());
  fs::current_path(here);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kalix
