#include "ui/TargetGrid.h"

#include "platform/Cp1252.h"
#include "ui/Shell.h"

namespace kalix::ui {

TargetGridModel::TargetGridModel(const cTargetList* targets, QObject* parent)
    : QAbstractTableModel(parent), targets_(targets) {}

int TargetGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int TargetGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant TargetGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return QVariant();
  const Target& target = (*targets_)[static_cast<size_t>(index.row())];
  switch (index.column()) {
    case 0: return QString::number(static_cast<qulonglong>(target.Starts.size()));
    case 1: return FromCp1252(target.Text);
    case 2: return FromCp1252(DocumentRefFileName(target.DocumentRef));
  }
  return QVariant();
}

QVariant TargetGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QVariant();
  // Rows are named by their number (the grid's first row is 1), for screen
  // readers; the grid does not show them.
  if (orientation == Qt::Vertical) return section + 1;
  static const char* const kHeadings[] = {"#", "Texte", "Document"};
  if (section < 0 || section > 2) return QVariant();
  return Tr(kHeadings[section]);
}

void TargetGridModel::Refill() {
  beginResetModel();
  rows_ = static_cast<int>(targets_->size());
  endResetModel();
}

std::string DocumentRefFileName(const std::string& ref) {
  size_t bar = ref.find(" | ");
  return bar == std::string::npos ? ref : ref.substr(0, bar);
}

}  // namespace kalix::ui
