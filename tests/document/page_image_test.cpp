// The image of a page: named by an XML document, or found beside any
// document by the page's folio or number.

#include "common/CliProcess.h"
#include "document/PageImage.h"
#include "document/Reader.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kalix {
namespace {

TEST(PageImage, NamesOfImageFiles) {
  struct Case {
    const char* name;
    int32_t folio;
    bool verso;
    int32_t page;
  };
  const Case cases[] = {
      {"012r.jpg", 12, false, 0},  {"f12v.png", 12, true, 0},          {"F012V.TIF", 12, true, 0},
      {"fol_3r.jpeg", 3, false, 0}, {"folio 3v.tiff", 3, true, 0},     {"p003.tif", 0, false, 3},
      {"page_12.png", 0, false, 12}, {"ms_fr_123_f012r.jpg", 12, false, 0}, {"BnF-fr-1-p7.jpg", 0, false, 7},
      {"12.jpg", 0, false, 0},     {"p3v.jpg", 0, false, 0},           {"fr.jpg", 0, false, 0},
      {"f12x.jpg", 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ImageName name = ParseImageName(c.name);
    EXPECT_EQ(name.folio, c.folio);
    EXPECT_EQ(name.verso, c.verso);
    EXPECT_EQ(name.page, c.page);
  }
}

// A rich-text document of three pages, the first two with folio sides, the
// third without: its images are found by folio, then by page number; an XML
// document's own image comes first.
TEST(PageImage, FoundBesideTheDocument) {
  const std::filesystem::path dir = test::ScratchFolder("page_image");
  for (const char* image : {"f001r.jpg", "f1v.png", "p3.tif", "p1.jpg", "notes.txt"}) {
    ASSERT_TRUE(WriteBinaryFile((dir / image).string(), "x"));
  }
  const std::string path = (dir / "doc.txt").string();
  ASSERT_TRUE(WriteBinaryFile(path, "\xb1\xf2un\n\xb1\xbe" "deux\n\xb1trois\n"));
  Context ctx;
  Document doc;
  ASSERT_TRUE(OpenDocument(ctx, doc, path, nullptr));
  EXPECT_EQ(PageImagePath(doc, 1), (dir / "f001r.jpg").string());
  EXPECT_EQ(PageImagePath(doc, 2), (dir / "f1v.png").string());
  EXPECT_EQ(PageImagePath(doc, 3), (dir / "p3.tif").string());  // no folio side on page 3: its number
  EXPECT_EQ(PageImagePath(doc, 4), "");
  doc.pages.resize(3);
  doc.pages[1].image = "/images/given.jpg";
  EXPECT_EQ(PageImagePath(doc, 2), "/images/given.jpg");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kalix
