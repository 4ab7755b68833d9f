// The order of a result: targets by form, then document reference.
#pragma once

#include "targets/Target.h"

#include <cstddef>

namespace kalix {

// Sorts by text ascending, ties by document reference (byte-wise, unsigned).
void SortTargetsByText(cTargetList& targets);

// Two lists in that order as one, in that order (of equal entries, those
// of `first` first).
cTargetList MergeByText(cTargetList first, cTargetList second);

// The total number of occurrences.
size_t CountOccurrences(const cTargetList& targets);

}  // namespace kalix
