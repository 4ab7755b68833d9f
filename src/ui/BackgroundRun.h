// Long work of a window run on a second thread while the window stays alive:
// its input is copied, its progress and the messages about documents it
// cannot read come back through a `SessionPort`, and after a short delay a
// progress dialog shows with Cancel. A cancelled run is let go: it ends on
// its own, and whoever started it keeps it until then.
#pragma once

#include "app/WindowSession.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QEventLoop;
class QWidget;

namespace kalix::ui {

struct BackgroundRun : SessionPort {
  // A search or word list of the session (its copies and its result).
  SessionRun Job;
  // The work, run on the second thread (by default: the job's).
  std::function<void(BackgroundRun&)> Work = [](BackgroundRun& r) { r.Job.Work(r); };

  // The port, on the second thread. Variants are reviewed before the run
  // starts, never by it.
  bool ReviewVariants(cArrowList&, const std::vector<std::string>&) override { return true; }
  void Unreadable(const std::string& path, const std::string& message) override;
  void Progress(size_t index, size_t count, const std::string& path) override;
  const std::atomic<bool>* StopFlag() override { return &cancelled; }
  std::atomic<uint64_t>* ScannedBytes() override { return &scanned; }

  bool Done();
  ~BackgroundRun() override;

  // Exchange with the window's thread, under `mutex`.
  std::mutex mutex;
  QObject* notify = nullptr;  // told "WorkEnded" when the work ends
  bool done = false;
  bool failed = false;
  size_t index = 0, count = 0;  // the corpus document being read
  std::string path;
  std::deque<std::string> unreadable;  // the reader's messages, to show
  std::atomic<bool> cancelled{false};
  // Bytes scanned of the one document the job reads (set before the run
  // starts; 0: a corpus, or work that is not a scan).
  std::atomic<uint64_t> scanned{0};
  uint64_t scanTotal = 0;
  std::thread thread;
};

// Keeps the user's input away from one window while long work runs for it
// (or for another window it started) and no progress dialog shows yet; the
// window still repaints, scrolls and moves, and cannot be closed.
class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QWidget* window);
  ~InputBlocker() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

class RunMonitor;

// Runs `run` on a second thread (`before` first on that thread, for tests)
// and returns at once; input to `window` is held back meanwhile (other
// windows and their dialogs go on). After `delayMs` a progress dialog
// titled `what` shows, with Cancel. `then` is called on the window's thread
// with true when the work has ended, false when it was cancelled (the run,
// still working, then joins `abandoned`) or failed.
void StartInBackground(QWidget* window, std::shared_ptr<BackgroundRun> run, const QString& what, int delayMs,
                       std::function<void()> before, std::vector<std::shared_ptr<BackgroundRun>>& abandoned,
                       std::function<void(bool)> then);

// The run of `StartInBackground` on the window's thread (it deletes itself
// once `then` was told).
class RunController : public QObject {
  Q_OBJECT
 public:
  RunController(QWidget* window, std::shared_ptr<BackgroundRun> run, const QString& what, int delayMs,
                std::function<void()> before, std::vector<std::shared_ptr<BackgroundRun>>& abandoned,
                std::function<void(bool)> then);
  ~RunController() override;

 public slots:
  // From the worker, through the event queue.
  void WorkEnded();

 private:
  void Cancel();
  void End(bool cancelled);

  std::shared_ptr<BackgroundRun> run_;
  std::vector<std::shared_ptr<BackgroundRun>>& abandoned_;
  std::function<void(bool)> then_;
  std::unique_ptr<InputBlocker> blocker_;
  std::unique_ptr<RunMonitor> monitor_;
  bool ended_ = false;
  bool endDue_ = false;  // the work ended under a message box
};

// `StartInBackground`, waited for in an event loop of its own (for work
// whose caller needs its end before it goes on). True when the work ended;
// false when it was cancelled or failed.
bool RunInBackground(QWidget* window, const std::shared_ptr<BackgroundRun>& run, const QString& what,
                     int delayMs, const std::function<void()>& before,
                     std::vector<std::shared_ptr<BackgroundRun>>& abandoned);

}  // namespace kalix::ui
