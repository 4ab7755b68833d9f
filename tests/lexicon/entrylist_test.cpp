#include "lexicon/EntryList.h"
#include "lexicon/ListFile.h"

#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <cstdio>
#include <algorithm>
#include <deque>
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

using Lines = std::vector<std::string>;

struct ParseCase {
  const char* name;
  std::string bytes;
  Lines entries;
};

TEST(ListFile, Parse) {
  const ParseCase cases[] = {
      {"CR LF lines", "avoir\r\nAvoir\r\n\r\n", {"avoir", "Avoir", ""}},
      {"mixed line ends", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"final line end adds nothing", "a\n", {"a"}},
      {"empty last line", "a\n\n", {"a", ""}},
      {"LF then CR are two ends", "\n\r", {"", ""}},
      {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
      {"only a line end", "\r\n", {""}},
      {"empty file", "", {}},
      {"NUL ends the text", std::string("a\nb\0c\nd", 7), {"a", "b"}},
      {"blanks and duplicates kept", " x \n x \n", {" x ", " x "}},
      {"1252 bytes and 0x1A kept", "z\xe8" "bre\x1a\n", {"z\xe8" "bre\x1a"}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ParseListFile(c.bytes), c.entries);
  }
}

TEST(ListFile, WriteAndReadBack) {
  const Lines entries = {"avoir", "", " blanc ", "z\xe8" "bre"};
  EXPECT_EQ(FormatEntryList(entries), "avoir\r\n\r\n blanc \r\nz\xe8" "bre\r\n");
  EXPECT_EQ(FormatEntryList({}), "");
  std::string path = ScratchDir() + "/entries.the";
  ASSERT_TRUE(WriteEntryListFile(path, entries));
  auto read = ReadListFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, entries);
  std::remove(path.c_str());
  EXPECT_FALSE(ReadListFile(path));
  EXPECT_FALSE(WriteEntryListFile(ScratchDir() + "/no/such/dir/x.the", entries));
}

// Dialogs that answer from scripts and record what was asked.
class ScriptedDialogs : public EntryListDialogs {
 public:
  std::deque<SaveAnswer> answers;
  std::deque<std::optional<std::string>> openFiles, saveFiles;
  std::deque<std::pair<EditorResult, Lines>> edits;
  std::vector<std::string> log;
  std::vector<int> menuStates;

  SaveAnswer AskSave(const std::string& caption, const std::string& text) override {
    log.push_back("ask " + caption + ": " + text);
    SaveAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& r) override {
    log.push_back("open " + r.Filter + " ." + r.DefaultExtension);
    auto f = openFiles.front();
    openFiles.pop_front();
    return f;
  }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& r) override {
    log.push_back("save [" + r.FileName + "] " + r.Filter);
    auto f = saveFiles.front();
    saveFiles.pop_front();
    return f;
  }
  EditorResult Edit(const Lines& entries, Lines& edited) override {
    std::string shown;
    for (const auto& e : entries) shown += e + ";";
    log.push_back("edit " + shown);
    auto [r, lines] = edits.front();
    edits.pop_front();
    edited = lines;
    return r;
  }
  void ShowError(const std::string& text) override { log.push_back("error " + text); }
  void ApplyMenuState(int state) override { menuStates.push_back(state); }
};

class EntryListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = ScratchDir();
    file = dir + "/kalix_entrylist_test.the";
    ASSERT_TRUE(WriteBinaryFile(file, "avoir\r\nAvoir\r\n\r\n"));
  }
  void TearDown() override {
    std::remove(file.c_str());
    std::remove(saved().c_str());
  }
  std::string saved() const { return dir + "/kalix_entrylist_saved.the"; }
  EntryListOps thesaurus() { return EntryListOps{th, kThesaurusKind, dialogs, lang}; }
  EntryListOps corpus() { return EntryListOps{co, kCorpusKind, dialogs, lang}; }

  std::string dir, file;
  Thesaurus th;
  Corpus co;
  ScriptedDialogs dialogs;
  LanguageState lang;
};

