#include "ui/TfrmAddStr.h"

#include "platform/Cp1252.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/UiLanguage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

QString T(const char* text1252) { return FromCp1252(text1252); }

// Turns what is typed into upper case as it is typed.
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

// A caption without its mnemonic marks, as a screen reader should say it.
QString Spoken(const QString& caption) {
  QString s = caption;
  s.replace("&&", QString(QChar(0xE000)));
  s.remove('&');
  s.replace(QChar(0xE000), "&");
  return s;
}

}  // namespace

TfrmAddStr::TfrmAddStr(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAddStr");
  setWindowTitle(T("Ajouter une cha\xeene"));

  // Controls are direct children of the form, in the order of its design.
  edWord = new QLineEdit(this);
  edWord->setObjectName("edWord");
  edWord->setMaxLength(32);
  edWord->setValidator(new UpperCaseValidator(edWord));

  pnlPlace = new QGroupBox(T("Position"), this);
  pnlPlace->setObjectName("pnlPlace");
  pnlPlace->setProperty("kalixRadioGroup", true);
  auto* placeLayout = new QVBoxLayout(pnlPlace);
  auto* placeGroup = new QButtonGroup(pnlPlace);
  for (const char* item : {"Indiff\xe9rente", "D\xe9" "but de mot", "Fin de mot", "Milieu de mot", "Mot entier"}) {
    auto* b = new QRadioButton(T(item), pnlPlace);
    placeGroup->addButton(b, static_cast<int>(PlaceItems.size()));
    placeLayout->addWidget(b);
    PlaceItems << b;
  }
  PlaceItems[0]->setChecked(true);

  GroupBox4 = new QGroupBox(this);
  GroupBox4->setObjectName("GroupBox4");
  auto* excludeLayout = new QVBoxLayout(GroupBox4);
  chkExclude = new QCheckBox(T("Exclure"), GroupBox4);
  chkExclude->setObjectName("chkExclude");
  chkExclude->setEnabled(false);
  excludeLayout->addWidget(chkExclude);

  OKBtn = new QPushButton(T("OK"), this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(T("Annuler"), this);
  CancelBtn->setObjectName("CancelBtn");
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->addWidget(edWord, 0, 0, 1, 2);
  layout->addWidget(pnlPlace, 1, 0, 2, 1);
  layout->addWidget(GroupBox4, 1, 1, Qt::AlignTop);
  auto* buttons = new QVBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons, 2, 1);
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
  CentreOnScreen(this);
  NameForScreenReaders();
}

void TfrmAddStr::NameForScreenReaders() {
  edWord->setAccessibleName(windowTitle());
  pnlPlace->setAccessibleName(pnlPlace->title());
  for (QRadioButton* b : PlaceItems) b->setAccessibleName(Spoken(b->text()));
  GroupBox4->setAccessibleName(Spoken(chkExclude->text()));
  chkExclude->setAccessibleName(Spoken(chkExclude->text()));
  OKBtn->setAccessibleName(Spoken(OKBtn->text()));
  CancelBtn->setAccessibleName(Spoken(CancelBtn->text()));
}

bool TfrmAddStr::Ask() {
  ApplyLanguageToWidgets("frmAddStr", this);
  NameForScreenReaders();
  edWord->clear();
  edWord->setFocus();
  return CurrentDialogs().Exec(this) == QDialog::Accepted;
}

std::string TfrmAddStr::Text() const { return ToCp1252(edWord->text()); }

int16_t TfrmAddStr::Place() const {
  for (int i = 0; i < PlaceItems.size(); ++i) {
    if (PlaceItems[i]->isChecked()) return static_cast<int16_t>(i);
  }
  return 0;
}

int16_t TfrmAddStr::Excluded() const { return chkExclude->isChecked() ? 1 : 0; }

TfrmAddStr& TheAddStrDialog() {
  Shell& shell = TheShell();
  if (!shell.AddStr) shell.AddStr = new TfrmAddStr;
  return *shell.AddStr;
}

}  // namespace kalix::ui
