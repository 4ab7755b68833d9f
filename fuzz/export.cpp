// Fuzz target: exported tables. The input, cut at its zero bytes, gives the
// cells of a table of three text columns; written as CSV and as TSV, each is
// read back by a strict RFC 4180 reader and must give the same cells (text
// cells with the apostrophe of formula neutralising). The input also serves
// as a document text: the context words of every span that its first bytes
// choose must lie inside the text, end where the span begins and begin where
// it ends.
#include "targets/ExportRows.h"
#include "targets/ExportTable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