TEST_F(EntryListTest, OpenEditSaveClose) {
  dialogs.openFiles = {file};
  dialogs.edits = {{EditorResult::Ok, {"", "avoir", "Avoir"}}};
  OpenThesaurus(thesaurus());
  EXPECT_TRUE(th.Open);
  EXPECT_TRUE(th.Modified);
  EXPECT_EQ(th.FileName, file);
  EXPECT_EQ(th.Entries, (Lines{"", "avoir", "Avoir"}));  // the editor's order
  EXPECT_EQ(dialogs.menuStates, (std::vector<int>{0, 1, 2}));  // closed first
  EXPECT_EQ(dialogs.log[1], "edit avoir;Avoir;;");  // the file's entries, as read

  // "&Enregistrer" proposes the current name; the file is replaced.
  dialogs.saveFiles = {saved()};
  EXPECT_TRUE(thesaurus().Save(false));
  EXPECT_EQ(dialogs.log.back(), "save [" + file + "] Thesaurus file (*.the)|*.the|Any file (*.*)|*.*");
  EXPECT_FALSE(th.Modified);
  EXPECT_EQ(th.FileName, saved());
  EXPECT_EQ(th.MenuState, 1);
  EXPECT_EQ(*ReadBinaryFile(saved()), "\r\navoir\r\nAvoir\r\n");

  // A saved list closes without a question.
  size_t asked = dialogs.log.size();
  EXPECT_TRUE(thesaurus().Close());
  EXPECT_EQ(dialogs.log.size(), asked);
  EXPECT_FALSE(th.Open);
  EXPECT_TRUE(th.Entries.empty());
  EXPECT_TRUE(th.FileName.empty());
  EXPECT_EQ(th.MenuState, 0);
}

