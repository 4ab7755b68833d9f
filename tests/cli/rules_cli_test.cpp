// kalix-cli rules and variants, run as a process on temporary rules files.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using kalix::test::CliRun;

class RulesCli : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = kalix::test::ScratchFolder("rules_cli");
    path_ = (folder_ / "rules.rul").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void Write(const std::string& text) { ASSERT_TRUE(kalix::WriteTextFile(path_, text)); }
  CliRun RunCli(const std::vector<std::string>& args) { return kalix::test::RunCli(args, folder_); }
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(RulesCli, PrintsEveryPartOfTheRuleSet) {
  Write(
      "[Markers]\nG=0x2a\nPage=0x\n"
      "[Separators]\n32=2\n.=3\n10=4\n39=1\n"
      "[Uppers]\n0xe9=0xc9\n"
      "[Substitutions]\nV=U\nY=\nEAU=O\nAI=EST\nPH=F \n"
      "[Vowels]\nAE0xc9\n"
      "[Consonants]\nCB\n"
      "[Filters]\n01Lettrines=^A,B$,,C\n02Fins=S$\n"
      "[Morvo]\n1,AI,E,X-1=\" \"\n3,\xe9,E,1\n2,,B,1\n");
  CliRun run = RunCli({"-R", path_, "rules"});
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j.size(), 9u);
  const auto& markers = j["markers"];
  EXPECT_EQ(markers.size(), 6u);
  EXPECT_EQ(markers["page"], std::string(1, '\0'));  // a one-character text holding U+0000
  EXPECT_EQ(markers["recto"], "\xc3\xb2");           // o grave, in UTF-8
  EXPECT_EQ(markers["verso"], "\xc2\xbe");
  EXPECT_EQ(markers["glyph"], "*");
  EXPECT_EQ(markers["noteAnchor"], "\xc2\xb9");
  EXPECT_EQ(markers["note"], "\xc2\xac");

  ASSERT_EQ(j["upper"].size(), 256u);
  ASSERT_EQ(j["subst"].size(), 256u);
  ASSERT_EQ(j["separator"].size(), 256u);
  EXPECT_EQ(j["upper"][0xe9], 0xc9);
  EXPECT_EQ(j["upper"]['a'], 'A');
  EXPECT_EQ(j["upper"][9], 0);
  EXPECT_EQ(j["subst"]['V'], 'U');
  EXPECT_EQ(j["subst"]['Y'], 0);
  EXPECT_EQ(j["subst"]['a'], 'A');
  EXPECT_EQ(j["separator"][' '], 2);
  EXPECT_EQ(j["separator"]['.'], 3);
  EXPECT_EQ(j["separator"]['\n'], 4);
  EXPECT_EQ(j["separator"]['\''], 1);
  EXPECT_EQ(j["separator"]['A'], 0);
  EXPECT_EQ(j["vowels"], (nlohmann::json{'A', 'E', 0xc9}));
  EXPECT_EQ(j["consonants"], (nlohmann::json{'B', 'C'}));

  nlohmann::json rules = nlohmann::json::array({{{"match", "EAU"}, {"replacement", "O"}},
                                                {{"match", "AI"}, {"replacement", "ES"}},
                                                {{"match", "PH"}, {"replacement", "F "}}});
  EXPECT_EQ(j["rules"], rules);
  EXPECT_EQ(j["filters"], (nlohmann::json{"01Lettrines=^A,B$,,C", "02Fins=S$"}));

  EXPECT_EQ(j["morvo"]["maxLevel"], 3);  // the rejected level-2 line does not count
  nlohmann::json morvo = nlohmann::json::array(
      {{{"level", 1}, {"from", "AI"}, {"to", "E"}, {"condition", "X-1=\" \""}},
       {{"level", 3}, {"from", "\xc3\x89"}, {"to", "E"}, {"condition", "1"}}});
  EXPECT_EQ(j["morvo"]["rules"], morvo);
}

