// kalix-cli search, run as a process.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class CliSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kalix::test::ScratchFolder("cli_search");
    rules_ = Write("t.rul",
                   "[Separators]\n32=2\n.=3\n10=4\n39=1\n"
                   "[Filters]\n01Debut=^CH\n02Fin=S$\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string p = (dir_ / name).string();
    EXPECT_TRUE(kalix::WriteBinaryFile(p, bytes));
    return p;
  }

  // Runs kalix-cli with -R rules, "search" and `args`; returns the exit status.
  int Run(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"-R", rules_, "search"};
    full.insert(full.end(), args.begin(), args.end());
    kalix::test::CliRun run = kalix::test::RunCli(full, dir_);
    out_ = run.out;
    err_ = run.err;
    return run.status;
  }

  fs::path dir_;
  std::string rules_;
  std::string out_;
  std::string err_;
};

TEST_F(CliSearch, JsonShape) {
  std::string doc = Write("d.txt", "\xb1LE CHAT DORT. LES CHATS \xe9VEILL\xc9S.\r\n");
  ASSERT_EQ(Run({"--string", "chat", "--context", "2", "--json", doc}), 0) << err_;
  nlohmann::json j = nlohmann::json::parse(out_);
  ASSERT_TRUE(j.is_object());
  EXPECT_EQ(j.size(), 2u);
  EXPECT_EQ(j["status"], "\"CHAT\" (Contx : Phrase, tout)  Mots : 2  Occurrences : 2");
  ASSERT_EQ(j["targets"].size(), 2u);
  const auto& t = j["targets"][0];
  EXPECT_EQ(t["text"], "CHAT");
  EXPECT_EQ(t["length"], 4);
  EXPECT_EQ(t["stringIndex"], 0);
  EXPECT_TRUE(t["document"].is_null());
  ASSERT_EQ(t["occurrences"].size(), 1u);
  const auto& o = t["occurrences"][0];
  static const char* const kFields[] = {
      "startView", "viewLength", "contextStartView", "contextViewLength", "contextStartOffset",
      "contextOffsetLength", "page", "folio", "verso", "paragraphStart", "sentenceStart", "wordStart",
      "paragraphEnd", "sentenceEnd", "wordEnd"};
  EXPECT_EQ(o.size(), 15u);
  for (const char* f : kFields) {
    ASSERT_TRUE(o.contains(f)) << f;
    EXPECT_TRUE(o[f].is_number_integer()) << f;
  }
  EXPECT_EQ(o["startView"], 4);
  EXPECT_EQ(o["viewLength"], 4);
  // The page marker is a letter of the first word: the sentence begins there.
  EXPECT_EQ(o["contextStartView"], 0);
  EXPECT_EQ(o["contextStartOffset"], 0);
  EXPECT_EQ(o["contextOffsetLength"], 14);
  EXPECT_EQ(o["contextViewLength"], 14);
  EXPECT_EQ(o["page"], 1);
  EXPECT_EQ(o["verso"], 0);
  EXPECT_EQ(o["wordEnd"], 7);
  EXPECT_EQ(j["targets"][1]["text"], "CHATS");
  // Texts are decoded from code page 1252.
  ASSERT_EQ(Run({"--string", "\xc3\xa9veill\xc3\xa9s", "--spelling", "0", "--json", doc}), 0) << err_;
  j = nlohmann::json::parse(out_);
  ASSERT_EQ(j["targets"].size(), 0u);
  ASSERT_EQ(Run({"--string", "EVEILLES", "--json", doc}), 0) << err_;
}

