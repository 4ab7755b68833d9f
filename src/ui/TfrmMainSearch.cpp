// The main window's search and word-list commands: the dialogs, the core's
// search or word list run on a second thread while the window stays alive
// (with a progress dialog and Cancel for long runs), and the result: status
// line, grid and red highlights of the visible part of the document view.

#include "app/RunSearch.h"
#include "app/Settings.h"
#include "app/WordList.h"
#include "document/Reader.h"
#include "document/ViewIndex.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "search/Engine.h"
#include "targets/DocumentRef.h"
#include "targets/SearchStatus.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmMorva.h"
#include "ui/TfrmWord.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <span>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace kalix::ui {

// One search or word list run on a second thread: what it reads (copies,
// so that nothing the window or the program changes meanwhile reaches it),
// what it gives, and its exchange with the window's thread.
struct BackgroundRun {
  // Input.
  Context Ctx;
  SearchSettings Settings;
  cArrowList Strings;
  cFilterList Filters;
  std::shared_ptr<const Document> Doc;  // the window's document (text and marks)
  std::vector<std::string> Corpus;
  // Output.
  cTargetList Targets;
  std::string Status;
  // The occurrences to colour in the window's document (a search of it).
  std::vector<std::pair<int32_t, int32_t>> Spans;
  int32_t Longest = 0;
  // The work, run on the second thread.
  std::function<void(BackgroundRun&)> Work;

  // Exchange, under `mutex`.
  std::mutex mutex;
  QEventLoop* loop = nullptr;  // quit when the work ends
  bool done = false;
  bool failed = false;
  size_t index = 0, count = 0;  // the corpus document being read
  std::string path;
  std::deque<std::string> unreadable;  // the reader's messages on corpus documents it cannot open
  std::atomic<bool> cancelled{false};
  std::thread thread;

  void Progress(size_t i, size_t n, const std::string& p) {
    std::lock_guard<std::mutex> lock(mutex);
    index = i;
    count = n;
    path = p;
  }
  void Unreadable(const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex);
    unreadable.push_back(message);
  }
  bool Done() {
    std::lock_guard<std::mutex> lock(mutex);
    return done;
  }
  ~BackgroundRun() {
    if (thread.joinable()) thread.join();
  }
};

std::function<bool(cArrowList&, const std::vector<std::string>&)> TfrmMain::ReviewVariants =
    [](cArrowList& strings, const std::vector<std::string>& boundedTexts) {
      return TheMorvaDialog().Review(strings, boundedTexts);
    };
std::function<void()> TfrmMain::BeforeBackgroundWork;

namespace {

// Keeps the user's input away from one window while its search runs and no
// progress dialog shows yet (the dialog then blocks the window itself); the
// window still repaints, scrolls and moves.
class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride: {
        auto* w = qobject_cast<QWidget*>(watched);
        return w && w->window() == window_;
      }
      case QEvent::Shortcut:
        return QApplication::activeWindow() == window_;
      case QEvent::Close:
        if (watched == window_) {
          event->ignore();
          return true;
        }
        return false;
      default:
        return false;
    }
  }

 private:
  QWidget* window_;
};

// Recomputes the highlights of the visible part when the view's viewport
// changes size.
class ViewportWatcher : public QObject {
 public:
  explicit ViewportWatcher(TfrmMain* window) : QObject(window), window_(window) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) window_->UpdateVisibleHighlights();
    return false;
  }

 private:
  TfrmMain* window_;
};

// The occurrences of the targets of one document (those without a
// reference, or with `ref`) as (widget position, length), by position.
int32_t HighlightSpansOf(std::span<const Target> targets, const std::string& ref, const ViewIndex& index,
                         std::vector<std::pair<int32_t, int32_t>>& spans) {
  spans.clear();
  int32_t longest = 0;
  size_t count = 0;
  for (const Target& t : targets) {
    if (t.DocumentRef.empty() || t.DocumentRef == ref) count += t.Starts.size();
  }
  spans.reserve(count);
  for (const Target& t : targets) {
    if (!t.DocumentRef.empty() && !(t.DocumentRef == ref)) continue;
    for (const Occurrence& o : t.Starts) spans.emplace_back(o.StartView, o.ViewLength);
  }
  // In view order, then converted: both ends in one walk of the index's
  // neighbourhood.
  std::sort(spans.begin(), spans.end());
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

// A small progress window: what is being read, a bar, Cancel.
class ProgressWindow : public QDialog {
 public:
  explicit ProgressWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmProgress");
    setWindowTitle("Kalix");
    setWindowModality(Qt::WindowModal);
    label = new QLabel(this);
    label->setMinimumWidth(320);
    bar = new QProgressBar(this);
    bar->setRange(0, 0);
    bar->setAccessibleName(FromCp1252("Progression"));
    cancel = new QPushButton(FromCp1252("Annuler"), this);
    cancel->setObjectName("CancelBtn");
    cancel->setAccessibleName(cancel->text());
    auto* v = new QVBoxLayout(this);
    v->addWidget(label);
    v->addWidget(bar);
    auto* h = new QHBoxLayout;
    h->addStretch(1);
    h->addWidget(cancel);
    v->addLayout(h);
  }
  void Show(const QString& text, size_t index, size_t count) {
    if (label->text() != text) {
      label->setText(text);
      label->setAccessibleName(text);
    }
    if (count > 1) {
      bar->setRange(0, static_cast<int>(count));
      bar->setValue(static_cast<int>(index));
    }
  }
  QLabel* label;
  QProgressBar* bar;
  QPushButton* cancel;
};

