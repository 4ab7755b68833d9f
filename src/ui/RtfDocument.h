// Rich text for display: the information, help and about files are shown
// with their formatting. This converter reads the usual subset of rich text
// into a QTextDocument: bold, italic, underline, strike-out, sizes, faces,
// colours (text and background), alignment, indents and spacing, paragraphs,
// line breaks, tabs, special characters, Unicode escapes, and pictures
// (PNG, JPEG and Windows metafiles). Anything it does not know is skipped.
#pragma once

#include <QString>
#include <string_view>

class QTextDocument;

namespace kalix::ui {

// Fills `document` (cleared first) from rich-text bytes. Returns false when
// the bytes are not rich text (they do not start with "{\rtf").
bool RtfToDocument(std::string_view rtf, QTextDocument& document);

// Loads a file for display: rich text with its formatting, any other file as
// plain code page 1252 text. Returns false when the file cannot be read.
bool LoadDisplayFile(const std::string& path, QTextDocument& document);

}  // namespace kalix::ui
