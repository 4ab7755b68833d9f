#include "app/Settings.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace kalix {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("kalix-settings-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, ec);
    fs::remove_all(path, ec);
  }
  static inline int counter = 0;
};

TEST(Settings, DefaultsWithoutFile) {
  IniFile ini;
  StartupSettings s = ReadStartupSettings(ini);
  EXPECT_EQ(s.Rules, "nac.rul");
  EXPECT_EQ(s.Language, "");
  EXPECT_EQ(s.DocumentPath, "");
  WindowLayout w = ReadWindowLayout(ini);
  EXPECT_EQ(w.State, kStateMaximised);
  EXPECT_EQ(w.Top, 0);
  EXPECT_EQ(w.Left, 0);
  EXPECT_EQ(w.Height, 605);
  EXPECT_EQ(w.Width, 745);
  EXPECT_EQ(w.GridSplitter, 235);
  EXPECT_EQ(w.FootnoteSplitter, 60);
  EXPECT_EQ(w.PictureSplitter, 300);
}

TEST(Settings, BoundsAreReadOnlyForTheNormalState) {
  struct Case {
    const char* state;  // value of "State", nullptr when absent
    int expectState;
    bool boundsRead;
  };
  const Case cases[] = {
      {"0", kStateNormal, true},     {"2", kStateMaximised, false}, {"1", kStateMinimised, false},
      {nullptr, kStateMaximised, false},  // default: the current state, maximised
      {"7", kStateNormal, true},     {"-1", kStateNormal, true},   // outside 0-2: normal
  };
  for (const Case& c : cases) {
    std::string text = "[Window]\n";
    if (c.state) text += std::string("State=") + c.state + "\n";
    text += "Top=10\nLeft=20\nHeight=500\nWidth=700\nGridSplitter=111\n";
    WindowLayout w = ReadWindowLayout(IniFile::Parse(text));
    SCOPED_TRACE(c.state ? c.state : "(none)");
    EXPECT_EQ(w.State, c.expectState);
    EXPECT_EQ(w.Top, c.boundsRead ? 10 : 0);
    EXPECT_EQ(w.Left, c.boundsRead ? 20 : 0);
    EXPECT_EQ(w.Height, c.boundsRead ? 500 : 605);
    EXPECT_EQ(w.Width, c.boundsRead ? 700 : 745);
    EXPECT_EQ(w.GridSplitter, 111);  // splitters are always read
    EXPECT_EQ(w.FootnoteSplitter, 60);
  }
}

TEST(Settings, MissingOrMalformedKeysKeepTheirDefaults) {
  WindowLayout w = ReadWindowLayout(IniFile::Parse("[Window]\nState=0\nTop=abc\nWidth=\n[Kalix]\nRules=x.rul\n"));
  EXPECT_EQ(w.State, kStateNormal);
  EXPECT_EQ(w.Top, 0);
  EXPECT_EQ(w.Width, 745);
  EXPECT_EQ(w.Height, 605);
  StartupSettings s = ReadStartupSettings(IniFile::Parse("[kalix]\nrules = x.rul\nDocumentPath=/home/a b/\n"));
  EXPECT_EQ(s.Rules, "x.rul");  // section and key names ignore case, blanks trimmed
  EXPECT_EQ(s.DocumentPath, "/home/a b/");
}

TEST(Settings, LayoutRoundTripKeepsOtherLines) {
  TempDir dir;
  std::string path = (dir.path / "kalix.ini").string();
  ASSERT_TRUE(WriteTextFile(path, "; my comment\n[Kalix]\nRules=mine.rul\nLanguage=eng.lng\n"));
  WindowLayout w;
  w.State = kStateNormal;
  w.Top = 15;
  w.Left = -8;  // a window partly off the left of the screen
  w.Height = 480;
  w.Width = 640;
  w.GridSplitter = 300;
  w.FootnoteSplitter = 90;
  w.PictureSplitter = 250;
  IniFile ini = IniFile::Load(path);
  WriteWindowLayout(ini, w);
  ASSERT_TRUE(ini.Save(path));
  ASSERT_TRUE(WriteSetting(path, kSettingsSection, "DocumentPath", "/data/textes/"));

  IniFile back = IniFile::Load(path);
  WindowLayout r = ReadWindowLayout(back);
  EXPECT_EQ(r.State, w.State);
  EXPECT_EQ(r.Top, 15);
  EXPECT_EQ(r.Left, -8);
  EXPECT_EQ(r.Height, 480);
  EXPECT_EQ(r.Width, 640);
  EXPECT_EQ(r.GridSplitter, 300);
  EXPECT_EQ(r.FootnoteSplitter, 90);
  EXPECT_EQ(r.PictureSplitter, 250);
  StartupSettings s = ReadStartupSettings(back);
  EXPECT_EQ(s.Rules, "mine.rul");
  EXPECT_EQ(s.Language, "eng.lng");
  EXPECT_EQ(s.DocumentPath, "/data/textes/");
  std::string text = *ReadBinaryFile(path);
  EXPECT_NE(text.find("; my comment\r\n"), std::string::npos);
  EXPECT_NE(text.find("State=0\r\n"), std::string::npos);
}

TEST(Settings, StateOutsideTheRangeIsWrittenAsNormal) {
  IniFile ini;
  WindowLayout w;
  w.State = 9;
  WriteWindowLayout(ini, w);
  EXPECT_EQ(ini.GetInt(kWindowSection, "State", -1), kStateNormal);
}

TEST(Settings, FileLivesBesideTheProgramWhenPossible) {
  TempDir program;
  TempDir config;
  std::string configDir = (config.path / "kalix").string();
  // A writable program folder: beside the program.
  EXPECT_EQ(SettingsFilePath(program.path.string(), configDir), (program.path / "kalix.ini").string());
  EXPECT_EQ(SettingsFilePath(program.path.string() + "/", configDir), (program.path / "kalix.ini").string());
  // A read-only program folder: the configuration folder, created.
  EXPECT_EQ(SettingsFilePath(program.path.string(), configDir, false), configDir + "/kalix.ini");
  EXPECT_TRUE(fs::is_directory(configDir));
  // No configuration folder known: beside the program all the same.
  EXPECT_EQ(SettingsFilePath(program.path.string(), "", false), (program.path / "kalix.ini").string());
}

TEST(Settings, ExistingFileBesideAReadOnlyProgramIsKept) {
  TempDir program;
  ASSERT_TRUE(WriteTextFile((program.path / "kalix.ini").string(), "[Kalix]\n"));
  EXPECT_EQ(SettingsFilePath(program.path.string(), "/nonexistent/config", false),
            (program.path / "kalix.ini").string());
}

TEST(Settings, FolderAndFileNameOfAPath) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  };
  const Case cases[] = {
      {"/home/u/Textes/Livre.RTF", "/home/u/Textes/", "Livre.RTF"},
      {"livre.rtf", "", "livre.rtf"},
      {"/livre", "/", "livre"},
      {"a/b/", "a/b/", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
  }
}

}  // namespace
}  // namespace kalix
