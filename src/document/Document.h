// The document model: the text of a transcription, its marks (pages, folios,
// glyphs) and its footnotes.
//
// Two coordinate systems are used and never mixed: a text offset is an index
// into `text`; a view position is the caret position of the document view,
// in which every LF and CR counts two. Mark positions and everything
// exchanged with the view are view positions (`...View`); word, sentence and
// paragraph bounds are text offsets (`...Offset`).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalix {

struct GlyphPicture;  // platform/Metafile.h: a validated metafile and its bounds

enum MarkKind : int16_t { kPageMark = 2, kFolioMark = 3, kGlyphMark = 4 };

struct Mark {
  int32_t position = 0;  // view position of the marker character
  int16_t kind = 0;      // MarkKind
  int32_t number = 0;
  int32_t value = 0;     // page 0; folio 0 recto, 1 verso; glyph -1
  std::shared_ptr<const GlyphPicture> picture;  // none for most marks
};

struct Note {
  std::string text;  // empty: none
  int32_t page = 0;
};

using cMarkList = std::vector<Mark>;
using cNoteList = std::vector<Note>;

struct MarkContext {
  int32_t page = 0;
  int32_t folio = 0;
  bool verso = false;
  int32_t glyph = 0;
  const GlyphPicture* picture = nullptr;
};

struct Document {
  std::string path;   // empty: no document loaded
  std::string text;   // 1252 bytes and a terminating zero; empty when none
  cMarkList marks;
  cNoteList notes;

  // The text without its terminating zero.
  std::string_view Text() const {
    return text.empty() ? std::string_view() : std::string_view(text.data(), text.size() - 1);
  }
};

}  // namespace kalix
