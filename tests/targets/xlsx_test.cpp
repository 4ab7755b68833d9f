// Exported workbooks opened as a reader of zip files does: every entry's
// local header agrees with the central directory and inflates to its CRC
// and size; the worksheet's XML, cell by cell (escapes, formula guard,
// skipped empty cells, cut texts, bold and frozen header, column widths);
// a table made in blocks on two threads gives the same parts as one
// producer, split into a second sheet past the row limit; a stop leaves
// no file.

#include "targets/ExportTable.h"

#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <map>
#include <memory>

using namespace kalix;

namespace {

namespace fs = std::filesystem;

uint64_t Le(const std::string& data, size_t at, int bytes) {
  uint64_t value = 0;
  for (int k = bytes - 1; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(data.at(at + k));
  return value;
}

// The entries of a zip file, by name, inflated and checked.
std::map<std::string, std::string> Unzip(const std::string& path) {
  std::map<std::string, std::string> entries;
  const std::string zip = ReadBinaryFile(path).value_or("");
  const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  EXPECT_NE(end, std::string::npos);
  if (end == std::string::npos) return entries;
  const size_t count = Le(zip, end + 10, 2);
  size_t at = Le(zip, end + 16, 4);
  EXPECT_EQ(at + Le(zip, end + 12, 4), end);  // the directory runs up to its end record
  for (size_t e = 0; e < count; ++e) {
    EXPECT_EQ(Le(zip, at, 4), 0x02014b50u);
    const uint32_t crc = static_cast<uint32_t>(Le(zip, at + 16, 4));
    const size_t compressed = Le(zip, at + 20, 4);
    const size_t size = Le(zip, at + 24, 4);
    const size_t nameLength = Le(zip, at + 28, 2);
    const size_t extra = Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    const size_t local = Le(zip, at + 42, 4);
    const std::string name = zip.substr(at + 46, nameLength);
    at += 46 + nameLength + extra;
    // The local header: the same name, method, CRC and sizes, no data
    // descriptor; its extra field is the padding left for Zip64 sizes.
    EXPECT_EQ(Le(zip, local, 4), 0x04034b50u) << name;
    EXPECT_EQ(Le(zip, local + 6, 2), 0u) << name;
    EXPECT_EQ(Le(zip, local + 8, 2), 8u) << name;
    EXPECT_EQ(Le(zip, local + 14, 4), crc) << name;
    EXPECT_EQ(Le(zip, local + 18, 4), compressed) << name;
    EXPECT_EQ(Le(zip, local + 22, 4), size) << name;
    EXPECT_EQ(zip.substr(local + 30, Le(zip, local + 26, 2)), name);
    const size_t localExtra = Le(zip, local + 28, 2);
    EXPECT_EQ(localExtra, 20u) << name;
    EXPECT_EQ(Le(zip, local + 30 + nameLength, 2), 0xA220u) << name;
    const size_t data = local + 30 + nameLength + localExtra;

    std::string text(size, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
    z.avail_in = static_cast<uInt>(compressed);
    z.next_out = reinterpret_cast<Bytef*>(text.data());
    z.avail_out = static_cast<uInt>(size);
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << name;  // one stream, ended
    EXPECT_EQ(z.total_out, size) << name;
    EXPECT_EQ(z.avail_in, 0u) << name;
    inflateEnd(&z);
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())), crc) << name;
    entries[name] = std::move(text);
  }
  return entries;
}

ExportTable Fixed(std::vector<ExportColumn> columns, std::vector<std::vector<std::string>> rows) {
  ExportTable table;
  table.Columns = std::move(columns);
  table.RowCount = rows.size();
  auto all = std::make_shared<std::vector<std::vector<std::string>>>(std::move(rows));
  auto next = std::make_shared<size_t>(0);
  table.Next = [all, next](std::vector<std::string>& cells) {
    if (*next >= all->size()) return false;
    cells = (*all)[(*next)++];
    return true;
  };
  return table;
}

class Xlsx : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kalix_xlsx_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(Xlsx, PartsAndCells) {
  std::string long1;
  for (int k = 0; k < 40000; ++k) long1 += "\xc3\xa9";  // é, past the cell's 32,767 characters
  ExportTable table = Fixed({{"text", false, 16, false}, {"n", true, 6, false}, {"match", false, 12.5, true}},
                            {{"=1+1", "42", "a<b&c>\x01" "d\te"},
                             {"", "", " x "},
                             {"-", "-7", "y "},
                             {long1, "", ""}});
  ASSERT_EQ(SaveTable(Path("t.xlsx"), ExportFormat::kXlsx, table), ExportStatus::kWritten);
  std::map<std::string, std::string> parts = Unzip(Path("t.xlsx"));
  for (const char* name : {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                           "xl/styles.xml", "xl/worksheets/sheet1.xml"}) {
    EXPECT_EQ(parts.count(name), 1u) << name;
  }
  EXPECT_EQ(parts.size(), 6u);
  EXPECT_NE(parts["xl/workbook.xml"].find("<sheet name=\"Kalix\" sheetId=\"1\" r:id=\"rId1\"/>"), std::string::npos);
  EXPECT_NE(parts["xl/_rels/workbook.xml.rels"].find("Id=\"rId2\""), std::string::npos);  // the styles
  EXPECT_NE(parts["xl/styles.xml"].find("<font><b/>"), std::string::npos);
  EXPECT_NE(parts["[Content_Types].xml"].find("/xl/worksheets/sheet1.xml"), std::string::npos);

