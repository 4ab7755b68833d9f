// Document references: how a corpus document is named in a result.
#pragma once

#include <string>
#include <string_view>

namespace kalix {

// "name | directory/" for a path; the directory keeps its final "/".
std::string MakeDocumentRef(std::string_view path);
// The path of a document reference: MakeDocumentRef's inverse.
std::string DocumentRefPath(std::string_view ref);

}  // namespace kalix
