// Fuzz target: exported tables. The input, cut at its zero bytes, gives the
// cells of a table of three text columns; written as CSV and as TSV, each is
// read back by a strict RFC 4180 reader and must give the same cells (text
// cells with the apostrophe of formula neutralising). Written as XLSX, the
// worksheet inflates to its CRC, holds no byte XML forbids, and gives the
// same cells back once its entities are read (control characters written
// as "_xHHHH_"). The input also serves
// as a document text: the context words of every span that its first bytes
// choose must lie inside the text, end where the span begins and begin where
// it ends.
#include "targets/ExportRows.h"
#include "targets/ExportTable.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Reads records of `separator`-separated fields, CR LF ended; aborts on
// anything RFC 4180 does not allow.
std::vector<std::vector<std::string>> ReadBack(const std::string& text, char separator) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  size_t k = 0;
  while (k < text.size()) {
    if (text[k] == '"') {
      for (++k;; ++k) {
        if (k >= text.size()) std::abort();
        if (text[k] == '"') {
          if (k + 1 < text.size() && text[k + 1] == '"') {
            field += '"';
            ++k;
          } else {
            ++k;
            break;
          }
        } else {
          field += text[k];
        }
      }
    } else {
      while (k < text.size() && text[k] != separator && text[k] != '\r' && text[k] != '\n') {
        if (text[k] == '"') std::abort();
        field += text[k++];
      }
    }
    if (k >= text.size()) std::abort();  // every record ends with CR LF
    if (text[k] == separator) {
      row.push_back(field);
      field.clear();
      ++k;
    } else if (text.compare(k, 2, "\r\n") == 0) {
      row.push_back(field);
      field.clear();
      rows.push_back(row);
      row.clear();
      k += 2;
    } else {
      std::abort();
    }
  }
  return rows;
}

std::string Written(kalix::ExportFormat format, const std::vector<std::vector<std::string>>& rows) {
  kalix::ExportTable table;
  table.Columns = {{"a"}, {"b"}, {"c"}};
  size_t next = 0;
  table.Next = [&](std::vector<std::string>& cells) {
    if (next >= rows.size()) return false;
    cells = rows[next++];
    return true;
  };
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  if (kalix::WriteTable(out, format, table) != kalix::ExportStatus::kWritten) std::abort();
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

uint64_t Le(const std::string& data, size_t at, int bytes) {
  if (at + static_cast<size_t>(bytes) > data.size()) std::abort();
  uint64_t value = 0;
  for (int k = bytes - 1; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(data[at + k]);
  return value;
}

// The first worksheet of an xlsx file, inflated and checked against its CRC.
std::string FirstSheet(const std::string& zip) {
  const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos) std::abort();
  size_t at = Le(zip, end + 16, 4);
  for (size_t e = Le(zip, end + 10, 2); e > 0; --e) {
    const size_t nameLength = Le(zip, at + 28, 2);
    const std::string name = zip.substr(at + 46, nameLength);
    if (name == "xl/worksheets/sheet1.xml") {
      const uint32_t crc = static_cast<uint32_t>(Le(zip, at + 16, 4));
      const size_t compressed = Le(zip, at + 20, 4);
      std::string text(Le(zip, at + 24, 4), '\0');
      const size_t local = Le(zip, at + 42, 4);
      const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
      if (data + compressed > zip.size()) std::abort();
      z_stream z{};
      inflateInit2(&z, -15);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
      z.avail_in = static_cast<uInt>(compressed);
      z.next_out = reinterpret_cast<Bytef*>(text.data());
      z.avail_out = static_cast<uInt>(text.size());
      if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.total_out != text.size()) std::abort();
      inflateEnd(&z);
      if (crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())) != crc) std::abort();
      return text;
    }
    at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
  }
  std::abort();
}

