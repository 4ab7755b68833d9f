#include "document/Document.h"

#include <algorithm>

namespace kalix {

MarkContext ContextAt(const Document& document, int32_t view) {
  // Marks are in ascending position: find the last one in effect and walk
  // back until each kind has been seen once, which gives the same result as
  // walking forward from the first.
  const cMarkList& marks = document.marks;
  auto end = std::partition_point(marks.begin(), marks.end(),
                                  [view](const Mark& m) { return m.position < view; });
  MarkContext context;
  bool page = false, folio = false, glyph = false;
  for (auto it = end; it != marks.begin() && !(page && folio && glyph);) {
    --it;
    switch (it->kind) {
      case kPageMark:
        if (!page) context.page = it->number;
        page = true;
        break;
      case kFolioMark:
        if (!folio) {
          context.folio = it->number;
          context.verso = it->value != 0;
        }
        folio = true;
        break;
      case kGlyphMark:
        if (!glyph) {
          context.glyph = it->number;
          context.picture = it->picture.get();
        }
        glyph = true;
        break;
      default:
        break;
    }
  }
  return context;
}

int64_t MarkKey(const Mark& mark) {
  if (mark.kind == kFolioMark) return static_cast<int64_t>(mark.number) * 2 + mark.value;
  return mark.number;
}

int32_t FirstMarkFrom(const Document& document, int16_t kind, int64_t key) {
  for (size_t i = 0; i < document.marks.size(); ++i) {
    const Mark& m = document.marks[i];
    if (m.kind == kind && MarkKey(m) >= key) return static_cast<int32_t>(i);
  }
  return -1;
}

std::span<const Note> NotesOfPage(const Document& document, int32_t page) {
  const cNoteList& notes = document.notes;
  size_t first = 0;
  while (first < notes.size() && notes[first].page < page) ++first;
  size_t last = first;
  while (last < notes.size() && notes[last].page == page) ++last;
  return std::span<const Note>(notes.data() + first, last - first);
}

void ClearDocument(Document& document) {
  document.marks = cMarkList();
  document.notes = cNoteList();
  document.replaced = cReplacedList();
  document.unknownCodePage = 0;
  document.invalidUtf8 = false;
  document.pages = std::vector<PageFacsimile>();
  document.glyphImages = std::vector<GlyphImage>();
  document.warnings = std::vector<std::string>();
  document.information = std::string();
  document.text = std::string();
  document.path = std::string();
}

}  // namespace kalix
