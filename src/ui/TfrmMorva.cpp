#include "ui/TfrmMorva.h"

#include "app/Statistics.h"
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

#include <QCheckBox>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <numeric>

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

void MorvaListModel::SetCounts(const std::unordered_map<std::string, size_t>* counts) {
  beginResetModel();
  counts_ = counts;
  endResetModel();
}

void MorvaListModel::CountsChanged() {
  if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1));
}

long long MorvaListModel::CountAt(size_t row) const {
  if (!strings_ || !counts_ || row >= strings_->size()) return -1;
  const auto it = counts_->find((*strings_)[row].Key);
  return it == counts_->end() ? -1 : static_cast<long long>(it->second);
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
    case CountRole:
      return CountAt(row);
    case Qt::AccessibleDescriptionRole: {
      const long long n = CountAt(row);
      return n < 0 ? QVariant() : QVariant(QString::number(n));
    }
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
  // The number of occurrences, once counted, at the right.
  const long long count = index.data(MorvaListModel::CountRole).toLongLong();
  if (count >= 0) {
    painter->drawText(option.rect.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                      QString::number(count));
  }
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

TfrmMorva::~TfrmMorva() { StopCount(); }

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
  chkHideAbsent = new QCheckBox(T("Masquer les variantes absentes"), this);
  chkHideAbsent->setObjectName("chkHideAbsent");
  btnFreq = PushButton(this, "btnFreq", "Tri par &fr\xe9quence");
  btnStopCount = PushButton(this, "btnStopCount", "Arr\xeater");
  // The progress of the count: numbers only, not a caption.
  lblProgress = new QLabel(this);
  lblProgress->setAlignment(Qt::AlignCenter);
  lblProgress->hide();
  btnStopCount->hide();
  chkHideAbsent->setEnabled(false);
  btnFreq->setEnabled(false);
  countTimer_ = new QTimer(this);
  countTimer_->setInterval(100);
}

void TfrmMorva::ConnectButtons() {
  connect(btnAdd, &QPushButton::clicked, this, &TfrmMorva::btnAddClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmMorva::btnDelClick);
  connect(btnSort, &QPushButton::clicked, this, &TfrmMorva::btnSortClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmMorva::btnSaveClick);
  connect(btnAppend, &QPushButton::clicked, this, &TfrmMorva::btnAppendClick);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnFreq, &QPushButton::clicked, this, &TfrmMorva::btnFreqClick);
  connect(chkHideAbsent, &QCheckBox::toggled, this, &TfrmMorva::ApplyHiding);
  connect(btnStopCount, &QPushButton::clicked, this, [this] {
    StopCount();
    lblProgress->hide();
    // The counts of the documents read so far are not the corpus's.
    counts_.clear();
    WordModel->SetCounts(nullptr);
  });
  connect(countTimer_, &QTimer::timeout, this, &TfrmMorva::PollCount);
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
  side->addWidget(btnFreq);
  side->addSpacing(12);
  side->addWidget(Label1);
  side->addWidget(lblCount);
  side->addSpacing(12);
  side->addWidget(btnSave);
  side->addWidget(btnAppend);
  side->addSpacing(12);
  side->addWidget(lblProgress);
  side->addWidget(btnStopCount);
  side->addStretch(1);
  side->addWidget(OKBtn);
  side->addWidget(CancelBtn);
  layout->addLayout(side, 0, 1);
  layout->addWidget(chkHideAbsent, 1, 0, 1, 2);
  layout->addWidget(Bounded, 2, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  lstWord->setFixedSize(175, 360);
}

void TfrmMorva::NameForScreenReaders() {
  // The list has no label of its own: it is named after the dialog.
  lstWord->setAccessibleName(windowTitle());
  for (QPushButton* b : {btnAdd, btnDel, btnSort, btnFreq, btnSave, btnAppend, btnStopCount, OKBtn, CancelBtn}) {
    b->setAccessibleName(Spoken(b->text()));
  }
  Label1->setAccessibleName(Label1->text());
  lblCount->setAccessibleName(lblCount->text());
  lblCount->setAccessibleDescription(Label1->text());
  Bounded->setAccessibleName(Bounded->text());
  chkHideAbsent->setAccessibleName(Spoken(chkHideAbsent->text()));
  lblProgress->setAccessibleName(lblProgress->text());
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
  StartCount();
  Refill();
  NameForScreenReaders();
  lstWord->setFocus();
  const bool ok = CurrentDialogs().Exec(this) == QDialog::Accepted;
  StopCount();
  counts_.clear();
  WordModel->SetCounts(nullptr);
  // The list box is emptied either way; the list stays with the window.
  WordModel->Attach(nullptr);
  strings_ = nullptr;
  SetCount();
  if (!ok) RemoveTemporaryStrings(strings);
  return ok;
}

void TfrmMorva::Refill() {
  WordModel->Refill();
  ApplyHiding();
  SetCount();
}

