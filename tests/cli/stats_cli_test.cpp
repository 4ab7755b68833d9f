// kalix-cli collocates, ngrams and variants --attested, run as processes:
// their results against a second computation in Python (stats_reference.py,
// from the word list and the search of the same documents), their text
// output, and their usage errors.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class CliStats : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kalix::test::ScratchFolder("cli_stats");
    rules_ = (dir_ / "t.rul").string();
    doc_ = (dir_ / "d.txt").string();
    ASSERT_TRUE(kalix::WriteBinaryFile(rules_, "[Separators]\n32=2\n.=3\n10=4\n[Substitutions]\nY=I\n"));
    ASSERT_TRUE(kalix::WriteBinaryFile(doc_, "le roy noir. le roi gris\nun roi noir.\n"));
  }
  void TearDown() override { fs::remove_all(dir_); }

  kalix::test::CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-R", rules_});
    return kalix::test::RunCli(args, dir_);
  }

  fs::path dir_;
  std::string rules_;
  std::string doc_;
};

TEST_F(CliStats, AgreesWithAnIndependentComputation) {
  const fs::path work = dir_ / "reference";
  fs::create_directories(work);
  const std::string command = "python3 " + kalix::test::ShellQuote(std::string(KALIX_SOURCE_DIR) +
                                                                    "/tests/cli/stats_reference.py") +
                              " " + kalix::test::ShellQuote(KALIX_CLI_PATH) + " " +
                              kalix::test::ShellQuote(std::string(KALIX_SOURCE_DIR) + "/samples/nac.rul") + " " +
                              kalix::test::ShellQuote(work.string()) + " >" +
                              kalix::test::ShellQuote((dir_ / "py.out").string()) + " 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << kalix::ReadBinaryFile((dir_ / "py.out").string()).value_or("");
}

TEST_F(CliStats, TextOutput) {
  // ROY and ROI are one form in "Modifiée"; words: LE ROI NOIR LE ROI GRIS | UN ROI NOIR.
  // ROI at 1, 4 and 7; one word on each side: LE NOIR, LE GRIS, UN NOIR.
  // N 9, f(n) 3, W 6. LE: O 2, f 2, E = 6*2/9; MI = log2 1.5;
  // t = (2 - 4/3)/sqrt 2; logDice = 14 + log2(4/5);
  // G2 = 2(2 ln 1.5 + 4 ln(4/(14/3)) + 0 + 3 ln(3/(7/3))).
  kalix::test::CliRun run = Run({"collocates", "--string", "roi", "--left", "1", "--right", "1", "--sort", "text", doc_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "GRIS\t1\t1\t0.872243\t0.584963\t0.333333\t13.000000\n"
            "LE\t2\t2\t1.896542\t0.584963\t0.471405\t13.678072\n"
            "NOIR\t2\t2\t1.896542\t0.584963\t0.471405\t13.678072\n"
            "UN\t1\t1\t0.872243\t0.584963\t0.333333\t13.000000\n");
  // The default order: co-occurrence frequency, then text.
  run = Run({"collocates", "--string", "roi", "--left", "1", "--right", "1", "--min-freq", "2", doc_});
  EXPECT_EQ(run.out.substr(0, 3), "LE\t");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
  run = Run({"ngrams", "--size", "2", "--min-freq", "2", doc_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "LE ROI\t2\t1\nROI NOIR\t2\t1\n");
  // Clusters in the identical form: the one holding GRIS stays in its paragraph.
  run = Run({"ngrams", "--size", "3", "--containing", "--string", "gris", "--result", "0", doc_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "le roi gris\t1\t1\n");
}

TEST_F(CliStats, UsageAndFileErrors) {
  const std::string missing = (dir_ / "none.txt").string();
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"collocates", "--string", "roi", "--right", "5", doc_}, 2},                // no --left
      {{"collocates", "--string", "roi", "--left", "11", "--right", "1", doc_}, 2},
      {{"collocates", "--string", "roi", "--left", "0", "--right", "1", doc_}, 2},  // 1 to 10 each
      {{"collocates", "--left", "1", "--right", "1", doc_}, 2},                     // no string
      {{"collocates", "--string", "roi", "--left", "1", "--right", "1", "--sort", "x", doc_}, 2},
      {{"collocates", "--string", "roi", "--left", "1", "--right", "1", missing}, 1},
      {{"ngrams", "--size", "1", doc_}, 2},
      {{"ngrams", "--size", "6", doc_}, 2},
      {{"ngrams", doc_}, 2},
      {{"ngrams", "--size", "2", "--filter", "none", doc_}, 2},
      {{"ngrams", "--size", "2", "--min-freq", "0", doc_}, 2},
      {{"ngrams", "--size", "2", missing}, 1},
      {{"ngrams", "--size", "2", "--containing", doc_}, 2},  // no string
      {{"variants", "--attested", "--", "roi"}, 2},          // no document
      {{"variants", "--attested", doc_, "--"}, 2},           // no string
      {{"variants", doc_, "--corpus", doc_, "--", "roi"}, 2},
      {{"variants", "--attested", missing, "--", "roi"}, 1},
      {{"variants", "--attested", "--corpus", missing, "--", "roi"}, 1},
      {{"variants", "--attested", "--filter", "none", doc_, "--", "roi"}, 2},
      {{"variants", "--filter", "none", "roi"}, 2},  // --filter without --attested
      {{"variants", "--attested", doc_, "--", "roi"}, 0},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    kalix::test::CliRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.status != 0) EXPECT_FALSE(run.err.empty());
  }
}

}  // namespace
