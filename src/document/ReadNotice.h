// What reading a document changed or doubted, said to the user: the
// characters that the character policy transliterated, dropped or replaced,
// a code page read as 1252, invalid UTF-8. Both front ends show the same
// text (the window in its status line, kalix-cli on stderr).
#pragma once

#include "context/Context.h"
#include "document/Document.h"

#include <string>

namespace kalix {

// The notice for a document just read, in UTF-8 (it names characters that
// code page 1252 lacks): one line for each thing to say, each ending with a
// line feed; empty when the reading needed nothing to be said. The first
// line reads, translated, "Caractères changés à la lecture : 3
// translittérés, 1 supprimés, 0 remplacés par 0x81 : ſ (U+017F) ...".
std::string ReadNotice(const Context& context, const Document& document);

// The list of the distinct changed characters, each as itself and its code
// points: "ſ (U+017F) q̃ (U+0071 U+0303)".
std::string DescribeCharacters(const cReplacedList& replaced);

}  // namespace kalix
