#include "targets/ExportTable.h"

#include "platform/Parallel.h"

#include "targets/ZipFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kalix {
namespace {

constexpr size_t kProgressEvery = 4096;
constexpr size_t kFlushAt = size_t{1} << 16;

// The rows of a table, told to `progress` every few thousand; false when the
// progress asked to stop.
class RowLoop {
 public:
  RowLoop(ExportTable& table, const ExportProgress& progress) : table_(table), progress_(progress) {
    cells_.resize(table.Columns.size());
  }
  // The next row into `cells()`; false at the end or when stopped.
  bool Next() {
    if (progress_ && done_ % kProgressEvery == 0 && !progress_(done_, table_.RowCount)) {
      stopped_ = true;
      return false;
    }
    for (std::string& c : cells_) c.clear();
    if (!table_.Next || !table_.Next(cells_)) return false;
    cells_.resize(table_.Columns.size());
    ++done_;
    return true;
  }
  // At the end: the last progress report.
  bool Finish() {
    if (stopped_) return false;
    if (progress_ && !progress_(done_, table_.RowCount)) stopped_ = true;
    return !stopped_;
  }
  const std::vector<std::string>& cells() const { return cells_; }
  bool Stopped() const { return stopped_; }

 private:
  ExportTable& table_;
  const ExportProgress& progress_;
  std::vector<std::string> cells_;
  size_t done_ = 0;
  bool stopped_ = false;
};

// Output in blocks to a stream; remembers a write error.
class Buffered {
 public:
  explicit Buffered(std::FILE* out) : out_(out) { buffer_.reserve(kFlushAt * 2); }
  std::string& Text() { return buffer_; }
  void MaybeFlush() {
    if (buffer_.size() >= kFlushAt) Flush();
  }
  bool Flush() {
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) ok_ = false;
    buffer_.clear();
    return ok_;
  }
  bool Finish() { return Flush() && std::fflush(out_) == 0 && ok_; }
  // Writes `text` at once (after what is buffered).
  void Write(const std::string& text) {
    Flush();
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), out_) != text.size()) ok_ = false;
  }

 private:
  std::FILE* out_;
  std::string buffer_;
  bool ok_ = true;
};

bool StartsFormula(std::string_view cell) {
  if (cell.empty()) return false;
  char c = cell[0];
  return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// The bytes that make a field quoted: the separator, a double quote, CR, LF.
struct QuotedBytes {
  explicit QuotedBytes(char separatorByte) : separator(separatorByte) {
    for (unsigned char c : {static_cast<unsigned char>(separatorByte), static_cast<unsigned char>('"'),
                            static_cast<unsigned char>('\r'), static_cast<unsigned char>('\n')}) {
      quoted[c] = true;
    }
  }
  char separator;
  bool quoted[256] = {};
};

// The index of the first byte of `cell` that makes it quoted, or its size.
size_t FirstQuoted(std::string_view cell, const QuotedBytes& bytes) {
  size_t k = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: the separator, '"', CR and LF.
  const __m128i separator = _mm_set1_epi8(bytes.separator);
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; k + 16 <= cell.size(); k += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cell.data() + k));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, separator), _mm_cmpeq_epi8(b, quote)),
                                     _mm_or_si128(_mm_cmpeq_epi8(b, cr), _mm_cmpeq_epi8(b, lf)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (k < cell.size() && !bytes.quoted[static_cast<unsigned char>(cell[k])]) ++k;
  return k;
}

void AppendDelimited(std::string& out, std::string_view cell, const QuotedBytes& bytes) {
  const size_t k = FirstQuoted(cell, bytes);
  if (k == cell.size()) {
    out += cell;
    return;
  }
  out += '"';
  for (size_t from = 0;;) {
    const size_t quote = cell.find('"', from);
    if (quote == std::string_view::npos) {
      out.append(cell.substr(from));
      break;
    }
    out.append(cell.substr(from, quote + 1 - from));
    out += '"';
    from = quote + 1;
  }
  out += '"';
}

void AppendDelimitedRecord(std::string& out, const std::vector<ExportColumn>& columns,
                           const std::vector<std::string>& cells, char separator, const QuotedBytes& quoted,
                           bool header) {
  for (size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) out += separator;
    const std::string& cell = header ? columns[k].Name : cells[k];
    if (!columns[k].Number && StartsFormula(cell)) {
      AppendDelimited(out, NeutralizeFormula(cell), quoted);
    } else {
      AppendDelimited(out, cell, quoted);
    }
  }
  out += "\r\n";
}

