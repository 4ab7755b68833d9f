// Large memory buffers: huge-page advice, blocks mapped on their own, and
// the process's heaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

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

// Makes every thread of the process allocate from one heap (glibc makes a
// heap per thread otherwise): memory one thread gives back is then reused by
// the others instead of being kept for the thread that held it, which keeps
// the peak of a search that works on two threads down. Call it at start-up,
// before any second thread. Does nothing where the allocator has no such
// setting.
void ShareOneHeap();

// Memory for one large block that is written once from its start, such as a
// block of a list that grows by whole blocks: at least kHugeBlockMinimum
// bytes get a mapping of their own, rounded up to whole huge pages and
// backed by huge pages where the system allows; smaller sizes come from the
// ordinary heap. Free with FreeLargeBlock and the same size.
constexpr size_t kHugePageSize = size_t{2} << 20;
constexpr size_t kHugeBlockMinimum = size_t{1} << 20;
void* AllocateLargeBlock(size_t size);
void FreeLargeBlock(void* data, size_t size) noexcept;

// A standard allocator over AllocateLargeBlock, for vectors whose storage is
// made once at its full size.
template <typename T>
struct LargeBlockAllocator {
  using value_type = T;
  LargeBlockAllocator() = default;
  template <typename U>
  LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateLargeBlock(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreeLargeBlock(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const LargeBlockAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace kalix
