// The rich-text display of the information, help and about files, and the
// three commands that show them.

#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "ui/RtfDocument.h"
#include "ui/TfrmInfo.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

namespace {

// The character format at the first occurrence of `text`.
QTextCharFormat FormatOf(QTextDocument& doc, const QString& text) {
  QTextCursor c = doc.find(text);
  if (c.isNull()) return QTextCharFormat();
  QTextCursor at(&doc);
  at.setPosition(c.selectionStart() + 1);
  return at.charFormat();
}

Qt::Alignment AlignmentOf(QTextDocument& doc, const QString& text) {
  return doc.find(text).blockFormat().alignment();
}

}  // namespace

class InfoTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  QString oldCurrent_;

  std::string Path(const QString& name) { return (dir_.path() + "/" + name).toStdString(); }

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

  void characterFormatting() {
    QTextDocument doc;
    QVERIFY(RtfToDocument(
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "{\\info{\\title cach\\'e9}}"
        "\\f0\\fs24 plain {\\b gras} {\\i italique} {\\ul soulign\\'e9}\\ulnone  {\\fs40 grand} "
        "{\\f1 machine} {\\cf1 rouge} {\\highlight2 fond} {\\b\\i both\\b0  nob}\\par}",
        doc));
    QCOMPARE(doc.toPlainText(), FromCp1252("plain gras italique soulign\xe9 grand machine rouge fond both nob\n"));
    QVERIFY(doc.toPlainText().indexOf("cach") < 0);  // the info group is not text
    QCOMPARE(FormatOf(doc, "plain").fontWeight(), int(QFont::Normal));
    QCOMPARE(FormatOf(doc, "gras").fontWeight(), int(QFont::Bold));
    QVERIFY(FormatOf(doc, "italique").fontItalic());
    QVERIFY(!FormatOf(doc, "gras").fontItalic());
    QVERIFY(FormatOf(doc, "soulign").fontUnderline());
    QCOMPARE(FormatOf(doc, "grand").fontPointSize(), 20.0);
    QCOMPARE(FormatOf(doc, "plain").fontPointSize(), 12.0);
    QCOMPARE(FormatOf(doc, "machine").fontFamilies().toStringList().value(0), QString("Courier New"));
    QCOMPARE(FormatOf(doc, "plain").fontFamilies().toStringList().value(0), QString("Arial"));
    QCOMPARE(FormatOf(doc, "rouge").foreground().color(), QColor(255, 0, 0));
    QCOMPARE(FormatOf(doc, "fond").background().color(), QColor(0, 0, 255));
    QVERIFY(FormatOf(doc, "both").fontItalic());
    QCOMPARE(FormatOf(doc, "both").fontWeight(), int(QFont::Bold));
    QCOMPARE(FormatOf(doc, "nob").fontWeight(), int(QFont::Normal));
    QVERIFY(FormatOf(doc, "nob").fontItalic());
  }

  void paragraphsAndSpecialCharacters() {
    QTextDocument doc;
    QVERIFY(RtfToDocument(
        "{\\rtf1\\pard\\qc Titre\\par\\pard\\qr droite\\par\\pard\\qj justifi\\'e9\\line suite\\tab tab"
        "\\par\\pard gauche \\u8594? \\emdash  \\'80 \\{x\\} \\\\ \\~nb\\par}",
        doc));
    QCOMPARE(doc.blockCount(), 5);  // four paragraphs and the empty last one
    QCOMPARE(AlignmentOf(doc, "Titre") & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(AlignmentOf(doc, "droite") & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(AlignmentOf(doc, "justifi") & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    QCOMPARE(AlignmentOf(doc, "gauche") & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QString third = doc.findBlockByNumber(2).text();
    QCOMPARE(third, FromCp1252("justifi\xe9") + QChar(0x2028) + "suite\ttab");
    QCOMPARE(doc.findBlockByNumber(3).text(),
             QString("gauche ") + QChar(0x2192) + " " + QChar(0x2014) + " " + QChar(0x20AC) + " {x} \\ " +
                 QChar(0xA0) + "nb");
  }

  void indentsAndTabStops() {
    QTextDocument doc;
    QVERIFY(RtfToDocument("{\\rtf1\\pard\\li360\\fi-240\\sa60\\sb30 \\bullet\\tab point\\par"
                          "\\pard\\tx1440\\tx2880 a\\tab b\\par}",
                          doc));
    QTextBlockFormat item = doc.findBlockByNumber(0).blockFormat();
    QCOMPARE(item.leftMargin(), 24.0);
    QCOMPARE(item.textIndent(), -16.0);
    QCOMPARE(item.bottomMargin(), 4.0);
    QCOMPARE(item.topMargin(), 2.0);
    // The text after the bullet starts at the left indent.
    QCOMPARE(item.tabPositions().size(), 1);
    QCOMPARE(item.tabPositions()[0].position, 16.0);
    QTextBlockFormat plain = doc.findBlockByNumber(1).blockFormat();
    QCOMPARE(plain.leftMargin(), 0.0);  // \pard reset the indent
    QCOMPARE(plain.tabPositions().size(), 2);
    QCOMPARE(plain.tabPositions()[0].position, 96.0);
    QCOMPARE(plain.tabPositions()[1].position, 192.0);
  }

  void damagedSizesAreBounded() {
    QTextDocument doc;
    QVERIFY(RtfToDocument("{\\rtf1\\fs999999 a\\fs0 b\\li99999999\\sa-5 c\\par}", doc));
    QCOMPARE(FormatOf(doc, "a").fontPointSize(), 1638.0);
    QCOMPARE(FormatOf(doc, "b").fontPointSize(), 1.0);
    QCOMPARE(doc.findBlockByNumber(0).blockFormat().leftMargin(), 31680 / 15.0);
    QCOMPARE(doc.findBlockByNumber(0).blockFormat().bottomMargin(), 0.0);
  }

  void picturesAreInserted() {
    // A metafile of 20 x 10 units with one red rectangle.
    const char* hex =
        "010009000003000000000000000000000000" "05000000" "0c02" "0a001400"
        "07000000" "fc02" "0000" "ff00" "0000" "0000" "04000000" "2d01" "0000"
        "07000000" "1b04" "0a001400" "00000000" "03000000" "0000";
    QTextDocument doc;
    QVERIFY(RtfToDocument(std::string("{\\rtf1 avant {\\pict\\wmetafile8\\picw20\\pich10\\picwgoal600\\pichgoal300 ") +
                              hex + "} apr\\'e8s{\\*\\shppict{\\pict\\wmetafile8\\picwgoal600\\pichgoal300 " +
                              hex + "}}{\\nonshppict{\\pict\\wmetafile8 " + hex + "}}\\par}",
                          doc));
    // The word processor's second copy of a picture ("nonshppict") is not
    // shown again.
    QCOMPARE(doc.toPlainText(), FromCp1252("avant ") + QChar(QChar::ObjectReplacementCharacter) +
                                    FromCp1252(" apr\xe8s") + QChar(QChar::ObjectReplacementCharacter) + "\n");
    QTextCursor c(&doc);
    c.setPosition(7);
    QTextImageFormat f = c.charFormat().toImageFormat();
    QVERIFY(f.isValid());
    QCOMPARE(f.width(), 40.0);  // 600 twips
    QCOMPARE(f.height(), 20.0);
    QImage image = doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
    QCOMPARE(image.size(), QSize(40, 20));
    QCOMPARE(QColor(image.pixel(20, 10)), QColor(255, 0, 0));
  }

  void loadingFiles() {
    QTextDocument doc;
    QVERIFY(!LoadDisplayFile(Path("absent.rtf"), doc));
    QVERIFY(WriteTextFile(Path("plain.txt"), "ligne \xe9t\xe9\nautre\n"));
    QVERIFY(LoadDisplayFile(Path("plain.txt"), doc));
    QCOMPARE(doc.toPlainText(), FromCp1252("ligne \xe9t\xe9\nautre\n"));
    QVERIFY(!RtfToDocument("not rich text", doc));
    // The shipped help files are rich text that the display reads.
    for (const char* name : {"help_fra.rtf", "help_eng.rtf", "about_fra.rtf", "about_eng.rtf", "sample_fra.rtf"}) {
      QVERIFY(LoadDisplayFile(std::string(KALIX_SOURCE_DIR) + "/samples/" + name, doc));
      QVERIFY2(doc.toPlainText().contains("Kalix") || doc.toPlainText().contains("Livre"), name);
      QVERIFY2(!doc.toPlainText().contains("\\"), name);
      QVERIFY2(!doc.toPlainText().contains("{"), name);
    }
  }

  void informationCommand() {
    auto* w = new TfrmMain();
    // No document: the command is off, and does nothing when run.
    QVERIFY(!w->mnuInfo->isEnabled());
    w->mnuInfoClick();
    QVERIFY(dialogs_.messages.empty());
    QVERIFY(dialogs_.executed.empty());

    std::string doc = Path("livre.rtf");
    QVERIFY(WriteTextFile(doc, "{\\rtf1 texte\\par}"));
    QVERIFY(w->OpenDocument(doc, true, true));
    w->mnuInfoClick();
    QCOMPARE(dialogs_.messages.size(), 1u);
    QCOMPARE(dialogs_.messages[0].text, FromCp1252("Fichier non trouv\xe9 :\n") + QString::fromStdString(Path("livre_fra.rtf")));
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QVERIFY(dialogs_.executed.empty());

    QVERIFY(WriteTextFile(Path("livre_fra.rtf"), "{\\rtf1 {\\b Notice} du livre\\par}"));
    w->DocumentPane()->InfoButton()->click();
    QCOMPARE(dialogs_.executed.size(), 1u);
    auto* info = qobject_cast<TfrmInfo*>(dialogs_.executed[0]);
    QVERIFY(info);
    QCOMPARE(info->windowTitle(), QString("Kalix"));
    QCOMPARE(info->reInfo->toPlainText(), QString("Notice du livre\n"));
    delete w;
  }

  void helpAndAboutFollowTheLanguage() {
    auto* w = new TfrmMain();
    QVERIFY(WriteTextFile(Path("help_fra.rtf"), "{\\rtf1 Aide\\par}"));
    QVERIFY(WriteTextFile(Path("about_fra.rtf"), "{\\rtf1 A propos\\par}"));
    w->mnuHelpClick();
    w->btnHelp->click();
    w->mnuAboutClick();
    QCOMPARE(dialogs_.executed.size(), 3u);
    QVERIFY(dialogs_.messages.empty());
    QCOMPARE(TheShell().Info->reInfo->toPlainText(), QString("A propos\n"));

    TheShell().Ctx.Language.LanguageCode = "eng";
    w->mnuHelpClick();
    w->mnuAboutClick();
    QCOMPARE(dialogs_.messages.size(), 2u);
    QCOMPARE(dialogs_.messages[0].text,
             FromCp1252("Fichier non trouv\xe9 :\n") + QString::fromStdString(TheShell().ProgramDir + "help_eng.rtf"));
    QCOMPARE(dialogs_.messages[1].text, FromCp1252("Fichier non trouv\xe9 :\n") + "about_eng.rtf");
    delete w;
    delete TheShell().Info.data();
  }

  void aboutIsReadFromTheCurrentFolder() {
    auto* w = new TfrmMain();
    QTemporaryDir other;
    QVERIFY(WriteTextFile((other.path() + "/about_fra.rtf").toStdString(), "{\\rtf1 Ailleurs\\par}"));
    QDir::setCurrent(other.path());
    w->mnuAboutClick();
    QVERIFY(dialogs_.messages.empty());
    QCOMPARE(TheShell().Info->reInfo->toPlainText(), QString("Ailleurs\n"));
    delete w;
    delete TheShell().Info.data();
  }
};

QTEST_MAIN(InfoTest)
#include "info_test.moc"
