// The main window's target grid: refilling, the four sorts and the heading
// clicks, selecting a row and stepping through its occurrences, moving the
// line, cutting, copying and deleting rows, finding the target under the
// caret, opening a target's document here or in another main window, and the
// result report.

#include "app/RunSearch.h"
#include "app/Settings.h"
#include "app/WordList.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "targets/DocumentRef.h"
#include "targets/Report.h"
#include "targets/Sorting.h"
#include "ui/BackgroundRun.h"
#include "ui/Dialogs.h"
#include "ui/FilePaths.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"
#include "ui/TfrmResult.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSplitter>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextBlock>
#include <QToolButton>

namespace kalix::ui {
namespace {

void Enable(std::initializer_list<QToolButton*> buttons, std::initializer_list<QAction*> items, bool on) {
  for (QToolButton* b : buttons) b->setEnabled(on);
  for (QAction* a : items) a->setEnabled(on);
}

}  // namespace

// ---------------------------------------------------------------------------
// Wiring, called once by the constructor.

// The grid's selection, headings, accessible name and colours.
void TfrmMain::SetUpTargetGrid() {
  connect(grdTarget->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (current.isValid()) SelectTargetRow(current.row() + 1);
          });
  QHeaderView* heading = grdTarget->horizontalHeader();
  heading->setSectionsClickable(false);
  heading->setHighlightSections(false);
  heading->viewport()->installEventFilter(this);
  // The headings read as the grid's column headers; the rows are numbered
  // by their target (row 1 is the first target) for screen readers.
  grdTarget->setAccessibleName(FromCp1252("Cibles"));
  {
    QPalette p = grdTarget->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
      p.setColor(g, QPalette::Highlight, QColor(0, 0, 128));
      p.setColor(g, QPalette::HighlightedText, Qt::white);
    }
    grdTarget->setPalette(p);
  }
}

void TfrmMain::ConnectTargetCommands() {
  SetUpTargetGrid();
  const auto sort = [this](bool byText, bool byDocument) {
    SortTargets(static_cast<int>(NextOrder(session_.Order, byText)), byDocument);
  };
  const auto sortText = [sort] { sort(true, false); };
  const auto sortNum = [sort] { sort(false, false); };
  const auto sortDocText = [sort] { sort(true, true); };
  const auto sortDocNum = [sort] { sort(false, true); };
  for (QAction* a : {mnuSortText, mnuGrdSortText}) connect(a, &QAction::triggered, this, sortText);
  for (QAction* a : {mnuSortNum, mnuGrdSortNum}) connect(a, &QAction::triggered, this, sortNum);
  for (QAction* a : {mnuSortDocText, mnuGrdSortDocText}) connect(a, &QAction::triggered, this, sortDocText);
  for (QAction* a : {mnuSortDocNum, mnuGrdSortDocNum}) connect(a, &QAction::triggered, this, sortDocNum);

  const auto up = [this] { MoveLine(true); };
  const auto down = [this] { MoveLine(false); };
  connect(mnuUp, &QAction::triggered, this, up);
  connect(btnUp, &QToolButton::clicked, this, up);
  connect(mnuDown, &QAction::triggered, this, down);
  connect(btnDown, &QToolButton::clicked, this, down);
  const struct {
    QAction* item;
    QToolButton* button;
    int kind;
  } steps[] = {{mnuFirst, btnFirst, kStepFirst},
               {mnuPrev, btnPrev, kStepPrevious},
               {mnuNext, btnNext, kStepNext},
               {mnuLast, btnLast, kStepLast}};
  for (const auto& s : steps) {
    const int kind = s.kind;
    connect(s.item, &QAction::triggered, this, [this, kind] { StepOccurrence(kind); });
    connect(s.button, &QToolButton::clicked, this, [this, kind] { StepOccurrence(kind); });
  }
  connect(mnuSaveTarget, &QAction::triggered, this, &TfrmMain::SaveResult);
  connect(btnSaveTarget, &QToolButton::clicked, this, &TfrmMain::SaveResult);
  connect(mnuGrdOpen, &QAction::triggered, this, &TfrmMain::OpenTargetHere);
  connect(btnGrdOpen, &QToolButton::clicked, this, &TfrmMain::OpenTargetHere);
  connect(mnuGrdOpenNew, &QAction::triggered, this, &TfrmMain::OpenTargetInOtherWindow);
  connect(btnGrdOpenNew, &QToolButton::clicked, this, &TfrmMain::OpenTargetInOtherWindow);

  const auto cut = [this] {
    CopyTargetRows();
    DeleteTargetRows();
  };
  connect(mnuCut, &QAction::triggered, this, cut);
  connect(mnuGrdCut, &QAction::triggered, this, cut);
  connect(mnuGrdCopy, &QAction::triggered, this, &TfrmMain::mnuCopyClick);
  connect(mnuDel, &QAction::triggered, this, &TfrmMain::DeleteTargetRows);
  connect(mnuGrdDel, &QAction::triggered, this, &TfrmMain::DeleteTargetRows);
  connect(mnuAll, &QAction::triggered, this, &TfrmMain::SelectAllRows);
  connect(mnuGrdAll, &QAction::triggered, this, &TfrmMain::SelectAllRows);
  connect(mnuTxtTarget, &QAction::triggered, this, &TfrmMain::LocateTargetAtCaret);
}

