// Searching from the window: the search dialog's edge cases, the word-list
// dialog, the result in the window (status line, grid, red highlights of
// the visible part), the same targets as the core's, corpus searches with a
// missing document, and Cancel during a long search.

#include "FakeDialogs.h"
#include "app/RunSearch.h"
#include "app/WordList.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "rules/RuleSet.h"
#include "ui/BackgroundRun.h"
#include "ui/RadioGroup.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmFind.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"
#include "ui/TfrmWord.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <condition_variable>
#include <mutex>

using namespace kalix;
using namespace kalix::ui;

namespace {

QString T(const char* s) { return FromCp1252(s); }

void UseTestRules() {
  RuleSet& r = TheShell().Ctx.Rules;
  r.SeparatorClass[' '] = kWordSeparator;
  r.SeparatorClass[','] = kWordSeparator;
  r.SeparatorClass['.'] = kSentenceSeparator;
  r.SeparatorClass['\n'] = kParagraphSeparator;
  r.SeparatorClass['\''] = kSymbol;
  r.FilterDefs = {"01Noms=^A", "02Fins=S$", "03Rien"};
  RefillFilterCheckLists();
}

// Field by field: the window's result against the core's.
bool SameTargets(const cTargetList& a, const cTargetList& b, QString* why) {
  if (a.size() != b.size()) return *why = QString("counts %1 %2").arg(a.size()).arg(b.size()), false;
  for (size_t i = 0; i < a.size(); ++i) {
    const Target& x = a[i];
    const Target& y = b[i];
    if (x.Text != y.Text || x.Length != y.Length || x.StringIndex != y.StringIndex || !(x.DocumentRef == y.DocumentRef) ||
        x.Starts.size() != y.Starts.size()) {
      return *why = QString("target %1: %2 / %3").arg(i).arg(x.Text.c_str(), y.Text.c_str()), false;
    }
    for (size_t k = 0; k < x.Starts.size(); ++k) {
      const Occurrence& o = x.Starts[k];
      const Occurrence& p = y.Starts[k];
      if (o.StartView != p.StartView || o.ViewLength != p.ViewLength || o.ContextStartView != p.ContextStartView ||
          o.ContextViewLength != p.ContextViewLength || o.ContextStartOffset != p.ContextStartOffset ||
          o.ContextOffsetLength != p.ContextOffsetLength || o.Page != p.Page || o.Folio != p.Folio ||
          o.Verso != p.Verso || o.ParagraphStart != p.ParagraphStart || o.SentenceStart != p.SentenceStart ||
          o.WordStart != p.WordStart || o.ParagraphEnd != p.ParagraphEnd || o.SentenceEnd != p.SentenceEnd ||
          o.WordEnd != p.WordEnd) {
        return *why = QString("occurrence %1 of %2").arg(k).arg(x.Text.c_str()), false;
      }
    }
  }
  return true;
}

bool SameSettings(const SearchSettings& a, const SearchSettings& b) {
  return a.FromWordList == b.FromWordList && a.Spelling == b.Spelling && a.FoldCase == b.FoldCase &&
         a.Substitute == b.Substitute && a.Generate == b.Generate && a.SkipSymbols == b.SkipSymbols &&
         a.IgnoreSeparators == b.IgnoreSeparators && a.Context == b.Context && a.AllStrings == b.AllStrings &&
         a.InOrder == b.InOrder && a.ResultAsSpelling == b.ResultAsSpelling && a.ResultSpelling == b.ResultSpelling &&
         a.ShowSymbols == b.ShowSymbols && a.UseCorpus == b.UseCorpus && a.Level == b.Level &&
         a.FilterNames == b.FilterNames;
}

// Types a string into the dialog and adds it.
void AddString(TfrmFind& f, const char* text) {
  f.edWord->setText(T(text));
  QVERIFY(f.btnAdd->isEnabled());
  f.btnAdd->click();
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  std::string File(const char* name, const std::string& bytes) {
    std::string p = (dir_.path() + "/" + name).toStdString();
    WriteBinaryFile(p, bytes);
    return p;
  }

  TfrmMain* Window() {
    auto* w = new TfrmMain();
    UseTestRules();
    return w;
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    TfrmMain::BeforeBackgroundWork = nullptr;
  }
  void cleanup() {
    for (TfrmMain* w : QList<TfrmMain*>(TheShell().MainWindowList)) delete w;
    // The process's dialogs go with the shell (the caption dump looks them
    // up by name).
    delete TheShell().Find.data();
    delete TheShell().Word.data();
    SetDialogs(nullptr);
  }

  // The dialog's rules for its strings: typed and confirmed without "Ajouter",
  // Position and Exclure with one string and with several, the buttons.
  void findDialogStrings() {
    TfrmMain* w = Window();
    TfrmFind& f = TheFindDialog();
    TfrmFind::Attachment a;
    a.Strings = &w->Session().Strings;
    a.Filters = &w->Session().Filters;
    f.Attach(a);
    QVERIFY(!f.OKBtn->isEnabled());
    QVERIFY(!f.btnAdd->isEnabled());
    QCOMPARE(f.windowTitle(), QString("Recherche"));

    // One typed string mirrors the edit; Position and Exclure act on it
    // without any item index.
    pnlContextSet(f, 2);
    f.edWord->setText("  ch");
    f.pnlPlace->Item(1)->click();
    f.edWord->setText("  chat \t");
    f.chkExclude->click();
    QCOMPARE(w->Session().Strings.size(), size_t{1});
    QCOMPARE(w->Session().Strings[0].Text, std::string("chat"));
    QCOMPARE(w->Session().Strings[0].Position, int16_t{1});
    QCOMPARE(w->Session().Strings[0].Exclude, int16_t{1});
    QVERIFY(f.OKBtn->isEnabled());
    QVERIFY(f.btnAdd->isEnabled());
    QVERIFY(f.btnAdd->isDefault());
    QVERIFY(!f.btnRepl->isEnabled());
    f.edWord->setText("");
    QVERIFY(w->Session().Strings.empty());
    QVERIFY(!f.OKBtn->isEnabled());

    // Several strings: they act on the item index only.
    f.btnErase->click();
    AddString(f, "chat");
    QCOMPARE(w->Session().Strings.size(), size_t{1});
    QVERIFY(f.OKBtn->isDefault());
    AddString(f, "chien");
    QCOMPARE(w->Session().Strings.size(), size_t{2});
    QCOMPARE(f.lstWord->currentRow(), 1);
    f.edWord->setText("chat");
    QVERIFY(!f.btnAdd->isEnabled());  // already listed
    QVERIFY(!f.btnRepl->isEnabled());
    f.lstWord->setCurrentRow(-1);
    f.pnlPlace->Item(4)->click();
    QCOMPARE(w->Session().Strings[0].Position, int16_t{0});
    QCOMPARE(w->Session().Strings[1].Position, int16_t{0});
    f.lstWord->setCurrentRow(0);
    f.pnlPlace->Item(2)->click();
    QCOMPARE(w->Session().Strings[0].Position, int16_t{2});
    f.lstWord->setCurrentRow(1);
    QCOMPARE(f.pnlPlace->ItemIndex(), 0);  // the list shows each string's own
    f.lstWord->setCurrentRow(0);
    QCOMPARE(f.pnlPlace->ItemIndex(), 2);
    // Replace keeps position and exclusion.
    f.edWord->setText("chats");
    QVERIFY(f.btnRepl->isEnabled());
    f.btnRepl->click();
    QCOMPARE(w->Session().Strings[0].Text, std::string("chats"));
    QCOMPARE(w->Session().Strings[0].Key, std::string("chats"));
    QCOMPARE(w->Session().Strings[0].Position, int16_t{2});
    QCOMPARE(f.lstWord->item(0)->text(), QString("chats"));
    // Delete the selected items with their records.
    f.lstWord->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    f.btnDel->click();
    QCOMPARE(f.lstWord->count(), 1);
    QCOMPARE(w->Session().Strings.size(), size_t{1});
    QCOMPARE(w->Session().Strings[0].Text, std::string("chien"));
    // The last item deleted while the edit holds a text: that text is the
    // search string again (OK stays meaningful).
    f.lstWord->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    f.btnDel->click();
    QCOMPARE(f.lstWord->count(), 0);
    QCOMPARE(w->Session().Strings.size(), size_t{1});
    QCOMPARE(w->Session().Strings[0].Text, std::string("chats"));
    QVERIFY(f.OKBtn->isEnabled());

    // Thesaurus: the window's entries, trimmed, replace the strings.
    w->ThesaurusList.Open = true;
    w->ThesaurusList.Entries = {" roi ", "reine", "  "};
    a.ThesaurusWords = &w->ThesaurusList.Entries;
    a.ThesaurusOpen = true;
    f.Attach(a);
    QVERIFY(f.btnThesaurus->isEnabled());
    f.btnThesaurus->click();
    QCOMPARE(f.lstWord->count(), 2);
    QCOMPARE(w->Session().Strings.size(), size_t{2});
    QCOMPARE(w->Session().Strings[0].Text, std::string("roi"));
    QCOMPARE(f.edWord->text(), QString());
    f.OKBtn->click();
    QCOMPARE(w->Session().Strings[1].Index, 1);
    QCOMPARE(f.result(), int(QDialog::Accepted));

    // Another window's strings are never shown: the list is rebuilt.
    auto* other = Window();
    TfrmFind::Attachment b;
    b.Strings = &other->Session().Strings;
    b.Filters = &other->Session().Filters;
    f.Attach(b);
    QCOMPARE(f.lstWord->count(), 0);
    QCOMPARE(f.edWord->text(), QString());
    QVERIFY(!f.OKBtn->isEnabled());
    f.Attach(a);
    QCOMPARE(f.lstWord->count(), 2);
    QCOMPARE(f.lstWord->item(1)->text(), QString("reine"));
  }

  // The options: contexts enabling the three boxes, the level, the result
  // spelling, the filters.
  void findDialogOptions() {
    Window();
    TfrmFind& f = TheFindDialog();
    struct Case {
      int context;
      bool enabled;
    };
    for (Case c : {Case{1, true}, Case{0, false}, Case{2, true}, Case{3, true}, Case{0, false}}) {
      pnlContextSet(f, c.context);
      QCOMPARE(f.chkExclude->isEnabled(), c.enabled);
      QCOMPARE(f.chkAll->isEnabled(), c.enabled);
      QCOMPARE(f.chkOrder->isEnabled(), c.enabled);
    }
    pnlContextSet(f, 2);
    f.chkOrder->click();
    SearchSettings s = f.ChosenSettings();
    QCOMPARE(s.Context, int16_t{2});
    QVERIFY(s.AllStrings);
    QVERIFY(s.InOrder);
    pnlContextSet(f, 0);
    s = f.ChosenSettings();
    QVERIFY(!s.AllStrings);
    QVERIFY(!s.InOrder);

    // Level: only with "Générée", bounded by the window's MaxLevel.
    TfrmFind::Attachment a;
    a.MaxLevel = 3;
    f.Attach(a);
    QVERIFY(!f.udMorva->isEnabled());
    f.pnlOrtho->Item(3)->click();
    QVERIFY(f.udMorva->isEnabled() && f.txtMorva->isEnabled() && f.lblMorva->isEnabled());
    f.udMorva->setValue(5);
    QCOMPARE(f.udMorva->value(), 3);
    QCOMPARE(f.txtMorva->text(), QString("3"));

    // "Comme l'orthographe" with "Générée" gives 2, with "Identique" 0;
    // symbols never with 2.
    struct Result {
      int ortho;
      bool asOrtho;
      int result;
      int16_t spelling;
      bool symbols;
    };
    for (Result r : {Result{3, true, 1, 2, false}, Result{0, true, 1, 0, true}, Result{1, true, 2, 1, true},
                     Result{3, false, 0, 0, true}, Result{0, false, 2, 2, false}}) {
      f.pnlOrtho->Item(r.ortho)->click();
      if (f.chkAsOrtho->isChecked() != r.asOrtho) f.chkAsOrtho->click();
      QCOMPARE(f.pnlResult->isEnabled(), !r.asOrtho);
      if (!r.asOrtho) f.pnlResult->Item(r.result)->click();
      s = f.ChosenSettings();
      QCOMPARE(s.ResultSpelling, r.spelling);
      QCOMPARE(s.ShowSymbols, r.symbols);
      QCOMPARE(s.Level, 3);
    }
    f.pnlResult->Item(2)->click();
    QVERIFY(!f.chkSymbol->isEnabled());
    f.pnlResult->Item(0)->click();
    QVERIFY(f.chkSymbol->isEnabled());

    // Two checked filters.
    QCOMPARE(f.lstFilter->count(), 3);
    QCOMPARE(f.lstFilter->item(0)->text(), QString("01Noms"));
    cFilterList filters;
    a.Filters = &filters;
    f.Attach(a);
    f.edWord->setText("x");
    f.lstFilter->item(0)->setCheckState(Qt::Checked);
    f.lstFilter->item(1)->setCheckState(Qt::Checked);
    f.OKBtn->click();
    QCOMPARE(f.FilterNames(), std::string("01Noms, 02Fins"));
    QCOMPARE(f.ChosenSettings().FilterNames, std::string("01Noms, 02Fins"));
    QCOMPARE(filters.size(), size_t{2});
    QCOMPARE(filters[0].Text, std::string("A"));
    QCOMPARE(filters[0].Anchor, int(kAnchorStart));
    QCOMPARE(filters[1].Text, std::string("S"));
    QCOMPARE(filters[1].Anchor, int(kAnchorEnd));
    f.lstFilter->item(0)->setCheckState(Qt::Unchecked);
    f.lstFilter->item(1)->setCheckState(Qt::Unchecked);
  }

  // A search through the dialog gives the core's targets and status line,
  // the grid shows them, the visible occurrences are red; Cancel in the
  // dialog changes nothing; the generated variants' review can cancel.
  void searchFromWindow() {
    TfrmMain* w = Window();
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "Le chat, les chats et la chatte. Un chien.\n";
    const std::string path = File("doc.txt", text);
    QVERIFY(w->OpenDocument(path, true, true));
    w->resize(900, 600);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->btnFind->isEnabled() && w->mnuFind->isEnabled() && w->btnWord->isEnabled());

    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      if (!f) return int(QDialog::Rejected);
      f->btnErase->click();
      f->edWord->setText("chat");
      f->pnlPlace->Item(1)->click();
      f->pnlOrtho->Item(1)->click();
      f->OKBtn->click();
      return f->result();
    };
    w->mnuFind->trigger();
    w->WaitForRun();
    QCOMPARE(dialogs_.executed.size(), size_t{1});

