// Files of one entry per line: thesaurus (".the") and corpus (".cor").
//
// Lines end at CR, LF or CR LF; a final line without a line break counts; a
// zero byte ends the text. Entries are taken as they stand (nothing is
// trimmed); an empty line is an empty entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// The entries of the raw bytes of a list file.
std::vector<std::string> ParseListFile(std::string_view bytes);

// The entries of a list file, or nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadListFile(const std::string& path);

}  // namespace kalix
