#include "ui/TfrmResult.h"

#include "platform/Cp1252.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/UiLanguage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

QString T(const char* text1252) { return FromCp1252(text1252); }

// Leading and trailing blanks and control characters removed.
QString Trimmed(const QString& text) {
  qsizetype first = 0, last = text.size();
  while (first < last && text[first].unicode() <= 0x20) ++first;
  while (last > first && text[last - 1].unicode() <= 0x20) --last;
  return text.mid(first, last - first);
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, int x, int y, bool on) {
  auto* box = new QCheckBox(T(caption), parent);
  box->setObjectName(name);
  box->setGeometry(x, y, 150, 17);
  box->setChecked(on);
  box->setAccessibleName(T(caption));
  return box;
}

}  // namespace

TfrmResult::TfrmResult(QWidget* parent) : QDialog(parent) {
  setObjectName("frmResult");
  setWindowTitle(T("R\xe9sultat"));
  setFixedSize(341, 245);
  setModal(true);

  BuildFileField();
  BuildListChecks();
  BuildExtractGroup();
  BuildButtons();
  ConnectControls();
  UpdateResultDialog();
}

// The file the report goes to, and the button that chooses it.
void TfrmResult::BuildFileField() {
  lblFile = new QLabel(T("&Fichier"), this);
  lblFile->setObjectName("lblFile");
  lblFile->setGeometry(8, 12, 52, 17);
  edFile = new QLineEdit(this);
  edFile->setObjectName("edFile");
  edFile->setGeometry(60, 10, 241, 21);
  edFile->setAccessibleName(T("Fichier"));
  lblFile->setBuddy(edFile);
  btnFile = new QPushButton("...", this);
  btnFile->setObjectName("btnFile");
  btnFile->setGeometry(306, 9, 27, 23);
  btnFile->setAccessibleName("...");
  btnFile->setAccessibleDescription(T("Choisir le fichier"));
  btnFile->setAutoDefault(false);
}

// What the report holds: the information, the list and its references; and
// whether it is added to the file.
void TfrmResult::BuildListChecks() {
  chkContext = Check(this, "chkContext", "Informations", 8, 44, true);
  chkTarget = Check(this, "chkTarget", "Liste", 8, 68, true);
  chkTargRef = Check(this, "chkTargRef", "R\xe9" "f\xe9rences", 24, 88, true);
  chkApend = Check(this, "chkApend", "Ajouter au fichier", 8, 116, false);
  chkTargRef->setAccessibleDescription(T("Liste"));
}

// The kind of extracts, and their references.
void TfrmResult::BuildExtractGroup() {
  pnlExtrait = new QGroupBox(T("Extraits"), this);
  pnlExtrait->setObjectName("pnlExtrait");
  pnlExtrait->setProperty("kalixRadioGroup", true);
  pnlExtrait->setAccessibleName(T("Extraits"));
  pnlExtrait->setGeometry(176, 40, 157, 128);
  auto* extractLayout = new QVBoxLayout(pnlExtrait);
  extractLayout->setContentsMargins(8, 4, 8, 4);
  extractLayout->setSpacing(2);
  extractGroup = new QButtonGroup(this);
  const char* const kinds[] = {"Aucun", "Mots", "Phrases", "Paragraphes"};
  for (int k = 0; k < 4; ++k) {
    rbExtract[k] = new QRadioButton(T(kinds[k]), pnlExtrait);
    rbExtract[k]->setAccessibleName(T(kinds[k]));
    extractGroup->addButton(rbExtract[k], k);
    extractLayout->addWidget(rbExtract[k]);
  }
  rbExtract[0]->setChecked(true);
  chkExtRef = Check(this, "chkExtRef", "R\xe9" "f\xe9rences", 184, 176, true);
  chkExtRef->setAccessibleDescription(T("Extraits"));
}

void TfrmResult::BuildButtons() {
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setGeometry(90, 210, 75, 25);
  OKBtn->setDefault(true);
  OKBtn->setAccessibleName("OK");
  CancelBtn = new QPushButton(T("Annuler"), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(176, 210, 75, 25);
  CancelBtn->setAutoDefault(false);
  CancelBtn->setAccessibleName(T("Annuler"));
}

void TfrmResult::ConnectControls() {
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnFile, &QPushButton::clicked, this, &TfrmResult::btnFileClick);
  connect(extractGroup, &QButtonGroup::idClicked, this, [this](int) { UpdateResultDialog(); });
  // A screen reader's toggle action sends no click.
  connect(extractGroup, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) UpdateResultDialog();
  });
}

void TfrmResult::showEvent(QShowEvent* event) {
  ApplyLanguageToWidgets("frmResult", this);
  // Screen readers hear the captions of the language in use.
  NameControlsForScreenReaders(this);
  btnFile->setAccessibleDescription(Tr("Choisir le fichier"));
  chkTargRef->setAccessibleDescription(chkTarget->accessibleName());
  chkExtRef->setAccessibleDescription(pnlExtrait->accessibleName());
  UpdateResultDialog();
  QDialog::showEvent(event);
}

void TfrmResult::PresetExtractKind(int kind) {
  if (kind < 0 || kind > 3) kind = 0;
  rbExtract[kind]->setChecked(true);
}

int TfrmResult::ExtractKind() const {
  const int id = extractGroup->checkedId();
  return id < 0 ? 0 : id;
}

QString TfrmResult::FileName() const { return Trimmed(edFile->text()); }

ReportOptions TfrmResult::Options() const {
  ReportOptions o;
  o.Informations = chkContext->isChecked();
  o.List = chkTarget->isChecked();
  o.ListReferences = chkTargRef->isChecked();
  o.Append = chkApend->isChecked();
  o.ExtractReferences = chkExtRef->isChecked();
  o.Extracts = ExtractKind();
  o.OutputFile = FileSystemPath(FileName());
  return o;
}

void TfrmResult::UpdateResultDialog() {
  OKBtn->setEnabled(!FileName().isEmpty());
  chkTargRef->setEnabled(chkTarget->isChecked());
  chkExtRef->setEnabled(ExtractKind() != 0);
}

void TfrmResult::btnFileClick() {
  FileDialogOptions o;
  o.filter = "Text file (*.txt)|*.txt|Any file (*.*)|*.*";
  o.defaultExtension = "txt";
  o.fileName = edFile->text();
  o.mustExist = false;
  o.confirmOverwrite = !chkApend->isChecked();  // the report is added to an existing file
  const QString chosen = CurrentDialogs().SaveFile(this, o);
  if (!chosen.isEmpty()) edFile->setText(chosen);
  UpdateResultDialog();
}

TfrmResult& TheResultDialog() {
  Shell& shell = TheShell();
  if (!shell.Result) shell.Result = new TfrmResult();
  return *shell.Result;
}

}  // namespace kalix::ui
