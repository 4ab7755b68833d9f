#include "ui/TfrmFind.h"

#include "app/RunSearch.h"
#include "platform/Cp1252.h"
#include "ui/Accessible.h"
#include "ui/RadioGroup.h"
#include "ui/Shell.h"
#include "ui/TfrmWord.h"
#include "ui/UiLanguage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

QString T(const char* text1252) { return FromCp1252(text1252); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(T(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool checked, bool enabled) {
  auto* c = new QCheckBox(T(caption), parent);
  c->setObjectName(name);
  c->setChecked(checked);
  c->setEnabled(enabled);
  return c;
}

// Leading and trailing blanks and control characters removed.
std::string Trimmed(std::string s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

// FindListItem: the first item equal to `text` (exact), or -1.
int FindListItem(const QListWidget* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text() == text) return i;
  }
  return -1;
}

}  // namespace

void FillFilterList(QListWidget* list) {
  const Context& ctx = TheShell().Ctx;
  list->clear();
  for (const std::string& def : ctx.Rules.FilterDefs) {
    auto* item = new QListWidgetItem(FromCp1252(FilterItemText(ctx.Language, def)), list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
}

std::vector<size_t> CheckedFilterItems(const QListWidget* list) {
  std::vector<size_t> checked;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked) checked.push_back(static_cast<size_t>(i));
  }
  return checked;
}

void RefillFilterCheckLists() {
  Shell& shell = TheShell();
  if (shell.Find) FillFilterList(shell.Find->lstFilter);
  if (shell.Word) FillFilterList(shell.Word->lstFilter);
}

TfrmFind& TheFindDialog() {
  Shell& shell = TheShell();
  if (!shell.Find) shell.Find = new TfrmFind();
  return *shell.Find;
}

TfrmFind::TfrmFind(QWidget* parent) : QDialog(parent) {
  setObjectName("frmFind");
  setWindowTitle(T("Recherche"));
  attached_.Strings = &ownStrings_;
  attached_.Filters = &ownFilters_;

  BuildStringsGroup();
  BuildPlaceAndFilters();
  BuildSpellingOptions();
  BuildContextAndResult();
  LayOutControls();
  ConnectControls();

  // Created: the result options follow "Comme l'orthographe"; no item index;
  // the filters of the rule set.
  chkAsOrthoClick();
  lstWord->setCurrentRow(-1);
  FillFilterList(lstFilter);
  UpdateFindControls();
  NameControlsForScreenReaders(this);
}

// The edit field, the list of strings and their buttons.
void TfrmFind::BuildStringsGroup() {
  GroupBox2 = new QGroupBox(T("Cha\xeenes"), this);
  GroupBox2->setObjectName("GroupBox2");
  edWord = new QLineEdit(GroupBox2);
  edWord->setObjectName("edWord");
  lstWord = new QListWidget(GroupBox2);
  lstWord->setObjectName("lstWord");
  lstWord->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstWord->setMinimumHeight(90);
  btnAdd = Button(GroupBox2, "btnAdd", "&Ajouter");
  btnRepl = Button(GroupBox2, "btnRepl", "&Remplacer");
  btnDel = Button(GroupBox2, "btnDel", "&Supprimer");
  btnThesaurus = Button(GroupBox2, "btnThesaurus", "Thesaurus");
  btnErase = Button(GroupBox2, "btnErase", "&Effacer");
  btnAdd->setEnabled(false);
  btnRepl->setEnabled(false);
  btnDel->setEnabled(false);
  btnThesaurus->setEnabled(false);
  auto* g = new QGridLayout(GroupBox2);
  g->addWidget(edWord, 0, 0);
  g->addWidget(lstWord, 1, 0, 5, 1);
  g->addWidget(btnAdd, 0, 1);
  g->addWidget(btnRepl, 1, 1);
  g->addWidget(btnDel, 2, 1);
  g->addWidget(btnThesaurus, 3, 1);
  g->addWidget(btnErase, 4, 1);
  g->setRowStretch(5, 1);
}

