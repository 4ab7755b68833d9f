#include "ui/StatisticsWorker.h"

#include "platform/Cp1252.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace kalix::ui {

StatisticsWorker::StatisticsWorker(QObject* parent, QProgressBar* bar, QPushButton* cancel)
    : QObject(parent), bar_(bar), cancel_(cancel), timer_(new QTimer(this)) {
  timer_->setInterval(50);
  connect(timer_, &QTimer::timeout, this, &StatisticsWorker::Poll);
  connect(cancel_, &QPushButton::clicked, this, &StatisticsWorker::Cancel);
  ShowRunning(false);
}

StatisticsWorker::~StatisticsWorker() {
  if (run_) run_->stop = true;
  if (thread_.joinable()) thread_.join();
  for (std::thread& t : cancelled_) t.join();
}

void StatisticsWorker::StartRun(SearchRequest request, std::function<void(const SearchRequest&)> work,
                                std::function<void()> done) {
  Cancel();
  auto run = std::make_shared<Run>();
  run->done = std::move(done);
  request.Stop = &run->stop;
  request.OnProgress = [run = run.get()](size_t index, size_t total, const std::string&) {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->index = index;
    run->total = total;
  };
  run_ = run;
  // The thread keeps the run alive: a cancelled one may end after the
  // dialog has started another.
  thread_ = std::thread([run, request = std::move(request), work = std::move(work)] {
    try {
      work(request);
    } catch (...) {
      run->stop = true;  // no result rather than a wrong one
    }
    run->ended = true;
  });
  ShowRunning(true);
  timer_->start();
}

void StatisticsWorker::Cancel() {
  if (!run_) return;
  run_->stop = true;
  run_.reset();
  if (thread_.joinable()) cancelled_.push_back(std::move(thread_));
  timer_->stop();
  ShowRunning(false);
}

void StatisticsWorker::Poll() {
  if (!run_) return;
  if (!run_->ended) {
    std::lock_guard<std::mutex> lock(run_->mutex);
    if (run_->total > 0) {
      bar_->setRange(0, static_cast<int>(run_->total));
      bar_->setValue(static_cast<int>(run_->index));
    }
    return;
  }
  thread_.join();
  timer_->stop();
  const std::shared_ptr<Run> run = std::move(run_);
  ShowRunning(false);
  if (!run->stop) run->done();
}

void StatisticsWorker::ShowRunning(bool on) {
  bar_->setRange(0, 0);  // busy until the corpus tells its size
  bar_->setVisible(on);
  cancel_->setEnabled(on);
}

bool StatisticsWorker::WaitForEnd(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (Running()) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (run_ && run_->ended) Poll();
  }
  return true;
}

StatisticsFooter::StatisticsFooter(QDialog* dialog)
    : Status(new QLabel(dialog)),
      Progress(new QProgressBar(dialog)),
      Cancel(new QPushButton(FromCp1252("Annuler"), dialog)),
      Close(new QPushButton(FromCp1252("Fermer"), dialog)),
      Worker(new StatisticsWorker(dialog, Progress, Cancel)),
      Row(new QHBoxLayout) {
  Progress->setObjectName("barProgress");
  Cancel->setObjectName("btnCancel");
  Cancel->setAutoDefault(false);
  Close->setObjectName("CloseBtn");
  Close->setDefault(true);
  Row->addWidget(Status, 1);
  Row->addWidget(Progress);
  Row->addWidget(Cancel);
  Row->addWidget(Close);
  QObject::connect(Close, &QPushButton::clicked, dialog, &QDialog::accept);
}

}  // namespace kalix::ui
