// The main window: composition, start-up with settings, the open commands
// and their enabled states, several windows and the layout written by the
// last one.

#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

namespace {

QString T(const char* s) { return FromCp1252(s); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  std::string Path(const char* name) { return (dir_.path() + "/" + name).toStdString(); }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    QFile::remove(dir_.path() + "/kalix.ini");
  }
  void cleanup() { SetDialogs(nullptr); }

  void composition() {
    auto* w = new TfrmMain();
    QCOMPARE(w->objectName(), QString("frmMain"));
    QCOMPARE(w->windowTitle(), QString("Kalix"));
    QCOMPARE(w->minimumSize(), QSize(600, 420));
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

    struct Button {
      const char* name;
      const char* hint;
      bool enabled;
    };
    const Button buttons[] = {
        {"btnOpen", "Ovrir un document", true},
        {"btnFind", "Recherche", false},
        {"btnWord", "Liste des mots", false},
        {"btnSaveTarget", "Enregistrer le r\xe9sultat", false},
        {"btnUp", "Ligne pr\xe9" "c\xe9" "dente", false},
        {"btnDown", "Ligne suivante", false},
        {"btnFirst", "Premi\xe8re cible", false},
        {"btnPrev", "Cible pr\xe9" "c\xe9" "dente", false},
        {"btnNext", "Cible suivante", false},
        {"btnLast", "Derni\xe9re cible", false},
        {"btnGrdOpen", "Ouvrir dans la fen\xeatre", false},
        {"btnGrdOpenNew", "Ouvrir dans une autre fen\xeatre", false},
        {"btnHelp", "Aide", true},
        {"btnGoto", "Aller \xe0 la marque", false},
        {"btnInfo", "Informations sur le document", false},
    };
    for (const Button& b : buttons) {
      auto* button = w->findChild<QToolButton*>(b.name);
      QVERIFY2(button, b.name);
      QCOMPARE(button->toolTip(), T(b.hint));
      QCOMPARE(button->isEnabled(), b.enabled);
      QCOMPARE(button->size(), QSize(23, 22));
    }
    // The toolbar buttons stand on pnlTop, in the designed order.
    QStringList order;
    for (QToolButton* b : w->pnlTop->findChildren<QToolButton*>()) order << b->objectName();
    QCOMPARE(order, QStringList({"btnOpen", "btnFind", "btnWord", "btnSaveTarget", "btnUp", "btnDown",
                                 "btnFirst", "btnPrev", "btnNext", "btnLast", "btnGrdOpen", "btnGrdOpenNew",
                                 "btnHelp"}));

    for (const char* name : {"pnlTop", "pnlTarget", "grdTarget", "Splitter", "pnlDoc", "pnlPos", "edPage",
                             "edFolio", "edVign", "reText", "Splitter1", "pnlNote", "reNote", "Splitter2",
                             "pnlGlyph", "pbxGlyph", "plnStatus", "lblStatus"}) {
      QVERIFY2(w->findChild<QWidget*>(name), name);
    }
    QCOMPARE(w->pnlTop->height(), 29);
    QCOMPARE(w->DocumentPane()->PositionPanel()->height(), 30);
    QCOMPARE(w->StatusLine()->height(), 19);
    for (QLineEdit* e : {w->DocumentPane()->PageField(), w->DocumentPane()->FolioField(), w->DocumentPane()->GlyphField()}) QCOMPARE(e->maxLength(), 4);
    QVERIFY(w->DocumentPane()->TextView()->isReadOnly());
    QVERIFY(w->DocumentPane()->NoteView()->isReadOnly());
    QCOMPARE(w->DocumentPane()->TextView()->font().pointSize(), 10);
    QCOMPARE(w->StatusLine()->Label()->text(), QString());
    QCOMPARE(w->TargetPane()->Grid()->model()->columnCount(), 3);
    QCOMPARE(w->TargetPane()->Grid()->columnWidth(0), 38);
    QCOMPARE(w->TargetPane()->Grid()->columnWidth(1), 150);
    QCOMPARE(w->TargetPane()->Grid()->columnWidth(2), 137);
    QCOMPARE(w->GridFullWidth, 26 + 38 + 150 + 137);

    struct Item {
      const char* name;
      const char* caption;
      const char* key;
      bool enabled;
    };
    const Item items[] = {
        {"mnuOpen", "&Ouvrir", "Ctrl+O", true},
        {"mnuInfo", "&Informations", "Ctrl+I", false},
        {"mnuExit", "&Quitter", "", true},
        {"mnuCut", "Cou&per", "Ctrl+X", false},
        {"mnuCopy", "&Copier", "Ctrl+C", false},
        {"mnuDel", "Supprimer", "Del", false},
        {"mnuAll", "S\xe9lectionner &tout", "Ctrl+A", false},
        {"mnuFind", "&Rechercher", "Ctrl+F", false},
        {"mnuWord", "Liste de &mots", "Ctrl+W", false},
        {"mnuGoto", "&Aller \xe0 la marque", "Ctrl+M", false},
        {"mnuSortText", "Trier par &texte", "", false},
        {"mnuSortNum", "Trier par nom&bre", "", false},
        {"mnuSortDocText", "Trier par doc + texte", "", false},
        {"mnuSortDocNum", "Trier par doc + nombre", "", false},
        {"mnuUp", "&Monter", "F3", false},
        {"mnuDown", "&Descendre", "F4", false},
        {"mnuFirst", "&D\xe9" "but", "F5", false},
        {"mnuPrev", "&Pr\xe9" "c\xe9" "dente", "F6", false},
        {"mnuNext", "&Suivante", "F7", false},
        {"mnuLast", "&Fin", "F8", false},
        {"mnuSaveTarget", "&Enregister", "", false},
        {"mnuTNew", "&Nouveau", "", true},
        {"mnuTOpen", "&Ouvrir", "", true},
        {"mnuTEdit", "&Modifier", "", false},
        {"mnuTSave", "&Enregistrer", "", false},
        {"mnuTSaveAs", "Enregistrer &sous", "", false},
        {"mnuTClose", "&Fermer", "", false},
        {"mnuCNew", "&Nouveau", "", true},
        {"mnuCOpen", "&Ouvrir", "", true},
        {"mnuCEdit", "&Modifier", "", false},
        {"mnuCSave", "&Enregistrer", "", false},
        {"mnuCSaveAs", "Enregistrer &sous", "", false},
        {"mnuCClose", "&Fermer", "", false},
        {"mnuLangue", "&Langue", "", true},
        {"mnuRules", "&R\xe8gles", "", true},
        {"mnuHelp", "&Aide", "", true},
        {"mnuAbout", "A &propos", "", true},
        {"mnuGrdCut", "Cou&per", "", false},
        {"mnuGrdCopy", "&Copier", "", false},
        {"mnuGrdDel", "Supprimer", "", false},
        {"mnuGrdAll", "S\xe9lectionner &tout", "", false},
        {"mnuGrdSortText", "Trier par &texte", "", false},
        {"mnuGrdSortNum", "Trier par nom&bre", "", false},
        {"mnuGrdSortDocText", "Trier par doc + texte", "", false},
        {"mnuGrdSortDocNum", "Trier par doc + nombre", "", false},
        {"mnuGrdOpen", "Ouvrir dans la fen\xeatre", "", false},
        {"mnuGrdOpenNew", "Ouvrir dans une autre fen\xeatre", "", false},
        {"mnuGrdExport", "Exporter...", "", false},
        {"mnuExport", "Exporter...", "", false},
        {"mnuTxtCopy", "&Copier", "", false},
        {"mnuTxtTarget", "Ci&ble", "", true},
    };
    for (const Item& i : items) {
      auto* a = w->findChild<QAction*>(i.name);
      QVERIFY2(a, i.name);
      QCOMPARE(a->text(), T(i.caption));
      QCOMPARE(a->shortcut(), QKeySequence(i.key));
      QCOMPARE(a->isEnabled(), i.enabled);
    }
    QStringList menus;
    for (QAction* a : w->MainMenu->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&Fichier", "&Edition", "Ci&bles", "&Thesaurus", "&Corpus", "&Options"}));
    auto names = [](QMenu* m) {
      QStringList out;
      for (QAction* a : m->actions()) {
        if (!a->isSeparator()) out << a->objectName();
      }
      return out;
    };
    QCOMPARE(names(w->Options1), QStringList({"mnuLangue", "mnuRules", "mnuHelp", "mnuAbout"}));
    QCOMPARE(names(w->popText), QStringList({"mnuTxtCopy", "mnuTxtTarget"}));
    QCOMPARE(names(w->popGrid).size(), 11);
    delete w;
  }

  void firstStartWithoutSettings() {
    // Rules are read from the current folder: none here, so the defaults.
    auto* w = new TfrmMain();
    WindowLayout l = w->CurrentLayout();
    QCOMPARE(l.GridSplitter, 235);
    QCOMPARE(l.FootnoteSplitter, 60);
    QCOMPARE(l.PictureSplitter, 300);
    w->ShowAsDesigned();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->isMaximized());
    QTRY_COMPARE(w->TargetPane()->width(), 235);
    QTRY_COMPARE(w->DocumentPane()->NotePanel()->height(), 60);
    QTRY_COMPARE(w->DocumentPane()->NoteView()->width(), 300);
    QCOMPARE(TheShell().Ctx.Rules.PageMarker, static_cast<unsigned char>(0xB1));
    delete w;
  }

