// The document view shows the characters the reading replaced as they were
// in the file, one widget character a text byte; a PNG glyph picture draws
// as its image.

#include "document/Reader.h"
#include "platform/Metafile.h"
#include "ui/DocumentView.h"
#include "ui/MetafilePainter.h"

#include <QTest>

using namespace kalix;
using namespace kalix::ui;

namespace {

// A 2 x 3 red PNG, as ImageMagick writes it.
const char kPngHex[] =
    "89504e470d0a1a0a0000000d494844520000000200000003010300000083244cc200000003504c5445ff000019e209370000000b"
    "4944415408d763600001000006000166f4c96c0000000049454e44ae426082";

}  // namespace

class UnicodeViewTest : public QObject {
  Q_OBJECT
 private slots:
  void replacedCharactersShowAsInTheFile() {
    Document doc;
    // Long s, a stroke l, a zero-width space (dropped), q with a combining
    // tilde and an emoji (shown as their byte), alpha (0x81 in the text).
    ReadDocument(DefaultRules(), "{\\rtf1 e\\u383?t\\par\\u322?a\\u8203?b q\\u771? \\u-10179?\\u-8694? \\u945?}", doc);
    QCOMPARE(QByteArray(doc.Text().data(), static_cast<int>(doc.Text().size())),
             QByteArray("est\nlab q \x81 \x81\n"));
    const QString shown = ViewTextOf(doc.Text(), &doc.replaced);
    QCOMPARE(shown, QString::fromUtf8("e\xc5\xbft\n\xc5\x82" "ab q \xc2\x81 \xce\xb1\n"));
    QCOMPARE(shown.size(), static_cast<qsizetype>(doc.Text().size()));
    QCOMPARE(ViewTextOf(doc.Text()), QString::fromLatin1("est\nlab q \x81 \x81\n"));
  }
  void pngPictureDrawsItsImage() {
    std::string bytes;
    for (size_t i = 0; i + 1 < sizeof kPngHex; i += 2) {
      bytes.push_back(static_cast<char>(std::stoi(std::string(kPngHex + i, 2), nullptr, 16)));
    }
    auto picture = ParseImage(bytes, PictureFormat::Png, PictureSize{});
    QVERIFY(picture);
    QCOMPARE(picture->Width(), 2);
    QCOMPARE(picture->Height(), 3);
    const QImage image = RenderMetafile(*picture, 20, 30, Qt::white);
    QCOMPARE(QColor(image.pixel(10, 15)), QColor(Qt::red));
    QVERIFY(!ParseImage(bytes.substr(0, 40), PictureFormat::Png, PictureSize{}));
  }
};

QTEST_MAIN(UnicodeViewTest)
#include "unicode_view_test.moc"
