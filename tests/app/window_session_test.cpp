// A window's session driven headless: one scenario through many steps (open,
// search, sort, step, locate, copy, delete, report, word list, corpus,
// repeat in another session, cancel), and tables of the grid's orders, the
// occurrence steps and the row ranges.
#include "app/WindowSession.h"

#include "app/RunSearch.h"
#include "document/Reader.h"
#include "targets/DocumentRef.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kalix {
namespace {

namespace fs = std::filesystem;

Context TinyContext() {
  Context ctx;
  ctx.Rules.SeparatorClass[' '] = kWordSeparator;
  ctx.Rules.SeparatorClass['.'] = kSentenceSeparator;
  ctx.Rules.SeparatorClass['\n'] = kParagraphSeparator;
  return ctx;
}

// Words: le chat noir. le chat gris | un chien noir et le chat.
const char kTiny[] = "le chat noir. le chat gris\nun chien noir et le chat.\n";
const char kOther[] = "un chat blanc\n";

fs::path WriteFile(const fs::path& dir, const std::string& name, const std::string& text) {
  fs::create_directories(dir);
  const fs::path p = dir / name;
  std::ofstream(p, std::ios::binary) << text;
  return p;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

SearchSettings Options(bool corpus = false) {
  SearchSettings s;
  s.SetSpelling(2);
  s.SetResult(true, 1, false);
  s.UseCorpus = corpus;
  return s;
}

void SetStrings(WindowSession& session, std::initializer_list<const char*> texts) {
  session.Strings.clear();
  for (const char* t : texts) session.Strings.emplace_back(t);
}

// A port that answers from a script: the review's answer, and a stop flag
// set when the work reports its first corpus document.
class ScriptedPort : public QuietPort {
 public:
  bool Review = true;
  bool StopAtFirstDocument = false;
  int Reviews = 0;
  size_t ProgressCalls = 0;
  std::vector<std::string> UnreadablePaths;
  std::atomic<bool> Stop{false};

  bool ReviewVariants(cArrowList& strings, const std::vector<std::string>& bounded) override {
    ++Reviews;
    return Review && QuietPort::ReviewVariants(strings, bounded);
  }
  void Unreadable(const std::string& path, const std::string& message) override {
    QuietPort::Unreadable(path, message);
    UnreadablePaths.push_back(path);
  }
  void Progress(size_t, size_t, const std::string&) override {
    ++ProgressCalls;
    if (StopAtFirstDocument) Stop = true;
  }
  const std::atomic<bool>* StopFlag() override { return &Stop; }
};

std::vector<std::string> Texts(const WindowSession& s) {
  std::vector<std::string> out;
  for (const Target& t : s.Targets) out.push_back(t.Text + ":" + std::to_string(t.Starts.size()));
  return out;
}

TEST(WindowSession, OneWindowThroughSearchSortStepDeleteReportWordListCorpusAndRepeat) {
  const fs::path dir = fs::path(testing::TempDir()) / "kalix_window_session";
  fs::remove_all(dir);
  const fs::path tiny = WriteFile(dir, "tiny.txt", kTiny);
  const fs::path other = WriteFile(dir, "other.txt", kOther);
  Context ctx = TinyContext();
  WindowSession session;
  ScriptedPort port;

  // Open.
  std::string message;
  ASSERT_TRUE(session.OpenDocument(ctx, tiny.string(), &message)) << message;
  EXPECT_TRUE(session.HasDocument());
  EXPECT_FALSE(session.OpenDocument(ctx, (dir / "missing.txt").string(), &message));
  EXPECT_FALSE(session.HasDocument());
  EXPECT_FALSE(message.empty());
  ASSERT_TRUE(session.OpenDocument(ctx, tiny.string(), &message));

  // Search, in three steps: the run reads copies, so the session's document
  // may go meanwhile.
  SetStrings(session, {"chat", "noir"});
  const cFilterList before = session.Filters;
  std::optional<SessionRun> run = session.PrepareSearch(ctx, Options(), before, port);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(port.Reviews, 0);  // no generation, no review
  run->Work(port);
  EXPECT_EQ(run->Spans.size(), 5u);
  EXPECT_EQ(run->Longest, 4);
  for (size_t n = 1; n < run->Spans.size(); ++n) EXPECT_LT(run->Spans[n - 1].first, run->Spans[n].first);
  session.Apply(std::move(*run));
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"CHAT:3", "NOIR:2"}));
  EXPECT_EQ(session.Order, GridOrder::TextUp);
  EXPECT_EQ(session.CurrentTarget, -1);
  EXPECT_EQ(session.Current(), nullptr);
  EXPECT_EQ(session.Status, session.StatusText(ctx));
  EXPECT_NE(session.Status.find('5'), std::string::npos) << session.Status;
  EXPECT_FALSE(session.Settings.FromWordList);

  // The same search at once gives the same.
  {
    WindowSession again;
    ASSERT_TRUE(again.OpenDocument(ctx, tiny.string(), nullptr));
    SetStrings(again, {"chat", "noir"});
    ASSERT_TRUE(again.Search(ctx, Options(), port));
    EXPECT_EQ(Texts(again), Texts(session));
    EXPECT_EQ(again.Status, session.Status);
  }

  // Sort: by count up, down, by text down.
  session.Sort(GridOrder::CountUp, false);
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"NOIR:2", "CHAT:3"}));
  session.Sort(NextOrder(session.Order, false), false);
  EXPECT_EQ(session.Order, GridOrder::CountDown);
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"CHAT:3", "NOIR:2"}));
  session.Sort(GridOrder::TextDown, false);
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"NOIR:2", "CHAT:3"}));

  // Step through CHAT's occurrences.
  ASSERT_TRUE(session.SelectTarget(1));
  EXPECT_FALSE(session.SelectTarget(2));
  EXPECT_EQ(session.CurrentTarget, 1);
  EXPECT_TRUE(session.CurrentIsShownHere());
  EXPECT_EQ(session.Step(OccurrenceStep::Show), 0);
  EXPECT_EQ(session.Step(OccurrenceStep::Next), 1);
  EXPECT_EQ(session.Step(OccurrenceStep::Last), 2);
  EXPECT_EQ(session.Step(OccurrenceStep::Next), 2);
  EXPECT_EQ(session.Step(OccurrenceStep::Previous), 1);
  EXPECT_EQ(session.CurrentOccurrence(), 1);
  const int32_t secondChat = session.Current()->Starts[1].StartView;
  EXPECT_EQ(secondChat, 17);  // "le chat noir. le |chat"

  // Locate the target at a place of the text: the first NOIR.
  EXPECT_TRUE(session.LocateAt(9));
  EXPECT_EQ(session.CurrentTarget, 0);
  EXPECT_EQ(session.CurrentOccurrence(), 0);
  EXPECT_FALSE(session.LocateAt(0));  // "le" is no target
  EXPECT_TRUE(session.LocateAt(secondChat + 3));
  EXPECT_EQ(session.CurrentTarget, 1);
  EXPECT_EQ(session.CurrentOccurrence(), 1);

  // Copy and delete rows.
  EXPECT_EQ(session.TargetsText(0, 1), "2\tNOIR\n3\tCHAT");
  EXPECT_EQ(session.TargetsText(1, 9), "3\tCHAT");
  EXPECT_EQ(session.TargetsText(2, 3), "");
  const std::string statusOfTwo = session.Status;
  EXPECT_TRUE(session.DeleteTargets(ctx, 0, 0));
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"CHAT:3"}));
  EXPECT_EQ(session.CurrentTarget, -1);
  EXPECT_NE(session.Status, statusOfTwo);
  EXPECT_NE(session.Status.find('3'), std::string::npos) << session.Status;
  EXPECT_FALSE(session.DeleteTargets(ctx, 4, 7));

  // The report of what is left, then appended to.
  ReportOptions report;
  report.Extracts = kNoExtracts;
  report.OutputFile = (dir / "report.txt").string();
  ASSERT_TRUE(session.SaveReport(ctx, {}, report));
  const std::string written = ReadFile(report.OutputFile);
  EXPECT_NE(written.find("CHAT"), std::string::npos);
  EXPECT_EQ(written.find("NOIR"), std::string::npos);
  EXPECT_EQ(written, [&] {
    std::string text = session.Report(ctx, {}, report);
    std::string crlf;
    for (char c : text) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    return crlf;
  }());
  report.Append = true;
  ASSERT_TRUE(session.SaveReport(ctx, {}, report));
  EXPECT_EQ(ReadFile(report.OutputFile).size(), 2 * written.size());
  report.OutputFile = (dir / "no such folder" / "r.txt").string();
  EXPECT_FALSE(session.SaveReport(ctx, {}, report));

  // Export: one row per occurrence left, in tab-separated text.
  {
    const ExportTable table = session.ResultTable(ctx);
    EXPECT_EQ(table.RowCount, 3u);
    const std::string tsv = (dir / "result.tsv").string();
    ASSERT_EQ(session.Export(ctx, tsv, ExportFormat::kTsv), ExportStatus::kWritten);
    const std::string rows = ReadFile(tsv);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4) << rows;  // a heading and three rows
    EXPECT_NE(rows.find("CHAT"), std::string::npos) << rows;
    EXPECT_EQ(session.Export(ctx, (dir / "no such folder" / "r.tsv").string(), ExportFormat::kTsv),
              ExportStatus::kCannotWrite);
  }

  // The word list of the document: every distinct word; the strings stay.
  WordListChoice words;
  words.ResultItem = 1;
  ASSERT_TRUE(session.WordList(ctx, words, port));
  EXPECT_TRUE(session.Settings.FromWordList);
  EXPECT_EQ(Texts(session), (std::vector<std::string>{"CHAT:3", "CHIEN:1", "ET:1", "GRIS:1", "LE:3", "NOIR:2",
                                                      "UN:1"}));
  EXPECT_EQ(session.Strings.size(), 2u);
  EXPECT_TRUE(session.HasDocument());
  EXPECT_EQ(session.ResultTable(ctx).RowCount, 7u);  // one row per word

  // A corpus search: a missing document is told and skipped, the window's
  // document closes, the targets name their documents.
  ctx.Corpus.Entries = {tiny.string(), (dir / "gone.txt").string(), other.string()};
  ctx.Corpus.Open = true;
  SetStrings(session, {"chat"});
  port.ProgressCalls = 0;
  ASSERT_TRUE(session.Search(ctx, Options(true), port));
  EXPECT_FALSE(session.HasDocument());
  EXPECT_EQ(port.UnreadablePaths, (std::vector<std::string>{(dir / "gone.txt").string()}));
  EXPECT_EQ(port.ProgressCalls, 3u);
  // CHAT of each document.
  ASSERT_EQ(session.Targets.size(), 2u);
  const int32_t ofOther = DocumentRefPath(session.Targets[0].DocumentRef) == other.string() ? 0 : 1;
  EXPECT_EQ(DocumentRefPath(session.Targets[static_cast<size_t>(ofOther)].DocumentRef), other.string());
  EXPECT_EQ(DocumentRefPath(session.Targets[static_cast<size_t>(1 - ofOther)].DocumentRef), tiny.string());
  EXPECT_EQ(session.Targets[static_cast<size_t>(ofOther)].Starts.size(), 1u);
  EXPECT_EQ(session.Targets[static_cast<size_t>(1 - ofOther)].Starts.size(), 3u);
  ASSERT_TRUE(session.SelectTarget(ofOther));
  EXPECT_FALSE(session.CurrentIsShownHere());

  // Another window opens that target's document and searches it as this
  // one did, without a corpus.
  WindowSession second;
  ASSERT_TRUE(second.OpenDocument(ctx, other.string(), nullptr));
  SessionRun repeat = second.PrepareRepeat(ctx, session);
  EXPECT_TRUE(repeat.Corpus.empty());
  repeat.Work(port);
  EXPECT_EQ(repeat.Spans.size(), 1u);
  second.Apply(std::move(repeat));
  EXPECT_FALSE(second.Settings.UseCorpus);
  EXPECT_TRUE(second.HasDocument());
  EXPECT_EQ(Texts(second), (std::vector<std::string>{"CHAT:1"}));
  EXPECT_TRUE(second.Targets[0].DocumentRef.empty());
  ASSERT_TRUE(second.SelectTarget(0));
  EXPECT_TRUE(second.CurrentIsShownHere());

  // Cancelled while reading the corpus: targets, status line, strings and
  // filters are as they were.
  const auto targetsBefore = Texts(session);
  const std::string statusBefore = session.Status;
  port.StopAtFirstDocument = true;
  SetStrings(session, {"noir"});
  EXPECT_FALSE(session.Search(ctx, Options(true), port));
  EXPECT_EQ(Texts(session), targetsBefore);
  EXPECT_EQ(session.Status, statusBefore);
  EXPECT_EQ(session.Strings.size(), 1u);

  // The generated variants, refused at review: the options are taken,
  // nothing else changes.
  port.Stop = false;
  port.StopAtFirstDocument = false;
  port.Review = false;
  ASSERT_TRUE(session.OpenDocument(ctx, tiny.string(), nullptr));
  SearchSettings generated = Options();
  generated.SetSpelling(3);
  generated.Level = 1;
  EXPECT_FALSE(session.Search(ctx, generated, port));
  EXPECT_EQ(port.Reviews, 1);
  EXPECT_EQ(session.Settings.Spelling, 3);
  EXPECT_EQ(Texts(session), targetsBefore);
  for (const SearchString& s : session.Strings) EXPECT_FALSE(s.HasSource());
  fs::remove_all(dir);
}

