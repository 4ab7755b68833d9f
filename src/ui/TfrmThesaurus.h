// The thesaurus editor: one edit field, the sorted list of the entries, and
// the buttons that add, replace and delete lines. Made once and reused.
#pragma once

#include "lexicon/EntryList.h"

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPushButton;

namespace kalix::ui {

class TSortedList;

class TfrmThesaurus : public QDialog {
  Q_OBJECT
 public:
  // The result code of "Sau&ver".
  static constexpr int kResultYes = 6;

  explicit TfrmThesaurus(QWidget* parent = nullptr);

  // Shows the editor modally on `entries` (which the list sorts). On Ok and
  // Save, `edited` receives the lines in list order. The list is emptied
  // afterwards.
  EditorResult EditEntries(const QStringList& entries, QStringList& edited);

  QLineEdit* edWord;
  TSortedList* lstWord;
  QPushButton *btnAdd, *btnRepl, *btnDel, *btnSave, *OKBtn, *CancelBtn;

 public slots:
  void edWordChange();
  void lstWordClick();
  void btnAddClick();
  void btnReplClick();
  void btnDelClick();
  void OKBtnClick();
  void btnSaveClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TakeCurrentLine();
  void Changed();

  bool changed_ = false;
};

// The one thesaurus editor of the program, made on first use.
TfrmThesaurus& TheThesaurusEditor();

}  // namespace kalix::ui
