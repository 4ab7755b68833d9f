#include "i18n/Language.h"

#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <cstdio>
#include <filesystem>
#include <string>

namespace kalix {
namespace {

// A folder of this test process's own, so that test runs in parallel never
// share a file.
std::string ScratchDir() {
  std::string dir = ::testing::TempDir() + "kalix_lists_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

struct HeaderCase {
  const char* name;
  std::string text;
  LanguageLoadStatus status;
  const char* code;  // language code afterwards
};

TEST(Language, Headers) {
  const HeaderCase cases[] = {
      {"only header", "Kalix:eng:\n", LanguageLoadStatus::Loaded, "eng"},
      {"header, CR LF already folded", "Kalix:deu:German\n", LanguageLoadStatus::Loaded, "deu"},
      {"header without final break", "Kalix:ita:", LanguageLoadStatus::Loaded, "ita"},
      {"no colon", "Kalix\n", LanguageLoadStatus::BadHeader, "fra"},
      {"no colon after code", "Kalix:eng\n", LanguageLoadStatus::BadHeader, "fra"},
      {"lower case", "kalix:eng:\n", LanguageLoadStatus::BadHeader, "fra"},
      {"comment before header", ";Kalix:xxx:\nKalix:eng:\n", LanguageLoadStatus::Loaded, "eng"},
      {"blank lines before header", "\n\r\n\nKalix:spa:\n", LanguageLoadStatus::Loaded, "spa"},
      {"zero-led line skipped", std::string("\0abc\nKalix:por:\n", 15), LanguageLoadStatus::Loaded, "por"},
      {"zero ends the header's text", std::string("Kalix:en\0g:\n", 12), LanguageLoadStatus::BadHeader, "fra"},
      {"empty code", "Kalix::\n", LanguageLoadStatus::Loaded, ""},
      {"only comments", ";a\n;b\n\n", LanguageLoadStatus::NoContent, "fra"},
      {"empty file", "", LanguageLoadStatus::NoContent, "fra"},
      {"caption line first", "frmMain:btnFind:\"x\":\"\"\n", LanguageLoadStatus::BadHeader, "fra"},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    LanguageState lang;
    EXPECT_EQ(ParseLanguage(lang, c.text), c.status);
    EXPECT_EQ(lang.LanguageCode, c.code);
    EXPECT_EQ(lang.Loaded, c.status == LanguageLoadStatus::Loaded);
    if (lang.Loaded) {
      EXPECT_TRUE(lang.MessageKeys.empty());
      EXPECT_TRUE(lang.CaptionLines.empty());
    }
  }
}

TEST(Language, BadHeaderKeepsPreviousState) {
  LanguageState lang;
  ASSERT_EQ(ParseLanguage(lang, "Kalix:eng:\n\"Oui\"=\"Yes\"\n"), LanguageLoadStatus::Loaded);
  EXPECT_EQ(ParseLanguage(lang, "kalix:deu:\n\"Oui\"=\"Ja\"\n"), LanguageLoadStatus::BadHeader);
  EXPECT_EQ(lang.LanguageCode, "eng");
  EXPECT_EQ(Translate(lang, "Oui"), "Yes");
  // A valid header replaces everything.
  ASSERT_EQ(ParseLanguage(lang, "Kalix:deu:\n"), LanguageLoadStatus::Loaded);
  EXPECT_EQ(Translate(lang, "Oui"), "Oui");
  EXPECT_EQ(NotLanguageFileMessage(lang, "/tmp/x.lng"), "/tmp/x.lng\nn'est pas un fichier langue.");
}

struct MessageCase {
  const char* name;
  std::string line;
  const char* key;  // nullptr: not taken
  const char* text;
};

TEST(Language, MessageLines) {
  const MessageCase cases[] = {
      {"plain", "\"Oui\"=\"Yes\"", "Oui", "Yes"},
      {"trailing text ignored", "\"Oui\"=\"Yes\" ; comment", "Oui", "Yes"},
      {"blanks kept", "\"Mots : \"=\"Words: \"", "Mots : ", "Words: "},
      {"empty translation", "\"Oui\"=\"\"", nullptr, nullptr},
      {"empty key", "\"\"=\"Yes\"", nullptr, nullptr},
      {"blank before equals", "\"Oui\" =\"Yes\"", nullptr, nullptr},
      {"no quote after equals", "\"Oui\"=Yes", nullptr, nullptr},
      {"unterminated translation", "\"Oui\"=\"Yes", nullptr, nullptr},
      {"unterminated key", "\"Oui", nullptr, nullptr},
      {"1252 bytes", "\"Fichier non trouv\xe9 :\"=\"File not found:\"", "Fichier non trouv\xe9 :", "File not found:"},
      {"zero cuts the translation", std::string("\"Oui\"=\"Y\0es\"", 12), nullptr, nullptr},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* end : {"\n", ""}) {  // also as a final line without a break
      LanguageState lang;
      ASSERT_EQ(ParseLanguage(lang, "Kalix:eng:\n" + c.line + end), LanguageLoadStatus::Loaded);
      EXPECT_TRUE(lang.CaptionLines.empty());
      if (c.key) {
        ASSERT_EQ(lang.MessageKeys.size(), 1u);
        EXPECT_EQ(lang.MessageKeys[0], c.key);
        EXPECT_EQ(lang.MessageTexts[0], c.text);
      } else {
        EXPECT_TRUE(lang.MessageKeys.empty());
      }
    }
  }
}

TEST(Language, FirstOfTwoEqualKeysWinsAndLineBreakMessagesStayFrench) {
  LanguageState lang;
  ParseLanguage(lang, "Kalix:eng:\n\"Oui\"=\"Yes\"\n\"Oui\"=\"Yeah\"\n\"\"=\"x\"\n");
  EXPECT_EQ(Translate(lang, "Oui"), "Yes");
  EXPECT_EQ(Translate(lang, kNotLanguageFile), kNotLanguageFile);
}

struct CaptionCase {
  const char* name;
  std::string line;  // stored line, with its break
  const char* caption;
  const char* hint;
  const char* items;
};

TEST(Language, CaptionFields) {
  const CaptionCase cases[] = {
      {"menu item", "frmMain:mnuLangue:\"&Language\":\"\"\n", "&Language", "", ""},
      {"caption and hint", "frmMain:btnFind:\"Search\":\"Find strings\"\n", "Search", "Find strings", ""},
      {"empty caption", "frmMain:btnFind:\"\":\"Hint\"\n", "", "Hint", ""},
      {"radio group", "frmFind:pnlContext:\"Context\":\"\":\"Text\\r\\nWord\\r\\n\"\n", "Context", "",
       "Text\\r\\nWord\\r\\n"},
      {"radio group with hint", "frmFind:pnlContext:\"C\":\"H\":\"A\\r\\n\"\n", "C", "H", "A\\r\\n"},
      {"one field", "frmMain:btnFind:\"Search\"\n", "", "arch", ""},
      {"key only", "frmMain:btnFind:\n", "", "", ""},
      {"no quotes", "frmMain:btnFind:abc\n", "", "", ""},
  };
  for (const CaptionCase& c : cases) {
    SCOPED_TRACE(c.name);
    size_t key = c.line.find(':', c.line.find(':') + 1) + 1;
    CaptionEntry e = ParseCaptionFields(c.line, key);
    EXPECT_EQ(e.Caption, c.caption);
    EXPECT_EQ(e.Hint, c.hint);
    EXPECT_EQ(e.Items, c.items);
  }
}

TEST(Language, FindCaptionLine) {
  LanguageState lang;
  EXPECT_FALSE(FindCaptionLine(lang, "frmMain", "btnFind"));  // no file loaded
  ParseLanguage(lang,
                "Kalix:eng:\n"
                "frmMain:btnFindX:\"Wrong\":\"\"\n"
                "frmMain:btnFind:\"Search\":\"\"\n"
                "frmMain:btnFind:\"Second\":\"\"\n"
                "FRMMAIN:btnOpen:\"Open\":\"\"\n"
                "frmMain:mnuLast:\"Last\":\"Final\"");  // no line break at the end
  auto e = FindCaptionLine(lang, "frmMain", "btnFind");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Caption, "Search");
  EXPECT_FALSE(FindCaptionLine(lang, "frmMain", "btnOpen"));  // case-sensitive
  EXPECT_FALSE(FindCaptionLine(lang, "frmFind", "btnFind"));
  e = FindCaptionLine(lang, "frmMain", "mnuLast");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Caption, "Last");
  EXPECT_EQ(e->Hint, "Final");  // the last line keeps its last character
  EXPECT_EQ(lang.CaptionLines.back(), "frmMain:mnuLast:\"Last\":\"Final\"\n");
}

