// Exported tables: the cells of every format written byte for byte, the
// context words, the occurrence rows of a document with marks, the word
// list's counts per document, and files that are replaced whole or not at
// all.

#include "targets/ExportRows.h"
#include "targets/ExportTable.h"

#include "platform/TextFile.h"
#include "targets/DocumentRef.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <chrono>

using namespace kalix;

namespace {

namespace fs = std::filesystem;

// A table of fixed rows.
ExportTable Fixed(std::vector<ExportColumn> columns, std::vector<std::vector<std::string>> rows) {
  ExportTable table;
  table.Columns = std::move(columns);
  table.RowCount = rows.size();
  auto all = std::make_shared<std::vector<std::vector<std::string>>>(std::move(rows));
  auto next = std::make_shared<size_t>(0);
  table.Next = [all, next](std::vector<std::string>& cells) {
    if (*next >= all->size()) return false;
    cells = (*all)[(*next)++];
    return true;
  };
  return table;
}

std::string Written(ExportFormat format, ExportTable table) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(WriteTable(out, format, table), ExportStatus::kWritten);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

// Every row of `table`, as its producer makes it.
std::vector<std::vector<std::string>> Rows(ExportTable table) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> cells(table.Columns.size());
  while (true) {
    for (std::string& c : cells) c.clear();
    if (!table.Next(cells)) break;
    rows.push_back(cells);
  }
  EXPECT_EQ(rows.size(), table.RowCount);
  return rows;
}

}  // namespace

TEST(ExportTable, CellsOfEveryFormat) {
  const std::vector<ExportColumn> columns = {{"text"}, {"n", true}};
  struct Case {
    std::string cell;
    const char* csv;    // the record as CSV writes it, without its CR LF
    const char* tsv;
    const char* jsonl;  // the value of "text"
  };
  const Case cases[] = {
      {"plain", "plain,7", "plain\t7", "\"plain\""},
      {"a,b", "\"a,b\",7", "a,b\t7", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\",7", "\"say \"\"hi\"\"\"\t7", "\"say \\\"hi\\\"\""},
      {"two\r\nlines", "\"two\r\nlines\",7", "\"two\r\nlines\"\t7", "\"two\\r\\nlines\""},
      {"a\tb", "a\tb,7", "\"a\tb\"\t7", "\"a\\tb\""},
      {"=1+1", "'=1+1,7", "'=1+1\t7", "\"=1+1\""},
      {"+33", "'+33,7", "'+33\t7", "\"+33\""},
      {"-x", "'-x,7", "'-x\t7", "\"-x\""},
      {"@SUM(A1)", "'@SUM(A1),7", "'@SUM(A1)\t7", "\"@SUM(A1)\""},
      {"\tx", "'\tx,7", "\"'\tx\"\t7", "\"\\tx\""},
      {"\rx", "\"'\rx\",7", "\"'\rx\"\t7", "\"\\rx\""},
      {"=\"a,b\"", "\"'=\"\"a,b\"\"\",7", "\"'=\"\"a,b\"\"\"\t7", "\"=\\\"a,b\\\"\""},
      {"x=1", "x=1,7", "x=1\t7", "\"x=1\""},
      {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9,7", "\xc3\xa9t\xc3\xa9\t7", "\"\xc3\xa9t\xc3\xa9\""},
      {std::string("\x01\\", 2), "\x01\\,7", "\x01\\\t7", "\"\\u0001\\\\\""},
      {"", ",7", "\t7", "\"\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Written(ExportFormat::kCsv, Fixed(columns, {{c.cell, "7"}})),
              std::string("\xEF\xBB\xBFtext,n\r\n") + c.csv + "\r\n")
        << c.cell;
    EXPECT_EQ(Written(ExportFormat::kTsv, Fixed(columns, {{c.cell, "7"}})), std::string("text\tn\r\n") + c.tsv + "\r\n")
        << c.cell;
    EXPECT_EQ(Written(ExportFormat::kJsonLines, Fixed(columns, {{c.cell, "7"}})),
              std::string("{\"text\": ") + c.jsonl + ", \"n\": 7}\n")
        << c.cell;
  }
  // A number cell is never neutralised; an empty one is null in JSON.
  EXPECT_EQ(Written(ExportFormat::kCsv, Fixed(columns, {{"a", "-5"}})), "\xEF\xBB\xBFtext,n\r\na,-5\r\n");
  EXPECT_EQ(Written(ExportFormat::kJsonLines, Fixed(columns, {{"a", ""}})), "{\"text\": \"a\", \"n\": null}\n");
  // Names and formats.
  for (const char* name : {"csv", "tsv", "xlsx", "jsonl"}) {
    ASSERT_TRUE(ExportFormatNamed(name).has_value()) << name;
    EXPECT_STREQ(ExportFormatName(*ExportFormatNamed(name)), name);
  }
  EXPECT_FALSE(ExportFormatNamed("CSV").has_value());
  EXPECT_FALSE(ExportFormatNamed("json").has_value());
}

