// The XML reader: TEI P5 transcriptions, PAGE XML and ALTO pages, and folders
// of PAGE or ALTO pages, into the document model that rich text gives.
//
// The parser is libxml2: its streaming reader (xmlTextReader) reads a 100 MB
// TEI file in one pass with memory for the element being read only, and its
// options refuse what an XML file must not make the program do: nothing is
// fetched from a network (XML_PARSE_NONET), entity expansion keeps libxml2's
// bounds (no XML_PARSE_HUGE: a "billion laughs" file stops the parse, and the
// reader refuses it with a message), and the one file outside the document
// that is ever read is a DTD that the document names and that lies in its
// own folder (for the entity declarations editions keep there); external
// entities are never read.
//
// The text is built as rich text would hold it: a page marker where a page
// begins (followed by a recto or verso marker when the page's label names a
// folio side: "12r", "12v", "f. 12r", "12ra"), a glyph marker where a glyph
// stands (followed by its content, or by its declaration's mapping when it
// has none), a note anchor where a note stands. Marks come from the elements
// only: a marker character or "=" written in the transcription opens nothing.
// Pages are numbered in order; a folio takes its number from the label. A
// paragraph end is a line feed, a line break a CR. Runs of XML white space
// are one blank; none is kept at the start or end of a line.
//
// TEI: the text of <text> (of <sourceDoc> when <text> has none); <pb> opens a
// page, <lb> and <cb> break the line (break="no": the word goes on), <p>,
// <l>, <head>, <ab>, <item> and the like end a paragraph, <note> is a note of
// its page, <g> a glyph, <gap> is "[...]" (0x85). <choice> keeps abbr, orig or
// sic in the diplomatic layer, expan, reg or corr in the normalised one (else
// its first child that belongs to neither); <del> is left out of the
// normalised layer; <app> keeps <lem>, else its first <rdg>. <teiHeader>,
// <fw>, <figDesc> are not text. Page images come from pb/@facs (a file, or
// "#id" of a <surface>), else from the surface of the same @n, else from the
// surface of the same rank; line zones from lb/@facs pointing at a <zone>.
//
// PAGE and ALTO: the file is one page, whose image is its imageFilename or
// sourceImageInformation/fileName; text regions (in PAGE's reading order) are
// paragraphs, text lines end with a line break and give the page's line
// zones. Regions typed as header, footer, page number, catch word or
// signature mark are not text; marginalia and footnotes are notes of the
// page. A folder reads its .xml files in natural name order ("f9" before
// "f10") as one document, one page each: files that are neither PAGE nor
// ALTO, and malformed ones, are named in the document's warnings and the
// others are read. A page's label is its file's name without extension; a
// name ending in a folio ("012r", "f12v") opens that folio side.
//
// Every character goes through one conversion to code page 1252 (its byte
// when the code page has it, a transliteration for a few, otherwise 0x81);
// what it changed is counted in the document's warnings.
#pragma once

#include "context/Context.h"
#include "document/Document.h"

#include <string>
#include <string_view>

namespace kalix {

// Which reading of <choice>, <del> the TEI reader keeps.
enum class XmlLayer { Diplomatic, Normalised };

struct XmlReadOptions {
  XmlLayer layer = XmlLayer::Diplomatic;
};

// True when `path` names a file the XML reader takes (".xml", ".tei", any
// letter case).
bool IsXmlPath(std::string_view path);

// Reads XML bytes into `document`, which the caller has emptied; `baseUrl`
// is the file's path (the DTD and relative image paths are found beside it;
// empty: none). Returns false, leaving `document` empty, when the bytes are
// not a well-formed TEI, PAGE or ALTO document; then `errorMessage`, if
// given, receives the translated reason, a line feed and "ligne L, colonne
// C : " with the parser's own words where the parser stopped.
bool ReadXmlDocument(const Context& context, std::string_view bytes, const std::string& baseUrl,
                     const XmlReadOptions& options, Document& document, std::string* errorMessage);

// Opens an XML file, or a folder of PAGE or ALTO pages, into `document`
// (emptied first); the path is set as `OpenDocument` sets it. False, with
// the message as above (a file that cannot be opened gives "Fichier non
// trouvé :"), when nothing could be read: then nothing else changes.
bool OpenXmlDocument(const Context& context, Document& document, const std::string& path,
                     const XmlReadOptions& options, std::string* errorMessage);

// Natural order of file names: runs of digits compare as numbers ("f9" <
// "f10", "PH 1858-3" < "PH 1858-10"), the rest byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);

// The folio a page label names: "12r", "12v", "f. 12r", "fol. 12v", "12ra",
// "012r", a file name ending so ("ms_f12v"). Sets `number` and `verso`.
bool ParseFolioLabel(std::string_view label, int32_t& number, bool& verso);

}  // namespace kalix