// The rows [first, last) of a table with `From`, made in blocks of
// kBlockRows by this thread and one other, each taking the next block not
// yet taken, so that neither waits for the other when one is slowed; each
// thread makes its blocks with a worker of its own, `makeWorker()`, called
// as worker(next, count, row, block) to make `count` rows from `next`, the
// first of them row `row` of the table, into `block`. The blocks are given
// to `sink` on this thread in order, as soon as they are ready (between
// blocks this thread makes), at most kBlocksAhead of them waiting; their
// buffers are used again. Progress is told before the first block and
// after each one; false when it asked to stop.
constexpr size_t kBlockRows = 4096;
constexpr size_t kBlocksAhead = 8;
constexpr size_t kTwoThreadRows = 4 * kBlockRows;

template <typename MakeWorker, typename Sink>
bool RunInBlocks(ExportTable& table, size_t first, size_t last, const ExportProgress& progress,
                 MakeWorker makeWorker, Sink sink) {
  const size_t rows = last - first;
  const size_t blocks = (rows + kBlockRows - 1) / kBlockRows;
  std::vector<DeflatedPiece> made(blocks);
  std::vector<bool> ready(blocks, false);
  std::vector<std::string> spare;  // buffers of written blocks
  std::mutex mutex;
  std::condition_variable changed;
  size_t taken = 0;    // blocks taken by a thread to make
  size_t written = 0;  // blocks given to `sink`
  bool stop = false;

  // Under the lock: the next block to make and a buffer for it, or false
  // when none may be taken now.
  auto take = [&](size_t& b, DeflatedPiece& block) {
    if (stop || taken >= blocks || taken >= written + kBlocksAhead) return false;
    b = taken++;
    if (!spare.empty()) {
      block.Bytes = std::move(spare.back());
      spare.pop_back();
    }
    return true;
  };
  auto makeOne = [&](auto& worker, size_t b, DeflatedPiece& block) {
    const size_t row = first + b * kBlockRows;
    ExportTable::Producer next = table.From(row);
    block.Bytes.clear();
    worker(next, std::min(kBlockRows, last - row), row, block);
  };
  auto finished = [&](size_t b, DeflatedPiece& block) {
    made[b] = std::move(block);
    block = DeflatedPiece();
    ready[b] = true;
    changed.notify_all();
  };

  std::thread helper([&] {
    auto worker = makeWorker();
    DeflatedPiece block;
    for (;;) {
      size_t b = 0;
      bool got = false;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || taken >= blocks || (got = take(b, block)); });
        if (!got) return;
      }
      makeOne(worker, b, block);
      std::lock_guard<std::mutex> lock(mutex);
      finished(b, block);
    }
  });

  auto worker = makeWorker();
  bool stopped = progress && !progress(first, table.RowCount);
  while (!stopped && written < blocks) {
    DeflatedPiece block;
    size_t b = 0;
    bool mine = false;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return ready[written] || (mine = take(b, block)); });
      if (!mine) {
        block = std::move(made[written]);
        ++written;
        changed.notify_all();
      }
    }
    if (mine) {
      makeOne(worker, b, block);
      std::lock_guard<std::mutex> lock(mutex);
      finished(b, block);
      continue;
    }
    sink(block);
    {
      std::lock_guard<std::mutex> lock(mutex);
      spare.push_back(std::move(block.Bytes));
    }
    if (progress && !progress(std::min(last, first + written * kBlockRows), table.RowCount)) stopped = true;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    changed.notify_all();
  }
  helper.join();
  return !stopped;
}

// RunInBlocks over the whole of a table in a text format: each row
// appended to its block by `append(cells, text)`, the blocks written to
// `buffer`.
template <typename Append>
ExportStatus WriteInBlocks(Buffered& buffer, ExportTable& table, const ExportProgress& progress, Append append) {
  const size_t columns = table.Columns.size();
  auto makeWorker = [&]() {
    return [&, cells = std::vector<std::string>(columns)](ExportTable::Producer& next, size_t count, size_t,
                                                         DeflatedPiece& block) mutable {
      for (size_t k = 0; k < count; ++k) {
        for (std::string& c : cells) c.clear();
        if (!next(cells)) break;
        cells.resize(columns);
        append(cells, block.Bytes);
      }
    };
  };
  buffer.Flush();
  const bool done = RunInBlocks(table, 0, table.RowCount, progress, makeWorker,
                                [&](const DeflatedPiece& block) { buffer.Write(block.Bytes); });
  if (!buffer.Finish()) return ExportStatus::kCannotWrite;
  return done ? ExportStatus::kWritten : ExportStatus::kStopped;
}

