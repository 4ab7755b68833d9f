// The document view: the position panel, the notes of the page, the glyph's
// picture and the go-to command.

#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "platform/Metafile.h"
#include "platform/TextFile.h"
#include "ui/TfrmMain.h"
#include "ui/WindowPanes.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

namespace {

// A 2 x 2 picture of 40 x 40 logical units: a placeable-less metafile with
// a window extent and one rectangle, as hexadecimal text.
std::string PictureHex() {
  std::vector<uint16_t> words = {1, 9, 0x0300, 0, 0, 0, 0, 0, 0};  // header; sizes are not checked
  auto record = [&](uint16_t function, std::vector<uint16_t> params) {
    uint32_t size = 3 + static_cast<uint32_t>(params.size());
    words.push_back(size & 0xFFFF);
    words.push_back(size >> 16);
    words.push_back(function);
    words.insert(words.end(), params.begin(), params.end());
  };
  record(0x020C, {40, 40});
  record(0x041B, {40, 40, 0, 0});
  record(0x0000, {});
  std::string hex;
  char buf[8];
  for (uint16_t w : words) {
    std::snprintf(buf, sizeof buf, "%02x%02x", w & 0xFF, w >> 8);
    hex += buf;
  }
  return hex;
}

}  // namespace

class PositionTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  TfrmMain* w_ = nullptr;

  // Positions of the document below, in view positions.
  int pageTwoMarker_ = -1;

  void Open(const std::string& rtf) {
    std::string path = (dir_.path() + "/doc.rtf").toStdString();
    QVERIFY(WriteTextFile(path, rtf));
    dialogs_.files.push_back(QString::fromStdString(path));
    w_->mnuOpenClick();
    QCOMPARE(w_->Session().Doc.path, path);
  }

  int MarkPosition(int16_t kind, int number, int value = 0) {
    for (const Mark& m : w_->Session().Doc.marks) {
      if (m.kind == kind && m.number == number && (kind != kFolioMark || m.value == value)) return m.position;
    }
    return -1;
  }

  QString Notes() { return w_->DocumentPane()->NoteView()->toPlainText(); }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    w_ = new TfrmMain();
    w_->show();
    QVERIFY(QTest::qWaitForWindowActive(w_));
    // Page 1: folios 1 recto to 9 verso, two notes. Page 2: folios 10 to 13,
    // a glyph with a picture, one note. Page 3: no note.
    std::string rtf = "{\\rtf1\\ansi \\'b1 Un";
    for (int f = 1; f <= 9; ++f) rtf += " \\'f2 r" + std::to_string(f) + " \\'be v" + std::to_string(f);
    rtf += "{\\footnote premi\\'e8re}{\\footnote seconde}\\par ";
    rtf += "\\'b1 Deux";
    for (int f = 10; f <= 13; ++f) rtf += " \\'f2 r" + std::to_string(f) + " \\'be v" + std::to_string(f);
    rtf += " signe \\'ad{\\pict\\wmetafile8\\picw1000\\pich1000\\picwgoal600\\pichgoal600 " + PictureHex() + "} fin";
    rtf += "{\\footnote troisi\\'e8me}\\par \\'b1 Trois\\par }";
    Open(rtf);
  }

  void cleanup() {
    delete w_;
    w_ = nullptr;
    SetDialogs(nullptr);
  }

  void pageMarkerAtTheStart() {
    QCOMPARE(w_->CaretView(), 0);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("0"));
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("0"));
    QCOMPARE(w_->DocumentPane()->GlyphField()->text(), QString("0"));
    w_->SetCaretView(1);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("1"));
    QCOMPARE(Notes(), T("1) premi\xe8re\n2) seconde"));
  }

  void folioSides() {
    int verso7 = MarkPosition(kFolioMark, 7, 1);
    int recto7 = MarkPosition(kFolioMark, 7, 0);
    QVERIFY(verso7 > recto7 && recto7 > 0);
    w_->SetCaretView(verso7 + 1);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("7V"));
    w_->SetCaretView(recto7 + 1);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("7"));
    // On the marker itself, the previous unit is still in effect.
    w_->SetCaretView(recto7);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("6V"));
  }

  void typedFieldTurnsYellowAndProgrammaticChangeWhite() {
    QTest::keyClicks(w_->DocumentPane()->FolioField(), "x");
    QCOMPARE(w_->PendingGotoKind, int16_t(kGotoFolio));
    QCOMPARE(w_->DocumentPane()->FolioField()->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(w_->DocumentPane()->PageField()->palette().color(QPalette::Base), QColor(255, 255, 255));
    QTest::keyClicks(w_->DocumentPane()->GlyphField(), "2");
    QCOMPARE(w_->PendingGotoKind, int16_t(kGotoGlyph));
    QCOMPARE(w_->DocumentPane()->GlyphField()->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(w_->DocumentPane()->FolioField()->palette().color(QPalette::Base), QColor(255, 255, 255));
    // A caret move rewrites the fields: all white, nothing pending.
    w_->SetCaretView(5);
    QCOMPARE(w_->PendingGotoKind, int16_t(kGotoNone));
    for (QLineEdit* e : {w_->DocumentPane()->PageField(), w_->DocumentPane()->FolioField(), w_->DocumentPane()->GlyphField()}) {
      QCOMPARE(e->palette().color(QPalette::Base), QColor(255, 255, 255));
    }
  }

  void lowerCaseVLooksForTheRecto() {
    w_->DocumentPane()->FolioField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->FolioField(), "12v");
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), MarkPosition(kFolioMark, 12, 0) + 1);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("12"));
    QCOMPARE(w_->PendingGotoKind, int16_t(kGotoNone));
    // Upper case: the verso.
    w_->DocumentPane()->FolioField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->FolioField(), "12V");
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), MarkPosition(kFolioMark, 12, 1) + 1);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("12V"));
  }

  void missingFolioGoesToTheNextOne() {
    w_->DocumentPane()->FolioField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->FolioField(), "0");  // before the first folio: the first one
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), MarkPosition(kFolioMark, 1, 0) + 1);
  }

  void pageBeyondTheLast() {
    w_->SetCaretView(7);
    w_->DocumentPane()->PageField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->PageField(), "5");
    QCOMPARE(w_->DocumentPane()->PageField()->palette().color(QPalette::Base), QColor(255, 255, 0));
    w_->mnuGotoClick();
    QVERIFY(w_->DocumentPane()->TextView()->hasFocus());
    QCOMPARE(w_->CaretView(), 7);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("5"));
    QCOMPARE(w_->DocumentPane()->PageField()->palette().color(QPalette::Base), QColor(255, 255, 255));
    QCOMPARE(w_->PendingGotoKind, int16_t(kGotoNone));
  }

  // A long document: page 21539 and folio 1076V show whole, and a folio of
  // five characters can be typed for the go-to command.
  void longNumbersShowWhole() {
    std::string rtf = "{\\rtf1\\ansi ";
    for (int f = 1; f <= 1076; ++f) rtf += "\\'f2 r \\'be v\\par ";
    for (int p = 1; p <= 21539; ++p) rtf += "\\'b1 p\\par ";
    rtf += "}";
    Open(rtf);
    w_->SetCaretView(MarkPosition(kFolioMark, 1076, 1) + 1);
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("1076V"));
    w_->SetCaretView(MarkPosition(kPageMark, 21539) + 1);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("21539"));
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("1076V"));
    w_->DocumentPane()->FolioField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->FolioField(), "1075V");
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("1075V"));
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), MarkPosition(kFolioMark, 1075, 1) + 1);
    w_->DocumentPane()->PageField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->PageField(), "123456");  // one digit more than the document needs
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("12345"));
  }

  void pageTwo() {
    w_->DocumentPane()->PageField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->PageField(), "2");
    w_->DocumentPane()->GotoButton()->click();
    int marker = MarkPosition(kPageMark, 2);
    QCOMPARE(w_->CaretView(), marker + 1);
    QCOMPARE(w_->SelectionViewLength(), 0);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("2"));
    QCOMPARE(w_->DocumentPane()->FolioField()->text(), QString("9V"));
    QCOMPARE(Notes(), T("1) troisi\xe8me"));
  }

  void gotoWithNothingPendingKeepsTheSelection() {
    w_->SetCaretView(3, 4);
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), 3);
    QCOMPARE(w_->SelectionViewLength(), 4);
  }

  void notesAreRebuiltOnlyOnAPageChange() {
    w_->SetCaretView(2);
    QCOMPARE(Notes(), T("1) premi\xe8re\n2) seconde"));
    w_->DocumentPane()->NoteView()->appendPlainText("marque");  // would vanish with a rebuild
    w_->SetCaretView(20);
    w_->SetCaretView(4, 3);
    QCOMPARE(Notes(), T("1) premi\xe8re\n2) seconde\nmarque"));
    // Page 3 has no notes: emptied.
    w_->SetCaretView(MarkPosition(kPageMark, 3) + 1);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("3"));
    QCOMPARE(Notes(), QString());
  }

  void glyphPicture() {
    int glyph = MarkPosition(kGlyphMark, 1);
    QVERIFY(glyph > 0);
    QCOMPARE(w_->ShownPicture, nullptr);
    w_->DocumentPane()->GlyphField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->GlyphField(), "1");
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), glyph + 1);
    QCOMPARE(w_->DocumentPane()->GlyphField()->text(), QString("1"));
    QVERIFY(w_->ShownPicture != nullptr);
    QCOMPARE(w_->ShownPicture->right, 40);  // 600 twips
    // The pane draws it at its own size, 2 pixels in.
    w_->DocumentPane()->GlyphPanel()->resize(200, 100);
    w_->DocumentPane()->GlyphBox()->resize(200, 100);
    QImage pane = w_->DocumentPane()->GlyphBox()->grab().toImage();
    QCOMPARE(QColor(pane.pixel(20, 20)), QColor(Qt::white));  // the rectangle's default brush
    QVERIFY(QColor(pane.pixel(2, 20)).lightness() < 200);    // its black left edge, anti-aliased
    QCOMPARE(QColor(pane.pixel(100, 20)), w_->DocumentPane()->GlyphBox()->palette().color(QPalette::Window));
    // Closing the document forgets the picture, and the fields and notes
    // of the old document go.
    w_->CloseDocument();
    QCOMPARE(w_->ShownPicture, nullptr);
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("0"));
    QCOMPARE(w_->DocumentPane()->GlyphField()->text(), QString("0"));
    QCOMPARE(Notes(), QString());
  }

  void reopeningResetsTheShownPage() {
    w_->SetCaretView(MarkPosition(kPageMark, 2) + 1);
    QCOMPARE(w_->ShownPage, 2);
    Open("{\\rtf1 \\'b1 A{\\footnote n}\\par}");
    QCOMPARE(w_->ShownPage, 0);
    QCOMPARE(Notes(), QString());  // page 0 at the caret: no notes
    w_->SetCaretView(1);
    QCOMPARE(Notes(), QString("1) n"));
  }

  void lineBreaksCountTwoViewPositions() {
    Open("{\\rtf1 ab\\line cd\\par \\'b1ef\\par}");
    QCOMPARE(w_->DocumentPane()->TextView()->toPlainText(), FromCp1252("ab\ncd\n\xb1" "ef\n\n"));
    QCOMPARE(MarkPosition(kPageMark, 1), 0);  // the first ordinary character opens page 1
    QCOMPARE(MarkPosition(kPageMark, 2), 8);  // a b CR CR c d LF LF
    w_->DocumentPane()->PageField()->selectAll();
    QTest::keyClicks(w_->DocumentPane()->PageField(), "2");
    w_->mnuGotoClick();
    QCOMPARE(w_->CaretView(), 9);
    QCOMPARE(w_->DocumentPane()->TextView()->textCursor().position(), 7);  // one widget position per line end
    QCOMPARE(w_->DocumentPane()->PageField()->text(), QString("2"));
    // A selection across a line break is two view positions longer.
    w_->SetCaretView(1, 4);  // b, the break, c
    QCOMPARE(w_->DocumentPane()->TextView()->textCursor().selectedText(), QString("b") + QChar(0x2029) + "c");
    QCOMPARE(w_->SelectionViewLength(), 4);
  }

  void editMenuFollowsTheSelection() {
    w_->DocumentPane()->TextView()->setFocus();
    QVERIFY(w_->DocumentPane()->TextView()->hasFocus());
    w_->SetCaretView(2);
    QVERIFY(!w_->mnuCopy->isEnabled());
    QVERIFY(!w_->mnuTxtCopy->isEnabled());
    w_->SetCaretView(2, 3);
    QVERIFY(w_->mnuCopy->isEnabled());
    QVERIFY(w_->mnuTxtCopy->isEnabled());
    QVERIFY(!w_->mnuCut->isEnabled());  // rows only
    w_->mnuCopy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), w_->DocumentPane()->TextView()->textCursor().selectedText());
  }

 private:
  static QString T(const char* s) { return FromCp1252(s); }
};

QTEST_MAIN(PositionTest)
#include "position_test.moc"
