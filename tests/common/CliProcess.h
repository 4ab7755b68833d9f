// Running kalix-cli as a process from a test: arguments quoted for the
// shell, standard output and standard error captured, exit status decoded.
#pragma once

#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kalix::test {

struct CliRun {
  int status = -1;  // exit status, -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// `text` as one word for the shell.
inline std::string ShellQuote(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// A new folder of this process and test of its own, so that tests of several
// builds run at the same time never share a file.
inline std::filesystem::path ScratchFolder(const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->name()) : std::string("none");
  auto folder = std::filesystem::temp_directory_path() /
                ("kalix_" + tag + "_" + std::to_string(::getpid()) + "_" + test);
  std::filesystem::create_directories(folder);
  return folder;
}

// Runs kalix-cli with `args`; its output goes through files in `folder`.
inline CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& folder) {
  std::string outPath = (folder / "cli.out").string();
  std::string errPath = (folder / "cli.err").string();
  std::string command = ShellQuote(KALIX_CLI_PATH);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath);
  CliRun run;
  int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadBinaryFile(outPath).value_or("");
  run.err = ReadBinaryFile(errPath).value_or("");
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return run;
}

}  // namespace kalix::test