// Counts the list as it stands when the dialog opens, on a second thread,
// with a copy of the context, the strings and the source.
void TfrmMorva::StartCount() {
  counts_.clear();
  WordModel->SetCounts(nullptr);
  chkHideAbsent->setEnabled(false);
  btnFreq->setEnabled(false);
  const bool on = source_.has_value() && strings_ != nullptr && !strings_->empty();
  btnStopCount->setVisible(on);
  lblProgress->setVisible(on);
  if (!on) {
    source_.reset();
    return;
  }
  countStop_ = false;
  countDone_ = false;
  countIndex_ = countTotal_ = 0;
  counted_.clear();
  partial_.clear();
  partialFresh_ = false;
  lblProgress->setText("...");
  countThread_ = std::thread([this, ctx = TheShell().Ctx, strings = *strings_, source = std::move(*source_)] {
    SearchRequest request;
    request.WindowDocument = source.Doc.get();
    request.Corpus = source.Corpus;
    request.Stop = &countStop_;
    request.OnProgress = [this](size_t i, size_t n, const std::string&) {
      std::lock_guard<std::mutex> lock(countMutex_);
      countIndex_ = i;
      countTotal_ = n;
    };
    std::unordered_map<std::string, size_t> result;
    bool stopped = false;
    // In a corpus the counts fill in as the documents are read.
    auto onDocument = [&](const std::vector<size_t>& counts) {
      if (!source.Settings.UseCorpus) return;
      std::unordered_map<std::string, size_t> partial;
      for (size_t k = 0; k < strings.size(); ++k) partial.emplace(strings[k].Key, counts[k]);
      std::lock_guard<std::mutex> lock(countMutex_);
      partial_ = std::move(partial);
      partialFresh_ = true;
    };
    try {
      const std::vector<size_t> counts =
          CountEachString(ctx, source.Settings, strings, source.Filters, request, nullptr, &stopped, onDocument);
      for (size_t k = 0; k < strings.size(); ++k) result.emplace(strings[k].Key, counts[k]);
    } catch (...) {
      stopped = true;  // no counts rather than wrong ones
    }
    {
      std::lock_guard<std::mutex> lock(countMutex_);
      if (!stopped && !countStop_) counted_ = std::move(result);
    }
    countDone_ = true;
  });
  source_.reset();
  countTimer_->start();
}

void TfrmMorva::StopCount() {
  countStop_ = true;
  if (countThread_.joinable()) countThread_.join();
  if (countTimer_) countTimer_->stop();
  if (btnStopCount) btnStopCount->hide();
}

void TfrmMorva::PollCount() {
  if (!countDone_) {
    std::lock_guard<std::mutex> lock(countMutex_);
    if (countTotal_ > 0) {
      lblProgress->setText(QString("%1 / %2").arg(countIndex_ + 1).arg(countTotal_));
      lblProgress->setAccessibleName(lblProgress->text());
    }
    if (partialFresh_) {
      partialFresh_ = false;
      const bool first = counts_.empty();
      counts_ = std::move(partial_);
      partial_.clear();
      if (first) {
        WordModel->SetCounts(&counts_);
      } else {
        WordModel->CountsChanged();
      }
    }
    return;
  }
  StopCount();
  lblProgress->hide();
  {
    std::lock_guard<std::mutex> lock(countMutex_);
    counts_ = std::move(counted_);
    counted_.clear();
  }
  if (counts_.empty()) {
    WordModel->SetCounts(nullptr);
    return;
  }
  WordModel->SetCounts(&counts_);
  chkHideAbsent->setEnabled(true);
  btnFreq->setEnabled(true);
  ApplyHiding();
}

void TfrmMorva::WaitForCounts() {
  while (countThread_.joinable() && !countDone_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (countThread_.joinable()) PollCount();
}

void TfrmMorva::ApplyHiding() {
  const bool hide = chkHideAbsent->isChecked();
  for (int row = 0; row < WordModel->rowCount(); ++row) {
    lstWord->setRowHidden(row, hide && WordModel->CountAt(static_cast<size_t>(row)) == 0);
  }
}

// The strings by number of occurrences, descending (strings not counted
// last); equal counts keep their order, and every Source its string.
void TfrmMorva::btnFreqClick() {
  if (!strings_) return;
  cArrowList& strings = *strings_;
  std::vector<size_t> order(strings.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return WordModel->CountAt(a) > WordModel->CountAt(b); });
  std::vector<int32_t> place(strings.size());
  for (size_t k = 0; k < order.size(); ++k) place[order[k]] = static_cast<int32_t>(k);
  cArrowList sorted;
  sorted.reserve(strings.size());
  for (size_t k : order) {
    sorted.push_back(std::move(strings[k]));
    SearchString& s = sorted.back();
    if (s.HasSource()) s.Source = place[static_cast<size_t>(s.Source)];
  }
  strings = std::move(sorted);
  Refill();
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
  ApplyHiding();
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
