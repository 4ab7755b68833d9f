#include "platform/IniFile.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace kalix {
namespace {

const char* kProfile =
    "; settings of Kalix\n"
    "[Kalix]\n"
    "Rules = nac.rul\n"
    "Language=\n"
    "\n"
    "; window layout\n"
    "[window]\n"
    "Top=12\n"
    "Left=-7\n"
    "Height=abc\n"
    "Width=300px\n";

TEST(IniFile, Reading) {
  IniFile ini = IniFile::Parse(kProfile);
  struct Case { const char *section, *key, *fallback, *value; } strings[] = {
      {"Kalix", "Rules", "x", "nac.rul"},
      {"KALIX", "rules", "x", "nac.rul"},   // names compare without case
      {"Kalix", "Language", "x", ""},        // present but empty
      {"Kalix", "DocumentPath", "dflt", "dflt"},
      {"Missing", "Rules", "dflt", "dflt"},
      {"Window", "Rules", "dflt", "dflt"},   // keys belong to their section
  };
  for (const auto& c : strings) EXPECT_EQ(ini.GetString(c.section, c.key, c.fallback), c.value) << c.key;
  EXPECT_EQ(ini.GetInt("Window", "Top", 0), 12);
  EXPECT_EQ(ini.GetInt("Window", "Left", 0), -7);
  EXPECT_EQ(ini.GetInt("Window", "Height", 5), 5);
  EXPECT_EQ(ini.GetInt("Window", "Width", 5), 300);
  EXPECT_EQ(ini.GetInt("Window", "State", 9), 9);
}

TEST(IniFile, WritingKeepsEveryOtherLine) {
  IniFile ini = IniFile::Parse(kProfile);
  ini.SetString("Kalix", "Rules", "other.rul");
  ini.SetString("Kalix", "DocumentPath", "/home/a");
  ini.SetString("Window", "State", "2");
  ini.SetString("New", "Key", "v");
  EXPECT_EQ(ini.Text(),
            "; settings of Kalix\n"
            "[Kalix]\n"
            "Rules=other.rul\n"
            "Language=\n"
            "DocumentPath=/home/a\n"
            "\n"
            "; window layout\n"
            "[window]\n"
            "Top=12\n"
            "Left=-7\n"
            "Height=abc\n"
            "Width=300px\n"
            "State=2\n"
            "\n"
            "[New]\n"
            "Key=v\n");
}

TEST(IniFile, FileRoundTrip) {
  QTemporaryDir dir;
  std::string path = dir.filePath("kalix.ini").toStdString();
  EXPECT_EQ(ReadProfileString(path, "Kalix", "Rules", "nac.rul"), "nac.rul");  // missing file
  ASSERT_TRUE(WriteTextFile(path, kProfile));
  ASSERT_TRUE(WriteProfileString(path, "Window", "Top", "40"));
  EXPECT_EQ(ReadProfileString(path, "Window", "Top", ""), "40");
  EXPECT_EQ(ReadProfileString(path, "Kalix", "Rules", ""), "nac.rul");
  auto bytes = ReadBinaryFile(path);
  ASSERT_TRUE(bytes);
  EXPECT_NE(bytes->find("; window layout\r\n"), std::string::npos);
  EXPECT_FALSE(WriteProfileString(dir.filePath("none/kalix.ini").toStdString(), "A", "B", "C"));
}

}  // namespace
}  // namespace kalix