    SearchRequest request;
    SearchString s("chat");
    s.Position = 1;
    request.Strings.push_back(s);
    request.Settings = w->Session().Settings;
    request.WindowDocument = &w->Session().Doc;
    SearchResult expected = kalix::RunSearch(TheShell().Ctx, request);
    QCOMPARE(w->StatusLine()->Label()->text(), FromCp1252(expected.Status));
    QCOMPARE(w->StatusLine()->Label()->text(), QString("\"CHAT\"  Mots : 3  Occurrences : 9000"));
    QString why;
    QVERIFY2(SameTargets(w->Session().Targets, expected.Targets, &why), qPrintable(why));
    QCOMPARE(w->TargetModel->rowCount(), 3);
    QCOMPARE(w->TargetModel->data(w->TargetModel->index(0, 1), Qt::DisplayRole).toString(), QString("CHAT"));
    QCOMPARE(w->TargetModel->data(w->TargetModel->index(0, 0), Qt::DisplayRole).toString(), QString("3000"));
    QCOMPARE(static_cast<int>(w->Session().Order), 2);
    QCOMPARE(w->Session().CurrentTarget, -1);
    QVERIFY(w->btnSaveTarget->isEnabled());
    QVERIFY(w->mnuSortNum->isEnabled());
    QCOMPARE(w->Session().Strings[0].Key, std::string("CHAT"));

