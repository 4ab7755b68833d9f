// The XML reader: TEI transcriptions in both layers, PAGE and ALTO pages and
// folders of them, hostile files, and the helpers that name folios and order
// page files.

#include "document/Reader.h"
#include "document/XmlReader.h"
#include "platform/CharPolicy.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kalix {
namespace {

const std::string kFixtures = std::string(KALIX_SOURCE_DIR) + "/tests/document/fixtures/xml/";

std::string Lines(const PageFacsimile& page) {
  std::string out;
  for (const LineZone& z : page.lines) {
    if (!out.empty()) out += ' ';
    out += std::to_string(z.position) + ':' + std::to_string(z.left) + ',' + std::to_string(z.top) + ',' +
           std::to_string(z.right) + ',' + std::to_string(z.bottom);
  }
  return out;
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// One TEI edition read in each layer: markers where pb, g and note stand,
// marks from the elements only ("=" and a typed page marker open nothing),
// folios from the labels, choice and app, del, gap, fw, a word joined
// across <lb break="no"/>, glyph mappings, line zones and page images.
TEST(XmlReader, TeiEditionInBothLayers) {
  struct Case {
    XmlLayer layer;
    std::string text;
    std::string notes;
  };
  const Case cases[] = {
      {XmlLayer::Diplomatic,
       "\xb1\xf2" "De la fondacion\n"
       "Cy commence la chr de labbaye \xad& de ses moinnes\r"
       "qui furent en la terre \xb9 de Normendie = au temps du roys Henri [\x85].\n"
       "\xb1\xbe" "Et \xadp la grace de Dieu fu faite l'\xad&glise \xb1 saint Pierre.\xb9\n",
       "1:Ajout d'une autre main.|2:Lecture incertaine."},
      {XmlLayer::Normalised,
       "\xb1\xf2" "De la fondacion\n"
       "Cy commence la chronique de labbaye \xad" "et de ses moines\r"
       "qui furent en la terre \xb9 de Normendie = au temps du roy Henri [\x85].\n"
       "\xb1\xbe" "Et \xadpar la grace de Dieu fu faite l'\xad&glise \xb1 saint Pierre.\xb9\n",
       "1:Ajout d'une autre main.|2:Lecture incertaine."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer == XmlLayer::Diplomatic ? "diplomatic" : "normalised");
    Context ctx;
    Document doc;
    std::string message;
    XmlReadOptions options;
    options.layer = c.layer;
    ASSERT_TRUE(OpenXmlDocument(ctx, doc, kFixtures + "chronique.xml", options, &message)) << message;
    EXPECT_EQ(doc.Text(), c.text);
    EXPECT_EQ(test::DescribeNotes(doc.notes), c.notes);
    const size_t glyph1 = c.text.find('\xad');
    const size_t page2 = c.text.find("\xb1\xbe");
    const size_t glyph2 = c.text.find('\xad', page2);
    const size_t glyph3 = c.text.find('\xad', glyph2 + 1);
    // Each LF and CR before a mark counts two view positions.
    auto view = [&](size_t offset) {
      int32_t v = 0;
      for (size_t k = 0; k < offset; ++k) v += (c.text[k] == '\n' || c.text[k] == '\r') ? 2 : 1;
      return std::to_string(v);
    };
    EXPECT_EQ(test::DescribeMarks(doc.marks), "P1@0 F12r@1 G1@" + view(glyph1) + " P2@" + view(page2) +
                                                  " F12v@" + view(page2 + 1) + " G2@" + view(glyph2) +
                                                  " G3@" + view(glyph3));
    ASSERT_EQ(doc.pages.size(), 2u);
    EXPECT_EQ(doc.pages[0].label, "12r");
    EXPECT_TRUE(EndsWith(doc.pages[0].image, "xml/images/f012r.jpg")) << doc.pages[0].image;
    EXPECT_TRUE(EndsWith(doc.pages[1].image, "xml/images/f012v.jpg")) << doc.pages[1].image;
    // The first line starts after the heading's paragraph end, the second
    // after the first line's break.
    const size_t line2 = c.text.find("qui");
    EXPECT_EQ(Lines(doc.pages[0]), view(c.text.find("Cy")) + ":100,200,900,240 " + view(line2) + ":100,250,900,290");
    ASSERT_EQ(doc.glyphImages.size(), 2u);  // the two Tironian signs have a picture, the p with bar none
    EXPECT_EQ(doc.glyphImages[0].glyph, 1);
    EXPECT_EQ(doc.glyphImages[1].glyph, 3);
    EXPECT_TRUE(EndsWith(doc.glyphImages[0].image, "xml/glyphes/et.png"));
    // The header is the document's information, one line per element.
    EXPECT_EQ(doc.information,
              "Chronique de l'abbaye (extrait)\nTranscription d'essai.\nParis, ms. fr. 0000, f. 12r-12v.\n");
    // The Tironian et, the p with bar and "h̃" of the diplomatic layer are
    // transliterated through the character policy, and the document keeps
    // each of them.
    const ReplacedSummary summary = SummarizeReplaced(doc.replaced);
    EXPECT_EQ(summary.replaced, 0);
    if (c.layer == XmlLayer::Diplomatic) {
      EXPECT_GE(summary.transliterated, 3);
      EXPECT_NE(std::find(summary.characters.begin(), summary.characters.end(), "h\xcc\x83"),
                summary.characters.end());
    }
    for (const ReplacedChar& r : doc.replaced) {
      const std::string_view in = r.note < 0 ? doc.Text() : std::string_view(doc.notes[static_cast<size_t>(r.note)].text);
      ASSERT_LT(static_cast<size_t>(r.offset), in.size());
    }
  }
}

// Small TEI texts: each rule of the reading on its own.
TEST(XmlReader, TeiRules) {
  struct Case {
    const char* name;
    std::string body;  // inside <TEI>
    std::string text;
    std::string marks;
    std::string notes;
  };
  const std::string text = "<text><body>";
  const std::string end = "</body></text>";
  const Case cases[] = {
      {"white space: one blank, none at line ends",
       text + "<p>  un\n\t deux  <lb/>  trois </p>\n<p>quatre</p>" + end, "un deux\rtrois\nquatre\n", "P1@0", ""},
      {"a word across lines, and across pages",
       text + "<p>hu\n <lb break=\"no\"/>\n mains, fa<pb n=\"3v\" break=\"no\"/>\n ces</p>" + end,
       "humains, fa\xb1\xbe" "ces\n", "P1@0 P2@11 F3v@12", ""},
      {"folio labels: f. 12r, 12ra, a plain page, a roman number",
       text + "<pb n=\"f. 12r\"/>a<pb n=\"12rb\"/>b<pb n=\"7\"/>c<pb n=\"iv\"/>d" + end,
       "\xb1\xf2" "a\xb1\xf2" "b\xb1" "c\xb1" "d\n", "P1@0 F12r@1 P2@3 F12r@4 P3@6 P4@8", ""},
      {"marker bytes and = in the transcription open nothing",
       text + "<p>a \xc2\xb1 b = c \xc3\xb2 d \xc2\xbe</p>" + end, "a \xb1 b = c \xf2 d \xbe\n", "P1@0", ""},
      {"a note inside a note is one note; a pb in a note opens nothing",
       text + "<p>mot<note>une <note>deux</note> <pb n=\"9r\"/>trois<lb/>quatre</note> fin</p>" + end,
       "mot\xb9 fin\n", "P1@0", "1:une deux trois\nquatre"},
      {"choice without a layer element keeps its first neutral child; app keeps lem after rdg",
       text + "<p><choice><unclear>a</unclear><unclear>b</unclear></choice> <app><rdg>x</rdg><lem>y</lem></app>"
              " <app><rdg>r1</rdg><rdg>r2</rdg></app></p>" + end,
       "a y r1\n", "P1@0", ""},
      {"fw, figDesc, teiHeader and text outside <text> are not read",
       "<teiHeader><p>en-tete</p></teiHeader><standOff><p>dehors</p></standOff>" + text +
           "<p><fw type=\"catch\">reclame</fw>corps<figure><figDesc>image</figDesc><head>titre</head></figure></p>" +
           end,
       "corps\ntitre\n", "P1@0", ""},
      {"an empty g takes its mapping; with none, its marker alone",
       "<teiHeader><encodingDesc><charDecl><char xml:id=\"c\"><mapping>con</mapping></char>"
       "</charDecl></encodingDesc></teiHeader>" + text + "<p><g ref=\"#c\"/>tre <g ref=\"#x\"/> <g>q</g></p>" + end,
       "\xad" "contre \xad \xadq\n", "P1@0 G1@0 G2@8 G3@10", ""},
      {"sourceDoc when <text> is empty",
       "<sourceDoc><surface n=\"5v\"><graphic url=\"p5v.jpg\"/><zone><line ulx=\"1\" uly=\"2\" lrx=\"3\" lry=\"4\">"
       "ligne un</line><line>ligne deux</line></zone></surface></sourceDoc><text><body><p/></body></text>",
       "\xb1\xbeligne un\rligne deux\n", "P1@0 F5v@1", ""},
      {"<text> wins over sourceDoc",
       "<sourceDoc><surface><zone><line>brouillon</line></zone></surface></sourceDoc>" + text + "<p>texte</p>" +
           end,
       "texte\n", "P1@0", ""},
      {"characters outside code page 1252: 0x81, transliterated, combined, dropped",
       text + "<p>\xea\x9d\xaf x \xc5\xbf e\xcc\x81 a\xe2\x80\x8b" "b</p>" + end, "\x81 x s \xe9 ab\n", "P1@0", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Context ctx;
    Document doc;
    std::string message;
    const std::string xml = "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\">" + c.body + "</TEI>";
    ASSERT_TRUE(ReadXmlDocument(ctx, xml, "", XmlReadOptions{}, doc, &message)) << message;
    EXPECT_EQ(doc.Text(), c.text);
    EXPECT_EQ(test::DescribeMarks(doc.marks), c.marks);
    EXPECT_EQ(test::DescribeNotes(doc.notes), c.notes);
    ASSERT_EQ(doc.pages.size(), static_cast<size_t>(std::count_if(doc.marks.begin(), doc.marks.end(), [](const Mark& m) {
                                  return m.kind == kPageMark;
                                })));
  }
}

// A folder of pages, opened as a document: natural name order, PAGE reading
// order, regions that are not text, marginalia as notes, ALTO margins and
// hyphenation, a METS file and a malformed page reported and passed over.
TEST(XmlReader, FolderOfPages) {
  Context ctx;
  Document doc;
  std::string message;
  ASSERT_TRUE(OpenDocument(ctx, doc, kFixtures + "registre", &message)) << message;
  EXPECT_EQ(doc.Text(),
            "\xb1\xbeItem pai\xe9 a Jehan le ma\xe7on\rpour .xii. journees = .iiij. l.\n"
            "\xb1\xf2Somme toute\rde ceste page.\n\xb9"
            "\xb1\xbe\xb9Pour la couverture du moustier\n");
  EXPECT_EQ(test::DescribeMarks(doc.marks), "P1@0 F9v@1 P2@63 F10r@64 P3@95 F10v@96");
  EXPECT_EQ(test::DescribeNotes(doc.notes), "2:nota|3:pai\xe9");
  ASSERT_EQ(doc.pages.size(), 3u);
  EXPECT_EQ(doc.pages[0].label, "f9v");
  EXPECT_EQ(doc.pages[2].label, "f10v");
  EXPECT_TRUE(EndsWith(doc.pages[2].image, "registre/f10v.tif")) << doc.pages[2].image;
  EXPECT_EQ(Lines(doc.pages[0]), "2:100,100,1900,180 30:100,200,1900,280");
  EXPECT_EQ(Lines(doc.pages[1]), "65:100,300,1900,380 78:100,400,1900,480");
  EXPECT_EQ(Lines(doc.pages[2]), "98:100,200,1900,260 112:100,280,1900,340");
  ASSERT_EQ(doc.warnings.size(), 2u);
  EXPECT_NE(doc.warnings[0].find("f11r.xml\nligne 5, colonne 10"), std::string::npos) << doc.warnings[0];
  EXPECT_NE(doc.warnings[1].find("mets.xml"), std::string::npos);

  // Opened again from its own path, as the window does.
  Document again;
  again.path = kFixtures + "registre";
  ASSERT_TRUE(OpenDocument(ctx, again, again.path, &message)) << message;
  EXPECT_EQ(again.Text(), doc.Text());

  // A rich-text document read into the same model, as a corpus search reuses
  // one, keeps nothing of the pages.
  again.text.clear();
  again.marks.clear();
  again.notes.clear();
  ASSERT_TRUE(OpenDocument(ctx, again, std::string(KALIX_SOURCE_DIR) + "/samples/sample.rtf", &message));
  EXPECT_TRUE(again.pages.empty());
  EXPECT_TRUE(again.warnings.empty());

  // One page file alone is a document of one page.
  Document one;
  ASSERT_TRUE(OpenDocument(ctx, one, kFixtures + "registre/f10v.xml", &message)) << message;
  EXPECT_EQ(one.Text(), "\xb1\xbe\xb9Pour la couverture du moustier\n");
}

// Hostile and broken files: refused with a message naming the place, the
// document left empty; what must never be read is not read.
TEST(XmlReader, HostileFiles) {
  struct Case {
    const char* file;
    bool opens;
    std::string inMessage;
  };
  const Case cases[] = {
      {"hostile/billion-laughs.xml", false, "Expansion d'entit\xe9s refus\xe9" "e"},
      {"hostile/quadratic.xml", false, "Expansion d'entit\xe9s refus\xe9" "e"},
      {"hostile/amplified.xml", false, "Expansion d'entit\xe9s refus\xe9" "e"},
      {"hostile/malformed.xml", false, "malformed.xml\nligne 4, colonne 19 : "},
      {"hostile/unknown-root.xml", false, "ni TEI, ni PAGE, ni ALTO"},
      {"hostile/missing.xml", false, "Fichier non trouv\xe9"},
      {"hostile/passwd-entity.xml", true, ""},
      {"hostile/network-dtd.xml", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Context ctx;
    Document doc;
    doc.text = std::string("old\0", 4);
    std::string message;
    EXPECT_EQ(OpenDocument(ctx, doc, kFixtures + c.file, &message), c.opens);
    EXPECT_EQ(doc.path, kFixtures + c.file);
    if (!c.opens) {
      EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
      EXPECT_TRUE(doc.text.empty());
      EXPECT_TRUE(doc.marks.empty());
      EXPECT_TRUE(doc.pages.empty());
    } else {
      EXPECT_EQ(doc.Text().find("root:"), std::string_view::npos);
      ASSERT_EQ(doc.warnings.size(), 1u);
      EXPECT_NE(doc.warnings[0].find("Entit\xe9 externe non lue"), std::string::npos);
    }
  }
  // A DTD beside the document is read for its entities.
  Context ctx;
  Document doc;
  std::string message;
  ASSERT_TRUE(OpenDocument(ctx, doc, kFixtures + "edition/charte.xml", &message)) << message;
  EXPECT_EQ(doc.Text(), "A tous seigneurs et au roy\n");
}

TEST(XmlReader, FolioLabelsAndNaturalOrder) {
  struct Folio {
    const char* label;
    bool folio;
    int32_t number;
    bool verso;
  };
  const Folio folios[] = {
      {"12r", true, 12, false},  {"12v", true, 12, true},    {"f. 12r", true, 12, false}, {"fol. 3v", true, 3, true},
      {"12ra", true, 12, false}, {"12vb", true, 12, true},   {"012R", true, 12, false},   {"ms_f12v", true, 12, true},
      {"12", false, 0, false},   {"iv", false, 0, false},    {"p. 3", false, 0, false},   {"r", false, 0, false},
      {"page12v", false, 0, false}, {"21v\xb0", true, 21, true},
  };
  for (const Folio& f : folios) {
    SCOPED_TRACE(f.label);
    int32_t number = 0;
    bool verso = false;
    ASSERT_EQ(ParseFolioLabel(f.label, number, verso), f.folio);
    if (f.folio) {
      EXPECT_EQ(number, f.number);
      EXPECT_EQ(verso, f.verso);
    }
  }
  const char* ordered[] = {"PH 1858-3", "PH 1858-10", "f8", "f9", "f09r", "f9v", "f10", "f10r", "g"};
  for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_TRUE(NaturalLess(ordered[i], ordered[i + 1])) << ordered[i] << " < " << ordered[i + 1];
    EXPECT_FALSE(NaturalLess(ordered[i + 1], ordered[i])) << ordered[i + 1] << " !< " << ordered[i];
  }
  EXPECT_FALSE(NaturalLess("f9", "f9"));
}

}  // namespace
}  // namespace kalix