// Starts the run's work on a thread of its own (`before` first, for tests);
// the thread quits the run's event loop when the work has ended.
void StartWorker(BackgroundRun& run, std::function<void()> before) {
  run.thread = std::thread([r = &run, before = std::move(before)] {
    bool failed = false;
    try {
      if (before) before();
      if (!r->cancelled) r->Work(*r);
    } catch (...) {
      failed = true;
    }
    std::lock_guard<std::mutex> lock(r->mutex);
    r->done = true;
    r->failed = failed;
    if (r->loop) QMetaObject::invokeMethod(r->loop, "quit", Qt::QueuedConnection);
  });
}

// While a run works: its progress, shown after a delay, with Cancel (which
// quits the loop); the messages of corpus documents that could not be
// opened, shown as they come.
class RunMonitor {
 public:
  RunMonitor(QWidget* window, BackgroundRun& run, const QString& what, QEventLoop& loop, int delayMs)
      : window_(window), run_(run), what_(what), delayMs_(delayMs), progress_(window) {
    QObject::connect(progress_.cancel, &QPushButton::clicked, &loop, [this, &loop] { Cancel(loop); });
    QObject::connect(&progress_, &QDialog::rejected, &loop, [this, &loop] { Cancel(loop); });
    clock_.start();
    timer_.setInterval(std::min(100, std::max(10, delayMs)));
    QObject::connect(&timer_, &QTimer::timeout, &loop, [this] { Tick(); });
    timer_.start();
    if (delayMs <= 0) QTimer::singleShot(0, &loop, [this] { Tick(); });
  }

  void Stop() {
    timer_.stop();
    progress_.hide();
  }

  // Shows the messages waiting, one after the other (not again while one
  // is shown: the message box runs the event loop).
  void FlushMessages() {
    if (messageShown_) return;
    for (;;) {
      std::string message;
      {
        std::lock_guard<std::mutex> lock(run_.mutex);
        if (run_.unreadable.empty()) return;
        message = std::move(run_.unreadable.front());
        run_.unreadable.pop_front();
      }
      if (run_.cancelled) return;
      messageShown_ = true;
      CurrentDialogs().Message(window_, "Kalix", QString::fromStdString(FileMessageUtf8(message)),
                               MessageIcon::Exclamation);
      messageShown_ = false;
    }
  }

 private:
  void Cancel(QEventLoop& loop) {
    run_.cancelled = true;
    loop.quit();
  }

  void Tick() {
    size_t index, count;
    std::string path;
    bool done;
    {
      std::lock_guard<std::mutex> lock(run_.mutex);
      index = run_.index;
      count = run_.count;
      path = run_.path;
      done = run_.done;
    }
    QString text = what_;
    if (count > 0) text = QString("%1/%2  %3").arg(index + 1).arg(count).arg(DisplayPath(path));
    progress_.Show(text, index, count);
    if (!done && !run_.cancelled && !progress_.isVisible() && clock_.elapsed() >= delayMs_) progress_.show();
    FlushMessages();
  }

  QWidget* window_;
  BackgroundRun& run_;
  QString what_;
  int delayMs_;
  ProgressWindow progress_;
  QElapsedTimer clock_;
  QTimer timer_;
  bool messageShown_ = false;
};

// A search's work on its thread: the targets, the status line and, for the
// window's document, its highlights ready to show.
void SearchWork(BackgroundRun& r) {
  SearchRequest source;
  source.WindowDocument = r.Doc.get();
  source.Corpus = r.Corpus;
  source.OnUnreadable = [&r](const std::string&, const std::string& message) { r.Unreadable(message); };
  source.OnProgress = [&r](size_t i, size_t n, const std::string& p) { r.Progress(i, n, p); };
  source.Stop = &r.cancelled;
  r.Targets = ScanForTargets(r.Ctx, r.Settings, r.Strings, r.Filters, source, nullptr);
  r.Status = FinishSearch(r.Ctx, r.Settings, r.Strings, r.Targets);
  if (r.Doc) r.Longest = HighlightSpansOf(r.Targets, std::string(), ViewIndex(r.Doc->Text()), r.Spans);
}

}  // namespace

