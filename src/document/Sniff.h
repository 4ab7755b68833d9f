// Telling a document from a file that is not one (a picture, an archive, a
// program) before it is read: such a file would read as junk cut at its
// first 0x1A byte.
#pragma once

#include <cstdio>
#include <string_view>

namespace kalix {

// Whether the first bytes of a file (up to 64 KiB) belong to a file that is
// neither rich text nor text: not rich text ("{\rtf"), no byte-order mark,
// and either more than one zero byte in a hundred, or more than one control
// byte in ten (zero bytes and controls other than TAB, LF, FF, CR and 0x1A).
// An empty file is a text. A stray zero byte in a long text keeps it a text.
bool LooksBinary(std::string_view head);

// The same test on the first bytes of an open file, which is then rewound.
bool FileLooksBinary(std::FILE* file);

}  // namespace kalix
