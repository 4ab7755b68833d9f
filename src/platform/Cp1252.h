// Code page 1252 <-> Unicode.
//
// Every text of a document and of every file format is a byte string in code
// page 1252. These functions are the one place where such bytes become
// Unicode (at the Qt boundary, in JSON output) and back. All 256 bytes map to
// a code point; the five bytes that code page 1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, so every
// byte string survives a round trip.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalix {

// The Unicode code point of a code page 1252 byte.
char16_t Cp1252ToUnicode(unsigned char byte);

// The code page 1252 byte of a code point, or -1 when the code page has none.
int UnicodeToCp1252(char32_t codePoint);

// Decodes 1252 bytes to a QString.
QString FromCp1252(std::string_view bytes);

// Encodes a QString to 1252 bytes; characters outside the code page become
// `replacement`.
std::string ToCp1252(const QString& text, char replacement = '?');

// Encodes UTF-8 text (command-line arguments, file names from the file
// system) to 1252 bytes; characters that the code page lacks become "?".
// Text that is not valid UTF-8 is taken to be 1252 already and kept as it
// stands.
std::string Utf8OrCp1252To1252(std::string_view text);

// Decodes 1252 bytes to UTF-8 (for JSON and terminals).
std::string Cp1252ToUtf8(std::string_view bytes);

// Appends the UTF-8 form of one 1252 byte to `out`.
void AppendCp1252AsUtf8(std::string& out, unsigned char byte);

}  // namespace kalix
