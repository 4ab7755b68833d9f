// The real program, started as a process: the command line, the pending
// document opened by the posted command, the layout written by the last
// window and the end of the program.

#include "platform/IniFile.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kalix;

class StartupTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString program_;

  // Runs a copy of kalix from `dir_/bin` (so its kalix.ini is ours) in
  // `dir_/work`, with the screenshot hook ending it after `delayMs`.
  int Run(const QStringList& arguments, const QString& shot, int delayMs = 600) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KALIX_SCREENSHOT", shot);
    env.insert("KALIX_SCREENSHOT_DELAY", QString::number(delayMs));
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir_.path() + "/work");
    p.start(program_, arguments);
    if (!p.waitForFinished(60000)) {
      p.kill();
      return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  }

 private slots:
  void initTestCase() {
    QString built = QCoreApplication::applicationDirPath() + "/../kalix";
    if (!QFile::exists(built)) QSKIP("the kalix program is not built beside the tests");
    QVERIFY(QDir(dir_.path()).mkpath("bin"));
    QVERIFY(QDir(dir_.path()).mkpath("work"));
    program_ = dir_.path() + "/bin/kalix";
    QVERIFY(QFile::copy(built, program_));
    QFile(program_).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void pendingDocumentAndLayout() {
    std::string ini = (dir_.path() + "/bin/kalix.ini").toStdString();
    QVERIFY(WriteTextFile(ini, "; kept\n[Window]\nState=0\nTop=5\nLeft=6\nHeight=450\nWidth=640\n"
                               "GridSplitter=180\n[Kalix]\nRules=nac.rul\n"));
    std::string doc = (dir_.path() + "/work/texte.txt").toStdString();
    QVERIFY(WriteTextFile(doc, "\xb1un\n\xb1" "deux\n"));
    QString shot = dir_.path() + "/shot.png";
    // -T takes the next token as its value; the second bare token is the
    // pending document.
    QCOMPARE(Run({"-t", "valeur", "autre.rtf", "texte.txt"}, shot), 0);
    QImage image(shot);
    QVERIFY(!image.isNull());
    IniFile back = IniFile::Load(ini);
    QCOMPARE(back.GetInt("Window", "State", -1), 0);
    QCOMPARE(back.GetInt("Window", "Width", -1), 640);
    QCOMPARE(back.GetInt("Window", "Height", -1), 450);
    QCOMPARE(back.GetInt("Window", "GridSplitter", -1), 180);
    QCOMPARE(back.GetString("Kalix", "Rules", ""), std::string("nac.rul"));
    QVERIFY(ReadBinaryFile(ini)->find("; kept\r\n") != std::string::npos);
  }

  void emptyCommandLine() {
    // No document: the window starts empty and the program ends with its
    // last window.
    QString shot = dir_.path() + "/empty.png";
    QCOMPARE(Run({}, shot), 0);
    QVERIFY(QFile::exists(shot));
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
