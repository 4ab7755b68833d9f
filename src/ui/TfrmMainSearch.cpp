// The main window's search and word-list commands: the dialogs, the
// session's search or word list run on a second thread while the window
// stays alive (ui/BackgroundRun.h), and the result: status line, grid and red
// highlights of the visible part of the document view.

#include "app/Settings.h"
#include "app/WindowSession.h"
#include "app/WordList.h"
#include "document/ViewIndex.h"
#include "platform/Cp1252.h"
#include "targets/DocumentRef.h"
#include "ui/BackgroundRun.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"
#include "ui/TfrmMorva.h"
#include "ui/TfrmWord.h"

#include <QAction>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <optional>

namespace kalix::ui {

std::function<bool(cArrowList&, const std::vector<std::string>&)> TfrmMain::ReviewVariants =
    [](cArrowList& strings, const std::vector<std::string>& boundedTexts) {
      return TheMorvaDialog().Review(strings, boundedTexts);
    };
std::function<void()> TfrmMain::BeforeBackgroundWork;

namespace {

// The window's answers to the session's questions before a search runs: the
// generated variants are reviewed (by default in the generated-variants
// dialog, which counts each variant in what the search will read).
class VariantReviewPort : public SessionPort {
 public:
  VariantReviewPort(const Shell& shell, const WindowSession& session, const SearchSettings& settings)
      : shell_(shell), session_(session), settings_(settings) {}
  bool ReviewVariants(cArrowList& strings, const std::vector<std::string>& boundedTexts) override {
    const SearchSettings& settings = settings_;
    MorvaCountSource counts{settings, session_.Filters, nullptr, {}};
    if (settings.UseCorpus) {
      counts.Corpus = shell_.Ctx.Corpus.Entries;
    } else if (session_.HasDocument()) {
      auto doc = std::make_shared<Document>();
      doc->text = session_.Doc.text;
      counts.Doc = std::move(doc);
    }
    TheMorvaDialog().SetCountSource(std::move(counts));
    return TfrmMain::ReviewVariants(strings, boundedTexts);
  }
  void Unreadable(const std::string&, const std::string&) override {}
  void Progress(size_t, size_t, const std::string&) override {}
  const std::atomic<bool>* StopFlag() override { return nullptr; }

 private:
  const Shell& shell_;
  const WindowSession& session_;
  const SearchSettings& settings_;
};

// The progress dialog's text before the first corpus document: the
// document's file name, or nothing for a corpus.
QString WhatIsRead(const SessionRun& run) {
  return DisplayPath(run.Settings.UseCorpus || !run.Doc ? std::string() : FileNameOf(run.Doc->path));
}

}  // namespace

void TfrmMain::StartRun(const std::shared_ptr<BackgroundRun>& run, const QString& what,
                        std::function<void(bool)> then) {
  SearchRunning = true;
  ui::StartInBackground(this, run, what, ProgressDelayMs, BeforeBackgroundWork, AbandonedRuns,
                        [this, then = std::move(then)](bool done) {
                          SearchRunning = false;
                          then(done);
                        });
}

void TfrmMain::WaitForRun() {
  if (!SearchRunning) return;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
    if (!SearchRunning) loop.quit();
  });
  poll.start(5);
  loop.exec();
}

bool TfrmMain::AskForSearch() {
  const Context& ctx = shell_.Ctx;
  TfrmFind& dialog = TheFindDialog();
  TfrmFind::Attachment a;
  a.Strings = &ArrowList;
  a.Filters = &FilterList;
  a.ThesaurusWords = &ThesaurusList.Entries;
  a.ThesaurusOpen = ThesaurusList.Open;
  a.CorpusOpen = ctx.Corpus.Open;
  a.WindowHasDocument = !Doc.path.empty();
  a.MaxLevel = ctx.Morva.MaxLevel;
  dialog.Attach(a);
  return CurrentDialogs().Exec(&dialog) == QDialog::Accepted;
}