// The text cells of each data row of a worksheet, by column, entities read.
std::vector<std::vector<std::string>> SheetCells(const std::string& sheet, size_t columns) {
  for (char c : sheet) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') std::abort();
  }
  std::vector<std::vector<std::string>> rows;
  size_t at = sheet.find("<row r=\"2\">");
  while (at != std::string::npos && sheet.compare(at, 5, "<row ") == 0) {
    const size_t rowEnd = sheet.find("</row>", at);
    if (rowEnd == std::string::npos) std::abort();
    std::vector<std::string> cells(columns);
    size_t column = 0;
    for (size_t c = sheet.find("<c", at); c < rowEnd; c = sheet.find("<c", c + 2)) {
      const size_t open = sheet.find('>', c);
      const std::string tag = sheet.substr(c, open - c);
      const size_t ref = tag.find(" r=\"");
      if (ref != std::string::npos) column = static_cast<size_t>(tag[ref + 4] - 'A');
      if (column >= columns) std::abort();
      const size_t t = sheet.find("<t", open);
      const size_t from = sheet.find('>', t) + 1;
      const size_t to = sheet.find("</t>", from);
      std::string text;
      for (size_t k = from; k < to; ++k) {
        if (sheet[k] == '<' || sheet[k] == '>') std::abort();
        if (sheet[k] != '&') {
          text += sheet[k];
        } else if (sheet.compare(k, 5, "&amp;") == 0) {
          text += '&', k += 4;
        } else if (sheet.compare(k, 4, "&lt;") == 0) {
          text += '<', k += 3;
        } else if (sheet.compare(k, 4, "&gt;") == 0) {
          text += '>', k += 3;
        } else {
          std::abort();
        }
      }
      cells[column++] = text;
      c = to;
    }
    rows.push_back(cells);
    at = rowEnd + 6;
  }
  return rows;
}

// A text cell as the worksheet holds it: neutralised, control characters
// other than TAB and LF as "_xHHHH_".
std::string AsSheetText(const std::string& cell) {
  std::string out;
  for (char c : kalix::NeutralizeFormula(cell)) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
      char code[8];
      std::snprintf(code, sizeof code, "_x%04X_", static_cast<unsigned char>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::vector<std::string>> rows(1);
  size_t from = 0;
  for (size_t k = 0; k <= input.size(); ++k) {
    if (k < input.size() && input[k] != '\0') continue;
    if (rows.back().size() == 3) rows.emplace_back();
    rows.back().push_back(input.substr(from, k - from));
    from = k + 1;
  }
  while (rows.back().size() < 3) rows.back().emplace_back();

  for (auto [format, separator] : {std::pair{kalix::ExportFormat::kCsv, ','}, std::pair{kalix::ExportFormat::kTsv, '\t'}}) {
    std::string text = Written(format, rows);
    if (format == kalix::ExportFormat::kCsv) {
      if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) std::abort();
      text.erase(0, 3);
    }
    const auto back = ReadBack(text, separator);
    if (back.size() != rows.size() + 1) std::abort();
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < 3; ++c) {
        if (back[r + 1][c] != kalix::NeutralizeFormula(rows[r][c])) std::abort();
      }
    }
  }

  {
    kalix::ExportTable table;
    table.Columns = {{"a"}, {"b"}, {"c"}};
    size_t next = 0;
    table.Next = [&](std::vector<std::string>& cells) {
      if (next >= rows.size()) return false;
      cells = rows[next++];
      return true;
    };
    static const std::string path = "/tmp/fuzz-export-" + std::to_string(::getpid()) + ".xlsx";
    if (kalix::SaveTable(path, kalix::ExportFormat::kXlsx, table) != kalix::ExportStatus::kWritten) std::abort();
    std::ifstream in(path, std::ios::binary);
    const std::string zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    const auto back = SheetCells(FirstSheet(zip), 3);
    if (back.size() != rows.size()) std::abort();
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < 3; ++c) {
        if (back[r][c] != AsSheetText(rows[r][c])) std::abort();
      }
    }
  }

  if (size >= 3) {
    kalix::RuleSet rules = kalix::DefaultRules();
    rules.SeparatorClass[' '] = kalix::kWordSeparator;
    rules.SeparatorClass['.'] = kalix::kSentenceSeparator;
    rules.SeparatorClass['\n'] = kalix::kParagraphSeparator;
    rules.SeparatorClass['\''] = kalix::kSymbol;
    const std::string_view text(input);
    const int32_t start = static_cast<int32_t>(data[0] % size);
    const int32_t end = start + static_cast<int32_t>(data[1] % (size - static_cast<size_t>(start) + 1));
    const kalix::WordContext w = kalix::ContextWords(rules, text, start, end, {data[2] % 16, (data[2] & 16) != 0});
    if (w.Left.data() + w.Left.size() != text.data() + start) std::abort();
    if (w.Right.data() != text.data() + end) std::abort();
    if (w.Left.data() < text.data() || w.Right.data() + w.Right.size() > text.data() + text.size()) std::abort();
  }
  return 0;
}