TEST_F(CliSearch, SummaryAndCorpus) {
  std::string a = Write("a.txt", "LE ROI. LE ROI.\r\n");
  std::string b = Write("b.txt", "ROI \xe9tait.\r\n");
  std::string corpus = Write("c.cor", a + "\r\n" + (dir_ / "none.txt").string() + "\r\n" + b);
  ASSERT_EQ(Run({"--string", "roi", "--summary", "--corpus", corpus}), 0);
  EXPECT_EQ(out_, "\"ROI\"  Mots : 2  Occurrences : 3\n");
  EXPECT_NE(err_.find("none.txt"), std::string::npos);
  ASSERT_EQ(Run({"--string", "roi", "--json", "--corpus", corpus}), 0);
  nlohmann::json j = nlohmann::json::parse(out_);
  ASSERT_EQ(j["targets"].size(), 2u);
  EXPECT_EQ(j["targets"][0]["document"], "a.txt | " + dir_.string() + "/");
  EXPECT_EQ(j["targets"][1]["document"], "b.txt | " + dir_.string() + "/");
  // The status line is written in code page 1252.
  ASSERT_EQ(Run({"--string", "\xc3\xa9tait", "--spelling", "0", "--summary", b}), 0);
  EXPECT_EQ(out_, "\"\xe9tait\"  Mots : 1  Occurrences : 1\n");
}

TEST_F(CliSearch, Options) {
  std::string doc = Write("d.txt", "CHATS CHAT. CHIEN CHAT.\r\n");
  struct Case {
    std::vector<std::string> args;
    std::string summary;
  } cases[] = {
      {{"--string", "  chat\t"}, "\"CHAT\"  Mots : 2  Occurrences : 3"},
      {{"--string", "chat", "--position", "4"}, "\"CHAT\"  Mots : 1  Occurrences : 2"},
      {{"--string", "chat", "--string", "s", "--exclude", "--context", "1"},
       "\"CHAT + !S\" (Contx : Mot, tout)  Mots : 1  Occurrences : 2"},
      {{"--string", "chien", "--string", "chat", "--context", "2", "--in-order"},
       "\"CHIEN + CHAT\" (Contx : Phrase, tout, dans l'ordre)  Mots : 2  Occurrences : 2"},
      {{"--string", "chien", "--string", "chat", "--context", "2", "--no-all"},
       "\"CHIEN + CHAT\" (Contx : Phrase)  Mots : 3  Occurrences : 4"},
      {{"--string", "ch", "--filter", "Fin"}, "\"CH\"  Mots : 1  Occurrences : 1"},
      {{"--string", "a", "--filter", "Fin", "--filter", "Debut"}, "\"A\"  Mots : 2  Occurrences : 3"},
      {{"--string", "chat", "--spelling", "0"}, "\"chat\"  Mots : 0  Occurrences : 0"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--summary");
    args.push_back(doc);
    ASSERT_EQ(Run(args), 0) << c.args[1] << err_;
    EXPECT_EQ(out_, c.summary + "\n") << c.args[1];
  }
}

TEST_F(CliSearch, UsageErrors) {
  std::string doc = Write("d.txt", "CHAT.\r\n");
  std::vector<std::vector<std::string>> cases = {
      {"--string", "  ", doc},
      {"--string", "chat", "--string", " chat ", doc},
      {"--string", "chat", "--filter", "Nothing", doc},
      {"--string", "chat", "--position", "5", doc},
      {"--position", "1", "--string", "chat", doc},
      {"--exclude", "--string", "chat", doc},
      {"--string", "chat", "--spelling", "4", doc},
      {"--string", "chat", "--context", "x", doc},
      {"--string", "chat", "--result", "3", doc},
      {"--string", "chat", "--level", "0", doc},
      {"--string", "chat", "--extracts", "lines", doc},
      {"--string", "chat"},
      {doc},
      {"--string", "chat", "--bogus", doc},
      {"--string", "chat", doc, "--corpus", doc},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
  }
  EXPECT_EQ(Run({"--string", "chat", (dir_ / "missing.txt").string()}), 1);
  EXPECT_EQ(Run({"--string", "chat", "--corpus", (dir_ / "missing.cor").string()}), 1);
}

}  // namespace