TEST(ExportTable, LargeTablesMadeInBlocksAsInOne) {
  // A table whose rows can start anywhere is written in blocks by two
  // threads: the same bytes as one producer gives, every text format, and a
  // stop half-way.
  const size_t rows = 50000;
  auto make = [](size_t first) {
    auto row = std::make_shared<size_t>(first);
    return ExportTable::Producer([row, rows](std::vector<std::string>& cells) {
      if (*row >= rows) return false;
      cells[0] = (*row % 7 == 0 ? "=r," : "r\"") + std::to_string(*row);
      cells[1] = std::to_string(*row * 3);
      ++*row;
      return true;
    });
  };
  for (ExportFormat f : {ExportFormat::kCsv, ExportFormat::kTsv, ExportFormat::kJsonLines}) {
    ExportTable one;
    one.Columns = {{"text"}, {"n", true}};
    one.RowCount = rows;
    one.Next = make(0);
    ExportTable blocks = one;
    blocks.Next = make(0);
    blocks.From = make;
    const std::string expected = Written(f, std::move(one));
    EXPECT_EQ(Written(f, std::move(blocks)), expected) << ExportFormatName(f);
  }
  ExportTable stopped;
  stopped.Columns = {{"text"}, {"n", true}};
  stopped.RowCount = rows;
  stopped.Next = make(0);
  stopped.From = make;
  size_t last = 0;
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  EXPECT_EQ(WriteTable(out, ExportFormat::kCsv, stopped, [&last](size_t done, size_t) {
              last = done;
              return done < 10000;
            }),
            ExportStatus::kStopped);
  std::fclose(out);
  std::free(data);
  EXPECT_GE(last, 10000u);
  EXPECT_LT(last, rows);
}

TEST(ExportTable, BlocksOfUnevenCostWrittenInOrder) {
  // Some blocks take far longer to make than others, so that they are
  // finished out of order and one thread makes more of them: the bytes are
  // those of one producer.
  const size_t rows = 70000;
  auto make = [](size_t first) {
    if ((first / 4096) % 3 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(3));
    auto row = std::make_shared<size_t>(first);
    return ExportTable::Producer([row, rows](std::vector<std::string>& cells) {
      if (*row >= rows) return false;
      cells[0] = std::to_string(*row) + (*row % 5 == 0 ? ",x" : "");
      ++*row;
      return true;
    });
  };
  ExportTable one;
  one.Columns = {{"text"}};
  one.RowCount = rows;
  one.Next = make(0);
  ExportTable blocks = one;
  blocks.Next = make(0);
  blocks.From = make;
  const std::string expected = Written(ExportFormat::kCsv, std::move(one));
  EXPECT_EQ(Written(ExportFormat::kCsv, std::move(blocks)), expected);
}

