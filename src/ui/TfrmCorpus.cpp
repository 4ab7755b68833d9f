#include "ui/TfrmCorpus.h"

#include "ui/Dialogs.h"
#include "ui/EditorList.h"
#include "ui/Shell.h"
#include "ui/UiLanguage.h"

#include <QEvent>
#include <QGridLayout>
#include <QPushButton>

namespace kalix::ui {

TfrmCorpus::TfrmCorpus(QWidget* parent) : QDialog(parent) {
  setObjectName("frmCorpus");
  setWindowTitle("Corpus");
  setFixedSize(367, 203);

  lstWord = new TSortedList(this);
  lstWord->setObjectName("lstWord");
  btnAdd = EditorButton(this, "btnAdd", "&Ajouter", true);
  btnDel = EditorButton(this, "btnDel", "&Supprimer", false);
  btnSave = EditorButton(this, "btnSave", "Sau&ver", false);
  OKBtn = EditorButton(this, "OKBtn", "OK", true);
  CancelBtn = EditorButton(this, "CancelBtn", "Annuler", true);
  OKBtn->setDefault(true);

  OpenDialog.filter = "Rich text files (*.rft)|*.rtf|Text files (*.txt)|*.txt|Any files (*.*)|*.*";
  OpenDialog.defaultExtension = "cor";
  OpenDialog.mustExist = true;

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->addWidget(lstWord, 0, 0, 6, 1);
  grid->addWidget(btnAdd, 0, 1);
  grid->addWidget(btnDel, 1, 1);
  grid->setRowStretch(2, 1);
  grid->addWidget(btnSave, 3, 1);
  grid->addWidget(OKBtn, 4, 1);
  grid->addWidget(CancelBtn, 5, 1);
  grid->setColumnStretch(0, 1);

  connect(lstWord, &QAbstractItemView::clicked, this, &TfrmCorpus::lstWordClick);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmCorpus::btnAddClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmCorpus::btnDelClick);
  connect(OKBtn, &QPushButton::clicked, this, &TfrmCorpus::OKBtnClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmCorpus::btnSaveClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  lstWord->installEventFilter(this);

  CentreOnScreen(this);
}

EditorResult TfrmCorpus::EditEntries(const QStringList& entries, const QString& documentFolder,
                                     QStringList& edited) {
  lstWord->clear();
  OpenDialog.initialFolder = documentFolder;
  for (const QString& e : entries) lstWord->AddSorted(e);

  ApplyLanguageToWidgets("frmCorpus", this);
  NameByCaptions({btnAdd, btnDel, btnSave, OKBtn, CancelBtn});
  lstWord->setAccessibleName(windowTitle());
  changed_ = false;
  return ExecEditor(*this, *lstWord, kResultYes, edited);
}

void TfrmCorpus::lstWordClick() { btnDel->setEnabled(lstWord->HasCurrent()); }

bool TfrmCorpus::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstWord && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    btnDel->setEnabled(lstWord->HasCurrent());
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmCorpus::btnAddClick() {
  const QStringList chosen = CurrentDialogs().OpenFiles(this, OpenDialog);
  for (const QString& path : chosen) {
    bool present = false;
    for (int i = 0; i < lstWord->count() && !present; ++i) {
      present = lstWord->item(i)->text().compare(path, Qt::CaseInsensitive) == 0;
    }
    if (!present) lstWord->AddSorted(path);
  }
  // A cancelled file dialog counts as a change too.
  changed_ = true;
  btnSave->setEnabled(true);
  btnDel->setEnabled(lstWord->HasCurrent());
}

void TfrmCorpus::btnDelClick() {
  lstWord->DeleteSelected();
  changed_ = true;
  btnSave->setEnabled(true);
  btnDel->setEnabled(lstWord->HasCurrent());
}

void TfrmCorpus::OKBtnClick() { done(changed_ ? QDialog::Accepted : QDialog::Rejected); }

void TfrmCorpus::btnSaveClick() { done(kResultYes); }

TfrmCorpus& TheCorpusEditor() {
  Shell& shell = TheShell();
  if (!shell.CorpusEditor) shell.CorpusEditor = new TfrmCorpus();
  return *shell.CorpusEditor;
}

}  // namespace kalix::ui
