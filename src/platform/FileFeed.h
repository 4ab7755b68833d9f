// Reading a whole file into a consumer block by block, as a reader of large
// documents wants it: the consumer may stop the reading early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace kalix {

// Takes the next block of the file; false when it wants no more.
using BlockConsumer = std::function<bool(const char* data, size_t size)>;

// Feeds `file` from its current position to its end, or until `consume`
// says no more. A file of `size` bytes (as known beforehand; 0 when unknown)
// of at least 8 MB is read on a second thread, when the machine has one,
// into a ring of blocks while the blocks already read are consumed here:
// the copying out of the system's file cache and the consuming overlap. An
// exception from `consume` ends the reading and goes on to the caller.
void FeedFile(std::FILE* file, uintmax_t size, const BlockConsumer& consume);

}  // namespace kalix