    // Red highlights on the visible part only, at the occurrences.
    QCOMPARE(w->DocumentPane()->Highlights().size(), size_t{9000});
    QList<QTextEdit::ExtraSelection> shown = w->DocumentPane()->TextView()->extraSelections();
    QVERIFY(!shown.isEmpty());
    QVERIFY(shown.size() < 1000);
    QCOMPARE(shown[0].cursor.selectionStart(), 3);
    QCOMPARE(shown[0].cursor.selectedText(), QString("chat"));
    QCOMPARE(shown[1].cursor.selectedText(), QString("chat"));  // in "chats"
    QCOMPARE(shown[0].format.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(w->DocumentPane()->TextView()->textCursor().position(), 0);
    // Scrolling to the end colours the occurrences there.
    w->DocumentPane()->TextView()->verticalScrollBar()->setValue(w->DocumentPane()->TextView()->verticalScrollBar()->maximum());
    shown = w->DocumentPane()->TextView()->extraSelections();
    QVERIFY(!shown.isEmpty());
    QVERIFY(shown.last().cursor.selectionStart() > static_cast<int>(text.size()) - 2000);
    QCOMPARE(shown.last().cursor.selectedText(), QString("chat"));

    // Cancel in the dialog: nothing changes.
    const SearchSettings before = w->Session().Settings;
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->pnlOrtho->Item(0)->click();
      return int(QDialog::Rejected);
    };
    w->btnFind->click();
    w->WaitForRun();
    QVERIFY(SameSettings(w->Session().Settings, before));
    QCOMPARE(w->Session().Targets.size(), size_t{3});
    QCOMPARE(w->StatusLine()->Label()->text(), QString("\"CHAT\"  Mots : 3  Occurrences : 9000"));

