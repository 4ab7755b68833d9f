// kalix-cli words and the report output, run as a process.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class CliWords : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kalix::test::ScratchFolder("cli_words");
    rules_ = Write("t.rul", "[Separators]\n32=2\n.=3\n10=4\n39=1\n[Filters]\n01Debut=^CH\n02Fin=S$\n");
    doc_ = Write("d.txt", "L'AMI ET L'AMIE.\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string p = (dir_ / name).string();
    EXPECT_TRUE(kalix::WriteBinaryFile(p, bytes));
    return p;
  }

  // Runs kalix-cli `global` words `args`; returns the exit status.
  int Run(const std::vector<std::string>& args, std::vector<std::string> global = {}) {
    if (global.empty()) global = {"-R", rules_};
    global.push_back("words");
    global.insert(global.end(), args.begin(), args.end());
    kalix::test::CliRun run = kalix::test::RunCli(global, dir_);
    out_ = run.out;
    err_ = run.err;
    return run.status;
  }

  fs::path dir_;
  std::string rules_, doc_;
  std::string out_, err_;
};

const char kHeader[] =
    "DOCUMENT: d.txt\r\n"
    "CONTEXTE: Texte\r\n"
    "ORTHOGRAPHE: Identique, SEPARATEURS: avec\r\n"
    "FILTRE: sans\r\n"
    "CHAINES: 1 ou plus, ORDRE: non\r\n"
    "RESULTATS :Modifi\xe9" "e, SYMBOLES :non\r\n"
    "\r\n"
    "\r\n";

TEST_F(CliWords, DefaultReport) {
  ASSERT_EQ(Run({doc_}), 0) << err_;
  // The automatic page 1 stands at view 0: the first word is before it.
  EXPECT_EQ(out_, std::string(kHeader) +
                      "ET\t1\tp:1 f:0R\r\n"
                      "LAMI\t1\tp:0 f:0R\r\n"
                      "LAMIE\t1\tp:1 f:0R\r\n"
                      "\r\n");
  EXPECT_EQ(err_, "");
}

TEST_F(CliWords, SummaryAndSymbols) {
  ASSERT_EQ(Run({"--summary", doc_}), 0);
  EXPECT_EQ(out_, "Mots : 3  Occurrences : 3\n");
  ASSERT_EQ(Run({"--result", "0", "--symbols", "--no-info", "--no-refs", doc_}), 0);
  EXPECT_EQ(out_, "ET\r\nL'AMI\r\nL'AMIE\r\n\r\n");
  ASSERT_EQ(Run({"--result", "0", "--no-info", "--no-refs", doc_}), 0);
  EXPECT_EQ(out_, "ET\r\nLAMI\r\nLAMIE\r\n\r\n");
  // Symbols are never shown in the "Modifiée" result.
  ASSERT_EQ(Run({"--result", "2", "--symbols", "--no-info", "--no-refs", doc_}), 0);
  EXPECT_EQ(out_, "ET\r\nLAMI\r\nLAMIE\r\n\r\n");
}

TEST_F(CliWords, LastWordWithoutSeparator) {
  std::string doc = Write("e.txt", "ROI REINE");
  ASSERT_EQ(Run({"--summary", doc}), 0);
  // The reader ends the text with a paragraph end: the last word is listed.
  EXPECT_EQ(out_, "Mots : 2  Occurrences : 2\n");
}

TEST_F(CliWords, Json) {
  ASSERT_EQ(Run({"--json", doc_}), 0) << err_;
  nlohmann::json j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["status"], "Mots : 3  Occurrences : 3");
  ASSERT_EQ(j["targets"].size(), 3u);
  const auto& t = j["targets"][2];
  EXPECT_EQ(t["text"], "LAMIE");
  EXPECT_EQ(t["length"], 6);
  EXPECT_EQ(t["stringIndex"], -1);
  EXPECT_TRUE(t["document"].is_null());
  const auto& o = t["occurrences"][0];
  EXPECT_EQ(o["startView"], 9);
  EXPECT_EQ(o["viewLength"], 6);
  EXPECT_EQ(o["contextStartView"], -1);
  EXPECT_EQ(o["contextViewLength"], 0);
  EXPECT_EQ(o["contextStartOffset"], -1);
  EXPECT_EQ(o["contextOffsetLength"], 0);
  EXPECT_EQ(o["page"], 1);
  EXPECT_EQ(o["wordStart"], 9);
  EXPECT_EQ(o["wordEnd"], 14);
  EXPECT_EQ(o["sentenceStart"], 0);
  EXPECT_EQ(o["sentenceEnd"], 14);
  EXPECT_EQ(o["paragraphStart"], 0);
  EXPECT_EQ(o["paragraphEnd"], 14);
}