bool InBlocks(const ExportTable& table) {
  return table.From && table.RowCount >= kTwoThreadRows && HasSecondProcessor();
}

ExportStatus WriteDelimited(std::FILE* out, ExportTable& table, char separator, const ExportProgress& progress) {
  Buffered buffer(out);
  if (separator == ',') buffer.Text() += "\xEF\xBB\xBF";
  const QuotedBytes quoted(separator);
  AppendDelimitedRecord(buffer.Text(), table.Columns, {}, separator, quoted, true);
  if (InBlocks(table)) {
    return WriteInBlocks(buffer, table, progress, [&](const std::vector<std::string>& cells, std::string& text) {
      AppendDelimitedRecord(text, table.Columns, cells, separator, quoted, false);
    });
  }
  RowLoop rows(table, progress);
  while (rows.Next()) {
    AppendDelimitedRecord(buffer.Text(), table.Columns, rows.cells(), separator, quoted, false);
    buffer.MaybeFlush();
  }
  if (!buffer.Finish()) return ExportStatus::kCannotWrite;
  return rows.Finish() ? ExportStatus::kWritten : ExportStatus::kStopped;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void AppendJsonRecord(std::string& text, const std::vector<ExportColumn>& columns,
                      const std::vector<std::string>& cells) {
  text += '{';
  for (size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) text += ", ";
    AppendJsonString(text, columns[k].Name);
    text += ": ";
    const std::string& cell = cells[k];
    if (columns[k].Number && !cell.empty()) {
      text += cell;
    } else if (columns[k].Number) {
      text += "null";
    } else {
      AppendJsonString(text, cell);
    }
  }
  text += "}\n";
}

ExportStatus WriteJsonLines(std::FILE* out, ExportTable& table, const ExportProgress& progress) {
  Buffered buffer(out);
  if (InBlocks(table)) {
    return WriteInBlocks(buffer, table, progress, [&](const std::vector<std::string>& cells, std::string& text) {
      AppendJsonRecord(text, table.Columns, cells);
    });
  }
  RowLoop rows(table, progress);
  while (rows.Next()) {
    AppendJsonRecord(buffer.Text(), table.Columns, rows.cells());
    buffer.MaybeFlush();
  }
  if (!buffer.Finish()) return ExportStatus::kCannotWrite;
  return rows.Finish() ? ExportStatus::kWritten : ExportStatus::kStopped;
}

// The longest prefix of UTF-8 `text` with at most `limit` characters.
std::string_view CutCharacters(std::string_view text, size_t limit) {
  size_t count = 0;
  for (size_t k = 0; k < text.size(); ++k) {
    if ((static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) continue;
    if (count == limit) return text.substr(0, k);
    ++count;
  }
  return text;
}

// XLSX: a zip of a few XML parts; each worksheet holds its rows with
// their strings inline, so that it is written as its rows come.
constexpr size_t kRowsPerSheet = 1048576;  // the header included
constexpr size_t kCellCharacters = 32767;

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char kPackageRelNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";

// What a text cell's bytes become in XML: 0 as they are, 1 an entity, 2 a
// control character written "_xHHHH_" (XML cannot hold it).
const std::array<uint8_t, 256>& XmlEscapes() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 0x20; ++c) t[static_cast<size_t>(c)] = 2;
    t['\t'] = 0;
    t['\n'] = 0;
    t['&'] = 1;
    t['<'] = 1;
    t['>'] = 1;
    return t;
  }();
  return table;
}

