// What one main window holds and does, without any widget: its document,
// search strings, filters, options, targets in the grid's order, the current
// target and occurrence, the status line, and the commands on them (search,
// word list, sort, step through occurrences, delete rows, report).
//
// Searches and word lists go through the same core steps as kalix-cli
// (app/RunSearch.h, app/WordList.h). A run is split in three so that a
// window can do the long part on another thread:
//   PrepareSearch / PrepareWordList / PrepareRepeat  (this thread: the keys,
//       the variant review; the run takes copies of what it reads)
//   SessionRun::Work                                 (any thread)
//   Apply (the result becomes the session's) or Abandon (cancelled).
// `Search` and `WordList` do the three at once.
//
// The session asks its questions through a `SessionPort`, which a window
// answers with dialogs and tests answer from a script.
//
// Target and occurrence numbers are 0-based.
#pragma once

#include "app/WordList.h"
#include "context/Context.h"
#include "document/Document.h"
#include "document/ViewIndex.h"
#include "rules/Filters.h"
#include "search/SearchSpec.h"
#include "targets/ExportRows.h"
#include "targets/ExportTable.h"
#include "targets/Report.h"
#include "targets/Target.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalix {

// The grid's order: by number of occurrences or by text, either way.
enum class GridOrder : int16_t { CountUp = 0, CountDown = 1, TextUp = 2, TextDown = 3 };

// The same column clicked again: the other direction of it.
GridOrder NextOrder(GridOrder current, bool byText);

// A move through the current target's occurrences.
enum class OccurrenceStep { Show, First, Previous, Next, Last };

// The questions a session asks while it works.
class SessionPort {
 public:
  virtual ~SessionPort() = default;
  // The strings with their generated variants, for review (`boundedTexts`:
  // the strings whose generation stopped at its bound); the port may add,
  // remove and reorder strings. False: cancelled.
  virtual bool ReviewVariants(cArrowList& strings, const std::vector<std::string>& boundedTexts) = 0;
  // A corpus document that cannot be read (it is skipped): its path and the
  // reader's message. Called on the thread that runs the work.
  virtual void Unreadable(const std::string& path, const std::string& message) = 0;
  // Before each corpus document: its place (0-based), the count, its path.
  // Called on the thread that runs the work.
  virtual void Progress(size_t index, size_t count, const std::string& path) = 0;
  // The flag that, once set from any thread, ends the work early (null:
  // the work always runs to its end).
  virtual const std::atomic<bool>* StopFlag() = 0;
  // The counter of bytes scanned so far, added to as the work goes, every
  // block of each document (null: not counted).
  virtual std::atomic<uint64_t>* ScannedBytes() { return nullptr; }
};

// A port that confirms the variants as generated (sorted by key, as
// kalix-cli searches), ignores progress and never stops; unreadable
// documents are counted.
class QuietPort : public SessionPort {
 public:
  bool ReviewVariants(cArrowList& strings, const std::vector<std::string>& boundedTexts) override;
  void Unreadable(const std::string& path, const std::string& message) override;
  void Progress(size_t, size_t, const std::string&) override {}
  const std::atomic<bool>* StopFlag() override { return nullptr; }
  size_t UnreadableCount = 0;
};

// One search or word list, on copies of what it reads so that the session
// may change meanwhile (and `Work` may run on any thread).
struct SessionRun {
  enum class Kind { Search, WordList };
  Kind What = Kind::Search;
  // Input.
  Context Ctx;
  SearchSettings Settings;
  cArrowList Strings;
  cFilterList Filters;
  std::shared_ptr<const Document> Doc;  // the window's document, when it is read
  std::vector<std::string> Corpus;      // with Settings.UseCorpus
  // Output.
  cTargetList Targets;
  std::string Status;
  // The occurrences of a search of the window's document, as (position in
  // the document's text as shown, length) by position, and the longest.
  std::vector<std::pair<int32_t, int32_t>> Spans;
  int32_t Longest = 0;
  bool Done = false;

  // The work: reads the copies above, fills the output.
  void Work(SessionPort& port);

 private:
  friend class WindowSession;
  void Append(cTargetList&& found);
  cFilterList previousFilters_;  // the session's filters before its dialog
};

// The occurrences of the targets of one document (those without a document
// reference, or with `ref`) as (position in the text as shown, length), by
// position, without empty ones; returns the longest length.
// `index` maps the document's positions as shown to text offsets; the spans
// are in text offsets. `first` and `count` choose the targets.
int32_t OccurrenceSpans(const cTargetList& targets, size_t first, size_t count, const std::string& ref,
                        const ViewIndex& index, std::vector<std::pair<int32_t, int32_t>>& spans);

