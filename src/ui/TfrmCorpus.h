// The corpus editor: the sorted list of the corpus documents, with buttons
// that add documents through a file dialog (several at once) and delete
// lines. Made once and reused.
#pragma once

#include "lexicon/EntryList.h"
#include "ui/Dialogs.h"

#include <QDialog>
#include <QStringList>

class QPushButton;

namespace kalix::ui {

class TSortedList;

class TfrmCorpus : public QDialog {
  Q_OBJECT
 public:
  // The result code of "Sau&ver".
  static constexpr int kResultYes = 6;

  explicit TfrmCorpus(QWidget* parent = nullptr);

  // Shows the editor modally on `entries` (which the list sorts), its file
  // dialog starting in `documentFolder`. On Ok and Save, `edited` receives
  // the lines in list order. The list is emptied afterwards.
  EditorResult EditEntries(const QStringList& entries, const QString& documentFolder, QStringList& edited);

  TSortedList* lstWord;
  QPushButton *btnAdd, *btnDel, *btnSave, *OKBtn, *CancelBtn;
  FileDialogOptions OpenDialog;  // several existing files at once

 public slots:
  void lstWordClick();
  void btnAddClick();
  void btnDelClick();
  void OKBtnClick();
  void btnSaveClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool changed_ = false;
};

// The one corpus editor of the program, made on first use.
TfrmCorpus& TheCorpusEditor();

}  // namespace kalix::ui
