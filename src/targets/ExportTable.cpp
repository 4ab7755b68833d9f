#include "targets/ExportTable.h"

#include "platform/Parallel.h"

#include <xlsxwriter.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  explicit QuotedBytes(char separator) {
    for (unsigned char c : {static_cast<unsigned char>(separator), static_cast<unsigned char>('"'),
                            static_cast<unsigned char>('\r'), static_cast<unsigned char>('\n')}) {
      quoted[c] = true;
    }
  }
  bool quoted[256] = {};
};

void AppendDelimited(std::string& out, std::string_view cell, const QuotedBytes& bytes) {
  size_t k = 0;
  while (k < cell.size() && !bytes.quoted[static_cast<unsigned char>(cell[k])]) ++k;
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

// The rows of a table with `From`, made in blocks of kBlockRows by two
// threads (one taking the even blocks, one the odd), each row appended to
// its block's text by `append(cells, text)`; the blocks are written in
// order, at most kBlocksAhead of them waiting. Progress is told after each
// block.
constexpr size_t kBlockRows = 4096;
constexpr size_t kBlocksAhead = 6;
constexpr size_t kTwoThreadRows = 4 * kBlockRows;

template <typename Append>
ExportStatus WriteInBlocks(Buffered& buffer, ExportTable& table, const ExportProgress& progress, Append append) {
  const size_t rows = table.RowCount;
  const size_t blocks = (rows + kBlockRows - 1) / kBlockRows;
  std::vector<std::string> made(blocks);
  std::vector<bool> ready(blocks, false);
  std::mutex mutex;
  std::condition_variable changed;
  size_t written = 0;
  bool stop = false;

  auto make = [&](size_t parity) {
    std::vector<std::string> cells(table.Columns.size());
    for (size_t b = parity; b < blocks; b += 2) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || b < written + kBlocksAhead; });
        if (stop) return;
      }
      ExportTable::Producer next = table.From(b * kBlockRows);
      std::string text;
      const size_t count = std::min(kBlockRows, rows - b * kBlockRows);
      for (size_t k = 0; k < count; ++k) {
        for (std::string& c : cells) c.clear();
        if (!next(cells)) break;
        cells.resize(table.Columns.size());
        append(cells, text);
      }
      std::lock_guard<std::mutex> lock(mutex);
      made[b] = std::move(text);
      ready[b] = true;
      changed.notify_all();
    }
  };
  std::thread even(make, 0);
  std::thread odd(make, 1);

  bool stopped = progress && !progress(0, rows);
  for (size_t b = 0; b < blocks && !stopped; ++b) {
    std::string text;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return ready[b]; });
      text = std::move(made[b]);
      written = b + 1;
      changed.notify_all();
    }
    buffer.Flush();
    buffer.Write(text);
    if (progress && !progress(std::min(rows, (b + 1) * kBlockRows), rows)) stopped = true;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    changed.notify_all();
  }
  even.join();
  odd.join();
  if (!buffer.Finish()) return ExportStatus::kCannotWrite;
  return stopped ? ExportStatus::kStopped : ExportStatus::kWritten;
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

struct WorkbookCloser {
  void operator()(lxw_workbook* w) const { workbook_close(w); }
};

ExportStatus WriteXlsx(const std::string& path, ExportTable& table, const ExportProgress& progress) {
  constexpr lxw_row_t kRowsPerSheet = 1048576;  // the header included
  constexpr size_t kCellCharacters = 32767;
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows go to disk as they are written
  options.use_zip64 = LXW_TRUE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (book == nullptr) return ExportStatus::kCannotWrite;
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);

  lxw_worksheet* sheet = nullptr;
  int sheets = 0;
  lxw_row_t row = 0;
  bool ok = true;
  auto newSheet = [&]() {
    ++sheets;
    std::string name = sheets == 1 ? "Kalix" : "Kalix " + std::to_string(sheets);
    sheet = workbook_add_worksheet(book, name.c_str());
    if (sheet == nullptr) {
      ok = false;
      return;
    }
    for (size_t k = 0; k < table.Columns.size(); ++k) {
      const ExportColumn& c = table.Columns[k];
      const lxw_col_t col = static_cast<lxw_col_t>(k);
      worksheet_set_column(sheet, col, col, c.Width, c.Bold ? bold : nullptr);
      worksheet_write_string(sheet, 0, col, c.Name.c_str(), bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    row = 1;
  };
  newSheet();

  RowLoop rows(table, progress);
  std::string cell;
  while (ok && rows.Next()) {
    if (row == kRowsPerSheet) newSheet();
    if (!ok) break;
    for (size_t k = 0; k < table.Columns.size(); ++k) {
      const ExportColumn& c = table.Columns[k];
      const std::string& value = rows.cells()[k];
      const lxw_col_t col = static_cast<lxw_col_t>(k);
      lxw_format* format = c.Bold ? bold : nullptr;
      lxw_error e = LXW_NO_ERROR;
      if (value.empty()) continue;
      if (c.Number) {
        e = worksheet_write_number(sheet, row, col, std::strtod(value.c_str(), nullptr), format);
      } else {
        cell = StartsFormula(value) ? NeutralizeFormula(value) : value;
        cell = std::string(CutCharacters(cell, kCellCharacters));
        e = worksheet_write_string(sheet, row, col, cell.c_str(), format);
      }
      if (e != LXW_NO_ERROR) ok = false;
    }
    ++row;
  }
  const bool finished = ok && rows.Finish();
  const lxw_error closed = workbook_close(book);
  if (!ok || closed != LXW_NO_ERROR) return ExportStatus::kCannotWrite;
  return finished ? ExportStatus::kWritten : ExportStatus::kStopped;
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
