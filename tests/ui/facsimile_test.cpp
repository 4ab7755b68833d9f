// The facsimile pane of a main window: shown and remembered from "Ci&bles",
// the image of the page under the caret loaded off the window's thread, the
// caret's line and a selected hit outlined, a missing image said in the pane,
// and an image found beside a rich-text document by its folio.
//
// With KALIX_SHOTS set to a folder, a screenshot of the window is saved there.

#include "ControlNames.h"
#include "FakeDialogs.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "rules/RuleSet.h"
#include "ui/FacsimilePane.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/Shell.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTextEdit>

using namespace kalix;
using namespace kalix::ui;

namespace {

std::string PageXml(const char* image, const char* line1, const char* line2) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<PcGts xmlns=\"http://schema.primaresearch.org/PAGE/gts/pagecontent/2019-07-15\">"
                     "<Page imageFilename=\"") +
         image +
         "\" imageWidth=\"1200\" imageHeight=\"1600\"><TextRegion id=\"r1\">"
         "<TextLine id=\"l1\"><Coords points=\"100,200 1100,200 1100,280 100,280\"/><TextEquiv><Unicode>" +
         line1 +
         "</Unicode></TextEquiv></TextLine>"
         "<TextLine id=\"l2\"><Coords points=\"100,300 1100,300 1100,380 100,380\"/><TextEquiv><Unicode>" +
         line2 + "</Unicode></TextEquiv></TextLine></TextRegion></Page></PcGts>\n";
}

// A page of parchment colour with the two lines written where the zones say.
void WritePageImage(const QString& path, const char* line1 = "Item a Jehan", const char* line2 = "pour le toit") {
  QImage image(1200, 1600, QImage::Format_RGB32);
  image.fill(QColor(235, 225, 200));
  QPainter p(&image);
  QFont font("serif");
  font.setItalic(true);
  font.setPixelSize(64);
  p.setFont(font);
  p.setPen(QColor(70, 45, 20));
  p.drawText(QRect(110, 200, 1000, 80), Qt::AlignLeft | Qt::AlignVCenter, line1);
  p.drawText(QRect(110, 300, 1000, 80), Qt::AlignLeft | Qt::AlignVCenter, line2);
  p.setPen(QPen(QColor(120, 90, 50), 3));
  p.drawRect(40, 40, 1120, 1520);
  p.end();
  QVERIFY(image.save(path));
}

}  // namespace

class FacsimileTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

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

  void followsTheCaretThroughAFolderOfPages() {
    const QString folder = dir_.path() + "/registre";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteTextFile((folder + "/f1r.xml").toStdString(), PageXml("f1r.png", "Item a Jehan", "pour le toit")));
    QVERIFY(WriteTextFile((folder + "/f1v.xml").toStdString(), PageXml("f1v.png", "Somme du toit", "et du mur")));
    WritePageImage(folder + "/f1r.png");  // f1v.png is missing

    auto* w = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w->resize(1200, 760);
    w->show();
    QVERIFY(!w->Facsimile->isVisible());
    dialogs_.files.push_back(folder);
    w->mnuOpenClick();
    QVERIFY2(dialogs_.messages.empty(), dialogs_.messages.empty() ? "" : qPrintable(dialogs_.messages[0].text));
    QCOMPARE(w->Session().Doc.pages.size(), size_t{2});

    w->mnuFacsimile->trigger();
    QVERIFY(w->Facsimile->isVisible());
    QCOMPARE(w->Facsimile->accessibleName(), QString::fromUtf8("Fac-simil\xc3\xa9"));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Window", "ResultViews", ""), std::string("4"));

    // Page 1: its image arrives from the worker; the caret's line is outlined.
    w->SetCaretView(4, 0);  // in "Item a Jehan"
    QVERIFY(w->Facsimile->ShownPath().ends_with("/registre/f1r.png"));
    QTRY_VERIFY(w->Facsimile->ImageShown());
    QCOMPARE(w->Facsimile->OutlinedLines().size(), size_t{1});
    QCOMPARE(w->Facsimile->OutlinedLines()[0].top(), 200);
    // The second line, then a selected word of it: the hit's line.
    w->SetCaretView(w->Session().Doc.pages[0].lines[1].position + 1, 0);
    QCOMPARE(w->Facsimile->OutlinedLines()[0].top(), 300);
    w->SetCaretView(w->Session().Doc.pages[0].lines[1].position, 4);
    QCOMPARE(w->Facsimile->HitLines().size(), size_t{1});
    QCOMPARE(w->Facsimile->HitLines()[0].top(), 300);
    Shot(w, "facsimile.png");
    QVERIFY2(UnnamedControls(w->Facsimile).isEmpty(), qPrintable("unnamed: " + UnnamedControls(w->Facsimile).join(", ")));

    // Page 2: its image is missing, and the pane says so.
    w->SetCaretView(w->Session().Doc.pages[1].lines[0].position + 2, 0);
    QVERIFY(w->Facsimile->ShownPath().ends_with("/registre/f1v.png"));
    QTRY_VERIFY(w->Facsimile->StatusText().startsWith("Image introuvable"));
    QVERIFY(!w->Facsimile->ImageShown());

    // Hidden again, and remembered so.
    w->mnuFacsimile->trigger();
    QVERIFY(!w->Facsimile->isVisible());
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Window", "ResultViews", ""), std::string("0"));
  }

  void findsAnImageBesideRichText() {
    const QString doc = dir_.path() + "/lettre.txt";
    QVERIFY(WriteTextFile(doc.toStdString(), "\xb1\xf2Premier feuillet\n\xb1\xbeSecond\n"));
    WritePageImage(dir_.path() + "/f012v.png");  // folio 12 verso: not this document's
    WritePageImage(dir_.path() + "/ms_f1v.jpg");
    auto* w = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w->show();
    dialogs_.files.push_back(doc);
    w->mnuOpenClick();
    w->ShowFacsimile(true);
    w->SetCaretView(3, 0);
    QCOMPARE(w->Facsimile->ShownPath(), std::string());  // folio 1 recto has no image
    QVERIFY(w->Facsimile->StatusText().startsWith("Pas d'image"));
    w->SetCaretView(static_cast<int32_t>(w->Session().Doc.Text().find("Second")) + 2, 0);  // one LF before: view = offset + 1
    QVERIFY(w->Facsimile->ShownPath().ends_with("/ms_f1v.jpg"));
    QTRY_VERIFY(w->Facsimile->ImageShown());
  }

  // "Informations" of a TEI document without an information file shows its
  // header; the page image its pb names is the pane's.
  void teiHeaderAndFacsimile() {
    auto* w = new TfrmMain();
    LoadRules(TheShell().Ctx.Rules, KALIX_SOURCE_DIR "/samples/nac.rul");
    w->show();
    dialogs_.files.push_back(KALIX_SOURCE_DIR "/tests/document/fixtures/xml/chronique.xml");
    w->mnuOpenClick();
    QVERIFY(dialogs_.messages.empty());
    w->mnuInfoClick();
    QVERIFY(dialogs_.messages.empty());
    QCOMPARE(dialogs_.executed.size(), size_t{1});
    QVERIFY(TheShell().Info->reInfo->toPlainText().startsWith("Chronique de l'abbaye (extrait)\nTranscription"));
    w->ShowFacsimile(true);
    w->SetCaretView(10, 0);
    QVERIFY(w->Facsimile->ShownPath().ends_with("/fixtures/xml/images/f012r.jpg"));
    QTRY_VERIFY(w->Facsimile->StatusText().startsWith("Image introuvable"));  // the fixture has no images
  }
};

QTEST_MAIN(FacsimileTest)
#include "facsimile_test.moc"