// The index of the first byte from `k` on that AppendXmlText escapes, or
// the size of `text`.
size_t NextEscaped(std::string_view text, size_t k) {
  const std::array<uint8_t, 256>& escapes = XmlEscapes();
#if defined(__SSE2__)
  // Sixteen bytes at a time: "&", "<", ">", and below the blank (as
  // unsigned bytes) but TAB and LF.
  const __m128i amp = _mm_set1_epi8('&'), lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>');
  const __m128i blank = _mm_set1_epi8(' '), zero = _mm_setzero_si128();
  const __m128i tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n');
  for (; k + 16 <= text.size(); k += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + k));
    const __m128i control = _mm_andnot_si128(_mm_or_si128(_mm_cmplt_epi8(b, zero), _mm_or_si128(
                                                 _mm_cmpeq_epi8(b, tab), _mm_cmpeq_epi8(b, lf))),
                                             _mm_cmplt_epi8(b, blank));
    const __m128i hit = _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(b, amp),
                                                           _mm_or_si128(_mm_cmpeq_epi8(b, lt), _mm_cmpeq_epi8(b, gt))));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return k + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (k < text.size() && escapes[static_cast<unsigned char>(text[k])] == 0) ++k;
  return k;
}

void AppendXmlText(std::string& out, std::string_view text) {
  size_t from = 0;
  for (size_t k = NextEscaped(text, 0); k < text.size(); k = NextEscaped(text, k + 1)) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    out.append(text.data() + from, k - from);
    from = k + 1;
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "_x%04X_", c);
      out += code;
    }
  }
  out.append(text.data() + from, text.size() - from);
}