// Where the string stands in its word, "Exclure", and the filters.
void TfrmFind::BuildPlaceAndFilters() {
  pnlPlace = new TRadioGroup("pnlPlace", "Position",
                             {"Indiff\xe9rente", "D\xe9" "but de mot", "Fin de mot", "Milieu de mot", "Mot entier"},
                             this);
  GroupBox4 = new QGroupBox(this);
  GroupBox4->setObjectName("GroupBox4");
  chkExclude = Check(GroupBox4, "chkExclude", "Exclure", false, false);
  (new QVBoxLayout(GroupBox4))->addWidget(chkExclude);

  GroupBox3 = new QGroupBox(T("Filtres"), this);
  GroupBox3->setObjectName("GroupBox3");
  lstFilter = new QListWidget(GroupBox3);
  lstFilter->setObjectName("lstFilter");
  lstFilter->setMinimumHeight(70);
  (new QVBoxLayout(GroupBox3))->addWidget(lstFilter);
}

// The spelling, its generation level, and ignoring the separators.
void TfrmFind::BuildSpellingOptions() {
  pnlOrtho = new TRadioGroup("pnlOrtho", "Orthographe", {"Identique", "Majuscule", "Modifi\xe9" "e", "G\xe9n\xe9r\xe9" "e"},
                             this);
  pnlOrtho->SetItemIndex(2);
  udMorva = new QSpinBox(this);
  udMorva->setObjectName("udMorva");
  udMorva->setRange(1, 1);
  udMorva->setValue(1);
  udMorva->setWrapping(false);
  udMorva->setEnabled(false);
  txtMorva = new QLabel("1", this);
  txtMorva->setObjectName("txtMorva");
  txtMorva->setEnabled(false);
  lblMorva = new QLabel(T("niveau g\xe9n\xe9ration"), this);
  lblMorva->setObjectName("lblMorva");
  lblMorva->setEnabled(false);
  lblMorva->setBuddy(udMorva);
  chkSepar = Check(this, "chkSepar", "Ignore les s\xe9parateurs", false, true);
}

// The context and its options, the result's spelling, the corpus, and the
// OK and cancel buttons.
void TfrmFind::BuildContextAndResult() {
  pnlContext = new TRadioGroup("pnlContext", "Contexte", {"Texte", "Mot", "Phrase", "Paragraphe"}, this);
  chkAll = Check(this, "chkAll", "Toutes les cha\xeenes", true, false);
  chkOrder = Check(this, "chkOrder", "Dans l'ordre", false, false);

  GroupBox1 = new QGroupBox(T("R\xe9sultat"), this);
  GroupBox1->setObjectName("GroupBox1");
  chkAsOrtho = Check(GroupBox1, "chkAsOrtho", "Comme l'orthographe", true, true);
  pnlResult = new TRadioGroup("pnlResult", "", {"Identique", "Majuscule", "Modifi\xe9"}, GroupBox1);
  pnlResult->SetItemIndex(1);
  pnlResult->setEnabled(false);
  chkSymbol = Check(GroupBox1, "chkSymbol", "affiche les symboles", true, true);
  auto* v = new QVBoxLayout(GroupBox1);
  v->addWidget(chkAsOrtho);
  v->addWidget(pnlResult);
  v->addWidget(chkSymbol);
  chkCorpus = Check(this, "chkCorpus", "Utiliser le corpus", false, true);

  OKBtn = Button(this, "OKBtn", "OK");
  OKBtn->setEnabled(false);
  CancelBtn = Button(this, "CancelBtn", "Annuler");
}