  const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  for (const char* piece : {
           "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>",
           "<cols><col min=\"1\" max=\"1\" width=\"16.7109375\" customWidth=\"1\"/>"
           "<col min=\"2\" max=\"2\" width=\"6.7109375\" customWidth=\"1\"/>"
           "<col min=\"3\" max=\"3\" width=\"13.28515625\" style=\"1\" customWidth=\"1\"/></cols>",
           // The header in bold.
           "<sheetData><row r=\"1\"><c s=\"1\" t=\"inlineStr\"><is><t>text</t></is></c><c s=\"1\" "
           "t=\"inlineStr\"><is><t>n</t></is></c><c s=\"1\" t=\"inlineStr\"><is><t>match</t></is></c></row>",
           // A formula guarded, a number, entities, a control character
           // as Excel escapes it, a TAB kept, the bold column.
           "<row r=\"2\"><c t=\"inlineStr\"><is><t>'=1+1</t></is></c><c><v>42</v></c><c s=\"1\" "
           "t=\"inlineStr\"><is><t>a&lt;b&amp;c&gt;_x0001_d\te</t></is></c></row>",
           // Empty cells left out: the next one names its place; blanks
           // at the ends kept.
           "<row r=\"3\"><c r=\"C3\" s=\"1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> x </t></is></c></row>",
           "<row r=\"4\"><c t=\"inlineStr\"><is><t>'-</t></is></c><c><v>-7</v></c><c s=\"1\" "
           "t=\"inlineStr\"><is><t xml:space=\"preserve\">y </t></is></c></row>",
           "</sheetData>"}) {
    EXPECT_NE(sheet.find(piece), std::string::npos) << piece;
  }
  // The long cell cut to 32,767 characters.
  const size_t from = sheet.find("<row r=\"5\"><c t=\"inlineStr\"><is><t>");
  ASSERT_NE(from, std::string::npos);
  const size_t text = sheet.find("<t>", from) + 3;
  EXPECT_EQ(sheet.find("</t></is></c></row>", text) - text, 32767u * 2);
}

TEST_F(Xlsx, BlocksOnTwoThreadsAsOneProducerPastTheRowLimit) {
  // Rows made from any row on: written in blocks by two threads and by one
  // producer, the parts are the same; the rows past 1,048,575 go to a
  // second sheet "Kalix 2" with its own header.
  const size_t rows = 1048575 + 5000;
  auto make = [](size_t first) {
    auto row = std::make_shared<size_t>(first);
    return ExportTable::Producer([row, rows](std::vector<std::string>& cells) {
      if (*row >= rows) return false;
      cells[0] = *row % 5 == 0 ? "=r" : "r";
      cells[1] = std::to_string(*row);
      ++*row;
      return true;
    });
  };
  ExportTable one;
  one.Columns = {{"text"}, {"n", true}};
  one.RowCount = rows;
  one.Next = make(0);
  ExportTable blocks = one;
  blocks.Next = make(0);
  blocks.From = make;
  ASSERT_EQ(SaveTable(Path("one.xlsx"), ExportFormat::kXlsx, one), ExportStatus::kWritten);
  size_t lastDone = 0;
  ASSERT_EQ(SaveTable(Path("blocks.xlsx"), ExportFormat::kXlsx, blocks,
                      [&](size_t done, size_t total) {
                        EXPECT_EQ(total, rows);
                        lastDone = done;
                        return true;
                      }),
            ExportStatus::kWritten);
  EXPECT_EQ(lastDone, rows);
  const std::map<std::string, std::string> a = Unzip(Path("one.xlsx"));
  const std::map<std::string, std::string> b = Unzip(Path("blocks.xlsx"));
  ASSERT_EQ(a.size(), 7u);
  EXPECT_TRUE(a == b);
  const std::string& second = a.at("xl/worksheets/sheet2.xml");
  EXPECT_NE(second.find("<row r=\"1\"><c s=\"1\" t=\"inlineStr\"><is><t>text</t></is></c>"), std::string::npos);
  EXPECT_NE(second.find("<row r=\"2\"><c t=\"inlineStr\"><is><t>'=r</t></is></c><c><v>1048575</v></c></row>"),
            std::string::npos);
  EXPECT_NE(second.find("<row r=\"5001\"><c t=\"inlineStr\"><is><t>r</t></is></c><c><v>1053574</v></c></row>"
                        "</sheetData>"),
            std::string::npos);
  EXPECT_EQ(second.find("tabSelected"), std::string::npos);
  EXPECT_NE(a.at("xl/worksheets/sheet1.xml").find("<row r=\"1048576\">"), std::string::npos);
  EXPECT_NE(a.at("xl/workbook.xml").find("<sheet name=\"Kalix 2\" sheetId=\"2\" r:id=\"rId2\"/>"), std::string::npos);

  // Stopped after the first block: no file.
  ExportTable stopped = blocks;
  stopped.Next = make(0);
  EXPECT_EQ(SaveTable(Path("stopped.xlsx"), ExportFormat::kXlsx, stopped,
                      [](size_t done, size_t) { return done == 0; }),
            ExportStatus::kStopped);
  EXPECT_FALSE(fs::exists(Path("stopped.xlsx")));
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 2u);
}

}  // namespace
