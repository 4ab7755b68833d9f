#include "targets/Concordance.h"

#include "platform/Collation.h"

#include <algorithm>
#include <cstdio>

namespace kalix {
namespace {

std::string Flat(std::string_view piece) {
  std::string out(piece);
  for (char& c : out) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return out;
}

struct Span {
  int32_t start;  // text offset of the occurrence
  int32_t end;    // just after it
};

Span SpanOf(std::string_view text, const ViewIndex& index, const Occurrence& o) {
  const int32_t length = static_cast<int32_t>(text.size());
  int32_t start = std::clamp(index.OffsetOfView(o.StartView), 0, length);
  int32_t end = std::clamp(index.OffsetOfView(o.StartView + o.ViewLength), start, length);
  return {start, end};
}

}  // namespace

ConcordanceLine MakeConcordanceLine(std::string_view text, const ViewIndex& index, const Occurrence& occurrence,
                                    int32_t width) {
  ConcordanceLine line;
  if (occurrence.StartView < 0 || text.empty()) return line;
  const Span s = SpanOf(text, index, occurrence);
  const int32_t from = std::max(0, s.start - width);
  const int32_t to = std::min(static_cast<int32_t>(text.size()), s.end + width);
  line.Left = Flat(text.substr(static_cast<size_t>(from), static_cast<size_t>(s.start - from)));
  line.Match = Flat(text.substr(static_cast<size_t>(s.start), static_cast<size_t>(s.end - s.start)));
  line.Right = Flat(text.substr(static_cast<size_t>(s.end), static_cast<size_t>(to - s.end)));
  return line;
}

std::string OccurrenceReference(const Occurrence& occurrence) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "p:%d f:%d%c", occurrence.Page, occurrence.Folio, occurrence.Verso ? 'V' : 'R');
  return buf;
}

std::vector<int32_t> ConcordanceOrdering(std::string_view text, const ViewIndex& index, const cStarts& starts,
                                         int order, int32_t width) {
  std::vector<int32_t> rows(starts.size());
  for (size_t k = 0; k < rows.size(); ++k) rows[k] = static_cast<int32_t>(k);
  if (order != kConcordanceByLeft && order != kConcordanceByRight) return rows;
  // The key of each line: its context folded, the left one reversed so that
  // the word next to the occurrence counts first. Blanks and punctuation
  // before the first letter are skipped.
  std::vector<std::string> keys(starts.size());
  for (size_t k = 0; k < starts.size(); ++k) {
    const ConcordanceLine line = MakeConcordanceLine(text, index, starts[k], width);
    std::string key = order == kConcordanceByLeft ? std::string(line.Left.rbegin(), line.Left.rend()) : line.Right;
    size_t first = 0;
    while (first < key.size() && static_cast<unsigned char>(key[first]) <= ' ') ++first;
    key.erase(0, first);
    for (char& c : key) c = static_cast<char>(FixedFold(static_cast<unsigned char>(c)));
    keys[k] = std::move(key);
  }
  std::stable_sort(rows.begin(), rows.end(), [&keys](int32_t a, int32_t b) {
    return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
  });
  return rows;
}

}  // namespace kalix
