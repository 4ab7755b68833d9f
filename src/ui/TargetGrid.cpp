#include "ui/TargetGrid.h"

#include "ui/Shell.h"

namespace kalix::ui {

int TargetGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TargetGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant TargetGridModel::data(const QModelIndex&, int) const { return QVariant(); }

QVariant TargetGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QVariant();
  if (orientation == Qt::Vertical) return QVariant();
  static const char* const kHeadings[] = {"#", "Texte", "Document"};
  if (section < 0 || section > 2) return QVariant();
  return Tr(kHeadings[section]);
}

void TargetGridModel::SetRowCount(int rows) {
  beginResetModel();
  rows_ = rows;
  endResetModel();
}

}  // namespace kalix::ui
