// Case mapping and ordering of code page 1252 texts.
//
// Two kinds of order exist. The fixed order (`FixedCompare`) is what the core
// computes with, so that results never depend on the user's locale: texts are
// compared after folding a-z and the accented lower-case letters of the code
// page to their capitals, then byte by byte. The locale order
// (`LocaleCompare`) is what sorted list boxes show the user: Qt Core's
// QCollator, case-insensitive, in the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace kalix {

// The capital that the fixed collation folds a byte to.
unsigned char FixedFold(unsigned char byte);

// <0, 0, >0: the fixed case-insensitive order of two 1252 texts.
int FixedCompare(std::string_view a, std::string_view b);

// <0, 0, >0: case-insensitive order of two 1252 texts in the user's locale.
int LocaleCompare(std::string_view a, std::string_view b);

// Locale-aware upper and lower case of a 1252 text; a character whose
// changed form is outside the code page keeps its original byte.
std::string UpperCase1252(std::string_view text);
std::string LowerCase1252(std::string_view text);

}  // namespace kalix
