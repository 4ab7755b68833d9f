// The metafile player and the placement of pictures in the picture pane.

#include "platform/Metafile.h"
#include "platform/TextFile.h"
#include "ui/MetafilePainter.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace kalix;
using namespace kalix::ui;

namespace {

WmfRecord R(uint16_t function, std::vector<int> params) {
  WmfRecord r;
  r.function = function;
  for (int p : params) r.params.push_back(static_cast<uint16_t>(static_cast<int16_t>(p)));
  return r;
}

// COLORREF as the two words of a record.
std::vector<int> Rgb(int r, int g, int b) { return {r | (g << 8), b}; }

std::vector<int> Cat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A picture of 100 x 100 logical units shown as 100 x 100 pixels.
GlyphPicture Canvas() {
  GlyphPicture p;
  p.right = 100;
  p.bottom = 100;
  p.records.push_back(R(wmf::kSetWindowOrg, {0, 0}));
  p.records.push_back(R(wmf::kSetWindowExt, {100, 100}));
  return p;
}

WmfRecord Pen(int style, int width, int r, int g, int b) {
  return R(wmf::kCreatePenIndirect, Cat({style, width, 0}, Rgb(r, g, b)));
}
WmfRecord Brush(int style, int r, int g, int b) { return R(wmf::kCreateBrushIndirect, Cat(Cat({style}, Rgb(r, g, b)), {0})); }
WmfRecord Rect(int left, int top, int right, int bottom) { return R(wmf::kRectangle, {bottom, right, top, left}); }

bool Near(QRgb a, QColor b, int tolerance = 8) {
  return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
         std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// The bounding box of the pixels that are not white.
QRect Inked(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      QRgb p = image.pixel(x, y);
      if (qRed(p) < 250 || qGreen(p) < 250 || qBlue(p) < 250) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

struct Difference {
  double meanAbs = 0;    // mean absolute difference per channel, 0-255
  double farShare = 0;   // share of pixels with a channel off by more than 64
};

Difference Compare(const QImage& a, const QImage& b) {
  Difference d;
  long long sum = 0, far = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      int dr = std::abs(qRed(p) - qRed(q)), dg = std::abs(qGreen(p) - qGreen(q)), db = std::abs(qBlue(p) - qBlue(q));
      sum += dr + dg + db;
      if (dr > 64 || dg > 64 || db > 64) ++far;
    }
  }
  double n = static_cast<double>(a.width()) * a.height();
  d.meanAbs = sum / (3 * n);
  d.farShare = far / n;
  return d;
}

std::shared_ptr<const GlyphPicture> Fixture(const char* name) {
  auto bytes = ReadBinaryFile(std::string(KALIX_SOURCE_DIR) + "/tests/ui/fixtures/" + name);
  if (!bytes) return nullptr;
  return ParseMetafile(*bytes, PictureSize());
}

}  // namespace

class MetafileTest : public QObject {
  Q_OBJECT
 private slots:
  void pictureRect_data() {
    QTest::addColumn<int>("paneW");
    QTest::addColumn<int>("paneH");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("smaller: own size") << 200 << 150 << 100 << 50 << QRect(2, 2, 100, 50);
    QTest::newRow("exactly the pane less 4") << 104 << 54 << 100 << 50 << QRect(2, 2, 100, 50);
    QTest::newRow("too wide: scaled by width") << 200 << 150 << 400 << 100 << QRect(2, 2, 196, 49);
    QTest::newRow("too high: scaled by height") << 300 << 104 << 100 << 200 << QRect(2, 2, 50, 100);
    QTest::newRow("one side too big: both scaled") << 104 << 1000 << 200 << 10 << QRect(2, 2, 100, 5);
    QTest::newRow("truncated, not rounded") << 103 << 103 << 300 << 200 << QRect(2, 2, 99, 66);
    QTest::newRow("no width") << 200 << 150 << 0 << 50 << QRect();
    QTest::newRow("no height") << 200 << 150 << 50 << 0 << QRect();
    QTest::newRow("pane too small") << 4 << 4 << 50 << 50 << QRect();
  }
  void pictureRect() {
    QFETCH(int, paneW);
    QFETCH(int, paneH);
    QFETCH(int, right);
    QFETCH(int, bottom);
    QFETCH(QRect, expected);
    GlyphPicture p;
    p.right = right;
    p.bottom = bottom;
    QCOMPARE(PictureRect(paneW, paneH, p), expected);
  }

