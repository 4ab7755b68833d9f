// The list operations of the generated-variants review: the window's
// strings (typed strings, their generated variants and strings the user
// adds) sorted either way, variants removed, own strings added, and the
// list written as a file of one string a line.
//
// A string's `Source` is an index into the same list: -1 for a typed
// string, its own index for a string added during the review, the index of
// the typed string it came from for a variant. Every operation here keeps
// each Source pointing at the same record.
#pragma once

#include "search/SearchSpec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kalix {

// Sorts the strings by Key, comparing unsigned bytes (a text before any
// longer text that it begins), ascending or descending; equal keys keep
// their order.
void SortStringsInOrder(cArrowList& strings, bool ascending);

// Removes, among the strings at `rows`, those that have a Source (typed
// strings stay). The order of the others is unchanged. Returns, for each
// former index, the new index of that string, or -1 when it was removed.
std::vector<int32_t> RemoveVariantsAt(cArrowList& strings, const std::vector<size_t>& rows);

// Adds a string of the user's own: `text` without blanks and control
// characters at both ends becomes its Text and Key, with `position` and
// `exclude`, Index one more than the highest Index of the list (0 in an
// empty list) and its own index as Source; the list is then sorted in the
// given order. Returns the new string's index, or -1 (nothing added) when
// the trimmed text is empty.
int32_t AddOwnString(cArrowList& strings, const std::string& text, int16_t position, int16_t exclude,
                     bool ascending);

// The content of a file of the strings: each Key (up to a zero byte, as a
// key is a zero-terminated text) followed by a line feed, in list order.
std::string StringListFileText(const cArrowList& strings);

}  // namespace kalix
