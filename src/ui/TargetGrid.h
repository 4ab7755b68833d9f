// The target grid's model: three columns ("#", "Texte", "Document") over the
// window's target list. Until a search fills the list the grid is empty.
#pragma once

#include <QAbstractTableModel>

namespace kalix::ui {

class TargetGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Sets the number of rows shown (the number of targets).
  void SetRowCount(int rows);

 private:
  int rows_ = 0;
};

}  // namespace kalix::ui
