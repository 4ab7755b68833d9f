// The order of a result: targets by form, then document reference.
#pragma once

#include "targets/Target.h"

#include <cstddef>

namespace kalix {

// Sorts by text ascending, ties by document reference (byte-wise, unsigned).
void SortTargetsByText(cTargetList& targets);

// The grid's sorts. `key`: 0 number of occurrences ascending, 1 number
// descending, 2 text ascending, 3 text descending; ties by document
// reference ascending. With `byDocument`, the document reference comes
// first (always ascending) and the key orders within one document. Texts
// and references compare as unsigned bytes. Targets that compare equal keep
// their order.
void SortTargets(cTargetList& targets, int key, bool byDocument);

// Two lists in that order as one, in that order (of equal entries, those
// of `first` first).
cTargetList MergeByText(cTargetList first, cTargetList second);

// The total number of occurrences.
size_t CountOccurrences(const cTargetList& targets);

}  // namespace kalix
