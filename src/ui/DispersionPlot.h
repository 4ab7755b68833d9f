// The dispersion plot of a main window: for the current target, or for all
// targets, one strip per document with a tick per occurrence at its place
// and the page marks drawn across the strip. A click on a tick selects that
// occurrence; the plot can be saved as a PNG picture.
#pragma once

#include "document/Document.h"
#include "ui/DocumentLoader.h"
#include "targets/Target.h"

#include <QWidget>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QPushButton;

namespace kalix::ui {

class TfrmMain;

// The canvas.
class DispersionCanvas : public QWidget {
  Q_OBJECT
 public:
  DispersionCanvas(TfrmMain* window, QWidget* parent);
  bool AllTargets = false;
  // Recomputes the strips from the window's targets.
  void Rebuild();
  // Whether other documents are still being read for the strips.
  bool Loading() const { return loader_->Busy(); }
  // Forgets the lengths and pages read from other documents (a new result).
  void ForgetDocuments();

  // One strip: a document, its length in view positions, its page marks.
  struct Strip {
    std::string ref;       // document reference; empty: the window's document
    QString label;
    int32_t viewLength = 1;
    std::vector<std::pair<int32_t, int32_t>> pages;  // view position, page number
  };
  // One tick: its target, occurrence, strip and view position.
  struct Tick {
    int32_t target;
    int32_t occurrence;
    int strip;
    int32_t view;
  };
  const std::vector<Strip>& Strips() const { return strips_; }
  const std::vector<Tick>& Ticks() const { return ticks_; }
  // The tick nearest to a point within a few pixels (-1: none).
  int TickAt(const QPoint& at) const;
  // The point at which a tick is drawn.
  QPoint TickPoint(const Tick& tick) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QRect StripRect(int strip) const;
  // The strip of another document: as read, or (while it is read on a
  // worker, or when it cannot be read) one whose length the occurrences
  // decide.
  Strip StripOf(const std::string& ref);
  void DocumentLoaded(const std::string& path, std::shared_ptr<const Document> document);

  TfrmMain* window_;
  std::vector<Strip> strips_;
  std::vector<Tick> ticks_;
  // Lengths and pages of other documents, read once each on a worker.
  std::map<std::string, Strip> known_;
  DocumentLoader* loader_;
  std::map<std::string, std::string> refOfPath_;  // the documents being read
};

class TDispersionPlot : public QWidget {
  Q_OBJECT
 public:
  explicit TDispersionPlot(TfrmMain* window, QWidget* parent = nullptr);
  void Follow();
  // Saves the plot as a PNG file; false when it cannot be written.
  bool SavePng(const QString& path);

  DispersionCanvas* Canvas;
  QCheckBox* chkAll;
  QPushButton* btnSavePlot;

 private:
  TfrmMain* window_;
};

}  // namespace kalix::ui