TEST(ExportTable, FilesReplacedWholeOrNotAtAll) {
  const fs::path dir = fs::temp_directory_path() / ("kalix_export_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "out.csv").string();
  const std::vector<ExportColumn> columns = {{"a"}};
  std::vector<std::vector<std::string>> many(10000, {"row"});

  // Written, then replaced by a shorter table.
  ExportTable big = Fixed(columns, many);
  ASSERT_EQ(SaveTable(path, ExportFormat::kCsv, big), ExportStatus::kWritten);
  EXPECT_EQ(fs::file_size(path), 3 + 3 + 10000 * 5u);
  ExportTable small = Fixed(columns, {{"x"}});
  ASSERT_EQ(SaveTable(path, ExportFormat::kCsv, small), ExportStatus::kWritten);
  EXPECT_EQ(ReadBinaryFile(path).value_or(""), "\xEF\xBB\xBF" "a\r\nx\r\n");

  // Stopped half-way (the progress says so after 4096 rows): the old file
  // stays as it was, every format.
  for (ExportFormat f : {ExportFormat::kCsv, ExportFormat::kXlsx, ExportFormat::kJsonLines}) {
    ExportTable table = Fixed(columns, many);
    size_t calls = 0;
    EXPECT_EQ(SaveTable(path, f, table, [&calls](size_t done, size_t total) {
                EXPECT_EQ(total, 10000u);
                ++calls;
                return done < 4096;
              }),
              ExportStatus::kStopped);
    EXPECT_EQ(calls, 2u);
    EXPECT_EQ(ReadBinaryFile(path).value_or(""), "\xEF\xBB\xBF" "a\r\nx\r\n");
  }
  // A path in a missing folder, and a folder as the path.
  ExportTable t1 = Fixed(columns, {{"x"}});
  EXPECT_EQ(SaveTable((dir / "missing" / "x.csv").string(), ExportFormat::kCsv, t1), ExportStatus::kCannotWrite);
  ExportTable t2 = Fixed(columns, {{"x"}});
  EXPECT_EQ(SaveTable(dir.string(), ExportFormat::kXlsx, t2), ExportStatus::kCannotWrite);
  // A stream cannot take xlsx.
  ExportTable t3 = Fixed(columns, {{"x"}});
  EXPECT_EQ(WriteTable(stdout, ExportFormat::kXlsx, t3), ExportStatus::kCannotWrite);

  // No temporary file is left behind: only out.csv is in the folder.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().filename(), "out.csv");
    ++files;
  }
  EXPECT_EQ(files, 1u);
  fs::remove_all(dir);
}

TEST(ExportRows, ContextWords) {
  // Blank, ";" and LF separate words, sentences and paragraphs; "'" is a
  // symbol.
  RuleSet rules = DefaultRules();
  rules.SeparatorClass.fill(kLetter);
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass[';'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  rules.SeparatorClass['\''] = kSymbol;
  const std::string text = "un deux; 'trois' quatre\ncinq  six' sept";
  //                        0123456789012345678901234 5678901234567890
  struct Case {
    int32_t start, end;
    int words;
    bool cut;
    const char* left;
    const char* right;
  };
  const Case cases[] = {
      {17, 23, 2, false, "deux; 'trois' ", "\ncinq  six"},  // "quatre": symbols stay inside
      {17, 23, 1, false, "trois' ", "\ncinq"},
      {17, 23, 2, true, "deux; 'trois' ", ""},         // the paragraph ends right after
      {17, 23, 9, true, "un deux; 'trois' ", ""},
      {24, 28, 9, true, "", "  six' sept"},            // the text's end closes the last word
      {24, 28, 9, false, "un deux; 'trois' quatre\n", "  six' sept"},
      {19, 21, 1, false, "qu", "re"},                  // inside a word: its pieces count as one
      {19, 21, 2, false, "trois' qu", "re\ncinq"},
      {0, 2, 2, false, "", " deux; 'trois"},           // the text's start
      {17, 23, 0, false, "", ""},
  };
  for (const Case& c : cases) {
    const WordContext w = ContextWords(rules, text, c.start, c.end, {c.words, c.cut});
    EXPECT_EQ(w.Left, c.left) << c.start << " " << c.words << " " << c.cut;
    EXPECT_EQ(w.Right, c.right) << c.start << " " << c.words << " " << c.cut;
  }
  // Context is looked for at most 4,096 bytes away.
  const std::string far = "loin" + std::string(5000, ' ') + "ici" + std::string(5000, ' ') + "loin";
  const WordContext w = ContextWords(rules, far, 5004, 5007, {10, false});
  EXPECT_EQ(w.Left, "");
  EXPECT_EQ(w.Right, "");
}

// The context words as their definition reads, byte by byte.
static WordContext PlainContextWords(const RuleSet& rules, std::string_view text, int32_t start, int32_t end, int wanted,
                                     bool cut) {
  const int32_t length = static_cast<int32_t>(text.size());
  auto cls = [&](int32_t p) { return rules.Class(static_cast<unsigned char>(text[static_cast<size_t>(p)])); };
  int32_t from = start, words = 0, candidate = -1;
  const int32_t low = std::max(0, start - 4096);
  for (int32_t p = start - 1; words < wanted; --p) {
    const int c = p >= low ? cls(p) : int{kParagraphSeparator};
    if (c >= kWordSeparator) {
      if (candidate >= 0) from = candidate, ++words, candidate = -1;
      if (p < low || (cut && c >= kParagraphSeparator)) break;
    } else if (c == kLetter) {
      candidate = p;
    }
  }
  int32_t to = end, lastLetter = -1;
  words = 0;
  const int32_t high = std::min(length, end + 4096);
  for (int32_t p = end; words < wanted; ++p) {
    const int c = p < high ? cls(p) : int{kParagraphSeparator};
    if (c >= kWordSeparator) {
      if (lastLetter >= 0) to = lastLetter + 1, ++words, lastLetter = -1;
      if (p >= high || (cut && c >= kParagraphSeparator)) break;
    } else if (c == kLetter) {
      lastLetter = p;
    }
  }
  return {text.substr(static_cast<size_t>(from), static_cast<size_t>(start - from)),
          text.substr(static_cast<size_t>(end), static_cast<size_t>(to - end))};
}

TEST(ExportRows, ContextWordsAsDefinedOnRandomTexts) {
  // Texts of letters, symbols and the three separators, words of every
  // length (past 64 bytes too, the pieces the text is looked at in),
  // spans anywhere, up to 5,000 bytes away from the text's ends.
  RuleSet rules = DefaultRules();
  rules.SeparatorClass.fill(kLetter);
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  rules.SeparatorClass['\''] = kSymbol;
  std::mt19937 random(25);
  const char alphabet[] = "ab'. \n";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const size_t size = random() % (round % 10 == 0 ? 10000 : 400);
    const unsigned spread = 1 + random() % 6;  // 1: letters only ... 6: every kind
    const unsigned wordLength = 1 + random() % 100;
    for (size_t k = 0; k < size; ++k) {
      text += random() % wordLength == 0 ? alphabet[random() % spread] : alphabet[random() % 2];
    }
    for (int span = 0; span < 20; ++span) {
      const int32_t start = static_cast<int32_t>(random() % (size + 1));
      const int32_t end = start + static_cast<int32_t>(random() % (size - static_cast<size_t>(start) + 1) % 8);
      const int wanted = static_cast<int>(random() % 40);
      const bool cut = random() % 2 == 0;
      const WordContext w = ContextWords(rules, text, start, end, {wanted, cut});
      const WordContext p = PlainContextWords(rules, text, start, end, wanted, cut);
      ASSERT_EQ(w.Left.data(), p.Left.data()) << round << " " << start << " " << wanted;
      ASSERT_EQ(w.Left.size(), p.Left.size()) << round << " " << start << " " << wanted;
      ASSERT_EQ(w.Right.data(), p.Right.data()) << round << " " << end << " " << wanted;
      ASSERT_EQ(w.Right.size(), p.Right.size()) << round << " " << end << " " << wanted;
    }
  }
}