  void windowMapsOntoTheTarget() {
    GlyphPicture p;
    p.right = 100;
    p.bottom = 100;
    p.records = {R(wmf::kSetWindowOrg, {1000, 2000}),  // y, x
                 R(wmf::kSetWindowExt, {400, 200}),     // 200 wide, 400 high
                 Brush(0, 255, 0, 0), R(wmf::kSelectObject, {0}), Pen(5, 0, 0, 0, 0), R(wmf::kSelectObject, {1}),
                 Rect(2000, 1000, 2100, 1200)};  // the top-left quarter
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(10, 10), Qt::red));
    QVERIFY(Near(img.pixel(40, 40), Qt::red));
    QVERIFY(Near(img.pixel(60, 40), Qt::white));
    QVERIFY(Near(img.pixel(40, 60), Qt::white));
  }

  void flippedWindowExtent() {
    // A negative window height turns the picture upside down.
    GlyphPicture p;
    p.right = 100;
    p.bottom = 100;
    p.records = {R(wmf::kSetWindowOrg, {100, 0}), R(wmf::kSetWindowExt, {-100, 100}), Brush(0, 0, 0, 255),
                 R(wmf::kSelectObject, {0}), Pen(5, 0, 0, 0, 0), R(wmf::kSelectObject, {1}),
                 Rect(0, 0, 100, 50)};  // y from 0 to 50: the lower half on screen
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(50, 80), Qt::blue));
    QVERIFY(Near(img.pixel(50, 20), Qt::white));
  }

  void restoreDcBringsBackDeletedObjects() {
    GlyphPicture p = Canvas();
    p.records.push_back(Pen(0, 6, 255, 0, 0));    // object 0: red pen
    p.records.push_back(Brush(0, 0, 0, 255));     // object 1: blue brush
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(R(wmf::kSelectObject, {1}));
    p.records.push_back(R(wmf::kSaveDc, {}));
    p.records.push_back(Pen(0, 6, 0, 255, 0));    // object 2: green pen
    p.records.push_back(Brush(0, 255, 255, 0));   // object 3: yellow brush
    p.records.push_back(R(wmf::kSelectObject, {2}));
    p.records.push_back(R(wmf::kSelectObject, {3}));
    p.records.push_back(R(wmf::kDeleteObject, {0}));
    p.records.push_back(R(wmf::kDeleteObject, {1}));
    p.records.push_back(Rect(0, 0, 40, 40));      // green on yellow
    p.records.push_back(R(wmf::kRestoreDc, {-1}));
    p.records.push_back(Rect(50, 50, 95, 95));    // red on blue, though both were deleted
    // A new object takes the lowest free slot (0): selecting 0 is the new one.
    p.records.push_back(Brush(0, 0, 255, 255));
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(Rect(0, 60, 30, 95));     // red pen still, cyan brush
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(20, 20), QColor(255, 255, 0)));
    QVERIFY(Near(img.pixel(1, 20), QColor(0, 255, 0), 40));
    QVERIFY(Near(img.pixel(72, 72), QColor(0, 0, 255)));
    QVERIFY(Near(img.pixel(51, 72), QColor(255, 0, 0), 40));
    QVERIFY(Near(img.pixel(15, 78), QColor(0, 255, 255)));
    QVERIFY(Near(img.pixel(1, 78), QColor(255, 0, 0), 40));
  }

  void restoreDcToAnAbsoluteLevel() {
    GlyphPicture p = Canvas();
    p.records.push_back(Brush(0, 255, 0, 0));      // 0 red
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(Pen(5, 0, 0, 0, 0));       // 1 no pen
    p.records.push_back(R(wmf::kSelectObject, {1}));
    p.records.push_back(R(wmf::kSaveDc, {}));      // level 1: red
    p.records.push_back(Brush(0, 0, 255, 0));      // 2 green
    p.records.push_back(R(wmf::kSelectObject, {2}));
    p.records.push_back(R(wmf::kSaveDc, {}));      // level 2: green
    p.records.push_back(Brush(0, 0, 0, 255));      // 3 blue
    p.records.push_back(R(wmf::kSelectObject, {3}));
    p.records.push_back(R(wmf::kRestoreDc, {1}));  // back to level 1: red
    p.records.push_back(Rect(0, 0, 100, 100));
    p.records.push_back(R(wmf::kRestoreDc, {-1}));  // nothing left to restore: ignored
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(50, 50), Qt::red));
  }

  void shapes() {
    GlyphPicture p = Canvas();
    p.records.push_back(Brush(0, 0, 0, 255));
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(Pen(5, 0, 0, 0, 0));
    p.records.push_back(R(wmf::kSelectObject, {1}));
    p.records.push_back(R(wmf::kEllipse, {40, 40, 0, 0}));                   // circle in the top-left
    p.records.push_back(R(wmf::kPolygon, {3, 60, 0, 100, 0, 100, 40}));     // triangle top-right
    p.records.push_back(R(wmf::kPie, {70, 100, 70, 60, 100, 100, 60, 60}));  // pie bottom-right
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(20, 20), Qt::blue));
    QVERIFY(Near(img.pixel(2, 2), Qt::white));   // outside the circle
    QVERIFY(Near(img.pixel(95, 10), Qt::blue));
    QVERIFY(Near(img.pixel(65, 35), Qt::white)); // below the triangle's diagonal
  }

  void malformedRecordsAreSkipped() {
    GlyphPicture p = Canvas();
    p.records.push_back(Brush(0, 255, 0, 0));
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(R(wmf::kPolygon, {200, 1, 2}));         // more points than data
    p.records.push_back(R(wmf::kPolyPolygon, {3, 1}));           // counts missing
    p.records.push_back(R(wmf::kExtTextOut, {10, 10, 50, 0}));  // text missing
    p.records.push_back(R(wmf::kTextOut, {9}));
    p.records.push_back(R(wmf::kStretchDib, {0, 0, 0, 1, 1}));
    p.records.push_back(R(wmf::kRectangle, {1}));
    p.records.push_back(R(wmf::kSelectObject, {400}));           // no such object
    p.records.push_back(R(wmf::kDeleteObject, {400}));
    p.records.push_back(R(wmf::kRestoreDc, {-5}));
    p.records.push_back(R(0x0999, {1, 2, 3}));                   // unknown function
    p.records.push_back(R(wmf::kSetWindowExt, {0, 0}));           // a zero extent is ignored
    p.records.push_back(Rect(0, 0, 100, 100));
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(50, 50), Qt::red));
  }

  void stretchDibIsDrawnBottomUp() {
    // A 2 x 2 bitmap, 24 bits: bottom row blue, green; top row red, white.
    std::vector<uint8_t> dib = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t rows[] = {255, 0, 0, 0, 255, 0, 0, 0,      // blue, green (BGR), padding
                            0, 0, 255, 255, 255, 255, 0, 0};  // red, white, padding
    dib.insert(dib.end(), std::begin(rows), std::end(rows));
    std::vector<int> params = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 100, 100, 0, 0};  // SRCCOPY
    for (size_t i = 0; i < dib.size(); i += 2) params.push_back(dib[i] | (dib[i + 1] << 8));
    GlyphPicture p = Canvas();
    p.records.push_back(R(wmf::kStretchDib, params));
    QImage img = RenderMetafile(p, 100, 100);
    QVERIFY(Near(img.pixel(10, 10), Qt::red, 30));
    QVERIFY(Near(img.pixel(90, 10), Qt::white, 30));
    QVERIFY(Near(img.pixel(10, 90), Qt::blue, 30));
    QVERIFY(Near(img.pixel(90, 90), Qt::green, 30));
  }

  void bitmapRasterOperations() {
    // A 1 x 1 bitmap of one colour, stretched over the whole picture.
    auto dib = [](uint32_t rop, int r, int g, int b) {
      std::vector<uint8_t> bytes = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                    4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
      std::vector<int> params = {static_cast<int>(rop & 0xFFFF), static_cast<int>(rop >> 16), 0, 1, 1, 0, 0,
                                 100, 100, 0, 0};
      for (size_t i = 0; i < bytes.size(); i += 2) params.push_back(bytes[i] | (bytes[i + 1] << 8));
      return R(wmf::kStretchDib, params);
    };
    GlyphPicture p = Canvas();
    p.records.push_back(dib(0x00EE0086, 0, 0, 0));      // OR black: white stays white
    QVERIFY(Near(RenderMetafile(p, 20, 20).pixel(10, 10), Qt::white));
    p.records.push_back(dib(0x008800C6, 255, 0, 255));  // AND magenta: magenta
    QVERIFY(Near(RenderMetafile(p, 20, 20).pixel(10, 10), QColor(255, 0, 255)));
    p.records.push_back(dib(0x00EE0086, 0, 255, 0));    // OR green: white
    QVERIFY(Near(RenderMetafile(p, 20, 20).pixel(10, 10), Qt::white));
    p.records.push_back(dib(0x00CC0020, 0, 0, 0));      // copy black
    QVERIFY(Near(RenderMetafile(p, 20, 20).pixel(10, 10), Qt::black));
  }

  void textIsDrawnInCodePage1252() {
    GlyphPicture p = Canvas();
    std::vector<int> font = {-40, 0, 0, 0, 700, 0, 0, 0, 0};
    const char face[] = "DejaVu Sans";
    for (size_t i = 0; i < sizeof(face); i += 2) font.push_back(face[i] | ((i + 1 < sizeof(face) ? face[i + 1] : 0) << 8));
    p.records.push_back(R(wmf::kCreateFontIndirect, font));
    p.records.push_back(R(wmf::kSelectObject, {0}));
    p.records.push_back(R(wmf::kSetTextColor, Rgb(0, 0, 0)));
    p.records.push_back(R(wmf::kSetBkMode, {1}));
    // EXTTEXTOUT "\x80\xe9" (euro, e acute) at 10, 20, no options.
    p.records.push_back(R(wmf::kExtTextOut, {20, 10, 2, 0, 0x80 | (0xe9 << 8)}));
    QImage img = RenderMetafile(p, 100, 100);
    QRect ink = Inked(img);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(ink.top() >= 18 && ink.left() >= 8 && ink.bottom() < 70, qPrintable(QString("%1,%2 %3x%4")
        .arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    // The same with an opaque rectangle paints the background too.
    GlyphPicture q = Canvas();
    q.records.push_back(R(wmf::kSetBkColor, Rgb(255, 0, 0)));
    q.records.push_back(R(wmf::kExtTextOut, {20, 10, 1, 2, 0, 0, 90, 90, 'A'}));
    QImage opaque = RenderMetafile(q, 100, 100);
    QVERIFY(Near(opaque.pixel(80, 80), Qt::red));
  }

  void libreOfficeFixturesMatchLibreOfficeRendering_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("star") << "glyph_star";
    QTest::newRow("letter") << "glyph_letter";
    QTest::newRow("knot") << "glyph_knot";
    QTest::newRow("bitmap and text") << "glyph_bitmap";
  }
  void libreOfficeFixturesMatchLibreOfficeRendering() {
    QFETCH(QString, name);
    auto picture = Fixture(qPrintable(name + ".wmf"));
    QVERIFY(picture);
    // LibreOffice renders the picture on a page at 96 dots per inch; both
    // renderings are compared over what they ink.
    QImage page(QString(KALIX_SOURCE_DIR) + "/tests/ui/fixtures/soffice/" + name + ".png");
    QVERIFY(!page.isNull());
    page = page.convertToFormat(QImage::Format_ARGB32);
    QRect box = Inked(page);
    QVERIFY(!box.isEmpty());
    QImage reference = page.copy(box);
    QImage full = RenderMetafile(*picture, picture->Width(), picture->Height());
    QRect ourBox = Inked(full);
    QVERIFY(!ourBox.isEmpty());
    // The inked parts have the same size within 3 % (the picture's own size
    // is right).
    QVERIFY2(std::abs(ourBox.width() - box.width()) <= 1 + box.width() * 3 / 100 &&
                 std::abs(ourBox.height() - box.height()) <= 1 + box.height() * 3 / 100,
             qPrintable(QString("%1x%2 vs %3x%4").arg(ourBox.width()).arg(ourBox.height())
                            .arg(box.width()).arg(box.height())));
    // Rendered again so that the inked part has the reference's size.
    double sx = static_cast<double>(box.width()) / ourBox.width();
    double sy = static_cast<double>(box.height()) / ourBox.height();
    QImage scaled = RenderMetafile(*picture, qRound(picture->Width() * sx), qRound(picture->Height() * sy));
    QRect scaledBox = Inked(scaled);
    QImage ours = scaled.copy(QRect(scaledBox.topLeft(), box.size()));
    Difference d = Compare(ours, reference);
    // Anti-aliased edges differ by a pixel here and there: a few per cent of
    // the pixels, a small mean.
    QVERIFY2(d.meanAbs < 16 && d.farShare < 0.10,
             qPrintable(QString("mean %1, far %2").arg(d.meanAbs).arg(d.farShare)));
  }

  void libreOfficeFixturesMatchLibwmfRendering_data() {
    // The letter and the bitmap are left out: libwmf draws their text with
    // no font at all, or cut off at the picture's bottom.
    QTest::addColumn<QString>("name");
    QTest::newRow("star") << "glyph_star";
    QTest::newRow("knot") << "glyph_knot";
  }
  void libreOfficeFixturesMatchLibwmfRendering() {
    QFETCH(QString, name);
    auto picture = Fixture(qPrintable(name + ".wmf"));
    QVERIFY(picture);
    QImage reference(QString(KALIX_SOURCE_DIR) + "/tests/ui/fixtures/wmf2gd/" + name + ".png");
    QVERIFY(!reference.isNull());
    reference = reference.convertToFormat(QImage::Format_ARGB32);
    QImage ours = RenderMetafile(*picture, reference.width(), reference.height());
    Difference d = Compare(ours, reference);
    // libwmf draws without anti-aliasing and its own text: a looser bound.
    QVERIFY2(d.meanAbs < 20 && d.farShare < 0.15,
             qPrintable(QString("mean %1, far %2").arg(d.meanAbs).arg(d.farShare)));
  }
};

QTEST_MAIN(MetafileTest)
#include "metafile_test.moc"
