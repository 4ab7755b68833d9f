// Files of one entry a line: thesaurus (".the") and corpus (".cor") files,
// and the lists that the generated-variants dialog saves.
//
// A line ends at a carriage return, a line feed, or a carriage return
// followed by a line feed; text after the last line end is a last entry, and
// a line end at the very end adds no empty entry. A NUL byte ends the text.
// Entries are taken as they stand: blanks kept, empty lines give empty
// entries, duplicates kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// The entries of the bytes of a list file.
std::vector<std::string> ParseListFile(std::string_view bytes);

// The entries of a list file, or nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadListFile(const std::string& path);

}  // namespace kalix
