// A corpus named on the command line: the program starts with it open, its
// menu items in every window as after the corpus menu's open command, and
// the search commands on although no document is shown. The real program
// answers --version and --help without a window.

#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "ui/CommandLineCorpus.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QAction>
#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

class CommandLineCorpusTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

  static void CheckCorpusItems(TfrmMain* w, bool open) {
    QVERIFY(w->mnuCNew->isEnabled());
    QVERIFY(w->mnuCOpen->isEnabled());
    QCOMPARE(w->mnuCEdit->isEnabled(), open);
    QVERIFY(!w->mnuCSave->isEnabled());
    QCOMPARE(w->mnuCSaveAs->isEnabled(), open);
    QCOMPARE(w->mnuCClose->isEnabled(), open);
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
  }
  void cleanup() { SetDialogs(nullptr); }

  void corpusOpensInEveryWindow() {
    std::string corpus = Path("textes.cor");
    QVERIFY(WriteBinaryFile(corpus, "/t/un.rtf\r\n/t/deux.txt\r\n"));
    auto* first = new TfrmMain();
    auto* second = new TfrmMain();
    CheckCorpusItems(first, false);
    QVERIFY(!first->btnFind->isEnabled());

    OpenCorpusFromCommandLine(first, corpus);
    QVERIFY(dialogs_.messages.empty());
    const Corpus& c = TheShell().Ctx.Corpus;
    QVERIFY(c.Open);
    QVERIFY(!c.Modified);
    QCOMPARE(c.FileName, corpus);
    QCOMPARE(c.Entries, (std::vector<std::string>{"/t/un.rtf", "/t/deux.txt"}));
    CheckCorpusItems(first, true);
    CheckCorpusItems(second, true);
    // No document, but a search or a word list can run over the corpus.
    QVERIFY(first->Session().Doc.path.empty());
    for (QWidget* b : std::initializer_list<QWidget*>{first->btnFind, first->btnWord}) QVERIFY(b->isEnabled());
    for (QAction* a : {first->mnuFind, first->mnuWord}) QVERIFY(a->isEnabled());
    // The commands that need a document stay off.
    QVERIFY(!first->DocumentPane()->InfoButton()->isEnabled());
    QVERIFY(!first->mnuGoto->isEnabled());
    // The editor is not shown at start-up.
    QVERIFY(dialogs_.executed.empty());
    delete second;
    delete first;
  }

  void unreadableCorpusIsReported() {
    auto* w = new TfrmMain();
    std::string absent = Path("absent.cor");
    OpenCorpusFromCommandLine(w, absent);
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].text, FromCp1252("Impossible de lire le fichier :\n") + QString::fromStdString(absent));
    QCOMPARE(dialogs_.messages[0].icon, MessageIcon::Exclamation);
    QVERIFY(!TheShell().Ctx.Corpus.Open);
    CheckCorpusItems(w, false);
    QVERIFY(!w->btnFind->isEnabled());
    delete w;
  }

  void informationOptionsOfTheProgram() {
    QString program = QCoreApplication::applicationDirPath() + "/../kalix";
    if (!QFile::exists(program)) QSKIP("the kalix program is not built beside the tests");
    struct Case {
      QStringList args;
      QByteArray outStart;
    };
    const Case cases[] = {
        {{"--version"}, "kalix " KALIX_VERSION_FOR_TESTS "\n"},
        {{"--help"}, "usage: kalix [-L LANGUAGE] [-R RULES]"},
    };
    for (const Case& c : cases) {
      QProcess p;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      // No display at all: the answer needs no window.
      env.insert("QT_QPA_PLATFORM", "xcb");
      env.remove("DISPLAY");
      env.remove("WAYLAND_DISPLAY");
      env.insert("ASAN_OPTIONS", "detect_leaks=0");
      p.setProcessEnvironment(env);
      p.setWorkingDirectory(dir_.path());
      p.start(program, c.args);
      QVERIFY(p.waitForFinished(60000));
      QCOMPARE(p.exitStatus(), QProcess::NormalExit);
      QCOMPARE(p.exitCode(), 0);
      QByteArray out = p.readAllStandardOutput();
      QVERIFY2(out.startsWith(c.outStart), out.constData());
    }
  }
};

QTEST_MAIN(CommandLineCorpusTest)
#include "command_line_corpus_test.moc"
