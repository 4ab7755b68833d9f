// The concordance pane (key word in context) of a main window: one line per
// occurrence of the current target, its reference, the text to its left,
// the occurrence and the text to its right, aligned on the occurrence. Lines
// are read from the document text when the view asks for them: the model
// holds the target's number and a row order, never a copy of the lines.
//
// The text of an occurrence is the window's document when the target has no
// document reference or the window shows that document; otherwise the
// document is read into a scratch model of the pane (one document kept at a
// time, read on a worker thread: its lines fill in when it has been read),
// never into the window's.
#pragma once

#include "ui/DocumentLoader.h"

#include "document/Document.h"
#include "document/ViewIndex.h"
#include "targets/Target.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QTableView;
class QLabel;

namespace kalix::ui {

class TfrmMain;

class ConcordanceModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kReference = 0, kDocument = 1, kLeft = 2, kMatch = 3, kRight = 4, kColumns = 5 };
  // Bytes of context on each side of an occurrence.
  static constexpr int32_t kWidth = 60;

  ConcordanceModel(TfrmMain* window, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Shows the occurrences of a target of the window's list (-1: none), in
  // the text's order.
  void SetTarget(int32_t target);
  int32_t TargetIndex() const { return target_; }
  // Orders the lines (ConcordanceOrder).
  void SetOrder(int order);
  int Order() const { return order_; }
  // The occurrence shown in a row, and the row of an occurrence (-1: none).
  int32_t OccurrenceOfRow(int row) const;
  int RowOfOccurrence(int32_t occurrence) const;

  // Whether another document is still being read for the lines.
  bool Loading() const;
  // Drops the scratch document, so that the next lines of another document
  // read it again (a new result may name other files, or the same names
  // written since).
  void ForgetDocuments();

 signals:
  // The lines were ordered anew (the document they come from was read).
  void Reordered();

 private:
  const Target* CurrentTargetRecord() const;
  // The text and index of the target's document; false when it cannot be read.
  bool TextOf(const Target& target, std::string_view& text, const ViewIndex*& index) const;

  TfrmMain* window_;
  int32_t target_ = -1;
  int rows_ = 0;
  int order_ = 0;
  std::vector<int32_t> ordering_;  // empty: the text's order
  // Another document's text arrived: its lines are shown (and ordered).
  void DocumentLoaded(const std::string& path, std::shared_ptr<const Document> document);

  // Another document of the occurrences, read on a worker (one kept at a
  // time); until it is read its lines are empty.
  DocumentLoader* loader_;
  std::shared_ptr<const Document> scratch_;
  ViewIndex scratchIndex_;
  std::string scratchPath_;
  bool scratchRead_ = false;
};

class TConcordance : public QWidget {
  Q_OBJECT
 public:
  explicit TConcordance(TfrmMain* window, QWidget* parent = nullptr);
  // Follows the window's current target and its current occurrence.
  void Follow();

  ConcordanceModel* Model;
  QTableView* View;

 private:
  TfrmMain* window_;
};

}  // namespace kalix::ui
