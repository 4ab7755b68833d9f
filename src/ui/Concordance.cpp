#include "ui/Concordance.h"

#include "document/Reader.h"
#include "platform/Cp1252.h"
#include "targets/Concordance.h"
#include "targets/DocumentRef.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace kalix::ui {

ConcordanceModel::ConcordanceModel(TfrmMain* window, QObject* parent)
    : QAbstractTableModel(parent), window_(window), loader_(new DocumentLoader(window->AppShell().Ctx, this)) {
  loader_->Loaded = [this](const std::string& path, std::shared_ptr<const Document> document) {
    DocumentLoaded(path, std::move(document));
  };
}

int ConcordanceModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int ConcordanceModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

const Target* ConcordanceModel::CurrentTargetRecord() const {
  if (target_ < 0 || target_ >= static_cast<int32_t>(window_->Session().Targets.size())) return nullptr;
  return &window_->Session().Targets[static_cast<size_t>(target_)];
}

bool ConcordanceModel::TextOf(const Target& target, std::string_view& text, const ViewIndex*& index) const {
  const std::string& ref = target.DocumentRef;
  if (ref.empty() || (!window_->Session().Doc.path.empty() && DocumentRefPath(ref) == window_->Session().Doc.path)) {
    text = window_->Session().Doc.Text();
    index = &window_->Mapping.Index();
    return true;
  }
  const std::string path = DocumentRefPath(ref);
  if (path != scratchPath_) {
    // Read on a worker; the lines show when it is read.
    loader_->Request(path);
    return false;
  }
  if (!scratchRead_) return false;
  text = scratch_->Text();
  index = &scratchIndex_;
  return true;
}

bool ConcordanceModel::Loading() const { return loader_->Busy(); }

void ConcordanceModel::DocumentLoaded(const std::string& path, std::shared_ptr<const Document> document) {
  const Target* t = CurrentTargetRecord();
  // Only the document the current target's lines need is kept.
  if (!t || t->DocumentRef.empty() || DocumentRefPath(t->DocumentRef) != path) return;
  scratchPath_ = path;
  scratchRead_ = document != nullptr;
  scratchIndex_ = scratchRead_ ? ViewIndex(document->Text()) : ViewIndex();
  scratch_ = std::move(document);
  if (order_ != kConcordanceInText) {
    SetOrder(order_);
    emit Reordered();
  } else if (rows_ > 0) {
    emit dataChanged(index(0, 0), index(rows_ - 1, kColumns - 1));
  }
}

int32_t ConcordanceModel::OccurrenceOfRow(int row) const {
  if (row < 0 || row >= rows_) return -1;
  return ordering_.empty() ? row : ordering_[static_cast<size_t>(row)];
}

int ConcordanceModel::RowOfOccurrence(int32_t occurrence) const {
  if (occurrence < 0 || occurrence >= rows_) return -1;
  if (ordering_.empty()) return occurrence;
  for (size_t r = 0; r < ordering_.size(); ++r) {
    if (ordering_[r] == occurrence) return static_cast<int>(r);
  }
  return -1;
}

QVariant ConcordanceModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return QVariant();
  if (role == Qt::TextAlignmentRole) {
    if (index.column() == kLeft) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (index.column() == kMatch) return QVariant(Qt::AlignHCenter | Qt::AlignVCenter);
    return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role == Qt::ForegroundRole && index.column() == kMatch) return QColor(255, 0, 0);
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return QVariant();
  const Target* target = CurrentTargetRecord();
  if (!target) return QVariant();
  const int32_t k = OccurrenceOfRow(index.row());
  if (k < 0 || k >= static_cast<int32_t>(target->Starts.size())) return QVariant();
  const Occurrence& o = target->Starts[static_cast<size_t>(k)];
  switch (index.column()) {
    case kReference: return QString::fromStdString(OccurrenceReference(o));
    case kDocument: return FromCp1252(DocumentRefFileName(target->DocumentRef));
    default: break;
  }
  std::string_view text;
  const ViewIndex* viewIndex = nullptr;
  if (!TextOf(*target, text, viewIndex)) return QVariant();
  const ConcordanceLine line = MakeConcordanceLine(text, *viewIndex, o, kWidth);
  if (role == Qt::ToolTipRole) return FromCp1252(line.Left + line.Match + line.Right);
  switch (index.column()) {
    case kLeft: return FromCp1252(line.Left);
    case kMatch: return FromCp1252(line.Match);
    case kRight: return FromCp1252(line.Right);
    default: return QVariant();
  }
}

