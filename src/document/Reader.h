// The document reader: rich text (".rtf") and plain text (".txt") into the
// document model, and the operations that open and close a document.
//
// One reader handles both kinds of file: a file is rich text from the
// control word "rtf" on (raw line feeds are then ignored); before that, and
// in a plain-text file, a line feed ends a paragraph. Braces, backslashes,
// "\'hh" and "\<ddd>" escapes are interpreted in both.
//
// The reader understands characters and their escapes, paragraph and line
// ends, footnotes (with the page they end on), Windows-metafile pictures
// (attached to the mark just before them or to a glyph mark of their own)
// and a few destinations that it skips (headers, footers, font, style and
// colour tables, document information, and every group marked "\*" that is
// not a footnote or a picture). Formatting is ignored.
//
// Unicode: "\uN" (with its "\ucN" fallback skipped), Word's symbol words,
// "\ansicpgN" and the font charsets decode to Unicode characters, which the
// character policy turns into 1252 bytes; the document keeps every character
// it replaced. List labels, hidden text and tracked deletions are skipped;
// field results are read. A file that starts with "{\rtf" is rich text read
// as 1252; any other file is UTF-16 after its byte-order mark, UTF-8 after
// its byte-order mark or when it is valid UTF-8 holding a multi-byte
// sequence, and 1252 otherwise.
//
// Every byte is seen once, in order, with no look-ahead (a plain text is
// checked for UTF-8 before it is read). The input is raw file bytes: CR and
// zero bytes are dropped as they are read, and a byte 0x1A ends the input, as
// the runtime's text mode does.
#pragma once

#include "context/Context.h"
#include "document/Document.h"
#include "platform/CharPolicy.h"
#include "rules/RuleSet.h"

#include <string>
#include <string_view>

namespace kalix {

// Reads raw file bytes into `document`, appending to its text, marks and
// notes (the caller empties it first). The text always ends with one zero
// byte; when anything was written to it, a paragraph end (LF) comes before
// that zero.
void ReadDocument(const RuleSet& rules, std::string_view bytes, Document& document);

// The same with the user's character policy (the one above uses the shipped
// policy alone).
void ReadDocument(const RuleSet& rules, const CharPolicy& policy, std::string_view bytes, Document& document);

// The same reading with the bytes handed over in pieces of `pieceSize`, as
// a file is read block by block; the model never depends on where the pieces
// end (tests and fuzzing compare the two).
void ReadDocumentInPieces(const RuleSet& rules, std::string_view bytes, size_t pieceSize,
                          Document& document);

// Opens the file at `path` and reads it into `document`, which the caller has
// emptied (`CloseDocument`). The document's path is set to `path` first and
// stays set even when the file cannot be opened. Returns false when the
// file cannot be opened, or when it is neither rich text nor text (see
// document/Sniff.h); then, if `errorMessage` is given, it receives the
// translated "Fichier non trouvé :" (or "Ce fichier n'est ni du texte ni du
// texte enrichi :"), a line feed and the path, and nothing else changes.
// A folder, a ".xml" or ".tei" file, and a file of another extension than
// ".rtf" and ".txt" that begins with "<?xml" or "<TEI" are read by the XML
// reader (document/XmlReader.h), in the layer the context names; it also
// returns false, with its own message, for a file it refuses.
bool OpenDocument(const Context& context, Document& document, const std::string& path,
                  std::string* errorMessage);

// A message of the reading ("text" LF path) in UTF-8 for display: the text
// decoded from code page 1252, the path kept as the file system names it.
std::string FileMessageUtf8(const std::string& message);

// Empties the document (marks with their pictures, notes, text, path).
void CloseDocument(Document& document);

// Loads a document into a scratch model that is not shown anywhere (report
// extracts, corpus searches): the scratch model is emptied, then opened like
// `OpenDocument`. The window's displayed document is never touched.
bool LoadScratchDocument(const Context& context, Document& scratch, const std::string& path,
                         std::string* errorMessage);

}  // namespace kalix