// Strings and filters on the left, options on the right.
void TfrmFind::LayOutControls() {
  auto* left = new QVBoxLayout;
  left->addWidget(GroupBox2, 1);
  auto* place = new QHBoxLayout;
  place->addWidget(pnlPlace);
  place->addWidget(GroupBox4, 0, Qt::AlignTop);
  left->addLayout(place);
  left->addWidget(GroupBox3);
  auto* right = new QVBoxLayout;
  right->addWidget(pnlOrtho);
  auto* level = new QHBoxLayout;
  level->addWidget(udMorva);
  level->addWidget(txtMorva);
  level->addWidget(lblMorva, 1);
  right->addLayout(level);
  right->addWidget(chkSepar);
  right->addWidget(pnlContext);
  right->addWidget(chkAll);
  right->addWidget(chkOrder);
  right->addWidget(GroupBox1);
  right->addWidget(chkCorpus);
  right->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  right->addLayout(buttons);
  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 1);
  top->addLayout(right);
  top->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmFind::ConnectControls() {
  connect(edWord, &QLineEdit::textChanged, this, &TfrmFind::edWordChange);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmFind::btnAddClick);
  connect(btnRepl, &QPushButton::clicked, this, &TfrmFind::btnReplClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmFind::btnDelClick);
  connect(btnErase, &QPushButton::clicked, this, &TfrmFind::btnEraseClick);
  connect(btnThesaurus, &QPushButton::clicked, this, &TfrmFind::btnThesaurusClick);
  connect(lstWord, &QListWidget::itemSelectionChanged, this, &TfrmFind::UpdateFindControls);
  connect(lstWord, &QListWidget::currentRowChanged, this, &TfrmFind::UpdateFindControls);
  connect(pnlPlace, &TRadioGroup::clicked, this, &TfrmFind::pnlPlaceClick);
  // toggled, not clicked: a screen reader's toggle action sends no click.
  connect(chkExclude, &QCheckBox::toggled, this, &TfrmFind::chkExcludeClick);
  connect(pnlContext, &TRadioGroup::clicked, this, &TfrmFind::pnlContextClick);
  connect(pnlOrtho, &TRadioGroup::clicked, this, &TfrmFind::pnlOrthoClick);
  connect(udMorva, &QSpinBox::valueChanged, this, &TfrmFind::udMorvaChanged);
  connect(chkAsOrtho, &QCheckBox::toggled, this, &TfrmFind::chkAsOrthoClick);
  connect(pnlResult, &TRadioGroup::clicked, this, &TfrmFind::pnlResultClick);
  connect(OKBtn, &QPushButton::clicked, this, &TfrmFind::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

cArrowList& TfrmFind::Strings() { return *attached_.Strings; }

std::string TfrmFind::TrimmedEdit() const { return Trimmed(ToCp1252(edWord->text())); }

int TfrmFind::ItemIndex() const { return lstWord->currentRow(); }

int TfrmFind::TargetRecord() const {
  const cArrowList& strings = *attached_.Strings;
  if (strings.size() == 1) return 0;
  int i = ItemIndex();
  return i >= 0 && i < static_cast<int>(strings.size()) ? i : -1;
}

void TfrmFind::Attach(const Attachment& attachment) {
  attached_ = attachment;
  if (!attached_.Strings) attached_.Strings = &ownStrings_;
  if (!attached_.Filters) attached_.Filters = &ownFilters_;
  btnThesaurus->setEnabled(attached_.ThesaurusOpen);
  chkCorpus->setEnabled(attached_.CorpusOpen);
  udMorva->setMaximum(std::max(1, attached_.MaxLevel));
  if (!attached_.WindowHasDocument && attached_.CorpusOpen) chkCorpus->setChecked(true);

  // The list box shows the attached window's strings: rebuilt when it shows
  // those of another window.
  cArrowList& strings = Strings();
  bool same;
  if (lstWord->count() > 0) {
    same = lstWord->count() == static_cast<int>(strings.size());
    for (int k = 0; same && k < lstWord->count(); ++k) {
      same = lstWord->item(k)->text() == FromCp1252(strings[static_cast<size_t>(k)].Text);
    }
  } else {
    const std::string t = TrimmedEdit();
    same = t.empty() ? strings.empty() : strings.size() == 1 && strings[0].Text == t;
  }
  if (!same) {
    updating_ = true;
    if (lstWord->count() == 0 && strings.size() <= 1) {
      // The edit field mirrors a single string.
      QString text = strings.empty() ? QString() : FromCp1252(strings[0].Text);
      if (edWord->text() != text) {
        const QSignalBlocker block(edWord);
        edWord->setText(text);
      }
    } else {
      {
        const QSignalBlocker block(edWord);
        edWord->clear();
      }
      const QSignalBlocker block(lstWord);
      lstWord->clear();
      for (const SearchString& s : strings) lstWord->addItem(FromCp1252(s.Text));
      lstWord->setCurrentRow(-1);
      if (strings.empty()) {
        pnlPlace->SetItemIndex(0);
        chkExclude->setChecked(false);
      }
    }
    updating_ = false;
  }
  UpdateFindControls();
}

void TfrmFind::UpdateFindControls() {
  const std::string t = TrimmedEdit();
  const QString tq = FromCp1252(t);
  const int i = ItemIndex();
  OKBtn->setEnabled(!t.empty() || lstWord->count() > 0);
  btnAdd->setEnabled(!t.empty() && FindListItem(lstWord, tq) < 0);
  btnRepl->setEnabled(btnAdd->isEnabled() && i >= 0);
  btnDel->setEnabled(i >= 0);
  btnErase->setEnabled(true);
  const cArrowList& strings = Strings();
  if (i >= 0 && i < static_cast<int>(strings.size())) {
    updating_ = true;
    pnlPlace->SetItemIndex(strings[static_cast<size_t>(i)].Position);
    chkExclude->setChecked(strings[static_cast<size_t>(i)].Exclude != 0);
    updating_ = false;
  }
  btnAdd->setDefault(btnAdd->isEnabled());
  OKBtn->setDefault(!btnAdd->isEnabled());
}

void TfrmFind::showEvent(QShowEvent* event) {
  ApplyLanguageToWidgets("frmFind", this);
  NameControlsForScreenReaders(this);
  updating_ = false;
  QDialog::showEvent(event);
  if (edWord->isEnabled()) edWord->setFocus();
}

void TfrmFind::edWordChange() {
  if (lstWord->count() == 0) {
    const std::string t = TrimmedEdit();
    cArrowList& strings = Strings();
    if (!strings.empty()) {
      if (t.empty()) {
        strings.clear();
      } else {
        strings[0].Text = t;
        strings[0].TextLength = static_cast<int16_t>(t.size());
        strings[0].SetKey(t);
      }
    } else if (!t.empty()) {
      // The new string takes the position and exclusion the dialog shows.
      SearchString s(t);
      s.Position = static_cast<int16_t>(std::max(0, pnlPlace->ItemIndex()));
      s.Exclude = chkExclude->isChecked() ? 1 : 0;
      strings.push_back(std::move(s));
    }
  }
  UpdateFindControls();
}

void TfrmFind::btnAddClick() {
  const std::string t = TrimmedEdit();
  if (t.empty()) return;
  lstWord->addItem(FromCp1252(t));
  const int last = lstWord->count() - 1;
  lstWord->setCurrentRow(last, QItemSelectionModel::ClearAndSelect);
  if (lstWord->count() > 1) Strings().emplace_back(t);
  edWord->clear();
  edWord->setFocus();
  UpdateFindControls();
}

void TfrmFind::btnReplClick() {
  const int i = ItemIndex();
  const std::string t = TrimmedEdit();
  cArrowList& strings = Strings();
  if (i < 0 || i >= static_cast<int>(strings.size()) || t.empty()) return;
  SearchString& s = strings[static_cast<size_t>(i)];
  s.Text = t;
  s.TextLength = static_cast<int16_t>(t.size());
  s.SetKey(t);
  lstWord->item(i)->setText(FromCp1252(t));
  edWord->setFocus();
  UpdateFindControls();
}

void TfrmFind::btnDelClick() {
  cArrowList& strings = Strings();
  // Removed from the last to the first, which leaves the same items as
  // removing them in increasing order with the indices kept aligned.
  for (int k = lstWord->count() - 1; k >= 0; --k) {
    if (!lstWord->item(k)->isSelected()) continue;
    delete lstWord->takeItem(k);
    if (k < static_cast<int>(strings.size())) strings.erase(strings.begin() + k);
  }
  if (lstWord->count() == 0) {
    lstWord->setCurrentRow(-1);
    // The edit field's text is the search string again.
    const std::string t = TrimmedEdit();
    strings.clear();
    if (!t.empty()) strings.emplace_back(t);
  } else if (lstWord->currentRow() >= 0) {
    lstWord->setCurrentRow(lstWord->currentRow(), QItemSelectionModel::ClearAndSelect);
  }
  edWord->setFocus();
  UpdateFindControls();
}

void TfrmFind::btnEraseClick() {
  lstWord->clear();
  lstWord->setCurrentRow(-1);
  Strings().clear();
  {
    const QSignalBlocker block(edWord);
    edWord->clear();
  }
  pnlPlace->SetItemIndex(0);
  chkExclude->setChecked(false);
  Strings().clear();
  UpdateFindControls();
  edWord->setFocus();
}

void TfrmFind::btnThesaurusClick() {
  btnEraseClick();
  if (attached_.ThesaurusWords) {
    for (const std::string& entry : *attached_.ThesaurusWords) {
      std::string t = Trimmed(entry);
      if (t.empty()) continue;  // an empty string would match nothing sensible
      lstWord->addItem(FromCp1252(t));
      Strings().emplace_back(t);
    }
  }
  UpdateFindControls();
  edWord->setFocus();
}

void TfrmFind::pnlPlaceClick() {
  if (updating_) return;
  const int r = TargetRecord();
  if (r >= 0) Strings()[static_cast<size_t>(r)].Position = static_cast<int16_t>(pnlPlace->ItemIndex());
}

void TfrmFind::chkExcludeClick() {
  if (updating_) return;
  const int r = TargetRecord();
  if (r >= 0) Strings()[static_cast<size_t>(r)].Exclude = chkExclude->isChecked() ? 1 : 0;
}

void TfrmFind::pnlContextClick() {
  const bool words = pnlContext->ItemIndex() != 0;
  chkExclude->setEnabled(words);
  chkAll->setEnabled(words);
  chkOrder->setEnabled(words);
}

void TfrmFind::pnlOrthoClick() {
  const bool generated = pnlOrtho->ItemIndex() == 3;
  udMorva->setEnabled(generated);
  txtMorva->setEnabled(generated);
  lblMorva->setEnabled(generated);
}

void TfrmFind::udMorvaChanged() { txtMorva->setText(QString::number(udMorva->value())); }

void TfrmFind::chkAsOrthoClick() {
  pnlResult->setEnabled(!chkAsOrtho->isChecked());
  pnlResultClick();
}

void TfrmFind::pnlResultClick() {
  const int item = pnlResult->ItemIndex();
  chkSymbol->setEnabled(item == 0 || item == 1);
}

void TfrmFind::OKBtnClick() {
  BuildFilterList(TheShell().Ctx.Rules, CheckedFilterItems(lstFilter), *attached_.Filters, filterNames_);
  cArrowList& strings = Strings();
  for (size_t k = 0; k < strings.size(); ++k) strings[k].Index = static_cast<int32_t>(k);
  accept();
}

SearchSettings TfrmFind::ChosenSettings() const {
  SearchSettings s;
  s.FromWordList = false;
  s.SetSpelling(static_cast<int16_t>(pnlOrtho->ItemIndex()));
  s.IgnoreSeparators = chkSepar->isChecked();
  s.Context = pnlContext->isEnabled() ? static_cast<int16_t>(pnlContext->ItemIndex()) : int16_t{0};
  s.AllStrings = chkAll->isEnabled() && chkAll->isChecked();
  s.InOrder = chkOrder->isEnabled() && chkOrder->isChecked();
  s.SetResult(chkAsOrtho->isChecked(), static_cast<int16_t>(pnlResult->ItemIndex()), chkSymbol->isChecked());
  s.UseCorpus = attached_.CorpusOpen && (chkCorpus->isChecked() || !attached_.WindowHasDocument);
  s.Level = udMorva->value();
  s.FilterNames = filterNames_;
  return s;
}

}  // namespace kalix::ui
