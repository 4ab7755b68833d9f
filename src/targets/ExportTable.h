// Tables that leave the program: a header of named columns and rows of
// cells, written as CSV, TSV, XLSX or JSON Lines. The rows are made one at
// a time by their producer and written at once, so a table of a million
// rows never stands in memory.
//
// Cells are UTF-8. A column is either text or a number (a decimal integer,
// written as a number in XLSX and JSON Lines).
//
// The formats:
//   csv    RFC 4180: UTF-8 with a byte-order mark (so that spreadsheets read
//          accents right), fields separated by ",", every record (the header
//          included) ended by CR LF; a field that holds a ",", a double
//          quote, a CR or a LF is put in double quotes, its quotes doubled.
//   tsv    the same with a TAB as separator and no byte-order mark; a field
//          that holds a TAB, a double quote, a CR or a LF is quoted as in
//          csv (what spreadsheets, Python's csv module and R read back).
//   xlsx   one worksheet "Kalix" (more, "Kalix 2"..., past the row limit of
//          the format), the header row in bold and frozen, each column its
//          width, bold columns bold; text cells are strings, never formulas,
//          cut to the format's 32,767 characters, written inline in the
//          sheet (control characters other than TAB and LF as Excel's
//          "_xHHHH_"); empty cells are left out.
//   jsonl  one JSON object per row and a LF, the column names as keys in
//          column order; texts as strings, numbers as numbers.
//
// Formula neutralising: a text cell of csv, tsv or xlsx that starts with
// "=", "+", "-", "@", a TAB or a CR gets an apostrophe before it, so that a
// spreadsheet shows it as text and never runs it as a formula ("=1+1" is
// written "'=1+1"). Number cells and JSON Lines are written as they are.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

enum class ExportFormat : int { kCsv = 0, kTsv = 1, kXlsx = 2, kJsonLines = 3 };

// "csv", "tsv", "xlsx", "jsonl": the format of a name, or nullopt.
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);
// The name of a format, which is also its file name extension.
const char* ExportFormatName(ExportFormat format);

struct ExportColumn {
  std::string Name;      // the header cell and the JSON key (ASCII)
  bool Number = false;   // cells are decimal integers
  double Width = 12;     // xlsx: width in characters
  bool Bold = false;     // xlsx: the column's cells in bold
};

// A table: its columns and the producer of its rows. `Next` fills `cells`
// (one per column, UTF-8) with the next row and returns true, or returns
// false when every row has been made. `RowCount` is the number of rows it
// makes, for progress.
struct ExportTable {
  using Producer = std::function<bool(std::vector<std::string>& cells)>;
  std::vector<ExportColumn> Columns;
  size_t RowCount = 0;
  Producer Next;
  // Optional: a new producer of the rows from row `first` on, as `Next`
  // makes them, independent of `Next` and of the others (each may run on a
  // thread of its own). Every format of a large table is then made in
  // blocks on two threads (xlsx: each block's XML deflated there too), and
  // written in order.
  std::function<Producer(size_t first)> From;
};

// A text cell as csv, tsv and xlsx write it: with an apostrophe before a
// starting "=", "+", "-", "@", TAB or CR.
std::string NeutralizeFormula(std::string_view cell);

// Told every few thousand rows and at the end: rows written, rows in all.
// Returning false stops the writing.
using ExportProgress = std::function<bool(size_t done, size_t total)>;

enum class ExportStatus { kWritten, kCannotWrite, kStopped };

// Writes the table to a stream in csv, tsv or jsonl (xlsx is written to
// files only: kCannotWrite). kCannotWrite on a write error.
ExportStatus WriteTable(std::FILE* out, ExportFormat format, ExportTable& table,
                        const ExportProgress& progress = {});

// Writes the table to the file `path`, in any format: first to a new
// temporary file in the same folder, which then replaces `path` by a
// rename; when the writing fails or is stopped, the temporary file is
// removed and `path` is left as it was. Never a half-written file.
ExportStatus SaveTable(const std::string& path, ExportFormat format, ExportTable& table,
                       const ExportProgress& progress = {});

}  // namespace kalix