// A column's letters: A, B, ..., Z, AA, ...
std::string ColumnLetters(size_t column) {
  std::string letters;
  for (size_t n = column + 1; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Appends a string literal, its length known here.
template <size_t N>
void Put(std::string& out, const char (&literal)[N]) {
  out.append(literal, N - 1);
}

// The rows of a worksheet as XML.
class SheetRows {
 public:
  explicit SheetRows(const std::vector<ExportColumn>& columns) : columns_(columns) {
    for (size_t k = 0; k < columns.size(); ++k) letters_.push_back(ColumnLetters(k));
  }

  // Row `number` (1 for the header) of `cells`, or of the column names.
  void Append(std::string& xml, size_t number, const std::vector<std::string>* cells) {
    Put(xml, "<row r=\"");
    AppendCount(xml, number);
    Put(xml, "\">");
    bool skipped = false;  // a cell before was empty: this one names its place
    for (size_t k = 0; k < columns_.size(); ++k) {
      const ExportColumn& c = columns_[k];
      const std::string& value = cells != nullptr ? (*cells)[k] : c.Name;
      if (value.empty()) {
        skipped = true;
        continue;
      }
      Put(xml, "<c");
      if (skipped) {
        Put(xml, " r=\"");
        xml += letters_[k];
        AppendCount(xml, number);
        xml += '"';
        skipped = false;
      }
      if (cells == nullptr || c.Bold) Put(xml, " s=\"1\"");
      if (cells != nullptr && c.Number) {
        Put(xml, "><v>");
        AppendNumberText(xml, value);
        Put(xml, "</v></c>");
        continue;
      }
      Put(xml, " t=\"inlineStr\"><is><t");
      const bool apostrophe = cells != nullptr && StartsFormula(value);
      std::string_view text = value;
      if (text.size() > kCellCharacters - 1) text = CutCharacters(text, kCellCharacters - (apostrophe ? 1 : 0));
      if ((!apostrophe && IsBlank(text.front())) || IsBlank(text.back())) Put(xml, " xml:space=\"preserve\"");
      xml += '>';
      if (apostrophe) xml += '\'';
      AppendXmlText(xml, text);
      Put(xml, "</t></is></c>");
    }
    Put(xml, "</row>");
  }

 private:
  static void AppendCount(std::string& out, size_t n) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, n).ptr;
    out.append(buffer, end);
  }
  // A number cell: its decimal digits as they are, anything else as the
  // number it starts with.
  static void AppendNumberText(std::string& out, const std::string& value) {
    const size_t digits = value[0] == '-' ? 1 : 0;
    if (value.size() > digits && value.size() - digits <= 15 &&
        value.find_first_not_of("0123456789", digits) == std::string::npos) {
      out += value;
      return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.16G", std::strtod(value.c_str(), nullptr));
    out += buffer;
  }

  const std::vector<ExportColumn>& columns_;
  std::vector<std::string> letters_;
};

// A column's width as the file gives it: characters of the widest digit
// with the cell's padding, in 256ths.
double ColumnWidth(double characters) {
  if (characters <= 0) return 0;
  return std::floor((std::floor(characters * 7 + 0.5) + 5) / 7 * 256) / 256;
}

std::string SheetStart(const std::vector<ExportColumn>& columns, bool selected) {
  std::string xml = kXmlHead;
  xml += "<worksheet xmlns=\"";
  xml += kMainNs;
  xml += "\" xmlns:r=\"";
  xml += kRelNs;
  xml += "\"><sheetViews><sheetView";
  if (selected) xml += " tabSelected=\"1\"";
  xml += " workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
         "<selection pane=\"bottomLeft\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
  if (!columns.empty()) {
    xml += "<cols>";
    for (size_t k = 0; k < columns.size(); ++k) {
      char col[160];
      std::snprintf(col, sizeof col, "<col min=\"%zu\" max=\"%zu\" width=\"%.16g\"%s customWidth=\"1\"/>", k + 1,
                    k + 1, ColumnWidth(columns[k].Width), columns[k].Bold ? " style=\"1\"" : "");
      xml += col;
    }
    xml += "</cols>";
  }
  xml += "<sheetData>";
  SheetRows(columns).Append(xml, 1, nullptr);
  return xml;
}

const char kSheetEnd[] =
    "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
    "footer=\"0.3\"/></worksheet>";

std::string SheetName(size_t sheet) { return sheet == 1 ? "Kalix" : "Kalix " + std::to_string(sheet); }

// The parts of the workbook beside its worksheets.
void AddWorkbookParts(ZipWriter& zip, size_t sheets) {
  std::string types = kXmlHead;
  types +=
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
  for (size_t s = 1; s <= sheets; ++s) {
    types += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(s) +
             ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  }
  types += "</Types>";
  zip.BeginEntry("[Content_Types].xml");
  zip.AddText(types);

  zip.BeginEntry("_rels/.rels");
  zip.AddText(std::string(kXmlHead) + "<Relationships xmlns=\"" + kPackageRelNs +
              "\"><Relationship Id=\"rId1\" "
              "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
              "Target=\"xl/workbook.xml\"/></Relationships>");

  std::string book = std::string(kXmlHead) + "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs +
                     "\"><bookViews><workbookView/></bookViews><sheets>";
  std::string rels = std::string(kXmlHead) + "<Relationships xmlns=\"" + kPackageRelNs + "\">";
  for (size_t s = 1; s <= sheets; ++s) {
    const std::string n = std::to_string(s);
    book += "<sheet name=\"" + SheetName(s) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
            "Target=\"worksheets/sheet" + n + ".xml\"/>";
  }
  book += "</sheets></workbook>";
  rels += "<Relationship Id=\"rId" + std::to_string(sheets + 1) +
          "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
          "Target=\"styles.xml\"/></Relationships>";
  zip.BeginEntry("xl/workbook.xml");
  zip.AddText(book);
  zip.BeginEntry("xl/_rels/workbook.xml.rels");
  zip.AddText(rels);

  // Style 0 plain, style 1 bold.
  zip.BeginEntry("xl/styles.xml");
  zip.AddText(std::string(kXmlHead) + "<styleSheet xmlns=\"" + kMainNs +
              "\"><fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
              "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
              "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
              "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
              "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
              "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
              "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
              "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/></cellXfs>"
              "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
              "</styleSheet>");
  zip.EndEntry();
}

constexpr size_t kXmlPiece = size_t{1} << 20;

ExportStatus WriteXlsx(const std::string& path, ExportTable& table, const ExportProgress& progress) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return ExportStatus::kCannotWrite;
  std::setvbuf(out, nullptr, _IOFBF, size_t{1} << 20);
  const std::vector<ExportColumn>& columns = table.Columns;
  const size_t perSheet = kRowsPerSheet - 1;
  ZipWriter zip(out);
  size_t sheets = 0;
  auto startSheet = [&]() {
    ++sheets;
    zip.BeginEntry("xl/worksheets/sheet" + std::to_string(sheets) + ".xml");
    zip.AddText(SheetStart(columns, sheets == 1));
  };
  auto endSheet = [&]() {
    zip.AddText(kSheetEnd);
    zip.EndEntry();
  };

  bool stopped = false;
  if (InBlocks(table)) {
    // Each thread makes its blocks' XML and deflates it.
    auto makeWorker = [&]() {
      return [&, cells = std::vector<std::string>(columns.size()), xml = std::string(), rows = SheetRows(columns),
              deflater = std::make_shared<PieceDeflater>()](ExportTable::Producer& next, size_t count, size_t row,
                                                             DeflatedPiece& block) mutable {
        xml.clear();
        for (size_t k = 0; k < count; ++k) {
          for (std::string& c : cells) c.clear();
          if (!next(cells)) break;
          cells.resize(columns.size());
          rows.Append(xml, (row + k) % perSheet + 2, &cells);
        }
        deflater->Deflate(xml, block);
      };
    };
    for (size_t first = 0; !stopped && (first == 0 || first < table.RowCount); first += perSheet) {
      startSheet();
      stopped = !RunInBlocks(table, first, std::min(table.RowCount, first + perSheet), progress, makeWorker,
                             [&](const DeflatedPiece& block) { zip.Add(block); });
      endSheet();
    }
  } else {
    SheetRows rows(columns);
    RowLoop loop(table, progress);
    std::string xml;
    size_t inSheet = 0;
    startSheet();
    while (loop.Next()) {
      if (inSheet == perSheet) {
        zip.AddText(xml);
        xml.clear();
        endSheet();
        startSheet();
        inSheet = 0;
      }
      rows.Append(xml, inSheet + 2, &loop.cells());
      ++inSheet;
      if (xml.size() >= kXmlPiece) {
        zip.AddText(xml);
        xml.clear();
      }
    }
    zip.AddText(xml);
    endSheet();
    stopped = !loop.Finish();
  }
  if (!stopped) AddWorkbookParts(zip, sheets);
  const bool ok = zip.Finish();
  if (std::fclose(out) != 0 || !ok) return ExportStatus::kCannotWrite;
  return stopped ? ExportStatus::kStopped : ExportStatus::kWritten;
}

