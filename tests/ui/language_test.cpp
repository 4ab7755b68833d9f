// Language files relabelling the main window, and the caption dump.

#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"
#include "ui/UiLanguage.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

namespace {

// Every caption and hint of a window and its menus.
QStringList Snapshot(TfrmMain* w) {
  QStringList out;
  out << w->windowTitle();
  for (QWidget* c : w->findChildren<QWidget*>()) {
    if (c->objectName().isEmpty() || c->objectName().startsWith("qt_")) continue;
    QString text;
    if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
    out << c->objectName() + "|" + text + "|" + c->toolTip();
  }
  for (QAction* a : w->findChildren<QAction*>()) {
    if (a->objectName().isEmpty()) continue;
    out << a->objectName() + "|" + a->text() + "|" + a->statusTip();
  }
  return out;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  QString oldCurrent_;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    oldCurrent_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
  }
  void cleanup() {
    QDir::setCurrent(oldCurrent_);
    SetDialogs(nullptr);
  }

  void languageMenuRelabelsEveryWindow() {
    auto* a = new TfrmMain();
    auto* b = new TfrmMain();
    std::string lng = Path("anglais.lng");
    QVERIFY(WriteTextFile(lng,
                          "; English\n"
                          "Kalix:eng:English\n"
                          "frmMain:btnFind:\"\":\"Search\"\n"
                          "frmMain:mnuOpen:\"&Open\":\"\"\n"
                          "frmMain:Fichier1:\"&File\":\"File commands\"\n"
                          "frmMain:lblPage:\"Page no.\":\"\"\n"
                          "frmMain:mnuTxtTarget:\"&Target\":\"\"\n"
                          "frmMain:btnHelp:\"\":\"\"\n"
                          "frmInfo:OKBtn:\"Close\":\"\"\n"
                          "\"Texte\"=\"Text\"\n"
                          "\"Fichier non trouv\xe9 :\"=\"File not found:\"\n"));
    dialogs_.files.push_back(QString::fromStdString(lng));
    a->mnuLangueClick();
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Lang file (*.lng)|*.lng"));
    QCOMPARE(dialogs_.fileRequests.back().defaultExtension, QString("lng"));
    QCOMPARE(TheShell().Ctx.Language.LanguageCode, std::string("eng"));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Language", ""), std::string("anglais.lng"));
    for (TfrmMain* w : {a, b}) {
      QCOMPARE(w->btnFind->toolTip(), QString("Search"));
      QCOMPARE(w->btnHelp->toolTip(), QString("Aide"));  // empty fields leave a control alone
      QCOMPARE(w->mnuOpen->text(), QString("&Open"));
      QCOMPARE(w->Fichier1->title(), QString("&File"));
      QCOMPARE(w->Fichier1->menuAction()->statusTip(), QString("File commands"));
      QCOMPARE(w->DocumentPane()->PageLabel()->text(), QString("Page no."));
      QCOMPARE(w->mnuTxtTarget->text(), QString("&Target"));
      QCOMPARE(w->mnuInfo->text(), QString("&Informations"));  // no line: unchanged
    }
    // The grid's headings are translated as they are drawn.
    QCOMPARE(a->TargetPane()->Grid()->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Text"));
    QCOMPARE(a->TargetPane()->Grid()->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("#"));
    // The information window takes the language each time it is shown.
    QVERIFY(WriteTextFile("about_eng.rtf", "{\\rtf1 About\\par}"));
    a->mnuAboutClick();
    QCOMPARE(dialogs_.executed.size(), 1u);
    QCOMPARE(TheShell().Info->OKBtn->text(), QString("Close"));
    // Messages are translated too.
    dialogs_.files.push_back(QString::fromStdString(Path("absent.rtf")));
    a->mnuOpenClick();
    QCOMPARE(dialogs_.messages.back().text, QString("File not found:\n") + QString::fromStdString(Path("absent.rtf")));
    // A window created later takes the language at creation.
    auto* c = new TfrmMain();
    QCOMPARE(c->mnuOpen->text(), QString("&Open"));
    delete c;
    delete b;
    delete a;
    delete TheShell().Info.data();
    // The last window reset the language.
    QCOMPARE(TheShell().Ctx.Language.LanguageCode, std::string("fra"));
  }

  void notALanguageFile() {
    auto* w = new TfrmMain();
    std::string bad = Path("faux.lng");
    QVERIFY(WriteTextFile(bad, "kalix:eng:\nfrmMain:mnuOpen:\"&Open\":\"\"\n"));
    dialogs_.files.push_back(QString::fromStdString(bad));
    w->mnuLangueClick();
    QCOMPARE(dialogs_.messages.size(), 1u);
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].icon, MessageIcon::Warning);
    QCOMPARE(dialogs_.messages[0].text, QString::fromStdString(bad) + "\nn'est pas un fichier langue.");
    QCOMPARE(w->mnuOpen->text(), QString("&Ouvrir"));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Language", "none"), std::string("none"));
    delete w;
  }

  void languageFromTheCommandLineIsNotWritten() {
    std::string lng = Path("cmd.lng");
    QVERIFY(WriteTextFile(lng, "Kalix:eng:\nfrmMain:mnuExit:\"&Quit\":\"\"\n"));
    TheShell().Options.LanguageFile = lng;
    auto* w = new TfrmMain();
    QCOMPARE(w->mnuExit->text(), QString("&Quit"));
    QVERIFY(TheShell().Options.LanguageFile.empty());
    delete w;
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Language", "none"), std::string("none"));
  }

  void dumpOnAClickOfTheToolbar() {
    auto* w = new TfrmMain();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->pnlTop, Qt::LeftButton, {}, QPoint(w->pnlTop->width() - 5, 10));
    auto bytes = ReadBinaryFile("label.txt");
    QVERIFY(bytes);
    const std::string& text = *bytes;
    QVERIFY(text.rfind("\r\nfrmMain::\"\":\"\"\r\n", 0) == 0);  // empty first line, then the root item
    QVERIFY(text.find("\r\nfrmMain:mnuLangue:\"&Langue\":\"\"\r\n") != std::string::npos);
    QVERIFY(text.find("\r\nfrmMain:mnuRules:\"&R\xe8gles\":\"\"\r\n") != std::string::npos);
    QVERIFY(text.find("\r\nfrmMain:btnFind:\"\":\"Recherche\"\r\n") != std::string::npos);
    QVERIFY(text.find("\r\nfrmMain:frmMain:\"Kalix\":\"\"\r\n") != std::string::npos);
    QVERIFY(text.find("\r\nfrmMain:mnuTxtTarget:\"Ci&ble\":\"\"\r\n") != std::string::npos);
    QVERIFY(text.size() > 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0);
    // Menus come first: the main menu's items before any control.
    QVERIFY(text.find("mnuAbout") < text.find("frmMain:frmMain:"));
    // A click on a button does not dump.
    QVERIFY(QFile::remove("label.txt"));
    w->btnOpen->setEnabled(false);  // no dialog
    QTest::mouseClick(w->btnHelp, Qt::LeftButton);
    QVERIFY(!QFile::exists("label.txt"));
    delete w;
  }

  void dumpLoadedBackChangesNothing() {
    auto* w = new TfrmMain();
    QStringList before = Snapshot(w);
    w->pnlTopClick();
    auto dump = ReadBinaryFile("label.txt");
    QVERIFY(dump);
    QVERIFY(WriteBinaryFile("dump.lng", "Kalix:fra:\r\n" + *dump));
    dialogs_.files.push_back(QDir::current().absoluteFilePath("dump.lng"));
    w->mnuLangueClick();
    QVERIFY(TheShell().Ctx.Language.Loaded);
    QVERIFY(!TheShell().Ctx.Language.CaptionLines.empty());
    QCOMPARE(Snapshot(w), before);
    // And a second dump is the same as the first.
    w->pnlTopClick();
    QCOMPARE(*ReadBinaryFile("label.txt"), *dump);
    delete w;
  }

  void dumpThatCannotBeWritten() {
    auto* w = new TfrmMain();
    QFile::remove("label.txt");
    QVERIFY(QDir().mkdir("label.txt"));  // a folder in the way
    w->pnlTopClick();
    QCOMPARE(dialogs_.messages.size(), 1u);
    QCOMPARE(dialogs_.messages[0].text, FromCp1252("Impossible d'\xe9" "crire le fichier :\nlabel.txt"));
    QDir().rmdir("label.txt");
    delete w;
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
