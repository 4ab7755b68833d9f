// The word-list dialog "Liste des mots": the result spelling, the symbols,
// the corpus and the filters of a word list.
#pragma once

#include "app/WordList.h"
#include "rules/Filters.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;

namespace kalix::ui {

class TRadioGroup;

class TfrmWord : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmWord(QWidget* parent = nullptr);

  // Attaches the window's filter list (set by OK); checks "Utiliser le
  // corpus" when the window has no document and a corpus is open.
  void Attach(cFilterList* filters, bool windowHasDocument, bool corpusOpen);

  // What the dialog gives after OK.
  WordListChoice Choice() const;

  TRadioGroup* pnlResult;
  QGroupBox* Panel3;
  QCheckBox* chkResSep;
  QCheckBox* chkCorpus;
  QGroupBox* GroupBox3;
  QListWidget* lstFilter;
  QPushButton *OKBtn, *CancelBtn;

 public slots:
  void pnlResultClick();
  void OKBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  cFilterList ownFilters_;
  cFilterList* filters_ = &ownFilters_;
  std::string filterNames_;
};

// The process's word-list dialog, made on first use.
TfrmWord& TheWordDialog();

}  // namespace kalix::ui