TEST(WindowSession, NextOrderOfAColumn) {
  const struct {
    GridOrder current;
    bool byText;
    GridOrder next;
  } cases[] = {
      {GridOrder::CountUp, false, GridOrder::CountDown},  {GridOrder::CountDown, false, GridOrder::CountUp},
      {GridOrder::TextUp, false, GridOrder::CountUp},     {GridOrder::TextDown, false, GridOrder::CountUp},
      {GridOrder::TextUp, true, GridOrder::TextDown},     {GridOrder::TextDown, true, GridOrder::TextUp},
      {GridOrder::CountUp, true, GridOrder::TextUp},      {GridOrder::CountDown, true, GridOrder::TextUp},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NextOrder(c.current, c.byText), c.next)
        << static_cast<int>(c.current) << " byText " << c.byText;
  }
}

// A session whose one target has `count` occurrences, the current one `at`.
WindowSession WithOccurrences(int32_t count, int32_t at) {
  WindowSession s;
  Target t;
  t.Text = "X";
  for (int32_t n = 0; n < count; ++n) {
    Occurrence o;
    o.StartView = 10 * n;
    o.ViewLength = 1;
    t.Starts.push_back(o);
  }
  t.CurrentStart = at;
  s.Targets.push_back(t);
  return s;
}

