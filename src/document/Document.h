// The document model: the text of a transcription, its marks (pages, folios,
// glyphs) and its footnotes.
//
// Two coordinate systems are used and never mixed: a text offset is an index
// into `text`; a view position is the caret position of the document view,
// in which every LF and CR counts two. Mark positions and everything
// exchanged with the view are view positions (`...View`); word, sentence and
// paragraph bounds are text offsets (`...Offset`).
#pragma once

#include "platform/CharPolicy.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
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

// Where a line of the text stands on its page image, in the image's pixels.
struct LineZone {
  int32_t position = 0;  // view position where the line's text begins
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What a document read from XML knows of one of its pages: the label the
// transcription gives it ("12r"), the path of its image (as the file system
// spells it, resolved against the document's folder; empty: none) and its
// lines on that image, in text order.
struct PageFacsimile {
  std::string label;  // 1252 bytes; empty: none
  std::string image;
  std::vector<LineZone> lines;
};

// The image file that a glyph's declaration names (XML documents).
struct GlyphImage {
  int32_t glyph = 0;  // the glyph mark's number
  std::string image;  // path, as for PageFacsimile::image
};

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
  // The characters of the file that the text does not hold as their own
  // byte (the character policy), main text first by offset, then each
  // note's by offset. The view shows each `original` in place of its byte.
  cReplacedList replaced;
  // A code page the file named ("\ansicpg") that the reader does not know
  // and read as 1252; 0 when none.
  int32_t unknownCodePage = 0;
  // The file began with a UTF-8 byte-order mark but was not valid UTF-8 past
  // some point: the rest was read as 1252.
  bool invalidUtf8 = false;
  // Documents read from XML: one entry per page mark, in page order (entry
  // k is page k + 1); empty for rich and plain text.
  std::vector<PageFacsimile> pages;
  std::vector<GlyphImage> glyphImages;
  // What the reading passed over or changed, one message a line (1252 bytes),
  // for the user: a folder's files that were not read, replaced characters.
  std::vector<std::string> warnings;
  // The document's description of itself (a TEI header: one line per
  // element that holds text), 1252 bytes; empty: none.
  std::string information;

  // The text without its terminating zero.
  std::string_view Text() const {
    return text.empty() ? std::string_view() : std::string_view(text.data(), text.size() - 1);
  }
};

// The page, folio with its side, glyph and picture in effect at a view
// position: the marks strictly before `view` are walked in order; a page mark
// sets page, a folio mark folio and verso, a glyph mark glyph and picture.
// A mark standing exactly at `view` is not yet in effect.
MarkContext ContextAt(const Document& document, int32_t view);

// The ordering key of a mark for the go-to command: number for pages and
// glyphs, number * 2 + value for folios (12 recto < 12 verso < 13 recto).
int64_t MarkKey(const Mark& mark);

// The index of the first mark, in list order, of `kind` whose key is at least
// `key`; -1 when there is none.
int32_t FirstMarkFrom(const Document& document, int16_t kind, int64_t key);

// The notes of a page, in document order: from the first note, notes of
// smaller pages are passed over and the walk stops at the first greater page.
std::span<const Note> NotesOfPage(const Document& document, int32_t page);

// Empties the document: marks with their pictures, notes, text (no bytes at
// all), pages, glyph images, warnings, information and path.
void ClearDocument(Document& document);

}  // namespace kalix
