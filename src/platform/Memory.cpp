#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kalix {

bool AdviseHugePages(void* data, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (data == nullptr || size < kHugePageAdviceMinimum) return false;
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return false;
  const uintptr_t page = static_cast<uintptr_t>(pageSize);
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(page - 1);
  if (end <= begin) return false;
  return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) == 0;
#else
  (void)data;
  (void)size;
  return false;
#endif
}

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

size_t MappedSize(size_t size) { return (size + kHugePageSize - 1) & ~(kHugePageSize - 1); }

// Whether a block of `size` bytes gets a mapping of its own.
bool MappedAlone(size_t size) { return size >= kHugeBlockMinimum && size <= SIZE_MAX - kHugePageSize; }

}  // namespace
#endif

void ShareOneHeap() {
#if defined(__GLIBC__) && defined(M_ARENA_MAX)
  mallopt(M_ARENA_MAX, 1);
#endif
}

void* AllocateLargeBlock(size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (MappedAlone(size)) {
    // A length in whole huge pages is placed on a huge-page boundary by the
    // system (Linux 6.8 and later); the advice asks for huge pages there.
    void* p = mmap(nullptr, MappedSize(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, MappedSize(size), MADV_HUGEPAGE);
    return p;
  }
#endif
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void FreeLargeBlock(void* data, size_t size) noexcept {
  if (data == nullptr) return;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (MappedAlone(size)) {
    munmap(data, MappedSize(size));
    return;
  }
#endif
  std::free(data);
}

}  // namespace kalix