TEST_F(EntryListTest, CloseQuestionAnswers) {
  struct Case {
    const char* name;
    std::deque<SaveAnswer> answers;
    std::deque<std::optional<std::string>> saveFiles;
    bool closed;
    bool written;
  };
  const Case cases[] = {
      {"cancel keeps the list", {SaveAnswer::Cancel}, {}, false, false},
      {"no discards it", {SaveAnswer::No}, {}, true, false},
      {"yes saves it", {SaveAnswer::Yes}, {saved()}, true, true},
      {"yes, save dialog cancelled", {SaveAnswer::Yes}, {std::nullopt}, false, false},
      {"yes, file cannot be written", {SaveAnswer::Yes}, {dir + "/no/such/dir/x.the"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(saved().c_str());
    th = Thesaurus();
    th.Open = true;
    th.Modified = true;
    th.MenuState = 2;
    th.Entries = {"roi"};
    dialogs = ScriptedDialogs();
    dialogs.answers = c.answers;
    dialogs.saveFiles = c.saveFiles;
    EXPECT_EQ(thesaurus().Close(), c.closed);
    EXPECT_EQ(dialogs.log[0], "ask Thesaurus: Le thesaurus a chang\xe9. Voulez-vous l'enregistrer ?");
    EXPECT_EQ(th.Open, !c.closed);
    EXPECT_EQ(th.Entries.empty(), c.closed);
    EXPECT_EQ(th.MenuState, c.closed ? 0 : 2);
    EXPECT_EQ(FileReadable(saved()), c.written);
    if (!c.closed) {
      EXPECT_TRUE(th.Modified);  // nothing lost
    }
  }
  EXPECT_EQ(dialogs.log.back(), "error Impossible d'\xe9\x63rire le fichier :\n" + dir + "/no/such/dir/x.the");
}

TEST_F(EntryListTest, AnswerNoThenOpenAsksNothing) {
  th.Open = true;
  th.Modified = true;
  dialogs.answers = {SaveAnswer::No};
  EXPECT_TRUE(thesaurus().Close());
  dialogs.openFiles = {file};
  dialogs.edits = {{EditorResult::Cancel, {}}};
  OpenThesaurus(thesaurus());
  EXPECT_TRUE(dialogs.answers.empty());
  EXPECT_EQ(std::count_if(dialogs.log.begin(), dialogs.log.end(),
                          [](const std::string& s) { return s.rfind("ask", 0) == 0; }),
            1);
  EXPECT_TRUE(th.Open);
  EXPECT_FALSE(th.Modified);  // leaving the editor without a change
  EXPECT_EQ(th.MenuState, 1);
}

TEST_F(EntryListTest, UnreadableFileLeavesListClosed) {
  dialogs.openFiles = {dir + "/no_such_file.the"};
  OpenThesaurus(thesaurus());
  EXPECT_FALSE(th.Open);
  EXPECT_EQ(th.MenuState, 0);
  EXPECT_EQ(dialogs.log.back(), "error Impossible de lire le fichier :\n" + dir + "/no_such_file.the");
  EXPECT_TRUE(dialogs.edits.empty());  // no editor was shown

  // Translated through the language state.
  lang.Loaded = true;
  lang.MessageKeys = {"Impossible de lire le fichier :"};
  lang.MessageTexts = {"Cannot read:"};
  dialogs.openFiles = {dir + "/no_such_file.the"};
  OpenThesaurus(thesaurus());
  EXPECT_EQ(dialogs.log.back(), "error Cannot read:\n" + dir + "/no_such_file.the");
}

TEST_F(EntryListTest, NewThesaurus) {
  // Cancelled editor: nothing opens.
  dialogs.edits = {{EditorResult::Cancel, {}}};
  thesaurus().New();
  EXPECT_FALSE(th.Open);
  EXPECT_EQ(th.MenuState, 0);
  // OK: open, modified, but menu state 1 ("&Enregistrer" disabled until the next edit).
  dialogs.edits = {{EditorResult::Ok, {"roi"}}};
  thesaurus().New();
  EXPECT_TRUE(th.Open);
  EXPECT_TRUE(th.Modified);
  EXPECT_EQ(th.MenuState, 1);
  EXPECT_EQ(th.Entries, Lines{"roi"});
  // "Sau&ver" in the editor saves at once ("Enregistrer" with an empty name).
  dialogs.answers = {SaveAnswer::No};
  dialogs.edits = {{EditorResult::Save, {"reine"}}};
  dialogs.saveFiles = {saved()};
  thesaurus().New();
  EXPECT_TRUE(th.Open);
  EXPECT_FALSE(th.Modified);
  EXPECT_EQ(th.FileName, saved());
  EXPECT_EQ(dialogs.log[dialogs.log.size() - 1], "save [] Thesaurus file (*.the)|*.the|Any file (*.*)|*.*");
  EXPECT_EQ(*ReadBinaryFile(saved()), "reine\r\n");
}

TEST_F(EntryListTest, SaveAsProposesNoName) {
  th.Open = true;
  th.FileName = file;
  th.Entries = {"a"};
  dialogs.saveFiles = {std::nullopt};
  EXPECT_FALSE(thesaurus().Save(true));
  EXPECT_EQ(dialogs.log.back(), "save [] Thesaurus file (*.the)|*.the|Any file (*.*)|*.*");
  EXPECT_EQ(th.FileName, file);
}

TEST_F(EntryListTest, CorpusOpenAlwaysEdits) {
  // A cancelled file dialog still shows the editor; OK there marks the
  // entries modified although the corpus stays closed.
  dialogs.openFiles = {std::nullopt};
  dialogs.edits = {{EditorResult::Ok, {"/textes/a.rtf"}}};
  OpenCorpusAndEdit(corpus());
  EXPECT_FALSE(co.Open);
  EXPECT_TRUE(co.Modified);
  EXPECT_EQ(co.MenuState, 2);
  EXPECT_EQ(dialogs.log[0], "open Corpus file (*.cor)|*.cor|Any file (*.*)|*.* .cor");

  // A cancelled save question stops the whole command: no editor.
  dialogs.answers = {SaveAnswer::Cancel};
  OpenCorpusAndEdit(corpus());
  EXPECT_TRUE(dialogs.edits.empty());
  EXPECT_EQ(dialogs.log.back(), "ask Corpus: Le corpus a chang\xe9. Voulez-vous l'enregistrer ?");

  // Saving keeps the corpus file filter as the program writes it.
  dialogs.saveFiles = {saved()};
  EXPECT_TRUE(corpus().Save(true));
  EXPECT_EQ(dialogs.log.back(), "save [] Corpus file (*.cop)|*.cor|Any file (*.*)|*.*");
  EXPECT_EQ(*ReadListFile(saved()), Lines{"/textes/a.rtf"});

  // Open a file: entries as read, state 1, then the editor.
  dialogs.openFiles = {saved()};
  dialogs.edits = {{EditorResult::Cancel, {}}};
  OpenCorpusAndEdit(corpus());
  EXPECT_TRUE(co.Open);
  EXPECT_FALSE(co.Modified);
  EXPECT_EQ(co.MenuState, 1);
  EXPECT_EQ(co.Entries, Lines{"/textes/a.rtf"});
}

}  // namespace
}  // namespace kalix