TEST(ExportRows, OccurrencesOfADocumentWithMarks) {
  Context context;
  RuleSet& rules = context.Rules;
  rules.SeparatorClass.fill(kLetter);
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['\r'] = kWordSeparator;
  rules.SeparatorClass['.'] = kSentenceSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  rules.SeparatorClass[0xAD] = kSymbol;
  Document doc;
  doc.path = "/tmp/caf\xe9.txt";  // not UTF-8: read as code page 1252
  // Page 2 opens with recto folio 1; a CR line break, a glyph mark, then
  // page 3 (verso). Marks stand at view positions (line breaks count two).
  doc.text = std::string("Abc def.\n\xb1\xf2 Un deux\rtrois \xadquatre.\n\xb1\xbe Cinq =six\n") + '\0';
  doc.marks = {{0, kPageMark, 1, 0, nullptr},  {10, kPageMark, 2, 0, nullptr},  {11, kFolioMark, 1, 0, nullptr},
               {28, kGlyphMark, 1, -1, nullptr}, {38, kPageMark, 3, 0, nullptr}, {39, kFolioMark, 1, 1, nullptr}};
  const ViewIndex index(doc.Text());
  auto at = [&](const char* word, int32_t page, int32_t folio, int16_t verso) {
    const int32_t offset = static_cast<int32_t>(doc.Text().find(word));
    Occurrence o;
    o.StartView = index.ViewOfOffset(offset);
    o.ViewLength = index.ViewOfOffset(offset + static_cast<int32_t>(std::strlen(word))) - o.StartView;
    o.Page = page;
    o.Folio = folio;
    o.Verso = verso;
    return o;
  };
  cTargetList targets(2);
  targets[0].Text = "DEUX";
  targets[0].StringIndex = 1;
  targets[0].Starts = {at("deux", 2, 1, 0), at("quatre", 2, 1, 0)};
  targets[1].Text = "=SIX";
  targets[1].StringIndex = 7;  // no such string: none shown
  Occurrence six = at("=six", 3, 1, 1);
  six.SentenceStart = static_cast<int32_t>(doc.Text().find("\xb1\xbe"));
  six.SentenceEnd = static_cast<int32_t>(doc.Text().find("six") + 2);
  six.KnownEnds = kSentenceEndKnown;
  targets[1].Starts = {six};
  cArrowList strings = {SearchString("un"), SearchString("deu")};
  SearchSettings settings;
  settings.SetSpelling(1);

  ExportTable table = OccurrenceTable(context, {settings, strings, targets, doc}, {1, false});
  ASSERT_EQ(table.Columns.size(), 13u);
  const char* const names[] = {"target", "form", "string", "spelling", "document", "page", "folio",
                               "glyph",  "line", "view", "left",     "right",    "sentence"};
  for (size_t k = 0; k < 13; ++k) EXPECT_EQ(table.Columns[k].Name, names[k]);
  const auto rows = Rows(std::move(table));
  ASSERT_EQ(rows.size(), 3u);
  const std::string path = "/tmp/caf\xc3\xa9.txt";
  const std::string view0 = std::to_string(at("deux", 0, 0, 0).StartView);
  const std::string view1 = std::to_string(at("quatre", 0, 0, 0).StartView);
  const std::string view2 = std::to_string(six.StartView);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"DEUX", "deux", "deu", "Majuscule", path, "2", "1r", "0", "1", view0,
                                               "Un ", " trois", ""}));
  // After the CR, on line 2 of page 2, after the glyph mark (its marker is
  // in the text).
  EXPECT_EQ(rows[1], (std::vector<std::string>{"DEUX", "quatre", "deu", "Majuscule", path, "2", "1r", "1", "2", view1,
                                               "trois \xc2\xad", ". \xc2\xb1\xc2\xbe", ""}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"=SIX", "=six", "", "Majuscule", path, "3", "1v", "1", "1", view2,
                                               "Cinq ", "", "\xc2\xb1\xc2\xbe Cinq =six"}));

  // Rows made from any row on (as the writers' threads make them) are the
  // same rows, targets without occurrences passed over.
  cTargetList gaps = targets;
  gaps.insert(gaps.begin() + 1, Target{});
  gaps.insert(gaps.begin(), Target{});
  gaps.push_back(Target{});
  ExportTable again = OccurrenceTable(context, {settings, strings, gaps, doc}, {1, false});
  EXPECT_EQ(again.RowCount, 3u);
  for (size_t k = 0; k <= rows.size(); ++k) {
    std::vector<std::string> cells(13);
    ExportTable::Producer from = again.From(k);
    if (k == rows.size()) {
      EXPECT_FALSE(from(cells));
      continue;
    }
    ASSERT_TRUE(from(cells)) << k;
    EXPECT_EQ(cells, rows[k]) << k;
    if (k + 1 < rows.size()) {
      for (std::string& c : cells) c.clear();
      ASSERT_TRUE(from(cells));
      EXPECT_EQ(cells, rows[k + 1]) << k;
    }
  }

  // A corpus target whose document cannot be read: told once, rows kept.
  targets[0].DocumentRef = MakeDocumentRef("/nonexistent/a.txt");
  targets[1].DocumentRef = targets[0].DocumentRef;
  std::vector<std::string> errors;
  const auto lost = Rows(OccurrenceTable(context, {settings, strings, targets, doc}, {},
                                         [&errors](const std::string& m) { errors.push_back(m); }));
  ASSERT_EQ(lost.size(), 3u);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(lost[2][4], "/nonexistent/a.txt");
  EXPECT_EQ(lost[2][1], "");
  EXPECT_EQ(lost[2][5], "3");
}