TEST(WindowSession, StepsThroughOccurrences) {
  const struct {
    int32_t count, at;
    OccurrenceStep step;
    int32_t expected;
  } cases[] = {
      {1, 0, OccurrenceStep::Next, 0},     {1, 0, OccurrenceStep::Previous, 0}, {1, 0, OccurrenceStep::Last, 0},
      {4, 0, OccurrenceStep::Next, 1},     {4, 3, OccurrenceStep::Next, 3},     {4, 0, OccurrenceStep::Previous, 0},
      {4, 2, OccurrenceStep::Previous, 1}, {4, 2, OccurrenceStep::First, 0},    {4, 1, OccurrenceStep::Last, 3},
      {4, 2, OccurrenceStep::Show, 2},
  };
  for (const auto& c : cases) {
    WindowSession s = WithOccurrences(c.count, c.at);
    EXPECT_EQ(s.Step(c.step), -1);  // no current target yet
    ASSERT_TRUE(s.SelectTarget(0));
    EXPECT_EQ(s.Step(c.step), c.expected) << c.count << " at " << c.at << " step " << static_cast<int>(c.step);
    EXPECT_EQ(s.CurrentOccurrence(), c.expected);
    EXPECT_FALSE(s.CurrentIsShownHere());  // no document
  }
}

