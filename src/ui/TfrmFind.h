// The search dialog "Recherche": the strings of a search with their
// position and exclusion, the filters, the spelling, context and result
// options. One dialog serves every main window; each showing is attached to
// the lists of the window that opens it.
#pragma once

#include "rules/Filters.h"
#include "search/SearchSpec.h"

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kalix::ui {

class TRadioGroup;

// Fills a filter check-list: one unchecked item per filter definition of the
// rule set, in order (its first two characters, then its translated name).
void FillFilterList(QListWidget* list);
// The indices of the checked items of a filter check-list.
std::vector<size_t> CheckedFilterItems(const QListWidget* list);
// Refills the filter check-lists of the search and word-list dialogs that
// exist (after a new rules file).
void RefillFilterCheckLists();

class TfrmFind : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmFind(QWidget* parent = nullptr);

  // What a window gives the dialog before showing it.
  struct Attachment {
    cArrowList* Strings = nullptr;     // the window's strings (edited in place)
    cFilterList* Filters = nullptr;    // the window's filter patterns (set by OK)
    const std::vector<std::string>* ThesaurusWords = nullptr;
    bool ThesaurusOpen = false;
    bool CorpusOpen = false;
    bool WindowHasDocument = false;
    int MaxLevel = 0;
  };
  // Attaches the lists, sets the controls that depend on the window, and
  // rebuilds the list box from the window's strings when it shows others.
  void Attach(const Attachment& attachment);

  // The window's settings as the dialog gives them (after OK).
  SearchSettings ChosenSettings() const;
  const std::string& FilterNames() const { return filterNames_; }

  void UpdateFindControls();

  // --- controls ---
  QGroupBox* GroupBox2;
  QLineEdit* edWord;
  QListWidget* lstWord;
  QPushButton *btnAdd, *btnRepl, *btnDel, *btnThesaurus, *btnErase;
  TRadioGroup* pnlPlace;
  QGroupBox* GroupBox4;
  QCheckBox* chkExclude;
  QGroupBox* GroupBox3;
  QListWidget* lstFilter;
  TRadioGroup* pnlOrtho;
  QSpinBox* udMorva;
  QLabel *txtMorva, *lblMorva;
  QCheckBox* chkSepar;
  TRadioGroup* pnlContext;
  QCheckBox *chkAll, *chkOrder;
  QGroupBox* GroupBox1;
  QCheckBox* chkAsOrtho;
  TRadioGroup* pnlResult;
  QCheckBox *chkSymbol, *chkCorpus;
  QPushButton *OKBtn, *CancelBtn;

 public slots:
  void edWordChange();
  void btnAddClick();
  void btnReplClick();
  void btnDelClick();
  void btnEraseClick();
  void btnThesaurusClick();
  void pnlPlaceClick();
  void chkExcludeClick();
  void pnlContextClick();
  void pnlOrthoClick();
  void udMorvaChanged();
  void chkAsOrthoClick();
  void pnlResultClick();
  void OKBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildStringsGroup();
  void BuildPlaceAndFilters();
  void BuildSpellingOptions();
  void BuildContextAndResult();
  void LayOutControls();
  void ConnectControls();
  // The edit's text without leading and trailing blanks and control
  // characters, in code page 1252.
  std::string TrimmedEdit() const;
  int ItemIndex() const;
  // The record that "Position" and "Exclure" act on; -1: none.
  int TargetRecord() const;
  cArrowList& Strings();

  bool updating_ = false;
  cArrowList ownStrings_;  // until a window attaches its list
  cFilterList ownFilters_;
  Attachment attached_;
  std::string filterNames_;
};

// The process's search dialog, made on first use.
TfrmFind& TheFindDialog();

}  // namespace kalix::ui
