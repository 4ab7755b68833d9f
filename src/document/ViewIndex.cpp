#include "document/ViewIndex.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kalix {

ViewIndex::ViewIndex(std::string_view text) : length_(static_cast<int32_t>(text.size())) {
  const char* data = text.data();
  const size_t n = text.size();
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: most hold no break.
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr))));
    for (; mask != 0; mask &= mask - 1) breaks_.push_back(static_cast<int32_t>(i + __builtin_ctz(mask)));
  }
#endif
  for (; i < n; ++i) {
    char c = data[i];
    if (c == '\n' || c == '\r') breaks_.push_back(static_cast<int32_t>(i));
  }
  const size_t buckets = (static_cast<size_t>(ViewLength()) >> kBucketBits) + 2;
  bucketBreaks_.resize(buckets);
  size_t k = 0;
  for (size_t b = 0; b < buckets; ++b) {
    const int64_t view = static_cast<int64_t>(b) << kBucketBits;
    while (k < breaks_.size() && static_cast<int64_t>(breaks_[k]) + static_cast<int64_t>(k) + 2 <= view) ++k;
    bucketBreaks_[b] = static_cast<int32_t>(k);
  }
}

int32_t ViewIndex::BreaksBefore(int32_t offset) const {
  offset = std::clamp(offset, 0, length_);
  return static_cast<int32_t>(std::lower_bound(breaks_.begin(), breaks_.end(), offset) - breaks_.begin());
}

int32_t ViewIndex::ViewOfOffset(int32_t offset) const {
  offset = std::clamp(offset, 0, length_);
  return offset + BreaksBefore(offset);
}

int32_t ViewIndex::PrefetchView(int32_t view) const {
  view = std::clamp(view, 0, ViewLength());
  const size_t bucket = static_cast<size_t>(view) >> kBucketBits;
  if (bucket + 1 >= bucketBreaks_.size()) return std::clamp(view, 0, length_);
  const size_t lo = static_cast<size_t>(bucketBreaks_[bucket]);
  const size_t hi = static_cast<size_t>(bucketBreaks_[bucket + 1]);
  if (lo < breaks_.size()) {
    __builtin_prefetch(breaks_.data() + lo);
    if (hi > lo + 16) __builtin_prefetch(breaks_.data() + std::min(hi, breaks_.size() - 1));
  }
  return std::clamp(view - static_cast<int32_t>(lo), 0, length_);
}

int32_t ViewIndex::OffsetOfView(int32_t view) const {
  view = std::clamp(view, 0, ViewLength());
  // The k-th break (from 0) at offset b occupies view positions b + k and
  // b + k + 1. Count the breaks lying wholly before `view`.
  size_t lo = 0, hi = breaks_.size();
  const size_t bucket = static_cast<size_t>(view) >> kBucketBits;
  if (bucket + 1 < bucketBreaks_.size()) {
    lo = static_cast<size_t>(bucketBreaks_[bucket]);
    hi = static_cast<size_t>(bucketBreaks_[bucket + 1]);
  }
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (static_cast<int64_t>(breaks_[mid]) + static_cast<int64_t>(mid) + 2 <= view) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < breaks_.size() && static_cast<int64_t>(breaks_[lo]) + static_cast<int64_t>(lo) + 1 == view) {
    return breaks_[lo];  // between the two halves of a break
  }
  return view - static_cast<int32_t>(lo);
}

}  // namespace kalix