TEST(WindowSession, DeletesTheRowsInRange) {
  const struct {
    int32_t first, last;
    bool deleted;
    std::string left;
  } cases[] = {
      {0, 0, true, "BCDE"}, {1, 3, true, "AE"},  {4, 4, true, "ABCD"}, {-3, 1, true, "CDE"},
      {3, 99, true, "ABC"}, {5, 9, false, "ABCDE"}, {2, 1, false, "ABCDE"}, {0, 4, true, ""},
  };
  const Context ctx = TinyContext();
  for (const auto& c : cases) {
    WindowSession s;
    s.Settings.FromWordList = true;
    for (char letter : std::string("ABCDE")) {
      Target t;
      t.Text = std::string(1, letter);
      t.Starts.push_back(Occurrence{});
      s.Targets.push_back(t);
    }
    s.CurrentTarget = 2;
    EXPECT_EQ(s.DeleteTargets(ctx, c.first, c.last), c.deleted) << c.first << ".." << c.last;
    std::string left;
    for (const Target& t : s.Targets) left += t.Text;
    EXPECT_EQ(left, c.left) << c.first << ".." << c.last;
    EXPECT_EQ(s.CurrentTarget, c.deleted ? -1 : 2);
    if (c.deleted) {
      EXPECT_EQ(s.Status, WordListStatusText(ctx.Language, left.size(), left.size()));
    }
  }
}

}  // namespace
}  // namespace kalix