TEST_F(CliWords, ExtractsOfAWordList) {
  std::string doc = Write("s.txt", "Le roi. La reine du roi.\n");
  ASSERT_EQ(Run({"--extracts", "sentences", "--no-info", "--no-list", doc}), 0);
  EXPECT_EQ(out_, "Le roi\r\ns.txt p:0 f:0R\r\n\r\nLa reine du roi\r\ns.txt p:1 f:0R\r\n\r\n");
  ASSERT_EQ(Run({"--extracts", "words", "--no-info", "--no-list", "--no-extract-refs", doc}), 0);
  EXPECT_EQ(out_, "Le\r\n\r\nroi\r\n\r\nLa\r\n\r\nreine\r\n\r\ndu\r\n\r\nroi\r\n\r\n");
}

TEST_F(CliWords, Filters) {
  std::string doc = Write("f.txt", "CHAT CHIENS ROIS.\n");
  ASSERT_EQ(Run({"--filter", "Debut", "--no-refs", doc}), 0) << err_;
  EXPECT_NE(out_.find("FILTRE: 01Debut\r\n"), std::string::npos);
  EXPECT_NE(out_.find("\r\nCHAT\r\nCHIENS\r\n\r\n"), std::string::npos);
  ASSERT_EQ(Run({"--filter", "Fin", "--filter", "Debut", "--summary", doc}), 0);
  EXPECT_EQ(out_, "Mots : 3  Occurrences : 3\n");
  ASSERT_EQ(Run({"--filter", "Fin", "--no-info", "--no-refs", doc}), 0);
  EXPECT_EQ(out_, "CHIENS\r\nROIS\r\n\r\n");
}

TEST_F(CliWords, OutputFile) {
  std::string out = (dir_ / "r.txt").string();
  ASSERT_EQ(Run({"--no-info", "--no-refs", "--output", out, doc_}), 0);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(kalix::ReadBinaryFile(out).value_or(""), "ET\r\nLAMI\r\nLAMIE\r\n\r\n");
  ASSERT_EQ(Run({"--no-info", "--no-refs", "--output", out, "--append", doc_}), 0);
  EXPECT_EQ(kalix::ReadBinaryFile(out).value_or(""), "ET\r\nLAMI\r\nLAMIE\r\n\r\nET\r\nLAMI\r\nLAMIE\r\n\r\n");
  ASSERT_EQ(Run({"--no-info", "--output", out, "--no-refs", doc_}), 0);
  EXPECT_EQ(kalix::ReadBinaryFile(out).value_or(""), "ET\r\nLAMI\r\nLAMIE\r\n\r\n");
  std::string bad = (dir_ / "no" / "r.txt").string();
  EXPECT_EQ(Run({"--output", bad, doc_}), 1);
  EXPECT_EQ(err_, "Impossible d'\xc3\xa9" "crire le fichier :\n" + bad + "\n");
}

TEST_F(CliWords, Corpus) {
  std::string a = Write("a.txt", "ROI REINE.\n");
  std::string b = Write("b.txt", "ROI.\n");
  std::string missing = (dir_ / "missing.txt").string();
  std::string cor = Write("c.cor", a + "\r\n" + missing + "\r\n" + b + "\r\n");
  ASSERT_EQ(Run({"--corpus", cor}), 0);
  EXPECT_EQ(err_, "Fichier non trouv\xc3\xa9 :\n" + missing + "\n");
  EXPECT_EQ(out_,
            "DOCUMENT: a.txt, missing.txt, b.txt\r\n"
            "CONTEXTE: Texte\r\n"
            "ORTHOGRAPHE: Identique, SEPARATEURS: avec\r\n"
            "FILTRE: sans\r\n"
            "CHAINES: 1 ou plus, ORDRE: non\r\n"
            "RESULTATS :Modifi\xe9" "e, SYMBOLES :non\r\n"
            "\r\n"
            "\r\n"
            "REINE\t1\ta.txt\tp:1 f:0R\r\n"
            "ROI\t1\ta.txt\tp:0 f:0R\r\n"
            "ROI\t1\tb.txt\tp:0 f:0R\r\n"
            "\r\n");
  ASSERT_EQ(Run({"--corpus", cor, "--summary"}), 0);
  EXPECT_EQ(out_, "Mots : 3  Occurrences : 3\n");
  ASSERT_EQ(Run({"--corpus", cor, "--json"}), 0);
  nlohmann::json j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["targets"][2]["document"], "b.txt | " + dir_.string() + "/");
  ASSERT_EQ(Run({"--corpus", cor, "--extracts", "words", "--no-info", "--no-list"}), 0);
  EXPECT_EQ(out_, "ROI\r\na.txt p:0 f:0R\r\n\r\nREINE\r\na.txt p:1 f:0R\r\n\r\nROI\r\nb.txt p:0 f:0R\r\n\r\n");

  std::string nocor = (dir_ / "none.cor").string();
  EXPECT_EQ(Run({"--corpus", nocor}), 1);
  EXPECT_EQ(err_, "Impossible de lire le fichier :\n" + nocor + "\n");
}