  void normalStateFromSettings() {
    QVERIFY(WriteTextFile(TheShell().SettingsPath,
                          "[Window]\nState=0\nTop=10\nLeft=20\nHeight=500\nWidth=700\nGridSplitter=200\n"
                          "FootnoteSplitter=80\nPictureSplitter=150\n"));
    auto* w = new TfrmMain();
    w->ShowAsDesigned();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(!w->isMaximized());
    QCOMPARE(w->size(), QSize(700, 500));
    QCOMPARE(w->pos(), QPoint(20, 10));
    QTRY_COMPARE(w->TargetPane()->width(), 200);
    QTRY_COMPARE(w->DocumentPane()->NotePanel()->height(), 80);
    QTRY_COMPARE(w->DocumentPane()->NoteView()->width(), 150);
    delete w;
    // Deleting the last window wrote the layout back.
    IniFile ini = IniFile::Load(TheShell().SettingsPath);
    QCOMPARE(ini.GetInt("Window", "State", -1), 0);
    QCOMPARE(ini.GetInt("Window", "Width", -1), 700);
    QCOMPARE(ini.GetInt("Window", "Height", -1), 500);
    QCOMPARE(ini.GetInt("Window", "GridSplitter", -1), 200);
    QCOMPARE(ini.GetInt("Window", "FootnoteSplitter", -1), 80);
    QCOMPARE(ini.GetInt("Window", "PictureSplitter", -1), 150);
  }

