// The target grid of a main window: sorts and heading clicks, selecting and
// stepping, moving the line, cut/copy/delete and the clipboard text, the
// target under the caret, a target opened here or in another window, and the
// result dialog with the report it writes.

#include "FakeDialogs.h"
#include "app/RunSearch.h"
#include "i18n/Language.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "rules/RuleSet.h"
#include "targets/DocumentRef.h"
#include "targets/Report.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"
#include "ui/TfrmResult.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <thread>

using namespace kalix;
using namespace kalix::ui;

namespace {

QString T(const char* s) { return FromCp1252(s); }

std::string ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return f.readAll().toStdString();
}

}  // namespace

class TargetGridTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  TfrmMain* w_ = nullptr;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

  // The texts of the grid's rows, as "count text" (and "@file" after a
  // corpus search), in row order.
  QStringList Rows(TfrmMain* w) {
    QStringList rows;
    QAbstractItemModel* m = w->TargetPane()->Grid()->model();
    for (int r = 0; r < m->rowCount(); ++r) {
      QString row = m->index(r, 0).data().toString() + " " + m->index(r, 1).data().toString();
      const QString doc = m->index(r, 2).data().toString();
      if (!doc.isEmpty()) row += "@" + doc;
      rows << row;
    }
    return rows;
  }

  // Runs a search of `strings` ("Majuscule", result as written) over the
  // window's document, or over `corpus`, and shows its result in the grid.
  void Fill(TfrmMain* w, const std::vector<std::string>& strings, int context,
            const std::vector<std::string>& corpus = {}) {
    SearchRequest r;
    for (const std::string& s : strings) {
      SearchString ss;
      ss.Text = s;
      r.Strings.push_back(ss);
    }
    r.Settings.SetSpelling(1);
    r.Settings.Context = static_cast<int16_t>(context);
    r.Settings.SetResult(false, 0, false);
    if (corpus.empty()) {
      r.WindowDocument = &w->Session().Doc;
    } else {
      r.Settings.UseCorpus = true;
      r.Corpus = corpus;
    }
    SearchResult result = RunSearch(TheShell().Ctx, r);
    w->ResetTargetView(true);
    w->Session().Targets = std::move(result.Targets);
    w->Session().Settings = result.Settings;
    w->Session().Strings = result.Strings;
    w->Session().Filters = result.Filters;
    w->ShowSearchResult(result.Status);
  }

  void Open(TfrmMain* w, const std::string& path) {
    dialogs_.files.push_back(QString::fromStdString(path));
    w->mnuOpenClick();
    QCOMPARE(w->Session().Doc.path, path);
  }

  // Presses the mouse on a heading (column -1: right of the last column).
  void PressHeading(TfrmMain* w, int column) {
    QHeaderView* h = w->TargetPane()->Grid()->horizontalHeader();
    int x = column < 0 ? h->length() + 10 : h->sectionViewportPosition(column) + h->sectionSize(column) / 2;
    QTest::mousePress(h->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, h->height() / 2));
    QTest::mouseRelease(h->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, h->height() / 2));
  }

  // The enabled states of the occurrence commands: first, previous, next,
  // last (buttons and menu items agree).
  QString Steps(TfrmMain* w) {
    QString s;
    const std::pair<QToolButton*, QAction*> pairs[] = {
        {w->btnFirst, w->mnuFirst}, {w->btnPrev, w->mnuPrev}, {w->btnNext, w->mnuNext}, {w->btnLast, w->mnuLast}};
    for (const auto& [b, a] : pairs) {
      if (b->isEnabled() != a->isEnabled()) return "disagree";
      s += b->isEnabled() ? "1" : "0";
    }
    return s;
  }

  // The document view's selection: its start and length in view positions.
  std::pair<int, int> ViewSelection(TfrmMain* w) { return {w->CaretView(), w->SelectionViewLength()}; }

  Occurrence Current(TfrmMain* w) {
    const Target& t = w->Session().Targets[static_cast<size_t>(w->Session().CurrentTarget)];
    return t.Starts[static_cast<size_t>(t.CurrentStart)];
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    w_ = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    QVERIFY(WriteTextFile(Path("a.txt"), "ROI roi Roi ROIS. Dame ROI dame.\nZED roi ROI.\n"));
    QVERIFY(WriteTextFile(Path("b.txt"), "Le ROI et la DAME.\nLe roi.\n"));
  }
  void cleanup() {
    for (TfrmMain* w : QList<TfrmMain*>(TheShell().MainWindowList)) delete w;
    w_ = nullptr;
    SetDialogs(nullptr);
  }

  void emptyListAndSorts() {
    // An empty list: only the headings; sorts, select all and the report
    // are disabled.
    QCOMPARE(w_->TargetPane()->Grid()->model()->rowCount(), 0);
    for (QAction* a : {w_->mnuSortText, w_->mnuSortNum, w_->mnuSortDocText, w_->mnuSortDocNum, w_->mnuGrdSortText,
                       w_->mnuAll, w_->mnuGrdAll, w_->mnuSaveTarget, w_->mnuUp, w_->mnuDown}) {
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    }
    QVERIFY(!w_->btnSaveTarget->isEnabled());
    QCOMPARE(w_->TargetPane()->Grid()->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Texte"));

    Open(w_, Path("a.txt"));
    Fill(w_, {"roi", "dame"}, 1);
    QCOMPARE(Rows(w_), QStringList({"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}));
    QCOMPARE(static_cast<int>(w_->Session().Order), 2);
    for (QAction* a : {w_->mnuSortText, w_->mnuSortNum, w_->mnuSortDocText, w_->mnuSortDocNum, w_->mnuGrdSortNum,
                       w_->mnuSaveTarget}) {
      QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }
    QVERIFY(!w_->mnuUp->isEnabled());
    QVERIFY(w_->mnuDown->isEnabled());

    // Menu sorts: the same command twice reverses the order; equal numbers
    // keep the order they had.
    struct Step {
      QAction* item;
      int state;
      QStringList rows;
    };
    const Step steps[] = {
        {w_->mnuSortText, 3, {"2 roi", "1 dame", "1 Roi", "1 ROIS", "3 ROI", "1 Dame"}},
        {w_->mnuSortText, 2, {"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}},
        {w_->mnuSortNum, 0, {"1 Dame", "1 ROIS", "1 Roi", "1 dame", "2 roi", "3 ROI"}},
        {w_->mnuSortNum, 1, {"3 ROI", "2 roi", "1 Dame", "1 ROIS", "1 Roi", "1 dame"}},
        {w_->mnuGrdSortNum, 0, {"1 Dame", "1 ROIS", "1 Roi", "1 dame", "2 roi", "3 ROI"}},
        {w_->mnuSortDocText, 2, {"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}},
        {w_->mnuSortDocNum, 0, {"1 Dame", "1 ROIS", "1 Roi", "1 dame", "2 roi", "3 ROI"}},
    };
    QHeaderView* heading = w_->TargetPane()->Grid()->horizontalHeader();
    QVERIFY(heading->isSortIndicatorShown());
    QCOMPARE(heading->sortIndicatorSection(), 1);
    const size_t lit = w_->DocumentPane()->Highlights().size();
    QCOMPARE(lit, size_t{9});
    const std::pair<int, Qt::SortOrder> shown[] = {{1, Qt::DescendingOrder}, {1, Qt::AscendingOrder},
                                                   {0, Qt::AscendingOrder},  {0, Qt::DescendingOrder},
                                                   {0, Qt::AscendingOrder},  {2, Qt::AscendingOrder},
                                                   {2, Qt::AscendingOrder}};
    for (size_t k = 0; k < std::size(steps); ++k) {
      const Step& s = steps[k];
      w_->SetCurrentGridRow(2);
      QVERIFY(w_->Session().CurrentTarget >= 0);
      s.item->trigger();
      QCOMPARE(static_cast<int>(w_->Session().Order), int(s.state));
      QCOMPARE(Rows(w_), s.rows);
      // The order shows in the heading, and the text keeps its highlights.
      QCOMPARE(heading->sortIndicatorSection(), shown[k].first);
      QCOMPARE(heading->sortIndicatorOrder(), shown[k].second);
      QCOMPARE(w_->DocumentPane()->Highlights().size(), lit);
      // Every sort ends with the view reset: no current target or row.
      QCOMPARE(w_->Session().CurrentTarget, -1);
      QCOMPARE(w_->CurrentGridRow(), 0);
      QCOMPARE(Steps(w_), QString("0000"));
    }

    // Heading clicks: "#" and "Texte" toggle; "Document" sorts by the
    // current state with the document first, then steps the state.
    struct Click {
      int column;
      int state;
      QStringList rows;
    };
    const Click clicks[] = {
        {1, 2, {"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}},
        {1, 3, {"2 roi", "1 dame", "1 Roi", "1 ROIS", "3 ROI", "1 Dame"}},
        {0, 0, {"1 dame", "1 Roi", "1 ROIS", "1 Dame", "2 roi", "3 ROI"}},
        {0, 1, {"3 ROI", "2 roi", "1 dame", "1 Roi", "1 ROIS", "1 Dame"}},
        {2, 2, {"3 ROI", "2 roi", "1 dame", "1 Roi", "1 ROIS", "1 Dame"}},  // sorted by state 1, then state 2
        {2, 3, {"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}},  // by state 2
        {-1, 3, {"1 Dame", "3 ROI", "1 ROIS", "1 Roi", "1 dame", "2 roi"}},  // beyond the columns: nothing
        {2, 0, {"2 roi", "1 dame", "1 Roi", "1 ROIS", "3 ROI", "1 Dame"}},  // by state 3
    };
    for (const Click& c : clicks) {
      w_->SetCurrentGridRow(1);
      PressHeading(w_, c.column);
      QCOMPARE(static_cast<int>(w_->Session().Order), int(c.state));
      QCOMPARE(Rows(w_), c.rows);
      QCOMPARE(w_->Session().CurrentTarget, -1);
      QCOMPARE(w_->CurrentGridRow(), 0);
    }
  }

  void selectStepAndMove() {
    Open(w_, Path("a.txt"));
    Fill(w_, {"roi"}, 2);
    QCOMPARE(Rows(w_), QStringList({"3 ROI", "1 ROIS", "1 Roi", "2 roi"}));
    const cStarts roi = w_->Session().Targets[0].Starts;

    // A click on a row makes its target current and selects its first
    // occurrence.
    QTableView* grid = w_->TargetPane()->Grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, grid->visualRect(grid->model()->index(0, 1)).center());
    QCOMPARE(w_->Session().CurrentTarget, 0);
    QCOMPARE(ViewSelection(w_), std::make_pair(roi[0].StartView, roi[0].ViewLength));
    QCOMPARE(Steps(w_), QString("0011"));
    QVERIFY(!w_->btnUp->isEnabled());
    QVERIFY(w_->btnDown->isEnabled());

    // Right and Left in the grid step; the row and column stay.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 1);
    QCOMPARE(ViewSelection(w_), std::make_pair(roi[1].StartView, roi[1].ViewLength));
    QCOMPARE(Steps(w_), QString("1111"));
    QCOMPARE(w_->CurrentGridRow(), 1);
    w_->btnLast->click();
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 2);
    QCOMPARE(Steps(w_), QString("1100"));
    QTest::keyClick(grid, Qt::Key_Right);  // at the end: nothing moves
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 2);
    QCOMPARE(ViewSelection(w_), std::make_pair(roi[2].StartView, roi[2].ViewLength));
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 1);
    w_->mnuFirst->trigger();
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 0);
    QCOMPARE(Steps(w_), QString("0011"));
    QTest::keyClick(grid, Qt::Key_Left);  // at the start: nothing moves
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 0);
    w_->mnuNext->trigger();

    // Shift+click in the "Phrase" context selects the occurrence's sentence.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(grid->model()->index(0, 1)).center());
    QCOMPARE(ViewSelection(w_), std::make_pair(roi[1].ContextStartView, roi[1].ContextViewLength));

    // Down and Up move one row; a target keeps its current occurrence.
    w_->btnDown->click();
    QCOMPARE(w_->CurrentGridRow(), 2);
    QCOMPARE(w_->Session().CurrentTarget, 1);
    QCOMPARE(Steps(w_), QString("0000"));  // one occurrence
    QVERIFY(w_->btnUp->isEnabled());
    w_->mnuDown->trigger();
    w_->mnuDown->trigger();
    QCOMPARE(w_->CurrentGridRow(), 4);
    QVERIFY(!w_->btnDown->isEnabled());
    QVERIFY(!w_->mnuDown->isEnabled());
    w_->MoveLine(false);  // from the last row: nothing
    QCOMPARE(w_->CurrentGridRow(), 4);
    for (int k = 0; k < 3; ++k) w_->btnUp->click();
    QCOMPARE(w_->CurrentGridRow(), 1);
    QVERIFY(!w_->btnUp->isEnabled());
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 1);
    QCOMPARE(ViewSelection(w_), std::make_pair(roi[1].StartView, roi[1].ViewLength));

    // "Ci&ble": the caret on the last character of an occurrence finds it;
    // just after it, nothing happens.
    const Occurrence second = w_->Session().Targets[3].Starts[1];  // "roi", second
    w_->SetCaretView(second.StartView + second.ViewLength - 1);
    w_->mnuTxtTarget->trigger();
    QCOMPARE(w_->CurrentGridRow(), 4);
    QCOMPARE(w_->Session().Targets[3].CurrentStart, 1);
    QCOMPARE(ViewSelection(w_), std::make_pair(second.StartView, second.ViewLength));
    w_->SetCurrentGridRow(1);
    w_->SetCaretView(second.StartView + second.ViewLength);
    w_->mnuTxtTarget->trigger();
    QCOMPARE(w_->CurrentGridRow(), 1);
    // On the current target: only its current occurrence changes.
    w_->Session().Targets[0].CurrentStart = 0;
    w_->SetCaretView(roi[2].StartView);
    w_->mnuTxtTarget->trigger();
    QCOMPARE(w_->CurrentGridRow(), 1);
    QCOMPARE(w_->Session().Targets[0].CurrentStart, 2);
  }

  void copyCutDelete() {
    Open(w_, Path("a.txt"));
    Fill(w_, {"roi"}, 1);
    QTableView* grid = w_->TargetPane()->Grid();
    grid->setFocus();
    QApplication::processEvents();
    QVERIFY(w_->focusWidget() == grid);

    // Rows 1 and 2 selected: "4\tROI\n1\tROIS", nothing after the last.
    w_->SetCurrentGridRow(1);
    grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 0), grid->model()->index(1, 2)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w_->UpdateEditMenu();
    for (QAction* a : {w_->mnuCut, w_->mnuCopy, w_->mnuDel, w_->mnuAll, w_->mnuGrdCut, w_->mnuGrdCopy, w_->mnuGrdDel,
                       w_->mnuGrdAll}) {
      QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }
    QVERIFY(!w_->mnuTxtCopy->isEnabled());
    QApplication::clipboard()->setText("old");
    w_->mnuCopy->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("3\tROI\n1\tROIS"));
    QCOMPARE(Rows(w_).size(), 4);

    // Cut: copies, then deletes exactly those rows; the view is reset.
    grid->selectionModel()->select(QItemSelection(grid->model()->index(1, 0), grid->model()->index(2, 2)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w_->mnuGrdCut->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("1\tROIS\n1\tRoi"));
    QCOMPARE(Rows(w_), QStringList({"3 ROI", "2 roi"}));
    QCOMPARE(w_->CurrentGridRow(), 0);
    QCOMPARE(w_->Session().CurrentTarget, -1);
    // The status line counts what is left; the rows left stay highlighted.
    QVERIFY2(w_->StatusLine()->Label()->text().endsWith("Mots : 2  Occurrences : 5"), qPrintable(w_->StatusLine()->Label()->text()));
    QCOMPARE(w_->DocumentPane()->Highlights().size(), size_t{5});

    // Select all, then delete: an empty list.
    w_->mnuAll->trigger();
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 2);
    QCOMPARE(w_->Session().CurrentTarget, -1);
    w_->mnuDel->trigger();
    QCOMPARE(Rows(w_), QStringList());
    QVERIFY(w_->StatusLine()->Label()->text().endsWith("Mots : 0  Occurrences : 0"));
    QVERIFY(w_->DocumentPane()->Highlights().empty());
    QVERIFY(!w_->TargetPane()->Grid()->horizontalHeader()->isSortIndicatorShown());
    // Another document: no result, no status.
    Fill(w_, {"roi"}, 1);
    QVERIFY(!w_->StatusLine()->Label()->text().isEmpty());
    Open(w_, Path("b.txt"));
    QCOMPARE(w_->StatusLine()->Label()->text(), QString());
    QVERIFY(!w_->mnuSortText->isEnabled());
    QVERIFY(!w_->btnSaveTarget->isEnabled());
    // Nothing selected: copying leaves an empty clipboard.
    QApplication::clipboard()->setText("old");
    w_->CopyTargetRows();
    QCOMPARE(QApplication::clipboard()->text(), QString());
  }

  void corpusTargetsInAnotherWindow() {
    Open(w_, Path("a.txt"));
    Fill(w_, {"roi", "dame"}, 1, {Path("a.txt"), Path("b.txt")});
    QCOMPARE(Rows(w_), QStringList({"1 DAME@b.txt", "1 Dame@a.txt", "3 ROI@a.txt", "1 ROI@b.txt", "1 ROIS@a.txt",
                                    "1 Roi@a.txt", "1 dame@a.txt", "2 roi@a.txt", "1 roi@b.txt"}));
    // A target of the document shown: no open commands, stepping possible.
    w_->SetCurrentGridRow(3);
    QVERIFY(!w_->btnGrdOpen->isEnabled());
    QVERIFY(!w_->mnuGrdOpenNew->isEnabled());
    QCOMPARE(Steps(w_), QString("0011"));
    // A target of another document: both open commands, no stepping.
    w_->SetCurrentGridRow(4);
    for (QAction* a : {w_->mnuGrdOpen, w_->mnuGrdOpenNew}) QVERIFY(a->isEnabled());
    QVERIFY(w_->btnGrdOpen->isEnabled() && w_->btnGrdOpenNew->isEnabled());
    QCOMPARE(Steps(w_), QString("0000"));

    const size_t before = w_->Session().Targets.size();
    w_->Session().Settings.Level = 7;
    // The other window's search runs on a second thread, not on this one,
    // whose events go on meanwhile (a timer fires while the search works).
    std::thread::id workedOn;
    std::atomic<bool> working{false};
    bool firedWhileWorking = false;
    TfrmMain::BeforeBackgroundWork = [&] {
      workedOn = std::this_thread::get_id();
      working = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      working = false;
    };
    QTimer::singleShot(100, [&] { firedWhileWorking = working.load(); });
    w_->mnuGrdOpenNew->trigger();
    w_->WaitForRun();
    TfrmMain::BeforeBackgroundWork = nullptr;
    QVERIFY(workedOn != std::thread::id());
    QVERIFY(workedOn != std::this_thread::get_id());
    QVERIFY(firedWhileWorking);
    QCOMPARE(TheShell().MainWindowList.size(), 2);
    TfrmMain* other = TheShell().MainWindowList[1];
    QCOMPARE(other->windowTitle(), "Kalix - " + QString::fromStdString(Path("b.txt")));
    QCOMPARE(other->pos(), w_->pos() + QPoint(25, 25));
    QCOMPARE(other->Session().Doc.path, Path("b.txt"));
    // The other window searched its own document as this one did.
    QCOMPARE(Rows(other), QStringList({"1 DAME", "1 ROI", "1 roi"}));
    QVERIFY(!other->Session().Settings.UseCorpus);
    QCOMPARE(other->Session().Settings.Level, 0);
    QCOMPARE(other->Session().Settings.Context, w_->Session().Settings.Context);
    QCOMPARE(other->Session().Settings.Spelling, w_->Session().Settings.Spelling);
    QCOMPARE(static_cast<int>(other->Session().Order), 2);
    QVERIFY(other->StatusLine()->Label()->text().contains("Mots : 3"));
    QVERIFY(!w_->mnuGrdOpenNew->isEnabled());
    QVERIFY(!w_->btnGrdOpenNew->isEnabled());
    QVERIFY(w_->mnuGrdOpen->isEnabled());
    // The two windows are independent afterwards.
    other->SetCurrentGridRow(1);
    other->DeleteTargetRows();
    QCOMPARE(other->Session().Targets.size(), size_t{2});
    QCOMPARE(w_->Session().Targets.size(), before);
    QCOMPARE(Steps(other), QString("0000"));
    other->SetCurrentGridRow(1);
    QCOMPARE(other->Session().CurrentTarget, 0);
    QCOMPARE(w_->Session().CurrentTarget, 3);

    // Opening the same document again reuses the window with that caption.
    w_->SetCurrentGridRow(1);
    w_->mnuGrdOpenNew->trigger();
    w_->WaitForRun();
    QCOMPARE(TheShell().MainWindowList.size(), 2);

    // A document that cannot be opened: no window, nothing reported.
    w_->Session().Targets[0].DocumentRef = MakeDocumentRef(Path("gone.txt"));
    w_->ResetTargetView(false);
    w_->SetCurrentGridRow(1);
    w_->mnuGrdOpenNew->trigger();
    w_->WaitForRun();
    QCOMPARE(TheShell().MainWindowList.size(), 2);
    QVERIFY(dialogs_.messages.empty());

    // Opening here: this window shows the other document, its occurrences
    // red, and steps through it.
    w_->SetCurrentGridRow(4);
    w_->mnuGrdOpen->trigger();
    QCOMPARE(w_->Session().Doc.path, Path("b.txt"));
    QCOMPARE(w_->windowTitle(), "Kalix - " + QString::fromStdString(Path("b.txt")));
    QCOMPARE(ViewSelection(w_), std::make_pair(w_->Session().Targets[3].Starts[0].StartView, 3));
    // ROI and roi of b.txt (DAME's reference now names the missing file).
    QCOMPARE(w_->DocumentPane()->TextView()->extraSelections().size(), 2);
    QVERIFY(!w_->mnuGrdOpen->isEnabled());
    QVERIFY(!w_->btnGrdOpenNew->isEnabled());
    // Then a target of a document that cannot be opened: the loader's
    // message, and the window holds no document.
    w_->SetCurrentGridRow(1);
    QVERIFY(w_->mnuGrdOpen->isEnabled());
    w_->mnuGrdOpen->trigger();
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QVERIFY(dialogs_.messages[0].text.endsWith(QString::fromStdString(Path("gone.txt"))));
    QVERIFY(w_->Session().Doc.path.empty());
    QCOMPARE(Steps(w_), QString("0000"));
    // A window is known by the document it holds, never by the caption a
    // failed opening left: a target of a.txt opens a window of its own.
    w_->SetCurrentGridRow(2);
    w_->mnuGrdOpenNew->trigger();
    w_->WaitForRun();
    QCOMPARE(TheShell().MainWindowList.size(), 3);
    QCOMPARE(TheShell().MainWindowList[2]->Session().Doc.path, Path("a.txt"));
    QVERIFY(w_->Session().Doc.path.empty());
    // This window's caption still names b.txt: a target of b.txt goes to the
    // window that holds it, and this window keeps its result.
    QCOMPARE(w_->windowTitle(), "Kalix - " + QString::fromStdString(Path("b.txt")));
    w_->SetCurrentGridRow(4);
    w_->mnuGrdOpenNew->trigger();
    w_->WaitForRun();
    QCOMPARE(TheShell().MainWindowList.size(), 3);
    QCOMPARE(w_->Session().Targets.size(), before);
    QVERIFY(w_->Session().Doc.path.empty());
    QVERIFY(w_->Session().Settings.UseCorpus);
  }

  void reportDialog() {
    Open(w_, Path("a.txt"));
    Fill(w_, {"roi"}, 2);
    TfrmResult& d = TheResultDialog();
    QCOMPARE(d.objectName(), QString("frmResult"));
    QCOMPARE(d.windowTitle(), T("R\xe9sultat"));
    QCOMPARE(d.size(), QSize(341, 245));
    // Every control is named for screen readers.
    const QList<QWidget*> controls = {d.edFile, d.btnFile, d.chkContext, d.chkTarget, d.chkTargRef, d.chkApend,
                                      d.pnlExtrait, d.chkExtRef, d.OKBtn, d.CancelBtn, d.rbExtract[0], d.rbExtract[3]};
    for (QWidget* c : controls) {
      QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }
    QCOMPARE(d.edFile->accessibleName(), QString("Fichier"));
    QCOMPARE(d.chkTargRef->accessibleName(), T("R\xe9" "f\xe9rences"));

    // Enabled rules, as the dialog shows itself.
    d.edFile->setText("  \t ");
    d.chkTarget->setChecked(false);
    d.show();
    QVERIFY(!d.OKBtn->isEnabled());
    QVERIFY(!d.chkTargRef->isEnabled());
    QVERIFY(!d.chkExtRef->isEnabled());  // "Aucun"
    d.edFile->setText("x.txt");
    d.chkTarget->setChecked(true);
    QVERIFY(!d.OKBtn->isEnabled());  // typing and ticking run nothing
    QVERIFY(!d.chkTargRef->isEnabled());
    QTest::mouseClick(d.rbExtract[1], Qt::LeftButton, Qt::NoModifier, QPoint(5, d.rbExtract[1]->height() / 2));
    QCOMPARE(d.ExtractKind(), 1);
    QVERIFY(d.OKBtn->isEnabled());
    QVERIFY(d.chkTargRef->isEnabled());
    QVERIFY(d.chkExtRef->isEnabled());
    // "..." asks for a file; a cancelled dialog leaves the name, and the
    // rules run in both cases.
    d.edFile->clear();
    d.btnFile->click();
    QCOMPARE(d.edFile->text(), QString());
    QVERIFY(!d.OKBtn->isEnabled());
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Text file (*.txt)|*.txt|Any file (*.*)|*.*"));
    QCOMPARE(dialogs_.fileRequests.back().defaultExtension, QString("txt"));
    dialogs_.files.push_back(QString::fromStdString(Path("chosen.txt")));
    d.btnFile->click();
    QCOMPARE(d.edFile->text(), QString::fromStdString(Path("chosen.txt")));
    QVERIFY(d.OKBtn->isEnabled());
    d.hide();

    // Every choice reaches the report: the file holds what WriteReport
    // writes for the same choices, CR LF line ends.
    struct Choice {
      bool info, list, listRefs, extractRefs;
      int extracts;
    };
    const Choice choices[] = {
        {true, true, true, true, 0},   {false, true, false, true, 1}, {true, false, true, false, 2},
        {false, false, false, true, 3}, {true, true, true, false, 2},
    };
    int n = 0;
    for (const Choice& c : choices) {
      const std::string out = Path(("report" + std::to_string(n++) + ".txt").c_str());
      int preset = -1;
      dialogs_.onExec = [&](QDialog* dialog) {
        auto* r = qobject_cast<TfrmResult*>(dialog);
        preset = r->ExtractKind();
        r->edFile->setText(" " + QString::fromStdString(out) + " ");
        r->chkContext->setChecked(c.info);
        r->chkTarget->setChecked(c.list);
        r->chkTargRef->setChecked(c.listRefs);
        r->chkExtRef->setChecked(c.extractRefs);
        r->chkApend->setChecked(false);
        r->rbExtract[c.extracts]->setChecked(true);
        return int(QDialog::Accepted);
      };
      // The report (and its extracts) is written on a second thread.
      std::thread::id workedOn;
      TfrmMain::BeforeBackgroundWork = [&] { workedOn = std::this_thread::get_id(); };
      w_->btnSaveTarget->click();
      w_->WaitForRun();
      TfrmMain::BeforeBackgroundWork = nullptr;
      QVERIFY(workedOn != std::thread::id());
      QVERIFY(workedOn != std::this_thread::get_id());
      QCOMPARE(preset, 2);  // "Phrase" preselects "Phrases"
      ReportOptions o;
      o.Informations = c.info;
      o.List = c.list;
      o.ListReferences = c.listRefs;
      o.ExtractReferences = c.extractRefs;
      o.Extracts = c.extracts;
      std::string expected;
      const ReportSource source{w_->Session().Settings, w_->Session().Strings, w_->Session().Targets, w_->Session().Doc, TheShell().Ctx.Corpus.Entries};
      WriteReport(TheShell().Ctx, source, o, expected);
      QVERIFY(!expected.empty());
      std::string crlf;
      for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
      QCOMPARE(ReadAll(out), crlf);
    }
    // The list with its references (the text opens page 1 after its first
    // byte, so the occurrence at 0 stands on no page).
    QVERIFY(ReadAll(Path("report0.txt")).find("\r\n\r\nROI\t3\tp:0 f:0R, p:1 f:0R\r\nROIS\t1\tp:1 f:0R\r\n") !=
            std::string::npos);

    // "Ajouter au fichier" appends; without it the file is replaced.
    const std::string out = Path("append.txt");
    QVERIFY(WriteTextFile(out, "before\n"));
    bool append = true;
    dialogs_.onExec = [&](QDialog* dialog) {
      auto* r = qobject_cast<TfrmResult*>(dialog);
      r->edFile->setText(QString::fromStdString(out));
      r->chkApend->setChecked(append);
      return int(QDialog::Accepted);
    };
    w_->mnuSaveTarget->trigger();
    w_->WaitForRun();
    const std::string appended = ReadAll(out);
    QVERIFY(appended.rfind("before\r\nDOCUMENT: a.txt\r\n", 0) == 0);
    append = false;
    w_->mnuSaveTarget->trigger();
    w_->WaitForRun();
    QCOMPARE(ReadAll(out), appended.substr(8));

    // Cancel writes nothing.
    QFile::remove(QString::fromStdString(out));
    dialogs_.onExec = [](QDialog*) { return int(QDialog::Rejected); };
    w_->mnuSaveTarget->trigger();
    w_->WaitForRun();
    QCOMPARE(ReadAll(out), std::string("<missing>"));

    // A file that cannot be written gives a message.
    const std::string bad = Path("no/such/folder/r.txt");
    dialogs_.onExec = [&](QDialog* dialog) {
      qobject_cast<TfrmResult*>(dialog)->edFile->setText(QString::fromStdString(bad));
      return int(QDialog::Accepted);
    };
    QVERIFY(dialogs_.messages.empty());
    w_->mnuSaveTarget->trigger();
    w_->WaitForRun();
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].text, T("Impossible d'\xe9" "crire le fichier :\n") + QString::fromStdString(bad));

    // Context "Mot" preselects "Aucun".
    Fill(w_, {"roi"}, 1);
    int preset = -1;
    dialogs_.onExec = [&](QDialog* dialog) {
      preset = qobject_cast<TfrmResult*>(dialog)->ExtractKind();
      return int(QDialog::Rejected);
    };
    w_->mnuSaveTarget->trigger();
    w_->WaitForRun();
    QCOMPARE(preset, 0);
  }

  // The traps a first day met: the grid's menu acts on the row under the
  // pointer, the views have names, the target panel keeps its width limit,
  // an appended report asks no "replace?" question, and the result dialog's
  // names follow the language.
  void menusNamesAndLimits() {
    Open(w_, Path("a.txt"));
    Fill(w_, {"roi"}, 1);
    const QRect row2 = w_->TargetPane()->Grid()->visualRect(w_->TargetPane()->Grid()->model()->index(1, 1));
    w_->GridMenuRequested(row2.center());
    QCOMPARE(w_->CurrentGridRow(), 2);
    QVERIFY(w_->mnuGrdCopy->isEnabled());
    w_->popGrid->hide();
    QCOMPARE(w_->DocumentPane()->TextView()->accessibleName(), QString("Texte du document"));
    QCOMPARE(w_->DocumentPane()->NoteView()->accessibleName(), QString("Notes de la page"));

    QCOMPARE(w_->GridFullWidth, 351);
    w_->resize(1000, 600);
    const int total = w_->Splitter->sizes()[0] + w_->Splitter->sizes()[1];
    const std::pair<int, int> drags[] = {{200, 200}, {320, 351}, {400, 351}, {250, 250}, {400, 250}};
    for (const auto& [to, kept] : drags) {
      w_->Splitter->setSizes({to, total - to});
      emit w_->Splitter->splitterMoved(to, 1);
      QCOMPARE(w_->Splitter->sizes()[0], kept);
    }

    TfrmResult& result = TheResultDialog();
    QCOMPARE(result.lblFile->buddy(), result.edFile);
    for (bool append : {true, false}) {
      result.chkApend->setChecked(append);
      dialogs_.files = {QString::fromStdString(Path("r.txt"))};
      result.btnFile->click();
      QCOMPARE(dialogs_.fileRequests.back().confirmOverwrite, !append);
    }
    QVERIFY(LoadLanguage(TheShell().Ctx.Language, KALIX_SOURCE_DIR "/samples/eng.lng"));
    result.show();
    QCOMPARE(result.chkApend->accessibleName(), QString("Append to the file"));
    QCOMPARE(result.edFile->accessibleName(), QString("File"));
    QCOMPARE(result.btnFile->accessibleDescription(), QString("Choose the file"));
    result.hide();
  }

  // A document that needed the character policy says so in the status line,
  // without a message box.
  void readingNoticeInTheStatusLine() {
    QVERIFY(WriteBinaryFile(Path("s.rtf"), "{\\rtf1 Il e\\u383?t\\par}"));
    Open(w_, Path("s.rtf"));
    QVERIFY2(w_->StatusLine()->Label()->text().contains(QString::fromUtf8("\xc5\xbf (U+017F)")), qPrintable(w_->StatusLine()->Label()->text()));
    QVERIFY(dialogs_.messages.empty());
    Open(w_, Path("b.txt"));
    QCOMPARE(w_->StatusLine()->Label()->text(), QString());
  }
};

QTEST_MAIN(TargetGridTest)
#include "target_grid_test.moc"
