// kalix-cli text and marks, run as a process.

#include "TestUtil.h"
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace kalix {
namespace {

using test::CliRun;

// Runs kalix-cli in a scratch folder of this test's own.
CliRun RunCli(const std::vector<std::string>& args) {
  return test::RunCli(args, test::ScratchFolder("document_cli"));
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
  std::string path = (test::ScratchFolder("document_cli") / name).string();
  EXPECT_TRUE(WriteBinaryFile(path, bytes));
  return path;
}

TEST(Cli, TextIsTheBytesWithoutTheZero) {
  std::string path = WriteTemp("cli.rtf", "{\\rtf1 \\'b1 a\\par \\'e9{\\footnote n}}");
  CliRun run = RunCli({"text", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\xb1 a\n\xe9\xb9\n");
}

TEST(Cli, MarksAsJson) {
  std::string hex = test::Hex(test::SmallMetafile());
  std::string path = WriteTemp(
      "cli-marks.rtf",
      "{\\rtf1 \\'b1 a\\'be{\\pict\\wmetafile8\\picw2540\\pich1270 " + hex + "}{\\footnote \\'e9\"}{\\footnote}}");
  CliRun run = RunCli({"marks", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"textLength\":7,\"marks\":["
            "{\"position\":0,\"kind\":2,\"number\":1,\"value\":0,\"picture\":null},"
            "{\"position\":3,\"kind\":3,\"number\":0,\"value\":1,"
            "\"picture\":{\"left\":0,\"top\":0,\"right\":96,\"bottom\":48}}],"
            "\"notes\":[{\"page\":1,\"text\":\"\xc3\xa9\\\"\"},{\"page\":1,\"text\":null}]}\n");
}

TEST(Cli, MissingDocument) {
  CliRun text = RunCli({"text", "/nonexistent/x.rtf"});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.err, "Fichier non trouv\xc3\xa9 :\n/nonexistent/x.rtf\n");
  EXPECT_TRUE(text.out.empty());
  EXPECT_EQ(RunCli({"marks", "/nonexistent/x.rtf"}).status, 1);
}

// A file that is neither rich text nor text opens nothing and says so; a
// text with a stray zero byte, a UTF-16 text and an empty file are read.
// Paths are named as the file system names them.
TEST(Cli, FilesThatAreNotDocuments) {
  struct Case {
    const char* name;
    std::string bytes;
    bool document;
  } cases[] = {
      {"zip.rtf", std::string("PK\x03\x04\x14\0\x06\0\x08\0\0\0!\0", 14) + std::string(200, '\0'), false},
      {"png.rtf", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0", 20) + std::string(100, '\x01'), false},
      {"controls.txt", std::string(50, '\x02') + "abc", false},
      {"stray-zero.txt", std::string(300, 'a') + std::string(1, '\0') + "b\n", true},
      {"empty.txt", "", true},
      {"utf16.txt", std::string("\xFF\xFE" "a\0b\0", 6), true},
      {"rich.rtf", std::string("{\\rtf1 a\0\0\0}", 13), true},
  };
  for (const Case& c : cases) {
    const std::string path = WriteTemp(std::string("\xc3\xa9-") + c.name, c.bytes);
    CliRun run = RunCli({"text", path});
    EXPECT_EQ(run.status, c.document ? 0 : 1) << c.name;
    if (!c.document) {
      EXPECT_EQ(run.err, "Ce fichier n'est ni du texte ni du texte enrichi :\n" + path + "\n") << c.name;
      EXPECT_TRUE(run.out.empty()) << c.name;
    }
  }
}

TEST(Cli, UsageErrors) {
  EXPECT_EQ(RunCli({"text"}).status, 2);
  EXPECT_EQ(RunCli({"marks", "a", "b"}).status, 2);
}

}  // namespace
}  // namespace kalix