class WindowSession {
 public:
  // --- what the window holds ---
  Document Doc;                        // the displayed document (empty path: none)
  cArrowList Strings;                  // the search strings
  cFilterList Filters;                 // the patterns of the checked filters
  SearchSettings Settings;             // the options of the last search or word list
  cTargetList Targets;                 // the result, in the grid's order
  GridOrder Order = GridOrder::CountUp;
  int32_t CurrentTarget = -1;          // -1: none
  std::string Status;                  // the status line (CP1252)

  bool HasDocument() const { return !Doc.path.empty(); }
  // Opens `path` as the session's document (false, with the reader's
  // message, when it cannot be read: the session then has no document).
  bool OpenDocument(const Context& context, const std::string& path, std::string* message);
  void CloseDocument();

  // --- search and word list ---
  // `chosen`: the search dialog's options; the strings and filters are the
  // session's as the dialog left them, `previousFilters` those before it
  // (restored when the run is cancelled). Computes the keys and has the
  // generated variants reviewed; nothing when the review is cancelled (the
  // options are taken, the temporary strings removed).
  std::optional<SessionRun> PrepareSearch(const Context& context, const SearchSettings& chosen,
                                          cFilterList previousFilters, SessionPort& port);
  // The word-list dialog's choice, on the session's filters.
  SessionRun PrepareWordList(const Context& context, const WordListChoice& choice, cFilterList previousFilters);
  // The last search or word list of `from`, run again on this session's
  // document (another window showing one document of a corpus result).
  SessionRun PrepareRepeat(const Context& context, const WindowSession& from) const;
  // The run's result becomes the session's: targets sorted by text, no
  // current target, its status line; a corpus run closes the document.
  void Apply(SessionRun&& run);
  // A cancelled run: the temporary strings go, the filters are as before
  // the dialog; targets, status line and options stay.
  void Abandon(SessionRun& run);
  // The three steps at once, on this thread; false when cancelled.
  bool Search(const Context& context, const SearchSettings& chosen, SessionPort& port);
  bool WordList(const Context& context, const WordListChoice& choice, SessionPort& port);

  // --- the grid ---
  // Sorts the targets (and keeps the order); no target is current after.
  void Sort(GridOrder order, bool byDocument);
  // Makes `target` current (false when out of range).
  bool SelectTarget(int32_t target);
  const Target* Current() const;
  // The current target's current occurrence (-1: none).
  int32_t CurrentOccurrence() const;
  // Moves through the current target's occurrences; returns the occurrence
  // now current (-1: no current target).
  int32_t Step(OccurrenceStep step);
  // Whether the current target's occurrences can be shown here: it belongs
  // to no document or to the session's.
  bool CurrentIsShownHere() const;
  // Removes targets first..last (clamped); the status line counts anew.
  // False when no target was in the range.
  bool DeleteTargets(const Context& context, int32_t first, int32_t last);
  // The rows first..last as the clipboard takes them: count TAB text, one
  // a line (no final line feed).
  std::string TargetsText(int32_t first, int32_t last) const;
  // The target and occurrence at `view` (a position in the text as shown)
  // become current; false when no occurrence covers it.
  bool LocateAt(int32_t view);
  // The status line of what is left (after rows were deleted, say).
  std::string StatusText(const Context& context) const;

  // --- export ---
  // The result as a table: a word list's words, or a search's occurrences
  // (documents of a corpus result are read for their texts; one that cannot
  // be read is told to `onError`).
  ExportTable ResultTable(const Context& context, const ReportDocumentError& onError = {}) const;
  // The table written to `path` in `format` (never half-written).
  ExportStatus Export(const Context& context, const std::string& path, ExportFormat format,
                      const ReportDocumentError& onError = {}, const ExportProgress& progress = {}) const;

  // --- the report ---
  // The report text; documents that cannot be read for extracts are told
  // to `onError`. Reads corpus documents: may take a while.
  std::string Report(const Context& context, const std::vector<std::string>& corpusEntries,
                     const ReportOptions& options, const ReportDocumentError& onError = {}) const;
  // The report written to its file (appended or not); false when the file
  // cannot be written.
  bool SaveReport(const Context& context, const std::vector<std::string>& corpusEntries,
                  const ReportOptions& options, const ReportDocumentError& onError = {}) const;

 private:
  std::shared_ptr<const Document> DocumentCopy() const;
  SessionRun NewRun(const Context& context, SessionRun::Kind kind, const SearchSettings& settings,
                    cFilterList previousFilters) const;
};

}  // namespace kalix
