// The n-grams dialog "N-grammes": the word sequences of 2 to 5 words of a
// window's document or of the corpus, or the clusters of its last search
// (the sequences that hold an occurrence), with their frequencies and
// numbers of documents (app/Statistics.h), sortable by each column.
#pragma once

#include "app/Statistics.h"
#include "ui/StatisticsSource.h"
#include "ui/StatisticsWorker.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kalix::ui {

class TfrmNgrams : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmNgrams(QWidget* parent = nullptr);

  // What the n-grams are made of: a window's last search or word list (its
  // result form and filters; the strings of a search for the clusters) over
  // its document or the corpus.
  using Source = StatisticsSource;

  // Shows the dialog modally (through CurrentDialogs().Exec) on `source`,
  // at once, and computes in the background.
  void ShowFor(Source source);

  // Computes the n-grams with the values of the controls, on a second
  // thread: the grid fills when it ends.
  void btnComputeClick();

  // The background computation.
  StatisticsWorker& Worker() { return *worker_; }

  // At most this many rows are shown (the most frequent).
  static constexpr int kMaxRows = 5000;

  QLabel* lblSize;
  QSpinBox* spnSize;
  QLabel* lblMin;
  QSpinBox* spnMin;
  QCheckBox* chkClusters;
  QPushButton* btnCompute;
  QTableWidget* grdNgram;
  QLabel* lblStatus;
  QProgressBar* barProgress;
  QPushButton* btnCancel;
  QPushButton* CloseBtn;

 private:
  void ShowNgrams(const NgramResult& r);
  Source source_;
  StatisticsWorker* worker_;
};

// The one n-grams dialog of the process, made on first use.
TfrmNgrams& TheNgramsDialog();

}  // namespace kalix::ui