TEST(ExportRows, ManyMarksAndRowsInBlocks) {
  // A long document with marks all along and rows scattered over it: the
  // glyph and line of every row as the marks before it give them, the
  // same rows with the document made ready beforehand, and the same bytes
  // whether the rows are written in blocks on two threads or one by one.
  Context context;
  RuleSet& rules = context.Rules;
  rules.SeparatorClass.fill(kLetter);
  rules.SeparatorClass[' '] = kWordSeparator;
  rules.SeparatorClass['\r'] = kWordSeparator;
  rules.SeparatorClass['\n'] = kParagraphSeparator;
  std::mt19937 random(77);
  Document doc;
  doc.path = "/tmp/long.txt";
  std::vector<int32_t> wordStarts;
  while (doc.text.size() < 150000) {
    wordStarts.push_back(static_cast<int32_t>(doc.text.size()));
    doc.text.append(1 + random() % 4, static_cast<char>('a' + random() % 3));
    const unsigned r = random() % 12;
    doc.text += r == 0 ? '\r' : r == 1 ? '\n' : ' ';
  }
  doc.text += '\0';
  const ViewIndex index(doc.Text());
  // Marks ascending, a few at one position, some thousands of positions
  // apart, some close together.
  for (int32_t view = 0, n = 1; view < index.ViewLength(); view += static_cast<int32_t>(random() % 9000), ++n) {
    const int kind = random() % 3 == 0 ? kGlyphMark : kPageMark;
    doc.marks.push_back({view, static_cast<int16_t>(kind), n, 0, nullptr});
  }
  cTargetList targets(3);
  for (size_t w = 0; w < wordStarts.size(); ++w) {
    Occurrence o;
    o.StartView = index.ViewOfOffset(wordStarts[w]);
    o.ViewLength = 1;
    targets[w % 3].Text = "T" + std::to_string(w % 3);
    targets[w % 3].Starts.push_back(o);
  }
  cArrowList strings;
  SearchSettings settings;
  auto expected = [&](int32_t view, int32_t offset) {
    int32_t glyph = 0, pageBreaks = 0;
    for (const Mark& m : doc.marks) {
      if (m.position >= view) break;
      if (m.kind == kGlyphMark) glyph = m.number;
      if (m.kind == kPageMark) pageBreaks = index.BreaksBefore(index.OffsetOfView(m.position));
    }
    return std::make_pair(std::to_string(glyph), std::to_string(std::max(1, 1 + (view - offset) - pageBreaks)));
  };

  const auto rows = Rows(OccurrenceTable(context, {settings, strings, targets, doc}, {2, false}));
  ASSERT_EQ(rows.size(), wordStarts.size());
  ASSERT_GE(rows.size(), 20000u);
  size_t row = 0;
  for (const Target& t : targets) {
    for (const Occurrence& o : t.Starts) {
      const auto [glyph, line] = expected(o.StartView, index.OffsetOfView(o.StartView));
      ASSERT_EQ(rows[row][7], glyph) << row;
      ASSERT_EQ(rows[row][8], line) << row;
      ++row;
    }
  }

  auto prepared = std::make_shared<WindowDocumentPreparation>(doc);
  ExportTable ready = OccurrenceTable(context, {settings, strings, targets, doc}, {2, false}, {}, prepared);
  prepared.reset();
  EXPECT_EQ(Rows(ready), rows);
  Document other;
  EXPECT_EQ(WindowDocumentPreparation(doc).Take(other), nullptr);

  for (ExportFormat f : {ExportFormat::kCsv, ExportFormat::kJsonLines}) {
    ExportTable inBlocks = OccurrenceTable(context, {settings, strings, targets, doc}, {2, false});
    EXPECT_EQ(Written(f, std::move(inBlocks)), Written(f, Fixed(OccurrenceColumns(), rows))) << ExportFormatName(f);
  }
}

