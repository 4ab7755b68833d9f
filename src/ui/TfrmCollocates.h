// The collocates dialog "Cooccurrents": the word forms near the occurrences
// of a window's last search, with their co-occurrence and total frequencies
// and association measures (app/Statistics.h), sortable by each column;
// selecting a collocate lists the windows where it meets the occurrences.
#pragma once

#include "app/Statistics.h"
#include "ui/StatisticsSource.h"
#include "ui/StatisticsWorker.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace kalix::ui {

class TfrmCollocates : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCollocates(QWidget* parent = nullptr);

  // What the collocates are computed on: a window's last search (strings,
  // settings, filters) over its document or the corpus.
  using Source = StatisticsSource;

  // Shows the dialog modally (through CurrentDialogs().Exec) on `source`,
  // at once, and computes with the window sizes shown in the background.
  void ShowFor(Source source);

  // Computes the collocates with the values of the controls, on a second
  // thread: the grid fills when it ends.
  void btnComputeClick();

  // The background computation (of the collocates or of a collocate's
  // meetings).
  StatisticsWorker& Worker() { return *worker_; }

  QLabel* lblLeft;
  QSpinBox* spnLeft;
  QLabel* lblRight;
  QSpinBox* spnRight;
  QLabel* lblMin;
  QSpinBox* spnMin;
  QPushButton* btnCompute;
  QTableWidget* grdColloc;
  QLabel* lblMeet;
  QListWidget* lstMeet;
  QLabel* lblStatus;
  QProgressBar* barProgress;
  QPushButton* btnCancel;
  QPushButton* CloseBtn;

 private:
  void grdCollocSelect();
  void ShowCollocates(const CollocateResult& r);
  StatisticsWorker* worker_;
  CollocateOptions Options() const;
  SearchRequest Request() const;

  Source source_;
};

// The one collocates dialog of the process, made on first use.
TfrmCollocates& TheCollocatesDialog();

}  // namespace kalix::ui