    // "Générée" through the generated-variants dialog confirmed unchanged:
    // the core's result.
    TheShell().Ctx.Morva.MaxLevel = 1;
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      if (!f) return int(QDialog::Accepted);  // the variants' review
      f->pnlOrtho->Item(3)->click();
      f->OKBtn->click();
      return f->result();
    };
    w->btnFind->click();
    w->WaitForRun();
    {
      SearchRequest generated;
      generated.Strings.push_back(s);
      generated.Settings = w->Session().Settings;
      generated.WindowDocument = &w->Session().Doc;
      SearchResult g = kalix::RunSearch(TheShell().Ctx, generated);
      QCOMPARE(w->StatusLine()->Label()->text(), FromCp1252(g.Status));
      QVERIFY2(SameTargets(w->Session().Targets, g.Targets, &why), qPrintable(why));
      QCOMPARE(w->Session().Settings.Spelling, int16_t{3});
    }

    // "Générée": the review sees the variants; cancelling it keeps the old
    // result and status line, but the settings hold the new options.
    TheShell().Ctx.Morva.MaxLevel = 1;
    size_t reviewed = 0;
    TfrmMain::ReviewVariants = [&](cArrowList& strings, const std::vector<std::string>&) {
      reviewed = strings.size();
      std::erase_if(strings, [](const SearchString& x) { return x.HasSource(); });
      return false;
    };
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->pnlOrtho->Item(3)->click();
      f->OKBtn->click();
      return f->result();
    };
    w->btnFind->click();
    w->WaitForRun();
    QVERIFY(reviewed >= 1);
    QCOMPARE(w->Session().Settings.Spelling, int16_t{3});
    QCOMPARE(w->Session().Settings.ResultSpelling, int16_t{2});
    QCOMPARE(w->Session().Targets.size(), size_t{3});
    QCOMPARE(w->StatusLine()->Label()->text(), QString("\"CHAT\"  Mots : 3  Occurrences : 9000"));
    QCOMPARE(w->Session().Strings.size(), size_t{1});
    // Accepted: the search runs on the reviewed list.
    TfrmMain::ReviewVariants = [](cArrowList& strings, const std::vector<std::string>&) {
      SortStringsByKey(strings);
      return true;
    };
    w->btnFind->click();
    w->WaitForRun();
    QCOMPARE(w->StatusLine()->Label()->text(), QString("\"CHAT\"  Mots : 3  Occurrences : 9000"));
    QCOMPARE(w->Session().Targets[0].Text, std::string("CHAT"));
  }

  // Cancel during a long search: the targets, status line and settings stay
  // exactly as they were, no second search starts meanwhile, and the
  // window goes on.
  void cancelDuringSearch() {
    TfrmMain* w = Window();
    const std::string path = File("doc.txt", "Le chat dort. Le chien aussi.\n");
    QVERIFY(w->OpenDocument(path, true, true));
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->btnErase->click();
      f->edWord->setText("chat");
      f->OKBtn->click();
      return f->result();
    };
    w->RunSearch();
    w->WaitForRun();
    const QString status = w->StatusLine()->Label()->text();
    QCOMPARE(status, QString("\"CHAT\"  Mots : 1  Occurrences : 1"));
    const SearchSettings settings = w->Session().Settings;
    const cTargetList targets = w->Session().Targets;

    // The next search waits on the worker thread until released.
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    TfrmMain::BeforeBackgroundWork = [&] {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return release; });
    };
    w->ProgressDelayMs = 0;
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->btnErase->click();
      f->edWord->setText("chien");
      f->pnlContext->Item(2)->click();
      f->OKBtn->click();
      return f->result();
    };
    size_t execsDuring = 0;
    bool progressSeen = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() != "frmProgress" || !top->isVisible()) continue;
        progressSeen = true;
        execsDuring = dialogs_.executed.size();
        w->RunSearch();  // refused while one runs
        w->RunWordList();
        QCOMPARE(dialogs_.executed.size(), execsDuring);
        auto* cancel = top->findChild<QPushButton*>("CancelBtn");
        poll.stop();
        cancel->click();
        return;
      }
    });
    poll.start();
    w->RunSearch();
    w->WaitForRun();
    QVERIFY(progressSeen);
    QCOMPARE(w->StatusLine()->Label()->text(), status);
    QVERIFY(SameSettings(w->Session().Settings, settings));
    QString why;
    QVERIFY2(SameTargets(w->Session().Targets, targets, &why), qPrintable(why));
    QCOMPARE(w->DocumentPane()->Highlights().size(), size_t{1});
    QVERIFY(!w->SearchRunning);
    {
      std::lock_guard<std::mutex> lock(m);
      release = true;
    }
    cv.notify_all();
    TfrmMain::BeforeBackgroundWork = nullptr;
    // The window searches again.
    w->ProgressDelayMs = 300;
    w->RunSearch();
    w->WaitForRun();
    QCOMPARE(w->StatusLine()->Label()->text(), QString("\"CHIEN\" (Contx : Phrase, tout)  Mots : 1  Occurrences : 1"));
  }

  // A long document: the progress bar follows the bytes scanned, and Cancel
  // stops the scan itself, which ends before reaching the text's end.
  void cancelInsideOneDocument() {
    TfrmMain* w = Window();
    std::string text;
    while (text.size() < (size_t{12} << 20)) text += "Le chat dort. Le chien veille.\n";
    const std::string path = File("long.txt", text);
    QVERIFY(w->OpenDocument(path, true, true));
    w->ProgressDelayMs = 0;
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->btnErase->click();
      f->edWord->setText("chien");
      f->OKBtn->click();
      return f->result();
    };
    int maximum = -1;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() != "frmProgress" || !top->isVisible()) continue;
        maximum = top->findChild<QProgressBar*>()->maximum();
        poll.stop();
        top->findChild<QPushButton*>("CancelBtn")->click();
        return;
      }
    });
    poll.start();
    w->RunSearch();
    w->WaitForRun();
    QCOMPARE(maximum, 1000);
    QCOMPARE(w->StatusLine()->Label()->text(), QString());
    QCOMPARE(w->AbandonedRuns.size(), size_t{1});
    const std::shared_ptr<BackgroundRun> run = w->AbandonedRuns.front();
    QTRY_VERIFY_WITH_TIMEOUT(run->Done(), 60000);
    QVERIFY(run->scanned.load() < run->scanTotal);
    QCOMPARE(run->scanTotal, uint64_t{w->Session().Doc.text.size()});
    // The window searches again, to the end.
    w->ProgressDelayMs = 300;
    w->RunSearch();
    w->WaitForRun();
    QVERIFY(w->StatusLine()->Label()->text().startsWith("\"CHIEN\"  Mots : 1  Occurrences : "));
  }

  // A search returns to the event loop at once; it ends, and its result
  // shows, while another window's modal dialog runs its own loop.
  void resultShowsUnderAnotherWindowsDialog() {
    TfrmMain* w = Window();
    QVERIFY(w->OpenDocument(File("doc.txt", "Le chat dort. Le chien aussi.\n"), true, true));
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    TfrmMain::BeforeBackgroundWork = [&] {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return release; });
    };
    dialogs_.onExec = [](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      f->btnErase->click();
      f->edWord->setText("chat");
      f->OKBtn->click();
      return f->result();
    };
    w->RunSearch();
    QVERIFY(w->SearchRunning);
    QDialog other;  // another window's dialog
    other.setModal(true);
    bool shownUnderDialog = false;
    QTimer::singleShot(0, &other, [&] {
      {
        std::lock_guard<std::mutex> lock(m);
        release = true;
      }
      cv.notify_all();
    });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &other, [&] {
      if (w->StatusLine()->Label()->text() != QString("\"CHAT\"  Mots : 1  Occurrences : 1")) return;
      shownUnderDialog = !w->SearchRunning;
      other.reject();
    });
    poll.start(5);
    QTimer::singleShot(30000, &other, &QDialog::reject);
    other.exec();
    TfrmMain::BeforeBackgroundWork = nullptr;
    QVERIFY(shownUnderDialog);
  }

  // A corpus search and a corpus word list from a window without a document:
  // each document that cannot be opened gives its message and the run goes
  // on; the targets are the core's.
  void corpusAndWordList() {
    TfrmMain* w = Window();
    const std::string a = File("a.txt", "Le roi dort. L'ami du roi.\n");
    const std::string b = File("b.txt", "Un roi, deux rois.\n");
    const std::string missing = (dir_.path() + "/absent.txt").toStdString();
    Corpus& corpus = TheShell().Ctx.Corpus;
    corpus.Open = true;
    corpus.Entries = {a, missing, b};
    bool boxes = true;
    dialogs_.onExec = [&boxes](QDialog* d) {
      auto* f = qobject_cast<TfrmFind*>(d);
      if (!f) return int(QDialog::Rejected);
      boxes = boxes && f->chkCorpus->isChecked() && f->chkCorpus->isEnabled();
      f->btnErase->click();
      f->edWord->setText("roi");
      f->pnlOrtho->Item(1)->click();
      f->OKBtn->click();
      return f->result();
    };
    w->RunSearch();
    w->WaitForRun();
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QCOMPARE(dialogs_.messages[0].text, T("Fichier non trouv\xe9 :\n") + QString::fromStdString(missing));
    QVERIFY(w->Session().Settings.UseCorpus);
    SearchRequest request;
    request.Strings.emplace_back("roi");
    request.Settings = w->Session().Settings;
    request.Corpus = corpus.Entries;
    SearchResult expected = kalix::RunSearch(TheShell().Ctx, request);
    QCOMPARE(w->StatusLine()->Label()->text(), FromCp1252(expected.Status));
    QString why;
    QVERIFY2(SameTargets(w->Session().Targets, expected.Targets, &why), qPrintable(why));
    QCOMPARE(w->Session().Targets.size(), size_t{3});  // ROI in a, ROI in b, ROIS in b
    QVERIFY(w->DocumentPane()->Highlights().empty());         // no document shown

    // The word list, with symbols shown, over the corpus.
    dialogs_.onExec = [&boxes](QDialog* d) {
      auto* wd = qobject_cast<TfrmWord*>(d);
      if (!wd) return int(QDialog::Rejected);
      boxes = boxes && wd->chkCorpus->isChecked();
      wd->pnlResult->Item(0)->click();
      boxes = boxes && wd->chkResSep->isEnabled();
      wd->chkResSep->setChecked(true);
      wd->OKBtn->click();
      return wd->result();
    };
    w->mnuWord->trigger();
    w->WaitForRun();
    QVERIFY(boxes);
    QCOMPARE(dialogs_.messages.size(), size_t{2});
    QVERIFY(w->Session().Settings.FromWordList);
    QCOMPARE(w->Session().Settings.ResultSpelling, int16_t{0});
    QVERIFY(w->Session().Settings.ShowSymbols);
    QCOMPARE(w->Session().Settings.Spelling, int16_t{1});  // kept from the search
    cTargetList words = kalix::RunWordList(TheShell().Ctx, w->Session().Settings, w->Session().Filters, Document(), corpus.Entries);
    const std::string status = kalix::ShowWordListResult(TheShell().Ctx.Language, words);
    QCOMPARE(w->StatusLine()->Label()->text(), FromCp1252(status));
    QVERIFY2(SameTargets(w->Session().Targets, words, &why), qPrintable(why));
    bool lami = false;
    for (const Target& t : w->Session().Targets) lami |= t.Text == "L'ami";
    QVERIFY(lami);
    QVERIFY(w->DocumentPane()->TextView()->extraSelections().isEmpty());
  }

  // The dialogs name every control for screen readers, and the window's
  // tool buttons too.
  void accessibleNames() {
    TfrmMain* w = Window();
    TfrmFind& f = TheFindDialog();
    TfrmWord& wd = TheWordDialog();
    f.show();
    wd.show();
    QCOMPARE(f.edWord->accessibleName(), T("Cha\xeenes"));
    QCOMPARE(f.lstWord->accessibleName(), T("Cha\xeenes"));
    QCOMPARE(f.lstFilter->accessibleName(), QString("Filtres"));
    QCOMPARE(f.udMorva->accessibleName(), T("niveau g\xe9n\xe9ration"));
    QCOMPARE(f.btnAdd->accessibleName(), QString("Ajouter"));
    QCOMPARE(f.pnlPlace->Item(1)->accessibleName(), T("D\xe9" "but de mot"));
    for (QWidget* root : {static_cast<QWidget*>(&f), static_cast<QWidget*>(&wd), static_cast<QWidget*>(w)}) {
      for (QWidget* c : root->findChildren<QWidget*>()) {
        if (c->objectName().isEmpty() || c->objectName().startsWith("qt_")) continue;
        if (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
            qobject_cast<QAbstractItemView*>(c) || qobject_cast<QSpinBox*>(c)) {
          if (c == static_cast<QWidget*>(w->TargetPane()->Grid())) continue;
          QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
        }
      }
    }
    QCOMPARE(w->btnFind->accessibleName(), QString("Recherche"));
    f.hide();
    wd.hide();
  }

  // Each showing relabels the dialogs from the language file; the caption
  // dump holds them; "&Règles" refills their filter check-lists.
  void languageDumpAndRules() {
    TfrmMain* w = Window();
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    const std::string lng = File("anglais.lng",
                                 "Kalix:eng:English\n"
                                 "frmFind:btnAdd:\"&Add\":\"\"\n"
                                 "frmFind:GroupBox2:\"Strings\":\"\"\n"
                                 "frmFind:pnlContext:\"Context\":\"\":\"Text\\r\\nWord\\r\\n\"\n"
                                 "frmWord:chkCorpus:\"Use the corpus\":\"\"\n"
                                 "\"Noms\"=\"Names\"\n");
    dialogs_.files.push_back(QString::fromStdString(lng));
    w->mnuLangue->trigger();
    TfrmFind& f = TheFindDialog();
    TfrmWord& wd = TheWordDialog();
    f.show();
    wd.show();
    QCOMPARE(f.btnAdd->text(), QString("&Add"));
    QCOMPARE(f.btnAdd->accessibleName(), QString("Add"));
    QCOMPARE(f.edWord->accessibleName(), QString("Strings"));
    QCOMPARE(f.pnlContext->Item(1)->text(), QString("Word"));
    QVERIFY(!f.pnlContext->Item(2)->isVisible());
    QCOMPARE(wd.chkCorpus->text(), QString("Use the corpus"));

    w->pnlTopClick();
    auto dump = ReadBinaryFile("label.txt");
    QVERIFY(dump.has_value());
    QVERIFY(dump->find("frmFind:edWord:\"\":\"\"") != std::string::npos);
    QVERIFY(dump->find("frmFind:pnlOrtho:\"Orthographe\":\"\":\"Identique\\r\\nMajuscule\\r\\nModifi\xe9" "e\\r\\nG\xe9n\xe9r\xe9" "e\\r\\n\"") != std::string::npos);
    QVERIFY(dump->find("frmWord:chkResSep:\"Affiche les symboles\":\"\"") != std::string::npos);
    f.hide();
    wd.hide();

    // A new rules file: both check-lists show its filters (translated).
    const std::string rul = File("autre.rul", "[Filters]\n05Noms=^N\n");
    dialogs_.files.push_back(QString::fromStdString(rul));
    w->mnuRules->trigger();
    QCOMPARE(f.lstFilter->count(), 1);
    QCOMPARE(f.lstFilter->item(0)->text(), QString("05Names"));
    QCOMPARE(wd.lstFilter->count(), 1);
    QCOMPARE(wd.lstFilter->item(0)->checkState(), Qt::Unchecked);
    QDir::setCurrent(oldCurrent);
  }

 private:
  static void pnlContextSet(TfrmFind& f, int item) { f.pnlContext->Item(item)->click(); }
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
