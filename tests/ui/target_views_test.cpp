// The concordance pane and the dispersion plot of a main window: shown and
// remembered from the "Ci&bles" menu, following the current target, lines
// read from the document (another document's from a scratch model), the
// orders by left and right words, clicks that select occurrences, and the
// plot saved as a picture.
//
// With KALIX_SHOTS set to a folder, screenshots of the window are saved there.

#include "FakeDialogs.h"
#include "app/RunSearch.h"
#include "platform/Cp1252.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "rules/RuleSet.h"
#include "targets/Concordance.h"
#include "targets/Sorting.h"
#include "ui/Concordance.h"
#include "ui/DispersionPlot.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>

using namespace kalix;
using namespace kalix::ui;

class TargetViewsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

  void Fill(TfrmMain* w, const std::vector<std::string>& strings, const std::vector<std::string>& corpus = {}) {
    SearchRequest r;
    for (const std::string& s : strings) {
      SearchString ss;
      ss.Text = s;
      r.Strings.push_back(ss);
    }
    r.Settings.SetSpelling(1);
    r.Settings.Context = 2;
    r.Settings.SetResult(false, 1, false);
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
    w->Session().Order = GridOrder::TextUp;
    w->StatusLine()->Label()->setText(FromCp1252(result.Status));
    w->RefillGrid(static_cast<int32_t>(w->Session().Targets.size()));
  }

  QString Cell(TfrmMain* w, int row, int column) {
    return w->Concordance->Model->index(row, column).data().toString();
  }

  void Shot(QWidget* w, const char* name) {
    const QByteArray folder = qgetenv("KALIX_SHOTS");
    if (folder.isEmpty()) return;
    w->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
  }
  void cleanup() {
    for (TfrmMain* w : QList<TfrmMain*>(TheShell().MainWindowList)) delete w;
    SetDialogs(nullptr);
  }

  void concordanceAndPlot() {
    auto* w = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w->resize(1100, 760);
    w->show();
    // Both hidden: the window as designed.
    QVERIFY(!w->mnuConcordance->isChecked());
    QVERIFY(!w->mnuPlot->isChecked());
    QVERIFY(!w->Concordance->isVisible());
    QVERIFY(!w->Plot->isVisible());
    QVERIFY(w->mnuConcordance->isEnabled());
    QVERIFY(w->Cibles1->actions().contains(w->mnuPlot));

    std::string a = "\xb1" "1 Le roi et la reine. Le chat du roi dort.\nUn roi sans chat.\n";
    for (int page = 2; page <= 6; ++page) {
      a += "\xb1" + std::to_string(page) + " Page " + std::to_string(page) + " : le chat mange, le roi rit.\n";
    }
    QVERIFY(WriteTextFile(Path("a.txt"), a));
    QVERIFY(WriteTextFile(Path("b.txt"), "\xb1" "1 Le roi de b.\n\xb1" "2 Encore un roi ici.\n"));
    dialogs_.files.push_back(QString::fromStdString(Path("a.txt")));
    w->mnuOpenClick();
    const std::string shownText(w->Session().Doc.Text());
    Fill(w, {"roi", "chat"});
    QCOMPARE(w->Session().Targets.size(), size_t{2});  // CHAT, ROI

    // The concordance follows the current target, one line per occurrence.
    w->mnuConcordance->trigger();
    QVERIFY(w->Concordance->isVisible());
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Window", "ResultViews", ""), std::string("1"));
    QCOMPARE(w->Concordance->Model->rowCount(), 0);
    w->SetCurrentGridRow(2);  // ROI
    const Target& roi = w->Session().Targets[1];
    QCOMPARE(w->Concordance->Model->rowCount(), static_cast<int>(roi.Starts.size()));
    QCOMPARE(Cell(w, 0, ConcordanceModel::kMatch), QString("roi"));
    QCOMPARE(Cell(w, 0, ConcordanceModel::kLeft), QString("\u00b1" "1 Le "));
    QVERIFY(Cell(w, 0, ConcordanceModel::kRight).startsWith(" et la reine. Le chat du roi dort. Un roi"));
    QCOMPARE(Cell(w, 0, ConcordanceModel::kReference), QString::fromStdString(OccurrenceReference(roi.Starts[0])));
    QVERIFY(w->Concordance->View->isColumnHidden(ConcordanceModel::kDocument));
    // Stepping moves the concordance's current line.
    w->mnuNext->trigger();
    QCOMPARE(w->Concordance->View->currentIndex().row(), 1);
    // A click on a line selects its occurrence in the document view.
    QTableView* view = w->Concordance->View;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->visualRect(view->model()->index(2, ConcordanceModel::kMatch)).center());
    QCOMPARE(roi.CurrentStart, 2);
    QCOMPARE(w->CaretView(), roi.Starts[2].StartView);
    QCOMPARE(w->SelectionViewLength(), roi.Starts[2].ViewLength);
    // Ordered by the words to the right: "DORT" < "ET" < "RIT" (five) < "SANS".
    view->horizontalHeader()->sectionClicked(ConcordanceModel::kRight);
    QCOMPARE(w->Concordance->Model->Order(), int(kConcordanceByRight));
    QVERIFY(Cell(w, 0, ConcordanceModel::kRight).startsWith(" dort."));
    QVERIFY(Cell(w, 1, ConcordanceModel::kRight).startsWith(" et la reine."));
    QVERIFY(Cell(w, static_cast<int>(roi.Starts.size()) - 1, ConcordanceModel::kRight).startsWith(" sans chat."));
    // The current occurrence is still the current line.
    QCOMPARE(w->Concordance->Model->OccurrenceOfRow(view->currentIndex().row()), 2);
    view->horizontalHeader()->sectionClicked(ConcordanceModel::kLeft);
    QCOMPARE(w->Concordance->Model->Order(), int(kConcordanceByLeft));
    // Read backwards: "EL ," (le, after a comma) < "EL 1" < "NU" < "UD".
    QVERIFY(Cell(w, 0, ConcordanceModel::kLeft).endsWith("mange, le "));
    QVERIFY(Cell(w, static_cast<int>(roi.Starts.size()) - 1, ConcordanceModel::kLeft).endsWith("Le chat du "));
    view->horizontalHeader()->sectionClicked(ConcordanceModel::kLeft);
    QCOMPARE(w->Concordance->Model->Order(), int(kConcordanceInText));

    // The plot: one strip, a tick per occurrence, the pages marked.
    w->mnuPlot->trigger();
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Window", "ResultViews", ""), std::string("3"));
    QApplication::processEvents();
    DispersionCanvas* canvas = w->Plot->Canvas;
    QCOMPARE(canvas->Strips().size(), size_t{1});
    QCOMPARE(canvas->Strips()[0].pages.size(), size_t{6});
    QCOMPARE(canvas->Ticks().size(), roi.Starts.size());
    // A click on a tick selects that occurrence.
    const DispersionCanvas::Tick last = canvas->Ticks().back();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, canvas->TickPoint(last));
    QCOMPARE(w->Session().CurrentTarget, 1);
    QCOMPARE(roi.CurrentStart, last.occurrence);
    QCOMPARE(w->CaretView(), roi.Starts[static_cast<size_t>(last.occurrence)].StartView);
    // All targets.
    w->Plot->chkAll->setChecked(true);
    QCOMPARE(canvas->Ticks().size(), CountOccurrences(w->Session().Targets));
    w->Plot->chkAll->setChecked(false);
    Shot(w, "kalix-views-document.png");

    // The plot as a picture.
    const std::string png = Path("plot.png");
    dialogs_.files.push_back(QString::fromStdString(png));
    w->Plot->btnSavePlot->click();
    QImage picture(QString::fromStdString(png));
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), canvas->size());
    dialogs_.files.push_back(QString::fromStdString(Path("no/such/plot.png")));
    w->Plot->btnSavePlot->click();
    QCOMPARE(dialogs_.messages.size(), size_t{1});

    // After a corpus search: the lines of another document come from a
    // scratch model; the window keeps its own document.
    Fill(w, {"roi"}, {Path("a.txt"), Path("b.txt")});
    QCOMPARE(w->Concordance->Model->rowCount(), 0);  // the list changed: no target
    w->SetCurrentGridRow(2);                          // ROI of b.txt
    QCOMPARE(QString::fromStdString(w->Session().Targets[1].DocumentRef.str()).left(5), QString("b.txt"));
    QCOMPARE(w->Concordance->Model->rowCount(), 2);
    QVERIFY(!view->isColumnHidden(ConcordanceModel::kDocument));
    QCOMPARE(Cell(w, 1, ConcordanceModel::kDocument), QString("b.txt"));
    // b.txt is read on a worker, never by the view's questions: its lines
    // fill in once it has been read.
    QCOMPARE(Cell(w, 1, ConcordanceModel::kLeft), QString());
    QVERIFY(w->Concordance->Model->Loading());
    QTRY_VERIFY(!w->Concordance->Model->Loading());
    QCOMPARE(Cell(w, 1, ConcordanceModel::kLeft), QString("\u00b1" "1 Le roi de b. \u00b1" "2 Encore un "));
    QCOMPARE(Cell(w, 1, ConcordanceModel::kReference), QString("p:2 f:0R"));
    QCOMPARE(w->Session().Doc.path, Path("a.txt"));
    QCOMPARE(std::string(w->Session().Doc.Text()), shownText);
    // The plot draws b.txt's strip with its own pages, once read.
    QTRY_VERIFY(!canvas->Loading());
    QCOMPARE(canvas->Strips().size(), size_t{1});
    QCOMPARE(canvas->Strips()[0].pages.size(), size_t{2});
    QCOMPARE(canvas->Strips()[0].label, QString("b.txt"));
    w->Plot->chkAll->setChecked(true);
    QCOMPARE(canvas->Strips().size(), size_t{2});
    Shot(w, "kalix-views-corpus.png");

    // Another corpus: each document's lines come from that document, whatever
    // the pane read before (b.txt is read again, then c.txt in its place).
    QVERIFY(WriteTextFile(Path("c.txt"), "Ici se trouve un texte plus long que b, et le roi y parle.\n"));
    Fill(w, {"roi"}, {Path("b.txt"), Path("c.txt")});
    w->SetCurrentGridRow(1);
    Cell(w, 0, ConcordanceModel::kMatch);
    QTRY_VERIFY(!w->Concordance->Model->Loading());
    QCOMPARE(Cell(w, 0, ConcordanceModel::kMatch), QString("roi"));
    QCOMPARE(Cell(w, 1, ConcordanceModel::kRight), QString(" ici.  "));
    w->SetCurrentGridRow(2);
    Cell(w, 0, ConcordanceModel::kMatch);
    QTRY_VERIFY(!w->Concordance->Model->Loading());
    QCOMPARE(Cell(w, 0, ConcordanceModel::kDocument), QString("c.txt"));
    QCOMPARE(Cell(w, 0, ConcordanceModel::kMatch), QString("roi"));
    QVERIFY(Cell(w, 0, ConcordanceModel::kLeft).endsWith("que b, et le "));

    // A new window shows the views the settings remember; hiding both
    // leaves the window as designed.
    auto* second = new TfrmMain();
    QVERIFY(second->mnuConcordance->isChecked());
    QVERIFY(second->mnuPlot->isChecked());
    second->mnuConcordance->trigger();
    second->mnuPlot->trigger();
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Window", "ResultViews", ""), std::string("0"));
    second->show();
    QVERIFY(!second->Concordance->isVisible());
    QVERIFY(!second->Plot->isVisible());
    QVERIFY(!second->Concordance->parentWidget()->isVisible());
  }
};

QTEST_MAIN(TargetViewsTest)
#include "target_views_test.moc"
