// How a caller on another thread follows a long scan and stops it.
//
// A scan (a search, a word list) passes its text in blocks of `kScanBlock`
// bytes. At the end of each block it adds the bytes passed to `Scanned` and
// reads `Stop`; once `Stop` is set, the scan ends where it stands, as if the
// text ended there (hits still pending produce no target). Both are optional
// and may be shared by the scans of one run (the two parts of a cut text,
// the documents of a corpus): `Scanned` then counts the bytes of them all.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kalix {

inline constexpr size_t kScanBlock = size_t{1} << 20;

struct ScanControl {
  const std::atomic<bool>* Stop = nullptr;
  std::atomic<uint64_t>* Scanned = nullptr;

  bool Stopped() const { return Stop != nullptr && Stop->load(std::memory_order_relaxed); }
  void Passed(size_t bytes) const {
    if (Scanned != nullptr && bytes != 0) Scanned->fetch_add(bytes, std::memory_order_relaxed);
  }
};

// The blocks of one scan: `Due(at)` is true when the scan at byte `at` has
// finished a block; `Go(at)` then reports the bytes passed since the last
// report and says whether the scan goes on. A scan that steps back (a
// context scanned again) reports nothing until it passes its furthest byte.
class ScanBlocks {
 public:
  explicit ScanBlocks(const ScanControl& control) : control_(control) {}
  bool Due(size_t at) const { return at >= next_; }
  bool Go(size_t at) {
    if (at > reported_) {
      control_.Passed(at - reported_);
      reported_ = at;
    }
    next_ = at + kScanBlock;
    return !control_.Stopped();
  }
  // At the end of a scan that was not stopped.
  void Finish(size_t size) { Go(size); }

 private:
  ScanControl control_;
  size_t reported_ = 0;
  size_t next_ = kScanBlock;
};

}  // namespace kalix
