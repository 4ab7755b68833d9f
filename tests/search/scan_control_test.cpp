// A long scan is followed and stopped from outside, block by block: the
// bytes counted add up to the text once whatever the scan does (a cut text,
// contexts scanned again, a corpus), the result is untouched when nothing
// stops it, and a stop ends the scan within a block of where it was asked.
#include "app/RunSearch.h"
#include "app/WordList.h"
#include "document/Document.h"
#include "document/Reader.h"
#include "search/Engine.h"
#include "search/ScanControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace kalix {
namespace {

Context TestContext() {
  Context ctx;
  ctx.Rules.SeparatorClass[' '] = kWordSeparator;
  ctx.Rules.SeparatorClass['.'] = kSentenceSeparator;
  ctx.Rules.SeparatorClass['\n'] = kParagraphSeparator;
  return ctx;
}

// About 2.3 MB: 33 to 35 bytes a line, each line a paragraph with one CHAT.
std::string LongText() {
  std::string text;
  for (int k = 0; text.size() < 2 * kScanBlock + kScanBlock / 3; ++k) {
    text += "le chat dort. le chien veille. ";
    text += std::to_string(k % 1000);
    text += "\n";
  }
  return text;
}

constexpr size_t kLineBytes = 33;  // the shortest line

SearchRequest Request(const Document& doc, bool allStrings, bool parallel) {
  SearchRequest r;
  r.Strings.emplace_back("chat");
  if (allStrings) r.Strings.emplace_back("chien");
  r.Settings.SetSpelling(1);
  r.Settings.Context = static_cast<int16_t>(allStrings ? 3 : 0);
  r.Settings.AllStrings = allStrings;
  r.Settings.SetResult(true, 1, true);
  r.Settings.Level = 1;
  r.WindowDocument = &doc;
  r.Parallel = parallel;
  return r;
}

// Stops the scan once it has taken `limit` hits.
class StoppingSink final : public HitSink {
 public:
  StoppingSink(std::atomic<bool>& stop, size_t limit) : stop_(stop), limit_(limit) {}
  void AddTarget(const PendingHit&, int32_t) override {
    if (++hits == limit_) stop_ = true;
  }
  void CloseOccurrences(int32_t, int) override {}
  size_t hits = 0;

 private:
  std::atomic<bool>& stop_;
  size_t limit_;
};

TEST(ScanControl, SearchCountsEveryByteOnceAndStopsWithinABlock) {
  const Context ctx = TestContext();
  Document doc;
  ReadDocument(ctx.Rules, LongText(), doc);
  const size_t size = doc.Text().size();
  size_t lines = 0;  // one CHAT each
  for (size_t at = doc.Text().find("chat"); at != std::string_view::npos; at = doc.Text().find("chat", at + 1)) {
    ++lines;
  }

  // Whole runs: one scan, a cut text on two threads, contexts probed and
  // scanned again. The count is the text once, the result the plain one.
  for (bool allStrings : {false, true}) {
    for (bool parallel : {false, true}) {
      SCOPED_TRACE(testing::Message() << "allStrings " << allStrings << " parallel " << parallel);
      const SearchResult plain = RunSearch(ctx, Request(doc, allStrings, parallel));
      std::atomic<uint64_t> scanned{0};
      std::atomic<bool> stop{false};
      SearchRequest followed = Request(doc, allStrings, parallel);
      followed.Scanned = &scanned;
      followed.Stop = &stop;
      const SearchResult result = RunSearch(ctx, followed);
      EXPECT_EQ(scanned.load(), size);
      EXPECT_EQ(result.Status, plain.Status);
      EXPECT_GE(plain.OccurrenceCount, lines);

      // Stopped before it starts: the first block of each part (and the
      // rest of the line where the block ends).
      stop = true;
      scanned = 0;
      const SearchResult stopped = RunSearch(ctx, followed);
      EXPECT_LE(scanned.load(), 2 * (kScanBlock + kLineBytes));
      EXPECT_GT(stopped.OccurrenceCount, 0u);
      EXPECT_LE(stopped.OccurrenceCount, 2 * (kScanBlock / kLineBytes + 2) * (allStrings ? 2 : 1));
    }
  }

  // Stopped in the middle by its own sink: the scan says so and ends within
  // a block.
  SearchRequest one = Request(doc, false, false);
  PrepareKeys(ctx.Rules, one.Settings, one.Strings);
  const SearchPlan plan(ctx.Rules, one.Settings, one.Strings, {});
  for (size_t limit : {size_t{1}, lines / 2}) {
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> scanned{0};
    StoppingSink sink(stop, limit);
    EXPECT_FALSE(SearchDocument(plan, doc.Text(), sink, ScanControl{&stop, &scanned}));
    EXPECT_LE(sink.hits, limit + kScanBlock / kLineBytes + 2);
    EXPECT_LT(scanned.load(), size);
  }
  std::atomic<bool> never{false};
  StoppingSink all(never, 0);
  EXPECT_TRUE(SearchDocument(plan, doc.Text(), all, ScanControl{&never, nullptr}));
  EXPECT_GE(all.hits, lines);
}

TEST(ScanControl, WordListCountsEveryByteOnceAndStops) {
  const Context ctx = TestContext();
  Document doc;
  ReadDocument(ctx.Rules, LongText(), doc);
  const size_t size = doc.Text().size();
  SearchSettings settings;
  settings.FromWordList = true;
  settings.ResultSpelling = 2;

  const WordListCounts plain = CountWordList(ctx, settings, {}, doc, {});
  std::atomic<uint64_t> scanned{0};
  std::atomic<bool> stop{false};
  CorpusReading reading;
  reading.Scanned = &scanned;
  reading.Stop = &stop;

  const WordListCounts counted = CountWordList(ctx, settings, {}, doc, {}, reading);
  EXPECT_EQ(counted.Occurrences, plain.Occurrences);
  EXPECT_EQ(scanned.load(), size);
  scanned = 0;
  cTargetList listed = RunWordList(ctx, settings, {}, doc, {}, reading);
  EXPECT_EQ(ShowWordListResult(ctx.Language, listed),
            WordListStatusText(ctx.Language, plain.Targets, plain.Occurrences));
  EXPECT_EQ(scanned.load(), size);

  // Stopped: one block at most, about 8 words in every 36 bytes.
  stop = true;
  scanned = 0;
  const WordListCounts stoppedCount = CountWordList(ctx, settings, {}, doc, {}, reading);
  EXPECT_LE(scanned.load(), kScanBlock);
  EXPECT_LT(stoppedCount.Occurrences, plain.Occurrences / 2);
  scanned = 0;
  cTargetList stoppedList = RunWordList(ctx, settings, {}, doc, {}, reading);
  EXPECT_LE(scanned.load(), kScanBlock);
  size_t occurrences = 0;
  for (const auto& target : stoppedList) occurrences += target.Starts.size();
  EXPECT_GT(occurrences, 0u);
  EXPECT_LT(occurrences, plain.Occurrences / 2);
}

}  // namespace
}  // namespace kalix