bool TfrmMain::RunInBackground(const std::shared_ptr<BackgroundRun>& run, const QString& what) {
  // Runs cancelled earlier that have ended since are let go.
  std::erase_if(AbandonedRuns, [](const std::shared_ptr<BackgroundRun>& r) { return r->Done(); });

  SearchRunning = true;
  QEventLoop loop;
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->loop = &loop;
  }
  InputBlocker blocker(this);
  StartWorker(*run, BeforeBackgroundWork);
  RunMonitor monitor(this, *run, what, loop, ProgressDelayMs);
  if (!run->Done()) loop.exec();
  monitor.Stop();
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->loop = nullptr;
  }
  SearchRunning = false;

  if (run->cancelled) {
    if (run->Done()) {
      run->thread.join();
    } else {
      AbandonedRuns.push_back(run);
    }
    return false;
  }
  run->thread.join();
  monitor.FlushMessages();
  return !run->failed;
}

// What a run reads: the corpus entries, or a copy of the window's document
// (the window may change it while the run works).
void TfrmMain::TakeSource(BackgroundRun& run, bool useCorpus, bool withDocument) const {
  if (useCorpus) {
    run.Corpus = TheShell().Ctx.Corpus.Entries;
  } else if (withDocument) {
    auto doc = std::make_shared<Document>();
    doc->path = Doc.path;
    doc->text = Doc.text;
    doc->marks = Doc.marks;
    run.Doc = std::move(doc);
  }
}