void TfrmMain::RunSearch() {
  if (SearchRunning) return;
  const Context& ctx = shell_.Ctx;

  // The dialog, attached to this window's lists.
  cFilterList previousFilters = FilterList;
  if (!AskForSearch()) return;
  // The keys and the generated variants, reviewed.
  const SearchSettings settings = TheFindDialog().ChosenSettings();
  VariantReviewPort port(shell_, session_, settings);
  std::optional<SessionRun> job = session_.PrepareSearch(ctx, settings, std::move(previousFilters), port);
  if (!job) return;

  // The scan, on a second thread, from copies.
  auto run = std::make_shared<BackgroundRun>();
  run->Job = std::move(*job);
  StartRun(run, WhatIsRead(run->Job), [this, run](bool done) {
    if (!done) {
      // Cancelled: the targets, status line and settings stay as they were.
      session_.Abandon(run->Job);
      return;
    }
    ApplyRun(run->Job);
  });
}

void TfrmMain::RunWordList() {
  if (SearchRunning) return;
  const Context& ctx = shell_.Ctx;

  TfrmWord& dialog = TheWordDialog();
  cFilterList previousFilters = FilterList;
  dialog.Attach(&FilterList, session_.HasDocument(), ctx.Corpus.Open);
  if (CurrentDialogs().Exec(&dialog) != QDialog::Accepted) return;

  auto run = std::make_shared<BackgroundRun>();
  run->Job = session_.PrepareWordList(ctx, dialog.Choice(), std::move(previousFilters));
  StartRun(run, WhatIsRead(run->Job), [this, run](bool done) {
    if (!done) {
      session_.Abandon(run->Job);
      return;
    }
    ApplyRun(run->Job);
  });
}

// The old result goes; a corpus run closes the window's document.
void TfrmMain::ApplyRun(SessionRun& run) {
  ResetTargetView(true);
  if (run.Settings.UseCorpus) CloseDocument();
  const bool search = run.What == SessionRun::Kind::Search;
  const bool withDocument = run.Doc != nullptr;
  std::vector<std::pair<int32_t, int32_t>> spans = std::move(run.Spans);
  const int32_t longest = run.Longest;
  session_.Apply(std::move(run));
  if (!search) {
    ShowWordListResult(session_.Status);
  } else if (withDocument) {
    ShowSearchResult(session_.Status, std::move(spans), longest);
  } else {
    ShowSearchResult(session_.Status);
  }
}

void TfrmMain::ShowSearchResult(const std::string& status) {
  ShowWordListResult(status);
  HighlightTargets();
}

void TfrmMain::ShowSearchResult(const std::string& status, std::vector<std::pair<int32_t, int32_t>> spans,
                                int32_t longest) {
  ShowWordListResult(status);
  ShowHighlights(std::move(spans), longest);
}

// The status line and the grid of a new result, sorted by text; a word list
// shows no highlights until a target is chosen.
void TfrmMain::ShowWordListResult(const std::string& status) {
  statusLine_->SetText(FromCp1252(status));
  session_.Status = status;
  session_.Order = GridOrder::TextUp;
  session_.CurrentTarget = -1;
  RefillGrid(static_cast<int32_t>(TargetList.size()));
  ShowSortOrder(static_cast<int>(session_.Order), false);
}

void TfrmMain::HighlightTargets() { HighlightShownTargets(-1); }

void TfrmMain::HighlightShownTargets(int32_t onlyTarget) {
  std::vector<std::pair<int32_t, int32_t>> spans;
  int32_t longest = 0;
  if (!Doc.path.empty()) {
    longest = OccurrenceSpans(TargetList, onlyTarget >= 0 ? static_cast<size_t>(onlyTarget) : 0,
                              onlyTarget >= 0 ? 1 : TargetList.size(), MakeDocumentRef(Doc.path), Mapping.Index(),
                              spans);
  }
  ShowHighlights(std::move(spans), longest);
}

void TfrmMain::ShowHighlights(std::vector<std::pair<int32_t, int32_t>> spans, int32_t longest) {
  documentPane_->ShowHighlights(std::move(spans), longest);
}

void TfrmMain::UpdateVisibleHighlights() { documentPane_->UpdateVisibleHighlights(); }

}  // namespace kalix::ui
