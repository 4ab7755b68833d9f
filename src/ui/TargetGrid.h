// The target grid's model: three columns ("#", "Texte", "Document") over the
// window's target list, which it reads in place and never copies. After the
// list changes, `Refill` makes the grid show it again (a row count).
#pragma once

#include "targets/Target.h"

#include <QAbstractTableModel>

namespace kalix::ui {

class TargetGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // `targets` is the window's list; it outlives the model.
  TargetGridModel(const cTargetList* targets, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Shows the list as it is now: one row per target.
  void Refill();

 private:
  const cTargetList* targets_;
  int rows_ = 0;
};

// The file name part of a document reference: the text before the first
// " | ", or the whole reference when it holds none.
std::string DocumentRefFileName(const std::string& ref);

}  // namespace kalix::ui
