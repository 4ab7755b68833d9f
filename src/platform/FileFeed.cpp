#include "platform/FileFeed.h"

#include "platform/Parallel.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace kalix {

namespace {

// Files at least this long are read on a second thread (ReadAhead).
constexpr uintmax_t kReadAheadMinimum = uintmax_t{8} << 20;

void ReadAhead(std::FILE* file, const BlockConsumer& consume) {
  constexpr size_t kBlocks = 4;
  constexpr size_t kBlockSize = size_t{1} << 20;
  std::vector<char> blocks[kBlocks];
  size_t sizes[kBlocks] = {};
  for (std::vector<char>& b : blocks) b.resize(kBlockSize);
  std::mutex mutex;
  std::condition_variable changed;
  size_t filled = 0;  // blocks read so far (the last one empty at the end)
  size_t fed = 0;     // blocks fed so far
  bool ended = false;    // the file is read to its end
  bool stopped = false;  // the consumer wants no more
  const auto feedAll = [&] {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return fed < filled || ended; });
      if (fed == filled) return;  // ended
      lock.unlock();
      const size_t k = fed % kBlocks;
      const bool more = consume(blocks[k].data(), sizes[k]);
      lock.lock();
      ++fed;
      if (!more) stopped = true;
      changed.notify_all();
      if (!more) return;
    }
  };
  const auto feed = [&] {
    try {
      feedAll();
    } catch (...) {
      // The reading thread must not wait for room that never comes.
      std::lock_guard<std::mutex> lock(mutex);
      stopped = true;
      changed.notify_all();
      throw;
    }
  };
  const auto read = [&] {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return filled - fed < kBlocks || stopped; });
      if (stopped) return;
      lock.unlock();
      const size_t k = filled % kBlocks;
      const size_t n = std::fread(blocks[k].data(), 1, kBlockSize, file);
      sizes[k] = n;
      lock.lock();
      if (n == 0) {
        ended = true;
      } else {
        ++filled;
      }
      changed.notify_all();
      if (n == 0) return;
    }
  };
  RunInParallel(feed, read);
}

}  // namespace

void FeedFile(std::FILE* file, uintmax_t size, const BlockConsumer& consume) {
  if (size >= kReadAheadMinimum && HasSecondProcessor()) {
    ReadAhead(file, consume);
    return;
  }
  std::vector<char> block(1 << 16);
  size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file)) > 0) {
    if (!consume(block.data(), n)) break;
  }
}

}  // namespace kalix
