// Operating-system advice about large memory buffers.
#pragma once

#include <cstddef>

namespace kalix {

// The smallest buffer worth advising: the allocator gives a block this size a
// mapping of its own, so the advice never reaches memory shared with other
// blocks.
constexpr size_t kHugePageAdviceMinimum = size_t{32} << 20;

// Asks the system to back the buffer [data, data + size) with huge pages,
// which cuts the number of page faults taken while the buffer is first
// written. The advice covers only whole pages inside the buffer; its contents
// never change. Returns true when advice was given: on Linux, for a buffer
// of at least kHugePageAdviceMinimum bytes that the system accepts it for;
// elsewhere never.
bool AdviseHugePages(void* data, size_t size);

}  // namespace kalix
