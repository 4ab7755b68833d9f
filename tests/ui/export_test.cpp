// "Exporter..." of a main window: in the "Ci&bles" menu after "&Enregister"
// and in the grid's context menu, enabled with targets; the result written in
// the format of the chosen name's extension, the same bytes as the core's
// table; a path that cannot be written; the concordance pane's rows in the
// order shown; a word list's forms.

#include "FakeDialogs.h"
#include "app/RunSearch.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "rules/RuleSet.h"
#include "targets/ExportRows.h"
#include "ui/Concordance.h"
#include "ui/ExportCommand.h"
#include "ui/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace kalix;
using namespace kalix::ui;

class ExportCommandTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

  void Fill(TfrmMain* w, const std::vector<std::string>& strings) {
    SearchRequest r;
    for (const std::string& s : strings) r.Strings.emplace_back(s);
    r.Settings.SetSpelling(1);
    r.Settings.SetResult(false, 1, false);
    r.WindowDocument = &w->Session().Doc;
    SearchResult result = RunSearch(TheShell().Ctx, r);
    w->ResetTargetView(true);
    w->Session().Targets = std::move(result.Targets);
    w->Session().Settings = result.Settings;
    w->Session().Strings = result.Strings;
    w->RefillGrid(static_cast<int32_t>(w->Session().Targets.size()));
  }

  // The table as the core writes it to a stream.
  static std::string CoreBytes(ExportTable table, ExportFormat format) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    WriteTable(out, format, table);
    std::fclose(out);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
  }

  static QAction* Named(QMenu* menu, const char* name) {
    for (QAction* a : menu->actions()) {
      if (a->objectName() == name) return a;
    }
    return nullptr;
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

  void exportsTheResult() {
    auto* w = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w->show();
    QAction* item = Named(w->Cibles1, "mnuExport");
    QAction* gridItem = Named(w->popGrid, "mnuGrdExport");
    QVERIFY(item && gridItem);
    QCOMPARE(item->text(), QString("Exporter..."));
    const QList<QAction*> actions = w->Cibles1->actions();
    QCOMPARE(actions.indexOf(item), actions.indexOf(w->mnuSaveTarget) + 1);
    emit w->Cibles1->aboutToShow();
    QVERIFY(!item->isEnabled());

    QVERIFY(WriteTextFile(Path("a.txt"), "\xb1" "1 Un roi sans chat.\n=Le roi, \"et\" la reine.\n\xb1" "2 Le chat.\n"));
    dialogs_.files.push_back(QString::fromStdString(Path("a.txt")));
    w->mnuOpenClick();
    Fill(w, {"roi", "chat"});
    QCOMPARE(w->Session().Targets.size(), size_t{2});
    QVERIFY(item->isEnabled());  // as soon as the grid is filled
    QVERIFY(gridItem->isEnabled());

    // Each extension its format, the bytes the core writes for the result.
    const ExportSource source{w->Session().Settings, w->Session().Strings, w->Session().Targets, w->Session().Doc};
    for (const char* name : {"out.csv", "out.tsv", "out.jsonl"}) {
      dialogs_.files.push_back(QString::fromStdString(Path(name)));
      item->trigger();
      const ExportFormat format = ExportFormatOfFile(QString(name));
      QCOMPARE(ReadBinaryFile(Path(name)).value_or(""), CoreBytes(OccurrenceTable(TheShell().Ctx, source, {}), format));
    }
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("CSV (UTF-8)|*.csv|TSV|*.tsv|Excel|*.xlsx|JSON Lines|*.jsonl"));
    QVERIFY(dialogs_.fileRequests.back().extensionFromFilter);
    dialogs_.files.push_back(QString::fromStdString(Path("out.xlsx")));
    gridItem->trigger();
    QVERIFY(ReadBinaryFile(Path("out.xlsx")).value_or("").rfind("PK\x03\x04", 0) == 0);  // a zip
    QVERIFY(dialogs_.messages.empty());
    // Cancelled: nothing written.
    item->trigger();
    QVERIFY(!QFile::exists(dir_.path() + "/out"));

    // A path that cannot be written: the message, no file.
    const QString bad = dir_.path() + "/missing/x.csv";
    dialogs_.files.push_back(bad);
    item->trigger();
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QCOMPARE(dialogs_.messages[0].text, FromCp1252("Impossible d'\xe9" "crire le fichier :") + "\n" + bad);
    QVERIFY(!QFile::exists(bad));

    // The concordance's rows in the order shown: by the words to the right,
    // ", "ET"..." before "SANS", not as in the text.
    w->mnuConcordance->trigger();
    w->SetCurrentGridRow(2);  // ROI
    w->Concordance->View->horizontalHeader()->sectionClicked(ConcordanceModel::kRight);
    dialogs_.files.push_back(QString::fromStdString(Path("conc.tsv")));
    ExportConcordance(*w);
    const std::string conc = ReadBinaryFile(Path("conc.tsv")).value_or("");
    const size_t sans = conc.find("\troi\t\" sans chat.");
    const size_t la = conc.find("\troi\t\", \"\"et\"\" la reine.");
    QVERIFY(sans != std::string::npos && la != std::string::npos && la < sans);

    // A word list: its forms and counts.
    w->Session().Settings.FromWordList = true;
    dialogs_.files.push_back(QString::fromStdString(Path("words.csv")));
    item->trigger();
    QCOMPARE(ReadBinaryFile(Path("words.csv")).value_or(""),
             std::string("\xEF\xBB\xBF" "form,frequency,documents\r\nCHAT,2,1\r\nROI,2,1\r\n"));
  }

  // The program's save dialog: a name typed without an extension takes that
  // of the filter the user chose.
  void saveDialogTakesTheFilterExtension() {
    QtDialogs qt;
    FileDialogOptions o;
    o.filter = "CSV (UTF-8)|*.csv|TSV|*.tsv|Excel|*.xlsx|JSON Lines|*.jsonl";
    o.defaultExtension = "csv";
    o.mustExist = false;
    o.extensionFromFilter = true;
    o.initialFolder = dir_.path();
    bool answered = false;
    QTimer::singleShot(0, [&answered] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      auto* types = d->findChild<QComboBox*>("fileTypeCombo");
      auto* name = d->findChild<QLineEdit*>("fileNameEdit");
      if (!types || !name) return;
      types->setCurrentIndex(2);
      emit types->activated(2);
      name->setText("sheet");
      answered = true;
      QMetaObject::invokeMethod(d, "accept");
    });
    const QString path = qt.SaveFile(nullptr, o);
    QVERIFY(answered);
    QCOMPARE(QFileInfo(path).fileName(), QString("sheet.xlsx"));
  }
};

QTEST_MAIN(ExportCommandTest)
#include "export_test.moc"