TEST(ExportRows, WordListCountsPerDocument) {
  auto target = [](const char* text, const char* path, size_t count) {
    Target t;
    t.Text = text;
    if (*path) t.DocumentRef = MakeDocumentRef(path);
    for (size_t k = 0; k < count; ++k) t.Starts.push_back(Occurrence{});
    return t;
  };
  // In a grid sorted by count: the same form in two places of the list.
  const cTargetList corpus = {target("ROI", "/c/b.txt", 3), target("\xc9T\xc9", "/c/a.txt", 1),
                              target("ROI", "/c/a.txt", 2)};
  ExportTable table = WordListTable(corpus);
  ASSERT_EQ(table.Columns.size(), 5u);
  EXPECT_EQ(table.Columns[3].Name, "/c/a.txt");
  EXPECT_EQ(table.Columns[4].Name, "/c/b.txt");
  EXPECT_EQ(Rows(std::move(table)), (std::vector<std::vector<std::string>>{{"ROI", "5", "2", "2", "3"},
                                                                           {"\xc3\x89T\xc3\x89", "1", "1", "1", "0"}}));
  // One document: no column per document.
  ExportTable one = WordListTable({target("A", "", 4), target("B", "", 1)});
  EXPECT_EQ(one.Columns.size(), 3u);
  EXPECT_EQ(Rows(std::move(one)), (std::vector<std::vector<std::string>>{{"A", "4", "1"}, {"B", "1", "1"}}));
}
