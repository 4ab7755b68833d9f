#include "ui/TfrmMorva.h"

#include "app/VariantReview.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "targets/SearchStatus.h"
#include "targets/Target.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TfrmAddStr.h"
#include "ui/UiLanguage.h"

#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

QString T(const char* text1252) { return FromCp1252(text1252); }

QString Spoken(const QString& caption) {
  QString s = caption;
  s.replace("&&", QString(QChar(0xE000)));
  s.remove('&');
  s.replace(QChar(0xE000), "&");
  return s;
}

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kAqua(0x00, 0xFF, 0xFF);

QPushButton* PushButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(T(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

MorvaKind KindOf(const cArrowList& strings, size_t row) {
  const SearchString& s = strings[row];
  if (!s.HasSource()) return MorvaKind::Typed;
  if (static_cast<size_t>(s.Source) == row) return MorvaKind::Added;
  return MorvaKind::Variant;
}

MorvaColours ColoursOf(MorvaKind kind, bool selected) {
  switch (kind) {
    case MorvaKind::Typed:
      return selected ? MorvaColours{Qt::yellow, kNavy} : MorvaColours{Qt::red, Qt::white};
    case MorvaKind::Added:
      return selected ? MorvaColours{kAqua, kNavy} : MorvaColours{Qt::blue, Qt::white};
    case MorvaKind::Variant:
      break;
  }
  return selected ? MorvaColours{Qt::white, kNavy} : MorvaColours{Qt::black, Qt::white};
}

void MorvaListModel::Attach(const cArrowList* strings) {
  beginResetModel();
  strings_ = strings;
  endResetModel();
}

void MorvaListModel::Refill() {
  beginResetModel();
  endResetModel();
}

int MorvaListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !strings_) return 0;
  return static_cast<int>(strings_->size());
}

QVariant MorvaListModel::data(const QModelIndex& index, int role) const {
  if (!strings_ || !index.isValid() || index.row() >= rowCount()) return {};
  const size_t row = static_cast<size_t>(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
      return FromCp1252(CutAtZero((*strings_)[row].Key));
    case KindRole:
      return static_cast<int>(KindOf(*strings_, row));
    default:
      return {};
  }
}

void MorvaItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const auto kind = static_cast<MorvaKind>(index.data(MorvaListModel::KindRole).toInt());
  const MorvaColours c = ColoursOf(kind, option.state & QStyle::State_Selected);
  painter->save();
  painter->fillRect(option.rect, c.back);
  painter->setPen(c.text);
  painter->setFont(option.font);
  painter->drawText(option.rect.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  if (option.state & QStyle::State_HasFocus) {
    // The focus rectangle of the current item, as a list box draws it.
    QPen pen(c.text, 1, Qt::DotLine);
    painter->setPen(pen);
    painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

QSize MorvaItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QFontMetrics fm(option.font);
  return QSize(fm.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 2, std::max(13, fm.height()));
}

TfrmMorva::TfrmMorva(QWidget* parent) : QDialog(parent) {
  setObjectName("frmMorva");
  setWindowTitle(T("Morvo"));

  // Controls are direct children of the form, in the order of its design.
  BuildWordList();
  BuildButtons();
  ConnectButtons();
  LayOutControls();
  NameForScreenReaders();
  adjustSize();
  CentreOnScreen(this);
}

// The variants, shown by their own model and delegate on white.
void TfrmMorva::BuildWordList() {
  lstWord = new QListView(this);
  lstWord->setObjectName("lstWord");
  lstWord->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstWord->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstWord->setUniformItemSizes(true);
  WordModel = new MorvaListModel(lstWord);
  lstWord->setModel(WordModel);
  lstWord->setItemDelegate(new MorvaItemDelegate(lstWord));
  QPalette pal = lstWord->palette();
  pal.setColor(QPalette::Base, Qt::white);
  lstWord->setPalette(pal);
}

// The buttons and the count beside the list, and the note under it.
void TfrmMorva::BuildButtons() {
  btnAdd = PushButton(this, "btnAdd", "&Ajouter");
  btnDel = PushButton(this, "btnDel", "&Supprimer");
  btnSort = PushButton(this, "btnSort", "&Tri inverse");
  Label1 = new QLabel(T("Occurences :"), this);
  Label1->setObjectName("Label1");
  lblCount = new QLabel("0", this);
  lblCount->setObjectName("lblCount");
  lblCount->setAlignment(Qt::AlignCenter);
  lblCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  btnSave = PushButton(this, "btnSave", "Sau&ver");
  btnAppend = PushButton(this, "btnAppend", "&Rajouter");
  OKBtn = PushButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = PushButton(this, "CancelBtn", "Annuler");
  // Not one of the form's captions: no name, so neither relabelled nor dumped.
  Bounded = new QLabel(this);
  Bounded->setWordWrap(true);
  Bounded->setTextFormat(Qt::PlainText);
  Bounded->hide();
}

void TfrmMorva::ConnectButtons() {
  connect(btnAdd, &QPushButton::clicked, this, &TfrmMorva::btnAddClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmMorva::btnDelClick);
  connect(btnSort, &QPushButton::clicked, this, &TfrmMorva::btnSortClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmMorva::btnSaveClick);
  connect(btnAppend, &QPushButton::clicked, this, &TfrmMorva::btnAppendClick);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

// The list on the left, the buttons in a column on its right, the note
// under both.
void TfrmMorva::LayOutControls() {
  auto* layout = new QGridLayout(this);
  layout->addWidget(lstWord, 0, 0);
  auto* side = new QVBoxLayout;
  side->addWidget(btnAdd);
  side->addWidget(btnDel);
  side->addWidget(btnSort);
  side->addSpacing(12);
  side->addWidget(Label1);
  side->addWidget(lblCount);
  side->addSpacing(12);
  side->addWidget(btnSave);
  side->addWidget(btnAppend);
  side->addStretch(1);
  side->addWidget(OKBtn);
  side->addWidget(CancelBtn);
  layout->addLayout(side, 0, 1);
  layout->addWidget(Bounded, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  lstWord->setFixedSize(175, 360);
}

void TfrmMorva::NameForScreenReaders() {
  // The list has no label of its own: it is named after the dialog.
  lstWord->setAccessibleName(windowTitle());
  for (QPushButton* b : {btnAdd, btnDel, btnSort, btnSave, btnAppend, OKBtn, CancelBtn}) {
    b->setAccessibleName(Spoken(b->text()));
  }
  Label1->setAccessibleName(Label1->text());
  lblCount->setAccessibleName(lblCount->text());
  lblCount->setAccessibleDescription(Label1->text());
  Bounded->setAccessibleName(Bounded->text());
}

bool TfrmMorva::Review(cArrowList& strings, const std::vector<std::string>& boundedTexts) {
  ApplyLanguageToWidgets("frmMorva", this);
  QString bounded;
  for (const std::string& text : boundedTexts) {
    bounded += (bounded.isEmpty() ? QString() : QString("\n")) + Tr(msg::kVariantsBounded) + "\n" + FromCp1252(text);
  }
  Bounded->setText(bounded);
  Bounded->setVisible(!bounded.isEmpty());
  strings_ = &strings;
  SortStringsInOrder(strings, true);
  ascending_ = true;
  WordModel->Attach(&strings);
  Refill();
  NameForScreenReaders();
  lstWord->setFocus();
  const bool ok = CurrentDialogs().Exec(this) == QDialog::Accepted;
  // The list box is emptied either way; the list stays with the window.
  WordModel->Attach(nullptr);
  strings_ = nullptr;
  SetCount();
  if (!ok) RemoveTemporaryStrings(strings);
  return ok;
}

void TfrmMorva::Refill() {
  WordModel->Refill();
  SetCount();
}

void TfrmMorva::SetCount() {
  lblCount->setText(QString::number(WordModel->rowCount()));
  lblCount->setAccessibleName(lblCount->text());
}

void TfrmMorva::btnSortClick() {
  if (!strings_) return;
  SortStringsInOrder(*strings_, !ascending_);
  ascending_ = !ascending_;
  Refill();
}

void TfrmMorva::btnDelClick() {
  if (!strings_) return;
  std::vector<size_t> rows;
  for (const QModelIndex& index : lstWord->selectionModel()->selectedRows()) {
    rows.push_back(static_cast<size_t>(index.row()));
  }
  const std::vector<int32_t> place = RemoveVariantsAt(*strings_, rows);
  WordModel->Refill();
  // The selected typed strings stay, still selected.
  QItemSelection kept;
  for (size_t row : rows) {
    if (row < place.size() && place[row] >= 0) {
      const QModelIndex index = WordModel->index(place[row]);
      kept.select(index, index);
    }
  }
  lstWord->selectionModel()->select(kept, QItemSelectionModel::Select);
  SetCount();
}

void TfrmMorva::btnAddClick() {
  if (!strings_) return;
  TfrmAddStr& dialog = TheAddStrDialog();
  if (!dialog.Ask()) return;
  const int32_t at = AddOwnString(*strings_, dialog.Text(), dialog.Place(), dialog.Excluded(), ascending_);
  if (at < 0) return;
  Refill();
  lstWord->scrollTo(WordModel->index(at));
}

void TfrmMorva::btnSaveClick() { WriteList(false); }

void TfrmMorva::btnAppendClick() { WriteList(true); }

void TfrmMorva::WriteList(bool append) {
  if (!strings_) return;
  FileDialogOptions options;
  options.filter = "Thesaurus file (*.the)|*.the|Any file (*.*)|*.*";
  options.defaultExtension = "the";
  options.initialFolder = QString::fromStdString(TheShell().ProgramDir);
  options.mustExist = false;
  options.confirmOverwrite = !append;  // "&Rajouter" adds to an existing file
  const QString path = CurrentDialogs().SaveFile(this, options);
  if (path.isEmpty()) return;
  if (!WriteTextFile(path.toStdString(), StringListFileText(*strings_), append)) {
    CurrentDialogs().Message(this, "Kalix", Tr(msg::kCannotWrite) + "\n" + path, MessageIcon::Exclamation);
  }
}

TfrmMorva& TheMorvaDialog() {
  Shell& shell = TheShell();
  if (!shell.Morva) shell.Morva = new TfrmMorva;
  return *shell.Morva;
}

}  // namespace kalix::ui
