// kalix-cli --help and --version, and the manual page kalix-cli(1): every
// command and option that the parsers of src/cli accept is described in
// both, so neither falls behind when an option is added.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadSource(const fs::path& path) {
  std::optional<std::string> text = kalix::ReadBinaryFile(path.string());
  EXPECT_TRUE(text.has_value()) << path;
  return text.value_or("");
}

// Every option the parsers compare an argument with: a string literal that
// is a whole option ("--string", "-R"), in every source file of kalix-cli.
std::set<std::string> OptionsOfTheParsers() {
  std::set<std::string> options;
  std::regex literal("\"(--?[A-Za-z][A-Za-z-]*|--)\"");
  for (const auto& entry : fs::directory_iterator(fs::path(KALIX_SOURCE_DIR) / "src" / "cli")) {
    if (entry.path().extension() != ".cpp") continue;
    std::string text = ReadSource(entry.path());
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
      options.insert((*it)[1].str());
    }
  }
  return options;
}

// The command names of the command table of kalix-cli.
std::set<std::string> CommandsOfTheTable() {
  std::set<std::string> commands;
  std::string text = ReadSource(fs::path(KALIX_SOURCE_DIR) / "src" / "cli" / "main.cpp");
  std::regex entry("\\{\"([a-z]+)\", Run[A-Za-z]+Command\\}");
  for (std::sregex_iterator it(text.begin(), text.end(), entry), end; it != end; ++it) {
    commands.insert((*it)[1].str());
  }
  return commands;
}

// The manual page as a reader sees its words: "\-" is a hyphen, font and
// size escapes are dropped.
std::string ManualText() {
  std::string roff = ReadSource(fs::path(KALIX_SOURCE_DIR) / "packaging" / "kalix-cli.1");
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
  return roff;
}

// Whether `word` stands in `text` as a word of its own: not inside a longer
// option ("--no-list" does not count for "--no-li"), not glued to letters.
bool HasWord(const std::string& text, const std::string& word) {
  auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool startOk = at == 0 || !isWordChar(text[at - 1]);
    size_t end = at + word.size();
    bool endOk = end == text.size() || !isWordChar(text[end]);
    if (startOk && endOk) return true;
  }
  return false;
}

class CliHelp : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = kalix::test::ScratchFolder("cli_help"); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(CliHelp, HelpAndManualDescribeEveryCommandAndOption) {
  std::set<std::string> options = OptionsOfTheParsers();
  std::set<std::string> commands = CommandsOfTheTable();
  // The scan of the sources finds what the parsers take, global options and
  // the options of every command alike.
  for (const char* known : {"-R", "-L", "--help", "--version", "--string", "--position", "--exclude",
                            "--corpus", "--symbols", "--no-symbols", "--extracts", "--append", "--json",
                            "--summary", "--level", "--"}) {
    EXPECT_TRUE(options.count(known)) << known;
  }
  EXPECT_EQ(commands, (std::set<std::string>{"collocates", "marks", "ngrams", "rules", "search", "text", "variants",
                                            "words"}));

  kalix::test::CliRun help = kalix::test::RunCli({"--help"}, dir_);
  ASSERT_EQ(help.status, 0) << help.err;
  EXPECT_EQ(help.err, "");
  std::string manual = ManualText();
  for (const std::string& o : options) {
    EXPECT_TRUE(HasWord(help.out, o)) << "kalix-cli --help does not describe " << o;
    EXPECT_TRUE(HasWord(manual, o)) << "kalix-cli(1) does not describe " << o;
  }
  for (const std::string& c : commands) {
    EXPECT_TRUE(HasWord(help.out, c)) << "kalix-cli --help does not describe the command " << c;
    EXPECT_TRUE(HasWord(manual, c)) << "kalix-cli(1) does not describe the command " << c;
  }
  // The check itself tells a missing option from a longer one.
  EXPECT_FALSE(HasWord("--no-list --no-refs", "--no"));
  EXPECT_TRUE(HasWord("[--level N]", "--level"));
}

TEST_F(CliHelp, InformationOptionsAnswerAndExitZero) {
  struct Case {
    std::vector<std::string> args;
    std::string outStart;
  };
  const Case cases[] = {
      {{"--version"}, "kalix-cli " KALIX_VERSION_FOR_TESTS "\n"},
      {{"--help"}, "usage: kalix-cli [-R RULES] [-L LANGUAGE] [--layer LAYER] COMMAND ...\n"},
      // After the global options, before the command.
      {{"-R", "absent.rul", "--version"}, "kalix-cli "},
      {{"-L", "absent.lng", "--help"}, "usage: "},
  };
  for (const Case& c : cases) {
    kalix::test::CliRun run = kalix::test::RunCli(c.args, dir_);
    EXPECT_EQ(run.status, 0) << c.args.back() << ": " << run.err;
    EXPECT_EQ(run.out.compare(0, c.outStart.size(), c.outStart), 0) << run.out;
    EXPECT_EQ(run.err, "");
  }
  // The version answers on one line only.
  kalix::test::CliRun version = kalix::test::RunCli({"--version"}, dir_);
  EXPECT_EQ(version.out, "kalix-cli " KALIX_VERSION_FOR_TESTS "\n");

  // Usage errors are unchanged: status 2, the short usage on stderr.
  kalix::test::CliRun unknown = kalix::test::RunCli({"--helpme"}, dir_);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("unknown command: --helpme"), std::string::npos) << unknown.err;
  kalix::test::CliRun none = kalix::test::RunCli({}, dir_);
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("missing command"), std::string::npos);
}

}  // namespace
