// The generated-variants dialog "Morvo": the window's strings (typed
// strings, their generated variants, strings added here) in a coloured
// list, to review before a search in the "Générée" mode: delete variants,
// add strings, reverse the order, save or append the list to a file.
#pragma once

#include "search/SearchSpec.h"

#include <QAbstractListModel>
#include <QColor>
#include <QDialog>
#include <QStyledItemDelegate>
#include <string>
#include <vector>

class QLabel;
class QListView;
class QPushButton;

namespace kalix::ui {

// The three kinds of strings of the list, told apart by their Source.
enum class MorvaKind { Typed, Added, Variant };

// The kind of the string at `row` of `strings`.
MorvaKind KindOf(const cArrowList& strings, size_t row);

// The colours an item is drawn in: text and background, selected or not.
struct MorvaColours {
  QColor text;
  QColor back;
};
MorvaColours ColoursOf(MorvaKind kind, bool selected);

// The list's model: one row per string of the attached list, in list
// order; the text of a row (display and accessible text) is the Key.
class MorvaListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int KindRole = Qt::UserRole + 1;
  using QAbstractListModel::QAbstractListModel;
  // Attaches a list (nullptr: none) and shows it anew.
  void Attach(const cArrowList* strings);
  // Shows the attached list anew after it changed.
  void Refill();
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const cArrowList* strings_ = nullptr;
};

// Paints each item in the colours of its kind.
class MorvaItemDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TfrmMorva : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMorva(QWidget* parent = nullptr);

  // Shows the dialog modally (through CurrentDialogs().Exec(this)) on the
  // window's strings (the typed strings followed by their generated
  // variants, Sources set). OK: returns true, the list as edited. Any other
  // result: every string that has a Source is removed (only the typed
  // strings remain) and it returns false.
  // `boundedTexts`: texts of the strings whose generation the bound stopped
  // (the dialog says so).
  bool Review(cArrowList& strings, const std::vector<std::string>& boundedTexts);

  // True while the list is in ascending order of Key.
  bool Ascending() const { return ascending_; }

  QListView* lstWord;
  MorvaListModel* WordModel;
  QPushButton* btnAdd;
  QPushButton* btnDel;
  QPushButton* btnSort;
  QLabel* Label1;
  QLabel* lblCount;
  QPushButton* btnSave;
  QPushButton* btnAppend;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  // Says which strings' generation the bound stopped; hidden otherwise.
  QLabel* Bounded;

 private:
  void btnAddClick();
  void btnDelClick();
  void btnSortClick();
  void btnSaveClick();
  void btnAppendClick();
  void WriteList(bool append);
  void Refill();
  void SetCount();
  void NameForScreenReaders();
  void BuildWordList();
  void BuildButtons();
  void ConnectButtons();
  void LayOutControls();

  cArrowList* strings_ = nullptr;
  bool ascending_ = true;
};

// The one generated-variants dialog of the process, made on first use.
TfrmMorva& TheMorvaDialog();

}  // namespace kalix::ui
