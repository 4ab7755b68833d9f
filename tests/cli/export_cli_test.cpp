// kalix-cli search and words with --format, run as a process: the files are
// read back by Python's csv module, json and openpyxl, and every row is
// checked against the occurrences that --json lists for the same search.
#include "common/CliProcess.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;  // keys in the order written

// Reads each file named on the command line and prints its rows as one JSON
// object {"csv": [...], "tsv": [...], "jsonl": [...], "xlsx": [...]}; each
// row a list of cells (jsonl: objects). For xlsx also the frozen cell, the
// number of formula cells and whether the form column is bold.
const char kReader[] = R"(import csv, json, sys
out = {}
for path in sys.argv[1:]:
    kind = path.rsplit('.', 1)[1]
    if kind == 'csv':
        with open(path, newline='', encoding='utf-8-sig') as f:
            out[kind] = list(csv.reader(f, strict=True))
    elif kind == 'tsv':
        with open(path, newline='', encoding='utf-8') as f:
            out[kind] = list(csv.reader(f, delimiter='\t', strict=True))
    elif kind == 'jsonl':
        with open(path, encoding='utf-8') as f:
            out[kind] = [json.loads(line) for line in f]
    elif kind == 'xlsx':
        import openpyxl
        sheet = openpyxl.load_workbook(path).active
        rows = [list(r) for r in sheet.iter_rows(values_only=True)]
        out[kind] = [['' if v is None else v for v in r] for r in rows]
        out['frozen'] = sheet.freeze_panes
        out['formulas'] = sum(1 for r in sheet.iter_rows() for c in r if c.data_type == 'f')
        out['boldForm'] = sheet['B2'].font.b
print(json.dumps(out))
)";

const char* Python() { return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

bool HasOpenpyxl() {
  return std::system((std::string(Python()) + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
}

class CliExport : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kalix::test::ScratchFolder("cli_export");
    rules_ = Write("t.rul", "[Separators]\n32=2\n.=3\n59=3\n10=4\n39=1\n");
    // Words that a spreadsheet would take for formulas, quotes, commas, a
    // TAB inside a word, an accent (code page 1252) and a second paragraph.
    doc_ = Write("d\xc3\xa9.txt",
                 "=HYPERLINK(\"http://a,b\") +1a -2a @a \"a\" a,b caf\xe9 a\tb.\nSecond line: la;b. Ha.\n");
    reader_ = Write("read.py", kReader);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::string p = (dir_ / name).string();
    EXPECT_TRUE(kalix::WriteBinaryFile(p, bytes));
    return p;
  }

  kalix::test::CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"-R", rules_});
    return kalix::test::RunCli(args, dir_);
  }

  // The files read back by Python.
  json ReadBack(const std::vector<std::string>& paths) {
    std::string command = kalix::test::ShellQuote(Python()) + " " + kalix::test::ShellQuote(reader_);
    for (const std::string& p : paths) command += " " + kalix::test::ShellQuote(p);
    command += " >" + kalix::test::ShellQuote((dir_ / "py.out").string());
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return json::parse(kalix::ReadBinaryFile((dir_ / "py.out").string()).value_or("null"));
  }

  fs::path dir_;
  std::string rules_, doc_, reader_;
};

const std::vector<std::string> kColumns = {"target", "form", "string", "spelling", "document", "page", "folio",
                                           "glyph",  "line", "view",   "left",     "right",    "sentence"};

// The cell as csv, tsv and xlsx write a text: an apostrophe before a
// formula's first character.
std::string Neutral(const std::string& cell) {
  return !cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos ? "'" + cell : cell;
}

