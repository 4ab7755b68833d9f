#include "ui/BackgroundRun.h"

#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace kalix::ui {

void BackgroundRun::Progress(size_t i, size_t n, const std::string& p) {
  std::lock_guard<std::mutex> lock(mutex);
  index = i;
  count = n;
  path = p;
}

void BackgroundRun::Unreadable(const std::string&, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex);
  unreadable.push_back(message);
}

bool BackgroundRun::Done() {
  std::lock_guard<std::mutex> lock(mutex);
  return done;
}

BackgroundRun::~BackgroundRun() {
  if (thread.joinable()) thread.join();
}

InputBlocker::InputBlocker(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
InputBlocker::~InputBlocker() { qApp->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
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

namespace {

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
  // A corpus advances document by document; one document by its bytes
  // scanned (`done` of `total`); anything else is a busy bar.
  void Show(const QString& text, size_t index, size_t count, uint64_t done, uint64_t total) {
    if (label->text() != text) {
      label->setText(text);
      label->setAccessibleName(text);
    }
    if (count > 1) {
      bar->setRange(0, static_cast<int>(count));
      bar->setValue(static_cast<int>(index));
    } else if (total > 0) {
      bar->setRange(0, kPermille);
      bar->setValue(static_cast<int>(std::min(done, total) * kPermille / total));
    }
  }
  static constexpr int kPermille = 1000;
  QLabel* label;
  QProgressBar* bar;
  QPushButton* cancel;
};

// Starts the run's work on a thread of its own (`before` first, for tests);
// when the work has ended, the thread tells the run's `notify` object (on
// the window's thread) through its event queue.
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
    if (r->notify) QMetaObject::invokeMethod(r->notify, "WorkEnded", Qt::QueuedConnection);
  });
}

}  // namespace

// While a run works: its progress, shown after a delay, with Cancel; the
// messages of corpus documents that could not be opened, shown as they come.
class RunMonitor {
 public:
  RunMonitor(QObject* owner, QWidget* window, BackgroundRun& run, const QString& what, int delayMs,
             std::function<void()> cancel)
      : window_(window), run_(run), what_(what), delayMs_(delayMs), progress_(window) {
    QObject::connect(progress_.cancel, &QPushButton::clicked, owner, cancel);
    QObject::connect(&progress_, &QDialog::rejected, owner, cancel);
    clock_.start();
    timer_.setInterval(std::min(100, std::max(10, delayMs)));
    QObject::connect(&timer_, &QTimer::timeout, owner, [this] { Tick(); });
    timer_.start();
    if (delayMs <= 0) QTimer::singleShot(0, owner, [this] { Tick(); });
  }

  void Stop() {
    timer_.stop();
    progress_.hide();
  }

  // A message box is up (it runs the event loop meanwhile).
  bool ShowingMessage() const { return messageShown_; }

  // Shows the messages waiting, one after the other (not again while one
  // is shown). Afterwards `after` is told, so that an end that came
  // meanwhile is taken.
  void FlushMessages(const std::function<void()>& after = {}) {
    if (messageShown_) return;
    for (;;) {
      std::string message;
      {
        std::lock_guard<std::mutex> lock(run_.mutex);
        if (run_.unreadable.empty()) break;
        message = std::move(run_.unreadable.front());
        run_.unreadable.pop_front();
      }
      if (run_.cancelled) break;
      messageShown_ = true;
      CurrentDialogs().Message(window_, "Kalix", QString::fromStdString(FileMessageUtf8(message)),
                               MessageIcon::Exclamation);
      messageShown_ = false;
    }
    if (after) after();
  }

 private:
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
    progress_.Show(text, index, count, run_.scanned.load(std::memory_order_relaxed), run_.scanTotal);
    if (!done && !run_.cancelled && !progress_.isVisible() && clock_.elapsed() >= delayMs_) progress_.show();
    FlushMessages(tickEnd);
  }

  QWidget* window_;
  BackgroundRun& run_;
  QString what_;
  int delayMs_;
  ProgressWindow progress_;
  QElapsedTimer clock_;
  QTimer timer_;
  bool messageShown_ = false;

 public:
  std::function<void()> tickEnd;  // after the messages of a tick
};

// One run from its start to its end, on the window's thread: it holds the
// window's input back, shows the progress, takes the end (or Cancel) and
// tells `then`; it then deletes itself.
RunController::RunController(QWidget* window, std::shared_ptr<BackgroundRun> run, const QString& what, int delayMs,
                             std::function<void()> before, std::vector<std::shared_ptr<BackgroundRun>>& abandoned,
                             std::function<void(bool)> then)
    : QObject(window), run_(std::move(run)), abandoned_(abandoned), then_(std::move(then)),
      blocker_(std::make_unique<InputBlocker>(window)) {
  {
    std::lock_guard<std::mutex> lock(run_->mutex);
    run_->notify = this;
  }
  if (run_->Job.Doc && run_->Job.Corpus.empty()) run_->scanTotal = run_->Job.Doc->text.size();
  StartWorker(*run_, std::move(before));
  monitor_ = std::make_unique<RunMonitor>(this, window, *run_, what, delayMs, [this] { Cancel(); });
  monitor_->tickEnd = [this] {
    if (endDue_) WorkEnded();
  };
}

// Deleted with its window before the end: the work is stopped and no end is
// told (the run's thread is joined when the last holder lets it go).
RunController::~RunController() {
  if (ended_) return;
  run_->cancelled = true;
  std::lock_guard<std::mutex> lock(run_->mutex);
  run_->notify = nullptr;
}

void RunController::WorkEnded() {
  if (ended_) return;
  // Not under a message box of this run's: its tick takes the end after it.
  if (monitor_->ShowingMessage()) {
    endDue_ = true;
    return;
  }
  End(false);
}

void RunController::Cancel() {
  if (ended_) return;
  run_->cancelled = true;
  End(true);
}

void RunController::End(bool cancelled) {
  ended_ = true;
  monitor_->Stop();
  {
    std::lock_guard<std::mutex> lock(run_->mutex);
    run_->notify = nullptr;
  }
  bool done = false;
  if (cancelled) {
    if (run_->Done()) {
      run_->thread.join();
    } else {
      abandoned_.push_back(run_);
    }
  } else {
    run_->thread.join();
    monitor_->FlushMessages();
    done = !run_->failed;
  }
  blocker_.reset();
  deleteLater();
  if (then_) then_(done);
}

void StartInBackground(QWidget* window, std::shared_ptr<BackgroundRun> run, const QString& what, int delayMs,
                       std::function<void()> before, std::vector<std::shared_ptr<BackgroundRun>>& abandoned,
                       std::function<void(bool)> then) {
  // Runs cancelled earlier that have ended since are let go.
  std::erase_if(abandoned, [](const std::shared_ptr<BackgroundRun>& r) { return r->Done(); });
  new RunController(window, std::move(run), what, delayMs, std::move(before), abandoned, std::move(then));
}

bool RunInBackground(QWidget* window, const std::shared_ptr<BackgroundRun>& run, const QString& what,
                     int delayMs, const std::function<void()>& before,
                     std::vector<std::shared_ptr<BackgroundRun>>& abandoned) {
  QEventLoop loop;
  bool ended = false;
  bool done = false;
  StartInBackground(window, run, what, delayMs, before, abandoned, [&](bool result) {
    done = result;
    ended = true;
    loop.quit();
  });
  if (!ended) loop.exec();
  return done;
}

}  // namespace kalix::ui