TEST_F(RulesCli, AnEmptyFileGivesTheDefaults) {
  Write("");
  CliRun run = RunCli({"-R", path_, "rules"});
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["markers"]["page"], "\xc2\xb1");
  EXPECT_EQ(j["markers"]["glyph"], "\xc2\xad");
  for (int c = 0; c < 256; ++c) {
    int upper = c < 32 ? 0 : (c >= 'a' && c <= 'z') ? c - 32 : c;
    EXPECT_EQ(j["upper"][c], upper) << c;
    EXPECT_EQ(j["subst"][c], upper) << c;
    EXPECT_EQ(j["separator"][c], 0) << c;
  }
  EXPECT_TRUE(j["vowels"].empty());
  EXPECT_TRUE(j["consonants"].empty());
  EXPECT_TRUE(j["rules"].empty());
  EXPECT_TRUE(j["filters"].empty());
  EXPECT_EQ(j["morvo"], (nlohmann::json{{"maxLevel", 0}, {"rules", nlohmann::json::array()}}));
}

TEST_F(RulesCli, AMissingRulesFileIsAFileError) {
  std::string missing = path_ + ".missing";
  for (const char* command : {"rules", "variants"}) {
    CliRun run = RunCli({"-R", missing, command, "A"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Fichier non trouv\xc3\xa9 :\n" + missing + "\n");
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(RulesCli, UsageErrors) {
  Write("[Morvo]\n1,A,B,1\n");
  const std::vector<std::vector<std::string>> cases = {
      {"rules", "extra"},
      {"variants"},
      {"variants", "--level"},
      {"variants", "--level", "x", "A"},
      {"variants", "--level", "-1", "A"},
      {"variants", "--level", "0", "A"},
      {"variants", "--level", "1"},
      {"variants", "--bogus", "A"},
      {"variants", " \t "},
      {"variants", "A", ""},
  };
  for (const auto& args : cases) {
    std::vector<std::string> full = {"-R", path_};
    full.insert(full.end(), args.begin(), args.end());
    CliRun run = RunCli(full);
    EXPECT_EQ(run.status, 2) << args.back();
    EXPECT_FALSE(run.err.empty());
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(RulesCli, VariantsOfTheSubstitutedKeys) {
  Write(
      "[Uppers]\n0xe9=0xc9\n"
      "[Substitutions]\n0xc9=E\nPH=F\nY=I\n"
      "[Morvo]\n1,AI,E,X-1=\" \"\n2,F,PH,X-1=\" \"\n3,S,Z,X-1#\" \"&X+1#\" \"\n");
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"variants", "AIMER"}, "AIMER\nEMER\n"},
      {{"variants", "  aimer\t"}, "AIMER\nEMER\n"},          // trimmed, then folded
      {{"variants", "--level", "1", "AIMER"}, "AIMER\nEMER\n"},
      {{"variants", "PAIN", "AIMER"}, "PAIN\nAIMER\nEMER\n"},   // lists one after the other
      {{"variants", "--level", "2", "PHASE"}, "FASE\nPHASE\n"},  // the key is FASE
      {{"variants", "--level", "3", "phase"}, "FASE\nFAZE\nPHASE\nPHAZE\n"},
      {{"variants", "\xc3\xa9t\xc3\xa9"}, "ETE\n"},               // UTF-8 argument
      {{"variants", "--level", "1", "--", "--AI"}, "--AI\n"},
      {{"variants", "YAI"}, "IAI\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> full = {"-R", path_};
    full.insert(full.end(), c.args.begin(), c.args.end());
    CliRun run = RunCli(full);
    EXPECT_EQ(run.status, 0) << c.args.back() << run.err;
    EXPECT_EQ(run.out, c.out) << c.args.back();
    EXPECT_TRUE(run.err.empty()) << run.err;
  }
}

TEST_F(RulesCli, ABoundedGenerationSaysSo) {
  std::string rules = "[Morvo]\n";
  for (char to = 'B'; to <= 'J'; ++to) rules += std::string("1,A,") + to + ",1\n";
  Write(rules);
  CliRun exact = RunCli({"-R", path_, "variants", "AAAA"});
  EXPECT_EQ(exact.status, 0);
  EXPECT_TRUE(exact.err.empty());
  CliRun run = RunCli({"-R", path_, "variants", "AAAAA", "B"});
  EXPECT_EQ(run.status, 0);
  size_t lines = 0;
  for (char c : run.out) lines += c == '\n';
  EXPECT_EQ(lines, 10001u);  // 10,000 variants, then the list of B
  EXPECT_TRUE(run.out.ends_with("\nB\n"));
  EXPECT_NE(run.err.find("10000"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("AAAAA"), std::string::npos) << run.err;
}

}  // namespace