// Keys and mouse buttons of the grid and its headings; true when the event
// is used up.
bool TfrmMain::TargetGridEvent(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  QHeaderView* heading = grdTarget->horizontalHeader();
  if (watched == heading->viewport() && type == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int x = mouse->position().toPoint().x();
    const int column = heading->logicalIndexAt(x);
    // A press on a column's edge resizes the column and sorts nothing.
    if (column >= 0) {
      const int left = heading->sectionViewportPosition(column);
      const int right = left + heading->sectionSize(column);
      if (x >= right - 3 || (column > 0 && x < left + 3)) return false;
    }
    GridHeadingPressed(column);
    return false;
  }
  if (watched == grdTarget && type == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Right && key->modifiers() == Qt::NoModifier) {
      StepOccurrence(kStepNext);
      return true;
    }
    if (key->key() == Qt::Key_Left && key->modifiers() == Qt::NoModifier) {
      StepOccurrence(kStepPrevious);
      return true;
    }
  }
  if (watched == grdTarget->viewport() && type == QEvent::MouseButtonRelease) {
    // Shift+click on a data row, once that row is current: the context of
    // the current occurrence is selected in the view.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if ((mouse->modifiers() & Qt::ShiftModifier) && (Settings.Context == 2 || Settings.Context == 3) &&
        session_.CurrentTarget >= 0 && session_.CurrentTarget < static_cast<int32_t>(TargetList.size())) {
      const Target& t = TargetList[static_cast<size_t>(session_.CurrentTarget)];
      if (t.CurrentStart >= 0 && t.CurrentStart < static_cast<int32_t>(t.Starts.size())) {
        const Occurrence& o = t.Starts[static_cast<size_t>(t.CurrentStart)];
        SetCaretView(o.ContextStartView, static_cast<int16_t>(o.ContextViewLength));
      }
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// Rows

int32_t TfrmMain::CurrentGridRow() const {
  const QModelIndex current = grdTarget->selectionModel()->currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}

void TfrmMain::SelectedGridRows(int32_t& top, int32_t& bottom) const {
  top = bottom = 0;
  const QModelIndexList rows = grdTarget->selectionModel()->selectedRows();
  for (const QModelIndex& i : rows) {
    const int32_t r = i.row() + 1;
    if (top == 0 || r < top) top = r;
    if (r > bottom) bottom = r;
  }
}

void TfrmMain::SetCurrentGridRow(int32_t row) {
  QItemSelectionModel* selection = grdTarget->selectionModel();
  if (row <= 0 || row > TargetModel->rowCount()) {
    selection->clear();
    return;
  }
  const QModelIndex index = TargetModel->index(row - 1, 0);
  selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grdTarget->scrollTo(index);
}

void TfrmMain::RefillGrid(int32_t count) {
  grdTarget->setUpdatesEnabled(false);
  TargetModel->Refill();
  grdTarget->selectionModel()->clear();
  grdTarget->setUpdatesEnabled(true);
  UpdateLineButtons(0);
  const bool any = count > 0;
  Enable({btnSaveTarget},
         {mnuSaveTarget, mnuAll, mnuGrdAll, mnuSortText, mnuSortNum, mnuSortDocText, mnuSortDocNum, mnuGrdSortText,
          mnuGrdSortNum, mnuGrdSortDocText, mnuGrdSortDocNum},
         any);
  TargetListChanged();
}

void TfrmMain::UpdateLineButtons(int32_t row) {
  const int32_t rowCount = static_cast<int32_t>(session_.Targets.size()) + 1;
  Enable({btnDown}, {mnuDown}, row < rowCount - 1);
  Enable({btnUp}, {mnuUp}, row > 1);
}

void TfrmMain::SelectTargetRow(int32_t row) {
  if (row <= 0 || row > static_cast<int32_t>(TargetList.size())) return;
  bool shown = !Doc.path.empty();
  const int32_t t = row - 1;
  if (t == session_.CurrentTarget) return;
  session_.CurrentTarget = t;
  Enable({btnGrdOpen, btnGrdOpenNew}, {mnuGrdOpen, mnuGrdOpenNew}, false);
  const Target& target = TargetList[static_cast<size_t>(t)];
  if (!target.DocumentRef.empty()) {
    const std::string path = DocumentRefPath(target.DocumentRef);
    const bool other = path != Doc.path;
    Enable({btnGrdOpen, btnGrdOpenNew}, {mnuGrdOpen, mnuGrdOpenNew}, other);
    shown = !other;
  }
  if (shown) {
    if (Settings.FromWordList) HighlightShownTargets(t);
    StepOccurrence(kStepShow);
  } else {
    Enable({btnFirst, btnPrev, btnNext, btnLast}, {mnuFirst, mnuPrev, mnuNext, mnuLast}, false);
  }
  UpdateLineButtons(row);
  TargetViewsChanged();
}

void TfrmMain::StepOccurrence(int kind) {
  static constexpr OccurrenceStep kSteps[] = {OccurrenceStep::Show, OccurrenceStep::First, OccurrenceStep::Previous,
                                              OccurrenceStep::Next, OccurrenceStep::Last};
  if (!session_.Current()) return;
  const int32_t i = session_.Step(kind >= kStepFirst && kind <= kStepLast ? kSteps[kind] : OccurrenceStep::Show);
  const int32_t count = static_cast<int32_t>(session_.Current()->Starts.size());
  SelectOccurrence(true);
  Enable({btnFirst, btnPrev}, {mnuFirst, mnuPrev}, i > 0);
  Enable({btnNext, btnLast}, {mnuNext, mnuLast}, i < count - 1);
  TargetViewsChanged();
}

void TfrmMain::MoveLine(bool up) {
  const int32_t row = CurrentGridRow();
  const int32_t last = static_cast<int32_t>(TargetList.size());
  if (up) {
    if (row >= 2) SetCurrentGridRow(row - 1);
  } else if (row < last) {
    SetCurrentGridRow(row + 1);
  }
}

// The row under the pointer is chosen first (unless it is among the rows
// selected), so that the menu's items are enabled for what it acts on.
void TfrmMain::GridMenuRequested(const QPoint& at) {
  grdTarget->setFocus(Qt::PopupFocusReason);
  const QModelIndex index = grdTarget->indexAt(at);
  if (index.isValid() && !grdTarget->selectionModel()->isRowSelected(index.row(), QModelIndex())) {
    SetCurrentGridRow(index.row() + 1);
    grdTarget->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  UpdateEditMenu();
  popGrid->popup(grdTarget->viewport()->mapToGlobal(at));
}

// The target panel is never wider than the grid's full width; a width within
// 50 pixels of it becomes that width, and a wider one is refused.
void TfrmMain::LimitTargetPanel() {
  QList<int> sizes = Splitter->sizes();
  if (sizes.size() < 2) return;
  int width = sizes[0];
  if (width > GridFullWidth) {
    width = std::min(AcceptedTargetWidth, GridFullWidth);
  } else if (width > GridFullWidth - 50) {
    width = GridFullWidth;
  }
  if (width != sizes[0]) {
    const int total = sizes[0] + sizes[1];
    Splitter->setSizes({width, total - width});
  }
  AcceptedTargetWidth = width;
}

// A new order keeps the document's highlights (a search's: a word list
// highlights only its chosen target) and shows itself in the heading.
void TfrmMain::SortTargets(int key, bool byDocument) {
  session_.Sort(static_cast<GridOrder>(key), byDocument);
  ResetTargetView(false);
  if (!Settings.FromWordList) HighlightShownTargets();
  ShowSortOrder(key, byDocument);
  grdTarget->viewport()->update();
}

void TfrmMain::ShowSortOrder(int key, bool byDocument) {
  QHeaderView* heading = grdTarget->horizontalHeader();
  const int column = byDocument ? 2 : (key <= 1 ? 0 : 1);
  const bool descending = !byDocument && (key == 1 || key == 3);
  heading->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  heading->setSortIndicatorShown(!TargetList.empty());
}

void TfrmMain::GridHeadingPressed(int column) {
  UpdateLineButtons(0);
  switch (column) {
    case 0: SortTargets(static_cast<int>(NextOrder(session_.Order, false)), false); break;
    case 1: SortTargets(static_cast<int>(NextOrder(session_.Order, true)), false); break;
    case 2:
      // The document column sorts in the present order and moves it on.
      SortTargets(static_cast<int>(session_.Order), true);
      session_.Order = static_cast<GridOrder>((static_cast<int>(session_.Order) + 1) % 4);
      break;
    default:  // beyond the columns: the view is reset all the same
      ResetTargetView(false);
      if (!Settings.FromWordList) HighlightShownTargets();
      break;
  }
}

// ---------------------------------------------------------------------------
// Editing

void TfrmMain::CopyTargetRows() {
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  int32_t top = 0, bottom = 0;
  SelectedGridRows(top, bottom);
  const std::string text = session_.TargetsText(std::max(top, 1) - 1, bottom - 1);
  if (text.empty()) return;
  clipboard->setText(FromCp1252(text));
}

void TfrmMain::DeleteTargetRows() {
  int32_t top = 0, bottom = 0;
  SelectedGridRows(top, bottom);
  if (!session_.DeleteTargets(shell_.Ctx, std::max(top, 1) - 1, bottom - 1)) return;
  ResetTargetView(false);
  // The rows left keep their highlights and are counted anew.
  if (!Settings.FromWordList) HighlightShownTargets();
  statusLine_->SetText(FromCp1252(session_.Status));
  grdTarget->horizontalHeader()->setSortIndicatorShown(!TargetList.empty());
}

void TfrmMain::SelectAllRows() {
  const int rows = TargetModel->rowCount();
  if (rows <= 0) return;
  QItemSelection all(TargetModel->index(0, 0), TargetModel->index(rows - 1, TargetModel->columnCount() - 1));
  grdTarget->selectionModel()->select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  UpdateEditMenu();
}

void TfrmMain::LocateTargetAtCaret() {
  // The session makes the target current; the grid row follows (and shows
  // it), as a click on the row would.
  const int32_t before = session_.CurrentTarget;
  if (!session_.LocateAt(CaretView())) return;
  const int32_t found = session_.CurrentTarget;
  session_.CurrentTarget = before;
  SetCurrentGridRow(found + 1);
  TargetViewsChanged();
}

void TfrmMain::SelectTargetOccurrence(int32_t target, int32_t occurrence) {
  if (target < 0 || target >= static_cast<int32_t>(TargetList.size())) return;
  Target& t = TargetList[static_cast<size_t>(target)];
  if (occurrence < 0 || occurrence >= static_cast<int32_t>(t.Starts.size())) return;
  t.CurrentStart = occurrence;
  if (target != session_.CurrentTarget) {
    SetCurrentGridRow(target + 1);  // runs SelectTargetRow, which shows the occurrence
  } else {
    StepOccurrence(kStepShow);
  }
}

// ---------------------------------------------------------------------------
// The view

// ---------------------------------------------------------------------------
// Opening a target's document

void TfrmMain::OpenTargetHere() {
  const int32_t row = CurrentGridRow();
  if (row <= 0 || row > static_cast<int32_t>(TargetList.size())) return;
  CloseDocument();
  const Target& target = TargetList[static_cast<size_t>(row - 1)];
  Doc.path = DocumentRefPath(target.DocumentRef);
  if (!OpenDocument(Doc.path, true, true)) {
    // The window is left without a document: nothing to step through.
    Doc.path.clear();
    Enable({btnFirst, btnPrev, btnNext, btnLast}, {mnuFirst, mnuPrev, mnuNext, mnuLast}, false);
  } else {
    if (!Settings.FromWordList) HighlightShownTargets();
    StepOccurrence(kStepShow);
  }
  Enable({btnGrdOpen, btnGrdOpenNew}, {mnuGrdOpen, mnuGrdOpenNew}, false);
  TargetViewsChanged();
}

void TfrmMain::OpenTargetInOtherWindow() {
  const int32_t row = CurrentGridRow();
  if (row <= 0 || row > static_cast<int32_t>(TargetList.size())) return;
  Shell& shell = shell_;
  const std::string path = DocumentRefPath(TargetList[static_cast<size_t>(row - 1)].DocumentRef);
  // Another window that shows the document: a window is known by the
  // document it holds, not by its caption (which a corpus search or a failed
  // opening leaves behind).
  TfrmMain* other = nullptr;
  for (TfrmMain* w : shell.MainWindowList) {
    if (w != this && !w->Doc.path.empty() && w->Doc.path == path) {
      other = w;
      break;
    }
  }
  if (!other) {
    other = new TfrmMain(shell_);
    other->move(x() + 25, y() + 25);
    other->show();
    other->Doc.path = path;
    if (!other->OpenDocument(path, false, true)) {
      other->setAttribute(Qt::WA_DeleteOnClose, false);
      other->close();
      delete other;
      return;
    }
  }

  // The other window searches as this one did, in its own document, on a
  // second thread with its progress and Cancel (cancelled: it keeps what it
  // held). This window waits too: it cannot close, nor start another
  // command, under the run.
  if (other->SearchRunning) return;
  auto run = std::make_shared<BackgroundRun>();
  run->Job = other->Session().PrepareRepeat(shell.Ctx, session_);
  auto blocker = std::make_shared<InputBlocker>(this);
  SearchRunning = true;
  other->StartRun(run, DisplayPath(FileNameOf(path)), [this, other, run, blocker](bool done) mutable {
    blocker.reset();
    SearchRunning = false;
    if (!done) return;
    other->ApplyRepeat(run->Job);
    Enable({btnGrdOpenNew}, {mnuGrdOpenNew}, false);
  });
}

// The targets of a search or word list repeated here join those the window
// held: grid, status line and, for a search, the red highlights.
void TfrmMain::ApplyRepeat(SessionRun& run) {
  ResetTargetView(false);
  std::vector<std::pair<int32_t, int32_t>> spans = std::move(run.Spans);
  const int32_t longest = run.Longest;
  session_.Apply(std::move(run));
  ShowWordListResult(session_.Status);
  if (!Settings.FromWordList) ShowHighlights(std::move(spans), longest);
}

// ---------------------------------------------------------------------------
// The report

// The report is written on a second thread from a copy of the result (its
// extracts may read every corpus document), with progress and Cancel.
void TfrmMain::SaveResult() {
  if (SearchRunning) return;
  TfrmResult& dialog = TheResultDialog();
  dialog.PresetExtractKind(PreselectedExtractKind(Settings.Context));
  if (CurrentDialogs().Exec(&dialog) != QDialog::Accepted) return;
  auto copy = std::make_shared<WindowSession>();
  copy->Settings = Settings;
  copy->Strings = ArrowList;
  copy->Targets = TargetList;
  copy->Doc.path = Doc.path;
  copy->Doc.text = Doc.text;
  copy->Doc.marks = Doc.marks;
  auto run = std::make_shared<BackgroundRun>();
  auto written = std::make_shared<bool>(true);
  run->Work = [copy, written, ctx = shell_.Ctx, entries = shell_.Ctx.Corpus.Entries,
               options = dialog.Options()](BackgroundRun& r) {
    const std::string report =
        copy->Report(ctx, entries, options, [&r](const std::string& message) { r.Unreadable({}, message); });
    if (!r.cancelled) *written = SaveReportText(options.OutputFile, report, options.Append);
  };
  StartRun(run, dialog.FileName(), [this, written, file = dialog.FileName()](bool done) {
    if (done && !*written) {
      CurrentDialogs().Message(this, "Kalix", Tr(msg::kCannotWrite) + "\n" + file, MessageIcon::Exclamation);
    }
  });
}

}  // namespace kalix::ui