bool TfrmMain::AskForSearch() {
  const Context& ctx = TheShell().Ctx;
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

bool TfrmMain::ReviewGeneratedVariants(const SearchSettings& settings) {
  std::vector<size_t> bounded;
  ExpandGenerated(TheShell().Ctx.Morva, ArrowList, settings.Level, &bounded);
  std::vector<std::string> boundedTexts;
  for (size_t n : bounded) boundedTexts.push_back(ArrowList[n].Text);
  // The dialog counts each variant in what the search will read.
  MorvaCountSource counts{settings, FilterList, nullptr, {}};
  if (settings.UseCorpus) {
    counts.Corpus = TheShell().Ctx.Corpus.Entries;
  } else if (!Doc.path.empty()) {
    auto doc = std::make_shared<Document>();
    doc->text = Doc.text;
    counts.Doc = std::move(doc);
  }
  TheMorvaDialog().SetCountSource(std::move(counts));
  if (ReviewVariants(ArrowList, boundedTexts)) return true;
  RemoveTemporaryStrings(ArrowList);
  return false;
}

void TfrmMain::RunSearch() {
  if (SearchRunning) return;
  const Context& ctx = TheShell().Ctx;
  const bool hasDocument = !Doc.path.empty();

  // 1-2. The dialog, attached to this window's lists.
  cFilterList previousFilters = FilterList;
  if (!AskForSearch()) return;
  // 3. The settings (the window's own once the run is done).
  SearchSettings settings = TheFindDialog().ChosenSettings();
  // 4. The keys.
  PrepareKeys(ctx.Rules, settings, ArrowList);
  // 5. The generated variants, reviewed.
  if (settings.Generate && !ReviewGeneratedVariants(settings)) {
    Settings = settings;  // the options were taken; nothing else changes
    return;
  }

  // 7. The scan, on a second thread, from copies.
  auto run = std::make_shared<BackgroundRun>();
  run->Ctx = ctx;
  run->Settings = settings;
  run->Strings = ArrowList;
  run->Filters = FilterList;
  TakeSource(*run, settings.UseCorpus, hasDocument);
  run->Work = SearchWork;
  const QString what = DisplayPath(settings.UseCorpus ? std::string() : FileNameOf(Doc.path));
  if (!RunInBackground(run, what)) {
    // Cancelled: the targets, status line and settings stay as they were.
    RemoveTemporaryStrings(ArrowList);
    FilterList = std::move(previousFilters);
    return;
  }

  // 6. The old result goes; a corpus search closes the window's document.
  ResetTargetView(true);
  if (settings.UseCorpus) CloseDocument();
  Settings = settings;
  ArrowList = std::move(run->Strings);
  TargetList = std::move(run->Targets);
  // 8.
  if (run->Doc) {
    ShowSearchResult(run->Status, std::move(run->Spans), run->Longest);
  } else {
    ShowSearchResult(run->Status);
  }
}

void TfrmMain::RunWordList() {
  if (SearchRunning) return;
  Shell& shell = TheShell();
  const Context& ctx = shell.Ctx;
  const bool corpusOpen = ctx.Corpus.Open;
  const bool hasDocument = !Doc.path.empty();

  TfrmWord& dialog = TheWordDialog();
  cFilterList previousFilters = FilterList;
  dialog.Attach(&FilterList, hasDocument, corpusOpen);
  if (CurrentDialogs().Exec(&dialog) != QDialog::Accepted) return;

  SearchSettings settings = Settings;
  ApplyWordListChoice(settings, dialog.Choice(), corpusOpen, hasDocument);

  auto run = std::make_shared<BackgroundRun>();
  run->Ctx = ctx;
  run->Settings = settings;
  run->Filters = FilterList;
  TakeSource(*run, settings.UseCorpus, true);
  run->Work = [](BackgroundRun& r) {
    static const Document kNone;
    // The message is composed on the window's thread from the path.
    CorpusReading reading;
    reading.OnUnreadable = [&r](const std::string&, const std::string& message) { r.Unreadable(message); };
    reading.OnProgress = [&r](size_t i, size_t n, const std::string& path) { r.Progress(i, n, path); };
    reading.Stop = &r.cancelled;
    r.Targets = kalix::RunWordList(r.Ctx, r.Settings, r.Filters, r.Doc ? *r.Doc : kNone, r.Corpus, reading);
    r.Status = kalix::ShowWordListResult(r.Ctx.Language, r.Targets);
  };
  const QString what = DisplayPath(settings.UseCorpus ? std::string() : FileNameOf(Doc.path));
  if (!RunInBackground(run, what)) {
    FilterList = std::move(previousFilters);
    return;
  }

  ResetTargetView(true);
  if (settings.UseCorpus) CloseDocument();
  Settings = settings;
  TargetList = std::move(run->Targets);
  ShowWordListResult(run->Status);
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
  lblStatus->setText(FromCp1252(status));
  SortState = 2;
  CurrentTarget = -1;
  RefillGrid(static_cast<int32_t>(TargetList.size()));
  ShowSortOrder(SortState, false);
}

void TfrmMain::HighlightTargets() { HighlightShownTargets(-1); }

void TfrmMain::HighlightShownTargets(int32_t onlyTarget) {
  std::vector<std::pair<int32_t, int32_t>> spans;
  int32_t longest = 0;
  std::span<const Target> targets(TargetList);
  if (onlyTarget >= 0) {
    targets = onlyTarget < static_cast<int32_t>(TargetList.size())
                  ? targets.subspan(static_cast<size_t>(onlyTarget), 1)
                  : std::span<const Target>();
  }
  if (!Doc.path.empty()) longest = HighlightSpansOf(targets, MakeDocumentRef(Doc.path), Mapping.Index(), spans);
  ShowHighlights(std::move(spans), longest);
}

void TfrmMain::ShowHighlights(std::vector<std::pair<int32_t, int32_t>> spans, int32_t longest) {
  HighlightSpans = std::move(spans);
  HighlightLongest = longest;
  if (!property("kalixHighlightWatch").toBool()) {
    setProperty("kalixHighlightWatch", true);
    connect(reText->verticalScrollBar(), &QScrollBar::valueChanged, this, &TfrmMain::UpdateVisibleHighlights);
    reText->viewport()->installEventFilter(new ViewportWatcher(this));
  }
  // The caret goes back to the start (black, nothing selected).
  QTextCursor cursor = reText->textCursor();
  cursor.setPosition(0);
  reText->setTextCursor(cursor);
  UpdateVisibleHighlights();
}

void TfrmMain::UpdateVisibleHighlights() {
  if (HighlightSpans.empty()) {
    if (!reText->extraSelections().isEmpty()) reText->setExtraSelections({});
    return;
  }
  QTextCursor firstCursor = reText->cursorForPosition(QPoint(0, 0));
  firstCursor.movePosition(QTextCursor::StartOfBlock);
  const QWidget* port = reText->viewport();
  QTextCursor lastCursor = reText->cursorForPosition(QPoint(port->width() - 1, port->height() - 1));
  lastCursor.movePosition(QTextCursor::EndOfBlock);
  const int32_t first = firstCursor.position();
  const int32_t last = lastCursor.position();

  QTextCharFormat red;
  red.setForeground(QColor(255, 0, 0));
  QList<QTextEdit::ExtraSelection> selections;
  auto it = std::lower_bound(HighlightSpans.begin(), HighlightSpans.end(),
                             std::pair<int32_t, int32_t>(first - HighlightLongest, 0));
  constexpr int kMostShown = 20000;
  for (; it != HighlightSpans.end() && it->first <= last && selections.size() < kMostShown; ++it) {
    if (it->first + it->second < first) continue;
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(reText->document());
    s.cursor.setPosition(it->first);
    s.cursor.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
    s.format = red;
    selections.append(s);
  }
  reText->setExtraSelections(selections);
}

}  // namespace kalix::ui