QVariant ConcordanceModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QVariant();
  static const char* const kHeadings[] = {"R\xe9" "f\xe9rence", "Document", "Contexte gauche", "Forme",
                                          "Contexte droit"};
  if (section < 0 || section >= kColumns) return QVariant();
  return Tr(kHeadings[section]);
}

void ConcordanceModel::ForgetDocuments() {
  scratch_.reset();
  scratchIndex_ = ViewIndex();
  scratchPath_.clear();
  scratchRead_ = false;
}

void ConcordanceModel::SetTarget(int32_t target) {
  beginResetModel();
  target_ = target;
  order_ = kConcordanceInText;
  ordering_.clear();
  const Target* t = CurrentTargetRecord();
  rows_ = t ? static_cast<int>(t->Starts.size()) : 0;
  endResetModel();
}

void ConcordanceModel::SetOrder(int order) {
  const Target* t = CurrentTargetRecord();
  beginResetModel();
  order_ = order;
  ordering_.clear();
  std::string_view text;
  const ViewIndex* viewIndex = nullptr;
  if (t && order != kConcordanceInText && TextOf(*t, text, viewIndex)) {
    ordering_ = ConcordanceOrdering(text, *viewIndex, t->Starts, order, kWidth);
  }
  endResetModel();
}

// ---------------------------------------------------------------------------

TConcordance::TConcordance(TfrmMain* window, QWidget* parent) : QWidget(parent), window_(window) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  View = new QTableView(this);
  Model = new ConcordanceModel(window, View);
  View->setModel(Model);
  View->setAccessibleName(FromCp1252("Concordance"));
  View->setSelectionBehavior(QAbstractItemView::SelectRows);
  View->setSelectionMode(QAbstractItemView::SingleSelection);
  View->setEditTriggers(QAbstractItemView::NoEditTriggers);
  View->setWordWrap(false);
  View->setShowGrid(false);
  View->verticalHeader()->hide();
  View->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  View->verticalHeader()->setDefaultSectionSize(17);
  View->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  View->horizontalHeader()->setStretchLastSection(true);
  View->setColumnWidth(ConcordanceModel::kReference, 70);
  View->setColumnWidth(ConcordanceModel::kDocument, 80);
  View->setColumnWidth(ConcordanceModel::kLeft, 240);
  View->setColumnWidth(ConcordanceModel::kMatch, 70);
  View->setTextElideMode(Qt::ElideNone);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(12);
  View->setFont(font);
  layout->addWidget(View);

  // A click on the left or right heading orders the lines by those words;
  // a second click goes back to the text's order.
  QHeaderView* heading = View->horizontalHeader();
  heading->setSectionsClickable(true);
  connect(heading, &QHeaderView::sectionClicked, this, [this](int column) {
    int order = kConcordanceInText;
    if (column == ConcordanceModel::kLeft) order = kConcordanceByLeft;
    if (column == ConcordanceModel::kRight) order = kConcordanceByRight;
    if (order == Model->Order()) order = kConcordanceInText;
    Model->SetOrder(order);
    Follow();
  });
  // Lines ordered once another document was read: the current line again.
  connect(Model, &ConcordanceModel::Reordered, this, &TConcordance::Follow);
  connect(View, &QTableView::clicked, this, [this](const QModelIndex& index) {
    const int32_t occurrence = Model->OccurrenceOfRow(index.row());
    if (occurrence >= 0) window_->SelectTargetOccurrence(Model->TargetIndex(), occurrence);
  });
}

void TConcordance::Follow() {
  if (!isVisible() && !window_->mnuConcordance->isChecked()) return;
  const int32_t target = window_->Session().CurrentTarget;
  if (target != Model->TargetIndex() || (target >= 0 && Model->rowCount() != static_cast<int>(
                                                            window_->Session().Targets[static_cast<size_t>(target)].Starts.size()))) {
    Model->SetTarget(target);
  }
  const bool corpus = target >= 0 && !window_->Session().Targets[static_cast<size_t>(target)].DocumentRef.empty();
  View->setColumnHidden(ConcordanceModel::kDocument, !corpus);
  if (target < 0) return;
  const Target& t = window_->Session().Targets[static_cast<size_t>(target)];
  const int row = Model->RowOfOccurrence(t.CurrentStart);
  if (row < 0) return;
  const QModelIndex index = Model->index(row, ConcordanceModel::kMatch);
  View->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  // Up or down to the line; the columns stay where the user left them.
  const int across = View->horizontalScrollBar()->value();
  View->scrollTo(index);
  View->horizontalScrollBar()->setValue(across);
}

}  // namespace kalix::ui
