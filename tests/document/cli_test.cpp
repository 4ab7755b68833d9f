// kalix-cli text and marks, run as a process.

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace kalix {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
};

CliRun RunCli(const std::string& arguments) {
  CliRun run;
  std::string command = std::string(KALIX_CLI_PATH) + " " + arguments + " 2>/dev/null";
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) run.out.append(buffer, n);
  int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
  std::string path = ::testing::TempDir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

TEST(Cli, TextIsTheBytesWithoutTheZero) {
  std::string path = WriteTemp("cli.rtf", "{\\rtf1 \\'b1 a\\par \\'e9{\\footnote n}}");
  CliRun run = RunCli("text " + path);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\xb1 a\n\xe9\xb9\n");
}

TEST(Cli, MarksAsJson) {
  std::string hex = test::Hex(test::SmallMetafile());
  std::string path = WriteTemp(
      "cli-marks.rtf",
      "{\\rtf1 \\'b1 a\\'be{\\pict\\wmetafile8\\picw2540\\pich1270 " + hex + "}{\\footnote \\'e9\"}{\\footnote}}");
  CliRun run = RunCli("marks " + path);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "{\"textLength\":7,\"marks\":["
            "{\"position\":0,\"kind\":2,\"number\":1,\"value\":0,\"picture\":null},"
            "{\"position\":3,\"kind\":3,\"number\":0,\"value\":1,"
            "\"picture\":{\"left\":0,\"top\":0,\"right\":96,\"bottom\":48}}],"
            "\"notes\":[{\"page\":1,\"text\":\"\xc3\xa9\\\"\"},{\"page\":1,\"text\":null}]}\n");
}

TEST(Cli, MissingDocument) {
  EXPECT_EQ(RunCli("text /nonexistent/x.rtf").status, 1);
  EXPECT_EQ(RunCli("marks /nonexistent/x.rtf").status, 1);
  std::string command = std::string(KALIX_CLI_PATH) + " text /nonexistent/x.rtf 2>&1 >/dev/null";
  std::FILE* p = popen(command.c_str(), "r");
  ASSERT_TRUE(p);
  char buffer[256] = {};
  size_t n = std::fread(buffer, 1, sizeof buffer - 1, p);
  pclose(p);
  EXPECT_EQ(std::string(buffer, n), "Fichier non trouv\xc3\xa9 :\n/nonexistent/x.rtf\n");
}

TEST(Cli, UsageErrors) {
  EXPECT_EQ(RunCli("text").status, 2);
  EXPECT_EQ(RunCli("marks a b").status, 2);
}

}  // namespace
}  // namespace kalix