TEST(Language, LongLinesAreReadWhole) {
  std::string caption(300, 'x');
  LanguageState lang;
  ParseLanguage(lang, "Kalix:eng:\nfrmMain:btnFind:\"" + caption + "\":\"h\"\n");
  ASSERT_EQ(lang.CaptionLines.size(), 1u);
  auto e = FindCaptionLine(lang, "frmMain", "btnFind");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Caption, caption);
  EXPECT_EQ(e->Hint, "h");
}

TEST(Language, SplitItems) {
  EXPECT_EQ(SplitCaptionItems(""), std::vector<std::string>{});
  EXPECT_EQ(SplitCaptionItems("A\\r\\nB\\r\\n"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(SplitCaptionItems("A\\r\\n\\r\\nB"), (std::vector<std::string>{"A", "", "B"}));
  EXPECT_EQ(SplitCaptionItems("A\\rB"), (std::vector<std::string>{"A\\rB"}));
}

CaptionControl FindForm() {
  CaptionControl form{"frmFind", CaptionControlKind::Container, "Recherche", "", {}, {}};
  CaptionControl panel{"Panel1", CaptionControlKind::Container, "", "", {}, {}};
  panel.Children.push_back({"btnOK", CaptionControlKind::Container, "OK", "Valider", {}, {}});
  panel.Children.push_back({"lblInfo", CaptionControlKind::Plain, "Info", "", {}, {}});
  form.Children.push_back(panel);
  form.Children.push_back({"pnlContext", CaptionControlKind::RadioGroup, "Contexte", "",
                           {"Texte", "Mot", "Phrase", "Paragraphe"}, {}});
  return form;
}

TEST(Language, ApplyToControlsAndMenus) {
  LanguageState lang;
  CaptionControl form = FindForm();
  ApplyLanguageToControls(lang, "frmFind", form);  // nothing loaded: unchanged
  EXPECT_EQ(form.Caption, "Recherche");

  ParseLanguage(lang,
                "Kalix:eng:\n"
                "frmFind:frmFind:\"Search\":\"\"\n"
                "frmFind:btnOK:\"\":\"\"\n"
                "frmFind:lblInfo:\"Information\":\"Tip\"\n"
                "frmFind:pnlContext:\"Context\":\"\"\n"
                "frmMain:mnuFile:\"&File\":\"\"\n"
                "frmMain:mnuOpen:\"&Open\":\"\"\n");
  ApplyLanguageToControls(lang, "frmFind", form);
  EXPECT_EQ(form.Caption, "Search");
  const CaptionControl& panel = form.Children[0];
  EXPECT_EQ(panel.Children[0].Caption, "OK");       // empty caption keeps the old one
  EXPECT_EQ(panel.Children[0].Hint, "Valider");     // empty hint keeps the old one
  EXPECT_EQ(panel.Children[1].Caption, "Information");  // reached through a container without a line
  EXPECT_EQ(panel.Children[1].Hint, "Tip");
  EXPECT_EQ(form.Children[1].Caption, "Context");
  EXPECT_TRUE(form.Children[1].Items.empty());  // two fields empty a radio group

  CaptionMenuItem menu{"", "", "", {{"mnuFile", "&Fichier", "Le fichier", {{"mnuOpen", "&Ouvrir", "Ouvre", {}}}}}};
  ApplyLanguageToMenu(lang, "frmMain", menu);
  EXPECT_EQ(menu.Children[0].Caption, "&File");
  EXPECT_EQ(menu.Children[0].Hint, "");  // a menu item takes an empty hint
  EXPECT_EQ(menu.Children[0].Children[0].Caption, "&Open");
  EXPECT_EQ(menu.Children[0].Children[0].Hint, "");
}

TEST(Language, DumpFormat) {
  CaptionDump dump;
  dump.Menus.push_back({"", "", "", {{"mnuFile", "&Fichier", "", {{"mnuOpen", "&Ouvrir", "Ouvrir un document", {}}}}}});
  dump.Forms.push_back({"frmFind", FindForm()});
  EXPECT_EQ(DumpCaptions(dump),
            "\nfrmMain::\"\":\"\""
            "\nfrmMain:mnuFile:\"&Fichier\":\"\""
            "\nfrmMain:mnuOpen:\"&Ouvrir\":\"Ouvrir un document\""
            "\nfrmFind:frmFind:\"Recherche\":\"\""
            "\nfrmFind:Panel1:\"\":\"\""
            "\nfrmFind:btnOK:\"OK\":\"Valider\""
            "\nfrmFind:lblInfo:\"Info\":\"\""
            "\nfrmFind:pnlContext:\"Contexte\":\"\":\"Texte\\r\\nMot\\r\\nPhrase\\r\\nParagraphe\\r\\n\""
            "\n\n");
  EXPECT_EQ(DumpCaptions({}), "\n\n");
}

TEST(Language, DumpLoadedBackRestoresEverything) {
  CaptionDump dump;
  dump.Menus.push_back({"", "", "", {{"mnuFile", "&Fichier", "", {{"mnuOpen", "&Ouvrir", "Ouvrir un document", {}}}}}});
  dump.Forms.push_back({"frmFind", FindForm()});
  std::string dir = ScratchDir();
  std::string path = dir + "/label_roundtrip.txt";
  ASSERT_TRUE(WriteCaptionDump(dump, path));
  auto raw = ReadBinaryFile(path);
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->substr(0, 2), "\r\n");  // CR LF line ends
  EXPECT_EQ(raw->substr(raw->size() - 4), "\r\n\r\n");

  // Change every caption, then load the dump with a header: all come back.
  CaptionDump changed = dump;
  changed.Menus[0].Children[0].Caption = "x";
  changed.Menus[0].Children[0].Children[0].Hint = "y";
  CaptionControl& form = changed.Forms[0].Root;
  form.Caption = "z";
  form.Children[0].Children[0].Caption = "w";
  form.Children[1].Items = {"1"};
  ASSERT_TRUE(WriteBinaryFile(path, "Kalix:fra:\r\n" + *raw));
  LanguageState lang;
  ASSERT_EQ(LoadLanguageFile(lang, path), LanguageLoadStatus::Loaded);
  ApplyLanguageToMenu(lang, "frmMain", changed.Menus[0]);
  ApplyLanguageToControls(lang, "frmFind", form);
  EXPECT_EQ(DumpCaptions(changed), DumpCaptions(dump));
  std::remove(path.c_str());
}

TEST(Language, FilesThatCannotBeRead) {
  LanguageState lang;
  std::string missing = ScratchDir() + "/no_such_language.lng";
  EXPECT_EQ(LoadLanguageFile(lang, missing), LanguageLoadStatus::Unreadable);
  EXPECT_TRUE(LoadLanguage(lang, missing));  // treated as loaded, nothing changes
  EXPECT_FALSE(lang.Loaded);
  CaptionDump dump;
  EXPECT_FALSE(WriteCaptionDump(dump, ScratchDir() + "/no/such/dir/label.txt"));
}

TEST(Language, SampleEnglishFile) {
  LanguageState lang;
  ASSERT_EQ(LoadLanguageFile(lang, KALIX_SOURCE_DIR "/samples/eng.lng"), LanguageLoadStatus::Loaded);
  EXPECT_EQ(lang.LanguageCode, "eng");
  EXPECT_EQ(Translate(lang, "Fichier non trouv\xe9 :"), "File not found:");
  auto e = FindCaptionLine(lang, "frmMain", "mnuLangue");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Caption, "&Language");
  e = FindCaptionLine(lang, "frmResult", "pnlExtrait");
  ASSERT_TRUE(e);
  EXPECT_EQ(SplitCaptionItems(e->Items), (std::vector<std::string>{"None", "Words", "Sentences", "Paragraphs"}));
}

}  // namespace
}  // namespace kalix
