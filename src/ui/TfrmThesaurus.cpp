#include "ui/TfrmThesaurus.h"

#include "ui/Dialogs.h"
#include "ui/EditorList.h"
#include "ui/Shell.h"
#include "ui/UiLanguage.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace kalix::ui {

TfrmThesaurus::TfrmThesaurus(QWidget* parent) : QDialog(parent) {
  setObjectName("frmThesaurus");
  setWindowTitle("Thesaurus");
  setFixedSize(290, 379);

  // The controls are direct children of the form: the captions name them
  // form by form, without containers in between.
  edWord = new QLineEdit(this);
  edWord->setObjectName("edWord");
  lstWord = new TSortedList(this);
  lstWord->setObjectName("lstWord");
  btnAdd = EditorButton(this, "btnAdd", "&Ajouter", false);
  btnRepl = EditorButton(this, "btnRepl", "&Remplacer", false);
  btnDel = EditorButton(this, "btnDel", "&Supprimer", false);
  btnSave = EditorButton(this, "btnSave", "Sau&ver", false);
  OKBtn = EditorButton(this, "OKBtn", "OK", true);
  CancelBtn = EditorButton(this, "CancelBtn", "Annuler", true);
  OKBtn->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->addWidget(edWord, 0, 0);
  grid->addWidget(lstWord, 1, 0, 7, 1);
  grid->addWidget(btnAdd, 0, 1);
  grid->addWidget(btnRepl, 1, 1);
  grid->addWidget(btnDel, 2, 1);
  grid->setRowStretch(3, 1);
  grid->addWidget(btnSave, 4, 1);
  grid->addWidget(OKBtn, 5, 1);
  grid->addWidget(CancelBtn, 6, 1);
  grid->setColumnStretch(0, 1);

  connect(edWord, &QLineEdit::textChanged, this, &TfrmThesaurus::edWordChange);
  connect(lstWord, &QAbstractItemView::clicked, this, &TfrmThesaurus::lstWordClick);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmThesaurus::btnAddClick);
  connect(btnRepl, &QPushButton::clicked, this, &TfrmThesaurus::btnReplClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmThesaurus::btnDelClick);
  connect(OKBtn, &QPushButton::clicked, this, &TfrmThesaurus::OKBtnClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmThesaurus::btnSaveClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  lstWord->installEventFilter(this);

  CentreOnScreen(this);
}

EditorResult TfrmThesaurus::EditEntries(const QStringList& entries, QStringList& edited) {
  lstWord->clear();
  for (const QString& e : entries) lstWord->AddSorted(e);

  ApplyLanguageToWidgets("frmThesaurus", this);
  NameByCaptions({btnAdd, btnRepl, btnDel, btnSave, OKBtn, CancelBtn});
  edWord->setAccessibleName(windowTitle());
  lstWord->setAccessibleName(windowTitle());
  changed_ = false;
  return ExecEditor(*this, *lstWord, kResultYes, edited);
}

void TfrmThesaurus::edWordChange() {
  const QString s = TrimBlanks(edWord->text());
  bool add = !s.isEmpty() && lstWord->findItems(s, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty();
  btnAdd->setEnabled(add);
  btnRepl->setEnabled(add && lstWord->HasCurrent());
}

void TfrmThesaurus::TakeCurrentLine() {
  btnDel->setEnabled(lstWord->HasCurrent());
  if (lstWord->HasCurrent()) {
    edWord->setText(TrimBlanks(lstWord->currentItem()->text()));
    btnAdd->setEnabled(false);
    btnRepl->setEnabled(false);
  }
}

void TfrmThesaurus::lstWordClick() { TakeCurrentLine(); }

bool TfrmThesaurus::eventFilter(QObject* watched, QEvent* event) {
  // A key in the list: the line current before the list moves.
  if (watched == lstWord && event->type() == QEvent::KeyPress) TakeCurrentLine();
  return QDialog::eventFilter(watched, event);
}

void TfrmThesaurus::Changed() {
  changed_ = true;
  btnSave->setEnabled(true);
}

void TfrmThesaurus::btnAddClick() {
  const QString s = TrimBlanks(edWord->text());
  if (s.isEmpty()) return;
  lstWord->AddSorted(s);
  edWord->setFocus();
  btnAdd->setEnabled(false);
  btnRepl->setEnabled(false);
  Changed();
}

void TfrmThesaurus::btnReplClick() {
  const QString s = TrimBlanks(edWord->text());
  if (s.isEmpty() || !lstWord->HasCurrent()) return;
  lstWord->currentItem()->setText(s);  // keeps its place
  edWord->setFocus();
  btnAdd->setEnabled(false);
  btnRepl->setEnabled(false);
  Changed();
}

void TfrmThesaurus::btnDelClick() {
  if (lstWord->selectedItems().isEmpty()) {
    // A current line that is not selected: nothing is deleted.
    edWord->setFocus();
    return;
  }
  const int p = lstWord->DeleteSelected();
  if (p >= 0 && p < lstWord->count()) {
    lstWord->setCurrentRow(p);
    edWord->setText(TrimBlanks(lstWord->item(p)->text()));
    btnAdd->setEnabled(false);
    btnRepl->setEnabled(false);
  } else {
    lstWord->setCurrentRow(-1);
    edWord->clear();
  }
  edWord->setFocus();
  btnDel->setEnabled(lstWord->HasCurrent());
  Changed();
}

void TfrmThesaurus::OKBtnClick() { done(changed_ ? QDialog::Accepted : QDialog::Rejected); }

void TfrmThesaurus::btnSaveClick() { done(kResultYes); }

TfrmThesaurus& TheThesaurusEditor() {
  Shell& shell = TheShell();
  if (!shell.ThesaurusEditor) shell.ThesaurusEditor = new TfrmThesaurus();
  return *shell.ThesaurusEditor;
}

}  // namespace kalix::ui
