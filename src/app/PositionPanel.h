// The texts of the position panel (page, folio, glyph), the lines of the
// notes view, and the reading of the go-to fields.
#pragma once

#include "document/Document.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// Which position field holds a go-to value typed by the user; the codes are
// the mark kinds.
enum PendingGoto : int16_t { kGotoNone = 0, kGotoPage = 2, kGotoFolio = 3, kGotoGlyph = 4 };

struct PositionTexts {
  std::string Page;
  std::string Folio;  // number, then "V" on a verso side
  std::string Glyph;
};

PositionTexts PositionPanelTexts(const MarkContext& context);

// How many characters each position field takes: 4, or as many as the
// document's largest page, folio (with its "V") or glyph needs, so that every
// value of the document is shown whole and can be typed.
struct PositionFieldLengths {
  int Page = 4;
  int Folio = 4;
  int Glyph = 4;
};
PositionFieldLengths PositionFieldLengthsOf(const Document& document);

// The lines of the notes view for the notes of one page: "1) text", "2) ...".
std::vector<std::string> NoteLines(std::span<const Note> notes);

// The value of the leading digits of `text` once trimmed of blanks and
// control characters, optionally signed; 0 when there are no digits.
// Saturates instead of overflowing.
int32_t LeadingDecimal(std::string_view text);

// The mark kind and ordering key that the go-to command looks for, from the
// three field texts; nothing when no go-to is pending. The folio key is
// 2 x number, plus 1 when the trimmed text ends with an upper-case "V".
struct GotoKey {
  int16_t Kind = 0;
  int32_t Key = 0;
};
std::optional<GotoKey> GotoKeyFor(int16_t pending, std::string_view page, std::string_view folio,
                                  std::string_view glyph);

}  // namespace kalix
