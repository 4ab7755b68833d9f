// Key word in context: one line per occurrence of a target, the text to its
// left, the occurrence, the text to its right, read from the document text
// when a line is asked for (nothing is copied in advance), and the orders of
// the lines by the words to the left or to the right.
#pragma once

#include "document/ViewIndex.h"
#include "targets/Target.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

struct ConcordanceLine {
  std::string Left;   // up to `width` bytes before the occurrence, line ends as blanks
  std::string Match;  // the occurrence as it stands in the text
  std::string Right;  // up to `width` bytes after it
};

// The line of an occurrence of a document whose text (without its
// terminating zero) and view index are given. Positions outside the text
// give empty pieces.
ConcordanceLine MakeConcordanceLine(std::string_view text, const ViewIndex& index, const Occurrence& occurrence,
                                    int32_t width);

// "p:%d f:%d%c" of an occurrence, as the report writes its references.
std::string OccurrenceReference(const Occurrence& occurrence);

enum ConcordanceOrder : int { kConcordanceInText = 0, kConcordanceByLeft = 1, kConcordanceByRight = 2 };

// The occurrence indices of `starts` in the given order: in the text's order
// (as listed), by the words to the left read from the occurrence backwards,
// or by the words to the right read forwards; case-insensitive in the fixed
// collation; equal contexts keep the text's order.
std::vector<int32_t> ConcordanceOrdering(std::string_view text, const ViewIndex& index, const cStarts& starts,
                                         int order, int32_t width);

}  // namespace kalix