TEST_F(CliExport, EveryFormatAgainstTheSameSearch) {
  const std::vector<std::string> search = {"search", "--string", "a", "--string", "b", "--spelling", "0"};
  auto args = [&](std::vector<std::string> more) {
    std::vector<std::string> all = search;
    all.insert(all.end(), more.begin(), more.end());
    all.push_back(doc_);
    return all;
  };
  const std::string base = (dir_ / "out").string();
  std::vector<std::string> files;
  for (const char* format : {"csv", "tsv", "jsonl", "xlsx"}) {
    if (std::string(format) == "xlsx" && !HasOpenpyxl()) continue;
    files.push_back(base + "." + format);
    kalix::test::CliRun run = Run(args({"--format", format, "--output", files.back(), "--context-words", "2"}));
    ASSERT_EQ(run.status, 0) << format << run.err;
    EXPECT_EQ(run.out, "");
  }
  // Without --output, the same bytes on stdout.
  kalix::test::CliRun toStdout = Run(args({"--format", "csv", "--context-words", "2"}));
  ASSERT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out, kalix::ReadBinaryFile(base + ".csv").value_or(""));

  kalix::test::CliRun listing = Run(args({"--json"}));
  ASSERT_EQ(listing.status, 0) << listing.err;
  const json targets = json::parse(listing.out)["targets"];
  const json back = ReadBack(files);

  const json& csv = back["csv"];
  ASSERT_GE(csv.size(), 2u);
  EXPECT_EQ(csv[0], json(kColumns));
  EXPECT_EQ(back["tsv"], csv);
  size_t row = 1;
  for (const json& t : targets) {
    for (const json& o : t["occurrences"]) {
      ASSERT_LT(row, csv.size());
      const json& r = csv[row];
      const json& line = back["jsonl"][row - 1];
      // Each JSON Lines object has the columns in order, the texts as they
      // are; CSV has them neutralised.
      ASSERT_EQ(line.size(), kColumns.size());
      size_t k = 0;
      for (auto it = line.begin(); it != line.end(); ++it, ++k) {
        EXPECT_EQ(it.key(), kColumns[k]);
        std::string cell = it->is_number() ? std::to_string(it->get<long long>()) : it->get<std::string>();
        EXPECT_EQ(r[k], it->is_number() ? cell : Neutral(cell)) << row << " " << kColumns[k];
      }
      EXPECT_EQ(line["target"], t["text"]);
      EXPECT_EQ(line["view"], o["startView"]);
      EXPECT_EQ(line["page"], o["page"]);
      EXPECT_EQ(line["folio"], std::to_string(o["folio"].get<int>()) + (o["verso"] == 1 ? "v" : "r"));
      EXPECT_EQ(line["spelling"], "Identique");
      EXPECT_EQ(line["document"], doc_);
      // The string of the target's first hit; the form as in the text.
      EXPECT_EQ(line["string"], t["stringIndex"] == 0 ? "a" : "b");
      EXPECT_TRUE(line["form"] == "a" || line["form"] == "b") << line;
      if (back.contains("xlsx")) {
        const json& x = back["xlsx"][row];
        for (size_t c = 0; c < kColumns.size(); ++c) {
          EXPECT_EQ(x[c].is_number() ? std::to_string(x[c].get<long long>()) : x[c].get<std::string>(), r[c]);
        }
      }
      ++row;
    }
  }
  EXPECT_EQ(row, csv.size());
  EXPECT_EQ(row - 1, back["jsonl"].size());

  // The hostile words came through whole: a formula, a comma and quotes in
  // one word, a TAB inside a word (kept in the target, a blank in the
  // sentence, which ends before its separator), the accented file name.
  bool formula = false, tab = false;
  for (size_t k = 1; k < csv.size(); ++k) {
    formula |= csv[k][0] == "'=HYPERLINK(\"http://a,b\")";
    tab |= csv[k][0] == "a\tb" && csv[k][12].get<std::string>().find(" a b.") == std::string::npos &&
           csv[k][12].get<std::string>().find("caf\xc3\xa9 a b") != std::string::npos;
  }
  EXPECT_TRUE(formula);
  EXPECT_TRUE(tab);
  EXPECT_EQ(csv[1][4], doc_);

  if (back.contains("xlsx")) {
    EXPECT_EQ(back["xlsx"][0], json(kColumns));
    EXPECT_EQ(back["xlsx"].size(), csv.size());
    EXPECT_EQ(back["frozen"], "A2");
    EXPECT_EQ(back["formulas"], 0);
    EXPECT_EQ(back["boldForm"], true);
  }
}

TEST_F(CliExport, WordsAndErrors) {
  // A corpus of two documents: one column of counts per document.
  const std::string other = Write("e.txt", "la la b.\n");
  const std::string corpus = Write("c.cor", doc_ + "\r\n" + other + "\r\n");
  const std::string out = (dir_ / "w.csv").string();
  ASSERT_EQ(Run({"words", "--result", "0", "--format", "csv", "--output", out, "--corpus", corpus}).status, 0);
  json words = ReadBack({out})["csv"];
  ASSERT_GE(words.size(), 3u);
  EXPECT_EQ(words[0], json({"form", "frequency", "documents", doc_, other}));
  bool la = false;
  for (const json& r : words) {
    if (r[0] == "la") {
      EXPECT_EQ(r, json({"la", "3", "2", "1", "2"}));
      la = true;
    }
  }
  EXPECT_TRUE(la);

  // A path that cannot be written: the message, exit 1, no file at all; a
  // file already there is left as it was.
  const std::string missing = (dir_ / "no" / "x.xlsx").string();
  kalix::test::CliRun bad = Run({"search", "--string", "a", "--format", "xlsx", "--output", missing, doc_});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "Impossible d'\xc3\xa9\x63rire le fichier :\n" + missing + "\n");
  EXPECT_FALSE(fs::exists(missing));

  // Usage errors: exit 2.
  const std::vector<std::vector<std::string>> usage = {
      {"search", "--string", "a", "--format", "xlsx", doc_},            // xlsx needs --output
      {"search", "--string", "a", "--format", "csv", "--json", doc_},   // one output only
      {"search", "--string", "a", "--format", "xls", doc_},
      {"search", "--string", "a", "--context-words", "3", doc_},        // without --format
      {"search", "--string", "a", "--format", "csv", "--context-words", "x", doc_},
      {"search", "--string", "a", "--format", "csv", "--context-cut", "sentence", doc_},
      {"search", "--string", "a", "--format", "csv", "--output", out, "--append", doc_},
      {"search", "--string", "a", "--format", "csv", "--occurrences", doc_},
      {"words", "--format", "csv", "--summary", doc_},
  };
  for (const auto& args : usage) {
    kalix::test::CliRun run = Run(args);
    EXPECT_EQ(run.status, 2) << args[3] << " " << args[4] << " " << run.err;
  }
  // The word list's occurrences, cut at the paragraph: "la" of the second
  // paragraph never shows the first one.
  kalix::test::CliRun rows =
      Run({"words", "--occurrences", "--format", "jsonl", "--context-words", "9", "--context-cut", "paragraph", doc_});
  ASSERT_EQ(rows.status, 0) << rows.err;
  bool seen = false;
  size_t start = 0;
  while (start < rows.out.size()) {
    size_t end = rows.out.find('\n', start);
    json r = json::parse(rows.out.substr(start, end - start));
    if (r["form"] == "la") {
      EXPECT_EQ(r["left"], "Second line: ");
      EXPECT_EQ(r["right"], ";b. Ha");
      EXPECT_EQ(r["line"], 2);
      seen = true;
    }
    start = end + 1;
  }
  EXPECT_TRUE(seen);
}

}  // namespace
