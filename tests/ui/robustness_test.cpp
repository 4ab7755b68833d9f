// Damaged input for the readers of the windows: random and mutated
// metafiles through the player, and mutated rich text through the display.
// Nothing may crash, hang or read outside its data (the tests run with the
// address sanitizer); whatever is drawn or shown is not checked.

#include "platform/Metafile.h"
#include "platform/TextFile.h"
#include "ui/MetafilePainter.h"
#include "ui/RtfDocument.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTextDocument>
#include <random>

using namespace kalix;
using namespace kalix::ui;

namespace {

std::string Fixture(const char* name) {
  auto bytes = ReadBinaryFile(std::string(KALIX_SOURCE_DIR) + "/" + name);
  return bytes ? *bytes : std::string();
}

// Changes a few bytes, drops or duplicates a stretch.
std::string Mutate(std::string s, std::mt19937& rng) {
  if (s.empty()) return s;
  std::uniform_int_distribution<int> kind(0, 3);
  int changes = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < changes && !s.empty(); ++i) {
    size_t at = rng() % s.size();
    switch (kind(rng)) {
      case 0: s[at] = static_cast<char>(rng()); break;
      case 1: s.erase(at, std::min<size_t>(s.size() - at, rng() % 16)); break;
      case 2: s.insert(at, s.substr(at, rng() % 16)); break;
      default: s[at] = "{}\\'0123456789abcdef"[rng() % 20]; break;
    }
  }
  return s;
}

}  // namespace

class RobustnessTest : public QObject {
  Q_OBJECT
 private slots:
  void mutatedMetafiles() {
    std::mt19937 rng(1252);
    const char* fixtures[] = {"tests/ui/fixtures/glyph_star.wmf", "tests/ui/fixtures/glyph_letter.wmf",
                              "tests/ui/fixtures/glyph_bitmap.wmf"};
    int played = 0;
    QElapsedTimer clock;
    clock.start();
    for (const char* name : fixtures) {
      std::string original = Fixture(name);
      QVERIFY(!original.empty());
      for (int i = 0; i < 150; ++i) {
        std::string bytes = Mutate(original, rng);
        PictureSize size;
        size.mappingMode = 8;
        size.width = static_cast<int32_t>(rng() % 5000) - 100;
        size.height = static_cast<int32_t>(rng() % 5000) - 100;
        auto picture = ParseMetafile(bytes, size);
        if (!picture) continue;
        RenderMetafile(*picture, 64, 48);
        ++played;
      }
    }
    QVERIFY(played > 50);
    QVERIFY2(clock.elapsed() < 60000, "damaged pictures must not take long to draw");
  }

  void randomRecords() {
    std::mt19937 rng(7);
    const uint16_t functions[] = {wmf::kSetWindowOrg, wmf::kSetWindowExt, wmf::kSetViewportOrg,
                                  wmf::kSetViewportExt, wmf::kSaveDc, wmf::kRestoreDc, wmf::kSelectObject,
                                  wmf::kDeleteObject, wmf::kCreatePenIndirect, wmf::kCreateBrushIndirect,
                                  wmf::kCreateFontIndirect, wmf::kPolygon, wmf::kPolyline, wmf::kPolyPolygon,
                                  wmf::kRectangle, wmf::kRoundRect, wmf::kEllipse, wmf::kArc, wmf::kPie,
                                  wmf::kChord, wmf::kTextOut, wmf::kExtTextOut, wmf::kStretchDib,
                                  wmf::kDibStretchBlt, 0x0940, wmf::kLineTo, wmf::kMoveTo, wmf::kSetTextAlign};
    for (int picture = 0; picture < 300; ++picture) {
      GlyphPicture p;
      p.right = 1 + static_cast<int32_t>(rng() % 200);
      p.bottom = 1 + static_cast<int32_t>(rng() % 200);
      int count = static_cast<int>(rng() % 40);
      for (int i = 0; i < count; ++i) {
        WmfRecord r;
        r.function = functions[rng() % std::size(functions)];
        int params = static_cast<int>(rng() % 48);
        for (int k = 0; k < params; ++k) {
          // Small values mostly, so that counts and indices are often valid.
          r.params.push_back(static_cast<uint16_t>(rng() % 4 == 0 ? rng() : rng() % 64));
        }
        p.records.push_back(std::move(r));
      }
      RenderMetafile(p, 40, 30);
    }
  }

  void mutatedRichText() {
    std::mt19937 rng(1789);
    const char* files[] = {"samples/help_fra.rtf", "samples/sample.rtf", "samples/about_eng.rtf"};
    for (const char* name : files) {
      std::string original = Fixture(name);
      QVERIFY(!original.empty());
      for (int i = 0; i < 60; ++i) {
        QTextDocument doc;
        RtfToDocument(Mutate(original, rng), doc);
        doc.setTextWidth(400);
        QVERIFY(doc.size().height() >= 0);  // lays the text out
      }
    }
    // Deep nesting, stray braces, unfinished escapes.
    QTextDocument doc;
    QVERIFY(RtfToDocument("{\\rtf1 " + std::string(20000, '{') + "x" + std::string(30000, '}'), doc));
    QVERIFY(RtfToDocument("{\\rtf1 a\\'", doc));
    QVERIFY(RtfToDocument("{\\rtf1 a\\u", doc));
    QVERIFY(RtfToDocument("{\\rtf1 \\uc999999999 \\u65 abc\\fs-2147483648 x\\li99999999999 y}", doc));
    QVERIFY(RtfToDocument("{\\rtf1\\li2000000000\\fi2000000000\\tx-2000000000 a\\tab b\\par"
                          "\\li-2000000000\\fi-2000000000\\tx2000000000 c\\tab d\\par}", doc));
    QVERIFY(RtfToDocument("{\\rtf1 {\\pict\\wmetafile8 0102030}{\\pict\\pngblip zz}}", doc));
  }
};

QTEST_MAIN(RobustnessTest)
#include "robustness_test.moc"