  void maximisedStateIgnoresBounds() {
    QVERIFY(WriteTextFile(TheShell().SettingsPath, "[Window]\nState=2\nTop=10\nLeft=20\nHeight=500\nWidth=700\n"));
    auto* w = new TfrmMain();
    w->ShowAsDesigned();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->isMaximized());
    QCOMPARE(w->normalGeometry().size(), QSize(745, 605));  // the design size, not the file's
    delete w;
  }

  void minimisedAndUnknownStates_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("expected");  // 0 normal, 1 minimised
    QTest::newRow("minimised") << "1" << 1;
    QTest::newRow("out of range: normal") << "5" << 0;
  }
  void minimisedAndUnknownStates() {
    QFETCH(QString, state);
    QFETCH(int, expected);
    QVERIFY(WriteTextFile(TheShell().SettingsPath,
                          "[Window]\nState=" + state.toStdString() + "\nTop=10\nLeft=20\nHeight=500\nWidth=700\n"));
    auto* w = new TfrmMain();
    w->ShowAsDesigned();
    QCOMPARE(w->isMinimized(), expected == 1);
    QVERIFY(!w->isMaximized());
    if (expected == 0) QCOMPARE(w->size(), QSize(700, 500));
    delete w;
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetInt("Window", "State", -1), expected);
  }

  void twoWindowsClosedInEitherOrder_data() {
    QTest::addColumn<bool>("firstClosesFirst");
    QTest::newRow("first, then second") << true;
    QTest::newRow("second, then first") << false;
  }

  void twoWindowsClosedInEitherOrder() {
    QFETCH(bool, firstClosesFirst);
    QVERIFY(WriteTextFile(TheShell().SettingsPath, "[Window]\nState=0\nWidth=650\nHeight=450\n"));
    QPointer<TfrmMain> a = new TfrmMain();
    QPointer<TfrmMain> b = new TfrmMain();
    QCOMPARE(TheShell().MainWindowList.size(), 2);
    QCOMPARE(TheShell().MainWindowList.first(), a.data());
    a->ShowAsDesigned();
    b->show();
    b->resize(610, 430);
    QVERIFY(QTest::qWaitForWindowExposed(b));
    QCOMPARE(b->size(), QSize(610, 430));

    TfrmMain* closing = firstClosesFirst ? a.data() : b.data();
    TfrmMain* staying = firstClosesFirst ? b.data() : a.data();
    QVERIFY(closing->close());
    QTRY_VERIFY(firstClosesFirst ? a.isNull() : b.isNull());
    // Nothing written yet, the shared state is still there.
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetInt("Window", "Width", -1), 650);
    QVERIFY(TheShell().MainWindowListExists);
    QCOMPARE(TheShell().MainWindowList.size(), 1);

    QSize last = staying->size();
    QVERIFY(staying->close());
    QTRY_VERIFY(a.isNull() && b.isNull());
    IniFile ini = IniFile::Load(TheShell().SettingsPath);
    QCOMPARE(ini.GetInt("Window", "Width", -1), last.width());
    QCOMPARE(ini.GetInt("Window", "Height", -1), last.height());
    QVERIFY(!TheShell().MainWindowListExists);
  }

  void secondWindowDoesNotReadSettings() {
    auto* a = new TfrmMain();
    QVERIFY(WriteTextFile(TheShell().SettingsPath, "[Window]\nState=0\nWidth=650\nHeight=450\n[Kalix]\nDocumentPath=/x/\n"));
    TheShell().DocumentPath = "/kept/";
    auto* b = new TfrmMain();
    b->ShowAsDesigned();
    QVERIFY(QTest::qWaitForWindowExposed(b));
    QCOMPARE(b->size(), QSize(745, 605));
    QCOMPARE(TheShell().DocumentPath, std::string("/kept/"));
    delete b;
    delete a;
  }

  void openCommandStates() {
    std::string good = Path("Livre Un.txt");
    QVERIFY(WriteTextFile(good, "\xb1premi\xe8re page\n\xb1seconde\n"));
    auto* w = new TfrmMain();
    w->show();

    // Cancelled: nothing happens.
    w->mnuOpenClick();
    QCOMPARE(dialogs_.fileRequests.size(), 1u);
    const FileDialogOptions& o = dialogs_.fileRequests[0];
    QCOMPARE(o.filter, QString("Rich text file (*.rft)|*.rtf|Text file (*.txt)|*.txt|Any file (*.*)|*.*"));
    QCOMPARE(o.defaultExtension, QString("rtf"));
    QCOMPARE(o.initialFolder.toStdString(), TheShell().ProgramDir);  // no DocumentPath yet
    QVERIFY(o.mustExist);
    QCOMPARE(w->windowTitle(), QString("Kalix"));

    // Chosen: the document is shown, its folder remembered and written.
    dialogs_.files.push_back(QString::fromStdString(good));
    w->mnuOpenClick();
    QCOMPARE(w->Session().Doc.path, good);  // letter case kept
    QCOMPARE(w->windowTitle(), QString::fromStdString("Kalix - " + good));
    // The reader ends the text with one more paragraph end.
    QCOMPARE(w->DocumentPane()->TextView()->toPlainText(), T("\xb1premi\xe8re page\n\xb1seconde\n\n"));
    for (QWidget* c : std::initializer_list<QWidget*>{w->btnFind, w->btnWord, w->DocumentPane()->InfoButton(), w->DocumentPane()->GotoButton()}) {
      QVERIFY(c->isEnabled());
    }
    for (QAction* a : {w->mnuFind, w->mnuWord, w->mnuInfo, w->mnuGoto}) QVERIFY(a->isEnabled());
    std::string folder = dir_.path().toStdString() + "/";
    QCOMPARE(TheShell().DocumentPath, folder);
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "DocumentPath", ""), folder);
    QCOMPARE(w->DocumentPane()->PageField()->text(), QString("0"));  // caret at 0, before the page marker

    // The next dialog starts in that folder.
    w->mnuOpenClick();
    QCOMPARE(dialogs_.fileRequests.back().initialFolder.toStdString(), folder);

    // A file that vanished: the message, the window keeps no text and the
    // commands that need a document are off; the caption is left alone.
    std::string gone = Path("parti.rtf");
    dialogs_.files.push_back(QString::fromStdString(gone));
    w->mnuOpenClick();
    QCOMPARE(dialogs_.messages.size(), 1u);
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].text, T("Fichier non trouv\xe9 :\n") + QString::fromStdString(gone));
    QCOMPARE(dialogs_.messages[0].icon, MessageIcon::Exclamation);
    QCOMPARE(w->Session().Doc.path, gone);
    QVERIFY(w->Session().Doc.text.empty());
    QVERIFY(w->DocumentPane()->TextView()->toPlainText().isEmpty());
    for (QWidget* c : std::initializer_list<QWidget*>{w->btnFind, w->btnWord, w->DocumentPane()->InfoButton(), w->DocumentPane()->GotoButton()}) {
      QVERIFY(!c->isEnabled());
    }
    for (QAction* a : {w->mnuFind, w->mnuWord, w->mnuInfo, w->mnuGoto}) QVERIFY(!a->isEnabled());
    QCOMPARE(w->windowTitle(), QString::fromStdString("Kalix - " + good));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "DocumentPath", ""), folder);

    // CloseDocument with a corpus open keeps the search commands.
    TheShell().Ctx.Corpus.Open = true;
    w->CloseDocument();
    QVERIFY(w->btnFind->isEnabled());
    QVERIFY(w->mnuWord->isEnabled());
    QVERIFY(!w->DocumentPane()->InfoButton()->isEnabled());
    delete w;
  }

  void pendingDocumentIsOpenedByThePostedCommand() {
    std::string good = Path("attente.txt");
    QVERIFY(WriteTextFile(good, "abc\n"));
    TheShell().Options.PendingDocument = good;
    TheShell().DocumentPath = "";
    auto* w = new TfrmMain();
    QVERIFY(w->Session().Doc.path.empty());  // posted, not run yet
    QTRY_COMPARE(w->Session().Doc.path, good);
    QVERIFY(TheShell().Options.PendingDocument.empty());
    QVERIFY(dialogs_.fileRequests.empty());  // no dialog
    QCOMPARE(w->DocumentPane()->TextView()->toPlainText(), QString("abc\n\n"));
    QCOMPARE(TheShell().DocumentPath, std::string());  // unchanged
    delete w;
  }

  void pendingDocumentThatCannotBeOpened() {
    TheShell().Options.PendingDocument = "\"quoted.rtf\"";
    auto* w = new TfrmMain();
    QTRY_COMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(w->Session().Doc.path, std::string("\"quoted.rtf\""));
    QVERIFY(!w->DocumentPane()->GotoButton()->isEnabled());
    QCOMPARE(w->windowTitle(), QString("Kalix"));
    delete w;
  }

  void commandLineRulesAreNotWritten() {
    std::string rules = Path("autres.rul");
    QVERIFY(WriteTextFile(rules, "[Markers]\nPage=0x2a\n"));
    QVERIFY(WriteTextFile(TheShell().SettingsPath, "[Kalix]\nRules=nac.rul\n"));
    TheShell().Options.RulesFile = rules;
    auto* w = new TfrmMain();
    QCOMPARE(TheShell().Ctx.Rules.PageMarker, static_cast<unsigned char>('*'));
    QVERIFY(TheShell().Options.RulesFile.empty());
    delete w;
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("nac.rul"));
    // The last window released the rules.
    QCOMPARE(TheShell().Ctx.Rules.PageMarker, static_cast<unsigned char>(0xB1));
  }

  void rulesMenu() {
    std::string rules = Path("menu.rul");
    QVERIFY(WriteTextFile(rules, "[Markers]\nGlyph=0x2a\n"));
    auto* w = new TfrmMain();
    dialogs_.files.push_back(QString::fromStdString(rules));
    w->mnuRulesClick();
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Rule file (*.rul)|*.rul"));
    QCOMPARE(dialogs_.fileRequests.back().defaultExtension, QString("rul"));
    QCOMPARE(TheShell().Ctx.Rules.GlyphMarker, static_cast<unsigned char>('*'));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("menu.rul"));
    // A file that cannot be read: silently nothing.
    dialogs_.files.push_back(QString::fromStdString(Path("absent.rul")));
    w->mnuRulesClick();
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("menu.rul"));
    QVERIFY(dialogs_.messages.empty());
    delete w;
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
