#include "app/PositionPanel.h"

#include <algorithm>

#include <limits>

namespace kalix {
namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

PositionTexts PositionPanelTexts(const MarkContext& c) {
  PositionTexts t;
  t.Page = std::to_string(c.page);
  t.Folio = std::to_string(c.folio) + (c.verso ? "V" : "");
  t.Glyph = std::to_string(c.glyph);
  return t;
}

PositionFieldLengths PositionFieldLengthsOf(const Document& document) {
  PositionFieldLengths lengths;
  for (const Mark& m : document.marks) {
    const int digits = static_cast<int>(std::to_string(m.number).size());
    if (m.kind == kPageMark) lengths.Page = std::max(lengths.Page, digits);
    if (m.kind == kFolioMark) lengths.Folio = std::max(lengths.Folio, digits + (m.value != 0 ? 1 : 0));
    if (m.kind == kGlyphMark) lengths.Glyph = std::max(lengths.Glyph, digits);
  }
  return lengths;
}

std::vector<std::string> NoteLines(std::span<const Note> notes) {
  std::vector<std::string> lines;
  lines.reserve(notes.size());
  int k = 0;
  for (const Note& n : notes) lines.push_back(std::to_string(++k) + ") " + n.text);
  return lines;
}

int32_t LeadingDecimal(std::string_view text) {
  std::string_view s = Trimmed(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int64_t value = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') break;
    value = value * 10 + (ch - '0');
    if (value > std::numeric_limits<int32_t>::max()) {
      value = std::numeric_limits<int32_t>::max();
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

std::optional<GotoKey> GotoKeyFor(int16_t pending, std::string_view page, std::string_view folio,
                                  std::string_view glyph) {
  switch (pending) {
    case kGotoPage:
      return GotoKey{kGotoPage, LeadingDecimal(page)};
    case kGotoFolio: {
      std::string_view f = Trimmed(folio);
      int64_t key = 2 * static_cast<int64_t>(LeadingDecimal(f));
      if (!f.empty() && f.back() == 'V') key += 1;
      if (key > std::numeric_limits<int32_t>::max()) key = std::numeric_limits<int32_t>::max();
      if (key < std::numeric_limits<int32_t>::min()) key = std::numeric_limits<int32_t>::min();
      return GotoKey{kGotoFolio, static_cast<int32_t>(key)};
    }
    case kGotoGlyph:
      return GotoKey{kGotoGlyph, LeadingDecimal(glyph)};
    default:
      return std::nullopt;
  }
}

}  // namespace kalix