// The folder of a path, with its final "/" ("" for a bare name).
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new, empty temporary file beside `path`, with the permissions a new
// file gets; its name, or nullopt.
std::optional<std::string> MakeTemporaryBeside(const std::string& path) {
  std::string name = FolderOf(path) + ".kalix-export-XXXXXX";
  int fd = ::mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return name;
}

}  // namespace

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
  for (ExportFormat f : {ExportFormat::kCsv, ExportFormat::kTsv, ExportFormat::kXlsx, ExportFormat::kJsonLines}) {
    if (name == ExportFormatName(f)) return f;
  }
  return std::nullopt;
}

const char* ExportFormatName(ExportFormat format) {
  switch (format) {
    case ExportFormat::kCsv: return "csv";
    case ExportFormat::kTsv: return "tsv";
    case ExportFormat::kXlsx: return "xlsx";
    case ExportFormat::kJsonLines: return "jsonl";
  }
  return "";
}

std::string NeutralizeFormula(std::string_view cell) {
  if (!StartsFormula(cell)) return std::string(cell);
  std::string out = "'";
  out += cell;
  return out;
}

ExportStatus WriteTable(std::FILE* out, ExportFormat format, ExportTable& table, const ExportProgress& progress) {
  switch (format) {
    case ExportFormat::kCsv: return WriteDelimited(out, table, ',', progress);
    case ExportFormat::kTsv: return WriteDelimited(out, table, '\t', progress);
    case ExportFormat::kJsonLines: return WriteJsonLines(out, table, progress);
    case ExportFormat::kXlsx: break;
  }
  return ExportStatus::kCannotWrite;
}

ExportStatus SaveTable(const std::string& path, ExportFormat format, ExportTable& table,
                       const ExportProgress& progress) {
  std::optional<std::string> temporary = MakeTemporaryBeside(path);
  if (!temporary) return ExportStatus::kCannotWrite;
  ExportStatus status = ExportStatus::kCannotWrite;
  if (format == ExportFormat::kXlsx) {
    status = WriteXlsx(*temporary, table, progress);
  } else if (std::FILE* out = std::fopen(temporary->c_str(), "wb")) {
    status = WriteTable(out, format, table, progress);
    if (std::fclose(out) != 0 && status == ExportStatus::kWritten) status = ExportStatus::kCannotWrite;
  }
  if (status == ExportStatus::kWritten && std::rename(temporary->c_str(), path.c_str()) != 0) {
    status = ExportStatus::kCannotWrite;
  }
  if (status != ExportStatus::kWritten) std::remove(temporary->c_str());
  return status;
}

}  // namespace kalix