TEST_F(CliWords, NonAsciiFileNames) {
  std::string doc = Write("r\xc3\xa9" "cit.txt", "ROI.\n");  // UTF-8, as the file system gives it
  std::string cor = Write("c.cor", doc + "\r\n");
  ASSERT_EQ(Run({"--corpus", cor, "--no-refs"}), 0) << err_;
  EXPECT_EQ(out_.substr(0, out_.find("\r\n")), "DOCUMENT: r\xe9" "cit.txt");  // code page 1252
  ASSERT_EQ(Run({"--corpus", cor, "--no-info"}), 0);
  EXPECT_EQ(out_, "ROI\t1\tr\xe9" "cit.txt\tp:0 f:0R\r\n\r\n");
  ASSERT_EQ(Run({"--corpus", cor, "--json"}), 0);
  nlohmann::json j = nlohmann::json::parse(out_);
  EXPECT_EQ(j["targets"][0]["document"], "r\xc3\xa9" "cit.txt | " + dir_.string() + "/");
}

TEST_F(CliWords, Errors) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  std::string missing = (dir_ / "missing.txt").string();
  const Case cases[] = {
      {{}, 2},
      {{doc_, "--corpus", doc_}, 2},
      {{doc_, doc_}, 2},
      {{"--result", "3", doc_}, 2},
      {{"--result", doc_}, 2},
      {{"--extracts", "lines", doc_}, 2},
      {{"--filter", "Nothing", doc_}, 2},
      {{"--filter", "01Debut", doc_}, 2},  // the name, without its prefix
      {{"--bogus", doc_}, 2},
      {{"--json", "--summary", doc_}, 2},
      {{doc_, "--output"}, 2},
      {{missing}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(Run(c.args), c.status);
    EXPECT_EQ(out_, "");
    EXPECT_NE(err_, "");
  }
  EXPECT_EQ(err_, "Fichier non trouv\xc3\xa9 :\n" + missing + "\n");
}

TEST_F(CliWords, LanguageFiles) {
  std::string lng = std::string(KALIX_SOURCE_DIR) + "/samples/eng.lng";
  ASSERT_EQ(Run({"--summary", doc_}, {"-L", lng, "-R", rules_}), 0) << err_;
  EXPECT_EQ(out_, "Words: 3  Occurrences: 3\n");
  ASSERT_EQ(Run({"--no-list", doc_}, {"-L", lng, "-R", rules_}), 0);
  EXPECT_EQ(out_,
            "DOCUMENT: d.txt\r\n"
            "CONTEXT: Text\r\n"
            "SPELLING: Identical, SEPARATORS: with\r\n"
            "FILTER: without\r\n"
            "STRINGS: 1 or more, ORDER: no\r\n"
            "RESULTS :Modified, SYMBOLS :no\r\n"
            "\r\n"
            "\r\n");
  std::string bad = Write("bad.lng", "kalix:eng:\n");
  EXPECT_EQ(Run({"--summary", doc_}, {"-L", bad, "-R", rules_}), 1);
  EXPECT_EQ(err_, bad + "\nn'est pas un fichier langue.\n");
  std::string missing = (dir_ / "none.lng").string();
  EXPECT_EQ(Run({"--summary", doc_}, {"-L", missing, "-R", rules_}), 1);
  EXPECT_EQ(err_, "Fichier non trouv\xc3\xa9 :\n" + missing + "\n");
}

}  // namespace
