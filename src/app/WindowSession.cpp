#include "app/WindowSession.h"

#include "app/RunSearch.h"
#include "document/Reader.h"
#include "search/Engine.h"
#include "targets/DocumentRef.h"
#include "targets/SearchStatus.h"
#include "targets/Sorting.h"

#include <algorithm>

namespace kalix {

GridOrder NextOrder(GridOrder current, bool byText) {
  if (byText) return current == GridOrder::TextUp ? GridOrder::TextDown : GridOrder::TextUp;
  return current == GridOrder::CountUp ? GridOrder::CountDown : GridOrder::CountUp;
}

bool QuietPort::ReviewVariants(cArrowList& strings, const std::vector<std::string>&) {
  SortStringsByKey(strings);
  return true;
}

void QuietPort::Unreadable(const std::string&, const std::string&) { ++UnreadableCount; }

int32_t OccurrenceSpans(const cTargetList& targets, size_t first, size_t count, const std::string& ref,
                        const ViewIndex& index, std::vector<std::pair<int32_t, int32_t>>& spans) {
  spans.clear();
  first = std::min(first, targets.size());
  const size_t end = first + std::min(count, targets.size() - first);
  const auto here = [&ref](const Target& t) { return t.DocumentRef.empty() || t.DocumentRef == ref; };
  size_t total = 0;
  for (size_t n = first; n < end; ++n) {
    if (here(targets[n])) total += targets[n].Starts.size();
  }
  spans.reserve(total);
  for (size_t n = first; n < end; ++n) {
    if (!here(targets[n])) continue;
    for (const Occurrence& o : targets[n].Starts) spans.emplace_back(o.StartView, o.ViewLength);
  }
  // In view order, then converted: both ends in one walk of the index's
  // neighbourhood.
  std::sort(spans.begin(), spans.end());
  int32_t longest = 0;
  for (auto& [start, length] : spans) {
    const int32_t from = index.OffsetOfView(start);
    const int32_t to = index.OffsetOfView(start + length);
    start = from;
    length = std::max(0, to - from);
    longest = std::max(longest, length);
  }
  std::erase_if(spans, [](const std::pair<int32_t, int32_t>& s) { return s.second == 0; });
  return longest;
}

// The targets found join those the run starts with (none, but for a run
// repeated in a window that holds targets already).
void SessionRun::Append(cTargetList&& found) {
  if (Targets.empty()) {
    Targets = std::move(found);
    return;
  }
  for (Target& t : found) Targets.push_back(std::move(t));
}

void SessionRun::Work(SessionPort& port) {
  static const Document kNone;
  const std::atomic<bool>* stop = port.StopFlag();
  const auto unreadable = [&port](const std::string& path, const std::string& message) {
    port.Unreadable(path, message);
  };
  const auto progress = [&port](size_t i, size_t n, const std::string& path) { port.Progress(i, n, path); };
  if (What == Kind::WordList) {
    CorpusReading reading;
    reading.OnUnreadable = unreadable;
    reading.OnProgress = progress;
    reading.Stop = stop;
    reading.Scanned = port.ScannedBytes();
    cTargetList found = RunWordList(Ctx, Settings, Filters, Doc ? *Doc : kNone, Corpus, reading);
    Append(std::move(found));
    Status = ShowWordListResult(Ctx.Language, Targets);
  } else {
    SearchRequest source;
    source.WindowDocument = Doc.get();
    source.Corpus = Corpus;
    source.OnUnreadable = unreadable;
    source.OnProgress = progress;
    source.Stop = stop;
    source.Scanned = port.ScannedBytes();
    Append(ScanForTargets(Ctx, Settings, Strings, Filters, source, nullptr));
    Status = FinishSearch(Ctx, Settings, Strings, Targets);
    if (Doc) {
      const std::string ref = Doc->path.empty() ? std::string() : MakeDocumentRef(Doc->path);
      Longest = OccurrenceSpans(Targets, 0, Targets.size(), ref, ViewIndex(Doc->Text()), Spans);
    }
  }
  Done = true;
}

bool WindowSession::OpenDocument(const Context& context, const std::string& path, std::string* message) {
  if (LoadScratchDocument(context, Doc, path, message)) return true;
  CloseDocument();
  return false;
}

void WindowSession::CloseDocument() { kalix::CloseDocument(Doc); }

// A copy for a run: the window may change its document while the run works.
std::shared_ptr<const Document> WindowSession::DocumentCopy() const {
  auto doc = std::make_shared<Document>();
  doc->path = Doc.path;
  doc->text = Doc.text;
  doc->marks = Doc.marks;
  return doc;
}

SessionRun WindowSession::NewRun(const Context& context, SessionRun::Kind kind, const SearchSettings& settings,
                                 cFilterList previousFilters) const {
  SessionRun run;
  run.What = kind;
  run.Ctx = context;
  run.Settings = settings;
  run.Filters = Filters;
  run.previousFilters_ = std::move(previousFilters);
  if (settings.UseCorpus) {
    run.Corpus = context.Corpus.Entries;
  } else if (HasDocument() || kind == SessionRun::Kind::WordList) {
    run.Doc = DocumentCopy();
  }
  return run;
}

std::optional<SessionRun> WindowSession::PrepareSearch(const Context& context, const SearchSettings& chosen,
                                                       cFilterList previousFilters, SessionPort& port) {
  PrepareKeys(context.Rules, chosen, Strings);
  if (chosen.Generate) {
    std::vector<size_t> bounded;
    ExpandGenerated(context.Morva, Strings, chosen.Level, &bounded);
    std::vector<std::string> boundedTexts;
    for (size_t n : bounded) boundedTexts.push_back(Strings[n].Text);
    if (!port.ReviewVariants(Strings, boundedTexts)) {
      RemoveTemporaryStrings(Strings);
      Settings = chosen;  // the options were taken; nothing else changes
      return std::nullopt;
    }
  }
  SessionRun run = NewRun(context, SessionRun::Kind::Search, chosen, std::move(previousFilters));
  run.Strings = Strings;
  return run;
}

SessionRun WindowSession::PrepareWordList(const Context& context, const WordListChoice& choice,
                                          cFilterList previousFilters) {
  SearchSettings settings = Settings;
  ApplyWordListChoice(settings, choice, context.Corpus.Open, HasDocument());
  SessionRun run = NewRun(context, SessionRun::Kind::WordList, settings, std::move(previousFilters));
  run.Strings = Strings;
  return run;
}

SessionRun WindowSession::PrepareRepeat(const Context& context, const WindowSession& from) const {
  // The other window's options, but this window's generation and its own
  // document.
  SearchSettings settings = from.Settings;
  settings.Generate = Settings.Generate;
  settings.Level = Settings.Level;
  settings.UseCorpus = false;
  SessionRun run;
  run.What = from.Settings.FromWordList ? SessionRun::Kind::WordList : SessionRun::Kind::Search;
  run.Ctx = context;
  run.Settings = settings;
  run.Strings = from.Strings;
  run.Filters = from.Filters;
  run.Targets = Targets;  // the targets this window holds stay, the new ones join them
  run.previousFilters_ = Filters;
  run.Doc = DocumentCopy();
  return run;
}

void WindowSession::Apply(SessionRun&& run) {
  if (run.Settings.UseCorpus) CloseDocument();
  Settings = run.Settings;
  Filters = std::move(run.Filters);
  Strings = std::move(run.Strings);
  Targets = std::move(run.Targets);
  Status = std::move(run.Status);
  Order = GridOrder::TextUp;
  CurrentTarget = -1;
}

void WindowSession::Abandon(SessionRun& run) {
  if (run.What == SessionRun::Kind::Search) RemoveTemporaryStrings(Strings);
  Filters = std::move(run.previousFilters_);
}

bool WindowSession::Search(const Context& context, const SearchSettings& chosen, SessionPort& port) {
  std::optional<SessionRun> run = PrepareSearch(context, chosen, Filters, port);
  if (!run) return false;
  run->Work(port);
  const std::atomic<bool>* stop = port.StopFlag();
  if (stop && stop->load()) {
    Abandon(*run);
    return false;
  }
  Apply(std::move(*run));
  return true;
}

bool WindowSession::WordList(const Context& context, const WordListChoice& choice, SessionPort& port) {
  SessionRun run = PrepareWordList(context, choice, Filters);
  run.Work(port);
  const std::atomic<bool>* stop = port.StopFlag();
  if (stop && stop->load()) {
    Abandon(run);
    return false;
  }
  Apply(std::move(run));
  return true;
}

void WindowSession::Sort(GridOrder order, bool byDocument) {
  SortTargets(Targets, static_cast<int>(order), byDocument);
  Order = order;
  CurrentTarget = -1;
}

bool WindowSession::SelectTarget(int32_t target) {
  if (target < 0 || target >= static_cast<int32_t>(Targets.size())) return false;
  CurrentTarget = target;
  return true;
}

const Target* WindowSession::Current() const {
  if (CurrentTarget < 0 || CurrentTarget >= static_cast<int32_t>(Targets.size())) return nullptr;
  return &Targets[static_cast<size_t>(CurrentTarget)];
}

int32_t WindowSession::CurrentOccurrence() const {
  const Target* t = Current();
  if (!t || t->CurrentStart < 0 || t->CurrentStart >= static_cast<int32_t>(t->Starts.size())) return -1;
  return t->CurrentStart;
}

int32_t WindowSession::Step(OccurrenceStep step) {
  if (!Current()) return -1;
  Target& target = Targets[static_cast<size_t>(CurrentTarget)];
  const int32_t count = static_cast<int32_t>(target.Starts.size());
  int32_t i = target.CurrentStart;
  switch (step) {
    case OccurrenceStep::First: i = 0; break;
    case OccurrenceStep::Previous: if (i > 0) --i; break;
    case OccurrenceStep::Next: if (i < count - 1) ++i; break;
    case OccurrenceStep::Last: i = count - 1; break;
    case OccurrenceStep::Show: break;
  }
  target.CurrentStart = i;
  return i;
}

bool WindowSession::CurrentIsShownHere() const {
  const Target* t = Current();
  if (!t) return false;
  if (t->DocumentRef.empty()) return HasDocument();
  return DocumentRefPath(t->DocumentRef) == Doc.path;
}

bool WindowSession::DeleteTargets(const Context& context, int32_t first, int32_t last) {
  first = std::max(first, 0);
  last = std::min(last, static_cast<int32_t>(Targets.size()) - 1);
  if (last < first) return false;
  Targets.erase(Targets.begin() + first, Targets.begin() + last + 1);
  CurrentTarget = -1;
  Status = StatusText(context);
  return true;
}

std::string WindowSession::TargetsText(int32_t first, int32_t last) const {
  std::string text;
  for (int32_t r = std::max(first, 0); r <= last && r < static_cast<int32_t>(Targets.size()); ++r) {
    const Target& t = Targets[static_cast<size_t>(r)];
    text += std::to_string(t.Starts.size());
    text += '\t';
    text += t.Text;
    text += '\n';
  }
  if (!text.empty()) text.pop_back();
  return text;
}

bool WindowSession::LocateAt(int32_t view) {
  for (size_t t = 0; t < Targets.size(); ++t) {
    Target& target = Targets[t];
    for (size_t k = 0; k < target.Starts.size(); ++k) {
      const Occurrence& o = target.Starts[k];
      if (o.StartView <= view && view < o.StartView + o.ViewLength) {
        target.CurrentStart = static_cast<int32_t>(k);
        CurrentTarget = static_cast<int32_t>(t);
        return true;
      }
    }
  }
  return false;
}

std::string WindowSession::StatusText(const Context& context) const {
  return ResultStatusText(context, Settings, Strings, Targets);
}

ExportTable WindowSession::ResultTable(const Context& context, const ReportDocumentError& onError) const {
  if (Settings.FromWordList) return WordListTable(Targets);
  return OccurrenceTable(context, ExportSource{Settings, Strings, Targets, Doc}, OccurrenceExportOptions{}, onError);
}

ExportStatus WindowSession::Export(const Context& context, const std::string& path, ExportFormat format,
                                   const ReportDocumentError& onError, const ExportProgress& progress) const {
  ExportTable table = ResultTable(context, onError);
  return SaveTable(path, format, table, progress);
}

std::string WindowSession::Report(const Context& context, const std::vector<std::string>& corpusEntries,
                                  const ReportOptions& options, const ReportDocumentError& onError) const {
  const ReportSource source{Settings, Strings, Targets, Doc, corpusEntries};
  std::string report;
  WriteReport(context, source, options, report, onError);
  return report;
}

bool WindowSession::SaveReport(const Context& context, const std::vector<std::string>& corpusEntries,
                               const ReportOptions& options, const ReportDocumentError& onError) const {
  return SaveReportText(options.OutputFile, Report(context, corpusEntries, options, onError), options.Append);
}

}  // namespace kalix
