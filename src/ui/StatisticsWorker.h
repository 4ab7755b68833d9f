// A statistics computation (collocates, n-grams) on a second thread, for
// the statistics dialogs: the dialog stays live, shows the progress through
// the corpus and can cancel. One computation runs at a time; its result is
// handed to the dialog on the UI thread.
#pragma once

#include "app/RunSearch.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QDialog;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kalix::ui {

class StatisticsWorker : public QObject {
  Q_OBJECT
 public:
  // Shows the progress in `bar` and enables `cancel` while a computation
  // runs; both are hidden or disabled otherwise.
  StatisticsWorker(QObject* parent, QProgressBar* bar, QPushButton* cancel);
  ~StatisticsWorker() override;

  // Runs `work(request)` on a second thread, with the request's stop flag
  // and progress calls set here, then `done(result)` on the UI thread
  // (never when cancelled). A computation still running is cancelled first.
  template <typename Result>
  void Start(SearchRequest request, std::function<Result(const SearchRequest&)> work,
             std::function<void(Result&)> done) {
    auto result = std::make_shared<Result>();
    StartRun(
        std::move(request), [work = std::move(work), result](const SearchRequest& r) { *result = work(r); },
        [done = std::move(done), result] { done(*result); });
  }

  // Stops the computation running, if any: its result is dropped, and the
  // dialog can start another at once (the thread ends in the background).
  void Cancel();

  bool Running() const { return run_ != nullptr; }

  // Runs the event loop until the computation ends (for tests); false when
  // `milliseconds` pass first.
  bool WaitForEnd(int milliseconds);

 private:
  struct Run {
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    std::mutex mutex;
    size_t index = 0;
    size_t total = 0;
    std::function<void()> done;
  };

  void StartRun(SearchRequest request, std::function<void(const SearchRequest&)> work, std::function<void()> done);
  void Poll();
  void ShowRunning(bool on);

  QProgressBar* bar_;
  QPushButton* cancel_;
  QTimer* timer_;
  std::shared_ptr<Run> run_;
  std::thread thread_;
  std::vector<std::thread> cancelled_;  // joined when the worker goes
};

// The bottom row the statistics dialogs share: the numbers of the result
// (not a caption), the progress bar, "Annuler" and "Fermer" (which closes
// the dialog), and the worker that drives the bar and Cancel.
struct StatisticsFooter {
  QLabel* Status;
  QProgressBar* Progress;
  QPushButton* Cancel;
  QPushButton* Close;
  StatisticsWorker* Worker;
  QHBoxLayout* Row;

  explicit StatisticsFooter(QDialog* dialog);
};

}  // namespace kalix::ui
