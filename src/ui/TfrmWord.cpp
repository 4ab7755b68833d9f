#include "ui/TfrmWord.h"

#include "app/RunSearch.h"
#include "platform/Cp1252.h"
#include "ui/Accessible.h"
#include "ui/RadioGroup.h"
#include "ui/Shell.h"
#include "ui/TfrmFind.h"
#include "ui/UiLanguage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalix::ui {

TfrmWord& TheWordDialog() {
  Shell& shell = TheShell();
  if (!shell.Word) shell.Word = new TfrmWord();
  return *shell.Word;
}

TfrmWord::TfrmWord(QWidget* parent) : QDialog(parent) {
  setObjectName("frmWord");
  setWindowTitle(FromCp1252("Liste des mots"));

  pnlResult = new TRadioGroup("pnlResult", "R\xe9sultat", {"Identique", "Majuscule", "Modifi\xe9" "e"}, this);
  pnlResult->SetItemIndex(2);
  Panel3 = new QGroupBox(this);
  Panel3->setObjectName("Panel3");
  chkResSep = new QCheckBox(FromCp1252("Affiche les symboles"), Panel3);
  chkResSep->setObjectName("chkResSep");
  chkResSep->setEnabled(false);
  (new QVBoxLayout(Panel3))->addWidget(chkResSep);
  chkCorpus = new QCheckBox(FromCp1252("Utiliser le corpus"), this);
  chkCorpus->setObjectName("chkCorpus");
  GroupBox3 = new QGroupBox(FromCp1252("Filtres"), this);
  GroupBox3->setObjectName("GroupBox3");
  lstFilter = new QListWidget(GroupBox3);
  lstFilter->setObjectName("lstFilter");
  lstFilter->setMinimumHeight(80);
  (new QVBoxLayout(GroupBox3))->addWidget(lstFilter);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(FromCp1252("Annuler"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setAutoDefault(false);

  auto* left = new QVBoxLayout;
  left->addWidget(pnlResult);
  left->addWidget(Panel3);
  left->addWidget(chkCorpus);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(GroupBox3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  right->addLayout(buttons);
  auto* top = new QHBoxLayout(this);
  top->addLayout(left);
  top->addLayout(right, 1);
  top->setSizeConstraint(QLayout::SetFixedSize);

  connect(pnlResult, &TRadioGroup::clicked, this, &TfrmWord::pnlResultClick);
  connect(OKBtn, &QPushButton::clicked, this, &TfrmWord::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  FillFilterList(lstFilter);
  NameControlsForScreenReaders(this);
}

void TfrmWord::Attach(cFilterList* filters, bool windowHasDocument, bool corpusOpen) {
  filters_ = filters ? filters : &ownFilters_;
  if (!windowHasDocument && corpusOpen) chkCorpus->setChecked(true);
  pnlResultClick();
}

void TfrmWord::showEvent(QShowEvent* event) {
  ApplyLanguageToWidgets("frmWord", this);
  NameControlsForScreenReaders(this);
  pnlResultClick();
  QDialog::showEvent(event);
}

void TfrmWord::pnlResultClick() {
  const int item = pnlResult->ItemIndex();
  chkResSep->setEnabled(item == 0 || item == 1);
}

void TfrmWord::OKBtnClick() {
  BuildFilterList(TheShell().Ctx.Rules, CheckedFilterItems(lstFilter), *filters_, filterNames_);
  accept();
}

WordListChoice TfrmWord::Choice() const {
  WordListChoice c;
  c.ResultItem = pnlResult->ItemIndex();
  c.ShowSymbols = chkResSep->isChecked();
  c.CorpusChecked = chkCorpus->isChecked();
  c.FilterNames = filterNames_;
  return c;
}

}  // namespace kalix::ui
